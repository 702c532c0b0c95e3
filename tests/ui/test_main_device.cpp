// The settings panel connected to the simulated indicator: a change travels to the
// device and comes back confirmed, the mode picture follows the device's answer, and
// "Przywróć ustawienia domyślne" sends one frame and nothing else.
#include <QCheckBox>
#include <QtTest>

#include "JpegImage.h"
#include "MainHarness.h"

using kt::test::MainHarness;
using kt::ui::TForm1;

class MainDeviceTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void init();
    void ledTurnsPaleYellowThenLightBlueThenWhite();
    void thresholdsReachTheDeviceAndComeBackRounded();
    void modePictureFollowsTheDevicesAnswer();
    void beepBoxReachesTheDevice();
    void restoreDefaultsSendsExactlyOneFrame();

private:
    QLineEdit* Edit(const char* name) { return h_->Find<QLineEdit>(name); }
    static QColor Base(QWidget* w) { return w->palette().color(QPalette::Base); }
    void TypeAndEnter(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
        QCOMPARE(Base(edit), kt::ui::TypingColour());
        QTest::keyClick(edit, Qt::Key_Return);
        QCOMPARE(Base(edit), QColor(166, 202, 240));
    }
    kt::device::DeviceParams DeviceParams() {
        kt::device::DeviceParams p;
        h_->Sim().WithModel([&](kt::sim::IndicatorModel& m) { p = m.Params(); });
        return p;
    }
    QImage Picture(int mode) {
        QImage image;
        kt::ui::LoadJpegImage(
            h_->Form().StartupDirectory() + "/Grafika/MODE_" + std::to_string(mode) + ".jpg",
            image);
        return image;
    }

    std::unique_ptr<MainHarness> h_;
};

void MainDeviceTest::initTestCase() {
    h_ = std::make_unique<MainHarness>();
    QVERIFY(h_->Started());
    h_->CreateWindows();
    QVERIFY(h_->WaitReady());
    h_->Find<QTabWidget>("PageControl1")->setCurrentIndex(1);
}

void MainDeviceTest::cleanupTestCase() {
    h_.reset();
}

// Each case starts with the panel refreshed and nothing waiting to be written.
void MainDeviceTest::init() {
    QTRY_VERIFY_WITH_TIMEOUT(!h_->State().refreshPending, 10000);
}

void MainDeviceTest::ledTurnsPaleYellowThenLightBlueThenWhite() {
    QLineEdit* e4 = Edit("Edit4");
    QCOMPARE(Base(e4), QColor(Qt::white));
    TypeAndEnter(e4, "7");
    QCOMPARE(h_->State().Set.LED, 7);
    QTRY_COMPARE_WITH_TIMEOUT(h_->State().Stan.LED, 7, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(Base(e4), QColor(Qt::white), 10000);
    QCOMPARE(e4->text(), QStringLiteral("7"));
    QCOMPARE(DeviceParams().LED, 7);
}

void MainDeviceTest::thresholdsReachTheDeviceAndComeBackRounded() {
    TypeAndEnter(Edit("Edit6"), "1,23456");
    TypeAndEnter(Edit("Edit7"), "1,23456");
    QCOMPARE(h_->State().Set.PK1, static_cast<float>(1.235));
    QCOMPARE(h_->State().Set.PK2, 1.23456f);
    // Written one after the other; the device keeps what it was sent.
    QTRY_COMPARE_WITH_TIMEOUT(DeviceParams().PK2, 1.23456f, 10000);
    QCOMPARE(DeviceParams().PK1, static_cast<float>(1.235));
    QTRY_COMPARE_WITH_TIMEOUT(h_->State().Stan.PK2, 1.23456f, 10000);
    // The refresh after P1's answer showed the device's old P2 in between; the one after
    // P2's answer shows the new value, rounded.
    QTRY_COMPARE_WITH_TIMEOUT(Edit("Edit7")->text(), QStringLiteral("1,235"), 10000);
    QCOMPARE(Base(Edit("Edit7")), QColor(Qt::white));
    QCOMPARE(Edit("Edit6")->text(), QStringLiteral("1,235"));
    QCOMPARE(Base(Edit("Edit6")), QColor(Qt::white));
}

void MainDeviceTest::modePictureFollowsTheDevicesAnswer() {
    auto* list = h_->Find<QComboBox>("ComboBox1");
    auto* image2 = h_->Find<QLabel>("Image2");
    QCOMPARE(list->currentIndex(), 0);
    QCOMPARE(h_->Form().DevicePage().ModeImage(), Picture(0));
    QVERIFY(image2->isVisible());

    list->setCurrentIndex(4);
    emit list->activated(4);
    QCOMPARE(h_->State().Set.mode, 4);
    // Until the device confirms, the old picture stays on screen.
    QVERIFY(image2->isVisible());
    QCOMPARE(h_->Form().DevicePage().ModeImage(), Picture(0));
    QTRY_COMPARE_WITH_TIMEOUT(h_->State().Stan.mode, 4, 10000);
    QVERIFY(image2->isHidden());
    QCOMPARE(list->currentIndex(), 4);
    QCOMPARE(DeviceParams().mode, 4);

    QTRY_VERIFY_WITH_TIMEOUT(!h_->State().refreshPending, 10000);
    list->setCurrentIndex(1);
    emit list->activated(1);
    QTRY_COMPARE_WITH_TIMEOUT(h_->State().Stan.mode, 1, 10000);
    QVERIFY(image2->isVisible());
    QCOMPARE(h_->Form().DevicePage().ModeImage(), Picture(1));
    QTRY_COMPARE_WITH_TIMEOUT(list->palette().color(QPalette::Base), QColor(Qt::white), 10000);
}

void MainDeviceTest::beepBoxReachesTheDevice() {
    auto* beep = h_->Find<QCheckBox>("CheckBox15");
    QVERIFY(beep->isChecked());
    beep->click();
    QCOMPARE(h_->State().Set.Beep, 0);
    QTRY_COMPARE_WITH_TIMEOUT(DeviceParams().Beep, 0, 10000);
    QTRY_COMPARE_WITH_TIMEOUT(h_->State().Stan.Beep, 0, 10000);
    QTRY_VERIFY_WITH_TIMEOUT(!h_->State().refreshPending, 10000);
    QVERIFY(!beep->isChecked());
}

void MainDeviceTest::restoreDefaultsSendsExactlyOneFrame() {
    // Let the earlier changes settle: every field agrees with the device.
    QTRY_VERIFY_WITH_TIMEOUT(h_->State().Set.LED == h_->State().Stan.LED &&
                                 h_->State().Set.mode == h_->State().Stan.mode &&
                                 h_->State().Set.Beep == h_->State().Stan.Beep,
                             10000);
    QTest::qWait(600);
    const kt::device::DeviceParams set = h_->State().Set;
    const kt::device::DeviceParams stan = h_->State().Stan;
    const size_t mark = h_->requests.Size();
    h_->Find<QPushButton>("BitBtn3")->click();
    QTest::qWait(2000);
    QCOMPARE(kt::test::Writes(h_->requests.Since(mark)),
             std::vector<std::string>{"F2 F2 24 00 00 00 00 24"});
    // The program keeps its records; the device has its defaults.
    QCOMPARE(h_->State().Set.LED, set.LED);
    QCOMPARE(h_->State().Stan.LED, stan.LED);
    QCOMPARE(h_->State().Stan.mode, stan.mode);
    QCOMPARE(DeviceParams().LED, kt::sim::IndicatorModel::DefaultParams().LED);
    QCOMPARE(DeviceParams().mode, 0);
}

QTEST_MAIN(MainDeviceTest)
#include "test_main_device.moc"
