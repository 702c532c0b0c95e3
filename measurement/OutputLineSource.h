// Where the chart reads the heights of the PK1 and PK2 lines each time it adds their
// points: the output-line dialog's fields, or their values at start-up until that dialog
// is wired in.
#pragma once

#include "ChartStore.h"

namespace kt::measurement {

class OutputLineSource {
public:
    virtual ~OutputLineSource() = default;
    // Output 0 is PK1, output 1 is PK2.
    virtual OutputLine Line(int output) const = 0;
};

// The dialog's values when the program starts: PK1 H 50, F 0; PK2 H 50, F 75.
class StartOutputLines final : public OutputLineSource {
public:
    OutputLine Line(int output) const override {
        return output == 1 ? OutputLine{50, 75} : OutputLine{50, 0};
    }
};

}  // namespace kt::measurement
