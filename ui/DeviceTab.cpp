#include "DeviceTab.h"

#include <QKeyEvent>
#include <QPainter>
#include <QSignalBlocker>
#include <limits>

#include "EntryFields.h"
#include "IndicatorTab.h"
#include "JpegImage.h"
#include "Mnoznikunit.h"
#include "Wartoscunit.h"
#include "ui_DeviceTab.h"
#include "widgets/SensorComboBox.h"

namespace kt::ui {

namespace {

void Paint(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, colour);
    palette.setColor(QPalette::Button, colour);
    widget->setPalette(palette);
}

std::optional<int32_t> ParseInt32(const QString& text) {
    const std::optional<int64_t> value = device::ParseInteger(text.toStdString());
    if (!value || *value < std::numeric_limits<int32_t>::min() ||
        *value > std::numeric_limits<int32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<int32_t>(*value);
}

}  // namespace

DeviceTab::DeviceTab(QWidget* parent) : QWidget(parent), ui_(std::make_unique<Ui::DeviceTab>()) {
    ui_->setupUi(this);
    ui_->UpDown1->setAssociate(ui_->Edit4);
    ui_->UpDown3->setAssociate(ui_->Edit5);
    ui_->UpDown4->setAssociate(ui_->Edit9);
    for (QLineEdit* edit : {ui_->Edit4, ui_->Edit5, ui_->Edit6, ui_->Edit7, ui_->Edit9}) {
        Paint(edit, ConfirmedColour());
        edit->installEventFilter(this);
    }
    ui_->Image2->installEventFilter(this);
    // The caption stands left of the box: keep the pair at the group's left edge.
    ui_->CheckBox15->adjustSize();

    connect(ui_->BitBtn7, &QPushButton::clicked, this, &DeviceTab::wizardRequested);
    connect(ui_->BitBtn3, &QPushButton::clicked, this, &DeviceTab::BitBtn3Click);
    connect(ui_->ComboBox1, &QComboBox::activated, this, &DeviceTab::ComboBox1Click);
    connect(ui_->ComboBox2, &QComboBox::activated, this, &DeviceTab::ComboBox2Click);
    connect(ui_->UpDown1, &UpDown::clicked, this, &DeviceTab::UpDown1Click);
    connect(ui_->UpDown3, &UpDown::clicked, this, &DeviceTab::UpDown3Click);
    connect(ui_->UpDown4, &UpDown::clicked, this, &DeviceTab::UpDown4Click);
    connect(ui_->CheckBox15, &QCheckBox::toggled, this, &DeviceTab::CheckBox15Click);
    ShowDevicePicture();
}

DeviceTab::~DeviceTab() = default;

void DeviceTab::Attach(device::DeviceState& state, device::FrameSender& sender,
                       device::NumberFormat format, device::Log& log) {
    state_ = &state;
    sender_ = &sender;
    format_ = format;
    log_ = &log;
}

void DeviceTab::AttachDialogs(TWartoscForm* wartosc, TMnoznikForm* mnoznik) {
    wartosc_ = wartosc;
    mnoznik_ = mnoznik;
}

bool DeviceTab::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        const auto& key = *static_cast<QKeyEvent*>(event);
        if (watched == ui_->Edit4) return Edit4KeyPress(key);
        if (watched == ui_->Edit5) return Edit5KeyPress(key);
        if (watched == ui_->Edit9) return Edit9KeyPress(key);
        if (watched == ui_->Edit6) return Edit6KeyPress(key);
        if (watched == ui_->Edit7) return Edit7KeyPress(key);
    } else if (event->type() == QEvent::Resize && watched == ui_->Image2) {
        ShowModePicture();
    }
    return QWidget::eventFilter(watched, event);
}

bool DeviceTab::Edit4KeyPress(const QKeyEvent& key) {
    return IntegerKeyPress(ui_->Edit4, key, [this](int32_t v) { state_->Set.LED = v; });
}

bool DeviceTab::Edit5KeyPress(const QKeyEvent& key) {
    return IntegerKeyPress(ui_->Edit5, key,
                           [this](int32_t v) { state_->Set.OnTime = static_cast<uint32_t>(v); });
}

bool DeviceTab::Edit9KeyPress(const QKeyEvent& key) {
    return IntegerKeyPress(ui_->Edit9, key, [this](int32_t v) { state_->Set.decp = v; });
}

bool DeviceTab::Edit6KeyPress(const QKeyEvent& key) {
    return ThresholdKeyPress(ui_->Edit6, key, state_->Set.PK1, true);
}

bool DeviceTab::Edit7KeyPress(const QKeyEvent& key) {
    return ThresholdKeyPress(ui_->Edit7, key, state_->Set.PK2, false);
}

// Integer boxes: ignored while the panel waits for its refresh; any key paints the box as
// being typed; Enter is swallowed and takes the number (no range check on this path).
bool DeviceTab::IntegerKeyPress(QLineEdit* edit, const QKeyEvent& key,
                                const std::function<void(int32_t)>& store) {
    if (state_->refreshPending || !IsCharacterKey(key)) return false;
    Paint(edit, TypingColour());
    if (!IsEnter(key)) return false;
    TakeInteger(edit, store);
    return true;
}

// Light blue, then the text into the field if it is a whole number; the text stays as typed.
void DeviceTab::TakeInteger(QLineEdit* edit, const std::function<void(int32_t)>& store) {
    Paint(edit, TakenColour());
    if (const std::optional<int32_t> value = ParseInt32(edit->text())) store(*value);
}

// Threshold boxes, taken whatever the panel waits for. P1 keeps three decimals.
bool DeviceTab::ThresholdKeyPress(QLineEdit* edit, const QKeyEvent& key, float& field, bool round) {
    if (!IsCharacterKey(key)) return false;
    Paint(edit, TypingColour());
    if (!IsEnter(key)) return false;
    Paint(edit, TakenColour());
    const std::optional<double> value =
        device::ParseFloat32(edit->text().toStdString(), format_.decimalSeparator);
    if (value) field = static_cast<float>(round ? device::Round3(*value) : *value);
    return true;
}

void DeviceTab::UpDown1Click() {
    if (state_->refreshPending) return;
    TakeInteger(ui_->Edit4, [this](int32_t v) { state_->Set.LED = v; });
}

void DeviceTab::UpDown3Click() {
    if (state_->refreshPending) return;
    TakeInteger(ui_->Edit5, [this](int32_t v) { state_->Set.OnTime = static_cast<uint32_t>(v); });
}

void DeviceTab::UpDown4Click() {
    if (state_->refreshPending) return;
    TakeInteger(ui_->Edit9, [this](int32_t v) { state_->Set.decp = v; });
}

void DeviceTab::ComboBox1Click(int index) {
    if (state_->refreshPending || index < 0) return;
    state_->Set.mode = index;
}

void DeviceTab::ComboBox2Click(int index) {
    if (state_->refreshPending || index < 0) return;
    state_->Set.Q_NR = static_cast<uint32_t>(index);
}

void DeviceTab::CheckBox15Click(bool checked) {
    state_->Set.Beep = checked ? 1 : 0;
}

// "Przywróć ustawienia domyślne": the indicator restores its own defaults; nothing here
// changes, the panel follows the indicator's later answers.
void DeviceTab::BitBtn3Click() {
    sender_->SendWriteCommand(device::cmd::RestoreDefaults, device::ZeroPayload());
}

// device::DeviceView: the sensors' texts belong to the indicator tab.

void DeviceTab::SetSensorCaption(int sensor, const std::string& caption) {
    if (indicator_) indicator_->SetSensorCaption(sensor, caption);
}

void DeviceTab::SetSensorActive(int sensor, bool active) {
    if (indicator_) indicator_->SetSensorActive(sensor, active);
}

void DeviceTab::SetZeroLabel(int sensor, const std::string& text) {
    if (indicator_) indicator_->SetZeroLabel(sensor, text);
}

void DeviceTab::SetOffsetLabel(int sensor, const std::string& text) {
    if (indicator_) indicator_->SetOffsetLabel(sensor, text);
}

void DeviceTab::SetMultiplierLabel(int sensor, const std::string& text) {
    if (indicator_) indicator_->SetMultiplierLabel(sensor, text);
}

// device::DeviceView: the value and multiplier dialogs.

std::string DeviceTab::ValueDialogCaption() const {
    return wartosc_ ? wartosc_->Label1Caption().toStdString() : std::string();
}

void DeviceTab::SetValueDialogText(const std::string& text) {
    if (wartosc_) wartosc_->SetEdit1Confirmed(QString::fromStdString(text));
}

void DeviceTab::SetMultiplierDialogText(const std::string& text) {
    if (mnoznik_) mnoznik_->SetEdit6Confirmed(QString::fromStdString(text));
}

// device::DeviceView, device tab.

void DeviceTab::SetModeSelection(int index) {
    const QSignalBlocker block(ui_->ComboBox1);
    ui_->ComboBox1->setCurrentIndex(index >= 0 && index < ui_->ComboBox1->count() ? index : -1);
}

void DeviceTab::LoadModePicture(const std::string& path) {
    QImage image;
    if (!LoadJpegImage(path, image, log_)) return;  // the picture stays as it was
    modeImage_ = image;
    ShowModePicture();
}

void DeviceTab::SetModePictureVisible(bool visible) {
    ui_->Image2->setVisible(visible);
}

// The mode picture fills its group with its aspect ratio kept.
void DeviceTab::ShowModePicture() {
    if (modeImage_.isNull()) return;
    const QSize room = ui_->Image2->contentsRect().size();
    ui_->Image2->setPixmap(
        QPixmap::fromImage(modeImage_.scaled(room, Qt::KeepAspectRatio, Qt::SmoothTransformation)));
}

void DeviceTab::SetSensorCountText(const std::string& text) {
    ui_->Label65->setText(QString::fromStdString(text));
}

void DeviceTab::SetStatusText(const std::string& text) {
    ui_->Label66->setText(QString::fromStdString(text));
}

void DeviceTab::SetTypeText(const std::string& text) {
    ui_->Label63->setText(QString::fromStdString(text));
}

void DeviceTab::SetVersionText(const std::string& text) {
    ui_->Label64->setText(QString::fromStdString(text));
}

void DeviceTab::SetActiveSensorSelection(int index) {
    const QSignalBlocker block(ui_->ComboBox2);
    ui_->ComboBox2->setCurrentIndex(index >= 0 && index < ui_->ComboBox2->count() ? index : -1);
}

void DeviceTab::SetOnTimeText(const std::string& text) {
    ui_->Edit5->setText(QString::fromStdString(text));
}

void DeviceTab::SetPK1Text(const std::string& text) {
    ui_->Edit6->setText(QString::fromStdString(text));
}

void DeviceTab::SetPK2Text(const std::string& text) {
    ui_->Edit7->setText(QString::fromStdString(text));
}

void DeviceTab::SetLedText(const std::string& text) {
    ui_->Edit4->setText(QString::fromStdString(text));
}

void DeviceTab::SetDecpText(const std::string& text) {
    ui_->Edit9->setText(QString::fromStdString(text));
}

// Like a click: a change of the box runs CheckBox15Click.
void DeviceTab::SetBeepChecked(bool checked) {
    ui_->CheckBox15->setChecked(checked);
}

void DeviceTab::PaintDevicePanelConfirmed() {
    for (QWidget* w : std::initializer_list<QWidget*>{ui_->ComboBox1, ui_->Edit5, ui_->Edit6,
                                                      ui_->Edit7, ui_->Edit4, ui_->Edit9}) {
        Paint(w, ConfirmedColour());
    }
}

// The fixed picture at the right end of the device group: the indicator's front panel
// with its display, the two output lamps and the three sensor inputs.
void DeviceTab::ShowDevicePicture() {
    const QSize size = ui_->Image1->size();
    QPixmap pixmap(size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF body(4.5, 4.5, size.width() - 9, size.height() - 9);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(QColor(200, 203, 208));
    p.drawRoundedRect(body, 6, 6);

    const QRectF display(body.left() + 10, body.top() + 10, body.width() * 0.62, 40);
    p.setBrush(QColor(25, 25, 25));
    p.drawRoundedRect(display, 3, 3);
    QFont digits(QStringLiteral("DejaVu Sans Mono"));
    digits.setStyleHint(QFont::Monospace);
    digits.setPixelSize(28);
    digits.setBold(true);
    p.setFont(digits);
    p.setPen(QColor(255, 40, 30));
    p.drawText(display, Qt::AlignCenter, QStringLiteral("123.4"));

    QFont small = font();
    small.setPixelSize(9);
    small.setBold(true);
    p.setFont(small);
    const double lampX = display.right() + 14;
    const char* outputs[2] = {"PK1", "PK2"};
    for (int i = 0; i < 2; ++i) {
        const double y = display.top() + 6 + i * 18;
        p.setPen(QColor(40, 40, 40));
        p.setBrush(i == 0 ? QColor(0, 200, 0) : QColor(230, 170, 0));
        p.drawEllipse(QPointF(lampX, y + 4), 4, 4);
        p.drawText(QPointF(lampX + 8, y + 8), QString::fromLatin1(outputs[i]));
    }
    const double inputY = display.bottom() + 14;
    for (int i = 0; i < 3; ++i) {
        p.setPen(QColor(40, 40, 40));
        p.setBrush(SensorComboBox::SensorColour(i));
        p.drawEllipse(QPointF(display.left() + 10 + i * 26, inputY), 5, 5);
    }
    p.setPen(QColor(30, 30, 30));
    p.drawText(QRectF(display.left() + 80, inputY - 8, body.width() - 90, 16),
               Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("KT210V"));
    p.end();
    ui_->Image1->setPixmap(pixmap);
}

}  // namespace kt::ui
