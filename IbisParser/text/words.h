// The blank-separated words of a data line, as views into the line.
#pragma once

#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "IbisParser/engine/cmn.h"

inline std::vector<std::string_view> Words(const char* line) {
    std::vector<std::string_view> words;
    const char* p = line;
    while (*p) {
        while (*p && IsBlank(*p)) ++p;
        const char* start = p;
        while (*p && !IsBlank(*p)) ++p;
        if (p > start) words.emplace_back(start, static_cast<std::size_t>(p - start));
    }
    return words;
}

// The text after a keyword line's closing bracket, blanks skipped.
inline std::string_view AfterKeyword(const char* line) {
    const char* p = line;
    while (*p && *p != ']') ++p;
    if (*p) ++p;
    while (*p && IsBlank(*p)) ++p;
    std::string_view rest(p);
    const std::size_t end = rest.find_first_of(" \t");
    return end == std::string_view::npos ? rest : rest.substr(0, end);
}

inline bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

inline std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}
