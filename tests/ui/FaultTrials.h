// Trials of the whole program under faults, against the simulated indicator served
// in-process on a pty: the cable pulled during the wizard, during a recorded real-time
// run and while parameters are being written, and with reconnection on during a run that
// must go on by itself once the cable is back; a line that loses, spoils, tears and pads
// answers; a second program on the same port. Each trial drives the windows the way the
// operator does (the wizard's buttons, START, PAUSE, STOP) and returns an empty text when
// the program came through, or what went wrong. The Qt test runs a few of them; the
// kt210v-trials tool runs them many times over for scripts/bench.
#pragma once

#include <QAbstractButton>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QPushButton>
#include <QSpinBox>
#include <cerrno>
#include <random>
#include <string>
#include <vector>

#include "ChartTab.h"
#include "DeviceTab.h"
#include "MainHarness.h"
#include "SilentViews.h"
#include "TrialChecks.h"

namespace kt::test {

// Ends the trial with the text and the line of the failed check.
#define KT_TRIAL_CHECK(condition, text)                                                     \
    do {                                                                                    \
        if (!(condition)) {                                                                 \
            return std::string(text) + " (FaultTrials.h:" + std::to_string(__LINE__) + ")"; \
        }                                                                                   \
    } while (0)

// Runs a step that returns a failure text, and ends the trial with it.
#define KT_TRIAL_STEP(step)                                              \
    do {                                                                 \
        if (std::string failed = (step); !failed.empty()) return failed; \
    } while (0)

// A line that loses, spoils (in a value byte) and tears answers, with header-free junk
// in front of each. Halves 20 ms apart still join within the channel's 40 ms, so
// answers do get through; torn for good they never would.
inline sim::Faults FaultyLineFaults() {
    sim::Faults f;
    f.dropRate = 0.3;
    f.badCrcRate = 0.1;
    f.badCrcInValue = true;
    f.split = true;
    f.splitGapMs = 20;
    f.garbageBytes = 3;
    f.headerFreeGarbage = true;
    return f;
}

// Sensors standing still at angles whose bytes hold no header byte, so that no piece of
// a torn frame can pass for a frame (see the README on frames without a checksum).
inline sim::ModelConfig StillSensors() {
    sim::ModelConfig m;
    m.speedDegPerSecond = {0, 0, 0};
    m.startDeg = {90, 180, 45};
    return m;
}

class FaultTrials {
public:
    static constexpr int kConnectMs = 60000;
    static constexpr int kNoticeMs = 10000;
    static constexpr int kSamplesMs = 20000;
    enum class PullMoment { DuringWizard, WhileSampling, WhileWriting, WithReconnection };

    // The windows of `h` must exist. The trials' sample record is subscribed to the
    // sampling clock, so no event loop may run once this object is gone.
    FaultTrials(MainHarness& h, uint64_t seed) : h_(h), rng_(seed) {
        h_.Form().Sampling().Subscribe(recorder_);
        h_.WizardWindow().show();
    }

    std::string Pull(PullMoment moment) {
        switch (moment) {
            case PullMoment::DuringWizard:
                return PullDuringWizard();
            case PullMoment::WhileSampling:
                return PullWhileSampling();
            case PullMoment::WhileWriting:
                return PullWhileWriting();
            case PullMoment::WithReconnection:
                return PullWithReconnection();
        }
        return "unknown moment";
    }

    // "Połącz" in the wizard, which must be clickable (not covered, enabled), then the
    // steps until the device is ready.
    std::string Connect() {
        auto* abort = h_.FindInWizard<QPushButton>("BitBtn2");
        auto* connect = h_.FindInWizard<QPushButton>("BitBtn3");
        KT_TRIAL_CHECK(abort->isHidden(), "\"Przerwij łączenie\" covers \"Połącz\"");
        KT_TRIAL_CHECK(connect->isEnabled(), "\"Połącz\" is disabled");
        connect->click();
        KT_TRIAL_CHECK(
            RunLoopUntil([this] { return State().deviceReady; }, kConnectMs),
            "the wizard did not connect (step " + std::to_string(h_.Wizard().wizardStep()) + ")");
        return {};
    }

    std::string PullWhileSampling() {
        if (!State().deviceReady) KT_TRIAL_STEP(Connect());
        StartRecordedRun();
        const Baseline base = Mark();
        KT_TRIAL_CHECK(SamplesAfter(base.samples, 20), "no samples before the pull");
        RunLoop(Uniform(0, 150));
        KT_TRIAL_STEP(PullTheCable());
        KT_TRIAL_CHECK(!State().Device.GO, "GO still set after the pull");
        KT_TRIAL_CHECK(Sampling().Phase() == measurement::RunPhase::Paused,
                       "the run is not paused");
        const double elapsed = Sampling().RunElapsed();
        KT_TRIAL_CHECK(elapsed > 0, "the elapsed time was lost");
        RunLoop(300);
        KT_TRIAL_CHECK(Sampling().RunElapsed() == elapsed, "the elapsed time moved while paused");
        KT_TRIAL_STEP(CheckKept(base));
        const size_t atPull = recorder_.Count();

        KT_TRIAL_CHECK(h_.Sim().Replug(), "the simulator could not plug in again");
        KT_TRIAL_STEP(Connect());
        KT_TRIAL_STEP(CheckKept(base));
        // PAUSE resumes the run where it stopped.
        Click("SpeedButton12");
        KT_TRIAL_CHECK(SamplesAfter(atPull, 10), "sampling did not resume");
        KT_TRIAL_CHECK(recorder_.samples[atPull].elapsed >= elapsed,
                       "the resumed run started its elapsed time again");
        Stop();
        return CheckKept(base);
    }

    // With reconnection on: a pull during a recorded run pauses it at once with no box;
    // once the cable is back the run goes on by itself, the same run (its elapsed time
    // counting on, table and chart keeping everything), and every answer the indicator
    // sent is a sample but the one the pull may have cut off (counted).
    std::string PullWithReconnection() {
        if (!State().deviceReady) KT_TRIAL_STEP(Connect());
        h_.Form().ReconnectAction->setChecked(true);
        h_.Sim().RecordMeasurements(true);
        StartRecordedRun();
        const Baseline base = Mark();
        const size_t boxes = h_.dialogs.messages.size();
        KT_TRIAL_CHECK(SamplesAfter(base.samples, 20), "no samples before the pull");
        RunLoop(Uniform(0, 150));
        KT_TRIAL_STEP(PullTheCable());
        KT_TRIAL_CHECK(Sampling().Phase() == measurement::RunPhase::Paused,
                       "the run is not paused");
        const double elapsed = Sampling().RunElapsed();
        const size_t atPull = recorder_.Count();
        RunLoop(Uniform(300, 1500));  // the cable stays out a while
        KT_TRIAL_CHECK(Sampling().RunElapsed() == elapsed, "the elapsed time moved while out");
        KT_TRIAL_CHECK(recorder_.Count() == atPull, "samples came while the cable was out");
        KT_TRIAL_CHECK(h_.Find<QLabel>("Label66")->text() == QStringLiteral("nie wykryto"),
                       "the status does not say \"nie wykryto\"");
        KT_TRIAL_CHECK(h_.Sim().Replug(), "the simulator could not plug in again");
        KT_TRIAL_CHECK(RunLoopUntil([&] { return recorder_.Count() >= atPull + 20; }, kConnectMs),
                       "the run did not resume by itself (wizard step " +
                           std::to_string(h_.Wizard().wizardStep()) + ")");
        KT_TRIAL_CHECK(Sampling().Phase() == measurement::RunPhase::Running &&
                           Sampling().RunElapsed() > elapsed,
                       "the resumed run is not running on");
        const double resumedAt = recorder_.samples[atPull].elapsed;
        KT_TRIAL_CHECK(resumedAt >= elapsed && resumedAt < elapsed + 1,
                       "the resumed run's time did not go on from " + std::to_string(elapsed) +
                           " s: " + std::to_string(resumedAt) + " s");
        KT_TRIAL_CHECK(h_.dialogs.messages.size() == boxes,
                       "a box was shown: " + h_.dialogs.messages.back());
        Stop();
        h_.Form().ReconnectAction->setChecked(false);
        const std::vector<std::vector<uint8_t>> sent = h_.Sim().MeasurementsSent();
        KT_TRIAL_STEP(CheckSamplesWereSent(recorder_.samples, base.samples, sent));
        const size_t missing = sent.size() - (recorder_.Count() - base.samples);
        answersLost_ += missing;
        KT_TRIAL_CHECK(missing <= 1, std::to_string(missing) + " answers were lost");
        return CheckKept(base);
    }

    std::string PullDuringWizard() {
        if (State().deviceReady) KT_TRIAL_STEP(Disconnect());
        const int step = Uniform(1, 21);
        auto* connect = h_.FindInWizard<QPushButton>("BitBtn3");
        KT_TRIAL_CHECK(connect->isEnabled(), "\"Połącz\" is disabled");
        connect->click();
        KT_TRIAL_CHECK(
            RunLoopUntil([&] { return h_.Wizard().wizardStep() >= step || State().deviceReady; },
                         kConnectMs),
            "the wizard did not reach step " + std::to_string(step));
        KT_TRIAL_STEP(PullTheCable());
        KT_TRIAL_CHECK(h_.Wizard().wizardStep() == 0, "the wizard goes on with its steps");
        KT_TRIAL_CHECK(!h_.WizardWindow().Timer1.isActive(), "the wizard's timer still runs");
        // A factory reset pressed while the cable is out must not reach the device later.
        h_.Form().DevicePage().findChild<QPushButton*>("BitBtn3")->click();
        RunLoop(300);
        KT_TRIAL_CHECK(!State().deviceReady, "the device became ready on a lost port");
        const size_t mark = h_.requests.Size();
        KT_TRIAL_CHECK(h_.Sim().Replug(), "the simulator could not plug in again");
        KT_TRIAL_STEP(Connect());
        const std::vector<std::string> sent = h_.requests.Since(mark);
        KT_TRIAL_CHECK(!sent.empty() && sent.front().rfind("F1 F1 20", 0) == 0,
                       "the first frame after the replug was not the wizard's type query: " +
                           (sent.empty() ? std::string("none") : sent.front()));
        for (const std::string& line : sent) {
            KT_TRIAL_CHECK(line.rfind("F2 F2 24", 0) != 0, "a stale factory reset was written");
        }
        return {};
    }

    std::string PullWhileWriting() {
        if (!State().deviceReady) KT_TRIAL_STEP(Connect());
        const std::vector<Knob> knobs = WrittenKnobs();
        for (int n = 0; n < 6; ++n) ChangeOne(knobs);
        const size_t mark = h_.requests.Size();
        const size_t writes = static_cast<size_t>(Uniform(1, 3));
        KT_TRIAL_CHECK(
            RunLoopUntil([&] { return Writes(h_.requests.Since(mark)).size() >= writes; },
                         kSamplesMs),
            "no parameter was written");
        KT_TRIAL_STEP(PullTheCable());
        KT_TRIAL_CHECK(h_.Sim().Replug(), "the simulator could not plug in again");
        KT_TRIAL_STEP(Connect());
        // The program shows what the indicator holds, and has nothing left to write.
        KT_TRIAL_STEP(CheckStanIsDevice(knobs));
        for (const Knob& k : knobs) {
            KT_TRIAL_CHECK(k.get(State().Set) == k.get(State().Stan),
                           std::string("requested and reported differ: ") + k.name);
        }
        const size_t reconnected = h_.requests.Size();
        RunLoop(700);
        const std::vector<std::string> late = Writes(h_.requests.Since(reconnected));
        KT_TRIAL_CHECK(late.empty(), "written after reconnecting: " + late.front());
        return {};
    }

    // A recorded real-time run and parameter writes over a faulty line (the harness
    // serves FaultyLineFaults()); the wizard connects through it as well.
    std::string LineFaults(int seconds) {
        const std::vector<Knob> knobs = WrittenKnobs();
        KT_TRIAL_STEP(Connect());
        KT_TRIAL_STEP(CheckStanIsDevice(knobs));  // no spoiled answer taken by the wizard
        ValueWatch watch([&] { return CheckIdentityAndValues(knobs); });
        const WatchAttached attached(h_, watch);
        h_.Sim().RecordMeasurements(true);
        StartRecordedRun();
        const Baseline base = Mark();
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < seconds * 1000) {
            ChangeOne(knobs);
            RunLoop(600);
        }
        KT_TRIAL_CHECK(RunLoopUntil([&] { return Converged(knobs); }, kConnectMs),
                       "the synchronisation did not converge: " + Differences(knobs));
        Stop();
        watch.Check();
        KT_TRIAL_CHECK(watch.failure.empty(), watch.failure);
        KT_TRIAL_CHECK(recorder_.Count() >= base.samples + 20,
                       "too few samples: " + std::to_string(recorder_.Count() - base.samples));
        KT_TRIAL_STEP(
            CheckSamplesWereSent(recorder_.samples, base.samples, h_.Sim().MeasurementsSent()));
        return CheckKept(base);
    }

    // Every measurement answer torn in two, 80 ms apart (the harness serves StillSensors()):
    // no piece becomes a sample, and sampling recovers once the line is sound again.
    std::string TornFrames(int seconds) {
        if (!State().deviceReady) KT_TRIAL_STEP(Connect());
        StartRecordedRun();
        const Baseline base = Mark();
        KT_TRIAL_CHECK(SamplesAfter(base.samples, 5), "no samples on a sound line");
        sim::Faults torn;
        torn.split = true;
        torn.splitGapMs = 80;
        torn.garbageBytes = 3;
        torn.headerFreeGarbage = true;
        h_.Sim().SetFaults(torn);
        RunLoop(300);  // answers already on their way arrive whole
        const size_t mark = recorder_.Count();
        RunLoop(seconds * 1000);
        KT_TRIAL_CHECK(recorder_.Count() == mark, "pieces of torn frames became samples: " +
                                                      std::to_string(recorder_.Count() - mark));
        KT_TRIAL_CHECK(State().Device.GO && State().deviceReady, "the run did not go on");
        h_.Sim().SetFaults({});
        KT_TRIAL_CHECK(SamplesAfter(mark, 5), "sampling did not recover on a sound line");
        Stop();
        return CheckKept(base);
    }

    // Each byte of each answer lost with a small chance, at a fixed 10 ms period (the
    // harness serves three turning sensors with cycle counts): an answer that lost bytes
    // is torn where the next one begins and dropped; every sample is one the simulator
    // sent whole. `torn` (if given) gets how many answers lost bytes.
    std::string LostBytes(int seconds, double rate, uint64_t* torn = nullptr) {
        if (!State().deviceReady) KT_TRIAL_STEP(Connect());
        h_.Find<QSpinBox>("CSpinEdit2")->setValue(10);
        h_.Sim().RecordMeasurements(true);
        StartRecordedRun(false);
        const Baseline base = Mark();
        const uint64_t tornBefore = h_.Sim().AnswersTorn();
        sim::Faults lossy;
        lossy.loseByteRate = rate;
        h_.Sim().SetFaults(lossy);
        RunLoop(seconds * 1000);
        h_.Sim().SetFaults({});
        Stop();
        if (torn != nullptr) *torn = h_.Sim().AnswersTorn() - tornBefore;
        KT_TRIAL_CHECK(recorder_.Count() >= base.samples + 20,
                       "too few samples: " + std::to_string(recorder_.Count() - base.samples));
        KT_TRIAL_STEP(
            CheckSamplesWereSent(recorder_.samples, base.samples, h_.Sim().MeasurementsSent()));
        KT_TRIAL_CHECK(h_.Sim().AnswersTorn() > tornBefore, "no answer lost a byte");
        return CheckKept(base);
    }

    // A second program (its own device core and wizard, as kt210v-pc has) asks for the
    // port this one holds while it samples.
    std::string SecondProgram() {
        if (!State().deviceReady) KT_TRIAL_STEP(Connect());
        StartRecordedRun();
        const Baseline base = Mark();
        KT_TRIAL_CHECK(SamplesAfter(base.samples, 5), "no samples before the second program");
        const uint64_t lost = h_.Form().Core().PortsLost();
        {
            device::BlockingUiQueue queue;
            device::SilentDeviceView view;
            FakeDialogs dialogs;
            FakeWarnings log;
            device::DeviceCore second(device::DeviceCoreSetup{
                queue, view, dialogs, log, device::NumberFormat{','}, h_.Dir().toStdString()});
            second.State().portName = "COM1";
            second.Wizard().Connect();
            KT_TRIAL_CHECK(dialogs.messages == std::vector<std::string>{"KT210V-PC|Nie znaleziono "
                                                                        "wybranego portu COM"},
                           "the second program was not told the port is not available");
            const std::string& details = dialogs.details.front();
            KT_TRIAL_CHECK(
                details.find("Powód: " + device::SystemReason(EWOULDBLOCK)) != std::string::npos &&
                    details.find("Port jest zajęty przez inny program.") != std::string::npos,
                "the details do not give the reason: " + details);
            KT_TRIAL_CHECK(!second.Channel().WorkerRunning(), "the second program opened it");
        }
        const size_t mark = recorder_.Count();
        KT_TRIAL_CHECK(SamplesAfter(mark, 20), "the first program stopped sampling");
        KT_TRIAL_CHECK(State().deviceReady && State().Device.GO, "the first program lost its run");
        KT_TRIAL_CHECK(h_.Form().Core().PortsLost() == lost, "the first program lost its port");
        Stop();
        return CheckKept(base);
    }

    // Real time, "autoodczyt", chart recording from an empty chart, START.
    void StartRecordedRun(bool realTime = true) {
        h_.Find<QCheckBox>("CheckBox18")->setChecked(realTime);
        h_.Find<QCheckBox>("CheckBox16")->setChecked(true);
        Click("SpeedButton15");
        Click("SpeedButton10");
    }
    // STOP, then the answer still on its way comes in (it belongs to the run).
    void Stop() {
        Click("SpeedButton11");
        RunLoop(200);
    }

    const SampleRecorder& Recorder() const { return recorder_; }
    size_t AnswersLostAtPulls() const { return answersLost_; }

private:
    // Where the table, the chart and the sample record stood when a run began.
    struct Baseline {
        size_t samples = 0;
        int rows = 0;
    };

    // Points the core's traffic monitor at a watch, and back at the window's own.
    struct WatchAttached {
        WatchAttached(MainHarness& h, ValueWatch& watch) : h_(h) {
            h_.Form().Core().SetFrameLog(&watch);
        }
        ~WatchAttached() { h_.Form().Core().SetFrameLog(h_.Form().Forms().comDbg); }
        MainHarness& h_;
    };

    device::DeviceState& State() { return h_.State(); }
    measurement::SamplingClock& Sampling() { return h_.Form().Sampling(); }

    int Uniform(int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng_); }

    void Click(const char* name) { h_.Find<QAbstractButton>(name)->click(); }

    Baseline Mark() { return {recorder_.Count(), h_.Form().Registration().rowsRegistered()}; }

    bool SamplesAfter(size_t mark, size_t count) {
        return RunLoopUntil([&] { return recorder_.Count() >= mark + count; }, kSamplesMs);
    }

    // Every sample since the baseline has its row in the table and its points on the
    // chart, which was emptied at the baseline: X values are the samples' elapsed times.
    std::string CheckKept(const Baseline& base) {
        const size_t samples = recorder_.Count() - base.samples;
        const int rows = h_.Form().Registration().rowsRegistered() - base.rows;
        KT_TRIAL_CHECK(
            static_cast<size_t>(rows) == samples,
            "table rows " + std::to_string(rows) + " for " + std::to_string(samples) + " samples");
        for (int series : {measurement::kSeriesPK1, measurement::kSeriesPK2}) {
            const measurement::ChartSeries& points = h_.Form().Chart().Series(series);
            KT_TRIAL_CHECK(points.Size() == samples, "chart points " +
                                                         std::to_string(points.Size()) + " for " +
                                                         std::to_string(samples) + " samples");
            for (size_t i = 0; i < samples; ++i) {
                KT_TRIAL_CHECK(points.X(i) == recorder_.samples[base.samples + i].elapsed,
                               "chart point " + std::to_string(i) + " at " +
                                   std::to_string(points.X(i)) + " s is not its sample's, at " +
                                   std::to_string(recorder_.samples[base.samples + i].elapsed) +
                                   " s");
            }
        }
        return {};
    }

    // The simulator unplugs; the program must notice within a few seconds.
    std::string PullTheCable() {
        const uint64_t lost = h_.Form().Core().PortsLost();
        h_.Sim().Unplug();
        KT_TRIAL_CHECK(RunLoopUntil(
                           [&] {
                               return h_.Form().Core().PortsLost() > lost &&
                                      !h_.Form().Core().Channel().WorkerRunning();
                           },
                           kNoticeMs),
                       std::string("the pulled cable was not noticed (worker running: ") +
                           (h_.Form().Core().Channel().WorkerRunning() ? "yes" : "no") +
                           ", losses " + std::to_string(h_.Form().Core().PortsLost() - lost) +
                           ", simulator plugged: " + (h_.Sim().Plugged() ? "yes" : "no") +
                           ", wizard step " + std::to_string(h_.Wizard().wizardStep()) + ")");
        KT_TRIAL_CHECK(!State().deviceReady, "the device is still marked ready");
        KT_TRIAL_CHECK(!State().Device.GO, "GO still set after the pull");
        return {};
    }

    // "Rozłącz" in the wizard, then the port closed.
    std::string Disconnect() {
        auto* disconnect = h_.FindInWizard<QPushButton>("BitBtn4");
        KT_TRIAL_CHECK(disconnect->isEnabled(), "\"Rozłącz\" is disabled");
        disconnect->click();
        KT_TRIAL_CHECK(RunLoopUntil([this] { return !State().portOpen; }, kNoticeMs),
                       "the port did not close");
        return {};
    }

    // The operator changes one parameter to another of its values.
    void ChangeOne(const std::vector<Knob>& knobs) {
        const Knob& k = knobs[static_cast<size_t>(Uniform(0, static_cast<int>(knobs.size()) - 1))];
        const double now = k.get(State().Set);
        for (double v : k.choices) {
            if (v != now) {
                k.put(State().Set, v);
                if (Uniform(0, 1) == 0) return;
            }
        }
    }

    device::DeviceParams DeviceHolds() {
        device::DeviceParams held;
        h_.Sim().WithModel([&held](sim::IndicatorModel& m) { held = m.Params(); });
        return held;
    }

    std::string CheckStanIsDevice(const std::vector<Knob>& knobs) {
        const device::DeviceParams held = DeviceHolds();
        for (const Knob& k : knobs) {
            KT_TRIAL_CHECK(k.get(held) == k.get(State().Stan),
                           std::string("the program shows another value than the indicator "
                                       "holds: ") +
                               k.name);
        }
        return {};
    }

    bool Converged(const std::vector<Knob>& knobs) {
        const device::DeviceParams held = DeviceHolds();
        for (const Knob& k : knobs) {
            const double set = k.get(State().Set);
            if (k.get(State().Stan) != set || k.get(held) != set) return false;
        }
        return true;
    }

    // Requested, reported and held values of the parameters that differ.
    std::string Differences(const std::vector<Knob>& knobs) {
        const device::DeviceParams held = DeviceHolds();
        const device::DeviceState& s = State();
        std::string text;
        for (const Knob& k : knobs) {
            const double set = k.get(s.Set), stan = k.get(s.Stan), device = k.get(held);
            if (stan == set && device == set) continue;
            text += std::string(k.name) + " set " + std::to_string(set) + " shown " +
                    std::to_string(stan) + " held " + std::to_string(device) + "; ";
        }
        return text + "Q_NR set " + std::to_string(s.Set.Q_NR) + " shown " +
               std::to_string(s.Stan.Q_NR) + " held " + std::to_string(held.Q_NR) +
               (s.refreshPending ? ", refresh pending" : "") +
               (s.deviceReady ? "" : ", device not ready");
    }

    std::string CheckIdentityAndValues(const std::vector<Knob>& knobs) {
        const device::DeviceState& s = State();
        KT_TRIAL_CHECK(s.typeStatus == device::TypeStatus::Recognised, "the type was spoiled");
        KT_TRIAL_CHECK(s.hardwareVersion == 12 && s.softwareVersion == 34,
                       "a spoiled version was taken");
        return CheckHeldValues(s.Stan, sim::IndicatorModel::DefaultParams(), knobs);
    }

    MainHarness& h_;
    std::mt19937_64 rng_;
    SampleRecorder recorder_;
    size_t answersLost_ = 0;
};

}  // namespace kt::test
