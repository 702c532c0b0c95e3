// The time source of the sampling clock: a monotonic count of whole hundredths of a
// second. The program reads the steady clock; tests drive a counter of their own.
#pragma once

#include <chrono>
#include <cstdint>

namespace kt::measurement {

class HundredthsClock {
public:
    virtual ~HundredthsClock() = default;
    // Never goes backwards; only differences between readings mean anything.
    virtual int64_t NowHundredths() = 0;
};

// std::chrono::steady_clock cut down to whole hundredths (not affected by changes of the
// wall clock, so a pass after a clock adjustment still measures the real gap).
class SteadyHundredthsClock : public HundredthsClock {
public:
    int64_t NowHundredths() override {
        using namespace std::chrono;
        return duration_cast<duration<int64_t, std::centi>>(steady_clock::now().time_since_epoch())
            .count();
    }
};

}  // namespace kt::measurement
