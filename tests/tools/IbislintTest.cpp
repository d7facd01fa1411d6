#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

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

// One finding as each machine-read format gives it.
struct Row {
    std::string file;
    int line = 0, lastLine = 0, count = 1;
    std::string severity;
    int number = 0;
    bool operator==(const Row&) const = default;
};

std::ostream& operator<<(std::ostream& o, const Row& r) {
    return o << r.file << ":" << r.line << "-" << r.lastLine << " x" << r.count << " " << r.severity << " " << r.number;
}

// "(3 times, lines 23-25)" at the end of a folded finding's text.
void ReadFoldNote(const std::string& text, Row* row) {
    const std::size_t open = text.rfind(" (");
    if (open == std::string::npos || text.back() != ')') return;
    int count = 0, first = 0, last = 0;
    const std::string note = text.substr(open);
    if (std::sscanf(note.c_str(), " (%d times, lines %d-%d)", &count, &first, &last) >= 1 && count > 1) {
        row->count = count;
        if (last > 0) row->lastLine = last;
    }
}

// FILE:LINE: SEVERITY: TEXT [E1234], the line and the tag being optional.
std::vector<Row> FromGnu(const std::string& out) {
    std::vector<Row> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::size_t at = std::string::npos;
        std::string severity;
        for (const char* word : {": error: ", ": warning: ", ": note: "})
            if (const std::size_t p = line.find(word); p != std::string::npos && p < at) {
                at = p;
                severity = std::string(word).substr(2, std::strlen(word) - 4);
            }
        if (at == std::string::npos) continue;
        Row r;
        r.severity = severity;
        r.file = line.substr(0, at);
        if (const std::size_t colon = r.file.rfind(':'); colon != std::string::npos) {
            r.line = r.lastLine = std::stoi(r.file.substr(colon + 1));
            r.file.erase(colon);
        }
        std::string text = line.substr(at + severity.size() + 4);
        if (text.size() > 8 && text.compare(text.size() - 8, 2, " [") == 0 && text.back() == ']') {
            r.number = std::stoi(text.substr(text.size() - 5, 4));
            text.erase(text.size() - 8);
        }
        ReadFoldNote(text, &r);
        rows.push_back(r);
    }
    return rows;
}

std::vector<Row> FromJson(const nlohmann::json& doc) {
    std::vector<Row> rows;
    for (const auto& file : doc.at("files"))
        for (const auto& f : file.at("findings")) {
            const std::string severity = f.at("severity");
            rows.push_back({f.at("file"), f.at("line").is_null() ? 0 : f.at("line").get<int>(),
                            f.at("lastLine").is_null() ? 0 : f.at("lastLine").get<int>(), f.at("count"),
                            severity == "bug" ? "error" : severity == "caution" ? "warning" : severity,
                            f.at("number")});
        }
    return rows;
}

// The results of a SARIF log, after checking the fields its schema requires
// and that code-scanning dashboards read.
std::vector<Row> FromSarif(const nlohmann::json& log) {
    std::vector<Row> rows;
    EXPECT_EQ(log.at("version"), "2.1.0");
    EXPECT_EQ(log.at("runs").size(), 1u);
    const auto& run = log.at("runs").at(0);
    EXPECT_EQ(run.at("tool").at("driver").at("name"), "ibislint");
    const auto& rules = run.at("tool").at("driver").at("rules");
    for (const auto& result : run.at("results")) {
        const std::string id = result.at("ruleId");
        EXPECT_EQ(rules.at(result.at("ruleIndex").get<std::size_t>()).at("id"), id);
        const std::string text = result.at("message").at("text");
        EXPECT_FALSE(text.empty());
        const auto& location = result.at("locations").at(0).at("physicalLocation");
        Row r{location.at("artifactLocation").at("uri"), 0, 0, 1, result.at("level"), std::stoi(id.substr(4))};
        if (location.contains("region")) {
            r.line = location.at("region").at("startLine");
            r.lastLine = location.at("region").at("endLine");
            EXPECT_GE(r.line, 1);
        }
        ReadFoldNote(text, &r);
        rows.push_back(r);
    }
    return rows;
}

// A model whose IBIS file and .ami file both hold faults at known lines; the
// .ami file is named by two Executable lines, whose libraries are not built yet.
void WriteFaultyKit() {
    fs::create_directory("kit");
    std::ofstream("kit/m.ibs") << "[IBIS Ver] 5.0\n[File Name] m.ibs\n[File Rev] 1.0\n|\ttab in a comment\n"
                                  "[Component] c\n[Manufacturer] x\n[Package]\nR_pkg 0.25 0.2 0.3\n"
                                  "L_pkg 1nH 0.8nH 1.2nH\nC_pkg 0.4pF 0.3pF 0.5pF\n"
                                  "[Pin] signal_name model_name R_pin L_pin C_pin\n1 RXP m_in\n[Model] m_in\n"
                                  "Model_type Input\nVinl = 0.45\nVinh = 0.55\nC_comp 0.3pF 0.25pF 0.35pF\n"
                                  "[Voltage Range] 1.0 0.95 1.05\n"
                                  "[Algorithmic Model]\nExecutable Linux_gcc_64 m.so m.ami\n"
                                  "Executable Windows_VisualStudio_64 m.dll m.ami\n[End Algorithmic Model]\n"
                                  "[End]\njunk\njunk\njunk\n";
    std::ofstream("kit/m.ami") << "| parameters\r\n(m\r\n (Reserved_Parameters\r\n"
                                  "  (Init_Returns_Impulse (Usage Info) (Type Boolean) (Default False) (Description \"x\"))\r\n"
                                  "  (GetWave_Exists (Usage Info) (Type Boolean)\r\n   (Default True) (Description \"x\")))\r\n"
                                  " (Model_Specific\r\n  (a (Usage Sideways) (Type Integer)\r\n"
                                  "   (Format Range 1)\r\n   (Description \"y\"))))\r\n";
}

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
        // The machine formats read back: the same verdict, valid JSON and SARIF.
        const Lint json = RunLint("--format json '" + entry.path().string() + "'");
        EXPECT_EQ(nlohmann::json::parse(json.out).at("verdict"), passed ? "passed" : "failed") << json.out;
        const Lint sarif = RunLint("--format sarif '" + entry.path().string() + "'");
        EXPECT_EQ(FromSarif(nlohmann::json::parse(sarif.out)).empty(), passed && l.out.find("WARNING") == std::string::npos)
            << sarif.out;
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

TEST_F(Ibislint, MachineFormatsGiveFileLineSeverityAndNumber) {
    WriteFaultyKit();
    // In file order: the IBIS file's findings, then those of the .ami file it names
    // (once, under its own name); the three lines after [End] folded into one.
    const std::vector<Row> expected = {
        // Two missing libraries on consecutive lines stay two findings: their names differ.
        {"kit/m.ibs", 4, 4, 1, "warning", 921},  {"kit/m.ibs", 20, 20, 1, "error", 4616},
        {"kit/m.ibs", 21, 21, 1, "error", 4616},
        {"kit/m.ibs", 24, 26, 3, "error", 902},  {"kit/m.ami", 8, 8, 1, "error", 4627},
        {"kit/m.ami", 9, 9, 1, "error", 4632},
    };
    const Lint gnu = RunLint("--format gnu kit/m.ibs");
    EXPECT_EQ(gnu.status, 1);
    EXPECT_EQ(FromGnu(gnu.out), expected) << gnu.out;
    EXPECT_NE(gnu.out.find("kit/m.ibs:24: error: Non-comment line exists after 'End' keyword. (3 times, lines 24-26) "
                           "[E0902]\n"),
              std::string::npos) << gnu.out;
    EXPECT_NE(gnu.out.find("Errors  : 7\nWarnings: 1\n\nFile Failed\n"), std::string::npos) << gnu.out;
    EXPECT_EQ(gnu.out.find("Checking"), std::string::npos) << gnu.out;

    const Lint json = RunLint("--format json kit/m.ibs");
    EXPECT_EQ(json.status, 1);
    const nlohmann::json doc = nlohmann::json::parse(json.out);
    EXPECT_EQ(FromJson(doc), expected) << json.out;
    const auto& file = doc.at("files").at(0);
    EXPECT_EQ(file.at("file"), "kit/m.ibs");
    EXPECT_EQ(file.at("verdict"), "failed");
    EXPECT_EQ(file.at("errors"), 7);
    EXPECT_EQ(file.at("warnings"), 1);
    EXPECT_EQ(doc.at("verdict"), "failed");

    const Lint sarif = RunLint("--format sarif kit/m.ibs");
    EXPECT_EQ(sarif.status, 1);
    EXPECT_EQ(FromSarif(nlohmann::json::parse(sarif.out)), expected) << sarif.out;

    // The word style stays as it was: one report per line, no file names.
    const Lint text = RunLint("kit/m.ibs");
    EXPECT_EQ(text.status, 1);
    EXPECT_NE(text.out.find("ERROR (line   25) - Non-comment line exists after 'End' keyword.\n"), std::string::npos)
        << text.out;
    EXPECT_NE(text.out.find("ERROR - Illegal Usage value Sideways specified for a\n"), std::string::npos) << text.out;
}

TEST_F(Ibislint, OptionsForPipelines) {
    WriteFaultyKit();
    std::ofstream("short.ibs") << "[IBIS Ver] 2.1\n[File Name] short.ibs\n[File Rev] 1\n[Component] c\n[End]\n";
    const struct {
        std::string arguments;
        int status;
        std::vector<std::string> present, absent;
    } cases[] = {
        // Pipelines that lint before building: the named files are not looked for.
        {"--format gnu --no-file-checks kit/m.ibs", 1, {"[E0902]"}, {"[E4616]", "kit/m.ami"}},
        {"--format gnu --disable 902,4616 --disable=4627,4632 kit/m.ibs", 0,
         {"[W0921]", "Disabled: 902 4616 4627 4632\n", "File Passed"}, {"[E0902]", "[E4616]", "[E4627]"}},
        {"--format gnu --warnings-as-errors --disable 902,4616,4627,4632 kit/m.ibs", 1, {"[W0921]", "File Failed"}, {}},
        {"--warnings-as-errors --disable 902,4616,4627,4632 kit/m.ibs", 1, {"WARNING (line    4)", "File Failed"}, {}},
        {"--format json --disable 902,4616,4627,4632 kit/m.ibs", 0, {"\"disabled\": [902, 4616, 4627, 4632]"}, {}},
        // A file that cannot be opened stops there: no version is looked for.
        {"--format gnu missing.ibs", 1, {"missing.ibs: error: Unable To Open File 'missing.ibs' [E1905]"}, {"[E0900]"}},
        {"--format gnu notes.txt short.ibs", 1, {"notes.txt: error: not a .ibs, .pkg, .ebd or .ami file\n"}, {}},
        {"--format xml short.ibs", 2, {"unknown format 'xml'"}, {}},
        {"--disable 99999 short.ibs", 2, {"not a list of message numbers"}, {}},
        {"--disable 902, short.ibs", 2, {"not a list of message numbers"}, {}},
        {"--format", 2, {"usage: ibislint"}, {}},
    };
    for (const auto& c : cases) {
        const Lint l = RunLint(c.arguments);
        EXPECT_EQ(l.status, c.status) << c.arguments << "\n" << l.out;
        for (const std::string& text : c.present)
            EXPECT_NE(l.out.find(text), std::string::npos) << c.arguments << ": " << text << "\n" << l.out;
        for (const std::string& text : c.absent)
            EXPECT_EQ(l.out.find(text), std::string::npos) << c.arguments << ": " << text << "\n" << l.out;
    }
}

TEST_F(Ibislint, FoldsOnlyFindingsOfTheSameText) {
    // An Output model without [Pulldown] and [Ramp]: two findings of one number
    // at one line (the model's), in two wordings; neither may hide the other.
    std::ofstream("o.ibs") << "[IBIS Ver] 4.2\n[File Name] o.ibs\n[File Rev] 1\n[Component] c\n[Manufacturer] m\n"
                              "[Package]\nR_pkg 1m NA NA\nL_pkg 1n NA NA\nC_pkg 1p NA NA\n"
                              "[Pin] signal_name model_name\n1 A o\n[Model] o\nModel_type Output\n"
                              "C_comp 1p 1p 1p\n[Voltage Range] 3.3 3 3.6\n[End]\n";
    const std::vector<Row> expected = {{"o.ibs", 12, 12, 1, "error", 5026}, {"o.ibs", 12, 12, 1, "error", 5026}};
    const Lint gnu = RunLint("--format gnu o.ibs");
    EXPECT_EQ(FromGnu(gnu.out), expected) << gnu.out;
    for (const char* text : {"requires [Pulldown] or [Pullup] [E5026]", "requires [Ramp] [E5026]"})
        EXPECT_NE(gnu.out.find(text), std::string::npos) << text << "\n" << gnu.out;
    EXPECT_EQ(FromJson(nlohmann::json::parse(RunLint("--format json o.ibs").out)), expected);
    EXPECT_EQ(FromSarif(nlohmann::json::parse(RunLint("--format sarif o.ibs").out)), expected);
}

namespace {

// The three ways a checked file names another: a board's [Reference Designator
// Map] row (line 13), a component's [Package Model] (line 11) and an
// [Algorithmic Model]'s parameter file (line 15).
enum class NamedBy { kMap, kPackage, kAlgorithmic };

std::string Naming(NamedBy by, const std::string& named) {
    const std::string component = "[Component] chip\n[Manufacturer] m\n[Package]\nR_pkg 1m NA NA\nL_pkg 1n NA NA\n"
                                  "C_pkg 1p NA NA\n[Pin] signal_name model_name\n";
    switch (by) {
        case NamedBy::kMap:
            return "[IBIS Ver] 4.2\n[File Name] b.ebd\n[File Rev] 1\n[Begin Board Description] b\n[Manufacturer] m\n"
                   "[Number Of Pins] 1\n[Pin List] signal_name\nA1 S\n[Path Description] p\nPin A1\nNode u1.1\n"
                   "[Reference Designator Map]\nu1 " + named + " chip\n[End Board Description]\n[End]\n";
        case NamedBy::kPackage:
            return "[IBIS Ver] 4.2\n[File Name] c.ibs\n[File Rev] 1\n" + component + "[Package Model] " + named +
                   "\n1 S NC\n[End]\n";
        case NamedBy::kAlgorithmic:
            return "[IBIS Ver] 5.0\n[File Name] c.ibs\n[File Rev] 1\n" + component + "1 S rx\n[Model] rx\n" +
                   "Model_type Input\n[Algorithmic Model]\nExecutable Linux_gcc_64 c.ibs " + named +
                   "\n[End Algorithmic Model]\n[End]\n";
    }
    return "";
}

// The gnu line of a finding at a line of a file, "" when there is none.
std::string GnuLineOf(const std::string& out, const std::string& file, int line) {
    const std::string prefix = file + ":" + std::to_string(line) + ": ";
    std::istringstream lines(out);
    for (std::string l; std::getline(lines, l);)
        if (l.compare(0, prefix.size(), prefix) == 0) return l;
    return "";
}

}  // namespace

TEST_F(Ibislint, NamedFilesPassTheGuardsOfEveryNamedFile) {
    // Everything a board's map, a package model's name or an [Algorithmic Model]
    // may point at besides a plain regular file beside the checked file; the
    // real file of each "outside" name defines what is looked for, so that
    // following the name would pass.
    fs::create_directory("dir");
    std::ofstream("outside.ibs") << Naming(NamedBy::kPackage, "none");
    std::ofstream("outside.pkg") << "[IBIS Ver] 4.2\n[Define Package Model] ../outside\n";
    for (const char* ext : {".ibs", ".pkg", ".ami"}) {
        fs::create_symlink("/dev/zero", std::string("dir/zero") + ext);
        ASSERT_EQ(mkfifo((std::string("dir/pipe") + ext).c_str(), 0600), 0);
        fs::create_directory(std::string("dir/folder") + ext);
        std::ofstream(std::string("dir/huge") + ext) << "[IBIS Ver] 4.2\n";
        fs::resize_file(std::string("dir/huge") + ext, (256u << 20) + 1);  // sparse: nothing is written
    }
    const std::string absolute = fs::absolute("outside.ibs").string();
    const struct {
        std::string named;
        NamedBy by;
        const char* tag;
    } cases[] = {
        {"zero.ibs", NamedBy::kMap, "[E1925]"},       {"pipe.ibs", NamedBy::kMap, "[E1925]"},
        {"folder.ibs", NamedBy::kMap, "[E1925]"},     {"huge.ibs", NamedBy::kMap, "[E1927]"},
        {"../outside.ibs", NamedBy::kMap, "[E1926]"}, {absolute, NamedBy::kMap, "[E1926]"},
        {"C:outside.ibs", NamedBy::kMap, "[E1926]"},  {"zero", NamedBy::kPackage, "[E1925]"},
        {"pipe", NamedBy::kPackage, "[E1925]"},       {"folder", NamedBy::kPackage, "[E1925]"},
        {"huge", NamedBy::kPackage, "[E1927]"},       {"../outside", NamedBy::kPackage, "[E1926]"},
        {"pipe.ami", NamedBy::kAlgorithmic, "[E1925]"}, {"huge.ami", NamedBy::kAlgorithmic, "[E4640]"},
        {"../dir/zero.ami", NamedBy::kAlgorithmic, "[E4639]"},
    };
    for (const auto& c : cases) {
        const std::string file = c.by == NamedBy::kMap ? "dir/b.ebd" : "dir/c.ibs";
        std::ofstream(file) << Naming(c.by, c.named);
        // A pipe would block the reader: the time limit turns a hang into a failure.
        const Lint l = RunProcess("timeout 60 " + std::string(VELKOR_IBISLINT_PATH) + " --format gnu " + file);
        EXPECT_EQ(l.status, 1) << c.named << "\n" << l.out;
        const int line = c.by == NamedBy::kMap ? 13 : c.by == NamedBy::kPackage ? 11 : 15;
        EXPECT_NE(GnuLineOf(l.out, file, line).find(c.tag), std::string::npos) << c.named << "\n" << l.out;
    }
}

TEST_F(Ibislint, FileThatCouldNotBeReadNeverPasses) {
    fs::create_symlink("/dev/zero", "zero.ibs");
    fs::create_directory("folder.ibs");
    std::ofstream("noversion.pkg") << "[Define Package Model] pk\n";
    const struct {
        std::string arguments;
        std::vector<std::string> present;
    } cases[] = {
        {"--disable 1905 missing.ibs", {"Not checked: the file could not be read", "File Failed"}},
        {"--disable 1925 folder.ibs", {"Not checked", "File Failed"}},
        {"--format gnu --disable 1925 zero.ibs", {"Not checked", "File Failed"}},
        {"--disable 900 noversion.pkg", {"Not checked", "File Failed"}},
        {"--format json --disable 1905 missing.ibs", {"\"verdict\": \"failed\"", "\"checked\": false"}},
        {"--format sarif --disable 1925 folder.ibs", {"\"results\": []"}},
    };
    for (const auto& c : cases) {
        const Lint l = RunLint(c.arguments);
        EXPECT_EQ(l.status, 1) << c.arguments << "\n" << l.out;
        for (const std::string& text : c.present)
            EXPECT_NE(l.out.find(text), std::string::npos) << c.arguments << ": " << text << "\n" << l.out;
        EXPECT_EQ(l.out.find("File Passed"), std::string::npos) << c.arguments << "\n" << l.out;
    }
}

TEST_F(Ibislint, FileNamesCannotForgeLinesOrBreakUtf8) {
    // A line end in a name would begin a line of its own: a forged finding.
    const std::string planted = "ok\nERROR - planted.ibs";
    std::ofstream(planted) << "[IBIS Ver] 4.2\n[File Name] ok.ibs\n[File Rev] 1\n[Component] c\n[End]\n";
    for (const std::string format : {"text", "gnu"})
        for (const std::string& name : {planted, std::string("gone\nforged: error: planted [E0001].ibs")}) {
            const Lint l = RunLint("--format " + format + " '" + name + "'");
            EXPECT_EQ(l.status, 1) << l.out;
            for (const char* forged : {"\nERROR - planted", "\nforged"})
                EXPECT_EQ(l.out.find(forged), std::string::npos) << format << "\n" << l.out;
            const std::string escaped = name.substr(0, name.find('\n')) + "\\x0a";
            EXPECT_NE(l.out.find(escaped), std::string::npos) << format << "\n" << l.out;
        }
    // Bytes that are no well-formed UTF-8: a surrogate, an overlong form, code
    // points above U+10FFFF. Strict readers refuse a document that holds them.
    for (const std::string& name : {std::string("s\xed\xa0\x80.ibs"), std::string("o\xe0\x80\x80.ibs"),
                                    std::string("h\xf4\x90\x80\x80.ibs"), std::string("f\xf5\x80\x80\x80.ibs"),
                                    std::string("c\xc0\xae.ibs")}) {
        for (const char* format : {"json", "sarif"}) {
            const Lint l = RunLint(std::string("--format ") + format + " '" + name + "'");
            EXPECT_EQ(l.status, 1);
            nlohmann::json doc;
            EXPECT_NO_THROW(doc = nlohmann::json::parse(l.out)) << format << "\n" << l.out;
            EXPECT_NE(l.out.find("\xef\xbf\xbd"), std::string::npos) << format << "\n" << l.out;
        }
    }
    // Well-formed names keep their characters.
    const Lint accented = RunLint("--format json 'caf\xc3\xa9-\xe2\x82\xac-\xf0\x9f\x93\x88.ibs'");
    EXPECT_EQ(nlohmann::json::parse(accented.out).at("files").at(0).at("file"),
              "caf\xc3\xa9-\xe2\x82\xac-\xf0\x9f\x93\x88.ibs");
}

// The message table gives --list-messages (the documented list), the short names
// that --disable takes, and the SARIF rules' names and levels; every finding's
// level is its row's severity.
TEST_F(Ibislint, MessageTableDrivesTheListDisableAndSarifRules) {
    const Lint list = RunLint("--list-messages");
    ASSERT_EQ(list.status, 0);
    std::ifstream doc(std::string(VELKOR_SOURCE_DIR) + "/docs/ibislint-messages.md");
    std::stringstream documented;
    documented << doc.rdbuf();
    const std::string text = documented.str();
    const std::size_t table = text.find("| Number |");
    ASSERT_NE(table, std::string::npos);
    EXPECT_EQ(text.substr(table), list.out) << "docs/ibislint-messages.md is out of date: regenerate it with "
                                               "ibislint --list-messages";

    // The rows by number: name and severity as listed.
    std::map<int, std::pair<std::string, std::string>> rows;
    std::istringstream lines(list.out);
    for (std::string line; std::getline(lines, line);) {
        char severity[16] = {}, name[64] = {};
        int number = 0;
        if (std::sscanf(line.c_str(), "| %d | %15s | %63s |", &number, severity, name) == 3)
            rows[number] = {name, severity};
    }
    ASSERT_GT(rows.size(), 200u);
    ASSERT_EQ(rows.at(921).first, "TabCharacters");

    WriteFaultyKit();
    const Lint named = RunLint("--format gnu --disable LineAfterEnd,AlgmodCodeFileMissing,4627,AmiFormatNumbers kit/m.ibs");
    EXPECT_EQ(named.status, 0) << named.out;
    EXPECT_NE(named.out.find("Disabled: 902 4616 4627 4632\n"), std::string::npos) << named.out;
    EXPECT_EQ(RunLint("--disable NoSuchMessage kit/m.ibs").status, 2);

    const Lint sarif = RunLint("--format sarif kit/m.ibs");
    const auto log = nlohmann::json::parse(sarif.out);
    const auto& run = log.at("runs").at(0);
    const auto& rules = run.at("tool").at("driver").at("rules");
    ASSERT_GE(rules.size(), 4u);
    const auto levelOf = [](const std::string& severity) {
        return severity == "bug" ? std::string("error")
               : severity == "caution" ? std::string("warning")
               : severity == "information" ? std::string("note")
                                           : severity;
    };
    for (const auto& rule : rules) {
        const int number = std::stoi(rule.at("id").get<std::string>().substr(4));
        ASSERT_TRUE(rows.count(number)) << number;
        EXPECT_EQ(rule.at("name"), rows.at(number).first) << number;
        EXPECT_EQ(rule.at("defaultConfiguration").at("level"), levelOf(rows.at(number).second)) << number;
    }
    for (const auto& result : run.at("results"))
        EXPECT_EQ(result.at("level"),
                  rules.at(result.at("ruleIndex").get<std::size_t>()).at("defaultConfiguration").at("level"));
}
