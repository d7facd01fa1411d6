#include "IbisParser/engine/namedguard.h"

#include <cctype>
#include <filesystem>
#include <system_error>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/printable.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/words.h"

namespace {

std::string Upper(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

}  // namespace

bool HasDirectoryPart(std::string_view name) {
    return name.find_first_of("/\\") != std::string_view::npos || name == ".." ||
           (name.size() >= 2 && std::isalpha(static_cast<unsigned char>(name[0])) && name[1] == ':');
}

NamedFileProblem GuardNamedFile(const std::string& directory, const std::string& name, bool otherCases,
                                std::uintmax_t sizeLimit, std::string* path) {
    *path = directory + name;
    if (HasDirectoryPart(name)) return NamedFileProblem::kDirectoryPart;
    const std::string spellings[] = {name, Lower(name), Upper(name)};
    for (const std::string& spelling : spellings) {
        const PathKind kind = KindOfPath(directory + spelling);
        if (kind == PathKind::kMissing) {
            if (!otherCases) break;
            continue;
        }
        *path = directory + spelling;
        if (kind == PathKind::kOther) return NamedFileProblem::kNotRegular;
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(*path, error);
        if (error) return NamedFileProblem::kMissing;
        return sizeLimit != 0 && size > sizeLimit ? NamedFileProblem::kTooLarge : NamedFileProblem::kNone;
    }
    return NamedFileProblem::kMissing;
}

bool ReportNamedFileProblem(NamedFileProblem problem, const std::string& name, const std::string& path,
                            const char* keyword, std::uintmax_t sizeLimit) {
    switch (problem) {
        case NamedFileProblem::kDirectoryPart:
            ReportErrorAtLine(MSG_NAMED_FILE_HAS_DIRECTORY, name.c_str(), keyword);
            return true;
        case NamedFileProblem::kNotRegular:
            ReportErrorAtLine(MSG_NOT_A_REGULAR_FILE, "", PrintableName(path).c_str());
            return true;
        case NamedFileProblem::kTooLarge:
            ReportErrorAtLine(MSG_NAMED_FILE_TOO_LARGE, PrintableName(path).c_str(),
                              static_cast<unsigned long>(sizeLimit));
            return true;
        default: return false;
    }
}
