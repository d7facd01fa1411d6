// Reads a Linux library's dynamic section and symbol table (binutils) and lists
// what would keep it from loading on glibc 2.17 without the host's C++ runtime.
#pragma once

#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/Process.h"

namespace floorcheck {

// "2.17" -> {2, 17}; compared element by element.
inline std::vector<int> VersionNumbers(const std::string& text) {
    std::vector<int> numbers;
    std::size_t at = 0;
    do numbers.push_back(std::atoi(text.c_str() + at));
    while ((at = text.find('.', at) + 1) != 0);  // npos + 1 is 0: no further dot
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
    std::stringstream dynamicLines(dynamic.out);
    std::string line;
    while (std::getline(dynamicLines, line)) {
        if (line.find("(NEEDED)") == std::string::npos) continue;
        const auto open = line.find('['), close = line.find(']');
        const std::string needed = line.substr(open + 1, close - open - 1);
        if (!kAllowed.count(needed)) findings.push_back("needs " + needed);
    }

    // 16 hex digits of address, 7 flag characters (the second 'w' for weak), then
    // section, size, version ("(GLIBC_2.2.5)" for a hidden one) and name.
    const auto floor = VersionNumbers("2.17");
    std::stringstream symbolLines(symbols.out);
    while (std::getline(symbolLines, line)) {
        if (line.size() < 26 || line.find_first_not_of("0123456789abcdef") != 16) continue;
        const std::string flags = line.substr(17, 7);
        std::stringstream fields(line.substr(25));
        std::string section, size, version, name;
        if (!(fields >> section >> size >> version >> name)) continue;
        if (version.front() == '(') version = version.substr(1, version.size() - 2);
        const auto underscore = version.rfind('_');
        const std::string prefix = version.substr(0, underscore == std::string::npos ? 0 : underscore);
        const std::string number = underscore == std::string::npos ? "" : version.substr(underscore + 1);
        if (version == "Base") {
            if (section == "*UND*" && flags[1] != 'w') findings.push_back(name + " has no version");
        } else if (prefix != "GLIBC" || number.empty() || number.find_first_not_of("0123456789.") != std::string::npos) {
            findings.push_back(name + " needs " + version);
        } else if (VersionNumbers(number) > floor) {
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
