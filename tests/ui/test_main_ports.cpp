// The "komunikacja" menu's plain port commands and port choice, against the simulated
// indicator linked as "COM1"; "COM3" is a link to nothing, so it can never be opened.
#include <unistd.h>

#include <QMenu>
#include <QtTest>

#include "MainHarness.h"
#include "O_programie_unit.h"

using kt::test::MainHarness;

namespace {
const std::string kOpened = "OK|Otwarto port COM1\n Predkosc: 57600 kb/s";
const std::string kAlreadyOpen = "Blad otwarcia portu COM|Jeden z portow juz zostal otwarty.";
const std::string kNoneOpen = "Blad zamkniecia portu COM|Zaden port jeszcze nie zostal otwarty.";
}  // namespace

class MainPortsTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void connectOpensWithoutWizardAndClearsGo();
    void portChoiceWhileOpenChangesOnlyTheName();
    void autoMovesMarkOnlyAndFailedOpenIsReported();
    void disconnectWhileClosedIsReported();
    void menuEntriesShowTheirWindows();
    void keysReachTheirCommands();

private:
    void Trigger(const char* action) { h_->Find<QAction>(action)->trigger(); }
    std::vector<std::string>& Messages() { return h_->dialogs.messages; }

    std::unique_ptr<MainHarness> h_;
};

void MainPortsTest::init() {
    h_ = std::make_unique<MainHarness>();
    QVERIFY(h_->Started());
    QCOMPARE(::symlink("/nonexistent/serial-port", h_->Path("COM3").c_str()), 0);
    h_->CreateWindows(false);
}

void MainPortsTest::cleanup() {
    h_.reset();
}

void MainPortsTest::connectOpensWithoutWizardAndClearsGo() {
    kt::device::DeviceState& s = h_->State();
    s.Device.GO = true;
    Trigger("pocz1");
    QVERIFY(!s.Device.GO);
    QTRY_COMPARE_WITH_TIMEOUT(Messages(), std::vector<std::string>{kOpened}, 10000);
    QVERIFY(s.portOpen);
    QVERIFY(!s.deviceReady);  // the device was neither identified nor read
    QCOMPARE(h_->Form().Core().Channel().ReadSize(), 64);

    // A second "połącz" does not open again, but still clears the running flag.
    s.Device.GO = true;
    Trigger("pocz1");
    QCOMPARE(Messages().back(), kAlreadyOpen);
    QVERIFY(!s.Device.GO);
    QVERIFY(s.portOpen);

    // "rozłącz" closes; deviceReady is not this command's business.
    s.deviceReady = true;
    Trigger("rozcz1");
    QTRY_COMPARE_WITH_TIMEOUT(Messages().back(), std::string("OK|Zamknieto port COM1"), 10000);
    QVERIFY(!s.portOpen);
    QVERIFY(s.deviceReady);
}

void MainPortsTest::portChoiceWhileOpenChangesOnlyTheName() {
    kt::device::DeviceState& s = h_->State();
    Trigger("pocz1");
    QTRY_VERIFY_WITH_TIMEOUT(s.portOpen, 10000);
    Trigger("COM3");
    QCOMPARE(s.portName, std::string("COM3"));
    QVERIFY(h_->Find<QAction>("COM3")->isChecked());
    QVERIFY(!h_->Find<QAction>("COM1")->isChecked());
    QVERIFY(s.portOpen);
    QCOMPARE(std::string(h_->Form().Core().Channel().PortName()), std::string("COM1"));

    // The old port still answers.
    const size_t mark = h_->requests.Size();
    h_->Form().Core().Port().Send(kt::test::Hex("F1 F1 0C 00 00 00 00 0C").data(), 8);
    QTRY_VERIFY_WITH_TIMEOUT(h_->State().received.LED, 10000);
    QCOMPARE(h_->requests.Since(mark).size(), size_t{1});

    Trigger("pocz1");
    QCOMPARE(Messages().back(), kAlreadyOpen);
    Trigger("rozcz1");
    // The closed message names the port as now chosen.
    QTRY_COMPARE_WITH_TIMEOUT(Messages().back(), std::string("OK|Zamknieto port COM3"), 10000);
}

void MainPortsTest::autoMovesMarkOnlyAndFailedOpenIsReported() {
    kt::device::DeviceState& s = h_->State();
    Trigger("COM3");
    Trigger("auto1");
    QVERIFY(h_->Find<QAction>("auto1")->isChecked());
    QVERIFY(!h_->Find<QAction>("COM3")->isChecked());
    QCOMPARE(s.portName, std::string("COM3"));

    s.Device.GO = true;
    Trigger("pocz1");
    QCOMPARE(Messages(),
             std::vector<std::string>{"Blad otwarcia portu COM|Nie mozna otworzyc portu COM3"});
    QVERIFY(!s.portOpen);
    QVERIFY(!s.Device.GO);

    // Back on "COM1" the same command opens the simulator.
    Trigger("COM1");
    Trigger("pocz1");
    QTRY_COMPARE_WITH_TIMEOUT(Messages().back(), kOpened, 10000);
}

void MainPortsTest::disconnectWhileClosedIsReported() {
    Trigger("rozcz1");
    QCOMPARE(Messages(), std::vector<std::string>{kNoneOpen});
    QVERIFY(!h_->State().portOpen);
}

void MainPortsTest::menuEntriesShowTheirWindows() {
    QVERIFY(!kt::ui::AsystentForm->isVisible());
    Trigger("wizard1");
    QVERIFY(kt::ui::AsystentForm->isVisible());
    kt::ui::AsystentForm->hide();
    h_->Find<QPushButton>("BitBtn7")->click();
    QVERIFY(kt::ui::AsystentForm->isVisible());
    // Showing it does not touch its display or start a connection.
    QCOMPARE(h_->Wizard().wizardStep(), 0);
    QVERIFY(!h_->State().portOpen);

    Trigger("debugger1");
    QVERIFY(kt::ui::COM_DBG_Form->isVisible());
    Trigger("orpogramie1");
    QVERIFY(kt::ui::O_programieForm->isVisible());
}

// The menu shows the keys of its commands; the buttons' keys work from any tab.
void MainPortsTest::keysReachTheirCommands() {
    QCOMPARE(h_->Find<QAction>("pomocprogramu1")->shortcut(), QKeySequence(Qt::Key_F1));
    QCOMPARE(h_->Find<QAction>("zakocz1")->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));
    kt::ui::TForm1& form = h_->Form();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    form.findChild<QTabWidget*>("PageControl1")->setCurrentIndex(3);
    // START with no device ready opens the wizard.
    QTest::keyClick(&form, Qt::Key_F5);
    QVERIFY(kt::ui::AsystentForm->isVisible());
    kt::ui::AsystentForm->hide();
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    // Both save keys ask for a name while there is none yet.
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyClick(&form, Qt::Key_S, Qt::ControlModifier);
    QCOMPARE(h_->dialogs.saveRequests.size(), size_t{2});
}

QTEST_MAIN(MainPortsTest)
#include "test_main_ports.moc"
