#include "MqttPublisher.h"

#include <mosquitto.h>
#include <unistd.h>

#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "Log.h"
#include "MqttMessages.h"

namespace kt::measurement {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using std::chrono::seconds;

constexpr int kKeepaliveSeconds = 15;
constexpr int kStatusQos = 1;
// Samples handed to the library and not yet written: past this the broker is slow and
// the rest wait in the ring, where the bound on unsent samples applies.
constexpr size_t kMaxInLibrary = 1000;
constexpr seconds kFirstRetry{1};
constexpr seconds kLastRetry{5};
// Without a connection for this long the network thread may have given up (it ends on
// errors it takes as final); it is started again.
constexpr seconds kRestartAfter{30};
// Idle passes (kPublishInterval apart) after which the thread sleeps until woken.
constexpr int kIdlePassesBeforeSleep = 40;
constexpr milliseconds kOfflineWait{1000};

void InitLibrary() {
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

}  // namespace

struct MqttPublisher::Impl {
    Impl(const MqttSettings& s, device::Log& l)
        : settings(s),
          sampleTopic(MqttTopic(s.Prefix(), kMqttSampleTopic)),
          statusTopic(MqttTopic(s.Prefix(), kMqttStatusTopic)),
          log(l),
          ring(new Sample[kRingSamples]) {}

    // Set by the owner, read by everyone.
    const MqttSettings settings;
    const std::string sampleTopic;
    const std::string statusTopic;
    device::Log& log;

    // The ring: the user-interface thread writes at `head`, this thread reads at `tail`.
    std::unique_ptr<Sample[]> ring;
    std::atomic<uint64_t> head{0};
    std::atomic<uint64_t> tail{0};
    std::atomic<const char*> status{nullptr};
    const char* statusGiven = nullptr;  // user-interface thread only

    // Counters for any thread.
    std::atomic<uint64_t> sent{0};
    std::atomic<uint64_t> dropped{0};
    std::atomic<uint64_t> inLibrary{0};
    std::atomic<bool> connected{false};
    mutable std::mutex problemMutex;
    std::string problem;

    // Sleep and wake-up of this thread.
    std::mutex mutex;
    std::condition_variable wake;
    bool woken = false;  // under mutex
    bool stop = false;   // under mutex
    bool done = false;   // under mutex: the thread has finished
    // The log is the owner's: once the owner is gone the thread writes no more to it.
    std::mutex logMutex;
    bool logOpen = true;
    std::atomic<bool> sleeping{false};

    // Written by the network thread's callbacks. `generation` moves on with every
    // connection made or lost; `confirmed` holds the message ids the library has
    // written (samples) or the broker acknowledged (statuses), in that order.
    std::atomic<uint32_t> generation{0};
    std::atomic<int> lastResult{0};
    std::atomic<bool> lastWasRefusal{false};
    static constexpr uint32_t kConfirmSlots = 4096;  // > kMaxInLibrary + statuses
    std::atomic<int> confirmed[kConfirmSlots];
    std::atomic<uint32_t> confirmedHead{0};

    // This thread's own.
    mosquitto* client = nullptr;
    bool loopRunning = false;
    Clock::time_point nextAttempt{};
    Clock::time_point lastChange{};  // the loop started, or the connection came or went
    seconds retry = kFirstRetry;
    uint32_t seenGeneration = 0;
    // The connection as of the last generation this thread followed: samples are handed
    // only on a connection whose coming it has seen, so none is counted against the
    // wrong one.
    bool linkUp = false;
    uint32_t confirmedTail = 0;
    std::deque<int> handedMids;  // samples handed to the library, oldest first
    int statusMid = -1;          // the status message not yet acknowledged
    const char* statusPublished = nullptr;
    bool outage = false;         // a failure has been logged and not yet its end
    uint64_t droppedLogged = 0;  // dropped samples already named in the log
    int idlePasses = 0;
    uint64_t seenHead = 0;
    std::string json;

    void Wake() {
        {
            std::lock_guard lock(mutex);
            woken = true;
        }
        wake.notify_one();
    }
    void Note(const std::string& text) {
        std::lock_guard lock(logMutex);
        if (logOpen) log.Warning(text);
    }
    void SetProblem(std::string text) {
        std::lock_guard lock(problemMutex);
        problem = std::move(text);
    }

    bool Setup();
    void Run();
    void Publish();
    bool Pass();
    void Connect();
    void DrainConfirmations();
    void FollowConnection();
    void DropOverflow();
    bool HandSamples();
    void PublishStatus(const char* text);
    void Shutdown();
    void Sleep(bool busy);
    std::string Where() const { return "MQTT broker " + settings.Where(); }

    static void OnConnect(mosquitto*, void* self, int rc);
    static void OnDisconnect(mosquitto*, void* self, int rc);
    static void OnPublish(mosquitto*, void* self, int mid);
};

void MqttPublisher::Impl::OnConnect(mosquitto*, void* self, int rc) {
    auto* impl = static_cast<Impl*>(self);
    impl->lastResult = rc;
    impl->lastWasRefusal = rc != 0;
    impl->connected = rc == 0;
    impl->generation.fetch_add(1, std::memory_order_release);
    impl->Wake();
}

void MqttPublisher::Impl::OnDisconnect(mosquitto*, void* self, int rc) {
    auto* impl = static_cast<Impl*>(self);
    // A refused connection ends in a disconnection too; the refusal says more.
    if (!impl->lastWasRefusal) impl->lastResult = rc;
    impl->connected = false;
    impl->generation.fetch_add(1, std::memory_order_release);
    impl->Wake();
}

void MqttPublisher::Impl::OnPublish(mosquitto*, void* self, int mid) {
    auto* impl = static_cast<Impl*>(self);
    const uint32_t at = impl->confirmedHead.load(std::memory_order_relaxed);
    impl->confirmed[at % kConfirmSlots].store(mid, std::memory_order_relaxed);
    impl->confirmedHead.store(at + 1, std::memory_order_release);
}

// The client, its last will and its credentials; false (with the problem logged) when
// the settings cannot be used, such as a CA file that cannot be read.
bool MqttPublisher::Impl::Setup() {
    InitLibrary();
    const std::string id = "kt210v-pc-" + std::to_string(getpid()) + "-" +
                           std::to_string(reinterpret_cast<uintptr_t>(this) % 100000);
    client = mosquitto_new(id.c_str(), true, this);
    if (client == nullptr) {
        SetProblem(device::SystemReason(errno));
        Note(Where() + ": no client: " + device::SystemReason(errno));
        return false;
    }
    mosquitto_connect_callback_set(client, OnConnect);
    mosquitto_disconnect_callback_set(client, OnDisconnect);
    mosquitto_publish_callback_set(client, OnPublish);
    mosquitto_reconnect_delay_set(client, kFirstRetry.count(), kLastRetry.count(), true);
    int rc =
        mosquitto_will_set(client, statusTopic.c_str(), static_cast<int>(std::strlen(kMqttOffline)),
                           kMqttOffline, kStatusQos, true);
    if (rc == MOSQ_ERR_SUCCESS && !settings.user.empty()) {
        rc = mosquitto_username_pw_set(
            client, settings.user.c_str(),
            settings.password.empty() ? nullptr : settings.password.c_str());
    }
    if (rc == MOSQ_ERR_SUCCESS && settings.tls && !settings.caFile.empty() &&
        access(settings.caFile.c_str(), R_OK) != 0) {
        const std::string reason = settings.caFile + ": " + device::SystemReason(errno);
        SetProblem(reason);
        Note(Where() + ": cannot be used: " + reason);
        return false;
    }
    if (rc == MOSQ_ERR_SUCCESS && settings.tls) {
        const bool ownCa = !settings.caFile.empty();
        rc = mosquitto_tls_set(client, ownCa ? settings.caFile.c_str() : nullptr,
                               ownCa ? nullptr : "/etc/ssl/certs", nullptr, nullptr, nullptr);
    }
    if (rc != MOSQ_ERR_SUCCESS) {
        const std::string reason = mosquitto_strerror(rc);
        SetProblem(reason);
        Note(Where() + ": cannot be used: " + reason);
        return false;
    }
    return true;
}

void MqttPublisher::Impl::Run() {
    Publish();
    {
        std::lock_guard lock(mutex);
        done = true;
    }
    wake.notify_all();
}

void MqttPublisher::Impl::Publish() {
    if (!Setup()) {
        // Nothing can be sent: the samples are dropped as the bound says.
        while (true) {
            {
                std::unique_lock lock(mutex);
                if (wake.wait_for(lock, milliseconds(200), [this] { return stop; })) break;
            }
            DropOverflow();
        }
        if (client != nullptr) mosquitto_destroy(client);
        return;
    }
    bool busy = false;
    while (true) {
        {
            std::lock_guard lock(mutex);
            if (stop) break;
        }
        busy = Pass();
        Sleep(busy);
    }
    Shutdown();
}

// One round of the publishing thread; true while samples are coming or waiting.
bool MqttPublisher::Impl::Pass() {
    if (!loopRunning) Connect();
    DrainConfirmations();
    FollowConnection();
    DropOverflow();
    const bool handed = HandSamples();
    const char* wanted = status.load(std::memory_order_acquire);
    if (linkUp && wanted != nullptr && wanted != statusPublished) PublishStatus(wanted);
    if (loopRunning && !linkUp && Clock::now() - lastChange > kRestartAfter) {
        // The network thread ends after an error it takes as final; start it afresh.
        mosquitto_loop_stop(client, true);
        loopRunning = false;
        nextAttempt = Clock::now();
    }
    // Busy while samples come, wait with a connection to take them, or wait for the
    // library to write them (its confirmations do not wake the thread).
    const uint64_t h = head.load(std::memory_order_acquire);
    const bool arrived = h != seenHead;
    seenHead = h;
    return handed || arrived || !handedMids.empty() ||
           (linkUp && h != tail.load(std::memory_order_relaxed));
}

// The first connection, made here so that a slow name lookup holds up nobody else; the
// library's network thread keeps it from then on.
void MqttPublisher::Impl::Connect() {
    const Clock::time_point now = Clock::now();
    if (now < nextAttempt) return;
    const int rc =
        mosquitto_connect_async(client, settings.host.c_str(), settings.port, kKeepaliveSeconds);
    const int error = errno;
    if (rc == MOSQ_ERR_SUCCESS && mosquitto_loop_start(client) == MOSQ_ERR_SUCCESS) {
        loopRunning = true;
        lastChange = now;
        retry = kFirstRetry;
        return;
    }
    const std::string reason =
        rc == MOSQ_ERR_ERRNO ? device::SystemReason(error) : mosquitto_strerror(rc);
    SetProblem(reason);
    if (!outage) Note(Where() + ": cannot connect (" + reason + "); trying again");
    outage = true;
    nextAttempt = now + retry;
    retry = std::min(retry * 2, kLastRetry);
}

void MqttPublisher::Impl::DrainConfirmations() {
    const uint32_t until = confirmedHead.load(std::memory_order_acquire);
    for (; confirmedTail != until; ++confirmedTail) {
        const int mid = confirmed[confirmedTail % kConfirmSlots].load(std::memory_order_relaxed);
        if (!handedMids.empty() && handedMids.front() == mid) {
            handedMids.pop_front();
            sent.fetch_add(1, std::memory_order_relaxed);
        } else if (mid == statusMid) {
            statusMid = -1;
        }
    }
    inLibrary.store(handedMids.size(), std::memory_order_relaxed);
}

// A connection made or lost since the last pass: what the library held is gone with the
// old one, the status is published again on the new one, and the log hears of it once.
void MqttPublisher::Impl::FollowConnection() {
    const uint32_t now = generation.load(std::memory_order_acquire);
    if (now == seenGeneration) return;
    DrainConfirmations();  // every confirmation of the old connection came before `now`
    seenGeneration = now;
    linkUp = connected.load();
    lastChange = Clock::now();
    dropped.fetch_add(handedMids.size(), std::memory_order_relaxed);
    handedMids.clear();
    inLibrary.store(0, std::memory_order_relaxed);
    statusMid = -1;
    statusPublished = nullptr;
    const int rc = lastResult.load();
    if (linkUp) {
        SetProblem({});
        if (outage) Note(Where() + ": connected again");
        outage = false;
    } else {
        const std::string reason =
            lastWasRefusal ? mosquitto_connack_string(rc) : std::string(mosquitto_strerror(rc));
        SetProblem(reason);
        const char* what = lastWasRefusal ? ": refused the connection (" : ": connection lost (";
        if (!outage) Note(Where() + what + reason + "); trying again");
        outage = true;
    }
    const uint64_t total = dropped.load(std::memory_order_relaxed);
    if (linkUp && total > droppedLogged) {
        Note(Where() + ": " + std::to_string(total - droppedLogged) +
             " samples dropped while it was away");
        droppedLogged = total;
    }
}

// More than kMaxUnsent samples unsent: the oldest are given up.
void MqttPublisher::Impl::DropOverflow() {
    const uint64_t h = head.load(std::memory_order_acquire);
    const uint64_t t = tail.load(std::memory_order_relaxed);
    const uint64_t room = kMaxUnsent - handedMids.size();
    if (h - t <= room) return;
    const uint64_t excess = h - t - room;
    tail.store(t + excess, std::memory_order_release);
    dropped.fetch_add(excess, std::memory_order_relaxed);
}

bool MqttPublisher::Impl::HandSamples() {
    if (!linkUp) return false;
    bool handed = false;
    const uint64_t h = head.load(std::memory_order_acquire);
    uint64_t t = tail.load(std::memory_order_relaxed);
    while (t != h && handedMids.size() < kMaxInLibrary) {
        json.clear();
        AppendMqttSampleJson(ring[t % kRingSamples], json);
        int mid = 0;
        const int rc = mosquitto_publish(client, &mid, sampleTopic.c_str(),
                                         static_cast<int>(json.size()), json.data(), 0, false);
        if (rc != MOSQ_ERR_SUCCESS) break;  // the connection went; the sample waits
        handedMids.push_back(mid);
        tail.store(++t, std::memory_order_release);
        handed = true;
    }
    inLibrary.store(handedMids.size(), std::memory_order_relaxed);
    return handed;
}

void MqttPublisher::Impl::PublishStatus(const char* text) {
    int mid = 0;
    const int rc = mosquitto_publish(client, &mid, statusTopic.c_str(),
                                     static_cast<int>(std::char_traits<char>::length(text)), text,
                                     kStatusQos, true);
    if (rc != MOSQ_ERR_SUCCESS) return;
    statusMid = mid;
    statusPublished = text;
}

void MqttPublisher::Impl::Sleep(bool busy) {
    idlePasses = busy ? 0 : idlePasses + 1;
    std::unique_lock lock(mutex);
    if (idlePasses < kIdlePassesBeforeSleep) {
        wake.wait_for(lock, kPublishInterval, [this] { return stop || woken; });
        woken = false;
        return;
    }
    // Nothing came for a while: sleep until a sample, a status, the connection or the
    // next connection attempt wakes the thread.
    sleeping.store(true);
    woken = false;
    const auto ready = [this] {
        return stop || woken || head.load(std::memory_order_seq_cst) != seenHead;
    };
    if (!loopRunning) {
        wake.wait_until(lock, nextAttempt, ready);
    } else {
        wake.wait_for(lock, linkUp ? seconds(3600) : kRestartAfter, ready);
    }
    sleeping.store(false);
    idlePasses = 0;
}

// "offline" is left as the status, waiting a moment for the broker to take it.
void MqttPublisher::Impl::Shutdown() {
    if (loopRunning && linkUp) {
        // A status given just before the end goes out before "offline".
        const char* wanted = status.load(std::memory_order_acquire);
        if (wanted != nullptr && wanted != statusPublished) PublishStatus(wanted);
        PublishStatus(kMqttOffline);
        const Clock::time_point until = Clock::now() + kOfflineWait;
        while (statusMid != -1 && connected && Clock::now() < until) {
            std::this_thread::sleep_for(milliseconds(2));
            DrainConfirmations();
        }
        mosquitto_disconnect(client);
        mosquitto_loop_stop(client, false);
    } else if (loopRunning) {
        mosquitto_disconnect(client);
        mosquitto_loop_stop(client, true);
    }
    mosquitto_destroy(client);
    client = nullptr;
}

MqttPublisher::MqttPublisher(const MqttSettings& settings, device::Log& log)
    : impl_(std::make_shared<Impl>(settings, log)) {
    // The thread keeps the state alive until it ends, even after the publisher is gone.
    std::thread([impl = impl_] { impl->Run(); }).detach();
}

MqttPublisher::~MqttPublisher() {
    // Waits for the thread by a flag it sets; a thread cannot be joined with a time limit,
    // and one held up in a name lookup must not hold up the program's exit.
    Impl& s = *impl_;
    {
        std::unique_lock lock(s.mutex);
        const bool retired = s.stop;
        s.stop = true;
        s.wake.notify_all();
        if (!retired) {
            s.wake.wait_for(lock, kOfflineWait + milliseconds(500), [&s] { return s.done; });
        }
    }
    std::lock_guard lock(s.logMutex);
    s.logOpen = false;
}

void MqttPublisher::Retire() {
    {
        std::lock_guard lock(impl_->logMutex);
        impl_->logOpen = false;
    }
    std::lock_guard lock(impl_->mutex);
    impl_->stop = true;
    impl_->wake.notify_all();
}

void MqttPublisher::OnSample(const Sample& sample) {
    Impl& s = *impl_;
    const uint64_t h = s.head.load(std::memory_order_relaxed);
    if (h - s.tail.load(std::memory_order_acquire) >= kRingSamples) {
        // The publishing thread has not run for a long while: the newest is given up.
        s.dropped.fetch_add(1, std::memory_order_relaxed);
        return;
    }
    s.ring[h % kRingSamples] = sample;
    s.head.store(h + 1, std::memory_order_seq_cst);
    if (s.sleeping.load(std::memory_order_seq_cst)) s.Wake();
}

void MqttPublisher::SetStatus(const char* text) {
    Impl& s = *impl_;
    if (text == s.statusGiven) return;
    s.statusGiven = text;
    s.status.store(text, std::memory_order_release);
    s.Wake();
}

MqttCounters MqttPublisher::Counters() const {
    const Impl& s = *impl_;
    MqttCounters c;
    c.sent = s.sent.load(std::memory_order_relaxed);
    c.dropped = s.dropped.load(std::memory_order_relaxed);
    const uint64_t h = s.head.load(std::memory_order_acquire);
    c.waiting = h - s.tail.load(std::memory_order_acquire) + s.inLibrary.load();
    c.connected = s.connected.load();
    return c;
}

std::string MqttPublisher::Problem() const {
    std::lock_guard lock(impl_->problemMutex);
    return impl_->problem;
}

bool MqttPublisher::Drain(std::chrono::milliseconds timeout) const {
    const Clock::time_point until = Clock::now() + timeout;
    while (Counters().waiting != 0) {
        if (Clock::now() >= until) return false;
        std::this_thread::sleep_for(milliseconds(1));
    }
    return true;
}

}  // namespace kt::measurement
