#include "ParameterKeys.h"

#include "Numbers.h"

namespace kt::cli {

using device::DeviceParams;

namespace {

ParameterKey Byte(const char* name, int32_t DeviceParams::*f) {
    return {name, false, nullptr, nullptr, 0, f, nullptr, true};
}
ParameterKey Uint(const char* name, uint32_t DeviceParams::*f, bool byteValue = false) {
    return {name, false, nullptr, nullptr, 0, nullptr, f, byteValue};
}
ParameterKey Float(const char* name, float DeviceParams::*f) {
    return {name, true, f, nullptr, 0, nullptr, nullptr, false};
}
ParameterKey Sensor(const std::string& name, float (DeviceParams::*a)[3], int i) {
    return {name + std::to_string(i), true, nullptr, a, i, nullptr, nullptr, false};
}

float ReadFloat(const ParameterKey& k, const DeviceParams& p) {
    return k.floatField ? p.*k.floatField : (p.*k.floatArray)[k.index];
}

}  // namespace

const std::vector<ParameterKey>& ParameterKeys() {
    static const std::vector<ParameterKey> keys = [] {
        std::vector<ParameterKey> v{
            Byte("mode", &DeviceParams::mode), Byte("decp", &DeviceParams::decp),
            Byte("Beep", &DeviceParams::Beep), Uint("OnTime", &DeviceParams::OnTime),
            Float("PK1", &DeviceParams::PK1),  Float("PK2", &DeviceParams::PK2),
            Byte("LED", &DeviceParams::LED),   Uint("Q_NR", &DeviceParams::Q_NR, true)};
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
    if (k.byteValue && (*v < 0 || *v > 255)) return std::nullopt;
    if (k.uintField && (*v < 0 || *v > 0xFFFFFFFFLL)) return std::nullopt;
    if (k.intField && (*v < INT32_MIN || *v > INT32_MAX)) return std::nullopt;
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
