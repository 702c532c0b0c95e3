// The connection wizard's step machine: opens the named port, identifies the indicator
// and reads every parameter, one read command per 50 ms tick, then makes the device
// ready and adopts the values read. Display decisions go to a WizardView.
#pragma once

#include <string>

#include "DeviceState.h"
#include "Dialogs.h"
#include "Frames.h"
#include "Log.h"
#include "SerialPort.h"
#include "SyncCycle.h"
#include "WizardView.h"

namespace kt::device {

class ConnectionWizard {
public:
    static constexpr int kFinalStep = 22;
    static constexpr int kTypeStepLimit = 5;
    static constexpr int kStepLimit = 10;
    static constexpr int kReadSize = 64;
    static constexpr int kPauseBeforeOpenMs = 100;

    ConnectionWizard(DeviceState& state, SerialPort& port, FrameSender& sender, SyncCycle& sync,
                     Dialogs& dialogs)
        : state_(state), port_(port), sender_(sender), sync_(sync), dialogs_(dialogs) {}

    // The window that paints the steps; it is created after the main window, so it is
    // attached later. Without one, Render does nothing and the pause is a plain sleep.
    void SetView(WizardView* view) { view_ = view; }

    void Connect();  // "Połącz" (BitBtn3Click)
    // The port lost under the program came back: the steps of "Połącz" on the port of that
    // name (whatever the port box shows now), with nobody to answer a box: a port that
    // cannot be opened and an indicator of another type go to the log instead. Returns
    // the open's result (0: the steps run).
    int Reconnect(const std::string& portName);
    void Tick();        // Timer1Timer
    void Abort();       // "Przerwij łączenie" (BitBtn2Click)
    void Disconnect();  // "Rozłącz" (BitBtn4Click)
    // The port was lost under the program (not closed by it): the steps stop as after
    // "Przerwij łączenie", and "Połącz" is offered, since nothing is left to disconnect.
    void PortLost();

    int wizardStep() const { return wizardStep_; }
    int stepRetries() const { return stepRetries_; }
    // A step has passed its limit (the failure is shown; the step is still asked for).
    bool StepFailed() const {
        return wizardStep_ >= 2 && stepRetries_ > (wizardStep_ == 2 ? kTypeStepLimit : kStepLimit);
    }
    int LastOpenError() const { return port_.LastOpenError(); }
    // Where an unattended connection reports what a box would tell the operator.
    void SetLog(Log* log) { log_ = log; }
    const WizardDisplay& display() const { return display_; }

    static std::string WarningUnrecognised();

private:
    int Open(const std::string& portText);
    void ResetStepDisplay();
    void ShowStepFailure();
    void ShowLine(int line, StepPicture picture);
    void SetIcon(int line, StepPicture picture) { display_.icons[line].picture = picture; }
    void ShowIcon(int line, StepPicture picture) { display_.icons[line] = {picture, true}; }
    void ShowLabel(int label) { display_.labelVisible[label] = true; }
    bool StepAnswerIn() const;
    void StepSucceeded(bool& warnUnrecognised);
    void Finish();
    void Render() {
        if (view_) view_->Render(display_);
    }

    DeviceState& state_;
    SerialPort& port_;
    FrameSender& sender_;
    SyncCycle& sync_;
    WizardView* view_ = nullptr;
    Dialogs& dialogs_;
    Log* log_ = nullptr;
    bool unattended_ = false;  // started by a reconnection, not by the operator
    WizardDisplay display_;
    int wizardStep_ = 0;
    int stepRetries_ = 0;
};

}  // namespace kt::device
