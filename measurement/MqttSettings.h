// Where the live samples are published, kept across starts in "mqtt.ini" beside
// "config.ini" (which keeps its 29 lines as they are). UTF-8 text, one "key=value" a line:
//
//   Enabled=1
//   Host=broker.example.org
//   Port=1883
//   Prefix=kt210v/line-3
//   User=operator
//   Password=...
//   Tls=1
//   CaFile=/etc/ssl/certs/plant-ca.pem
//
// The file holds the password, so it is written readable by its owner alone (0600)
// whatever the umask or the mode an older file had. Unknown keys are ignored; a missing
// key keeps its default.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "AtomicFile.h"
#include "MqttMessages.h"

namespace kt::measurement {

inline constexpr const char* kMqttFileName = "mqtt.ini";
inline constexpr std::size_t kMaxMqttFileBytes = 16384;

struct MqttSettings {
    bool enabled = false;
    std::string host = "localhost";
    int port = kMqttDefaultPort;
    std::string prefix;  // empty: DefaultMqttTopicPrefix()
    std::string user;    // empty: no user name (and no password) is sent
    std::string password;
    bool tls = false;
    std::string caFile;  // empty with TLS on: the system's certificates

    std::string Prefix() const { return prefix.empty() ? DefaultMqttTopicPrefix() : prefix; }
    // "HOST:PORT" for log lines and the dialog; never the password.
    std::string Where() const;
    bool operator==(const MqttSettings&) const = default;
};

// Why these settings cannot be used (a field with a line break, a port out of range, a
// bad prefix), or an empty text.
std::string MqttSettingsProblem(const MqttSettings& settings);

std::string FormatMqttSettings(const MqttSettings& settings);
// Nothing when the bytes hold no line this file writes.
std::optional<MqttSettings> ParseMqttSettings(std::string_view bytes);

// Writes the settings through the program's one writer, mode 0600.
FileWriteResult WriteMqttSettings(const std::string& path, const MqttSettings& settings);

}  // namespace kt::measurement
