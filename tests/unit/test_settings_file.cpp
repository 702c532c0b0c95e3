#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "SettingsFile.h"

using namespace kt::measurement;

namespace {

// What the program writes when it has no settings of its own.
const std::string kDefaultFile =
    "Cz_0= 0\r\nCz_1= 0\r\nCz_2= 0\r\nReal_Time_Sample= 0\r\nSample_rate= 10\r\nPaging= 0\r\n"
    "Paging_tracking= 0\r\nSample_per_page= 10\r\nAutorejestracja= 1\r\nRejestracja_Cz0= 1\r\n"
    "Rejestracja_Cz1= 1\r\nRejestracja_Cz2= 1\r\nRejestracja_PK1= 0\r\nRejestracja_PK2= 0\r\n"
    "Rejestracja_data= 0\r\nRejestracja_godz= 0\r\nRejestracja_czas= 1\r\nRejestracja_data= 1\r\n"
    "Rejestracja_index= 1\r\nRejestracja_kolor= 1\r\ndomyslny_port_com= COM1\r\n"
    "Wykres_PK1_H= 50\r\nWykres_PK1_F= 0\r\nWykres_PK2_H= 50\r\nWykres_PK2_F= 75\r\n"
    "Wykres_PK3_H= 50\r\nWykres_PK3_F= 150\r\nWykres_PK4_H= 50\r\nWykres_PK4_F= 225\r\n";

// Every entry changed; the port "Łódź" in Windows-1250. The corpus files derive from it.
const std::string kChangedFile =
    "Cz_0= 1\r\nCz_1= 1\r\nCz_2= 1\r\nReal_Time_Sample= 1\r\nSample_rate= 250\r\nPaging= 1\r\n"
    "Paging_tracking= 1\r\nSample_per_page= 1234\r\nAutorejestracja= 0\r\nRejestracja_Cz0= 0\r\n"
    "Rejestracja_Cz1= 0\r\nRejestracja_Cz2= 0\r\nRejestracja_PK1= 1\r\nRejestracja_PK2= 1\r\n"
    "Rejestracja_data= 1\r\nRejestracja_godz= 1\r\nRejestracja_czas= 0\r\nRejestracja_data= 0\r\n"
    "Rejestracja_index= 0\r\nRejestracja_kolor= 0\r\ndomyslny_port_com= \xA3\xF3"
    "d\x9F\r\n"
    "Wykres_PK1_H= 100\r\nWykres_PK1_F= -20\r\nWykres_PK2_H= 0\r\nWykres_PK2_F= -2147483648\r\n"
    "Wykres_PK3_H= 2147483647\r\nWykres_PK3_F= 1\r\nWykres_PK4_H= -1\r\nWykres_PK4_F= 300\r\n";

AppSettings ChangedSettings() {
    AppSettings s;
    s.channelActive = {true, true, true};
    s.realTimeSampling = s.paging = s.pagingTracking = true;
    s.samplePeriodMs = 250;
    s.samplesPerPage = 1234;
    s.autoRegistration = false;
    s.registerChannel = {false, false, false};
    s.registerOutput = {true, true};
    s.registerDate = s.registerTimeOfDay = true;
    s.registerElapsed = s.registerIndex = s.registerColour = false;
    s.portName = "Łódź";
    s.outputLines = {{{100, -20},
                      {0, std::numeric_limits<int32_t>::min()},
                      {std::numeric_limits<int32_t>::max(), 1},
                      {-1, 300}}};
    return s;
}

std::vector<std::string> Lines(const std::string& file) {
    std::vector<std::string> lines;
    for (size_t start = 0, end; (end = file.find("\r\n", start)) != std::string::npos;
         start = end + 2) {
        lines.push_back(file.substr(start, end - start));
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
    std::string file;
    for (const auto& line : lines) file += line + "\r\n";
    return file;
}

// The file written back after reading a damaged copy of the changed file whose first bad
// entry is `firstBad` (0: none): changed lines before it, initial lines from it on. Line
// 18 carries the same box as line 17, so it keeps line 17's value when it is the bad one.
std::vector<std::string> ExpectedLines(int firstBad, bool portRefused = false) {
    auto changed = Lines(kChangedFile), initial = Lines(kDefaultFile);
    std::vector<std::string> lines;
    for (int e = 1; e <= kSettingsEntryCount; ++e) {
        const bool read = firstBad == 0 || e < firstBad || (e == 18 && firstBad == 18);
        lines.push_back(read && !(e == 21 && portRefused) ? changed[e - 1] : initial[e - 1]);
    }
    return lines;
}

// The reading stopped at `firstBad`, the record writes back as `expected`, and that file
// is complete: it reads back to the same record with nothing failed or refused.
void ExpectReading(const SettingsReadResult& r, int firstBad, const std::string& expected) {
    EXPECT_EQ(r.failedEntry.value_or(0), firstBad);
    const std::string written = FormatSettings(r.settings);
    EXPECT_EQ(written, expected);
    const auto again = ParseSettings(written);
    EXPECT_FALSE(again.failedEntry);
    EXPECT_FALSE(again.portNameRefused);
    EXPECT_EQ(again.settings, r.settings);
}

std::string Line(int entry, const std::string& value) {
    return std::string(SettingsKey(entry)) + value;
}

TEST(SettingsFile, DefaultAndChangedRecordsHaveTheirExactBytes) {
    EXPECT_EQ(FormatSettings(AppSettings{}), kDefaultFile);
    EXPECT_EQ(FormatSettings(ChangedSettings()), kChangedFile);
    ExpectReading(ParseSettings(kDefaultFile), 0, kDefaultFile);
    EXPECT_EQ(ParseSettings(kChangedFile).settings, ChangedSettings());
    EXPECT_EQ(SettingsKey(18), "Rejestracja_data= ");
    EXPECT_EQ(SettingsKey(0), "");
    EXPECT_EQ(SettingsKey(30), "");
}

TEST(SettingsFile, AnyStorableRecordSurvivesTheRoundTrip) {
    const std::vector<std::string> portChars = {"C", "O", "M", "7", "/", "_", ".", "-",
                                                "ą", "ł", "ó", "ź", "Ż", "Ś", "~", "0"};
    const std::vector<int32_t> edgeValues = {std::numeric_limits<int32_t>::min(), -1, 0, 1,
                                             std::numeric_limits<int32_t>::max()};
    std::mt19937 rng(1250);
    auto pick = [&](int64_t lo, int64_t hi) {
        return std::uniform_int_distribution<int64_t>(lo, hi)(rng);
    };
    for (int round = 0; round < 2000; ++round) {
        AppSettings s;
        for (bool* flag :
             {&s.channelActive[0], &s.channelActive[2], &s.realTimeSampling, &s.paging,
              &s.pagingTracking, &s.autoRegistration, &s.registerChannel[1], &s.registerOutput[0],
              &s.registerOutput[1], &s.registerDate, &s.registerTimeOfDay, &s.registerElapsed,
              &s.registerIndex, &s.registerColour}) {
            *flag = pick(0, 1) == 1;
        }
        s.samplePeriodMs = static_cast<int32_t>(pick(kMinSamplePeriodMs, kMaxSamplePeriodMs));
        s.samplesPerPage = static_cast<int16_t>(pick(-32768, 32767));
        s.portName.clear();
        for (auto n = pick(1, 16); n > 0; --n) s.portName += portChars[pick(0, 15)];
        for (auto& line : s.outputLines) {
            line.H = edgeValues[pick(0, 4)];
            line.F = static_cast<int32_t>(pick(INT32_MIN, INT32_MAX));
        }
        const std::string bytes = FormatSettings(s);
        ASSERT_EQ(Lines(bytes).size(), 29u);
        ASSERT_EQ(Joined(Lines(bytes)), bytes);
        const auto r = ParseSettings(bytes);
        ASSERT_EQ(r.settings, s) << bytes;
        ASSERT_FALSE(r.failedEntry);
        ASSERT_FALSE(r.portNameRefused);
    }
}

TEST(SettingsFile, WriterKeepsTheFileReadable) {
    for (const char* port : {"", "COM 3", "ABCDEFGHIJKLMNOPQ", "COM\t1", "中文", "\x01"}) {
        AppSettings s = ChangedSettings();
        s.portName = port;
        s.samplePeriodMs = 0;
        auto expected = Lines(kChangedFile);
        expected[4] = "Sample_rate= 10";
        expected[20] = "domyslny_port_com= COM1";
        EXPECT_EQ(FormatSettings(s), Joined(expected)) << port;
    }
}

struct EdgeCase {
    const char* what;
    std::vector<std::pair<int, std::string>> input;    // lines replaced in the changed file
    int firstBad;                                      // 0: every entry read
    std::vector<std::pair<int, std::string>> written;  // lines that differ from ExpectedLines
    bool portRefused = false;
};

TEST(SettingsFile, EdgeCasesReadAndWriteBackAsExpected) {
    const std::string huge(1 << 20, '9');
    const std::vector<EdgeCase> cases = {
        {"swapped lines swap their settings",
         {{10, "Rejestracja_PK1= 1"}, {13, "Rejestracja_Cz0= 0"}},
         0,
         {{10, Line(10, "1")}, {13, Line(13, "0")}}},
        {"2 ticks", {{10, Line(10, "2")}}, 0, {{10, Line(10, "1")}}},
        {"-1 ticks", {{9, Line(9, "-1")}}, 0, {{9, Line(9, "1")}}},
        {"+0 unticks", {{13, Line(13, "+0")}}, 0, {{13, Line(13, "0")}}},
        {"line 18 decides the box", {{17, Line(17, "1")}}, 0, {}},
        {"line 18 ticks both",
         {{18, Line(18, "1")}},
         0,
         {{17, Line(17, "1")}, {18, Line(18, "1")}}},
        {"period 5", {{5, Line(5, "5")}}, 0, {{5, Line(5, "10")}}},
        {"period 20000000", {{5, Line(5, "20000000")}}, 0, {{5, Line(5, "10000000")}}},
        {"period of 1 MB of digits", {{5, Line(5, huge)}}, 0, {{5, Line(5, "10000000")}}},
        {"period below 32 bits", {{5, Line(5, "-99999999999")}}, 0, {{5, Line(5, "10")}}},
        {"page size low 16 bits", {{8, Line(8, "65546")}}, 0, {{8, Line(8, "10")}}},
        {"page size wraps negative", {{8, Line(8, "98304")}}, 0, {{8, Line(8, "-32768")}}},
        {"page size beyond 32 bits", {{8, Line(8, "4294967296")}}, 8, {}},
        {"output line beyond 32 bits", {{22, Line(22, "2147483648")}}, 22, {}},
        {"output line below 32 bits", {{22, Line(22, "-2147483649")}}, 22, {}},
        {"output line of 1 MB of digits", {{23, Line(23, huge)}}, 23, {}},
        {"sign without digits", {{6, Line(6, "-")}}, 6, {}},
        {"number glued to a word", {{10, Line(10, "1x")}}, 11, {{10, Line(10, "1")}}},
        {"key of 1 MB", {{1, std::string(1 << 20, 'K') + " 1"}}, 0, {}},
        {"port of 16 characters",
         {{21, Line(21, "ABCDEFGHIJKLMNOP")}},
         0,
         {{21, Line(21, "ABCDEFGHIJKLMNOP")}}},
        {"port of 17 characters", {{21, Line(21, "ABCDEFGHIJKLMNOPQ")}}, 0, {}, true},
        {"port of 1 MB", {{21, Line(21, huge)}}, 0, {}, true},
        {"port with a control byte", {{21, Line(21, "COM\x01")}}, 0, {}, true},
        {"port not in Windows-1250", {{21, Line(21, "COM\x81")}}, 0, {}, true},
        {"port with a blank", {{21, Line(21, "COM 7")}}, 22, {{21, Line(21, "COM")}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        auto input = Lines(kChangedFile);
        for (const auto& [entry, text] : c.input) input[entry - 1] = text;
        auto expected = ExpectedLines(c.firstBad, c.portRefused);
        for (const auto& [entry, text] : c.written) expected[entry - 1] = text;
        const auto r = ParseSettings(Joined(input));
        EXPECT_EQ(r.portNameRefused, c.portRefused);
        ExpectReading(r, c.firstBad, Joined(expected));
    }
}

// Corpus file names start with the first bad entry (00: none); "refused" in the name
// means the stored port name is refused.
TEST(SettingsFile, MalformedCorpusKeepsTheInitialStateFromTheFirstBadEntry) {
    const auto folder = std::filesystem::path(KT_UNIT_DATA_DIR) / "settings";
    int files = 0;
    for (const auto& item : std::filesystem::directory_iterator(folder)) {
        const std::string name = item.path().filename().string();
        SCOPED_TRACE(name);
        std::ifstream in(item.path(), std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        const int firstBad = std::stoi(name.substr(0, 2));
        const bool refused = name.find("refused") != std::string::npos;
        const auto r = ParseSettings(bytes);
        EXPECT_EQ(r.portNameRefused, refused);
        ExpectReading(r, firstBad, Joined(ExpectedLines(firstBad, refused)));
        ++files;
    }
    EXPECT_GE(files, 15);
}

// Random damage to a good file: whatever the reading makes of it, the entries from the
// first bad one on are initial and the record writes back as a complete, readable file.
TEST(SettingsFile, DamagedFilesReadSafely) {
    const auto initial = Lines(kDefaultFile);
    std::mt19937 rng(29);
    auto pick = [&](size_t hi) { return std::uniform_int_distribution<size_t>(0, hi)(rng); };
    for (int round = 0; round < 3000; ++round) {
        std::string text = kChangedFile;
        for (auto n = pick(3); n-- > 0 && !text.empty();) {
            const size_t at = pick(text.size() - 1);
            switch (pick(3)) {
                case 0:
                    text[at] = static_cast<char>(pick(255));
                    break;
                case 1:
                    text.insert(at, 1, static_cast<char>(pick(255)));
                    break;
                case 2:
                    text.erase(at, pick(40));
                    break;
                default:
                    text.resize(at);
                    break;
            }
        }
        const auto r = ParseSettings(text);
        const int firstBad = r.failedEntry.value_or(0);
        ASSERT_TRUE(firstBad == 0 || (firstBad >= 1 && firstBad <= 29));
        const std::string written = FormatSettings(r.settings);
        const auto lines = Lines(written);
        ASSERT_EQ(lines.size(), 29u);
        for (int e = firstBad == 0 ? 30 : firstBad; e <= 29; ++e) {
            if (e == 18 && firstBad == 18) continue;  // carries line 17's box
            ASSERT_EQ(lines[e - 1], initial[e - 1]) << text;
        }
        const auto again = ParseSettings(written);
        ASSERT_FALSE(again.failedEntry);
        ASSERT_EQ(again.settings, r.settings);
    }
}

}  // namespace
