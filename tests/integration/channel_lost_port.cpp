// A port lost under the program (the simulated cable pulled): the device is marked not
// connected, a running acquisition stops, the log says why, and no frame offered after
// the loss is written when the port is opened again.
#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "DeviceCore.h"
#include "Fakes.h"
#include "PtyServer.h"
#include "SilentViews.h"
#include "channel_pty.h"

namespace kt::device {
namespace {

using test::NowMs;

class LostPortTest : public ::testing::Test {
protected:
    test::TempDir dir;
    sim::PtyServer server;
    std::mutex mutex;
    std::vector<std::string> requests;
    BlockingUiQueue queue;
    SilentDeviceView view;
    test::FakeDialogs dialogs;
    test::FakeWarnings log;
    std::unique_ptr<DeviceCore> core;
    int lostCalls = 0;

    void SetUp() override {
        server.SetTrafficLog([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(mutex);
            if (line.rfind("<< ", 0) == 0) requests.push_back(line.substr(3));
        });
        ASSERT_TRUE(server.Start(dir.path() + "/COM1"));
        core = std::make_unique<DeviceCore>(
            DeviceCoreSetup{queue, view, dialogs, log, NumberFormat{','}, dir.path()});
        core->SetPortLostHandler([this] { ++lostCalls; });
        ASSERT_EQ(Open(), OPEN_OK);
    }
    void TearDown() override {
        core.reset();
        server.Stop();
    }
    int Open() {
        core->Port().SetReadSize(64);
        return core->Port().OpenPort("COM1", 57600, 0, 8, false);
    }
    // Hands events to the core until one of `kind` has been handled.
    bool HandleUntil(ChannelEvent::Kind kind, int timeoutMs = 3000) {
        ChannelEvent event;
        const double end = NowMs() + timeoutMs;
        while (NowMs() < end) {
            if (!queue.Pop(event, 20)) continue;
            core->HandleEvent(event);
            if (event.kind == kind) return true;
        }
        return false;
    }
    bool Requested(const std::string& prefix) {
        std::lock_guard<std::mutex> lock(mutex);
        for (const auto& r : requests) {
            if (r.rfind(prefix, 0) == 0) return true;
        }
        return false;
    }
};

TEST_F(LostPortTest, PulledCablePausesTheRunAndNoStaleFrameWaitsForTheNextOpen) {
    DeviceState& s = core->State();
    s.deviceReady = true;
    s.Device.GO = true;
    server.Unplug();
    // Wait for the worker to end, then offer a frame before the close is handled: with no
    // worker it would wait in the send buffer and go out at the next open.
    for (int i = 0; i < 300 && core->Channel().WorkerRunning(); ++i) usleep(10000);
    ASSERT_FALSE(core->Channel().WorkerRunning());
    core->Sender().SendWriteCommand(cmd::LED, BytePayload(9));
    ASSERT_TRUE(HandleUntil(ChannelEvent::Kind::Closed));

    EXPECT_FALSE(s.deviceReady);
    EXPECT_FALSE(s.Device.GO);
    EXPECT_EQ(lostCalls, 1);
    EXPECT_EQ(core->PortsLost(), 1u);
    const auto lines = log.Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "warning: port COM1 closed: the line hung up");
    EXPECT_EQ(lines[1], "warning: port COM1 lost: device marked not connected, acquisition paused");

    ASSERT_TRUE(server.Replug());
    ASSERT_EQ(Open(), OPEN_OK);
    core->Sender().SendReadCommand(cmd::LED, ZeroPayload());
    ASSERT_TRUE(HandleUntil(ChannelEvent::Kind::Data));
    EXPECT_TRUE(Requested("F1 F1 0C"));
    EXPECT_FALSE(Requested("F2 F2 0C 09"));
}

// After the loss has been handled, whatever is still offered (the wizard's polls, a
// factory reset pressed while the cable is out) is dropped, not kept for the next open;
// the wizard stops and offers "Połącz".
TEST_F(LostPortTest, FramesOfferedWhileThePortIsGoneNeverReachTheNextDevice) {
    DeviceState& s = core->State();
    s.deviceReady = true;
    server.Unplug();
    ASSERT_TRUE(HandleUntil(ChannelEvent::Kind::Closed));
    const WizardDisplay& wizard = core->Wizard().display();
    EXPECT_TRUE(wizard.connectEnabled);
    EXPECT_FALSE(wizard.disconnectEnabled);
    EXPECT_FALSE(wizard.timerEnabled);
    const uint64_t handed = core->FramesHanded();
    core->Sender().SendWriteCommand(cmd::RestoreDefaults, ZeroPayload());
    core->Sender().SendReadCommand(cmd::Status, ZeroPayload());
    EXPECT_EQ(core->FramesHanded(), handed);

    ASSERT_TRUE(server.Replug());
    ASSERT_EQ(Open(), OPEN_OK);
    core->Sender().SendReadCommand(cmd::LED, ZeroPayload());
    ASSERT_TRUE(HandleUntil(ChannelEvent::Kind::Data));
    EXPECT_FALSE(Requested("F2 F2 24"));
    EXPECT_FALSE(Requested("F1 F1 1A"));
    std::lock_guard<std::mutex> lock(mutex);
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.front(), "F1 F1 0C 00 00 00 00 0C");  // the first thing written
}

TEST_F(LostPortTest, AClosingTheProgramAsksForIsNoLoss) {
    DeviceState& s = core->State();
    s.deviceReady = true;
    core->Port().ClosePort();
    ASSERT_TRUE(HandleUntil(ChannelEvent::Kind::Closed));
    EXPECT_TRUE(s.deviceReady);  // what the wizard's disconnect does is its own business
    EXPECT_EQ(lostCalls, 0);
    EXPECT_TRUE(log.Lines().empty());
}

}  // namespace
}  // namespace kt::device
