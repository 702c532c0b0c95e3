// kt210v-trials: the fault trials of test_fault_trials run many times over, for
// bench/fault_trials.sh (scripts/bench); not a test. Each command prints one summary
// line (the trials' warnings go to standard error) and exits 0 when every run survived.
//
//   kt210v-trials pulls [--runs N]            cable pulled N times in a row, rotating the
//                                              moment: wizard, sampling, writing
//   kt210v-trials reconnect-pulls [--runs N]  with reconnection on, cable pulled N times
//                                              in a row during a recorded run, which must go
//                                              on by itself once it is plugged back
//   kt210v-trials faulty-line [--runs N] [--seconds S]
//   kt210v-trials torn [--runs N] [--seconds S]
//   kt210v-trials lost-bytes [--runs N] [--seconds S]
//   kt210v-trials second-program [--runs N]
//   kt210v-trials killed-save [--runs N] [--rows R]   saves killed with SIGKILL at
//                                              random moments
//   kt210v-trials killed-settings [--runs N]  "config.ini" writes killed likewise
//   kt210v-trials killed-runs [--runs N]      the window and `kt210v-cli record`
//                                              sampling at 10 ms and in real time,
//                                              killed with SIGKILL at random moments and
//                                              put back from their run journals
//   kt210v-trials stall [--seconds S]         longest event-loop stall while sampling in
//                                              real time (simulated 57600 bit/s line),
//                                              chart recording and autoodczyt on
#include <QApplication>
#include <QTabWidget>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <thread>
#include <vector>

#include "ChartTab.h"
#include "FaultTrials.h"
#include "IndicatorTab.h"
#include "JournalTrials.h"
#include "KilledSaves.h"
#include "RegistrationTab.h"

namespace {

using kt::test::FaultTrials;
using kt::test::MainHarness;
using Moment = FaultTrials::PullMoment;
using Clock = std::chrono::steady_clock;

struct Options {
    int runs = 0;
    int seconds = 0;
    int rows = 100000;
};

double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A program with its simulator and the trials on it; made again after a failed run, so
// that one failure does not spoil the runs after it.
struct Program {
    Program(const kt::sim::ModelConfig& model, const kt::sim::Faults& faults, uint64_t seed)
        : harness(model, faults, seed) {
        harness.CreateWindows(false);
        trials = std::make_unique<FaultTrials>(harness, seed);
    }
    ~Program() { trials.reset(); }  // before the windows it subscribed to
    MainHarness harness;
    std::unique_ptr<FaultTrials> trials;
};

int Report(const char* what, int survived, int runs, const std::string& details) {
    std::printf("%-44s survived %d/%d%s\n", what, survived, runs, details.c_str());
    std::fflush(stdout);
    return survived == runs ? 0 : 1;
}

void PrintFailure(int run, const std::string& failure) {
    std::fprintf(stderr, "run %d failed: %s\n", run + 1, failure.c_str());
}

// The cable pulled `o.runs` times in a row, the moment taken from `moments` in turn; a
// failed run leaves its program for a fresh one.
int Pulls(const Options& o, const std::vector<Moment>& moments, const char* what) {
    static const char* const kNames[] = {"during the wizard", "while sampling", "while writing",
                                         "with reconnection on"};
    const auto start = Clock::now();
    uint64_t seed = 1;
    auto program = std::make_unique<Program>(kt::sim::ModelConfig{}, kt::sim::Faults{}, seed);
    std::map<Moment, int> tried, survived;
    size_t samples = 0, lost = 0;
    for (int run = 0; run < o.runs; ++run) {
        const Moment moment = moments[static_cast<size_t>(run) % moments.size()];
        ++tried[moment];
        const std::string failure = program->trials->Pull(moment);
        if (failure.empty()) {
            ++survived[moment];
            continue;
        }
        PrintFailure(run, failure);
        samples += program->trials->Recorder().Count();
        lost += program->trials->AnswersLostAtPulls();
        program.reset();  // its windows go before the next program's are made
        program = std::make_unique<Program>(kt::sim::ModelConfig{}, kt::sim::Faults{}, ++seed);
    }
    samples += program->trials->Recorder().Count();
    lost += program->trials->AnswersLostAtPulls();
    std::string details = " (";
    int total = 0;
    for (const Moment m : moments) {
        details += std::string(kNames[static_cast<int>(m)]) + " " + std::to_string(survived[m]) +
                   "/" + std::to_string(tried[m]) + ", ";
        total += survived[m];
    }
    // Only a resumed run counts what the pull cut off; the others start their runs again.
    if (tried.count(Moment::WithReconnection)) {
        details += std::to_string(lost) + " answers lost at the pulls, ";
    }
    char end[96];
    std::snprintf(end, sizeof end, "%zu samples kept; %.0f s)", samples, SecondsSince(start));
    return Report(what, total, o.runs, details + end);
}

// Runs `trial` on a fresh program for each run.
int Repeat(const char* what, const Options& o, const kt::sim::ModelConfig& model,
           const kt::sim::Faults& faults, const std::function<std::string(FaultTrials&)>& trial) {
    const auto start = Clock::now();
    int survived = 0;
    size_t samples = 0;
    for (int run = 0; run < o.runs; ++run) {
        Program program(model, faults, static_cast<uint64_t>(run) + 1);
        const std::string failure = trial(*program.trials);
        samples += program.trials->Recorder().Count();
        if (failure.empty()) {
            ++survived;
        } else {
            PrintFailure(run, failure);
        }
    }
    char details[128];
    std::snprintf(details, sizeof details, " (%zu samples, every one sent; %.0f s)", samples,
                  SecondsSince(start));
    return Report(what, survived, o.runs, details);
}

// Bytes lost at random at a 10 ms period, three turning sensors with cycle counts: how
// many samples were taken, how many answers lost bytes, how many samples were invented
// (a run that found one fails and is not counted as survived).
int LostBytes(const Options& o, int seconds, double rate) {
    const auto start = Clock::now();
    kt::sim::ModelConfig model;
    model.includeCycles = true;
    int survived = 0;
    size_t samples = 0;
    uint64_t torn = 0;
    for (int run = 0; run < o.runs; ++run) {
        Program program(model, {}, static_cast<uint64_t>(run) + 1);
        uint64_t tornInRun = 0;
        const std::string failure = program.trials->LostBytes(seconds, rate, &tornInRun);
        samples += program.trials->Recorder().Count();
        torn += tornInRun;
        if (failure.empty()) {
            ++survived;
        } else {
            PrintFailure(run, failure);
        }
    }
    char details[160];
    std::snprintf(details, sizeof details,
                  " (%zu samples, %llu answers lost bytes, %d runs with an invented sample; "
                  "%.0f s)",
                  samples, static_cast<unsigned long long>(torn), o.runs - survived,
                  SecondsSince(start));
    return Report("bytes lost, none invented:", survived, o.runs, details);
}

int SecondProgram(const Options& o) {
    const auto start = Clock::now();
    Program program({}, {}, 1);
    int survived = 0;
    for (int run = 0; run < o.runs; ++run) {
        const std::string failure = program.trials->SecondProgram();
        if (failure.empty()) {
            ++survived;
        } else {
            PrintFailure(run, failure);
        }
    }
    char details[64];
    std::snprintf(details, sizeof details, " (%.0f s)", SecondsSince(start));
    return Report("second program on the port, refused:", survived, o.runs, details);
}

// Posts an event to the user-interface thread every 2 ms from a thread of its own and
// keeps how long each one waited to be handled: the longest wait is the longest stall
// an operator's click would have met.
class StallProbe {
public:
    explicit StallProbe(QObject* receiver) : receiver_(receiver) {
        thread_ = std::thread([this] {
            while (!stop_.load()) {
                const auto posted = Clock::now();
                QMetaObject::invokeMethod(
                    receiver_,
                    [this, posted] {
                        waits_.push_back(
                            std::chrono::duration<double, std::milli>(Clock::now() - posted)
                                .count());
                    },
                    Qt::QueuedConnection);
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        });
    }
    ~StallProbe() {
        stop_ = true;
        thread_.join();
    }
    // Waits seen since the last call, sorted.
    std::vector<double> Take() {
        std::vector<double> waits;
        waits.swap(waits_);
        std::sort(waits.begin(), waits.end());
        return waits;
    }

private:
    QObject* receiver_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    std::vector<double> waits_;  // user-interface thread only
};

int Stall(const Options& o) {
    kt::sim::ModelConfig model;
    model.includeCycles = true;
    kt::sim::Faults wire;
    wire.wire = true;
    Program program(model, wire, 1);
    MainHarness& h = program.harness;
    if (const std::string failure = program.trials->Connect(); !failure.empty()) {
        PrintFailure(0, failure);
        return 1;
    }
    program.trials->StartRecordedRun();
    auto* tabs = h.Find<QTabWidget>("PageControl1");
    const std::pair<const char*, QWidget*> pages[] = {
        {"indicator", &h.Form().IndicatorPage()},
        {"chart", &h.Form().ChartPage()},
        {"registration", &h.Form().RegistrationPage()}};
    StallProbe probe(&h.Form());
    double longest = 0;
    for (const auto& [name, page] : pages) {
        tabs->setCurrentWidget(page);
        kt::test::RunLoop(1000 * o.seconds / 3);
        const std::vector<double> waits = probe.Take();
        if (waits.empty()) continue;
        longest = std::max(longest, waits.back());
        std::printf(
            "  %-13s tab shown: event waits median %.2f ms, 99th percentile %.2f ms, "
            "longest %.2f ms (%zu events)\n",
            name, waits[waits.size() / 2], waits[waits.size() * 99 / 100], waits.back(),
            waits.size());
    }
    program.trials->Stop();
    const size_t samples = program.trials->Recorder().Count();
    std::printf(
        "longest event-loop stall, real-time sampling with chart and autoodczyt: "
        "%.1f ms (%zu samples in %d s, %.1f a second; %d table rows, %zu chart points)\n",
        longest, samples, o.seconds, samples / static_cast<double>(o.seconds),
        h.Form().Registration().rowsRegistered(),
        h.Form().Chart().Series(kt::measurement::kSeriesPK1).Size());
    return 0;
}

// Killed runs: how many rows were registered, how many of them more than a second before
// the kill, how many came back.
struct KillTotals {
    int runs = 0;
    int survived = 0;
    long registered = 0;
    long due = 0;
    long recovered = 0;
};

void Count(KillTotals& t, const kt::test::Recovered& back,
           const std::vector<kt::test::ReportedRow>& rows, int64_t killNs) {
    t.registered += static_cast<long>(rows.size());
    for (const auto& row : rows) t.due += row.ns < killNs - 1000000000;
    t.recovered += back.table.rowsRegistered();
}

std::string KilledWindow(const char* self, bool realTime, double seconds, KillTotals& t) {
    kt::test::ChildProcess child({self, "journal-child", realTime ? "realtime" : "10ms"});
    if (!child.WaitFor(
            [](const std::string& s) { return std::count(s.begin(), s.end(), '\n') > 1; }, 90000)) {
        return "the window registered no row";
    }
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    const int64_t killNs = kt::test::SteadyNs();
    child.Kill();
    std::string dir;
    const std::vector<kt::test::ReportedRow> rows = kt::test::WindowRows(child.Text(), dir);
    const kt::test::Recovered back(dir + "/" + kt::measurement::kJournalFileName);
    std::filesystem::remove_all(dir);
    Count(t, back, rows, killNs);
    const std::string failure = kt::test::CheckRecovered(back, rows, killNs);
    const int rowsBack = back.table.rowsRegistered();
    if (failure.empty() &&
        back.chart.Series(kt::measurement::kSeriesPK1).Size() != static_cast<size_t>(rowsBack)) {
        return "the chart's points did not come back with the rows";
    }
    return failure;
}

// The cells of the row `record` registers for a measurement answer (written by the
// simulator as "F4 F4 status values..."), its elapsed time left open as "*".
std::string AnswerCells(const std::string& hex, size_t index) {
    std::vector<uint8_t> b;
    std::istringstream in(hex.substr(3));
    for (std::string byte; in >> byte;)
        b.push_back(static_cast<uint8_t>(std::stoi(byte, nullptr, 16)));
    std::string cells = std::to_string(index) + " \t*";
    size_t at = 3;
    for (int i = 0; i < 3; ++i) {
        cells += '\t';
        if (!(b[2] >> i & 1) || at + 4 > b.size()) continue;
        float angle;
        std::memcpy(&angle, &b[at], 4);
        kt::measurement::AppendFixedComma(cells, angle, 4);
        at += (b[2] & kt::device::kStatusCyclesBit) ? 8 : 4;
    }
    return cells + ((b[2] & 0x10) ? "\t1" : "\t0") + ((b[2] & 0x20) ? "\t1" : "\t0");
}

std::string KilledRecord(const std::string& cli, bool realTime, double seconds, KillTotals& t) {
    char pattern[] = "/tmp/kt210v-killed-record-XXXXXX";
    if (mkdtemp(pattern) == nullptr) return "no folder";
    const std::string dir = pattern;
    std::mutex mutex;
    std::vector<kt::test::ReportedRow> rows;  // every measurement answer sent
    kt::sim::PtyServer server;
    server.SetTrafficLog([&](const std::string& line) {
        if (line.rfind(">> F4 F4", 0) != 0) return;
        std::lock_guard lock(mutex);
        rows.push_back({kt::test::SteadyNs(), AnswerCells(line, rows.size())});
    });
    if (!server.Start(dir + "/COM1")) return "the simulator did not start";
    std::vector<std::string> argv{cli,          "--port", dir + "/COM1",
                                  "record",     "--out",  dir + "/run.txt",
                                  "--duration", "600",    "--pk"};
    argv.insert(argv.end(), realTime ? std::initializer_list<std::string>{"--realtime"}
                                     : std::initializer_list<std::string>{"--period", "10"});
    kt::test::ChildProcess child(argv);
    const bool sampling = child.WaitFor(
        [&](const std::string&) {
            std::lock_guard lock(mutex);
            return !rows.empty();
        },
        60000);
    std::this_thread::sleep_for(std::chrono::duration<double>(sampling ? seconds : 0));
    const int64_t killNs = kt::test::SteadyNs();
    child.Kill();
    server.Stop();
    const kt::test::Recovered back(dir + "/run.txt.journal");
    std::filesystem::remove_all(dir);
    if (!sampling) return "record took no measurement";
    Count(t, back, rows, killNs);
    return kt::test::CheckRecovered(back, rows, killNs, [](const std::string& cells) {
        const size_t tab = cells.find('\t');
        return cells.substr(0, tab) + "\t*" + cells.substr(cells.find('\t', tab + 1));
    });
}

int KilledRuns(const char* self, int runs) {
    const std::string cli =
        std::filesystem::path(self).parent_path().string() + "/../../tools/kt210v-cli";
    std::mt19937 rng(1);
    std::uniform_real_distribution<double> seconds(1.5, 4.0);
    int status = 0;
    for (const bool window : {true, false}) {
        const auto start = Clock::now();
        KillTotals t;
        for (int run = 0; run < runs; ++run) {
            const bool realTime = run % 2 == 1;
            const std::string failure = window ? KilledWindow(self, realTime, seconds(rng), t)
                                               : KilledRecord(cli, realTime, seconds(rng), t);
            ++t.runs;
            if (failure.empty()) {
                ++t.survived;
            } else {
                PrintFailure(run, failure);
            }
        }
        char details[200];
        std::snprintf(details, sizeof details,
                      " (10 ms and real time; %ld rows registered, %ld of them over a second "
                      "before the kill, %ld recovered; %.0f s)",
                      t.registered, t.due, t.recovered, SecondsSince(start));
        status |= Report(window ? "window killed, run put back from its journal:"
                                : "kt210v-cli record killed, journal recovered:",
                         t.survived, t.runs, details);
    }
    return status;
}

bool ParseOptions(int argc, char** argv, Options& o) {
    for (int i = 2; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (value <= 0) return false;
        if (name == "--runs") {
            o.runs = value;
        } else if (name == "--seconds") {
            o.seconds = value;
        } else if (name == "--rows") {
            o.rows = value;
        } else {
            return false;
        }
    }
    return argc % 2 == 0;
}

int Usage() {
    std::fputs(
        "usage: kt210v-trials pulls|reconnect-pulls|faulty-line|torn|lost-bytes|\n"
        "                     second-program|killed-save|killed-settings|killed-runs|stall\n"
        "                     [--runs N] [--seconds S] [--rows R]\n",
        stderr);
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return Usage();
    const std::string command = argv[1];
    // The processes the killed-write trials start and kill: write until they are killed.
    if (command == "save-forever" && argc == 4)
        return kt::test::SaveForever(argv[2], std::atoi(argv[3]));
    if (command == "settings-forever" && argc == 3) return kt::test::WriteSettingsForever(argv[2]);
    if (command == "journal-child" && argc == 3) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication app(argc, argv);
        return kt::test::RecordingChild(STDOUT_FILENO, std::string(argv[2]) == "realtime", 0);
    }
    Options o;
    if (!ParseOptions(argc, argv, o)) return Usage();
    if (command == "killed-save") {
        return kt::test::KilledSaves(argv[0], o.runs > 0 ? o.runs : 100, o.rows);
    }
    if (command == "killed-settings") {
        return kt::test::KilledSettingsWrites(argv[0], o.runs > 0 ? o.runs : 1000);
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (command == "killed-runs") return KilledRuns(argv[0], o.runs > 0 ? o.runs : 20);
    if (o.runs == 0 && (command == "pulls" || command == "reconnect-pulls")) o.runs = 100;
    if (command == "pulls") {
        return Pulls(o, {Moment::DuringWizard, Moment::WhileSampling, Moment::WhileWriting},
                     "cable pulled and plugged back, in a row:");
    }
    if (command == "reconnect-pulls") {
        return Pulls(o, {Moment::WithReconnection}, "cable pulled, run resumed by itself:");
    }
    if (command == "faulty-line") {
        if (o.runs == 0) o.runs = 10;
        const int seconds = o.seconds > 0 ? o.seconds : 10;
        return Repeat("faulty line while sampling and writing:", o, {},
                      kt::test::FaultyLineFaults(),
                      [seconds](FaultTrials& t) { return t.LineFaults(seconds); });
    }
    if (command == "torn") {
        if (o.runs == 0) o.runs = 10;
        const int seconds = o.seconds > 0 ? o.seconds : 3;
        return Repeat("measurement frames torn, none taken:", o, kt::test::StillSensors(), {},
                      [seconds](FaultTrials& t) { return t.TornFrames(seconds); });
    }
    if (command == "lost-bytes") {
        if (o.runs == 0) o.runs = 10;
        return LostBytes(o, o.seconds > 0 ? o.seconds : 10, 0.02);
    }
    if (command == "second-program") {
        if (o.runs == 0) o.runs = 20;
        return SecondProgram(o);
    }
    if (command == "stall") {
        if (o.seconds == 0) o.seconds = 30;
        return Stall(o);
    }
    return Usage();
}
