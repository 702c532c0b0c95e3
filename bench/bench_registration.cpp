// Registration table at a million rows: memory per row, cost of one AddRow, and the time
// to build and save a million-row measurement file in each layout.
#include <malloc.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "MeasurementFile.h"
#include "MeasurementFileSave.h"
#include "RegistrationTable.h"

using namespace kt::measurement;

namespace {

constexpr int kRows = 1000000;

class PlainDateTimeTexts : public DateTimeTexts {
public:
    std::string ShortDate(int64_t unixSeconds) const override {
        return Format(unixSeconds, "%d.%m.%Y");
    }
    std::string LongTime(int64_t unixSeconds) const override {
        return Format(unixSeconds, "%H:%M:%S");
    }

private:
    static std::string Format(int64_t unixSeconds, const char* format) {
        const time_t seconds = static_cast<time_t>(unixSeconds);
        struct tm t {};
        gmtime_r(&seconds, &t);
        char buf[64];
        return std::string(buf, strftime(buf, sizeof buf, format, &t));
    }
};

double Seconds(std::chrono::steady_clock::time_point since) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// A 10 ms run: the three channels turning, the outputs switching.
RowSource Sample(int i) {
    RowSource s;
    s.elapsed = i * 0.01;
    s.wallTime = 1715176987 + i / 100;
    for (int c = 0; c < 3; ++c) {
        s.sensorPresent[c] = true;
        s.display[c].Show(static_cast<float>((i * (c + 1)) % 36000) / 100.0f);
    }
    s.outputOn[0] = (i / 50) % 2;
    s.outputOn[1] = (i / 70) % 2;
    return s;
}

void FillTable(RegistrationTable& table, const char* what) {
    const size_t before = mallinfo2().uordblks;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kRows; ++i) table.AddRow(Sample(i));
    const double elapsed = Seconds(start);
    const size_t after = mallinfo2().uordblks;
    std::printf("%s: AddRow %.1f ns, %.1f bytes per row at %d rows (goal <= 64)\n", what,
                elapsed * 1e9 / kRows, static_cast<double>(after - before) / kRows, kRows);
}

long PeakKilobytes() {
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

void TimeSave(const RegistrationTable& table, MeasurementFileFormat format, const char* what) {
    MeasurementFileInput input;
    input.rowCount = table.RowCount();
    input.typeName = "KT210V";
    input.dateText = "08.05.2024";
    input.timeText = "14:03:07";
    input.duration = kRows * 0.01;
    input.periodMs = 10;
    for (int c = 0; c < 3; ++c) input.sensorPresent[c] = input.channelActive[c] = true;

    auto start = std::chrono::steady_clock::now();
    std::string bytes, reason;
    BuildMeasurementFile(table, input, format, bytes, reason);  // a workbook builds nothing
    const double build = Seconds(start);

    const std::string path =
        "/tmp/kt210v-bench-" + std::to_string(getpid()) + ExtensionOfFormat(format);
    // The peak memory grows by what the save needs beyond the table (measured first, so
    // no earlier, larger peak hides it).
    const long peakBefore = PeakKilobytes();
    start = std::chrono::steady_clock::now();
    const MeasurementSaveResult saved = SaveMeasurementFile(path, format, table, input);
    const double save = Seconds(start);
    const double extraMb = static_cast<double>(PeakKilobytes() - peakBefore) / 1024;
    struct stat st {};
    stat(path.c_str(), &st);
    unlink(path.c_str());
    const bool workbook = format == MeasurementFileFormat::Xlsx;
    std::printf(
        "%s: build %.3f s, save to disk %.3f s (%.1f MB file, peak +%.0f MB)%s (goal <= %s)\n",
        what, build, save, static_cast<double>(st.st_size) / 1e6, extraMb,
        saved.written() ? "" : " FAILED", workbook ? "10 s, 50 MB" : "1 s");
}

}  // namespace

int main() {
    PlainDateTimeTexts dates;
    RegistrationTable table(dates);
    FillTable(table, "default boxes");
    TimeSave(table, MeasurementFileFormat::Xlsx, " .xlsx, 1,000,000 rows");
    TimeSave(table, MeasurementFileFormat::Csv, "  .csv, 1,000,000 rows");
    TimeSave(table, MeasurementFileFormat::Text, "  .txt, 1,000,000 rows");
    TimeSave(table, MeasurementFileFormat::Excel, "  .xls, 1,000,000 rows");

    RegistrationTable stamped(dates);
    stamped.boxes().date = stamped.boxes().time = true;
    stamped.boxes().pk1 = stamped.boxes().pk2 = true;
    FillTable(stamped, "every box ticked");
    TimeSave(stamped, MeasurementFileFormat::Xlsx, " .xlsx, 1,000,000 rows");
    TimeSave(stamped, MeasurementFileFormat::Csv, "  .csv, 1,000,000 rows");
    TimeSave(stamped, MeasurementFileFormat::Text, "  .txt, 1,000,000 rows");
    TimeSave(stamped, MeasurementFileFormat::Excel, "  .xls, 1,000,000 rows");
    return 0;
}
