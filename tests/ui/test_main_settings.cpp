// config.ini across program starts: read while the main window is constructed and
// applied like clicks, written at every close, a missing file and a file that cannot be
// written reported, the output-line dialog's values kept.
#include <sys/stat.h>
#include <unistd.h>

#include <QComboBox>
#include <QMenu>
#include <QSpinBox>
#include <QtTest>

#include "Asystenlaczenia.h"
#include "ChartTab.h"
#include "IndicatorTab.h"
#include "Konfigliniform.h"
#include "MainHarness.h"
#include "RegistrationTab.h"
#include "TempFolder.h"

using kt::test::MainHarness;
namespace measurement = kt::measurement;

class MainSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void settingsSurviveTwoStarts();
    void fileThatCannotBeWrittenIsReportedAtClose();
    void malformedFileKeepsInitialStatesFromTheFirstBadEntry();
    void unusableFileLeavesTheInitialSettings();
    void writeKilledAtTheLastCloseIsNotTakenForTheFile();
    void portNameTooLongToStoreIsNamedInAWarning();
    void startUpFolderWhoseNameIsNotUtf8KeepsItsFiles();
    void reconnectionIsRememberedBesideConfigIni();
};

namespace {

QByteArray ReadAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes);
}

// Closes the main window as the operator does and destroys the windows.
void CloseProgram() {
    kt::ui::Form1->close();
    kt::ui::DestroyForms();
}

}  // namespace

void MainSettingsTest::settingsSurviveTwoStarts() {
    MainHarness h;
    QVERIFY(h.Started());
    measurement::AppSettings stored;
    stored.realTimeSampling = true;
    stored.samplePeriodMs = 250;
    stored.paging = true;
    stored.pagingTracking = true;
    stored.samplesPerPage = 40;
    stored.autoRegistration = false;
    stored.registerOutput = {true, false};
    stored.registerDate = true;
    stored.registerColour = false;
    stored.portName = "ttyUSB7";
    stored.outputLines[0] = {100, 5};
    const std::string first = measurement::FormatSettings(stored);
    WriteAll(h.Dir() + "/config.ini", QByteArray::fromStdString(first));

    h.CreateWindows(false);
    QVERIFY(h.dialogs.messages.empty());
    auto& f = h.Form();
    QCOMPARE(f.State().portName, std::string("ttyUSB7"));
    // The automatic connection tries the stored port.
    QCOMPARE(kt::ui::AsystentForm->PortText(), std::string("ttyUSB7"));
    QCOMPARE(f.Sampling().PeriodMs(), 250);
    QVERIFY(f.Sampling().RealTime());
    QVERIFY(f.ChartPage().PagingOn());
    QCOMPARE(f.ChartPage().SamplesPerPage(), 40);
    QVERIFY(!f.RegistrationPage().Boxes().autoRead);
    // The stored PK1 line reaches the chart once the dialog has shown it.
    QCOMPARE(kt::ui::KonigLiniiForm->Pk1Line(), (measurement::OutputLine{50, 0}));
    kt::ui::KonigLiniiForm->show();
    QCOMPARE(kt::ui::KonigLiniiForm->Pk1Line(), (measurement::OutputLine{100, 5}));
    kt::ui::KonigLiniiForm->close();
    // The "Aktywny" boxes stay unticked with no sensor known, and are written so.
    CloseProgram();
    QCOMPARE(ReadAll(h.Dir() + "/config.ini").toStdString(), first);

    // Second start: a changed period and the output lines edited in the dialog.
    h.CreateWindows(false);
    h.Form().IndicatorPage().SetPeriodMs(1000);
    kt::ui::KonigLiniiForm->show();
    measurement::OutputLines lines = measurement::kOutputLinesAtStart;
    lines[1] = {-7, 12};
    kt::ui::KonigLiniiForm->LoadFields(lines);
    QTest::mouseClick(kt::ui::KonigLiniiForm->findChild<QPushButton*>("BitBtn1"), Qt::LeftButton);
    CloseProgram();
    const measurement::SettingsReadResult again =
        measurement::ParseSettings(ReadAll(h.Dir() + "/config.ini").toStdString());
    QVERIFY(!again.failedEntry);
    QCOMPARE(again.settings.samplePeriodMs, 1000);
    QCOMPARE(again.settings.outputLines[1], (measurement::OutputLine{-7, 12}));
    QCOMPARE(again.settings.portName, std::string("ttyUSB7"));
}

// A folder named config.ini cannot be replaced by a file: the close says why.
void MainSettingsTest::fileThatCannotBeWrittenIsReportedAtClose() {
    MainHarness h;
    h.CreateWindows(false);
    QVERIFY(QFile::remove(h.Dir() + "/config.ini"));
    QVERIFY(QDir(h.Dir()).mkdir("config.ini"));
    h.Form().close();
    QCOMPARE(h.dialogs.messages.size(), size_t{1});
    QVERIFY2(h.dialogs.messages[0].find("config.ini") != std::string::npos &&
                 h.dialogs.messages[0].find("Is a directory") != std::string::npos,
             h.dialogs.messages[0].c_str());
    kt::ui::DestroyForms();
}

void MainSettingsTest::malformedFileKeepsInitialStatesFromTheFirstBadEntry() {
    MainHarness h;
    measurement::AppSettings stored;
    stored.realTimeSampling = true;
    stored.samplePeriodMs = 500;
    std::string bytes = measurement::FormatSettings(stored);
    bytes.replace(bytes.find("Paging= 0"), 9, "Paging= x");  // entry 6
    WriteAll(h.Dir() + "/config.ini", QByteArray::fromStdString(bytes));
    h.CreateWindows(false);
    QVERIFY(h.Form().Sampling().RealTime());                // entry 4, read
    QCOMPARE(h.Form().Sampling().PeriodMs(), 500);          // entry 5, read
    QVERIFY(h.Form().RegistrationPage().Boxes().autoRead);  // entry 9, initial
    CloseProgram();
    // A good 29-line file again.
    QVERIFY(
        !measurement::ParseSettings(ReadAll(h.Dir() + "/config.ini").toStdString()).failedEntry);
}

// Without a usable file the start goes on with the initial states: a missing file is
// reported in a box and written at the close; a link to an endless device and a file far
// larger than any settings file are not read (a pipe: app_sigterm.sh) and the log says why.
void MainSettingsTest::unusableFileLeavesTheInitialSettings() {
    measurement::AppSettings stored;
    stored.samplePeriodMs = 500;
    for (const std::string reason : {"missing", "larger than 65536 bytes", "not a regular file"}) {
        MainHarness h;
        const QString path = h.Dir() + "/config.ini";
        QVERIFY(QFile::remove(path));
        if (reason[0] == 'l') {
            WriteAll(path,
                     QByteArray::fromStdString(FormatSettings(stored) + std::string(70000, ' ')));
        } else if (reason[0] == 'n') {
            QVERIFY(QFile::link("/dev/zero", path));
        }
        kt::test::FakeWarnings log;
        h.CreateWindows(false, &log);
        QCOMPARE(h.Form().Sampling().PeriodMs(), 10);
        QCOMPARE(h.State().portName, std::string("COM1"));
        QCOMPARE(kt::ui::AsystentForm->PortText(), std::string("COM1"));
        if (reason != "missing") {
            QVERIFY(h.dialogs.messages.empty());
            QCOMPARE(log.Lines().at(0), "warning: " + path.toStdString() + ": cannot be read (" +
                                            reason + "); initial settings used");
            kt::ui::DestroyForms();
            continue;
        }
        QCOMPARE(h.dialogs.messages,
                 std::vector<std::string>{"KT210V-PC|nie odnaleziono pliku konfiguracyjnego!"});
        CloseProgram();
        const QByteArray written = ReadAll(path);
        QCOMPARE(written.toStdString(), measurement::FormatSettings(measurement::AppSettings{}));
        QVERIFY(written.contains("Sample_rate= 10\r\n"));
        QVERIFY(written.contains("Wykres_PK1_H= 50\r\n"));
    }
}

// A close killed while writing left its new settings in a hidden temporary file (the
// process is gone): the next start reads "config.ini" alone, and its close removes the
// leftover while writing the file.
void MainSettingsTest::writeKilledAtTheLastCloseIsNotTakenForTheFile() {
    MainHarness h;
    measurement::AppSettings previous, unfinished;
    previous.samplePeriodMs = 300;
    unfinished.samplePeriodMs = 7000;
    unfinished.portName = "ttyUSB3";
    WriteAll(h.Dir() + "/config.ini", QByteArray::fromStdString(FormatSettings(previous)));
    const QString leftover = h.Dir() + "/.config.ini.999999999-0.tmp";
    WriteAll(leftover, QByteArray::fromStdString(FormatSettings(unfinished)));
    h.CreateWindows(false);
    QCOMPARE(h.Form().Sampling().PeriodMs(), 300);
    QCOMPARE(h.State().portName, std::string("COM1"));
    CloseProgram();
    QVERIFY(!QFile::exists(leftover));
    QCOMPARE(ReadAll(h.Dir() + "/config.ini").toStdString(), FormatSettings(previous));
}

// A port name over 16 characters is stored as "COM1", and the log says which port was lost.
void MainSettingsTest::portNameTooLongToStoreIsNamedInAWarning() {
    MainHarness h;
    kt::test::FakeWarnings log;
    h.CreateWindows(false, &log);
    h.WizardWindow().show();
    h.FindInWizard<QComboBox>("ComboBox1")->setEditText(QStringLiteral("ttyUSB-long-name-17"));
    h.WizardWindow().BitBtn3Click();
    QCOMPARE(h.State().portName, std::string("ttyUSB-long-name-17"));
    CloseProgram();
    QVERIFY(ReadAll(h.Dir() + "/config.ini").contains("COM1"));
    const std::vector<std::string> lines = log.Lines();
    QVERIFY(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.starts_with("warning: port \"ttyUSB-long-name-17\" is not stored");
    }));
}

// Started from a folder whose name is not UTF-8 (a Latin-2 "ś"): its config.ini and
// pictures are found under the name's own bytes, and the close writes the file there.
void MainSettingsTest::startUpFolderWhoseNameIsNotUtf8KeepsItsFiles() {
    MainHarness h;
    const std::string folder = h.Dir().toStdString() + "/pomiar\xB6";
    QVERIFY(::mkdir(folder.c_str(), 0700) == 0);
    measurement::AppSettings stored;
    stored.samplePeriodMs = 250;
    kt::test::WriteBytes(folder + "/config.ini", measurement::FormatSettings(stored));
    const QString previous = QDir::currentPath();
    QVERIFY(::chdir(folder.c_str()) == 0);
    kt::ui::CreateForms({&h.dialogs, kt::device::NumberFormat{','}, nullptr});
    kt::ui::Form1->Timer3->stop();
    QDir::setCurrent(previous);
    QCOMPARE(h.Form().StartupDirectory(), folder);
    QVERIFY(h.dialogs.messages.empty());  // no missing-file box
    QCOMPARE(h.Form().Sampling().PeriodMs(), 250);
    stored.samplePeriodMs = 10;
    kt::test::WriteBytes(folder + "/config.ini", measurement::FormatSettings(stored));
    CloseProgram();
    QVERIFY(kt::test::ReadBytes(folder + "/config.ini").find("Sample_rate= 250\r\n") !=
            std::string::npos);
}

// "Wznów pomiar po ponownym podłączeniu" in the "Program" menu is remembered in a small
// file of its own, written when it is toggled; config.ini keeps its 29 lines as they are.
void MainSettingsTest::reconnectionIsRememberedBesideConfigIni() {
    MainHarness h;
    const QByteArray config = ReadAll(h.Dir() + "/config.ini");
    for (const bool on : {true, false}) {
        h.CreateWindows(false);
        QAction* action = h.Form().ReconnectAction;
        QVERIFY(h.Find<QMenu>("Program1")->actions().contains(action));
        QCOMPARE(action->text(), QString::fromUtf8("Wznów pomiar po ponownym podłączeniu"));
        QCOMPARE(action->isChecked(), !on);  // as the previous start left it
        action->trigger();
        QCOMPARE(h.Form().Core().Reconnector().Enabled(), on);
        QCOMPARE(ReadAll(h.Dir() + "/reconnect.ini"),
                 QByteArray(on ? "Reconnect=1\r\n" : "Reconnect=0\r\n"));
        CloseProgram();
        QCOMPARE(ReadAll(h.Dir() + "/config.ini"), config);
    }
    QCOMPARE(config.count("\r\n"), 29);
}

QTEST_MAIN(MainSettingsTest)
#include "test_main_settings.moc"
