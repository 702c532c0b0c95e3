#include "ChannelNotifications.h"

#include <algorithm>
#include <cstring>

namespace kt::device {

void ChannelNotifications::Attach(Tserial_event& channel) {
    channel.SetNotificationHandler(&ChannelNotifications::Trampoline, this);
}

void ChannelNotifications::Trampoline(void* context, Tserial_event* channel, int code) {
    static_cast<ChannelNotifications*>(context)->OnChannelNotification(channel, code);
}

void ChannelNotifications::OnChannelNotification(Tserial_event* channel, int code) {
    if (channel == nullptr) return;
    switch (code) {
        case SERIAL_CONNECTED:
            state_.portOpen = true;
            scratch_.kind = ChannelEvent::Kind::Opened;
            scratch_.count = 0;
            queue_.Post(scratch_);
            break;
        case SERIAL_DISCONNECTED:
            scratch_.kind = ChannelEvent::Kind::Closed;
            scratch_.count = 0;
            queue_.Post(scratch_);
            state_.portOpen = false;
            break;
        case SERIAL_DATA_ARRIVAL:
            if (state_.portOpen) {
                const int count = std::clamp(channel->ReceivedCount(), 0, ChannelEvent::kMaxBytes);
                scratch_.kind = ChannelEvent::Kind::Data;
                scratch_.count = count;
                std::memcpy(scratch_.bytes, channel->ReceivedBytes(), static_cast<size_t>(count));
                queue_.Post(scratch_);
            }
            channel->ReleaseReceiveBuffer();
            break;
        default:
            break;
    }
}

}  // namespace kt::device
