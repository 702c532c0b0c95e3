// The tab "Rejestracja pomiarów" offscreen: rows from samples handed to its subscriber,
// the button and the autoodczyt box, clearing after Yes only, what the grid paints (cell
// colours, navy selection, text 5 pixels in), the information column's width, the scroll
// past 28 rows, the save dialogs' outcomes, the same file as `kt210v-cli record` for the
// same rows, and the view's work bounded by what it shows.
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "DeviceState.h"
#include "FakeDateTimeTexts.h"
#include "Fakes.h"
#include "IndicatorModel.h"
#include "LocaleDateTimeTexts.h"
#include "QtDialogs.h"
#include "RecordCommand.h"
#include "RegistrationCells.h"
#include "RegistrationTab.h"
#include "RegistrationTable.h"
#include "RegistrationTableModel.h"
#include "SamplingClock.h"
#include "Windows1250.h"

using namespace kt;
namespace fs = std::filesystem;
using measurement::Sample;

namespace {

constexpr int64_t kMoment = test::FakeDateTimeTexts::kMoment;  // 08.05.2024 14:03:07 UTC

int64_t PinnedClock() {
    return kMoment;
}

class DrivenClock : public measurement::HundredthsClock {
public:
    int64_t now = 1000;
    int64_t NowHundredths() override { return now; }
};

// Sensors 0 and 1 turning, sensor 2 present but never active; PK1 on every other sample.
Sample MakeSample(int i) {
    Sample s;
    s.number = static_cast<uint64_t>(i);
    s.elapsed = 0.01 * (i + 1);
    s.sensorPresent[0] = s.sensorPresent[1] = s.sensorPresent[2] = true;
    s.angle[0] = 12.3456f + static_cast<float>(i);
    s.angle[1] = 200.0f;
    s.angle[2] = 7.0f;
    s.outputOn[0] = i % 2 == 1;
    return s;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The window's objects around one tab: the device state, the indicator view with
// channels 0 and 1 active, the sampling clock, the table and fake message boxes.
struct Rig {
    device::DeviceState device;
    measurement::IndicatorModel indicator{device, ','};
    test::RecordingSink sink;
    device::FrameSender sender{sink, nullptr};
    test::FakeDialogs dialogs;
    measurement::SilentSamplingView samplingView;
    DrivenClock clock;
    measurement::SamplingClock sampling{device, sender, dialogs, samplingView, clock, ','};
    test::FakeDateTimeTexts dates;
    measurement::RegistrationTable table{dates};
    ui::RegistrationTab tab;

    Rig() {
        device.typeName = "KT210V";
        device.deviceReady = true;
        device.typeStatus = device::TypeStatus::Recognised;
        for (int i = 0; i < 3; ++i) device.sensorPresent[i] = true;
        indicator.SetActive(0, true);
        indicator.SetActive(1, true);
        tab.Attach(table, indicator, sampling, dialogs, device, dates);
        tab.SetWallClock(PinnedClock);
        tab.resize(941, 612);
    }
    // What the sampling clock does with a decoded answer: the indicator view first, then
    // the tab.
    void Feed(const Sample& s) {
        indicator.OnSample(s);
        tab.OnSample(s);
    }
    QString Cell(int gridRow, int column) const {
        const auto& model = tab.Model();
        return model.data(model.index(gridRow - 1, column)).toString();
    }
    template <typename T>
    T* Find(const char* name) {
        return tab.findChild<T*>(QString::fromLatin1(name));
    }
};

// The grid row of the first registration wholly in view (a row cut by the top edge is
// not counted).
int TopGridRow(const QTableView* grid) {
    const int row = grid->rowAt(0);
    return (grid->rowViewportPosition(row) < 0 ? row + 1 : row) + 1;
}

}  // namespace

class RegistrationTabTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanup();
    void autoReadRegistersSamplesAndTheGridCatchesUpOnce();
    void buttonRegistersNowWhileAutoReadIsUnticked();
    void boxesReachTheTableAndComeBackForTheSettings();
    void clearingNeedsYes();
    void informationColumnWidthFollowsDateAndTime();
    void cellsArePaintedByTheRules();
    void newestRowsStayInViewPast28Rows();
    void saveDialogOutcomes();
    void failedSaveShowsTheNameAndTheReason();
    void durationIsTheRunsElapsedTime();
    void windowAndCommandLineWriteTheSameFile();
    void localeTextsAndDialogFilters();
    void viewWorkIsBoundedByWhatIsShown();

private:
    fs::path dir_;
};

void RegistrationTabTest::initTestCase() {
    setenv("TZ", "UTC", 1);
    tzset();
    char folder[] = "/tmp/kt-regtab-XXXXXX";
    QVERIFY(mkdtemp(folder) != nullptr);
    dir_ = folder;
}

void RegistrationTabTest::cleanup() {
    for (const auto& entry : fs::directory_iterator(dir_)) fs::remove_all(entry.path());
}

// The defaults of the table's first row: number, elapsed time with a comma, the shown
// displays of the active channels, the dashes of the never-shown one, empty outputs.
void RegistrationTabTest::autoReadRegistersSamplesAndTheGridCatchesUpOnce() {
    Rig r;
    QSignalSpy inserted(&r.tab.Model(), &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 40; ++i) r.Feed(MakeSample(i));
    QCOMPARE(r.table.rowsRegistered(), 40);
    QCOMPARE(r.tab.Model().rowCount(), 1);  // the grid has not been told yet
    r.tab.ShowPendingRows();
    QCOMPARE(inserted.count(), 1);
    QCOMPARE(r.tab.Model().rowCount(), 40);
    const QStringList first = {"0 ", "0,010", "12,3456", "200,0000", "-------------", "", ""};
    for (int column = 0; column < first.size(); ++column)
        QCOMPARE(r.Cell(1, column), first[column]);
    QCOMPARE(r.Cell(40, 0), QStringLiteral("39 "));
    QCOMPARE(r.Cell(40, 2), QStringLiteral("51,3456"));
    QCOMPARE(r.tab.Model().headerData(2, Qt::Horizontal).toString(), QStringLiteral("Czujnik 0"));
    // The 50 ms timer does the same when nobody calls.
    r.Feed(MakeSample(40));
    QTRY_COMPARE(r.tab.Model().rowCount(), 41);
}

void RegistrationTabTest::buttonRegistersNowWhileAutoReadIsUnticked() {
    Rig r;
    auto* button = r.Find<QPushButton>("BitBtn5");
    QVERIFY(!button->isEnabled());
    r.Find<QCheckBox>("CheckBox16")->click();
    QVERIFY(button->isEnabled());
    r.Feed(MakeSample(0));
    r.Feed(MakeSample(1));
    QCOMPARE(r.table.rowsRegistered(), 0);
    r.Find<QCheckBox>("CheckBox10")->click();  // PK1
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(r.tab.Model().rowCount(), 1);
    QCOMPARE(r.Cell(1, 0), QStringLiteral("0 "));
    QCOMPARE(r.Cell(1, 2), QStringLiteral("13,3456"));  // what the display shows now
    QCOMPARE(r.Cell(1, 5), QStringLiteral("1"));
    QCOMPARE(r.Cell(1, 6), QString());
}

namespace {

// The boxes in settings order: autoodczyt, channels 0-2, PK1, PK2, data, godzina,
// czas pomiaru, numer próbki, kolor.
std::string Bits(const measurement::RegistrationBoxes& b) {
    std::string bits;
    for (bool on : {b.autoRead, b.channel[0], b.channel[1], b.channel[2], b.pk1, b.pk2, b.date,
                    b.time, b.elapsedTime, b.sampleNumber, b.colour}) {
        bits += on ? '1' : '0';
    }
    return bits;
}

}  // namespace

void RegistrationTabTest::boxesReachTheTableAndComeBackForTheSettings() {
    Rig r;
    QCOMPARE(Bits(r.tab.Boxes()), std::string("11110000111"));
    measurement::RegistrationBoxes wanted;
    wanted.autoRead = wanted.channel[1] = wanted.elapsedTime = false;
    wanted.sampleNumber = wanted.colour = false;
    wanted.pk2 = wanted.date = true;
    r.tab.SetBoxes(wanted);
    QCOMPARE(Bits(r.tab.Boxes()), std::string("01010110000"));
    QCOMPARE(Bits(r.table.boxes()), std::string("01010110000"));
    QVERIFY(r.Find<QPushButton>("BitBtn5")->isEnabled());  // as a click on the box would
}

void RegistrationTabTest::clearingNeedsYes() {
    Rig r;
    for (int i = 0; i < 3; ++i) r.Feed(MakeSample(i));
    r.tab.ShowPendingRows();
    r.dialogs.answerYes = false;
    r.Find<QPushButton>("BitBtn6")->click();
    QCOMPARE(r.dialogs.questions.size(), size_t{1});
    QCOMPARE(r.dialogs.questions[0],
             std::string("Czyszczenie tabeli rejestracji pomiarów...\nCzy jesteś pewien?"));
    QCOMPARE(r.tab.Model().rowCount(), 3);
    QCOMPARE(r.Cell(3, 0), QStringLiteral("2 "));

    r.Feed(MakeSample(3));  // registered, not yet shown, when the table is cleared
    r.dialogs.answerYes = true;
    r.Find<QPushButton>("BitBtn6")->click();
    QCOMPARE(r.table.rowsRegistered(), 0);
    QCOMPARE(r.tab.Model().rowCount(), 1);
    for (int column = 0; column < 9; ++column) QCOMPARE(r.Cell(1, column), QString());
    QCOMPARE(r.tab.Model().headerData(0, Qt::Horizontal).toString(), QStringLiteral("Index"));
    r.Feed(MakeSample(4));
    r.tab.ShowPendingRows();
    QCOMPARE(r.tab.Model().rowCount(), 1);
    QCOMPARE(r.Cell(1, 0), QStringLiteral("0 "));
}

void RegistrationTabTest::informationColumnWidthFollowsDateAndTime() {
    struct Case {
        bool date, time, number;
        int width;
        const char* text;
    };
    const Case cases[] = {{false, false, true, 60, "0 "},
                          {true, false, true, 110, "0 (08.05.2024)"},
                          {false, true, true, 110, "0 (14:03:07)"},
                          {true, true, false, 160, "(08.05.2024 14:03:07)"}};
    for (const Case& c : cases) {
        Rig r;
        QCOMPARE(r.tab.Grid()->columnWidth(0), 82);
        QCOMPARE(r.tab.Grid()->columnWidth(1), 82);
        r.Find<QCheckBox>("CheckBox7")->setChecked(c.date);
        r.Find<QCheckBox>("CheckBox8")->setChecked(c.time);
        r.Find<QCheckBox>("CheckBox11")->setChecked(c.number);
        r.Feed(MakeSample(0));
        r.tab.ShowPendingRows();
        QCOMPARE(r.tab.Grid()->columnWidth(0), c.width);
        QCOMPARE(r.Cell(1, 0), QString::fromUtf8(c.text));
    }
}

// Rendered offscreen: backgrounds by column with and without "kolor", the navy selection
// with white text, black text starting 5 pixels in, the titles on button face.
void RegistrationTabTest::cellsArePaintedByTheRules() {
    Rig r;
    r.tab.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.tab));
    for (int i = 0; i < 3; ++i) r.Feed(MakeSample(i));
    r.Find<QCheckBox>("CheckBox10")->setChecked(true);
    r.Feed(MakeSample(3));
    r.tab.ShowPendingRows();
    QTableView* grid = r.tab.Grid();
    const QPalette palette = grid->palette();
    auto pixelIn = [&](int row, int column, QPoint offset) {
        const QRect cell = grid->visualRect(r.tab.Model().index(row, column));
        return grid->viewport()->grab().toImage().pixelColor(cell.topLeft() + offset);
    };
    const QColor coloured[] = {palette.color(QPalette::Button),
                               palette.color(QPalette::Base),
                               QColor(255, 0, 0),
                               QColor(0, 255, 0),
                               QColor(0, 255, 255),
                               QColor(255, 255, 255),
                               QColor(255, 128, 0),
                               palette.color(QPalette::Base)};
    for (int column = 0; column < 8; ++column) {
        QCOMPARE(pixelIn(1, column, QPoint(2, 2)), coloured[column]);
    }
    r.Find<QCheckBox>("CheckBox12")->setChecked(false);
    for (int column = 1; column < 8; ++column) {
        QCOMPARE(pixelIn(1, column, QPoint(2, 2)), palette.color(QPalette::Base));
    }
    QCOMPARE(pixelIn(1, 0, QPoint(2, 2)), palette.color(QPalette::Button));

    // Text: nothing but background in the 5-pixel margin, black strokes after it.
    const QRect cell = grid->visualRect(r.tab.Model().index(0, 2));  // "12,3456"
    const QImage shot = grid->viewport()->grab().toImage();
    bool black = false;
    for (int y = cell.top(); y < cell.bottom(); ++y) {
        for (int x = cell.left(); x < cell.right(); ++x) {
            const QColor c = shot.pixelColor(x, y);
            if (x < cell.left() + 5 || y < cell.top() + 5) {
                QCOMPARE(c, palette.color(QPalette::Base));
            }
            black = black || c == QColor(Qt::black);
        }
    }
    QVERIFY(black);

    grid->selectionModel()->select(r.tab.Model().index(1, 3), QItemSelectionModel::Select);
    QCOMPARE(pixelIn(1, 3, QPoint(2, 2)), QColor(0, 0, 128));
    const QRect selected = grid->visualRect(r.tab.Model().index(1, 3));
    const QImage after = grid->viewport()->grab().toImage();
    bool white = false;
    for (int x = selected.left() + 5; x < selected.right(); ++x) {
        for (int y = selected.top() + 5; y < selected.bottom(); ++y) {
            white = white || after.pixelColor(x, y) == QColor(Qt::white);
        }
    }
    QVERIFY(white);
    QVERIFY(!(r.tab.Model().flags(r.tab.Model().index(0, 0)) & Qt::ItemIsSelectable));

    const QImage titles = grid->horizontalHeader()->grab().toImage();
    QCOMPARE(titles.pixelColor(2, 2), palette.color(QPalette::Button));
}

void RegistrationTabTest::newestRowsStayInViewPast28Rows() {
    Rig r;
    r.tab.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.tab));
    QTableView* grid = r.tab.Grid();
    // The tab's grid shows 27 registrations below the titles, as the rule assumes.
    QCOMPARE(grid->viewport()->height() / 20, 27);
    for (int i = 0; i < 27; ++i) r.Feed(MakeSample(i));
    r.tab.ShowPendingRows();
    QCOMPARE(TopGridRow(grid), 1);  // 28 grid rows: no scrolling yet
    for (int i = 27; i < 30; ++i) r.Feed(MakeSample(i));
    r.tab.ShowPendingRows();
    QCOMPARE(r.table.RowCount(), 31);
    QCOMPARE(TopGridRow(grid), 4);  // grid row (31 - 27) on top
    const QRect newest = grid->visualRect(r.tab.Model().index(29, 1));
    QVERIFY(grid->viewport()->rect().contains(newest));
    // Scrolled by hand, the next registration brings the newest rows back.
    grid->scrollToTop();
    r.Feed(MakeSample(30));
    r.tab.ShowPendingRows();
    QCOMPARE(TopGridRow(grid), 5);
}

void RegistrationTabTest::saveDialogOutcomes() {
    Rig r;
    for (int i = 0; i < 3; ++i) r.Feed(MakeSample(i));
    auto* saveAs = r.Find<QPushButton>("BitBtn1");
    auto* save = r.Find<QPushButton>("BitBtn4");
    QCOMPARE(saveAs->text(), QStringLiteral("    Zapisz Jako..."));
    QCOMPARE(save->text(), QStringLiteral("       Zapisz         "));
    QVERIFY(save->isEnabled());

    // "Zapisz" before any name asks for one; cancelling writes nothing.
    save->click();
    QCOMPARE(r.dialogs.saveRequests.size(), size_t{1});
    QCOMPARE(r.dialogs.saveRequests[0].filter,
             std::string("Text|*.txt|Excel|*.xls|Excel 2007+|*.xlsx|CSV UTF-8|*.csv"));
    QVERIFY(r.tab.FileName().empty());
    QVERIFY(fs::is_empty(dir_));

    // A name without an extension takes the selected filter's.
    r.dialogs.saveAnswer = device::SaveFileChoice{(dir_ / "wyniki").string(), 1};
    saveAs->click();
    const fs::path excel = dir_ / "wyniki.xls";
    QCOMPARE(r.tab.FileName(), excel.string());
    const std::string bytes = ReadFile(excel);
    QVERIFY(bytes.rfind("typ urz\xB9"
                        "dzenia=\tKT210V\r\n",
                        0) == 0);
    QVERIFY(bytes.find("Ilosc pr\xF3"
                       "bek=\t3\r\n") != std::string::npos);

    // "Zapisz" writes that name again without asking; the table has grown meanwhile.
    r.Feed(MakeSample(3));
    save->click();
    QCOMPARE(r.dialogs.saveRequests.size(), size_t{2});
    QVERIFY(ReadFile(excel).find("Ilosc pr\xF3"
                                 "bek=\t4\r\n") != std::string::npos);
    QVERIFY(r.dialogs.messages.empty());

    // An unknown extension is refused with a message and not kept for "Zapisz".
    r.dialogs.saveAnswer = device::SaveFileChoice{(dir_ / "wyniki.ods").string(), 0};
    saveAs->click();
    QCOMPARE(r.dialogs.messages.size(), size_t{1});
    QVERIFY(r.dialogs.messages[0].find("\".ods\"") != std::string::npos);
    QVERIFY(!fs::exists(dir_ / "wyniki.ods"));
    QCOMPARE(r.tab.FileName(), excel.string());
    QCOMPARE(r.dialogs.saveRequests.back().fileName, excel.string());  // offered again

    // The third and fourth filters give the workbook and the comma-separated file.
    r.dialogs.saveAnswer = device::SaveFileChoice{(dir_ / "arkusz").string(), 2};
    saveAs->click();
    QVERIFY(ReadFile(dir_ / "arkusz.xlsx").rfind("PK\x03\x04", 0) == 0);
    r.dialogs.saveAnswer = device::SaveFileChoice{(dir_ / "dane").string(), 3};
    saveAs->click();
    QVERIFY(ReadFile(dir_ / "dane.csv").rfind("Index,Czas [s],", 0) == 0);
    QCOMPARE(r.tab.FileName(), (dir_ / "dane.csv").string());

    // Upper-case extensions pick their layout as well.
    r.dialogs.saveAnswer = device::SaveFileChoice{(dir_ / "wyniki.TXT").string(), 1};
    saveAs->click();
    QVERIFY(ReadFile(dir_ / "wyniki.TXT")
                .rfind("typ urz\xB9"
                       "dzenia= \tKT210V",
                       0) == 0);
}

void RegistrationTabTest::failedSaveShowsTheNameAndTheReason() {
    Rig r;
    r.Feed(MakeSample(0));
    std::ofstream(dir_ / "plik") << "x";
    const std::string target = (dir_ / "plik" / "wyniki.txt").string();
    r.dialogs.saveAnswer = device::SaveFileChoice{target, 0};
    r.Find<QPushButton>("BitBtn1")->click();
    QCOMPARE(r.dialogs.messages.size(), size_t{1});
    QCOMPARE(r.dialogs.messages[0],
             "KT210V-PC|Nie udało się zapisać pliku \"" + target + "\":\nNot a directory");
    QVERIFY(QApplication::overrideCursor() == nullptr);  // the busy cursor is gone
    // The name stays for "Zapisz", which reports again rather than pretending success.
    r.Find<QPushButton>("BitBtn4")->click();
    QCOMPARE(r.dialogs.messages.size(), size_t{2});
}

void RegistrationTabTest::durationIsTheRunsElapsedTime() {
    Rig r;
    r.sampling.SetPeriodMs(100);
    r.sampling.Start();
    for (int i = 0; i < 25; ++i) {
        r.clock.now += 50;
        r.sampling.OnIdle();
    }
    r.sampling.Stop();  // the stopped clock counts from 0 again; the run's 12.5 s stays
    r.dialogs.saveAnswer = device::SaveFileChoice{(dir_ / "run.xls").string(), 1};
    r.Find<QPushButton>("BitBtn1")->click();
    const std::string bytes = ReadFile(dir_ / "run.xls");
    QVERIFY(bytes.find("czas trwania pomiaru=\t12,5\t [s]\r\n") != std::string::npos);
    QVERIFY(bytes.find("Okres pr\xF3"
                       "bkowania= \t100\t [ms]\r\n") != std::string::npos);
}

// The same samples through the window's tab and through the command-line recorder give
// the same bytes in both layouts, with every box the tool can tick.
void RegistrationTabTest::windowAndCommandLineWriteTheSameFile() {
    Rig r;
    r.indicator.SetActive(2, true);  // the tool counts every present sensor as active
    r.Find<QCheckBox>("CheckBox7")->setChecked(true);
    r.Find<QCheckBox>("CheckBox8")->setChecked(true);
    r.Find<QCheckBox>("CheckBox10")->setChecked(true);
    r.Find<QCheckBox>("CheckBox20")->setChecked(true);
    cli::RecordOptions options;
    options.date = options.time = options.pk = true;
    options.sampling.periodMs = r.sampling.PeriodMs();
    cli::TableRecorder recorder(r.dates, cli::RecordBoxes(options), PinnedClock);
    for (int i = 0; i < 12; ++i) {
        Sample s = MakeSample(i);
        s.sensorPresent[2] = i < 6;  // sensor 2 leaves halfway
        s.outputOn[1] = i % 3 == 0;
        r.device.sensorPresent[2] = s.sensorPresent[2];
        r.Feed(s);
        recorder.OnSample(s);
    }
    for (const char* name : {"a.txt", "a.xls"}) {
        const fs::path window = dir_ / (std::string("window-") + name);
        const fs::path tool = dir_ / (std::string("tool-") + name);
        r.dialogs.saveAnswer = device::SaveFileChoice{window.string(), 0};
        r.Find<QPushButton>("BitBtn1")->click();
        QVERIFY(recorder.Save(tool.string(), "KT210V", r.sampling.RunElapsed(), options.sampling)
                    .written());
        const std::string bytes = ReadFile(window);
        QVERIFY(bytes.size() > 500);
        QCOMPARE(ReadFile(tool), bytes);
    }
}

void RegistrationTabTest::localeTextsAndDialogFilters() {
    const regional::LocaleDateTimeTexts polish(QLocale(QLocale::Polish, QLocale::Poland));
    QCOMPARE(polish.ShortDate(kMoment), std::string("8.05.2024"));
    QCOMPARE(polish.LongTime(kMoment), std::string("14:03:07"));
    const struct {
        const char* format;
        const char* kept;
    } formats[] = {{"HH:mm:ss t", "HH:mm:ss"},
                   {"h:mm:ss AP tttt", "h:mm:ss AP"},
                   {"t HH:mm:ss", "HH:mm:ss"},
                   {"HH'h'mm 'at' ss", "HH'h'mm 'at' ss"}};
    for (const auto& f : formats) {
        QCOMPARE(regional::WithoutTimeZone(QString::fromLatin1(f.format)),
                 QString::fromLatin1(f.kept));
    }
    QCOMPARE(ui::NameFilters("Text|*.txt|Excel|*.xls"),
             (QStringList{"Text (*.txt)", "Excel (*.xls)"}));
    QCOMPARE(ui::NameFilters("Obrazy|*.bmp;*.jpg"), QStringList{"Obrazy (*.bmp *.jpg)"});
    QCOMPARE(ui::NameFilters("plik bmp | *.bmp"), QStringList{"plik bmp (*.bmp)"});
}

// A long run registering at 100 rows a second: the grid is told once per catch-up and
// makes cell texts only for the cells it paints, however many rows there are.
void RegistrationTabTest::viewWorkIsBoundedByWhatIsShown() {
    Rig r;
    r.tab.show();
    QVERIFY(QTest::qWaitForWindowExposed(&r.tab));
    constexpr int kRows = 200000;
    constexpr int kPerCatchUp = 5;  // 100 rows a second, 50 ms apart
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < kRows - 1000; ++i) r.Feed(MakeSample(i));
    const double feedUs = static_cast<double>(timer.nsecsElapsed()) / 1000.0 / (kRows - 1000);
    r.tab.ShowPendingRows();
    QApplication::processEvents();

    QSignalSpy inserted(&r.tab.Model(), &QAbstractItemModel::rowsInserted);
    const long long textsBefore = r.tab.Model().CellTextsMade();
    qint64 catchUpNs = 0, paintNs = 0;
    for (int i = kRows - 1000; i < kRows; ++i) {
        r.Feed(MakeSample(i));
        if (i % kPerCatchUp != kPerCatchUp - 1) continue;
        timer.restart();
        r.tab.ShowPendingRows();
        catchUpNs += timer.nsecsElapsed();
        timer.restart();
        r.tab.Grid()->viewport()->repaint();
        paintNs += timer.nsecsElapsed();
    }
    const long long texts = r.tab.Model().CellTextsMade() - textsBefore;
    QCOMPARE(inserted.count(), 1000 / kPerCatchUp);
    QCOMPARE(TopGridRow(r.tab.Grid()), kRows + 1 - 27);
    // 200 paints of at most 28 rows of 9 cells.
    QVERIFY2(texts <= 200LL * 28 * 9, qPrintable(QString::number(texts)));
    std::printf(
        "registration tab at %d rows: %.2f us per registered sample, %.0f us per "
        "catch-up, %.0f us per whole-grid paint (%.0f cell texts)\n",
        kRows, feedUs, static_cast<double>(catchUpNs) / 1000.0 / 200,
        static_cast<double>(paintNs) / 1000.0 / 200, static_cast<double>(texts) / 200);
}

QTEST_MAIN(RegistrationTabTest)
#include "test_registration_tab.moc"
