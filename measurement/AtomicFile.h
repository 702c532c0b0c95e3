// The one way the program writes a file: the bytes go to a temporary file in the
// target's folder, which is flushed, synced and renamed over the target, so a reader
// sees either the old file or the whole new one and a failed save leaves the old file
// untouched. Where no temporary file can be made (a folder the user may not write) an
// existing writable file is rewritten in place instead: truncated, written and synced. A
// symbolic link is followed to its final target (the link stays a link);
// an existing file keeps its permission bits (and, where allowed, its owner); a new one
// gets 0666 less the umask. Only regular files are ever replaced, and only those the
// user may write: a read-only file stays as it is and the save fails. The temporary file is
// hidden (".NAME.PID-N.tmp"); one left by a save that was killed is removed at the next
// save of the same target once its process is gone.
#pragma once

#include <sys/types.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <string_view>

namespace kt::measurement {

struct FileWriteResult {
    int error = 0;           // errno of the failing step; 0 on success
    std::string step;        // the failing step ("open", "write", "fsync", "rename", ...)
    std::string reason;      // the system's text for `error`
    std::string targetPath;  // the file that was (or would have been) replaced
    bool ok() const { return error == 0; }
};

// The system calls the writer uses where a disk can fail; tests replace them to inject
// faults (a full disk, an I/O error on sync, a refused rename).
struct FileSystemCalls {
    ssize_t (*write)(int fd, const void* data, size_t size) = ::write;
    int (*fsync)(int fd) = ::fsync;
    int (*rename)(const char* from, const char* to) = ::rename;
};

FileWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                                    const FileSystemCalls& calls = {});

// Writes all of `bytes` through `fd`, going on after short writes and interruptions;
// 0 or the errno of the failing write (EIO for a write that moved nothing).
int WriteAll(int fd, std::string_view bytes, const FileSystemCalls& calls = {});

// The same for a file written piece by piece, or by a writer that opens a file by name
// itself (a spreadsheet library): `fill` writes the whole file through `fd` or at
// `tempPath` (already created, empty, with the target's permissions),
// returning 0 or an errno and, where the system has none, a reason of its own. The file
// is then synced and renamed over the target under the same rules as above.
using FileFiller = std::function<int(int fd, const std::string& tempPath, std::string& reason)>;
FileWriteResult WriteFileAtomically(const std::string& path, const FileFiller& fill,
                                    const FileSystemCalls& calls = {});

// A file written piece by piece, so that a file of hundreds of megabytes is never held in
// memory whole: the producer hands each piece to `write`, which returns false once a
// piece could not be written (the producer should then stop; the save fails).
using FileWriter = std::function<bool(std::string_view piece)>;
using FileProducer = std::function<void(const FileWriter& write)>;
FileWriteResult WriteFileAtomically(const std::string& path, const FileProducer& produce,
                                    const FileSystemCalls& calls = {});

// Writes `content` (the bytes or their producer) to `result.path` and fills in a save's
// result (a struct with `path`, `status`, `error` and `reason`): Written, or the failed
// write's errno and reason.
template <class SaveResult, class Content>
SaveResult WriteAndReport(SaveResult result, const Content& content, const FileSystemCalls& calls) {
    const FileWriteResult write = WriteFileAtomically(result.path, content, calls);
    result.error = write.error;
    result.reason = write.reason;
    if (write.ok()) result.status = SaveResult::Status::Written;
    return result;
}

// The operator's message for a file that could not be saved: its name and the reason.
inline std::string SaveFailureText(const std::string& path, const std::string& reason) {
    return "Nie udało się zapisać pliku \"" + path + "\":\n" + reason;
}

}  // namespace kt::measurement
