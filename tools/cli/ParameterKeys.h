// The parameter names the tool accepts in `set` and prints in `identify`, with access
// to the matching field of a DeviceParams record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "DeviceState.h"

namespace kt::cli {

struct ParameterKey {
    std::string name;
    bool isFloat;
    float device::DeviceParams::*floatField;       // for float keys (with index)
    float (device::DeviceParams::*floatArray)[3];  // for per-sensor keys
    int index;
    int32_t device::DeviceParams::*intField;
    uint32_t device::DeviceParams::*uintField;
    // Whole-number keys: the range of the device tab's field for it (its arrows' limits,
    // its list's items); nothing outside it is written. Float keys take any finite number.
    int64_t min;
    int64_t max;
};

const std::vector<ParameterKey>& ParameterKeys();
const ParameterKey* FindKey(const std::string& name);

// The field's value as text (floats in the general form with a decimal point).
std::string FormatValue(const ParameterKey& key, const device::DeviceParams& params);
// Parses text for the key; nullopt when it does not parse as the field's kind or, for a
// whole-number key, lies outside its range.
std::optional<double> ParseValue(const ParameterKey& key, const std::string& text);
void Assign(const ParameterKey& key, double value, device::DeviceParams& params);
// True when the indicator's value agrees (floats after three-decimal rounding).
bool Agrees(const ParameterKey& key, const device::DeviceParams& set,
            const device::DeviceParams& stan);

}  // namespace kt::cli
