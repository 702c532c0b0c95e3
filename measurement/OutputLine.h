// One output line of the chart: H is the height of the on level above the off level,
// F the height of the off level above the axis. Stored in the settings file, edited in
// the output-line dialog, read by the chart at each output point.
#pragma once

#include <cstdint>

namespace kt::measurement {

struct OutputLine {
    int32_t H = 0;
    int32_t F = 0;
    bool operator==(const OutputLine&) const = default;
};

}  // namespace kt::measurement
