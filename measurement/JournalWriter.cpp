#include "JournalWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace kt::measurement {

JournalWriter::JournalWriter(int fd, std::string path, device::Log& log,
                             std::optional<uint32_t> seed)
    : fd_(fd), path_(std::move(path)), log_(log), seed_(seed.value_or(0)) {
    incoming_.reserve(kReservedRecords);
    batch_.reserve(kReservedRecords);
    out_.reserve(kReservedRecords * kJournalRecordSize);
    thread_ = std::thread([this] { Run(); });
}

JournalWriter::~JournalWriter() {
    Finish(End::Keep);
}

void JournalWriter::Append(const JournalRecord& record) {
    std::lock_guard lock(mutex_);
    incoming_.push_back(record);
    ++appended_;
    // One wake-up per batch: the thread gathers what comes until the batch is due, or
    // at once when half the reserved room is taken (records coming faster than usual).
    if (!woken_ || incoming_.size() == kReservedRecords / 2) {
        woken_ = true;
        urgent_ = urgent_ || incoming_.size() == kReservedRecords / 2;
        wake_.notify_one();
    }
}

void JournalWriter::Flush() {
    std::unique_lock lock(mutex_);
    if (finished_) return;
    const uint64_t target = appended_;
    urgent_ = true;
    wake_.notify_one();
    done_.wait(lock, [&] { return handled_ >= target; });
}

void JournalWriter::Finish(End end) {
    {
        std::lock_guard lock(mutex_);
        if (finished_) return;
        finished_ = true;
        stop_ = true;
        discard_ = end == End::Discard;
        wake_.notify_one();
    }
    thread_.join();
    // A journal that holds nothing is not kept. Removed while still locked, so no other
    // program takes it over half-removed.
    struct stat st {};
    const bool empty = ::fstat(fd_, &st) == 0 && st.st_size == 0;
    if ((end == End::Discard || empty) && ::unlink(path_.c_str()) != 0 && errno != ENOENT) {
        log_.Warning(path_ +
                     ": the run journal could not be removed: " + device::SystemReason(errno));
    }
    ::close(fd_);
}

void JournalWriter::Run() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [&] { return stop_ || urgent_ || !incoming_.empty(); });
        if (!stop_ && !urgent_) {
            wake_.wait_for(lock, kBatchInterval, [&] { return stop_ || urgent_; });
        }
        incoming_.swap(batch_);
        woken_ = false;
        urgent_ = false;
        const bool stopping = stop_;
        const bool discard = discard_;
        const uint64_t taken = appended_;
        lock.unlock();
        if (!discard) {
            for (const JournalRecord& record : batch_) Handle(record);
            WriteOut();
            Sync();
        }
        batch_.clear();
        lock.lock();
        handled_ = taken;
        done_.notify_all();
        if (stopping) return;
    }
}

void JournalWriter::Handle(const JournalRecord& record) {
    if (record.kind == RecordKind::Restart) {
        // Everything before is given up, written or not.
        out_.clear();
        outDone_ = 0;
        if (::ftruncate(fd_, 0) != 0) Report("emptied", errno, writeReported_);
        unsynced_ = true;
        return;
    }
    const size_t at = out_.size();
    if (record.kind == RecordKind::Begin) {
        out_.resize(at + kJournalHeaderSize);
        seed_ = EncodeHeader({record.wallTime, record.settings},
                             reinterpret_cast<uint8_t*>(out_.data() + at));
        return;
    }
    out_.resize(at + kJournalRecordSize);
    EncodeRecord(record, seed_, reinterpret_cast<uint8_t*>(out_.data() + at));
}

// The descriptor appends, so a write cut short goes on from where it stopped and the
// records stay whole in the file.
void JournalWriter::WriteOut() {
    while (outDone_ < out_.size()) {
        const ssize_t n = ::write(fd_, out_.data() + outDone_, out_.size() - outDone_);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            Report("written", n < 0 ? errno : EIO, writeReported_);
            return;
        }
        outDone_ += static_cast<size_t>(n);
        unsynced_ = true;
    }
    out_.clear();
    outDone_ = 0;
    writeReported_ = false;
}

void JournalWriter::Sync() {
    if (!unsynced_) return;
    if (::fdatasync(fd_) != 0) {
        Report("made durable", errno, syncReported_);
        return;
    }
    unsynced_ = false;
    syncReported_ = false;
}

void JournalWriter::Report(const char* what, int error, bool& reported) {
    if (reported) return;
    reported = true;
    log_.Error(path_ + ": the run journal could not be " + what + ": " +
               device::SystemReason(error) + " (tried again with the next rows)");
}

}  // namespace kt::measurement
