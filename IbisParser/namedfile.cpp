#include "IbisParser/namedfile.h"

#include <cstring>
#include <fstream>
#include <strings.h>

#include "IbisParser/cmn.h"

std::optional<std::vector<std::string>> NamesInFile(const std::string& path, const char* keyword) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    const std::size_t length = std::strlen(keyword);
    std::vector<std::string> names;
    char comment = '|';
    std::string line;
    while (std::getline(in, line)) {
        const char* p = line.c_str();
        while (IsBlank(*p)) ++p;
        if (*p != '[') continue;
        // The file may choose its own comment character.
        if (strncasecmp(p, "[Comment Char]", 14) == 0 || strncasecmp(p, "[Comment_Char]", 14) == 0) {
            const char* c = p + 14;
            while (IsBlank(*c)) ++c;
            if (*c && strncasecmp(c + 1, "_char", 5) == 0) comment = *c;
            continue;
        }
        if (strncasecmp(p, keyword, length) != 0) continue;
        std::string name(p + length);
        if (const std::size_t cut = name.find(comment); cut != std::string::npos) name.erase(cut);
        const std::size_t first = name.find_first_not_of(" \t\r");
        const std::size_t last = name.find_last_not_of(" \t\r");
        names.push_back(first == std::string::npos ? std::string() : name.substr(first, last - first + 1));
    }
    return names;
}
