// Notices a lost serial port coming back without polling: the folders in which its name
// can reappear are watched (the start-up directory holding a link such as "COM1", /dev
// where an adapter's node is made again, the folder a link points into), and a change in
// any of them makes a descriptor readable. The window watches that descriptor with a
// socket notifier; the command-line tool reads it on its clock. Tests fake the interface.
#pragma once

#include <string>
#include <vector>

namespace kt::device {

class PortWatch {
public:
    virtual ~PortWatch() = default;
    // Watches these folders, replacing what was watched; false when none can be watched
    // (the caller then has to look for the port by itself).
    virtual bool Watch(const std::vector<std::string>& folders) = 0;
    // Watches nothing; the descriptor stays open and silent.
    virtual void Stop() = 0;
    // Readable when something changed in a watched folder; -1 while there is none. Once
    // made, it stays the same until the watch is destroyed.
    virtual int Fd() const = 0;
    // Takes whatever is pending without waiting; true when something changed.
    virtual bool TakeChanges() = 0;
};

// The watch on Linux: one inotify instance, made at the first Watch (an instance is a
// limited resource, and most runs never lose their port).
class InotifyPortWatch : public PortWatch {
public:
    InotifyPortWatch() = default;
    ~InotifyPortWatch() override;
    InotifyPortWatch(const InotifyPortWatch&) = delete;
    InotifyPortWatch& operator=(const InotifyPortWatch&) = delete;

    bool Watch(const std::vector<std::string>& folders) override;
    void Stop() override;
    int Fd() const override { return fd_; }
    bool TakeChanges() override;
    // The system's reason when the last Watch could not watch a folder.
    const std::string& LastError() const { return error_; }

private:
    int fd_ = -1;
    std::vector<int> watches_;
    std::string error_;
};

// The folders in which the port `name` can appear again: the start-up directory for a
// bare name (a link of that name may be made there), the folder of the path the name
// leads to, and, when that path is a link, the folder it points into.
std::vector<std::string> PortFolders(const std::string& name, const std::string& baseDirectory);

// Whether the port `name` leads to something that exists now (a link is followed).
bool PortPresent(const std::string& name, const std::string& baseDirectory);

}  // namespace kt::device
