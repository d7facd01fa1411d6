#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/engine/reportbynumber.h"

namespace {

// Captures the report stream and restores a fresh reporting state afterwards.
class Reports : public testing::Test {
protected:
    void SetUp() override {
        saved_ = Reporting();
        file_ = std::tmpfile();
        SetReportStream(file_);
        ResetCounts();
        Reporting().currentLine = 7;
    }
    void TearDown() override {
        std::fclose(file_);
        Reporting() = saved_;
    }
    std::string Output() {
        std::fflush(file_);
        std::rewind(file_);
        std::string text;
        char buf[512];
        std::size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0) text.append(buf, n);
        std::rewind(file_);
        return text;
    }
    std::FILE* file_ = nullptr;
    ReportState saved_;
};

std::string Text(std::size_t length) {
    std::string t;
    while (t.size() < length) t += "abcdefghij";
    return t.substr(0, length);
}

}  // namespace

TEST(MessageTable, AscendingUniqueAndBisectable) {
    EXPECT_EQ(kMessageTable[0].number, 0);
    EXPECT_STREQ(kMessageTable[0].text, "Error code doesn't exist.");
    for (std::int32_t i = 1; i < kMessageCount; ++i) EXPECT_LT(kMessageTable[i - 1].number, kMessageTable[i].number);
    for (std::int32_t i = 0; i < kMessageCount; ++i) EXPECT_EQ(FindMessage(kMessageTable[i].number), &kMessageTable[i]);
    EXPECT_EQ(FindMessage(901), nullptr);
    EXPECT_EQ(FindMessage(-1), nullptr);
    EXPECT_EQ(FindMessage(99999), nullptr);
    EXPECT_STREQ(FindMessage(1906)->text, "Memory allocation failed.  This request %u.\n");
    EXPECT_STREQ(FindMessage(4600)->text, "Expected a branch but found '%s'  as a leaf of '%s'");
}

TEST_F(Reports, WordStyleBandsForErrors) {
    const struct {
        std::size_t length;
        bool atLine, ownLine;
    } cases[] = {{71, false, false}, {72, false, true}, {75, false, true}, {76, false, false},
                 {59, true, false},  {60, true, true},  {75, true, true},  {76, true, false}};
    for (const auto& c : cases) {
        const std::string text = Text(c.length);
        if (c.atLine) ReportErrorTextAtLine("%s", text.c_str());
        else ReportErrorText("%s", text.c_str());
        const std::string header = c.atLine ? "ERROR (line    7)" : "ERROR";
        EXPECT_EQ(Output(), header + (c.ownLine ? " -\n    " : " - ") + text + "\n") << c.length;
        std::fclose(file_);
        file_ = std::tmpfile();
        SetReportStream(file_);
    }
}

TEST_F(Reports, SeveritiesFormatsAndCounts) {
    ReportError(4622);
    ReportWarningAtLine(921);
    ReportNote(4623, "x");
    ReportBug(1908, "cmn.cpp", 1878);
    ReportCaution(4623, "y");  // cautions are quiet
    EXPECT_EQ(Output(),
              "ERROR - No Reserved_Parameters found\n"
              "WARNING (line    7) - IBIS files should not contain tab characters.\n"
              "NOTE - Unknown branch x found\n"
              "PROGRAM BUG - Unable to Allocate Memory: cmn.cpp 1878\n");
    std::uint32_t bugs = 9, errors = 9, warnings = 9;
    GetCounts(&bugs, &errors, &warnings);
    EXPECT_EQ(bugs, 1u);
    EXPECT_EQ(errors, 1u);
    EXPECT_EQ(warnings, 1u);
    GetCounts(nullptr, nullptr, nullptr);
}

TEST_F(Reports, NumberedStyle) {
    SetWordStyle(false);
    ReportError(4622);
    ReportErrorAtLine(4623, "b");
    ReportError(12345);
    ReportWarning(921);
    EXPECT_EQ(Output(),
              "E4622 - No Reserved_Parameters found\n"
              "E4623 (line    7) - Unknown branch b found\n"
              "I0000 - Error code doesn't exist.\n"
              "W0921 - IBIS files should not contain tab characters.\n");
    EXPECT_EQ(Reporting().errors, 2u);
}

TEST_F(Reports, UnknownNumberPrintsAndCountsNothingInWordStyle) {
    ReportError(12345);
    EXPECT_EQ(Output(), "");
    EXPECT_EQ(Reporting().errors, 0u);
}

TEST_F(Reports, QuietFlags) {
    SetErrorsQuiet(true);
    SetWarningsQuiet(true);
    SetBugsQuiet(true);
    ReportError(4622);
    ReportWarning(921);
    ReportBug(4621);
    EXPECT_EQ(Output(), "");
    EXPECT_EQ(Reporting().errors + Reporting().warnings + Reporting().bugs, 0u);
}

TEST_F(Reports, LongMessagesAreCutSafely) {
    const std::string huge(10000, 'x');
    ReportError(4623, huge.c_str());
    const std::string out = Output();
    EXPECT_EQ(out.size(), std::string("ERROR - ").size() + kMessageBufferSize - 1 + 1);
    EXPECT_EQ(Reporting().errors, 1u);
}

TEST_F(Reports, InputTextIsNeverAFormat) {
    ReportError(4623, "%s%s%n%x");
    EXPECT_EQ(Output(), "ERROR - Unknown branch %s%s%n%x found\n");
}

TEST_F(Reports, Summaries) {
    PrintSummary();
    EXPECT_EQ(Output(), "Errors  : 0\n\nFile Passed\n");
    std::fclose(file_);
    file_ = std::tmpfile();
    SetReportStream(file_);
    ReportWarning(921);
    PrintSummary();
    EXPECT_EQ(Output(), "WARNING - IBIS files should not contain tab characters.\n\nErrors  : 0\nWarnings: 1\n\nFile Passed\n");
    std::fclose(file_);
    file_ = std::tmpfile();
    SetReportStream(file_);
    ReportBug(4621);
    PrintSummary();
    EXPECT_EQ(Output(),
              "PROGRAM BUG - Internal error while parsing AMI Parameter file\n\nBugs    : 1\nErrors  : 0\n"
              "Warnings: 1\n\nFile Failed\n");
}

TEST_F(Reports, RecordsCarryFileLineAndItemAndPrintNothing) {
    std::vector<Finding> records;
    SetFindingRecords(&records);
    Reporting().currentFile = "dir/x.ami";
    ReportErrorAtLine(902);  // the current line, 7
    ReportError(4622);       // no line and no item: none
    {
        const ItemLineScope item(12);
        ReportWarning(921);  // the item's line
        ReportErrorAtLine(902);  // a line variant keeps the current line
    }
    ReportError(1906, 24u);  // the text's own line end is dropped
    ReportError(12345);      // not in the table: neither recorded nor counted
    SetFindingRecords(nullptr);
    EXPECT_EQ(Output(), "");
    const struct {
        std::uint32_t line;
        std::int32_t kind, number;
        const char* text;
    } expected[] = {
        {7, kError, 902, "Non-comment line exists after 'End' keyword."},
        {0, kError, 4622, "No Reserved_Parameters found"},
        {12, kWarning, 921, "IBIS files should not contain tab characters."},
        {7, kError, 902, "Non-comment line exists after 'End' keyword."},
        {0, kError, 1906, "Memory allocation failed.  This request 24."},
    };
    ASSERT_EQ(records.size(), std::size(expected));
    for (std::size_t i = 0; i < records.size(); ++i) {
        EXPECT_EQ(records[i].file, "dir/x.ami") << i;
        EXPECT_EQ(records[i].line, expected[i].line) << i;
        EXPECT_EQ(records[i].kind, expected[i].kind) << i;
        EXPECT_EQ(records[i].number, expected[i].number) << i;
        EXPECT_EQ(records[i].text, expected[i].text) << i;
    }
    EXPECT_EQ(Reporting().itemLine, 0u);
}

TEST_F(Reports, DisabledNumbersAndWarningsAsErrors) {
    SetDisabledMessages({902, 921});
    ReportErrorAtLine(902);
    ReportWarning(921);
    ReportWarning(925, "8.0", "x.ibs", "7.2");
    PrintSummary();
    EXPECT_EQ(Output(),
              "WARNING - IBIS Version '8.0' of file x.ibs is not supported; checking it by the IBIS 7.2 rules\n\n"
              "Errors  : 0\nWarnings: 1\nDisabled: 902 921\n\nFile Passed\n");
    EXPECT_FALSE(CheckFailed());
    SetWarningsAsErrors(true);
    EXPECT_TRUE(CheckFailed());
}
