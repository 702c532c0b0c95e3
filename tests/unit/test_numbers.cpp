#include <gtest/gtest.h>

#include <cmath>

#include "Numbers.h"

using namespace kt::device;

namespace {

TEST(Round3, RoundsToThreeDecimalsWithTiesToEven) {
    EXPECT_DOUBLE_EQ(Round3(1.23456), 1.235);
    EXPECT_DOUBLE_EQ(Round3(10.0004), 10.0);
    EXPECT_DOUBLE_EQ(Round3(10.0006), 10.001);
    EXPECT_DOUBLE_EQ(Round3(-2.0004), -2.0);
    // Exact ties in the scaled value go to the even integer: 0.5 ms -> 0, 1.5 ms -> 2.
    EXPECT_DOUBLE_EQ(Round3(0.0005), 0.0);
    EXPECT_DOUBLE_EQ(Round3(0.0015), 0.002);
    EXPECT_DOUBLE_EQ(Round3(0.0025), 0.002);
}

TEST(GeneralForm, WritesShortestFifteenDigitFixedForm) {
    EXPECT_EQ(GeneralForm(12.5, ','), "12,5");
    EXPECT_EQ(GeneralForm(1.0, ','), "1");
    EXPECT_EQ(GeneralForm(0.0, ','), "0");
    EXPECT_EQ(GeneralForm(-0.25, ','), "-0,25");
    EXPECT_EQ(GeneralForm(100.0, '.'), "100");
    EXPECT_EQ(GeneralForm(Round3(1.23456), ','), "1,235");
    EXPECT_EQ(GeneralForm(0.00001, ','), "0,00001");
    EXPECT_EQ(GeneralForm(123456789012345.0, ','), "123456789012345");
    EXPECT_EQ(GeneralForm(1.0 / 3.0, '.'), "0.333333333333333");
}

TEST(GeneralForm, SwitchesToExponentBelowOneHundredThousandthAndFromE15) {
    EXPECT_EQ(GeneralForm(0.000001, ','), "1E-6");
    EXPECT_EQ(GeneralForm(-0.0000025, ','), "-2,5E-6");
    EXPECT_EQ(GeneralForm(1e15, ','), "1E15");
    EXPECT_EQ(GeneralForm(2.5e20, '.'), "2.5E20");
}

TEST(GeneralForm, DumpShowsTheFloatWidenedWithoutRounding) {
    EXPECT_EQ(DumpForm(0.1f, ','), "0,100000001490116");
    EXPECT_EQ(DumpForm(10.0f, ','), "10");
    EXPECT_EQ(DumpForm(1.23456f, '.'), "1.23456001281738");
}

TEST(VersionText, InsertsAPointAfterTheFirstDigit) {
    EXPECT_EQ(VersionText(12), "1.2");
    EXPECT_EQ(VersionText(123), "1.23");
    EXPECT_EQ(VersionText(5), "5.");
}

TEST(Parsers, IntegersAcceptOnlyWholeDecimalNumbers) {
    EXPECT_EQ(ParseInteger("7"), 7);
    EXPECT_EQ(ParseInteger(" -12 "), -12);
    EXPECT_EQ(ParseInteger("+3"), 3);
    EXPECT_FALSE(ParseInteger("abc"));
    EXPECT_FALSE(ParseInteger(""));
    EXPECT_FALSE(ParseInteger("1.5"));
    EXPECT_FALSE(ParseInteger("-"));
    EXPECT_FALSE(ParseInteger("99999999999999999999"));
}

TEST(Parsers, DecimalsUseTheGivenSeparatorOnly) {
    EXPECT_DOUBLE_EQ(*ParseDecimal("1,23456", ','), 1.23456);
    EXPECT_DOUBLE_EQ(*ParseDecimal("1.5", '.'), 1.5);
    EXPECT_DOUBLE_EQ(*ParseDecimal("-2", ','), -2.0);
    EXPECT_DOUBLE_EQ(*ParseDecimal(",5", ','), 0.5);
    EXPECT_DOUBLE_EQ(*ParseDecimal("1,5E2", ','), 150.0);
    EXPECT_FALSE(ParseDecimal("1.5", ','));
    EXPECT_FALSE(ParseDecimal("abc", ','));
    EXPECT_FALSE(ParseDecimal(",", ','));
    EXPECT_FALSE(ParseDecimal("1e", ','));
    EXPECT_FALSE(ParseDecimal("1e999", ','));
}

TEST(Parsers, Float32ValuesMustFitAFloat) {
    EXPECT_DOUBLE_EQ(*ParseFloat32("3,4E38", ','), 3.4e38);
    EXPECT_DOUBLE_EQ(*ParseFloat32("-12,5", ','), -12.5);
    EXPECT_FALSE(ParseFloat32("3,5E38", ','));
    EXPECT_FALSE(ParseFloat32("-1E39", ','));
    EXPECT_FALSE(ParseFloat32("1e999", ','));
    EXPECT_FALSE(ParseFloat32("nan", ','));
    EXPECT_FALSE(ParseFloat32("inf", ','));
}

}  // namespace
