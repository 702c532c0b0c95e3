#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <string>

#include "ChartTextExport.h"
#include "ChartXlsxExport.h"
#include "FakeDateTimeTexts.h"
#include "MeasurementFileSave.h"
#include "TempFolder.h"

using namespace kt::measurement;
using kt::test::FakeDateTimeTexts;
using kt::test::TempFolder;

namespace {

// Runs the spreadsheet check on the files in `folder`. Appended piece by piece: GCC 12 at
// -O2 takes a chain of + on these literals for an overflow.
int RunCheck(const std::string& folder, const char* what) {
    std::string command = KT_SYSTEM_PYTHON3;
    command.append(" ").append(KT_SPREADSHEET_CHECK).append(" '").append(folder).append("'");
    command.append(what);
    const int status = std::system(command.c_str());
    if (status != 0) ADD_FAILURE() << command;
    return status;
}

}  // namespace

// The same table saved as .xls, .xlsx and .csv; an independent reader (Python's
// spreadsheet and csv modules) checks that the new files hold the .xls file's values as
// numbers, dates and times, and the workbook its titles, formats and colours.
TEST(MeasurementSpreadsheets, NewFormatsHoldTheTablesValuesAsNumbersAndDates) {
    FakeDateTimeTexts dates;
    RegistrationTable table{dates};
    table.boxes().date = table.boxes().time = table.boxes().pk1 = true;
    for (int r = 0; r < 40; ++r) {
        RowSource s;
        s.elapsed = r * 0.125 + 0.0004;
        s.wallTime = FakeDateTimeTexts::kMoment + r * 3700;
        s.sensorPresent[0] = s.sensorPresent[2] = true;
        s.display[0].Show(static_cast<float>(r * 9.1234 - 180));
        if (r % 3 != 0) s.display[2].Show(static_cast<float>(r) / 7.0f);
        s.outputOn[0] = r % 2 == 0;
        table.boxes().sampleNumber = r != 5;
        table.AddRow(s);
    }
    MeasurementFileInput input;
    input.rowCount = table.RowCount();
    input.typeName = "KT210V ąę";
    input.sensorPresent[0] = input.sensorPresent[2] = true;
    input.channelActive[0] = input.channelActive[2] = true;
    // Registration stamps are written in local time; the fake texts of the .xls are UTC.
    const char* zone = std::getenv("TZ");
    const std::string oldZone = zone ? zone : "";
    setenv("TZ", "UTC", 1);
    tzset();
    TempFolder dir;
    for (const char* name : {"run.xls", "run.xlsx", "run.csv"}) {
        const MeasurementSaveResult saved =
            SaveMeasurementFile(dir / name, MeasurementFileFormat::Text, table, input);
        ASSERT_TRUE(saved.written()) << name << ": " << saved.reason;
    }
    zone ? setenv("TZ", oldZone.c_str(), 1) : unsetenv("TZ");
    tzset();
    EXPECT_EQ(RunCheck(dir.path(), ""), 0);
}

// The chart's workbook holds the points of the comma-separated export, series side by
// side, continuing on a second and third sheet past the sheet's rows (3 here).
TEST(MeasurementSpreadsheets, ChartWorkbookHoldsEverySeriesSideBySideAcrossSheets) {
    ChartStore store;
    for (int i = 0; i < 8; ++i) {
        ChartSample sample;
        sample.elapsed = i * 0.1;
        sample.angle = {i * 1.5f, 0, -123.4f + static_cast<float>(i)};
        sample.active = {true, false, i < 5};
        sample.outputOn = {i % 2 == 1, false};
        store.AppendMeasurement(sample, OutputLine{10, 20}, OutputLine{5, 50});
    }
    TempFolder dir;
    std::string csv, reason;
    ASSERT_TRUE(BuildChartText(store, ChartTextLayout::Csv, csv, reason)) << reason;
    kt::test::WriteBytes(dir / "chart.csv", csv);
    ASSERT_EQ(WriteChartXlsx(dir / "chart.xlsx", store, reason, 3), 0) << reason;
    EXPECT_EQ(RunCheck(dir.path(), " chart"), 0);
}
