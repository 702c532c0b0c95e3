#include "IndicatorTab.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpinBox>
#include <algorithm>

#include "Mnoznikunit.h"
#include "Wartoscunit.h"
#include "widgets/ChannelColours.h"
#include "widgets/Dial.h"
#include "widgets/Fonts.h"
#include "widgets/Gauge.h"

namespace kt::ui {

namespace {

constexpr int kChannelGroupHeight = 150;
constexpr int kChannelGroupSpacing = 156;
constexpr char kNoValue[] = "-------------";
constexpr char kNoCycles[] = "-------";
// The cycle counts' size; a count too wide for the field at this size gets a smaller one.
constexpr int kCycleFontPixels = 19;
const QColor kMaroon(128, 0, 0);
const QColor kLime(0, 255, 0);

// Per channel: object names of the controls that the three channels repeat.
struct ChannelNames {
    const char* group;
    const char* active;
    const char* display;
    const char* gauge;
    const char* panel;
    const char* dial;
    const char* cycles;
    const char* zeroDialog;
    const char* offsetDialog;
    const char* multiplierDialog;
    const char* zero;
    const char* reset;
    const char* resetCycles;
    const char* zeroLabel;
    const char* offsetLabel;
    const char* multiplierLabel;
};

constexpr ChannelNames kNames[3] = {
    {"GroupBox1", "CheckBox1", "Edit1", "CGauge1", "Panel6", "PaintBox1", "Edit23", "SpeedButton1",
     "SpeedButton2", "SpeedButton3", "SpeedButton21", "SpeedButton18", "SpeedButton26", "Label4",
     "Label5", "Label6"},
    {"GroupBox2", "CheckBox2", "Edit2", "CGauge2", "Panel7", "PaintBox2", "Edit24", "SpeedButton4",
     "SpeedButton5", "SpeedButton6", "SpeedButton22", "SpeedButton24", "SpeedButton27", "Label10",
     "Label12", "Label11"},
    {"GroupBox3", "CheckBox3", "Edit3", "CGauge3", "Panel8", "PaintBox3", "Edit25", "SpeedButton7",
     "SpeedButton8", "SpeedButton9", "SpeedButton23", "SpeedButton25", "SpeedButton28", "Label16",
     "Label18", "Label17"},
};

template <typename T>
T* Make(QWidget* parent, const char* name, const QRect& geometry) {
    auto* widget = new T(parent);
    if (name != nullptr) widget->setObjectName(QString::fromLatin1(name));
    widget->setGeometry(geometry);
    return widget;
}

QLabel* Text(QWidget* parent, const char* name, const QRect& geometry, const QString& text) {
    auto* label = Make<QLabel>(parent, name, geometry);
    label->setText(text);
    return label;
}

QPushButton* Button(QWidget* parent, const char* name, const QRect& geometry, const QString& text) {
    auto* button = Make<QPushButton>(parent, name, geometry);
    button->setText(text);
    return button;
}

// A read-only display: black background, bold text in the channel's colour.
QLineEdit* Display(QWidget* parent, const char* name, const QRect& geometry, int pixelSize,
                   const QColor& colour, const char* text) {
    auto* edit = Make<QLineEdit>(parent, name, geometry);
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    edit->setFont(DisplayFont(pixelSize));
    QPalette palette = edit->palette();
    palette.setColor(QPalette::Base, Qt::black);
    palette.setColor(QPalette::Text, colour);
    edit->setPalette(palette);
    edit->setText(QString::fromLatin1(text));
    return edit;
}

void SetBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

}  // namespace

IndicatorTab::IndicatorTab(QWidget* parent) : QWidget(parent) {
    for (int i = 0; i < 3; ++i) BuildChannel(i);
    BuildOutputs();
    BuildReading();
    BuildSampling();
}

void IndicatorTab::BuildChannel(int i) {
    const ChannelNames& n = kNames[i];
    Channel& c = channels_[i];
    c.group = Make<QGroupBox>(this, n.group,
                              QRect(3, kChannelGroupSpacing * i, 934, kChannelGroupHeight));
    c.group->setTitle(QStringLiteral("Czujnik nr %1 - nie wykryto").arg(i));

    c.active = Make<QCheckBox>(c.group, n.active, QRect(16, 16, 90, 20));
    c.active->setText(QStringLiteral("Aktywny"));
    QFont bold = c.active->font();
    bold.setBold(true);
    c.active->setFont(bold);
    QPalette palette = c.active->palette();
    palette.setColor(QPalette::WindowText, ChannelDarkColour(i));
    c.active->setPalette(palette);
    connect(c.active, &QCheckBox::toggled, this,
            [this, i](bool on) { CheckBoxActiveClick(i, on); });

    c.display = Display(c.group, n.display, QRect(16, 39, 313, 58), 48, ChannelColour(i), kNoValue);
    c.gauge = Make<Gauge>(c.group, n.gauge, QRect(16, 103, 310, 18));
    c.gauge->setBarColour(ChannelColour(i));
    auto* panel = Make<QWidget>(c.group, n.panel, QRect(335, 18, kDialSize, kDialSize));
    SetBackground(panel, Qt::black);
    c.dial = Make<Dial>(panel, n.dial, QRect(0, 0, kDialSize, kDialSize));
    c.dial->setChannel(i);

    auto button = [&](const char* name, int x, int y, int w, int h, const char* text,
                      void (IndicatorTab::*slot)(int)) {
        auto* b = Button(c.group, name, QRect(x, y, w, h), QString::fromUtf8(text));
        connect(b, &QPushButton::clicked, this, [this, i, slot] { (this->*slot)(i); });
    };
    button(n.zero, 578, 21, 85, 25, "   zeruj    ", &IndicatorTab::ZeroClick);
    button(n.reset, 578, 49, 85, 25, "  Resetuj", &IndicatorTab::ResetClick);
    button(n.zeroDialog, 667, 21, 150, 25, "ustaw wirtualne zero...",
           &IndicatorTab::ZeroDialogClick);
    button(n.offsetDialog, 667, 49, 150, 25, "   wprowadź offset...   ",
           &IndicatorTab::OffsetDialogClick);
    button(n.multiplierDialog, 667, 77, 150, 25, "        przemnóż...        ",
           &IndicatorTab::MultiplierDialogClick);
    button(n.resetCycles, 827, 109, 100, 28, " wyzeruj cykle", &IndicatorTab::ResetCyclesClick);

    // The parameter captions end where their values begin, wide enough for the captions
    // in any of the sans-serif fonts the system may substitute.
    Text(c.group, nullptr, QRect(819, 25, 71, 16), QStringLiteral("poz. zero = "));
    Text(c.group, nullptr, QRect(819, 53, 71, 16), QStringLiteral("offset      = "));
    Text(c.group, nullptr, QRect(819, 81, 71, 16), QString::fromUtf8("mnożnik   = "));
    c.zero = Text(c.group, n.zeroLabel, QRect(890, 25, 40, 16), QStringLiteral("0"));
    c.offset = Text(c.group, n.offsetLabel, QRect(890, 53, 40, 16), QStringLiteral("0"));
    c.multiplier = Text(c.group, n.multiplierLabel, QRect(890, 81, 40, 16), QStringLiteral("1"));
    Text(c.group, nullptr, QRect(671, 113, 74, 16), QString::fromUtf8("ilość cykli = "));
    c.cycles = Display(c.group, n.cycles, QRect(745, 105, 72, 31), kCycleFontPixels,
                       ChannelColour(i), kNoCycles);
}

void IndicatorTab::BuildOutputs() {
    auto* group = Make<QGroupBox>(this, "GroupBox4", QRect(3, 496, 146, 108));
    group->setTitle(QString::fromUtf8("Stan wyjść"));
    const char* names[2] = {"Panel1", "Panel2"};
    for (int k = 0; k < 2; ++k) {
        QLabel* panel = Text(group, names[k], QRect(10 + 66 * k, 28, 60, 60),
                             QStringLiteral("PK%1").arg(k + 1));
        panel->setAlignment(Qt::AlignCenter);
        panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        panel->setFont(DisplayFont(21));
        SetBackground(panel, kMaroon);
        outputPanels_[k] = panel;
    }
}

void IndicatorTab::BuildReading() {
    auto* group = Make<QGroupBox>(this, "GroupBox5", QRect(154, 496, 239, 108));
    group->setTitle(QStringLiteral("Odczyt"));
    QFont font = DisplayFont(13);
    const struct {
        const char* name;
        const char* text;
        void (IndicatorTab::*slot)();
    } buttons[3] = {{"SpeedButton10", "START", &IndicatorTab::SpeedButton10Click},
                    {"SpeedButton11", "STOP", &IndicatorTab::SpeedButton11Click},
                    {"SpeedButton12", "PAUSE", &IndicatorTab::SpeedButton12Click}};
    for (int k = 0; k < 3; ++k) {
        QPushButton* b = Button(group, buttons[k].name, QRect(10 + 75 * k, 28, 70, 60),
                                QString::fromLatin1(buttons[k].text));
        b->setFont(font);
        connect(b, &QPushButton::clicked, this, buttons[k].slot);
    }
}

void IndicatorTab::BuildSampling() {
    samplingGroup_ = Make<QGroupBox>(this, "GroupBox21", QRect(400, 496, 537, 108));
    samplingGroup_->setTitle(QString::fromUtf8("Próbkowanie"));
    QGroupBox* g = samplingGroup_;
    Text(g, nullptr, QRect(12, 26, 95, 20), QString::fromUtf8("próbkowanie co:"));
    period_ = Make<QSpinBox>(g, "CSpinEdit2", QRect(108, 24, 100, 24));
    period_->setRange(static_cast<int>(measurement::kMinPeriodMs),
                      static_cast<int>(measurement::kMaxPeriodMs));
    period_->setSingleStep(kPeriodStep);
    period_->setValue(static_cast<int>(measurement::kMinPeriodMs));
    // The spin box keeps its last valid value while the operator types and puts its
    // text right only when it loses the focus, so the field never fights the typing.
    // What it cannot take then (a value below 10, an empty field) becomes the nearest
    // limit, 10, rather than the value it held before.
    period_->setCorrectionMode(QAbstractSpinBox::CorrectToNearestValue);
    connect(period_, &QSpinBox::valueChanged, this, [this](int ms) {
        if (sampling_) sampling_->SetPeriodMs(ms);
    });
    Text(g, nullptr, QRect(212, 26, 30, 20), QStringLiteral("[ms]"));

    realTime_ = Make<QCheckBox>(g, "CheckBox18", QRect(12, 56, 170, 20));
    realTime_->setText(QString::fromUtf8("Próbkowanie rzeczywiste:"));
    connect(realTime_, &QCheckBox::toggled, this, &IndicatorTab::CheckBox18Click);
    realTimePeriod_ = Text(g, "Label67", QRect(30, 80, 80, 18), QString());
    realTimeUnit_ = Text(g, "Label68", QRect(112, 80, 30, 18), QStringLiteral("[ms]"));
    realTimePeriod_->setVisible(false);
    realTimeUnit_->setVisible(false);

    Text(g, nullptr, QRect(290, 26, 120, 20), QStringLiteral("czas [s]:"));
    elapsed_ = Text(g, "Label40", QRect(412, 26, 115, 20), QStringLiteral("0"));
    Text(g, nullptr, QRect(290, 56, 120, 20), QString::fromUtf8("próbek na sekundę:"));
    samplesPerSecond_ = Text(g, "Label51", QRect(412, 56, 115, 20), QString());
}

void IndicatorTab::Attach(device::DeviceState& state, device::FrameSender& sender,
                          measurement::IndicatorModel& model, measurement::SamplingClock& sampling,
                          std::function<void()> showWizard) {
    state_ = &state;
    sender_ = &sender;
    model_ = &model;
    sampling_ = &sampling;
    showWizard_ = std::move(showWizard);
    sampling_->SetPeriodMs(period_->value());
    sampling_->SetRealTime(realTime_->isChecked());
}

void IndicatorTab::AttachDialogs(TWartoscForm* wartosc, TMnoznikForm* mnoznik) {
    wartosc_ = wartosc;
    mnoznik_ = mnoznik;
}

void IndicatorTab::SetSensorCaption(int sensor, const std::string& caption) {
    channels_[sensor].group->setTitle(QString::fromStdString(caption));
}

// Like a click: a change of the box runs its handler, which applies the presence rule.
void IndicatorTab::SetSensorActive(int sensor, bool active) {
    channels_[sensor].active->setChecked(active);
}

void IndicatorTab::SetZeroLabel(int sensor, const std::string& text) {
    channels_[sensor].zero->setText(QString::fromStdString(text));
}

void IndicatorTab::SetOffsetLabel(int sensor, const std::string& text) {
    channels_[sensor].offset->setText(QString::fromStdString(text));
}

void IndicatorTab::SetMultiplierLabel(int sensor, const std::string& text) {
    channels_[sensor].multiplier->setText(QString::fromStdString(text));
}

// A box can only stay ticked for a present sensor.
void IndicatorTab::CheckBoxActiveClick(int channel, bool checked) {
    const bool ends = model_ != nullptr && model_->SetActive(channel, checked);
    if (ends == checked) return;
    const QSignalBlocker block(channels_[channel].active);
    channels_[channel].active->setChecked(ends);
}

void IndicatorTab::OnSample(const measurement::Sample& sample) {
    model_->OnSample(sample);
    for (int i = 0; i < 3; ++i) {
        if (model_->TakesSample(i, sample)) ShowChannel(i);
    }
    ShowOutputs();
}

// Texts change only when they differ, so a steady reading costs no repaint; repaints
// that do happen are queued by Qt and drawn once per frame however many samples come.
void IndicatorTab::ShowChannel(int i) {
    Channel& c = channels_[i];
    const std::string_view text = model_->DisplayText(i);
    const QString display = QString::fromLatin1(text.data(), static_cast<int>(text.size()));
    if (c.display->text() != display) c.display->setText(display);
    c.gauge->setPosition(model_->GaugePosition(i));
    const std::string_view cycles = model_->CycleText(i);
    const QString cycleText = QString::fromLatin1(cycles.data(), static_cast<int>(cycles.size()));
    if (c.cycles->text() != cycleText) {
        c.cycles->setText(cycleText);
        FitDisplayText(c.cycles, kCycleFontPixels);
    }
}

void IndicatorTab::ShowOutputs() {
    for (int k = 0; k < 2; ++k) {
        const QColor colour = model_->OutputOn(k) ? kLime : kMaroon;
        if (outputPanels_[k]->palette().color(QPalette::Window) != colour) {
            SetBackground(outputPanels_[k], colour);
        }
    }
}

void IndicatorTab::DrawDials() {
    if (model_ == nullptr) return;
    for (int i = 0; i < 3; ++i) {
        if (channels_[i].active->isChecked()) channels_[i].dial->draw(model_->DialValue(i));
    }
}

void IndicatorTab::ZeroDialogClick(int channel) {
    if (wartosc_ == nullptr || wartosc_->isVisible()) return;
    wartosc_->OpenFor(channel, QStringLiteral("Poz. zero ="));
}

void IndicatorTab::OffsetDialogClick(int channel) {
    if (wartosc_ == nullptr || wartosc_->isVisible()) return;
    wartosc_->OpenFor(channel, QStringLiteral("Offset ="));
}

void IndicatorTab::MultiplierDialogClick(int channel) {
    if (mnoznik_ == nullptr || mnoznik_->isVisible()) return;
    mnoznik_->OpenFor(channel);
}

// "  Resetuj": neutral values requested and written at once. The channel takes the
// first frame; it is still writing when the other two are offered and drops them, and
// the synchronisation then writes the two values that still differ.
void IndicatorTab::ResetClick(int i) {
    if (!PortOpen()) return;
    device::DeviceParams& set = state_->Set;
    set.COEF[i] = 1.0f;
    set.UZP[i] = 0.0f;
    set.Offset[i] = 0.0f;
    const auto code = [i](uint8_t first) { return static_cast<uint8_t>(first + i); };
    sender_->SendWriteCommand(code(device::cmd::UZP0), device::Float32Payload(0.0f));
    sender_->SendWriteCommand(code(device::cmd::COEF0), device::Float32Payload(1.0f));
    sender_->SendWriteCommand(code(device::cmd::Offset0), device::Float32Payload(0.0f));
}

// "   zeruj    ": the indicator takes its present position as zero and answers with it;
// until then the synchronisation asks for the zero position.
void IndicatorTab::ZeroClick(int i) {
    if (!PortOpen()) return;
    sender_->SendWriteCommand(static_cast<uint8_t>(device::cmd::SetZero0 + i),
                              device::ZeroPayload());
    state_->received.UZP[i] = false;
}

void IndicatorTab::ResetCyclesClick(int i) {
    if (!PortOpen()) return;
    state_->RequestCycleReset(i);
}

void IndicatorTab::SpeedButton10Click() {
    sampling_->Start();
}

void IndicatorTab::SpeedButton11Click() {
    sampling_->Stop();
}

void IndicatorTab::SpeedButton12Click() {
    sampling_->Pause();
}

void IndicatorTab::CheckBox18Click(bool checked) {
    if (sampling_) sampling_->SetRealTime(checked);
    realTimePeriod_->setVisible(checked);
    realTimeUnit_->setVisible(checked);
}

void IndicatorTab::SetPeriodMs(int64_t periodMs) {
    period_->setValue(
        static_cast<int>(std::clamp<int64_t>(periodMs, period_->minimum(), period_->maximum())));
}

void IndicatorTab::SetRealTimeChecked(bool checked) {
    realTime_->setChecked(checked);
}

// The spin box's value: the last valid one while the operator types.
int64_t IndicatorTab::PeriodMs() const {
    return period_->value();
}

bool IndicatorTab::RealTimeChecked() const {
    return realTime_->isChecked();
}

bool IndicatorTab::ActiveChecked(int channel) const {
    return channels_[channel].active->isChecked();
}

void IndicatorTab::SetElapsedText(const std::string& text) {
    elapsed_->setText(QString::fromStdString(text));
}

void IndicatorTab::SetSamplesPerSecondText(const std::string& text) {
    samplesPerSecond_->setText(QString::fromStdString(text));
    emit samplesPerSecondShown(samplesPerSecond_->text());
}

void IndicatorTab::SetRealTimePeriodText(const std::string& text) {
    realTimePeriod_->setText(QString::fromStdString(text));
}

void IndicatorTab::ShowConnectionWizard() {
    if (showWizard_) showWizard_();
}

// The six groups holding settings that must not change during a run: shaded with the
// not-allowed cursor while locked, in the button face with the normal cursor otherwise.
// Only their controls are disabled; their labels stay as they are, so the readouts of the
// run ("czas [s]:", "próbek na sekundę:", the real-time period, the device status) stay
// readable instead of being drawn greyed out while they count.
void IndicatorTab::SetSettingsLocked(bool locked) {
    QWidget* root = window();
    for (const char* name :
         {"GroupBox21", "GroupBox6", "GroupBox7", "GroupBox8", "GroupBox9", "GroupBox18"}) {
        auto* box = root->findChild<QGroupBox*>(QString::fromLatin1(name));
        if (box == nullptr) continue;
        for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (qobject_cast<QLabel*>(child) == nullptr) child->setEnabled(!locked);
        }
        const QPalette system = QWidget::palette();
        SetBackground(box, system.color(locked ? QPalette::Dark : QPalette::Button));
        if (locked) {
            box->setCursor(Qt::ForbiddenCursor);
        } else {
            box->unsetCursor();
        }
    }
}

}  // namespace kt::ui
