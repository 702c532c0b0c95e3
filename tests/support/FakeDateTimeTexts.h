// Date and time texts for tests: "DD.MM.YYYY" and "HH:MM:SS" of the UTC moment, like a
// Polish short date and long time, with an optional word before the date.
#pragma once

#include <time.h>

#include <cstdio>
#include <string>

#include "DateTimeTexts.h"

namespace kt::test {

class FakeDateTimeTexts : public kt::measurement::DateTimeTexts {
public:
    std::string datePrefix;  // e.g. "środa " to put Polish letters into the texts
    mutable int calls = 0;

    std::string ShortDate(int64_t unixSeconds) const override {
        ++calls;
        const struct tm t = Utc(unixSeconds);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02d.%02d.%04d", t.tm_mday, t.tm_mon + 1, t.tm_year + 1900);
        return datePrefix + buf;
    }
    std::string LongTime(int64_t unixSeconds) const override {
        ++calls;
        const struct tm t = Utc(unixSeconds);
        char buf[32];
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", t.tm_hour, t.tm_min, t.tm_sec);
        return buf;
    }

    // 2024-05-08 14:03:07 UTC.
    static constexpr int64_t kMoment = 1715176987;

private:
    static struct tm Utc(int64_t unixSeconds) {
        const time_t seconds = static_cast<time_t>(unixSeconds);
        struct tm t {};
        gmtime_r(&seconds, &t);
        return t;
    }
};

}  // namespace kt::test
