// Runs velkor-sim as a user would and reads what it printed and wrote.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/Process.h"

using Outcome = ProcessResult;

inline Outcome Simulate(const std::string& arguments) {
    return RunProcess(std::string(VELKOR_SIM_PATH) + " " + arguments);
}

// The number that follows `key` (and then `then`, when given) in the text; -1 when absent.
inline double Field(const std::string& text, const std::string& key, const std::string& then = "") {
    auto p = text.find(key);
    if (p == std::string::npos) return -1;
    p += key.size();
    if (!then.empty()) {
        p = text.find(then, p);
        if (p == std::string::npos) return -1;
        p += then.size();
    }
    return std::atof(text.c_str() + p);
}

inline std::string Slurp(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}
