#include "AtomicFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
#include <charconv>
#include <cstring>

namespace kt::measurement {

namespace {

constexpr int kMaxLinkHops = 40;  // the kernel's own limit for a path

std::string SystemText(int error) {
    char buf[256];
    return strerror_r(error, buf, sizeof buf);  // the GNU form returns the text
}

FileWriteResult Failure(const std::string& step, int error, const std::string& target) {
    return FileWriteResult{error, step, SystemText(error), target};
}

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Follows a chain of symbolic links to the file they finally name. Returns the errno of
// a failing look-up (0 when the path, or the link's last target, does not exist yet).
int FollowLinks(std::string& path, struct stat& info, bool& exists) {
    for (int hop = 0;; ++hop) {
        if (lstat(path.c_str(), &info) != 0) {
            exists = false;
            return errno == ENOENT ? 0 : errno;
        }
        exists = true;
        if (!S_ISLNK(info.st_mode)) return 0;
        if (hop == kMaxLinkHops) return ELOOP;
        char buf[4096];
        const ssize_t n = readlink(path.c_str(), buf, sizeof buf);
        if (n < 0) return errno;
        if (n == 0) return ENOENT;
        if (n == static_cast<ssize_t>(sizeof buf)) return ENAMETOOLONG;
        std::string target(buf, static_cast<size_t>(n));
        path = target.front() == '/' ? target : FolderOf(path) + "/" + target;
    }
}

// Temporary files of a target are named ".NAME.PID-N.tmp" beside it: hidden, and never
// ending in the target's own extension, so no file dialog or reader takes one for it.
std::string TemporaryPrefix(const std::string& target) {
    // Appended piece by piece: g++ 12 at -O3 warns wrongly about "." + a temporary.
    std::string prefix = ".";
    prefix += NameOf(target).substr(0, 200);
    prefix += '.';
    return prefix;
}

// The process that made a temporary file of the given name, or 0 when it is not one.
pid_t TemporaryOwner(std::string_view name, std::string_view prefix) {
    constexpr std::string_view kSuffix = ".tmp";
    if (name.size() <= prefix.size() + kSuffix.size() || !name.starts_with(prefix) ||
        !name.ends_with(kSuffix)) {
        return 0;
    }
    const std::string_view middle =
        name.substr(prefix.size(), name.size() - prefix.size() - kSuffix.size());
    pid_t pid = 0;
    unsigned counter = 0;
    const char* end = middle.data() + middle.size();
    const auto [afterPid, pidError] = std::from_chars(middle.data(), end, pid);
    if (pidError != std::errc() || pid <= 0 || afterPid == end || *afterPid != '-') return 0;
    const auto [afterCounter, counterError] = std::from_chars(afterPid + 1, end, counter);
    return counterError == std::errc() && afterCounter == end ? pid : 0;
}

// A save cut short (the program killed or the machine stopped between making its
// temporary file and the rename) leaves that file behind. Before the target is saved
// again, the leftovers of processes that no longer run are removed; a running process's
// file is its save in progress and stays.
void RemoveLeftoverTemporaries(const std::string& target) {
    DIR* dir = opendir(FolderOf(target).c_str());
    if (dir == nullptr) return;
    const std::string prefix = TemporaryPrefix(target);
    while (const dirent* entry = readdir(dir)) {
        const pid_t owner = TemporaryOwner(entry->d_name, prefix);
        if (owner == 0 || owner == getpid()) continue;
        if (kill(owner, 0) == 0 || errno != ESRCH) continue;
        unlinkat(dirfd(dir), entry->d_name, 0);
    }
    closedir(dir);
}

// Creates a new, empty temporary file beside `target`; hidden, with a unique suffix.
int CreateTemporary(const std::string& target, mode_t mode, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    const std::string prefix = TemporaryPrefix(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = FolderOf(target) + "/" + prefix + std::to_string(getpid()) + "-" +
                   std::to_string(counter++) + ".tmp";
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

// Gives the new file the old one's permission bits and, where allowed, its owner.
int CopyAttributes(int fd, const struct stat& old) {
    if (fchown(fd, old.st_uid, old.st_gid) != 0 && errno != EPERM) return errno;
    if (fchmod(fd, old.st_mode & 07777) != 0) return errno;
    return 0;
}

// Makes the rename itself durable; a failure here leaves a complete file in place.
void SyncFolder(const std::string& folder) {
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    fsync(fd);
    close(fd);
}

// Fills an open file (written through `fd` or at `filePath`), syncs and closes it.
FileWriteResult FillAndSync(int fd, const std::string& filePath, const std::string& target,
                            const FileFiller& fill, const FileSystemCalls& calls) {
    std::string reason;
    if (const int error = fill(fd, filePath, reason)) {
        close(fd);
        FileWriteResult failed = Failure("write", error, target);
        if (!reason.empty()) failed.reason = reason;
        return failed;
    }
    if (calls.fsync(fd) != 0) {
        const int error = errno;
        close(fd);
        return Failure("fsync", error, target);
    }
    if (close(fd) != 0) return Failure("close", errno, target);
    return FileWriteResult{0, "", "", target};
}

// Fills the temporary file and puts it in place; on failure the caller removes it.
FileWriteResult FillAndReplace(int fd, const std::string& tempPath, const std::string& target,
                               const FileFiller& fill, const FileSystemCalls& calls) {
    FileWriteResult result = FillAndSync(fd, tempPath, target, fill, calls);
    if (result.ok() && calls.rename(tempPath.c_str(), target.c_str()) != 0) {
        return Failure("rename", errno, target);
    }
    return result;
}

// A writable file in a folder the user may not write (no temporary file can be made
// beside it) is rewritten where it stands: truncated, filled and synced. A failure part
// way leaves it cut short, which is why this is only the fallback.
FileWriteResult WriteInPlace(const std::string& target, const FileFiller& fill,
                             const FileSystemCalls& calls) {
    const int fd = open(target.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return Failure("open", errno, target);
    return FillAndSync(fd, target, target, fill, calls);
}

}  // namespace

int WriteAll(int fd, std::string_view bytes, const FileSystemCalls& calls) {
    const char* data = bytes.data();
    size_t left = bytes.size();
    while (left > 0) {
        const ssize_t n = calls.write(fd, data, left);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return errno;
        if (n == 0) return EIO;  // a write that moves nothing would loop forever
        data += n;
        left -= static_cast<size_t>(n);
    }
    return 0;
}

FileWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes,
                                    const FileSystemCalls& calls) {
    const FileFiller fill = [&](int fd, const std::string&, std::string&) {
        return WriteAll(fd, bytes, calls);
    };
    return WriteFileAtomically(path, fill, calls);
}

FileWriteResult WriteFileAtomically(const std::string& path, const FileProducer& produce,
                                    const FileSystemCalls& calls) {
    const FileFiller fill = [&](int fd, const std::string&, std::string&) {
        int error = 0;
        produce([&](std::string_view piece) {
            if (error == 0) error = WriteAll(fd, piece, calls);
            return error == 0;
        });
        return error;
    };
    return WriteFileAtomically(path, fill, calls);
}

FileWriteResult WriteFileAtomically(const std::string& path, const FileFiller& fill,
                                    const FileSystemCalls& calls) {
    if (path.empty()) return Failure("open", ENOENT, path);
    std::string target = path;
    struct stat old {};
    bool exists = false;
    if (const int error = FollowLinks(target, old, exists)) return Failure("stat", error, target);
    if (exists && S_ISDIR(old.st_mode)) return Failure("open", EISDIR, target);
    if (exists && !S_ISREG(old.st_mode)) {
        // Devices, pipes and sockets are never replaced by a regular file.
        FileWriteResult refused = Failure("open", EINVAL, target);
        refused.reason = "not a regular file";
        return refused;
    }
    // A file the user may not write (read-only) is left as it is, as a write in place
    // would leave it; the rename alone would replace it whenever the folder is writable.
    if (exists) {
        const int probe = open(target.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
        if (probe < 0) return Failure("open", errno, target);
        close(probe);
    }

    RemoveLeftoverTemporaries(target);
    std::string tempPath;
    const int fd = CreateTemporary(target, exists ? 0600 : 0666, tempPath);
    if (fd < 0 && exists) return WriteInPlace(target, fill, calls);
    if (fd < 0) return Failure("open", errno, target);
    if (exists) {
        if (const int error = CopyAttributes(fd, old)) {
            close(fd);
            unlink(tempPath.c_str());
            return Failure("chmod", error, target);
        }
    }
    FileWriteResult result = FillAndReplace(fd, tempPath, target, fill, calls);
    if (!result.ok()) {
        unlink(tempPath.c_str());
        return result;
    }
    SyncFolder(FolderOf(target));
    return result;
}

}  // namespace kt::measurement
