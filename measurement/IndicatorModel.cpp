#include "IndicatorModel.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "Numbers.h"

namespace kt::measurement {

namespace {

// Room for the longest "%3.4f" of a float (sign, 39 digits, point, 4 decimals), so a
// display text never grows its buffer after construction.
constexpr size_t kDisplayTextCapacity = 48;

}  // namespace

std::optional<DialPoint> NeedleEnd(double value) {
    if (!std::isfinite(value)) return std::nullopt;
    // Any finite angle gives a cosine and sine within -1..1, so both coordinates lie
    // within 9..109 before they are truncated.
    const double theta = value * std::numbers::pi / 180.0;
    const double x = kDialCentre.x + kNeedleLength * std::cos(theta);
    const double y = kDialCentre.y - kNeedleLength * std::sin(theta);
    return DialPoint{static_cast<int>(x), static_cast<int>(y)};
}

std::optional<int> GaugePositionOf(double value) {
    if (std::isnan(value)) return std::nullopt;
    // Held within the range in floating point first: a huge or infinite value must not
    // reach the conversion to int.
    const double held = value < 0 ? 0.0 : (value > kGaugeMax ? kGaugeMax : value);
    return static_cast<int>(held);
}

IndicatorModel::IndicatorModel(const device::DeviceState& device, char decimalSeparator)
    : device_(device), decimalSeparator_(decimalSeparator) {
    for (Channel& channel : channels_) {
        channel.displayText.reserve(kDisplayTextCapacity);
        channel.displayText = kNoValueText;
        channel.cycleText = kNoCyclesText;
    }
}

bool IndicatorModel::SetActive(int channel, bool ticked) {
    if (channel < 0 || channel >= kChannelCount) return false;
    channels_[channel].active = ticked && device_.sensorPresent[channel];
    return channels_[channel].active;
}

bool IndicatorModel::TakesSample(int channel, const Sample& sample) const {
    if (channel < 0 || channel >= kChannelCount) return false;
    return channels_[channel].active && sample.sensorPresent[channel];
}

void IndicatorModel::OnSample(const Sample& sample) {
    for (int i = 0; i < kChannelCount; ++i) {
        Channel& channel = channels_[i];
        // The dial follows the reading itself; a NaN or infinity has no direction and
        // leaves the needle where it was.
        if (std::isfinite(sample.angle[i])) channel.dialValue = sample.angle[i];
        if (!TakesSample(i, sample)) continue;
        ShowValue(channel, sample.angle[i]);
        ShowCycles(channel, sample.cyclesCounted, sample.cycles[i]);
    }
    outputOn_[0] = sample.outputOn[0];
    outputOn_[1] = sample.outputOn[1];
}

void IndicatorModel::ShowValue(Channel& channel, float value) {
    channel.display.Show(value);
    // The shared display rule makes the text; every real reading's text is short enough
    // to be made without the heap, and the reserved buffer takes even the longest.
    channel.displayText = measurement::DisplayText(channel.display);
    if (const auto position = GaugePositionOf(value)) channel.gaugePosition = *position;
}

std::string_view IndicatorModel::FieldText(const Channel& channel, size_t room) {
    if (!channel.display.shown) return channel.displayText;  // the dashes
    if (!std::isfinite(channel.display.value) || channel.displayText.size() > room) {
        return kOverflowText;
    }
    return channel.displayText;
}

void IndicatorModel::ShowCycles(Channel& channel, bool counted, float cycles) {
    if (!counted) {
        if (channel.cyclesShown) channel.cycleText = kNoCyclesText;
        channel.cyclesShown = false;
        return;
    }
    // The count changes far less often than samples arrive: format only a new one (bit
    // for bit, so a NaN count is not formatted again and again).
    if (channel.cyclesShown &&
        std::bit_cast<uint32_t>(cycles) == std::bit_cast<uint32_t>(channel.shownCycles)) {
        return;
    }
    channel.cycleText = device::GeneralForm(static_cast<double>(cycles), decimalSeparator_);
    channel.cyclesShown = true;
    channel.shownCycles = cycles;
}

}  // namespace kt::measurement
