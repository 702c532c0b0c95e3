// Writes the run journal off the user-interface thread. Append() only copies a record
// into a buffer whose room is reserved beforehand (a lock held for a copy, no system
// call, no allocation while the writer keeps up); a thread of its own takes the buffer
// over every kBatchInterval while records come in, encodes and writes them and makes them
// durable with fdatasync, and sleeps without a timeout while nothing comes. A write that
// fails keeps its bytes and is tried again with the next batch; the first failure of a
// kind goes to the log with the system's reason.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "JournalFormat.h"
#include "Log.h"

namespace kt::measurement {

class JournalWriter {
public:
    static constexpr std::chrono::milliseconds kBatchInterval{250};
    static constexpr size_t kReservedRecords = 4096;

    // Takes over `fd` (open for appending, locked). `seed` is the CRC seed of the journal
    // the file holds and records are appended to; without one the file is empty and the
    // first record given is a Begin.
    JournalWriter(int fd, std::string path, device::Log& log, std::optional<uint32_t> seed);
    // Ends as Finish(End::Keep) would, unless Finish ran.
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    void Append(const JournalRecord& record);
    // Returns once everything appended before the call is written and synced (or its
    // write has failed).
    void Flush();

    enum class End {
        Keep,     // everything written and synced; the file stays
        Discard,  // the file is removed, whatever was not yet written with it
    };
    void Finish(End end);

private:
    void Run();
    void Handle(const JournalRecord& record);
    void WriteOut();
    void Sync();
    void Report(const char* what, int error, bool& reported);

    const int fd_;
    const std::string path_;
    device::Log& log_;

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable done_;
    std::vector<JournalRecord> incoming_;
    bool woken_ = false;   // the thread was told of the records in `incoming_`
    bool urgent_ = false;  // write at once: a Flush or Finish waits
    bool stop_ = false;
    bool discard_ = false;
    uint64_t appended_ = 0;
    uint64_t handled_ = 0;
    bool finished_ = false;

    // The writer thread's own.
    std::vector<JournalRecord> batch_;
    std::string out_;     // encoded bytes not yet written
    size_t outDone_ = 0;  // of which written (a partial write goes on from there)
    uint32_t seed_ = 0;
    bool unsynced_ = false;
    bool writeReported_ = false;
    bool syncReported_ = false;

    std::thread thread_;
};

}  // namespace kt::measurement
