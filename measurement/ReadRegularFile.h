// Reads a small file the program depends on (the settings file, a mode picture) so that
// no file can hold it up: a pipe, a device or a socket put in the file's place (or named
// by a symbolic link there) is refused without being opened, and so is a file larger
// than the caller's cap, so a link to an endless device cannot fill the memory.
#pragma once

#include <cstddef>
#include <string>

namespace kt::measurement {

struct RegularFileRead {
    enum class Status {
        Read,     // `bytes` holds the whole file
        Missing,  // no file of that name (a link to nothing included)
        Refused,  // not a regular file, or larger than the cap
        Failed,   // the system refused to open or read it
    };
    Status status = Status::Failed;
    std::string bytes;
    // Why it was not read: the system's text, "not a regular file" or "larger than N bytes".
    std::string reason;
    bool ok() const { return status == Status::Read; }
};

// The whole file at `path` (links followed) when it is a regular file of at most
// `maxBytes` bytes. Never waits for a writer and never reads more than `maxBytes` + 1
// bytes, even from a file that grows while it is read.
RegularFileRead ReadRegularFile(const std::string& path, std::size_t maxBytes);

}  // namespace kt::measurement
