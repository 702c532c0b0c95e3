#include "AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <atomic>
#include <cerrno>
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

// Creates a new, empty temporary file beside `target`; hidden, with a unique suffix.
int CreateTemporary(const std::string& target, mode_t mode, std::string& tempPath) {
    static std::atomic<unsigned> counter{0};
    const std::string name = NameOf(target).substr(0, 200);
    for (int attempt = 0; attempt < 100; ++attempt) {
        tempPath = FolderOf(target) + "/." + name + "." + std::to_string(getpid()) + "-" +
                   std::to_string(counter++) + ".tmp";
        const int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

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

// Fills the temporary file and puts it in place; on failure the caller removes it.
FileWriteResult FillAndReplace(int fd, const std::string& tempPath, const std::string& target,
                               std::string_view bytes, const FileSystemCalls& calls) {
    if (const int error = WriteAll(fd, bytes, calls)) {
        close(fd);
        return Failure("write", error, target);
    }
    if (calls.fsync(fd) != 0) {
        const int error = errno;
        close(fd);
        return Failure("fsync", error, target);
    }
    if (close(fd) != 0) return Failure("close", errno, target);
    if (calls.rename(tempPath.c_str(), target.c_str()) != 0) {
        return Failure("rename", errno, target);
    }
    return FileWriteResult{0, "", "", target};
}

}  // namespace

FileWriteResult WriteFileAtomically(const std::string& path, std::string_view bytes,
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

    std::string tempPath;
    const int fd = CreateTemporary(target, exists ? 0600 : 0666, tempPath);
    if (fd < 0) return Failure("open", errno, target);
    if (exists) {
        if (const int error = CopyAttributes(fd, old)) {
            close(fd);
            unlink(tempPath.c_str());
            return Failure("chmod", error, target);
        }
    }
    FileWriteResult result = FillAndReplace(fd, tempPath, target, bytes, calls);
    if (!result.ok()) {
        unlink(tempPath.c_str());
        return result;
    }
    SyncFolder(FolderOf(target));
    return result;
}

}  // namespace kt::measurement
