// What a registration is taken from: the channel displays and outputs as the indicator
// view shows them at that moment. The window's autoodczyt, its "Odczytaj pozycje" button
// and the command-line recorder all register through this, so their rows agree.
#pragma once

#include <cstdint>

#include "IndicatorModel.h"
#include "RegistrationTable.h"
#include "Sample.h"

namespace kt::measurement {

inline RowSource RowSourceOf(const IndicatorModel& view, const bool (&sensorPresent)[3],
                             double elapsed, int64_t wallTime) {
    RowSource source;
    source.elapsed = elapsed;
    source.wallTime = wallTime;
    for (int i = 0; i < kChannelCount; ++i) {
        source.sensorPresent[i] = sensorPresent[i];
        source.display[i] = view.Display(i);
    }
    source.outputOn[0] = view.OutputOn(0);
    source.outputOn[1] = view.OutputOn(1);
    return source;
}

// After `view` has followed `sample`: the row autoodczyt registers for it.
inline RowSource RowSourceOf(const IndicatorModel& view, const Sample& sample, int64_t wallTime) {
    return RowSourceOf(view, sample.sensorPresent, sample.elapsed, wallTime);
}

}  // namespace kt::measurement
