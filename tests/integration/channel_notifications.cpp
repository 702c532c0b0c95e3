// The channel's notification handler on a real worker thread: what it hands over to the
// user-interface side, in which order, and what it drops.
#include <gtest/gtest.h>

#include "ChannelNotifications.h"
#include "DeviceState.h"
#include "UiQueue.h"
#include "channel_pty.h"

using namespace kt::device;

namespace {

class NotificationsTest : public ::testing::Test {
protected:
    kt::test::PtyPair pty;
    DeviceState state;
    BlockingUiQueue queue;
    ChannelNotifications notifications{state, queue};
    Tserial_event channel;

    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        channel.SetBaseDirectory(pty.dir());
        notifications.Attach(channel);
        channel.SetReadSize(64);
    }
    ChannelEvent Next(int timeoutMs = 3000) {
        ChannelEvent e;
        EXPECT_TRUE(queue.Pop(e, timeoutMs));
        return e;
    }
};

TEST_F(NotificationsTest, OpenedDataClosedArriveInOrderWithCopiedBytes) {
    ASSERT_EQ(channel.OpenPort("COM1", 57600, 0, 8, false), OPEN_OK);
    // The worker has announced itself before OpenPort returned.
    EXPECT_TRUE(state.portOpen);
    EXPECT_EQ(Next().kind, ChannelEvent::Kind::Opened);
    pty.Write({0xF3, 0xF3, 0x0C, 0x05, 0, 0, 0, 0x11});
    const ChannelEvent data = Next();
    ASSERT_EQ(data.kind, ChannelEvent::Kind::Data);
    // Exactly the bytes received cross over, not the whole receive buffer.
    EXPECT_EQ(kt::test::ToHex(data.bytes.data(), static_cast<int>(data.bytes.size())),
              "F3 F3 0C 05 00 00 00 11");
    pty.Write({1, 2, 3});  // the buffer was released: the next read runs
    EXPECT_EQ(Next().bytes.size(), 3u);
    channel.ClosePort();
    EXPECT_EQ(Next().kind, ChannelEvent::Kind::Closed);
    EXPECT_FALSE(state.portOpen);
}

TEST_F(NotificationsTest, BlocksWhilePortOpenIsClearAreDroppedButTheReadGoesOn) {
    ASSERT_EQ(channel.OpenPort("COM1", 57600, 0, 8, false), OPEN_OK);
    Next();
    state.portOpen = false;  // as after the wizard's "Rozłącz", before the close arrives
    pty.Write({9, 9});
    ChannelEvent e;
    EXPECT_FALSE(queue.Pop(e, 300));
    state.portOpen = true;
    pty.Write({7});
    const ChannelEvent data = Next();
    EXPECT_EQ(data.bytes.size(), 1u);
    EXPECT_EQ(data.bytes[0], 7);
}

TEST_F(NotificationsTest, UnpluggedLineHandsOverClosed) {
    ASSERT_EQ(channel.OpenPort("COM1", 57600, 0, 8, false), OPEN_OK);
    Next();
    pty.CloseMaster();
    EXPECT_EQ(Next().kind, ChannelEvent::Kind::Closed);
    // The flag is cleared on the worker right after the hand-over: wait for it.
    for (int i = 0; i < 300 && state.portOpen; ++i) usleep(10000);
    EXPECT_FALSE(state.portOpen);
}

}  // namespace
