#include "Log.h"

#include <time.h>

#include <cstdio>
#include <cstring>
#include <ctime>

namespace kt::device {

namespace {

// One fprintf per entry: stdio locks the stream, so lines from two threads never mix.
void WriteLine(const char* level, const std::string& text) {
    timespec now;
    clock_gettime(CLOCK_REALTIME, &now);
    tm local;
    localtime_r(&now.tv_sec, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d %H:%M:%S", &local);
    std::fprintf(stderr, "%s.%03ld %s: %s\n", stamp, now.tv_nsec / 1000000, level, text.c_str());
}

}  // namespace

void StderrLog::Warning(const std::string& text) {
    WriteLine("warning", text);
}

void StderrLog::Error(const std::string& text) {
    WriteLine("error", text);
}

std::string SystemReason(int err) {
    char buffer[256];
    // The GNU strerror_r returns the text, which may or may not be in the buffer.
    return strerror_r(err, buffer, sizeof buffer);
}

}  // namespace kt::device
