// kt210v-cli run as a separate process against the simulated indicator on a pty.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <regex>
#include <sstream>
#include <thread>
#include <tuple>

#include "PtyServer.h"
#include "TestSupport.h"

namespace fs = std::filesystem;
using kt::sim::Faults;
using kt::sim::PtyServer;

namespace {

struct RunResult {
    int exitCode = -1;
    std::string out, err;
    double ms = 0;
};

std::string ReadAll(const fs::path& p) {
    std::ifstream in(p);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

class CliTest : public ::testing::Test {
protected:
    fs::path dir;
    PtyServer server;
    std::mutex trafficMutex;
    std::vector<std::string> traffic;

    void SetUp() override {
        char tmpl[] = "/tmp/kt-cli-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        dir = tmpl;
        server.SetTrafficLog([this](const std::string& line) {
            std::lock_guard<std::mutex> lock(trafficMutex);
            traffic.push_back(line);
        });
        ASSERT_TRUE(server.Start((dir / "COM1").string())) << server.LastError();
    }
    void TearDown() override {
        server.Stop();
        fs::remove_all(dir);
    }
    // Runs the tool with its current directory in the test folder, so "COM1" resolves to
    // the simulator's link as it would in the program's start-up directory. `shell` runs
    // before it; a redirection in `args` overrides out.txt.
    RunResult Run(const std::string& args, const std::string& shell = "") {
        const std::string cmd = "cd '" + dir.string() + "' && " + shell +
                                "exec '" KT210V_CLI_PATH "' > out.txt 2> err.txt " + args;
        RunResult r;
        const double t0 = kt::test::NowMs();
        const int status = std::system(cmd.c_str());
        r.ms = kt::test::NowMs() - t0;
        r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        r.out = ReadAll(dir / "out.txt");
        r.err = ReadAll(dir / "err.txt");
        return r;
    }
    // Runs the tool; once `trigger` shows in the traffic, `act` gets the tool's process id.
    // A tool still running 30 s later is killed, so a run that never ends fails.
    RunResult RunActing(const std::string& args, const std::string& trigger,
                        const std::function<void(pid_t)>& act) {
        {
            std::lock_guard<std::mutex> lock(trafficMutex);
            traffic.clear();
        }
        std::atomic<bool> finished{false};
        std::thread helper([&] {
            while (!finished && !TrafficHas(trigger)) usleep(10000);
            const pid_t pid = std::atoi(ReadAll(dir / "pid.txt").c_str());
            if (!finished && pid > 0) act(pid);
            for (int i = 0; i < 3000 && !finished; ++i) usleep(10000);
            if (!finished && pid > 0) kill(pid, SIGKILL);
        });
        const RunResult r = Run(args, "echo $$ > pid.txt && ");
        finished = true;
        helper.join();
        return r;
    }
    bool TrafficHas(const std::string& text) {
        std::lock_guard<std::mutex> lock(trafficMutex);
        for (const auto& line : traffic) {
            if (line.find(text) != std::string::npos) return true;
        }
        return false;
    }
};

TEST_F(CliTest, IdentifyReadsTheWholeDeviceThroughTheWizardSteps) {
    const RunResult r = Run("identify");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    for (const char* line :
         {"type=KT210V\n", "hardware=1.2\n", "software=3.4\n", "sensor0=1\n", "sensor_count=3\n",
          "COEF0=1\n", "OnTime=", "PK1=", "UZP2=", "Offset1=", "Q_NR=0\n"}) {
        EXPECT_NE(r.out.find(line), std::string::npos) << line << " in\n" << r.out;
    }
    // 41 ticks of 50 ms (about 2.1 s) when every answer is seen on the tick after its
    // request; a late tick on a loaded machine costs one more tick per step at most.
    EXPECT_LT(r.ms, 4500) << "identify took " << r.ms << " ms";
    std::fprintf(stderr, "identify took %.0f ms\n", r.ms);
}

TEST_F(CliTest, SetWritesTheValueAndWaitsForTheConfirmation) {
    const RunResult r = Run("set LED=7 PK1=12.5");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("LED=7\n"), std::string::npos);
    EXPECT_NE(r.out.find("PK1=12.5\n"), std::string::npos);
    EXPECT_TRUE(TrafficHas("F2 F2 0C 07 00 00 00 13"));
    server.WithModel([](kt::sim::IndicatorModel& m) { EXPECT_EQ(m.Params().LED, 7); });
}

TEST_F(CliTest, LossyLineStillIdentifiesAndSets) {
    Faults f;
    f.dropRate = 0.3;
    f.badCrcRate = 0.1;
    server.SetFaults(f);
    RunResult r = Run("identify");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    r = Run("set LED=3 OnTime=500");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    server.WithModel([](kt::sim::IndicatorModel& m) { EXPECT_EQ(m.Params().OnTime, 500u); });
}

TEST_F(CliTest, UnknownTypeWarnsAndGoesOn) {
    Faults f;
    f.typeCode = "XYZ";
    server.SetFaults(f);
    const RunResult r = Run("identify");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("nie zostało rozpoznane jako KT210V!"), std::string::npos) << r.err;
    EXPECT_NE(r.out.find("type=<nierozpoznane>"), std::string::npos);
}

TEST_F(CliTest, SilentDeviceNamesTheFailedStep) {
    Faults f;
    f.silentCodes = {35};
    server.SetFaults(f);
    const RunResult r = Run("identify");
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_NE(r.err.find("step 3 (hardware version)"), std::string::npos) << r.err;
}

TEST_F(CliTest, UsageErrorsSendNothing) {
    const uint64_t before = server.RequestsServed();
    for (const auto& [args, why] : std::vector<std::pair<std::string, std::string>>{
             {"set LEDX=1", "unknown key"},
             {"set LED=abc", "LED must be a whole number"},
             {"set PK1=1,5", "does not parse"},
             {"frobnicate", "unknown command"},
             {"set LED=256", "LED must be a whole number from 0 to 255: '256'"},
             {"set LED=-1", "LED must be a whole number from 0 to 255"},
             {"set Q_NR=300", "Q_NR must be a whole number from 0 to 255"},
             {"record --out .txt --count 2", "--out needs a name before the extension: .txt"},
             {"record --out sub/.XLS --count 2", "before the extension: sub/.XLS"}}) {
        const RunResult r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args;
        EXPECT_NE(r.err.find(why), std::string::npos) << args << ": " << r.err;
    }
    EXPECT_EQ(server.RequestsServed(), before);
}

// The system's reason reaches the operator; the whole name is opened however long it is.
TEST_F(CliTest, PortsAreOpenedByTheirWholeNameOrExplainedWhenTheyCannotBe) {
    for (const char* port : {"COM77", "/nonexistent"}) {
        const RunResult r = Run(std::string("--port ") + port + " identify");
        EXPECT_EQ(r.exitCode, 1);
        EXPECT_NE(r.err.find(std::string("cannot open ") + port + ": No such file or directory"),
                  std::string::npos)
            << r.err;
    }
    const fs::path longPath = dir / "a/path/longer/than/nine/COM1";
    fs::create_directories(longPath.parent_path());
    fs::create_symlink(dir / "COM1", longPath);
    const RunResult r = Run("--port " + longPath.string() + " identify");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("type=KT210V"), std::string::npos) << r.out;
}

// A failed write ends the run with the system's reason; a file-size limit fails the write
// (rather than killing the tool) and leaves no temporary file behind.
TEST_F(CliTest, OutputThatCannotBeWrittenEndsTheRunWithTheReason) {
    const std::string full = "cannot write standard output: No space left on device";
    const std::string tooLarge = "cannot write standard output: File too large";
    for (const auto& [shell, args, exitCode, why] :
         std::vector<std::tuple<std::string, std::string, int, std::string>>{
             {"", "identify > /dev/full", 1, full},
             {"", "sample --period 10 --count 300 > /dev/full", 1, full},
             {"ulimit -f 1; ", "sample --period 10 --count 300", 1, tooLarge},
             {"ulimit -f 1; ", "record --out run.txt --period 10 --count 100", 5,
              "cannot write run.txt: File too large"}}) {
        const RunResult r = Run(args, shell);
        EXPECT_EQ(r.exitCode, exitCode) << args << ": " << r.err;
        EXPECT_NE(r.err.find(why), std::string::npos) << args << ": " << r.err;
    }
    for (const auto& entry : fs::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().filename().string().find("run.txt"), std::string::npos);
    }
}

// Lines of the CSV output after its header.
std::vector<std::string> Rows(const std::string& out) {
    std::vector<std::string> rows;
    std::istringstream in(out);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) rows.push_back(line);
    return rows;
}

TEST_F(CliTest, SampleAtTenMsGetsAnAnswerToNearlyEveryRequest) {
    server.WithModel([](kt::sim::IndicatorModel& m) { m.SetIncludeCycles(true); });
    const RunResult r = Run("sample --period 10 --duration 2");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, r.out.find('\n')),
              "elapsed_s,angle0,angle1,angle2,cycles0,cycles1,cycles2,pk1,pk2");
    unsigned long long samples = 0, requests = 0, timeouts = 0;
    double meanMs = 0;
    ASSERT_EQ(std::sscanf(r.err.substr(r.err.find("samples=")).c_str(),
                          "samples=%llu mean_period_ms=%lf requests=%llu timeouts=%llu", &samples,
                          &meanMs, &requests, &timeouts),
              4)
        << r.err;
    EXPECT_EQ(Rows(r.out).size(), samples);
    EXPECT_GE(requests, 100u);  // at least half the nominal 200 on a loaded machine
    EXPECT_GE(samples * 10, requests * 9) << r.err;
    // Three present sensors with cycle counts: every field filled, a decimal point.
    const std::string row = Rows(r.out).back();
    EXPECT_EQ(std::count(row.begin(), row.end(), ','), 8);
    EXPECT_EQ(row.find(",,"), std::string::npos) << row;
}

// One spelling for values that are not finite numbers; whole cycle counts as integers.
TEST_F(CliTest, SampleWritesOddValuesInOneForm) {
    kt::sim::ModelConfig odd;  // sensor 1 turns infinitely fast, sensor 2 at 1e36 deg/s
    odd.speedDegPerSecond = {10, INFINITY, 1e36};
    odd.includeCycles = true;
    PtyServer oddServer(odd);
    ASSERT_TRUE(oddServer.Start((dir / "ODD").string())) << oddServer.LastError();
    const RunResult r = Run("--port ODD sample --period 20 --count 5");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::regex row(R"(\d+\.\d{3},\d+\.\d{4},nan,\d+\.\d{4},\d+,(nan|inf),\d+,[01],[01])");
    for (const std::string& line : Rows(r.out)) EXPECT_TRUE(std::regex_match(line, row)) << line;
}

TEST_F(CliTest, SampleRefusesBadValuesBeforeSendingAnything) {
    const uint64_t before = server.RequestsServed();
    for (const char* args : {"sample --period 5", "sample --period 10000001", "sample --period x",
                             "sample --duration 0", "sample --duration 10000001",
                             "sample --duration 1e400", "sample --count 99999999999999999999",
                             "sample --count -1", "sample --realtime --period 20",
                             "sample --count 5 --duration 1", "sample --frequency 3"}) {
        EXPECT_EQ(Run(args).exitCode, 2) << args;
    }
    EXPECT_EQ(server.RequestsServed(), before);
}

// A pulled cable ends every command at once: identifying (the wizard's steps running),
// monitoring, sampling (the rows so far stay printed). The reason goes to standard error.
TEST_F(CliTest, ALostPortEndsEveryCommandAtOnce) {
    for (const auto& [args, trigger] : std::vector<std::pair<std::string, std::string>>{
             {"identify", "F1 F1 20"},  // the device type asked
             {"monitor", "F1 F1 15"},   // the last steps asked
             {"sample --period 20 --duration 120", "F1 F1 07"}}) {
        ASSERT_TRUE(server.Replug()) << server.LastError();
        const RunResult r = RunActing(args, trigger, [&](pid_t) { server.UnplugAfter(1000); });
        EXPECT_EQ(r.exitCode, 1) << args << ": " << r.err;
        EXPECT_NE(r.err.find("hung up"), std::string::npos) << args << ": " << r.err;
        EXPECT_NE(r.err.find("ended: the port COM1 was lost"), std::string::npos) << r.err;
        EXPECT_TRUE(args.rfind("sample", 0) != 0 || !Rows(r.out).empty()) << r.out;
    }
}

// A closed terminal (SIGHUP) ends a recording as Ctrl-C and SIGTERM do: the rows are saved.
TEST_F(CliTest, RecordSavesItsRowsWhenStoppedBySignal) {
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        fs::remove(dir / "run.txt");
        const RunResult r = RunActing("record --out run.txt --period 20 --duration 60", "F1 F1 07",
                                      [signal](pid_t pid) {
                                          usleep(300000);
                                          kill(pid, signal);
                                      });
        EXPECT_EQ(r.exitCode, 0) << signal << ": " << r.err;
        EXPECT_NE(r.err.find("rows="), std::string::npos) << r.err;
        EXPECT_NE(ReadAll(dir / "run.txt").find("Czujnik_0"), std::string::npos) << signal;
    }
}

TEST_F(CliTest, MonitorPrintsTrafficLinesUntilInterrupted) {
    const std::string cmd = "cd '" + dir.string() +
                            "' && timeout --preserve-status -s INT 4 '" KT210V_CLI_PATH
                            "' monitor > mon.txt 2>&1";
    const int status = std::system(cmd.c_str());
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string out = ReadAll(dir / "mon.txt");
    EXPECT_NE(out.find(">sending read cmd: 32: 0 0 0 0 ,CRC=32"), std::string::npos) << out;
    EXPECT_NE(out.find("   <<Received Data: 32: 75 84 86 0 ,CRC=21<->21"), std::string::npos);
}

}  // namespace
