// kt210v-longrun [--samples N] [--merged M] [--keep-files]: a day of sampling at 10 ms
// through the window's own pipeline, as fast as the pipeline takes it.
//
// Builds the program's windows in a new folder under /tmp (its start-up directory, where
// the saves go; removed at the end unless --keep-files), offscreen, ticks the three
// "Aktywny" boxes, keeps "autoodczyt" ticked, starts chart recording and presses START.
// A source standing in for the serial channel then answers every measurement request at
// once with a measurement frame as the indicator sends it (three sensors with cycle
// counts, angles turning at 10, 25 and 40 deg/s with a little noise, the outputs
// switching), handed to the device core as the channel's data event; the sampling
// clock's time source steps one hundredth before each pass, so every sample is stamped
// 10 ms after the one before. N samples (default 8,640,000: a day), then STOP, START and
// M more (default 100,000) merged by time into the chart's points. Then frames of the
// full view, of a zoom to 1 % of the time axis and of one page of 10,000 points (each
// the worst of 5 repaints), and saves of the registration table as .xls and .txt.
//
// Prints one line per figure, name=value:
//   samples              measurement answers fed
//   rss_peak_kb          peak resident memory of the process
//   bytes_per_sample     resident growth over the first run, per sample
//   feed_us_per_sample   CPU time per sample of the first run (the whole pipeline: the
//                        displays, the chart, the table, the event loop)
//   merged_us_per_sample the same for the run merged into the chart's points
//   merge_us_per_sample  the merging itself: time per measurement of the window's chart
//                        store taking M more measurements (five points each) of yet
//                        another run, merged by time into all of the above (measured
//                        last, after the checks)
//   frame_full_ms, frame_zoom_ms, frame_page_ms   worst of 5 repaints of the chart, in
//                        CPU time of the painting thread (other programs on a shared
//                        machine do not stretch it)
//   frame_wall_worst_ms  the worst wall time of those 15 repaints
//   save_xls_s, save_txt_s                        the registration table's saves
//   lost_samples         samples fed minus rows registered
//   journal_bytes        the size of the window's run journal (journal=none without one)
// Exits 1 when a sample was lost, a point is missing from the chart or a save failed.
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <string>

#include "ChartTab.h"
#include "Dialogs.h"
#include "FindControl.h"
#include "IndicatorTab.h"
#include "Main.h"
#include "SettingsFile.h"
#include "widgets/ChartView.h"

namespace {

using Clock = std::chrono::steady_clock;
using kt::device::ChannelEvent;

double Seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

// CPU time of this thread: per-sample figures that other programs on a shared machine
// do not stretch.
double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

long StatusKb(const char* key) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(key, 0) == 0) return std::atol(line.c_str() + std::strlen(key));
    }
    return -1;
}

// The sampling clock's time: one hundredth further before each pass that is to send.
class SteppedClock : public kt::measurement::HundredthsClock {
public:
    int64_t now = 0;
    int64_t NowHundredths() override { return now; }
};

// Message boxes become lines on stderr; save dialogs take the queued names.
class DriverDialogs : public kt::device::Dialogs {
public:
    std::deque<std::string> saveNames;
    int messages = 0;
    void ShowPlainMessage(const std::string& text) override {
        ++messages;
        std::fprintf(stderr, "kt210v-longrun: message: %s\n", text.c_str());
    }
    void ShowInfoMessage(const std::string& caption, const std::string& text) override {
        ShowPlainMessage(caption + ": " + text);
    }
    std::optional<kt::device::SaveFileChoice> AskSaveFileName(
        const kt::device::SaveFileRequest&) override {
        if (saveNames.empty()) return std::nullopt;
        kt::device::SaveFileChoice choice{saveNames.front(), 0};
        saveNames.pop_front();
        return choice;
    }
};

// Measurement answers of an indicator whose three sensors turn at 10, 25 and 40 deg/s,
// with cycle counts and a noise of a few hundredths of a degree.
class AnswerSource {
public:
    AnswerSource() { event_.bytes.resize(27); }

    const ChannelEvent& Answer(uint64_t n) {
        static constexpr double kSpeeds[3] = {10, 25, 40};
        uint8_t* b = event_.bytes.data();
        const double t = static_cast<double>(n) * 0.01;
        float angles[3];
        int at = 3;
        for (int i = 0; i < 3; ++i) {
            noise_ = noise_ * 6364136223846793005ULL + 1442695040888963407ULL;
            const double turned = kSpeeds[i] * t + static_cast<double>(noise_ >> 40) / 2e8 - 0.04;
            angles[i] = static_cast<float>(std::fmod(turned + 360.0, 360.0));
            const auto cycles = static_cast<float>(std::floor(turned / 360.0));
            std::memcpy(b + at, &angles[i], 4);
            std::memcpy(b + at + 4, &cycles, 4);
            at += 8;
        }
        b[0] = b[1] = 0xF4;
        b[2] = static_cast<uint8_t>(0x0F | (angles[0] < 180 ? 0x10 : 0) |
                                    (angles[1] > 90 && angles[1] < 120 ? 0x20 : 0));
        return event_;
    }

private:
    ChannelEvent event_;
    uint64_t noise_ = 1;
};

struct Options {
    long long samples = 8640000;
    long long merged = 100000;
    bool keepFiles = false;
};

bool ParseOptions(int argc, char** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--keep-files") {
            options.keepFiles = true;
            continue;
        }
        if (i + 1 == argc) return false;
        const long long value = std::atoll(argv[++i]);
        if (name == "--samples" && value > 0) {
            options.samples = value;
        } else if (name == "--merged" && value >= 0) {
            options.merged = value;
        } else {
            return false;
        }
    }
    return true;
}

template <class T>
T* Find(const char* name) {
    return kt::test::FindControl<T>("kt210v-longrun", name);
}

class Longrun {
public:
    Longrun(SteppedClock& clock, DriverDialogs& dialogs) : clock_(clock), dialogs_(dialogs) {}

    // Samples at 10 ms, each answered at once; the event loop runs every 4096 samples
    // (timers, repaints, the grid's catch-up), as it would between answers.
    double Feed(long long count) {
        if (count <= 0) return 0;
        kt::ui::TForm1& form = *kt::ui::Form1;
        const double start = ThreadCpuSeconds();
        for (long long i = 0; i < count; ++i) {
            ++clock_.now;
            form.OnIdle();
            form.Core().HandleEvent(source_.Answer(fed_++));
            if ((i & 4095) == 4095) QCoreApplication::processEvents();
        }
        QCoreApplication::processEvents();
        return (ThreadCpuSeconds() - start) * 1e6 / static_cast<double>(count);
    }

    uint64_t Fed() const { return fed_; }

    // The worst of 5 repaints in CPU time of this (the painting) thread; the worst wall
    // time of all frames is kept as well.
    static double WorstFrameMs(ChartView& view) {
        double worst = 0;
        for (int i = 0; i < 5; ++i) {
            const auto wall = Clock::now();
            const double start = ThreadCpuSeconds();
            view.repaint();
            worst = std::max(worst, (ThreadCpuSeconds() - start) * 1e3);
            worstWallMs = std::max(worstWallMs, Seconds(wall) * 1e3);
        }
        return worst;
    }
    static inline double worstWallMs = 0;

    double SaveSeconds(const std::string& path) {
        dialogs_.saveNames.push_back(path);
        const int messages = dialogs_.messages;
        const auto start = Clock::now();
        Find<QPushButton>("BitBtn1")->click();
        const double seconds = Seconds(start);
        std::error_code error;
        if (dialogs_.messages != messages || std::filesystem::file_size(path, error) == 0) {
            std::fprintf(stderr, "kt210v-longrun: %s was not saved\n", path.c_str());
            failed = true;
        }
        return seconds;
    }

    bool failed = false;

private:
    SteppedClock& clock_;
    DriverDialogs& dialogs_;
    AnswerSource source_;
    uint64_t fed_ = 0;
};

void WriteSettingsFile() {
    std::ofstream("config.ini", std::ios::binary)
        << kt::measurement::FormatSettings(kt::measurement::AppSettings{});
}

void StartRecording(kt::ui::TForm1& form) {
    form.Timer3->stop();  // no connection: the source stands in for the indicator
    form.State().deviceReady = true;
    form.State().typeStatus = kt::device::TypeStatus::Recognised;
    form.State().Stan.mode = form.State().Set.mode = 3;                // cycles are counted
    for (int i = 0; i < 3; ++i) form.State().sensorPresent[i] = true;  // as the wizard found
    for (const char* box : {"CheckBox1", "CheckBox2", "CheckBox3"}) {
        Find<QCheckBox>(box)->setChecked(true);
    }
    Find<QCheckBox>("CheckBox18")->setChecked(false);  // fixed period
    form.IndicatorPage().SetPeriodMs(10);
    Find<QCheckBox>("CheckBox16")->setChecked(true);  // autoodczyt
    Find<QTabWidget>("PageControl1")->setCurrentWidget(&form.ChartPage());
    Find<QToolButton>("SpeedButton15")->click();      // chart recording
    Find<QAbstractButton>("SpeedButton10")->click();  // START
}

void MeasureFrames(kt::ui::TForm1& form) {
    ChartView& view = form.ChartPage().Chart();
    QCoreApplication::processEvents();
    std::printf("frame_full_ms=%.2f\n", Longrun::WorstFrameMs(view));
    // 1 % of the time axis: a tenth of a tenth (a dragged zoom needs 9 pixels).
    view.setZoomAnimated(false);
    for (int i = 0; i < 2; ++i) {
        const QRect plot = view.plotRect();
        view.zoomTo(QRect(plot.left() + plot.width() * 2 / 5, plot.top(), plot.width() / 10,
                          plot.height()));
    }
    std::printf("frame_zoom_ms=%.2f\n", Longrun::WorstFrameMs(view));
    view.undoZoom();
    form.ChartPage().SetSamplesPerPage(10000);
    form.ChartPage().SetPagingOn(true);
    view.showPage(view.pageCount() / 2);
    std::printf("frame_page_ms=%.2f\n", Longrun::WorstFrameMs(view));
    std::printf("frame_wall_worst_ms=%.2f\n", Longrun::worstWallMs);
    std::fflush(stdout);
}

// Microseconds per measurement of `count` more, from a run starting at 0 again.
double MergeMicroseconds(kt::measurement::ChartStore& store, long long count) {
    kt::measurement::ChartSample sample;
    sample.active = {true, true, true};
    const double start = ThreadCpuSeconds();
    for (long long i = 0; i < count; ++i) {
        sample.elapsed = static_cast<double>(i + 1) / 100.0;
        for (size_t c = 0; c < 3; ++c) {
            sample.angle[c] =
                static_cast<float>((i + 1) % 36000) * 0.01f * static_cast<float>(c + 1);
        }
        sample.outputOn = {i % 100 < 50, i % 300 < 20};
        store.AppendMeasurement(sample, {50, 0}, {50, 75});
    }
    return (ThreadCpuSeconds() - start) * 1e6 / static_cast<double>(count);
}

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KT210V-PC"));
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        std::fprintf(stderr, "usage: kt210v-longrun [--samples N] [--merged M] [--keep-files]\n");
        return 2;
    }
    char folder[] = "/tmp/kt210v-longrun.XXXXXX";
    if (mkdtemp(folder) == nullptr || chdir(folder) != 0) {
        std::perror("kt210v-longrun: working folder");
        return 1;
    }
    WriteSettingsFile();
    SteppedClock clock;
    DriverDialogs dialogs;
    kt::ui::CreateForms({&dialogs, kt::device::NumberFormat{','}, nullptr, &clock});
    kt::ui::TForm1& form = *kt::ui::Form1;
    form.show();
    QCoreApplication::processEvents();
    StartRecording(form);

    Longrun run(clock, dialogs);
    const long rssBefore = StatusKb("VmRSS:");
    const double feedUs = run.Feed(options.samples);
    const long rssAfter = StatusKb("VmRSS:");
    std::printf("samples=%llu\n", static_cast<unsigned long long>(run.Fed()));
    std::printf("feed_us_per_sample=%.3f\n", feedUs);
    std::printf("bytes_per_sample=%.1f\n", static_cast<double>(rssAfter - rssBefore) * 1024.0 /
                                               static_cast<double>(options.samples));
    std::fflush(stdout);

    Find<QAbstractButton>("SpeedButton11")->click();  // STOP
    Find<QAbstractButton>("SpeedButton10")->click();  // START: the time begins at 0 again
    if (options.merged > 0) std::printf("merged_us_per_sample=%.3f\n", run.Feed(options.merged));
    // The window keeps its run journal in the start-up directory, this run's folder.
    std::error_code noJournal;
    const auto journalBytes = std::filesystem::file_size("kt210v-pc.journal", noJournal);
    if (noJournal) {
        std::printf("journal=none\n");
    } else {
        std::printf("journal_bytes=%llu\n", static_cast<unsigned long long>(journalBytes));
    }
    MeasureFrames(form);

    const std::string xls = std::filesystem::absolute("longrun.xls").string();
    const std::string txt = std::filesystem::absolute("longrun.txt").string();
    std::printf("save_xls_s=%.2f\n", run.SaveSeconds(xls));
    std::printf("save_txt_s=%.2f\n", run.SaveSeconds(txt));

    const auto fed = static_cast<long long>(run.Fed());
    const long long lost = fed - form.Registration().rowsRegistered();
    bool chartWhole = true;
    for (int i = 0; i < kt::measurement::kSeriesCount; ++i) {
        chartWhole = chartWhole && form.Chart().Series(i).Size() == static_cast<size_t>(fed);
    }
    std::printf("lost_samples=%lld\n", lost);
    if (options.merged > 0) {
        std::printf("merge_us_per_sample=%.3f\n", MergeMicroseconds(form.Chart(), options.merged));
    }
    std::printf("rss_peak_kb=%ld\n", StatusKb("VmHWM:"));
    std::fflush(stdout);
    if (!chartWhole) {
        std::fprintf(stderr, "kt210v-longrun: points missing from the chart:");
        for (int i = 0; i < kt::measurement::kSeriesCount; ++i) {
            std::fprintf(stderr, " %zu", form.Chart().Series(i).Size());
        }
        std::fprintf(stderr, " of %lld\n", fed);
    }
    const bool ok = lost == 0 && chartWhole && !run.failed;
    kt::ui::DestroyForms();
    if (options.keepFiles) {
        std::fprintf(stderr, "kt210v-longrun: files kept in %s\n", folder);
    } else {
        std::filesystem::remove_all(folder);
    }
    return ok ? 0 : 1;
}
