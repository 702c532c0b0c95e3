// Writes the run journal off the user-interface thread. Append() copies a record into a
// ring of records allocated beforehand and publishes it with an atomic store: no lock,
// no allocation, no system call, so the user-interface thread never waits for the writer
// (a writer held up by a slow disk or by the scheduler while it holds a lock would hold
// the window up with it). A thread of its own sleeps until records come, gathers them for
// kBatchInterval, encodes and writes them and makes them durable with fdatasync. Should
// the ring ever fill (a disk stuck for minutes), records wait in order in a list of the
// user-interface thread's until there is room again. A write that fails keeps its bytes
// and is tried again with the next batch; the first failure of a kind goes to the log
// with the system's reason.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "JournalFormat.h"
#include "Log.h"

namespace kt::measurement {

class JournalWriter {
public:
    static constexpr std::chrono::milliseconds kBatchInterval{250};
    static constexpr uint64_t kRingRecords = 8192;  // a power of two

    // Takes over `fd` (open for appending, locked). `seed` is the CRC seed of the journal
    // the file holds and records are appended to; without one the file is empty and the
    // first record given is a Begin.
    JournalWriter(int fd, std::string path, device::Log& log, std::optional<uint32_t> seed);
    // Ends as Finish(End::Keep) would, unless Finish ran.
    ~JournalWriter();
    JournalWriter(const JournalWriter&) = delete;
    JournalWriter& operator=(const JournalWriter&) = delete;

    // User-interface thread only, as are Flush and Finish.
    void Append(const JournalRecord& record);
    // Returns once everything appended before the call is written and synced (or its
    // write has failed).
    void Flush();

    enum class End {
        Keep,     // everything written and synced; the file stays (unless it is empty)
        Discard,  // the file is removed, whatever was not yet written with it
    };
    void Finish(End end);

private:
    bool Publish(const JournalRecord& record);
    void PublishWaiting(bool block);
    void Wake();
    void Run();
    void Handle(const JournalRecord& record);
    void WriteOut();
    void Sync();
    void Report(const char* what, int error, bool& reported);

    const int fd_;
    const std::string path_;
    device::Log& log_;

    // The ring: the user-interface thread writes at `head_`, the writer reads at `tail_`.
    std::unique_ptr<JournalRecord[]> ring_;
    std::atomic<uint64_t> head_{0};
    std::atomic<uint64_t> tail_{0};
    std::atomic<uint32_t> signal_{0};    // bumped with every record: the sleeping writer wakes
    std::deque<JournalRecord> waiting_;  // the ring was full; user-interface thread only
    bool finished_ = false;              // user-interface thread only

    std::mutex mutex_;  // for the batch wait and for Flush and Finish, never for Append
    std::condition_variable control_;
    std::condition_variable done_;
    std::atomic<bool> urgent_{false};  // write at once: the ring is half full, or a caller waits
    std::atomic<bool> stop_{false};
    std::atomic<bool> discard_{false};
    uint64_t handled_ = 0;  // records written (or failed), under mutex_

    // The writer thread's own.
    std::string out_;     // encoded bytes not yet written
    size_t outDone_ = 0;  // of which written (a partial write goes on from there)
    uint32_t seed_ = 0;
    bool unsynced_ = false;
    bool writeReported_ = false;
    bool syncReported_ = false;

    std::thread thread_;
};

}  // namespace kt::measurement
