#include "O_programie_unit.h"

#include <QPainter>
#include <cmath>

#include "QtDialogs.h"
#include "ui_O_programie_unit.h"
#include "widgets/StepIcons.h"

namespace kt::ui {

namespace {

QFont TahomaPixels(int pixels, bool bold) {
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

// The program's picture, 240 x 280: the round dial of the indicator tab with a needle in
// each channel colour, and the program's name below.
QPixmap Logo() {
    QPixmap logo(240, 280);
    logo.fill(Qt::white);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::black);
    painter.drawRoundedRect(QRectF(20, 12, 200, 200), 24, 24);

    const QPointF centre(120, 112);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(QColor(0, 128, 128), 6));
    painter.drawEllipse(centre, 68, 68);
    painter.setPen(QPen(QColor(0, 128, 128), 2));
    painter.drawLine(QPointF(120, 52), QPointF(120, 172));
    painter.drawLine(QPointF(60, 112), QPointF(180, 112));
    // Needles at 30, 150 and 250 degrees, counter-clockwise from the right.
    const struct {
        double degrees;
        QColor colour;
    } needles[] = {{30, QColor(255, 0, 0)}, {150, QColor(0, 255, 0)}, {250, QColor(0, 255, 255)}};
    for (const auto& needle : needles) {
        const double angle = needle.degrees * 3.14159265358979 / 180.0;
        painter.setPen(QPen(needle.colour, 5, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(centre, centre + QPointF(86 * std::cos(angle), -86 * std::sin(angle)));
    }
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::white);
    painter.drawEllipse(centre, 7, 7);

    painter.setPen(QColor(0, 70, 150));
    painter.setFont(TahomaPixels(34, true));
    painter.drawText(QRect(0, 218, 240, 56), Qt::AlignCenter, QStringLiteral("KT210V-PC"));
    return logo;
}

}  // namespace

TO_programieForm::TO_programieForm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TO_programieForm>()) {
    ui_->setupUi(this);
    MakeToolWindow(this);
    setFixedSize(478, 183);
    CentreOnScreen(this);
    setFont(TahomaPixels(11, false));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setAutoFillBackground(true);

    ui_->Label1->setFont(TahomaPixels(21, true));
    ui_->Label6->setFont(TahomaPixels(11, true));
    ui_->Label3->setFont(TahomaPixels(17, false));
    for (QLabel* label : {ui_->Label8, ui_->Label9, ui_->Label10}) {
        label->setFont(TahomaPixels(11, false));
    }
    // Stretched proportionally into its area.
    const QSize area = ui_->Image1->size();
    ui_->Image1->setPixmap(Logo().scaled(area, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    ui_->Image1->setAlignment(Qt::AlignCenter);
    ui_->BitBtn1->setIcon(QIcon(TickIcon()));
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &QWidget::close);
}

TO_programieForm::~TO_programieForm() = default;

}  // namespace kt::ui
