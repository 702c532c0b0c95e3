// Applies what the indicator sends to the device state and to the controls that show
// confirmed values. Runs on the user-interface thread, one handed-over event at a time.
#pragma once

#include <cstdint>
#include <string>

#include "DeviceState.h"
#include "DeviceView.h"
#include "Dialogs.h"
#include "FrameLog.h"
#include "Numbers.h"
#include "UiQueue.h"

namespace kt::device {

class Log;

class Decoder {
public:
    Decoder(DeviceState& state, DeviceView& view, Dialogs& dialogs, FrameLog* log,
            NumberFormat format, std::string startupDirectory)
        : state_(state),
          view_(view),
          dialogs_(dialogs),
          log_(log),
          format_(format),
          startupDirectory_(std::move(startupDirectory)) {}

    void SetMeasurementListener(MeasurementListener* listener) { listener_ = listener; }
    void SetFrameLog(FrameLog* log) { log_ = log; }
    void SetLog(::kt::device::Log* warnings) { warnings_ = warnings; }

    void Process(const ChannelEvent& event);
    // One received block: a measurement frame, exactly one answer frame, or ignored.
    void ProcessBlock(const uint8_t* bytes, int count);

    static std::string PresenceCaption(int sensor, bool present);
    std::string ModePicturePath(int index) const;

private:
    void DecodeAnswer(const uint8_t* frame);
    void ApplyAnswer(const uint8_t* frame);
    void ApplyMode(int32_t mode);
    void ApplyStatus(const uint8_t* frame);
    void ApplyZeroPosition(int sensor, float value, bool zeroSetCommand);
    void ApplyOffset(int sensor, float value);
    void ApplyMultiplier(int sensor, float value);
    void DecodeMeasurement(const uint8_t* bytes);
    bool LogVisible() const { return log_ != nullptr && log_->IsVisible(); }
    void Log(const std::string& line) {
        if (LogVisible()) log_->AppendFrameLine(line);
    }

    DeviceState& state_;
    DeviceView& view_;
    Dialogs& dialogs_;
    FrameLog* log_;
    MeasurementListener* listener_ = nullptr;
    ::kt::device::Log* warnings_ = nullptr;
    NumberFormat format_;
    std::string startupDirectory_;
};

}  // namespace kt::device
