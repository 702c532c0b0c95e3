// Picks an unattended run up again after its port came back. Off until the operator
// turns it on. While on, a port lost under the program is waited for: the folders where
// its name can reappear are watched, and when it is there again it is opened and the
// wizard's steps run without any message box. Once the indicator is ready, a run the
// loss paused is resumed (the decision is the sampling side's, behind PausedRun); when
// the indicator that answers is of another type, or does not answer, the run stays
// paused and the status says why.
//
// Nothing polls faster than once a second: attempts follow the watch's changes, one a
// second at most; a port that is there but cannot be opened is tried again once a
// second; without a watch the port is looked for once a second. All on the
// user-interface thread (the window's 250 ms tick, the tool's loop).
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "ConnectionWizard.h"
#include "DeviceState.h"
#include "Log.h"
#include "PortWatch.h"

namespace kt::device {

// The run the loss paused, as the sampling side decides about it.
class PausedRun {
public:
    virtual ~PausedRun() = default;
    // A run was going when the port was lost and nobody has touched it since.
    virtual bool WaitingForDevice() const = 0;
    // Sets that run going again, its elapsed time counting on from where it stopped.
    virtual void ResumeAfterReconnection() = 0;
};

// What the status shows while a run stays paused after a reconnection.
inline constexpr const char* kOtherDeviceStatus = "wstrzymany: inne urządzenie";
inline constexpr const char* kNoAnswerStatus = "wstrzymany: urządzenie nie odpowiada";

class Reconnection {
public:
    static constexpr int64_t kRetryMs = 1000;
    enum class Phase { Idle, Waiting, Connecting };

    // `nowMs` reads a monotonic clock in milliseconds.
    Reconnection(DeviceState& state, ConnectionWizard& wizard, PortWatch& watch, Log& log,
                 std::string baseDirectory, std::function<int64_t()> nowMs)
        : state_(state),
          wizard_(wizard),
          watch_(watch),
          log_(log),
          baseDirectory_(std::move(baseDirectory)),
          nowMs_(std::move(nowMs)) {}

    // Off stops any waiting; a wizard already running goes on as if started by hand.
    void SetEnabled(bool on);
    bool Enabled() const { return enabled_; }
    void SetPausedRun(PausedRun* run) { run_ = run; }

    // The port was lost under the program (after the run was paused).
    void PortLost();
    // The watch's descriptor became readable.
    void WatchChanged();
    // Every 250 ms: a due attempt, the wizard's outcome.
    void Tick();

    Phase phase() const { return phase_; }
    int WatchFd() const { return watch_.Fd(); }
    // Indicators made ready again, and runs resumed, since construction.
    uint64_t Reconnections() const { return reconnections_; }
    uint64_t Resumptions() const { return resumptions_; }

private:
    void StopWaiting();
    void Schedule(int64_t now);
    void Attempt(int64_t now);
    void CheckWizard();
    void Finished();
    void KeepPaused(const char* status, const std::string& why);

    DeviceState& state_;
    ConnectionWizard& wizard_;
    PortWatch& watch_;
    Log& log_;
    std::string baseDirectory_;
    std::function<int64_t()> nowMs_;
    PausedRun* run_ = nullptr;

    bool enabled_ = false;
    Phase phase_ = Phase::Idle;
    std::string portName_;
    TypeStatus typeBefore_ = TypeStatus::NotAnswered;  // of the run's indicator, if known
    bool runLostBefore_ = false;  // a run paused by an earlier loss still waits
    bool watching_ = false;
    std::optional<int64_t> dueAt_;  // the next attempt
    std::optional<int64_t> lastAttempt_;
    int64_t nextLook_ = 0;  // when the watch is next read by the tick
    bool openFailureLogged_ = false;
    bool failureShown_ = false;
    uint64_t reconnections_ = 0;
    uint64_t resumptions_ = 0;
};

}  // namespace kt::device
