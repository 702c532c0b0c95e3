// kt210v-soak [--seconds N] [--warm-up N]: the long run of the program. Builds the
// program's windows in the current directory exactly as the program does (the simulated
// indicator is linked there as COM1), lets the automatic connection run, ticks the three
// "Aktywny" boxes, "Próbkowanie rzeczywiste:" and "autoodczyt", starts chart recording
// and presses START, then samples on the real event loop for N seconds (default 1800)
// with the chart tab in view, presses STOP and waits for the last answers.
//
// Prints one line per figure, name=value:
//   samples          measurement answers decoded during the run
//   rows             rows in the registration table at the end
//   rss_start_kb     resident memory after the warm-up (default 10 s of sampling, so
//                    that the first allocations of every part are behind us)
//   rss_end_kb       resident memory at the end, before the windows are destroyed
//   bytes_per_sample RSS growth from the warm-up on, divided by the samples since then
//   longest_stall_ms longest gap between two iterations of the event loop while sampling
//   cpu_percent      CPU time of the process (all threads) over the sampling time, in
//                    percent of one core
//   monotonic_end    CLOCK_MONOTONIC seconds when the counts were taken
// Message boxes are written to stderr instead of being shown.
#include <sys/resource.h>
#include <time.h>

#include <QAbstractButton>
#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCheckBox>
#include <QTabWidget>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>

#include "ChartTab.h"
#include "CliSession.h"
#include "Dialogs.h"
#include "FindControl.h"
#include "Main.h"

namespace {

using Clock = std::chrono::steady_clock;

long ResidentKb() {
    std::ifstream status("/proc/self/status");
    std::string word;
    while (status >> word) {
        if (word == "VmRSS:") {
            long kb = 0;
            status >> kb;
            return kb;
        }
    }
    return -1;
}

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

// The longest gap between two iterations of the event loop, stamped each time the loop
// is about to wait for events. A 5 ms probe timer keeps the loop iterating when nothing
// else happens, so a gap longer than that is time the loop spent away from its events.
// (A zero-interval timer would stamp more finely but keep a core busy, which would spoil
// the CPU figure.)
class StallMeter : public QObject {
public:
    explicit StallMeter(QObject* parent) : QObject(parent) {
        probe_.setTimerType(Qt::PreciseTimer);
        probe_.setInterval(5);
        connect(&probe_, &QTimer::timeout, this, [] {});
        connect(QAbstractEventDispatcher::instance(), &QAbstractEventDispatcher::aboutToBlock, this,
                [this] { Stamp(); });
    }
    void Start() {
        last_ = Clock::now();
        longest_ = Clock::duration::zero();
        measuring_ = true;
        probe_.start();
    }
    void Stop() {
        measuring_ = false;
        probe_.stop();
    }
    double LongestMs() const { return std::chrono::duration<double, std::milli>(longest_).count(); }

private:
    void Stamp() {
        if (!measuring_) return;
        const auto now = Clock::now();
        longest_ = std::max(longest_, now - last_);
        last_ = now;
    }

    QTimer probe_;
    bool measuring_ = false;
    Clock::time_point last_;
    Clock::duration longest_{};
};

struct Options {
    int seconds = 1800;
    int warmUpSeconds = 10;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (name == "--seconds" && value > 0) {
            options.seconds = value;
        } else if (name == "--warm-up" && value >= 0) {
            options.warmUpSeconds = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 1 && options.warmUpSeconds < options.seconds;
}

template <class T>
T* Find(const char* name) {
    return kt::test::FindControl<T>("kt210v-soak", name);
}

// The run as a chain of steps on the event loop's own timers.
class Soak {
public:
    Soak(const Options& options, StallMeter& stalls) : options_(options), stalls_(stalls) {}

    void WaitForDevice() {
        if (kt::ui::Form1->State().deviceReady) return StartSampling();
        if (++polls_ > 150) {
            std::fprintf(stderr, "kt210v-soak: the device was not ready after 15 s\n");
            return QApplication::exit(1);
        }
        After(100, [this] { WaitForDevice(); });
    }

private:
    void After(int ms, std::function<void()> step) { QTimer::singleShot(ms, std::move(step)); }

    void StartSampling() {
        for (const char* box :
             {"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox18", "CheckBox16"}) {
            Find<QCheckBox>(box)->setChecked(true);
        }
        kt::ui::TForm1* form = kt::ui::Form1;
        Find<QTabWidget>("PageControl1")->setCurrentWidget(&form->ChartPage());
        Find<QAbstractButton>("SpeedButton15")->click();  // chart recording
        Find<QAbstractButton>("SpeedButton10")->click();  // START
        started_ = Clock::now();
        cpuStart_ = CpuSeconds();
        stalls_.Start();
        After(options_.warmUpSeconds * 1000, [this] { EndWarmUp(); });
    }

    void EndWarmUp() {
        rssStartKb_ = ResidentKb();
        samplesAtWarmUp_ = kt::ui::Form1->Sampling().Counters().samples;
        After((options_.seconds - options_.warmUpSeconds) * 1000, [this] { StopSampling(); });
    }

    void StopSampling() {
        Find<QAbstractButton>("SpeedButton11")->click();  // STOP
        stalls_.Stop();
        cpuSeconds_ = CpuSeconds() - cpuStart_;
        wallSeconds_ = std::chrono::duration<double>(Clock::now() - started_).count();
        rssEndKb_ = ResidentKb();
        samplesAtEnd_ = kt::ui::Form1->Sampling().Counters().samples;
        WaitForLastAnswers(0);
    }

    // Answers to the last requests may still be on the line: wait until no row has come
    // for half a second.
    void WaitForLastAnswers(int quietChecks) {
        const int rows = kt::ui::Form1->Registration().rowsRegistered();
        quietChecks = rows == lastRows_ ? quietChecks + 1 : 0;
        lastRows_ = rows;
        if (quietChecks < 5)
            return After(100, [this, quietChecks] { WaitForLastAnswers(quietChecks); });
        Report();
        QApplication::exit(0);
    }

    void Report() {
        kt::ui::TForm1* form = kt::ui::Form1;
        const uint64_t samples = form->Sampling().Counters().samples;
        const uint64_t measured = samplesAtEnd_ - samplesAtWarmUp_;
        const double growthBytes = static_cast<double>(rssEndKb_ - rssStartKb_) * 1024.0;
        std::printf("samples=%llu\n", static_cast<unsigned long long>(samples));
        std::printf("rows=%d\n", form->Registration().rowsRegistered());
        std::printf("rss_start_kb=%ld\n", rssStartKb_);
        std::printf("rss_end_kb=%ld\n", rssEndKb_);
        std::printf("bytes_per_sample=%.1f\n", measured > 0 ? growthBytes / measured : 0.0);
        std::printf("longest_stall_ms=%.1f\n", stalls_.LongestMs());
        std::printf("cpu_percent=%.1f\n", 100.0 * cpuSeconds_ / wallSeconds_);
        std::printf("monotonic_end=%.6f\n", MonotonicSeconds());
        std::fflush(stdout);
    }

    Options options_;
    StallMeter& stalls_;
    int polls_ = 0;
    Clock::time_point started_;
    double cpuStart_ = 0, cpuSeconds_ = 0, wallSeconds_ = 0;
    long rssStartKb_ = 0, rssEndKb_ = 0;
    uint64_t samplesAtWarmUp_ = 0, samplesAtEnd_ = 0;
    int lastRows_ = -1;
};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KT210V-PC"));
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: kt210v-soak [--seconds N] [--warm-up N]\n");
        return 2;
    }
    kt::cli::ConsoleDialogs dialogs;  // message boxes become lines on stderr
    kt::ui::CreateForms({&dialogs, std::nullopt});
    kt::ui::Form1->show();

    StallMeter stalls(&app);
    Soak soak(options, stalls);
    QTimer::singleShot(0, [&soak] { soak.WaitForDevice(); });
    const int status = QApplication::exec();
    kt::ui::DestroyForms();
    return status;
}
