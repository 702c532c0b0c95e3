// What the indicator tab shows, kept apart from its widgets: per channel the "Aktywny"
// state, the large display's value and text, the bar gauge position, the cycle text and
// the dial's needle value; and the states of the two outputs. It follows every sample
// the sampling clock hands on; the tab copies the texts and positions into its widgets.
//
// Everything runs on the user-interface thread. Following a sample formats at most one
// display text per channel, and a cycle text only when the count changes, into strings
// that keep their storage: no allocation for any reading below 1e10 (longer texts, of
// values no sensor reports, pass through one temporary string). The fields show such
// values as kOverflowText.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "ChannelDisplay.h"
#include "DeviceState.h"
#include "Sample.h"

namespace kt::measurement {

inline constexpr int kChannelCount = 3;
inline constexpr int kGaugeMax = 360;
// What a cycle display shows outside the cycle-counting output mode.
inline constexpr std::string_view kNoCyclesText = "-------";
// What an angle's field shows for a value it cannot show: one that is not finite, or
// whose text has more characters than the field holds. A cut text would read as a
// plausible, wrong number (the tail of 1e30's text reads "55040.0000").
inline constexpr std::string_view kOverflowText = "-OVER-";
// Characters of "%3.4f" text the large display holds in its bold 48 px font (313 px),
// at most: "9999.9999" or "-999.9999".
inline constexpr size_t kDisplayRoom = 9;

// A pixel of the 120 x 120 dial, origin at the top left, y growing downward.
struct DialPoint {
    int x = 0;
    int y = 0;
    bool operator==(const DialPoint&) const = default;
};
inline constexpr DialPoint kDialCentre{59, 59};
inline constexpr int kNeedleLength = 50;

// Where the needle ends for `value` degrees: 50 pixels from the centre, 0 degrees to the
// right, angles growing counter-clockwise, each coordinate truncated toward zero.
// Nothing for a NaN or infinite value, which has no direction.
std::optional<DialPoint> NeedleEnd(double value);

// The bar gauge's position for `value`: truncated toward zero and held within 0..360.
// Nothing for NaN, which leaves the gauge where it was.
std::optional<int> GaugePositionOf(double value);

class IndicatorModel : public SampleSubscriber {
public:
    // `device` supplies the sensors' presence for the "Aktywny" rule; `decimalSeparator`
    // is the one of the cycle counts' general form.
    IndicatorModel(const device::DeviceState& device, char decimalSeparator);

    // A click on the channel's "Aktywny" box, a restored setting or a presence answer
    // asking for `ticked`. A box can only stay ticked for a present sensor, so ticking
    // an absent one leaves it unticked. Returns the state the box ends in.
    bool SetActive(int channel, bool ticked);
    bool Active(int channel) const { return channels_[Index(channel)].active; }

    // Whether `sample` updates the channel's display, gauge and cycle text (and so its
    // chart point): the box is ticked and the sensor is in the answer. A ticked sensor
    // missing from an answer keeps showing the last value it sent.
    bool TakesSample(int channel, const Sample& sample) const;

    void OnSample(const Sample& sample) override;

    // The large display: the last value shown and whether there was one.
    const ChannelDisplay& Display(int channel) const { return channels_[Index(channel)].display; }
    // The large display's text: "%3.4f" of the display's value (decimal point), or
    // "-------------" before any; kOverflowText when the display cannot show the value.
    std::string_view DisplayText(int channel) const {
        return FieldText(channels_[Index(channel)], kDisplayRoom);
    }
    // The text as formatted, never marked: the chart tab's readout keeps what the
    // indicator sent (a field that scrolls).
    std::string_view ValueText(int channel) const { return channels_[Index(channel)].displayText; }
    // The count in the general form while cycles are counted, else "-------".
    std::string_view CycleText(int channel) const { return channels_[Index(channel)].cycleText; }
    int GaugePosition(int channel) const { return channels_[Index(channel)].gaugePosition; }
    // The value the dial's needle points at when the dial is next drawn: the channel's
    // latest finite reading, whether or not its box is ticked (only active channels'
    // dials are drawn).
    float DialValue(int channel) const { return channels_[Index(channel)].dialValue; }

    // PK1 (0) and PK2 (1) as the latest answer reported them.
    bool OutputOn(int output) const { return outputOn_[output == 1 ? 1 : 0]; }

private:
    struct Channel {
        bool active = false;
        ChannelDisplay display;
        std::string displayText;
        std::string cycleText;
        bool cyclesShown = false;  // cycleText holds the count `shownCycles`
        float shownCycles = 0;
        int gaugePosition = 0;
        float dialValue = 0;
    };

    // Channel numbers come from the program's own controls; anything else is channel 0.
    static int Index(int channel) { return channel >= 0 && channel < kChannelCount ? channel : 0; }
    static std::string_view FieldText(const Channel& channel, size_t room);
    void ShowValue(Channel& channel, float value);
    void ShowCycles(Channel& channel, bool counted, float cycles);

    const device::DeviceState& device_;
    char decimalSeparator_;
    Channel channels_[kChannelCount];
    bool outputOn_[2] = {false, false};
};

}  // namespace kt::measurement
