// Menu "Pomoc", the firmware update and the about box. The desktop's viewers, the process
// start and the serial port are fakes, except in the shell-safety case, which runs the
// real terminal script with a recording stand-in for the terminal and for AVROSP.
#include <sys/stat.h>

#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "Fakes.h"
#include "HelpActions.h"
#include "O_programie_unit.h"
#include "PathIgnoringCase.h"

using kt::ui::HelpActions;

namespace {

const std::string kManualName = "KT210V rev 1.0_instrukcja_obslugi.pdf";
const QByteArray kHex = ":100000000C942A000C9434000C9434000C943400AA\n:00000001FF\n";

void Write(const QString& path, const QByteArray& bytes, bool executable = false) {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(bytes);
    file.close();
    if (executable) {
        file.setPermissions(file.permissions() | QFile::ExeOwner | QFile::ExeGroup |
                            QFile::ExeOther);
    }
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Arguments recorded by `printf '%s\0' "$@"`.
std::vector<std::string> SplitNul(const QByteArray& bytes) {
    std::vector<std::string> parts;
    for (const QByteArray& part : bytes.split('\0')) parts.push_back(part.toStdString());
    if (!parts.empty() && parts.back().empty()) parts.pop_back();
    return parts;
}

class FakeOpener : public kt::ui::DesktopOpener {
public:
    std::vector<std::string> opened;
    bool viewerPresent = true;
    bool OpenFile(const std::string& path) override {
        opened.push_back(path);
        return viewerPresent;
    }
};

class FakeStarter : public kt::ui::ProcessStarter {
public:
    struct Start {
        std::string program;
        std::vector<std::string> arguments;
        std::string directory;
        bool portOpen;
    };
    std::vector<Start> starts;       // every attempt, started or not
    std::set<std::string> notFound;  // programs that cannot be started
    const bool* portOpen = nullptr;
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& directory) override {
        starts.push_back({program, arguments, directory, portOpen && *portOpen});
        return notFound.count(program) == 0;
    }
};

// The serial port as the firmware update sees it. The close clears `open` only from a
// timer, so the update sees it cleared only if it keeps the event loop running.
struct FakePort {
    bool open = false;
    int closes = 0;
    int checksWhileClosed = 0;
    int clearAfterMs = 10;  // negative: the port never reports the close
    std::function<void()> duringWait;

    kt::ui::PortCloser Closer() {
        return {[this] {
                    if (!open) ++checksWhileClosed;
                    return open;
                },
                [this] {
                    ++closes;
                    if (duringWait) QTimer::singleShot(0, duringWait);
                    if (clearAfterMs >= 0)
                        QTimer::singleShot(clearAfterMs, [this] { open = false; });
                }};
    }
};

// A start-up directory with the help, the tool and a HEX file to choose, and the
// commands built on fakes.
struct Desk {
    QTemporaryDir base;
    QString dir;
    kt::test::FakeDialogs dialogs;
    FakeOpener opener;
    FakeStarter starter;
    FakePort port;
    std::unique_ptr<HelpActions> actions;

    explicit Desk(const QString& startupName = QStringLiteral("start")) {
        dir = base.path() + QLatin1Char('/') + startupName;
        QDir().mkpath(dir);
        starter.portOpen = &port.open;
        actions = std::make_unique<HelpActions>(dir.toStdString(), dialogs, opener, starter,
                                                port.Closer());
    }
    QString At(const QString& relative) const { return dir + QLatin1Char('/') + relative; }
    std::string Path(const QString& relative) const { return At(relative).toStdString(); }
    // The tool in "Bootloader" and a HEX file outside the start-up directory, chosen in
    // the dialog.
    void PrepareUpdate() {
        Write(At(QStringLiteral("Bootloader/AVROSP")), "#!/bin/sh\n", true);
        Write(base.path() + QStringLiteral("/nowy.hex"), kHex);
        dialogs.openFileAnswer = (base.path() + QStringLiteral("/nowy.hex")).toStdString();
    }
};

}  // namespace

class HelpActionsTest : public QObject {
    Q_OBJECT

private slots:
    void foldersAreFoundIgnoringCase_data();
    void foldersAreFoundIgnoringCase();
    void helpAndManualOpenOrReportTheFile_data();
    void helpAndManualOpenOrReportTheFile();
    void updateStartsToolWithArgumentList();
    void updateClosesPortFirstWithoutFreezing_data();
    void updateClosesPortFirstWithoutFreezing();
    void hexAlreadyAtCopyPlaceIsFlashed();
    void failedCopyStartsNothing_data();
    void failedCopyStartsNothing();
    void missingToolIsReported_data();
    void missingToolIsReported();
    void terminalFallsBackToXterm();
    void shellCharactersInStartupDirectoryReachToolAsArguments();
    void qtStarterReportsMissingProgram();
    void helpPagesLinkUp();
    void aboutBoxIsModelessToolWindowThatOkHides();
};

// Entries to create ("name/" a folder), the path asked for, the path expected.
void HelpActionsTest::foldersAreFoundIgnoringCase_data() {
    QTest::addColumn<QStringList>("entries");
    QTest::addColumn<QString>("asked");
    QTest::addColumn<QString>("expected");
    const QString index = QStringLiteral("help/index.html");
    QTest::newRow("exact") << QStringList{index} << index << index;
    QTest::newRow("capital") << QStringList{QStringLiteral("Help/index.html")} << index
                             << QStringLiteral("Help/index.html");
    QTest::newRow("all capitals") << QStringList{QStringLiteral("HELP/index.html")} << index
                                  << QStringLiteral("HELP/index.html");
    QTest::newRow("the folder that holds the file wins")
        << QStringList{QStringLiteral("help/"), QStringLiteral("Help/index.html")} << index
        << QStringLiteral("Help/index.html");
    QTest::newRow("both hold it: exact spelling")
        << QStringList{QStringLiteral("Help/index.html"), index} << index << index;
    QTest::newRow("file name case")
        << QStringList{QStringLiteral("help/KT210V REV 1.0_INSTRUKCJA_OBSLUGI.PDF")}
        << QStringLiteral("Help/") + QString::fromStdString(kManualName)
        << QStringLiteral("help/KT210V REV 1.0_INSTRUKCJA_OBSLUGI.PDF");
    QTest::newRow("new file in the folder that is there")
        << QStringList{QStringLiteral("Bootloader/AVROSP")}
        << QStringLiteral("bootloader/program.hex") << QStringLiteral("Bootloader/program.hex");
    QTest::newRow("existing copy in the other folder")
        << QStringList{QStringLiteral("bootloader/"), QStringLiteral("Bootloader/PROGRAM.hex")}
        << QStringLiteral("bootloader/program.hex") << QStringLiteral("Bootloader/PROGRAM.hex");
    QTest::newRow("nothing there") << QStringList{} << QStringLiteral("bootloader/program.hex")
                                   << QStringLiteral("bootloader/program.hex");
}

void HelpActionsTest::foldersAreFoundIgnoringCase() {
    QFETCH(QStringList, entries);
    QFETCH(QString, asked);
    QFETCH(QString, expected);
    Desk desk;
    for (const QString& entry : entries) {
        if (entry.endsWith(QLatin1Char('/'))) {
            QDir().mkpath(desk.At(entry));
        } else {
            Write(desk.At(entry), "x");
        }
    }
    QCOMPARE(kt::ui::FindPathIgnoringCase(desk.dir.toStdString(), asked.toStdString()),
             desk.Path(expected));
}

// Which command, the file placed (empty: none), whether a viewer starts, and the message
// expected (empty: none; otherwise its first line, followed by the file's path).
void HelpActionsTest::helpAndManualOpenOrReportTheFile_data() {
    QTest::addColumn<bool>("manual");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("viewer");
    QTest::addColumn<QString>("message");
    const QString manual = QString::fromStdString(kManualName);
    QTest::newRow("help") << false << "help/index.html" << true << "";
    QTest::newRow("help in Help/") << false << "Help/index.html" << true << "";
    QTest::newRow("no help") << false << "" << true << "Nie odnaleziono pomocy programu:";
    QTest::newRow("help, no browser") << false << "help/index.html" << false
                                      << "Nie udało się otworzyć pomocy programu w przeglądarce:";
    QTest::newRow("manual") << true << "Help/" + manual << true << "";
    QTest::newRow("manual in help/") << true << "help/" + manual << true << "";
    QTest::newRow("no manual") << true << "" << true
                               << "Nie odnaleziono instrukcji obsługi wskaźnika KT210V:";
    QTest::newRow("manual, no PDF viewer")
        << true << "Help/" + manual << false
        << "Nie udało się otworzyć instrukcji obsługi wskaźnika KT210V (czy jest zainstalowana "
           "przeglądarka plików PDF?):";
}

void HelpActionsTest::helpAndManualOpenOrReportTheFile() {
    QFETCH(bool, manual);
    QFETCH(QString, file);
    QFETCH(bool, viewer);
    QFETCH(QString, message);
    Desk desk;
    if (!file.isEmpty()) Write(desk.At(file), "%PDF / <html>");
    desk.opener.viewerPresent = viewer;
    manual ? desk.actions->instrukcjaKT210V1Click() : desk.actions->pomocprogramu1Click();

    // A missing file is named as the path where it was looked for.
    const std::string path = file.isEmpty()
                                 ? desk.Path(manual ? "Help/" + QString::fromStdString(kManualName)
                                                    : QStringLiteral("help/index.html"))
                                 : desk.Path(file);
    QCOMPARE(desk.opener.opened,
             file.isEmpty() ? std::vector<std::string>{} : std::vector<std::string>{path});
    const std::vector<std::string> expected =
        message.isEmpty()
            ? std::vector<std::string>{}
            : std::vector<std::string>{"KT210V-PC|" + message.toStdString() + "\n" + path};
    QCOMPARE(desk.dialogs.messages, expected);
    QCOMPARE(desk.starter.starts.size(), size_t{0});
}

void HelpActionsTest::updateStartsToolWithArgumentList() {
    Desk desk;
    desk.PrepareUpdate();
    desk.actions->Aktualizacja1Click();

    QCOMPARE(desk.dialogs.openFileDialogs,
             std::vector<std::string>{"Wskaż plik HEX do wgrania|EEPROM hex file (*.hex)|hex"});
    const QString copy = desk.At(QStringLiteral("Bootloader/program.hex"));
    QCOMPARE(Read(copy), kHex);
    QCOMPARE(desk.dialogs.messages, std::vector<std::string>{});
    QCOMPARE(desk.starter.starts.size(), size_t{1});
    const FakeStarter::Start& start = desk.starter.starts[0];
    QCOMPARE(start.program, std::string("x-terminal-emulator"));
    QCOMPARE(start.directory, desk.dir.toStdString());
    // The title, then the command: no part of it is a command line to be parsed.
    QCOMPARE(start.arguments.size(), size_t{13});
    QCOMPARE(start.arguments[0], std::string("-T"));
    const std::vector<std::string> command(start.arguments.begin() + 2, start.arguments.end());
    const std::vector<std::string> expected{
        "-e",         "sh",
        "-c",         HelpActions::kKeepOpenScript,
        "sh",         desk.Path(QStringLiteral("Bootloader/AVROSP")),
        "-dATmega32", "-pf",
        "-vf",        "-if" + copy.toStdString(),
        "-e"};
    QCOMPARE(command, expected);
}

// The port as found (open or not), whether its close is reported (after 10 ms, well
// within the limit, or never within a 50 ms limit) and whether a file is chosen; then how often it
// was closed, whether the tool started and whether the port was still open when it did.
void HelpActionsTest::updateClosesPortFirstWithoutFreezing_data() {
    QTest::addColumn<bool>("open");
    QTest::addColumn<bool>("closeReported");
    QTest::addColumn<bool>("chosen");
    QTest::addColumn<int>("closes");
    QTest::addColumn<bool>("started");
    QTest::addColumn<bool>("openAtStart");
    QTest::newRow("port closed: no wait") << false << true << true << 0 << true << false;
    QTest::newRow("port open: closed first") << true << true << true << 1 << true << false;
    QTest::newRow("close never reported: goes on") << true << false << true << 1 << true << true;
    QTest::newRow("dialog cancelled: port kept") << true << true << false << 0 << false << true;
}

void HelpActionsTest::updateClosesPortFirstWithoutFreezing() {
    QFETCH(bool, open);
    QFETCH(bool, closeReported);
    QFETCH(bool, chosen);
    QFETCH(int, closes);
    QFETCH(bool, started);
    QFETCH(bool, openAtStart);
    Desk desk;
    desk.PrepareUpdate();
    desk.port.open = open;
    desk.port.clearAfterMs = closeReported ? 10 : -1;
    if (!chosen) desk.dialogs.openFileAnswer.clear();
    desk.actions->SetPortCloseLimit(closeReported ? 10000 : 50);
    // A second update asked for while the first waits for the port does nothing.
    desk.port.duringWait = [&desk] { desk.actions->Aktualizacja1Click(); };
    desk.actions->Aktualizacja1Click();

    QCOMPARE(desk.dialogs.openFileDialogs.size(), size_t{1});
    QCOMPARE(desk.port.closes, closes);
    QCOMPARE(desk.starter.starts.size(), size_t{started});
    if (started) QCOMPARE(desk.starter.starts[0].portOpen, openAtStart);
    QCOMPARE(desk.port.open, openAtStart);
    // The close is reported by a timer, so events ran during the wait, which ended at the
    // first look that found the port closed.
    if (!openAtStart) QCOMPARE(desk.port.checksWhileClosed, 1);
    QCOMPARE(QFileInfo::exists(desk.At(QStringLiteral("Bootloader/program.hex"))), chosen);
    QCOMPARE(desk.dialogs.messages, std::vector<std::string>{});
}

void HelpActionsTest::hexAlreadyAtCopyPlaceIsFlashed() {
    Desk desk;
    desk.PrepareUpdate();
    // The launcher's layout: "bootloader" a link to "Bootloader".
    QVERIFY(QFile::link(QStringLiteral("Bootloader"), desk.At(QStringLiteral("bootloader"))));
    Write(desk.At(QStringLiteral("Bootloader/program.hex")), kHex);
    desk.dialogs.openFileAnswer = desk.Path(QStringLiteral("bootloader/program.hex"));
    desk.actions->Aktualizacja1Click();

    QCOMPARE(desk.dialogs.messages, std::vector<std::string>{});
    QCOMPARE(Read(desk.At(QStringLiteral("Bootloader/program.hex"))), kHex);
    QVERIFY(QFileInfo(desk.At(QStringLiteral("bootloader"))).isSymLink());
    QCOMPARE(desk.starter.starts.size(), size_t{1});
    QCOMPARE(desk.starter.starts[0].arguments.at(11),
             "-if" + desk.Path(QStringLiteral("bootloader/program.hex")));
}

// What goes wrong, and the first line of the message that names the file.
void HelpActionsTest::failedCopyStartsNothing_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::newRow("copy place is a folder") << "folder"
                                            << "Nie można zapisać kopii pliku HEX:";
    QTest::newRow("HEX file gone") << "gone"
                                   << "Nie można odczytać pliku HEX:";
    QTest::newRow("HEX path is a folder") << "source folder"
                                          << "Nie można odczytać pliku HEX:";
    // Opening a pipe would wait for a writer that never comes.
    QTest::newRow("HEX path is a pipe") << "pipe"
                                        << "Nie można odczytać pliku HEX:";
}

void HelpActionsTest::failedCopyStartsNothing() {
    QFETCH(QString, fault);
    QFETCH(QString, message);
    Desk desk;
    desk.PrepareUpdate();
    desk.port.open = true;
    const QByteArray old = "old firmware\n";
    std::string named = desk.dialogs.openFileAnswer;
    if (fault == QLatin1String("folder")) {
        QDir().mkpath(desk.At(QStringLiteral("Bootloader/program.hex")));
        named = desk.Path(QStringLiteral("Bootloader/program.hex"));
    } else {
        Write(desk.At(QStringLiteral("Bootloader/program.hex")), old);
        if (fault == QLatin1String("gone")) {
            QFile::remove(QString::fromStdString(desk.dialogs.openFileAnswer));
        } else if (fault == QLatin1String("pipe")) {
            named = desk.dialogs.openFileAnswer = desk.base.path().toStdString() + "/pipe.hex";
            QCOMPARE(mkfifo(named.c_str(), 0600), 0);
        } else {
            desk.dialogs.openFileAnswer = desk.base.path().toStdString();
            named = desk.dialogs.openFileAnswer;
        }
        // The old copy is not touched.
    }
    desk.actions->Aktualizacja1Click();

    QCOMPARE(desk.starter.starts.size(), size_t{0});
    QVERIFY(desk.port.open);
    QCOMPARE(desk.port.closes, 0);
    QCOMPARE(desk.dialogs.messages.size(), size_t{1});
    QCOMPARE(desk.dialogs.messages[0], "KT210V-PC|" + message.toStdString() + "\n" + named +
                                           "\nFirmware nie zostało wgrane.");
    QVERIFY(!desk.dialogs.details[0].empty());
    if (fault != QLatin1String("folder")) {
        QCOMPARE(Read(desk.At(QStringLiteral("Bootloader/program.hex"))), old);
    }
}

void HelpActionsTest::missingToolIsReported_data() {
    QTest::addColumn<bool>("present");
    QTest::addColumn<QString>("message");
    QTest::newRow("no tool") << false << "Nie odnaleziono programu do wgrywania firmware:";
    QTest::newRow("not executable")
        << true << "Programu do wgrywania firmware nie można uruchomić (brak prawa wykonania):";
}

void HelpActionsTest::missingToolIsReported() {
    QFETCH(bool, present);
    QFETCH(QString, message);
    Desk desk;
    desk.PrepareUpdate();
    desk.port.open = true;
    QFile::remove(desk.At(QStringLiteral("Bootloader/AVROSP")));
    if (present) Write(desk.At(QStringLiteral("Bootloader/AVROSP")), "#!/bin/sh\n", false);
    desk.actions->Aktualizacja1Click();

    QCOMPARE(desk.dialogs.messages,
             std::vector<std::string>{"KT210V-PC|" + message.toStdString() + "\n" +
                                      desk.Path(QStringLiteral("Bootloader/AVROSP"))});
    QCOMPARE(desk.dialogs.openFileDialogs.size(), size_t{0});
    QCOMPARE(desk.starter.starts.size(), size_t{0});
    QVERIFY(desk.port.open);
}

void HelpActionsTest::terminalFallsBackToXterm() {
    Desk desk;
    desk.PrepareUpdate();
    desk.starter.notFound = {"x-terminal-emulator"};
    desk.actions->Aktualizacja1Click();
    QCOMPARE(desk.starter.starts.size(), size_t{2});
    QCOMPARE(desk.starter.starts[1].program, std::string("xterm"));
    QCOMPARE(desk.starter.starts[1].arguments, desk.starter.starts[0].arguments);
    QCOMPARE(desk.dialogs.messages, std::vector<std::string>{});

    // With neither, the operator is told; the copy has been made.
    Desk none;
    none.PrepareUpdate();
    none.starter.notFound = {"x-terminal-emulator", "xterm"};
    none.actions->Aktualizacja1Click();
    QCOMPARE(none.starter.starts.size(), size_t{2});
    QCOMPARE(none.dialogs.messages,
             std::vector<std::string>{
                 "KT210V-PC|Nie udało się otworzyć okna terminala (x-terminal-emulator, xterm) dla "
                 "programu do wgrywania firmware:\n" +
                 none.Path(QStringLiteral("Bootloader/AVROSP"))});
}

namespace {

// Runs the terminal program to its end (the test's stand-in returns when the script
// does), with the script's input closed so that its wait for Enter ends at once.
class RunningStarter : public kt::ui::ProcessStarter {
public:
    QString output;
    bool StartDetached(const std::string& program, const std::vector<std::string>& arguments,
                       const std::string& directory) override {
        QStringList list;
        for (const std::string& a : arguments) list << QString::fromStdString(a);
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(QString::fromStdString(directory));
        process.start(QString::fromStdString(program), list);
        if (!process.waitForStarted(10000)) return false;
        process.closeWriteChannel();
        if (!process.waitForFinished(60000)) process.kill();
        output = QString::fromUtf8(process.readAll());
        return true;
    }
};

}  // namespace

void HelpActionsTest::shellCharactersInStartupDirectoryReachToolAsArguments() {
    QTemporaryDir records;
    const QString marker = records.path() + QStringLiteral("/marker");
    QDir().mkpath(marker);
    // Quotes, &, ;, $(...), backquotes, a variable and blanks; "/" inside "$(...)" makes
    // folders, so a shell that ran the name would create marker/pwned.
    const QString name =
        QStringLiteral("KT \"210\" & echo; $(touch %1/pwned) `touch pwned2` 'a' $HOME").arg(marker);
    RunningStarter running;
    kt::test::FakeDialogs dialogs;
    FakeOpener opener;
    FakePort port;
    QTemporaryDir base;
    const QString dir = base.path() + QLatin1Char('/') + name;
    QVERIFY(QDir().mkpath(dir));
    const QString tool = dir + QStringLiteral("/Bootloader/AVROSP");
    Write(tool,
          QStringLiteral("#!/bin/sh\nprintf '%s\\0' \"$0\" \"$@\" > '%1/tool.args'\n")
              .arg(records.path())
              .toUtf8(),
          true);
    const QString terminal = records.path() + QStringLiteral("/fake-terminal");
    Write(terminal,
          QStringLiteral("#!/bin/sh\nprintf '%s\\0' \"$@\" > '%1/terminal.args'\n"
                         "while [ \"$#\" -gt 0 ] && [ \"$1\" != -e ]; do shift; done\n"
                         "shift\nexec \"$@\" < /dev/null\n")
              .arg(records.path())
              .toUtf8(),
          true);
    Write(dir + QStringLiteral("/nowy & $(touch pwned3).hex"), kHex);
    dialogs.openFileAnswer = (dir + QStringLiteral("/nowy & $(touch pwned3).hex")).toStdString();

    HelpActions actions(dir.toStdString(), dialogs, opener, running, port.Closer());
    actions.SetTerminalPrograms({terminal.toStdString()});
    actions.Aktualizacja1Click();

    QCOMPARE(dialogs.messages, std::vector<std::string>{});
    const std::string copy = (dir + QStringLiteral("/Bootloader/program.hex")).toStdString();
    QCOMPARE(Read(QString::fromStdString(copy)), kHex);
    QCOMPARE(SplitNul(Read(records.path() + QStringLiteral("/terminal.args"))),
             HelpActions::TerminalArguments(tool.toStdString(), copy));
    const std::vector<std::string> expected{tool.toStdString(), "-dATmega32", "-pf", "-vf",
                                            "-if" + copy,       "-e"};
    QCOMPARE(SplitNul(Read(records.path() + QStringLiteral("/tool.args"))), expected);
    QVERIFY2(running.output.contains(QStringLiteral("kod wyjścia: 0")), qPrintable(running.output));
    for (const QString& made : {marker + QStringLiteral("/pwned"), dir + QStringLiteral("/pwned2"),
                                dir + QStringLiteral("/pwned3"), QDir::current().filePath("pwned2"),
                                QDir::current().filePath("pwned3")}) {
        QVERIFY2(!QFileInfo::exists(made), qPrintable(made));
    }
}

void HelpActionsTest::qtStarterReportsMissingProgram() {
    kt::ui::QtProcessStarter starter;
    QVERIFY(!starter.StartDetached("/nonexistent/kt210v-terminal", {"-e", "true"}, "/"));
    QVERIFY(starter.StartDetached("true", {}, "/"));
}

// Every page of the shipped help is UTF-8 Polish HTML with the style sheet, every link
// and picture points at a file that is there, and every page is reached from the
// contents page.
void HelpActionsTest::helpPagesLinkUp() {
    const QDir help(QStringLiteral(KT_ASSETS_DIR "/help"));
    const QStringList pages = help.entryList({QStringLiteral("*.html")}, QDir::Files);
    QVERIFY(pages.contains(QStringLiteral("index.html")));
    QVERIFY(pages.size() >= 8);
    const QRegularExpression link(QStringLiteral("(?:href|src)=\"([^\"]*)\""));
    std::map<QString, QStringList> links;
    for (const QString& page : pages) {
        const QString text = QString::fromUtf8(Read(help.filePath(page)));
        QVERIFY2(text.contains(QStringLiteral("<html lang=\"pl\">")), qPrintable(page));
        QVERIFY2(text.contains(QStringLiteral("<meta charset=\"utf-8\">")), qPrintable(page));
        QVERIFY2(text.contains(QStringLiteral("href=\"help.css\"")), qPrintable(page));
        for (const auto& match : link.globalMatch(text)) {
            const QString target = match.captured(1).section(QLatin1Char('#'), 0, 0);
            if (target.isEmpty() || target.contains(QLatin1Char(':'))) continue;
            QVERIFY2(help.exists(target), qPrintable(page + " -> " + target));
            links[page] << target;
        }
    }
    QSet<QString> reached{QStringLiteral("index.html")};
    QStringList queue{QStringLiteral("index.html")};
    while (!queue.isEmpty()) {
        for (const QString& target : links[queue.takeFirst()]) {
            if (target.endsWith(QLatin1String(".html")) && !reached.contains(target)) {
                reached.insert(target);
                queue << target;
            }
        }
    }
    for (const QString& page : pages) QVERIFY2(reached.contains(page), qPrintable(page));
}

void HelpActionsTest::aboutBoxIsModelessToolWindowThatOkHides() {
    QWidget main;
    main.show();
    kt::ui::TO_programieForm about;
    about.show();
    QVERIFY(about.isVisible());
    QVERIFY(!about.isModal());
    QVERIFY(about.windowFlags().testFlag(Qt::Tool));
    QCOMPARE(about.size(), QSize(478, 183));
    QCOMPARE(about.palette().color(QPalette::Window), QColor(Qt::white));
    QVERIFY(main.isEnabled());

    QStringList texts;
    for (const QLabel* label : about.findChildren<QLabel*>()) texts << label->text();
    const QString all = texts.join(QLatin1Char('\n'));
    QVERIFY2(all.contains(QStringLiteral("KT210V-PC")), qPrintable(all));
    QVERIFY2(all.contains(QStringLiteral("1.00")), qPrintable(all));
    QVERIFY2(all.contains(QStringLiteral("licencja MIT")), qPrintable(all));
    QVERIFY2(!all.contains(QStringLiteral("@localhost")), qPrintable(all));  // no placeholder

    QTest::mouseClick(about.findChild<QPushButton*>(QStringLiteral("BitBtn1")), Qt::LeftButton);
    QVERIFY(!about.isVisible());
}

QTEST_MAIN(HelpActionsTest)
#include "test_help_actions.moc"
