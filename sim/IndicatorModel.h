// A model of the KT210V indicator as seen from its serial line: it answers every request
// frame the way the program relies on, and its three sensors turn at their own speeds so
// that angles, cycle counts and the two outputs change over time.
//
// Time is passed in (milliseconds of a clock chosen by the caller), so the model is
// deterministic: the same requests at the same times give the same answers.
//
// Behaviour chosen for the simulated device:
// - Reads and writes of a valid code (1..36 except 25 and 33) get one answer frame
//   (F3 F3 code p0..p3 checksum) carrying the value the model now holds. Reads ignore
//   their payload. Code 7 (read or write) is answered by a measurement frame instead.
// - Invalid codes, headers other than F1 F1 / F2 F2 and request frames with a wrong
//   checksum get no answer at all.
// - Writes of 22..24 take the sensor's present raw position as its zero (answer: the new
//   UZP float32), 27..29 zero the cycle counter and 36 restores the default parameters
//   (answers with a zero payload). Reads of these codes only report: 22..24 the present
//   UZP, the others a zero payload. Writes of read-only codes (26 aside, which sets Q_NR
//   from p3) are answered like reads.
// - Shown angle of sensor i: ((raw - UZP[i] + Offset[i]) * COEF[i]) wrapped to [0, 360),
//   where raw = start + speed * t wrapped to [0, 360). Cycle count: full revolutions of
//   the raw position since the counter was last zeroed.
// - Outputs follow the active sensor Q_NR (both off when Q_NR > 2 or that sensor is
//   absent):
//     mode 0: PK1 and PK2 each pulse for OnTime ms when the angle passes PK1 resp. PK2;
//     mode 1: PK1 on while angle >= PK1, PK2 on while angle >= PK2;
//     mode 2: PK1 on while angle >= PK1, PK2 on while |angle - PK1| <= PK2 (a margin);
//     mode 3: PK1 pulses when the angle passes PK1, PK2 pulses at every full revolution;
//     mode 4 (and any other value): both off.
//   A threshold outside [0, 360) is never passed. Cycle counts are included in the
//   measurement frames when configured so, and always in mode 3.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "DeviceState.h"
#include "Frames.h"

namespace kt::sim {

struct ModelConfig {
    uint8_t sensorMask = 0x07;   // bit i: sensor i present
    bool includeCycles = false;  // measurement frames carry cycle counts in every mode
    uint8_t hardwareVersion = 12;
    uint8_t softwareVersion = 34;
    std::array<double, 3> speedDegPerSecond{10.0, 25.0, 40.0};
    std::array<double, 3> startDeg{0.0, 0.0, 0.0};
};

class IndicatorModel {
public:
    static constexpr const char* kTypeCode = "KTV";

    explicit IndicatorModel(const ModelConfig& config = {});

    // The parameters the indicator holds after power-on and after command 36.
    static kt::device::DeviceParams DefaultParams();

    // Handles one 8-byte request frame received at `nowMs`; returns the bytes to send
    // back (empty: no answer).
    std::vector<uint8_t> HandleRequest(const uint8_t* frame, int64_t nowMs);

    // Moves the model's clock forward (never back) and updates the outputs' pulses.
    void AdvanceTo(int64_t nowMs);
    int64_t Now() const { return now_; }

    // The measurement frame for the present moment.
    std::vector<uint8_t> MeasurementFrame() const;

    const kt::device::DeviceParams& Params() const { return params_; }
    double RawPosition(int sensor) const;  // 0 <= value < 360
    double Angle(int sensor) const;        // shown angle, 0 <= value < 360
    double Cycles(int sensor) const;       // full revolutions since the last reset
    bool OutputOn(int output) const;       // 0: PK1, 1: PK2
    bool CyclesIncluded() const;

    uint8_t SensorMask() const { return config_.sensorMask; }
    void SetSensorMask(uint8_t mask) { config_.sensorMask = mask & 0x07; }
    void SetIncludeCycles(bool on) { config_.includeCycles = on; }

private:
    std::vector<uint8_t> Answer(uint8_t code, bool write, const uint8_t* payload);
    kt::device::Payload ParameterPayload(uint8_t code) const;
    void WriteParameter(uint8_t code, const uint8_t* payload);
    double UnwrappedRaw(int sensor, double tMs) const;
    double UnwrappedAngle(int sensor, double tMs) const;
    bool ActiveSensorValid() const;
    void UpdatePulses(double fromMs, double toMs);
    bool PulseOn(int output) const;

    ModelConfig config_;
    kt::device::DeviceParams params_;
    int64_t now_ = 0;
    std::array<double, 3> cycleBase_{};  // unwrapped raw position at the last reset
    // Time of the last pulse start of each output, or no pulse yet.
    std::array<double, 2> lastPulseMs_{};
    std::array<bool, 2> pulseSeen_{};
};

}  // namespace kt::sim
