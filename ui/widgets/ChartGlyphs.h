// The pictures of the chart tab's buttons, drawn rather than loaded: the recording
// buttons (play, pause, clear, stop) and the paging buttons (first and last page).
#pragma once

#include <QPixmap>

namespace kt::ui {

inline constexpr int kChartGlyphSize = 16;

QPixmap PlayGlyph(int size = kChartGlyphSize);       // green triangle pointing right
QPixmap PauseGlyph(int size = kChartGlyphSize);      // two upright bars
QPixmap ClearGlyph(int size = kChartGlyphSize);      // red cross
QPixmap StopGlyph(int size = kChartGlyphSize);       // square
QPixmap FirstPageGlyph(int size = kChartGlyphSize);  // bar, then a triangle pointing left
QPixmap LastPageGlyph(int size = kChartGlyphSize);   // triangle pointing right, then a bar

}  // namespace kt::ui
