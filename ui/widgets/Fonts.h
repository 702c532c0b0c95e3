// The typeface of the program's large displays, dials and output panels: Verdana where
// it is installed, otherwise DejaVu Sans, which every Linux desktop has.
#pragma once

#include <QFont>
#include <QString>

namespace kt::ui {

// Chosen once, on the first call (a QGuiApplication must exist by then).
QString DisplayFontFamily();

// A font of that family sized in pixels, so a display looks the same at any screen
// resolution; bold unless asked otherwise.
QFont DisplayFont(int pixelSize, bool bold = true);

}  // namespace kt::ui
