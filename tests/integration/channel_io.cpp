// Reading and writing over a pty: block boundaries by size and by the end-of-burst pause, the
// buffer hand-back, and the rules for dropped sends.
#include <gtest/gtest.h>
#include <termios.h>

#include <numeric>

#include "channel_pty.h"

namespace kt::device {
namespace {

using test::ChannelTest;
using test::NowMs;
using test::ToHex;

std::vector<uint8_t> Sequence(int count, int first = 0) {
    std::vector<uint8_t> v(static_cast<size_t>(count));
    std::iota(v.begin(), v.end(), static_cast<uint8_t>(first));
    return v;
}

TEST_F(ChannelTest, BlockCompletesWhenTheReadSizeIsReached) {
    ASSERT_EQ(Open(64), OPEN_OK);
    pty.Write(Sequence(100));
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 2, 3000));
    auto blocks = recorder.Blocks();
    ASSERT_EQ(blocks.size(), 2u);
    EXPECT_EQ(blocks[0], Sequence(64));
    EXPECT_EQ(blocks[1], Sequence(36, 64));
}

TEST_F(ChannelTest, DefaultReadSizeDeliversEveryByteAsItsOwnBlock) {
    channel.SetReadSize(1);
    ASSERT_EQ(channel.OpenPort("COM1", 57600, 0, 8, false), OPEN_OK);
    pty.Write({0xA1, 0xA2, 0xA3});
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 3, 3000));
    auto blocks = recorder.Blocks();
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(ToHex(blocks[0]), "A1");
    EXPECT_EQ(ToHex(blocks[2]), "A3");
}

// On a loaded machine the worker may be woken late; a trial counts only when the first
// block was delivered before the second burst was written.
TEST_F(ChannelTest, BurstsEightyMsApartArriveAsTwoBlocks) {
    ASSERT_EQ(Open(64), OPEN_OK);
    int conclusive = 0;
    for (int trial = 0; trial < 6 && conclusive == 0; ++trial) {
        size_t before = recorder.Blocks().size();
        auto first = Sequence(8, 16 * trial);
        auto second = Sequence(5, 16 * trial + 8);
        double firstWritten = NowMs();
        pty.Write(first);
        usleep(80000);
        double secondWritten = NowMs();
        pty.Write(second);
        ASSERT_TRUE(recorder.WaitFor(
            [&](const auto& e) {
                int bytes = 0;
                for (const auto& ev : e) bytes += static_cast<int>(ev.bytes.size());
                return bytes >= static_cast<int>(13 * (trial + 1));
            },
            3000));
        auto events = recorder.Events();
        std::vector<test::Recorder::Event> blocks;
        for (const auto& ev : events) {
            if (ev.code == SERIAL_DATA_ARRIVAL) blocks.push_back(ev);
        }
        const auto& firstBlock = blocks[before];
        if (firstBlock.timeMs >= secondWritten) continue;
        ++conclusive;
        // Not completed before the pause of silence had passed.
        EXPECT_GE(firstBlock.timeMs, firstWritten + Tserial_event::kInterByteTimeoutMs - 1);
        ASSERT_EQ(blocks.size(), before + 2);
        EXPECT_EQ(firstBlock.bytes, first);
        EXPECT_EQ(blocks[before + 1].bytes, second);
    }
    EXPECT_EQ(conclusive, 1) << "the first block never completed before the second burst";
}

// A trial counts only when the writer really kept every gap well under the read's pause.
TEST_F(ChannelTest, BurstWithTwentyMsGapsArrivesAsOneBlock) {
    ASSERT_EQ(Open(64), OPEN_OK);
    int conclusive = 0;
    for (int trial = 0; trial < 6 && conclusive == 0; ++trial) {
        size_t before = recorder.Blocks().size();
        auto bytes = Sequence(6, 10 * trial);
        double longestGap = 0;
        double last = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            if (i > 0) usleep(20000);
            pty.Write({bytes[i]});
            double now = NowMs();
            if (i > 0) longestGap = std::max(longestGap, now - last);
            last = now;
        }
        ASSERT_TRUE(recorder.WaitFor(
            [&](const auto& e) {
                int n = 0;
                for (const auto& ev : e) n += static_cast<int>(ev.bytes.size());
                return n >= static_cast<int>(6 * (trial + 1));
            },
            3000));
        if (longestGap > Tserial_event::kInterByteTimeoutMs - 10) continue;
        ++conclusive;
        auto blocks = recorder.Blocks();
        ASSERT_EQ(blocks.size(), before + 1);
        EXPECT_EQ(blocks[before], bytes);
    }
    EXPECT_EQ(conclusive, 1) << "the writer never kept its gaps under 30 ms";
}

TEST_F(ChannelTest, NoNewReadUntilTheBufferIsReleased) {
    recorder.HoldBuffer(true);
    ASSERT_EQ(Open(64), OPEN_OK);
    pty.Write({1, 2, 3});
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 1, 3000));
    pty.Write({4, 5});
    usleep(300000);
    EXPECT_EQ(recorder.CountOf(SERIAL_DATA_ARRIVAL), 1);
    EXPECT_EQ(ToHex(channel.ReceivedBytes(), channel.ReceivedCount()), "01 02 03");

    recorder.HoldBuffer(false);
    channel.ReleaseReceiveBuffer();
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_ARRIVAL, 2, 3000));
    EXPECT_EQ(ToHex(recorder.Blocks()[1]), "04 05");
}

TEST_F(ChannelTest, OversizedOrMissingBlocksAreDroppedAnd255BytesAreSent) {
    ASSERT_EQ(Open(), OPEN_OK);
    auto big = Sequence(256);
    channel.Send(big.data(), 256);
    channel.Send(nullptr, 4);
    channel.Send(big.data(), -1);
    EXPECT_TRUE(pty.Read(1, 200).empty());
    EXPECT_EQ(recorder.CountOf(SERIAL_DATA_SENT), 0);

    channel.Send(big.data(), 255);
    EXPECT_EQ(pty.Read(255, 3000), Sequence(255));
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_SENT, 1, 3000));
    EXPECT_TRUE(pty.Read(1, 100).empty());
    EXPECT_EQ(recorder.CountOf(SERIAL_DATA_SENT), 1);
}

// The test stops the tty's output, so the first write stays in flight for as long as
// the test wants.
TEST_F(ChannelTest, SendWhileAWriteIsInFlightIsDropped) {
    ASSERT_EQ(Open(), OPEN_OK);
    ASSERT_EQ(tcflow(pty.slave(), TCOOFF), 0);
    const uint8_t first[] = {0xF1, 0xF1, 0x07, 0, 0, 0, 0, 0x07};
    const uint8_t second[] = {0xF2, 0xF2, 0x0C, 7, 0, 0, 0, 0x13};
    channel.Send(first, 8);
    channel.Send(second, 8);
    usleep(100000);
    channel.Send(second, 8);
    EXPECT_EQ(recorder.CountOf(SERIAL_DATA_SENT), 0);

    ASSERT_EQ(tcflow(pty.slave(), TCOON), 0);
    EXPECT_EQ(ToHex(pty.Read(8, 3000)), "F1 F1 07 00 00 00 00 07");
    ASSERT_TRUE(recorder.WaitForCode(SERIAL_DATA_SENT, 1, 3000));
    EXPECT_TRUE(pty.Read(1, 150).empty());

    // Once the write has completed the next block goes out.
    channel.Send(second, 8);
    EXPECT_EQ(ToHex(pty.Read(8, 3000)), "F2 F2 0C 07 00 00 00 13");
    EXPECT_TRUE(recorder.WaitForCode(SERIAL_DATA_SENT, 2, 3000));
}

}  // namespace
}  // namespace kt::device
