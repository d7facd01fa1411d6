// The one reader of typical/minimum/maximum columns: what each column is, its
// value by the number rule, the leniency taken, and the order of the values.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "IbisParser/text/typminmax.h"
#include "IbisParser/text/words.h"

namespace {

const char* KindName(ColumnKind kind) {
    switch (kind) {
        case ColumnKind::kAbsent: return "absent";
        case ColumnKind::kNumber: return "number";
        case ColumnKind::kNA: return "NA";
        case ColumnKind::kNotNumber: return "not a number";
    }
    return "?";
}

}  // namespace

TEST(ReadColumn, NumberNAOrNeitherWithTheLeniencyTaken) {
    const struct {
        const char* text;
        ColumnKind kind;
        double value;
        bool digitInUnit;
        bool upperCaseKilo;
    } cases[] = {
        {"3.3", ColumnKind::kNumber, 3.3, false, false},
        {"-1.5e-3", ColumnKind::kNumber, -1.5e-3, false, false},
        {"+2.", ColumnKind::kNumber, 2.0, false, false},
        {".5", ColumnKind::kNumber, 0.5, false, false},
        {"1.0Meg", ColumnKind::kNumber, 1e6, false, false},
        {"1meg", ColumnKind::kNumber, 1e-3, false, false},
        {"2.5pF", ColumnKind::kNumber, 2.5e-12, false, false},
        {"3.3Volts", ColumnKind::kNumber, 3.3, false, false},
        {"1e", ColumnKind::kNumber, 1.0, false, false},  // "e" without digits is a unit letter
        {"1.5m2", ColumnKind::kNumber, 1.5e-3, true, false},
        {"50Ohm2", ColumnKind::kNumber, 50.0, true, false},
        {"7Kohms", ColumnKind::kNumber, 7.0, false, true},
        {"7K2", ColumnKind::kNumber, 7.0, true, true},
        {"2k", ColumnKind::kNumber, 2e3, false, false},
        {"NA", ColumnKind::kNA, 0.0, false, false},
        {"na", ColumnKind::kNA, 0.0, false, false},
        {"nA", ColumnKind::kNA, 0.0, false, false},
        {"NAN", ColumnKind::kNotNumber, 0.0, false, false},
        {"nan", ColumnKind::kNotNumber, 0.0, false, false},
        {"inf", ColumnKind::kNotNumber, 0.0, false, false},
        {"0x10", ColumnKind::kNumber, 0.0, true, false},  // 0, then the unit "x10" holding digits
        {"1e400", ColumnKind::kNotNumber, 0.0, false, false},
        {"O.5pF", ColumnKind::kNotNumber, 0.0, false, false},
        {"5%", ColumnKind::kNotNumber, 0.0, false, false},
        {"-", ColumnKind::kNotNumber, 0.0, false, false},
        {"1..2", ColumnKind::kNotNumber, 0.0, false, false},
        {"", ColumnKind::kNotNumber, 0.0, false, false},
    };
    for (const auto& c : cases) {
        const ColumnRead read = ReadColumn(c.text);
        EXPECT_EQ(read.text, c.text);
        EXPECT_STREQ(KindName(read.kind), KindName(c.kind)) << c.text;
        EXPECT_DOUBLE_EQ(read.value, c.value) << c.text;
        EXPECT_EQ(read.digitInUnit, c.digitInUnit) << c.text;
        EXPECT_EQ(read.upperCaseKilo, c.upperCaseKilo) << c.text;
    }
}

TEST(ReadTypMinMaxRow, ColumnsCountedAndReadUpToThree) {
    const struct {
        const char* text;
        std::size_t count;
        std::vector<ColumnKind> kinds;  // typical, minimum, maximum
        std::vector<double> values;
    } cases[] = {
        {"", 0, {ColumnKind::kAbsent, ColumnKind::kAbsent, ColumnKind::kAbsent}, {0, 0, 0}},
        {"  \t ", 0, {ColumnKind::kAbsent, ColumnKind::kAbsent, ColumnKind::kAbsent}, {0, 0, 0}},
        {"3.3", 1, {ColumnKind::kNumber, ColumnKind::kAbsent, ColumnKind::kAbsent}, {3.3, 0, 0}},
        {"3.3 NA", 2, {ColumnKind::kNumber, ColumnKind::kNA, ColumnKind::kAbsent}, {3.3, 0, 0}},
        {"3.3V 3.0V 3.6V", 3, {ColumnKind::kNumber, ColumnKind::kNumber, ColumnKind::kNumber}, {3.3, 3.0, 3.6}},
        {"\t1n  NA\tx", 3, {ColumnKind::kNumber, ColumnKind::kNA, ColumnKind::kNotNumber}, {1e-9, 0, 0}},
        {"1 2 3 4 5", 5, {ColumnKind::kNumber, ColumnKind::kNumber, ColumnKind::kNumber}, {1, 2, 3}},
        {"NA NA NA", 3, {ColumnKind::kNA, ColumnKind::kNA, ColumnKind::kNA}, {0, 0, 0}},
    };
    for (const auto& c : cases) {
        const TypMinMaxRow row = ReadTypMinMaxRow(std::string_view(c.text));
        EXPECT_EQ(row.count, c.count) << c.text;
        const ColumnRead* columns[] = {&row.Typical(), &row.Minimum(), &row.Maximum()};
        for (std::size_t i = 0; i < 3; ++i) {
            EXPECT_STREQ(KindName(columns[i]->kind), KindName(c.kinds[i])) << c.text << " column " << i;
            EXPECT_DOUBLE_EQ(columns[i]->value, c.values[i]) << c.text << " column " << i;
        }
    }
}

TEST(ReadTypMinMaxRow, ColumnsAfterTheLeadingItems) {
    const struct {
        const char* line;
        std::size_t first;
        std::size_t count;
        std::vector<std::string> texts;  // typical, minimum, maximum
    } cases[] = {
        {"R_pkg 0.2 0.1 0.3", 1, 3, {"0.2", "0.1", "0.3"}},
        {"-1.0 -20m NA -25m", 1, 3, {"-20m", "NA", "-25m"}},
        {"vdiff x 0.2 1n 0.5n 2n", 3, 3, {"1n", "0.5n", "2n"}},
        {"C_pkg 1p", 1, 1, {"1p", "", ""}},
        {"R_pkg", 1, 0, {"", "", ""}},
        {"", 1, 0, {"", "", ""}},
        {"a", 4, 0, {"", "", ""}},
    };
    for (const auto& c : cases) {
        const TypMinMaxRow row = ReadTypMinMaxRow(Items(c.line), c.first);
        EXPECT_EQ(row.count, c.count) << c.line;
        const ColumnRead* columns[] = {&row.Typical(), &row.Minimum(), &row.Maximum()};
        for (std::size_t i = 0; i < 3; ++i) EXPECT_EQ(columns[i]->text, c.texts[i]) << c.line << " column " << i;
    }
}

TEST(TypMinMaxRow, OrderOfTheValues) {
    const struct {
        const char* text;
        bool allNumbers;
        bool typicalOutside;
        bool minimumAboveMaximum;
    } cases[] = {
        {"3.3 3.0 3.6", true, false, false},
        {"3.3 3.6 3.0", true, false, true},   // swapped, the typical between them all the same
        {"4 3.0 3.6", true, true, false},     // typical above both
        {"2 3.0 3.6", true, true, false},     // typical below both
        {"2 3.6 3.0", true, true, true},
        {"3.0 3.0 3.6", true, false, false},  // typical equal to a bound lies between
        {"3 3 3", true, false, false},
        {"1m 2u 3k", true, false, false},     // by value, not by text
        {"1k 2 3", true, true, false},
        {"NA 3.6 3.0", false, false, true},   // the swap needs only minimum and maximum
        {"3.3 NA 3.0", false, false, false},
        {"5 x 3", false, false, false},
        {"5 4", false, false, false},
    };
    for (const auto& c : cases) {
        const TypMinMaxRow row = ReadTypMinMaxRow(std::string_view(c.text));
        EXPECT_EQ(row.AllNumbers(), c.allNumbers) << c.text;
        EXPECT_EQ(row.TypicalOutside(), c.typicalOutside) << c.text;
        EXPECT_EQ(row.MinimumAboveMaximum(), c.minimumAboveMaximum) << c.text;
    }
}
