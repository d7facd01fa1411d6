#include "IbisParser/keywords/hdr.h"

#include <cctype>
#include <cstring>
#include <initializer_list>
#include <new>
#include <optional>
#include <string>

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/keywordcodes.h"
#include "IbisParser/engine/printable.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/casefold.h"

namespace {

enum Seen { kVersion, kName, kRevision, kDate, kSource, kNotes, kDisclaimer, kCopyright, kSeenCount };

struct HeaderState {
    FileHeader* open = nullptr;
    bool seen[kSeenCount] = {};
    std::int32_t lastKeyword = NOT_KEY;
    bool acceptVersion1 = false, skipNameChecks = false, treatAs5 = false;
};

HeaderState& State() {
    return Context().Slot<HeaderState>();
}

const char* const kReservedWords[] = {"GND", "NC", "POWER", "CIRCUITCALL", "NA"};

bool DosCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr(".!#$%&'()-@^_`{}~", c) != nullptr;
}

// Appends a piece to one of the free texts, joined by a line feed (amortised
// constant time: a keyword may have 100 000s of continuation lines).
void AppendText(std::optional<std::string>& text, const char* piece) {
    try {
        if (text) text->append(1, '\n').append(piece);
        else text.emplace(piece);
    } catch (const std::bad_alloc&) {
        ReportErrorAtLine(MSG_HDR_TEXT_NOT_ADDED);
        text.reset();
    }
}

void VersionRule(FileHeader* h, const char* value) {
    HeaderState& s = State();
    bool other = false;
    for (int i = kName; i < kSeenCount; ++i) other = other || s.seen[i];
    if (other) ReportErrorAtLine(MSG_HDR_VERSION_NOT_FIRST);
    if (s.seen[kVersion]) {
        ReportErrorAtLine(MSG_HDR_DUPLICATE_IBIS_VER);
        return;
    }
    s.seen[kVersion] = true;
    if (!CopyFieldTruncating(h->ibisVersion, value, kVersionLimit, "IBIS_Version")) return;
    if (s.treatAs5) {
        Frame().version = 5;
        Frame().versionCode = 50;
        return;
    }
    if (h->ibisVersion.empty()) return;
    const char* version = h->ibisVersion.c_str();
    int code = IbisVersionCode(version);
    if (code == 0 && s.acceptVersion1 && std::strncmp(version, "1.", 2) == 0) code = 11;
    if (code == 0) {
        ReportErrorAtLine(MSG_HDR_ILLEGAL_VERSION, version);
        return;
    }
    Frame().version = code / 10;
    Frame().versionCode = code;
}

void FileNameRule(FileHeader* h, const char* value) {
    HeaderState& s = State();
    if (s.seen[kName]) {
        ReportErrorAtLine(MSG_HDR_DUPLICATE_FILE_NAME);
        return;
    }
    s.seen[kName] = true;
    const int version = Frame().version;
    // IBIS 7.0 rewrote the rules: upper case and periods in the stem are allowed,
    // and the stem may have 60 characters (with ".ibs": 64).
    const bool from7 = Frame().versionCode >= 70;
    int ok = 0;
    if (version <= 2) ok = CopyFieldTruncating(h->fileName, value, 12, "File_name");
    else if (version == 3) ok = CopyFieldChecked(h->fileName, value, 24, "File_name");
    else ok = CopyFieldChecked(h->fileName, value, from7 ? 64 : 44, "File_name");
    if (!ok || s.skipNameChecks || h->fileName.empty()) return;
    const char* name = h->fileName.c_str();
    bool period = false;
    for (const char* c = name; *c; ++c) {
        if (std::isupper(static_cast<unsigned char>(*c))) {
            if (!from7) ReportErrorAtLine(MSG_HDR_FILE_NAME_UPPER_CASE, name, *c);
        } else if (!DosCharacter(*c)) {
            ReportErrorAtLine(MSG_HDR_FILE_NAME_NOT_DOS, name, *c);
        }
        if (*c == '.') {
            if (period && !from7) ReportErrorAtLine(MSG_HDR_FILE_NAME_PERIODS, name);
            period = true;
        }
    }
    if (!period) ReportErrorAtLine(MSG_HDR_FILE_NAME_NO_PERIOD, name);
    // A name cut to the field's length is compared as written: the cut is ours.
    const std::string written(value, std::strcspn(value, " \t"));
    if (!SameIgnoringCase(name, Frame().bareName) && !SameIgnoringCase(written, Frame().bareName))
        ReportErrorAtLine(MSG_HDR_FILE_NAME_DIFFERS, PrintableName(Frame().bareName).c_str(), name);
    CheckReservedWord(name);
}

void SimpleField(std::string& field, const char* value, std::uint32_t limit, const char* name, Seen which,
                 MessageOf<Severity::kError> duplicate) {
    HeaderState& s = State();
    if (s.seen[which]) {
        ReportErrorAtLine(duplicate);
        return;
    }
    s.seen[which] = true;
    CopyFieldTruncating(field, value, limit, name);
    CheckReservedWord(value);
}

}  // namespace

int CopyFieldTruncating(std::string& field, const char* value, std::uint32_t limit, const char* keyword) {
    if (!field.empty()) {
        ReportErrorAtLine(MSG_DUPLICATE_FIELD, keyword);
        return 0;
    }
    std::size_t n = std::strlen(value);
    if (n > limit) {
        ReportErrorAtLine(MSG_FIELD_TRUNCATED, keyword, value, limit > 2176 ? 2176u : limit);
        n = limit;
    }
    if (n == 0) ReportErrorAtLine(MSG_FIELD_EMPTY, keyword);
    field.assign(value, n);
    return 1;
}

int CopyFieldChecked(std::string& field, const char* value, std::uint32_t limit, const char* keyword) {
    if (!field.empty()) {
        ReportErrorAtLine(MSG_DUPLICATE_FIELD, keyword);
        return 0;
    }
    std::size_t n = std::strlen(value);
    if (n > limit) ReportErrorAtLine(MSG_FIELD_TOO_LONG, keyword, value, limit);
    if (n > kMaxPath) n = kMaxPath;
    if (n == 0) ReportErrorAtLine(MSG_FIELD_EMPTY, keyword);
    field.assign(value, n);
    return 1;
}

void CheckReservedWord(const char* value) {
    for (const char* word : kReservedWords)
        if (SameIgnoringCase(value, word)) ReportErrorAtLine(MSG_RESERVED_WORD, value);
}

void CheckRequiredKeyword(const char* keyword, int seen) {
    if (!seen) ReportError(MSG_REQUIRED_KEYWORD_MISSING, keyword, PrintableName(Frame().bareName).c_str());
}

FileHeader* HdrOpen() {
    HeaderState& s = State();
    FileHeader* h = new (std::nothrow) FileHeader;
    if (h) s.open = h;
    else ReportError(MSG_HDR_CREATE_FAILED);
    for (bool& b : s.seen) b = false;
    return h;
}

void HdrLine(int lineClass, std::int32_t code, const char* line) {
    HeaderState& s = State();
    FileHeader* h = s.open;
    if (!h) {
        if (lineClass == kLineKeyword) ReportErrorAtLine(MSG_HDR_ORPHAN_KEYWORD);
        else ReportErrorAtLine(MSG_HDR_ORPHAN_DATA_LINE);
        return;
    }
    if (lineClass == kLineKeyword) {
        s.lastKeyword = code;
        const char* value = std::strchr(line, ']');
        value = value ? value + 1 : line + std::strlen(line);
        SkipBlanks(&value);
        switch (code) {
            case KW_IBIS_VER: VersionRule(h, value); break;
            case KW_FILE_NAME: FileNameRule(h, value); break;
            case KW_FILE_REV:
                SimpleField(h->fileRevision, value, kRevisionLimit, "File_Rev", kRevision, MSG_HDR_DUPLICATE_FILE_REV);
                break;
            case KW_DATE: SimpleField(h->date, value, kDateLimit, "Date", kDate, MSG_HDR_DUPLICATE_DATE); break;
            case KW_SOURCE:
            case KW_NOTES:
            case KW_COPYRIGHT: {
                const Seen which = code == KW_SOURCE ? kSource : code == KW_NOTES ? kNotes : kCopyright;
                if (s.seen[which]) {
                    using Duplicate = MessageOf<Severity::kError>;
                    ReportErrorAtLine(code == KW_SOURCE  ? Duplicate(MSG_HDR_DUPLICATE_SOURCE)
                                      : code == KW_NOTES ? Duplicate(MSG_HDR_DUPLICATE_NOTES)
                                                         : Duplicate(MSG_HDR_DUPLICATE_COPYRIGHT));
                    break;
                }
                s.seen[which] = true;
                AppendText(code == KW_SOURCE ? h->source : code == KW_NOTES ? h->notes : h->copyright, value);
                break;
            }
            case KW_DISCLAIMER:
                s.seen[kDisclaimer] = true;
                AppendText(h->disclaimer, value);
                break;
            default: ReportBugAtLine(MSG_HDR_BAD_KEYWORD);
        }
        return;
    }
    if (lineClass == kLineData) {
        switch (s.lastKeyword) {
            case KW_SOURCE: AppendText(h->source, line); break;
            case KW_NOTES: AppendText(h->notes, line); break;
            case KW_DISCLAIMER: AppendText(h->disclaimer, line); break;
            case KW_COPYRIGHT: AppendText(h->copyright, line); break;
            default: ReportErrorAtLine(MSG_HDR_ORPHAN_DATA_LINE);
        }
        return;
    }
    ReportBugAtLine(MSG_HDR_BAD_LINE_TYPE);
}

void HdrClose(std::int32_t newCode) {
    HeaderState& s = State();
    if (newCode == KW_IBIS_VER && s.open) {
        ReportErrorAtLine(MSG_HDR_DUPLICATE_IBIS_VER);
        return;
    }
    // The header's other keywords continue it.
    for (std::int32_t continuing : {KW_FILE_NAME, KW_FILE_REV, KW_DATE, KW_SOURCE, KW_NOTES, KW_DISCLAIMER, KW_COPYRIGHT})
        if (newCode == continuing) return;
    if (!s.open) return;
    CheckRequiredKeyword("IBIS_Version", s.seen[kVersion]);
    CheckRequiredKeyword("File_name", s.seen[kName]);
    CheckRequiredKeyword("File_Rev", s.seen[kRevision]);
    s.open = nullptr;
}

void HdrFree(FileHeader** list) {
    if (!list) return;
    while (*list) {
        FileHeader* h = *list;
        *list = h->next;
        delete h;
    }
    State().open = nullptr;
}

static int Present(const char* value, const char** out) {
    const int ok = value && *value ? 1 : 0;
    if (out) *out = ok ? value : nullptr;
    return ok;
}
static int Present(const std::string* value, const char** out) { return Present(value ? value->c_str() : nullptr, out); }
static int Present(const std::optional<std::string>* text, const char** out) {
    return Present(text && *text ? (*text)->c_str() : nullptr, out);
}

int HdrGetIbisVersion(const FileHeader* h, const char** v) { return Present(h ? &h->ibisVersion : nullptr, v); }
int HdrGetFileName(const FileHeader* h, const char** v) { return Present(h ? &h->fileName : nullptr, v); }
int HdrGetFileRevision(const FileHeader* h, const char** v) { return Present(h ? &h->fileRevision : nullptr, v); }
int HdrGetDate(const FileHeader* h, const char** v) { return Present(h ? &h->date : nullptr, v); }
int HdrGetSource(const FileHeader* h, const char** v) { return Present(h ? &h->source : nullptr, v); }
int HdrGetNotes(const FileHeader* h, const char** v) { return Present(h ? &h->notes : nullptr, v); }
int HdrGetDisclaimer(const FileHeader* h, const char** v) { return Present(h ? &h->disclaimer : nullptr, v); }
int HdrGetCopyright(const FileHeader* h, const char** v) { return Present(h ? &h->copyright : nullptr, v); }

void HdrSetAcceptVersion1(bool on) { State().acceptVersion1 = on; }
void HdrSetSkipFileNameChecks(bool on) { State().skipNameChecks = on; }
void HdrSetTreatAsVersion5(bool on) { State().treatAs5 = on; }
