// The chart's data exports: the spreadsheet and CSV rows of every series, their number
// forms read back to the stored values, and the export of an emptied chart.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ChartTextExport.h"
#include "Numbers.h"
#include "SettingsFile.h"

using namespace kt::measurement;

namespace {

std::string Build(const ChartStore& store, ChartTextLayout layout) {
    std::string bytes, reason;
    EXPECT_TRUE(BuildChartText(store, layout, bytes, reason)) << reason;
    return bytes;
}

// Lines split at CR LF, each split into its cells.
std::vector<std::vector<std::string>> Cells(const std::string& bytes, char separator) {
    std::vector<std::vector<std::string>> rows;
    size_t start = 0;
    for (size_t end; (end = bytes.find("\r\n", start)) != std::string::npos; start = end + 2) {
        std::vector<std::string> cells(1);
        for (size_t i = start; i < end; ++i) {
            if (bytes[i] == separator) {
                cells.emplace_back();
            } else {
                cells.back() += bytes[i];
            }
        }
        rows.push_back(cells);
    }
    EXPECT_EQ(start, bytes.size()) << "the last line ends in CR LF";
    return rows;
}

std::string CommaToDot(std::string text) {
    for (char& c : text) {
        if (c == ',') c = '.';
    }
    return text;
}

}  // namespace

TEST(ChartTextExport, SpreadsheetHoldsEveryPointOfEverySeriesInOrder) {
    ChartStore store;
    const OutputLine pk1 = kOutputLinesAtStart[0], pk2 = kOutputLinesAtStart[1];
    store.AppendMeasurement({0.01, {123.4f, 0, 359.99f}, {true, false, true}, {false, false}}, pk1,
                            pk2);
    store.AppendMeasurement({0.5, {-0.5f, 0, 1e-6f}, {true, false, true}, {true, true}}, pk1, pk2);
    const std::string expected =
        "Seria\tIndeks\tX\tY\tEtykieta\tKolor\r\n"
        "Czujnik 0\t0\t0,01\t123,4\t\t#FF0000\r\n"
        "Czujnik 0\t1\t0,5\t-0,5\t\t#FF0000\r\n"
        "Czujnik 2\t0\t0,01\t359,99\t\t#00FFFF\r\n"
        "Czujnik 2\t1\t0,5\t1E-6\t\t#00FFFF\r\n"
        "PK1\t0\t0,01\t0\t\t#FFFFFF\r\n"
        "PK1\t1\t0,5\t50\t\t#FFFFFF\r\n"
        "PK2\t0\t0,01\t75\t\t#FFFFFF\r\n"  // drawn orange, but its points are white
        "PK2\t1\t0,5\t125\t\t#FFFFFF\r\n";
    EXPECT_EQ(Build(store, ChartTextLayout::Spreadsheet), expected);

    // The CSV has the same cells with decimal points.
    const auto csv = Cells(Build(store, ChartTextLayout::Csv), ',');
    const auto xls = Cells(expected, '\t');
    ASSERT_EQ(csv.size(), xls.size());
    for (size_t row = 0; row < csv.size(); ++row) {
        ASSERT_EQ(csv[row].size(), 6u) << row;
        for (size_t cell = 0; cell < 6; ++cell) {
            EXPECT_EQ(csv[row][cell], CommaToDot(xls[row][cell])) << row << " " << cell;
        }
    }
}

template <typename T, typename Bits>
T RandomFinite(std::mt19937_64& random) {
    T value;
    do {
        const Bits bits = static_cast<Bits>(random());
        std::memcpy(&value, &bits, sizeof value);
    } while (!std::isfinite(value));
    return value;
}

TEST(ChartTextExport, NumbersAreInTheGeneralFormAndReadBack) {
    // Values of every size and sign: X in the general form of 15 digits, Y in that of
    // its shortest decimal, which reads back as the very float stored.
    std::mt19937_64 random(7);
    ChartStore store;
    std::vector<std::pair<double, float>> stored;
    for (int i = 0; i < 4000; ++i) {
        const double x = i % 4 == 0 ? i * 0.01 : RandomFinite<double, uint64_t>(random);
        const float y =
            i % 5 == 0 ? static_cast<float>(i % 360) : RandomFinite<float, uint32_t>(random);
        store.Series(0).Add(x, y);
        stored.emplace_back(x, y);
    }
    stored.emplace_back(-0.0, -0.0f);
    store.Series(0).Add(-0.0, -0.0f);
    std::stable_sort(stored.begin(), stored.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const ChartTextLayout layout : {ChartTextLayout::Spreadsheet, ChartTextLayout::Csv}) {
        const bool csv = layout == ChartTextLayout::Csv;
        const auto rows = Cells(Build(store, layout), csv ? ',' : '\t');
        ASSERT_EQ(rows.size(), stored.size() + 1);
        for (size_t i = 0; i < stored.size(); ++i) {
            const auto& row = rows[i + 1];
            ASSERT_EQ(row.size(), 6u);
            EXPECT_EQ(row[1], std::to_string(i));
            const auto [x, y] = stored[i];
            EXPECT_EQ(row[2], kt::device::GeneralForm(x, csv ? '.' : ','));
            EXPECT_EQ(row[3], kt::device::GeneralForm(ShortestDecimal(y), csv ? '.' : ','));
            EXPECT_EQ(std::strtof(CommaToDot(row[3]).c_str(), nullptr), y) << row[3];
            EXPECT_EQ(row[4], "");
        }
    }
}

TEST(ChartTextExport, ChartEmptiedByStopExportsTheHeaderOnly) {
    ChartStore store;  // start, three answers, stop
    for (int i = 0; i < 3; ++i) {
        store.AppendMeasurement({i * 0.1, {1, 2, 3}, {true, true, true}, {}}, {}, {});
    }
    store.Clear();
    EXPECT_EQ(Build(store, ChartTextLayout::Spreadsheet),
              "Seria\tIndeks\tX\tY\tEtykieta\tKolor\r\n");
    EXPECT_EQ(Build(store, ChartTextLayout::Csv), "Seria,Indeks,X,Y,Etykieta,Kolor\r\n");
}

TEST(ChartTextExport, ColourAndShortestForms) {
    EXPECT_EQ(ColourText({255, 128, 0}), "#FF8000");
    EXPECT_EQ(ColourText({0, 10, 171}), "#000AAB");
    EXPECT_EQ(ShortestDecimal(0.1f), 0.1);
    EXPECT_EQ(ShortestDecimal(123.4f), 123.4);
    EXPECT_EQ(ShortestDecimal(2147483648.f), 2147483648.0);  // whole numbers stay exact
    EXPECT_EQ(ShortestDecimal(std::numeric_limits<float>::denorm_min()), 1e-45);
}

// Without a settings file the output lines are those the dialog's fields start with, so
// showing the dialog for the first time cannot flatten the PK1 pulses to 0.
TEST(ChartTextExport, OutputLinesWithoutSettingsFileAreTheDialogsStartValues) {
    EXPECT_EQ(AppSettings{}.outputLines, kOutputLinesAtStart);
    EXPECT_EQ(ParseSettings("").settings.outputLines, kOutputLinesAtStart);
    EXPECT_EQ(OutputLevel(AppSettings{}.outputLines[0], true), 50.f);
}
