// Cost of one idle pass of the sampling clock (nothing due, and sending a request) and of
// handing one measurement on to four subscribers, with the heap allocations each makes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>

#include "AllocationCount.h"
#include "DeviceCore.h"
#include "SamplingClock.h"
#include "SilentViews.h"

using namespace kt::measurement;
using kt::bench::Measure;
using kt::bench::Print;
using kt::device::DeviceState;

namespace {

class NullSink : public kt::device::FrameSink {
public:
    void Send(const uint8_t*, int) override {}
};

// Advances one hundredth every `every` readings, so passes see time move now and then.
class TickingClock : public HundredthsClock {
public:
    explicit TickingClock(int every) : every_(every) {}
    int64_t NowHundredths() override { return ++reads_ / every_; }

private:
    int every_;
    int64_t reads_ = 0;
};

class Summer : public SampleSubscriber {
public:
    double total = 0;
    void OnSample(const Sample& s) override { total += s.angle[0] + s.elapsed; }
};

}  // namespace

int main() {
    DeviceState device;
    device.deviceReady = true;
    device.typeStatus = kt::device::TypeStatus::Recognised;
    NullSink sink;
    kt::device::FrameSender sender(sink, nullptr);
    kt::device::SilentDialogs dialogs;
    SilentSamplingView view;
    const int n = 2000000;

    TickingClock ticking(4);
    SamplingClock sampling(device, sender, dialogs, view, ticking, ',');
    sampling.SetPeriodMs(10000000);
    sampling.Start();
    Print("idle pass, fixed period, nothing due:", Measure(n, [&](int) { sampling.OnIdle(); }));
    sampling.SetPeriodMs(10);
    Print("idle pass, fixed 10 ms, request every 4th:",
          Measure(n, [&](int) { sampling.OnIdle(); }));
    sampling.SetRealTime(true);
    Print("idle pass, real time, silent device:", Measure(n, [&](int) { sampling.OnIdle(); }));

    SteadyHundredthsClock steady;
    SamplingClock onSteady(device, sender, dialogs, view, steady, ',');
    Print("idle pass on the steady clock (stopped):", Measure(n, [&](int) { onSteady.OnIdle(); }));

    Summer subscribers[4];
    for (Summer& s : subscribers) sampling.Subscribe(s);
    device.sensorPresent[0] = device.sensorPresent[2] = true;
    Print("measurement hand-on, 4 subscribers:", Measure(n, [&](int) {
              sampling.OnMeasurementFrame();
              sampling.MeasurementUpdate();
          }));
    sampling.SetRealTime(false);
    Print("measurement hand-on, fixed mode:", Measure(n, [&](int) {
              sampling.OnMeasurementFrame();
              sampling.MeasurementUpdate();
          }));
    // The whole user-interface-thread path of one answer: a received 27-byte block (three
    // sensors with cycle counts) decoded by the core and handed on to four subscribers.
    kt::device::BlockingUiQueue queue;
    kt::device::SilentDeviceView deviceView;
    kt::device::NullLog log;
    kt::device::DeviceCore core({queue, deviceView, dialogs, log, {','}, "."});
    core.State().deviceReady = true;
    core.State().typeStatus = kt::device::TypeStatus::Recognised;
    SamplingClock onCore(core.State(), core.Sender(), dialogs, view, ticking, ',');
    for (Summer& s : subscribers) onCore.Subscribe(s);
    core.Decode().SetMeasurementListener(&onCore);
    kt::device::ChannelEvent block{kt::device::ChannelEvent::Kind::Data,
                                   std::vector<uint8_t>(27, 0)};
    block.bytes[0] = block.bytes[1] = 0xF4;
    block.bytes[2] = 0x0F;
    Print("block to MeasurementUpdate, 4 subscribers:",
          Measure(n, [&](int) { core.HandleEvent(block); }));
    std::printf("(samples %llu, checksum %.1f)\n",
                static_cast<unsigned long long>(sampling.Counters().samples), subscribers[0].total);
    return 0;
}
