// Cost of the indicator model following one sample (three ticked channels, a new value
// each time; cycle counts changing or not), with the heap allocations it makes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>

#include "AllocationCount.h"
#include "IndicatorModel.h"

using namespace kt::measurement;
using kt::bench::Measure;
using kt::bench::Print;

namespace {}  // namespace

int main() {
    kt::device::DeviceState device;
    IndicatorModel model(device, ',');
    for (int i = 0; i < 3; ++i) {
        device.sensorPresent[i] = true;
        model.SetActive(i, true);
    }
    Sample sample;
    for (bool& present : sample.sensorPresent) present = true;
    const int n = 1000000;

    const auto follow = [&](int i) {
        sample.angle[0] = static_cast<float>(i % 36000) * 0.01f;
        sample.angle[1] = 359.99994f - sample.angle[0];
        sample.angle[2] = sample.angle[0] * 0.5f;
        model.OnSample(sample);
    };
    Print("sample, 3 channels, other output mode:", Measure(n, follow));
    sample.cyclesCounted = true;
    sample.cycles[0] = sample.cycles[1] = sample.cycles[2] = 1234;
    Print("sample, 3 channels, cycles counted, same count:", Measure(n, follow));
    Print("sample, 3 channels, cycles counted, new count:", Measure(n, [&](int i) {
              sample.cycles[0] = sample.cycles[1] = sample.cycles[2] = static_cast<float>(i);
              follow(i);
          }));
    sample.cyclesCounted = false;
    Print("sample, 3 channels, huge values (1e30):", Measure(n, [&](int i) {
              sample.angle[0] = sample.angle[1] = sample.angle[2] = 1e30f + static_cast<float>(i);
              model.OnSample(sample);
          }));
    std::printf("(last texts %.*s, %.*s)\n", static_cast<int>(model.DisplayText(0).size()),
                model.DisplayText(0).data(), static_cast<int>(model.CycleText(0).size()),
                model.CycleText(0).data());
    return 0;
}
