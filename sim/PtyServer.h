// Serves the indicator model on a pseudo-terminal. The program (or a test) opens the
// slave side like a serial port; a thread of this server reads request frames from the
// master side, asks the model, and writes the answers shaped by the fault switches.
//
// The server keeps a descriptor of the slave open itself, so a client may close the
// port and open it again as often as it likes: the master never sees a hang-up. Closing
// the master (Unplug) is what makes the port disappear for the client.
//
// The serving thread sleeps in one poll on the master, a wake-up eventfd and a timerfd
// armed at the absolute time (monotonic clock) of the next thing due: an idle server
// uses no processor time, and deadlines of line-speed answers hold to the microsecond
// rather than to the millisecond a poll timeout would give.
//
// All public members may be called from any thread; the traffic log callback runs on
// the serving thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "AnswerShaper.h"
#include "IndicatorModel.h"
#include "RequestReader.h"

namespace kt::sim {

class PtyServer {
public:
    using TrafficLog = std::function<void(const std::string& line)>;

    explicit PtyServer(const ModelConfig& model = {}, const Faults& faults = {}, uint64_t seed = 1);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Opens a pty pair, makes `linkPath` (when not empty) a symbolic link to the slave and
    // starts serving. False with LastError() set when that fails or it already serves.
    bool Start(const std::string& linkPath = "");
    // Stops serving, closes the pty and removes the link if it still points to this server.
    void Stop();
    // Closes the pty as if the indicator's cable were pulled; the link stays, dangling at
    // the pty's name with ".unplugged" added, which no terminal can take meanwhile.
    void Unplug();
    // After an unplug: a new pty pair, the link pointed at its slave, serving again.
    bool Replug();
    // The serving thread closes the pty `ms` milliseconds from now (0: never).
    void UnplugAfter(int64_t ms);

    bool Plugged() const { return plugged_.load(); }
    std::string SlavePath() const;
    std::string LinkPath() const;
    std::string LastError() const;

    void SetFaults(const Faults& faults);
    Faults GetFaults() const;
    // Runs `fn` on the model under the server's lock (inspect or change it).
    void WithModel(const std::function<void(IndicatorModel&)>& fn);
    // The model's clock: milliseconds since the server was constructed.
    int64_t NowMs() const;
    uint64_t RequestsServed() const { return requests_.load(); }
    // A record of the measurement frames given to the line, in order (AnswerShaper).
    void RecordMeasurements(bool on);
    std::vector<std::vector<uint8_t>> MeasurementsSent() const;
    uint64_t AnswersTorn() const;

    // Set before Start: receives "<< F1 F1 07 ..." for every request frame taken,
    // ">> F4 F4 ..." for every burst written and "-- text" for events (unplugged, ...).
    void SetTrafficLog(TrafficLog log) { log_ = std::move(log); }

private:
    bool OpenPty();
    // Opens a pty pair, links it and starts the serving thread.
    bool OpenAndServe();
    bool LinkToSlave();
    bool PointLinkAt(const std::string& target);
    void StartThread();
    void JoinThread();
    void Serve();
    int64_t NowNs() const;
    std::optional<int64_t> NextDeadlineNs() const;
    void ArmTimer(std::optional<int64_t> deadlineNs);
    void ReadRequests();
    void WriteDueBursts(int64_t nowNs);
    void Log(const std::string& line) const;
    void SetError(const std::string& message);

    const int64_t epochNs_;
    mutable std::mutex mutex_;  // guards the model, the shaper and the strings below
    IndicatorModel model_;
    AnswerShaper shaper_;
    std::string slavePath_;
    std::string linkPath_;
    std::string linkTarget_;  // what the link was last pointed at
    std::string error_;

    int masterFd_ = -1;
    int slaveFd_ = -1;
    int wakeFd_ = -1;
    int timerFd_ = -1;
    std::thread thread_;
    std::atomic<bool> stopRequest_{false};
    std::atomic<bool> plugged_{false};
    std::atomic<int64_t> unplugAtMs_{0};
    std::atomic<uint64_t> requests_{0};
    TrafficLog log_;

    // Owned by the serving thread.
    RequestReader reader_;
    std::deque<Burst> outgoing_;
    int64_t lastWriteNs_ = 0;
};

}  // namespace kt::sim
