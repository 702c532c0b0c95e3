#include <gtest/gtest.h>

#include <map>

#include "ConnectionWizard.h"
#include "Decoder.h"
#include "Fakes.h"

using namespace kt::device;
using kt::test::FakeDeviceView;
using kt::test::FakeDialogs;
using kt::test::FakeWizardView;
using kt::test::Hex;
using kt::test::RecordingSink;

namespace {

class WizardTest : public ::testing::Test {
protected:
    DeviceState state;
    RecordingSink port;
    FakeDeviceView deviceView;
    FakeDialogs dialogs;
    FakeWizardView view;
    FrameSender sender{port, nullptr};
    SyncCycle sync{state, sender, deviceView, nullptr, NumberFormat{','}};
    Decoder decoder{state, deviceView, dialogs, nullptr, NumberFormat{','}, "/start"};
    ConnectionWizard wizard{state, port, sender, sync, dialogs};
    std::map<int, Payload> device;  // what a prompt indicator answers, by code
    bool answering = true;
    size_t answered = 0;

    void SetUp() override {
        port.portOpen = &state.portOpen;
        wizard.SetView(&view);
        device[cmd::DeviceType] = Payload{'K', 'T', 'V', 0};
        device[cmd::HardwareVersion] = BytePayload(12);
        device[cmd::SoftwareVersion] = BytePayload(34);
        device[cmd::Status] = Payload{1, 1, 0, 1};
        device[cmd::OnTime] = Int32Payload(250);
        device[cmd::LED] = BytePayload(5);
        device[cmd::PK1] = Float32Payload(0.1f);
        for (int c = 13; c <= 21; ++c) device[c] = Float32Payload(c == 19 ? 1.0f : 0.0f);
    }
    // Answers every frame sent since the last call, as a prompt device would.
    void AnswerPending() {
        for (; answered < port.frames.size(); ++answered) {
            if (!answering) continue;
            const auto req = Hex(port.frames[answered]);
            const auto f = BuildFrame(kHeaderAnswer, req[2],
                                      device.count(req[2]) ? device[req[2]] : ZeroPayload());
            decoder.ProcessBlock(f.bytes.data(), kFrameSize);
        }
    }
    // Ticks until the wizard goes idle; returns the number of ticks and the bar positions.
    int RunToEnd(std::vector<int>& bar, int limit = 200) {
        int ticks = 0;
        while (view.renders.back().timerEnabled && ticks < limit) {
            wizard.Tick();
            ++ticks;
            bar.push_back(view.renders.back().progress);
            AnswerPending();
        }
        return ticks;
    }
    const WizardDisplay& shown() { return view.renders.back(); }
};

TEST_F(WizardTest, PromptDeviceFinishesInFortyOneTicksWithTheDocumentedBar) {
    wizard.Connect();
    EXPECT_EQ(port.readSize, 64);
    EXPECT_EQ(port.opened, std::vector<std::string>{"COM1"});
    EXPECT_EQ(view.pausedMs, 100);
    EXPECT_TRUE(state.suppressOpenMessage);
    EXPECT_EQ(shown().progress, 10);
    std::vector<int> bar;
    const int ticks = RunToEnd(bar);
    EXPECT_EQ(ticks, 41);
    std::vector<int> expected{11, 12};
    for (int p = 13; p <= 31; ++p) expected.insert(expected.end(), {p, p});
    expected.push_back(0);  // the finishing tick shows 32 and at once 0
    EXPECT_EQ(bar, expected);
    EXPECT_TRUE(state.deviceReady);
    EXPECT_EQ(state.typeName, "KT210V");
    EXPECT_EQ(shown().hardwareLabel, "1.2");
    EXPECT_EQ(shown().softwareLabel, "3.4");
    EXPECT_FALSE(shown().abortVisible);
    EXPECT_FALSE(shown().connectEnabled);
    EXPECT_TRUE(shown().disconnectEnabled);
    for (int line = 1; line <= 19; ++line) {
        EXPECT_EQ(shown().icons[line], (StepIcon{StepPicture::Tick, true})) << "line " << line;
    }
    // Adopted: the synchronisation tick finds nothing to write, only a status poll.
    EXPECT_EQ(state.Set.OnTime, 250u);
    EXPECT_EQ(deviceView.text["Edit5"], "250");
    const size_t sent = port.frames.size();
    state.statusCountdown = 100;
    for (int i = 0; i < 10; ++i) sync.Tick();
    EXPECT_EQ(port.frames.size(), sent);
}

TEST_F(WizardTest, SilentDeviceFailsAtTheSixthTickOfTheTypeStep) {
    answering = false;
    wizard.Connect();
    wizard.Tick();  // step 1 sends the type query
    for (int t = 1; t <= 5; ++t) {
        wizard.Tick();
        EXPECT_FALSE(shown().icons[5].visible) << t;
    }
    wizard.Tick();  // sixth tick of step 2
    EXPECT_EQ(wizard.wizardStep(), 2);
    const auto& d = shown();
    for (int line : {1, 2, 3}) EXPECT_EQ(d.icons[line].picture, StepPicture::Tick) << line;
    for (int line : {4, 6}) EXPECT_EQ(d.icons[line].picture, StepPicture::Question) << line;
    for (int line = 7; line <= 19; ++line) {
        EXPECT_EQ(d.icons[line], (StepIcon{StepPicture::Failed, true})) << line;
    }
    EXPECT_EQ(d.icons[5].picture, StepPicture::Failed);
    // The step's line ("Wyszukiwanie urządzenia") says that the port gave no answer.
    EXPECT_EQ(d.noAnswerLabel, 5);
    EXPECT_EQ(d.noAnswerPort, "COM1");
    EXPECT_TRUE(d.labelVisible[23]);
    EXPECT_TRUE(d.connectEnabled);
    EXPECT_TRUE(d.abortVisible);
    // The type query keeps going out every tick.
    int queries = 0;
    for (const auto& f : port.frames) queries += f == "F1 F1 20 00 00 00 00 20";
    EXPECT_EQ(queries, 7);
    // A late answer resumes the steps and the run completes.
    answering = true;
    answered = port.frames.size() - 1;
    AnswerPending();
    std::vector<int> bar;
    RunToEnd(bar);
    EXPECT_TRUE(state.deviceReady);
    EXPECT_EQ(shown().noAnswerLabel, 0);
}

TEST_F(WizardTest, OtherStepsFailOnTheirTenthTick) {
    device.erase(cmd::HardwareVersion);
    device[cmd::HardwareVersion] = BytePayload(0);  // never non-zero
    wizard.Connect();
    wizard.Tick();
    AnswerPending();
    wizard.Tick();  // type step succeeds; step 3 counts from 1
    AnswerPending();
    for (int t = 1; t <= 9; ++t) {  // step 3's own ticks, each sending its read
        wizard.Tick();
        AnswerPending();
        EXPECT_FALSE(shown().icons[9].visible) << t;
    }
    EXPECT_EQ(shown().noAnswerLabel, 0);
    wizard.Tick();  // the tenth
    EXPECT_EQ(shown().icons[9], (StepIcon{StepPicture::Failed, true}));
    EXPECT_EQ(shown().icons[7].picture, StepPicture::Question);
    EXPECT_EQ(shown().noAnswerLabel, 10);  // behind "Hardware: V"
    wizard.Connect();                      // a new attempt starts without the note
    EXPECT_EQ(shown().noAnswerLabel, 0);
    EXPECT_EQ(shown().noAnswerPort, "");
}

TEST_F(WizardTest, ReconnectPassesStatusAndVersionStepsAtOnce) {
    wizard.Connect();
    std::vector<int> bar;
    RunToEnd(bar);
    wizard.Disconnect();
    EXPECT_FALSE(state.deviceReady);
    EXPECT_TRUE(shown().connectEnabled);
    EXPECT_EQ(port.closes, 1);
    port.frames.clear();
    answered = 0;
    wizard.Connect();
    bar.clear();
    EXPECT_EQ(RunToEnd(bar), 41 - 3);
    for (const auto& f : port.frames) {
        const int code = Hex(f)[2];
        EXPECT_TRUE(code != 34 && code != 35 && code != 26) << f;
    }
}

TEST_F(WizardTest, UnrecognisedTypeWarnsOnceAndGoesOn) {
    device[cmd::DeviceType] = Payload{'X', 'Y', 'Z', 0};
    state.typeName = "<nierozpoznane>";
    wizard.Connect();
    std::vector<int> bar;
    RunToEnd(bar);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0], "KT210V-PC|" + ConnectionWizard::WarningUnrecognised());
    EXPECT_EQ(state.typeName, "<nierozpoznane>");
    EXPECT_TRUE(state.deviceReady);
}

TEST_F(WizardTest, PortThatCannotBeOpenedLeavesOnlyTheAbortButton) {
    port.openResult = 8;
    view.portText = "COM99";
    // The box comes over the port's line as it stood; the reset follows it.
    std::optional<WizardDisplay> underTheBox;
    dialogs.whileShown = [&] { underTheBox = shown(); };
    wizard.Connect();
    ASSERT_TRUE(underTheBox);
    EXPECT_EQ(underTheBox->icons[2].picture, StepPicture::Question);
    EXPECT_TRUE(underTheBox->icons[2].visible);
    EXPECT_EQ(underTheBox->portLabel, "COM99");
    EXPECT_EQ(dialogs.messages,
              std::vector<std::string>{"KT210V-PC|Nie znaleziono wybranego portu COM"});
    // The box keeps its short text; its details say which port and why.
    ASSERT_EQ(dialogs.details.size(), 1u);
    EXPECT_NE(dialogs.details[0].find("Port: COM99"), std::string::npos);
    EXPECT_NE(dialogs.details[0].find("No such file or directory"), std::string::npos);
    const auto& d = shown();
    for (int line = 1; line <= 19; ++line) EXPECT_FALSE(d.icons[line].visible);
    for (bool v : d.labelVisible) EXPECT_FALSE(v);
    EXPECT_TRUE(d.abortVisible);
    EXPECT_TRUE(d.connectEnabled);
    EXPECT_FALSE(state.suppressOpenMessage);
    EXPECT_EQ(state.portName, "COM99");
    EXPECT_EQ(wizard.wizardStep(), 0);
    wizard.Abort();
    for (int line = 1; line <= 19; ++line) {
        EXPECT_EQ(shown().icons[line], (StepIcon{StepPicture::Failed, true}));
    }
    EXPECT_FALSE(shown().abortVisible);
    EXPECT_EQ(port.closes, 0);  // the port never opened
}

TEST_F(WizardTest, AbortClosesTheOpenPortAndKeepsTheBar) {
    wizard.Connect();
    for (int i = 0; i < 5; ++i) {
        wizard.Tick();
        AnswerPending();
    }
    const int bar = shown().progress;
    wizard.Abort();
    EXPECT_EQ(port.closes, 1);
    EXPECT_FALSE(state.portOpen);
    EXPECT_FALSE(state.deviceReady);
    EXPECT_FALSE(shown().timerEnabled);
    EXPECT_EQ(shown().progress, bar);
    EXPECT_EQ(shown().icons[1].picture, StepPicture::Tick);
    EXPECT_EQ(shown().icons[19].picture, StepPicture::Failed);
}

// The channel alone says whether its worker runs: a line that hangs up while the steps
// go on must not be marked open again when they finish, or "połącz" would refuse for good.
TEST_F(WizardTest, LineLostDuringTheStepsStaysClosedAfterTheFinish) {
    wizard.Connect();
    EXPECT_TRUE(state.portOpen);
    std::vector<int> bar;
    for (int i = 0; i < 20; ++i) {
        wizard.Tick();
        AnswerPending();
    }
    state.portOpen = false;  // the worker ended on a hang-up
    RunToEnd(bar);
    EXPECT_TRUE(state.deviceReady);
    EXPECT_FALSE(state.portOpen);
}

// A port lost under the program: a run in progress stops where it is (its last answers
// may already be in, yet the device must not become ready on a closed port), and after a
// finished run "Połącz" is offered at once instead of a "Rozłącz" with nothing to close.
TEST_F(WizardTest, PortLostStopsTheStepsAndOffersConnectAgain) {
    // Ticks before the loss (a reconnection takes 38), or none: after the finish.
    for (const int ticksBeforeLoss : {1, 20, 37, 0}) {
        SCOPED_TRACE(ticksBeforeLoss);
        wizard.Connect();
        std::vector<int> bar;
        if (ticksBeforeLoss == 0) RunToEnd(bar);
        for (int i = 0; i < ticksBeforeLoss; ++i) {
            wizard.Tick();
            AnswerPending();
        }
        const bool finished = state.deviceReady;
        EXPECT_EQ(finished, ticksBeforeLoss == 0);
        state.portOpen = false;  // the worker ended on a hang-up
        state.deviceReady = false;
        const size_t sent = port.frames.size();
        wizard.PortLost();
        EXPECT_EQ(wizard.wizardStep(), 0);
        EXPECT_FALSE(shown().timerEnabled);
        EXPECT_FALSE(shown().abortVisible);
        EXPECT_TRUE(shown().connectEnabled);
        EXPECT_FALSE(shown().disconnectEnabled);
        if (!finished) {  // the lines not reached show the failed sign
            EXPECT_EQ(shown().icons[19], (StepIcon{StepPicture::Failed, true}));
        }
        for (int i = 0; i < 5; ++i) wizard.Tick();
        EXPECT_FALSE(state.deviceReady);
        EXPECT_EQ(port.frames.size(), sent);  // nothing more is polled
        // The cable is back: "Połącz" runs the steps through.
        wizard.Connect();
        RunToEnd(bar);
        EXPECT_TRUE(state.deviceReady);
        EXPECT_TRUE(state.portOpen);
    }
}

TEST_F(WizardTest, StartingAConnectionClearsReadinessAndReceivedFlagsOnly) {
    state.deviceReady = true;
    state.received.LED = true;
    state.statusSeen = true;
    state.hardwareVersion = 9;
    state.Stan.LED = 3;
    wizard.Connect();
    EXPECT_FALSE(state.deviceReady);
    EXPECT_FALSE(state.received.LED);
    EXPECT_TRUE(state.statusSeen);
    EXPECT_EQ(state.hardwareVersion, 9u);
    EXPECT_EQ(state.Stan.LED, 3);
}

}  // namespace
