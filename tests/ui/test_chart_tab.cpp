// The chart tab over the real sampling path: measurement answers decoded, handed on by
// the sampling clock to the indicator model and the tab's two subscribers. Recording
// buttons, readouts, output line heights, paging and tracking on the tick, coalesced
// repaints, the zoom animation and its undo; and, printed only, the cost of drawing five
// series of a million points.
#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include "ChartTab.h"
#include "Decoder.h"
#include "Fakes.h"
#include "widgets/ChartView.h"
#include "widgets/UpDown.h"

using namespace kt::measurement;
using kt::ui::ChartTab;

namespace {

class DrivenClock : public HundredthsClock {
public:
    int64_t now = 7000;
    int64_t NowHundredths() override { return now; }
};

class SettableOutputLines : public OutputLineSource {
public:
    OutputLine lines[2] = {{50, 0}, {50, 75}};
    OutputLine Line(int output) const override { return lines[output]; }
};

// Runs between the channel points and the output points, as the registration table does.
class Between : public SampleSubscriber {
public:
    explicit Between(const ChartStore& store) : store_(store) {}
    std::vector<std::pair<size_t, size_t>> seen;  // points of series 0 and PK1
    void OnSample(const Sample&) override {
        seen.emplace_back(store_.Series(0).Size(), store_.Series(kSeriesPK1).Size());
    }

private:
    const ChartStore& store_;
};

class PaintCounter : public QObject {
public:
    int paints = 0;

protected:
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Paint) ++paints;
        return false;
    }
};

// The sampling clock and the decoder on a recording channel, channels 0 and 1 present
// and channel 0 active, and the tab subscribed as the main window subscribes it.
struct Rig {
    kt::device::DeviceState device;
    kt::test::RecordingSink sink;
    kt::device::FrameSender sender{sink, nullptr};
    kt::test::FakeDialogs dialogs;
    SilentSamplingView samplingView;
    DrivenClock clock;
    SamplingClock sampling{device, sender, dialogs, samplingView, clock, ','};
    kt::test::FakeDeviceView deviceView;
    kt::device::Decoder decoder{device, deviceView, dialogs, nullptr, {','}, "/x"};
    IndicatorModel model{device, ','};
    ChartStore store;
    SettableOutputLines lines;
    Between between{store};
    ChartTab tab;

    Rig() {
        device.deviceReady = true;
        device.typeStatus = kt::device::TypeStatus::Recognised;
        device.sensorPresent[0] = device.sensorPresent[1] = true;
        decoder.SetMeasurementListener(&sampling);
        model.SetActive(0, true);
        tab.Attach(store, sampling, model, lines);
        sampling.Subscribe(model);
        sampling.Subscribe(tab.ChannelPoints());
        sampling.Subscribe(between);
        sampling.Subscribe(tab.OutputPoints());
        sampling.Start();
    }
    void Pass(int hundredths) {
        clock.now += hundredths;
        sampling.OnIdle();
    }
    // One answer 0.1 s after the previous one: sensors 0 and 1, PK1 and PK2 as given.
    void Answer(float angle0, float angle1, bool pk1 = false, bool pk2 = false) {
        Pass(10);
        uint8_t frame[11] = {0xF4, 0xF4,
                             static_cast<uint8_t>(0x03 | (pk1 ? 0x10 : 0) | (pk2 ? 0x20 : 0))};
        std::memcpy(frame + 3, &angle0, 4);
        std::memcpy(frame + 7, &angle1, 4);
        decoder.ProcessBlock(frame, sizeof frame);
    }
    void Click(const char* name) { tab.findChild<QAbstractButton*>(name)->click(); }
    QString Text(const char* name) { return tab.findChild<QLineEdit*>(name)->text(); }
    std::vector<float> Ys(int series) const {
        std::vector<float> ys;
        store.Series(series).ForEach([&](double, float y) { ys.push_back(y); });
        return ys;
    }
};

QImage Render(QWidget& widget) {
    QImage image(widget.size(), QImage::Format_RGB32);
    widget.render(&image);
    return image;
}

// 35 measurements 0.1 s apart, channel 0 rising, so every zoom shows something new.
void Fill(ChartStore& store) {
    for (int i = 0; i < 35; ++i) {
        store.AppendMeasurement({i * 0.1, {i * 9.0f, 90, 270}, {true, false, false}, {}}, {50, 0},
                                {50, 75});
    }
}

// Five series of `count` points, the outputs switching now and then.
void FillLarge(ChartStore& store, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const auto a = static_cast<float>(180 + 170 * std::sin(i * 0.001));
        store.AppendMeasurement(
            {i * 0.01, {a, 360 - a, a / 2}, {true, true, true}, {i / 250 % 2 == 1, i % 90 == 0}},
            {50, 0}, {50, 75});
    }
}

}  // namespace

class ChartTabTest : public QObject {
    Q_OBJECT

private slots:
    void PanelLayoutReadoutsAndRequests();
    void RecordingButtonsAndReadoutsOverTheSamplePath();
    void OutputPointsFollowTheLinesAtTheMomentTheyAreAdded();
    void PagingRulesFromTheControlsAndTheSettings();
    void TrackingFollowsTheLastPageOnTheTick();
    void RepaintsCoalesceToOnePerTickWhileRecording();
    void ZoomAnimationEndsOnTheDirectViewAndUndoRestoresTheFullView();
    void DrawingFigures();
};

// The paging group keeps to the right end at any width, the readouts are channel colour
// on black, and the dialog and export buttons only ask the main window.
void ChartTabTest::PanelLayoutReadoutsAndRequests() {
    Rig rig;
    rig.tab.resize(1200, 612);
    rig.tab.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.tab));
    QCOMPARE(rig.tab.findChild<QWidget*>("GroupBox20")->geometry(), QRect(1200 - 239, 1, 238, 71));
    QCOMPARE(rig.tab.Chart().height(), 612 - 73);
    const QImage readout = Render(*rig.tab.findChild<QLineEdit*>("Edit22"));
    QCOMPARE(readout.pixelColor(readout.width() / 2, 4), QColor(Qt::black));
    bool red = false;
    for (int y = 0; y < readout.height(); ++y) {
        for (int x = 0; x < readout.width(); ++x) red = red || readout.pixelColor(x, y) == Qt::red;
    }
    QVERIFY(red);
    const std::pair<const char*, void (ChartTab::*)()> requests[] = {
        {"BitBtn2", &ChartTab::outputLinesRequested},
        {"BitBtn12", &ChartTab::jpegExportRequested},
        {"BitBtn10", &ChartTab::bmpExportRequested},
        {"BitBtn11", &ChartTab::spreadsheetExportRequested}};
    for (const auto& [name, signal] : requests) {
        QSignalSpy spy(&rig.tab, signal);
        rig.Click(name);
        QCOMPARE(spy.count(), 1);
    }
}

void ChartTabTest::RecordingButtonsAndReadoutsOverTheSamplePath() {
    Rig rig;
    // Not recording: the readout follows channel 0 only, the chart takes nothing.
    rig.Answer(12.5f, 200);
    QCOMPARE(rig.Text("Edit22"), QStringLiteral("12.5000"));
    QCOMPARE(rig.Text("Edit26"), QStringLiteral("-----------"));  // channel 1 not active
    QCOMPARE(rig.store.LargestShownCount(kAllSeriesShown), size_t{0});
    QVERIFY(rig.sampling.State().elapsed > 0);

    // Start, three answers, stop: points at the run's own times, then nothing left.
    rig.Click("SpeedButton15");
    QVERIFY(rig.tab.Recording());
    QCOMPARE(rig.sampling.State().elapsed, 0.0);
    for (float a : {10.0f, 20.0f, 30.0f}) rig.Answer(a, 200);
    QCOMPARE(rig.Ys(0), (std::vector<float>{10, 20, 30}));
    QCOMPARE(rig.store.Series(0).X(2), rig.sampling.State().elapsed);
    QVERIFY(rig.store.Series(1).Empty());
    QCOMPARE(rig.store.Series(kSeriesPK2).Size(), size_t{3});
    QCOMPARE(rig.Text("Edit22"), QStringLiteral("30.0000"));
    rig.Click("SpeedButton19");
    QVERIFY(!rig.tab.Recording());
    QCOMPARE(rig.sampling.State().elapsed, 0.0);
    QCOMPARE(rig.store.LargestShownCount(kAllSeriesShown), size_t{0});
    QCOMPARE(rig.sampling.Phase(), RunPhase::Running);  // the sampling run goes on
    rig.Answer(40, 200);
    QCOMPARE(rig.store.LargestShownCount(kAllSeriesShown), size_t{0});

    // Pause while stopped records onto what the chart holds, without resetting time;
    // clear keeps recording; pause again stops taking points.
    const double before = rig.sampling.State().elapsed;
    rig.Click("SpeedButton16");
    QVERIFY(rig.tab.Recording());
    QCOMPARE(rig.sampling.State().elapsed, before);
    rig.Answer(50, 200);
    rig.Click("SpeedButton17");
    QVERIFY(rig.tab.Recording());
    QVERIFY(rig.store.Series(0).Empty());
    rig.Answer(60, 200);
    rig.Click("SpeedButton16");
    rig.Answer(70, 200);
    QCOMPARE(rig.Ys(0), (std::vector<float>{60}));
    QCOMPARE(rig.Text("Edit22"), QStringLiteral("70.0000"));
}

void ChartTabTest::OutputPointsFollowTheLinesAtTheMomentTheyAreAdded() {
    Rig rig;
    rig.tab.SpeedButton15Click();
    // With the start values: PK1 at 0 off and 50 on, PK2 at 75 off and 125 on.
    rig.Answer(1, 1, false, false);
    rig.Answer(1, 1, true, false);
    rig.Answer(1, 1, true, true);
    // A height changed between answers counts from the next point on; F + H never
    // overflows.
    rig.lines.lines[0] = {100, 10};
    rig.lines.lines[1] = {INT_MAX, INT_MAX};
    rig.Answer(1, 1, true, true);
    QCOMPARE(rig.Ys(kSeriesPK1), (std::vector<float>{0, 50, 50, 110}));
    QCOMPARE(rig.Ys(kSeriesPK2), (std::vector<float>{75, 75, 125, 4294967294.0f}));
    // The channel point is in before the registration table runs, the output points after.
    for (size_t i = 0; i < rig.between.seen.size(); ++i) {
        QCOMPARE(rig.between.seen[i], (std::pair<size_t, size_t>(i + 1, i)));
    }
}

void ChartTabTest::PagingRulesFromTheControlsAndTheSettings() {
    Rig rig;
    Fill(rig.store);
    ChartView& chart = rig.tab.Chart();
    auto* field = rig.tab.findChild<QLineEdit*>("CSpinEdit1");
    auto* upDown = rig.tab.findChild<UpDown*>("UpDown2");
    // "włącz" unticked: typing 20 pages by 20 at once; text out of range changes
    // nothing and gives way to the value in force when the field is left.
    QVERIFY(!rig.tab.PagingOn());
    field->selectAll();
    QTest::keyClicks(field, "20");
    QCOMPARE(chart.paging().pointsPerPage, 20);
    QTest::keyClick(field, Qt::Key_Backspace);
    QTest::keyClicks(field, "x");
    QCOMPARE(chart.paging().pointsPerPage, 20);
    QFocusEvent focusOut(QEvent::FocusOut);
    QApplication::sendEvent(field, &focusOut);
    QCOMPARE(field->text(), QStringLiteral("20"));
    upDown->click(UpDown::Button::Up);
    QCOMPARE(chart.paging().pointsPerPage, 21);
    // The rule: ticked takes the field, unticked turns paging off and shows page 1.
    rig.Click("CheckBox17");
    QCOMPARE(chart.paging().pointsPerPage, 21);
    chart.showPage(2);  // of 2
    rig.Click("CheckBox19");
    QCOMPARE(chart.paging().page, int64_t{2});
    rig.Click("CheckBox17");
    QCOMPARE(chart.paging().pointsPerPage, 0);
    QCOMPARE(chart.paging().page, int64_t{1});

    // Settings as read at start-up: the number is held within 10..32767 and counts at
    // once; then no paging, page 1 and the rule; and the rule once more at show.
    Rig start;
    ChartView& restored = start.tab.Chart();
    start.tab.SetPagingOn(true);
    start.tab.SetSamplesPerPage(-5);
    QCOMPARE(start.tab.SamplesPerPage(), 10);
    start.tab.SetSamplesPerPage(40000);
    QCOMPARE(restored.paging().pointsPerPage, 32767);
    start.tab.SetPagingOn(false);
    start.tab.SetSamplesPerPage(15);
    QCOMPARE(restored.paging().pointsPerPage, 15);  // whether or not "włącz" is ticked
    start.tab.ResetPaging();
    QCOMPARE(restored.paging().pointsPerPage, 0);
    start.tab.SetPagingOn(true);
    start.tab.FormShow();
    QCOMPARE(restored.paging().pointsPerPage, 15);
}

void ChartTabTest::TrackingFollowsTheLastPageOnTheTick() {
    Rig rig;
    ChartView& chart = rig.tab.Chart();
    rig.tab.SetPagingOn(true);  // 10 points per page
    rig.tab.SpeedButton15Click();
    for (int i = 0; i < 35; ++i) rig.Answer(static_cast<float>(i), 0);
    rig.tab.SetTracking(true);
    QCOMPARE(chart.pageCount(), int64_t{4});
    rig.tab.OnReadoutTick(false);  // a skipped readout tick tracks nothing
    QCOMPARE(chart.currentPage(), int64_t{1});
    rig.tab.OnReadoutTick(true);
    QCOMPARE(chart.currentPage(), int64_t{4});
    rig.Click("SpeedButton14");
    QCOMPARE(chart.currentPage(), int64_t{1});
    rig.tab.OnReadoutTick(true);
    QCOMPARE(chart.currentPage(), int64_t{4});
    // Paused, the page stays where it is put.
    rig.tab.SpeedButton16Click();
    rig.Click("SpeedButton14");
    rig.tab.OnReadoutTick(true);
    QCOMPARE(chart.currentPage(), int64_t{1});
}

void ChartTabTest::RepaintsCoalesceToOnePerTickWhileRecording() {
    Rig rig;
    rig.tab.resize(941, 612);
    rig.tab.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.tab));
    PaintCounter counter;
    rig.tab.Chart().installEventFilter(&counter);
    rig.tab.SpeedButton15Click();
    QApplication::processEvents();
    counter.paints = 0;
    for (int i = 0; i < 20; ++i) {
        rig.Answer(static_cast<float>(i), 0);
        QApplication::processEvents();
    }
    QCOMPARE(counter.paints, 0);
    QCOMPARE(rig.Text("Edit22"), QStringLiteral("19.0000"));
    rig.tab.OnReadoutTick(true);
    QApplication::processEvents();
    QCOMPARE(counter.paints, 1);
    rig.tab.OnReadoutTick(true);  // nothing new
    QApplication::processEvents();
    QCOMPARE(counter.paints, 1);
}

void ChartTabTest::ZoomAnimationEndsOnTheDirectViewAndUndoRestoresTheFullView() {
    ChartStore store;
    Fill(store);
    ChartView animated, direct;
    for (ChartView* view : {&animated, &direct}) {
        view->resize(600, 400);
        view->setStore(&store);
    }
    direct.setZoomAnimated(false);
    const QImage full = Render(animated);
    const QRect area(200, 100, 120, 90);
    direct.zoomTo(area);
    const QImage zoomed = Render(direct);
    QVERIFY(zoomed != full);

    animated.zoomTo(area);
    QVERIFY(animated.isZoomed() && animated.zoomAnimating());
    QCOMPARE(Render(animated), full);  // the first frame is the view it starts from
    animated.advanceZoomAnimation(1);
    const QImage firstStep = Render(animated);
    QVERIFY(firstStep != full && firstStep != zoomed);
    animated.advanceZoomAnimation(ChartView::kZoomSteps - 2);
    QVERIFY(animated.zoomAnimating());
    QVERIFY(Render(animated) != zoomed);
    animated.advanceZoomAnimation(1);
    QVERIFY(!animated.zoomAnimating());
    QCOMPARE(Render(animated), zoomed);

    // A double click undoes, animated likewise, back to the identical full view; so
    // does "pokaż wszystko", here on the timer's own pace.
    QTest::mouseDClick(&animated, Qt::LeftButton, {}, QPoint(300, 200));
    QVERIFY(!animated.isZoomed() && animated.zoomAnimating());
    animated.advanceZoomAnimation(ChartView::kZoomSteps);
    QCOMPARE(Render(animated), full);
    animated.zoomTo(area);
    QTRY_VERIFY(!animated.zoomAnimating());
    QCOMPARE(Render(animated), zoomed);
    direct.undoZoom();
    QCOMPARE(Render(direct), full);
    // A page change drops the zoom, also one under way.
    animated.zoomTo(area);
    animated.showPage(1);
    QVERIFY(!animated.isZoomed() && !animated.zoomAnimating());
    QCOMPARE(Render(animated), full);
}

// Figures only (the machine is shared): a full redraw of five series of a million points
// at 947 x 500, and the final frame after zoom, undo zoom and a page change.
void ChartTabTest::DrawingFigures() {
    ChartStore store;
    FillLarge(store, 1000000);
    ChartView view;
    view.resize(947, 500);
    view.setStore(&store);
    view.setZoomAnimated(false);
    QImage image(view.size(), QImage::Format_RGB32);
    auto frameMs = [&](int rounds) {
        std::vector<double> ms;
        for (int i = 0; i < rounds; ++i) {
            QElapsedTimer timer;
            timer.start();
            view.render(&image);
            ms.push_back(timer.nsecsElapsed() / 1e6);
        }
        std::sort(ms.begin(), ms.end());
        return ms[ms.size() / 2];
    };
    const double full = frameMs(15);
    view.zoomTo(QRect(300, 100, 200, 200));
    const double zoom = frameMs(5);
    view.undoZoom();
    const double undo = frameMs(5);
    view.setPaging({32767, 1});
    view.showPage(17);
    const double page = frameMs(5);
    std::printf(
        "chart 947x500, 5 x 1000000 points: full redraw %.2f ms (median of 15), "
        "after zoom %.2f ms, after undo zoom %.2f ms, after page change %.2f ms (medians of 5)\n",
        full, zoom, undo, page);
    QVERIFY(view.currentPage() == 17);
}

QTEST_MAIN(ChartTabTest)
#include "test_chart_tab.moc"
