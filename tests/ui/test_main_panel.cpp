// The main window without a connection: its outline, the settings panel's entry rules
// (colours, parsing, the refresh guard, arrow limits), the sensor list's drawing, the
// mode picture and closing.
#include <QActionGroup>
#include <QCheckBox>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QStyleOptionViewItem>
#include <QTabWidget>
#include <QToolTip>
#include <QtTest>

#include "MainHarness.h"
#include "widgets/SensorComboBox.h"
#include "widgets/UpDown.h"

using kt::test::MainHarness;
using kt::ui::TForm1;

class MainPanelTest : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void outlineOfWindowAndMenus();
    void integerBoxColoursAndEnter();
    void thresholdsUseLocaleSeparatorAndRoundP1Only();
    void refreshGuardBlocksIntegerBoxesAndListsOnly();
    void arrowsStopAtTheirLimits();
    void modeListAndBeepBox();
    void sensorListDrawsColouredItemsWithoutHighlight();
    void modePictureKeepsOldPictureWhenFileIsBad();
    void closeBoxAndZakonczCloseTheWindow();

private:
    QLineEdit* Edit(const char* name) { return h_->Find<QLineEdit>(name); }
    static QColor Base(QWidget* w) { return w->palette().color(QPalette::Base); }
    void Type(QLineEdit* edit, const QString& text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, text);
    }
    void Enter(QLineEdit* edit) { QTest::keyClick(edit, Qt::Key_Return); }

    std::unique_ptr<MainHarness> h_;
};

void MainPanelTest::init() {
    h_ = std::make_unique<MainHarness>();
    h_->CreateWindows(false);
}

void MainPanelTest::cleanup() {
    h_.reset();
}

void MainPanelTest::outlineOfWindowAndMenus() {
    TForm1& f = h_->Form();
    QCOMPARE(f.windowTitle(), QStringLiteral("KT210V-PC V1.00"));
    QCOMPARE(f.centralWidget()->size(), QSize(947, 638));
    QCOMPARE(f.minimumSize(), f.maximumSize());
    QCOMPARE(f.font().pixelSize(), 11);
    auto* tabs = h_->Find<QTabWidget>("PageControl1");
    QCOMPARE(tabs->count(), 4);
    QCOMPARE(tabs->currentIndex(), 0);
    const QStringList captions = {QStringLiteral("Wskaźniki         "),
                                  QStringLiteral("Urządzenie   "), QStringLiteral("Wykres"),
                                  QStringLiteral("Rejestracja pomiarów")};
    for (int i = 0; i < 4; ++i) QCOMPARE(tabs->tabText(i), captions[i]);
    QCOMPARE(h_->Find<QPushButton>("BitBtn7")->text(),
             QStringLiteral("        Połączenie...                "));
    for (const char* label : {"Label63", "Label64", "Label65", "Label66"}) {
        QCOMPARE(h_->Find<QLabel>(label)->text(), QStringLiteral("(brak)"));
    }
    QCOMPARE(h_->Find<QComboBox>("ComboBox1")->currentIndex(), -1);
    QCOMPARE(h_->Find<QComboBox>("ComboBox1")->count(), 5);
    QCOMPARE(h_->Find<QComboBox>("ComboBox1")->itemText(4),
             QStringLiteral("mode 4: Odczyt, wyjścia nieaktywne"));
    QCOMPARE(Edit("Edit5")->text(), QStringLiteral("100"));
    QCOMPARE(h_->Find<QCheckBox>("CheckBox15")->layoutDirection(), Qt::RightToLeft);

    // Menu bar: three menus and the command "o programie".
    QStringList top;
    for (QAction* a : f.menuBar()->actions()) top << a->text();
    QCOMPARE(top, (QStringList{"Program", "komunikacja", "Pomoc", "o programie"}));
    QVERIFY(f.menuBar()->actions().at(3)->menu() == nullptr);
    QVERIFY(!h_->Find<QAction>("Aktualizacja1")->isVisible());
    for (const char* hidden : {"pocz1", "rozcz1", "debugger1"}) {
        QVERIFY2(!h_->Find<QAction>(hidden)->isVisible(), hidden);
    }
    QVERIFY(!h_->Find<QMenu>("port1")->menuAction()->isVisible());
    QVERIFY(h_->Find<QAction>("wizard1")->isVisible());
    QVERIFY(!h_->Find<QAction>("wizard1")->icon().isNull());
    const QList<QAction*> ports = h_->Find<QMenu>("port1")->actions();
    QCOMPARE(ports.size(), 15);
    QCOMPARE(ports.last()->text(), QStringLiteral("auto"));
    QVERIFY(ports.first()->isChecked());
    QVERIFY(ports.first()->actionGroup()->isExclusive());

    QCOMPARE(f.Timer1->interval(), 50);
    QCOMPARE(f.Timer2->interval(), 250);
    QVERIFY(f.Timer1->isActive() && f.Timer2->isActive());
    QCOMPARE(h_->State().typeName, std::string("<nierozpoznane>"));
    QCOMPARE(f.StartupDirectory(), h_->Dir().toStdString());
}

void MainPanelTest::integerBoxColoursAndEnter() {
    QLineEdit* e4 = Edit("Edit4");
    QCOMPARE(Base(e4), QColor(Qt::white));
    Type(e4, "7");
    QCOMPARE(Base(e4), kt::ui::TypingColour());
    QCOMPARE(h_->State().Set.LED, 0);
    Enter(e4);
    QCOMPARE(Base(e4), QColor(166, 202, 240));
    QCOMPARE(h_->State().Set.LED, 7);
    QCOMPARE(e4->text(), QStringLiteral("7"));

    // No range on this path; the arrows would stop at 9.
    Type(e4, "50");
    Enter(e4);
    QCOMPARE(h_->State().Set.LED, 50);

    // Not a number: the field keeps its value, the box its text and the light blue.
    QLineEdit* e9 = Edit("Edit9");
    h_->State().Set.decp = 3;
    Type(e9, "abc");
    Enter(e9);
    QCOMPARE(h_->State().Set.decp, 3);
    QCOMPARE(e9->text(), QStringLiteral("abc"));
    QCOMPARE(Base(e9), QColor(166, 202, 240));

    QLineEdit* e5 = Edit("Edit5");
    Type(e5, "2500");
    Enter(e5);
    QCOMPARE(h_->State().Set.OnTime, 2500u);

    // A cursor key is no typing.
    QLineEdit* e6 = Edit("Edit6");
    QTest::keyClick(e6, Qt::Key_Left);
    QCOMPARE(Base(e6), QColor(Qt::white));
}

void MainPanelTest::thresholdsUseLocaleSeparatorAndRoundP1Only() {
    QLineEdit* e6 = Edit("Edit6");
    QLineEdit* e7 = Edit("Edit7");
    Type(e6, "1,23456");
    Enter(e6);
    QCOMPARE(h_->State().Set.PK1, static_cast<float>(1.235));
    Type(e7, "1,23456");
    Enter(e7);
    QCOMPARE(h_->State().Set.PK2, 1.23456f);
    QCOMPARE(Base(e7), QColor(166, 202, 240));

    // A point is no decimal separator here: the value stays.
    Type(e6, "2.5");
    Enter(e6);
    QCOMPARE(h_->State().Set.PK1, static_cast<float>(1.235));
    QCOMPARE(e6->text(), QStringLiteral("2.5"));
    Type(e7, "-10,0006");
    Enter(e7);
    QCOMPARE(h_->State().Set.PK2, -10.0006f);

    // Values no float can hold are refused like text that is not a number.
    for (const char* text : {"1E39", "-4E38", "1E999"}) {
        Type(e7, QString::fromLatin1(text));
        Enter(e7);
        QCOMPARE(h_->State().Set.PK2, -10.0006f);
    }
}

void MainPanelTest::refreshGuardBlocksIntegerBoxesAndListsOnly() {
    kt::device::DeviceState& s = h_->State();
    s.refreshPending = true;  // no device: nothing clears it
    for (const char* name : {"Edit4", "Edit5", "Edit9"}) {
        QLineEdit* e = Edit(name);
        Type(e, "8");
        Enter(e);
        QCOMPARE(Base(e), QColor(Qt::white));
    }
    QCOMPARE(s.Set.LED, 0);
    QCOMPARE(s.Set.OnTime, 0u);
    QCOMPARE(s.Set.decp, 0);

    h_->Find<UpDown>("UpDown1")->click(UpDown::Button::Up);
    QCOMPARE(s.Set.LED, 0);
    QCOMPARE(Base(Edit("Edit4")), QColor(Qt::white));

    auto* mode = h_->Find<QComboBox>("ComboBox1");
    emit mode->activated(2);
    QCOMPARE(s.Set.mode, 0);
    emit h_->Find<QComboBox>("ComboBox2")->activated(1);
    QCOMPARE(s.Set.Q_NR, 0u);

    // Thresholds and the beeper are taken at any time.
    Type(Edit("Edit6"), "12");
    Enter(Edit("Edit6"));
    QCOMPARE(s.Set.PK1, 12.0f);
    Type(Edit("Edit7"), "13");
    Enter(Edit("Edit7"));
    QCOMPARE(s.Set.PK2, 13.0f);
    h_->Find<QCheckBox>("CheckBox15")->click();
    QCOMPARE(s.Set.Beep, 1);
}

void MainPanelTest::arrowsStopAtTheirLimits() {
    struct Case {
        const char* upDown;
        const char* edit;
        int low;
        int high;
    };
    kt::device::DeviceState& s = h_->State();
    for (const Case& c : {Case{"UpDown1", "Edit4", 0, 9}, Case{"UpDown4", "Edit9", 0, 6},
                          Case{"UpDown3", "Edit5", 1, 32732}}) {
        auto* arrows = h_->Find<UpDown>(c.upDown);
        QLineEdit* edit = Edit(c.edit);
        auto field = [&]() -> int64_t {
            if (c.edit == std::string("Edit4")) return s.Set.LED;
            if (c.edit == std::string("Edit9")) return s.Set.decp;
            return s.Set.OnTime;
        };
        edit->setText(QString::number(c.high - 1));
        arrows->click(UpDown::Button::Up);
        QCOMPARE(edit->text(), QString::number(c.high));
        arrows->click(UpDown::Button::Up);
        QCOMPARE(edit->text(), QString::number(c.high));
        QCOMPARE(field(), int64_t{c.high});
        QCOMPARE(Base(edit), QColor(166, 202, 240));

        edit->setText(QString::number(c.low + 1));
        arrows->click(UpDown::Button::Down);
        arrows->click(UpDown::Button::Down);
        QCOMPARE(edit->text(), QString::number(c.low));
        QCOMPARE(field(), int64_t{c.low});
    }
    // The real arrow buttons do the same.
    Edit("Edit4")->setText("9");
    QTest::mouseClick(h_->Find<UpDown>("UpDown1")->findChild<QWidget*>("up"), Qt::LeftButton);
    QCOMPARE(Edit("Edit4")->text(), QStringLiteral("9"));
    QTest::mouseClick(h_->Find<UpDown>("UpDown1")->findChild<QWidget*>("down"), Qt::LeftButton);
    QCOMPARE(s.Set.LED, 8);
}

void MainPanelTest::modeListAndBeepBox() {
    kt::device::DeviceState& s = h_->State();
    auto* mode = h_->Find<QComboBox>("ComboBox1");
    mode->setCurrentIndex(3);
    emit mode->activated(3);
    QCOMPARE(s.Set.mode, 3);
    QCOMPARE(s.Stan.mode, 0);
    QVERIFY(h_->Form().DevicePage().ModeImage().isNull());  // the picture waits for the device

    // The decoder's selection does not count as a pick.
    s.Set.mode = 1;
    h_->Form().DevicePage().SetModeSelection(4);
    QCOMPARE(mode->currentIndex(), 4);
    QCOMPARE(s.Set.mode, 1);
    h_->Form().DevicePage().SetModeSelection(7);
    QCOMPARE(mode->currentIndex(), -1);

    auto* beep = h_->Find<QCheckBox>("CheckBox15");
    beep->click();
    QCOMPARE(s.Set.Beep, 1);
    // Set from the device's state like a click: the handler copies it into Set.
    h_->Form().DevicePage().SetBeepChecked(false);
    QCOMPARE(s.Set.Beep, 0);
    s.Set.Beep = 1;
    h_->Form().DevicePage().SetBeepChecked(false);  // no change, no click
    QCOMPARE(s.Set.Beep, 1);
}

void MainPanelTest::sensorListDrawsColouredItemsWithoutHighlight() {
    auto* list = h_->Find<SensorComboBox>("ComboBox2");
    QCOMPARE(list->count(), 3);
    QCOMPARE(list->currentIndex(), 0);
    const QColor colours[3] = {QColor(255, 0, 0), QColor(0, 255, 0), QColor(0, 255, 255)};
    for (int i = 0; i < 3; ++i) {
        list->setCurrentIndex(i);
        const QImage closed = list->grab().toImage();
        // A point inside the field, away from the text.
        const QColor seen = closed.pixelColor(closed.width() / 2, closed.height() - 6);
        QCOMPARE(seen.rgb(), colours[i].rgb());
    }
    // A selected item of the open list is drawn like the others.
    QImage item(120, 16, QImage::Format_RGB32);
    item.fill(Qt::white);
    QPainter painter(&item);
    QStyleOptionViewItem option;
    option.rect = item.rect();
    option.state = QStyle::State_Selected | QStyle::State_HasFocus;
    list->itemDelegate()->paint(&painter, option, list->model()->index(2, 0));
    painter.end();
    QCOMPARE(item.pixelColor(100, 14).rgb(), colours[2].rgb());
    bool hasBlack = false;
    for (int x = 5; x < 60 && !hasBlack; ++x) {
        for (int y = 0; y < 16 && !hasBlack; ++y) hasBlack = item.pixelColor(x, y) == Qt::black;
    }
    QVERIFY(hasBlack);  // the text "Sensor: 2"
}

void MainPanelTest::modePictureKeepsOldPictureWhenFileIsBad() {
    TForm1& f = h_->Form();
    const std::string dir = f.StartupDirectory() + "/Grafika/";
    f.DevicePage().LoadModePicture(dir + "MODE_1.jpg");
    const QImage first = f.DevicePage().ModeImage();
    QVERIFY(!first.isNull());
    auto* image2 = h_->Find<QLabel>("Image2");
    QVERIFY(!image2->pixmap().isNull());
    QVERIFY(image2->pixmap().width() <= image2->width());
    QVERIFY(image2->pixmap().height() <= image2->height());
    // Aspect ratio kept, and the group filled in one direction.
    const double ratio = double(first.width()) / first.height();
    const double shown = double(image2->pixmap().width()) / image2->pixmap().height();
    QVERIFY(std::abs(ratio - shown) < 0.02);
    QVERIFY(image2->pixmap().width() >= image2->contentsRect().width() - 1 ||
            image2->pixmap().height() >= image2->contentsRect().height() - 1);

    f.DevicePage().LoadModePicture(dir + "missing.jpg");
    QCOMPARE(f.DevicePage().ModeImage(), first);
    QFile broken(QString::fromStdString(dir + "MODE_2.jpg"));
    QVERIFY(broken.open(QIODevice::WriteOnly | QIODevice::Truncate));
    broken.write("\xFF\xD8\xFF\xE0 not really a picture");
    broken.close();
    f.DevicePage().LoadModePicture(dir + "MODE_2.jpg");
    QCOMPARE(f.DevicePage().ModeImage(), first);
    f.DevicePage().LoadModePicture(dir + "MODE_3.jpg");
    QVERIFY(f.DevicePage().ModeImage() != first);
}

void MainPanelTest::closeBoxAndZakonczCloseTheWindow() {
    TForm1& f = h_->Form();
    QVERIFY(f.isVisible());
    f.close();
    QVERIFY(!f.isVisible());
    f.show();
    // "zakończ" closes the window the same way.
    h_->Find<QAction>("zakocz1")->trigger();
    QVERIFY(!f.isVisible());
}

QTEST_MAIN(MainPanelTest)
#include "test_main_panel.moc"
