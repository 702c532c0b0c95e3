// kt210v-cli record run as a separate process against the simulated indicator on a pty:
// the files it writes in both layouts, exit 5 with the reason when it cannot write, and
// the journal a killed run leaves for recover.
#include <gtest/gtest.h>
#include <iconv.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli_fixture.h"

namespace fs = std::filesystem;

namespace {

// The file's Windows-1250 text as UTF-8, so the expected lines can be written plainly.
std::string FromWindows1250(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "WINDOWS-1250");
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    std::string out(bytes.size() * 3, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* to = out.data();
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &to, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

// Lines without their CR LF; false when any line lacks the CR.
bool SplitLines(const std::string& text, std::vector<std::string>& lines) {
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line.back() != '\r') return false;
        line.pop_back();
        lines.push_back(line);
    }
    return !text.empty() && text.back() == '\n';
}

// Runs under the C locale and in UTC.
class CliRecordTest : public CliFixture {
protected:
    CliRunResult Run(const std::string& args) {
        return CliFixture::Run(args, "export LC_ALL=C TZ=UTC && ");
    }
    std::vector<std::string> FileLines(const std::string& name) {
        std::vector<std::string> lines;
        EXPECT_TRUE(SplitLines(FromWindows1250(ReadFile(name)), lines)) << name;
        return lines;
    }
};

TEST_F(CliRecordTest, TextFileHasTheHeaderTheTitlesAndOneRowPerMeasurement) {
    const CliRunResult r = Run("record --out run.txt --period 20 --count 6 --date --time --pk");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("rows=6 file=run.txt"), std::string::npos) << r.err;
    const std::vector<std::string> lines = FileLines("run.txt");
    ASSERT_EQ(lines.size(), 7u + 4 + 2 + 6);
    EXPECT_EQ(lines[0], "typ urządzenia= \tKT210V");
    EXPECT_EQ(lines[1].rfind("data pomiaru= \t\t\"", 0), 0u) << lines[1];
    EXPECT_EQ(lines[3].rfind("czas trwania pomiaru= \t", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4], "Ilosc próbek= \t\t6");
    EXPECT_EQ(lines[5], "Okres próbkowania= \t20 [ms]");
    EXPECT_EQ(lines[6], "Częstotliwość próbkowania= \t50.000000\t [próbek / sek]");
    for (int i = 7; i < 11; ++i) EXPECT_EQ(lines[i], "");
    // Three present sensors: all channel columns; the information column as wide as
    // "0 (date time)" needs.
    EXPECT_NE(lines[11].find("|  Czujnik_0  ||  Czujnik_1  ||  Czujnik_2  ||  PK1 ||  PK2 |"),
              std::string::npos)
        << lines[11];
    EXPECT_EQ(lines[12], std::string(lines[11].size(), '-'));
    for (int row = 0; row < 6; ++row) {
        const std::string& line = lines[13 + row];
        EXPECT_EQ(line.size(), lines[11].size()) << line;
        const std::string number = "|  " + std::to_string(row) + " (";
        EXPECT_NE(line.find(number), std::string::npos) << line;
        EXPECT_EQ(line.find("-------------"), std::string::npos) << line;  // displays follow
        EXPECT_EQ(line.substr(line.size() - 16).find_first_not_of("| 01"), std::string::npos);
    }
}

TEST_F(CliRecordTest, SpreadsheetFileOfAnUnrecognisedDeviceInRealTime) {
    kt::sim::Faults faults;
    faults.typeCode = "XYZ";
    server.SetFaults(faults);
    const CliRunResult r = Run("record --out run.xls --realtime --count 5");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = FileLines("run.xls");
    ASSERT_EQ(lines.size(), 6u + 2 + 1 + 5);
    EXPECT_EQ(lines[0], "typ urządzenia=\t<nierozpoznane>");
    EXPECT_EQ(lines[4], "Ilosc próbek=\t5");
    EXPECT_EQ(lines[5], "Częstotliwość próbkowania=[real time]");
    EXPECT_EQ(lines[8], "Index\tCzas [s]\tCzujnik_0\tCzujnik_1\tCzujnik_2\tPK1\tPK2\t");
    for (int row = 0; row < 5; ++row) {
        const std::string& line = lines[9 + row];
        EXPECT_EQ(line.rfind(std::to_string(row) + " \t", 0), 0u) << line;
        EXPECT_EQ(std::count(line.begin(), line.end(), '\t'), 7) << line;
        EXPECT_EQ(line.find('.'), std::string::npos) << line;  // decimal commas only
        EXPECT_NE(line.find(','), std::string::npos) << line;
        EXPECT_EQ(line.substr(line.size() - 2), "\t\t") << line;  // PK boxes unticked
    }
}

// The workbook and the comma-separated file are picked by the extension as well.
TEST_F(CliRecordTest, WorkbookAndCommaSeparatedFiles) {
    CliRunResult r = Run("record --out run.csv --date --count 4");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = FileLines("run.csv");
    ASSERT_EQ(lines.size(), 1u + 4);
    EXPECT_EQ(lines[0], "Index,Data,Czas [s],Czujnik_0,Czujnik_1,Czujnik_2,PK1,PK2");
    for (int row = 0; row < 4; ++row) {
        const std::string& line = lines[1 + row];
        EXPECT_EQ(line.rfind(std::to_string(row) + ",20", 0), 0u) << line;  // ISO date
        EXPECT_EQ(std::count(line.begin(), line.end(), ','), 7) << line;
    }
    r = Run("record --out run.xlsx --count 3");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(ReadFile("run.xlsx").rfind("PK\x03\x04", 0), 0u);  // a zip package
}

// The rows of a run cut short by a pulled cable are saved; the exit code says the port
// was lost.
TEST_F(CliRecordTest, RowsOfARunCutShortAreSaved) {
    std::thread puller([this] {
        WaitForTraffic("F1 F1 07");  // measuring
        server.UnplugAfter(300);
    });
    const CliRunResult r = Run("record --out run.txt --period 20 --duration 60");
    puller.join();
    EXPECT_EQ(r.exitCode, 1) << r.err;
    const std::vector<std::string> lines = FileLines("run.txt");
    ASSERT_GT(lines.size(), 13u);
    EXPECT_EQ(lines[4], "Ilosc próbek= \t\t" + std::to_string(lines.size() - 13));
}

// A target in a folder that is a file is refused before the indicator is asked.
TEST_F(CliRecordTest, UnwritableTargetExitsWithFiveAndTheReason) {
    std::ofstream(dir / "plik") << "x";
    const uint64_t before = server.RequestsServed();
    CliRunResult r = Run("record --out plik/run.txt --count 2");
    EXPECT_EQ(r.exitCode, 5);
    EXPECT_NE(r.err.find("cannot write plik/run.txt: Not a directory"), std::string::npos) << r.err;
    EXPECT_EQ(server.RequestsServed(), before);
}

}  // namespace

// A run killed with SIGKILL leaves its rows in run.txt.journal; recover writes them as
// record would have; the next record sets that journal (damaged or not) aside and, once
// its file is written, leaves no journal of its own.
TEST_F(CliRecordTest, AKilledRunIsRecoveredFromItsJournal) {
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.c_str()) != 0) _exit(127);
        execl(KT210V_CLI_PATH, KT210V_CLI_PATH, "record", "--out", "run.txt", "--period", "10",
              "--duration", "60", "--pk", static_cast<char*>(nullptr));
        _exit(127);
    }
    WaitForTraffic("F1 F1 07");  // measuring
    usleep(2000000);
    kill(child, SIGKILL);
    waitpid(child, nullptr, 0);
    ASSERT_TRUE(fs::exists(dir / "run.txt.journal"));
    EXPECT_FALSE(fs::exists(dir / "run.txt"));

    CliRunResult r = Run("recover run.txt.journal --out back.xls");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::vector<std::string> lines = FileLines("back.xls");
    ASSERT_GT(lines.size(), 10u + 50);  // two seconds at 10 ms, with a wide margin
    EXPECT_EQ(lines[0], "typ urządzenia=\tKT210V");
    EXPECT_EQ(lines[4], "Ilosc próbek=\t" + std::to_string(lines.size() - 10));
    EXPECT_NE(r.err.find("rows=" + std::to_string(lines.size() - 10) + " file=back.xls"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(lines.back().rfind(std::to_string(lines.size() - 11) + " \t", 0), 0u);

    // Spoilt in its first record, the journal offers no row, yet is not emptied.
    std::fstream(dir / "run.txt.journal", std::ios::in | std::ios::out | std::ios::binary)
        .seekp(64 + 5)
        .put('?');
    r = Run("record --out run.txt --count 3");
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(r.err.find("an earlier unsaved run is kept as run.txt.journal."), std::string::npos)
        << r.err;
    EXPECT_FALSE(fs::exists(dir / "run.txt.journal"));
    int aside = 0;
    for (const auto& e : fs::directory_iterator(dir)) {
        aside += e.path().filename().string().rfind("run.txt.journal.", 0) == 0;
    }
    EXPECT_EQ(aside, 1);

    std::ofstream(dir / "other.journal") << "not a journal";
    EXPECT_EQ(Run("recover other.journal --out x.txt").exitCode, 5);
    EXPECT_EQ(Run("recover missing.journal --out x.txt").exitCode, 5);
}
