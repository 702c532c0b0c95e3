#include "ParameterKeys.h"

#include "Numbers.h"

namespace kt::cli {

using device::DeviceParams;

namespace {

ParameterKey Int(const char* name, int32_t DeviceParams::*f, int64_t min, int64_t max) {
    return {name, false, nullptr, nullptr, 0, f, nullptr, min, max};
}
ParameterKey Uint(const char* name, uint32_t DeviceParams::*f, int64_t min, int64_t max) {
    return {name, false, nullptr, nullptr, 0, nullptr, f, min, max};
}
ParameterKey Float(const char* name, float DeviceParams::*f) {
    return {name, true, f, nullptr, 0, nullptr, nullptr, 0, 0};
}
ParameterKey Sensor(const std::string& name, float (DeviceParams::*a)[3], int i) {
    return {name + std::to_string(i), true, nullptr, a, i, nullptr, nullptr, 0, 0};
}

float ReadFloat(const ParameterKey& k, const DeviceParams& p) {
    return k.floatField ? p.*k.floatField : (p.*k.floatArray)[k.index];
}

}  // namespace

const std::vector<ParameterKey>& ParameterKeys() {
    static const std::vector<ParameterKey> keys = [] {
        // The device tab's fields: five modes in the list, decimals 0..6 and brightness
        // 0..9 on the arrows, the beeper box, on-time 1..32732 ms, sensors 0..2.
        std::vector<ParameterKey> v{
            Int("mode", &DeviceParams::mode, 0, 4), Int("decp", &DeviceParams::decp, 0, 6),
            Int("Beep", &DeviceParams::Beep, 0, 1), Uint("OnTime", &DeviceParams::OnTime, 1, 32732),
            Float("PK1", &DeviceParams::PK1),       Float("PK2", &DeviceParams::PK2),
            Int("LED", &DeviceParams::LED, 0, 9),   Uint("Q_NR", &DeviceParams::Q_NR, 0, 2)};
        for (int i = 0; i < 3; ++i) v.push_back(Sensor("UZP", &DeviceParams::UZP, i));
        for (int i = 0; i < 3; ++i) v.push_back(Sensor("Offset", &DeviceParams::Offset, i));
        for (int i = 0; i < 3; ++i) v.push_back(Sensor("COEF", &DeviceParams::COEF, i));
        return v;
    }();
    return keys;
}

const ParameterKey* FindKey(const std::string& name) {
    for (const auto& k : ParameterKeys()) {
        if (k.name == name) return &k;
    }
    return nullptr;
}

std::string FormatValue(const ParameterKey& k, const DeviceParams& p) {
    if (k.isFloat) return device::GeneralForm(static_cast<double>(ReadFloat(k, p)), '.');
    if (k.intField) return std::to_string(p.*k.intField);
    return std::to_string(p.*k.uintField);
}

std::optional<double> ParseValue(const ParameterKey& k, const std::string& text) {
    if (k.isFloat) return device::ParseFloat32(text, '.');
    const auto v = device::ParseInteger(text);
    if (!v) return std::nullopt;
    if (*v < k.min || *v > k.max) return std::nullopt;
    return static_cast<double>(*v);
}

void Assign(const ParameterKey& k, double value, DeviceParams& p) {
    if (k.floatField) {
        p.*k.floatField = static_cast<float>(value);
    } else if (k.floatArray) {
        (p.*k.floatArray)[k.index] = static_cast<float>(value);
    } else if (k.intField) {
        p.*k.intField = static_cast<int32_t>(value);
    } else {
        p.*k.uintField = static_cast<uint32_t>(value);
    }
}

bool Agrees(const ParameterKey& k, const DeviceParams& set, const DeviceParams& stan) {
    if (k.isFloat) return device::AgreeAfterRound3(ReadFloat(k, set), ReadFloat(k, stan));
    if (k.intField) return set.*k.intField == stan.*k.intField;
    return set.*k.uintField == stan.*k.uintField;
}

}  // namespace kt::cli
