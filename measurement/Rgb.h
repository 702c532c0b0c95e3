// A colour as three 8-bit components, for the Qt-free models that say what is drawn.
#pragma once

#include <cstdint>

namespace kt::measurement {

struct Rgb {
    uint8_t r, g, b;
    bool operator==(const Rgb&) const = default;
};

}  // namespace kt::measurement
