// The blank-separated words of a data line, as views into the line.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "IbisParser/engine/cmn.h"
#include "IbisParser/text/casefold.h"

// The one line splitter: the items of a line are its runs of non-blanks, and
// with a separator character each separator is an item of its own ("R_load=50"
// with '=': "R_load", "=", "50").
inline std::vector<std::string_view> Items(std::string_view line, char separator = '\0') {
    std::vector<std::string_view> items;
    std::size_t at = 0;
    for (;;) {
        while (at < line.size() && IsBlank(line[at])) ++at;
        if (at == line.size()) return items;
        std::size_t end = at + 1;  // a separator stands alone
        if (!separator || line[at] != separator)
            while (end < line.size() && !IsBlank(line[end]) && !(separator && line[end] == separator)) ++end;
        items.push_back(line.substr(at, end - at));
        at = end;
    }
}

inline std::vector<std::string_view> Words(const char* line) { return Items(line); }

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
