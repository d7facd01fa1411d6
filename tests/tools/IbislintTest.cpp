#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/Process.h"
#include "support/ScratchDirectory.h"

namespace fs = std::filesystem;

namespace {

using Lint = ProcessResult;

Lint RunLint(const std::string& arguments) { return RunProcess(std::string(VELKOR_IBISLINT_PATH) + " " + arguments); }

class Ibislint : public testing::Test {
protected:
    ScratchDirectory scratch;
};

}  // namespace

TEST_F(Ibislint, UsageAndPerFileVerdicts) {
    EXPECT_EQ(RunLint("").status, 2);
    EXPECT_EQ(RunLint("--bogus x.ibs").status, 2);
    const Lint help = RunLint("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: ibislint"), std::string::npos);

    std::ofstream("good.ibs") << "[IBIS Ver] 4.2\n[File Name] good.ibs\n[File Rev] 1\n[Component] c\n[End]\n";
    std::ofstream("bad.ibs") << "[IBIS Ver] 4.2\n[File Name] bad.ibs\n[Component] c\n[End]\n";
    std::ofstream("notes.txt") << "hello\n";
    const Lint both = RunLint("--quiet bad.ibs good.ibs");
    EXPECT_EQ(both.status, 1);
    const auto goodSummary = both.out.find("Summary of good.ibs:");
    ASSERT_NE(goodSummary, std::string::npos) << both.out;
    EXPECT_NE(both.out.find("File Passed", goodSummary), std::string::npos) << both.out;
    EXPECT_NE(both.out.substr(0, goodSummary).find("File Failed"), std::string::npos) << both.out;
    EXPECT_EQ(RunLint("good.ibs").status, 0);
    EXPECT_EQ(RunLint("notes.txt").status, 1);
    const Lint numbered = RunLint("--numbered bad.ibs");
    EXPECT_NE(numbered.out.find("E1915 - Required keyword 'File_Rev' not found in file 'bad.ibs'."), std::string::npos)
        << numbered.out;
}

TEST_F(Ibislint, FilesThatAreNoRegularFilesOrTooLargeFailCleanly) {
    // A device would spin the reader or grow the parameter text without end, a pipe block it.
    fs::create_symlink("/dev/zero", "zero.ibs");
    fs::create_symlink("/dev/zero", "zero.ami");
    fs::create_directory("folder.ibs");
    ASSERT_EQ(mkfifo("pipe.ibs", 0600), 0);
    std::ofstream("huge.ami") << "(rx";
    fs::resize_file("huge.ami", (16u << 20) + 1);  // sparse: nothing is written
    for (const char* name : {"zero.ibs", "zero.ami", "folder.ibs", "pipe.ibs", "huge.ami"}) {
        const Lint l = RunLint(std::string("--quiet ") + name);
        EXPECT_EQ(l.status, 1) << name << "\n" << l.out;
        const bool huge = std::string(name) == "huge.ami";
        EXPECT_NE(l.out.find(huge ? "huge.ami is larger than 16777216 bytes; it is not checked"
                                  : "'" + std::string(name) + "' is not a regular file"),
                  std::string::npos) << l.out;
        EXPECT_NE(l.out.find("File Failed"), std::string::npos) << l.out;
    }
}

TEST_F(Ibislint, VendorCorpusNeverCrashesAndVerdictsMatchStatus) {
    const fs::path corpus = VELKOR_CORPUS_DIR;
    if (!fs::is_directory(corpus)) GTEST_SKIP() << "no vendor corpus beside this checkout";
    int files = 0;
    for (const auto& entry : fs::directory_iterator(corpus)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".ibs" && ext != ".pkg" && ext != ".ebd" && ext != ".ami") continue;
        ++files;
        const Lint l = RunLint("--quiet '" + entry.path().string() + "'");
        ASSERT_FALSE(l.signalled) << entry.path();
        ASSERT_TRUE(l.status == 0 || l.status == 1) << entry.path() << "\n" << l.out;
        const bool passed = l.out.find("File Passed") != std::string::npos;
        EXPECT_EQ(passed, l.status == 0) << entry.path() << "\n" << l.out;
        EXPECT_EQ(l.out.find("PROGRAM BUG"), std::string::npos) << entry.path() << "\n" << l.out;
        // Every version the files declare is checked by its own rules.
        EXPECT_EQ(l.out.find("Illegal IBIS_Version"), std::string::npos) << entry.path() << "\n" << l.out;
        const bool versionFound = l.out.find("Could not determine Version") == std::string::npos;
        EXPECT_EQ(versionFound, entry.path().filename() != "package.pkg") << entry.path() << "\n" << l.out;
    }
    EXPECT_GT(files, 10);
}

TEST_F(Ibislint, VendorAmiKitPassesWithItsExecutablesBesideIt) {
    const fs::path corpus = VELKOR_CORPUS_DIR;
    if (!fs::exists(corpus / "example_rx.ibs") || !fs::exists(corpus / "pybert_example_rx.ami"))
        GTEST_SKIP() << "no vendor corpus beside this checkout";
    // The kit as its maker ships it: the .ibs, its .ami and stand-ins for the four libraries.
    fs::create_directory("kit");
    fs::copy_file(corpus / "example_rx.ibs", "kit/example_rx.ibs");
    fs::copy_file(corpus / "pybert_example_rx.ami", "kit/example_rx.ami");
    for (const char* library : {"example_rx_x86.so", "example_rx_x86_amd64.so", "example_rx_x86.dll",
                                "example_rx_x86_amd64.dll"})
        std::ofstream(std::string("kit/") + library) << "stand-in";
    const Lint kit = RunLint("kit/example_rx.ibs");
    EXPECT_EQ(kit.status, 0) << kit.out;
    EXPECT_NE(kit.out.find("Checking kit/example_rx.ibs for IBIS 5.1 Compatibility"), std::string::npos) << kit.out;
    EXPECT_NE(kit.out.find("Checking kit/example_rx.ami for IBIS 5.1 Compatibility"), std::string::npos) << kit.out;
    for (const char* ami : {"ibis_ami_example_rx.ami", "pybert_example_rx.ami"}) {
        const Lint alone = RunLint("'" + (corpus / ami).string() + "'");
        EXPECT_EQ(alone.status, 0) << ami << "\n" << alone.out;
    }
}
