#include "IndicatorModel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <optional>

#include "Frames.h"

namespace kt::sim {

namespace dev = kt::device;

namespace {

constexpr double kFullTurn = 360.0;
// Passings older than this cannot matter for a pulse; bounds the work of a long jump.
constexpr double kLongestPulseWindowMs = 3600.0 * 1000.0;

double Wrap360(double value) {
    double w = std::fmod(value, kFullTurn);
    if (w < 0) w += kFullTurn;
    if (w >= kFullTurn) w = 0;  // -1e-17 + 360 rounds to 360
    return w;
}

bool ThresholdReachable(float level) {
    return level >= 0.0f && level < kFullTurn;
}

// The last time in (ta, tb] at which u, moving linearly from ua to ub, equals
// level + 360 k for some integer k.
std::optional<double> LastPassing(double ta, double tb, double ua, double ub, double level) {
    if (ub > ua) {
        const double x = level + kFullTurn * std::floor((ub - level) / kFullTurn);
        if (x > ua) return ta + (x - ua) / (ub - ua) * (tb - ta);
    } else if (ub < ua) {
        const double x = level + kFullTurn * std::ceil((ub - level) / kFullTurn);
        if (x < ua) return ta + (ua - x) / (ua - ub) * (tb - ta);
    }
    return std::nullopt;
}

float ReadFloat(const uint8_t* payload) {
    uint32_t bits = static_cast<uint32_t>(payload[0]) | static_cast<uint32_t>(payload[1]) << 8 |
                    static_cast<uint32_t>(payload[2]) << 16 |
                    static_cast<uint32_t>(payload[3]) << 24;
    float f;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

uint32_t ReadUint32(const uint8_t* payload) {
    return static_cast<uint32_t>(payload[0]) | static_cast<uint32_t>(payload[1]) << 8 |
           static_cast<uint32_t>(payload[2]) << 16 | static_cast<uint32_t>(payload[3]) << 24;
}

// An angle just below 360 may round to 360.0f; the indicator shows 0 then.
float AngleAsFloat(double angle) {
    const float f = static_cast<float>(angle);
    return f >= static_cast<float>(kFullTurn) ? 0.0f : f;
}

void AppendFloat(std::vector<uint8_t>& out, float value) {
    const dev::Payload p = dev::Float32Payload(value);
    out.insert(out.end(), p.begin(), p.end());
}

}  // namespace

IndicatorModel::IndicatorModel(const ModelConfig& config)
    : config_(config), params_(DefaultParams()) {
    config_.sensorMask &= 0x07;
}

dev::DeviceParams IndicatorModel::DefaultParams() {
    dev::DeviceParams p;
    p.mode = 0;
    p.decp = 1;
    p.Beep = 1;
    p.OnTime = 100;
    p.PK1 = 90.0f;
    p.PK2 = 180.0f;
    p.LED = 5;
    p.Q_NR = 0;
    for (int i = 0; i < 3; ++i) {
        p.UZP[i] = 0.0f;
        p.Offset[i] = 0.0f;
        p.COEF[i] = 1.0f;
    }
    return p;
}

std::vector<uint8_t> IndicatorModel::HandleRequest(const uint8_t* frame, int64_t nowMs) {
    const uint8_t header = frame[0];
    if (header != frame[1] || (header != dev::kHeaderRead && header != dev::kHeaderWrite)) {
        return {};
    }
    if (dev::FrameChecksum(frame) != frame[7]) return {};
    const uint8_t code = frame[2];
    if (!dev::IsValidCommandCode(code)) return {};
    AdvanceTo(nowMs);
    return Answer(code, header == dev::kHeaderWrite, frame + 3);
}

std::vector<uint8_t> IndicatorModel::Answer(uint8_t code, bool write, const uint8_t* payload) {
    if (code == dev::cmd::Measurement) return MeasurementFrame();
    if (write) WriteParameter(code, payload);
    const dev::CommandFrame answer =
        dev::BuildFrame(dev::kHeaderAnswer, code, ParameterPayload(code));
    return {answer.bytes.begin(), answer.bytes.end()};
}

dev::Payload IndicatorModel::ParameterPayload(uint8_t code) const {
    namespace cmd = dev::cmd;
    switch (code) {
        case cmd::Mode:
            return dev::BytePayload(static_cast<uint32_t>(params_.mode));
        case cmd::Decp:
            return dev::BytePayload(static_cast<uint32_t>(params_.decp));
        case cmd::Beep:
            return dev::BytePayload(static_cast<uint32_t>(params_.Beep));
        case cmd::OnTime:
            return dev::Int32Payload(params_.OnTime);
        case cmd::PK1:
            return dev::Float32Payload(params_.PK1);
        case cmd::PK2:
            return dev::Float32Payload(params_.PK2);
        case cmd::LED:
            return dev::BytePayload(static_cast<uint32_t>(params_.LED));
        case cmd::Status: {
            dev::Payload p = dev::QnrPayload(params_.Q_NR);
            for (int i = 0; i < 3; ++i) p[i] = (config_.sensorMask >> i) & 1;
            return p;
        }
        case cmd::DeviceType:
            return {'K', 'T', 'V', 0};
        case cmd::SoftwareVersion:
            return dev::BytePayload(config_.softwareVersion);
        case cmd::HardwareVersion:
            return dev::BytePayload(config_.hardwareVersion);
        default:
            break;
    }
    if (code >= cmd::UZP0 && code < cmd::UZP0 + 3)
        return dev::Float32Payload(params_.UZP[code - cmd::UZP0]);
    if (code >= cmd::Offset0 && code < cmd::Offset0 + 3) {
        return dev::Float32Payload(params_.Offset[code - cmd::Offset0]);
    }
    if (code >= cmd::COEF0 && code < cmd::COEF0 + 3) {
        return dev::Float32Payload(params_.COEF[code - cmd::COEF0]);
    }
    if (code >= cmd::SetZero0 && code < cmd::SetZero0 + 3) {
        return dev::Float32Payload(params_.UZP[code - cmd::SetZero0]);
    }
    // 5, 6, 10, 11, 27..31 and 36 carry nothing.
    return dev::ZeroPayload();
}

void IndicatorModel::WriteParameter(uint8_t code, const uint8_t* payload) {
    namespace cmd = dev::cmd;
    const int32_t byteValue = payload[0];
    switch (code) {
        case cmd::Mode:
            if (params_.mode != byteValue) pulseSeen_ = {false, false};
            params_.mode = byteValue;
            return;
        case cmd::Decp:
            params_.decp = byteValue;
            return;
        case cmd::Beep:
            params_.Beep = byteValue;
            return;
        case cmd::OnTime:
            params_.OnTime = ReadUint32(payload);
            return;
        case cmd::PK1:
            params_.PK1 = ReadFloat(payload);
            return;
        case cmd::PK2:
            params_.PK2 = ReadFloat(payload);
            return;
        case cmd::LED:
            params_.LED = byteValue;
            return;
        case cmd::Status:
            params_.Q_NR = payload[3];
            return;
        case cmd::RestoreDefaults:
            params_ = DefaultParams();
            pulseSeen_ = {false, false};
            return;
        default:
            break;
    }
    if (code >= cmd::UZP0 && code < cmd::UZP0 + 3) {
        params_.UZP[code - cmd::UZP0] = ReadFloat(payload);
    } else if (code >= cmd::Offset0 && code < cmd::Offset0 + 3) {
        params_.Offset[code - cmd::Offset0] = ReadFloat(payload);
    } else if (code >= cmd::COEF0 && code < cmd::COEF0 + 3) {
        params_.COEF[code - cmd::COEF0] = ReadFloat(payload);
    } else if (code >= cmd::SetZero0 && code < cmd::SetZero0 + 3) {
        const int i = code - cmd::SetZero0;
        params_.UZP[i] = static_cast<float>(RawPosition(i));
    } else if (code >= cmd::ResetCycles0 && code < cmd::ResetCycles0 + 3) {
        const int i = code - cmd::ResetCycles0;
        cycleBase_[i] = UnwrappedRaw(i, static_cast<double>(now_));
    }
    // Other codes hold nothing that a write could change.
}

void IndicatorModel::AdvanceTo(int64_t nowMs) {
    if (nowMs <= now_) return;
    UpdatePulses(static_cast<double>(now_), static_cast<double>(nowMs));
    now_ = nowMs;
}

double IndicatorModel::UnwrappedRaw(int sensor, double tMs) const {
    return config_.startDeg[sensor] + config_.speedDegPerSecond[sensor] * tMs / 1000.0;
}

double IndicatorModel::RawPosition(int sensor) const {
    return Wrap360(UnwrappedRaw(sensor, static_cast<double>(now_)));
}

double IndicatorModel::UnwrappedAngle(int sensor, double tMs) const {
    const double raw = Wrap360(UnwrappedRaw(sensor, tMs));
    return (raw - params_.UZP[sensor] + params_.Offset[sensor]) * params_.COEF[sensor];
}

double IndicatorModel::Angle(int sensor) const {
    return Wrap360(UnwrappedAngle(sensor, static_cast<double>(now_)));
}

double IndicatorModel::Cycles(int sensor) const {
    const double turned = UnwrappedRaw(sensor, static_cast<double>(now_)) - cycleBase_[sensor];
    return std::floor(std::fabs(turned) / kFullTurn);
}

bool IndicatorModel::CyclesIncluded() const {
    return config_.includeCycles || params_.mode == 3;
}

bool IndicatorModel::ActiveSensorValid() const {
    return params_.Q_NR <= 2 && ((config_.sensorMask >> params_.Q_NR) & 1) != 0;
}

// Records the start of the latest pulse of each pulsing output within (fromMs, toMs].
// The shown angle is linear between two wraps of the raw position, so the interval is
// walked backwards one such piece at a time until a passing is found.
void IndicatorModel::UpdatePulses(double fromMs, double toMs) {
    const int mode = params_.mode;
    if ((mode != 0 && mode != 3) || !ActiveSensorValid()) return;
    const int s = static_cast<int>(params_.Q_NR);
    const double window = std::min(static_cast<double>(params_.OnTime), kLongestPulseWindowMs);
    const double from = std::max(fromMs, toMs - window);
    const double speedPerMs = config_.speedDegPerSecond[s] / 1000.0;
    if (from >= toMs || speedPerMs == 0.0) return;

    auto anglePassing = [&](float level) -> std::optional<double> {
        if (!ThresholdReachable(level)) return std::nullopt;
        for (double t = toMs; t > from;) {
            const double r = UnwrappedRaw(s, t);
            // The piece of constant wrap count that ends at t (limit from the left).
            const double k =
                speedPerMs > 0 ? std::ceil(r / kFullTurn) - 1 : std::floor(r / kFullTurn);
            const double pieceStartRaw = speedPerMs > 0 ? kFullTurn * k : kFullTurn * (k + 1);
            const double a = std::max(from, t - (r - pieceStartRaw) / speedPerMs);
            auto angleAt = [&](double time) {
                const double raw = UnwrappedRaw(s, time) - kFullTurn * k;
                return (raw - params_.UZP[s] + params_.Offset[s]) * params_.COEF[s];
            };
            if (auto hit = LastPassing(a, t, angleAt(a), angleAt(t), level)) return hit;
            t = a;
        }
        return std::nullopt;
    };

    std::optional<double> hits[2];
    hits[0] = anglePassing(params_.PK1);
    if (mode == 0) {
        hits[1] = anglePassing(params_.PK2);
    } else {
        hits[1] =
            LastPassing(from, toMs, UnwrappedRaw(s, from), UnwrappedRaw(s, toMs), cycleBase_[s]);
    }
    for (int o = 0; o < 2; ++o) {
        if (hits[o]) {
            lastPulseMs_[o] = *hits[o];
            pulseSeen_[o] = true;
        }
    }
}

bool IndicatorModel::PulseOn(int output) const {
    return pulseSeen_[output] &&
           static_cast<double>(now_) - lastPulseMs_[output] < static_cast<double>(params_.OnTime);
}

bool IndicatorModel::OutputOn(int output) const {
    if (output < 0 || output > 1 || !ActiveSensorValid()) return false;
    const double angle = Angle(static_cast<int>(params_.Q_NR));
    switch (params_.mode) {
        case 0:
        case 3:
            return PulseOn(output);
        case 1:
            return angle >= (output == 0 ? params_.PK1 : params_.PK2);
        case 2:
            if (output == 0) return angle >= params_.PK1;
            return std::fabs(angle - params_.PK1) <= params_.PK2;
        default:
            return false;
    }
}

std::vector<uint8_t> IndicatorModel::MeasurementFrame() const {
    const bool cycles = CyclesIncluded();
    uint8_t status = config_.sensorMask;
    if (cycles) status |= 0x08;
    if (OutputOn(0)) status |= 0x10;
    if (OutputOn(1)) status |= 0x20;
    std::vector<uint8_t> frame{dev::kHeaderMeasurement, dev::kHeaderMeasurement, status};
    for (int i = 0; i < 3; ++i) {
        if (!((config_.sensorMask >> i) & 1)) continue;
        AppendFloat(frame, AngleAsFloat(Angle(i)));
        if (cycles) AppendFloat(frame, static_cast<float>(Cycles(i)));
    }
    return frame;
}

}  // namespace kt::sim
