// The checker's one case-insensitive comparison (ASCII letters; every other
// byte compares as itself), for names, keywords and values alike.
#pragma once

#include <cctype>
#include <string>
#include <string_view>

inline char FoldCase(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

inline bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (FoldCase(a[i]) != FoldCase(b[i])) return false;
    return true;
}

// Whether `text` begins with `prefix`, ignoring case.
inline bool StartsIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() && SameIgnoringCase(text.substr(0, prefix.size()), prefix);
}

inline std::string Lower(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = FoldCase(c);
    return out;
}
