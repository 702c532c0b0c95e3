// Serial channel over a pty: how long after the last byte of an answer the data
// notification comes (the 50 ms pause rule plus scheduling), how long a Send takes to
// reach the other end, and what an open, idle channel costs in CPU.
//
// Usage: bench_channel [frames] [idle-seconds]   (defaults 200 and 10)
#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <pty.h>
#include <stdlib.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "Tserial_event.h"

namespace {

using kt::device::Tserial_event;

double NowMs() {
    using namespace std::chrono;
    return duration<double, std::milli>(steady_clock::now().time_since_epoch()).count();
}

double ThreadCpuMs(clockid_t clock) {
    timespec ts{};
    clock_gettime(clock, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

struct Probe {
    std::mutex mutex;
    std::condition_variable cv;
    int blocks = 0;
    double lastBlockMs = 0;
    int bytes = 0;
    int sent = 0;
    bool connected = false;
    clockid_t workerClock{};

    static void Handler(void* context, Tserial_event* channel, int code) {
        auto* self = static_cast<Probe*>(context);
        double now = NowMs();
        {
            std::lock_guard<std::mutex> lock(self->mutex);
            if (code == kt::device::SERIAL_CONNECTED) {
                self->connected = true;
                pthread_getcpuclockid(pthread_self(), &self->workerClock);
            } else if (code == kt::device::SERIAL_DATA_ARRIVAL) {
                ++self->blocks;
                self->bytes += channel->ReceivedCount();
                self->lastBlockMs = now;
            } else if (code == kt::device::SERIAL_DATA_SENT) {
                ++self->sent;
            }
        }
        self->cv.notify_all();
        if (code == kt::device::SERIAL_DATA_ARRIVAL) channel->ReleaseReceiveBuffer();
    }

    bool WaitBlocks(int count, int timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return blocks >= count; });
    }
    bool WaitSent(int count, int timeoutMs) {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return sent >= count; });
    }
};

double Percentile(std::vector<double> v, double p) {
    std::sort(v.begin(), v.end());
    size_t i = static_cast<size_t>(p * static_cast<double>(v.size() - 1) + 0.5);
    return v[std::min(i, v.size() - 1)];
}

void PrintFigures(const char* what, const std::vector<double>& v, const char* unit, double scale) {
    if (v.empty()) return;
    std::printf("%-58s median %8.3f %s   p99 %8.3f %s   max %8.3f %s   (n=%zu)\n", what,
                Percentile(v, 0.5) * scale, unit, Percentile(v, 0.99) * scale, unit,
                *std::max_element(v.begin(), v.end()) * scale, unit, v.size());
}

std::vector<double> MeasureBlockLatency(int master, Probe& probe, int frames) {
    const uint8_t frame[8] = {0xF3, 0xF3, 0x0C, 0x07, 0x00, 0x00, 0x00, 0x13};
    std::vector<double> latencies;
    latencies.reserve(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        if (write(master, frame, sizeof frame) != sizeof frame) break;
        double written = NowMs();
        if (!probe.WaitBlocks(i + 1, 2000)) break;
        std::lock_guard<std::mutex> lock(probe.mutex);
        latencies.push_back(probe.lastBlockMs - written);
    }
    return latencies;
}

std::vector<double> MeasureSendLatency(int master, Tserial_event& channel, Probe& probe,
                                       int frames) {
    const uint8_t frame[8] = {0xF1, 0xF1, 0x07, 0x00, 0x00, 0x00, 0x00, 0x07};
    std::vector<double> latencies;
    latencies.reserve(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        double start = NowMs();
        channel.Send(frame, sizeof frame);
        size_t got = 0;
        uint8_t buf[64];
        while (got < sizeof frame) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 2000) <= 0) return latencies;
            ssize_t n = read(master, buf, sizeof buf);
            if (n > 0) got += static_cast<size_t>(n);
        }
        latencies.push_back(NowMs() - start);
        // The next Send is taken only once the worker has reported this write.
        if (!probe.WaitSent(i + 1, 2000)) break;
    }
    return latencies;
}

}  // namespace

int main(int argc, char** argv) {
    int frames = argc > 1 ? std::atoi(argv[1]) : 200;
    int idleSeconds = argc > 2 ? std::atoi(argv[2]) : 10;

    int master = -1;
    int slave = -1;
    char slaveName[128];
    if (openpty(&master, &slave, slaveName, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    char dirPattern[] = "/tmp/kt-bench-XXXXXX";
    std::string dir = mkdtemp(dirPattern);
    std::filesystem::create_symlink(slaveName, dir + "/COM1");

    int status = 0;
    {
        Probe probe;
        Tserial_event channel;
        channel.SetBaseDirectory(dir);
        channel.SetNotificationHandler(&Probe::Handler, &probe);
        channel.SetReadSize(64);
        int result = channel.OpenPort("COM1", 57600, 0, 8, false);
        if (result != 0) {
            std::fprintf(stderr, "OpenPort gave %d\n", result);
            status = 1;
        } else {
            std::printf("serial channel over a pty (%d frames of 8 bytes, read size 64)\n", frames);
            auto blocks = MeasureBlockLatency(master, probe, frames);
            PrintFigures("  last byte written -> data notification", blocks, "ms", 1.0);
            auto sends = MeasureSendLatency(master, channel, probe, frames);
            PrintFigures("  Send -> bytes at the other end", sends, "us", 1000.0);

            clockid_t clock;
            {
                std::lock_guard<std::mutex> lock(probe.mutex);
                clock = probe.workerClock;
            }
            double cpuBefore = ThreadCpuMs(clock);
            sleep(static_cast<unsigned>(idleSeconds));
            double idleCpu = ThreadCpuMs(clock) - cpuBefore;
            std::printf("  worker CPU over %d s open and idle: %.3f ms\n", idleSeconds, idleCpu);
            double start = NowMs();
            channel.ClosePort();
            std::printf("  ClosePort: %.3f ms\n", NowMs() - start);
            if (static_cast<int>(blocks.size()) != frames ||
                static_cast<int>(sends.size()) != frames) {
                std::fprintf(stderr, "frames lost: %zu blocks, %zu sends\n", blocks.size(),
                             sends.size());
                status = 1;
            }
        }
    }
    close(master);
    close(slave);
    std::filesystem::remove_all(dir);
    return status;
}
