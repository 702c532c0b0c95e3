#include <gtest/gtest.h>

#include <algorithm>
#include <utility>

#include "ConnectionWizard.h"
#include "Fakes.h"
#include "Reconnection.h"
#include "TempFolder.h"
#include "Tserial_event.h"

using namespace kt::device;

namespace {

// Changes whenever the test says so; `watchable` false: no folder can be watched.
class FakeWatch : public PortWatch {
public:
    bool watchable = true;
    bool changed = false;
    std::vector<std::string> folders;
    bool Watch(const std::vector<std::string>& f) override {
        folders = f;
        return watchable;
    }
    void Stop() override { folders.clear(); }
    int Fd() const override { return -1; }
    bool TakeChanges() override { return std::exchange(changed, false); }
};

// Over a driven clock: the times (ms) at which the port was opened, while the watch
// reports a change every 50 ms (when `changing`) and the 250 ms tick runs, for `ms`.
std::vector<int64_t> OpensOver(int64_t& now, int64_t ms, bool changing, FakeWatch& watch,
                               Reconnection& reconnection, kt::test::RecordingSink& port) {
    std::vector<int64_t> opens;
    for (const int64_t end = now + ms; now < end; now += 50) {
        const size_t before = port.opened.size();
        watch.changed = changing;
        reconnection.WatchChanged();
        if (now % 250 == 0) reconnection.Tick();
        if (port.opened.size() > before) opens.push_back(now);
    }
    return opens;
}

// The port is tried at most once a second however often its folders change: not at all
// while its name leads nowhere, at once when it appears, then once a second while it
// cannot be opened (one log line, no box). Without a watch it is looked for once a second.
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
    port.openResult = OPEN_PORT_FAILED;
    state.portName = "KTPORT";  // a link in the folder, else /dev/KTPORT

    reconnection.PortLost();  // off: nothing happens
    EXPECT_EQ(reconnection.phase(), Reconnection::Phase::Idle);
    reconnection.SetEnabled(true);
    reconnection.PortLost();
    EXPECT_EQ(watch.folders, (std::vector<std::string>{folder.path(), "/dev"}));
    EXPECT_TRUE(OpensOver(now, 3000, true, watch, reconnection, port).empty());

    kt::test::WriteBytes(folder / "KTPORT", "");
    const std::vector<int64_t> opens = OpensOver(now, 3000, true, watch, reconnection, port);
    EXPECT_EQ(opens, (std::vector<int64_t>{4000, 5000, 6000}));
    EXPECT_TRUE(dialogs.messages.empty());
    const std::vector<std::string> lines = log.Lines();
    EXPECT_EQ(
        std::count_if(lines.begin(), lines.end(),
                      [](const std::string& l) { return l.find("cannot be opened") != l.npos; }),
        1);

    watch.watchable = false;
    reconnection.PortLost();
    EXPECT_EQ(OpensOver(now, 3000, false, watch, reconnection, port),
              (std::vector<int64_t>{8000, 9000}));
    reconnection.SetEnabled(false);
    EXPECT_TRUE(OpensOver(now, 3000, true, watch, reconnection, port).empty());
}

}  // namespace
