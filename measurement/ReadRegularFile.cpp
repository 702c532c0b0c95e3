#include "ReadRegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "Log.h"

namespace kt::measurement {

namespace {

RegularFileRead Outcome(RegularFileRead::Status status, std::string reason) {
    RegularFileRead result;
    result.status = status;
    result.reason = std::move(reason);
    return result;
}

RegularFileRead SystemFailure(int error) {
    return Outcome(
        error == ENOENT ? RegularFileRead::Status::Missing : RegularFileRead::Status::Failed,
        device::SystemReason(error));
}

RegularFileRead TooLarge(std::size_t maxBytes) {
    return Outcome(RegularFileRead::Status::Refused,
                   "larger than " + std::to_string(maxBytes) + " bytes");
}

// Whether the file's type or size forbids reading it; `refusal` then says why.
bool Refuse(const struct stat& info, std::size_t maxBytes, RegularFileRead& refusal) {
    if (!S_ISREG(info.st_mode)) {
        refusal = Outcome(RegularFileRead::Status::Refused, "not a regular file");
        return true;
    }
    if (static_cast<unsigned long long>(info.st_size) > maxBytes) {
        refusal = TooLarge(maxBytes);
        return true;
    }
    return false;
}

// Reads to the end of the file, or until one byte more than `maxBytes` has come.
int ReadUpTo(int fd, std::size_t maxBytes, std::string& bytes) {
    std::size_t used = 0;
    bytes.resize(std::min<std::size_t>(maxBytes + 1, 64 * 1024));
    while (used <= maxBytes) {
        if (used == bytes.size()) bytes.resize(std::min(maxBytes + 1, bytes.size() * 2));
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) break;
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    return 0;
}

}  // namespace

RegularFileRead ReadRegularFile(const std::string& path, std::size_t maxBytes) {
    RegularFileRead result;
    // Looked at before it is opened: opening a device can have effects of its own (a
    // serial port's lines change), and opening a pipe would wait for a writer.
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return SystemFailure(errno);
    if (Refuse(info, maxBytes, result)) return result;
    // Whatever may have been put in its place since is opened without waiting and
    // looked at again.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return SystemFailure(errno);
    if (::fstat(fd, &info) != 0) {
        result = SystemFailure(errno);
    } else if (!Refuse(info, maxBytes, result)) {
        if (const int error = ReadUpTo(fd, maxBytes, result.bytes)) {
            result = SystemFailure(error);
        } else if (result.bytes.size() > maxBytes) {
            result = TooLarge(maxBytes);
        } else {
            result.status = RegularFileRead::Status::Read;
        }
    }
    ::close(fd);
    return result;
}

}  // namespace kt::measurement
