// ibislint: checks IBIS (.ibs), package (.pkg), board description (.ebd) and AMI
// parameter-definition (.ami) files and gives a verdict for each.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>
#include <vector>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/parse.h"
#include "IbisParser/engine/printable.h"
#include "IbisParser/engine/report.h"
#include "tools/ibislint/findings.h"
#include "tools/ibislint/formats.h"

namespace {

const char* kUsage =
    "usage: ibislint [options] FILE...\n"
    "Checks each file by its extension (.ibs, .pkg, .ebd, .ami) against the IBIS version it\n"
    "declares (1.1 to 7.2; an .ami file by the IBIS file that names it, or its AMI_Version)\n"
    "and prints every finding, then a summary and a verdict for that file. An\n"
    "[Algorithmic Model] also has the files it names checked: plain names, looked up in\n"
    "the folder of the .ibs file, as are the files named by [Package Model] and by a\n"
    "board's [Reference Designator Map]. Only regular files are read; an .ami file may\n"
    "hold at most 16 MiB, another named file 256 MiB. A file that could not be read\n"
    "fails, whatever is disabled.\n"
    "\n"
    "  --format FORMAT         text (the default: words, as people read them), gnu (one\n"
    "                          line per finding: FILE:LINE: error: TEXT [E1234]), json (one\n"
    "                          document for the run) or sarif (SARIF 2.1.0)\n"
    "  --warnings-as-errors    a warning fails the file too\n"
    "  --disable N[,N...]      leave out these messages, by number or short name (listed\n"
    "                          in the summary as numbers)\n"
    "  --no-file-checks        do not look for the executables and .ami files that an\n"
    "                          [Algorithmic Model] names (for checks before a build)\n"
    "  --numbered              text format: message numbers (E1234 ...) instead of words\n"
    "  --no-warnings           do not print or count warnings\n"
    "  --quiet                 no \"Checking ...\" banner per file\n"
    "  --list-messages         the message table: number, severity, short name and text\n"
    "  --help                  this text\n"
    "\n"
    "gnu, json and sarif give each finding its file (a named .ami file's findings carry\n"
    "that file's name) and line, in file order, with runs of the same message on\n"
    "consecutive lines folded into one with its count and line range.\n"
    "\n"
    "Exit status: 0 when every file passed, 1 when any failed, 2 for a usage error.\n";

enum class Format { kText, kGnu, kJson, kSarif };

int Usage(const char* problem, const std::string& what) {
    std::fprintf(stderr, "ibislint: %s '%s'\n%s", problem, what.c_str(), kUsage);
    return 2;
}

// The row a --disable item names: a number or a short name of the table.
const MessageRow* NamedMessage(const std::string& item) {
    char* end = nullptr;
    const long n = std::strtol(item.c_str(), &end, 10);
    if (!item.empty() && *end == '\0') return n > 0 && n <= 9999 ? FindMessage(static_cast<std::int32_t>(n)) : nullptr;
    for (const MessageRow& row : kMessageTable)
        if (row.number > 0 && item == row.name) return &row;
    return nullptr;
}

// "902,TabCharacters" into numbers of the message table; false on anything else.
bool ParseNumbers(const std::string& list, std::vector<std::int32_t>* numbers) {
    std::size_t at = 0;
    while (at <= list.size()) {
        const std::size_t comma = std::min(list.find(',', at), list.size());
        const MessageRow* row = NamedMessage(list.substr(at, comma - at));
        if (!row) return false;
        numbers->push_back(row->number);
        at = comma + 1;
    }
    return true;
}

// Checks one file; the findings are printed (text) or recorded in `checked`.
// False when the check was abandoned and the run must end.
bool CheckOne(const std::string& path, Format format, CheckedFile* checked) {
    ResetCounts();
    checked->path = path;
    const int kind = FileKindOf(path);
    bool abandoned = false;
    if (kind == 0) {
        const char* why = "not a .ibs, .pkg, .ebd or .ami file";
        if (format == Format::kText) {
            std::printf("\nibislint: %s: %s\n\nFile Failed\n", PrintableName(path).c_str(), why);
            checked->failed = true;
            return true;
        }
        Finding f;
        f.file = path;
        f.text = why;
        checked->findings.push_back(f);
        checked->errors = 1;
        checked->failed = true;
        checked->checked = false;
    } else {
        try {
            checked->checked = CheckIbisFile(path.c_str(), kind) != 0;
        } catch (const std::exception& e) {
            // Memory ran out (or the like): the checker's state is not to be trusted
            // for further files, so the run ends here with a clear verdict.
            std::fflush(stdout);
            std::fprintf(stderr, "ibislint: %s: check abandoned (%s)\n", PrintableName(path).c_str(), e.what());
            abandoned = true;
            checked->checked = false;
        }
        const ReportState& s = Reporting();
        checked->bugs = s.bugs;
        checked->errors = s.errors;
        checked->warnings = s.warnings;
        checked->cautions = s.cautions;
        checked->failed = abandoned || CheckFailed();
    }
    if (format != Format::kText) {
        OrderFindings(checked->findings, path);
        FoldFindings(checked->findings);
    }
    if (format == Format::kText || format == Format::kGnu) {
        if (format == Format::kGnu) WriteGnu(stdout, *checked);
        if (abandoned || kind == 0) {
            std::printf("\nFile Failed\n");
        } else {
            std::printf("\nSummary of %s:\n", PrintableName(path).c_str());
            PrintSummary();
        }
        std::fflush(stdout);
    }
    return !abandoned;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    std::vector<std::int32_t> disabled;
    Format format = Format::kText;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        // The value of an option: the next argument, or after '=' in the same one.
        auto value = [&](const char* option, std::string* out) {
            const std::size_t n = std::strlen(option);
            if (arg == option && i + 1 < argc) *out = argv[++i];
            else if (arg.compare(0, n + 1, std::string(option) + "=") == 0) *out = arg.substr(n + 1);
            else return false;
            return true;
        };
        std::string text;
        if (arg == "--help" || arg == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        }
        if (arg == "--list-messages") {
            WriteMessageTable(stdout);
            return 0;
        }
        if (arg == "--numbered") SetWordStyle(false);
        else if (arg == "--no-warnings") SetWarningsQuiet(true);
        else if (arg == "--quiet") Frame().quiet = true;
        else if (arg == "--warnings-as-errors") SetWarningsAsErrors(true);
        else if (arg == "--no-file-checks") Frame().noFileChecks = true;
        else if (value("--format", &text)) {
            if (text == "text") format = Format::kText;
            else if (text == "gnu") format = Format::kGnu;
            else if (text == "json") format = Format::kJson;
            else if (text == "sarif") format = Format::kSarif;
            else return Usage("unknown format", text);
        } else if (value("--disable", &text)) {
            if (!ParseNumbers(text, &disabled)) return Usage("not a list of message numbers:", text);
        } else if (arg == "--") {
            for (++i; i < argc; ++i) files.push_back(argv[i]);
        } else if (arg.size() > 1 && arg[0] == '-') {
            return Usage("unknown option or missing value", arg);
        } else {
            files.push_back(arg);
        }
    }
    if (files.empty()) {
        std::fprintf(stderr, "ibislint: no file to check\n%s", kUsage);
        return 2;
    }
    SetDisabledMessages(disabled);
    if (format != Format::kText) Frame().quiet = true;  // the banners are for people reading words
    std::vector<CheckedFile> checked;
    bool allPassed = true;
    for (const std::string& file : files) {
        checked.emplace_back();
        SetFindingRecords(format == Format::kText ? nullptr : &checked.back().findings);
        const bool goOn = CheckOne(file, format, &checked.back());
        SetFindingRecords(nullptr);
        if (checked.back().failed) allPassed = false;
        if (!goOn) break;
    }
    if (format == Format::kJson) WriteJson(stdout, checked, disabled);
    if (format == Format::kSarif) WriteSarif(stdout, checked, disabled);
    return allPassed ? 0 : 1;
}
