#include "PortNames.h"

#include <sys/stat.h>

#include <cctype>
#include <climits>
#include <cstdlib>

namespace kt::device {

int ComPortNumber(const std::string& name) {
    constexpr size_t kMaxDigits = 6;
    if (name.size() < 4 || name.size() > 3 + kMaxDigits) return 0;
    for (size_t i = 0; i < 3; ++i) {
        if (std::toupper(static_cast<unsigned char>(name[i])) != "COM"[i]) return 0;
    }
    int n = 0;
    for (size_t i = 3; i < name.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(name[i]))) return 0;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

std::string ResolvePortPath(const std::string& name, const std::string& baseDirectory) {
    if (name.find('/') != std::string::npos) return name;
    if (!baseDirectory.empty()) {
        std::string entry = baseDirectory;
        if (entry.back() != '/') entry += '/';
        entry += name;
        struct stat st;
        // lstat: a link whose target is missing still names the port (its open then fails).
        if (lstat(entry.c_str(), &st) == 0) return entry;
    }
    if (int n = ComPortNumber(name); n > 0) return "/dev/ttyS" + std::to_string(n - 1);
    return "/dev/" + name;
}

bool IsUsbSerialDevice(const std::string& path) {
    char resolved[PATH_MAX];
    const std::string device = realpath(path.c_str(), resolved) != nullptr ? resolved : path;
    const std::string name = device.substr(device.rfind('/') + 1);
    return name.starts_with("ttyUSB") || name.starts_with("ttyACM");
}

}  // namespace kt::device
