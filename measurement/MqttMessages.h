// What the program publishes to an MQTT broker, as plain text with no network in sight:
// each sample as one JSON object on PREFIX/sample, the run's status text on
// PREFIX/status, the default topic prefix, and the broker address "HOST[:PORT]" that
// kt210v-cli takes.
#pragma once

#include <string>
#include <string_view>

#include "Sample.h"
#include "SamplingClock.h"

namespace kt::measurement {

inline constexpr int kMqttDefaultPort = 1883;
inline constexpr const char* kMqttSampleTopic = "sample";
inline constexpr const char* kMqttStatusTopic = "status";
// The status the broker publishes for the program (its last will) when the program is
// gone without saying goodbye, and the one the program leaves when it ends.
inline constexpr const char* kMqttOffline = "offline";

// Appends the sample's object to `out`, for example
//   {"t":4.05,"angle":[12.5,null,-3.25],"cycles":[null,null,null],"pk1":1,"pk2":0}
// "t" is the run's elapsed time in seconds; an angle is null for a sensor absent from the
// answer, every cycle count is null when the answer carried none. Numbers are written
// with a "." whatever the locale, as the shortest text that reads back as the same float
// (the same double for "t"); a value JSON cannot hold (NaN, infinity) is null.
void AppendMqttSampleJson(const Sample& sample, std::string& out);
std::string MqttSampleJson(const Sample& sample);

// "nie wykryto" while no indicator is ready, else "praca", "pauza" or "stop" for the run.
const char* MqttStatusText(bool deviceReady, RunPhase phase);

// "kt210v/" and the host name.
std::string DefaultMqttTopicPrefix();
// PREFIX/leaf; a prefix ending in "/" gets no second one.
std::string MqttTopic(const std::string& prefix, const char* leaf);
// Why `prefix` cannot start a topic name (empty, a wildcard "+" or "#", a NUL, not UTF-8,
// too long), or an empty text when it can.
std::string MqttPrefixProblem(std::string_view prefix);

struct BrokerAddress {
    std::string host;
    int port = kMqttDefaultPort;
};
// "HOST", "HOST:PORT", "[IPv6]" or "[IPv6]:PORT"; false with `error` set otherwise.
bool ParseBrokerAddress(std::string_view text, BrokerAddress& address, std::string& error);

}  // namespace kt::measurement
