// Small helpers shared by the test suites.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kt::test {

// "F2 F2 0C 05 00 00 00 11" -> bytes.
std::vector<uint8_t> Hex(const std::string& text);
// bytes -> "F2 F2 0C ..."
std::string ToHex(const uint8_t* data, int length);
inline std::string ToHex(const std::vector<uint8_t>& v) {
    return ToHex(v.data(), static_cast<int>(v.size()));
}

// Monotonic milliseconds.
double NowMs();

}  // namespace kt::test
