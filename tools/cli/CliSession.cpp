#include "CliSession.h"

#include <chrono>
#include <cstdio>
#include <thread>

#include "Commands.h"

namespace kt::cli {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

void ConsoleLog::AppendFrameLine(const std::string& line) {
    if (PrintLine(line)) FlushOutput();  // each line as it comes, for a reader on a pipe
}

void ConsoleDialogs::ShowPlainMessage(const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
}

void ConsoleDialogs::ShowInfoMessage(const std::string& caption, const std::string& text) {
    std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
}

void HeadlessWizardView::Pause(int milliseconds) {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

CliSession::CliSession(const std::string& portName)
    : wizardView(portName), core({queue, view, dialogs, warnings, device::NumberFormat{'.'}, "."}) {
    core.SetFrameLog(&log);
    core.Wizard().SetView(&wizardView);
    core.State().suppressOpenMessage = true;
    core.SetPortLostHandler([this] {
        portLost_ = true;
        if (sampling_ != nullptr) sampling_->HaltByLostPort();
    });
}

bool CliSession::RunUntil(const std::function<bool()>& done, int64_t timeoutMs, bool syncTicks) {
    const auto start = Clock::now();
    auto nextWizard = start + milliseconds(kWizardPeriodMs);
    auto nextSync = start + milliseconds(kSyncPeriodMs);
    device::ChannelEvent event;
    while (!done()) {
        if (portLost_ && !core.Reconnector().Enabled()) return false;
        const auto now = Clock::now();
        if (timeoutMs >= 0 && now - start >= milliseconds(timeoutMs)) return false;
        if (now >= nextWizard) {
            if (core.Wizard().display().timerEnabled) core.Wizard().Tick();
            nextWizard += milliseconds(kWizardPeriodMs);
            continue;
        }
        if (syncTicks && now >= nextSync) {
            core.Tick();
            nextSync += milliseconds(kSyncPeriodMs);
            continue;
        }
        auto deadline = syncTicks ? std::min(nextWizard, nextSync) : nextWizard;
        if (sampling_ != nullptr) {
            sampling_->OnIdle();
            if (const auto due = sampling_->MillisecondsUntilDue()) {
                deadline = std::min(deadline, now + milliseconds(std::max<int64_t>(*due, 1)));
            }
        }
        const auto wait = std::chrono::duration_cast<milliseconds>(deadline - now).count();
        // The open is quiet (suppressOpenMessage); a close the tool did not ask for is the
        // core's lost port, reported on standard error.
        if (queue.Pop(event, static_cast<int>(std::max<int64_t>(wait, 0)))) core.HandleEvent(event);
    }
    return true;
}

}  // namespace kt::cli
