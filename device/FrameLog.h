// The traffic monitor as seen by the device layer: producers ask whether it is visible
// before they build a line, so a hidden monitor costs nothing and records nothing.
#pragma once

#include <string>

namespace kt::device {

class FrameLog {
public:
    virtual ~FrameLog() = default;
    virtual bool IsVisible() const = 0;
    // Appends one line to the frame log view.
    virtual void AppendFrameLine(const std::string& line) = 0;
    // Replaces the parameter view with the given lines (the synchronisation dump).
    virtual void ClearParameterView() = 0;
    virtual void AppendParameterLine(const std::string& line) = 0;
};

}  // namespace kt::device
