// The connection wizard's window: how it paints the step machine's display, and the step
// machine driven through the window's own buttons and timer against a fake port.
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "Asystenlaczenia.h"
#include "Fakes.h"
#include "Frames.h"
#include "SyncCycle.h"

using namespace kt;
using device::StepPicture;
using device::WizardDisplay;
using kt::ui::TAsystentForm;

namespace {

constexpr int kLabelNumbers[] = {1,  2,  3,  4,  5,  6,  7,  9,  10, 11, 12,
                                 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23};
constexpr int kIndent[WizardDisplay::kLines + 1] = {0, 0, 0, 1, 0, 1, 2, 2, 2, 0,
                                                    1, 1, 1, 1, 1, 1, 1, 1, 1, 0};
// Caption label of each line.
constexpr int kLineLabel[WizardDisplay::kLines + 1] = {0,  1,  2,  4,  5,  6,  7,  9,  11, 13,
                                                       14, 15, 16, 17, 18, 19, 20, 21, 22, 23};

// The window wired to a real step machine whose port, message boxes and device panel are
// fakes.
struct Rig {
    device::DeviceState state;
    test::RecordingSink port;
    device::FrameSender sender{port, nullptr};
    test::FakeDeviceView view;
    device::SyncCycle sync{state, sender, view, nullptr, device::NumberFormat{}};
    test::FakeDialogs dialogs;
    device::ConnectionWizard wizard{state, port, sender, sync, dialogs};
    QTemporaryDir machine;  // a machine without serial ports unless a test adds some
    TAsystentForm form;

    Rig() {
        port.portOpen = &state.portOpen;
        form.SetPortRoot(machine.path().toStdString());
        form.AttachWizard(&wizard);
        form.show();
    }
    template <typename T>
    T* Get(const QString& name) {
        return form.findChild<T*>(name);
    }
    QLabel* Icon(int line) { return Get<QLabel>(QStringLiteral("Image%1").arg(line + 4)); }
    QLabel* Label(int n) { return Get<QLabel>(QStringLiteral("Label%1").arg(n)); }
    QPushButton* Button(int n) { return Get<QPushButton>(QStringLiteral("BitBtn%1").arg(n)); }
    // The picture of Image2 (question), Image3 (tick) or Image4 (failed).
    QImage StatePicture(int image) {
        return Get<QLabel>(QStringLiteral("Image%1").arg(image))->pixmap().toImage();
    }
    bool Shows(int line, int stateImage) {
        return Icon(line)->pixmap().toImage() == StatePicture(stateImage);
    }
    // A click where the user would click: routed by the window system to the topmost
    // widget under the point.
    void ClickAt(QPoint point) {
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, point);
    }
    bool SentRead(int code) {
        const std::string frame =
            test::ToHex(device::BuildFrame(device::kHeaderRead, static_cast<uint8_t>(code),
                                           device::ZeroPayload())
                            .bytes.data(),
                        device::kFrameSize);
        return std::find(port.frames.begin(), port.frames.end(), frame) != port.frames.end();
    }
};

}  // namespace

class WizardWindowTest : public QObject {
    Q_OBJECT

private slots:
    void startsIdleWithEveryStepHidden();
    void stepLinesFollowTheirOrderAndIndentation();
    void paintsTheDisplayAndItsChanges();
    void abortButtonLiesOverTheOthers();
    void timerFollowsTheDisplay();
    void pauseBlocksWithoutRunningEvents();
    void missingPortLeavesOnlyAbortClickable();
    void openedPortIsIdentifiedByTheTimer();
    void okAndEnterHideTheWindow();
    void portBoxListsTheMachinesPortsAfterCom1();
};

void WizardWindowTest::startsIdleWithEveryStepHidden() {
    Rig rig;
    QCOMPARE(rig.form.windowTitle(), QStringLiteral("łączenie z urządzeniem...."));
    QCOMPARE(rig.form.size(), QSize(319, 495));
    QVERIFY(rig.form.windowFlags().testFlag(Qt::Tool));
    for (int line = 1; line <= WizardDisplay::kLines; ++line) {
        QVERIFY(!rig.Icon(line)->isVisible());
        QCOMPARE(rig.Icon(line)->size(), QSize(16, 16));
    }
    for (int n : kLabelNumbers)
        QVERIFY2(!rig.Label(n)->isVisible(), qPrintable(QString::number(n)));
    QCOMPARE(rig.Label(1)->text(), QStringLiteral("Skanowanie  portu"));
    QCOMPARE(rig.Label(10)->text(), QStringLiteral("<nieznany>"));
    for (int image = 1; image <= 4; ++image) {
        QVERIFY(!rig.Get<QLabel>(QStringLiteral("Image%1").arg(image))->isVisible());
    }
    // The three state pictures differ from each other.
    QVERIFY(rig.StatePicture(2) != rig.StatePicture(3));
    QVERIFY(rig.StatePicture(3) != rig.StatePicture(4));
    QVERIFY(rig.StatePicture(2) != rig.StatePicture(4));

    auto* combo = rig.Get<QComboBox>("ComboBox1");
    QVERIFY(combo->isEditable());
    QCOMPARE(combo->count(), 16);
    QCOMPARE(combo->itemText(15), QStringLiteral("COM16"));
    QCOMPARE(rig.form.PortText(), std::string("COM1"));
    combo->setEditText("ttyUSB0");
    QCOMPARE(rig.form.PortText(), std::string("ttyUSB0"));

    auto* progress = rig.Get<QProgressBar>("ProgressBar1");
    QCOMPARE(progress->maximum(), 32);
    QCOMPARE(progress->value(), 0);
    QVERIFY(rig.Button(3)->isEnabled());
    QVERIFY(!rig.Button(4)->isEnabled());
    QVERIFY(!rig.Button(2)->isVisible());
    QVERIFY(rig.Button(1)->isDefault());
}

void WizardWindowTest::stepLinesFollowTheirOrderAndIndentation() {
    Rig rig;
    WizardDisplay all;
    for (auto& icon : all.icons) icon.visible = true;
    for (int n : kLabelNumbers) all.labelVisible[n] = true;
    rig.form.Render(all);
    const int left = rig.Icon(1)->x();
    for (int line = 1; line <= WizardDisplay::kLines; ++line) {
        QLabel* icon = rig.Icon(line);
        QLabel* label = rig.Label(kLineLabel[line]);
        QCOMPARE(icon->x() - left, 22 * kIndent[line]);
        if (line > 1) {
            const int pitch = icon->y() - rig.Icon(line - 1)->y();
            QVERIFY2(pitch >= 18 && pitch <= 20, qPrintable(QString::number(line)));
        }
        QVERIFY(label->x() >= icon->geometry().right());
        QCOMPARE(label->y(), icon->y());
        // The caption fits inside the group box.
        const int textRight = label->x() + label->fontMetrics().horizontalAdvance(label->text());
        QVERIFY(textRight < label->parentWidget()->width());
    }
    // Port name and versions continue the text of the label before them.
    const std::pair<int, int> pairs[] = {{2, 3}, {9, 10}, {11, 12}};
    for (auto [first, second] : pairs) {
        QLabel* a = rig.Label(first);
        const int end = a->x() + a->fontMetrics().horizontalAdvance(a->text());
        QVERIFY(rig.Label(second)->x() >= end);
        QVERIFY(rig.Label(second)->x() <= end + 6);
        QCOMPARE(rig.Label(second)->y(), a->y());
    }
}

void WizardWindowTest::paintsTheDisplayAndItsChanges() {
    Rig rig;
    WizardDisplay d;
    d.icons[1] = {StepPicture::Tick, true};
    d.icons[2] = {StepPicture::Failed, true};
    d.icons[3] = {StepPicture::Question, true};
    d.icons[4] = {StepPicture::Failed, false};
    d.labelVisible[1] = d.labelVisible[2] = d.labelVisible[3] = true;
    d.portLabel = "ttyUSB3";
    d.hardwareLabel = "1.2";
    d.softwareLabel = "5.";
    d.progress = 17;
    d.connectEnabled = false;
    d.disconnectEnabled = true;
    rig.form.Render(d);

    QVERIFY(rig.Icon(1)->isVisible() && rig.Shows(1, 3));
    QVERIFY(rig.Icon(2)->isVisible() && rig.Shows(2, 4));
    QVERIFY(rig.Icon(3)->isVisible() && rig.Shows(3, 2));
    QVERIFY(!rig.Icon(4)->isVisible() && rig.Shows(4, 4));
    QVERIFY(!rig.Icon(5)->isVisible());
    QVERIFY(rig.Label(1)->isVisible() && rig.Label(3)->isVisible());
    QVERIFY(!rig.Label(4)->isVisible());
    QCOMPARE(rig.Label(3)->text(), QStringLiteral("ttyUSB3"));
    QCOMPARE(rig.Label(10)->text(), QStringLiteral("1.2"));
    QCOMPARE(rig.Label(12)->text(), QStringLiteral("5."));
    QCOMPARE(rig.Get<QProgressBar>("ProgressBar1")->value(), 17);
    QVERIFY(!rig.Button(3)->isEnabled());
    QVERIFY(rig.Button(4)->isEnabled());

    // Only the differences are applied, but every one of them is.
    d.icons[1] = {StepPicture::Failed, true};
    d.icons[2].visible = false;
    d.labelVisible[1] = false;
    d.labelVisible[23] = true;
    d.hardwareLabel = "<nieznany>";
    d.progress = 0;
    d.connectEnabled = true;
    rig.form.Render(d);
    QVERIFY(rig.Shows(1, 4));
    QVERIFY(!rig.Icon(2)->isVisible());
    QVERIFY(!rig.Label(1)->isVisible() && rig.Label(23)->isVisible());
    QCOMPARE(rig.Label(10)->text(), QStringLiteral("<nieznany>"));
    QCOMPARE(rig.Get<QProgressBar>("ProgressBar1")->value(), 0);
    QVERIFY(rig.Button(3)->isEnabled());

    // A step nothing answered: its line says so after its caption, with the port; a
    // long text gives up caption, then the port's middle, never the words; the tooltip
    // holds it whole. A late answer takes it away.
    const QString caption = rig.Label(5)->text();
    const int width = rig.Label(5)->width();
    for (const char* port : {"COM1", "/dev/serial/by-id/usb-FTDI_FT232R_USB_UART_A50285BI-port0"}) {
        d.noAnswerLabel = 5;
        d.noAnswerPort = port;
        rig.form.Render(d);
        QLabel* line = rig.Label(5);
        QCOMPARE(line->toolTip(), caption + QStringLiteral(" – brak odpowiedzi (") + port + ")");
        QVERIFY2(line->text().contains(QStringLiteral(" – brak odpowiedzi (")),
                 qPrintable(line->text()));
        QVERIFY2(line->text().startsWith(caption.left(8)), qPrintable(line->text()));
        QVERIFY(line->fontMetrics().horizontalAdvance(line->text()) <=
                line->contentsRect().width());
        QVERIFY(line->geometry().right() < line->parentWidget()->width());
        if (QByteArray(port) == "COM1") QVERIFY(line->text().endsWith(QStringLiteral("(COM1)")));
    }
    QVERIFY2(rig.Label(5)->text().endsWith(QStringLiteral("0)")), qPrintable(rig.Label(5)->text()));
    d.noAnswerLabel = 0;
    d.noAnswerPort.clear();
    rig.form.Render(d);
    QCOMPARE(rig.Label(5)->text(), caption);
    QCOMPARE(rig.Label(5)->width(), width);
    QVERIFY(rig.Label(5)->toolTip().isEmpty());
}

void WizardWindowTest::abortButtonLiesOverTheOthers() {
    Rig rig;
    QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
    QPushButton* abort = rig.Button(2);
    QCOMPARE(rig.form.childAt(rig.Button(4)->geometry().center()), rig.Button(4));

    WizardDisplay d;
    d.abortVisible = true;
    rig.form.Render(d);
    QVERIFY(abort->isVisible());
    QCOMPARE(abort->text(), QStringLiteral("Przerwij łączenie"));
    for (int covered : {1, 3, 4}) {
        const QRect area = rig.Button(covered)->geometry();
        for (QPoint p :
             {area.center(), area.topLeft() + QPoint(2, 2), area.bottomRight() - QPoint(2, 2)}) {
            QCOMPARE(rig.form.childAt(p), abort);
        }
    }
}

void WizardWindowTest::timerFollowsTheDisplay() {
    Rig rig;
    QCOMPARE(rig.form.Timer1.interval(), 50);
    QVERIFY(rig.form.Timer1.isActive());  // running from creation
    WizardDisplay d;
    d.timerEnabled = false;
    rig.form.Render(d);
    QVERIFY(!rig.form.Timer1.isActive());
    d.timerEnabled = true;
    rig.form.Render(d);
    QVERIFY(rig.form.Timer1.isActive());
}

void WizardWindowTest::pauseBlocksWithoutRunningEvents() {
    Rig rig;
    bool ran = false;
    QTimer::singleShot(0, &rig.form, [&ran] { ran = true; });
    QElapsedTimer clock;
    clock.start();
    rig.form.Pause(80);
    QVERIFY(clock.elapsed() >= 80);
    QVERIFY(!ran);
    QTRY_VERIFY(ran);
}

void WizardWindowTest::missingPortLeavesOnlyAbortClickable() {
    Rig rig;
    QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
    rig.port.openResult = 8;
    rig.Get<QComboBox>("ComboBox1")->setEditText("COM77");

    rig.ClickAt(rig.Button(3)->geometry().center());  // "Połącz"
    QCOMPARE(rig.port.opened, std::vector<std::string>({"COM77"}));
    QCOMPARE(rig.dialogs.messages,
             std::vector<std::string>({"KT210V-PC|Nie znaleziono wybranego portu COM"}));
    for (int line = 1; line <= WizardDisplay::kLines; ++line) QVERIFY(!rig.Icon(line)->isVisible());
    for (int n : kLabelNumbers) QVERIFY(!rig.Label(n)->isVisible());
    QVERIFY(rig.Button(3)->isEnabled());
    QVERIFY(!rig.Button(4)->isEnabled());
    QVERIFY(rig.Button(2)->isVisible());
    QCOMPARE(rig.form.childAt(rig.Button(3)->geometry().center()), rig.Button(2));

    // A click on "Połącz" now reaches "Przerwij łączenie": every line shows the failed sign.
    rig.ClickAt(rig.Button(3)->geometry().center());
    QCOMPARE(rig.port.opened.size(), size_t{1});
    QVERIFY(!rig.Button(2)->isVisible());
    QVERIFY(!rig.form.Timer1.isActive());
    for (int line = 1; line <= WizardDisplay::kLines; ++line) {
        QVERIFY(rig.Icon(line)->isVisible());
        QVERIFY(rig.Shows(line, 4));
    }
    for (int n : kLabelNumbers) QVERIFY(rig.Label(n)->isVisible());
    QCOMPARE(rig.Label(3)->text(), QStringLiteral("COM77"));
    QVERIFY(rig.Button(3)->isEnabled());
    QCOMPARE(rig.form.childAt(rig.Button(3)->geometry().center()), rig.Button(3));
}

void WizardWindowTest::openedPortIsIdentifiedByTheTimer() {
    Rig rig;
    QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
    rig.form.BitBtn3Click();  // as the automatic connection at start-up does
    QCOMPARE(rig.port.opened, std::vector<std::string>({"COM1"}));
    QCOMPARE(rig.port.readSize, 64);
    QVERIFY(rig.state.portOpen);
    QVERIFY(rig.Icon(3)->isVisible() && rig.Shows(3, 3));  // "Połączono" ticked
    QVERIFY(rig.Button(2)->isVisible());
    QVERIFY(rig.Button(4)->isEnabled());

    // Timer1 drives the steps: the type query goes out, then is repeated while unanswered.
    QTRY_VERIFY(rig.SentRead(device::cmd::DeviceType));
    QTRY_VERIFY(rig.Label(5)->isVisible());  // "Wyszukiwanie urządzenia"
    QTRY_VERIFY(rig.Get<QProgressBar>("ProgressBar1")->value() >= 12);

    rig.ClickAt(rig.Button(4)->geometry().center());  // lands on "Przerwij łączenie"
    QCOMPARE(rig.port.closes, 1);
    QVERIFY(!rig.state.portOpen);
    QVERIFY(!rig.form.Timer1.isActive());
    QVERIFY(!rig.Button(2)->isVisible());
    QVERIFY(rig.Button(3)->isEnabled());
    // Lines 1 to 3 keep their ticks; every line not reached shows the failed sign.
    QVERIFY(rig.Shows(1, 3) && rig.Shows(2, 3) && rig.Shows(3, 3));
    QVERIFY(rig.Shows(5, 4) && rig.Shows(19, 4));
}

void WizardWindowTest::okAndEnterHideTheWindow() {
    Rig rig;
    QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
    QTest::mouseClick(rig.Button(1), Qt::LeftButton);
    QVERIFY(!rig.form.isVisible());
    QVERIFY(rig.form.Timer1.isActive());  // the steps go on while the window is hidden

    rig.form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.form));
    // Enter in the port box presses the default button "OK".
    auto* combo = rig.Get<QComboBox>("ComboBox1");
    combo->setFocus();
    QTest::keyClick(combo->lineEdit(), Qt::Key_Return);
    QVERIFY(!rig.form.isVisible());
}

// Adds or removes a fake /dev entry (and for ttyS the serial core's port type).
static void SetPort(const QTemporaryDir& machine, const QString& name, bool present) {
    QDir(machine.path()).mkpath(QStringLiteral("dev"));
    QFile file(machine.filePath(QStringLiteral("dev/") + name));
    if (!present) {
        QVERIFY(file.remove());
        return;
    }
    QVERIFY(file.open(QIODevice::WriteOnly));
    if (name.startsWith(QStringLiteral("ttyS"))) {
        const QString sys = QStringLiteral("sys/class/tty/") + name;
        QDir(machine.path()).mkpath(sys);
        QFile type(machine.filePath(sys + QStringLiteral("/type")));
        QVERIFY(type.open(QIODevice::WriteOnly));
        type.write("4\n");
    }
}

static QStringList Items(QComboBox* box) {
    QStringList items;
    for (int i = 0; i < box->count(); ++i) items << box->itemText(i);
    return items;
}

static QStringList ComNames(int from, int to) {
    QStringList names;
    for (int n = from; n <= to; ++n) names << QStringLiteral("COM%1").arg(n);
    return names;
}

void WizardWindowTest::portBoxListsTheMachinesPortsAfterCom1() {
    Rig rig;
    auto* box = rig.Get<QComboBox>("ComboBox1");
    for (const char* name : {"ttyUSB10", "ttyUSB2", "ttyS1", "ttyACM0"}) {
        SetPort(rig.machine, QString::fromLatin1(name), true);
    }
    rig.form.hide();
    rig.form.show();  // listed again each time the window is shown
    QCOMPARE(Items(box),
             QStringList({"COM1", "ttyACM0", "ttyS1", "ttyUSB2", "ttyUSB10"}) + ComNames(2, 16));
    QCOMPARE(box->currentIndex(), 0);
    QCOMPARE(rig.form.PortText(), std::string("COM1"));

    // A chosen port that is still there stays chosen; a typed name stays typed.
    box->setCurrentIndex(4);
    SetPort(rig.machine, QStringLiteral("ttyACM0"), false);
    SetPort(rig.machine, QStringLiteral("ttyUSB0"), true);
    rig.form.hide();
    rig.form.show();
    QCOMPARE(Items(box),
             QStringList({"COM1", "ttyS1", "ttyUSB0", "ttyUSB2", "ttyUSB10"}) + ComNames(2, 16));
    QCOMPARE(box->currentText(), QStringLiteral("ttyUSB10"));
    QCOMPARE(box->currentIndex(), 4);

    // The chosen port was unplugged: its name stays in the box, so the open reports it.
    SetPort(rig.machine, QStringLiteral("ttyUSB10"), false);
    rig.form.hide();
    rig.form.show();
    QCOMPARE(Items(box), QStringList({"COM1", "ttyS1", "ttyUSB0", "ttyUSB2"}) + ComNames(2, 16));
    QCOMPARE(rig.form.PortText(), std::string("ttyUSB10"));

    box->setEditText(QStringLiteral("/dev/pts/7"));
    rig.form.hide();
    rig.form.show();
    QCOMPARE(rig.form.PortText(), std::string("/dev/pts/7"));

    // An adapter under /dev/serial/by-id comes last, by its whole path, and the open list
    // is wide enough to show it.
    const QString byId = rig.machine.filePath("dev/serial/by-id/usb-FTDI_FT232R_A50285BI-port0");
    QVERIFY(QDir(rig.machine.path()).mkpath(QStringLiteral("dev/serial/by-id")));
    QVERIFY(QFile::link(QStringLiteral("../../ttyUSB0"), byId));
    rig.form.hide();
    rig.form.show();
    QCOMPARE(box->itemText(4), byId);
    box->showPopup();
    QVERIFY(box->view()->width() > box->view()->fontMetrics().horizontalAdvance(byId));
    box->hidePopup();
}

QTEST_MAIN(WizardWindowTest)
#include "test_wizard_window.moc"
