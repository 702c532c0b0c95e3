#include <gtest/gtest.h>

#include <limits>

#include "ChartTextExport.h"
#include "Decoder.h"
#include "FakeDateTimeTexts.h"
#include "Fakes.h"
#include "Frames.h"
#include "MeasurementFile.h"
#include "SamplingClock.h"

using namespace kt::measurement;
using kt::device::DeviceState;
using kt::device::TypeStatus;
using kt::test::FakeDateTimeTexts;

namespace {

class DrivenClock : public HundredthsClock {
public:
    int64_t now = 5000;  // an arbitrary reading at construction
    int64_t NowHundredths() override { return now; }
};

class FakeSamplingView : public SamplingView {
public:
    std::string elapsed = "unset", rate = "unset";
    std::vector<std::string> rtPeriods;
    int wizards = 0;
    std::vector<bool> locks;
    void SetElapsedText(const std::string& t) override { elapsed = t; }
    void SetSamplesPerSecondText(const std::string& t) override { rate = t; }
    void SetRealTimePeriodText(const std::string& t) override { rtPeriods.push_back(t); }
    void ShowConnectionWizard() override { ++wizards; }
    void SetSettingsLocked(bool locked) override { locks.push_back(locked); }
};

class Recorder : public SampleSubscriber {
public:
    Recorder(const char* name, std::vector<std::string>& order) : name_(name), order_(order) {}
    std::vector<Sample> samples;
    void OnSample(const Sample& s) override {
        order_.push_back(name_);
        samples.push_back(s);
    }

private:
    const char* name_;
    std::vector<std::string>& order_;
};

class SamplingClockTest : public ::testing::Test {
protected:
    DeviceState device;
    kt::test::RecordingSink sink;
    kt::device::FrameSender sender{sink, nullptr};
    kt::test::FakeDialogs dialogs;
    FakeSamplingView view;
    DrivenClock clock;
    SamplingClock sampling{device, sender, dialogs, view, clock, ','};
    kt::test::FakeDeviceView deviceView;
    kt::device::Decoder decoder{device, deviceView, dialogs, nullptr, {','}, "/x"};

    void SetUp() override {
        device.deviceReady = true;
        device.typeStatus = TypeStatus::Recognised;
        decoder.SetMeasurementListener(&sampling);
    }
    void Pass(int hundredths) {
        clock.now += hundredths;
        sampling.OnIdle();
    }
    // Sensor 0 present, angle 12.5, no cycles.
    void Answer() {
        const uint8_t frame[7] = {0xF4, 0xF4, 0x01, 0x00, 0x00, 0x48, 0x41};
        decoder.ProcessBlock(frame, 7);
    }
    // Elapsed milliseconds (from the first pass) of every pass that sent a request.
    std::vector<int> RequestTimes(int passes, int spacing) {
        std::vector<int> times;
        for (int i = 0; i < passes; ++i) {
            const size_t before = sink.frames.size();
            Pass(spacing);
            if (sink.frames.size() > before) times.push_back(i * spacing * 10);
        }
        return times;
    }
};

TEST_F(SamplingClockTest, StepIsTheWholeGapInHundredths) {
    struct Case {
        int64_t from, to;
        double step;
    };
    // 1.25 s counts 1.25 s: a clock read as hundredths of the second alone would say 0.25.
    for (const Case c : {Case{6095, 6103, 0.08}, Case{7300, 7300, 0}, Case{8000, 8125, 1.25}}) {
        sampling.Start();
        clock.now = c.from;
        sampling.OnIdle();
        const double before = sampling.State().elapsed;
        clock.now = c.to;
        sampling.OnIdle();
        EXPECT_DOUBLE_EQ(sampling.State().lastStep, c.step) << c.from << "->" << c.to;
        EXPECT_NEAR(sampling.State().elapsed - before, c.step, 1e-9);
    }
}

TEST_F(SamplingClockTest, FirstPassMeasuresFromConstructionAndSameHundredthSkipsTheTick) {
    EXPECT_FALSE(sampling.RefreshReadouts());  // nothing measured yet
    Pass(3);
    EXPECT_DOUBLE_EQ(sampling.State().lastStep, 0.03);
    EXPECT_TRUE(sampling.RefreshReadouts());
    EXPECT_EQ(view.elapsed, "0");  // not running: no time counted
    Pass(0);
    view.elapsed = "unset";
    EXPECT_FALSE(sampling.RefreshReadouts());
    EXPECT_EQ(view.elapsed, "unset");
    // Time seen by any pass since the last tick counts, not only by the most recent one:
    // the loop runs several passes per hundredth and the last one often measures 0.
    Pass(1);
    Pass(0);
    EXPECT_DOUBLE_EQ(sampling.State().lastStep, 0);
    EXPECT_TRUE(sampling.RefreshReadouts());
    EXPECT_FALSE(sampling.RefreshReadouts());
}

TEST_F(SamplingClockTest, FixedPeriodRequestsAtTheFirstPassWithinFiveMillisecondsOfDue) {
    struct Case {
        int64_t period;
        int spacing;
        int interval;
    };
    // 100 ms at 30 ms passes: 120 ms, the remainder below 5 ms is not carried over.
    for (const Case c : {Case{100, 3, 120}, Case{100, 1, 100}, Case{95, 3, 90}, Case{15, 1, 10},
                         Case{10, 5, 50}, Case{1000, 25, 1000}}) {
        sampling.SetPeriodMs(c.period);
        sampling.Start();
        device.Device.bledna_transmisja = 1;
        const std::vector<int> times = RequestTimes(40 * c.interval / (10 * c.spacing), c.spacing);
        ASSERT_GE(times.size(), 3u) << c.period;
        EXPECT_EQ(times[0], 0) << c.period;  // the first pass after START
        for (size_t i = 1; i < times.size(); ++i) {
            EXPECT_EQ(times[i] - times[i - 1], c.interval) << c.period << "/" << c.spacing;
        }
        EXPECT_EQ(device.Device.bledna_transmisja, 0);
        EXPECT_FALSE(device.Device.zapytanie);
    }
    EXPECT_EQ(sink.frames.back(), "F1 F1 07 00 00 00 00 07");
}

TEST_F(SamplingClockTest, PeriodIsClampedAndNeverZero) {
    EXPECT_EQ(sampling.PeriodMs(), 10);
    Pass(1);
    sampling.RefreshReadouts();
    EXPECT_EQ(view.rate, "100,00000");
    const std::pair<int64_t, int64_t> cases[] = {{0, 10},
                                                 {-5, 10},
                                                 {9, 10},
                                                 {300, 300},
                                                 {10000000, 10000000},
                                                 {10000001, 10000000},
                                                 {std::numeric_limits<int64_t>::max(), 10000000}};
    for (const auto& [in, out] : cases) EXPECT_EQ(sampling.SetPeriodMs(in), out) << in;
    sampling.SetPeriodMs(300);
    Pass(1);
    sampling.RefreshReadouts();
    EXPECT_EQ(view.rate, "3,33333");
}

TEST_F(SamplingClockTest, RealTimeSilentDeviceRepeatsAfterFiftyMilliseconds) {
    sampling.SetRealTime(true);
    sampling.Start();
    EXPECT_EQ(RequestTimes(30, 1), (std::vector<int>{0, 60, 120, 180, 240}));
    EXPECT_EQ(device.Device.bledna_transmisja, 1);
    EXPECT_EQ(sampling.Counters().requests, 5u);
    EXPECT_EQ(sampling.Counters().realTimeTimeouts, 5u);
    const std::vector<int> times = RequestTimes(30, 2);
    ASSERT_GE(times.size(), 3u);
    for (size_t i = 1; i < times.size(); ++i) EXPECT_EQ(times[i] - times[i - 1], 80);
}

TEST_F(SamplingClockTest, RealTimeAnswersAreRequestedAgainAtOnceAndRateIsShownPerTen) {
    sampling.SetRealTime(true);
    sampling.Start();
    auto exchange = [&](int n) {
        for (int i = 0; i < n; ++i) {
            Pass(2);
            Answer();
        }
    };
    exchange(9);
    EXPECT_TRUE(view.rtPeriods.empty());
    EXPECT_EQ(sink.frames.size(), 9u);
    exchange(6);  // 15 answers, the rate shown once
    sampling.Stop();
    sampling.Start();
    exchange(5);  // old and new runs must not be mixed: no negative period
    EXPECT_EQ(view.rtPeriods, std::vector<std::string>{"20"});
    exchange(5);
    sampling.ResetElapsed();
    exchange(10);
    EXPECT_EQ(view.rtPeriods, (std::vector<std::string>{"20", "20", "20"}));
    EXPECT_EQ(device.Device.bledna_transmisja, 0);
    sampling.RefreshReadouts();
    EXPECT_EQ(view.rate, "");

    sampling.SetRealTime(false);  // answers are not counted in fixed mode
    exchange(10);
    EXPECT_EQ(view.rtPeriods.size(), 3u);
}

// The run's time is whole hundredths: after n passes of one hundredth it is exactly the
// double of n / 100, so the texts made from it read as that. A running sum of 0.01 steps
// was 0.8200000000000005 after 82 passes (a chart point exported as "0,820000000000001")
// and 4.049999999999958 after 405 (a file header saying "4,04999999999996").
TEST_F(SamplingClockTest, ElapsedTimeIsWholeHundredthsWithoutBinaryNoise) {
    sampling.Start();
    ChartStore chart;
    for (int n = 1; n <= 500; ++n) {
        Pass(1);
        ASSERT_EQ(sampling.State().elapsed, n / 100.0) << n;
        if (n == 82) chart.Series(0).Add(sampling.State().elapsed, 1);
        if (n == 100 || n == 405) {
            sampling.RefreshReadouts();
            EXPECT_EQ(view.elapsed, n == 100 ? "1" : "4,05");
        }
    }
    std::string text, reason;
    ASSERT_TRUE(BuildChartText(chart, ChartTextLayout::Spreadsheet, text, reason));
    EXPECT_NE(text.find("\t0\t0,82\t1\t"), std::string::npos) << text;
    Pass(25);
    sampling.Stop();
    const FakeDateTimeTexts dates;
    const RegistrationTable table(dates);
    MeasurementFileInput input;
    input.duration = sampling.RunElapsed();
    ASSERT_TRUE(BuildMeasurementFile(table, input, MeasurementFileFormat::Excel, text, reason));
    EXPECT_NE(text.find("pomiaru=\t5,25\t [s]"), std::string::npos) << text;

    SamplingClock dotted(device, sender, dialogs, view, clock, '.');
    dotted.Pause();
    clock.now += 7;
    dotted.OnIdle();
    dotted.RefreshReadouts();
    EXPECT_EQ(view.elapsed, "0.07");
}

TEST_F(SamplingClockTest, StartWithoutDeviceOnlyShowsMessageAndWizard) {
    sampling.Pause();  // PAUSE from Stopped needs no device
    Pass(30);
    sampling.Pause();
    device.deviceReady = false;
    const size_t locks = view.locks.size();
    sampling.Start();
    EXPECT_EQ(dialogs.messages, std::vector<std::string>{"KT210V-PC|Nie odnaleziono urządznia!"});
    EXPECT_EQ(view.wizards, 1);
    EXPECT_FALSE(device.Device.GO);
    EXPECT_DOUBLE_EQ(sampling.State().elapsed, 0.3);
    EXPECT_EQ(view.locks.size(), locks);
}

TEST_F(SamplingClockTest, StartStopPauseAndHalt) {
    sampling.Start();
    Pass(10);
    sampling.Pause();
    Pass(50);  // paused: no time, no requests
    EXPECT_EQ(sampling.Phase(), RunPhase::Paused);
    EXPECT_DOUBLE_EQ(sampling.RunElapsed(), 0.1);
    EXPECT_EQ(sink.frames.size(), 1u);
    sampling.Pause();
    Pass(3);
    EXPECT_DOUBLE_EQ(sampling.State().elapsed, 0.13);
    sampling.Halt();  // port lost: kept, unlocked, PAUSE goes on
    Pass(5);
    sampling.Pause();
    Pass(2);
    EXPECT_DOUBLE_EQ(sampling.State().elapsed, 0.15);
    sampling.Stop();
    EXPECT_DOUBLE_EQ(sampling.State().elapsed, 0);
    EXPECT_DOUBLE_EQ(sampling.RunElapsed(), 0.15);  // what a file saved now reports
    sampling.SetPeriodMs(1000);
    sampling.Start();
    EXPECT_DOUBLE_EQ(sampling.RunElapsed(), 0);
    Pass(4);
    sampling.ResetElapsed();  // chart start: GO untouched
    EXPECT_TRUE(device.Device.GO);
    EXPECT_DOUBLE_EQ(sampling.State().elapsed, 0);
    sampling.Start();  // restart while running: the next pass asks at once
    const size_t sent = sink.frames.size();
    Pass(1);
    EXPECT_EQ(sink.frames.size(), sent + 1);
    EXPECT_EQ(view.locks, (std::vector<bool>{true, false, true, false, true, false, true, true}));
}

TEST_F(SamplingClockTest, NothingIsSentOrCountedUntilTheTypeIsAnswered) {
    device.typeStatus = TypeStatus::NotAnswered;
    sampling.Start();
    Pass(20);
    EXPECT_TRUE(sink.frames.empty());
    EXPECT_DOUBLE_EQ(sampling.State().elapsed, 0);
    EXPECT_FALSE(sampling.MillisecondsUntilDue());
    device.typeStatus = TypeStatus::NotRecognised;
    Pass(1);
    EXPECT_EQ(sink.frames.size(), 1u);
}

TEST_F(SamplingClockTest, NextPassIsDueWhenTheCountdownOrGuardRunsOut) {
    EXPECT_FALSE(sampling.MillisecondsUntilDue());  // stopped
    sampling.SetPeriodMs(100);
    sampling.Start();
    EXPECT_EQ(sampling.MillisecondsUntilDue(), 0);
    Pass(1);
    // Due at the start of the hundredth where the countdown falls to 0.005 s or below.
    EXPECT_EQ(sampling.MillisecondsUntilDue(), 100);
    Pass(3);
    EXPECT_EQ(sampling.MillisecondsUntilDue(), 70);
    sampling.SetRealTime(true);
    Pass(1);
    EXPECT_EQ(sampling.MillisecondsUntilDue(), 50);
    Pass(2);
    EXPECT_EQ(sampling.MillisecondsUntilDue(), 30);
    Pass(3);  // timed out: the next pass asks again
    EXPECT_EQ(sampling.MillisecondsUntilDue(), 0);
    sampling.Pause();
    EXPECT_FALSE(sampling.MillisecondsUntilDue());
}

TEST_F(SamplingClockTest, EveryDecodedAnswerReachesTheSubscribersInOrder) {
    std::vector<std::string> order;
    Recorder display{"view", order}, chart{"chart", order}, registration{"registration", order},
        outputs{"outputs", order};
    for (Recorder* r : {&display, &chart, &registration, &outputs}) sampling.Subscribe(*r);
    device.Stan.mode = 3;
    sampling.Start();
    Pass(7);
    // Sensors 0 and 2 with cycles, PK1 on: 1.5 / 2, 270 / 3.
    const auto bytes = kt::test::Hex("F4 F4 1D 00 00 C0 3F 00 00 00 40 00 00 87 43 00 00 40 40");
    decoder.ProcessBlock(bytes.data(), static_cast<int>(bytes.size()));
    Answer();
    ASSERT_EQ(order, (std::vector<std::string>{"view", "chart", "registration", "outputs", "view",
                                               "chart", "registration", "outputs"}));
    const Sample& s = outputs.samples[0];
    EXPECT_EQ(s.number, 0u);
    EXPECT_DOUBLE_EQ(s.elapsed, 0.07);
    EXPECT_TRUE(s.sensorPresent[0] && !s.sensorPresent[1] && s.sensorPresent[2]);
    EXPECT_EQ(s.angle[0], 1.5f);
    EXPECT_EQ(s.cycles[0], 2.0f);
    EXPECT_EQ(s.angle[2], 270.0f);
    EXPECT_EQ(s.cycles[2], 3.0f);
    EXPECT_TRUE(s.cyclesCounted && s.outputOn[0] && !s.outputOn[1]);
    const Sample& t = display.samples[1];
    EXPECT_EQ(t.number, 1u);
    EXPECT_EQ(t.angle[0], 12.5f);
    EXPECT_EQ(t.cycles[0], 2.0f);  // kept from the answer that carried it
    EXPECT_FALSE(t.sensorPresent[2] || t.outputOn[0]);
    EXPECT_EQ(sampling.Counters().samples, 2u);
}

// STOP sets the elapsed time to 0, but the answer to the run's last request (in real time
// there always is one on its way) still arrives: it belongs at the end of the run, not
// at its start, where the chart would insert it among the first points.
TEST_F(SamplingClockTest, AnswerArrivingAfterStopIsStampedWithTheRunsEnd) {
    std::vector<std::string> order;
    Recorder chart{"chart", order};
    sampling.Subscribe(chart);
    sampling.SetRealTime(true);
    sampling.Start();
    Pass(5);
    Answer();
    Pass(12);  // the next request goes out
    sampling.Stop();
    Answer();
    ASSERT_EQ(chart.samples.size(), 2u);
    EXPECT_DOUBLE_EQ(chart.samples[0].elapsed, 0.05);
    EXPECT_DOUBLE_EQ(chart.samples[1].elapsed, 0.17);
    // After PAUSE the run's time is kept anyway; a new START begins at 0.
    sampling.Start();
    Pass(3);
    sampling.Pause();
    Answer();
    EXPECT_DOUBLE_EQ(chart.samples[2].elapsed, 0.03);
    sampling.Start();
    Answer();
    EXPECT_DOUBLE_EQ(chart.samples[3].elapsed, 0.0);
}

}  // namespace
