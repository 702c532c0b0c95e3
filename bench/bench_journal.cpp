// The run journal's cost on the user-interface thread: one measurement handed round as
// the window hands it (indicator view, chart points, registration table, output points)
// without and with the journal, whose writer thread writes and fdatasyncs a file on disk
// meanwhile; the difference is what journaling costs a row (goal: at most 1 us). And the
// time the journal's own calls take on that thread in each of 200,000 measurements
// handed round back to back, while its writer writes and syncs batches of thousands of
// records and a second thread keeps the disk busy with synced 1 MB writes: the longest
// is the longest pause the disk could cause there (goal: at most 5 ms), and the times the
// thread waited in them (for a lock, the disk) should be none.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <stdlib.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "ChartStore.h"
#include "IndicatorModel.h"
#include "JournalFile.h"
#include "RegistrationSource.h"
#include "RunJournal.h"

using namespace kt::measurement;

namespace {

class NullSink : public kt::device::FrameSink {
public:
    void Send(const uint8_t*, int) override {}
};
class NullDialogs : public kt::device::Dialogs {
public:
    void ShowPlainMessage(const std::string&) override {}
    void ShowInfoMessage(const std::string&, const std::string&) override {}
};
class PlainTexts : public DateTimeTexts {
public:
    std::string ShortDate(int64_t) const override { return "08.05.2024"; }
    std::string LongTime(int64_t) const override { return "14:03:07"; }
};

struct Forward : SampleSubscriber {
    explicit Forward(std::function<void(const Sample&)> f) : f_(std::move(f)) {}
    void OnSample(const Sample& s) override { f_(s); }
    std::function<void(const Sample&)> f_;
};

// Passes the journal's calls on and keeps how long the calls of each measurement took.
class TimedJournal : public RowListener, public ChartListener, public SampleSubscriber {
public:
    explicit TimedJournal(RunJournal& journal) : journal_(journal) {}
    void OnRowAdded(const RegisteredRow& row) override {
        Time([&] { journal_.OnRowAdded(row); });
    }
    void OnTableCleared() override {
        Time([&] { journal_.OnTableCleared(); });
    }
    void OnChannelPoints(const ChartSample& s) override {
        Time([&] { journal_.OnChannelPoints(s); });
    }
    void OnOutputPoints(double x, float a, float b) override {
        Time([&] { journal_.OnOutputPoints(x, a, b); });
    }
    void OnChartCleared() override {
        Time([&] { journal_.OnChartCleared(); });
    }
    void OnSample(const Sample& s) override {
        Time([&] { journal_.OnSample(s); });
        if (spent_.size() < spent_.capacity()) spent_.push_back(now_);
        now_ = 0;
    }
    std::vector<double>& Spent() { return spent_; }  // microseconds a measurement
    long Waits() const { return waits_; }

private:
    // Wall time, which takes in whatever preempts the thread on a busy machine, and the
    // voluntary context switches, which count only the times the thread itself waited (for
    // a lock, the disk, a page read in).
    template <class F>
    void Time(F call) {
        struct rusage before {
        }, after{};
        getrusage(RUSAGE_THREAD, &before);
        const auto t0 = std::chrono::steady_clock::now();
        call();
        now_ += std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - t0)
                    .count();
        getrusage(RUSAGE_THREAD, &after);
        waits_ += after.ru_nvcsw - before.ru_nvcsw;
    }
    RunJournal& journal_;
    double now_ = 0;
    long waits_ = 0;
    std::vector<double> spent_ = std::vector<double>(0);
};

// Keeps the disk busy: 1 MB written and synced again and again into `path`.
class DiskHog {
public:
    explicit DiskHog(const std::string& path) {
        thread_ = std::thread([this, path] {
            const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const std::string block(1 << 20, 'x');
            while (!stop_) {
                if (::write(fd, block.data(), block.size()) < 0 || ::fdatasync(fd) != 0) break;
                if (::lseek(fd, 0, SEEK_CUR) > (64 << 20)) ::ftruncate(fd, 0);
            }
            ::close(fd);
        });
    }
    ~DiskHog() {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// The window's measurement road, every box of the table and the chart recording on.
class Window {
public:
    Window(bool journaled, size_t timedMeasurements = 0) {
        char pattern[] = "/tmp/kt210v-bench-journal-XXXXXX";
        folder_ = mkdtemp(pattern);
        device_.deviceReady = true;
        device_.typeStatus = kt::device::TypeStatus::Recognised;
        device_.typeName = "KT210V";
        for (int c = 0; c < 3; ++c) {
            device_.sensorPresent[c] = true;
            indicator_.SetActive(c, true);
        }
        table_.boxes().date = table_.boxes().time = table_.boxes().pk1 = table_.boxes().pk2 = true;
        for (SampleSubscriber* s : std::initializer_list<SampleSubscriber*>{
                 &indicator_, &channelPoints_, &registration_, &outputPoints_}) {
            sampling_.Subscribe(*s);
        }
        if (journaled) Journal(timedMeasurements);
        sampling_.Start();
    }
    ~Window() {
        if (journal_) journal_->Finish(JournalWriter::End::Discard);
        std::filesystem::remove_all(folder_);
    }
    void Measure(int i) {
        for (int c = 0; c < 3; ++c)
            device_.angle[c] = static_cast<float>((i * (c + 1)) % 36000) / 100;
        device_.outputOn[0] = (i / 50) % 2;
        sampling_.MeasurementUpdate();
    }
    void Flush() {
        if (journal_) journal_->Flush();
    }
    const std::string& Folder() const { return folder_; }
    std::vector<double>& Spent() { return timed_->Spent(); }
    long Waits() const { return timed_->Waits(); }

private:
    void Journal(size_t timedMeasurements) {
        const std::string path = folder_ + "/" + kJournalFileName;
        const JournalOpen file = OpenJournalFile(path);
        journal_ = std::make_unique<RunJournal>(
            file.fd, path, log_,
            [this](RunSettings& s) {
                s.SetTypeName(device_.typeName);
                s.periodMs = static_cast<uint32_t>(sampling_.PeriodMs());
                s.realTime = sampling_.RealTime();
                for (int c = 0; c < 3; ++c) {
                    s.sensorPresent[c] = device_.sensorPresent[c];
                    s.channelActive[c] = indicator_.Active(c);
                }
                s.boxes = table_.boxes();
            },
            std::nullopt, &sampling_);
        timed_ = std::make_unique<TimedJournal>(*journal_);
        timed_->Spent().reserve(timedMeasurements);
        if (timedMeasurements > 0) {
            table_.SetListener(timed_.get());
            chart_.SetListener(timed_.get());
            sampling_.Subscribe(*timed_);
        } else {
            table_.SetListener(journal_.get());
            chart_.SetListener(journal_.get());
            sampling_.Subscribe(*journal_);
        }
    }

    std::string folder_;
    kt::device::DeviceState device_;
    NullSink sink_;
    kt::device::FrameSender sender_{sink_, nullptr};
    NullDialogs dialogs_;
    SilentSamplingView view_;
    SteadyHundredthsClock clock_;
    SamplingClock sampling_{device_, sender_, dialogs_, view_, clock_, ','};
    IndicatorModel indicator_{device_, ','};
    PlainTexts texts_;
    RegistrationTable table_{texts_};
    ChartStore chart_;
    kt::device::StderrLog log_;
    Forward channelPoints_{[this](const Sample& s) {
        ChartSample p{s.elapsed, {}, {}, {}};
        for (int c = 0; c < 3; ++c) {
            p.active[c] = indicator_.TakesSample(c, s);
            p.angle[c] = s.angle[c];
        }
        chart_.AppendChannelPoints(p);
    }};
    Forward registration_{
        [this](const Sample& s) { table_.AddRow(RowSourceOf(indicator_, s, 1715176987)); }};
    Forward outputPoints_{[this](const Sample& s) {
        ChartSample p{s.elapsed, {}, {}, {s.outputOn[0], s.outputOn[1]}};
        chart_.AppendOutputPoints(p, {50, 0}, {50, 75});
    }};
    std::unique_ptr<RunJournal> journal_;
    std::unique_ptr<TimedJournal> timed_;
};

// Mean cost of one measurement handed round; Arg 1 with the journal.
void BM_MeasurementRow(benchmark::State& state) {
    Window window(state.range(0) == 1);
    int i = 0;
    for (auto _ : state) window.Measure(i++);
    window.Flush();
    state.SetLabel(state.range(0) == 1 ? "with the journal" : "without the journal");
}
BENCHMARK(BM_MeasurementRow)->Arg(0)->Arg(1)->Iterations(1000000);

// The journal's time in each of 200,000 measurements back to back, the writer and a disk
// hog writing and syncing meanwhile: the longest, the 99.99th percentile, the mean.
void BM_JournalPause(benchmark::State& state) {
    constexpr size_t kMeasurements = 200000;
    double longest = 0, p9999 = 0, mean = 0, waits = 0;
    for (auto _ : state) {
        Window window(true, kMeasurements);
        const DiskHog hog(window.Folder() + "/hog");
        for (size_t i = 0; i < kMeasurements; ++i) window.Measure(static_cast<int>(i));
        window.Flush();
        std::vector<double>& us = window.Spent();
        for (double u : us) mean += u / static_cast<double>(us.size() * state.max_iterations);
        std::sort(us.begin(), us.end());
        longest = std::max(longest, us.back());
        waits += static_cast<double>(window.Waits());
        p9999 = std::max(p9999, us[us.size() * 9999 / 10000]);
    }
    state.counters["longest_us"] = longest;
    state.counters["p99.99_us"] = p9999;
    state.counters["mean_us"] = mean;
    state.counters["waits"] = waits;
}
BENCHMARK(BM_JournalPause)->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
