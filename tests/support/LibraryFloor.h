// Reads a Linux library's dynamic section and symbol table (binutils) and lists
// what would keep it from loading on glibc 2.17 without the host's C++ runtime.
#pragma once

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/Process.h"

namespace floorcheck {

// "2.17" -> {2, 17}; compared element by element.
inline std::vector<int> VersionNumbers(const std::string& text) {
    std::vector<int> numbers;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, '.')) numbers.push_back(std::stoi(part));
    return numbers;
}

// One finding per symbol or dependency that needs more than glibc 2.17, libc,
// libm, libdl, libpthread and the dynamic loader: newer GLIBC versions, the C++
// runtime (GLIBCXX, CXXABI), libgcc_s (GCC), other libraries, and undefined
// symbols that carry no version at all.
inline std::vector<std::string> Findings(const std::string& library) {
    std::vector<std::string> findings;
    const ProcessResult dynamic = RunProcess("readelf -d -W '" + library + "'");
    const ProcessResult symbols = RunProcess("objdump -T -w '" + library + "'");
    if (dynamic.status != 0 || symbols.status != 0) return {"cannot read " + library + ": " + dynamic.out + symbols.out};

    static const std::set<std::string> kAllowed = {"libc.so.6", "libm.so.6", "libdl.so.2", "libpthread.so.0",
                                                   "ld-linux-x86-64.so.2"};
    static const std::regex kNeeded(R"(\(NEEDED\)\s+Shared library: \[([^\]]+)\])");
    for (std::sregex_iterator it(dynamic.out.begin(), dynamic.out.end(), kNeeded), end; it != end; ++it)
        if (!kAllowed.count((*it)[1])) findings.push_back("needs " + (*it)[1].str());

    // address, 7 flag characters, section, size, version, name
    static const std::regex kSymbol(R"(^[0-9a-f]+ (.{7}) (\S+)\s+[0-9a-f]+\s+\(?([^ )]+)\)?\s+(\S+)$)");
    static const std::regex kVersion(R"(^([A-Z]+)_([0-9.]+)$)");
    std::stringstream lines(symbols.out);
    std::string line;
    const auto floor = VersionNumbers("2.17");
    while (std::getline(lines, line)) {
        std::smatch m;
        if (!std::regex_match(line, m, kSymbol)) continue;
        const std::string flags = m[1], section = m[2], version = m[3], name = m[4];
        std::smatch v;
        if (version == "Base") {
            if (section == "*UND*" && flags[1] != 'w') findings.push_back(name + " has no version");
        } else if (!std::regex_match(version, v, kVersion)) {
            findings.push_back(name + " has version " + version);
        } else if (v[1] != "GLIBC") {
            findings.push_back(name + " needs " + version);
        } else if (VersionNumbers(v[2]) > floor) {
            findings.push_back(name + " needs " + version);
        }
    }
    return findings;
}

}  // namespace floorcheck

#include <gtest/gtest.h>

namespace floorcheck {

// What a shipped Linux library shows: the three entry points and nothing else, the
// glibc floor, and no symbol table or debug information of its own.
inline void ExpectShippable(const std::string& library) {
    const std::string exported =
        RunProcess("nm -D --defined-only '" + library + "' | awk '{print $3}' | sort").out;
    EXPECT_EQ(exported, "AMI_Close\nAMI_GetWave\nAMI_Init\n") << library;
    const auto findings = Findings(library);
    EXPECT_TRUE(findings.empty()) << library << ":\n" << testing::PrintToString(findings);
    const std::string sections = RunProcess("readelf -S -W '" + library + "'").out;
    EXPECT_EQ(sections.find(".symtab"), std::string::npos) << library << " is not stripped";
    EXPECT_EQ(sections.find(".debug_"), std::string::npos) << library << " carries debug information";
}

}  // namespace floorcheck
