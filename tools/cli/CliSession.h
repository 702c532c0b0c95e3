// The device core without a window: the program's own DeviceCore, driven by this tool's
// 50 ms and 250 ms clock on one thread, with its events drained from a plain queue.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "DeviceCore.h"
#include "SamplingClock.h"
#include "SilentViews.h"

namespace kt::cli {

// Prints the traffic monitor's frame lines when asked to; keeps the views silent.
class ConsoleLog : public device::FrameLog {
public:
    bool visible = false;
    bool IsVisible() const override { return visible; }
    void AppendFrameLine(const std::string& line) override;
    void ClearParameterView() override {}
    void AppendParameterLine(const std::string&) override {}
};

// Message boxes become lines on standard error. The one box with details is the
// wizard's failed open, which ConnectSession reports in a line of its own instead.
class ConsoleDialogs : public device::Dialogs {
public:
    void ShowPlainMessage(const std::string& text) override;
    void ShowInfoMessage(const std::string& caption, const std::string& text) override;
    void ShowPlainMessageWithDetails(const std::string&, const std::string&) override {}
};

// Warnings and errors on standard error, kept back while `quiet` (the port's open, whose
// failure the tool reports in one line of its own).
class ConsoleWarnings : public device::StderrLog {
public:
    std::atomic<bool> quiet{false};
    void Warning(const std::string& text) override {
        if (!quiet) StderrLog::Warning(text);
    }
    void Error(const std::string& text) override {
        if (!quiet) StderrLog::Error(text);
    }
};

// The wizard's window stand-in: the port text is the --port name; the pause sleeps.
class HeadlessWizardView : public device::WizardView {
public:
    explicit HeadlessWizardView(std::string port) : port_(std::move(port)) {}
    void Render(const device::WizardDisplay&) override {}
    std::string PortText() const override { return port_; }
    void Pause(int milliseconds) override;

private:
    std::string port_;
};

class CliSession {
public:
    static constexpr int kWizardPeriodMs = 50;
    static constexpr int kSyncPeriodMs = 250;

    explicit CliSession(const std::string& port);

    // Runs the clocks and decodes what arrives until `done` holds (true), or timeoutMs pass
    // or the port is lost (false; with reconnection on a loss goes on being run, and the
    // port is waited for); timeoutMs < 0: no limit. `syncTicks` runs the 250 ms tick of
    // the synchronisation and the reconnection too.
    bool RunUntil(const std::function<bool()>& done, int64_t timeoutMs, bool syncTicks);

    // The port was closed under the tool (cable pulled, adapter gone); a sampling clock
    // attached then has been halted.
    bool PortLost() const { return portLost_; }

    // With a sampling clock attached, RunUntil runs an idle pass whenever the queue is
    // empty and wakes up when the clock says a pass is due (null: none).
    void AttachSampling(measurement::SamplingClock* clock) { sampling_ = clock; }

    device::DeviceState& State() { return core.State(); }
    device::ConnectionWizard& Wizard() { return core.Wizard(); }

    ConsoleLog log;
    ConsoleDialogs dialogs;
    device::SilentDeviceView view;  // the values live in DeviceState already
    ConsoleWarnings warnings;
    device::BlockingUiQueue queue;
    HeadlessWizardView wizardView;
    device::DeviceCore core;

private:
    measurement::SamplingClock* sampling_ = nullptr;
    bool portLost_ = false;
};

}  // namespace kt::cli
