// The device core without a window: the same channel, hand-over, decoder, wizard steps
// and synchronisation tick as the program, driven by this tool's own 50 ms and 250 ms
// clock on one thread.
#pragma once

#include <functional>
#include <string>

#include "ChannelNotifications.h"
#include "ConnectionWizard.h"
#include "Decoder.h"
#include "DeviceState.h"
#include "Frames.h"
#include "SilentViews.h"
#include "SyncCycle.h"
#include "Tserial_event.h"
#include "UiQueue.h"

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

// Message boxes become lines on standard error.
class ConsoleDialogs : public device::Dialogs {
public:
    void ShowPlainMessage(const std::string& text) override;
    void ShowInfoMessage(const std::string& caption, const std::string& text) override;
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

// Remembers the open result so the tool can say why a port could not be opened.
class RecordingPort : public device::SerialPort {
public:
    explicit RecordingPort(device::Tserial_event& channel) : channel_(channel) {}
    void Send(const uint8_t* data, int length) override { channel_.Send(data, length); }
    void SetReadSize(int size) override { channel_.SetReadSize(size); }
    int OpenPort(const char* name, int baud, int parity, int bits, bool watch) override {
        lastResult = channel_.OpenPort(name, baud, parity, bits, watch);
        return lastResult;
    }
    void ClosePort() override { channel_.ClosePort(); }
    int lastResult = -1;

private:
    device::Tserial_event& channel_;
};

class CliSession {
public:
    static constexpr int kWizardPeriodMs = 50;
    static constexpr int kSyncPeriodMs = 250;

    explicit CliSession(const std::string& port);
    ~CliSession();

    // Runs the clocks and decodes what arrives until `done` holds or timeoutMs pass
    // (timeoutMs < 0: no limit). `syncTicks` runs the 250 ms synchronisation tick too.
    bool RunUntil(const std::function<bool()>& done, int timeoutMs, bool syncTicks);

    device::DeviceState state;
    ConsoleLog log;
    ConsoleDialogs dialogs;
    device::SilentDeviceView view;  // the values live in DeviceState already
    device::Tserial_event channel;
    RecordingPort port{channel};
    device::BlockingUiQueue queue;
    device::ChannelNotifications notifications{state, queue};
    device::FrameSender sender{port, &log};
    device::Decoder decoder;
    device::SyncCycle sync{state, sender, view, &log, device::NumberFormat{'.'}};
    HeadlessWizardView wizardView;
    device::ConnectionWizard wizard{state, port, sender, sync, dialogs};
};

}  // namespace kt::cli
