#include "Konfigliniform.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QPainter>
#include <QScreen>
#include <QShowEvent>
#include <QSpinBox>
#include <limits>
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
    for (QSpinBox* field : Fields()) {
        field->setRange(std::numeric_limits<int>::min(), std::numeric_limits<int>::max());
        // Text that is no whole number ("", "-") stands while the operator types; when the
        // field loses the focus it reads as 0: the nearest value to a missing one.
        field->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
        field->installEventFilter(this);                           // clicks on the arrows
        field->findChild<QLineEdit*>()->installEventFilter(this);  // clicks into the text
    }
    connect(ui_->BitBtn1, &QPushButton::clicked, this, [this] {
        StoreFields();
        close();
    });
}

TKonigLiniiForm::~TKonigLiniiForm() = default;

std::array<QSpinBox*, 8> TKonigLiniiForm::Fields() const {
    return {ui_->CSpinEdit1, ui_->CSpinEdit2, ui_->CSpinEdit3, ui_->CSpinEdit4,
            ui_->CSpinEdit5, ui_->CSpinEdit6, ui_->CSpinEdit7, ui_->CSpinEdit8};
}

measurement::OutputLine TKonigLiniiForm::Pk1Line() const {
    return {ui_->CSpinEdit1->value(), ui_->CSpinEdit2->value()};
}

measurement::OutputLine TKonigLiniiForm::Pk2Line() const {
    return {ui_->CSpinEdit3->value(), ui_->CSpinEdit4->value()};
}

measurement::OutputLines TKonigLiniiForm::FieldLines() const {
    const auto fields = Fields();
    measurement::OutputLines lines;
    for (size_t i = 0; i < lines.size(); ++i) {
        lines[i] = {fields[2 * i]->value(), fields[2 * i + 1]->value()};
    }
    return lines;
}

void TKonigLiniiForm::LoadFields(const measurement::OutputLines& lines) {
    const auto fields = Fields();
    for (size_t i = 0; i < lines.size(); ++i) {
        fields[2 * i]->setValue(lines[i].H);
        fields[2 * i + 1]->setValue(lines[i].F);
    }
}

void TKonigLiniiForm::StoreFields() {
    if (stored_ == nullptr) return;
    *stored_ = FieldLines();
    emit outputLinesStored();
}

void TKonigLiniiForm::showEvent(QShowEvent* event) {
    // Only when the program shows the dialog, not when the window system restores it.
    if (!event->spontaneous() && stored_ != nullptr) LoadFields(*stored_);
    QDialog::showEvent(event);
}

bool TKonigLiniiForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonPress) StoreFields();
    return QDialog::eventFilter(watched, event);
}

}  // namespace kt::ui
