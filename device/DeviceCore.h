// The device core, assembled once: the serial channel, the hand-over of its events to
// the user-interface thread, the frame sender, the decoder, the synchronisation tick and
// the wizard's step machine, wired to one DeviceState. The main window and kt210v-cli
// each own one; they supply the views, the hand-over queue and the clock ticks.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "ChannelNotifications.h"
#include "ConnectionWizard.h"
#include "Decoder.h"
#include "DeviceState.h"
#include "DeviceView.h"
#include "Dialogs.h"
#include "Frames.h"
#include "Log.h"
#include "Numbers.h"
#include "PortWatch.h"
#include "Reconnection.h"
#include "SerialPort.h"
#include "SyncCycle.h"
#include "Tserial_event.h"
#include "UiQueue.h"

namespace kt::device {

// What the owner of a core supplies. The queue, views and log must outlive the core.
struct DeviceCoreSetup {
    UiQueue& queue;  // carries channel events to the thread that calls HandleEvent
    DeviceView& view;
    Dialogs& dialogs;
    Log& log;
    NumberFormat format;
    std::string startupDirectory;  // port names and mode pictures are found under it
};

class DeviceCore {
public:
    explicit DeviceCore(const DeviceCoreSetup& setup);
    // Stops the channel's worker first, so no event is handed over during teardown.
    ~DeviceCore();
    DeviceCore(const DeviceCore&) = delete;
    DeviceCore& operator=(const DeviceCore&) = delete;

    // On the user-interface thread, for each event the queue delivers, in order.
    void HandleEvent(const ChannelEvent& event);
    // The 250 ms tick: the synchronisation, then the reconnection's attempts.
    void Tick();

    // The traffic monitor (null: none) for the sender, the decoder and the sync dump.
    void SetFrameLog(FrameLog* log);
    // Reads that end on whole frames (on by default); off, a read ends only at the read
    // size or after the inter-byte time. Takes effect at the next open.
    void SetFrameExactReads(bool on);
    // Called when the port is lost under the program (a close it did not ask for), after
    // the device has been marked not ready and the acquisition stopped, before the
    // reconnection starts waiting for the port.
    void SetPortLostHandler(std::function<void()> handler) { onPortLost_ = std::move(handler); }

    DeviceState& State() { return state_; }
    const DeviceState& State() const { return state_; }
    Tserial_event& Channel() { return channel_; }
    SerialPort& Port() { return port_; }
    FrameSender& Sender() { return sender_; }
    Decoder& Decode() { return decoder_; }
    SyncCycle& Sync() { return sync_; }
    ConnectionWizard& Wizard() { return wizard_; }
    Log& Warnings() { return log_; }
    // Reconnection after a lost port (off at start). While it is on, a lost port shows no
    // notice: the status and the log tell of it.
    Reconnection& Reconnector() { return reconnection_; }

    // Channel events handled and frames handed to an open channel since construction.
    uint64_t EventsHandled() const { return eventsHandled_; }
    uint64_t FramesHanded() const { return port_.framesHanded; }
    uint64_t PortsLost() const { return portsLost_; }

private:
    // The channel as the wizard, the port menu and the sender use it. A frame offered
    // while no port is open is dropped here rather than left in the channel for its next
    // worker: after a pulled cable the wizard's polls, a factory reset pressed meanwhile
    // or any other stale frame would otherwise be the first thing written to whatever
    // device the next open reaches.
    class CountingPort : public SerialPort {
    public:
        explicit CountingPort(Tserial_event& channel) : channel_(channel) {}
        void Send(const uint8_t* data, int length) override;
        void SetReadSize(int size) override { channel_.SetReadSize(size); }
        int OpenPort(const char* name, int baudRate, int parity, int dataBits,
                     bool watchModemLines) override {
            return channel_.OpenPort(name, baudRate, parity, dataBits, watchModemLines);
        }
        void ClosePort() override {
            if (channel_.WorkerRunning()) closeRequested = true;
            channel_.ClosePort();
        }
        int LastOpenError() const override { return channel_.LastOpenError(); }
        std::string ResolvedPath() const override { return channel_.ResolvedPath(); }
        uint64_t framesHanded = 0;
        bool closeRequested = false;  // the program closed the port itself

    private:
        Tserial_event& channel_;
    };

    DeviceState state_;
    Log& log_;
    Tserial_event channel_;
    CountingPort port_{channel_};
    ChannelNotifications notifications_;
    FrameSender sender_{port_, nullptr};
    Decoder decoder_;
    SyncCycle sync_;
    ConnectionWizard wizard_;
    InotifyPortWatch watch_;
    Reconnection reconnection_;
    // True when the close was a loss (not asked for by the program).
    bool OnClosed();

    uint64_t eventsHandled_ = 0;
    uint64_t portsLost_ = 0;
    std::function<void()> onPortLost_;
};

}  // namespace kt::device
