// The model kit as a user receives it: assembled as `make kit` does, unpacked from
// its archive, and checked from inside the unpacked folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "support/AmiLibrary.h"
#include "support/KitFiles.h"
#include "support/LibraryFloor.h"
#include "support/Process.h"
#include "support/ScratchDirectory.h"
#include "support/Waveforms.h"

namespace fs = std::filesystem;

namespace {

const std::string kName = std::string("velkor_rx-kit-") + VELKOR_VERSION;

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

ProcessResult AssembleKit(const fs::path& out, const fs::path& library, const std::string& platforms,
                          const fs::path& dll = VELKOR_WINDOWS_DLL) {
    return RunProcess(std::string(VELKOR_CMAKE_COMMAND) + " -DVERSION=" + VELKOR_VERSION + " -DSOURCE_DIR=" +
                      Quote(VELKOR_SOURCE_DIR) + " -DLIBRARY=" + Quote(library) + " -DDLL=" + Quote(dll) +
                      " -DOUT=" + Quote(out) + " -DPLATFORMS=" + platforms + " -P " +
                      Quote(fs::path(VELKOR_SOURCE_DIR) / "cmake/AssembleKit.cmake"));
}

// One assembly for the suite: build/kit's twin in a temporary folder, and the
// .tar.gz and the .zip unpacked side by side.
class Kit : public testing::Test {
protected:
    static inline fs::path root, unpacked, unzipped;
    static inline bool haveDll = false;
    static inline std::string assembly;

    static void SetUpTestSuite() {
        root = fs::temp_directory_path() / ("velkor_kit_" + std::to_string(::getpid()));
        fs::remove_all(root);
        fs::create_directories(root / "tar");
        fs::create_directories(root / "zip");
        haveDll = fs::exists(VELKOR_WINDOWS_DLL);
        // The whole kit where the Windows build exists, else the Linux-only one.
        const ProcessResult made = AssembleKit(root, VELKOR_LIBRARY_PATH, haveDll ? "all" : "linux");
        assembly = made.out;
        if (made.status != 0) return;
        RunProcess("cd " + Quote(root / "tar") + " && " + VELKOR_CMAKE_COMMAND + " -E tar xzf ../" + kName + ".tar.gz");
        RunProcess("cd " + Quote(root / "zip") + " && " + VELKOR_CMAKE_COMMAND + " -E tar xf ../" + kName + ".zip");
        unpacked = root / "tar" / kName;
        unzipped = root / "zip" / kName;
    }
    static void TearDownTestSuite() {
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }
    void SetUp() override { ASSERT_TRUE(fs::is_directory(unpacked)) << assembly; }

    static std::set<std::string> Files(const fs::path& folder) {
        std::set<std::string> names;
        for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
        return names;
    }
};

}  // namespace

TEST_F(Kit, ArchivesHoldTheKitFolderUnderTheVersionedName) {
    std::set<std::string> expected = {"LICENSE", "README.md", "SHA256SUMS", "libvelkor_rx.so", "velkor_rx.ami", "velkor_rx.ibs"};
    if (haveDll) expected.insert("velkor_rx.dll");
    EXPECT_EQ(Files(root / "kit"), expected);
    EXPECT_EQ(Files(unpacked), expected) << "the .tar.gz";
    EXPECT_EQ(Files(unzipped), expected) << "the .zip";
    for (const auto& name : expected) {
        EXPECT_EQ(ReadWholeFile(unpacked / name), ReadWholeFile(root / "kit" / name)) << name;
        EXPECT_EQ(ReadWholeFile(unzipped / name), ReadWholeFile(root / "kit" / name)) << name;
    }
}

TEST_F(Kit, ChecksumsCoverEveryFileAndCatchAChangedOne) {
    const std::string sums = ReadWholeFile(unpacked / "SHA256SUMS");
    for (const auto& name : Files(unpacked)) {
        if (name == "SHA256SUMS") continue;
        EXPECT_NE(sums.find("  " + name + "\n"), std::string::npos) << name;
    }
    const ProcessResult check = RunProcess("cd " + Quote(unpacked) + " && sha256sum -c SHA256SUMS");
    EXPECT_EQ(check.status, 0) << check.out;

    const fs::path changed = root / "changed";
    fs::copy(unpacked, changed);
    std::ofstream(changed / "velkor_rx.ami", std::ios::app) << "| one more line\n";
    const ProcessResult caught = RunProcess("cd " + Quote(changed) + " && sha256sum -c SHA256SUMS");
    EXPECT_NE(caught.status, 0) << caught.out;
    EXPECT_NE(caught.out.find("velkor_rx.ami: FAILED"), std::string::npos) << caught.out;
}

TEST_F(Kit, IbislintPassesInsideTheUnpackedKit) {
    const auto lint = [&](const char* file) {
        return RunProcess("cd " + Quote(unpacked) + " && " + VELKOR_IBISLINT_PATH + " " + file);
    };
    const ProcessResult ami = lint("velkor_rx.ami");
    EXPECT_EQ(ami.status, 0) << ami.out;
    EXPECT_NE(ami.out.find("Errors  : 0"), std::string::npos) << ami.out;
    const ProcessResult ibs = lint("velkor_rx.ibs");
    EXPECT_EQ(ibs.status, 0) << ibs.out;
    EXPECT_NE(ibs.out.find("File Passed"), std::string::npos) << ibs.out;
    EXPECT_EQ(ibs.out.find("WARNING"), std::string::npos) << ibs.out;
}

// The shipped library is the stripped one, needs no newer glibc, and runs exactly
// as the built library does, output parameters included.
TEST_F(Kit, LinuxLibraryIsStrippedAndRunsAsTheBuiltOne) {
    const fs::path library = unpacked / "libvelkor_rx.so";
#ifndef VELKOR_SANITIZED  // a sanitizer build is no shipped library
    floorcheck::ExpectShippable(library.string());
#endif

    ScratchDirectory scratch;
    const auto wave = testwave::Channel(testwave::Prbs7(4000), 16, 0.25, 6.0);
    const auto run = [&](const std::string& path, std::string& state) {
        AmiLibrary lib(path.c_str());
        AmiSession s(lib, 6.25e-12, 1e-10, "(Velkor_Rx (CDR_Threshold 3))");
        EXPECT_EQ(s.initResult, 1) << path << ": " << s.Message();
        std::vector<double> w = wave, times(wave.size() + 1);
        char* out = nullptr;
        EXPECT_EQ(lib.GetWave(w.data(), static_cast<long>(w.size()), times.data(), &out, s.memory), 1) << path;
        state = out ? out : "";
        w.insert(w.end(), times.begin(), times.end());
        return w;
    };
    std::string builtState, kitState;
    const auto built = run(VELKOR_LIBRARY_PATH, builtState);
    const auto shipped = run(library.string(), kitState);
    EXPECT_EQ(shipped, built);
    EXPECT_EQ(kitState, builtState);
    EXPECT_NE(kitState.find("(Velkor_Rx (gain_code "), std::string::npos) << kitState;

    if (haveDll) {
        const std::string sections = RunProcess("x86_64-w64-mingw32-objdump -h " + Quote(unpacked / "velkor_rx.dll")).out;
        EXPECT_EQ(sections.find(".debug_"), std::string::npos) << "the DLL carries debug information";
    }
}

TEST_F(Kit, ReadmeForModelUsers) {
    const std::string readme = ReadWholeFile(unpacked / "README.md");
    EXPECT_NE(readme.find(std::string("version ") + VELKOR_VERSION), std::string::npos);
    // Every parameter the .ami declares, each with its own table row.
    const std::string ami = ReadWholeFile(unpacked / "velkor_rx.ami");
    auto parameters = DeclaredParameters(ami, "In");
    const auto out = DeclaredParameters(ami, "Out");
    parameters.insert(parameters.end(), out.begin(), out.end());
    EXPECT_EQ(parameters.size(), 9u);
    for (const auto& name : parameters) EXPECT_NE(readme.find("| `" + name + "` |"), std::string::npos) << name;
    for (const char* topic : {"**1 switches the gain boost on**", "`Velrok.adapt`", "glibc 2.17", "SHA256SUMS",
                              "velkor_rx.ibs", "bit for bit", "BSD 3-Clause"})
        EXPECT_NE(readme.find(topic), std::string::npos) << topic;
    EXPECT_EQ(readme.find('@'), std::string::npos) << "a placeholder was left unfilled";
}

TEST_F(Kit, AssemblyWithoutALibraryFailsWithAReason) {
    const struct {
        const char* what;
        fs::path library, dll;
        const char* platforms;
        const char* reason;
    } cases[] = {
        {"no Linux library", root / "no-such-library.so", VELKOR_WINDOWS_DLL, "linux", "No Linux library at"},
        {"whole kit, no DLL", VELKOR_LIBRARY_PATH, root / "no-such.dll", "all", "make kit-linux for a kit for Linux only"},
        {"unknown platform set", VELKOR_LIBRARY_PATH, VELKOR_WINDOWS_DLL, "windows", "PLATFORMS is all or linux"},
    };
    for (const auto& c : cases) {
        const fs::path out = root / "failed" / c.what;
        const ProcessResult made = AssembleKit(out, c.library, c.platforms, c.dll);
        EXPECT_NE(made.status, 0) << c.what;
        EXPECT_NE(made.out.find(c.reason), std::string::npos) << c.what << ": " << made.out;
        EXPECT_FALSE(fs::exists(out / "kit")) << c.what << ": a kit was begun";
    }
}

// The archives' own checksums, published beside them, catch a changed archive, which
// the SHA256SUMS inside it cannot.
TEST_F(Kit, ChecksumsBesideTheArchivesCatchAChangedArchive) {
    const fs::path sums = root / (kName + ".sha256");
    ASSERT_TRUE(fs::exists(sums));
    const std::string text = ReadWholeFile(sums);
    EXPECT_NE(text.find("  " + kName + ".tar.gz\n"), std::string::npos) << text;
    EXPECT_NE(text.find("  " + kName + ".zip\n"), std::string::npos) << text;
    EXPECT_EQ(RunProcess("cd " + Quote(root) + " && sha256sum -c " + kName + ".sha256").status, 0);

    const fs::path copy = root / "tampered";
    fs::create_directories(copy);
    for (const char* ext : {".tar.gz", ".zip", ".sha256"}) fs::copy_file(root / (kName + ext), copy / (kName + ext));
    std::ofstream(copy / (kName + ".zip"), std::ios::app) << "x";
    const ProcessResult caught = RunProcess("cd " + Quote(copy) + " && sha256sum -c " + kName + ".sha256");
    EXPECT_NE(caught.status, 0) << caught.out;
    EXPECT_NE(caught.out.find(kName + ".zip: FAILED"), std::string::npos) << caught.out;
}

// A folder named kit that make kit did not write is never emptied, and nothing beside
// the output folder is touched.
TEST_F(Kit, AFolderOfTheUsersInTheKitsPlaceIsLeftAlone) {
    const fs::path out = root / "users";
    fs::create_directories(out / "kit");
    std::ofstream(out / "kit" / "thesis.tex") << "years of work\n";
    std::ofstream(out / "kit" / "README.md") << "the user's own readme\n";
    const ProcessResult made = AssembleKit(out, VELKOR_LIBRARY_PATH, "linux");
    EXPECT_NE(made.status, 0);
    EXPECT_NE(made.out.find("it is not a kit folder, so it is left alone"), std::string::npos) << made.out;
    EXPECT_EQ(ReadWholeFile(out / "kit" / "thesis.tex"), "years of work\n");
    EXPECT_EQ(ReadWholeFile(out / "kit" / "README.md"), "the user's own readme\n");

    // A kit folder of an earlier assembly is refilled, not refused.
    const fs::path again = root / "again";
    ASSERT_EQ(AssembleKit(again, VELKOR_LIBRARY_PATH, "linux").status, 0);
    const ProcessResult second = AssembleKit(again, VELKOR_LIBRARY_PATH, "linux");
    EXPECT_EQ(second.status, 0) << second.out;
    EXPECT_TRUE(fs::exists(again / "kit" / "libvelkor_rx.so"));
}

// A kit made for Linux only says so and names no Windows library anywhere, so that
// the kit passes our own checker as it stands.
TEST_F(Kit, LinuxOnlyKitSaysSoAndNamesNoWindowsLibrary) {
    const fs::path out = root / "linux-only";
    const ProcessResult made = AssembleKit(out, VELKOR_LIBRARY_PATH, "linux");
    ASSERT_EQ(made.status, 0) << made.out;
    EXPECT_EQ(Files(out / "kit"), (std::set<std::string>{"LICENSE", "README.md", "SHA256SUMS", "libvelkor_rx.so",
                                                          "velkor_rx.ami", "velkor_rx.ibs"}));
    const std::string ibsText = ReadWholeFile(out / "kit" / "velkor_rx.ibs");
    const std::string readme = ReadWholeFile(out / "kit" / "README.md");
    EXPECT_EQ(ibsText.find(".dll"), std::string::npos) << ibsText;
    EXPECT_NE(ibsText.find("This kit is for Linux only"), std::string::npos);
    EXPECT_NE(ibsText.find("Linux_gcc_64             libvelkor_rx.so"), std::string::npos);
    EXPECT_EQ(readme.find(".dll"), std::string::npos) << readme;
    EXPECT_NE(readme.find("**This kit is for Linux only.**"), std::string::npos);
    EXPECT_EQ(readme.find('@'), std::string::npos) << "a placeholder was left unfilled";

    const ProcessResult ibs = RunProcess("cd " + Quote(out / "kit") + " && " + VELKOR_IBISLINT_PATH + " velkor_rx.ibs");
    EXPECT_EQ(ibs.status, 0) << ibs.out;
    EXPECT_NE(ibs.out.find("File Passed"), std::string::npos) << ibs.out;
    EXPECT_EQ(ibs.out.find("WARNING"), std::string::npos) << ibs.out;
}
