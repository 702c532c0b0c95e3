// The whole program under faults, a few runs of each trial (scripts/bench runs them many
// times over with kt210v-trials): the cable pulled during the wizard, during a recorded
// real-time run and while parameters are written, then plugged back and reconnected
// through the wizard, and with reconnection on, where the run goes on by itself; a lossy,
// spoiling, tearing line with junk; measurement frames torn for good; a second program on
// the same port.
#include <QtTest>

#include "FaultTrials.h"

using kt::test::FaultTrials;
using kt::test::MainHarness;
using Moment = kt::test::FaultTrials::PullMoment;

class FaultTrialsTest : public QObject {
    Q_OBJECT

private slots:
    void cablePulledAtEachMomentAndPluggedBack();
    void faultyLineWhileSamplingAndWriting();
    void tornMeasurementFramesNeverBecomeSamples();
    void lostBytesTearAnswersAndInventNoSample();
    void secondProgramIsRefusedAndTheFirstGoesOn();
};

void FaultTrialsTest::cablePulledAtEachMomentAndPluggedBack() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows(false);
    FaultTrials trials(h, 1);
    for (Moment moment :
         {Moment::WhileSampling, Moment::DuringWizard, Moment::WhileWriting,
          Moment::WithReconnection, Moment::WhileSampling, Moment::WithReconnection}) {
        const std::string failure = trials.Pull(moment);
        QVERIFY2(failure.empty(), failure.c_str());
    }
    QCOMPARE(h.Form().Core().PortsLost(), 6u);
    QCOMPARE(h.Form().Core().Reconnector().Resumptions(), 2u);
}

void FaultTrialsTest::faultyLineWhileSamplingAndWriting() {
    MainHarness h({}, kt::test::FaultyLineFaults());
    QVERIFY(h.Started());
    h.CreateWindows(false);
    FaultTrials trials(h, 2);
    const std::string failure = trials.LineFaults(3);
    QVERIFY2(failure.empty(), failure.c_str());
}

void FaultTrialsTest::tornMeasurementFramesNeverBecomeSamples() {
    MainHarness h(kt::test::StillSensors());
    QVERIFY(h.Started());
    h.CreateWindows(false);
    FaultTrials trials(h, 3);
    const std::string failure = trials.TornFrames(2);
    QVERIFY2(failure.empty(), failure.c_str());
}

void FaultTrialsTest::lostBytesTearAnswersAndInventNoSample() {
    kt::sim::ModelConfig turningWithCycles;
    turningWithCycles.includeCycles = true;
    MainHarness h(turningWithCycles);
    QVERIFY(h.Started());
    h.CreateWindows(false);
    FaultTrials trials(h, 5);
    const std::string failure = trials.LostBytes(3, 0.02);
    QVERIFY2(failure.empty(), failure.c_str());
}

void FaultTrialsTest::secondProgramIsRefusedAndTheFirstGoesOn() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows(false);
    FaultTrials trials(h, 4);
    const std::string failure = trials.SecondProgram();
    QVERIFY2(failure.empty(), failure.c_str());
}

QTEST_MAIN(FaultTrialsTest)
#include "test_fault_trials.moc"
