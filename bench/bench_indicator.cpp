// Cost of the indicator model following one sample (three ticked channels, a new value
// each time; cycle counts changing or not), with the heap allocations it makes.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <new>

#include "IndicatorModel.h"

using namespace kt::measurement;

namespace {

long g_allocations = 0;

struct Figures {
    double ns;
    double allocationsPerCall;
};

Figures Measure(int iterations, const std::function<void(int)>& body) {
    const long allocationsBefore = g_allocations;
    const auto t0 = std::chrono::steady_clock::now();
    for (int i = 0; i < iterations; ++i) body(i);
    const auto t1 = std::chrono::steady_clock::now();
    return {std::chrono::duration<double, std::nano>(t1 - t0).count() / iterations,
            static_cast<double>(g_allocations - allocationsBefore) / iterations};
}

void Print(const char* what, Figures f) {
    std::printf("%-52s %8.1f ns  %.3f allocations\n", what, f.ns, f.allocationsPerCall);
}

}  // namespace

void* operator new(std::size_t size) {
    ++g_allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}

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
