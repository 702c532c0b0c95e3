#include "DesktopServices.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStringList>
#include <QUrl>

namespace kt::ui {

bool QtDesktopOpener::OpenFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(path)));
}

bool QtProcessStarter::StartDetached(const std::string& program,
                                     const std::vector<std::string>& arguments,
                                     const std::string& workingDirectory) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(arguments.size()));
    for (const std::string& argument : arguments) list << QString::fromStdString(argument);
    QProcess process;
    process.setProgram(QString::fromStdString(program));
    process.setArguments(list);
    process.setWorkingDirectory(QString::fromStdString(workingDirectory));
    return process.startDetached();
}

}  // namespace kt::ui
