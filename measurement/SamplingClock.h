// The sampling clock: decides when to ask the indicator for a measurement, keeps the
// elapsed measuring time that stamps every sample, runs START / STOP / PAUSE, and hands
// every decoded measurement on to its subscribers as one `Sample`.
//
// It is paced from outside: the window calls OnIdle() after every batch of events (and
// when the single-shot timer armed from MillisecondsUntilDue() fires) and
// RefreshReadouts() every 50 ms. Everything runs on the user-interface thread.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "DeviceState.h"
#include "DeviceView.h"
#include "Dialogs.h"
#include "Frames.h"
#include "HundredthsClock.h"
#include "Reconnection.h"
#include "Sample.h"
#include "SamplingView.h"

namespace kt::measurement {

inline constexpr int64_t kMinPeriodMs = 10;
inline constexpr int64_t kMaxPeriodMs = 10000000;
inline constexpr const char* kNoDeviceMessage = "Nie odnaleziono urządznia!";

struct SamplingState {
    // The run's time as the clock counts it, in whole hundredths of a second; grows only
    // while sampling. `elapsed` is the same time in seconds, always elapsedHundredths / 100
    // (the double nearest to it), never a running sum of steps: a sum of 0.01 steps drifts
    // by its rounding errors (0.82 became 0.8200000000000005, 4.05 became
    // 4.049999999999958), and every time text made from it showed that noise.
    int64_t elapsedHundredths = 0;
    double elapsed = 0;
    double countdown = 0;       // seconds until the next request, fixed-period mode
    double lastStep = 0;        // seconds measured by the most recent pass
    int64_t previousClock = 0;  // clock reading (hundredths) of the most recent pass
    float rtGuard = 0;          // seconds left for an outstanding real-time request
    int rtFrames = 0;           // answers since the last real-time rate update
    int64_t rtLastElapsed = 0;  // elapsedHundredths at the last real-time rate update
};

enum class RunPhase { Stopped, Running, Paused };

// Figures for a summary at the end of a command-line run.
struct SamplingCounters {
    uint64_t requests = 0;
    uint64_t realTimeTimeouts = 0;
    uint64_t samples = 0;
};

class SamplingClock : public device::MeasurementListener, public device::PausedRun {
public:
    // The first pass measures from the clock's reading taken here.
    SamplingClock(device::DeviceState& device, device::FrameSender& sender,
                  device::Dialogs& dialogs, SamplingView& view, HundredthsClock& clock,
                  char decimalSeparator);

    // Subscribers get every sample in the order they subscribed.
    void Subscribe(SampleSubscriber& subscriber) { subscribers_.push_back(&subscriber); }

    // One idle pass: measure the time since the previous pass, advance the run, send at
    // most one measurement request.
    void OnIdle();
    // The 50 ms readout tick. Returns false when the tick is skipped (no time measured
    // by the last pass); otherwise page tracking and dials are due as well.
    bool RefreshReadouts();
    // Milliseconds from the most recent pass until a pass has work to do; nothing while
    // no requests are being sent.
    std::optional<int64_t> MillisecondsUntilDue();

    // SpeedButton10, SpeedButton11, SpeedButton12. START, and PAUSE when it would set the
    // run going, need a ready device; without one they show the message and the wizard.
    void Start();
    void Stop();
    void Pause();
    // Sampling stops as with PAUSE (the port is being closed), the elapsed time is kept.
    void Halt();
    // The same for a port lost under the program: a run it paused may be resumed when the
    // port comes back, until the operator presses START, STOP or PAUSE.
    void HaltByLostPort();
    // Chart start / stop: the elapsed time starts again from 0; running or not is unchanged.
    void ResetElapsed();
    // A recovered run: stopped at `elapsed`, which the readout shows and a save takes as
    // the run's duration. Only while stopped.
    void RestoreStopped(double elapsed);

    // The period clamped to 10..10000000 ms; returns the value taken.
    int64_t SetPeriodMs(int64_t periodMs);
    int64_t PeriodMs() const { return periodMs_; }
    void SetRealTime(bool realTime) { realTime_ = realTime; }
    bool RealTime() const { return realTime_; }

    RunPhase Phase() const { return phase_; }
    // The elapsed time of the current run, or after STOP the one the run reached.
    double RunElapsed() const { return static_cast<double>(RunElapsedHundredths()) / 100.0; }
    int64_t RunElapsedHundredths() const {
        return phase_ == RunPhase::Stopped ? stoppedElapsed_ : state_.elapsedHundredths;
    }
    const SamplingState& State() const { return state_; }
    const SamplingCounters& Counters() const { return counters_; }

    // device::MeasurementListener
    void OnMeasurementFrame() override;
    void MeasurementUpdate() override;

    // device::PausedRun
    bool WaitingForDevice() const override { return phase_ == RunPhase::Paused && pausedByLoss_; }
    void ResumeAfterReconnection() override;

private:
    bool Sampling() const;
    void FixedPeriodPass(double step);
    void RealTimePass(double step);
    void Request();
    void BeginRun();
    bool RefusedWithoutDevice();
    void OperatorDecides();
    void ClearRealTimeRate();
    void ShowLock();
    void FillSample();
    void SetElapsed(int64_t hundredths);

    device::DeviceState& device_;
    device::FrameSender& sender_;
    device::Dialogs& dialogs_;
    SamplingView& view_;
    HundredthsClock& clock_;
    char decimalSeparator_;

    SamplingState state_;
    RunPhase phase_ = RunPhase::Stopped;
    bool pausedByLoss_ = false;
    int64_t stoppedElapsed_ = 0;   // hundredths
    double stepSinceReadout_ = 0;  // time measured by the passes since the last readout tick
    int64_t periodMs_ = kMinPeriodMs;
    bool realTime_ = false;
    SamplingCounters counters_;
    Sample sample_;
    std::vector<SampleSubscriber*> subscribers_;
};

}  // namespace kt::measurement
