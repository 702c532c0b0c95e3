// Warnings and errors that explain why something failed (a port that would not open, a
// line that hung up, a refused answer). The operator's boxes stay short; this log says
// why, with the system's reason. The program and kt210v-cli write it to standard error.
#pragma once

#include <string>

namespace kt::device {

class Log {
public:
    virtual ~Log() = default;
    // May be called from the serial worker thread as well as the user-interface thread.
    virtual void Warning(const std::string& text) = 0;
    virtual void Error(const std::string& text) = 0;
};

// One line per entry on standard error: local time to the millisecond, the level, the text.
class StderrLog : public Log {
public:
    void Warning(const std::string& text) override;
    void Error(const std::string& text) override;
};

// Discards everything (benchmarks, bulk tests).
class NullLog : public Log {
public:
    void Warning(const std::string&) override {}
    void Error(const std::string&) override {}
};

// The system's text for an errno value, such as "Permission denied".
std::string SystemReason(int err);

}  // namespace kt::device
