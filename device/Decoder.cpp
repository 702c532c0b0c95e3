#include "Decoder.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "FrameCut.h"
#include "Frames.h"
#include "Log.h"

namespace kt::device {

namespace {

constexpr const char* kModePictureFiles[5] = {"/Grafika/MODE_0.jpg", "/Grafika/MODE_1.jpg",
                                              "/Grafika/MODE_2.jpg", "/Grafika/MODE_3.jpg",
                                              "/Grafika/MODE_4.jpg"};

float ReadFloatLE(const uint8_t* p) {
    uint32_t bits = static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                    static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// Answers whose payload is a float parameter: thresholds, zero positions, offsets,
// multipliers and the zero-taking commands.
bool CarriesFloat(uint8_t code) {
    return code == cmd::PK1 || code == cmd::PK2 || (code >= cmd::UZP0 && code <= 24);
}

}  // namespace

std::string Decoder::PresenceCaption(int sensor, bool present) {
    return "Czujnik nr " + std::to_string(sensor) + (present ? " - gotowy" : " - nie wykryto");
}

std::string Decoder::ModePicturePath(int index) const {
    return startupDirectory_ + kModePictureFiles[index];
}

void Decoder::Process(const ChannelEvent& event) {
    switch (event.kind) {
        case ChannelEvent::Kind::Opened:
            if (!state_.suppressOpenMessage) {
                char text[128];
                std::snprintf(text, sizeof text, "Otwarto port %s\n Predkosc: %i kb/s",
                              state_.portName.c_str(), state_.baudRate);
                dialogs_.ShowInfoMessage("OK", text);
            }
            state_.suppressOpenMessage = false;
            break;
        case ChannelEvent::Kind::Closed:
            dialogs_.ShowInfoMessage("OK", "Zamknieto port " + state_.portName);
            break;
        case ChannelEvent::Kind::Data:
            ProcessBlock(event.bytes.data(), static_cast<int>(event.bytes.size()));
            break;
    }
}

void Decoder::ProcessBlock(const uint8_t* bytes, int count) {
    // A measurement frame carries no checksum, so its length is all that tells a whole
    // frame from a torn one. A frame shorter than its status byte announces (the rest
    // lost or late on the line) is a lost answer: taken in part it would become a sample
    // the indicator never sent, with fresh values beside stale ones. Its requester asks
    // again on its own schedule.
    if (count >= 2 && bytes[0] == kHeaderMeasurement && bytes[1] == kHeaderMeasurement) {
        if (count < kMeasurementHeaderSize || count < MeasurementFrameLength(bytes[2])) return;
        if (listener_) listener_->OnMeasurementFrame();
        DecodeMeasurement(bytes);
    } else if (count == kFrameSize && bytes[0] == bytes[1]) {
        DecodeAnswer(bytes);
    }
}

void Decoder::DecodeAnswer(const uint8_t* frame) {
    if (frame[0] != kHeaderAnswer) return;
    const uint8_t computed = FrameChecksum(frame);
    if (LogVisible()) log_->AppendFrameLine(ReceivedFrameLine(frame));
    if (computed != frame[7]) {
        Log("  <<BAD CRC :(");
        return;
    }
    // An indicator with a blank memory reports NaN: the value is taken as reported, so
    // the wizard's step completes and the panel shows what the indicator holds (the
    // synchronisation takes two NaNs as agreeing); the monitor and the log point it out.
    if (CarriesFloat(frame[2]) && !std::isfinite(PayloadFloat32(frame))) {
        Log("  <<NOT A NUMBER :(");
        if (warnings_ != nullptr) {
            warnings_->Warning("answer to command " + std::to_string(frame[2]) +
                               " holds a value that is not a finite number (" +
                               GeneralForm(PayloadFloat32(frame), '.') + ")");
        }
    }
    state_.refreshPending = true;
    state_.AnswerReceived(frame[2]);  // the indicator has told what it holds
    ApplyAnswer(frame);
}

void Decoder::ApplyAnswer(const uint8_t* frame) {
    const uint8_t code = frame[2];
    const uint8_t p0 = frame[3];
    DeviceParams& stan = state_.Stan;
    ReceivedFlags& rx = state_.received;
    switch (code) {
        case cmd::Mode:
            ApplyMode(p0);
            break;
        case cmd::Decp:
            stan.decp = p0, rx.decp = true;
            break;
        case cmd::Beep:
            stan.Beep = p0, rx.Beep = true;
            break;
        case cmd::OnTime:
            stan.OnTime = static_cast<uint32_t>(PayloadInt32(frame)), rx.OnTime = true;
            break;
        case cmd::Measurement:
            state_.refreshPending = false;
            break;
        case cmd::PK1:
            stan.PK1 = PayloadFloat32(frame), rx.PK1 = true;
            break;
        case cmd::PK2:
            stan.PK2 = PayloadFloat32(frame), rx.PK2 = true;
            break;
        case cmd::LED:
            stan.LED = p0, rx.LED = true;
            break;
        case 13:
        case 14:
        case 15:
            ApplyZeroPosition(code - cmd::UZP0, PayloadFloat32(frame), false);
            break;
        case 16:
        case 17:
        case 18:
            ApplyOffset(code - cmd::Offset0, PayloadFloat32(frame));
            break;
        case 19:
        case 20:
        case 21:
            ApplyMultiplier(code - cmd::COEF0, PayloadFloat32(frame));
            break;
        case 22:
        case 23:
        case 24:
            ApplyZeroPosition(code - cmd::SetZero0, PayloadFloat32(frame), true);
            break;
        case cmd::Status:
            ApplyStatus(frame);
            break;
        case 27:
        case 28:
        case 29:
            // The indicator confirms the reset: its count is 0 now.
            state_.cycles[code - cmd::ResetCycles0] = 0;
            state_.cycleResetRequest[code - cmd::ResetCycles0] = false;
            state_.refreshPending = false;
            break;
        case 30:
            state_.refreshPending = false;
            break;
        case cmd::DeviceType:
            state_.typeStatus = (frame[3] == 'K' && frame[4] == 'T' && frame[5] == 'V')
                                    ? TypeStatus::Recognised
                                    : TypeStatus::NotRecognised;
            break;
        case cmd::SoftwareVersion:
            state_.softwareVersion = p0;
            break;
        case cmd::HardwareVersion:
            state_.hardwareVersion = p0;
            break;
        default:
            if (!IsValidCommandCode(code)) Log("  <<BAD COMMAND :(");
            break;  // 5, 6, 10, 11, 31, 36: accepted, nothing more
    }
}

void Decoder::ApplyMode(int32_t mode) {
    state_.Stan.mode = mode;
    state_.received.mode = true;
    const int index = (mode >= 0 && mode <= 4) ? mode : -1;
    view_.SetModeSelection(index);
    if (index >= 0) view_.LoadModePicture(ModePicturePath(index));
    view_.SetModePictureVisible(index != 4);
}

void Decoder::ApplyStatus(const uint8_t* frame) {
    int count = 0;
    for (int i = 0; i < 3; ++i) {
        state_.sensorPresent[i] = frame[3 + i] != 0;
        if (state_.sensorPresent[i]) ++count;
    }
    state_.Stan.Q_NR = frame[6];
    if (state_.statusSeen) {
        for (int i = 0; i < 3; ++i) view_.SetSensorActive(i, state_.sensorPresent[i]);
    }
    state_.statusSeen = true;
    state_.received.status = true;
    state_.refreshPending = false;
    state_.sensorCount = count;
    for (int i = 0; i < 3; ++i)
        view_.SetSensorCaption(i, PresenceCaption(i, state_.sensorPresent[i]));
    view_.SetSensorCountText(std::to_string(count));
}

void Decoder::ApplyZeroPosition(int sensor, float value, bool zeroSetCommand) {
    const bool firstOfConnection = !state_.received.UZP[sensor];
    state_.Stan.UZP[sensor] = static_cast<float>(Round3(value));
    if (firstOfConnection || zeroSetCommand) state_.Set.UZP[sensor] = state_.Stan.UZP[sensor];
    state_.received.UZP[sensor] = true;
    const std::string text = GeneralForm(Round3(state_.Stan.UZP[sensor]), format_.decimalSeparator);
    view_.SetZeroLabel(sensor, text);
    if (!zeroSetCommand && (sensor != 0 || view_.ValueDialogCaption() == "Poz. zero =")) {
        view_.SetValueDialogText(text);
    }
}

void Decoder::ApplyOffset(int sensor, float value) {
    state_.Stan.Offset[sensor] = static_cast<float>(Round3(value));
    state_.received.Offset[sensor] = true;
    const std::string text =
        GeneralForm(Round3(state_.Stan.Offset[sensor]), format_.decimalSeparator);
    view_.SetOffsetLabel(sensor, text);
    view_.SetValueDialogText(text);
}

void Decoder::ApplyMultiplier(int sensor, float value) {
    state_.Stan.COEF[sensor] = static_cast<float>(Round3(value));
    state_.received.COEF[sensor] = true;
    const std::string text =
        GeneralForm(Round3(state_.Stan.COEF[sensor]), format_.decimalSeparator);
    view_.SetMultiplierDialogText(text);
    view_.SetMultiplierLabel(sensor, text);
}

void Decoder::DecodeMeasurement(const uint8_t* bytes) {
    const uint8_t status = bytes[2];
    state_.outputOn[0] = (status & 0x10) != 0;
    state_.outputOn[1] = (status & 0x20) != 0;
    for (int i = 0; i < 3; ++i) {
        const bool present = (status >> i) & 1;
        if (present != state_.sensorPresent[i]) {
            state_.sensorPresent[i] = present;
            view_.SetSensorCaption(i, PresenceCaption(i, present));
            state_.refreshPending = true;
        }
    }
    // The block holds every value its status byte announces (checked by ProcessBlock).
    const bool withCycles = (status & kStatusCyclesBit) != 0;
    state_.cyclesInLastFrame = withCycles;
    int at = kMeasurementHeaderSize;
    for (int i = 0; i < 3; ++i) {
        if (!state_.sensorPresent[i]) continue;
        state_.angle[i] = ReadFloatLE(bytes + at);
        at += 4;
        if (withCycles) {
            state_.cycles[i] = ReadFloatLE(bytes + at);
            at += 4;
        }
    }
    if (listener_) listener_->MeasurementUpdate();
    state_.Device.zapytanie = false;
}

}  // namespace kt::device
