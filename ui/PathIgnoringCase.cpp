#include "PathIgnoringCase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <optional>

namespace kt::ui {

namespace {

// Entries of `folder` whose names equal `name` ignoring case: the exact spelling first
// (where it exists), then the others in name order.
QStringList Candidates(const QString& folder, const QString& name) {
    QStringList found;
    const QDir dir(folder);
    if (QFileInfo::exists(dir.filePath(name))) found << name;
    const QStringList entries = dir.entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
    for (const QString& entry : entries) {
        if (entry != name && entry.compare(name, Qt::CaseInsensitive) == 0) found << entry;
    }
    return found;
}

std::optional<QString> FindExisting(const QString& folder, const QStringList& names,
                                    qsizetype index) {
    if (index == names.size()) return folder;
    for (const QString& candidate : Candidates(folder, names[index])) {
        if (auto path = FindExisting(QDir(folder).filePath(candidate), names, index + 1)) {
            return path;
        }
    }
    return std::nullopt;
}

}  // namespace

std::string FindPathIgnoringCase(const std::string& directory, const std::string& relative) {
    const QString start = QFile::decodeName(directory.c_str());
    const QStringList names =
        QString::fromStdString(relative).split(QLatin1Char('/'), Qt::SkipEmptyParts);
    if (auto path = FindExisting(start, names, 0)) return QFile::encodeName(*path).toStdString();

    QString path = start;
    qsizetype index = 0;
    for (; index < names.size(); ++index) {
        const QStringList candidates = Candidates(path, names[index]);
        if (candidates.isEmpty()) break;
        path = QDir(path).filePath(candidates.constFirst());
    }
    for (; index < names.size(); ++index) path = QDir(path).filePath(names[index]);
    return QFile::encodeName(path).toStdString();
}

}  // namespace kt::ui
