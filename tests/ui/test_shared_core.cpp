// The window and kt210v-cli run the same device core: one DeviceCore type, and against
// the same simulated indicator both identify it with the same sequence of requests.
#include <QtTest>
#include <type_traits>

#include "CliSession.h"
#include "MainHarness.h"

using kt::test::MainHarness;

namespace {

static_assert(
    std::is_same_v<decltype(std::declval<kt::ui::TForm1&>().Core()), kt::device::DeviceCore&>);
static_assert(std::is_same_v<decltype(kt::cli::CliSession::core), kt::device::DeviceCore>);

// The request codes in the order they were first asked for, repeats left out.
std::vector<std::string> Codes(const std::vector<std::string>& requests) {
    std::vector<std::string> codes;
    for (const std::string& line : requests) {
        const std::string code = line.substr(6, 2);
        if (line.rfind("F1 F1", 0) == 0 && (codes.empty() || codes.back() != code)) {
            codes.push_back(code);
        }
    }
    return codes;
}

}  // namespace

class SharedCoreTest : public QObject {
    Q_OBJECT

private slots:
    void windowAndToolIdentifyAlike();
};

void SharedCoreTest::windowAndToolIdentifyAlike() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows();
    QVERIFY(h.WaitReady());
    const std::vector<std::string> byWindow = Codes(h.requests.Since(0));
    h.FindInWizard<QPushButton>("BitBtn4")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!h.State().portOpen, 10000);

    const size_t mark = h.requests.Size();
    kt::cli::CliSession session(h.Path("COM1"));
    session.Wizard().Connect();
    QVERIFY(session.State().portOpen);
    QVERIFY(session.RunUntil([&] { return session.State().deviceReady; }, 15000, false));
    const std::vector<std::string> byTool = Codes(h.requests.Since(mark));

    QCOMPARE(byTool, byWindow);
    QCOMPARE(byWindow.size(), size_t{20});  // type, versions, status and 16 parameters
}

QTEST_MAIN(SharedCoreTest)
#include "test_shared_core.moc"
