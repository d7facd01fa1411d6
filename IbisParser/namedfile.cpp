#include "IbisParser/namedfile.h"

#include <cctype>
#include <cstring>
#include <fstream>

#include "IbisParser/cmn.h"

namespace {

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
    while (IsBlank(*p) || *p == '\r') ++p;
    std::string text(p);
    while (!text.empty() && (IsBlank(text.back()) || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace

std::optional<std::vector<NamedEntry>> ReadNamedFile(const std::string& path, const char* keyword,
                                                     const char* pinKeyword) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<NamedEntry> entries;
    char comment = '|';
    bool inPins = false;
    std::string line;
    while (std::getline(in, line)) {
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
            if (KeywordIs(p, keyword, &rest)) entries.push_back({Trimmed(rest), {}});
            else if (pinKeyword && KeywordIs(p, pinKeyword, &rest)) inPins = !entries.empty();
            continue;
        }
        if (!inPins) continue;
        const std::string pin = Trimmed(p);
        const std::size_t end = pin.find_first_of(" \t");
        if (!pin.empty()) entries.back().pins.push_back(end == std::string::npos ? pin : pin.substr(0, end));
    }
    return entries;
}
