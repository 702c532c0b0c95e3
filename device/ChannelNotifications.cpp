#include "ChannelNotifications.h"

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
            queue_.Post({ChannelEvent::Kind::Opened, {}});
            break;
        case SERIAL_DISCONNECTED:
            // Cleared before the hand-over, as it is set before the opened event: the
            // closed event's handler tells a lost port from one opened again since by it.
            state_.portOpen = false;
            queue_.Post({ChannelEvent::Kind::Closed, {}});
            break;
        case SERIAL_DATA_ARRIVAL:
            if (state_.portOpen) {
                // Only the bytes received cross over, not the whole receive buffer.
                const uint8_t* bytes = channel->ReceivedBytes();
                const int count = channel->ReceivedCount();
                if (count > 0) queue_.Post({ChannelEvent::Kind::Data, {bytes, bytes + count}});
            }
            channel->ReleaseReceiveBuffer();
            break;
        default:
            break;
    }
}

}  // namespace kt::device
