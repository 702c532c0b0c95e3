// The time source of the sampling clock: a monotonic count of whole hundredths of a
// second. The program reads the steady clock; tests drive a counter of their own.
#pragma once

#include <algorithm>
#include <chrono>
#include <cstdint>

namespace kt::measurement {

class HundredthsClock {
public:
    virtual ~HundredthsClock() = default;
    // Never goes backwards; only differences between readings mean anything.
    virtual int64_t NowHundredths() = 0;
    // Milliseconds from now until the reading becomes `hundredth` (0 when it already has).
    virtual int64_t MillisecondsUntil(int64_t hundredth) {
        return std::max<int64_t>(0, (hundredth - NowHundredths()) * 10);
    }
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
    // Up to the start of that hundredth, rounded up to whole milliseconds.
    int64_t MillisecondsUntil(int64_t hundredth) override {
        using namespace std::chrono;
        const auto left =
            duration<int64_t, std::centi>(hundredth) - steady_clock::now().time_since_epoch();
        return std::max<int64_t>(0, duration_cast<milliseconds>(left + microseconds(999)).count());
    }
};

}  // namespace kt::measurement
