// The serial channel's notification handler. Runs on the worker thread: it only sets or
// clears `portOpen`, copies each received block and hands opened, closed and data events
// to the user-interface thread in order; decoding happens there.
#pragma once

#include "DeviceState.h"
#include "Tserial_event.h"
#include "UiQueue.h"

namespace kt::device {

class ChannelNotifications {
public:
    ChannelNotifications(DeviceState& state, UiQueue& queue) : state_(state), queue_(queue) {}

    void OnChannelNotification(Tserial_event* channel, int code);

    // Registers this object as the channel's handler.
    void Attach(Tserial_event& channel);

private:
    static void Trampoline(void* context, Tserial_event* channel, int code);

    DeviceState& state_;
    UiQueue& queue_;
};

}  // namespace kt::device
