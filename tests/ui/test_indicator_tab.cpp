// The indicator tab "Wskaźniki" and the two correction dialogs in the main window, against
// the simulated indicator served in-process: START / PAUSE / STOP and the six locked
// groups, samples reaching the displays, gauges, dials and output panels, readings no
// gauge or dial can take, a channel missing from the answers, the dialogs' colours and
// the frames they cause, the channel commands sent directly, the period field, whether
// every text fits its control, and the window's cost per sample and per dial tick.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QSpinBox>
#include <QtTest>
#include <cmath>
#include <cstdio>
#include <limits>

#include "ChartTab.h"
#include "IndicatorTab.h"
#include "MainHarness.h"
#include "Mnoznikunit.h"
#include "TextFit.h"
#include "Wartoscunit.h"
#include "widgets/Dial.h"
#include "widgets/Gauge.h"

using namespace kt;
using test::MainHarness;
using test::RunLoop;
using test::RunLoopUntil;

namespace {

constexpr int kWaitMs = 15000;
const QColor kLime(0, 255, 0);
const QColor kMaroon(128, 0, 0);
const QColor kSkyBlue(166, 202, 240);
constexpr const char* kLockedGroups[] = {"GroupBox21", "GroupBox6", "GroupBox7",
                                         "GroupBox8",  "GroupBox9", "GroupBox18"};

std::string FrameText(uint8_t header, uint8_t code, const device::Payload& payload) {
    const device::CommandFrame frame = device::BuildFrame(header, code, payload);
    return test::ToHex(frame.bytes.data(), device::kFrameSize);
}
std::string WriteOf(uint8_t code, float value) {
    return FrameText(device::kHeaderWrite, code, device::Float32Payload(value));
}
std::string CommandOf(uint8_t code) {
    return FrameText(device::kHeaderWrite, code, device::ZeroPayload());
}
size_t CountOf(const std::vector<std::string>& lines, const std::string& line) {
    return static_cast<size_t>(std::count(lines.begin(), lines.end(), line));
}
bool StartsWith(const std::string& line, const char* prefix) {
    return line.rfind(prefix, 0) == 0;
}

// A measurement answer: status bits 0..2 sensors present, 3 cycle counts, 4 PK1, 5 PK2,
// then the float of each present sensor.
std::vector<uint8_t> MeasurementBytes(uint8_t status, std::initializer_list<float> values) {
    std::vector<uint8_t> bytes{device::kHeaderMeasurement, device::kHeaderMeasurement, status};
    for (float v : values) {
        const device::Payload p = device::Float32Payload(v);
        bytes.insert(bytes.end(), p.begin(), p.end());
    }
    return bytes;
}

QString Fixed4(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%3.4f", value);
    return QString::fromLatin1(text);
}

QColor Window(QWidget* w) {
    return w->palette().color(QPalette::Window);
}
QColor Base(QWidget* w) {
    return w->palette().color(QPalette::Base);
}

}  // namespace

class IndicatorTabTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void cleanupTestCase();
    void directButtonsDoNothingWhileThePortIsClosed();
    void cycleResetIsRepeatedUntilConfirmedAndTheSyncGoesOn();
    void cycleDisplayFollowsTheModeAndAnUntickedChannelStaysStill();
    void startPauseStopAndTheSixLockedGroups();
    void realTimeBoxShowsTheMeasuredPeriod();
    void simulatorSamplesReachEveryView();
    void readingsAtTheEdges_data();
    void readingsAtTheEdges();
    void absentChannelRecordsNothingAndKeepsItsValue();
    void valueDialogEntriesAndTheirFrames();
    void multiplierDialogRefusesZero();
    void resetWritesTheFirstFrameAndTheSyncTheRest();
    void zeroTakesThePresentPosition();
    void periodFieldKeepsTheLastValidValueWhileTyping();
    void everyTextFitsItsControl();
    void windowCostFigures();

private:
    enum class Device { NotConnected, Plain, Cycling };

    bool Connect(Device device);
    ui::IndicatorTab& Tab() { return h_->Form().IndicatorPage(); }
    device::DeviceState& State() { return h_->State(); }
    measurement::SamplingClock& Sampling() { return h_->Form().Sampling(); }
    template <typename T>
    T* Get(const char* name) {
        return h_->Find<T>(name);
    }
    QLineEdit* Display(int channel) { return Get<QLineEdit>(kDisplays[channel]); }
    ui::Gauge* GaugeOf(int channel) { return Get<ui::Gauge>(kGauges[channel]); }
    ui::Dial* DialOf(int channel) { return Get<ui::Dial>(kDials[channel]); }
    void Click(const char* name) { Get<QAbstractButton>(name)->click(); }
    void Inject(const std::vector<uint8_t>& bytes) {
        h_->Form().Core().HandleEvent({device::ChannelEvent::Kind::Data, bytes});
    }
    device::DeviceParams SimParams() {
        device::DeviceParams p;
        h_->Sim().WithModel([&](sim::IndicatorModel& m) { p = m.Params(); });
        return p;
    }
    bool WaitSamples(uint64_t more) {
        const uint64_t target = Sampling().Counters().samples + more;
        return RunLoopUntil([&] { return Sampling().Counters().samples >= target; });
    }
    // After STOP: until no late answer has come for a while.
    void Settle() {
        uint64_t seen = 0;
        do {
            seen = Sampling().Counters().samples;
            RunLoop(250);
        } while (Sampling().Counters().samples != seen);
    }
    void CheckLocked(bool locked);
    void TypeAndEnter(QLineEdit* edit, const QString& text);

    static constexpr const char* kDisplays[3] = {"Edit1", "Edit2", "Edit3"};
    static constexpr const char* kGauges[3] = {"CGauge1", "CGauge2", "CGauge3"};
    static constexpr const char* kDials[3] = {"PaintBox1", "PaintBox2", "PaintBox3"};

    std::unique_ptr<MainHarness> h_;
    Device device_ = Device::NotConnected;
};

// Windows against a simulator of the kind asked for, kept for the following tests that
// ask for the same kind; all three channels ticked.
bool IndicatorTabTest::Connect(Device device) {
    if (h_ && device_ == device) return true;
    h_.reset();
    sim::ModelConfig model;
    if (device == Device::Cycling) {
        model.includeCycles = true;
        model.speedDegPerSecond = {720.0, 25.0, 40.0};  // two cycles a second on channel 0
    }
    h_ = std::make_unique<MainHarness>(model);
    device_ = device;
    if (!h_->Started()) return false;
    h_->CreateWindows(device != Device::NotConnected);
    if (device == Device::NotConnected) return true;
    if (!h_->WaitReady()) return false;
    for (int i = 0; i < 3; ++i) Tab().SetSensorActive(i, true);
    return QTest::qWaitFor([this] { return !State().refreshPending; }, kWaitMs);
}

void IndicatorTabTest::init() {
    if (h_ && State().deviceReady) {
        QTRY_VERIFY_WITH_TIMEOUT(!State().refreshPending, kWaitMs);
    }
}

void IndicatorTabTest::cleanup() {
    if (!h_) return;
    if (State().Device.GO) Sampling().Stop();
    if (h_->Form().ChartPage().Recording()) h_->Form().ChartPage().SpeedButton19Click();
    h_->Form().Forms().wartosc->hide();
    h_->Form().Forms().mnoznik->hide();
    h_->Find<QTabWidget>("PageControl1")->setCurrentIndex(0);
}

void IndicatorTabTest::cleanupTestCase() {
    h_.reset();
}

// In the button face with the normal cursor and every control enabled, or in the button
// shadow with the not-allowed cursor and every control disabled; the labels, readouts
// among them, stay readable either way.
void IndicatorTabTest::CheckLocked(bool locked) {
    const QPalette system = QApplication::palette();
    for (const char* name : kLockedGroups) {
        auto* box = Get<QGroupBox>(name);
        QVERIFY2(box != nullptr, name);
        for (QWidget* child : box->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            const bool label = qobject_cast<QLabel*>(child) != nullptr;
            QVERIFY2(child->isEnabled() == (label || !locked), qPrintable(child->objectName()));
        }
        QVERIFY(box->autoFillBackground());
        QCOMPARE(Window(box), system.color(locked ? QPalette::Dark : QPalette::Button));
        QCOMPARE(box->cursor().shape(), locked ? Qt::ForbiddenCursor : Qt::ArrowCursor);
        QCOMPARE(box->testAttribute(Qt::WA_SetCursor), locked);
    }
    for (const char* readout : {"Label40", "Label51", "Label67", "Label68", "Label66"}) {
        QVERIFY2(Get<QLabel>(readout)->isEnabled(), readout);
    }
    QCOMPARE(Get<QSpinBox>("CSpinEdit2")->isEnabled(), !locked);
    QCOMPARE(Get<QCheckBox>("CheckBox18")->isEnabled(), !locked);
}

void IndicatorTabTest::TypeAndEnter(QLineEdit* edit, const QString& text) {
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QCOMPARE(Base(edit), ui::TypingColour());
    QTest::keyClick(edit, Qt::Key_Return);
}

// "   zeruj    ", "  Resetuj" and " wyzeruj cykle" with no port open change nothing and
// leave no frame waiting: the connection made afterwards writes none of them. START and
// PAUSE ask for the wizard.
void IndicatorTabTest::directButtonsDoNothingWhileThePortIsClosed() {
    QVERIFY(Connect(Device::NotConnected));
    const device::DeviceParams set = State().Set;
    for (const char* name :
         {"SpeedButton21", "SpeedButton22", "SpeedButton23", "SpeedButton18", "SpeedButton24",
          "SpeedButton25", "SpeedButton26", "SpeedButton27", "SpeedButton28"}) {
        Click(name);
    }
    QCOMPARE(h_->Form().Core().FramesHanded(), uint64_t{0});
    for (int i = 0; i < 3; ++i) {
        QVERIFY(!State().cycleResetRequest[i]);
        QCOMPARE(State().Set.UZP[i], set.UZP[i]);
        QCOMPARE(State().Set.COEF[i], set.COEF[i]);
        QCOMPARE(State().Set.Offset[i], set.Offset[i]);
    }

    Click("SpeedButton10");
    QCOMPARE(h_->dialogs.messages,
             std::vector<std::string>{"KT210V-PC|Nie odnaleziono urządznia!"});
    QVERIFY(h_->WizardWindow().isVisible());
    QVERIFY(!State().Device.GO);
    Click("SpeedButton12");  // PAUSE asks for a device as START does
    QVERIFY(!State().Device.GO);
    QCOMPARE(h_->dialogs.messages.size(), size_t{2});

    h_->WizardWindow().BitBtn3Click();
    QVERIFY(h_->WaitReady());
    QTest::qWait(1500);  // six synchronisation ticks
    const std::vector<std::string> writes = test::Writes(h_->requests.Since(0));
    QVERIFY2(writes.empty(), writes.empty() ? "" : writes.front().c_str());
    QCOMPARE(Sampling().Counters().requests, uint64_t{0});
}

// A reset goes out although the count already reads 0; with a count running it repeats
// at each tick until the indicator confirms it, and then the parameter waiting behind
// it is written.
void IndicatorTabTest::cycleResetIsRepeatedUntilConfirmedAndTheSyncGoesOn() {
    QVERIFY(Connect(Device::Cycling));
    const std::string reset0 = CommandOf(device::cmd::ResetCycles0);
    sim::Faults unanswered;
    unanswered.silentCodes = {device::cmd::ResetCycles0};
    h_->Sim().SetFaults(unanswered);

    QCOMPARE(State().cycles[0], 0.0f);
    size_t mark = h_->requests.Size();
    Click("SpeedButton26");
    QVERIFY(State().cycleResetRequest[0]);
    QTRY_VERIFY_WITH_TIMEOUT(!State().cycleResetRequest[0], kWaitMs);
    QTest::qWait(600);
    QCOMPARE(CountOf(h_->requests.Since(mark), reset0), size_t{1});

    Tab().SetPeriodMs(20);
    Click("SpeedButton10");
    QVERIFY(RunLoopUntil([&] { return State().cycles[0] >= 1.0f; }));
    Click("SpeedButton11");
    Settle();
    const float counted = State().cycles[0];
    QVERIFY(counted >= 1.0f);

    const int led = State().Stan.LED == 7 ? 6 : 7;
    State().Set.LED = led;
    mark = h_->requests.Size();
    Click("SpeedButton26");
    QTRY_VERIFY_WITH_TIMEOUT(CountOf(h_->requests.Since(mark), reset0) >= 3, kWaitMs);
    QVERIFY(State().cycleResetRequest[0]);
    QCOMPARE(State().cycles[0], counted);

    h_->Sim().SetFaults({});
    QTRY_VERIFY_WITH_TIMEOUT(!State().cycleResetRequest[0] && State().Stan.LED == led, kWaitMs);
    QCOMPARE(State().cycles[0], 0.0f);
    QCOMPARE(SimParams().LED, led);
    const std::vector<std::string> lines = h_->requests.Since(mark);
    const auto lastReset = std::find(lines.rbegin(), lines.rend(), reset0);
    const auto ledWrite = std::find_if(lines.rbegin(), lines.rend(), [](const std::string& l) {
        return StartsWith(l, "F2 F2 0C");
    });
    QVERIFY(ledWrite != lines.rend());
    QVERIFY(ledWrite < lastReset);  // reversed: the write came after the last reset
}

// Mode 3 shows the cycle counts in the general form, mode 2 goes back to "-------"
// although the counts keep arriving; channel 1 unticked keeps its display, gauge, cycle
// display and chart series, and its dial is not drawn.
void IndicatorTabTest::cycleDisplayFollowsTheModeAndAnUntickedChannelStaysStill() {
    QVERIFY(Connect(Device::Cycling));
    auto run = [this](uint64_t samples) {
        Click("SpeedButton10");
        const bool ran = WaitSamples(samples) &&
                         RunLoopUntil([&] { return DialOf(0)->drawn() && DialOf(2)->drawn(); });
        Click("SpeedButton11");
        Settle();
        return ran;
    };
    State().Set.mode = 3;
    QTRY_COMPARE_WITH_TIMEOUT(State().Stan.mode, 3, kWaitMs);
    Get<QCheckBox>("CheckBox2")->click();
    QVERIFY(!Get<QCheckBox>("CheckBox2")->isChecked());
    const QString display1 = Display(1)->text();
    const int gauge1 = GaugeOf(1)->position();
    const bool dial1Drawn = DialOf(1)->drawn();
    const measurement::DialPoint needle1 = DialOf(1)->needleEnd();
    h_->Form().ChartPage().SpeedButton15Click();
    Tab().SetPeriodMs(20);
    QVERIFY(run(10));

    QVERIFY(State().cycles[0] >= 1.0f);
    QCOMPARE(Get<QLineEdit>("Edit23")->text(),
             QString::fromStdString(device::GeneralForm(State().cycles[0], ',')));
    QCOMPARE(Get<QLineEdit>("Edit25")->text(),
             QString::fromStdString(device::GeneralForm(State().cycles[2], ',')));
    QCOMPARE(Get<QLineEdit>("Edit24")->text(), QStringLiteral("-------"));
    QCOMPARE(Display(1)->text(), display1);
    QCOMPARE(GaugeOf(1)->position(), gauge1);
    QCOMPARE(DialOf(1)->drawn(), dial1Drawn);
    QCOMPARE(DialOf(1)->needleEnd(), needle1);
    const measurement::ChartStore& chart = h_->Form().Chart();
    QCOMPARE(chart.Series(1).Size(), size_t{0});
    QVERIFY(chart.Series(0).Size() >= 10);
    QCOMPARE(chart.Series(2).Size(), chart.Series(0).Size());
    QCOMPARE(Display(0)->text(), Fixed4(State().angle[0]));

    State().Set.mode = 2;
    QTRY_COMPARE_WITH_TIMEOUT(State().Stan.mode, 2, kWaitMs);
    QVERIFY(run(5));
    QVERIFY(State().cyclesInLastFrame);
    for (const char* name : {"Edit23", "Edit24", "Edit25"}) {
        QCOMPARE(Get<QLineEdit>(name)->text(), QStringLiteral("-------"));
    }
    Get<QCheckBox>("CheckBox2")->click();
}

void IndicatorTabTest::startPauseStopAndTheSixLockedGroups() {
    QVERIFY(Connect(Device::Plain));
    Tab().SetPeriodMs(50);
    Click("SpeedButton10");
    QVERIFY(State().Device.GO);
    CheckLocked(true);
    QVERIFY(RunLoopUntil([&] { return Sampling().RunElapsed() >= 0.3; }));
    QVERIFY(Sampling().Counters().samples > 0);
    QVERIFY(RunLoopUntil([&] { return Get<QLabel>("Label51")->text() == "20,00000"; }));
    QCOMPARE(h_->Form().ChartPage().findChild<QLabel*>("Label52")->text(),
             QStringLiteral("20,00000"));

    Click("SpeedButton12");
    QVERIFY(!State().Device.GO);
    QCOMPARE(Sampling().Phase(), measurement::RunPhase::Paused);
    CheckLocked(false);
    const double kept = Sampling().RunElapsed();
    const QString keptText =
        QString::fromStdString(device::GeneralForm(std::nearbyint(kept / 0.01) * 0.01, ','));
    QVERIFY(RunLoopUntil([&] { return Get<QLabel>("Label40")->text() == keptText; }));
    const size_t mark = h_->requests.Size();
    RunLoop(300);
    QCOMPARE(Sampling().RunElapsed(), kept);
    for (const std::string& line : h_->requests.Since(mark)) QVERIFY(!StartsWith(line, "F1 F1 07"));

    Click("SpeedButton12");
    QVERIFY(State().Device.GO);
    CheckLocked(true);
    QVERIFY(RunLoopUntil([&] { return Sampling().RunElapsed() >= kept + 0.2; }));

    Click("SpeedButton11");
    QVERIFY(!State().Device.GO);
    QCOMPARE(Sampling().State().elapsed, 0.0);
    CheckLocked(false);
    QVERIFY(RunLoopUntil([&] { return Get<QLabel>("Label40")->text() == "0"; }));

    QElapsedTimer wall;
    wall.start();
    Click("SpeedButton10");
    QCOMPARE(Sampling().State().elapsed, 0.0);
    QVERIFY(WaitSamples(2));
    // Counted from 0 again: at most the wall time since START and the pass before it.
    QVERIFY(Sampling().RunElapsed() <= wall.elapsed() / 1000.0 + 0.1);
    Click("SpeedButton11");
}

// Ticked, the box shows Label67 and Label68, the rate texts go empty and Label67 shows
// the mean period once ten answers have come.
void IndicatorTabTest::realTimeBoxShowsTheMeasuredPeriod() {
    QVERIFY(Connect(Device::Plain));
    auto* box = Get<QCheckBox>("CheckBox18");
    auto* period = Get<QLabel>("Label67");
    auto* unit = Get<QLabel>("Label68");
    QVERIFY(!period->isVisible() && !unit->isVisible());
    box->click();
    QVERIFY(period->isVisible() && unit->isVisible());
    QVERIFY(Sampling().RealTime());
    period->clear();
    Click("SpeedButton10");
    QVERIFY(RunLoopUntil([&] { return !period->text().isEmpty(); }));
    QVERIFY(Sampling().Counters().samples >= 10);
    bool number = false;
    const double mean = QLocale(QLocale::Polish).toDouble(period->text(), &number);
    QVERIFY2(number && mean >= 0, qPrintable(period->text()));
    QVERIFY(RunLoopUntil([&] { return Get<QLabel>("Label51")->text().isEmpty(); }));
    QVERIFY(h_->Form().ChartPage().findChild<QLabel*>("Label52")->text().isEmpty());
    Click("SpeedButton11");
    box->click();
    QVERIFY(!period->isVisible() && !unit->isVisible());
    QVERIFY(!Sampling().RealTime());
}

// Answers of the simulator reach the large displays, the chart's readouts, the gauges,
// the dials on the 50 ms tick and the output panels.
void IndicatorTabTest::simulatorSamplesReachEveryView() {
    QVERIFY(Connect(Device::Plain));
    Tab().SetPeriodMs(20);
    Click("SpeedButton10");
    QVERIFY(WaitSamples(10));
    Click("SpeedButton11");
    Settle();
    const char* readouts[3] = {"Edit22", "Edit26", "Edit27"};
    for (int i = 0; i < 3; ++i) {
        const float angle = State().angle[i];
        QCOMPARE(Display(i)->text(), Fixed4(angle));
        QCOMPARE(Get<QLineEdit>(readouts[i])->text(), Fixed4(angle));
        QCOMPARE(GaugeOf(i)->position(), static_cast<int>(angle));
        const measurement::DialPoint end = *measurement::NeedleEnd(angle);
        QVERIFY(RunLoopUntil([&] { return DialOf(i)->needleEnd() == end; }));
    }
    QCOMPARE(Window(Get<QLabel>("Panel1")), State().outputOn[0] ? kLime : kMaroon);
    QCOMPARE(Window(Get<QLabel>("Panel2")), State().outputOn[1] ? kLime : kMaroon);
}

void IndicatorTabTest::readingsAtTheEdges_data() {
    QTest::addColumn<float>("value");
    QTest::addColumn<uint8_t>("outputs");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("gauge");   // -1: where it was
    QTest::addColumn<QPoint>("end");  // (-1, -1): where it was
    const float inf = std::numeric_limits<float>::infinity();
    const QPoint kept(-1, -1);
    QTest::newRow("359.99994") << 359.99994f << uint8_t{0x10} << "359.9999" << 359
                               << QPoint(108, 59);
    QTest::newRow("0") << 0.0f << uint8_t{0x20} << "0.0000" << 0 << QPoint(109, 59);
    QTest::newRow("90") << 90.0f << uint8_t{0x30} << "90.0000" << 90 << QPoint(59, 9);
    QTest::newRow("45") << 45.0f << uint8_t{0} << "45.0000" << 45 << QPoint(94, 23);
    QTest::newRow("180") << 180.0f << uint8_t{0x10} << "180.0000" << 180 << QPoint(9, 58);
    QTest::newRow("-20") << -20.0f << uint8_t{0} << "-20.0000" << 0 << QPoint(105, 76);
    QTest::newRow("1e10") << 1e10f << uint8_t{0} << "-OVER-" << 360 << QPoint(67, 108);
    QTest::newRow("-1e10") << -1e10f << uint8_t{0} << "-OVER-" << 0 << QPoint(67, 9);
    QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << uint8_t{0x10} << "-OVER-"
                         << -1 << kept;
    QTest::newRow("+inf") << inf << uint8_t{0} << "-OVER-" << 360 << kept;
    QTest::newRow("-inf") << -inf << uint8_t{0} << "-OVER-" << 0 << kept;
}

// Raw answers through the window: every value reaches the displays as "%3.4f", or as the
// overflow mark where they cannot show it; the gauge holds within 0..360 and the needle
// follows the value, except where a value has no position (NaN) or direction (NaN,
// infinities): there they stay as they were. Chart recording and automatic registration
// take the same answers.
void IndicatorTabTest::readingsAtTheEdges() {
    QFETCH(float, value);
    QFETCH(uint8_t, outputs);
    QFETCH(QString, text);
    QFETCH(int, gauge);
    QFETCH(QPoint, end);
    QVERIFY(Connect(Device::Plain));
    h_->Form().ChartPage().SpeedButton15Click();
    Inject(MeasurementBytes(0x07, {100.0f, 100.0f, 100.0f}));
    Tab().DrawDials();
    const measurement::DialPoint before = *measurement::NeedleEnd(100.0);
    const size_t points = h_->Form().Chart().Series(0).Size();
    const int rows = h_->Form().Registration().rowsRegistered();

    Inject(MeasurementBytes(0x07 | outputs, {value, value, value}));
    Tab().DrawDials();
    for (int i = 0; i < 3; ++i) {
        DialOf(i)->repaint();
        QCOMPARE(Display(i)->text(), text);
        QCOMPARE(GaugeOf(i)->position(), gauge < 0 ? 100 : gauge);
        const measurement::DialPoint expected =
            end.x() < 0 ? before : measurement::DialPoint{end.x(), end.y()};
        QCOMPARE(DialOf(i)->needleEnd(), expected);
    }
    QCOMPARE(Window(Get<QLabel>("Panel1")), (outputs & 0x10) ? kLime : kMaroon);
    QCOMPARE(Window(Get<QLabel>("Panel2")), (outputs & 0x20) ? kLime : kMaroon);
    QCOMPARE(h_->Form().Chart().Series(0).Size(), points + (std::isfinite(value) ? 1 : 0));
    QCOMPARE(h_->Form().Registration().rowsRegistered(), rows + 1);
}

// A ticked channel that disappears from the answers adds no chart point and leaves its
// registration cells empty; its display, gauge and box keep what they had until the
// next presence answer unticks the box, which then cannot be ticked again.
void IndicatorTabTest::absentChannelRecordsNothingAndKeepsItsValue() {
    QVERIFY(Connect(Device::Plain));
    QVERIFY(h_->Form().Registration().boxes().autoRead);
    h_->Form().ChartPage().SpeedButton15Click();
    Tab().SetPeriodMs(20);
    Click("SpeedButton10");
    QVERIFY(WaitSamples(5));
    h_->Sim().WithModel([](sim::IndicatorModel& m) { m.SetSensorMask(0x05); });
    QVERIFY(RunLoopUntil([&] { return !State().sensorPresent[1]; }));
    const measurement::ChartStore& chart = h_->Form().Chart();
    const size_t points0 = chart.Series(0).Size();
    const size_t points1 = chart.Series(1).Size();
    const int rows = h_->Form().Registration().rowsRegistered();
    const QString shown = Display(1)->text();
    const int gauge = GaugeOf(1)->position();
    QVERIFY(WaitSamples(10));
    Click("SpeedButton11");

    QCOMPARE(chart.Series(1).Size(), points1);
    QVERIFY(chart.Series(0).Size() >= points0 + 10);
    const measurement::RegistrationTable& table = h_->Form().Registration();
    QVERIFY(table.rowsRegistered() >= rows + 10);
    for (int row = rows + 1; row <= table.rowsRegistered(); ++row) {
        QVERIFY(!table.CellText(row, 2).empty());
        QCOMPARE(table.CellText(row, 3), std::string());
    }
    QCOMPARE(Display(1)->text(), shown);
    QCOMPARE(GaugeOf(1)->position(), gauge);
    QCOMPARE(Get<QGroupBox>("GroupBox2")->title(), QStringLiteral("Czujnik nr 1 - nie wykryto"));
    auto* box = Get<QCheckBox>("CheckBox2");
    QVERIFY(box->isChecked());
    QTRY_VERIFY_WITH_TIMEOUT(!box->isChecked(), kWaitMs);  // the next presence answer
    box->click();
    QVERIFY(!box->isChecked());

    h_->Sim().WithModel([](sim::IndicatorModel& m) { m.SetSensorMask(0x07); });
    QTRY_VERIFY_WITH_TIMEOUT(box->isChecked(), kWaitMs);
    QCOMPARE(Get<QGroupBox>("GroupBox2")->title(), QStringLiteral("Czujnik nr 1 - gotowy"));
}

// The value dialog: one open at a time, zero position or offset by its caption, the
// entry colours, what reaches the indicator and what comes back.
void IndicatorTabTest::valueDialogEntriesAndTheirFrames() {
    QVERIFY(Connect(Device::Plain));
    ui::TWartoscForm* dialog = h_->Form().Forms().wartosc;
    auto* edit = dialog->findChild<QLineEdit*>("Edit1");
    Click("SpeedButton1");
    QVERIFY(dialog->isVisible());
    Click("SpeedButton8");
    QCOMPARE(dialog->Channel(), 0);
    QCOMPARE(dialog->Label1Caption(), QStringLiteral("Poz. zero ="));
    // An entry not finished with Enter is not taken.
    const float uzp0 = State().Set.UZP[0];
    edit->selectAll();
    QTest::keyClicks(edit, "7");
    dialog->findChild<QPushButton*>("BitBtn1")->click();
    QVERIFY(!dialog->isVisible());
    QCOMPARE(State().Set.UZP[0], uzp0);

    size_t mark = h_->requests.Size();
    Click("SpeedButton4");
    QCOMPARE(dialog->Channel(), 1);
    TypeAndEnter(edit, "12,3456");
    QCOMPARE(Base(edit), kSkyBlue);
    QCOMPARE(State().Set.UZP[1], static_cast<float>(12.346));
    QTRY_COMPARE_WITH_TIMEOUT(Get<QLabel>("Label10")->text(), QStringLiteral("12,346"), kWaitMs);
    QCOMPARE(edit->text(), QStringLiteral("12,346"));
    QCOMPARE(Base(edit), QColor(Qt::white));
    QCOMPARE(SimParams().UZP[1], static_cast<float>(12.346));
    QCOMPARE(test::Writes(h_->requests.Since(mark)),
             std::vector<std::string>{WriteOf(device::cmd::UZP0 + 1, 12.346f)});

    mark = h_->requests.Size();
    TypeAndEnter(edit, "abc");
    QCOMPARE(Base(edit), kSkyBlue);
    QCOMPARE(State().Set.UZP[1], static_cast<float>(12.346));
    QTest::qWait(600);
    QVERIFY(test::Writes(h_->requests.Since(mark)).empty());
    QCOMPARE(Base(edit), kSkyBlue);
    dialog->hide();

    mark = h_->requests.Size();
    Click("SpeedButton8");
    QCOMPARE(dialog->Channel(), 2);
    QCOMPARE(dialog->Label1Caption(), QStringLiteral("Offset ="));
    TypeAndEnter(edit, "-1,5");
    QCOMPARE(State().Set.Offset[2], -1.5f);
    QTRY_COMPARE_WITH_TIMEOUT(Get<QLabel>("Label18")->text(), QStringLiteral("-1,5"), kWaitMs);
    QCOMPARE(Base(edit), QColor(Qt::white));
    QCOMPARE(test::Writes(h_->requests.Since(mark)),
             std::vector<std::string>{WriteOf(device::cmd::Offset0 + 2, -1.5f)});
}

// A multiplier of 0 is refused at once (white, nothing sent); another one travels to
// the indicator and comes back into the field and the channel's label.
void IndicatorTabTest::multiplierDialogRefusesZero() {
    QVERIFY(Connect(Device::Plain));
    ui::TMnoznikForm* dialog = h_->Form().Forms().mnoznik;
    auto* edit = dialog->findChild<QLineEdit*>("Edit6");
    Click("SpeedButton6");
    QVERIFY(dialog->isVisible());
    Click("SpeedButton9");
    QCOMPARE(dialog->Channel(), 1);

    const float before = State().Set.COEF[1];
    size_t mark = h_->requests.Size();
    TypeAndEnter(edit, "0");
    QCOMPARE(Base(edit), QColor(Qt::white));
    QCOMPARE(State().Set.COEF[1], before);
    TypeAndEnter(edit, "0,0004");  // 0 after rounding to three decimals
    QCOMPARE(Base(edit), QColor(Qt::white));
    QCOMPARE(State().Set.COEF[1], before);
    QTest::qWait(600);
    QVERIFY(test::Writes(h_->requests.Since(mark)).empty());

    TypeAndEnter(edit, "2,5");
    QCOMPARE(Base(edit), kSkyBlue);
    QCOMPARE(State().Set.COEF[1], 2.5f);
    QTRY_COMPARE_WITH_TIMEOUT(Get<QLabel>("Label11")->text(), QStringLiteral("2,5"), kWaitMs);
    QCOMPARE(edit->text(), QStringLiteral("2,5"));
    QCOMPARE(Base(edit), QColor(Qt::white));
    QCOMPARE(test::Writes(h_->requests.Since(mark)),
             std::vector<std::string>{WriteOf(device::cmd::COEF0 + 1, 2.5f)});
}

// "  Resetuj": the zero position's frame goes out at once; the channel drops the two
// offered right behind it, and the synchronisation writes whatever still differs.
void IndicatorTabTest::resetWritesTheFirstFrameAndTheSyncTheRest() {
    QVERIFY(Connect(Device::Plain));
    State().Set.UZP[0] = 1.5f;
    State().Set.Offset[0] = 2.5f;
    State().Set.COEF[0] = 3.5f;
    QTRY_VERIFY_WITH_TIMEOUT(State().Stan.UZP[0] == 1.5f && State().Stan.Offset[0] == 2.5f &&
                                 State().Stan.COEF[0] == 3.5f,
                             kWaitMs);
    QTRY_VERIFY_WITH_TIMEOUT(!State().refreshPending, kWaitMs);

    const size_t mark = h_->requests.Size();
    Click("SpeedButton18");
    QCOMPARE(State().Set.UZP[0], 0.0f);
    QCOMPARE(State().Set.COEF[0], 1.0f);
    QCOMPARE(State().Set.Offset[0], 0.0f);
    QTRY_VERIFY_WITH_TIMEOUT(State().Stan.UZP[0] == 0.0f && State().Stan.Offset[0] == 0.0f &&
                                 State().Stan.COEF[0] == 1.0f,
                             kWaitMs);
    const device::DeviceParams device = SimParams();
    QCOMPARE(device.UZP[0], 0.0f);
    QCOMPARE(device.COEF[0], 1.0f);
    QCOMPARE(device.Offset[0], 0.0f);
    QTRY_COMPARE_WITH_TIMEOUT(Get<QLabel>("Label6")->text(), QStringLiteral("1"), kWaitMs);
    QCOMPARE(Get<QLabel>("Label4")->text(), QStringLiteral("0"));
    QCOMPARE(Get<QLabel>("Label5")->text(), QStringLiteral("0"));

    const std::vector<std::string> writes = test::Writes(h_->requests.Since(mark));
    QVERIFY(!writes.empty());
    QCOMPARE(writes.front(), WriteOf(device::cmd::UZP0, 0.0f));
    const std::vector<std::string> allowed{WriteOf(device::cmd::UZP0, 0.0f),
                                           WriteOf(device::cmd::COEF0, 1.0f),
                                           WriteOf(device::cmd::Offset0, 0.0f)};
    for (const std::string& w : writes) {
        QVERIFY2(CountOf(allowed, w) == 1 && CountOf(writes, w) == 1, w.c_str());
    }
}

// "   zeruj    ": one frame; the indicator's answer becomes both the requested and the
// confirmed zero position, so the old value is never written back.
void IndicatorTabTest::zeroTakesThePresentPosition() {
    QVERIFY(Connect(Device::Plain));
    const size_t mark = h_->requests.Size();
    Click("SpeedButton23");
    QVERIFY(!State().received.UZP[2]);
    QTRY_VERIFY_WITH_TIMEOUT(State().received.UZP[2], kWaitMs);
    const float zero = State().Stan.UZP[2];
    QCOMPARE(State().Set.UZP[2], zero);
    QCOMPARE(zero, static_cast<float>(device::Round3(SimParams().UZP[2])));
    QVERIFY(zero != 0.0f);
    QCOMPARE(Get<QLabel>("Label16")->text(),
             QString::fromStdString(device::GeneralForm(device::Round3(zero), ',')));
    QTest::qWait(1000);
    QCOMPARE(test::Writes(h_->requests.Since(mark)),
             std::vector<std::string>{CommandOf(device::cmd::SetZero0 + 2)});
}

// CSpinEdit2 hands on every valid value typed and keeps the last one while the text is
// not a valid period; on focus loss a value outside 10..10000000 goes to the nearest
// limit and an empty field to 10.
void IndicatorTabTest::periodFieldKeepsTheLastValidValueWhileTyping() {
    QVERIFY(Connect(Device::Plain));
    auto* spin = Get<QSpinBox>("CSpinEdit2");
    auto focusOut = [spin] {
        QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
        QApplication::sendEvent(spin, &out);
    };
    auto typeOver = [spin](const QString& text) {
        spin->selectAll();
        QTest::keyClicks(spin, text);
    };
    Tab().SetPeriodMs(100);
    QCOMPARE(Sampling().PeriodMs(), int64_t{100});
    typeOver("5");
    QCOMPARE(spin->text(), QStringLiteral("5"));
    QCOMPARE(Sampling().PeriodMs(), int64_t{100});
    QTest::keyClicks(spin, "0");
    QCOMPARE(Sampling().PeriodMs(), int64_t{50});
    QTest::keyClicks(spin, "0000000");  // the eighth digit would pass 10000000
    QCOMPARE(spin->text(), QStringLiteral("5000000"));
    QCOMPARE(Sampling().PeriodMs(), int64_t{5000000});

    typeOver("7");
    QCOMPARE(Sampling().PeriodMs(), int64_t{5000000});
    focusOut();
    QCOMPARE(spin->text(), QStringLiteral("10"));
    QCOMPARE(Sampling().PeriodMs(), int64_t{10});

    Tab().SetPeriodMs(200);
    spin->selectAll();
    QTest::keyClick(spin, Qt::Key_Backspace);
    QCOMPARE(Sampling().PeriodMs(), int64_t{200});
    focusOut();
    QCOMPARE(spin->text(), QStringLiteral("10"));
    QCOMPARE(Sampling().PeriodMs(), int64_t{10});

    spin->stepBy(1);
    QCOMPARE(Sampling().PeriodMs(), int64_t{20});
    Tab().SetPeriodMs(20000000);
    QCOMPARE(Sampling().PeriodMs(), int64_t{10000000});
}

// Every caption and text of the four tabs is as wide as its control at most: the large
// displays with the widest texts they take, then every tab with readings of the
// indicator's range (the chart's readouts keep longer texts and scroll).
void IndicatorTabTest::everyTextFitsItsControl() {
    QVERIFY(Connect(Device::Plain));
    auto* pages = h_->Find<QTabWidget>("PageControl1");
    pages->setCurrentIndex(0);
    Inject(MeasurementBytes(0x07, {9999.999f, -999.999f, 999.999f}));
    QApplication::processEvents();
    QStringList misfits = test::TextMisfits(h_->Find<QWidget>("TabSheet1"));
    Inject(MeasurementBytes(0x37, {359.9999f, 359.9999f, 359.9999f}));
    for (int page = 0; page < pages->count(); ++page) {
        pages->setCurrentIndex(page);
        QApplication::processEvents();
        misfits << test::TextMisfits(pages->widget(page));
    }
    QVERIFY2(misfits.isEmpty(), qPrintable(misfits.join(QLatin1Char('\n'))));
}

// Figures, not goals checked: the tab's work for one sample (displays, gauges, cycle
// texts, output panels; no chart) and the three dials drawn and painted as on a tick.
void IndicatorTabTest::windowCostFigures() {
    QVERIFY(Connect(Device::Plain));
    measurement::Sample sample;
    for (bool& present : sample.sensorPresent) present = true;
    auto feed = [&](int n) {
        sample.number = static_cast<uint64_t>(n);
        for (int i = 0; i < 3; ++i)
            sample.angle[i] = static_cast<float>(std::fmod(n * 0.37 + i * 100, 360.0));
        sample.outputOn[0] = (n / 50) % 2 == 1;
        sample.outputOn[1] = (n / 70) % 2 == 1;
        Tab().OnSample(sample);
    };
    constexpr int kSamples = 20000;
    QElapsedTimer timer;
    timer.start();
    for (int n = 0; n < kSamples; ++n) feed(n);
    const double perSample = static_cast<double>(timer.nsecsElapsed()) / 1000.0 / kSamples;

    constexpr int kTicks = 300;
    qint64 dialNs = 0;
    for (int tick = 0; tick < kTicks; ++tick) {
        feed(tick * 5);
        timer.restart();
        Tab().DrawDials();
        for (int i = 0; i < 3; ++i) DialOf(i)->repaint();
        dialNs += timer.nsecsElapsed();
    }
    const double perTick = static_cast<double>(dialNs) / 1e6 / kTicks;
    std::printf("window cost per sample (view, no chart): %.2f us (goal <= 20 us)\n", perSample);
    std::printf("three dials drawn and painted per 50 ms tick: %.3f ms (goal <= 1 ms)\n", perTick);
    QVERIFY(DialOf(0)->drawn());
}

QTEST_MAIN(IndicatorTabTest)
#include "test_indicator_tab.moc"
