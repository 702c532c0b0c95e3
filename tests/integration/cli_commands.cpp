// kt210v-cli run as a separate process against the simulated indicator on a pty.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <regex>
#include <sstream>
#include <tuple>

#include "Frames.h"
#include "MqttBroker.h"
#include "SettingsFile.h"
#include "cli_fixture.h"

namespace fs = std::filesystem;
using kt::sim::Faults;
using kt::sim::PtyServer;
using Messages = std::vector<kt::test::MqttMessage>;
using namespace std::chrono_literals;

namespace {

using CliTest = CliFixture;
using RunResult = CliRunResult;

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

// A blank memory reads as NaN: the indicator is identified with the value as it reports
// it, the log says so, and set writes proper values over it and waits for the confirmation.
TEST_F(CliTest, IndicatorHoldingNaNIsIdentifiedAndSet) {
    const auto nan = kt::device::BuildFrame(kt::device::kHeaderWrite, kt::device::cmd::PK1,
                                            kt::device::Float32Payload(NAN));
    server.WithModel([&](kt::sim::IndicatorModel& m) { m.HandleRequest(nan.bytes.data(), 0); });
    RunResult r = Run("identify");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("PK1=NAN\n"), std::string::npos) << r.out;
    EXPECT_NE(r.err.find("command 8 holds a value that is not a finite number"), std::string::npos);
    r = Run("set LED=7 PK1=12.5");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("LED=7\nPK1=12.5\n"), std::string::npos) << r.out;
    EXPECT_TRUE(TrafficHas("F2 F2 0C 07 00 00 00 13"));
    server.WithModel([](kt::sim::IndicatorModel& m) {
        EXPECT_EQ(m.Params().LED, 7);
        EXPECT_EQ(m.Params().PK1, 12.5f);
    });
}

// A lossy line still identifies and sets; an unknown type is warned of and the run goes
// on; a device silent at one step is named by that step.
TEST_F(CliTest, FaultyDevicesAreIdentifiedOrTheFailureNamed) {
    struct Case {
        Faults faults;
        const char* args;
        int exitCode;
        const char *err, *out;
    };
    Faults lossy, unknown, silent;
    lossy.dropRate = 0.3, lossy.badCrcRate = 0.1;
    unknown.typeCode = "XYZ";
    silent.silentCodes = {35};
    const Case cases[] = {
        {lossy, "identify", 0, "", "Q_NR="},
        {lossy, "set LED=3 OnTime=500", 0, "", "OnTime=500\n"},
        {unknown, "identify", 0, "nie zostało rozpoznane jako KT210V!", "type=<nierozpoznane>"},
        {silent, "identify", 3, "step 3 (hardware version)", ""}};
    for (const Case& c : cases) {
        server.SetFaults(c.faults);
        const RunResult r = Run(c.args);
        EXPECT_EQ(r.exitCode, c.exitCode) << c.args << ": " << r.err;
        EXPECT_NE(r.err.find(c.err), std::string::npos) << r.err;
        EXPECT_NE(r.out.find(c.out), std::string::npos) << r.out;
    }
    server.WithModel([](kt::sim::IndicatorModel& m) { EXPECT_EQ(m.Params().OnTime, 500u); });
}

// Bad commands and values of every command are refused before anything is sent.
TEST_F(CliTest, UsageErrorsSendNothing) {
    const uint64_t before = server.RequestsServed();
    const std::vector<std::vector<const char*>> refused = {
        {"set LEDX=1", "set LED=abc", "set PK1=1,5", "frobnicate", "set LED=10", "set LED=-1",
         "set Q_NR=3", "set mode=5", "set decp=7", "set Beep=2", "set OnTime=0",
         "set OnTime=32733"},
        {"record --out .txt --count 2", "record --out sub/.XLS --count 2",
         "record --out run.ods --count 2", "record --count 2",
         "record --out run.txt --count 2 --colour", "record --out r.txt --mqtt-topic t",
         "recover run.txt.journal", "recover --out x.pdf run.txt.journal"},
        {"sample --period 5", "sample --period 10000001", "sample --period x",
         "sample --duration 0", "sample --count -1", "sample --realtime --period 20",
         "sample --count 5 --duration 1", "sample --frequency 3", "sample --mqtt",
         "sample --mqtt ''", "sample --mqtt h:65536", "sample --mqtt [::1",
         "sample --mqtt h --mqtt-topic a/+/b"}};
    for (const auto& command : refused) {
        for (const char* args : command) EXPECT_EQ(Run(args).exitCode, 2) << args;
    }
    EXPECT_NE(Run("set LED=99").err.find("LED must be a whole number from 0 to 9: '99'"),
              std::string::npos);
    EXPECT_NE(Run("record --out .txt").err.find("--out needs a name before the extension: .txt"),
              std::string::npos);
    EXPECT_EQ(server.RequestsServed(), before);
}

// The system's reason and the window's hint reach the operator in one line; the whole
// name is opened however long it is.
TEST_F(CliTest, PortsAreOpenedByTheirWholeNameOrExplainedWhenTheyCannotBe) {
    const std::string missing = ": No such file or directory. Taki port nie istnieje.";
    for (const auto& [args, shell, why] : std::vector<std::array<std::string, 3>>{
             {"--port COM77 identify", "", "cannot open COM77 (/dev/ttyS76)" + missing},
             {"--port /nonexistent identify", "", "cannot open /nonexistent" + missing},
             // Another program holds the port (here the shell, whose lock the tool inherits).
             {"identify", "exec 3< COM1 && flock -n 3 && ",
              std::string("cannot open COM1 (./COM1): ") + std::strerror(EWOULDBLOCK) +
                  ". Port jest zajęty przez inny program."}}) {
        const RunResult r = Run(args, shell);
        EXPECT_EQ(r.exitCode, 1) << args;
        EXPECT_EQ(r.err.rfind(why, 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
    const fs::path longPath = dir / "a/path/longer/than/nine/COM1";
    fs::create_directories(longPath.parent_path());
    fs::create_symlink(dir / "COM1", longPath);
    const RunResult r = Run("--port " + longPath.string() + " identify");
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.out.find("type=KT210V"), std::string::npos) << r.out;
}

// write-settings: what the program writes at its first close, with the given port; a file
// already there, or a port name the file cannot keep, is refused and nothing is written.
TEST_F(CliTest, WriteSettingsWritesTheFirstCloseFileOnlyWhereThereIsNone) {
    kt::measurement::AppSettings expected;
    expected.portName = "/dev/ttyUSB0";
    EXPECT_EQ(Run("write-settings config.ini --port /dev/ttyUSB0").exitCode, 0);
    EXPECT_EQ(ReadFile("config.ini"), kt::measurement::FormatSettings(expected));
    const RunResult again = Run("write-settings config.ini --port COM2");
    EXPECT_EQ(again.exitCode, 5);
    EXPECT_NE(again.err.find("config.ini exists"), std::string::npos) << again.err;
    EXPECT_EQ(ReadFile("config.ini"), kt::measurement::FormatSettings(expected));
    EXPECT_EQ(Run("write-settings new.ini --port /dev/serial/by-id/usb-FTDI-port0").exitCode, 2);
    EXPECT_FALSE(fs::exists(dir / "new.ini"));
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
// Sensor 1 turns infinitely fast (angle and count not numbers), sensor 2 at 1e36 deg/s.
// The summary's mean period is the span from the first sample to the last over the gaps
// between them: five samples 100 ms apart span 400 ms.
TEST_F(CliTest, SampleWritesOddValuesInOneForm) {
    PtyServer odd({.includeCycles = true, .speedDegPerSecond = {10, INFINITY, 1e36}});
    ASSERT_TRUE(odd.Start((dir / "ODD").string())) << odd.LastError();
    const RunResult r = Run("--port ODD sample --period 100 --count 5");
    ASSERT_EQ(Rows(r.out).size(), 5u) << r.err;
    const double meanMs = std::atof(r.err.substr(r.err.find("mean_period_ms=") + 15).c_str());
    EXPECT_TRUE(meanMs >= 90 && meanMs <= 150) << r.err;
    const std::regex row(R"(\d+\.\d{3},\d+\.\d{4},nan,\d+\.\d{4},\d+,(nan|inf),\d+,[01],[01])");
    for (const std::string& line : Rows(r.out)) EXPECT_TRUE(std::regex_match(line, row)) << line;
}

// Each way a run fails or is cut short ends it at once with its exit code and reason:
// output that cannot be written (a file-size limit fails the write rather than killing the
// tool, and the file writer leaves no temporary file), a port lost while identifying,
// monitoring or sampling, and a closed terminal (SIGHUP), after which record saves its rows.
TEST_F(CliTest, FailuresAndHangUpsEndTheRunWithTheReason) {
    const std::string full = "cannot write standard output: No space left on device";
    for (const auto& [shell, args, trigger, signal, exitCode, why] :
         std::vector<std::tuple<std::string, std::string, std::string, int, int, std::string>>{
             {"", "identify > /dev/full", "", 0, 1, full},
             {"", "sample --period 10 --count 300 > /dev/full", "", 0, 1, full},
             {"ulimit -f 1; ", "sample --period 10 --count 300", "", 0, 1, "File too large"},
             {"ulimit -f 1; ", "record --out run.txt --period 10 --count 100", "", 0, 5,
              "cannot write run.txt: File too large"},
             // Found only when the file is written: a folder where the file should be.
             {"mkdir run.xls && ", "record --out run.xls --count 2", "", 0, 5,
              "cannot write run.xls: Is a directory"},
             {"", "identify", "F1 F1 20", 0, 1, "identification ended: the port COM1 was lost"},
             {"", "monitor", "F1 F1 15", 0, 1, "monitor ended: the port COM1 was lost"},
             {"", "sample --period 20 --duration 120", "F1 F1 07", 0, 1, "sampling ended"},
             {"", "record --out run.txt --period 20 --duration 60", "F1 F1 07", SIGHUP, 0,
              "file=run.txt"}}) {
        ASSERT_TRUE(server.Replug()) << server.LastError();
        const RunResult r = Run(args, shell, trigger, signal);
        EXPECT_EQ(r.exitCode, exitCode) << args << ": " << r.err;
        EXPECT_NE(r.err.find(why), std::string::npos) << args << ": " << r.err;
    }
    for (const auto& e : fs::directory_iterator(dir)) {
        EXPECT_NE(e.path().filename().c_str()[0], '.');  // a temporary file left behind
    }
}

// With --reconnect a pull no longer ends the run: the tool waits for the port, resumes
// the run when it is back and completes it (exit 0), saying on standard error when the
// port was lost and came back. The time out of the cable is not in the run's time.
TEST_F(CliTest, SampleWithReconnectGoesOnOnceTheCableIsBack) {
    const RunResult r =
        Run("sample --period 20 --duration 10 --reconnect", "", "F1 F1 07", 0, 1500);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("acquisition resumed", r.err.find("port COM1 lost")), std::string::npos)
        << r.err;
    double previous = 0, largestGap = 0;
    for (const std::string& row : Rows(r.out)) {
        largestGap = std::max(largestGap, std::stod(row) - previous);
        previous = std::stod(row);
    }
    EXPECT_LT(largestGap, 0.5) << r.out;
    EXPECT_TRUE(previous > 2 && previous < 8.5) << previous;
}

std::vector<std::string> Payloads(const Messages& messages, const std::string& topic) {
    std::vector<std::string> payloads;
    for (const auto& m : messages) {
        if (m.topic == topic) payloads.push_back(m.payload);
    }
    return payloads;
}

// Every row recorded reaches a subscriber in order, equal to the file's to its last
// decimal, and the retained status follows the run to "offline"; a killed tool is left
// "offline" by the broker's last will; a broker that is not there costs the run nothing.
TEST_F(CliTest, RunsArePublishedToABroker) {
    kt::test::MqttBroker broker;
    std::string error;
    ASSERT_TRUE(broker.Start(error)) << error;
    const std::string mqtt = " --mqtt 127.0.0.1:" + std::to_string(broker.Port());
    kt::test::MqttCollector collector(broker.Port(), "#");
    ASSERT_TRUE(collector.Subscribed(10s));
    RunResult r = Run("record --period 10 --duration 3 --out run.csv --mqtt-topic line" + mqtt);
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> rows = Rows(ReadFile("run.csv"));
    collector.WaitFor(
        [&](const Messages& m) { return Payloads(m, "line/sample").size() >= rows.size(); }, 10s);
    const std::vector<std::string> samples = Payloads(collector.Messages(), "line/sample");
    ASSERT_TRUE(rows.size() > 100 && samples.size() == rows.size()) << samples.size();
    for (size_t i = 0; i < samples.size(); ++i) {
        const auto s = kt::test::ParsePublishedSample(samples[i]);
        ASSERT_TRUE(s && s->angle[0] && s->angle[1] && s->angle[2]) << samples[i];
        std::istringstream row(rows[i]);
        std::string cell;
        std::getline(row, cell, ',');  // the sample number; then 3 decimals, 4 for the angles
        for (const double value :
             {s->t, double(*s->angle[0]), double(*s->angle[1]), double(*s->angle[2])}) {
            std::getline(row, cell, ',');
            EXPECT_NEAR(std::stod(cell), value, 0.00051) << rows[i] << " " << samples[i];
        }
    }
    const std::vector<std::string> status = Payloads(collector.Messages(), "line/status");
    EXPECT_NE(std::find(std::find(status.begin(), status.end(), "praca"), status.end(), "stop"),
              status.end())
        << ::testing::PrintToString(status);
    EXPECT_EQ(kt::test::RetainedMqttMessage(broker.Port(), "line/status", 5s), "offline");

    r = Run("sample --period 10 --duration 30 --mqtt-topic gone" + mqtt, "", "F1 F1 07", SIGKILL);
    EXPECT_EQ(r.exitCode, -1);
    EXPECT_TRUE(collector.WaitFor(  // the will comes after everything the tool sent
        [](const Messages& m) {
            return !Payloads(m, "gone/sample").empty() && m.back().payload == "offline";
        },
        10s));

    broker.Stop();
    r = Run("sample --period 10 --count 50" + mqtt);
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("\nmqtt: 0 sent, 0 dropped, 50 unsent"), std::string::npos) << r.err;
    // One log line for the broker however often the connection was tried.
    const size_t first = r.err.find("cannot connect (Connection refused)");
    EXPECT_TRUE(first != std::string::npos &&
                r.err.find("cannot connect", first + 1) == std::string::npos)
        << r.err;
}

TEST_F(CliTest, MonitorPrintsTrafficLinesUntilInterrupted) {
    const RunResult r = Run("monitor 2>&1", "", "F1 F1 15", SIGINT);
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_NE(r.out.find(">sending read cmd: 32: 0 0 0 0 ,CRC=32"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("   <<Received Data: 32: 75 84 86 0 ,CRC=21<->21"), std::string::npos);
}

}  // namespace
