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

std::string OpenFailureHint(int err) {
    if (err == EACCES || err == EPERM) {
        return "Brak uprawnień do portu. Dodaj użytkownika do grupy dialout "
               "(sudo usermod -aG dialout $USER), a następnie wyloguj się i zaloguj ponownie.";
    }
    if (err == EWOULDBLOCK || err == EBUSY) return "Port jest zajęty przez inny program.";
    if (err == ENOENT) return "Taki port nie istnieje. Sprawdź nazwę portu i podłączenie przewodu.";
    if (err == EIO || err == ENXIO || err == ENODEV) {
        // A ttyS line the driver keeps for a chip that is not there, or an adapter that
        // was pulled out.
        return "Pod tą nazwą nie ma działającego portu. Wybierz port z listy.";
    }
    return {};
}

std::string OpenFailureDetails(const std::string& name, const std::string& path, int result,
                               int err) {
    std::string text = "Port: " + name;
    if (!path.empty() && path != name) text += " (" + path + ")";
    text += "\nPowód: " + OpenFailureReason(result, err);
    if (const std::string hint = OpenFailureHint(err); !hint.empty()) text += "\n" + hint;
    return text;
}

}  // namespace kt::device
