#include "StepIcons.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace kt::ui {

namespace {

// A transparent square canvas; the pictures are drawn in a 16-unit coordinate system
// scaled to the requested size.
QPixmap Canvas(int size) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

void Prepare(QPainter& painter, int size) {
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
}

}  // namespace

QPixmap QuestionIcon(int size) {
    QPixmap pixmap = Canvas(size);
    QPainter painter(&pixmap);
    Prepare(painter, size);
    painter.setPen(QPen(QColor(0, 40, 140), 1.0));
    painter.setBrush(QColor(30, 90, 220));
    painter.drawEllipse(QRectF(0.5, 0.5, 15, 15));
    // The hook of the question mark and its dot, in white.
    QPainterPath hook;
    hook.moveTo(5.2, 6.0);
    hook.cubicTo(5.2, 2.6, 10.8, 2.6, 10.8, 5.8);
    hook.cubicTo(10.8, 7.8, 8.0, 7.9, 8.0, 10.0);
    painter.setPen(QPen(Qt::white, 2.1, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(hook);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(8.0, 12.7), 1.3, 1.3);
    return pixmap;
}

QPixmap TickIcon(int size) {
    QPixmap pixmap = Canvas(size);
    QPainter painter(&pixmap);
    Prepare(painter, size);
    QPainterPath tick;
    tick.moveTo(2.0, 8.6);
    tick.lineTo(6.2, 12.8);
    tick.lineTo(14.0, 3.2);
    painter.setPen(QPen(QColor(0, 90, 0), 4.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tick);
    painter.setPen(QPen(QColor(20, 190, 20), 2.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(tick);
    return pixmap;
}

QPixmap FailedIcon(int size) {
    QPixmap pixmap = Canvas(size);
    QPainter painter(&pixmap);
    Prepare(painter, size);
    painter.setPen(QPen(QColor(210, 0, 0), 2.4));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    painter.drawLine(QPointF(3.6, 3.6), QPointF(12.4, 12.4));
    return pixmap;
}

QPixmap BlackSquareIcon(int size) {
    QPixmap pixmap = Canvas(size);
    QPainter painter(&pixmap);
    painter.fillRect(QRect(0, 0, size, size), Qt::black);
    return pixmap;
}

}  // namespace kt::ui
