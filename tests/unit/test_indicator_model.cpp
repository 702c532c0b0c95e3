#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "Decoder.h"
#include "Fakes.h"
#include "Frames.h"
#include "IndicatorModel.h"
#include "SamplingClock.h"

using namespace kt::measurement;
using kt::device::DeviceState;

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

Sample AllPresent(float a0, float a1, float a2) {
    Sample s;
    s.sensorPresent[0] = s.sensorPresent[1] = s.sensorPresent[2] = true;
    s.angle[0] = a0;
    s.angle[1] = a1;
    s.angle[2] = a2;
    return s;
}

struct Fixture {
    DeviceState device;
    IndicatorModel model{device, ','};

    Fixture() {
        for (int i = 0; i < 3; ++i) {
            device.sensorPresent[i] = true;
            model.SetActive(i, true);
        }
    }
};

TEST(IndicatorModel, NeedleEndsWhereTheDialShowsTheValue) {
    const std::pair<float, DialPoint> cases[] = {
        {0, {109, 59}},          {45, {94, 23}},  {90, {59, 9}},
        {180, {9, 58}},                                             // sin(pi) is a little above 0
        {359.99994f, {108, 59}}, {-5, {108, 63}}, {400, {97, 26}},  // the needle of 40 degrees
    };
    for (const auto& [value, end] : cases) EXPECT_EQ(NeedleEnd(value), end) << value;
}

// Any float bit pattern: NaN and infinities have no needle, everything else lands on
// the dial; the gauge stays within its range and follows in-range values exactly.
TEST(IndicatorModel, EveryFloatGivesASafeNeedleAndGauge) {
    std::mt19937 random(2024);
    for (int n = 0; n < 200000; ++n) {
        const float value = std::bit_cast<float>(static_cast<uint32_t>(random()));
        const auto needle = NeedleEnd(value);
        ASSERT_EQ(needle.has_value(), std::isfinite(value)) << value;
        if (needle) {
            ASSERT_TRUE(needle->x >= 9 && needle->x <= 109 && needle->y >= 9 && needle->y <= 109)
                << value;
        }
        const auto gauge = GaugePositionOf(value);
        ASSERT_EQ(gauge.has_value(), !std::isnan(value));
        if (!gauge) continue;
        ASSERT_TRUE(*gauge >= 0 && *gauge <= 360) << value;
        if (value >= 0 && value <= 360) {
            ASSERT_EQ(*gauge, static_cast<int>(value)) << value;
        }
    }
}

TEST(IndicatorModel, BoxStaysTickedOnlyForAPresentSensor) {
    struct Case {
        bool present, ticked, result;
    };
    for (const Case c : {Case{true, true, true}, Case{true, false, false}, Case{false, true, false},
                         Case{false, false, false}}) {
        DeviceState device;
        IndicatorModel model(device, ',');
        device.sensorPresent[1] = c.present;
        EXPECT_EQ(model.SetActive(1, c.ticked), c.result);
        EXPECT_EQ(model.Active(1), c.result);
        EXPECT_FALSE(model.Active(0) || model.Active(2));
    }
    DeviceState device;
    IndicatorModel model(device, ',');
    device.sensorPresent[2] = true;
    model.SetActive(2, true);
    device.sensorPresent[2] = false;  // gone: the box waits for the next presence answer
    EXPECT_TRUE(model.Active(2));
    EXPECT_FALSE(model.SetActive(2, true));
    EXPECT_FALSE(model.SetActive(3, true));
    EXPECT_FALSE(model.SetActive(-1, true));
}

// The fields show "%3.4f" where it fits them, else the overflow mark, never a cut text.
TEST(IndicatorModel, DisplayGaugeAndDialOfEveryKindOfValue) {
    struct Case {
        float value;
        const char* text;     // large display
        const char* readout;  // chart tab readout: never marked
        int gauge;
        float dial;
    };
    // Each value follows a sample of 100, which NaN and infinities partly leave standing.
    const Case cases[] = {
        {359.99994f, "359.9999", "359.9999", 359, 359.99994f},
        {12.34567f, "12.3457", "12.3457", 12, 12.34567f},
        {-359.9f, "-359.9000", "-359.9000", 0, -359.9f},
        {9999.999f, "9999.9990", "9999.9990", 360, 9999.999f},
        {12345.678f, "-OVER-", "12345.6777", 360, 12345.678f},
        {kNaN, "-OVER-", "nan", 100, 100},
        {kInf, "-OVER-", "inf", 360, 100},
        {-kInf, "-OVER-", "-inf", 0, 100},
        {1e30f, "-OVER-", "1000000015047466219876688855040.0000", 360, 1e30f},
        {-1e30f, "-OVER-", "-1000000015047466219876688855040.0000", 0, -1e30f},
        {-3.4028235e38f, "-OVER-", "-340282346638528859811704183484516925440.0000", 0,
         -3.4028235e38f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        Fixture f;
        f.model.OnSample(AllPresent(100, 0, 0));
        f.model.OnSample(AllPresent(c.value, 0, 0));
        EXPECT_EQ(f.model.DisplayText(0), c.text);
        EXPECT_EQ(f.model.ValueText(0), c.readout);
        EXPECT_TRUE(f.model.Display(0).shown);
        EXPECT_EQ(f.model.GaugePosition(0), c.gauge);
        EXPECT_EQ(f.model.DialValue(0), c.dial);
    }
}

TEST(IndicatorModel, CycleTextFollowsTheCountOnlyWhileCyclesAreCounted) {
    struct Step {
        bool counted;
        float cycles;
        const char* text;
    };
    const Step steps[] = {
        {false, 7, "-------"},
        {true, 12, "12"},
        {true, 12.5f, "12,5"},
        {true, 12.5f, "12,5"},
        {false, 12.5f, "-------"},
        {true, 12.5f, "12,5"},
        {true, 0, "0"},
        {true, kNaN, "NAN"},
        {true, kNaN, "NAN"},
        {true, 1e20f, "1,00000002004088E20"},
    };
    Fixture f;
    for (const Step& s : steps) {
        SCOPED_TRACE(s.text);
        Sample sample = AllPresent(1, 2, 3);
        sample.cyclesCounted = s.counted;
        sample.cycles[0] = sample.cycles[2] = s.cycles;
        f.model.OnSample(sample);
        EXPECT_EQ(f.model.CycleText(0), s.text);
        EXPECT_EQ(f.model.CycleText(2), s.text);
    }
    DeviceState device;
    device.sensorPresent[0] = true;
    IndicatorModel pointModel(device, '.');
    pointModel.SetActive(0, true);
    Sample sample = AllPresent(1, 2, 3);
    sample.cyclesCounted = true;
    sample.cycles[0] = 2.25f;
    pointModel.OnSample(sample);
    EXPECT_EQ(pointModel.CycleText(0), "2.25");
}

TEST(IndicatorModel, UntickedChannelKeepsItsTextsGaugeAndCycles) {
    Fixture f;
    f.model.SetActive(1, false);
    Sample s = AllPresent(12.3456f, 20, 359.99994f);
    s.cyclesCounted = true;
    s.cycles[0] = 2;
    s.cycles[1] = 5;
    s.cycles[2] = 9;
    s.outputOn[0] = true;
    f.model.OnSample(s);
    EXPECT_EQ(f.model.DisplayText(0), "12.3456");
    EXPECT_EQ(f.model.DisplayText(1), "-------------");
    EXPECT_FALSE(f.model.Display(1).shown);
    EXPECT_EQ(f.model.CycleText(1), "-------");
    EXPECT_EQ(f.model.DisplayText(2), "359.9999");
    EXPECT_EQ(f.model.GaugePosition(2), 359);
    EXPECT_EQ(f.model.CycleText(2), "9");
    EXPECT_EQ(f.model.DialValue(1), 20);  // drawn with the reading once ticked again
    EXPECT_TRUE(f.model.OutputOn(0));
    EXPECT_FALSE(f.model.OutputOn(1));

    // Channel 0 unticked after showing a value; the output mode changes to 2.
    f.model.SetActive(0, false);
    s = AllPresent(200, 30, 90);
    s.outputOn[1] = true;
    f.model.OnSample(s);
    EXPECT_EQ(f.model.DisplayText(0), "12.3456");
    EXPECT_EQ(f.model.GaugePosition(0), 12);
    EXPECT_EQ(f.model.CycleText(0), "2");
    EXPECT_EQ(f.model.Display(0).value, 12.3456f);
    EXPECT_EQ(f.model.DisplayText(2), "90.0000");
    EXPECT_EQ(f.model.CycleText(2), "-------");
    EXPECT_FALSE(f.model.OutputOn(0));
    EXPECT_TRUE(f.model.OutputOn(1));
}

TEST(IndicatorModel, TickedChannelAbsentFromAnAnswerKeepsItsLastValue) {
    Fixture f;
    f.model.OnSample(AllPresent(10, 20, 30));
    Sample s;  // channel 0 only; the others' readings are whatever was kept
    s.sensorPresent[0] = true;
    s.angle[0] = 11;
    s.angle[1] = 0;
    s.angle[2] = 31;
    s.cyclesCounted = true;
    EXPECT_TRUE(f.model.TakesSample(0, s));
    EXPECT_FALSE(f.model.TakesSample(1, s) || f.model.TakesSample(2, s));
    f.model.OnSample(s);
    EXPECT_EQ(f.model.DisplayText(0), "11.0000");
    EXPECT_EQ(f.model.DisplayText(1), "20.0000");
    EXPECT_EQ(f.model.GaugePosition(1), 20);
    EXPECT_EQ(f.model.CycleText(1), "-------");
    EXPECT_EQ(f.model.DisplayText(2), "30.0000");
    EXPECT_TRUE(f.model.Active(1) && f.model.Active(2));

    // A channel ticked while present that then never appears shows no made-up value.
    Fixture g;
    Sample none;
    none.sensorPresent[0] = true;
    g.model.OnSample(none);
    EXPECT_EQ(g.model.DisplayText(2), "-------------");
    EXPECT_FALSE(g.model.Display(2).shown);
}

// The decoder's presence and measurement answers, through the sampling clock, as the tab
// wires them: the box setter of the device view goes through the presence rule.
class TabView : public kt::test::FakeDeviceView {
public:
    explicit TabView(IndicatorModel& model) : model_(model) {}
    void SetSensorActive(int s, bool a) override {
        FakeDeviceView::SetSensorActive(s, model_.SetActive(s, a));
    }

private:
    IndicatorModel& model_;
};

class FixedClock : public HundredthsClock {
public:
    int64_t NowHundredths() override { return 0; }
};

class IndicatorPath : public ::testing::Test {
protected:
    DeviceState device;
    IndicatorModel model{device, ','};
    TabView view{model};
    kt::test::RecordingSink sink;
    kt::device::FrameSender sender{sink, nullptr};
    kt::test::FakeDialogs dialogs;
    SilentSamplingView samplingView;
    FixedClock clock;
    SamplingClock sampling{device, sender, dialogs, samplingView, clock, ','};
    kt::device::Decoder decoder{device, view, dialogs, nullptr, {','}, "/x"};

    void SetUp() override {
        decoder.SetMeasurementListener(&sampling);
        sampling.Subscribe(model);
    }
    void Presence(uint8_t s0, uint8_t s1, uint8_t s2) {
        const auto f = kt::device::BuildFrame(kt::device::kHeaderAnswer, kt::device::cmd::Status,
                                              kt::device::Payload{s0, s1, s2, 0});
        decoder.ProcessBlock(f.bytes.data(), kt::device::kFrameSize);
    }
    // A measurement answer: status byte, then the floats of the present sensors.
    void Measurement(uint8_t status, const std::vector<float>& floats) {
        std::vector<uint8_t> bytes = {0xF4, 0xF4, status};
        for (float v : floats) {
            uint8_t le[4];
            std::memcpy(le, &v, 4);  // the indicator sends little-endian floats, as here
            bytes.insert(bytes.end(), le, le + 4);
        }
        decoder.ProcessBlock(bytes.data(), static_cast<int>(bytes.size()));
    }
    std::vector<bool> Boxes() const { return {model.Active(0), model.Active(1), model.Active(2)}; }
};

TEST_F(IndicatorPath, RestoredTicksWaitForTheSecondPresenceAnswer) {
    for (int i = 0; i < 3; ++i) model.SetActive(i, true);  // settings file, no sensor known
    EXPECT_EQ(Boxes(), (std::vector<bool>{false, false, false}));
    Presence(1, 0, 1);
    EXPECT_EQ(Boxes(), (std::vector<bool>{false, false, false}));  // first answer: untouched
    EXPECT_FALSE(model.SetActive(1, true));                        // absent: unticks itself
    Presence(1, 0, 1);
    EXPECT_EQ(Boxes(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(view.active[2], true);

    device.Stan.mode = 3;
    Measurement(0x1D, {1.5f, 2, 270, 3});  // sensors 0 and 2 with cycles, PK1 on
    EXPECT_EQ(model.DisplayText(0), "1.5000");
    EXPECT_EQ(model.CycleText(0), "2");
    EXPECT_EQ(model.DisplayText(2), "270.0000");
    EXPECT_EQ(model.GaugePosition(2), 270);
    EXPECT_EQ(model.CycleText(2), "3");
    EXPECT_TRUE(model.OutputOn(0) && !model.OutputOn(1));

    Measurement(0x21, {45});  // sensor 2 gone from the answers, PK2 on
    EXPECT_EQ(view.text["GroupBox2"], "Czujnik nr 2 - nie wykryto");
    EXPECT_EQ(Boxes(), (std::vector<bool>{true, false, true}));
    EXPECT_EQ(model.DisplayText(0), "45.0000");
    EXPECT_EQ(model.DisplayText(2), "270.0000");
    EXPECT_TRUE(!model.OutputOn(0) && model.OutputOn(1));

    Presence(1, 0, 0);
    EXPECT_EQ(Boxes(), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(model.DisplayText(2), "270.0000");
}

}  // namespace
