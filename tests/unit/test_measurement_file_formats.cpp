#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <random>
#include <string>

#include "CellFormats.h"
#include "Windows1250.h"

using namespace kt::measurement;

namespace {

std::string Printf(const char* format, double value) {
    char buf[512];
    std::snprintf(buf, sizeof buf, format, value);
    return buf;
}

TEST(Windows1250, ConvertsPolishLettersAndNeverFailsOnOtherInput) {
    Windows1250Encoder encoder;
    ASSERT_TRUE(encoder.ok()) << encoder.error();
    struct Case {
        const char* utf8;
        const char* expected;
    };
    const Case cases[] = {
        {"ąćęłńóśźż", "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF"},
        {"ĄĆĘŁŃÓŚŹŻ", "\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF"},
        {"Ilosc próbek=\t3",
         "Ilosc pr\xF3"
         "bek=\t3"},
        {"14:03\u202f", "14:03 "},  // narrow no-break space of some time formats
        {"a\U0001F600b", "a?b"},    // no form in the code page
        {"x\xFFy", "x?y"},          // not UTF-8
        {"end\xC4", "end?"},        // a sequence cut short
        {"", ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(encoder.Convert(c.utf8), c.expected) << c.utf8;
    }
}

TEST(Windows1250, TextEndsEveryLineWithCrLfTheLastIncluded) {
    Windows1250Text text;
    text.Line("typ urządzenia=");
    text.Line("");
    text.Text("ść");
    text.bytes() += "|1|";
    text.EndLine();
    EXPECT_EQ(text.bytes(),
              "typ urz\xB9"
              "dzenia=\r\n\r\n\x9C\xE6|1|\r\n");
}

TEST(CellFormats, FixedTextMatchesPrintfForEveryKindOfValue) {
    const double specials[] = {0.0,
                               -0.0,
                               0.00005,
                               0.0005,
                               1.2345,
                               2.5,
                               -1.5,
                               359.99994f,
                               12.3456f,
                               1e300,
                               -3.4e38,
                               std::numeric_limits<double>::infinity(),
                               -std::numeric_limits<double>::infinity(),
                               std::nan("")};
    std::mt19937_64 random(20240508);
    std::vector<double> values(std::begin(specials), std::end(specials));
    for (int i = 0; i < 20000; ++i) {
        const double magnitude = std::pow(10.0, std::uniform_real_distribution<>(-6, 9)(random));
        const double sign = (random() & 1) ? -1.0 : 1.0;
        values.push_back(sign * magnitude);
        values.push_back(static_cast<float>(sign * magnitude));  // a channel's float value
    }
    for (const double v : values) {
        std::string fixed4, fixed3, fixed6;
        AppendFixed(fixed4, v, 4);
        AppendFixedComma(fixed3, v, 3);
        AppendFixed(fixed6, v, 6);
        ASSERT_EQ(fixed4, Printf("%3.4f", v));
        ASSERT_EQ(fixed3, DotToComma(Printf("%2.3f", v)));
        ASSERT_EQ(fixed6, Printf("%3f", v));
    }
}

TEST(CellFormats, PadCellFramesRightAlignedAndNeverCuts) {
    EXPECT_EQ(PadCell(15, "12,345"), "|      12,345 |");
    EXPECT_EQ(PadCell(15, "12,345").size(), 15u);
    EXPECT_EQ(PadCell(8, ""), "|      |");
    EXPECT_EQ(PadCell(8, "12345"), "|12345 |");
    EXPECT_EQ(PadCell(15, "-------------"), "|------------- |");  // one wider than 15
    EXPECT_EQ(PadCell(2, "a"), "|a |");
    EXPECT_EQ(DotToComma("1.2.3 x"), "1,2,3 x");
}

}  // namespace
