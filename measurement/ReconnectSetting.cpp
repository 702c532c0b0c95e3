#include "ReconnectSetting.h"

namespace kt::measurement {

namespace {
constexpr std::string_view kKey = "Reconnect=";
}  // namespace

std::string FormatReconnectSetting(bool on) {
    return std::string(kKey) + (on ? "1" : "0") + "\r\n";
}

std::optional<bool> ParseReconnectSetting(std::string_view bytes) {
    std::optional<bool> found;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.remove_suffix(1);
        if (line == "Reconnect=0" || line == "Reconnect=1") found = line.back() == '1';
    }
    return found;
}

}  // namespace kt::measurement
