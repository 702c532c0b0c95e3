#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "Decoder.h"
#include "Fakes.h"
#include "SyncCycle.h"

using namespace kt::device;
using kt::test::FakeDeviceView;
using kt::test::FakeDialogs;
using kt::test::FakeLog;
using kt::test::Hex;
using kt::test::RecordingSink;

namespace {

class SyncTest : public ::testing::Test {
protected:
    DeviceState state;
    RecordingSink sink;
    FakeLog log;
    FakeDeviceView view;
    FakeDialogs dialogs;
    FrameSender sender{sink, &log};
    SyncCycle sync{state, sender, view, &log, NumberFormat{','}};
    Decoder decoder{state, view, dialogs, &log, NumberFormat{','}, "/start"};

    void SetUp() override {
        log.visible = false;
        state.deviceReady = true;
        for (bool& r : state.received.UZP) r = true;
    }
    // Answers the last frame sent, as an indicator that takes every value, would.
    void AnswerLast() {
        auto f = Hex(sink.frames.back());
        f[0] = f[1] = kHeaderAnswer;
        decoder.ProcessBlock(f.data(), kFrameSize);
    }
    std::string TickFrame() {
        const size_t before = sink.frames.size();
        sync.Tick();
        return sink.frames.size() == before ? "" : sink.frames.back();
    }
};

TEST_F(SyncTest, NothingIsSentWhileNoDeviceIsReady) {
    state.deviceReady = false;
    state.Set.LED = 5;
    state.Set.PK1 = 3;
    state.cycleResetRequest[0] = true;
    state.cycles[0] = 4;
    for (int i = 0; i < 20; ++i) sync.Tick();
    EXPECT_TRUE(sink.frames.empty());
    EXPECT_EQ(view.text["Label66"], "nie wykryto");
}

TEST_F(SyncTest, FreshStateFindsNothingToWriteAndPollsStatusAtOnce) {
    EXPECT_EQ(TickFrame(), "F1 F1 1A 00 00 00 00 1A");
    for (int i = 0; i < 8; ++i) EXPECT_EQ(TickFrame(), "") << i;
    EXPECT_EQ(TickFrame(), "F1 F1 1A 00 00 00 00 1A");  // every ninth idle tick
}

// The float parameter an answer code reports.
float& FloatField(DeviceParams& p, uint8_t code) {
    if (code == cmd::PK1) return p.PK1;
    if (code == cmd::PK2) return p.PK2;
    if (code <= 15) return p.UZP[code - 13];
    if (code <= 18) return p.Offset[code - 16];
    if (code <= 21) return p.COEF[code - 19];
    return p.UZP[code - 22];
}

// An indicator with a blank memory reports NaN: the answer is taken as reported (the
// wizard's step completes), the monitor points it out, and once adopted two non-finite
// values of one kind agree, so the tick writes nothing and goes on polling; a finite
// value the operator types is written and confirmed as usual.
TEST_F(SyncTest, NonFiniteAnswersAreTakenAndAgreeSoTheTickGoesOnPolling) {
    log.visible = true;
    const float bad[] = {std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity(),
                         std::numeric_limits<float>::quiet_NaN()};
    const uint8_t codes[] = {cmd::PK1, cmd::PK2, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24};
    for (const uint8_t code : codes) {
        for (const float value : bad) {
            state.refreshPending = false;
            const auto f = BuildFrame(kHeaderAnswer, code, Float32Payload(value));
            decoder.ProcessBlock(f.bytes.data(), kFrameSize);
            const float stored = FloatField(state.Stan, code);
            EXPECT_TRUE(std::isnan(value) ? std::isnan(stored) : stored == value) << int(code);
            EXPECT_TRUE(state.refreshPending) << int(code);
            EXPECT_EQ(log.frameLines.back(), "  <<NOT A NUMBER :(") << int(code);
        }
    }
    state.AdoptDeviceValues();
    log.visible = false;
    EXPECT_EQ(TickFrame(), "");  // the refresh the answers asked for
    EXPECT_EQ(view.text["Edit6"], "NAN");
    EXPECT_EQ(TickFrame(), "F1 F1 1A 00 00 00 00 1A");  // nothing to write: the status poll
    state.statusCountdown = 100;
    state.Set.PK1 = 12.5f;
    EXPECT_EQ(TickFrame(), "F2 F2 08 00 00 48 41 91");
    AnswerLast();
    EXPECT_EQ(state.Stan.PK1, 12.5f);
    EXPECT_EQ(TickFrame(), "");  // refresh tick
    EXPECT_EQ(TickFrame(), "");  // agreed: nothing more to write
}

TEST_F(SyncTest, TwoChangesGoOutOneAfterTheOtherWithARefreshBetween) {
    state.statusCountdown = 100;
    state.Set.LED = 7;
    state.Set.OnTime = 250;
    EXPECT_EQ(TickFrame(), "F2 F2 0C 07 00 00 00 13");
    AnswerLast();
    EXPECT_EQ(TickFrame(), "");  // refresh tick
    EXPECT_EQ(view.confirmedPaints, 1);
    EXPECT_EQ(view.text["Edit4"], "7");
    EXPECT_FALSE(state.refreshPending);
    EXPECT_EQ(TickFrame(), "F2 F2 04 FA 00 00 00 FE");
    AnswerLast();
    EXPECT_EQ(TickFrame(), "");
    EXPECT_EQ(TickFrame(), "");
}

// The operator sets LED 7, the indicator takes it but its answer is lost, and the
// operator goes back to 5 before the tick writes 7 again: `Set` equals the `Stan` of an
// older answer, yet the indicator holds 7. A written field agrees only once an answer
// has reported it; a new connection reads everything afresh.
TEST_F(SyncTest, WrittenFieldAgreesOnlyOnceAnAnswerReportsIt) {
    state.statusCountdown = 100;
    state.Stan.LED = 5;
    state.Set.LED = 7;
    state.Set.PK2 = 30;
    EXPECT_EQ(TickFrame(), "F2 F2 0C 07 00 00 00 13");  // answer lost
    state.Set.LED = 5;
    EXPECT_EQ(TickFrame(), "F2 F2 0C 05 00 00 00 11");  // lost again
    EXPECT_EQ(TickFrame(), "F2 F2 0C 05 00 00 00 11");
    AnswerLast();
    EXPECT_EQ(TickFrame(), "");                // refresh tick
    EXPECT_EQ(Hex(TickFrame())[2], cmd::PK2);  // LED agrees now; the next field goes
    state.StartConnection();  // PK2 written, then a new connection (the wizard's reads)
    state.deviceReady = true;
    for (bool& r : state.received.UZP) r = true;
    state.Set.PK2 = state.Stan.PK2;
    EXPECT_EQ(TickFrame(), "");
}

TEST_F(SyncTest, FloatsCompareAfterRoundingButCarryTheUnroundedValue) {
    state.statusCountdown = 100;
    state.Stan.PK1 = 10.0f;
    state.Set.PK1 = 10.0004f;
    EXPECT_EQ(TickFrame(), "");
    state.Set.PK1 = 10.0006f;
    const auto expected = BuildFrame(kHeaderWrite, cmd::PK1, Float32Payload(10.0006f));
    EXPECT_EQ(TickFrame(), kt::test::ToHex(expected.bytes.data(), kFrameSize));
}

TEST_F(SyncTest, ComparisonOrderFollowsTheTable) {
    state.statusCountdown = 100;
    state.Set.Offset[2] = 1;
    state.Set.UZP[0] = 1;
    state.Set.COEF[1] = 1;
    state.Set.mode = 3;
    state.Set.Q_NR = 2;
    state.Set.Beep = 1;
    state.Set.decp = 2;
    std::vector<int> codes;
    for (int i = 0; i < 14; ++i) {
        const std::string f = TickFrame();
        if (!f.empty()) {
            codes.push_back(Hex(f)[2]);
            AnswerLast();
        }
    }
    EXPECT_EQ(codes, (std::vector<int>{2, 3, 26, 1, 20, 13, 18}));
}

TEST_F(SyncTest, MissingZeroPositionsAreReadInOrder) {
    state.received.UZP[1] = false;
    state.received.UZP[2] = false;
    EXPECT_EQ(TickFrame(), "F1 F1 0E 00 00 00 00 0E");
    EXPECT_EQ(TickFrame(), "F1 F1 0E 00 00 00 00 0E");  // again until it arrives
    AnswerLast();
    EXPECT_EQ(TickFrame(), "");  // refresh
    EXPECT_EQ(TickFrame(), "F1 F1 0F 00 00 00 00 0F");
}

TEST_F(SyncTest, RunningAcquisitionStopsStatusPollsButNotWrites) {
    state.Device.GO = true;
    for (int i = 0; i < 20; ++i) EXPECT_EQ(TickFrame(), "");
    EXPECT_EQ(view.text["Label66"], "praca");
    state.Set.LED = 1;
    EXPECT_EQ(TickFrame(), "F2 F2 0C 01 00 00 00 0D");
    state.deviceReady = false;
    view.text["Label66"] = "x";
    sync.Tick();
    EXPECT_EQ(view.text["Label66"], "x");  // GO without a ready device: unchanged
}

// " wyzeruj cykle" takes a tick of its own, goes out even when no measurement has
// reported cycles yet, and ends with the indicator's confirmation (or a measurement
// showing 0); the parameter write waiting behind it follows on the next tick.
TEST_F(SyncTest, CycleResetGoesOutOnceAtLeastAndEndsWithItsConfirmation) {
    state.statusCountdown = 100;
    state.RequestCycleReset(1);  // cycles[1] is 0: nothing has been measured yet
    state.Set.LED = 4;
    EXPECT_EQ(TickFrame(), "F2 F2 1C 00 00 00 00 1C");
    EXPECT_EQ(TickFrame(), "F2 F2 0C 04 00 00 00 10");  // sent once, count 0: done
    EXPECT_FALSE(state.cycleResetRequest[1]);

    state.RequestCycleReset(2);
    state.cycles[2] = 5;
    EXPECT_EQ(TickFrame(), "F2 F2 1D 00 00 00 00 1D");
    EXPECT_EQ(TickFrame(), "F2 F2 1D 00 00 00 00 1D");  // unconfirmed, count still 5
    AnswerLast();
    EXPECT_FALSE(state.cycleResetRequest[2]);
    EXPECT_EQ(state.cycles[2], 0.0f);
    EXPECT_NE(TickFrame(), "F2 F2 1D 00 00 00 00 1D");
}

TEST_F(SyncTest, RefreshFillsThePanelFromStan) {
    state.typeName = "";
    state.hardwareVersion = 12;
    state.Stan.OnTime = 100;
    state.Stan.PK1 = 1.23456f;
    state.Stan.PK2 = 90.0f;
    state.Stan.Q_NR = 2;
    state.Stan.Beep = 1;
    sync.RefreshDevicePanel();
    EXPECT_EQ(view.text["Label63"], "(brak)");
    EXPECT_EQ(view.text["Label64"], "(brak)");
    EXPECT_EQ(view.text["Edit6"], "1,235");
    EXPECT_EQ(view.text["Edit7"], "90");
    EXPECT_EQ(view.activeSensor, 2);
    EXPECT_TRUE(view.beep);
    state.typeName = "KT210V";
    state.softwareVersion = 34;
    sync.RefreshDevicePanel();
    EXPECT_EQ(view.text["Label63"], "KT210V");
    EXPECT_EQ(view.text["Label64"], "Hardware: 1.2 , Software: 3.4");
}

TEST_F(SyncTest, DumpListsSeventeenLinesWhileTheMonitorIsShown) {
    sync.Tick();
    EXPECT_TRUE(log.parameterLines.empty());
    log.visible = true;
    state.Set.PK1 = 0.1f;
    state.Stan.OnTime = 4000000000u;
    state.Device.bledna_transmisja = 1;
    state.Device.GO = true;
    state.deviceReady = false;
    sync.Tick();
    ASSERT_EQ(log.parameterLines.size(), 17u);
    EXPECT_EQ(log.parameterLines[0], "Set.LED=0 , Stan.LED=0");
    EXPECT_EQ(log.parameterLines[1], "Set.OnTime=0 , Stan.OnTime=4000000000");
    EXPECT_EQ(log.parameterLines[2], "Set.PK1=0,100000001490116 , Stan.PK1=0");
    EXPECT_EQ(log.parameterLines[8], "Set.COEF[0]=0 , Stan.COEF[0]=0");
    EXPECT_EQ(log.parameterLines[13], "Set.UZP[2]=0 , Stan.UZP[2]=0");
    EXPECT_EQ(log.parameterLines[14], "Device.GO=1");
    EXPECT_EQ(log.parameterLines[15], "Device.zapytanie=0");
    EXPECT_EQ(log.parameterLines[16], "Device.bledna_transmisja=1");
    sync.Tick();
    EXPECT_EQ(log.parameterLines.size(), 17u);  // cleared and rewritten
}

TEST_F(SyncTest, AdoptedValuesCompareEqualEvenWhenNotRepresentable) {
    state.Stan.PK1 = 0.1f;
    state.Stan.COEF[0] = 1.001f;
    state.Stan.Offset[1] = -359.999f;
    state.Stan.OnTime = 77;
    state.AdoptDeviceValues();
    state.statusCountdown = 100;
    for (int i = 0; i < 5; ++i) EXPECT_EQ(TickFrame(), "");
}

}  // namespace
