// The main window with the connection wizard against the simulated indicator: the
// automatic connection at start-up, the number of wizard ticks, a missing port, a silent
// device, "Rozłącz" and "OK".
#include <QElapsedTimer>
#include <QSignalBlocker>
#include <QtTest>

#include "MainHarness.h"

using kt::device::StepPicture;
using kt::test::MainHarness;

namespace {

// Wizard lines 1..19 as (visible, picture) in one string: 'T' tick, '?' question,
// 'X' failed, '.' hidden.
std::string Lines(const kt::device::WizardDisplay& d) {
    std::string s;
    for (int line = 1; line <= kt::device::WizardDisplay::kLines; ++line) {
        const auto& icon = d.icons[line];
        if (!icon.visible) {
            s += '.';
        } else {
            s += icon.picture == StepPicture::Tick     ? 'T'
                 : icon.picture == StepPicture::Failed ? 'X'
                                                       : '?';
        }
    }
    return s;
}

// Runs Connect with the wizard's timer held back and counts prompt ticks until ready;
// the progress bar is read after every tick.
int CountPromptTicks(MainHarness& h, std::vector<int>& progress) {
    const QSignalBlocker hold(&h.WizardWindow().Timer1);
    h.ExpectOpenedEvent();
    h.WizardWindow().BitBtn3Click();
    if (!h.State().portOpen) return -1;
    auto* bar = h.FindInWizard<QProgressBar>("ProgressBar1");
    int ticks = 0;
    while (!h.State().deviceReady && ticks < 200) {
        if (!h.PromptTick()) return -2;
        ++ticks;
        progress.push_back(bar->value());
    }
    return ticks;
}

std::vector<int> ExpectedProgress(int freeSteps) {
    // Step 1 and 2 take one tick each; steps 3..21 two ticks, or one where the answer is
    // already in from an earlier connection; the finish shows 32 and at once 0.
    std::vector<int> p = {11, 12};
    for (int step = 3; step <= 21; ++step) {
        p.push_back(step + 10);
        if (step - 2 > freeSteps) p.push_back(step + 10);
    }
    p.push_back(0);
    return p;
}

}  // namespace

class MainConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void connectsAutomaticallyAboutOneSecondAfterStart();
    void promptDeviceTakesFortyOneTicksAndThirtyEightOnReconnect();
    void missingPortLeavesOnlyAbortClickable();
    void silentDeviceFailsOnSixthTickAndResumesOnLateAnswer();
    void okHidesWizardWhileStepsGoOn();
    void disconnectClearsDeviceReady();
};

void MainConnectionTest::connectsAutomaticallyAboutOneSecondAfterStart() {
    MainHarness h;
    QVERIFY(h.Started());
    QElapsedTimer clock;
    clock.start();
    h.CreateWindows();
    QVERIFY(!h.WizardWindow().isVisible());
    QVERIFY(QTest::qWaitFor([&] { return h.WizardWindow().isVisible(); }, 15000));
    // Qt may fire a coarse timer up to 5 % early; it is never due before that.
    QVERIFY2(clock.elapsed() >= 940, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(h.FindInWizard<QLabel>("Label3")->text(), QStringLiteral("COM1"));
    QVERIFY(h.WaitReady());

    kt::device::DeviceState& s = h.State();
    QCOMPARE(s.portName, std::string("COM1"));
    QCOMPARE(s.typeName, std::string("KT210V"));
    QVERIFY(s.portOpen);
    // The wizard's own open shows no message box.
    QCOMPARE(h.dialogs.messages, std::vector<std::string>{});

    // The panel shows what the device reported, confirmed (white).
    QCOMPARE(h.Find<QLabel>("Label63")->text(), QStringLiteral("KT210V"));
    QCOMPARE(h.Find<QLabel>("Label64")->text(), QStringLiteral("Hardware: 1.2 , Software: 3.4"));
    QCOMPARE(h.Find<QLabel>("Label65")->text(), QStringLiteral("3"));
    QTRY_COMPARE_WITH_TIMEOUT(h.Find<QLabel>("Label66")->text(), QStringLiteral("gotowy do pracy"),
                              5000);
    QCOMPARE(h.Find<QLineEdit>("Edit4")->text(), QStringLiteral("5"));
    QCOMPARE(h.Find<QLineEdit>("Edit5")->text(), QStringLiteral("100"));
    QCOMPARE(h.Find<QLineEdit>("Edit6")->text(), QStringLiteral("90"));
    QCOMPARE(h.Find<QLineEdit>("Edit7")->text(), QStringLiteral("180"));
    QCOMPARE(h.Find<QLineEdit>("Edit9")->text(), QStringLiteral("1"));
    QVERIFY(h.Find<QCheckBox>("CheckBox15")->isChecked());
    QCOMPARE(h.Find<QComboBox>("ComboBox1")->currentIndex(), 0);
    QCOMPARE(h.Find<QComboBox>("ComboBox2")->currentIndex(), 0);
    QVERIFY(!h.Form().DevicePage().ModeImage().isNull());
    QVERIFY(!h.Find<QLabel>("Image2")->isHidden());
    QCOMPARE(h.Find<QLineEdit>("Edit4")->palette().color(QPalette::Base), QColor(Qt::white));
    QCOMPARE(s.Set.LED, s.Stan.LED);
    QCOMPARE(s.Set.PK1, s.Stan.PK1);
    QCOMPARE(s.Set.Beep, 1);

    // A fresh connection writes nothing: only the status is polled, about every 2.25 s.
    const size_t mark = h.requests.Size();
    QTest::qWait(3500);
    const std::vector<std::string> after = h.requests.Since(mark);
    QVERIFY(!after.empty());
    for (const std::string& line : after) {
        QVERIFY2(line.rfind("F1 F1 1A", 0) == 0, line.c_str());
    }
    QVERIFY(h.State().deviceReady);
}

void MainConnectionTest::promptDeviceTakesFortyOneTicksAndThirtyEightOnReconnect() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows(false);
    h.Form().Timer2->stop();  // no status polls between the two connections

    std::vector<int> progress;
    QCOMPARE(CountPromptTicks(h, progress), 41);
    QCOMPARE(progress, ExpectedProgress(0));
    QVERIFY(h.State().deviceReady);
    QCOMPARE(h.Wizard().wizardStep(), 0);
    QVERIFY(!h.WizardWindow().Timer1.isActive());
    QCOMPARE(h.FindInWizard<QLabel>("Label10")->text(), QStringLiteral("1.2"));
    QCOMPARE(h.FindInWizard<QLabel>("Label12")->text(), QStringLiteral("3.4"));
    QVERIFY(h.FindInWizard<QPushButton>("BitBtn2")->isHidden());

    // Again in the same run: both versions and the sensor presence are known already.
    h.WizardWindow().findChild<QPushButton*>("BitBtn4")->click();
    QVERIFY(!h.State().deviceReady);
    QTRY_COMPARE_WITH_TIMEOUT(h.dialogs.messages,
                              std::vector<std::string>{"OK|Zamknieto port COM1"}, 10000);
    QVERIFY(!h.State().portOpen);
    progress.clear();
    // The closed event of the disconnect is counted as well.
    h.ExpectOpenedEvent();
    QCOMPARE(CountPromptTicks(h, progress), 38);
    QCOMPARE(progress, ExpectedProgress(3));
}

void MainConnectionTest::missingPortLeavesOnlyAbortClickable() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows(false);
    h.WizardWindow().show();
    h.FindInWizard<QComboBox>("ComboBox1")->setEditText(QStringLiteral("NOSUCHPORT"));
    h.WizardWindow().BitBtn3Click();

    QCOMPARE(h.dialogs.messages,
             std::vector<std::string>{"KT210V-PC|Nie znaleziono wybranego portu COM"});
    QVERIFY(!h.State().portOpen);
    QCOMPARE(h.State().portName, std::string("NOSUCHPORT"));
    for (int n = 1; n <= 23; ++n) {
        if (auto* label = h.FindInWizard<QLabel>(qPrintable(QStringLiteral("Label%1").arg(n)))) {
            if (n != 8) QVERIFY2(label->isHidden(), qPrintable(label->objectName()));
        }
    }
    for (int n = 5; n <= 23; ++n) {
        QVERIFY(h.FindInWizard<QLabel>(qPrintable(QStringLiteral("Image%1").arg(n)))->isHidden());
    }
    auto* abort = h.FindInWizard<QPushButton>("BitBtn2");
    QVERIFY(abort->isVisible());
    for (const char* name : {"BitBtn1", "BitBtn3", "BitBtn4"}) {
        auto* button = h.FindInWizard<QPushButton>(name);
        const QPoint centre = button->geometry().center();
        QCOMPARE(button->parentWidget()->childAt(centre), abort);
    }

    // "Przerwij łączenie" shows every line failed and brings back "Połącz".
    abort->click();
    QCOMPARE(Lines(h.Wizard().display()), std::string(19, 'X'));
    QVERIFY(abort->isHidden());
    QVERIFY(h.FindInWizard<QPushButton>("BitBtn3")->isEnabled());
    QVERIFY(!h.FindInWizard<QPushButton>("BitBtn4")->isEnabled());
}

void MainConnectionTest::silentDeviceFailsOnSixthTickAndResumesOnLateAnswer() {
    kt::sim::Faults silent;
    silent.silent = true;
    MainHarness h({}, silent);
    QVERIFY(h.Started());
    h.CreateWindows(false);
    {
        const QSignalBlocker hold(&h.WizardWindow().Timer1);
        h.WizardWindow().BitBtn3Click();
        QVERIFY(h.State().portOpen);
        // Each tick sends the type query again; the next tick comes once it has left.
        size_t queries = 0;
        auto tick = [&] {
            h.Wizard().Tick();
            ++queries;
            const bool sent = QTest::qWaitFor([&] { return h.requests.Size() >= queries; }, 10000);
            QTest::qWait(50);  // as the wizard's timer would: the write has surely finished
            return sent;
        };
        QVERIFY(tick());  // step 1
        QCOMPARE(h.Wizard().wizardStep(), 2);
        for (int n = 1; n <= 5; ++n) {
            QVERIFY(tick());
            QCOMPARE(Lines(h.Wizard().display()), "TTT?.?" + std::string(13, '.'));
        }
        QVERIFY(tick());
        // Lines 1..3 keep their ticks, 4 and 6 their question marks, the rest failed.
        QCOMPARE(Lines(h.Wizard().display()), "TTT?X?" + std::string(13, 'X'));
        QCOMPARE(h.Wizard().wizardStep(), 2);
        QVERIFY(tick());  // failed, and still asking
        QCOMPARE(h.requests.Size(), size_t{8});
        for (const std::string& line : h.requests.Since(0)) {
            QCOMPARE(line, std::string("F1 F1 20 00 00 00 00 20"));
        }
        QVERIFY(!h.FindInWizard<QPushButton>("BitBtn2")->isHidden());
    }
    // The device wakes up: the wizard's own timer carries on and the steps resume.
    h.Sim().SetFaults({});
    QVERIFY(h.WaitReady());
    QCOMPARE(Lines(h.Wizard().display()).substr(0, 8), std::string("TTTTTTTT"));
    QCOMPARE(h.State().typeName, std::string("KT210V"));
}

void MainConnectionTest::okHidesWizardWhileStepsGoOn() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows(false);
    h.WizardWindow().show();
    {
        const QSignalBlocker hold(&h.WizardWindow().Timer1);
        h.WizardWindow().BitBtn3Click();
        h.Wizard().Tick();
        h.FindInWizard<QPushButton>("BitBtn1")->click();
        QVERIFY(!h.WizardWindow().isVisible());
        QVERIFY(!h.State().deviceReady);
    }
    QVERIFY(h.WaitReady());
    QVERIFY(!h.WizardWindow().isVisible());
    QCOMPARE(h.Find<QLabel>("Label63")->text(), QStringLiteral("KT210V"));
}

void MainConnectionTest::disconnectClearsDeviceReady() {
    MainHarness h;
    QVERIFY(h.Started());
    h.CreateWindows();
    QVERIFY(h.WaitReady());
    h.FindInWizard<QPushButton>("BitBtn4")->click();
    QVERIFY(!h.State().deviceReady);
    QTRY_VERIFY_WITH_TIMEOUT(!h.State().portOpen, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(h.dialogs.messages,
                              std::vector<std::string>{"OK|Zamknieto port COM1"}, 10000);
    QVERIFY(h.FindInWizard<QPushButton>("BitBtn3")->isEnabled());
    // Nothing is sent to a closed port, and the status text follows.
    QTRY_COMPARE_WITH_TIMEOUT(h.Find<QLabel>("Label66")->text(), QStringLiteral("nie wykryto"),
                              5000);
}

QTEST_MAIN(MainConnectionTest)
#include "test_main_connection.moc"
