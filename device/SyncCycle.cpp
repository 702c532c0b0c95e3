#include "SyncCycle.h"

#include <string>

namespace kt::device {

void SyncCycle::Tick() {
    WriteDump();
    ShowStatusText();
    if (!state_.deviceReady) return;  // nothing is written while no device is read
    if (ServeCycleResets()) return;
    if (state_.refreshPending) {
        RefreshDevicePanel();
        state_.refreshPending = false;
        return;
    }
    if (WriteFirstDifference()) return;
    if (ReadMissingZeroPosition()) return;
    PollStatus();
}

void SyncCycle::WriteDump() {
    if (log_ == nullptr || !log_->IsVisible()) return;
    const char sep = format_.decimalSeparator;
    const DeviceParams& a = state_.Set;
    const DeviceParams& b = state_.Stan;
    auto pair = [](const std::string& name, const std::string& x, const std::string& y) {
        return "Set." + name + "=" + x + " , Stan." + name + "=" + y;
    };
    auto f = [sep](float v) { return DumpForm(v, sep); };
    auto i = [](auto v) { return std::to_string(v); };
    log_->ClearParameterView();
    log_->AppendParameterLine(pair("LED", i(a.LED), i(b.LED)));
    log_->AppendParameterLine(pair("OnTime", i(a.OnTime), i(b.OnTime)));
    log_->AppendParameterLine(pair("PK1", f(a.PK1), f(b.PK1)));
    log_->AppendParameterLine(pair("PK2", f(a.PK2), f(b.PK2)));
    log_->AppendParameterLine(pair("decp", i(a.decp), i(b.decp)));
    log_->AppendParameterLine(pair("mode", i(a.mode), i(b.mode)));
    log_->AppendParameterLine(pair("Beep", i(a.Beep), i(b.Beep)));
    log_->AppendParameterLine(pair("Q_NR", i(a.Q_NR), i(b.Q_NR)));
    for (int k = 0; k < 3; ++k) {
        log_->AppendParameterLine(pair("COEF[" + i(k) + "]", f(a.COEF[k]), f(b.COEF[k])));
    }
    for (int k = 0; k < 3; ++k) {
        log_->AppendParameterLine(pair("UZP[" + i(k) + "]", f(a.UZP[k]), f(b.UZP[k])));
    }
    const DeviceFlags& d = state_.Device;
    log_->AppendParameterLine("Device.GO=" + i(d.GO ? 1 : 0));
    log_->AppendParameterLine("Device.zapytanie=" + i(d.zapytanie ? 1 : 0));
    log_->AppendParameterLine("Device.bledna_transmisja=" + i(d.bledna_transmisja));
}

void SyncCycle::ShowStatusText() {
    const bool ready = state_.deviceReady;
    const bool go = state_.Device.GO;
    if (!go && !state_.pauseReason.empty()) {
        view_.SetStatusText(state_.pauseReason);
    } else if (ready && !go) {
        view_.SetStatusText("gotowy do pracy");
    } else if (ready && go) {
        view_.SetStatusText("praca");
    } else if (!ready && !go) {
        view_.SetStatusText("nie wykryto");
    }
}

// A requested reset goes out at least once, and again on later ticks while the count
// is not 0 and the indicator has not confirmed it (its answer clears the request). It
// takes the tick's one frame: sent beside a parameter write, the channel would drop
// whichever came second, and the synchronisation would stall behind the reset.
bool SyncCycle::ServeCycleResets() {
    for (int i = 0; i < 3; ++i) {
        if (!state_.cycleResetRequest[i]) continue;
        if (state_.cycleResetSent[i] && state_.cycles[i] == 0.0f) {
            state_.cycleResetRequest[i] = false;
            continue;
        }
        sender_.SendWriteCommand(static_cast<uint8_t>(cmd::ResetCycles0 + i), ZeroPayload());
        state_.cycleResetSent[i] = true;
        return true;
    }
    return false;
}

// A field differs when `Set` and `Stan` disagree, or when it was written and no answer
// has told what the indicator holds since.
bool SyncCycle::WriteFirstDifference() {
    const DeviceParams& s = state_.Set;
    const DeviceParams& t = state_.Stan;
    auto differ = [this](uint8_t code, auto set, auto stan) {
        return state_.AwaitingAnswer(code) || set != stan;
    };
    auto differ3 = [this](uint8_t code, float set, float stan) {
        return state_.AwaitingAnswer(code) || !AgreeAfterRound3(set, stan);
    };
    auto write = [this](uint8_t code, const Payload& p) {
        sender_.SendWriteCommand(code, p);
        state_.MarkWritten(code);
        return true;
    };
    auto byte = [](int32_t v) { return BytePayload(static_cast<uint32_t>(v)); };
    if (differ(cmd::LED, s.LED, t.LED)) return write(cmd::LED, byte(s.LED));
    if (differ(cmd::OnTime, s.OnTime, t.OnTime)) return write(cmd::OnTime, Int32Payload(s.OnTime));
    if (differ3(cmd::PK1, s.PK1, t.PK1)) return write(cmd::PK1, Float32Payload(s.PK1));
    if (differ3(cmd::PK2, s.PK2, t.PK2)) return write(cmd::PK2, Float32Payload(s.PK2));
    if (differ(cmd::Decp, s.decp, t.decp)) return write(cmd::Decp, byte(s.decp));
    if (differ(cmd::Beep, s.Beep, t.Beep)) return write(cmd::Beep, byte(s.Beep));
    if (differ(cmd::Status, s.Q_NR, t.Q_NR)) return write(cmd::Status, QnrPayload(s.Q_NR));
    if (differ(cmd::Mode, s.mode, t.mode)) return write(cmd::Mode, byte(s.mode));
    for (uint8_t i = 0; i < 3; ++i) {
        const uint8_t code = cmd::COEF0 + i;
        if (differ3(code, s.COEF[i], t.COEF[i])) return write(code, Float32Payload(s.COEF[i]));
    }
    for (uint8_t i = 0; i < 3; ++i) {
        const uint8_t code = cmd::UZP0 + i;
        if (differ3(code, s.UZP[i], t.UZP[i])) return write(code, Float32Payload(s.UZP[i]));
    }
    for (uint8_t i = 0; i < 3; ++i) {
        const uint8_t code = cmd::Offset0 + i;
        if (differ3(code, s.Offset[i], t.Offset[i])) {
            return write(code, Float32Payload(s.Offset[i]));
        }
    }
    return false;
}

bool SyncCycle::ReadMissingZeroPosition() {
    for (int i = 0; i < 3; ++i) {
        if (!state_.received.UZP[i]) {
            sender_.SendReadCommand(static_cast<uint8_t>(cmd::UZP0 + i), ZeroPayload());
            return true;
        }
    }
    return false;
}

void SyncCycle::PollStatus() {
    if (state_.Device.GO) return;
    if (--state_.statusCountdown < 0) {
        state_.statusCountdown = kStatusPollTicks;
        sender_.SendReadCommand(cmd::Status, QnrPayload(state_.Set.Q_NR));
    }
}

void SyncCycle::RefreshDevicePanel() {
    view_.SetTypeText(state_.typeName.empty() ? "(brak)" : state_.typeName);
    if (state_.hardwareVersion != 0 && state_.softwareVersion != 0) {
        view_.SetVersionText("Hardware: " + VersionText(state_.hardwareVersion) + " , " +
                             "Software: " + VersionText(state_.softwareVersion));
    } else {
        view_.SetVersionText("(brak)");
    }
    view_.SetActiveSensorSelection(static_cast<int>(state_.Stan.Q_NR));
    const char sep = format_.decimalSeparator;
    view_.SetOnTimeText(std::to_string(state_.Stan.OnTime));
    view_.SetPK1Text(GeneralForm(Round3(state_.Stan.PK1), sep));
    view_.SetPK2Text(GeneralForm(Round3(state_.Stan.PK2), sep));
    view_.SetLedText(std::to_string(state_.Stan.LED));
    view_.SetDecpText(std::to_string(state_.Stan.decp));
    view_.SetBeepChecked(state_.Stan.Beep != 0);
    view_.PaintDevicePanelConfirmed();
}

}  // namespace kt::device
