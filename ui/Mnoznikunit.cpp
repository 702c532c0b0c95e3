#include "Mnoznikunit.h"

#include <QKeyEvent>

#include "EntryFields.h"
#include "Numbers.h"
#include "QtDialogs.h"
#include "ui_Mnoznikunit.h"
#include "widgets/StepIcons.h"

namespace kt::ui {

TMnoznikForm::TMnoznikForm(QWidget* parent)
    : QDialog(parent), ui_(std::make_unique<Ui::TMnoznikForm>()) {
    ui_->setupUi(this);
    MakeToolWindow(this);
    setFixedSize(size());
    CentreOnScreen(this);
    SetEntryColour(ui_->Edit6, Qt::white);
    ui_->BitBtn1->setIcon(QIcon(TickIcon()));
    // Enter belongs to the field; only a click on OK closes the dialog.
    ui_->BitBtn1->setDefault(false);
    ui_->BitBtn1->setAutoDefault(false);
    connect(ui_->BitBtn1, &QPushButton::clicked, this, &QWidget::close);
    ui_->Edit6->installEventFilter(this);
}

TMnoznikForm::~TMnoznikForm() = default;

void TMnoznikForm::Attach(device::DeviceState* state, char decimalSeparator) {
    state_ = state;
    decimalSeparator_ = decimalSeparator;
}

void TMnoznikForm::OpenFor(int channel) {
    channel_ = channel;
    show();
    raise();
    activateWindow();
}

void TMnoznikForm::SetEdit6Confirmed(const QString& text) {
    ui_->Edit6->setText(text);
    SetEntryColour(ui_->Edit6, ConfirmedColour());
}

QString TMnoznikForm::Edit6Text() const {
    return ui_->Edit6->text();
}

bool TMnoznikForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui_->Edit6 && event->type() == QEvent::KeyPress) {
        return Edit6KeyPress(*static_cast<QKeyEvent*>(event));
    }
    return QDialog::eventFilter(watched, event);
}

// Enter takes the multiplier, rounded to three decimals; a multiplier of 0 is refused
// (the field turns white at once and the request stays as it was).
bool TMnoznikForm::Edit6KeyPress(const QKeyEvent& key) {
    if (state_ == nullptr || !IsCharacterKey(key)) return false;
    SetEntryColour(ui_->Edit6, TypingColour());
    if (!IsEnter(key)) return false;
    float& coef = state_->Set.COEF[channel_];
    const float before = coef;
    SetEntryColour(ui_->Edit6, TakenColour());
    const std::optional<double> value =
        device::ParseFloat32(ui_->Edit6->text().toStdString(), decimalSeparator_);
    if (value) coef = static_cast<float>(device::Round3(*value));
    if (coef == 0.0f) {
        coef = before;
        SetEntryColour(ui_->Edit6, ConfirmedColour());
    }
    return true;
}

}  // namespace kt::ui
