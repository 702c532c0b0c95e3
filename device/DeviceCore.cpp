#include "DeviceCore.h"

#include <chrono>

namespace kt::device {

void DeviceCore::CountingPort::Send(const uint8_t* data, int length) {
    // Sends and the handling of the closed event both run on this thread: a frame taken
    // by a worker that ends before writing it is discarded when its closed event comes.
    if (!channel_.WorkerRunning()) return;
    ++framesHanded;
    channel_.Send(data, length);
}

DeviceCore::DeviceCore(const DeviceCoreSetup& setup)
    : log_(setup.log),
      notifications_(state_, setup.queue),
      decoder_(state_, setup.view, setup.dialogs, nullptr, setup.format, setup.startupDirectory),
      sync_(state_, sender_, setup.view, nullptr, setup.format),
      wizard_(state_, port_, sender_, sync_, setup.dialogs),
      reconnection_(state_, wizard_, watch_, log_, setup.startupDirectory, [] {
          return std::chrono::duration_cast<std::chrono::milliseconds>(
                     std::chrono::steady_clock::now().time_since_epoch())
              .count();
      }) {
    channel_.SetBaseDirectory(setup.startupDirectory);
    channel_.SetLog(&log_);
    channel_.SetFrameCutter(&CutFrame);
    decoder_.SetLog(&log_);
    wizard_.SetLog(&log_);
    notifications_.Attach(channel_);
}

DeviceCore::~DeviceCore() {
    channel_.ClosePort();
}

// A lost port is a state change first and a notice second: the run is paused, sends
// are dropped and the wizard is told before the closed notice (a modal box that may wait
// for the operator for hours) is shown, so nothing goes on running under the box.
void DeviceCore::HandleEvent(const ChannelEvent& event) {
    ++eventsHandled_;
    const bool lost = event.kind == ChannelEvent::Kind::Closed && OnClosed();
    if (lost && reconnection_.Enabled()) return;  // the status and the log tell of it
    decoder_.Process(event);
}

void DeviceCore::Tick() {
    sync_.Tick();
    reconnection_.Tick();
}

void DeviceCore::SetFrameExactReads(bool on) {
    channel_.SetFrameCutter(on ? &CutFrame : nullptr);
}

// A close the program did not ask for (cable pulled, adapter gone) is a disconnect: the
// device is no longer ready, a running acquisition pauses with its elapsed time kept,
// the synchronisation stops writing, no frame waits for the next open, and the wizard
// stops its steps and offers "Połącz" again.
bool DeviceCore::OnClosed() {
    const bool requested = port_.closeRequested;
    port_.closeRequested = false;
    if (requested || state_.portOpen) return false;  // closed on purpose, or opened again since
    ++portsLost_;
    const bool wasRunning = state_.Device.GO;
    state_.deviceReady = false;
    state_.Device.GO = false;
    channel_.DiscardPendingSend();
    wizard_.PortLost();
    log_.Warning("port " + state_.portName + " lost: device marked not connected" +
                 (wasRunning ? ", acquisition paused" : ""));
    if (onPortLost_) onPortLost_();
    reconnection_.PortLost();
    sync_.ShowStatusText();
    return true;
}

void DeviceCore::SetFrameLog(FrameLog* log) {
    sender_.SetFrameLog(log);
    sync_.SetFrameLog(log);
    decoder_.SetFrameLog(log);
}

}  // namespace kt::device
