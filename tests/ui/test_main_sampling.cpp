// The sampling clock in the main window against the simulated indicator: the idle hook
// and its single-shot timer keep a 10 ms period, and a pulled cable pauses the run before
// its notice is shown.
#include <QAbstractButton>
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
    void reconnectionResumesTheRunOnlyForItsOwnIndicator();
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

// The run is paused, the device marked gone and the status shown before the closed
// notice comes up: a real box waits for the operator, and nothing may go on under it.
// Without a device PAUSE then asks for the wizard, as START does, and the time stands.
void MainSamplingTest::pulledCablePausesTheRunAndStartAsksForTheWizard() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows();
    QVERIFY(h.WaitReady());
    auto& sampling = h.Form().Sampling();
    sampling.SetPeriodMs(20);
    sampling.Start();
    QVERIFY(RunLoopUntil([&] { return sampling.Counters().samples >= 5; }, 10000));
    std::string underTheBox;
    h.dialogs.whileShown = [&] {
        underTheBox = std::string(h.State().Device.GO || h.State().deviceReady ? "going " : "") +
                      (sampling.Phase() == RunPhase::Paused ? "paused " : "") +
                      h.Find<QLabel>("Label66")->text().toStdString();
    };
    h.Sim().Unplug();
    QVERIFY(RunLoopUntil([&] { return !h.dialogs.messages.empty(); }, 10000));
    QCOMPARE(h.dialogs.messages, std::vector<std::string>{"OK|Zamknieto port COM1"});
    QCOMPARE(underTheBox, std::string("paused nie wykryto"));
    const double elapsed = sampling.RunElapsed();
    h.Find<QAbstractButton>("SpeedButton12")->click();
    QCOMPARE(h.dialogs.messages.back(), std::string("KT210V-PC|Nie odnaleziono urządznia!"));
    QVERIFY(h.WizardWindow().isVisible());
    RunLoop(300);
    QVERIFY(!h.State().Device.GO);
    QVERIFY(elapsed > 0);
    QCOMPARE(sampling.RunElapsed(), elapsed);
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

// With reconnection on, a run paused by a pull stays paused while an indicator of another
// type answers on the port, or none does, and the status says why; no box comes up. When
// its own indicator answers again the run goes on by itself from where it stopped.
void MainSamplingTest::reconnectionResumesTheRunOnlyForItsOwnIndicator() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows();
    QVERIFY(h.WaitReady());
    h.Form().ReconnectAction->trigger();
    auto& sampling = h.Form().Sampling();
    sampling.SetPeriodMs(50);
    sampling.Start();
    QVERIFY(RunLoopUntil([&] { return sampling.Counters().samples >= 5; }, 10000));
    auto pullAndPlug = [&](const kt::sim::Faults& faults) {
        h.Sim().Unplug();
        if (!RunLoopUntil([&] { return !h.State().portOpen; }, 10000)) return false;
        h.Sim().SetFaults(faults);
        return h.Sim().Replug();
    };
    auto status = [&] { return h.Find<QLabel>("Label66")->text().toStdString(); };
    kt::sim::Faults other;
    other.typeCode = "XYZ";
    QVERIFY(pullAndPlug(other));
    QVERIFY(RunLoopUntil([&] { return status() == "wstrzymany: inne urządzenie"; }, 20000));
    QVERIFY(h.State().deviceReady && !h.State().Device.GO);
    const double elapsed = sampling.RunElapsed();

    kt::sim::Faults silent;
    silent.silent = true;
    QVERIFY(pullAndPlug(silent));
    QVERIFY(
        RunLoopUntil([&] { return status() == "wstrzymany: urządzenie nie odpowiada"; }, 20000));
    QCOMPARE(sampling.Phase(), RunPhase::Paused);
    const uint64_t samples = sampling.Counters().samples;
    h.Sim().SetFaults({});  // it answers at last: the wizard's steps go on
    QVERIFY(RunLoopUntil([&] { return sampling.Counters().samples >= samples + 5; }, 20000));
    QCOMPARE(sampling.Phase(), RunPhase::Running);
    QVERIFY(sampling.RunElapsed() > elapsed && sampling.RunElapsed() < elapsed + 5);
    QCOMPARE(h.dialogs.messages, std::vector<std::string>{});
}

QTEST_MAIN(MainSamplingTest)
#include "test_main_sampling.moc"
