// The typeface of the program's large displays, dials and output panels: Verdana where
// it is installed, otherwise DejaVu Sans, which every Linux desktop has.
#pragma once

#include <QFont>
#include <QString>

class QLineEdit;

namespace kt::ui {

// Chosen once, on the first call (a QGuiApplication must exist by then).
QString DisplayFontFamily();

// A font of that family sized in pixels, so a display looks the same at any screen
// resolution; bold unless asked otherwise.
QFont DisplayFont(int pixelSize, bool bold = true);

// A display field whose text is wider than the field would scroll to its end and show
// only the last characters: a count of 123456 would read as 23456. The field's font is
// made the largest size up to `largestPixelSize` at which the whole text fits, and the
// text is shown from its first character should even the smallest size not do.
void FitDisplayText(QLineEdit* field, int largestPixelSize);

}  // namespace kt::ui
