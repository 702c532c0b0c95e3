// The sampling clock in the main window against the simulated indicator: the idle hook
// and its single-shot timer keep a 10 ms period, and a pulled cable pauses the run.
#include <QtTest>

#include "MainHarness.h"

using kt::measurement::RunPhase;
using kt::test::MainHarness;
using kt::test::RunLoop;
using kt::test::RunLoopUntil;

class MainSamplingTest : public QObject {
    Q_OBJECT

private slots:
    void tenMsPeriodIsKeptByTheIdleHook();
    void pulledCablePausesTheRunAndStartAsksForTheWizard();
    void startWithoutADeviceAsksForTheWizard();
};

namespace {

size_t MeasurementRequests(const std::vector<std::string>& lines) {
    return static_cast<size_t>(std::count_if(
        lines.begin(), lines.end(), [](const auto& l) { return l.rfind("F1 F1 07", 0) == 0; }));
}

}  // namespace

// Without the timer armed for the next due request, passes come only with other events
// (the 50 ms and 250 ms timers): about 20 requests a second instead of 100.
void MainSamplingTest::tenMsPeriodIsKeptByTheIdleHook() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows();
    QVERIFY(h.WaitReady());
    auto& sampling = h.Form().Sampling();
    sampling.SetPeriodMs(10);
    sampling.Start();
    QVERIFY(h.State().Device.GO);
    RunLoop(300);
    const size_t mark = h.requests.Size();
    QElapsedTimer clock;
    clock.start();
    RunLoop(1000);
    const double seconds = clock.elapsed() / 1000.0;
    const size_t sent = MeasurementRequests(h.requests.Since(mark));
    qInfo("measurement requests in %.2f s: %zu", seconds, sent);
    QVERIFY2(sent >= 50 * seconds, qPrintable(QString::number(sent)));
    QVERIFY2(sampling.Counters().samples > 0, "no answer decoded");
    sampling.Stop();
    QVERIFY(!h.State().Device.GO);
}

void MainSamplingTest::pulledCablePausesTheRunAndStartAsksForTheWizard() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows();
    QVERIFY(h.WaitReady());
    auto& sampling = h.Form().Sampling();
    sampling.SetPeriodMs(20);
    sampling.Start();
    QVERIFY(RunLoopUntil([&] { return sampling.Counters().samples >= 5; }, 10000));
    h.Sim().Unplug();
    QVERIFY(RunLoopUntil([&] { return !h.State().deviceReady; }, 10000));
    QVERIFY(!h.State().Device.GO);
    QCOMPARE(sampling.Phase(), RunPhase::Paused);
    QVERIFY(sampling.RunElapsed() > 0);  // the elapsed time is kept
    QTRY_COMPARE_WITH_TIMEOUT(h.Find<QLabel>("Label66")->text(), QStringLiteral("nie wykryto"),
                              5000);
    // The wizard connects again once the cable is back.
    QVERIFY(h.Sim().Replug());
    h.WizardWindow().BitBtn3Click();
    QVERIFY(h.WaitReady());
}

void MainSamplingTest::startWithoutADeviceAsksForTheWizard() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows(false);
    h.Form().Sampling().Start();
    QCOMPARE(h.dialogs.messages, std::vector<std::string>{"KT210V-PC|Nie odnaleziono urządznia!"});
    QVERIFY(h.WizardWindow().isVisible());
    QVERIFY(!h.State().Device.GO);
}

QTEST_MAIN(MainSamplingTest)
#include "test_main_sampling.moc"
