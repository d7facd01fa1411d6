#include "IbisParser/engine/namedfile.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <memory>

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/text/words.h"

namespace {

// Names and pins are short; longer lines are cut here (their length still counts).
constexpr std::size_t kLineKeep = kMaxPath;

// Whether a line begins with the keyword; `rest` receives what follows it.
bool KeywordIs(const char* p, const char* keyword, const char** rest) {
    for (; *keyword; ++p, ++keyword) {
        const char a = *p == '_' ? ' ' : *p, b = *keyword == '_' ? ' ' : *keyword;
        if (std::tolower(static_cast<unsigned char>(a)) != std::tolower(static_cast<unsigned char>(b))) return false;
    }
    *rest = p;
    return true;
}

std::string Trimmed(const char* p) {
    while (IsBlank(*p)) ++p;
    std::string text(p);
    while (!text.empty() && IsBlank(text.back())) text.pop_back();
    return text;
}

// Reads the entries of a file that passed the guards, at most `limit` bytes of it.
void ReadEntries(NamedFile& file, const char* keyword, const char* pinKeyword, std::uintmax_t limit) {
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.path.c_str(), "rb"), &std::fclose);
    if (!in) {
        file.problem = NamedFileProblem::kMissing;
        return;
    }
    char comment = '|';
    bool inPins = false;
    std::string line;
    std::size_t length = 0;
    std::uintmax_t consumed = 0;
    while (consumed <= limit && ReadCheckedLine(in.get(), line, kLineKeep, length, false)) {
        consumed += length + 1;
        const char* p = line.c_str();
        while (IsBlank(*p)) ++p;
        const char* rest = nullptr;
        // The file may choose its own comment character.
        if (KeywordIs(p, "[Comment Char]", &rest)) {
            while (IsBlank(*rest)) ++rest;
            if (*rest && std::strncmp(rest + 1, "_char", 5) == 0) comment = *rest;
            continue;
        }
        if (const std::size_t cut = line.find(comment); cut != std::string::npos) line.erase(cut);
        p = line.c_str();
        while (IsBlank(*p)) ++p;
        if (*p == '[') {
            inPins = false;
            if (KeywordIs(p, keyword, &rest)) {
                file.entries.push_back({Trimmed(rest), {}});
                file.byName.emplace(file.entries.back().name, file.entries.size() - 1);
            } else if (pinKeyword && KeywordIs(p, pinKeyword, &rest)) {
                inPins = !file.entries.empty();
            }
            continue;
        }
        if (!inPins) continue;
        const std::vector<std::string_view> words = Words(p);
        if (!words.empty()) file.entries.back().pins.insert(Lower(words[0]));
    }
}

std::unordered_map<std::string, NamedFile>& Cache() {
    struct Files {
        std::unordered_map<std::string, NamedFile> read;
    };
    return Context().Slot<Files>().read;
}

}  // namespace

bool NamedEntry::HasPin(std::string_view pin) const { return pins.count(Lower(pin)) != 0; }

const NamedEntry* NamedFile::Find(const std::string& name) const {
    const auto at = byName.find(name);
    return at == byName.end() ? nullptr : &entries[at->second];
}

const NamedFile& ReadNamedFile(const std::string& name, const char* keyword, const char* pinKeyword) {
    const std::string key = name + '\n' + keyword + '\n' + (pinKeyword ? pinKeyword : "");
    const auto [at, added] = Cache().try_emplace(key);
    NamedFile& file = at->second;
    if (!added) return file;
    file.problem = GuardNamedFile(Frame().directory, name, true, kNamedFileSizeLimit, &file.path);
    if (file.problem == NamedFileProblem::kNone) ReadEntries(file, keyword, pinKeyword, kNamedFileSizeLimit);
    return file;
}

void ForgetNamedFiles() { Cache().clear(); }
