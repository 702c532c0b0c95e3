#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <vector>

#include "FakeDateTimeTexts.h"
#include "FilledTable.h"
#include "MeasurementFile.h"
#include "MeasurementFileSave.h"
#include "TempFolder.h"

using namespace kt::measurement;
using kt::test::FakeDateTimeTexts;
using kt::test::ReadBytes;
using kt::test::TempFolder;
using kt::test::WriteBytes;

namespace {

constexpr int64_t kMoment = FakeDateTimeTexts::kMoment;  // 08.05.2024 14:03:07
const std::string kData = std::string(KT_UNIT_DATA_DIR) + "/measurement/";

std::string Build(const RegistrationTable& table, const MeasurementFileInput& input,
                  MeasurementFileFormat format) {
    std::string bytes, reason;
    EXPECT_TRUE(BuildMeasurementFile(table, input, format, bytes, reason)) << reason;
    return bytes;
}

std::vector<std::string> Lines(const std::string& bytes) {
    std::vector<std::string> lines;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        lines.push_back(bytes.substr(start, end - start));
    }
    EXPECT_EQ(start, bytes.size()) << "the last line ends in CR LF";
    return lines;
}

RowSource Row(double elapsed, int64_t wallTime, float v0, float v1, bool shown1, bool pk1) {
    RowSource s;
    s.elapsed = elapsed;
    s.wallTime = wallTime;
    s.sensorPresent[0] = s.sensorPresent[1] = true;
    s.display[0].Show(v0);
    if (shown1) s.display[1].Show(v1);
    s.display[2].Show(5.0f);  // shown, but the sensor is absent: nothing registered
    s.outputOn[0] = pk1;
    return s;
}

// Three rows with the time of day and PK1 registered; sensors 0 and 1 present.
struct FixedPeriodScenario {
    FakeDateTimeTexts dates;
    RegistrationTable table{dates};
    MeasurementFileInput input;

    FixedPeriodScenario() {
        table.boxes().time = true;
        table.boxes().pk1 = true;
        table.AddRow(Row(0.01, kMoment, 12.3456f, 0, false, true));
        table.AddRow(Row(0.02, kMoment, 359.99994f, 200.0f, true, false));
        table.AddRow(Row(1.2345, kMoment + 1, -1.5f, 1000.25f, true, true));
        input.rowCount = table.RowCount();
        input.typeName = "KT210V";
        input.dateText = "08.05.2024";
        input.timeText = "14:03:07";
        input.duration = 12.5;
        input.periodMs = 100;
        input.sensorPresent[0] = input.sensorPresent[1] = true;
        input.channelActive[0] = input.channelActive[1] = input.channelActive[2] = true;
    }
};

TEST(MeasurementFile, BothLayoutsMatchTheGoldenFilesByteForByte) {
    FixedPeriodScenario fixed;
    FakeDateTimeTexts dates;
    const RegistrationTable empty(dates);
    MeasurementFileInput realTime;
    realTime.rowCount = empty.RowCount();
    realTime.dateText = "01.01.2025";
    realTime.timeText = "0:00:00";
    realTime.duration = 0.000001;
    realTime.realTime = true;
    realTime.channelActive[0] = true;  // no sensor present: still no channel column

    struct Case {
        const RegistrationTable& table;
        const MeasurementFileInput& input;
        MeasurementFileFormat format;
        const char* golden;
    };
    const Case cases[] = {
        {fixed.table, fixed.input, MeasurementFileFormat::Text, "fixed_period.txt"},
        {fixed.table, fixed.input, MeasurementFileFormat::Excel, "fixed_period.xls"},
        {empty, realTime, MeasurementFileFormat::Text, "real_time_empty.txt"},
        {empty, realTime, MeasurementFileFormat::Excel, "real_time_empty.xls"},
    };
    for (const Case& c : cases) {
        const std::string golden = ReadBytes(kData + c.golden);
        ASSERT_FALSE(golden.empty()) << kData + c.golden;
        EXPECT_EQ(Build(c.table, c.input, c.format), golden) << c.golden;
    }
    // The Polish letters of the header in Windows-1250: ą, ó, ę, ś, ć.
    const std::string text = ReadBytes(kData + "fixed_period.txt");
    for (const char* letter : {"urz\xB9"
                               "dzenia",
                               "pr\xF3"
                               "bek",
                               "Cz\xEAstotliwo\x9C\xE6"}) {
        EXPECT_NE(text.find(letter), std::string::npos) << letter;
    }
}

TEST(MeasurementFile, HeaderNumbersInBothLayouts) {
    struct Case {
        int64_t periodMs;
        double duration;
        const char* excelPeriod;
        const char* excelFrequency;
        const char* excelDuration;
        const char* textPeriod;
        const char* textFrequency;
        const char* textDuration;
    };
    const Case cases[] = {
        {100, 12.5, "100", "10,000000", "12,5", "100", "10.000000", "12.5"},
        {3, 1234567.25, "3", "333,333333", "1234567,25", "3", "333.333333", "1.23457e+06"},
        {10000000, 0.0001, "10000000", "0,000100", "0,0001", "10000000", "0.000100", "0.0001"},
        {0, 0, "0", "inf", "0", "0", "inf", "0"},  // a period of 0 cannot divide
    };
    FakeDateTimeTexts dates;
    const RegistrationTable table(dates);
    for (const Case& c : cases) {
        MeasurementFileInput input;
        input.periodMs = c.periodMs;
        input.duration = c.duration;
        const auto excel = Lines(Build(table, input, MeasurementFileFormat::Excel));
        const auto text = Lines(Build(table, input, MeasurementFileFormat::Text));
        EXPECT_EQ(excel[3], std::string("czas trwania pomiaru=\t") + c.excelDuration + "\t [s]");
        EXPECT_EQ(excel[5], std::string("Okres pr\xF3"
                                        "bkowania= \t") +
                                c.excelPeriod + "\t [ms]");
        EXPECT_EQ(excel[6], std::string("Cz\xEAstotliwo\x9C\xE6 pr\xF3"
                                        "bkowania=\t") +
                                c.excelFrequency +
                                "\t[pr\xF3"
                                "bek/sek]");
        EXPECT_EQ(text[3], std::string("czas trwania pomiaru= \t") + c.textDuration + " [s]");
        EXPECT_EQ(text[5], std::string("Okres pr\xF3"
                                       "bkowania= \t") +
                               c.textPeriod + " [ms]");
        EXPECT_EQ(text[6], std::string("Cz\xEAstotliwo\x9C\xE6 pr\xF3"
                                       "bkowania= \t") +
                               c.textFrequency +
                               "\t [pr\xF3"
                               "bek / sek]");
    }
}

TEST(MeasurementFile, ChannelColumnsOfPresentActiveSensorsOrOfRegisteredValues) {
    struct Case {
        bool present, active, registered, written;
    };
    const Case cases[] = {
        {true, true, false, true},    {true, false, false, false}, {false, true, false, false},
        {false, false, false, false}, {false, false, true, true},  {true, false, true, true},
    };
    for (const Case& c : cases) {
        FakeDateTimeTexts dates;
        RegistrationTable table(dates);
        RowSource s;
        s.sensorPresent[1] = c.registered;
        s.display[1].Show(42.0f);
        table.AddRow(s);
        MeasurementFileInput input;
        input.rowCount = table.RowCount();
        input.sensorPresent[1] = c.present;
        input.channelActive[1] = c.active;
        const WrittenChannels written = ChannelsToWrite(table, input);
        EXPECT_EQ(written.channel[1], c.written) << c.present << c.active << c.registered;
        EXPECT_FALSE(written.channel[0] || written.channel[2]);
        // Values registered before the sensor went away are saved, not dropped.
        const auto excel = Lines(Build(table, input, MeasurementFileFormat::Excel));
        EXPECT_EQ(excel[9], c.written ? "Index\tCzas [s]\tCzujnik_1\tPK1\tPK2\t"
                                      : "Index\tCzas [s]\tPK1\tPK2\t");
        if (c.registered) {
            EXPECT_EQ(excel[10], "0 \t0,000\t42,0000\t\t\t");
        }
    }
}

TEST(MeasurementFile, FirstRowSetsTheInformationWidthLaterLongerRowsWidenOnlyThemselves) {
    FakeDateTimeTexts dates;
    dates.datePrefix = "środa ";  // 6 bytes in Windows-1250, 7 in UTF-8
    RegistrationTable table(dates);
    table.boxes().time = true;
    table.AddRow(Row(1, kMoment, 1, 1, true, false));  // "0 (14:03:07)": W = 17
    table.boxes().date = true;
    table.AddRow(Row(2, kMoment, 1, 1, true, false));  // "1 (środa 08.05.2024 14:03:07)"
    table.boxes().date = table.boxes().time = false;
    table.AddRow(Row(3, kMoment, 1, 1, true, false));  // "2 "
    MeasurementFileInput input;
    input.rowCount = table.RowCount();
    const auto text = Lines(Build(table, input, MeasurementFileFormat::Text));
    const size_t rest = 15 + 15 + 15 + 8 + 8;
    EXPECT_EQ(text[11],
              "|      Index    ||    Czas [s] ||  Czujnik_0  ||  Czujnik_1  ||  PK1 ||  PK2 |");
    EXPECT_EQ(text[12], std::string(17 + rest, '-'));
    EXPECT_EQ(text[13].substr(0, 17), "|  0 (14:03:07) |");
    EXPECT_EQ(text[14].substr(0, 32), "|1 (\x9Croda 08.05.2024 14:03:07) |");
    EXPECT_EQ(text[14].size(), 32 + rest);
    EXPECT_EQ(text[15].substr(0, 17), "|            2  |");
    EXPECT_EQ(text[15].size(), 17 + rest);
}

TEST(MeasurementFile, SaveCoversTheRowsPresentWhenItStarted) {
    FixedPeriodScenario s;
    s.input.rowCount = 3;  // two registrations when the save started
    const auto excel = Lines(Build(s.table, s.input, MeasurementFileFormat::Excel));
    EXPECT_EQ(excel[4],
              "Ilosc pr\xF3"
              "bek=\t2");
    ASSERT_EQ(excel.size(), 12u);
    EXPECT_EQ(excel[11].substr(0, 13), "1 (14:03:07)\t");
}

// Found by the measurement-file fuzz target: a device type, date or time text holding a
// line break, a tab or a NUL broke the file's lines and cells. Such characters are
// written as blanks; the line and cell structure stays that of plain texts.
TEST(MeasurementFile, ControlCharactersInOutsideTextsBecomeBlanks) {
    FixedPeriodScenario s;
    s.dates.datePrefix = "\xC5\x9Br.\t\r\n";  // "śr." and three control characters
    s.table.boxes().date = true;
    s.table.AddRow(Row(2.5, kMoment, 1, 2, true, false));
    s.input.rowCount = s.table.RowCount();
    s.input.typeName = "KT\r\n210V";
    s.input.dateText = std::string("08.05\n2024\0", 11);
    s.input.timeText = "14:03\t07\x7F";
    const auto excel = Lines(Build(s.table, s.input, MeasurementFileFormat::Excel));
    ASSERT_EQ(excel.size(), 14u);
    EXPECT_EQ(excel[0],
              "typ urz\xB9"
              "dzenia=\tKT  210V");
    EXPECT_EQ(excel[1], "data pomiaru=\t08.05 2024 ");
    EXPECT_EQ(excel[2], "godzina pomiaru= \t14:03 07 ");
    EXPECT_EQ(excel[13], "3 (\x9Cr.   08.05.2024 14:03:07)\t2,500\t1,0000\t2,0000\t0\t\t");
    const auto text = Lines(Build(s.table, s.input, MeasurementFileFormat::Text));
    ASSERT_EQ(text.size(), 17u);
    EXPECT_EQ(text[1], "data pomiaru= \t\t\"08.05 2024 \"");
    EXPECT_EQ(text[16].substr(0, 32), "|3 (\x9Cr.   08.05.2024 14:03:07) |");
}

TEST(MeasurementFileSave, ExtensionPicksTheLayoutInAnyLetterCase) {
    using S = MeasurementFileChoice::Status;
    using F = MeasurementFileFormat;
    struct Case {
        const char* name;
        F filter;
        S status;
        F format;
        const char* path;
    };
    const Case cases[] = {
        {"a.txt", F::Excel, S::Ready, F::Text, "a.txt"},
        {"a.TXT", F::Excel, S::Ready, F::Text, "a.TXT"},
        {"a.Xls", F::Text, S::Ready, F::Excel, "a.Xls"},
        {"/tmp/x.d/a.XLS", F::Text, S::Ready, F::Excel, "/tmp/x.d/a.XLS"},
        {"pomiar", F::Excel, S::Ready, F::Excel, "pomiar.xls"},
        {"/tmp/x.d/pomiar", F::Text, S::Ready, F::Text, "/tmp/x.d/pomiar.txt"},
        {"a.xlsx", F::Text, S::Ready, F::Xlsx, "a.xlsx"},
        {"a.XLSX", F::Csv, S::Ready, F::Xlsx, "a.XLSX"},
        {"a.Csv", F::Excel, S::Ready, F::Csv, "a.Csv"},
        {"pomiar", F::Xlsx, S::Ready, F::Xlsx, "pomiar.xlsx"},
        {"pomiar", F::Csv, S::Ready, F::Csv, "pomiar.csv"},
        {"a.xlsm", F::Xlsx, S::Refused, F::Text, "a.xlsm"},
        {"a.csv.txt.xlsx.", F::Csv, S::Refused, F::Text, "a.csv.txt.xlsx."},
        {"a.doc", F::Text, S::Refused, F::Text, "a.doc"},
        {"a.", F::Text, S::Refused, F::Text, "a."},
        {"a.txt.bak", F::Text, S::Refused, F::Text, "a.txt.bak"},
        {"", F::Text, S::NoName, F::Text, ""},
    };
    for (const Case& c : cases) {
        const MeasurementFileChoice choice = ChooseMeasurementFile(c.name, c.filter);
        EXPECT_EQ(choice.status, c.status) << c.name;
        if (c.status == S::Ready) {
            EXPECT_EQ(choice.format, c.format) << c.name;
            EXPECT_EQ(choice.path, c.path);
        }
        if (c.status == S::Refused) {
            EXPECT_NE(choice.reason.find("rozszerzenie"), std::string::npos);
        }
    }
}

TEST(MeasurementFileSave, WritesTheBuiltBytesUnderTheChosenName) {
    TempFolder dir;
    FixedPeriodScenario s;
    const MeasurementSaveResult result =
        SaveMeasurementFile(dir / "pomiar", MeasurementFileFormat::Excel, s.table, s.input);
    ASSERT_TRUE(result.written()) << result.reason;
    EXPECT_EQ(result.path, dir / "pomiar.xls");
    EXPECT_EQ(ReadBytes(dir / "pomiar.xls"), ReadBytes(kData + "fixed_period.xls"));

    const MeasurementSaveResult upper =
        SaveMeasurementFile(dir / "POMIAR.TXT", MeasurementFileFormat::Excel, s.table, s.input);
    ASSERT_TRUE(upper.written()) << upper.reason;
    EXPECT_EQ(ReadBytes(dir / "POMIAR.TXT"), ReadBytes(kData + "fixed_period.txt"));

    // "Zapisz" before any name was chosen writes nothing and is no failure.
    const MeasurementSaveResult none =
        SaveMeasurementFile("", MeasurementFileFormat::Text, s.table, s.input);
    EXPECT_EQ(none.status, MeasurementSaveResult::Status::NoName);
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"POMIAR.TXT", "pomiar.xls"}));
}

ssize_t DiskFull(int, const void*, size_t) {
    errno = ENOSPC;
    return -1;
}

// A big table is written in pieces as it is made: the file is the bytes built whole, and
// a disk that fills up after the first piece leaves the previous file as it was.
TEST(MeasurementFileSave, FileOfManyPiecesIsWrittenWholeOrNotAtAll) {
    TempFolder dir;
    const kt::test::FilledTable big(40000);
    const std::string bytes = big.Bytes();
    ASSERT_GT(bytes.size(), 2u << 20);
    ASSERT_TRUE(big.Save(dir / "big.txt").written());
    EXPECT_EQ(ReadBytes(dir / "big.txt"), bytes);
    static size_t written;
    written = 0;
    FileSystemCalls fillsUp;
    fillsUp.write = [](int fd, const void* data, size_t size) -> ssize_t {
        if (written > 0) return DiskFull(fd, data, size);
        written += size;
        return ::write(fd, data, size);
    };
    const MeasurementSaveResult result = big.Save(dir / "big.txt", fillsUp);
    EXPECT_EQ(result.error, ENOSPC);
    EXPECT_GT(written, 0u);
    EXPECT_EQ(ReadBytes(dir / "big.txt"), bytes);
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"big.txt"}));
}

TEST(MeasurementFileSave, FailedSaveReturnsTheReasonAndKeepsThePreviousFile) {
    TempFolder dir;
    FixedPeriodScenario s;
    WriteBytes(dir / "plik", "not a folder");
    WriteBytes(dir / "old.txt", "previous measurement\r\n");
    WriteBytes(dir / "old.doc", "a document\r\n");
    FileSystemCalls fullDisk;
    fullDisk.write = DiskFull;
    struct Case {
        std::string name;
        FileSystemCalls calls;
        int error;
        std::string reason;
    };
    const Case cases[] = {
        {dir / "plik/pomiar.txt", {}, ENOTDIR, std::strerror(ENOTDIR)},
        {dir / "old.txt", fullDisk, ENOSPC, std::strerror(ENOSPC)},
        {dir / "old.doc",
         {},
         0,
         "Nieobsługiwane rozszerzenie pliku \".doc\" (dozwolone: .txt, .xls, .xlsx, .csv)."},
    };
    for (const Case& c : cases) {
        const MeasurementSaveResult result =
            SaveMeasurementFile(c.name, MeasurementFileFormat::Text, s.table, s.input, c.calls);
        EXPECT_EQ(result.status, MeasurementSaveResult::Status::Failed) << c.name;
        EXPECT_EQ(result.error, c.error);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_EQ(SaveFailureMessage(result),
                  "Nie udało się zapisać pliku \"" + c.name + "\":\n" + c.reason);
    }
    EXPECT_EQ(ReadBytes(dir / "old.txt"), "previous measurement\r\n");
    EXPECT_EQ(ReadBytes(dir / "old.doc"), "a document\r\n");
    EXPECT_EQ(dir.Entries(), (std::set<std::string>{"old.doc", "old.txt", "plik"}));
}

}  // namespace
