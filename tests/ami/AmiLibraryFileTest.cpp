// The built receiver library as a file: what it exports and needs from the host,
// and that its own C++ runtime works inside a simulator's process.
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
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

// Out of memory inside AMI_GetWave throws and catches std::bad_alloc inside the
// library: its unwinder must find the library's exception tables. Run in a child
// whose address space is capped just above its use.
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
        if (lib.Init(nullptr, 0, 0, 6.25e-12, 1e-10, parameters, nullptr, &memory, &message) != 1) _exit(10);
        const long samples = 64L << 20;  // a clock-time list of 512 MB
        const std::size_t bytes = static_cast<std::size_t>(samples) * sizeof(double);
        void* wave = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        void* times = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
        if (wave == MAP_FAILED || times == MAP_FAILED) _exit(11);
        long pages = 0;
        if (FILE* statm = std::fopen("/proc/self/statm", "r")) {
            if (std::fscanf(statm, "%ld", &pages) != 1) pages = 0;
            std::fclose(statm);
        }
        if (pages == 0) _exit(12);
        const rlim_t cap = static_cast<rlim_t>(pages) * static_cast<rlim_t>(sysconf(_SC_PAGESIZE)) + (64u << 20);
        const rlimit limit{cap, cap};
        if (setrlimit(RLIMIT_AS, &limit) != 0) _exit(13);
        if (lib.GetWave(static_cast<double*>(wave), samples, static_cast<double*>(times), nullptr, memory) != 0)
            _exit(14);  // the list fitted after all: nothing was thrown
        std::vector<double> small(64, 0.0), smallTimes(70, 0.0);
        if (lib.GetWave(small.data(), 64, smallTimes.data(), nullptr, memory) != 1) _exit(15);
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
