#include "ChartGlyphs.h"

#include <QPainter>
#include <QPolygonF>
#include <functional>

namespace kt::ui {

namespace {

// A transparent square canvas; the picture is drawn in a 16-unit coordinate system
// scaled to the requested size.
QPixmap Draw(int size, const std::function<void(QPainter&)>& paint) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    paint(painter);
    return pixmap;
}

void Triangle(QPainter& p, QPointF a, QPointF b, QPointF c, const QColor& fill) {
    p.setPen(QPen(fill.darker(160), 1.0));
    p.setBrush(fill);
    p.drawPolygon(QPolygonF({a, b, c}));
}

const QColor kGlyphBlue(0, 0, 128);

}  // namespace

QPixmap PlayGlyph(int size) {
    return Draw(size, [](QPainter& p) {
        Triangle(p, {3.5, 1.5}, {14.5, 8}, {3.5, 14.5}, QColor(0, 170, 0));
    });
}

QPixmap PauseGlyph(int size) {
    return Draw(size, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(kGlyphBlue);
        p.drawRect(QRectF(3, 2, 3.5, 12));
        p.drawRect(QRectF(9.5, 2, 3.5, 12));
    });
}

QPixmap ClearGlyph(int size) {
    return Draw(size, [](QPainter& p) {
        p.setPen(QPen(QColor(200, 0, 0), 3.0, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(3, 3), QPointF(13, 13));
        p.drawLine(QPointF(13, 3), QPointF(3, 13));
    });
}

QPixmap StopGlyph(int size) {
    return Draw(size, [](QPainter& p) {
        p.setPen(QPen(kGlyphBlue.darker(160), 1.0));
        p.setBrush(kGlyphBlue);
        p.drawRect(QRectF(2.5, 2.5, 11, 11));
    });
}

QPixmap FirstPageGlyph(int size) {
    return Draw(size, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRect(QRectF(3, 3, 2, 10));
        Triangle(p, {13, 3}, {6, 8}, {13, 13}, Qt::black);
    });
}

QPixmap LastPageGlyph(int size) {
    return Draw(size, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawRect(QRectF(11, 3, 2, 10));
        Triangle(p, {3, 3}, {10, 8}, {3, 13}, Qt::black);
    });
}

}  // namespace kt::ui
