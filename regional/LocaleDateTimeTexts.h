// Date and time texts of a moment in a locale's short date and long time forms (the
// system's locale unless told otherwise), for the registration table's stamps and the
// measurement files. Only QtCore is needed, so the command-line tool uses the same texts
// as the window and both write the same files.
//
// A long time form may carry the time zone ("14:03:07 CEST"); the stamps are local
// times of day with seconds, so the zone is left out.
#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <string>

#include "DateTimeTexts.h"

namespace kt::regional {

// `format` without its unquoted time-zone fields ("t" to "tttt") and the blanks they leave
// at either end.
inline QString WithoutTimeZone(const QString& format) {
    QString kept;
    bool quoted = false;
    for (const QChar c : format) {
        if (c == QLatin1Char('\'')) quoted = !quoted;
        if (!quoted && c == QLatin1Char('t')) continue;
        kept += c;
    }
    return kept.trimmed();
}

class LocaleDateTimeTexts : public measurement::DateTimeTexts {
public:
    explicit LocaleDateTimeTexts(const QLocale& locale = QLocale::system())
        : locale_(locale), timeFormat_(WithoutTimeZone(locale.timeFormat(QLocale::LongFormat))) {}

    std::string ShortDate(int64_t unixSeconds) const override {
        return locale_.toString(Local(unixSeconds).date(), QLocale::ShortFormat).toStdString();
    }
    std::string LongTime(int64_t unixSeconds) const override {
        return locale_.toString(Local(unixSeconds).time(), timeFormat_).toStdString();
    }

private:
    static QDateTime Local(int64_t unixSeconds) {
        return QDateTime::fromSecsSinceEpoch(unixSeconds);
    }

    QLocale locale_;
    QString timeFormat_;
};

}  // namespace kt::regional
