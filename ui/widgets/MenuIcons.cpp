#include "MenuIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include "StepIcons.h"

namespace kt::ui {

namespace {

QPixmap Blank() {
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    return pixmap;
}

}  // namespace

QIcon ConnectIcon() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(40, 40, 40), 1));
    p.setBrush(QColor(70, 120, 200));
    p.drawRect(QRectF(1.5, 5.5, 5, 5));
    p.setBrush(QColor(230, 170, 40));
    p.drawRect(QRectF(9.5, 5.5, 5, 5));
    p.drawLine(QPointF(6.5, 7), QPointF(9.5, 7));
    p.drawLine(QPointF(6.5, 9), QPointF(9.5, 9));
    p.drawLine(QPointF(0, 8), QPointF(1.5, 8));
    p.drawLine(QPointF(14.5, 8), QPointF(16, 8));
    return QIcon(pixmap);
}

QIcon HelpIcon() {
    return QIcon(QuestionIcon());
}

QIcon ManualIcon() {
    QPixmap pixmap = Blank();
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QPainterPath page;
    page.moveTo(2.5, 0.5);
    page.lineTo(10.5, 0.5);
    page.lineTo(13.5, 3.5);
    page.lineTo(13.5, 15.5);
    page.lineTo(2.5, 15.5);
    page.closeSubpath();
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(Qt::white);
    p.drawPath(page);
    p.drawLine(QPointF(10.5, 0.5), QPointF(10.5, 3.5));
    p.drawLine(QPointF(10.5, 3.5), QPointF(13.5, 3.5));
    p.setPen(QPen(QColor(70, 120, 200), 1));
    for (double y : {6.5, 8.5, 10.5, 12.5}) p.drawLine(QPointF(4.5, y), QPointF(11.5, y));
    return QIcon(pixmap);
}

}  // namespace kt::ui
