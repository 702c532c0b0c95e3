// Frame-exact reads through the device core on a pty: frames that arrive together become
// consecutive blocks and are all applied; a frame in two bursts stays one block; junk in
// front of a frame is a block of its own; a frame cut short ends by the inter-byte rule.
#include <gtest/gtest.h>

#include <memory>

#include "DeviceCore.h"
#include "Fakes.h"
#include "SilentViews.h"
#include "channel_pty.h"

namespace kt::device {
namespace {

using test::Hex;
using test::NowMs;

class FrameExactTest : public ::testing::Test {
protected:
    test::PtyPair pty;
    BlockingUiQueue queue;
    SilentDeviceView view;
    test::FakeDialogs dialogs;
    test::FakeWarnings log;
    std::unique_ptr<DeviceCore> core;
    std::vector<std::vector<uint8_t>> blocks;

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        core = std::make_unique<DeviceCore>(
            DeviceCoreSetup{queue, view, dialogs, log, NumberFormat{','}, pty.dir()});
        core->Port().SetReadSize(64);
        ASSERT_EQ(core->Port().OpenPort("COM1", 57600, 0, 8, false), OPEN_OK);
    }
    // Hands events to the core until `count` data blocks came in (or the time is up).
    bool Pump(size_t count, int timeoutMs = 3000) {
        ChannelEvent event;
        const double end = NowMs() + timeoutMs;
        while (blocks.size() < count && NowMs() < end) {
            if (!queue.Pop(event, 20)) continue;
            if (event.kind == ChannelEvent::Kind::Data) blocks.push_back(event.bytes);
            core->HandleEvent(event);
        }
        return blocks.size() >= count;
    }
    static std::vector<uint8_t> Join(const char* a, const char* b) {
        auto bytes = Hex(a);
        const auto tail = Hex(b);
        bytes.insert(bytes.end(), tail.begin(), tail.end());
        return bytes;
    }
};

TEST_F(FrameExactTest, AnswersInOneBurstBecomeBlocksInOrderAndAllAreApplied) {
    const char* led = "F3 F3 0C 05 00 00 00 11";
    const char* beep = "F3 F3 03 01 00 00 00 04";
    const char* measured = "F4 F4 31 00 00 B4 42";  // sensor 0 at 90 degrees, PK1 and PK2 on
    pty.Write(Join(led, beep));
    pty.Write(Hex(measured));
    ASSERT_TRUE(Pump(3));
    EXPECT_EQ(test::ToHex(blocks[0]), led);
    EXPECT_EQ(test::ToHex(blocks[1]), beep);
    EXPECT_EQ(test::ToHex(blocks[2]), measured);
    const DeviceState& s = core->State();
    EXPECT_EQ(s.Stan.LED, 5);
    EXPECT_EQ(s.Stan.Beep, 1);
    EXPECT_EQ(s.angle[0], 90.0f);
    EXPECT_TRUE(s.outputOn[0] && s.outputOn[1]);
}

TEST_F(FrameExactTest, JunkInFrontOfAnAnswerIsABlockOfItsOwn) {
    pty.Write(Join("11 22 33", "F3 F3 0C 07 00 00 00 13"));
    ASSERT_TRUE(Pump(2));
    EXPECT_EQ(test::ToHex(blocks[0]), "11 22 33");
    EXPECT_EQ(test::ToHex(blocks[1]), "F3 F3 0C 07 00 00 00 13");
    EXPECT_EQ(core->State().Stan.LED, 7);
}

// A trial counts only when the writer kept its gap well under the inter-byte time.
TEST_F(FrameExactTest, AnAnswerInTwoBurstsTwentyMsApartIsOneBlock) {
    int conclusive = 0;
    for (int trial = 0; trial < 6 && conclusive == 0; ++trial) {
        blocks.clear();
        const double first = NowMs();
        pty.Write(Hex("F3 F3 0C"));
        usleep(20000);
        const double gap = NowMs() - first;
        pty.Write(Hex("09 00 00 00 15"));
        ASSERT_TRUE(Pump(1));
        if (gap > Tserial_event::kInterByteTimeoutMs - 10) {
            Pump(2, 100);  // the cut-off rest, if any
            continue;
        }
        ++conclusive;
        EXPECT_EQ(test::ToHex(blocks[0]), "F3 F3 0C 09 00 00 00 15");
        EXPECT_EQ(core->State().Stan.LED, 9);
    }
    EXPECT_EQ(conclusive, 1) << "the writer never kept its gap under 30 ms";
}

TEST_F(FrameExactTest, AFrameCutShortEndsAfterTheInterByteTime) {
    const double written = NowMs();
    pty.Write(Hex("F3 F3 0C 05 00"));
    ASSERT_TRUE(Pump(1));
    EXPECT_GE(NowMs() - written, Tserial_event::kInterByteTimeoutMs - 1);
    EXPECT_EQ(test::ToHex(blocks[0]), "F3 F3 0C 05 00");
    EXPECT_EQ(core->State().Stan.LED, 0);  // no frame: nothing applied
    // The next answer starts a block of its own.
    pty.Write(Hex("F3 F3 0C 05 00 00 00 11"));
    ASSERT_TRUE(Pump(2));
    EXPECT_EQ(core->State().Stan.LED, 5);
}

// A measurement that lost a byte on the line is not completed with the head of the next
// answer (which came after a pause, beginning with its header pair): the torn piece is
// a block of its own that nothing takes, and the next answer is applied whole. A header
// byte at the very end of a full read of junk is kept for the frame it begins.
TEST_F(FrameExactTest, ATornMeasurementAndJunkFillingAReadLoseNoAnswer) {
    int conclusive = 0;
    for (int trial = 0; trial < 6 && conclusive == 0; ++trial) {
        blocks.clear();
        const double first = NowMs();
        pty.Write(Hex("F4 F4 01 00 00 B4"));  // 90 degrees, its last byte lost
        usleep(10000);
        const double gap = NowMs() - first;
        pty.Write(Hex("F4 F4 01 00 00 20 42"));  // 40 degrees
        ASSERT_TRUE(Pump(2));
        if (gap > Tserial_event::kInterByteTimeoutMs - 10) continue;
        ++conclusive;
        EXPECT_EQ(test::ToHex(blocks[0]), "F4 F4 01 00 00 B4");
        EXPECT_EQ(test::ToHex(blocks[1]), "F4 F4 01 00 00 20 42");
        EXPECT_EQ(core->State().angle[0], 40.0f);
    }
    EXPECT_EQ(conclusive, 1) << "the writer never kept its gap under 30 ms";

    blocks.clear();
    std::vector<uint8_t> bytes(63, 0x11);
    const auto answer = Hex("F3 F3 0C 05 00 00 00 11");
    bytes.insert(bytes.end(), answer.begin(), answer.end());
    pty.Write(bytes);
    ASSERT_TRUE(Pump(2));
    EXPECT_EQ(blocks[0].size(), 63u);
    EXPECT_EQ(test::ToHex(blocks[1]), "F3 F3 0C 05 00 00 00 11");
    EXPECT_EQ(core->State().Stan.LED, 5);
}

}  // namespace
}  // namespace kt::device
