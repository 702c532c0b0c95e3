#include "JournalFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "Log.h"

namespace kt::measurement {

namespace {

constexpr size_t kChunkRecords = 1489;  // a little under 64 KiB a read

// Reads up to `size` bytes at `offset`, less only at the end of the file; -1 on an error.
ssize_t ReadAt(int fd, uint8_t* out, size_t size, uint64_t offset) {
    size_t got = 0;
    while (got < size) {
        const ssize_t n = ::pread(fd, out + got, size - got, static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    return static_cast<ssize_t>(got);
}

// Takes one sound record into the scan; false at damage.
bool TakeRecord(const uint8_t* bytes, JournalScan& scan, const RecordVisitor& visit) {
    JournalRecord record;
    if (!DecodeRecord(bytes, scan.seed, record)) return false;
    if (record.kind == RecordKind::Settings) scan.settings = record.settings;
    if (record.kind == RecordKind::Sample && record.parts != 0) {
        ++scan.samples;
        if (record.parts & kRegisteredRow) ++scan.rows;
        scan.lastElapsed = record.elapsed;
    }
    if (visit) visit(record);
    scan.goodBytes += kJournalRecordSize;
    return true;
}

bool ReadHeader(int fd, JournalScan& scan) {
    uint8_t header[kJournalHeaderSize];
    const ssize_t n = ReadAt(fd, header, sizeof header, 0);
    if (n < 0) {
        scan.status = JournalScan::Status::Foreign;
        scan.problem = "cannot be read: " + device::SystemReason(errno);
        return false;
    }
    const auto size = static_cast<size_t>(n);
    if (size < sizeof header) {
        // Killed while the header was written: nothing was journaled yet.
        const bool ours =
            std::memcmp(header, kJournalMagic, std::min(size, sizeof kJournalMagic)) == 0;
        scan.status = ours ? JournalScan::Status::Empty : JournalScan::Status::Foreign;
        if (!ours) scan.problem = "no run journal (another kind of file)";
        return false;
    }
    switch (DecodeHeader(header, scan.header, scan.seed)) {
        case HeaderCheck::Good:
            scan.status = JournalScan::Status::Journal;
            scan.settings = scan.header.settings;
            scan.goodBytes = kJournalHeaderSize;
            return true;
        case HeaderCheck::Foreign:
            scan.problem = "no run journal (another kind of file)";
            break;
        case HeaderCheck::Newer:
            scan.problem = "a run journal of a newer version of the program";
            break;
        case HeaderCheck::Damaged:
            scan.problem = "a run journal whose header is damaged";
            break;
    }
    scan.status = JournalScan::Status::Foreign;
    return false;
}

}  // namespace

JournalOpen OpenJournalFile(const std::string& path, bool create) {
    JournalOpen open;
    // Not blocking: a pipe or a device under the name must not hold up the start.
    const int flags = O_RDWR | O_APPEND | O_CLOEXEC | O_NONBLOCK | (create ? O_CREAT : 0);
    open.fd = ::open(path.c_str(), flags, 0666);
    if (open.fd < 0) {
        open.error = errno;
        return open;
    }
    struct stat st {};
    if (::fstat(open.fd, &st) != 0) {
        open.error = errno;
    } else if (!S_ISREG(st.st_mode)) {
        open.error = EINVAL;  // a device or a pipe under the journal's name
    } else if (::flock(open.fd, LOCK_EX | LOCK_NB) != 0) {
        open.error = errno;
        open.busy = errno == EWOULDBLOCK;
    }
    if (open.error != 0) {
        ::close(open.fd);
        open.fd = -1;
    }
    return open;
}

JournalScan ReadJournal(int fd, const RecordVisitor& visit) {
    JournalScan scan;
    if (!ReadHeader(fd, scan)) return scan;
    std::vector<uint8_t> chunk(kChunkRecords * kJournalRecordSize);
    for (;;) {
        const ssize_t n = ReadAt(fd, chunk.data(), chunk.size(), scan.goodBytes);
        if (n < 0) {
            scan.damaged = true;
            scan.problem = "cannot be read on from byte " + std::to_string(scan.goodBytes) + ": " +
                           device::SystemReason(errno);
            return scan;
        }
        const auto size = static_cast<size_t>(n);
        for (size_t at = 0; at + kJournalRecordSize <= size; at += kJournalRecordSize) {
            if (!TakeRecord(chunk.data() + at, scan, visit)) {
                scan.damaged = true;
                scan.problem = "damaged at byte " + std::to_string(scan.goodBytes) +
                               ": the records from there on are not read";
                return scan;
            }
        }
        if (size < chunk.size()) {
            scan.torn = size % kJournalRecordSize != 0;
            return scan;
        }
    }
}

std::string AsideName(const std::string& path, int64_t unixSeconds) {
    const time_t seconds = static_cast<time_t>(unixSeconds);
    struct tm local {};
    localtime_r(&seconds, &local);
    char stamp[32];
    strftime(stamp, sizeof stamp, ".%Y%m%d-%H%M%S", &local);
    std::string name = path + stamp;
    struct stat st {};
    for (int n = 2; ::lstat(name.c_str(), &st) == 0; ++n) {
        name = path + stamp + "-" + std::to_string(n);
    }
    return name;
}

}  // namespace kt::measurement
