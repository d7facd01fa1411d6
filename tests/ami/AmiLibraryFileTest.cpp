// The built receiver library as a file: what it exports and needs from the host,
// and that its own C++ runtime works inside a simulator's process.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "support/AmiLibrary.h"
#include "support/LibraryFloor.h"
#include "support/ScratchDirectory.h"

#ifndef VELKOR_SANITIZED
namespace {

TEST(AmiLibraryFile, ShipsStrippedWithTheEntryPointsAndTheGlibcFloor) {
    floorcheck::ExpectShippable(VELKOR_LIBRARY_PATH);
    EXPECT_FALSE(RunProcess("readelf -S -W '" + std::string(VELKOR_LIBRARY_PATH) + ".debug' | grep -q debug_info")
                     .status)
        << "the separate debug file lacks the debug information";
}

// The check itself must see what it is there to catch.
TEST(AmiLibraryFile, FloorCheckFindsNewerSymbolsAndTheCxxRuntime) {
    const std::string cxxRuntime = RunProcess("g++ -print-file-name=libstdc++.so.6").out;
    const auto findings = floorcheck::Findings(cxxRuntime.substr(0, cxxRuntime.find('\n')));
    const auto has = [&](const std::string& what) {
        for (const auto& f : findings)
            if (f.find(what) != std::string::npos) return true;
        return false;
    };
    EXPECT_TRUE(has("needs GLIBCXX_3.4")) << testing::PrintToString(findings);
    EXPECT_TRUE(has("needs GCC_") || has("needs libgcc_s")) << testing::PrintToString(findings);
    const std::string libc = RunProcess("g++ -print-file-name=libc.so.6").out;
    const auto libcFindings = floorcheck::Findings(libc.substr(0, libc.find('\n')));
    EXPECT_FALSE(libcFindings.empty()) << "this machine's libc defines versions after 2.17";
}

// Out of memory inside AMI_Init throws and catches std::bad_alloc inside the
// library: its unwinder must find the library's exception tables. Run in a child
// whose address space is capped just above its use, with a timing whose
// equaliser needs megabytes of taps.
TEST(AmiLibraryFile, ExceptionsThrownInsideTheLibraryAreCaughtThere) {
    ScratchDirectory scratch;
    AmiLibrary lib;
    std::fflush(nullptr);
    const pid_t child = fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        char parameters[] = "(Velkor_Rx (CDR_Threshold 0))";
        void* memory = nullptr;
        char* message = nullptr;
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        if (pages == 0) _exit(12);
        const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (1u << 20);
        const rlimit limit{cap, cap};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(13);
        // 16384 samples per bit: about 128 000 taps with their history and workspace.
        if (lib.Init(nullptr, 0, 0, 1e-10 / 16384, 1e-10, parameters, nullptr, &memory, &message) != 0)
            _exit(14);  // it fitted after all: nothing was thrown
        if (!message || !std::strstr(message, "ran out of memory in AMI_Init")) _exit(15);
        lib.Close(memory);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

}  // namespace
#endif
