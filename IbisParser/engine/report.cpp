#include "IbisParser/engine/report.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "IbisParser/engine/context.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/reportbynumber.h"

namespace {

struct Band {
    std::size_t low, high;  // formatted lengths that go on a line of their own
};

// Word-style headers and the bands in which the text moves to its own line.
struct Style {
    const char* word;
    char letter;
    Band plain, atLine;
};

const Style* StyleOf(std::int32_t kind) {
    static const Style bug{"PROGRAM BUG", 'B', {1, 0}, {1, 0}};
    static const Style error{"ERROR", 'E', {72, 75}, {60, 75}};
    static const Style warning{"WARNING", 'W', {70, 75}, {58, 75}};
    static const Style caution{"CAUTION", 'C', {70, 75}, {58, 75}};
    static const Style note{"NOTE", 'N', {73, 75}, {61, 75}};
    switch (kind) {
        case kBug:
        case kBugAtLine: return &bug;
        case kError:
        case kErrorAtLine: return &error;
        case kWarning:
        case kWarningAtLine: return &warning;
        case kCaution:
        case kCautionAtLine: return &caution;
        case kNote:
        case kNoteAtLine: return &note;
        default: return nullptr;
    }
}

bool AtLine(std::int32_t kind) { return kind % 2 == 1 && kind < kInformation; }

bool Quiet(std::int32_t kind) {
    const ReportState& s = Reporting();
    switch (kind) {
        case kBug:
        case kBugAtLine: return s.bugsQuiet;
        case kError:
        case kErrorAtLine: return s.errorsQuiet;
        case kWarning:
        case kWarningAtLine: return s.warningsQuiet;
        case kCaution:
        case kCautionAtLine: return s.cautionsQuiet;
        default: return false;
    }
}

void Count(std::int32_t kind) {
    ReportState& s = Reporting();
    switch (kind) {
        case kBug:
        case kBugAtLine: ++s.bugs; break;
        case kError:
        case kErrorAtLine: ++s.errors; break;
        case kWarning:
        case kWarningAtLine: ++s.warnings; break;
        case kCaution:
        case kCautionAtLine: ++s.cautions; break;
        default: break;
    }
}

std::FILE* Stream() {
    ReportState& s = Reporting();
    if (!s.out) s.out = stdout;
    return s.out;
}

// Prints one formatted text with its header; number < 0 means the word style
// regardless of the style flag (reports by text).
void Print(std::int32_t number, std::int32_t kind, const char* text, bool numbered) {
    std::FILE* out = Stream();
    const Style* style = StyleOf(kind);
    if (!style) {
        if (numbered) std::fprintf(out, "I%04d - %s\n", static_cast<int>(number), text);
        return;
    }
    const std::size_t length = std::strlen(text);
    const bool atLine = AtLine(kind);
    const Band band = atLine ? style->atLine : style->plain;
    const bool ownLine = length >= band.low && length <= band.high;
    const unsigned long line = Reporting().currentLine;
    if (numbered) std::fprintf(out, "%c%04d", style->letter, static_cast<int>(number));
    else std::fputs(style->word, out);
    if (atLine) std::fprintf(out, " (line %*lu)", 4, line);
    std::fputs(ownLine ? " -\n    " : " - ", out);
    std::fputs(text, out);
    std::fputc('\n', out);
}

bool Disabled(std::int32_t number) {
    const std::vector<std::int32_t>& d = Reporting().disabled;
    return number > 0 && std::find(d.begin(), d.end(), number) != d.end();
}

// Records the finding when records are kept, else prints it in the style in force.
void Deliver(std::int32_t number, std::int32_t kind, const char* text, bool numbered) {
    ReportState& s = Reporting();
    if (!s.findings) {
        Print(number, kind, text, numbered);
        return;
    }
    if (kind >= kInformation) return;  // never printed in the word style either
    Finding f;
    f.file = s.currentFile;
    f.line = f.lastLine = AtLine(kind) ? s.currentLine : s.itemLine;
    f.kind = kind & ~1;
    f.number = number > 0 ? number : 0;
    f.text = text;
    // One line per finding: texts that end in a line end lose it.
    while (!f.text.empty() && (f.text.back() == '\n' || f.text.back() == '\r')) f.text.pop_back();
    s.findings->push_back(std::move(f));
}

void Report(std::int32_t number, std::int32_t kind, std::va_list args) {
    const MessageRow* row = FindMessage(number);
    ReportState& s = Reporting();
    if (!row) {
        if (!s.wordStyle) Print(0, kInformation, kMessageTable[0].text, true);
        return;
    }
    if (Quiet(kind) || Disabled(number)) return;
    char text[kMessageBufferSize];
    std::vsnprintf(text, sizeof text, row->text, args);
    Count(kind);
    Deliver(number, kind, text, !s.wordStyle);
}

void ReportByText(std::int32_t kind, const char* format, std::va_list args) {
    if (Quiet(kind)) return;
    char text[kMessageBufferSize];
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    Count(kind);
    Deliver(-1, kind, text, false);
}

}  // namespace

ReportState& Reporting() {
    return Context().Slot<ReportState>();
}

void ReportMessage(std::int32_t number, std::int32_t kind, const char* /*text*/, std::va_list args) {
    Report(number, kind, args);
}

void ReportNumbered(std::int32_t number, std::int32_t kind, ...) {
    std::va_list args;
    va_start(args, kind);
    Report(number, kind, args);
    va_end(args);
}

#define VELKOR_REPORT_BY_NUMBER(name, kind)     \
    void name(std::int32_t number, ...) {       \
        std::va_list args;                      \
        va_start(args, number);                 \
        Report(number, kind, args);             \
        va_end(args);                           \
    }

VELKOR_REPORT_BY_NUMBER(ReportBug, kBug)
VELKOR_REPORT_BY_NUMBER(ReportBugAtLine, kBugAtLine)
VELKOR_REPORT_BY_NUMBER(ReportError, kError)
VELKOR_REPORT_BY_NUMBER(ReportErrorAtLine, kErrorAtLine)
VELKOR_REPORT_BY_NUMBER(ReportWarning, kWarning)
VELKOR_REPORT_BY_NUMBER(ReportWarningAtLine, kWarningAtLine)
VELKOR_REPORT_BY_NUMBER(ReportCaution, kCaution)
VELKOR_REPORT_BY_NUMBER(ReportNote, kNote)
VELKOR_REPORT_BY_NUMBER(ReportNoteAtLine, kNoteAtLine)

#define VELKOR_REPORT_BY_TEXT(name, kind)       \
    void name(const char* format, ...) {        \
        std::va_list args;                      \
        va_start(args, format);                 \
        ReportByText(kind, format, args);       \
        va_end(args);                           \
    }

VELKOR_REPORT_BY_TEXT(ReportBugText, kBug)
VELKOR_REPORT_BY_TEXT(ReportErrorText, kError)
VELKOR_REPORT_BY_TEXT(ReportErrorTextAtLine, kErrorAtLine)
VELKOR_REPORT_BY_TEXT(ReportWarningText, kWarning)
VELKOR_REPORT_BY_TEXT(ReportWarningTextAtLine, kWarningAtLine)
VELKOR_REPORT_BY_TEXT(ReportNoteText, kNote)

void PrintSummary() {
    std::FILE* out = Stream();
    const ReportState& s = Reporting();
    if (s.bugs || s.errors || s.warnings) {
        std::fputc('\n', out);
        if (s.bugs) std::fprintf(out, "Bugs    : %ld\n", static_cast<long>(s.bugs));
    }
    std::fprintf(out, "Errors  : %ld\n", static_cast<long>(s.errors));
    if (s.warnings) std::fprintf(out, "Warnings: %ld\n", static_cast<long>(s.warnings));
    if (s.cautions) std::fprintf(out, "Cautions: %ld\n", static_cast<long>(s.cautions));
    if (!s.disabled.empty()) {
        std::fputs("Disabled:", out);
        for (std::int32_t n : s.disabled) std::fprintf(out, " %d", static_cast<int>(n));
        std::fputc('\n', out);
    }
    if (s.notChecked) std::fputs("Not checked: the file could not be read, or no IBIS version was found in it\n", out);
    std::fprintf(out, "\nFile %s\n", CheckFailed() ? "Failed" : "Passed");
}

bool CheckFailed() {
    const ReportState& s = Reporting();
    return s.bugs || s.errors || (s.warningsAsErrors && s.warnings) || s.notChecked;
}

void SetFindingRecords(std::vector<Finding>* findings) { Reporting().findings = findings; }
void SetDisabledMessages(const std::vector<std::int32_t>& numbers) { Reporting().disabled = numbers; }
void SetWarningsAsErrors(bool on) { Reporting().warningsAsErrors = on; }

void GetCounts(std::uint32_t* bugs, std::uint32_t* errors, std::uint32_t* warnings) {
    const ReportState& s = Reporting();
    if (bugs) *bugs = s.bugs;
    if (errors) *errors = s.errors;
    if (warnings) *warnings = s.warnings;
}

void SetReportStream(std::FILE* stream) { Reporting().out = stream; }
void SetBugsQuiet(bool quiet) { Reporting().bugsQuiet = quiet; }
void SetErrorsQuiet(bool quiet) { Reporting().errorsQuiet = quiet; }
void SetWarningsQuiet(bool quiet) { Reporting().warningsQuiet = quiet; }
void SetWordStyle(bool on) { Reporting().wordStyle = on; }

void ResetCounts() {
    ReportState& s = Reporting();
    s.bugs = s.errors = s.warnings = s.cautions = 0;
    s.notChecked = false;
}

void ReportAssertion(const char* module, int line) {
    std::fprintf(stdout, "%s:%d:assertion failed.\n", module, line);
    std::fflush(stdout);
    std::exit(EXIT_FAILURE);
}
