#include "QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace kt::ui {

std::unique_ptr<QTranslator> InstallQtTranslations(std::string& missing) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    // The interface is Polish whatever the user's locale, so the Polish file is asked for.
    if (!translator->load(QStringLiteral("qtbase_pl"), folder) ||
        !QCoreApplication::installTranslator(translator.get())) {
        missing = (folder + QStringLiteral("/qtbase_pl.qm")).toStdString();
        return nullptr;
    }
    return translator;
}

}  // namespace kt::ui
