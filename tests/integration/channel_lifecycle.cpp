// The worker's life: prompt close, hang-up of the line, idle cost, and what a close
// leaves behind for the next worker (a stop request, a queued block).
#include <gtest/gtest.h>
#include <termios.h>

#include <memory>

#include "Fakes.h"
#include "channel_pty.h"

namespace kt::device {
namespace {

using test::ChannelTest;
using test::NowMs;
using test::PtyPair;
using test::Recorder;
using test::ToHex;

const uint8_t kFrame[] = {0xF1, 0xF1, 0x20, 0, 0, 0, 0, 0x20};
const uint8_t kOther[] = {0xF2, 0xF2, 0x01, 2, 0, 0, 0, 0x03};

TEST_F(ChannelTest, ClosePortReturnsPromptlyEvenInTheMiddleOfABlock) {
    ASSERT_EQ(Open(64), OPEN_OK);
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_CONNECTED, 1, 2000));
    pty.Write({1, 2, 3});
    usleep(10000);  // the read has its first bytes and waits for more
    double start = NowMs();
    channel.ClosePort();
    EXPECT_LT(NowMs() - start, 500);
    EXPECT_FALSE(channel.WorkerRunning());
    // The close is reported before ClosePort returns, and it is the last word.
    auto events = recorder.Events();
    ASSERT_FALSE(events.empty());
    EXPECT_EQ(events.back().code, SERIAL_DISCONNECTED);
    usleep(100000);
    EXPECT_EQ(recorder.Events().size(), events.size());
}

TEST_F(ChannelTest, IdleWorkerUsesNoCpuAndAHangUpEndsItAsAClose) {
    ASSERT_EQ(Open(64), OPEN_OK);
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_CONNECTED, 1, 2000));
    clockid_t workerClock = recorder.WorkerClock();
    double cpuBefore = Recorder::ThreadCpuMs(workerClock);
    usleep(1000000);
    EXPECT_LT(Recorder::ThreadCpuMs(workerClock) - cpuBefore, 30);

    pty.CloseMaster();
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DISCONNECTED, 1, 2000));
    EXPECT_TRUE(recorder.WaitFor([&](const auto&) { return !channel.WorkerRunning(); }, 2000));
    // Over its whole life, hang-up included, the worker hardly ran.
    EXPECT_LT(recorder.WorkerCpuAtCloseMs(), 100);
}

TEST_F(ChannelTest, AHangUpIsLoggedWithItsReasonAndACloseIsNot) {
    test::FakeWarnings warnings;
    channel.SetLog(&warnings);
    ASSERT_EQ(Open(64), OPEN_OK);
    channel.ClosePort();
    EXPECT_TRUE(warnings.Lines().empty());
    ASSERT_EQ(Open(64), OPEN_OK);
    pty.CloseMaster();
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DISCONNECTED, 2, 2000));
    EXPECT_EQ(warnings.Lines(),
              std::vector<std::string>{"warning: port COM1 closed: the line hung up"});
}

// The other end stops reading: the tty's output buffer fills and the write waits for
// room. The worker waits in poll, where the stop request reaches it, so the close ends
// well inside its 2 s and the worker is gone.
TEST_F(ChannelTest, CloseEndsPromptlyWhileTheOtherEndHasStoppedReading) {
    ASSERT_EQ(Open(64), OPEN_OK);
    std::vector<uint8_t> block(255, 0x55);
    int stalledFor = 0;
    for (int sent = 0; stalledFor < 20 && sent < 100000;) {
        const int before = recorder.CountOf(SERIAL_DATA_SENT);
        channel.Send(block.data(), static_cast<int>(block.size()));
        usleep(5000);
        if (recorder.CountOf(SERIAL_DATA_SENT) == before) {
            ++stalledFor;
        } else {
            stalledFor = 0;
            ++sent;
        }
    }
    ASSERT_EQ(stalledFor, 20);  // a write is stuck for want of room
    const double start = NowMs();
    channel.ClosePort();
    EXPECT_LT(NowMs() - start, 2000);
    EXPECT_FALSE(channel.WorkerRunning());
    EXPECT_EQ(recorder.Events().back().code, SERIAL_DISCONNECTED);
}

TEST_F(ChannelTest, HangUpWhileTheClientHoldsTheBufferStillEndsTheWorker) {
    recorder.HoldBuffer(true);
    ASSERT_EQ(Open(64), OPEN_OK);
    pty.Write({9});
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 1, 3000));
    pty.CloseMaster();
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DISCONNECTED, 1, 2000));
    EXPECT_LT(recorder.WorkerCpuAtCloseMs(), 100);
    channel.ClosePort();  // what the port menu does after the close: harmless now
}

TEST_F(ChannelTest, StopRequestLeftOverFromACloseWithoutWorkerIsDiscarded) {
    channel.ClosePort();  // nobody to stop
    ASSERT_EQ(Open(), OPEN_OK);
    pty.Write({0x33});
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 1, 3000));
    usleep(100000);
    EXPECT_TRUE(channel.WorkerRunning());
    EXPECT_EQ(recorder.CountOf(SERIAL_DISCONNECTED), 0);

    // The same after a hang-up has ended the worker and the caller closes on top.
    pty.CloseMaster();
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DISCONNECTED, 1, 2000));
    channel.ClosePort();
    PtyPair second;
    ASSERT_TRUE(second.ok());
    channel.SetBaseDirectory(second.dir());
    ASSERT_EQ(Open(), OPEN_OK);
    second.Write({0x44});
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 2, 3000));
    EXPECT_TRUE(channel.WorkerRunning());
    EXPECT_EQ(recorder.CountOf(SERIAL_DISCONNECTED), 1);
    EXPECT_EQ(recorder.CountOf(SERIAL_CONNECTED), 2);
    channel.ClosePort();
}

TEST_F(ChannelTest, BlockOfferedWithoutWorkerIsWrittenByTheNextOne) {
    channel.Send(kFrame, 8);
    channel.Send(kOther, 8);  // the first one is still waiting: dropped
    ASSERT_EQ(Open(), OPEN_OK);
    EXPECT_EQ(ToHex(pty.Read(8, 3000)), "F1 F1 20 00 00 00 00 20");
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_SENT, 1, 3000));
    EXPECT_TRUE(pty.Read(1, 150).empty());
    auto events = recorder.Events();
    EXPECT_EQ(events.front().code, SERIAL_CONNECTED);
}

TEST_F(ChannelTest, BlockHalfWrittenWhenTheWorkerStopsIsDropped) {
    ASSERT_EQ(Open(1), OPEN_OK);
    ASSERT_EQ(tcflow(pty.slave(), TCOOFF), 0);
    channel.Send(kFrame, 8);
    // The worker serves its requests before it reads again, so once a second block has
    // arrived after the Send it has taken the write, which now hangs on the stopped tty.
    pty.Write({1});
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 1, 3000));
    pty.Write({2});
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 2, 3000));
    channel.ClosePort();
    ASSERT_EQ(tcflow(pty.slave(), TCOON), 0);
    // Write busy was given up with the stuck block, so the next one is taken.
    channel.Send(kOther, 8);
    ASSERT_EQ(Open(), OPEN_OK);
    EXPECT_EQ(ToHex(pty.Read(8, 3000)), "F2 F2 01 02 00 00 00 03");
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_SENT, 1, 3000));
    EXPECT_TRUE(pty.Read(1, 150).empty());
    channel.ClosePort();
    EXPECT_EQ(recorder.CountOf(SERIAL_DATA_SENT), 1);
}

TEST(ChannelLifetime, DestroyingAnOpenChannelStopsItsWorker) {
    PtyPair pty;
    ASSERT_TRUE(pty.ok());
    Recorder recorder;
    {
        auto channel = std::make_unique<Tserial_event>();
        channel->SetBaseDirectory(pty.dir());
        recorder.Attach(*channel);
        ASSERT_EQ(channel->OpenPort("COM1", 57600, 0, 8, false), OPEN_OK);
        ASSERT_TRUE(recorder.WaitForCode(SERIAL_CONNECTED, 1, 2000));
    }
    EXPECT_EQ(recorder.CountOf(SERIAL_DISCONNECTED), 1);
    // The device is free again.
    Tserial_event next;
    next.SetBaseDirectory(pty.dir());
    EXPECT_EQ(next.OpenPort("COM1", 57600, 0, 8, false), OPEN_OK);
}

}  // namespace
}  // namespace kt::device
