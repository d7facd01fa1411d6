// What the typ/min/max rows report, in the order a reader of the output sees:
// column by column, a number's leniency before the next column's error.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "IbisParser/engine/report.h"
#include "IbisParser/text/columns.h"
#include "IbisParser/text/typminmax.h"

namespace {

class RowReports : public testing::Test {
protected:
    void SetUp() override {
        saved_ = Reporting();
        SetFindingRecords(&records_);
        ResetCounts();
        Reporting().currentLine = 9;
    }
    void TearDown() override {
        SetFindingRecords(nullptr);
        Reporting() = saved_;
    }
    // The numbers reported so far, and forget them.
    std::vector<std::int32_t> Reported() {
        std::vector<std::int32_t> numbers;
        for (const Finding& f : records_) numbers.push_back(f.number);
        records_.clear();
        return numbers;
    }
    std::vector<Finding> records_;
    ReportState saved_;
};

using Numbers = std::vector<std::int32_t>;

}  // namespace

TEST_F(RowReports, PackageRowsReportCountLeniencyValuesAndOrder) {
    const struct {
        const char* text;
        bool sound;
        Numbers numbers;
        std::int32_t minimumKind;
    } cases[] = {
        {"0.2 0.1 0.3", true, {}, kValueNumber},
        {"0.2 NA na", true, {}, kValueNA},
        {"NA 0.1 0.3", true, {}, kValueNumber},  // a typical NA is the caller's to refuse
        {"0.5 0.1 0.3", true, {3903}, kValueNumber},
        {"1.5K2 1Kohms 2", true, {1910, 5031, 5031}, kValueNumber},  // 1.5, 1 and 2
        {"x 7Kohms y", false, {1909, 5031, 1909}, kValueNumber},
        {"0.2", true, {3901, 3901}, kValueAbsent},
        {"0.2 0.1", true, {3901}, kValueNumber},
        {"0.2 0.1 0.3 0.4", true, {3902}, kValueNumber},
        {"", true, {3902}, kValueAbsent},
    };
    for (const auto& c : cases) {
        TypMinMax values{};
        EXPECT_EQ(ReportTypMinMax(ReadTypMinMaxRow(std::string_view(c.text)), "R_pkg", &values), c.sound) << c.text;
        EXPECT_EQ(Reported(), c.numbers) << c.text;
        EXPECT_EQ(values.minimumKind, c.minimumKind) << c.text;
    }
}

TEST_F(RowReports, PackageValuesKeptAsRead) {
    TypMinMax values{};
    ASSERT_TRUE(ReportTypMinMax(ReadTypMinMaxRow(std::string_view("250m NA 1.0Meg")), "R_pkg", &values));
    EXPECT_DOUBLE_EQ(values.typical, 0.25);
    EXPECT_EQ(values.typicalKind, kValueNumber);
    EXPECT_EQ(values.minimum, 0.0);
    EXPECT_EQ(values.minimumKind, kValueNA);
    EXPECT_DOUBLE_EQ(values.maximum, 1e6);
    EXPECT_EQ(values.maximumKind, kValueNumber);
}

TEST_F(RowReports, KeywordLinesRefuseATypicalNAAndCheckTheOrder) {
    const struct {
        const char* text;
        bool ordered;
        Numbers numbers;
    } cases[] = {
        {"3.3 3.0 3.6", true, {}},
        {"3.3 NA NA", true, {}},
        {"NA 3.0 3.6", true, {5045}},
        {"3.3 3.6 3.0", true, {5028}},
        {"3.3 3.6 3.0", false, {}},
        {"4.0 3.0 3.6", false, {3903}},
        {"4.0 3.6 3.0", true, {3903, 5028}},
        {"3.3 3.0", true, {5027}},
        {"3.3 3.0 3.6 4", true, {5027}},
        {"3.3 x 3.6", true, {5043}},
        {"7K 3.0 1.5m2", true, {5031, 1910, 3903, 5028}},  // 7, 3 and 1.5e-3
        {"NA x 1.5m2", true, {5045, 5043, 1910}},
    };
    for (const auto& c : cases) {
        CheckColumnsInOrder("Voltage Range", c.text, c.ordered);
        EXPECT_EQ(Reported(), c.numbers) << c.text << (c.ordered ? " ordered" : "");
    }
}

TEST_F(RowReports, SubParameterLinesTakeNAEverywhere) {
    const struct {
        const char* line;
        bool ordered;
        Numbers numbers;
    } cases[] = {
        {"Vinh 2.0 1.8 2.2", true, {}},
        {"Vinh NA NA NA", true, {}},
        {"Vinh 2.0 2.2 1.8", true, {5028}},
        {"Vinh 2.0 2.2 1.8", false, {}},
        {"Vinh 2.0 x 1.8", true, {5043}},  // no order check when a column is no number
        {"Vinh 2.0 1.8", true, {5027}},
        {"Vinh 2K 1.8 2.2", true, {5031}},
        {"", true, {}},
    };
    for (const auto& c : cases) {
        CheckSubParameterColumns("Model Spec", c.line, c.ordered);
        EXPECT_EQ(Reported(), c.numbers) << c.line << (c.ordered ? " ordered" : "");
    }
}
