// The commands of menu "Pomoc" ("pomoc programu", "instrukcja KT210V") and the hidden
// firmware update of menu "Program" ("aktualizacja firmware urządzenia..."). The main
// window owns one and connects its menu items to the handlers of the same names.
//
// Everything they use lies under the start-up directory, found ignoring the letter case
// of the folders: the program's own help (HTML, opened at its contents page in the
// desktop's browser), the indicator's manual (a PDF the user puts there), the
// programming tool AVROSP and the firmware copy it flashes. Whatever is missing or
// cannot be started is reported in a message box naming the file.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "DesktopServices.h"
#include "Dialogs.h"

namespace kt::ui {

// How the firmware update takes the serial port away from the program before the tool
// needs it.
struct PortCloser {
    // `portOpen`, read afresh at every call.
    std::function<bool()> isOpen;
    // Closes the channel the way the wizard's "Rozłącz" does: the device is no longer
    // ready and a running acquisition stops. `portOpen` clears when the channel reports
    // the close, which may come after this returns.
    std::function<void()> close;
};

class HelpActions {
public:
    // Paths under the start-up directory; folder names are matched ignoring case.
    static constexpr char kHelpContents[] = "help/index.html";
    static constexpr char kManual[] = "Help/KT210V rev 1.0_instrukcja_obslugi.pdf";
    static constexpr char kFirmwareCopy[] = "bootloader/program.hex";
    // A HEX file of the indicator's flash is far smaller; a larger one is not read.
    static constexpr std::size_t kMaxFirmwareFileBytes = 64u << 20;
    static constexpr char kProgrammingTool[] = "Bootloader/AVROSP";

    // The HEX file dialog.
    static constexpr char kHexDialogCaption[] = "Wskaż plik HEX do wgrania";
    static constexpr char kHexDialogFilter[] = "EEPROM hex file (*.hex)";
    static constexpr char kHexDialogSuffix[] = "hex";

    // Runs in the terminal window: the tool with its arguments, given to the script only
    // as positional parameters, then the tool's exit status and a wait for Enter so that
    // its output can be read.
    static constexpr char kKeepOpenScript[] =
        "\"$@\"\n"
        "status=$?\n"
        "echo\n"
        "echo \"Program zakończył pracę (kod wyjścia: $status).\"\n"
        "printf '%s' 'Naciśnij Enter, aby zamknąć to okno. '\n"
        "read -r answer\n";

    HelpActions(std::string startupDirectory, device::Dialogs& dialogs, DesktopOpener& opener,
                ProcessStarter& starter, PortCloser portCloser);

    // "pomoc programu": the help's contents page in the desktop's browser.
    void pomocprogramu1Click();
    // "instrukcja KT210V": the indicator's manual in the desktop's PDF viewer.
    void instrukcjaKT210V1Click();
    // "aktualizacja firmware urządzenia...": asks for a HEX file, copies it to
    // bootloader/program.hex, closes the port and starts AVROSP in a terminal window
    // that stays open after the tool ends. Returns without waiting for the tool.
    void Aktualizacja1Click();

    // Terminal programs tried in turn, each called as `TERMINAL -T TITLE -e COMMAND...`;
    // by default x-terminal-emulator, then xterm.
    void SetTerminalPrograms(std::vector<std::string> programs) {
        terminals_ = std::move(programs);
    }
    // Longest wait for `portOpen` to clear after the close (2000 ms by default); the
    // update goes on when it has not cleared by then.
    void SetPortCloseLimit(int milliseconds) { portCloseLimitMs_ = milliseconds; }

    // The tool's arguments for the given firmware copy: device ATmega32, program and
    // verify the flash from the file, chip erase.
    static std::vector<std::string> ToolArguments(const std::string& hexPath);
    // The terminal's arguments: the title, then `sh -c` with the fixed script, and the
    // tool and its arguments as the script's positional parameters.
    static std::vector<std::string> TerminalArguments(const std::string& toolPath,
                                                      const std::string& hexPath);

private:
    void OpenDocument(const char* relative, const std::string& missingText,
                      const std::string& failedText);
    bool ToolReady(const std::string& tool);
    bool CopyFirmware(const std::string& source, const std::string& target);
    void ClosePortAndWait();
    bool StartTool(const std::string& tool, const std::string& hexPath);

    std::string startupDirectory_;
    device::Dialogs& dialogs_;
    DesktopOpener& opener_;
    ProcessStarter& starter_;
    PortCloser portCloser_;
    std::vector<std::string> terminals_{"x-terminal-emulator", "xterm"};
    int portCloseLimitMs_ = 2000;
    bool updating_ = false;
};

}  // namespace kt::ui
