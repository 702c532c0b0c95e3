// --mqtt HOST[:PORT] [--mqtt-topic PREFIX] of `sample` and `record`: every sample of the
// run goes to an MQTT broker as well, and the run's status follows it there. A broker
// that is down or goes away costs log lines only, never the run or its exit code.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "Log.h"
#include "MqttPublisher.h"
#include "SamplingClock.h"

namespace kt::cli {

// Reads --mqtt and --mqtt-topic from `args`, removing them; `mqtt` is set when --mqtt is
// given. False with `error` set on a bad address or prefix, or a prefix without a broker.
bool TakeMqttOptions(std::vector<std::string>& args, std::optional<measurement::MqttSettings>& mqtt,
                     std::string& error);

// The publisher of one run, when the run has a broker; does nothing otherwise.
class MqttRun {
public:
    static constexpr std::chrono::milliseconds kDrainTimeout{2000};

    // Starts connecting at once; the status is "nie wykryto" until the indicator is ready.
    explicit MqttRun(const std::optional<measurement::MqttSettings>& settings);

    // The publisher takes every sample after the clock's other subscribers.
    void Subscribe(measurement::SamplingClock& sampling);
    // Publishes the run's status when it has changed; cheap enough for every pass of the
    // tool's loop.
    void Follow(bool deviceReady, measurement::RunPhase phase);
    // Gives the samples still waiting up to kDrainTimeout to reach the broker, prints
    // "mqtt: N sent, M dropped, K unsent" on standard error and ends publishing, leaving
    // "offline" as the status.
    void Finish();

private:
    device::StderrLog log_;
    std::unique_ptr<measurement::MqttPublisher> publisher_;
};

}  // namespace kt::cli
