#include "PortWatch.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "Log.h"
#include "PortNames.h"

namespace kt::device {

namespace {

// What makes a port appear: a node made (an adapter plugged in), a link renamed into
// place (how kt210v-sim and careful scripts replace a link), permissions changed (udev
// gives a new node its group after making it).
constexpr uint32_t kChanges = IN_CREATE | IN_MOVED_TO | IN_ATTRIB;

std::string FolderOf(const std::string& path) {
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

}  // namespace

InotifyPortWatch::~InotifyPortWatch() {
    if (fd_ >= 0) close(fd_);
}

bool InotifyPortWatch::Watch(const std::vector<std::string>& folders) {
    Stop();
    error_.clear();
    if (fd_ < 0) fd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (fd_ < 0) {
        error_ = SystemReason(errno);
        return false;
    }
    for (const std::string& folder : folders) {
        const int wd = inotify_add_watch(fd_, folder.c_str(), kChanges | IN_ONLYDIR);
        if (wd >= 0) {
            watches_.push_back(wd);
        } else {
            error_ = folder + ": " + SystemReason(errno);
        }
    }
    return !watches_.empty();
}

void InotifyPortWatch::Stop() {
    for (const int wd : watches_) inotify_rm_watch(fd_, wd);
    watches_.clear();
    TakeChanges();  // what was pending belongs to the old watches
}

bool InotifyPortWatch::TakeChanges() {
    if (fd_ < 0) return false;
    bool changed = false;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t n = read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            // Removing a watch queues an event of its own, which is no change of the port;
            // a full queue lost changes, so it counts as one.
            for (ssize_t at = 0; at < n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
                if ((event->mask & (kChanges | IN_Q_OVERFLOW)) != 0) changed = true;
                at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            }
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        return changed;  // EAGAIN: nothing more pending
    }
}

std::vector<std::string> PortFolders(const std::string& name, const std::string& baseDirectory) {
    std::vector<std::string> folders;
    auto add = [&folders](const std::string& folder) {
        if (std::find(folders.begin(), folders.end(), folder) == folders.end()) {
            folders.push_back(folder);
        }
    };
    if (name.find('/') == std::string::npos && !baseDirectory.empty()) add(baseDirectory);
    const std::string path = ResolvePortPath(name, baseDirectory);
    const std::string folder = FolderOf(path);
    add(folder);
    char target[4096];
    const ssize_t n = readlink(path.c_str(), target, sizeof target - 1);
    if (n > 0) {
        const std::string to(target, static_cast<size_t>(n));
        add(FolderOf(to[0] == '/' ? to : folder + "/" + to));
    }
    return folders;
}

bool PortPresent(const std::string& name, const std::string& baseDirectory) {
    struct stat st {};
    return stat(ResolvePortPath(name, baseDirectory).c_str(), &st) == 0;
}

}  // namespace kt::device
