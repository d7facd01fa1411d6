#include "IbisParser/engine/parse.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/groups.h"
#include "IbisParser/engine/ibis.h"
#include "IbisParser/engine/printable.h"
#include "IbisParser/engine/registry.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/casefold.h"

namespace {

constexpr const char* kModule = "parse.cpp";
constexpr std::size_t kReadLimit = 1024;
constexpr std::size_t kMaxKeywordLength = 117;

bool IsForbiddenCommentChar(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || std::strchr("[]._/=+-", c) != nullptr || c == '\0';
}

// [IBIS Ver] or [IBIS_Ver] at the start of a keyword line, ignoring case.
bool IsIbisVerLine(const char* p) {
    return StartsIgnoringCase(p, "[IBIS Ver]") || StartsIgnoringCase(p, "[IBIS_Ver]");
}

bool IsCommentCharLine(const char* p) {
    return StartsIgnoringCase(p, "[COMMENT_CHAR]") || StartsIgnoringCase(p, "[COMMENT CHAR]");
}

void RedefineCommentChar(const char* line) {
    const char* p = std::strchr(line, ']') + 1;
    SkipBlanks(&p);
    const char c = *p;
    if (c == '\0' || !StartsIgnoringCase(p + 1, "_char")) {
        ReportErrorAtLine(MSG_COMMENT_CHAR_DEFINITION);
        return;
    }
    if (IsForbiddenCommentChar(c)) {
        ReportErrorAtLine(MSG_COMMENT_CHAR_INVALID, c);
        return;
    }
    p += 6;
    SkipBlanks(&p);
    if (*p != '\0' && *p != c) ReportErrorAtLine(MSG_COMMENT_CHAR_TOO_MANY_ITEMS);
    Frame().commentChar = c;
}

bool FreeTextKeyword(std::int32_t code) {
    return code == KW_SOURCE || code == KW_NOTES || code == KW_DISCLAIMER || code == KW_COPYRIGHT;
}

}  // namespace

namespace {

// The value of the file's first keyword when that is [IBIS Ver] ("" when it is
// empty); false when the first keyword is another one or there is none, or when
// the file could not be opened (then `opened` is false and the reason reported).
bool DeclaredVersion(const char* path, int kind, std::uint32_t* lineCount, std::string* value,
                     bool* opened = nullptr) {
    std::FILE* file = nullptr;
    if (opened) *opened = false;
    if (!OpenCheckedFile(path, kind, &file, nullptr)) return false;
    if (opened) *opened = true;
    std::string line;
    std::size_t length = 0;
    std::uint32_t count = 0;
    bool found = false;
    // Illegal characters are reported once, by the check that follows.
    while (ReadCheckedLine(file, line, 120, length, false)) {
        ++count;
        const char* p = line.c_str();
        SkipBlanks(&p);
        if (*p != '[') continue;
        if (IsIbisVerLine(p)) {
            p += 10;
            SkipBlanks(&p);
            value->assign(p, std::strcspn(p, " \t|"));
            found = true;
        }
        break;
    }
    std::fclose(file);
    if (lineCount) *lineCount = count;
    return found;
}

// The version whose rules check a declared version: the version itself, or for
// one that is not an IBIS version the newest one before it (4.3 by 4.2); 0 when
// the text does not start with a version number at all.
int RulesVersionFor(const std::string& value) {
    if (const int exact = IbisVersionCode(value.c_str())) return exact;
    if (value.empty() || !std::isdigit(static_cast<unsigned char>(value[0]))) return 0;
    const int major = value[0] - '0';
    int minor = 0;
    if (value.size() > 2 && value[1] == '.' && std::isdigit(static_cast<unsigned char>(value[2]))) minor = value[2] - '0';
    const int declared = 10 * major + minor;
    int rules = kIbisVersions[0];
    for (int v : kIbisVersions)
        if (v <= declared) rules = v;
    return rules;
}

}  // namespace

int DetectIbisVersion(const char* path, std::uint32_t* lineCount, int kind) {
    std::string value;
    if (!DeclaredVersion(path, kind, lineCount, &value)) return 0;
    const int major = value.empty() ? 0 : value[0] - '0';
    return major >= 1 && major <= kNewestIbisVersion / 10 ? major : 0;
}

namespace {

// The text between the brackets, blanks turned into underscores; false (with
// 914 or 915) when there is none.
bool KeywordText(const char* line, std::string* name) {
    const char* open = std::strchr(line, '[');
    const char* close = open ? std::strchr(open, ']') : nullptr;
    if (!close) {
        ReportErrorAtLine(MSG_KEYWORD_BRACKET_MISSING);
        return false;
    }
    name->assign(open + 1, close);
    if (name->empty() || name->size() > kMaxKeywordLength) {
        ReportErrorAtLine(MSG_KEYWORD_EMPTY_OR_LONG);
        return false;
    }
    for (char& c : *name)
        if (IsBlank(c)) c = '_';
    return true;
}

// The keywords that a submodel reads under codes of their own.
constexpr struct {
    std::int32_t plain, inSubmodel;
} kSubmodelCodes[] = {
    {KW_PULLDOWN, KW_SUB_PULLDOWN},
    {KW_PULLUP, KW_SUB_PULLUP},
    {KW_GND_CLAMP, KW_SUB_GND_CLAMP},
    {KW_POWER_CLAMP, KW_SUB_POWER_CLAMP},
    {KW_RAMP, KW_SUB_RAMP},
    {KW_RISING_WAVEFORM, KW_SUB_RISING_WAVEFORM},
    {KW_FALLING_WAVEFORM, KW_SUB_FALLING_WAVEFORM},
    {KW_INITIAL_DELAY, KW_SUB_INITIAL_DELAY},
};

// A package model's keywords before its pin count: a [Manufacturer] after them
// is the package model's.
bool InPackageModelHead(std::int32_t code) {
    return code == KW_DEFINE_PACKAGE_MODEL || code == KW_PKG_MANUFACTURER || code == KW_OEM ||
           code == KW_DESCRIPTION;
}

// A keyword that stands inside a board description (not its end keyword).
bool InBoardDescription(std::int32_t code) {
    const KeywordInfo* row = KeywordInfoOf(code);
    return row && row->insideOf == KW_BEGIN_BOARD_DESCRIPTION;
}

// The code a keyword takes in its context.
std::int32_t Refined(std::int32_t found, std::int32_t currentCode) {
    if (found == KW_MANUFACTURER) {
        if (InPackageModelHead(currentCode)) found = KW_PKG_MANUFACTURER;
        if (currentCode == KW_BEGIN_BOARD_DESCRIPTION || currentCode == KW_EBD_MANUFACTURER)
            found = KW_EBD_MANUFACTURER;
        // A board description file has no components: inside a board description
        // [Manufacturer] is the board's wherever it stands.
        if (Frame().kind == kFileEbd && InBoardDescription(currentCode)) found = KW_EBD_MANUFACTURER;
    }
    if (found == KW_NUMBER_OF_PINS && Frame().kind == kFileEbd) found = KW_EBD_NUMBER_OF_PINS;
    if (Frame().submodelOpen) {
        for (const auto& pair : kSubmodelCodes)
            if (found == pair.plain) found = pair.inSubmodel;
    }
    return found;
}

// The keyword of a line for the file's version: a known keyword that the
// version does not have yet draws 909 with the version that introduced it, and
// is then read as it would be in that version (its data is not unknown).
int LookupForVersion(const char* line, std::int32_t currentCode, std::int32_t* code) {
    *code = NOT_KEY;
    std::string name;
    if (!KeywordText(line, &name)) return 0;
    const KeywordInfo* row = FindKeyword(name.c_str());
    if (!row) {
        ReportErrorAtLine(MSG_KEYWORD_UNKNOWN, name.c_str());
        return 0;
    }
    if (row->introduced > Frame().versionCode)
        ReportErrorAtLine(MSG_KEYWORD_TOO_NEW, row->display, IbisVersionText(row->introduced), IbisVersionText(Frame().versionCode));
    *code = Refined(row->code, currentCode);
    return 1;
}

// The versions up to 5.0 are checked as the newest of their major version.
const char* BannerVersion(int rules) {
    if (rules <= 11) return "1.1";
    if (rules < 30) return "2.1";
    if (rules < 40) return "3.2";
    if (rules < 50) return "4.2";
    return IbisVersionText(rules);
}

const char* Display(std::int32_t code) {
    const KeywordInfo* info = KeywordInfoOf(code);
    return info ? info->display : "?";
}

// Sections that open with one keyword and close with their end keyword: a
// keyword that may not stand inside the open section leaves it without its end.
void TrackSections(std::int32_t code) {
    FrameState& f = Frame();
    const std::uint32_t line = Reporting().currentLine;
    const KeywordInfo* row = KeywordInfoOf(code);
    if (!row) return;
    auto reportMissing = [&](int depth) {
        const KeywordInfo* open = KeywordInfoOf(f.sections[depth]);
        open->endMissing(Display(open->endCode), open->display, static_cast<int>(f.sectionLines[depth]));
    };
    if (const KeywordInfo* ended = SectionEndedBy(code)) {
        int at = f.sectionDepth - 1;
        while (at >= 0 && f.sections[at] != ended->code) --at;
        if (at < 0) {
            ended->endOrphan(row->display);
            return;
        }
        for (int d = f.sectionDepth - 1; d > at; --d) reportMissing(d);
        f.sectionDepth = at;
        return;
    }
    while (f.sectionDepth > 0 && row->insideOf != f.sections[f.sectionDepth - 1]) {
        reportMissing(f.sectionDepth - 1);
        --f.sectionDepth;
    }
    if (row->insideOf != NOT_KEY && f.sectionDepth == 0) ReportErrorAtLine(MSG_KEYWORD_OUTSIDE_ITS_PLACE, row->display, Display(row->insideOf));
    if (row->endCode != NOT_KEY && f.sectionDepth < FrameState::kMaxSections) {
        f.sections[f.sectionDepth] = code;
        f.sectionLines[f.sectionDepth] = line;
        ++f.sectionDepth;
    }
}

// A keyword of a group stands in that group: [Ramp] in a [Model], [Pin] in a
// [Component]. File header keywords report their own orphans, sections theirs,
// and component and model keywords are not read outside IBIS files.
void CheckPlacement(const KeywordInfo& row) {
    if (row.group == kGroupNone || row.group == kGroupHeader || (row.flags & kStartsGroup)) return;
    if (row.insideOf != NOT_KEY || SectionEndedBy(row.code)) return;
    if ((row.group == kGroupComponent || row.group == kGroupModel) && Frame().kind != kFileIbs) return;
    if (OpenGroup() != row.group) ReportErrorAtLine(MSG_KEYWORD_OUTSIDE_ITS_PLACE, row.display, GroupStartName(row.group));
}

}  // namespace

int LookupKeyword(const char* line, std::int32_t currentCode, std::int32_t* code, const KeywordRow* table) {
    IBIS_ASSERT(kModule, line && code && table);
    *code = NOT_KEY;
    std::string name;
    if (!KeywordText(line, &name)) return 0;
    for (const KeywordRow* row = table; row->code != NOT_KEY; ++row) {
        if (!SameIgnoringCase(name, row->name)) continue;
        *code = Refined(row->code, currentCode);
        return 1;
    }
    ReportErrorAtLine(MSG_KEYWORD_UNKNOWN, name.c_str());
    return 0;
}

const char* KeywordName(std::int32_t code, std::string* text) {
    if (const KeywordInfo* info = KeywordInfoOf(code)) {
        if (text) *text = info->name;
        return info->name;
    }
    ReportBug(MSG_UNKNOWN_KEYWORD_CODE);
    if (text) *text = "Unknown enumerated keyword code";
    return "Unknown enumerated keyword code";
}

void HandleLine(int lineClass, char* line) {
    FrameState& f = Frame();
    if (lineClass == kLineKeyword) {
        std::int32_t code = NOT_KEY;
        if (!LookupForVersion(line, f.currentKeyword, &code)) {
            f.currentKeyword = NOT_KEY;  // the line is dropped; its group stays open
            return;
        }
        const KeywordInfo& row = *KeywordInfoOf(code);
        TrackSections(code);
        CloseGroupFor(row);
        f.currentKeyword = code;
        if (code == KW_IBIS_VER) {
            if (f.ibisVerSeen) ReportErrorAtLine(MSG_DUPLICATE_IBIS_VER);
            f.ibisVerSeen = true;
        }
        if ((row.flags & kIbsOnly) && f.kind != kFileIbs) {
            ReportErrorAtLine(MSG_KEYWORD_NOT_IN_PKG_FILE);
            return;
        }
        OpenGroupFor(row, line);
        CheckPlacement(row);
        NoteKeyword(row, line);
    }
    const std::int32_t code = f.currentKeyword;
    if (code == KW_END) {
        if (lineClass == kLineKeyword) {
            const char* rest = std::strchr(line, ']');
            rest = rest ? rest + 1 : line + std::strlen(line);
            SkipBlanks(&rest);
            if (*rest) ReportErrorAtLine(MSG_END_EXTRANEOUS_DATA);
            f.endSeen = true;
        }
        return;
    }
    if (code == NOT_KEY) {
        if (lineClass == kLineData) ReportErrorAtLine(MSG_DATA_FOR_UNKNOWN_KEYWORD, line);
        return;
    }
    const KeywordInfo* row = KeywordInfoOf(code);
    if (!row || row->group == kGroupNone) {
        ReportBug(MSG_UNKNOWN_CURRENT_KEYWORD, kModule, __LINE__);
        return;
    }
    // Component and model lines are read in IBIS files only.
    if ((row->group == kGroupComponent || row->group == kGroupModel) && f.kind != kFileIbs) return;
    DispatchLine(lineClass, code, line);
}

namespace {

int CheckFileOfKind(const char* path, int kind) {
    Reporting().currentFile = path;
    Reporting().itemLine = 0;
    if (const FileCheck* whole = FileCheckFor(kind)) return whole->check(path) ? 1 : 0;
    FrameState& f = Frame();
    const bool quiet = f.quiet, noFileChecks = f.noFileChecks;
    f = FrameState{};
    f.quiet = quiet;
    f.noFileChecks = noFileChecks;
    f.kind = kind;
    Reporting().currentLine = 0;
    std::string declared;
    bool opened = false;
    const bool found = DeclaredVersion(path, kind, nullptr, &declared, &opened);
    if (!opened) return 0;  // why is reported; no version can be looked for
    const int rules = found ? RulesVersionFor(declared) : 0;
    if (rules == 0) {
        ReportError(MSG_VERSION_NOT_FOUND, PrintableName(path).c_str());
        return 0;
    }
    const int major = declared[0] - '0';
    if (major < 1 || major > kNewestIbisVersion / 10)  // found, but no IBIS version
        ReportWarning(MSG_VERSION_NOT_SUPPORTED, declared.c_str(), PrintableName(path).c_str(), IbisVersionText(rules));
    f.version = rules / 10;
    f.versionCode = rules;
    if (!f.quiet) {
        std::printf("\nChecking %s for IBIS %s Compatibility...\n\n", PrintableName(path).c_str(),
                    BannerVersion(rules));
        std::fflush(stdout);
    }
    std::FILE* file = nullptr;
    if (!OpenCheckedFile(path, kind, &file, nullptr)) return 0;
    if (!IbisCreate()) {
        std::fclose(file);
        return 0;
    }
    ResetGroups();
    std::string raw;
    std::size_t length = 0;
    while (ReadCheckedLine(file, raw, kReadLimit, length, true)) {
        const std::size_t limit = f.version <= 3 ? 80 : 120;
        if (length > limit && !f.longLinesAllowed) ReportErrorAtLine(MSG_LINE_TOO_LONG, static_cast<int>(limit));
        if (!f.tabReported && raw.find('\t') != std::string::npos) {
            ReportWarningAtLine(MSG_TAB_CHARACTERS);
            f.tabReported = true;
        }
        std::vector<char> buffer(raw.begin(), raw.end());
        buffer.push_back('\0');
        char* p = buffer.data();
        SkipBlanks(&p);
        int lineClass = kLineData;
        if (*p == '\0') lineClass = kLineBlank;
        else if (*p == f.commentChar) lineClass = kLineComment;
        else if (*p == '[') {
            lineClass = kLineKeyword;
            if (p != buffer.data()) {
                if (FreeTextKeyword(f.currentKeyword) && !f.endSeen) lineClass = kLineData;
                else ReportErrorAtLine(MSG_KEYWORD_NOT_IN_COLUMN_1);
            }
        }
        if (lineClass == kLineBlank || lineClass == kLineComment) continue;
        if (f.endSeen) {
            ReportErrorAtLine(MSG_LINE_AFTER_END);
            continue;
        }
        if (lineClass == kLineKeyword && IsCommentCharLine(p)) {
            RedefineCommentChar(p);
            continue;
        }
        // Cut at the comment character and trailing blanks; data lines keep their indent.
        char* text = lineClass == kLineKeyword ? p : buffer.data();
        if (char* comment = std::strchr(text, f.commentChar)) *comment = '\0';
        std::size_t n = std::strlen(text);
        while (n > 0 && IsBlank(text[n - 1])) text[--n] = '\0';
        HandleLine(lineClass, text);
    }
    std::fclose(file);
    if (!f.endSeen) {
        ReportError(MSG_END_NOT_FOUND);
        char end[] = "[END]";
        HandleLine(kLineKeyword, end);
    }
    FinishIbis();
    IbisFree();
    return 1;
}

}  // namespace

int CheckIbisFile(const char* path, int kind) {
    IBIS_ASSERT(kModule, path != nullptr);
    const int read = CheckFileOfKind(path, kind);
    // A file that could not be read is never a pass, whatever findings were left out.
    if (!read) Reporting().notChecked = true;
    return read;
}

int CheckIbisFile(CheckContext& context, const char* path, int kind) {
    const ContextScope bound(context);
    return CheckIbisFile(path, kind);
}
