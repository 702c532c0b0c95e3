// What a channel's large display shows: nothing yet ("-------------") or the last value
// it was given while the channel's "Aktywny" box was ticked. The registration table
// keeps the value itself and makes the text when it is drawn or saved.
#pragma once

#include <string>

#include "CellFormats.h"

namespace kt::measurement {

struct ChannelDisplay {
    bool shown = false;
    float value = 0;

    void Show(float newValue) {
        shown = true;
        value = newValue;
    }
};

// After a measurement answer: the display of each channel whose "Aktywny" box is ticked
// shows the channel's value; the others keep what they showed.
inline void ShowMeasurement(ChannelDisplay (&displays)[3], const bool (&active)[3],
                            const float (&angle)[3]) {
    for (int i = 0; i < 3; ++i) {
        if (active[i]) displays[i].Show(angle[i]);
    }
}

// The display's text: the value as "%3.4f" writes it (decimal point), or the dashes.
inline std::string DisplayText(const ChannelDisplay& display) {
    if (!display.shown) return std::string(kNoValueText);
    std::string text;
    AppendFixed(text, display.value, 4);
    return text;
}

}  // namespace kt::measurement
