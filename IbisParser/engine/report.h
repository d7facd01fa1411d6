// The checker library's reporting: numbered messages printed on one stream and
// counted by severity, and the summary with its verdict. The state is
// process-wide, as every report of the library goes through it.
#pragma once

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <type_traits>
#include <vector>

#include "IbisParser/engine/messageformat.h"

enum ReportKind : std::int32_t {
    kBug = 0,
    kBugAtLine = 1,
    kError = 2,
    kErrorAtLine = 3,
    kWarning = 4,
    kWarningAtLine = 5,
    kCaution = 6,
    kCautionAtLine = 7,
    kNote = 8,
    kNoteAtLine = 9,
    kInformation = 10,
};

// One finding as a record, for the formats that are read by programs: the
// file and line it concerns, its severity, number and formatted text. A run of
// findings folded into one keeps the first text, the count and the last line.
struct Finding {
    std::string file;            // as the checker opened it
    std::uint32_t line = 0;      // 0: the finding concerns no one line
    std::uint32_t lastLine = 0;  // of a folded run; equals line otherwise
    std::uint32_t count = 1;     // findings folded into this one
    std::int32_t kind = kError;  // ReportKind without the line variant (kBug, kError, ...)
    std::int32_t number = 0;     // 0 for reports by text
    std::string text;
};

struct ReportState {
    std::FILE* out = nullptr;  // standard output when unset
    std::uint32_t bugs = 0, errors = 0, warnings = 0, cautions = 0;
    bool bugsQuiet = false, errorsQuiet = false, warningsQuiet = false;
    bool cautionsQuiet = true;
    bool wordStyle = true;
    std::uint32_t currentLine = 0;  // kept by the checker's file reader
    // For the finding records only (the printed styles never show them): the
    // file under check, and the line of the item a report without a line
    // concerns (the .ami node being checked), 0 when none.
    std::string currentFile;
    std::uint32_t itemLine = 0;
    // When set, counted reports are recorded here instead of printed.
    std::vector<Finding>* findings = nullptr;
    // Message numbers left out: neither printed, recorded nor counted.
    std::vector<std::int32_t> disabled;
    bool warningsAsErrors = false;  // the verdict fails on warnings too
    bool notChecked = false;        // the file under check could not be read: it fails
};

// The one reporting state of the process.
ReportState& Reporting();

// Longest formatted message text; longer ones are cut there.
constexpr std::size_t kMessageBufferSize = 2048;

// The one entry of the reports by number: the row's text formatted with the
// arguments. Check modules call the typed functions below, never this.
void ReportNumbered(std::int32_t number, std::int32_t kind, ...);
void ReportMessage(std::int32_t number, std::int32_t kind, const char* text, std::va_list args);

#define VELKOR_CHECKED_REPORT(name, severity, kind)                                                \
    template <typename... Args>                                                                     \
    void name(MessageOf<Severity::severity, std::type_identity_t<Args>...> message, Args... args) { \
        ReportNumbered(message.number(), kind, args...);                                            \
    }
VELKOR_CHECKED_REPORT(ReportBug, kBug, kBug)
VELKOR_CHECKED_REPORT(ReportBugAtLine, kBug, kBugAtLine)
VELKOR_CHECKED_REPORT(ReportError, kError, kError)
VELKOR_CHECKED_REPORT(ReportErrorAtLine, kError, kErrorAtLine)
VELKOR_CHECKED_REPORT(ReportWarning, kWarning, kWarning)
VELKOR_CHECKED_REPORT(ReportWarningAtLine, kWarning, kWarningAtLine)
VELKOR_CHECKED_REPORT(ReportCaution, kCaution, kCaution)
VELKOR_CHECKED_REPORT(ReportNote, kNote, kNote)
VELKOR_CHECKED_REPORT(ReportNoteAtLine, kNote, kNoteAtLine)
#undef VELKOR_CHECKED_REPORT

// By text: a format of the caller's own, printed in the word style.
void ReportBugText(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ReportErrorText(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ReportErrorTextAtLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ReportWarningText(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ReportWarningTextAtLine(const char* format, ...) __attribute__((format(printf, 1, 2)));
void ReportNoteText(const char* format, ...) __attribute__((format(printf, 1, 2)));

void PrintSummary();
void GetCounts(std::uint32_t* bugs, std::uint32_t* errors, std::uint32_t* warnings);

void SetReportStream(std::FILE* stream);
void SetBugsQuiet(bool quiet);
void SetErrorsQuiet(bool quiet);
void SetWarningsQuiet(bool quiet);
void SetWordStyle(bool on);
void SetFindingRecords(std::vector<Finding>* findings);
void SetDisabledMessages(const std::vector<std::int32_t>& numbers);
void SetWarningsAsErrors(bool on);
// True when the counts so far give the verdict "Failed", or the file could not be checked.
bool CheckFailed();

// A line of the reporting state set for a scope; the previous one comes back at
// the end of the scope.
template <std::uint32_t ReportState::*Line>
class ReportLineScope {
public:
    explicit ReportLineScope(std::uint32_t line) : saved_(Reporting().*Line) { Reporting().*Line = line; }
    ~ReportLineScope() { Reporting().*Line = saved_; }
    ReportLineScope(const ReportLineScope&) = delete;
    ReportLineScope& operator=(const ReportLineScope&) = delete;

private:
    std::uint32_t saved_;
};

// The line of the item that the reports within the scope concern, for the finding records.
using ItemLineScope = ReportLineScope<&ReportState::itemLine>;
// The line that the line reports within the scope are at.
using CurrentLineScope = ReportLineScope<&ReportState::currentLine>;

// Clears the counts and the not-checked mark (a new file check); the flags and stream stay.
void ResetCounts();

// The internal assertion: reports a programming error of a caller and ends the process.
[[noreturn]] void ReportAssertion(const char* module, int line);
#define IBIS_ASSERT(module, condition) \
    do {                               \
        if (!(condition)) ReportAssertion(module, __LINE__); \
    } while (0)
