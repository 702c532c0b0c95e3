#include "Konfigliniform.h"

#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <utility>

#include "QtDialogs.h"
#include "ui_Konfigliniform.h"
#include "widgets/StepIcons.h"

namespace kt::ui {

namespace {

// A vertical measure between two heights, with arrow heads at both ends and its name.
void Measure(QPainter& painter, double x, double from, double to, const QString& name) {
    painter.drawLine(QPointF(x, from), QPointF(x, to));
    const double inward = to > from ? 5 : -5;
    for (const auto& [tip, dir] : {std::pair{from, inward}, std::pair{to, -inward}}) {
        painter.drawLine(QPointF(x, tip), QPointF(x - 3, tip + dir));
        painter.drawLine(QPointF(x, tip), QPointF(x + 3, tip + dir));
    }
    painter.drawText(QRectF(x + 5, (from + to) / 2 - 9, 20, 18), Qt::AlignVCenter, name);
}

// A pulse line above the axis: F from the axis to the low level, H from the low level to
// the high level.
QPixmap LinePicture(QSize size) {
    QPixmap picture(size);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    const double w = size.width(), h = size.height();
    const double axis = h - 14, low = axis - 44, high = low - 60;
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(8, axis), QPointF(w - 6, axis));
    painter.drawText(QRectF(8, axis, 60, 14), Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("oś"));
    painter.setPen(QPen(QColor(0, 110, 0), 2));
    painter.drawPolyline(QPolygonF({QPointF(8, low), QPointF(60, low), QPointF(60, high),
                                    QPointF(110, high), QPointF(110, low), QPointF(w - 6, low)}));
    painter.setPen(QPen(QColor(180, 0, 0), 1));
    Measure(painter, 30, axis, low, QStringLiteral("F"));
    Measure(painter, 130, low, high, QStringLiteral("H"));
    painter.setPen(QPen(Qt::gray, 1, Qt::DashLine));
    painter.drawLine(QPointF(110, high), QPointF(140, high));
    return picture;
}

}  // namespace

TKonigLiniiForm::TKonigLiniiForm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TKonigLiniiForm>()) {
    ui_->setupUi(this);
    MakeToolWindow(this);
    setFixedSize(size());
    // Opens at the top-left corner of the screen.
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        move(screen->availableGeometry().topLeft());
    }
    ui_->Image1->setPixmap(LinePicture(ui_->Image1->size()));
    ui_->BitBtn1->setIcon(QIcon(TickIcon()));
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &QWidget::close);
}

TKonigLiniiForm::~TKonigLiniiForm() = default;

}  // namespace kt::ui
