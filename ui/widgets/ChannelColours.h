// The colours of the three sensor channels: the bright one of the displays, gauges and
// needles (red, lime, aqua) and the darker one of the dial circles, scale texts and
// "Aktywny" captions (maroon, green, teal).
#pragma once

#include <QColor>

namespace kt::ui {

inline QColor ChannelColour(int channel) {
    switch (channel) {
        case 1:
            return QColor(0, 255, 0);
        case 2:
            return QColor(0, 255, 255);
        default:
            return QColor(255, 0, 0);
    }
}

inline QColor ChannelDarkColour(int channel) {
    switch (channel) {
        case 1:
            return QColor(0, 128, 0);
        case 2:
            return QColor(0, 128, 128);
        default:
            return QColor(128, 0, 0);
    }
}

}  // namespace kt::ui
