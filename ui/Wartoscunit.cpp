#include "Wartoscunit.h"

#include <QKeyEvent>

#include "EntryFields.h"
#include "Numbers.h"
#include "QtDialogs.h"
#include "ui_Wartoscunit.h"
#include "widgets/StepIcons.h"

namespace kt::ui {

TWartoscForm::TWartoscForm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TWartoscForm>()) {
    ui_->setupUi(this);
    MakeToolWindow(this);
    setFixedSize(size());
    CentreOnScreen(this);
    SetEntryColour(ui_->Edit1, Qt::white);
    ui_->BitBtn1->setIcon(QIcon(TickIcon()));
    // Enter belongs to the field; only a click on OK closes the dialog.
    ui_->BitBtn1->setDefault(false);
    ui_->BitBtn1->setAutoDefault(false);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &QWidget::close);
    ui_->Edit1->installEventFilter(this);
}

TWartoscForm::~TWartoscForm() = default;

void TWartoscForm::Attach(device::DeviceState* state, char decimalSeparator) {
    state_ = state;
    decimalSeparator_ = decimalSeparator;
}

void TWartoscForm::OpenFor(int channel, const QString& caption) {
    channel_ = channel;
    ui_->Label1->setText(caption);
    show();
    raise();
    activateWindow();
}

QString TWartoscForm::Label1Caption() const {
    return ui_->Label1->text();
}

void TWartoscForm::SetLabel1Caption(const QString& caption) {
    ui_->Label1->setText(caption);
}

void TWartoscForm::SetEdit1Confirmed(const QString& text) {
    ui_->Edit1->setText(text);
    SetEntryColour(ui_->Edit1, ConfirmedColour());
}

QString TWartoscForm::Edit1Text() const {
    return ui_->Edit1->text();
}

bool TWartoscForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Edit1 && event->type() == QEvent::KeyPress) {
        return Edit1KeyPress(*static_cast<QKeyEvent*>(event));
    }
    return QDialog::eventFilter(watched, event);
}

// Any typing paints the field; Enter takes the text, rounded to three decimals, into the
// zero position or the offset of the channel (by the caption). Text that is not a
// number, or no float can hold, leaves the value as it was.
bool TWartoscForm::Edit1KeyPress(const QKeyEvent& key) {
    if (state_ == nullptr || !IsCharacterKey(key)) return false;
    SetEntryColour(ui_->Edit1, TypingColour());
    if (!IsEnter(key)) return false;
    SetEntryColour(ui_->Edit1, TakenColour());
    float& target = ui_->Label1->text() == QStringLiteral("Poz. zero =")
                        ? state_->Set.UZP[channel_]
                        : state_->Set.Offset[channel_];
    const std::optional<double> value =
        device::ParseFloat32(ui_->Edit1->text().toStdString(), decimalSeparator_);
    if (value) target = static_cast<float>(device::Round3(*value));
    return true;
}

}  // namespace kt::ui
