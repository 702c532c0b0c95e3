// The small pictures of the main window's menu items, drawn rather than loaded.
#pragma once

#include <QIcon>

namespace kt::ui {

QIcon ConnectIcon();  // "Połączenie...": two plug halves meeting
QIcon HelpIcon();     // "pomoc programu": the blue question mark of the wizard's steps
QIcon ManualIcon();   // "instrukcja KT210V": a written page with a folded corner

}  // namespace kt::ui
