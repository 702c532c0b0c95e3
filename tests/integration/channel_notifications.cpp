// The channel's notification handler on a real worker thread: what it hands over to the
// user-interface side, in which order, and what it drops.
#include <gtest/gtest.h>

#include <mutex>
#include <vector>

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

// Records, for each event handed over, whether `portOpen` was set at that moment.
class FlagAtHandOver : public UiQueue {
public:
    explicit FlagAtHandOver(const DeviceState& state) : state_(state) {}
    void Post(ChannelEvent event) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            flags_.push_back(state_.portOpen);
        }
        events.Post(std::move(event));
    }
    std::vector<bool> Flags() {
        std::lock_guard<std::mutex> lock(mutex_);
        return flags_;
    }
    BlockingUiQueue events;

private:
    const DeviceState& state_;
    std::mutex mutex_;
    std::vector<bool> flags_;
};

// Whoever handles the closed event of an unplugged line finds the port marked closed
// already, as the opened event finds it marked open: the device core tells a lost port
// from one opened again since by that flag, and a loss taken for a reopening would leave
// the device ready and the acquisition running on a dead port.
TEST_F(NotificationsTest, UnpluggedLineHandsOverClosedWithThePortMarkedClosed) {
    FlagAtHandOver order(state);
    ChannelNotifications ordered{state, order};
    ordered.Attach(channel);
    ASSERT_EQ(channel.OpenPort("COM1", 57600, 0, 8, false), OPEN_OK);
    pty.CloseMaster();
    ChannelEvent e;
    ASSERT_TRUE(order.events.Pop(e, 3000));
    EXPECT_EQ(e.kind, ChannelEvent::Kind::Opened);
    ASSERT_TRUE(order.events.Pop(e, 3000));
    EXPECT_EQ(e.kind, ChannelEvent::Kind::Closed);
    EXPECT_EQ(order.Flags(), (std::vector<bool>{true, false}));
    // The worker may still be leaving Post; it is joined before `order` goes away.
    channel.ClosePort();
}

}  // namespace
