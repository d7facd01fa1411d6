// The built receiver library as a file: what it exports and needs from the host,
// and that its own C++ runtime works inside a simulator's process.
#include <gtest/gtest.h>

#include <string>

#include "support/LibraryFloor.h"
#include "support/Process.h"
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
// library: its unwinder must find the library's exception tables. Run in a process
// of its own whose address space is capped just above its use, with a timing whose
// equaliser needs megabytes of taps (tests/ami/programs/InitOutOfMemory.cpp).
TEST(AmiLibraryFile, ExceptionsThrownInsideTheLibraryAreCaughtThere) {
    ScratchDirectory scratch;
    const ProcessResult r =
        RunProcess("'" + std::string(VELKOR_INIT_OUT_OF_MEMORY) + "' '" + std::string(VELKOR_LIBRARY_PATH) + "'");
    ASSERT_FALSE(r.signalled) << "the child crashed: " << r.out;
    EXPECT_EQ(r.status, 0) << "14: it fitted; 15: no out-of-memory message. " << r.out;
}

}  // namespace
#endif
