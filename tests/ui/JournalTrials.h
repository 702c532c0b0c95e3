// Runs killed with SIGKILL and put back from their journal, for kt210v-trials and the
// window's recovery test. The window's run is a child process (the program's windows
// against the simulator, every box of the table ticked) that reports each row it
// registers, with the moment and the cell texts, on a pipe; `record` is the command-line
// tool against a simulator in this process, whose measurement answers and their moments
// are known. After the kill the journal is read back: every row registered more than a
// second before the kill must be there with the texts the table held.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QSpinBox>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>

#include "ChartTextExport.h"
#include "FaultTrials.h"
#include "JournalFile.h"
#include "LocaleDateTimeTexts.h"
#include "RegistrationTab.h"
#include "RunJournal.h"

namespace kt::test {

inline int64_t SteadyNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

inline void WriteAll(int fd, const std::string& text) {
    for (size_t done = 0; done < text.size();) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;
        done += static_cast<size_t>(n);
    }
}

// Cells 0..6 of a grid row, tab-separated.
inline std::string RowCells(const measurement::RegistrationTable& table, int row) {
    std::string line = table.CellText(row, 0);
    for (int c = 1; c <= 6; ++c) line += '\t' + table.CellText(row, c);
    return line;
}

// The window's side: after every sample, the rows it registered go to `out`; once
// `freezeAt` rows are in (0: never) the table is saved as saved.txt, the chart exported as
// chart.csv, and the user-interface thread is held 1.5 s (the journal's writer goes on)
// before "frozen" is said and the child waits for its end.
class RowReport : public measurement::SampleSubscriber {
public:
    RowReport(MainHarness& h, int out, int freezeAt) : h_(h), out_(out), freezeAt_(freezeAt) {}
    void OnSample(const measurement::Sample&) override {
        const measurement::RegistrationTable& table = h_.Form().Registration();
        while (reported_ < table.rowsRegistered()) {
            ++reported_;
            WriteAll(out_, std::to_string(SteadyNs()) + "\t" + RowCells(table, reported_) + "\n");
        }
        if (freezeAt_ > 0 && reported_ >= freezeAt_) Freeze();
    }

private:
    [[noreturn]] void Freeze() {
        h_.dialogs.saveAnswer = device::SaveFileChoice{h_.Path("saved.txt"), 0};
        h_.Form().RegistrationPage().BitBtn1Click();
        std::string csv, reason;
        measurement::BuildChartText(h_.Form().Chart(), measurement::ChartTextLayout::Csv, csv,
                                    reason);
        std::ofstream(h_.Path("chart.csv"), std::ios::binary) << csv;
        std::this_thread::sleep_for(std::chrono::milliseconds(1500));
        WriteAll(out_, "frozen\n");
        for (;;) ::pause();
    }
    MainHarness& h_;
    int out_;
    int freezeAt_;
    int reported_ = 0;
};

// The child process of a killed window: its start-up directory is the first line on `out`.
inline int RecordingChild(int out, bool realTime, int freezeAt) {
    MainHarness h;
    if (!h.Started()) return 3;
    h.CreateWindows(false);
    FaultTrials trials(h, 1);
    WriteAll(out, h.Dir().toStdString() + "\n");
    // A port another process still holds a lock on (a pty number used again) is tried
    // again: the trial is about the journal, not the port.
    for (int attempt = 1; !trials.Connect().empty(); ++attempt) {
        if (attempt == 3) return 4;
    }
    for (const char* box : {"CheckBox1", "CheckBox2", "CheckBox3", "CheckBox7", "CheckBox8",
                            "CheckBox10", "CheckBox20"}) {
        h.Find<QCheckBox>(box)->setChecked(true);
    }
    h.Find<QSpinBox>("CSpinEdit2")->setValue(10);
    RowReport report(h, out, freezeAt);
    h.Form().Sampling().Subscribe(report);
    trials.StartRecordedRun(realTime);
    RunLoop(600000);
    return 5;
}

// A child process whose standard output is read into `Text()` as it comes.
class ChildProcess {
public:
    explicit ChildProcess(const std::vector<std::string>& argv) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(fds[1], STDOUT_FILENO);
            std::vector<char*> args;
            for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
            args.push_back(nullptr);
            ::execv(args[0], args.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        reader_ = std::thread([this, fd = fds[0]] {
            char buf[4096];
            for (ssize_t n; (n = ::read(fd, buf, sizeof buf)) != 0;) {
                if (n < 0 && errno == EINTR) continue;
                if (n < 0) break;
                std::lock_guard lock(mutex_);
                text_.append(buf, static_cast<size_t>(n));
            }
            ::close(fd);
        });
    }
    ~ChildProcess() { Kill(); }
    std::string Text() {
        std::lock_guard lock(mutex_);
        return text_;
    }
    // False when the time is up or the child has ended first.
    bool WaitFor(const std::function<bool(const std::string&)>& done, int timeoutMs) {
        for (int ms = 0; ms < timeoutMs; ms += 10) {
            if (done(Text())) return true;
            if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
                pid_ = -1;
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return done(Text());
    }
    // SIGKILL; returns once the child is gone and all it wrote has been read.
    void Kill() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
            pid_ = -1;
        }
        if (reader_.joinable()) reader_.join();
    }

private:
    pid_t pid_ = -1;
    std::thread reader_;
    std::mutex mutex_;
    std::string text_;
};

// A row as the run reported it (or as its measurement answer makes it) and when.
struct ReportedRow {
    int64_t ns = 0;
    std::string cells;  // empty for a cell not known
};

// The window's child: its start-up directory, then one "ns<TAB>cells" line per row.
inline std::vector<ReportedRow> WindowRows(const std::string& text, std::string& dir) {
    std::vector<ReportedRow> rows;
    std::istringstream in(text);
    std::getline(in, dir);
    for (std::string line; std::getline(in, line);) {
        const size_t tab = line.find('\t');
        if (tab == std::string::npos) break;
        rows.push_back({std::stoll(line.substr(0, tab)), line.substr(tab + 1)});
    }
    return rows;
}

// What a killed run's journal gives back.
struct Recovered {
    regional::LocaleDateTimeTexts texts;
    measurement::RegistrationTable table{texts};
    measurement::ChartStore chart;
    measurement::JournalScan scan;
    explicit Recovered(const std::string& path) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        scan = measurement::ReadJournal(fd, [this](const measurement::JournalRecord& r) {
            measurement::ApplyRecord(r, table, &chart);
        });
        if (fd >= 0) ::close(fd);
    }
};

// Empty when every row reported more than a second before `killNs` came back, and every
// row that came back holds the reported texts (`expected`, when given, turns a row that came
// back into the texts to compare); else what is wrong.
inline std::string CheckRecovered(
    const Recovered& back, const std::vector<ReportedRow>& rows, int64_t killNs,
    const std::function<std::string(const std::string&)>& expected = nullptr) {
    int due = 0;
    while (due < static_cast<int>(rows.size()) && rows[due].ns < killNs - 1000000000) ++due;
    const int got = back.table.rowsRegistered();
    if (back.scan.damaged) return "the journal is damaged: " + back.scan.problem;
    if (got < due) {
        return std::to_string(got) + " rows came back of " + std::to_string(due) +
               " registered more than a second before the kill";
    }
    for (int i = 0; i < std::min<int>(got, static_cast<int>(rows.size())); ++i) {
        std::string cells = RowCells(back.table, i + 1);
        if (expected) cells = expected(cells);
        if (cells != rows[static_cast<size_t>(i)].cells) {
            return "row " + std::to_string(i + 1) + " came back as \"" + cells + "\", not \"" +
                   rows[static_cast<size_t>(i)].cells + "\"";
        }
    }
    return {};
}

}  // namespace kt::test
