#include "SamplingClock.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "CellFormats.h"
#include "Numbers.h"

namespace kt::measurement {

namespace {

// A fixed-period request goes out once the countdown is down to this; what is left
// below it is dropped, not carried into the next period.
constexpr double kRequestThreshold = 0.005;
// How long a real-time request may stay unanswered before it is sent again.
constexpr float kRealTimeGuard = 0.05f;
// Countdowns are sums of whole hundredths and whole milliseconds; comparing with this
// margin (a microsecond, far below the clock's hundredth) keeps an exact remainder from
// missing its threshold by a rounding error of the binary fractions.
constexpr double kMargin = 1e-6;
constexpr int kRateFrames = 10;

}  // namespace

SamplingClock::SamplingClock(device::DeviceState& device, device::FrameSender& sender,
                             device::Dialogs& dialogs, SamplingView& view, HundredthsClock& clock,
                             char decimalSeparator)
    : device_(device),
      sender_(sender),
      dialogs_(dialogs),
      view_(view),
      clock_(clock),
      decimalSeparator_(decimalSeparator) {
    state_.previousClock = clock_.NowHundredths();
}

bool SamplingClock::Sampling() const {
    return device_.Device.GO && device_.typeStatus != device::TypeStatus::NotAnswered;
}

void SamplingClock::OnIdle() {
    // One reading per pass: the time between two readings of the same pass is then
    // counted by the next pass instead of being lost.
    const int64_t now = clock_.NowHundredths();
    const int64_t hundredths = std::max<int64_t>(now - state_.previousClock, 0);
    const double step = static_cast<double>(hundredths) / 100.0;
    state_.lastStep = step;
    stepSinceReadout_ += step;
    state_.previousClock = now;
    if (!Sampling()) return;
    SetElapsed(state_.elapsedHundredths + hundredths);
    if (realTime_) {
        RealTimePass(step);
    } else {
        FixedPeriodPass(step);
    }
}

void SamplingClock::FixedPeriodPass(double step) {
    state_.countdown -= step;
    if (state_.countdown > kRequestThreshold + kMargin) return;
    Request();
    state_.countdown = static_cast<double>(periodMs_) * 0.001;
    device_.Device.bledna_transmisja = 0;
}

void SamplingClock::RealTimePass(double step) {
    device::DeviceFlags& flags = device_.Device;
    if (!flags.zapytanie) {
        Request();
        flags.zapytanie = true;
        state_.rtGuard = kRealTimeGuard;
        return;
    }
    state_.rtGuard = static_cast<float>(state_.rtGuard - step);
    if (state_.rtGuard > kMargin) return;
    flags.zapytanie = false;  // the next pass asks again
    flags.bledna_transmisja = 1;
    ++counters_.realTimeTimeouts;
}

void SamplingClock::Request() {
    sender_.RequestMeasurement();
    ++counters_.requests;
}

// Skipped when no time has been measured since the previous readout tick. Looking only
// at the most recent pass, as a literal reading has it, skips nearly every tick here:
// the event loop runs several passes per hundredth (after each answer, each timer), and
// the one just before the tick has mostly measured 0, so the readouts and dials froze.
bool SamplingClock::RefreshReadouts() {
    if (stepSinceReadout_ == 0) return false;
    stepSinceReadout_ = 0;
    std::string rate;
    if (!realTime_) {
        char text[32];  // "%3.5f" with a point in any locale, then the comma of the readout
        *std::to_chars(text, text + sizeof text - 1, 1000.0 / static_cast<double>(periodMs_),
                       std::chars_format::fixed, 5)
             .ptr = '\0';
        rate = DotToComma(text);
    }
    view_.SetSamplesPerSecondText(rate);
    view_.SetElapsedText(device::GeneralForm(state_.elapsed, decimalSeparator_));
    return true;
}

// Time advances in whole hundredths, so the pass that has work to do is the first one in
// the hundredth where the countdown (or the guard) runs out: the wait lasts until that
// hundredth begins, which keeps requests on the period instead of on the pass spacing.
std::optional<int64_t> SamplingClock::MillisecondsUntilDue() {
    if (!Sampling()) return std::nullopt;
    double seconds = 0;
    if (!realTime_) {
        seconds = state_.countdown - kRequestThreshold;
    } else if (device_.Device.zapytanie) {
        seconds = state_.rtGuard;
    }
    if (seconds <= kMargin) return 0;
    const auto hundredths = static_cast<int64_t>(std::ceil((seconds - kMargin) * 100.0));
    return clock_.MillisecondsUntil(state_.previousClock + hundredths);
}

void SamplingClock::SetElapsed(int64_t hundredths) {
    state_.elapsedHundredths = hundredths;
    state_.elapsed = static_cast<double>(hundredths) / 100.0;
}

void SamplingClock::BeginRun() {
    SetElapsed(0);
    state_.countdown = 0;  // the first request goes out at the next pass
    ClearRealTimeRate();
}

// Without this a rate measured across a restart would compare the new run's elapsed
// time with the old run's and come out negative.
void SamplingClock::ClearRealTimeRate() {
    state_.rtFrames = 0;
    state_.rtLastElapsed = state_.elapsedHundredths;
}

void SamplingClock::ShowLock() {
    view_.SetSettingsLocked(device_.Device.GO);
}

// Without a ready device, START and a PAUSE that would set the run going again only ask
// for the wizard: after a lost port the clock would otherwise count time with nothing
// to sample while the status says "nie wykryto".
bool SamplingClock::RefusedWithoutDevice() {
    if (device_.deviceReady) return false;
    dialogs_.ShowPlainMessage(kNoDeviceMessage);
    view_.ShowConnectionWizard();
    return true;
}

// START, STOP and PAUSE take the run out of the reconnection's hands, and the reason a
// reconnection gave for not resuming it off the status line.
void SamplingClock::OperatorDecides() {
    pausedByLoss_ = false;
    device_.pauseReason.clear();
}

void SamplingClock::Start() {
    OperatorDecides();
    if (RefusedWithoutDevice()) return;
    BeginRun();
    device_.Device.GO = true;
    phase_ = RunPhase::Running;
    ShowLock();
}

void SamplingClock::Stop() {
    OperatorDecides();
    stoppedElapsed_ = RunElapsedHundredths();
    BeginRun();
    device_.Device.GO = false;
    phase_ = RunPhase::Stopped;
    ShowLock();
}

void SamplingClock::Pause() {
    OperatorDecides();
    if (!device_.Device.GO && RefusedWithoutDevice()) return;
    // From Stopped this starts a run counting on from 0.
    device_.Device.GO = !device_.Device.GO;
    phase_ = device_.Device.GO ? RunPhase::Running : RunPhase::Paused;
    ShowLock();
}

void SamplingClock::Halt() {
    device_.Device.GO = false;
    if (phase_ == RunPhase::Running) phase_ = RunPhase::Paused;
    ShowLock();
}

void SamplingClock::HaltByLostPort() {
    // Lost again before it was resumed, the run still waits for its device.
    pausedByLoss_ = pausedByLoss_ || phase_ == RunPhase::Running;
    Halt();
}

// The same run goes on: `elapsed` counts on from the pause (the passes while paused
// measured their time without adding it), the table and the chart keep their rows.
void SamplingClock::ResumeAfterReconnection() {
    if (!WaitingForDevice() || !device_.deviceReady) return;
    pausedByLoss_ = false;
    device_.Device.GO = true;
    phase_ = RunPhase::Running;
    ShowLock();
}

void SamplingClock::ResetElapsed() {
    SetElapsed(0);
    ClearRealTimeRate();
}

void SamplingClock::RestoreStopped(double elapsed) {
    if (phase_ != RunPhase::Stopped) return;
    SetElapsed(std::llround(elapsed * 100.0));
    stoppedElapsed_ = state_.elapsedHundredths;
    ClearRealTimeRate();
    view_.SetElapsedText(device::GeneralForm(state_.elapsed, decimalSeparator_));
}

int64_t SamplingClock::SetPeriodMs(int64_t periodMs) {
    periodMs_ = std::clamp(periodMs, kMinPeriodMs, kMaxPeriodMs);
    return periodMs_;
}

void SamplingClock::OnMeasurementFrame() {
    if (!realTime_) return;
    if (++state_.rtFrames < kRateFrames) return;
    // Ten answers over that many hundredths: the mean is the same number of milliseconds.
    const auto meanMs = static_cast<double>(state_.elapsedHundredths - state_.rtLastElapsed);
    view_.SetRealTimePeriodText(device::GeneralForm(meanMs, decimalSeparator_));
    state_.rtLastElapsed = state_.elapsedHundredths;
    state_.rtFrames = 0;
}

void SamplingClock::FillSample() {
    sample_.number = counters_.samples++;
    // After STOP the answer to the run's last request may still come in: it is stamped
    // with the time the run reached, as "Odczytaj pozycje" stamps a row then, not with the
    // 0 that STOP left, which would put it among the chart's first points.
    sample_.elapsed = RunElapsed();
    for (int i = 0; i < 3; ++i) {
        sample_.sensorPresent[i] = device_.sensorPresent[i];
        sample_.angle[i] = device_.angle[i];
        sample_.cycles[i] = device_.cycles[i];
    }
    sample_.cyclesCounted = device_.Stan.mode == 3;
    sample_.cyclesInFrame = device_.cyclesInLastFrame;
    sample_.outputOn[0] = device_.outputOn[0];
    sample_.outputOn[1] = device_.outputOn[1];
}

void SamplingClock::MeasurementUpdate() {
    FillSample();
    for (SampleSubscriber* subscriber : subscribers_) subscriber->OnSample(sample_);
}

}  // namespace kt::measurement
