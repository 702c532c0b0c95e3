// The 250 ms synchronisation tick: debug dump, link status text, cycle-counter resets,
// panel refresh after answers, one parameter write (or zero-position read) per tick to
// bring the indicator in line with `Set`, and the periodic status poll.
#pragma once

#include "DeviceState.h"
#include "DeviceView.h"
#include "FrameLog.h"
#include "Frames.h"
#include "Numbers.h"

namespace kt::device {

class SyncCycle {
public:
    static constexpr int kStatusPollTicks = 8;  // poll on every ninth idle tick

    SyncCycle(DeviceState& state, FrameSender& sender, DeviceView& view, FrameLog* log,
              NumberFormat format)
        : state_(state), sender_(sender), view_(view), log_(log), format_(format) {}

    void SetFrameLog(FrameLog* log) { log_ = log; }

    void Tick();
    void RefreshDevicePanel();
    // "Status:" from readiness and the running flag (also shown by every tick).
    void ShowStatusText();

private:
    void WriteDump();
    bool ServeCycleResets();
    bool WriteFirstDifference();
    bool ReadMissingZeroPosition();
    void PollStatus();

    DeviceState& state_;
    FrameSender& sender_;
    DeviceView& view_;
    FrameLog* log_;
    NumberFormat format_;
};

}  // namespace kt::device
