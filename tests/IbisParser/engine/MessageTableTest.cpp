// The message table and the compile-time checks of the reports that name it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>

#include "IbisParser/engine/messageformat.h"
#include "IbisParser/engine/messages.h"

namespace {

using message_format::kClasses;
using message_format::Takes;

// What the build refuses when a report's arguments do not fit its row's format.
static_assert(Takes("plain text", kClasses<>));
static_assert(Takes("%s and %s", kClasses<const char*, char*>));
static_assert(Takes("%d %c %x %u", kClasses<int, char, unsigned, std::uint32_t>));
static_assert(Takes("%lu bytes", kClasses<unsigned long>));
static_assert(Takes("%zu", kClasses<std::size_t>));
static_assert(!Takes("%lu", kClasses<unsigned long long>));  // long long is wider than long on Windows
static_assert(Takes("%*lu", kClasses<int, unsigned long>));
static_assert(Takes("20%% of %s", kClasses<const char*>));
static_assert(Takes("%-4.2f", kClasses<double>));
static_assert(!Takes("%s", kClasses<int>));          // a number where text goes
static_assert(!Takes("%d", kClasses<const char*>));  // text where a number goes
static_assert(!Takes("%d", kClasses<long>));         // wider than the conversion
static_assert(!Takes("%s", kClasses<>));             // too few
static_assert(!Takes("plain", kClasses<int>));       // too many
static_assert(!Takes("%d", kClasses<bool>));
static_assert(!Takes("%s", kClasses<std::string>));
static_assert(!Takes("%n", kClasses<int*>));

std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

const char* SeverityOfReporter(const std::string& reporter) {
    if (reporter == "Bug") return "bug";
    if (reporter == "Warning") return "warning";
    if (reporter == "Note") return "note";
    if (reporter == "Caution") return "caution";
    return "error";
}

const char* SeverityWord(Severity s) {
    switch (s) {
        case Severity::kBug: return "bug";
        case Severity::kWarning: return "warning";
        case Severity::kNote: return "note";
        case Severity::kCaution: return "caution";
        case Severity::kInformation: return "information";
        default: return "error";
    }
}

}  // namespace

TEST(MessageTable, EveryRowHasASeverityAShortNameAndText) {
    std::set<std::string> names;
    for (const MessageRow& row : kMessageTable) {
        ASSERT_NE(row.name, nullptr) << row.number;
        ASSERT_NE(row.text, nullptr) << row.number;
        EXPECT_TRUE(std::regex_match(row.name, std::regex("[A-Z][A-Za-z0-9]+"))) << row.number << " " << row.name;
        EXPECT_TRUE(names.insert(row.name).second) << "short name given twice: " << row.name;
        EXPECT_EQ(row.severity == Severity::kInformation, row.number == 0) << row.number;
    }
    // Texts in the users' hands: exactly as they have always read.
    EXPECT_STREQ(FindMessage(MSG_LINE_TOO_LONG)->text, "Exceeds %d chararacters.");
    EXPECT_EQ(FindMessage(MSG_TAB_CHARACTERS)->severity, Severity::kWarning);
    EXPECT_EQ(FindMessage(MSG_EBD_PIN_WITHOUT_PATH)->severity, Severity::kWarning);  // kept for --disable lists
}

// Every report in the checker's sources names its row by a constant (MSG_ and
// the short name in upper case with underscores), through the reporter of the
// row's severity; bare numbers and the unchecked entry are for the reporter's
// own tests.
TEST(MessageTable, EveryReportNamesItsRowWithTheRowsSeverity) {
    const std::regex call(R"(Report(Bug|Error|Warning|Caution|Note)(AtLine|At)?\(\s*([^;]*))");
    const std::regex constant(R"(\bMSG_[A-Z0-9_]+\b)");
    const auto rowOf = [](const std::string& name) -> const MessageRow* {
        std::string shortName;
        bool upper = true;
        for (char c : name.substr(4)) {
            if (c == '_') {
                upper = true;
                continue;
            }
            shortName += upper ? c : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            upper = false;
        }
        for (const MessageRow& r : kMessageTable)
            if (shortName == r.name) return &r;
        return nullptr;
    };
    int reports = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(VELKOR_SOURCE_DIR "/IbisParser")) {
        const std::string file = entry.path().filename().string();
        if (entry.path().extension() != ".cpp" && entry.path().extension() != ".h") continue;
        if (file == "report.cpp" || file == "reportbynumber.h" || file == "report.h" || file == "messageformat.h")
            continue;
        const std::string text = Slurp(entry.path());
        EXPECT_EQ(text.find("reportbynumber.h"), std::string::npos) << file;
        EXPECT_EQ(text.find("ReportNumbered("), std::string::npos) << file;
        for (auto m = std::sregex_iterator(text.begin(), text.end(), call); m != std::sregex_iterator(); ++m) {
            std::string arguments = (*m)[3];
            if ((*m)[2] == "At") arguments = arguments.substr(arguments.find(',') + 1);  // the line comes first
            EXPECT_FALSE(std::regex_search(arguments, std::regex(R"(^\s*\d)"))) << file << ": " << m->str();
            // The constants of the first argument (a choice between rows names several).
            const std::string first = arguments.substr(0, arguments.find_first_of(",;"));
            for (auto c = std::sregex_iterator(first.begin(), first.end(), constant); c != std::sregex_iterator();
                 ++c) {
                const MessageRow* row = rowOf(c->str());
                ASSERT_NE(row, nullptr) << file << ": " << c->str();
                EXPECT_STREQ(SeverityWord(row->severity), SeverityOfReporter((*m)[1])) << file << ": " << m->str();
                ++reports;
            }
        }
    }
    EXPECT_GT(reports, 250);
}
