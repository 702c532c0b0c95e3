// Publishes every sample to an MQTT broker, so that readings of several indicators on
// several PCs meet in one place (a dashboard, a database, a control system).
//
// The broker is never in the way of the sampling. OnSample, on the user-interface
// thread, copies the sample into a ring allocated beforehand and publishes it with one
// atomic store: no lock, no allocation, no system call. A publishing thread of ours
// wakes every few milliseconds, turns the samples into JSON and hands them to
// libmosquitto, whose own network thread writes them out, connects and reconnects (one
// second after a loss, doubling up to five). While the broker is away the samples wait
// in the ring, at most kMaxUnsent of them: past that the oldest are dropped and counted.
// A sample handed to the library counts as sent once the library has written it to the
// socket; the few it still held when a connection broke die with it and count as dropped.
// If the network thread gives up after an error it takes as final (a failed name lookup
// while reconnecting), the publishing thread starts it again after 30 s.
//
// The status text goes to PREFIX/status retained with QoS 1 when it changes and again
// after every connection; the broker's last will sets it to "offline" should the program
// die, and the program leaves "offline" there itself when publishing ends.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "Log.h"
#include "MqttSettings.h"
#include "Sample.h"

struct mosquitto;

namespace kt::measurement {

struct MqttCounters {
    uint64_t sent = 0;     // samples written to the broker's connection
    uint64_t dropped = 0;  // samples given up: more than kMaxUnsent waited, or lost
                           // with a broken connection
    uint64_t waiting = 0;  // samples not yet sent
    bool connected = false;
};

class MqttPublisher : public SampleSubscriber {
public:
    static constexpr uint64_t kMaxUnsent = 10000;
    static constexpr uint64_t kRingSamples = 16384;  // a power of two above kMaxUnsent
    static constexpr std::chrono::milliseconds kPublishInterval{5};

    // Starts connecting at once (off the calling thread: a host name is looked up by the
    // publishing thread). `settings` must pass MqttSettingsProblem.
    MqttPublisher(const MqttSettings& settings, device::Log& log);
    // Leaves "offline" as the status and disconnects, waiting at most about a second
    // for a broker that does not answer.
    ~MqttPublisher() override;
    MqttPublisher(const MqttPublisher&) = delete;
    MqttPublisher& operator=(const MqttPublisher&) = delete;

    // Ends publishing without waiting (settings replaced while the program runs): the
    // publishing thread leaves "offline" and disconnects on its own, and logs nothing
    // more. The destructor then returns at once.
    void Retire();

    // User-interface thread only, as is SetStatus.
    void OnSample(const Sample& sample) override;
    // Published when it differs from the last one given (a static text, not copied).
    void SetStatus(const char* text);

    // Any thread.
    MqttCounters Counters() const;
    // Why the last connection attempt or the connection failed; empty while connected.
    std::string Problem() const;
    // Waits until every sample given so far is sent or dropped, or `timeout` passes;
    // true when none is left waiting (tests, benchmarks, the tool's end).
    bool Drain(std::chrono::milliseconds timeout) const;

private:
    // The ring, the publishing thread and the libmosquitto client; shared with the thread,
    // which outlives the publisher when a name lookup holds it past the wait at the end.
    struct Impl;
    std::shared_ptr<Impl> impl_;
};

}  // namespace kt::measurement
