#include "JournalWriter.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace kt::measurement {

namespace {

constexpr uint64_t kRingMask = JournalWriter::kRingRecords - 1;

}  // namespace

JournalWriter::JournalWriter(int fd, std::string path, device::Log& log,
                             std::optional<uint32_t> seed)
    : fd_(fd),
      path_(std::move(path)),
      log_(log),
      // Every slot written once here, so no page of the ring is first touched later.
      ring_(std::make_unique<JournalRecord[]>(kRingRecords)),
      seed_(seed.value_or(0)) {
    out_.reserve(1024 * kJournalRecordSize);
    thread_ = std::thread([this] { Run(); });
}

JournalWriter::~JournalWriter() {
    Finish(End::Keep);
}

bool JournalWriter::Publish(const JournalRecord& record) {
    const uint64_t head = head_.load(std::memory_order_relaxed);
    const uint64_t used = head - tail_.load(std::memory_order_acquire);
    if (used == kRingRecords) return false;
    ring_[head & kRingMask] = record;
    head_.store(head + 1, std::memory_order_release);
    // Records coming faster than a batch can hold: the writer need not wait its interval.
    if (used + 1 == kRingRecords / 2) {
        urgent_ = true;
        control_.notify_one();
    }
    return true;
}

// Moves records that found the ring full into it, in order; with `block` until all are in.
void JournalWriter::PublishWaiting(bool block) {
    while (!waiting_.empty()) {
        if (Publish(waiting_.front())) {
            waiting_.pop_front();
            continue;
        }
        if (!block) return;
        urgent_ = true;
        control_.notify_one();
        Wake();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

// A system call only when the writer sleeps waiting for records.
void JournalWriter::Wake() {
    signal_.fetch_add(1, std::memory_order_release);
    signal_.notify_one();
}

void JournalWriter::Append(const JournalRecord& record) {
    if (finished_) return;
    PublishWaiting(false);
    if (!waiting_.empty() || !Publish(record)) waiting_.push_back(record);
    Wake();
}

void JournalWriter::Flush() {
    if (finished_) return;
    PublishWaiting(true);
    std::unique_lock lock(mutex_);
    const uint64_t target = head_.load();
    urgent_ = true;
    control_.notify_one();
    Wake();
    done_.wait(lock, [&] { return handled_ >= target; });
}

void JournalWriter::Finish(End end) {
    if (finished_) return;
    if (end == End::Keep) PublishWaiting(true);
    finished_ = true;
    {
        std::lock_guard lock(mutex_);
        discard_ = end == End::Discard;
        stop_ = true;
    }
    control_.notify_one();
    Wake();
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
    for (;;) {
        const uint32_t seen = signal_.load(std::memory_order_acquire);
        if (head_.load(std::memory_order_acquire) == tail_.load(std::memory_order_relaxed) &&
            !stop_ && !urgent_) {
            signal_.wait(seen, std::memory_order_acquire);  // no timeout: idle is idle
            continue;
        }
        {
            std::unique_lock lock(mutex_);
            control_.wait_for(lock, kBatchInterval, [&] { return stop_ || urgent_; });
        }
        urgent_ = false;
        const bool stopping = stop_;
        const uint64_t head = head_.load(std::memory_order_acquire);
        if (!discard_) {
            for (uint64_t at = tail_.load(std::memory_order_relaxed); at != head; ++at) {
                Handle(ring_[at & kRingMask]);
            }
            WriteOut();
            Sync();
        }
        tail_.store(head, std::memory_order_release);
        {
            std::lock_guard lock(mutex_);
            handled_ = head;
        }
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
