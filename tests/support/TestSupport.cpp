#include "TestSupport.h"

#include <chrono>
#include <cstdio>
#include <sstream>

namespace kt::test {

std::vector<uint8_t> Hex(const std::string& text) {
    std::vector<uint8_t> out;
    std::istringstream in(text);
    std::string token;
    while (in >> token) out.push_back(static_cast<uint8_t>(std::stoul(token, nullptr, 16)));
    return out;
}

std::string ToHex(const uint8_t* data, int length) {
    std::string s;
    char buf[4];
    for (int i = 0; i < length; ++i) {
        std::snprintf(buf, sizeof buf, "%02X", data[i]);
        if (i) s += ' ';
        s += buf;
    }
    return s;
}

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace kt::test
