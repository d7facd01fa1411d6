#include "IbisParser/engine/cmn.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/printable.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/casefold.h"

namespace {

constexpr const char* kModule = "cmn.cpp";

void* Allocate(std::size_t size) { return AmiAllocate(size); }

}  // namespace

void SkipBlanks(char** cursor) {
    IBIS_ASSERT(kModule, cursor != nullptr && *cursor != nullptr);
    while (IsBlank(**cursor)) ++*cursor;
}

void SkipBlanks(const char** cursor) {
    IBIS_ASSERT(kModule, cursor != nullptr && *cursor != nullptr);
    while (IsBlank(**cursor)) ++*cursor;
}

char* CheckStrDup(const char* text) {
    IBIS_ASSERT(kModule, text != nullptr);
    const std::size_t size = std::strlen(text) + 1;
    char* copy = static_cast<char*>(Allocate(size));
    if (!copy) {
        ReportError(MSG_ALLOCATION_FAILED, static_cast<unsigned>(size));
        ReportBug(MSG_COPY_FAILED, kModule, 1878);
        return nullptr;
    }
    std::memcpy(copy, text, size);
    return copy;
}

char* CheckStrNDup(const char* text, std::size_t n) {
    IBIS_ASSERT(kModule, text != nullptr);
    const std::size_t length = strnlen(text, n);
    char* copy = static_cast<char*>(Allocate(length + 1));
    if (!copy) return nullptr;
    std::memcpy(copy, text, length);
    return copy;
}

int CheckAlloc(void** pointer, std::size_t size) {
    IBIS_ASSERT(kModule, pointer != nullptr && size != 0);
    *pointer = Allocate(size);
    if (!*pointer) {
        ReportError(MSG_ALLOCATION_FAILED, static_cast<unsigned>(size));
        return 0;
    }
    return 1;
}

int CheckRealloc(void** pointer, std::size_t size) {
    IBIS_ASSERT(kModule, pointer != nullptr && size != 0);
    void* grown = AmiReallocate(*pointer, size);
    if (!grown) {
        ReportError(MSG_REALLOCATION_FAILED, static_cast<unsigned>(size));
        return 0;
    }
    *pointer = grown;
    return 1;
}

void CheckFree(void** pointer) {
    IBIS_ASSERT(kModule, pointer != nullptr && *pointer != nullptr);
    std::free(*pointer);
    *pointer = nullptr;
}

// ---- The file utilities of the checker's frame: opening by kind, reading lines,
// ---- the versions of the IBIS standard.

namespace {

const char* const kExtensions[] = {"", ".ibs", ".pkg", ".ebd", ".ami"};
constexpr MessageOf<Severity::kError> kExtensionErrors[] = {MSG_EXTENSION_IBS, MSG_EXTENSION_IBS, MSG_EXTENSION_PKG,
                                                            MSG_EXTENSION_EBD, MSG_EXTENSION_AMI};

std::string Cased(std::string s, bool upper) {
    for (char& c : s) c = static_cast<char>(upper ? std::toupper(static_cast<unsigned char>(c))
                                                 : std::tolower(static_cast<unsigned char>(c)));
    return s;
}

const char* const kVersionTexts[] = {"1.1", "2.0", "2.1", "3.0", "3.1", "3.2", "4.0", "4.1",
                                     "4.2", "5.0", "5.1", "6.0", "6.1", "7.0", "7.1", "7.2"};

}  // namespace

FrameState& Frame() {
    return Context().Slot<FrameState>();
}

bool ReadCheckedLine(std::FILE* file, std::string& line, std::size_t keep, std::size_t& length, bool report) {
    line.clear();
    length = 0;
    int c = std::fgetc(file);
    if (c == EOF) return false;
    if (report) ++Reporting().currentLine;  // findings below belong to this line
    bool sawControl = false, sawNul = false, sawHigh = false;
    int controlCode = 0, highCode = 0;
    for (; c != EOF && c != '\n'; c = std::fgetc(file)) {
        if (c == '\r') {  // CR LF, or a lone CR as old Mac files end their lines
            const int next = std::fgetc(file);
            if (next != '\n' && next != EOF) std::ungetc(next, file);
            break;
        }
        if (c == 0x1a) {  // Ctrl-Z at the very end of the file
            const int next = std::fgetc(file);
            if (next == EOF) break;
            std::ungetc(next, file);
        }
        ++length;
        if (line.size() >= keep) continue;
        char ch = static_cast<char>(c);
        if (c == 0) {
            sawNul = true;
            ch = ' ';
        } else if (c > 127) {
            sawHigh = true;
            highCode = c;
            ch = ' ';
        } else if (c < 32 && c != '\t') {
            sawControl = true;
            controlCode = c;
            ch = ' ';
        }
        line += ch;
    }
    if (report) {
        if (sawControl) ReportErrorAtLine(MSG_ILLEGAL_CHARACTER, "control", controlCode, "  Converting to space.");
        if (sawNul) ReportErrorAtLine(MSG_ILLEGAL_CHARACTER, "NUL", 0, "  Converting to space.");
        if (sawHigh) ReportErrorAtLine(MSG_ILLEGAL_CHARACTER, "non-7-bit ASCII", highCode, "  Converting to space.");
    }
    return true;
}

void SplitPath(const std::string& path, std::string& directory, std::string& name) {
    const auto cut = path.find_last_of("/\\");
    if (cut == std::string::npos) {
        directory.clear();
        name = path;
    } else {
        directory = path.substr(0, cut + 1);
        name = path.substr(cut + 1);
    }
}

int FileKindOf(const std::string& path) {
    const auto dot = path.find_last_of('.');
    if (dot == std::string::npos) return 0;
    const std::string ext = path.substr(dot);
    for (int kind = kFileIbs; kind <= kFileAmi; ++kind)
        if (SameIgnoringCase(ext, kExtensions[kind])) return kind;
    return 0;
}

int OpenCheckedFile(const char* path, int kind, std::FILE** file, std::string* bareName) {
    IBIS_ASSERT(kModule, path && file && kind >= kFileIbs && kind <= kFileAmi);
    *file = nullptr;
    if (std::strlen(path) >= kMaxPath) {
        ReportError(MSG_FILE_NAME_NOT_ASSEMBLED);
        return 0;
    }
    std::string directory, name;
    SplitPath(path, directory, name);
    const auto dot = name.find_last_of('.');
    if (dot == std::string::npos) {
        if (name.size() + std::strlen(kExtensions[kind]) > kMaxPath) {
            ReportError(MSG_EXTENSION_NOT_APPENDED);
            return 0;
        }
        name += kExtensions[kind];
    } else if (!SameIgnoringCase(name.substr(dot), kExtensions[kind])) {
        ReportError(kExtensionErrors[kind]);
        return 0;
    }
    const std::string full = directory + name;
    if (full.size() > kMaxPath) {
        ReportError(MSG_FILE_NAME_NOT_ASSEMBLED);
        return 0;
    }
    Frame().directory = directory;
    Frame().bareName = name;
    if (bareName) *bareName = name;
    // The name as given, then in lower and in upper case. The directory keeps its
    // case: a variant never leads out of the folder the path names. Only regular
    // files are read (a device, a pipe or a folder would spin, block or fail).
    for (int variant = 0; variant < 3; ++variant) {
        const std::string tried = variant == 0 ? name : Cased(name, variant == 2);
        const PathKind what = KindOfPath(directory + tried);
        if (what == PathKind::kMissing) continue;
        if (what == PathKind::kOther) {
            ReportError(MSG_NOT_A_REGULAR_FILE, PrintableName(directory).c_str(), PrintableName(tried).c_str());
            return 0;
        }
        *file = std::fopen((directory + tried).c_str(), "rb");
        if (!*file) continue;
        Frame().bareName = tried;
        if (bareName) *bareName = tried;
        return 1;
    }
    ReportError(MSG_FILE_NOT_OPENED, PrintableName(directory).c_str(), PrintableName(name).c_str());
    return 0;
}

PathKind KindOfPath(const std::string& path) {
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (error || !std::filesystem::exists(status)) return PathKind::kMissing;
    return std::filesystem::is_regular_file(status) ? PathKind::kRegular : PathKind::kOther;
}

int IbisVersionCode(const char* text) {
    if (!text) return 0;
    for (std::size_t i = 0; i < sizeof kIbisVersions / sizeof kIbisVersions[0]; ++i)
        if (std::strcmp(text, kVersionTexts[i]) == 0) return kIbisVersions[i];
    return 0;
}

const char* IbisVersionText(int code) {
    for (std::size_t i = 0; i < sizeof kIbisVersions / sizeof kIbisVersions[0]; ++i)
        if (kIbisVersions[i] == code) return kVersionTexts[i];
    return "?";
}
