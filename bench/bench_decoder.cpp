// Cost of decoding one answer frame, one measurement frame, and of one synchronisation
// tick (idle and writing), on the user-interface thread's path, with silent views.
#include <chrono>
#include <cstdio>
#include <functional>

#include "Decoder.h"
#include "Frames.h"
#include "SilentViews.h"
#include "SyncCycle.h"

using namespace kt::device;

namespace {

class NullSink : public FrameSink {
public:
    int sent = 0;
    void Send(const uint8_t*, int) override { ++sent; }
};

double NsPerCall(int iterations, const std::function<void()>& body) {
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) body();
    const auto t1 = std::chrono::steady_clock::now();
    return std::chrono::duration<double, std::nano>(t1 - t0).count() / iterations;
}

}  // namespace

int main() {
    DeviceState state;
    SilentDeviceView view;
    SilentDialogs dialogs;
    NullSink sink;
    Decoder decoder(state, view, dialogs, nullptr, NumberFormat{','}, "/x");
    FrameSender sender(sink, nullptr);
    SyncCycle sync(state, sender, view, nullptr, NumberFormat{','});
    const int n = 2000000;

    const auto led = BuildFrame(kHeaderAnswer, cmd::LED, BytePayload(5));
    const auto coef = BuildFrame(kHeaderAnswer, cmd::COEF0, Float32Payload(1.25f));
    const uint8_t measurement[27] = {0xF4, 0xF4, 0x3F};  // three sensors with cycles
    state.sensorPresent[0] = state.sensorPresent[1] = state.sensorPresent[2] = true;

    std::printf("decoder, byte answer (LED):        %7.1f ns\n",
                NsPerCall(n, [&] { decoder.ProcessBlock(led.bytes.data(), kFrameSize); }));
    std::printf("decoder, float answer (COEF[0]):   %7.1f ns\n",
                NsPerCall(n, [&] { decoder.ProcessBlock(coef.bytes.data(), kFrameSize); }));
    std::printf("decoder, measurement frame (27 B): %7.1f ns\n",
                NsPerCall(n, [&] { decoder.ProcessBlock(measurement, 27); }));

    state.deviceReady = true;
    for (bool& r : state.received.UZP) r = true;
    state.AdoptDeviceValues();
    std::printf("sync tick, nothing to write:       %7.1f ns\n", NsPerCall(n, [&] {
                    state.refreshPending = false;
                    sync.Tick();
                }));
    state.Set.Offset[2] = 5;  // the last pair compared: the longest path
    std::printf("sync tick, writing Offset[2]:      %7.1f ns\n", NsPerCall(n, [&] {
                    state.refreshPending = false;
                    sync.Tick();
                }));
    return sink.sent > 0 ? 0 : 1;
}
