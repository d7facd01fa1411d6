// Reading the kit's text files in tests: whole files, and the parameters that an
// .ami file declares.
#pragma once

#include <cctype>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

inline std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// Names of the parameters declared with (Usage <usage>), in file order: the word
// after the parenthesis that opens the list holding the Usage leaf.
inline std::vector<std::string> DeclaredParameters(const std::string& ami, const std::string& usage) {
    std::vector<std::string> names;
    const std::string leaf = "(Usage " + usage + ")";
    for (auto at = ami.find(leaf); at != std::string::npos; at = ami.find(leaf, at + 1)) {
        const auto open = ami.rfind('(', at - 1);
        if (open == std::string::npos) continue;
        std::size_t end = open + 1;
        while (end < ami.size() && (std::isalnum(static_cast<unsigned char>(ami[end])) || ami[end] == '_')) ++end;
        names.push_back(ami.substr(open + 1, end - open - 1));
    }
    return names;
}
