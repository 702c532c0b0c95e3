#include "O_programie_unit.h"

#include <QPainter>

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

// The maker's logo, a 240 x 280 picture.
QPixmap Logo() {
    QPixmap logo(240, 280);
    logo.fill(Qt::white);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(0, 70, 150));
    painter.drawRoundedRect(QRectF(20, 20, 200, 200), 36, 36);
    // A white "A" made of two strokes and a bar.
    painter.setPen(QPen(Qt::white, 26, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(QPolygonF({QPointF(62, 182), QPointF(120, 52), QPointF(178, 182)}));
    painter.drawLine(QPointF(88, 138), QPointF(152, 138));
    painter.setPen(QColor(0, 70, 150));
    painter.setFont(TahomaPixels(40, true));
    painter.drawText(QRect(0, 224, 240, 52), Qt::AlignCenter, QStringLiteral("ARDEKO"));
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
    ui_->Label3->setFont(TahomaPixels(21, false));
    for (QLabel* label : {ui_->Label8, ui_->Label9, ui_->Label10}) {
        label->setFont(TahomaPixels(11, false));
    }
    for (QLabel* label : {ui_->Label4, ui_->Label2, ui_->Label7, ui_->Label5}) {
        label->setFont(TahomaPixels(16, false));
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
