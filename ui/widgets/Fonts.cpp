#include "Fonts.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QLineEdit>
#include <QStringList>
#include <QStyle>

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

void FitDisplayText(QLineEdit* field, int largestPixelSize) {
    constexpr int kSmallestPixelSize = 8;
    constexpr int kLineEditSideMargin = 2;  // QLineEdit's own space left and right of the text
    const QMargins margins = field->textMargins();
    const int frame = field->hasFrame() ? field->style()->pixelMetric(QStyle::PM_DefaultFrameWidth,
                                                                      nullptr, field)
                                        : 0;
    const int room =
        field->width() - 2 * (frame + kLineEditSideMargin) - margins.left() - margins.right();
    QFont font = field->font();
    int size = largestPixelSize;
    for (; size > kSmallestPixelSize; --size) {
        font.setPixelSize(size);
        if (QFontMetrics(font).horizontalAdvance(field->text()) <= room) break;
    }
    font.setPixelSize(size);
    if (field->font() != font) field->setFont(font);
    field->setCursorPosition(0);
}

}  // namespace kt::ui
