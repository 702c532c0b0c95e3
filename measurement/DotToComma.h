// Decimal commas for texts made with printf formats, which always write a point.
#pragma once

#include <algorithm>
#include <string>

namespace kt::measurement {

// The text with every '.' replaced by ','; nothing else changes.
inline std::string DotToComma(std::string text) {
    std::replace(text.begin(), text.end(), '.', ',');
    return text;
}

}  // namespace kt::measurement
