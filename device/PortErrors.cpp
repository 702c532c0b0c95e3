#include "PortErrors.h"

#include <cerrno>

#include "Log.h"
#include "Tserial_event.h"

namespace kt::device {

std::string OpenFailureReason(int result, int err) {
    if (err != 0) return SystemReason(err);
    switch (result) {
        case OPEN_NO_NAME:
            return "no port name was given";
        case OPEN_NO_EVENTS:
            return "the channel's wake-up object is not available";
        case OPEN_LINE_SETTINGS_FAILED:
            return "the line settings were refused (not a serial line)";
        case OPEN_LINE_EVENTS_FAILED:
            return "the device cannot report its modem lines";
        default:
            return "the port could not be opened";
    }
}

std::string OpenFailureDetails(const std::string& name, const std::string& path, int result,
                               int err) {
    std::string text = "Port: " + name;
    if (!path.empty() && path != name) text += " (" + path + ")";
    text += "\nPowód: " + OpenFailureReason(result, err);
    if (err == EACCES || err == EPERM) {
        text +=
            "\nBrak uprawnień do portu. Dodaj użytkownika do grupy dialout "
            "(sudo usermod -aG dialout $USER), a następnie wyloguj się i zaloguj ponownie.";
    } else if (err == EWOULDBLOCK || err == EBUSY) {
        text += "\nPort jest zajęty przez inny program.";
    } else if (err == ENOENT) {
        text += "\nTaki port nie istnieje. Sprawdź nazwę portu i podłączenie przewodu.";
    } else if (err == EIO || err == ENXIO || err == ENODEV) {
        // A ttyS line the driver keeps for a chip that is not there, or an adapter that
        // was pulled out.
        text += "\nPod tą nazwą nie ma działającego portu. Wybierz port z listy.";
    }
    return text;
}

}  // namespace kt::device
