#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "CellFormats.h"
#include "FakeDateTimeTexts.h"
#include "RegistrationTable.h"

using namespace kt::measurement;
using kt::test::FakeDateTimeTexts;

namespace {

constexpr int64_t kMoment = FakeDateTimeTexts::kMoment;  // 08.05.2024 14:03:07

// All three sensors present; displays showing 12.3456 and 200.0, the third never shown.
RowSource Source(double elapsed = 3.25) {
    RowSource s;
    s.elapsed = elapsed;
    s.wallTime = kMoment;
    s.sensorPresent[0] = s.sensorPresent[1] = s.sensorPresent[2] = true;
    s.display[0].Show(12.3456f);
    s.display[1].Show(200.0f);
    return s;
}

std::vector<std::string> RowTexts(const RegistrationTable& table, int row) {
    std::vector<std::string> texts;
    for (int column = 0; column < table.ColumnCount(); ++column) {
        texts.push_back(table.CellText(row, column));
    }
    return texts;
}

using Texts = std::vector<std::string>;

TEST(RegistrationTable, FreshTableHasTitlesAndOneEmptyRow) {
    FakeDateTimeTexts dates;
    const RegistrationTable table(dates);
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.rowsRegistered(), 0);
    EXPECT_EQ(RowTexts(table, 0), (Texts{"Index", "Czas [s]", "Czujnik 0", "Czujnik 1", "Czujnik 2",
                                         "PK1", "PK2", "", ""}));
    EXPECT_EQ(RowTexts(table, 1), Texts(9, ""));
    EXPECT_EQ(table.CellText(2, 1), "");
    EXPECT_EQ(table.CellText(0, 9), "");
    EXPECT_EQ(table.CellText(-1, 0), "");
    EXPECT_FALSE(table.ReadButtonEnabled());
}

TEST(RegistrationTable, DefaultBoxesRegisterNumberTimeAndChannelDisplays) {
    FakeDateTimeTexts dates;
    RegistrationTable table(dates);
    table.AddRow(Source());
    EXPECT_EQ(RowTexts(table, 1),
              (Texts{"0 ", "3,250", "12,3456", "200,0000", "-------------", "", "", "", ""}));
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.rowsRegistered(), 1);
    EXPECT_EQ(table.ColumnWidth(0), 60);
    EXPECT_EQ(dates.calls, 0);  // no date or time asked for

    table.AddRow(Source(1.2345));  // binary 1.23449999..., printf rounds it down
    EXPECT_EQ(table.CellText(2, 0), "1 ");
    EXPECT_EQ(table.CellText(2, 1), "1,234");
    EXPECT_EQ(table.RowCount(), 3);
}

TEST(RegistrationTable, InformationColumnFollowsTheBoxesAtRegistration) {
    struct Case {
        bool number, date, time;
        const char* text;
        int width;
    };
    const Case cases[] = {
        {true, false, false, "4 ", 60},
        {true, true, false, "4 (08.05.2024)", 110},
        {true, false, true, "4 (14:03:07)", 110},
        {true, true, true, "4 (08.05.2024 14:03:07)", 160},
        {false, true, true, "(08.05.2024 14:03:07)", 160},
        {false, false, false, "", 60},
    };
    for (const Case& c : cases) {
        FakeDateTimeTexts dates;
        RegistrationTable table(dates);
        for (int i = 0; i < 4; ++i) table.AddRow(Source());
        table.boxes().sampleNumber = c.number;
        table.boxes().date = c.date;
        table.boxes().time = c.time;
        table.AddRow(Source());
        EXPECT_EQ(table.CellText(5, 0), c.text);
        EXPECT_EQ(table.ColumnWidth(0), c.width) << c.text;
        EXPECT_EQ(table.CellText(4, 0), "3 ");  // earlier rows keep what they were made with
    }
}

// From the displays to the cells: an inactive channel keeps its last value, a channel
// whose display never showed anything registers the dashes.
TEST(RegistrationTable, RegistersWhatTheDisplaysShowUnderTheAktywnyRule) {
    FakeDateTimeTexts dates;
    RegistrationTable table(dates);
    RowSource s = Source();
    ChannelDisplay displays[3];
    ShowMeasurement(displays, {true, true, false}, {10.5f, 20.25f, 30.0f});
    ShowMeasurement(displays, {true, false, false}, {11.5f, 21.25f, 31.0f});
    std::copy(std::begin(displays), std::end(displays), std::begin(s.display));
    table.AddRow(s);
    EXPECT_EQ(table.CellText(1, 2), "11,5000");
    EXPECT_EQ(table.CellText(1, 3), "20,2500");
    EXPECT_EQ(table.CellText(1, 4), "-------------");
    EXPECT_EQ(DisplayText(displays[1]), "20.2500");
    EXPECT_EQ(DisplayText(displays[2]), "-------------");
}

TEST(RegistrationTable, UntickedBoxesLeaveCellsEmptyButTheRowStillCounts) {
    FakeDateTimeTexts dates;
    RegistrationTable table(dates);
    RegistrationBoxes& b = table.boxes();
    b.sampleNumber = b.elapsedTime = false;
    b.channel[0] = b.channel[1] = b.channel[2] = false;
    table.AddRow(Source());
    table.AddRow(Source());
    EXPECT_EQ(table.rowsRegistered(), 2);
    EXPECT_EQ(table.RowCount(), 3);
    EXPECT_EQ(RowTexts(table, 1), Texts(9, ""));
    EXPECT_EQ(RowTexts(table, 2), Texts(9, ""));
}

TEST(RegistrationTable, OutputColumnsHoldTheStatesWhenTicked) {
    FakeDateTimeTexts dates;
    RegistrationTable table(dates);
    table.boxes().pk1 = table.boxes().pk2 = true;
    RowSource s = Source();
    s.outputOn[0] = true;
    table.AddRow(s);
    s.outputOn[0] = false;
    s.outputOn[1] = true;
    table.AddRow(s);
    table.boxes().pk2 = false;
    table.AddRow(s);
    EXPECT_EQ(table.CellText(1, 5) + table.CellText(1, 6), "10");
    EXPECT_EQ(table.CellText(2, 5) + table.CellText(2, 6), "01");
    EXPECT_EQ(table.CellText(3, 5) + "/" + table.CellText(3, 6), "0/");
}

TEST(RegistrationTable, ChannelAbsentFromTheLatestAnswerRegistersAnEmptyCell) {
    FakeDateTimeTexts dates;
    RegistrationTable table(dates);
    RowSource s = Source();
    s.sensorPresent[1] = false;  // its display still shows the last value, 200.0000
    table.AddRow(s);
    EXPECT_EQ(RowTexts(table, 1),
              (Texts{"0 ", "3,250", "12,3456", "", "-------------", "", "", "", ""}));
    EXPECT_FALSE(table.ColumnHoldsValues(3, table.RowCount()));
    EXPECT_TRUE(table.ColumnHoldsValues(4, table.RowCount()));  // the dashes are a value
}

TEST(RegistrationTable, ThirtyRegistrationsScrollToRowFour) {
    FakeDateTimeTexts dates;
    RegistrationTable table(dates);
    const std::pair<int, std::optional<int>> expected[] = {
        {1, std::nullopt}, {27, std::nullopt}, {28, 2}, {30, 4}};
    int added = 0;
    for (const auto& [count, top] : expected) {
        while (added < count) {
            table.AddRow(Source());
            ++added;
        }
        EXPECT_EQ(table.RowCount(), count + 1);
        EXPECT_EQ(table.TopRowToShow(), top) << count;
    }
}

TEST(RegistrationTable, ClearingRestartsNumberingAndKeepsTitlesAndWidths) {
    FakeDateTimeTexts dates;
    RegistrationTable table(dates);
    table.boxes().date = true;
    for (int i = 0; i < 3; ++i) table.AddRow(Source());
    table.Clear();
    EXPECT_EQ(table.RowCount(), 2);
    EXPECT_EQ(table.rowsRegistered(), 0);
    EXPECT_EQ(RowTexts(table, 1), Texts(9, ""));
    EXPECT_EQ(table.CellText(0, 2), "Czujnik 0");
    EXPECT_EQ(table.ColumnWidth(0), 110);
    table.boxes().date = false;
    table.AddRow(Source());
    EXPECT_EQ(table.CellText(1, 0), "0 ");
}

TEST(RegistrationTable, ColouredColumnsOnlyWithKolorTicked) {
    FakeDateTimeTexts dates;
    RegistrationTable table(dates);
    using B = CellBackground;
    const B coloured[9] = {B::ButtonFace, B::Window, B::Red,    B::Lime,  B::Aqua,
                           B::White,      B::Orange, B::Window, B::Window};
    for (int column = 0; column < 9; ++column) {
        EXPECT_EQ(table.Background(0, column), B::ButtonFace);
        EXPECT_EQ(table.Background(3, column), coloured[column]) << column;
    }
    table.boxes().colour = false;
    for (int column = 1; column < 9; ++column) EXPECT_EQ(table.Background(1, column), B::Window);
    EXPECT_EQ(table.Background(1, 0), B::ButtonFace);
    const Rgb orange = ColourOf(B::Orange), aqua = ColourOf(B::Aqua);
    EXPECT_EQ(orange.r * 65536 + orange.g * 256 + orange.b, 0xFF8000);
    EXPECT_EQ(aqua.r * 65536 + aqua.g * 256 + aqua.b, 0x00FFFF);
}

// The cells must read exactly as the display's printf text with decimal commas.
TEST(RegistrationTable, CellTextsMatchTheDisplayFormatsForAnyValue) {
    FakeDateTimeTexts dates;
    RegistrationTable table(dates);
    std::mt19937 random(7);
    std::vector<float> values = {0.0f,    -0.0f,    359.99994f, 0.00005f, -1e-7f,
                                 3.4e38f, INFINITY, -INFINITY,  NAN};
    for (int i = 0; i < 3000; ++i) {
        values.push_back(std::uniform_real_distribution<float>(-720, 720)(random));
    }
    for (const float v : values) {
        RowSource s = Source(v * 3.7);
        s.display[2].Show(v);
        table.AddRow(s);
        const int row = table.rowsRegistered();
        char display[128], elapsed[512];
        std::snprintf(display, sizeof display, "%3.4f", v);
        std::snprintf(elapsed, sizeof elapsed, "%2.3f", v * 3.7);
        ASSERT_EQ(table.CellText(row, 4), DotToComma(display));
        ASSERT_EQ(table.CellText(row, 1), DotToComma(elapsed));
    }
}

}  // namespace
