#include "Reconnection.h"

#include <algorithm>

#include "PortErrors.h"

namespace kt::device {

void Reconnection::SetEnabled(bool on) {
    enabled_ = on;
    if (!on && phase_ != Phase::Idle) StopWaiting();
}

void Reconnection::StopWaiting() {
    phase_ = Phase::Idle;
    dueAt_.reset();
    watch_.Stop();
    watching_ = false;
}

void Reconnection::PortLost() {
    if (!enabled_) return;
    portName_ = state_.portName;
    // The type to find again is that of the run's own indicator: a port lost again before
    // its run was resumed (another indicator answered meanwhile) keeps the first one.
    const bool runWaiting = run_ != nullptr && run_->WaitingForDevice();
    if (!(runWaiting && runLostBefore_) && state_.typeStatus != TypeStatus::NotAnswered) {
        typeBefore_ = state_.typeStatus;
    }
    runLostBefore_ = runWaiting;
    state_.pauseReason.clear();
    phase_ = Phase::Waiting;
    openFailureLogged_ = false;
    watching_ = watch_.Watch(PortFolders(portName_, baseDirectory_));
    if (!watching_) {
        log_.Warning("port " + portName_ +
                     ": its folders cannot be watched; looking for it once a second");
    }
    log_.Warning("port " + portName_ + ": waiting for it to come back");
    const int64_t now = nowMs_();
    nextLook_ = now + kRetryMs;
    // The first look comes a second later: a node that is going away may still be there.
    dueAt_ = now + kRetryMs;
}

// At once when the last attempt is a second old, else a second after it.
void Reconnection::Schedule(int64_t now) {
    const int64_t earliest = lastAttempt_ ? *lastAttempt_ + kRetryMs : now;
    dueAt_ = dueAt_ ? std::min(*dueAt_, std::max(now, earliest)) : std::max(now, earliest);
}

void Reconnection::WatchChanged() {
    if (!watch_.TakeChanges() || phase_ != Phase::Waiting) return;
    const int64_t now = nowMs_();
    Schedule(now);
    if (now >= *dueAt_) Attempt(now);
}

void Reconnection::Tick() {
    if (phase_ == Phase::Idle) return;
    if (phase_ == Phase::Connecting) {
        CheckWizard();
        return;
    }
    const int64_t now = nowMs_();
    // Owners without a notifier on the watch see its changes here, once a second; with no
    // watch at all, the port itself is looked for as often.
    if (now >= nextLook_) {
        nextLook_ = now + kRetryMs;
        if (!watching_ || watch_.TakeChanges()) Schedule(now);
    }
    if (state_.portOpen || (dueAt_ && now >= *dueAt_)) Attempt(now);
}

void Reconnection::Attempt(int64_t now) {
    dueAt_.reset();
    lastAttempt_ = now;
    if (state_.portOpen || wizard_.wizardStep() != 0) {
        StopWaiting();  // the operator connected by hand: the run is theirs to resume
        return;
    }
    if (!PortPresent(portName_, baseDirectory_)) return;  // the watch tells when it is
    const int result = wizard_.Reconnect(portName_);
    if (result == 0) {
        phase_ = Phase::Connecting;
        failureShown_ = false;
        log_.Warning("port " + portName_ + " is back: identifying the indicator");
        return;
    }
    // There but not to be opened (still being set up, or held by another program).
    if (!openFailureLogged_) {
        openFailureLogged_ = true;
        log_.Warning("port " + portName_ + " is back but cannot be opened (" +
                     OpenFailureReason(result, wizard_.LastOpenError()) +
                     "); trying again once a second");
    }
    dueAt_ = now + kRetryMs;
}

void Reconnection::CheckWizard() {
    if (state_.deviceReady) {
        Finished();
        return;
    }
    if (!state_.portOpen && wizard_.wizardStep() == 0) {
        StopWaiting();  // closed by the operator ("Przerwij łączenie", "Rozłącz")
        return;
    }
    // The wizard keeps asking after a step has failed, so an indicator that answers later
    // (switched on after its adapter) still gets its run back.
    if (wizard_.StepFailed() && !failureShown_) {
        failureShown_ = true;
        KeepPaused(kNoAnswerStatus, "the indicator does not answer (wizard step " +
                                        std::to_string(wizard_.wizardStep()) + ")");
    }
}

void Reconnection::Finished() {
    StopWaiting();
    ++reconnections_;
    state_.pauseReason.clear();
    if (typeBefore_ != TypeStatus::NotAnswered && state_.typeStatus != typeBefore_) {
        KeepPaused(kOtherDeviceStatus, "the indicator that answers is of another type");
        return;
    }
    if (run_ != nullptr && run_->WaitingForDevice()) {
        run_->ResumeAfterReconnection();
        runLostBefore_ = false;
        ++resumptions_;
        log_.Warning("port " + portName_ + ": indicator ready again, acquisition resumed");
    } else {
        log_.Warning("port " + portName_ + ": indicator ready again");
    }
}

// Only a run the loss paused needs a reason on the status line; the log always gets one.
void Reconnection::KeepPaused(const char* status, const std::string& why) {
    const bool runWaiting = run_ != nullptr && run_->WaitingForDevice();
    if (runWaiting) state_.pauseReason = status;
    log_.Warning("port " + portName_ + ": " + why +
                 (runWaiting ? "; the acquisition stays paused" : ""));
}

}  // namespace kt::device
