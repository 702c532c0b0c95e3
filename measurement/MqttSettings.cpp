#include "MqttSettings.h"

#include <sys/stat.h>

#include <cerrno>
#include <utility>

#include "Numbers.h"

namespace kt::measurement {

namespace {

// The keys in the order they are written, and the field each one holds.
enum class Kind { Flag, Text, Port };
struct Key {
    const char* name;
    Kind kind;
    bool MqttSettings::*flag = nullptr;
    std::string MqttSettings::*text = nullptr;
};
const Key kKeys[] = {
    {"Enabled", Kind::Flag, &MqttSettings::enabled},
    {"Host", Kind::Text, nullptr, &MqttSettings::host},
    {"Port", Kind::Port},
    {"Prefix", Kind::Text, nullptr, &MqttSettings::prefix},
    {"User", Kind::Text, nullptr, &MqttSettings::user},
    {"Password", Kind::Text, nullptr, &MqttSettings::password},
    {"Tls", Kind::Flag, &MqttSettings::tls},
    {"CaFile", Kind::Text, nullptr, &MqttSettings::caFile},
};

bool HoldsLineBreak(const std::string& text) {
    return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string::npos;
}

// Reads "key=value" into `s`; false when the line is none of this file's.
bool ReadLine(std::string_view line, MqttSettings& s) {
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) return false;
    const std::string_view name = line.substr(0, equals);
    const std::string value(line.substr(equals + 1));
    for (const Key& key : kKeys) {
        if (name != key.name) continue;
        switch (key.kind) {
            case Kind::Flag:
                if (value != "0" && value != "1") return false;
                s.*key.flag = value == "1";
                return true;
            case Kind::Text:
                s.*key.text = value;
                return true;
            case Kind::Port: {
                const auto port = device::ParseInteger(value);
                if (!port || *port < 1 || *port > 65535) return false;
                s.port = static_cast<int>(*port);
                return true;
            }
        }
    }
    return false;
}

}  // namespace

std::string MqttSettings::Where() const {
    const bool v6 = host.find(':') != std::string::npos;
    return (v6 ? "[" + host + "]" : host) + ":" + std::to_string(port);
}

std::string MqttSettingsProblem(const MqttSettings& s) {
    if (s.host.empty()) return "no broker host";
    for (const Key& key : kKeys) {
        if (key.kind == Kind::Text && HoldsLineBreak(s.*key.text)) {
            return std::string(key.name) + " holds a line break";
        }
    }
    if (s.port < 1 || s.port > 65535) return "the port must be from 1 to 65535";
    if (!s.prefix.empty()) return MqttPrefixProblem(s.prefix);
    if (s.password.size() > 65535 || s.user.size() > 65535) return "user name or password too long";
    return {};
}

std::string FormatMqttSettings(const MqttSettings& s) {
    std::string out;
    for (const Key& key : kKeys) {
        out += key.name;
        out += '=';
        switch (key.kind) {
            case Kind::Flag:
                out += s.*key.flag ? '1' : '0';
                break;
            case Kind::Text:
                out += s.*key.text;
                break;
            case Kind::Port:
                out += std::to_string(s.port);
                break;
        }
        out += '\n';
    }
    return out;
}

std::optional<MqttSettings> ParseMqttSettings(std::string_view bytes) {
    MqttSettings s;
    bool understood = false;
    while (!bytes.empty()) {
        const size_t end = bytes.find('\n');
        std::string_view line = bytes.substr(0, end);
        bytes = end == std::string_view::npos ? std::string_view{} : bytes.substr(end + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        understood = ReadLine(line, s) || understood;
    }
    if (!understood) return std::nullopt;
    return s;
}

FileWriteResult WriteMqttSettings(const std::string& path, const MqttSettings& settings) {
    const std::string bytes = FormatMqttSettings(settings);
    // The file is made readable by its owner alone before the password goes into it.
    const FileFiller fill = [&bytes](int fd, const std::string&, std::string&) -> int {
        if (fchmod(fd, S_IRUSR | S_IWUSR) != 0) return errno;
        return WriteAll(fd, bytes);
    };
    return WriteFileAtomically(path, fill);
}

}  // namespace kt::measurement
