#include "Fonts.h"

#include <QFontDatabase>
#include <QStringList>

namespace kt::ui {

QString DisplayFontFamily() {
    static const QString family = [] {
        const QString preferred = QStringLiteral("Verdana");
        return QFontDatabase::families().contains(preferred, Qt::CaseInsensitive)
                   ? preferred
                   : QStringLiteral("DejaVu Sans");
    }();
    return family;
}

QFont DisplayFont(int pixelSize, bool bold) {
    QFont font(DisplayFontFamily());
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

}  // namespace kt::ui
