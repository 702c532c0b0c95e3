// A private mosquitto broker for tests and benchmarks, and an in-process subscriber.
//
// The broker runs from a configuration of its own in a temporary folder, on a free
// loopback port kept across restarts, with persistence and QoS 0 queueing for offline
// persistent sessions: a collector's session and subscription outlive a Stop/Start, so
// what is published while the collector is reconnecting still reaches it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

struct mosquitto;
struct mosquitto_message;

namespace kt::test {

class MqttBroker {
public:
    MqttBroker();
    ~MqttBroker();  // stops the broker and removes its folder
    MqttBroker(const MqttBroker&) = delete;
    MqttBroker& operator=(const MqttBroker&) = delete;

    // Starts /usr/sbin/mosquitto (the port is chosen on the first start) and waits until it
    // accepts connections; false with `error` set when it does not within 10 s.
    bool Start(std::string& error);
    // SIGTERM (the broker saves its sessions), then waits for it to end.
    void Stop();
    int Port() const { return port_; }

private:
    std::string folder_;
    int port_ = 0;
    pid_t pid_ = -1;
};

struct MqttMessage {
    std::string topic;
    std::string payload;
    bool retained = false;
};

// Subscribes to `filter` (QoS 1, a persistent session) and keeps every message that
// arrives; reconnects by itself after the broker comes back.
class MqttCollector {
public:
    MqttCollector(int port, const std::string& filter);
    ~MqttCollector();
    MqttCollector(const MqttCollector&) = delete;
    MqttCollector& operator=(const MqttCollector&) = delete;

    // The subscription is in place (waits up to `timeout`).
    bool Subscribed(std::chrono::milliseconds timeout);
    std::vector<MqttMessage> Messages() const;
    // Waits until `done` holds for the messages so far, or `timeout` passes.
    bool WaitFor(const std::function<bool(const std::vector<MqttMessage>&)>& done,
                 std::chrono::milliseconds timeout) const;

private:
    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnSubscribe(mosquitto*, void* self, int, int, const int*);
    static void OnMessage(mosquitto*, void* self, const mosquitto_message* message);

    std::string filter_;
    mosquitto* client_ = nullptr;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<MqttMessage> messages_;
    bool subscribed_ = false;
};

// The retained message on `topic`, read by a fresh subscriber; nothing within `timeout`.
std::optional<std::string> RetainedMqttMessage(int port, const std::string& topic,
                                               std::chrono::milliseconds timeout);

// A sample as the program publishes it, read back from its JSON.
struct PublishedSample {
    double t = 0;
    std::optional<float> angle[3];
    std::optional<float> cycles[3];
    int pk1 = -1, pk2 = -1;
};
// Nothing when the text is not one such object.
std::optional<PublishedSample> ParsePublishedSample(const std::string& json);

}  // namespace kt::test
