// A pseudo-terminal standing in for the serial line, and a recorder of the channel's
// notifications, shared by the channel tests.
#pragma once

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "Tserial_event.h"

namespace kt::test {

// A scratch directory removed with everything in it.
class TempDir {
public:
    TempDir() {
        char pattern[] = "/tmp/kt-chan-XXXXXX";
        path_ = mkdtemp(pattern);
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(path_, ec);
    }
    const std::string& path() const { return path_; }
    void Link(const std::string& name, const std::string& target) const {
        std::filesystem::create_symlink(target, path_ + "/" + name);
    }

private:
    std::string path_;
};

// Master and slave of a pty; the test plays the device on the master. The slave is
// kept open by the test as well, so the channel's close is never the last one, and the
// slave name is linked as COM1 in a scratch directory used as the channel's base.
class PtyPair {
public:
    PtyPair() {
        char name[128];
        if (openpty(&master_, &slave_, name, nullptr, nullptr) == 0) {
            slavePath_ = name;
            fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
            dir_.Link("COM1", slavePath_);
        }
    }
    ~PtyPair() {
        CloseMaster();
        if (slave_ >= 0) close(slave_);
    }
    bool ok() const { return slave_ >= 0; }
    int master() const { return master_; }
    int slave() const { return slave_; }
    const std::string& slavePath() const { return slavePath_; }
    const std::string& dir() const { return dir_.path(); }
    const TempDir& tempDir() const { return dir_; }

    void Write(const std::vector<uint8_t>& bytes) const {
        size_t done = 0;
        while (done < bytes.size()) {
            ssize_t n = write(master_, bytes.data() + done, bytes.size() - done);
            if (n > 0) done += static_cast<size_t>(n);
        }
    }
    // Reads what the channel wrote until `count` bytes arrived or the time is up.
    std::vector<uint8_t> Read(size_t count, int timeoutMs) const {
        std::vector<uint8_t> out;
        double end = NowMs() + timeoutMs;
        while (out.size() < count) {
            int left = static_cast<int>(end - NowMs());
            if (left <= 0) break;
            pollfd p{master_, POLLIN, 0};
            if (poll(&p, 1, left) <= 0) continue;
            uint8_t buf[512];
            ssize_t n = read(master_, buf, sizeof buf);
            if (n > 0) out.insert(out.end(), buf, buf + n);
        }
        return out;
    }
    // Unplugs the line: the channel sees a hang-up.
    void CloseMaster() {
        if (master_ >= 0) close(master_);
        master_ = -1;
    }

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
    TempDir dir_;
};

// Records every notification with its time; copies each received block and, unless
// told to hold it, gives the buffer back at once from inside the notification.
class Recorder {
public:
    struct Event {
        int code;
        std::vector<uint8_t> bytes;
        double timeMs;
    };

    static void Handler(void* context, kt::device::Tserial_event* channel, int code) {
        static_cast<Recorder*>(context)->On(channel, code);
    }
    void Attach(kt::device::Tserial_event& channel) {
        channel.SetNotificationHandler(&Handler, this);
    }

    void HoldBuffer(bool hold) {
        std::lock_guard<std::mutex> lock(mutex_);
        hold_ = hold;
    }

    // Waits until `pred` holds for the events so far; false on time-out.
    bool WaitFor(const std::function<bool(const std::vector<Event>&)>& pred, int timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex_);
        return cv_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                            [&] { return pred(events_); });
    }
    bool WaitForCode(int code, int count, int timeoutMs) {
        return WaitFor([&](const std::vector<Event>& e) { return Count(e, code) >= count; },
                       timeoutMs);
    }
    std::vector<Event> Events() {
        std::lock_guard<std::mutex> lock(mutex_);
        return events_;
    }
    int CountOf(int code) {
        std::lock_guard<std::mutex> lock(mutex_);
        return Count(events_, code);
    }
    std::vector<std::vector<uint8_t>> Blocks() {
        std::lock_guard<std::mutex> lock(mutex_);
        std::vector<std::vector<uint8_t>> out;
        for (const Event& e : events_) {
            if (e.code == kt::device::SERIAL_DATA_ARRIVAL) out.push_back(e.bytes);
        }
        return out;
    }
    // CPU clock of the worker thread, taken when it reported the open.
    clockid_t WorkerClock() {
        std::lock_guard<std::mutex> lock(mutex_);
        return workerClock_;
    }
    // CPU time the worker had used when it reported the close, in ms.
    double WorkerCpuAtCloseMs() {
        std::lock_guard<std::mutex> lock(mutex_);
        return cpuAtCloseMs_;
    }

    static int Count(const std::vector<Event>& events, int code) {
        int n = 0;
        for (const Event& e : events) n += e.code == code;
        return n;
    }
    static double ThreadCpuMs(clockid_t clock) {
        timespec ts{};
        clock_gettime(clock, &ts);
        return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
    }

private:
    void On(kt::device::Tserial_event* channel, int code) {
        Event e{code, {}, NowMs()};
        bool release = false;
        if (code == kt::device::SERIAL_DATA_ARRIVAL) {
            e.bytes.assign(channel->ReceivedBytes(),
                           channel->ReceivedBytes() + channel->ReceivedCount());
        }
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (code == kt::device::SERIAL_CONNECTED) {
                pthread_getcpuclockid(pthread_self(), &workerClock_);
            }
            if (code == kt::device::SERIAL_DISCONNECTED) {
                cpuAtCloseMs_ = ThreadCpuMs(CLOCK_THREAD_CPUTIME_ID);
            }
            release = code == kt::device::SERIAL_DATA_ARRIVAL && !hold_;
            events_.push_back(std::move(e));
        }
        cv_.notify_all();
        if (release) channel->ReleaseReceiveBuffer();
    }

    std::mutex mutex_;
    std::condition_variable cv_;
    std::vector<Event> events_;
    bool hold_ = false;
    clockid_t workerClock_{};
    double cpuAtCloseMs_ = -1;
};

// A channel whose base directory holds COM1 -> the pty slave, with a recorder attached.
// The recorder is declared first so it outlives the channel's last notification.
class ChannelTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(pty.ok());
        channel.SetBaseDirectory(pty.dir());
        recorder.Attach(channel);
    }
    int Open(int readSize = 64) {
        channel.SetReadSize(readSize);
        return channel.OpenPort("COM1", 57600, 0, 8, false);
    }

    PtyPair pty;
    Recorder recorder;
    kt::device::Tserial_event channel;
};

}  // namespace kt::test
