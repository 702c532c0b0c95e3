// What the help and firmware commands hand to the desktop: a file to show in the viewer
// the desktop has for its type, and a program to start on its own. The program uses the
// Qt implementations; tests put recording fakes in their place.
#pragma once

#include <string>
#include <vector>

namespace kt::ui {

class DesktopOpener {
public:
    virtual ~DesktopOpener() = default;
    // Opens the file with the desktop's viewer for its type; false when no viewer could
    // be started.
    virtual bool OpenFile(const std::string& path) = 0;
};

class ProcessStarter {
public:
    virtual ~ProcessStarter() = default;
    // Starts `program` (a name looked up in PATH, or a path) with exactly these
    // arguments, no shell in between, detached from this program; false when it could
    // not be started (not found, not executable).
    virtual bool StartDetached(const std::string& program,
                               const std::vector<std::string>& arguments,
                               const std::string& workingDirectory) = 0;
};

// The desktop's own viewers (xdg-open behind QDesktopServices).
class QtDesktopOpener : public DesktopOpener {
public:
    bool OpenFile(const std::string& path) override;
};

// QProcess::startDetached.
class QtProcessStarter : public ProcessStarter {
public:
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& workingDirectory) override;
};

}  // namespace kt::ui
