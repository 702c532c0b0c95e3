// One output's pulse line on the chart, shared by the chart store, the settings file and
// the output-line dialog.
#pragma once

#include <array>
#include <cstdint>

namespace kt::measurement {

// H is the height of the on level above the off level, F the height of the off level
// above the axis; any 32-bit whole numbers.
struct OutputLine {
    int32_t H = 0;
    int32_t F = 0;

    bool operator==(const OutputLine&) const = default;
};

// The four lines PK1..PK4 (only PK1 and PK2 are drawn; PK3 and PK4 are edited and stored).
using OutputLines = std::array<OutputLine, 4>;

// What the output-line dialog's fields hold when the program starts; the stored lines
// start at the same values, so a first showing of the dialog changes nothing.
inline constexpr OutputLines kOutputLinesAtStart{{{50, 0}, {50, 75}, {50, 150}, {50, 225}}};

}  // namespace kt::measurement
