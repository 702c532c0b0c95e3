// Qt's own texts (the buttons of message boxes, the file dialogs) in Polish, like the
// program's own: the toolkit's translation "qtbase_pl" from its translations folder
// (Debian package qt6-translations-l10n).
#pragma once

#include <QTranslator>
#include <memory>
#include <string>

namespace kt::ui {

// Loads the translation and installs it in the application object. Null when it cannot
// be loaded, with the file looked for in `missing`.
std::unique_ptr<QTranslator> InstallQtTranslations(std::string& missing);

}  // namespace kt::ui
