#include "PortList.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <fstream>
#include <string_view>

namespace kt::device {

namespace {

bool IsDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// "ttyUSB", "ttyACM" or "ttyS" followed by digits only.
bool HasSerialPortName(const std::string& name, bool& uart) {
    for (const char* prefix : {"ttyUSB", "ttyACM", "ttyS"}) {
        const std::string p = prefix;
        if (name.size() > p.size() && name.compare(0, p.size(), p) == 0 &&
            std::all_of(name.begin() + static_cast<long>(p.size()), name.end(), IsDigit)) {
            uart = p == "ttyS";
            return true;
        }
    }
    return false;
}

// The port type the serial core reports for the line: 0 is PORT_UNKNOWN, no chip.
bool ReportsRealUart(const std::string& root, const std::string& name) {
    std::ifstream in(root + "sys/class/tty/" + name + "/type");
    long type = 0;
    return static_cast<bool>(in >> type) && type > 0;
}

// Exists (links followed) and is not a folder.
bool IsPortEntry(const std::string& path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

// One run of digits starting at i: its value's digits without leading zeros.
std::string_view DigitRun(const std::string& s, size_t& i) {
    const size_t start = i;
    while (i < s.size() && IsDigit(s[i])) ++i;
    size_t first = start;
    while (first + 1 < i && s[first] == '0') ++first;
    return std::string_view(s).substr(first, i - first);
}

}  // namespace

bool NaturalLess(const std::string& a, const std::string& b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            const std::string_view x = DigitRun(a, i);
            const std::string_view y = DigitRun(b, j);
            if (x.size() != y.size()) return x.size() < y.size();
            if (x != y) return x < y;
            continue;
        }
        if (a[i] != b[j])
            return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
        ++i;
        ++j;
    }
    if ((i < a.size()) != (j < b.size())) return j < b.size();
    return a < b;  // equal by value ("01" and "1"): keep the order strict
}

namespace {

// The names in `folder` that `keep` takes, in natural order.
template <typename Keep>
std::vector<std::string> EntriesOf(const std::string& folder, Keep keep) {
    std::vector<std::string> names;
    DIR* dir = opendir(folder.c_str());
    if (!dir) return names;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name != "." && name != ".." && keep(name)) names.push_back(name);
    }
    closedir(dir);
    std::sort(names.begin(), names.end(), NaturalLess);
    return names;
}

}  // namespace

std::vector<std::string> ListSerialPorts(const std::string& root) {
    std::string base = root.empty() ? "/" : root;
    if (base.back() != '/') base += '/';
    std::vector<std::string> ports = EntriesOf(base + "dev", [&](const std::string& name) {
        bool uart = false;
        return HasSerialPortName(name, uart) && IsPortEntry(base + "dev/" + name) &&
               (!uart || ReportsRealUart(base, name));
    });
    // The adapters' names by maker and serial number, which stay the same whichever
    // socket the adapter is plugged into; offered by their whole path.
    const std::string byId = base + "dev/serial/by-id/";
    for (const std::string& name :
         EntriesOf(byId, [&](const std::string& name) { return IsPortEntry(byId + name); })) {
        ports.push_back(byId + name);
    }
    return ports;
}

}  // namespace kt::device
