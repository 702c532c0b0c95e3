#include "MqttRun.h"

#include <cstdio>

#include "MqttMessages.h"

namespace kt::cli {

bool TakeMqttOptions(std::vector<std::string>& args, std::optional<measurement::MqttSettings>& mqtt,
                     std::string& error) {
    std::optional<measurement::BrokerAddress> broker;
    std::optional<std::string> prefix;
    for (size_t i = 0; i < args.size();) {
        const std::string name = args[i];
        if (name != "--mqtt" && name != "--mqtt-topic") {
            ++i;
            continue;
        }
        if (i + 1 >= args.size()) {
            error = name + " needs a value";
            return false;
        }
        const std::string text = args[i + 1];
        args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
                   args.begin() + static_cast<std::ptrdiff_t>(i) + 2);
        if (name == "--mqtt-topic") {
            prefix = text;
            continue;
        }
        broker.emplace();
        std::string why;
        if (!measurement::ParseBrokerAddress(text, *broker, why)) {
            error = "--mqtt: " + why;
            return false;
        }
    }
    if (prefix && !broker) {
        error = "--mqtt-topic needs --mqtt";
        return false;
    }
    if (!broker) return true;
    if (prefix) {
        if (const std::string why = measurement::MqttPrefixProblem(*prefix); !why.empty()) {
            error = "--mqtt-topic: " + why + ": " + *prefix;
            return false;
        }
    }
    measurement::MqttSettings settings;
    settings.enabled = true;
    settings.host = broker->host;
    settings.port = broker->port;
    settings.prefix = prefix.value_or(measurement::DefaultMqttTopicPrefix());
    if (const std::string why = measurement::MqttSettingsProblem(settings); !why.empty()) {
        error = "--mqtt cannot be used: " + why;
        return false;
    }
    mqtt = std::move(settings);
    return true;
}

MqttRun::MqttRun(const std::optional<measurement::MqttSettings>& settings) {
    if (!settings) return;
    publisher_ = std::make_unique<measurement::MqttPublisher>(*settings, log_);
    Follow(false, measurement::RunPhase::Stopped);
}

void MqttRun::Subscribe(measurement::SamplingClock& sampling) {
    if (publisher_) sampling.Subscribe(*publisher_);
}

void MqttRun::Follow(bool deviceReady, measurement::RunPhase phase) {
    if (publisher_) publisher_->SetStatus(measurement::MqttStatusText(deviceReady, phase));
}

void MqttRun::Finish() {
    if (!publisher_) return;
    publisher_->Drain(kDrainTimeout);
    const measurement::MqttCounters c = publisher_->Counters();
    const std::string problem = publisher_->Problem();
    std::fprintf(
        stderr, "mqtt: %llu sent, %llu dropped, %llu unsent%s%s\n",
        static_cast<unsigned long long>(c.sent), static_cast<unsigned long long>(c.dropped),
        static_cast<unsigned long long>(c.waiting), problem.empty() ? "" : ": ", problem.c_str());
    publisher_.reset();
}

}  // namespace kt::cli
