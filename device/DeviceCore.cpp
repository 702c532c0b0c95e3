#include "DeviceCore.h"

namespace kt::device {

void DeviceCore::CountingPort::Send(const uint8_t* data, int length) {
    ++framesHanded;
    channel_.Send(data, length);
}

DeviceCore::DeviceCore(const DeviceCoreSetup& setup)
    : log_(setup.log),
      notifications_(state_, setup.queue),
      decoder_(state_, setup.view, setup.dialogs, nullptr, setup.format, setup.startupDirectory),
      sync_(state_, sender_, setup.view, nullptr, setup.format),
      wizard_(state_, port_, sender_, sync_, setup.dialogs) {
    channel_.SetBaseDirectory(setup.startupDirectory);
    channel_.SetLog(&log_);
    decoder_.SetLog(&log_);
    notifications_.Attach(channel_);
}

DeviceCore::~DeviceCore() {
    channel_.ClosePort();
}

void DeviceCore::HandleEvent(const ChannelEvent& event) {
    ++eventsHandled_;
    decoder_.Process(event);
}

void DeviceCore::SetFrameLog(FrameLog* log) {
    sender_.SetFrameLog(log);
    sync_.SetFrameLog(log);
    decoder_.SetFrameLog(log);
}

}  // namespace kt::device
