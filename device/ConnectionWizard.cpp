#include "ConnectionWizard.h"

#include "PortErrors.h"

namespace kt::device {

namespace {

// The label that carries a line's caption.
int PrimaryLabel(int line) {
    static constexpr int kLabels[10] = {0, 1, 2, 4, 5, 6, 7, 9, 11, 13};
    return line <= 9 ? kLabels[line] : line + 4;
}

constexpr int kStepLabels[] = {1,  2,  3,  4,  5,  6,  7,  9,  10, 11, 12,
                               13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};

// Read command sent while waiting in step 2..21.
uint8_t StepCommand(int step) {
    switch (step) {
        case 2:
            return cmd::DeviceType;
        case 3:
            return cmd::HardwareVersion;
        case 4:
            return cmd::SoftwareVersion;
        case 5:
            return cmd::Status;
        case 6:
            return cmd::OnTime;
        case 7:
            return cmd::Mode;
        case 8:
            return cmd::PK1;
        case 9:
            return cmd::PK2;
        case 10:
            return cmd::LED;
        case 11:
            return cmd::Beep;
        case 12:
            return cmd::Decp;
        default:
            return static_cast<uint8_t>(step);  // 13..21: the per-sensor values
    }
}

// The label that ends the line of waiting step 2..21: the caption, or for the two
// version steps the version text behind it.
int StepLineEndLabel(int step) {
    if (step == 2) return 5;          // "Wyszukiwanie urządzenia"
    if (step == 3) return 10;         // "Hardware: V" + version
    if (step == 4) return 12;         // "Software: V" + version
    if (step <= 12) return step + 9;  // "Obecność sensorów" .. "DECP"
    return 22;                        // "COEF, Offset, zero_pos"
}

}  // namespace

std::string ConnectionWizard::WarningUnrecognised() {
    return "Podłączone urządzenie nie zostało rozpoznane jako KT210V!\n"
           "Program będzie kontynuował pracę, ale nie gwarantuje poprawnego działania.";
}

void ConnectionWizard::ResetStepDisplay() {
    for (int label : kStepLabels) display_.labelVisible[label] = false;
    display_.noAnswerLabel = 0;
    display_.noAnswerPort.clear();
    for (int line = 1; line <= WizardDisplay::kLines; ++line) {
        display_.icons[line] = {StepPicture::Question, false};
    }
}

void ConnectionWizard::ShowStepFailure() {
    for (int line = 1; line <= WizardDisplay::kLines; ++line) {
        if (!display_.icons[line].visible) display_.icons[line].picture = StepPicture::Failed;
        display_.icons[line].visible = true;
    }
    for (int label : kStepLabels) display_.labelVisible[label] = true;
    display_.connectEnabled = true;
    display_.disconnectEnabled = false;
}

void ConnectionWizard::ShowLine(int line, StepPicture picture) {
    ShowIcon(line, picture);
    ShowLabel(PrimaryLabel(line));
}

void ConnectionWizard::Connect() {
    unattended_ = false;
    Open(view_ ? view_->PortText() : state_.portName);
}

int ConnectionWizard::Reconnect(const std::string& portName) {
    unattended_ = true;
    return Open(portName);
}

int ConnectionWizard::Open(const std::string& portText) {
    display_.abortVisible = true;
    display_.connectEnabled = false;
    display_.disconnectEnabled = true;
    state_.StartConnection();
    ResetStepDisplay();
    display_.progress = 0;
    ShowLine(1, StepPicture::Tick);
    display_.portLabel = portText;
    ShowLabel(2);
    ShowLabel(3);
    SetIcon(1, StepPicture::Question);
    Render();
    if (view_) view_->Pause(kPauseBeforeOpenMs);

    state_.suppressOpenMessage = true;
    port_.SetReadSize(kReadSize);
    state_.portName = portText;
    ShowIcon(2, StepPicture::Question);
    Render();
    const int result = port_.OpenPort(state_.portName.c_str(), state_.baudRate, 0, 8, false);
    if (result != 0) {
        // The message comes over the step lines as they stand (the port being opened),
        // and the display is reset once it has been read. Unattended, the caller reports
        // the failure and tries again: "Połącz" is offered meanwhile.
        if (!unattended_) {
            dialogs_.ShowPlainMessageWithDetails(
                "Nie znaleziono wybranego portu COM",
                OpenFailureDetails(state_.portName, port_.ResolvedPath(), result,
                                   port_.LastOpenError()));
        }
        SetIcon(1, StepPicture::Failed);
        ShowStepFailure();
        ResetStepDisplay();
        if (unattended_) display_.abortVisible = false;
        state_.suppressOpenMessage = false;
        Render();
        return result;
    }
    SetIcon(1, StepPicture::Tick);
    ShowLine(3, StepPicture::Tick);
    SetIcon(2, StepPicture::Tick);
    SetIcon(4, StepPicture::Question);
    SetIcon(5, StepPicture::Question);
    // `portOpen` is the channel's to set: its worker announced itself before OpenPort
    // returned, and clears the flag itself if the line hangs up at any later moment.
    display_.connectEnabled = false;
    display_.disconnectEnabled = true;
    wizardStep_ = 1;
    display_.progress = 10;
    display_.timerEnabled = true;
    Render();
    return result;
}

bool ConnectionWizard::StepAnswerIn() const {
    const ReceivedFlags& rx = state_.received;
    const int s = wizardStep_;
    switch (s) {
        case 2:
            return state_.typeStatus != TypeStatus::NotAnswered;
        case 3:
            return state_.hardwareVersion != 0;
        case 4:
            return state_.softwareVersion != 0;
        case 5:
            return state_.statusSeen;
        case 6:
            return rx.OnTime;
        case 7:
            return rx.mode;
        case 8:
            return rx.PK1;
        case 9:
            return rx.PK2;
        case 10:
            return rx.LED;
        case 11:
            return rx.Beep;
        case 12:
            return rx.decp;
        default:
            if (s >= 13 && s <= 15) return rx.UZP[s - 13];
            if (s >= 16 && s <= 18) return rx.Offset[s - 16];
            return rx.COEF[s - 19];
    }
}

// Display changes of a step whose answer is in; moves to the next step.
void ConnectionWizard::StepSucceeded(bool& warnUnrecognised) {
    const int s = wizardStep_;
    if (s == 2) {
        ShowLine(5, StepPicture::Tick);
        SetIcon(6, StepPicture::Tick);
        ShowLabel(PrimaryLabel(6));
        ShowLine(7, StepPicture::Question);
        ShowLabel(10);
        if (state_.typeStatus == TypeStatus::Recognised) {
            state_.typeName = "KT210V";
        } else {
            warnUnrecognised = true;
        }
    } else if (s == 3) {
        SetIcon(7, StepPicture::Tick);
        display_.hardwareLabel = VersionText(state_.hardwareVersion);
        ShowLine(8, StepPicture::Question);
    } else if (s == 4) {
        SetIcon(8, StepPicture::Tick);
        SetIcon(4, StepPicture::Tick);
        display_.softwareLabel = VersionText(state_.softwareVersion);
        ShowLabel(12);
        ShowLine(9, StepPicture::Question);
        ShowLine(10, StepPicture::Question);
    } else if (s >= 5 && s <= 12) {
        SetIcon(s + 5, StepPicture::Tick);
        ShowLine(s + 6, StepPicture::Question);
    }
    wizardStep_ = s + 1;
    stepRetries_ = 0;
    display_.noAnswerLabel = 0;  // a late answer: the line no longer says none came
    display_.noAnswerPort.clear();
}

void ConnectionWizard::Tick() {
    display_.progress = wizardStep_ >= 1 ? wizardStep_ + 10 : 0;
    if (wizardStep_ == 0) {
        Render();
        return;
    }
    if (wizardStep_ == 1) {
        ShowLine(4, StepPicture::Question);
        ShowIcon(6, StepPicture::Question);
        SetIcon(5, StepPicture::Question);
        state_.typeStatus = TypeStatus::NotAnswered;
        sender_.SendReadCommand(cmd::DeviceType, ZeroPayload());
        wizardStep_ = 2;
        stepRetries_ = 0;
        Render();
        return;
    }
    if (wizardStep_ >= kFinalStep) {
        Finish();
        return;
    }
    // The warning is shown last, after every state change of this tick, so that a tick
    // arriving while the box is open finds the step already moved on.
    bool warnUnrecognised = false;
    if (StepAnswerIn()) {
        StepSucceeded(warnUnrecognised);
    } else {
        sender_.SendReadCommand(StepCommand(wizardStep_), ZeroPayload());
    }
    ++stepRetries_;
    const int limit = wizardStep_ == 2 ? kTypeStepLimit : kStepLimit;
    if (wizardStep_ < kFinalStep && stepRetries_ > limit) {
        ShowStepFailure();
        // Besides the failed signs, the step's own line says in words that nothing
        // answered on the port.
        display_.noAnswerLabel = StepLineEndLabel(wizardStep_);
        display_.noAnswerPort = state_.portName;
    }
    Render();
    if (warnUnrecognised && !unattended_) dialogs_.ShowPlainMessage(WarningUnrecognised());
    if (warnUnrecognised && unattended_ && log_ != nullptr) {
        log_->Warning("port " + state_.portName + ": the indicator is not recognised as KT210V");
    }
}

void ConnectionWizard::Finish() {
    ShowIcon(18, StepPicture::Tick);
    ShowIcon(9, StepPicture::Tick);
    ShowLine(19, StepPicture::Tick);
    wizardStep_ = 0;
    display_.progress = 0;
    state_.deviceReady = true;
    display_.timerEnabled = false;
    display_.abortVisible = false;
    display_.connectEnabled = false;
    display_.disconnectEnabled = true;
    Render();
    sync_.RefreshDevicePanel();
    state_.AdoptDeviceValues();
}

void ConnectionWizard::Abort() {
    wizardStep_ = 0;
    display_.timerEnabled = false;
    if (state_.portOpen) port_.ClosePort();
    state_.portOpen = false;
    state_.deviceReady = false;
    ShowStepFailure();
    display_.abortVisible = false;
    Render();
}

// Without this a run in progress would go on polling a closed port, and one whose last
// answers were decoded just before the loss would still finish and make the device ready.
void ConnectionWizard::PortLost() {
    display_.timerEnabled = false;
    if (wizardStep_ != 0) {
        wizardStep_ = 0;
        ShowStepFailure();
        display_.abortVisible = false;
    }
    display_.connectEnabled = true;
    display_.disconnectEnabled = false;
    Render();
}

void ConnectionWizard::Disconnect() {
    display_.connectEnabled = true;
    display_.disconnectEnabled = false;
    port_.ClosePort();
    state_.portOpen = false;
    state_.deviceReady = false;
    Render();
}

}  // namespace kt::device
