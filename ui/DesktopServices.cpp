#include "DesktopServices.h"

#include <QDesktopServices>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QUrl>

namespace kt::ui {

bool QtDesktopOpener::OpenFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(QFile::decodeName(path.c_str())));
}

bool QtProcessStarter::StartDetached(const std::string& program,
                                     const std::vector<std::string>& arguments,
                                     const std::string& workingDirectory) {
    QStringList list;
    list.reserve(static_cast<qsizetype>(arguments.size()));
    for (const std::string& argument : arguments) list << QString::fromStdString(argument);
    QProcess process;
    process.setProgram(QFile::decodeName(program.c_str()));
    process.setArguments(list);
    process.setWorkingDirectory(QFile::decodeName(workingDirectory.c_str()));
    return process.startDetached();
}

}  // namespace kt::ui
