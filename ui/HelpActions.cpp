#include "HelpActions.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTimer>
#include <string_view>

#include "AtomicFile.h"
#include "PathIgnoringCase.h"
#include "ReadRegularFile.h"

namespace kt::ui {

namespace {

constexpr char kTerminalTitle[] = "AVROSP - aktualizacja firmware KT210V";
constexpr int kPortPollMs = 5;

bool IsFile(const std::string& path) {
    return QFileInfo(QFile::decodeName(path.c_str())).isFile();
}

// Clears the flag when the handler returns, whichever way.
class Busy {
public:
    explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
    ~Busy() { flag_ = false; }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    bool& flag_;
};

}  // namespace

HelpActions::HelpActions(std::string startupDirectory, device::Dialogs& dialogs,
                         DesktopOpener& opener, ProcessStarter& starter, PortCloser portCloser)
    : startupDirectory_(std::move(startupDirectory)),
      dialogs_(dialogs),
      opener_(opener),
      starter_(starter),
      portCloser_(std::move(portCloser)) {}

void HelpActions::pomocprogramu1Click() {
    OpenDocument(kHelpContents, "Nie odnaleziono pomocy programu:\n",
                 "Nie udało się otworzyć pomocy programu w przeglądarce:\n");
}

void HelpActions::instrukcjaKT210V1Click() {
    OpenDocument(kManual, "Nie odnaleziono instrukcji obsługi wskaźnika KT210V:\n",
                 "Nie udało się otworzyć instrukcji obsługi wskaźnika KT210V "
                 "(czy jest zainstalowana przeglądarka plików PDF?):\n");
}

void HelpActions::OpenDocument(const char* relative, const std::string& missingText,
                               const std::string& failedText) {
    const std::string path = FindPathIgnoringCase(startupDirectory_, relative);
    if (!IsFile(path)) {
        dialogs_.ShowPlainMessage(missingText + path);
        return;
    }
    if (!opener_.OpenFile(path)) dialogs_.ShowPlainMessage(failedText + path);
}

void HelpActions::Aktualizacja1Click() {
    // The port wait below runs an event loop; a second update must not start inside it.
    if (updating_) return;
    const Busy busy(updating_);

    const std::string tool = FindPathIgnoringCase(startupDirectory_, kProgrammingTool);
    if (!ToolReady(tool)) return;
    const std::string hexFile =
        dialogs_.AskOpenFileName(kHexDialogCaption, kHexDialogFilter, kHexDialogSuffix);
    if (hexFile.empty()) return;

    // The copy comes first: when it fails the tool must not run (it would erase the chip
    // and flash whatever program.hex was there before), and the connection is kept.
    const std::string copy = FindPathIgnoringCase(startupDirectory_, kFirmwareCopy);
    if (!CopyFirmware(hexFile, copy)) return;
    ClosePortAndWait();
    if (!StartTool(tool, copy)) {
        std::string tried;
        for (const std::string& terminal : terminals_)
            tried += (tried.empty() ? "" : ", ") + terminal;
        dialogs_.ShowPlainMessage("Nie udało się otworzyć okna terminala (" + tried +
                                  ") dla programu do wgrywania firmware:\n" + tool);
    }
}

bool HelpActions::ToolReady(const std::string& tool) {
    const QFileInfo info(QFile::decodeName(tool.c_str()));
    if (!info.isFile()) {
        dialogs_.ShowPlainMessage("Nie odnaleziono programu do wgrywania firmware:\n" + tool);
        return false;
    }
    if (!info.isExecutable()) {
        dialogs_.ShowPlainMessage(
            "Programu do wgrywania firmware nie można uruchomić (brak prawa wykonania):\n" + tool);
        return false;
    }
    return true;
}

// Only a regular file of a sane size is read: a pipe or a device chosen in the file
// dialog would otherwise hold the window up waiting for a writer or an end.
bool HelpActions::CopyFirmware(const std::string& source, const std::string& target) {
    const measurement::RegularFileRead file =
        measurement::ReadRegularFile(source, kMaxFirmwareFileBytes);
    if (!file.ok()) {
        dialogs_.ShowPlainMessageWithDetails(
            "Nie można odczytać pliku HEX:\n" + source + "\nFirmware nie zostało wgrane.",
            file.reason);
        return false;
    }
    const measurement::FileWriteResult written =
        measurement::WriteFileAtomically(target, file.bytes);
    if (!written.ok()) {
        const std::string where = written.targetPath.empty() ? target : written.targetPath;
        dialogs_.ShowPlainMessageWithDetails(
            "Nie można zapisać kopii pliku HEX:\n" + where + "\nFirmware nie zostało wgrane.",
            written.step + ": " + written.reason);
        return false;
    }
    return true;
}

// The channel's worker reports the close on its own thread; the window keeps painting
// meanwhile, while clicks and keys wait until the update has gone on.
void HelpActions::ClosePortAndWait() {
    if (!portCloser_.isOpen || !portCloser_.isOpen()) return;
    if (portCloser_.close) portCloser_.close();
    if (!portCloser_.isOpen()) return;

    QEventLoop loop;
    QTimer poll;
    poll.setInterval(kPortPollMs);
    QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (!portCloser_.isOpen()) loop.quit();
    });
    QTimer limit;
    limit.setSingleShot(true);
    QObject::connect(&limit, &QTimer::timeout, &loop, &QEventLoop::quit);
    poll.start();
    limit.start(portCloseLimitMs_);
    loop.exec(QEventLoop::ExcludeUserInputEvents);
}

bool HelpActions::StartTool(const std::string& tool, const std::string& hexPath) {
    const std::vector<std::string> arguments = TerminalArguments(tool, hexPath);
    for (const std::string& terminal : terminals_) {
        if (starter_.StartDetached(terminal, arguments, startupDirectory_)) return true;
    }
    return false;
}

std::vector<std::string> HelpActions::ToolArguments(const std::string& hexPath) {
    return {"-dATmega32", "-pf", "-vf", "-if" + hexPath, "-e"};
}

std::vector<std::string> HelpActions::TerminalArguments(const std::string& toolPath,
                                                        const std::string& hexPath) {
    // `-e` takes the rest of the line as the command and its arguments, each passed on
    // as it is; the script's name ($0) is "sh".
    std::vector<std::string> arguments{"-T", kTerminalTitle,  "-e", "sh",
                                       "-c", kKeepOpenScript, "sh", toolPath};
    for (std::string& argument : ToolArguments(hexPath)) arguments.push_back(std::move(argument));
    return arguments;
}

}  // namespace kt::ui
