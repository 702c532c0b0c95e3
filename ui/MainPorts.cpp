// The "komunikacja" menu: the plain open and close commands, the port choice, and the
// entries that show the traffic monitor and the connection wizard.
#include <QAction>

#include "Com_debugger.h"
#include "Main.h"
#include "PortErrors.h"
#include "ui_Main.h"

namespace kt::ui {

namespace {
constexpr char kOpenFailedCaption[] = "Blad otwarcia portu COM";
constexpr char kCloseFailedCaption[] = "Blad zamkniecia portu COM";
}  // namespace

// "połącz": opens `portName` without identifying the device; the channel's opened event
// reports success. The acquisition's running flag is cleared in every case.
void TForm1::pocz1Click() {
    if (State().portOpen) {
        dialogs_->ShowInfoMessage(kOpenFailedCaption, "Jeden z portow juz zostal otwarty.");
    } else {
        device::SerialPort& port = core_->Port();
        port.SetReadSize(device::ConnectionWizard::kReadSize);
        const int result = port.OpenPort(State().portName.c_str(), State().baudRate, 0, 8, false);
        if (result != device::OPEN_OK) {
            dialogs_->ShowInfoMessageWithDetails(
                kOpenFailedCaption, "Nie mozna otworzyc portu " + State().portName,
                device::OpenFailureDetails(State().portName, port.ResolvedPath(), result,
                                           port.LastOpenError()));
        }
    }
    State().Device.GO = false;
}

// "rozłącz": the channel's closed event clears `portOpen`; `deviceReady` stays.
void TForm1::rozcz1Click() {
    if (State().portOpen) {
        core_->Port().ClosePort();
    } else {
        dialogs_->ShowInfoMessage(kCloseFailedCaption, "Zaden port jeszcze nie zostal otwarty.");
    }
}

// "COM1" .. "COM14": the mark moves to the item and its caption becomes the port name
// for the next open; an open port stays open.
void TForm1::ComPortClick(QAction* item) {
    item->setChecked(true);
    State().portName = item->text().toStdString();
}

void TForm1::auto1Click() {
    ui_->auto1->setChecked(true);
}

void TForm1::debugger1Click() {
    if (forms_.comDbg == nullptr) return;
    forms_.comDbg->show();
    forms_.comDbg->raise();
}

void TForm1::wizard1Click() {
    ShowWizard();
}

}  // namespace kt::ui
