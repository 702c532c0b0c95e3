// The small state pictures of the connection wizard's step lines, drawn rather than
// loaded: a blue question mark (pending), a green tick (done), a red no-entry sign
// (failed), and the unused black square.
#pragma once

#include <QPixmap>

namespace kt::ui {

inline constexpr int kStepIconSize = 16;

QPixmap QuestionIcon(int size = kStepIconSize);
QPixmap TickIcon(int size = kStepIconSize);
QPixmap FailedIcon(int size = kStepIconSize);
QPixmap BlackSquareIcon(int size = kStepIconSize);

}  // namespace kt::ui
