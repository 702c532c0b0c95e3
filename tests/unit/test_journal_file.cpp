// The run journal below the window: a run handed round by the sampling clock as in the
// window, with rows by button, boxes and output lines changed, the chart cleared and values
// a chart refuses, read back cell for cell and point for point. Then journals as a crash or
// a power cut leave them, and files that are no journal of ours.
#include <fcntl.h>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "FakeDateTimeTexts.h"
#include "Fakes.h"
#include "JournalFile.h"
#include "RegistrationSource.h"
#include "RunJournal.h"
#include "TempFolder.h"

using namespace kt::measurement;
using Status = JournalScan::Status;

namespace {

class FixedClock : public HundredthsClock {
public:
    int64_t now = 100;
    int64_t NowHundredths() override { return now; }
};

struct Each : SampleSubscriber {
    explicit Each(std::function<void(const Sample&)> f) : f_(std::move(f)) {}
    void OnSample(const Sample& s) override { f_(s); }
    std::function<void(const Sample&)> f_;
};

class JournalRun : public ::testing::Test {
protected:
    static int64_t Wall() { return kt::test::FakeDateTimeTexts::kMoment; }
    kt::test::TempFolder dir;
    const std::string path = dir / kJournalFileName;
    kt::device::DeviceState device;
    kt::test::RecordingSink sink;
    kt::device::FrameSender sender{sink, nullptr};
    kt::test::FakeDialogs dialogs;
    SilentSamplingView view;
    FixedClock clock;
    SamplingClock sampling{device, sender, dialogs, view, clock, ','};
    kt::test::FakeDateTimeTexts texts;
    IndicatorModel indicator{device, ','};
    RegistrationTable table{texts};
    ChartStore chart;
    bool recording = true;
    OutputLine lines[2] = {{50, 0}, {50, 75}};
    kt::test::FakeWarnings log;
    std::unique_ptr<RunJournal> journal;

    // The window's subscribers: displays, channel points, autoodczyt, output points.
    Each channelPoints{[this](const Sample& s) {
        ChartSample points{s.elapsed, {}, {}, {s.outputOn[0], s.outputOn[1]}};
        for (int c = 0; c < 3; ++c) {
            points.active[c] = indicator.TakesSample(c, s);
            points.angle[c] = s.angle[c];
        }
        if (recording) chart.AppendChannelPoints(points);
    }};
    Each autoRead{[this](const Sample& s) {
        if (table.boxes().autoRead) table.AddRow(RowSourceOf(indicator, s, Wall()));
    }};
    Each outputPoints{[this](const Sample& s) {
        ChartSample points{s.elapsed, {}, {}, {s.outputOn[0], s.outputOn[1]}};
        if (recording) chart.AppendOutputPoints(points, lines[0], lines[1]);
    }};

    void SetUp() override {
        device.deviceReady = true;
        device.typeStatus = kt::device::TypeStatus::Recognised;
        device.typeName = "KT210V";
        device.sensorPresent[0] = device.sensorPresent[1] = true;
        indicator.SetActive(0, true);
        sampling.Subscribe(indicator);
        sampling.Subscribe(channelPoints);
        sampling.Subscribe(autoRead);
        sampling.Subscribe(outputPoints);
        const JournalOpen file = OpenJournalFile(path);
        ASSERT_GE(file.fd, 0);
        journal = std::make_unique<RunJournal>(
            file.fd, path, log,
            [this](RunSettings& s) {
                s.SetTypeName(device.typeName);
                s.periodMs = static_cast<uint32_t>(sampling.PeriodMs());
                for (int i = 0; i < 3; ++i) s.sensorPresent[i] = device.sensorPresent[i];
                s.boxes = table.boxes();
            },
            std::nullopt, &sampling, Wall);
        table.SetListener(journal.get());
        chart.SetListener(journal.get());
        sampling.Subscribe(*journal);
        sampling.Start();
    }
    void Measure(float angle, bool pk1 = false, bool pk2 = false) {
        clock.now += 1;
        sampling.OnIdle();
        device.angle[0] = angle;
        device.angle[1] = angle / 2;
        device.outputOn[0] = pk1;
        device.outputOn[1] = pk2;
        sampling.MeasurementUpdate();
    }
    void ReadButton() {
        table.AddRow(RowSourceOf(indicator, device.sensorPresent, sampling.RunElapsed(), Wall()));
    }
};

TEST_F(JournalRun, ReadBackItRebuildsTheTableAndTheChartExactly) {
    for (int i = 0; i < 30; ++i) Measure(i * 11.25f, i % 3 == 0, i % 5 == 0);
    ReadButton();  // between measurements: a record of its own
    table.boxes().date = table.boxes().time = table.boxes().pk1 = true;
    sampling.SetPeriodMs(250);
    lines[0] = {20, 5};
    Measure(NAN, true);  // a value the chart refuses
    chart.Clear();
    indicator.SetActive(1, true);
    table.boxes().autoRead = false;
    Measure(300.5f);
    recording = false;
    table.boxes().autoRead = true;
    Measure(12.0f);
    sampling.Stop();
    Measure(13.0f);  // the answer after STOP, stamped with the run's time
    ReadButton();    // same elapsed time, by button
    journal->Flush();

    RegistrationTable back(texts);
    ChartStore backChart;
    const int fd = open(path.c_str(), O_RDONLY);  // the journal stays locked by its writer
    const JournalScan scan =
        ReadJournal(fd, [&](const JournalRecord& r) { ApplyRecord(r, back, &backChart); });
    EXPECT_EQ(scan.status, Status::Journal);
    EXPECT_FALSE(scan.damaged || scan.torn);
    ASSERT_EQ(back.rowsRegistered(), table.rowsRegistered());
    for (int r = 0; r < table.RowCount(); ++r) {
        for (int c = 0; c < kRegistrationColumns; ++c) {
            EXPECT_EQ(back.CellText(r, c), table.CellText(r, c)) << r << "," << c;
        }
    }
    EXPECT_EQ(back.ColumnWidth(0), 160);
    const auto points = [](const ChartSeries& series) {
        std::vector<std::pair<double, float>> all;
        series.ForEach([&](double x, float y) { all.emplace_back(x, y); });
        return all;
    };
    for (int i = 0; i < kSeriesCount; ++i) {
        EXPECT_EQ(points(backChart.Series(i)), points(chart.Series(i))) << i;
    }
    EXPECT_EQ(scan.settings.periodMs, 250u);
    EXPECT_EQ(scan.settings.boxes, table.boxes());
    EXPECT_EQ(scan.settings.TypeName(), "KT210V");
    EXPECT_EQ(scan.lastElapsed, sampling.RunElapsed());
    close(fd);

    // Clearing the table starts the journal afresh.
    table.Clear();
    journal->Flush();
    EXPECT_EQ(kt::test::ReadBytes(path), "");
    EXPECT_TRUE(log.Lines().empty());
}

// A journal of five measurements, as a crash, a power cut or another program leave it.
TEST_F(JournalRun, DamagedJournalsAreReadUpToTheirLastSoundRecord) {
    for (int i = 0; i < 5; ++i) Measure(i * 1.5f);
    journal->Flush();
    const std::string whole = kt::test::ReadBytes(path);
    // One record a measurement, its row and its chart points together.
    ASSERT_EQ(whole.size(), kJournalHeaderSize + 5 * kJournalRecordSize);
    const auto scanOf = [&](const std::string& bytes) {
        kt::test::WriteBytes(dir / "cut", bytes);
        const int fd = open((dir / "cut").c_str(), O_RDONLY);
        const JournalScan scan = ReadJournal(fd);
        close(fd);
        return scan;
    };
    // Cut at every byte of the header and of the last three records.
    for (size_t cut = 0; cut <= whole.size(); ++cut) {
        if (cut >= kJournalHeaderSize && cut < whole.size() - 3 * kJournalRecordSize) continue;
        const JournalScan scan = scanOf(whole.substr(0, cut));
        const size_t records = cut < kJournalHeaderSize ? 0 : (cut - kJournalHeaderSize) / 44;
        EXPECT_EQ(scan.status, cut < kJournalHeaderSize ? Status::Empty : Status::Journal);
        EXPECT_EQ(scan.samples, records) << cut;
        EXPECT_EQ(scan.torn, cut > kJournalHeaderSize && (cut - kJournalHeaderSize) % 44 != 0);
        EXPECT_FALSE(scan.damaged) << cut;
    }
    std::string other(kJournalRecordSize, '\0');  // a sound record of another journal
    EncodeRecord(JournalRecord{}, 12345, reinterpret_cast<uint8_t*>(other.data()));
    const struct {
        const char* what;
        std::string bytes;
        Status status;
        uint64_t samples;
    } cases[] = {
        {"a byte of the third record spoiled", std::string(whole).replace(170, 1, "x"),
         Status::Journal, 2},
        {"a block of zeros after it", whole + std::string(4096, '\0'), Status::Journal, 5},
        {"a record of another journal after it", whole + other, Status::Journal, 5},
        {"another magic", "KT210VJX" + whole.substr(8), Status::Foreign, 0},
        {"a newer version", std::string(whole).replace(8, 1, "\x02"), Status::Foreign, 0},
        {"a damaged header", std::string(whole).replace(30, 1, "?"), Status::Foreign, 0},
    };
    for (const auto& c : cases) {
        const JournalScan scan = scanOf(c.bytes);
        EXPECT_EQ(scan.status, c.status) << c.what;
        EXPECT_EQ(scan.samples, c.samples) << c.what;
        EXPECT_EQ(scan.damaged, c.status == Status::Journal) << c.what;
        EXPECT_FALSE(scan.problem.empty()) << c.what;
    }
}

}  // namespace
