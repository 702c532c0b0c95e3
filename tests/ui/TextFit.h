// Whether the texts of a window's labels, push buttons, check boxes and line edits fit
// their controls: the text's width in the control's font, with the style's margins
// around it where the control draws some, against the control's width.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStringList>
#include <QStyle>
#include <QStyleOptionButton>
#include <algorithm>
#include <optional>

namespace kt::test {

// The widest line of `text` in the widget's font.
inline int TextWidth(const QWidget* w, const QString& text) {
    const QFontMetrics metrics(w->font());
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        widest = std::max(widest, metrics.horizontalAdvance(line));
    }
    return widest;
}

struct TextRoom {
    int need = 0;
    int have = 0;
};

// The room a control's text needs and the room the control gives it (for word-wrapped
// labels: heights); nothing for a control of another kind or without text.
inline std::optional<TextRoom> RoomForText(QWidget* w) {
    QStyle* style = w->style();
    if (auto* b = qobject_cast<QPushButton*>(w)) {
        if (b->text().isEmpty()) return std::nullopt;
        int need = TextWidth(b, b->text()) +
                   2 * style->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b) +
                   2 * style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
        if (!b->icon().isNull()) need += b->iconSize().width() + 4;  // icon and its gap
        return TextRoom{need, b->width()};
    }
    if (auto* c = qobject_cast<QCheckBox*>(w)) {
        if (c->text().isEmpty()) return std::nullopt;
        QStyleOptionButton option;
        option.initFrom(c);
        option.text = c->text();
        const QSize text(TextWidth(c, c->text()), c->fontMetrics().height());
        return TextRoom{style->sizeFromContents(QStyle::CT_CheckBox, &option, text, c).width(),
                        c->width()};
    }
    if (auto* l = qobject_cast<QLabel*>(w)) {
        if (l->text().isEmpty()) return std::nullopt;
        if (l->wordWrap()) return TextRoom{l->heightForWidth(l->width()), l->height()};
        const int have = l->contentsRect().width() - 2 * l->margin() - std::max(l->indent(), 0);
        return TextRoom{TextWidth(l, l->text()), have};
    }
    if (auto* e = qobject_cast<QLineEdit*>(w)) {
        if (e->text().isEmpty()) return std::nullopt;
        constexpr int kLineEditMargin = 2;  // the line edit's own space beside its text
        const int frame =
            e->hasFrame() ? style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, e) : 0;
        const QMargins m = e->textMargins();
        return TextRoom{TextWidth(e, e->text()),
                        e->width() - 2 * frame - 2 * kLineEditMargin - m.left() - m.right()};
    }
    return std::nullopt;
}

// One line for each control under `root` whose text does not fit, hidden ones included.
inline QStringList TextMisfits(QWidget* root) {
    QStringList misfits;
    for (QWidget* w : root->findChildren<QWidget*>()) {
        const std::optional<TextRoom> room = RoomForText(w);
        if (!room || room->need <= room->have) continue;
        misfits << QStringLiteral("%1 %2 \"%3\": needs %4, has %5")
                       .arg(QString::fromLatin1(w->metaObject()->className()), w->objectName(),
                            w->property("text").toString())
                       .arg(room->need)
                       .arg(room->have);
    }
    return misfits;
}

}  // namespace kt::test
