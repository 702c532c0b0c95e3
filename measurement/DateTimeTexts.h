// The regional date and time texts of a moment, supplied by the window (short date and
// long time of the system locale) and faked by tests, so the measurement layer needs no
// toolkit. Texts are UTF-8 and must depend only on the whole second they are given.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>

namespace kt::measurement {

class DateTimeTexts {
public:
    virtual ~DateTimeTexts() = default;
    virtual std::string ShortDate(int64_t unixSeconds) const = 0;
    virtual std::string LongTime(int64_t unixSeconds) const = 0;
};

// The wall clock in whole seconds since 1970-01-01 UTC: the time stamp of a registration.
inline int64_t WallClockSeconds() {
    return std::chrono::duration_cast<std::chrono::seconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace kt::measurement
