#include <gtest/gtest.h>

#include "Decoder.h"
#include "Fakes.h"
#include "Frames.h"

using namespace kt::device;
using kt::test::FakeDeviceView;
using kt::test::FakeDialogs;
using kt::test::FakeLog;
using kt::test::Hex;

namespace {

class Counter : public MeasurementListener {
public:
    int frames = 0, updates = 0;
    void OnMeasurementFrame() override { ++frames; }
    void MeasurementUpdate() override { ++updates; }
};

class DecoderTest : public ::testing::Test {
protected:
    DeviceState state;
    FakeDeviceView view;
    FakeDialogs dialogs;
    FakeLog log;
    Counter listener;
    Decoder decoder{state, view, dialogs, &log, NumberFormat{','}, "/start"};

    void SetUp() override { decoder.SetMeasurementListener(&listener); }
    void Feed(const std::string& hex) {
        const auto bytes = Hex(hex);
        decoder.ProcessBlock(bytes.data(), static_cast<int>(bytes.size()));
    }
    void Answer(uint8_t code, const Payload& p) {
        const auto f = BuildFrame(kHeaderAnswer, code, p);
        decoder.ProcessBlock(f.bytes.data(), kFrameSize);
    }
};

TEST_F(DecoderTest, MultiplierAnswerSetsStanTheFlagsAndBothTexts) {
    Feed("F3 F3 13 00 00 80 3F D2");
    EXPECT_EQ(state.Stan.COEF[0], 1.0f);
    EXPECT_TRUE(state.received.COEF[0]);
    EXPECT_TRUE(state.refreshPending);
    EXPECT_EQ(view.text["Mnoznik.Edit6"], "1");
    EXPECT_EQ(view.text["Multiplier0"], "1");
    EXPECT_EQ(log.frameLines,
              std::vector<std::string>{"   <<Received Data: 19: 0 0 128 63 ,CRC=210<->210"});
}

TEST_F(DecoderTest, BadChecksumChangesNothingButLogsAfterTheReceivedLine) {
    Feed("F3 F3 13 00 00 80 3F D3");
    EXPECT_EQ(state.Stan.COEF[0], 0.0f);
    EXPECT_FALSE(state.received.COEF[0]);
    EXPECT_FALSE(state.refreshPending);
    ASSERT_EQ(log.frameLines.size(), 2u);
    EXPECT_EQ(log.frameLines[1], "  <<BAD CRC :(");
}

TEST_F(DecoderTest, BlocksThatAreNotExactlyOneAnswerAreIgnoredWithoutTrace) {
    Feed("F1 F1 0C 05 00 00 00 11");     // echo of a command
    Feed("F5 F5 0C 05 00 00 00 11");     // equal header bytes, not an answer
    Feed("F3 F3 0C 05 00 00 00 11 00");  // answer plus a stray byte
    Feed("F3 F2 0C 05 00 00 00 11");     // header bytes differ
    Feed("F3 F3 0C 05 00 00 00");        // cut short
    Feed("");
    EXPECT_EQ(state.Stan.LED, 0);
    EXPECT_FALSE(state.refreshPending);
    EXPECT_TRUE(log.frameLines.empty());
}

TEST_F(DecoderTest, InvalidCodeIsLoggedAndStillAsksForARefresh) {
    Answer(25, ZeroPayload());
    Answer(37, ZeroPayload());
    EXPECT_TRUE(state.refreshPending);
    EXPECT_EQ(log.frameLines.size(), 4u);
    EXPECT_EQ(log.frameLines[1], "  <<BAD COMMAND :(");
    log.frameLines.clear();
    Answer(31, ZeroPayload());  // accepted and ignored
    EXPECT_EQ(log.frameLines.size(), 1u);
}

TEST_F(DecoderTest, HiddenMonitorGetsNoLines) {
    log.visible = false;
    Feed("F3 F3 13 00 00 80 3F D3");
    Answer(0, ZeroPayload());
    EXPECT_TRUE(log.frameLines.empty());
}

TEST_F(DecoderTest, ParameterAnswersFillStanAndTheirFlags) {
    Answer(cmd::Decp, BytePayload(3));
    Answer(cmd::Beep, BytePayload(1));
    Answer(cmd::OnTime, Int32Payload(32732));
    Answer(cmd::PK1, Float32Payload(10.0006f));
    Answer(cmd::PK2, Float32Payload(-5.5f));
    Answer(cmd::LED, BytePayload(9));
    EXPECT_EQ(state.Stan.decp, 3);
    EXPECT_EQ(state.Stan.Beep, 1);
    EXPECT_EQ(state.Stan.OnTime, 32732u);
    EXPECT_EQ(state.Stan.PK1, 10.0006f);  // thresholds are stored as sent
    EXPECT_EQ(state.Stan.PK2, -5.5f);
    EXPECT_EQ(state.Stan.LED, 9);
    const ReceivedFlags& r = state.received;
    EXPECT_TRUE(r.decp && r.Beep && r.OnTime && r.PK1 && r.PK2 && r.LED);
    EXPECT_FALSE(r.mode);
}

TEST_F(DecoderTest, ModeAnswerSelectsTheItemAndFollowsWithThePicture) {
    Answer(cmd::Mode, BytePayload(2));
    EXPECT_EQ(view.modeSelection, 2);
    EXPECT_EQ(view.picturePath, "/start/Grafika/MODE_2.jpg");
    EXPECT_TRUE(view.pictureVisible);
    Answer(cmd::Mode, BytePayload(4));
    EXPECT_EQ(view.picturePath, "/start/Grafika/MODE_4.jpg");
    EXPECT_FALSE(view.pictureVisible);
    Answer(cmd::Mode, BytePayload(7));
    EXPECT_EQ(view.modeSelection, -1);
    EXPECT_EQ(view.picturePath, "/start/Grafika/MODE_4.jpg");  // unchanged
    EXPECT_TRUE(view.pictureVisible);
    EXPECT_EQ(state.Stan.mode, 7);
}

TEST_F(DecoderTest, FirstStatusAnswerLeavesActiveBoxesLaterOnesSetThem) {
    Answer(cmd::Status, Payload{1, 0, 5, 2});
    EXPECT_EQ(view.activeChanges, 0);
    EXPECT_TRUE(state.statusSeen && state.received.status);
    EXPECT_EQ(state.sensorCount, 2);
    EXPECT_EQ(state.Stan.Q_NR, 2u);
    EXPECT_FALSE(state.refreshPending);  // a status answer does not set off a refresh
    EXPECT_EQ(view.text["GroupBox0"], "Czujnik nr 0 - gotowy");
    EXPECT_EQ(view.text["GroupBox1"], "Czujnik nr 1 - nie wykryto");
    EXPECT_EQ(view.text["GroupBox2"], "Czujnik nr 2 - gotowy");
    EXPECT_EQ(view.text["Label65"], "2");
    Answer(cmd::Status, Payload{0, 1, 0, 0});
    EXPECT_EQ(view.activeChanges, 3);
    EXPECT_FALSE(view.active[0]);
    EXPECT_TRUE(view.active[1]);
}

TEST_F(DecoderTest, ZeroPositionAnswersTakeSetOnlyOncePerConnectionAndOnZeroing) {
    Answer(cmd::UZP0 + 1, Float32Payload(12.34567f));
    EXPECT_FLOAT_EQ(state.Stan.UZP[1], 12.346f);
    EXPECT_EQ(state.Set.UZP[1], state.Stan.UZP[1]);
    EXPECT_EQ(view.text["Zero1"], "12,346");
    EXPECT_EQ(view.text["Wartosc.Edit1"], "12,346");
    state.Set.UZP[1] = 50;
    Answer(cmd::UZP0 + 1, Float32Payload(13.0f));
    EXPECT_EQ(state.Set.UZP[1], 50.0f);  // the operator's wish stays
    Answer(cmd::SetZero0 + 1, Float32Payload(99.5f));
    EXPECT_EQ(state.Set.UZP[1], 99.5f);
    EXPECT_EQ(view.text["Zero1"], "99,5");
}

TEST_F(DecoderTest, SensorZeroReachesTheValueDialogOnlyWhenItEditsAZeroPosition) {
    view.valueDialogCaption = "Offset =";
    Answer(cmd::UZP0, Float32Payload(1.5f));
    EXPECT_EQ(view.text.count("Wartosc.Edit1"), 0u);
    view.valueDialogCaption = "Poz. zero =";
    Answer(cmd::UZP0, Float32Payload(2.5f));
    EXPECT_EQ(view.text["Wartosc.Edit1"], "2,5");
}

TEST_F(DecoderTest, OffsetAnswerIsRoundedAndShown) {
    Answer(cmd::Offset0 + 2, Float32Payload(-0.0004f));
    EXPECT_EQ(state.Stan.Offset[2], 0.0f);
    Answer(cmd::Offset0 + 2, Float32Payload(3.14159f));
    EXPECT_FLOAT_EQ(state.Stan.Offset[2], 3.142f);
    EXPECT_EQ(view.text["Offset2"], "3,142");
    EXPECT_TRUE(state.received.Offset[2]);
}

TEST_F(DecoderTest, IdentityAnswers) {
    Answer(cmd::DeviceType, Payload{'K', 'T', 'V', 0});
    EXPECT_EQ(state.typeStatus, TypeStatus::Recognised);
    Answer(cmd::DeviceType, Payload{'K', 'T', 'X', 0});
    EXPECT_EQ(state.typeStatus, TypeStatus::NotRecognised);
    Answer(cmd::HardwareVersion, BytePayload(12));
    Answer(cmd::SoftwareVersion, BytePayload(34));
    EXPECT_EQ(state.hardwareVersion, 12u);
    EXPECT_EQ(state.softwareVersion, 34u);
}

TEST_F(DecoderTest, MeasurementFrameReadsPresentSensorsOnly) {
    state.cycles[0] = 7;
    state.sensorPresent[1] = true;
    // S = 0x05: sensors 0 and 2, no cycles; angle 0 = 1.0, angle 2 = 2.0.
    Feed("F4 F4 05 00 00 80 3F 00 00 00 40");
    EXPECT_EQ(listener.frames, 1);
    EXPECT_EQ(listener.updates, 1);
    EXPECT_TRUE(state.sensorPresent[0] && !state.sensorPresent[1] && state.sensorPresent[2]);
    EXPECT_EQ(state.angle[0], 1.0f);
    EXPECT_EQ(state.angle[2], 2.0f);
    EXPECT_EQ(state.cycles[0], 7.0f);
    EXPECT_TRUE(state.refreshPending);  // presence changed
    EXPECT_EQ(view.text["GroupBox1"], "Czujnik nr 1 - nie wykryto");
}

TEST_F(DecoderTest, MeasurementFrameWithCyclesAndOutputs) {
    state.Device.zapytanie = true;
    // S = 0x39: sensor 0, cycles, PK1 and PK2 on; angle 1.0, cycles 2.0.
    Feed("F4 F4 39 00 00 80 3F 00 00 00 40");
    EXPECT_EQ(state.angle[0], 1.0f);
    EXPECT_EQ(state.cycles[0], 2.0f);
    EXPECT_TRUE(state.outputOn[0] && state.outputOn[1]);
    EXPECT_FALSE(state.Device.zapytanie);
}

// A torn frame is a lost answer: taking its complete values would make a sample of fresh
// and stale values that the indicator never sent.
TEST_F(DecoderTest, MeasurementFrameShorterThanItsStatusAnnouncesIsIgnored) {
    state.angle[0] = 4;
    state.angle[1] = 5;
    state.Device.zapytanie = true;
    // S = 0x33 (two angles, both outputs on) but only the first angle and two bytes of the
    // second came; S = 0x09 (one angle with its cycle count) without the count.
    for (const char* torn : {"F4 F4 03 00 00 80 3F 00 00", "F4 F4 33 00 00 80 3F",
                             "F4 F4 09 00 00 80 3F", "F4 F4 01", "F4 F4"}) {
        Feed(torn);
        SCOPED_TRACE(torn);
        EXPECT_EQ(listener.frames, 0);
        EXPECT_EQ(listener.updates, 0);
        EXPECT_EQ(state.angle[0], 4.0f);
        EXPECT_EQ(state.angle[1], 5.0f);
        EXPECT_FALSE(state.outputOn[0] || state.outputOn[1]);
        EXPECT_FALSE(state.sensorPresent[0]);
        EXPECT_TRUE(state.Device.zapytanie);  // the request is still waiting for its answer
    }
    // The whole frame, and one with bytes after it, are taken.
    Feed("F4 F4 03 00 00 80 3F 00 00 00 40");
    Feed("F4 F4 01 00 00 40 40 AA");
    EXPECT_EQ(listener.updates, 2);
    EXPECT_EQ(state.angle[0], 3.0f);
    EXPECT_EQ(state.angle[1], 2.0f);
}

TEST_F(DecoderTest, OpenedAndClosedEventsShowTheirMessages) {
    ChannelEvent e;
    e.kind = ChannelEvent::Kind::Opened;
    state.portName = "COM3";
    decoder.Process(e);
    state.suppressOpenMessage = true;
    decoder.Process(e);
    EXPECT_FALSE(state.suppressOpenMessage);
    e.kind = ChannelEvent::Kind::Closed;
    decoder.Process(e);
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[0], "OK|Otwarto port COM3\n Predkosc: 57600 kb/s");
    EXPECT_EQ(dialogs.messages[1], "OK|Zamknieto port COM3");
}

}  // namespace
