#include "IbisParser/keywords/algmod.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "IbisParser/ami/amicheck.h"
#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/namedguard.h"
#include "IbisParser/engine/printable.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/casefold.h"
#include "IbisParser/text/words.h"

namespace {

constexpr const char* kModule = "algmod.cpp";
// The line of the [Algorithmic Model] keyword read last.
std::uint32_t& LastKeywordLine() {
    struct Line {
        std::uint32_t line = 0;
    };
    return Context().Slot<Line>().line;
}

void CopyLimited(char* field, const char* value, MessageOf<Severity::kError, const char*> tooLong) {
    const std::size_t n = std::strlen(value);
    if (n > kAlgModNameLimit) ReportErrorAtLine(tooLong, value);
    const std::size_t keep = n > kAlgModNameLimit ? kAlgModNameLimit : n;
    std::memcpy(field, value, keep);
    field[keep] = '\0';
}

// An optional plus sign and decimal digits, nothing else.
bool ReadBits(const char* text, std::int32_t* bits) {
    const char* p = text;
    if (*p == '+') ++p;
    if (!*p) return false;
    long long value = 0;
    for (; *p; ++p) {
        if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
        if (value < 100000000) value = value * 10 + (*p - '0');
    }
    *bits = static_cast<std::int32_t>(value > 0x7fffffff ? 0x7fffffff : value);
    return true;
}

// An entry's four items: the sub-parameter, platform_compiler_bits, the
// executable and the parameter file.
AlgorithmicModelEntry* ReadExecutable(const std::vector<std::string>& items) {
    const std::vector<std::string_view> views = Items(items[1], '_');
    if (views.size() != 5) {
        ReportErrorAtLine(MSG_ALGMOD_ENTRY_UNPARSABLE);
        return nullptr;
    }
    const std::string platform(views[0]), compiler(views[2]), bits(views[4]);
    AlgorithmicModelEntry* e = nullptr;
    if (!CheckAlloc(&e, sizeof(AlgorithmicModelEntry))) {
        ReportBug(MSG_ALGMOD_OUT_OF_MEMORY, kModule, __LINE__);
        return nullptr;
    }
    e->bits = -1;
    CopyLimited(e->platform, platform.c_str(), MSG_ALGMOD_PLATFORM_TOO_LONG);
    CopyLimited(e->compiler, compiler.c_str(), MSG_ALGMOD_COMPILER_TOO_LONG);
    if (!ReadBits(bits.c_str(), &e->bits)) ReportErrorAtLine(MSG_ALGMOD_BITS_UNPARSABLE, items[1].c_str());
    CopyLimited(e->executable, items[2].c_str(), MSG_ALGMOD_FILE_NAME_TOO_LONG);
    CopyLimited(e->parameterFile, items[3].c_str(), MSG_ALGMOD_FILE_NAME_TOO_LONG);
    return e;
}

std::string EntryKey(const AlgorithmicModelEntry& e) {
    return Lower(std::to_string(e.form) + '\n' + e.platform + '\n' + e.compiler + '\n' + std::to_string(e.bits));
}

// The names already checked for the IBIS file being checked (by kind): each
// named file is read and checked once, however many entries name it.
std::unordered_set<std::string>& CheckedNames() {
    struct CheckedFiles {
        std::unordered_set<std::string> names;
    };
    return Context().Slot<CheckedFiles>().names;
}

bool HasAmiExtension(const char* name) {
    const std::size_t n = std::strlen(name);
    return n >= 4 && std::strcmp(name + n - 4, ".ami") == 0;
}

bool FirstTime(char kind, const char* name) { return CheckedNames().insert(kind + std::string(name)).second; }

// Whether the named file may be opened: a plain name of a regular file in the
// folder of the IBIS file, of at most `sizeLimit` bytes (0: any). Reports what
// stands in the way (none for a missing file: its message is the caller's).
NamedFileProblem CheckNamedFile(const std::string& directory, const char* name, const char* modelName,
                                std::uintmax_t sizeLimit) {
    std::string path;
    const NamedFileProblem problem = GuardNamedFile(directory, name, false, sizeLimit, &path);
    switch (problem) {
        case NamedFileProblem::kDirectoryPart: ReportError(MSG_ALGMOD_NAME_HAS_DIRECTORY, name, modelName); break;
        case NamedFileProblem::kNotRegular:
            ReportError(MSG_NOT_A_REGULAR_FILE, PrintableName(directory).c_str(), name);
            break;
        case NamedFileProblem::kTooLarge:
            ReportError(MSG_AMI_FILE_TOO_LARGE, PrintableName(path).c_str(), kAmiFileSizeLimit);
            break;
        default: break;
    }
    return problem;
}

struct FormRow {
    const char* name;
    std::int32_t form;
    int introduced;
};
// Executable came with [Algorithmic Model] itself, whose version the frame checks.
const FormRow kForms[] = {
    {"Executable", kExecutable, 0}, {"Executable_Rx", kExecutableRx, 60}, {"Executable_Tx", kExecutableTx, 60}};

// The form named by a line's first item; null (after 4609 or 924) when none may stand here.
const FormRow* FormOf(const char* name) {
    for (const FormRow& f : kForms) {
        if (std::strcmp(name, f.name) != 0) continue;
        if (f.introduced <= Frame().versionCode) return &f;
        ReportErrorAtLine(MSG_SUB_PARAMETER_TOO_NEW, f.name, "Algorithmic Model", IbisVersionText(f.introduced),
                          IbisVersionText(Frame().versionCode));
        return nullptr;
    }
    ReportErrorAtLine(MSG_ALGMOD_UNKNOWN_LINE);
    return nullptr;
}

constexpr int kAlgorithmicModelVersion = 50;

// Before IBIS 7.0 file names are lower case; a name with an upper-case letter
// is found only where the file system ignores case.
void CheckNameCase(const char* name) {
    if (Frame().versionCode >= 70) return;
    for (const char* c = name; *c; ++c)
        if (std::isupper(static_cast<unsigned char>(*c))) {
            ReportWarningAtLine(MSG_ALGMOD_NAME_UPPER_CASE, name, IbisVersionText(Frame().versionCode));
            return;
        }
}

bool Readable(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::fclose(f);
    return true;
}

}  // namespace

int AlgModKeyword(const char* line, AlgorithmicModelEntry*** head) {
    if (*head) {
        ReportErrorAtLine(MSG_ALGMOD_ALREADY_DEFINED);
        AlgModFree(head);
    }
    if (!CheckAlloc(head, sizeof(AlgorithmicModelEntry*))) {
        ReportBug(MSG_ALGMOD_OUT_OF_MEMORY, kModule, __LINE__);
        return 0;
    }
    const char* p = std::strchr(line, ']');
    if (!p) {
        ReportBugAtLine(MSG_ALGMOD_UNREACHABLE, kModule, __LINE__);
    } else {
        ++p;
        SkipBlanks(&p);
        if (const std::size_t extra = Items(p).size())
            ReportErrorAtLine(MSG_ALGMOD_ITEM_COUNT, static_cast<int>(extra) + 1, "Algorithmic Model", 1);
    }
    LastKeywordLine() = Reporting().currentLine;
    return 1;
}

void AlgModDataLine(const char* line, AlgorithmicModelEntry** head) {
    const std::vector<std::string_view> words = Items(line);
    if (words.size() != 4) {
        ReportErrorAtLine(MSG_ALGMOD_ITEM_COUNT, static_cast<int>(words.size()), "Algorithmic Model", 4);
        return;
    }
    const std::vector<std::string> items(words.begin(), words.end());
    if (const FormRow* form = FormOf(items[0].c_str())) {
        if (AlgorithmicModelEntry* e = ReadExecutable(items)) {
            CheckNameCase(e->executable);
            CheckNameCase(e->parameterFile);
            e->form = form->form;
            e->line = Reporting().currentLine;
            e->next = *head;  // the list holds the entries in reverse order of their lines
            *head = e;
        }
    }
}

void AlgModEndChecks(AlgorithmicModelEntry** head) {
    if (!head) return;
    const int line = static_cast<int>(LastKeywordLine());
    // An entry is a duplicate when a later entry has its platform, compiler (both
    // ignoring case) and bits: one report per duplicate, found in linear time.
    std::unordered_map<std::string, std::size_t> later;
    for (const AlgorithmicModelEntry* e = *head; e; e = e->next) ++later[EntryKey(*e)];
    for (const AlgorithmicModelEntry* e = *head; e; e = e->next) {
        const ItemLineScope entryLine(e->line);
        if (e->bits != 32 && e->bits != 64) ReportError(MSG_ALGMOD_BITS, e->platform, e->compiler, line);
        if (--later[EntryKey(*e)] > 0) ReportError(MSG_ALGMOD_DUPLICATE_ENTRY, e->platform, e->compiler, e->bits, line);
    }
}

void AlgModFileChecks(AlgorithmicModelEntry** head, const char* modelName) {
    if (!head) return;
    if (!*head) {
        ReportError(MSG_ALGMOD_EMPTY, modelName);
        return;
    }
    const std::string directory = Frame().directory;
    const FrameState saved = Frame();
    // [Algorithmic Model] came with IBIS 5.0: in an older file it has drawn 909,
    // and the .ami file it names is checked by the 5.0 rules, not refused for
    // rules its own version never had.
    const int rules = std::max(saved.versionCode, kAlgorithmicModelVersion);
    const std::uint32_t savedLine = Reporting().currentLine;
    for (AlgorithmicModelEntry* e = *head; e; e = e->next) {
        const ItemLineScope entryLine(e->line);
        if (saved.noFileChecks) {  // the names alone: the files may not be built yet
            for (const char* name : {e->executable, e->parameterFile})
                if (*name && HasDirectoryPart(name) && FirstTime(name == e->executable ? 'x' : 'p', name))
                    ReportError(MSG_ALGMOD_NAME_HAS_DIRECTORY, name, modelName);
            if (*e->parameterFile && !HasAmiExtension(e->parameterFile) && FirstTime('n', e->parameterFile))
                ReportError(MSG_ALGMOD_AMI_EXTENSION, e->parameterFile, modelName);
            continue;
        }
        if (*e->executable && FirstTime('x', e->executable)) {
            const NamedFileProblem problem = CheckNamedFile(directory, e->executable, modelName, 0);
            if (problem == NamedFileProblem::kMissing ||
                (problem == NamedFileProblem::kNone && !Readable(directory + e->executable)))
                ReportError(MSG_ALGMOD_CODE_FILE_MISSING, e->executable, modelName);
        }
        if (!*e->parameterFile || !FirstTime('p', e->parameterFile)) continue;
        const NamedFileProblem problem = CheckNamedFile(directory, e->parameterFile, modelName, kAmiFileSizeLimit);
        if (problem != NamedFileProblem::kNone && problem != NamedFileProblem::kMissing) continue;
        if (!HasAmiExtension(e->parameterFile)) {
            ReportError(MSG_ALGMOD_AMI_EXTENSION, e->parameterFile, modelName);
            continue;
        }
        const std::string path = directory + e->parameterFile;
        if (problem == NamedFileProblem::kMissing || !Readable(path)) {
            ReportError(MSG_ALGMOD_AMI_FILE_MISSING, e->parameterFile, modelName);
            continue;
        }
        if (e->tree) FreeAmiParamTree(&e->tree);
        // The named file's findings are its own: they carry its name and its lines.
        const std::string ibisFile = Reporting().currentFile;
        Reporting().currentFile = path;
        e->tree = CheckAmiFile(path.c_str(), nullptr, rules);
        Reporting().currentFile = ibisFile;
        Frame() = saved;  // the .ami reading has its own line count and comment character
        Reporting().currentLine = savedLine;
    }
}

void AlgModForgetCheckedFiles() { CheckedNames().clear(); }

void AlgModFree(AlgorithmicModelEntry*** head) {
    if (!head || !*head) return;
    AlgorithmicModelEntry** list = *head;
    while (*list) {
        AlgorithmicModelEntry* e = *list;
        *list = e->next;
        if (e->tree) FreeAmiParamTree(&e->tree);
        CheckFree(&e);
    }
    CheckFree(head);
}

namespace {

// The open model's [Algorithmic Model] entries (null until its keyword).
AlgorithmicModelEntry**& OpenEntries() {
    struct AlgorithmicModelCheck {
        AlgorithmicModelEntry** entries = nullptr;
    };
    return Context().Slot<AlgorithmicModelCheck>().entries;
}

void AlgModCheckLine(const KeywordLine& l) {
    if (l.group != kGroupModel) return;
    AlgorithmicModelEntry**& entries = OpenEntries();
    if (l.lineClass == kLineKeyword) AlgModKeyword(l.line, &entries);
    else if (entries) AlgModDataLine(l.line, entries);
}

void AlgModCheckClose(const GroupEvent& e) {
    if (e.group != kGroupModel && e.group != kGroupSubmodel) return;
    AlgorithmicModelEntry**& entries = OpenEntries();
    if (entries) {
        AlgModEndChecks(entries);
        AlgModFileChecks(entries, e.name ? e.name : "");
    }
    AlgModFree(&entries);
}

void AlgModCheckForget() {
    AlgModForgetCheckedFiles();
    AlgModFree(&OpenEntries());
}

constexpr std::int32_t kAlgorithmicModelKeywords[] = {KW_ALGORITHMIC_MODEL};

}  // namespace

const KeywordCheck kAlgorithmicModelCheck{
    .name = "algorithmic model",
    .keywords = kAlgorithmicModelKeywords,
    .onFileStart = AlgModCheckForget,
    .onLine = AlgModCheckLine,
    .onGroupClose = AlgModCheckClose,
    .onFileEnd = AlgModCheckForget,
};
