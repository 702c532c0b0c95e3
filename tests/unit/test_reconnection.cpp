#include <gtest/gtest.h>

#include <utility>

#include "ConnectionWizard.h"
#include "Fakes.h"
#include "Reconnection.h"
#include "TempFolder.h"

using namespace kt::device;

namespace {

// Reports a change whenever asked; `watchable` false: no folder can be watched.
class FakeWatch : public PortWatch {
public:
    bool watchable = true;
    bool changed = false;
    std::vector<std::string> folders;
    bool Watch(const std::vector<std::string>& f) override { return folders = f, watchable; }
    void Stop() override { folders.clear(); }
    int Fd() const override { return -1; }
    bool TakeChanges() override { return std::exchange(changed, false); }
};

// The port is tried at most once a second however often its folders change (every 50 ms
// here, with the 250 ms tick): not while its name leads nowhere, at once when it does,
// then once a second while it cannot be opened, with no box. Without a watch it is looked
// for once a second.
TEST(Reconnection, NeverTriesMoreThanOnceASecond) {
    kt::test::TempFolder folder;
    DeviceState state;
    kt::test::RecordingSink port;
    kt::test::FakeDeviceView view;
    kt::test::FakeDialogs dialogs;
    kt::test::FakeWarnings log;
    FrameSender sender{port, nullptr};
    SyncCycle sync{state, sender, view, nullptr, NumberFormat{','}};
    ConnectionWizard wizard{state, port, sender, sync, dialogs};
    FakeWatch watch;
    int64_t now = 1000;
    Reconnection reconnection{state, wizard, watch, log, folder.path(), [&now] { return now; }};
    auto opensOver = [&](int64_t ms, bool changing) {
        std::vector<int64_t> opens;
        for (const int64_t end = now + ms; now < end; now += 50) {
            const size_t before = port.opened.size();
            watch.changed = changing;
            reconnection.WatchChanged();
            if (now % 250 == 0) reconnection.Tick();
            if (port.opened.size() > before) opens.push_back(now);
        }
        return opens;
    };
    port.openResult = 8;
    state.portName = "KTPORT";  // a link in the folder, else /dev/KTPORT
    reconnection.SetEnabled(true);
    reconnection.PortLost();
    EXPECT_EQ(watch.folders, (std::vector<std::string>{folder.path(), "/dev"}));
    EXPECT_TRUE(opensOver(3000, true).empty());
    kt::test::WriteBytes(folder / "KTPORT", "");
    EXPECT_EQ(opensOver(3000, true), (std::vector<int64_t>{4000, 5000, 6000}));
    EXPECT_TRUE(dialogs.messages.empty());
    watch.watchable = false;
    reconnection.PortLost();
    EXPECT_EQ(opensOver(3000, false), (std::vector<int64_t>{8000, 9000}));
}

}  // namespace
