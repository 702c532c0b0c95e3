// What the program's entry fields share: the keys that count as typing, Enter, and the
// three colours of an entry (being typed, taken into the request, confirmed).
#pragma once

#include <QColor>
#include <QKeyEvent>
#include <QPalette>
#include <QToolTip>

namespace kt::ui {

inline bool IsEnter(const QKeyEvent& key) {
    return key.key() == Qt::Key_Return || key.key() == Qt::Key_Enter;
}

// Keys that produce a character (letters, digits, Backspace, Enter, Escape); bare
// modifiers, Tab and cursor keys do not count as typing.
inline bool IsCharacterKey(const QKeyEvent& key) {
    return IsEnter(key) ||
           (!key.text().isEmpty() && key.key() != Qt::Key_Tab && key.key() != Qt::Key_Backtab);
}

// The system's tooltip background, while the operator types.
inline QColor TypingColour() {
    return QToolTip::palette().color(QPalette::ToolTipBase);
}
// Light blue once the value has been taken into `Set` with Enter.
inline QColor TakenColour() {
    return QColor(166, 202, 240);
}
// White when the indicator has confirmed the value or the entry was refused.
inline QColor ConfirmedColour() {
    return QColor(Qt::white);
}

}  // namespace kt::ui
