// Numbers shown, read and saved do not depend on the process's C locale. The window's
// toolkit switches the C library to the user's locale at start-up; under a Polish one
// printf writes "1,5" and strtod stops at ".", which once turned the multiplier 1 into
// "1,," and the typed 12,3456 into 12. The numbers here run under such a locale, built
// for the test with localedef.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <memory>
#include <string>

#include "FilledTable.h"
#include "Numbers.h"
#include "TempFolder.h"

namespace {

using kt::measurement::MeasurementFileFormat;

class CommaLocale : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        folder_ = std::make_unique<kt::test::TempFolder>();
        const std::string command =
            "localedef -i pl_PL -f UTF-8 " + (*folder_ / "pl_PL.UTF-8") + " > /dev/null 2>&1";
        built_ = std::system(command.c_str()) == 0;
        if (built_) setenv("LOCPATH", folder_->path().c_str(), 1);
    }
    static void TearDownTestSuite() { folder_.reset(); }
    void SetUp() override {
        if (!built_) GTEST_SKIP() << "localedef or the pl_PL sources (package locales) missing";
        ASSERT_NE(std::setlocale(LC_NUMERIC, "pl_PL.UTF-8"), nullptr);
        ASSERT_EQ(*std::localeconv()->decimal_point, ',');  // printf would write a comma
    }
    void TearDown() override { std::setlocale(LC_NUMERIC, "C"); }
    static inline std::unique_ptr<kt::test::TempFolder> folder_;
    static inline bool built_ = false;
};

TEST_F(CommaLocale, ShownAndTypedNumbersKeepTheirSeparator) {
    using kt::device::GeneralForm;
    using kt::device::ParseDecimal;
    EXPECT_EQ(GeneralForm(1.0, ','), "1");
    EXPECT_EQ(GeneralForm(12.346, ','), "12,346");
    EXPECT_EQ(GeneralForm(-2.5e-6, '.'), "-2.5E-6");
    EXPECT_EQ(ParseDecimal("12,3456", ','), 12.3456);
    EXPECT_EQ(ParseDecimal("-1.5e2", '.'), -150.0);
    EXPECT_EQ(ParseDecimal("1.5", ','), std::nullopt);
}

TEST_F(CommaLocale, MeasurementFilesWriteTheDurationAsOutsideIt) {
    kt::test::FilledTable table(3);
    table.input.duration = 2.98;
    std::string text, spreadsheet, reason;
    ASSERT_TRUE(
        BuildMeasurementFile(table.table, table.input, MeasurementFileFormat::Text, text, reason));
    ASSERT_TRUE(BuildMeasurementFile(table.table, table.input, MeasurementFileFormat::Excel,
                                     spreadsheet, reason));
    EXPECT_NE(text.find("czas trwania pomiaru= \t2.98 [s]"), std::string::npos);
    EXPECT_NE(spreadsheet.find("czas trwania pomiaru=\t2,98\t"), std::string::npos);
}

}  // namespace
