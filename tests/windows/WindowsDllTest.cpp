#include <gtest/gtest.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <algorithm>
#include <string>
#include <vector>

#include "support/AmiLibrary.h"
#include "support/Process.h"
#include "support/ScratchDirectory.h"
#include "support/Waveforms.h"

namespace fs = std::filesystem;

namespace {

const fs::path kWindowsBuild = VELKOR_WINDOWS_BUILD;

std::string Capture(const std::string& command) { return RunProcess(command).out; }

bool Have(const std::string& program) { return std::system(("command -v " + program + " >/dev/null 2>&1").c_str()) == 0; }

std::vector<double> ReadDoubles(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<double> v;
    double d;
    while (in.read(reinterpret_cast<char*>(&d), sizeof d)) v.push_back(d);
    return v;
}

class WindowsDll : public testing::Test {
protected:
    void SetUp() override {
        if (!fs::exists(kWindowsBuild / "velkor_rx.dll") || !fs::exists(kWindowsBuild / "winhost.exe"))
            GTEST_SKIP() << "no Windows build (make windows needs MinGW-w64 and Wine)";
        if (!Have("wine") || !Have("x86_64-w64-mingw32-objdump")) GTEST_SKIP() << "Wine or MinGW binutils missing";
        // Wine uses only a prefix its user owns; make windows prepared this one.
        const fs::path prefix = kWindowsBuild.parent_path() / ("wineprefix-" + std::to_string(getuid()));
        fs::create_directories(prefix);
        setenv("WINEPREFIX", prefix.c_str(), 1);
        setenv("WINEDEBUG", "-all", 1);
    }
};

}  // namespace

TEST_F(WindowsDll, ExportsTheThreeEntryPointsAndImportsOnlySystemDlls) {
    const std::string dump = Capture("x86_64-w64-mingw32-objdump -p '" + (kWindowsBuild / "velkor_rx.dll").string() + "'");
    const auto table = dump.find("[Ordinal/Name Pointer] Table");
    ASSERT_NE(table, std::string::npos) << dump.substr(0, 2000);
    const std::string exports = dump.substr(table, dump.find("\n\n", table) - table) + "\n";
    for (const char* name : {"AMI_Init", "AMI_GetWave", "AMI_Close"})
        EXPECT_NE(exports.find(std::string("] ") + name + "\n"), std::string::npos) << exports;
    std::size_t count = 0;
    for (auto p = exports.find("\t["); p != std::string::npos; p = exports.find("\t[", p + 1)) ++count;
    EXPECT_EQ(count, 3u) << exports;
    const std::string system[] = {"KERNEL32.dll", "msvcrt.dll", "ADVAPI32.dll", "USER32.dll", "ucrtbase.dll"};
    for (auto p = dump.find("DLL Name: "); p != std::string::npos; p = dump.find("DLL Name: ", p + 1)) {
        const std::string name = dump.substr(p + 10, dump.find('\n', p) - p - 10);
        bool known = name.rfind("api-ms-win-", 0) == 0;
        for (const auto& s : system) known = known || name == s;
        EXPECT_TRUE(known) << "imports " << name;
    }
}

TEST_F(WindowsDll, AgreesWithTheLinuxLibrary) {
    ScratchDirectory scratch;
    const auto wave = testwave::Channel(testwave::Prbs7(100000 / 16), 16, 0.3, 6.0);
    {
        std::ofstream in("input.bin", std::ios::binary);
        in.write(reinterpret_cast<const char*>(wave.data()), static_cast<std::streamsize>(wave.size() * sizeof(double)));
    }
    AmiLibrary lib;
    for (const char* params : {"(Velkor_Rx)", "(Velkor_Rx (anlg_eql_gaincode 9) (corner 2) (CDR_Threshold 2))"}) {
        const std::string command = "wine '" + (kWindowsBuild / "winhost.exe").string() + "' '" +
                                    (kWindowsBuild / "velkor_rx.dll").string() +
                                    "' input.bin output.bin clocks.bin \"" + params + "\" 1024";
        const std::string log = Capture(command);
        const auto windowsOut = ReadDoubles("output.bin");
        const auto windowsClocks = ReadDoubles("clocks.bin");
        ASSERT_EQ(windowsOut.size(), wave.size()) << log;

        AmiSession linux(lib, 6.25e-12, 1e-10, params);
        std::vector<double> linuxOut = wave, times(1025), linuxClocks;
        char* linuxState = nullptr;
        for (std::size_t pos = 0; pos < wave.size(); pos += 1024) {
            const long n = static_cast<long>(std::min<std::size_t>(1024, wave.size() - pos));
            ASSERT_EQ(lib.GetWave(linuxOut.data() + pos, n, times.data(), &linuxState, linux.memory), 1);
            for (long k = 0; times[k] != -1.0; ++k) linuxClocks.push_back(times[k]);
        }
        // Every function reaching the waveform rounds correctly: the same bits.
        EXPECT_EQ(windowsClocks, linuxClocks) << params;
        ASSERT_NE(linuxState, nullptr);
        const std::string state = std::string("state ") + linuxState;  // Wine may end the line with \r\n
        const auto at = log.find(state);
        ASSERT_NE(at, std::string::npos) << log;
        EXPECT_TRUE(log[at + state.size()] == '\n' || log[at + state.size()] == '\r') << log;
        std::size_t differing = 0, first = wave.size();
        for (std::size_t i = 0; i < wave.size(); ++i)
            if (std::memcmp(&windowsOut[i], &linuxOut[i], sizeof(double)) != 0 && differing++ == 0) first = i;
        EXPECT_EQ(differing, 0u) << params << ": first at sample " << first;
        std::printf("%s: %zu of %zu samples and %zu clock times identical\n", params, wave.size() - differing,
                    wave.size(), linuxClocks.size());
    }
}
