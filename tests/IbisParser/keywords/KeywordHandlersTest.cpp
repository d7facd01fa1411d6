#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "IbisParser/keywords/algmod.h"
#include "IbisParser/keywords/pkg.h"
#include "IbisParser/keywords/ramp.h"
#include "IbisParser/text/values.h"
#include "support/CheckerRun.h"
#include "support/ScratchDirectory.h"

TEST(Values, ScaledNumbers) {
    const struct {
        const char* text;
        int result;
        double value;
    } cases[] = {{"1.5nH", 1, 1.5e-9}, {"10", 1, 10}, {"2M", 1, 2e6}, {"2m", 1, 0.002}, {"3Ohm", 1, 3},
                 {"1.5n2", 2, 1.5e-9}, {"5%", 0, 0}, {"x", 0, 0}, {"1e3k", 1, 1e6}, {"-4fF", 1, -4e-15}};
    for (const auto& c : cases) {
        double v = 0;
        EXPECT_EQ(ReadScaledNumber(c.text, &v), c.result) << c.text;
        if (c.result) {
            EXPECT_DOUBLE_EQ(v, c.value) << c.text;
        }
    }
}

TEST(Package, Lines) {
    const struct {
        std::vector<std::string> lines;
        std::vector<std::string> messages;  // each must appear
        bool clean;
    } cases[] = {
        {{"R_pkg 250m 225m 275m"}, {}, true},
        {{"L_pkg 2.5nH NA 3.1nH"}, {}, true},
        {{"C_pkg NA 1pF 2pF"}, {"The typical column must be specified."}, false},
        {{"R_pkg 1 2 3"}, {"WARNING (line    0) - Typ value is not in between Min and Max "}, true},
        {{"R_pkg 2 3 1"}, {}, true},
        // The reader that reads the row also checks its order.
        {{"R_pkg 2 3 1.0"}, {"R_pkg: minimum 3 is above maximum 1.0; are the columns swapped?"}, true},
        {{"R_pkg 2 3 1x"}, {"R_pkg: minimum 3 is above maximum 1x; are the columns swapped?"}, true},
        {{"L_pkg NA 3n 1n"}, {"L_pkg: minimum 3n is above maximum 1n; are the columns swapped?"}, false},
        {{"R_pkg 1 2"}, {"Expected 4 columns in Package sub-parameter line, found 3 columns."}, false},
        {{"r_pkg 1 1 1"}, {}, true},
        {{"R_pkg x 1 2"}, {"Invalid Typical Value (\"x\")", "Unable to parse data for Package subparameter 'R_pkg'."}, false},
        {{"R_pkg 1.5n2 1 2"}, {"Suspicious Typical R_pkg Value (\"1.5n2\"); Numeric in Scale"}, true},
        {{"R_pkg 1 1 1", "R_pkg 2 2 2"}, {"Duplicate R_pkg sub-parameter."}, false},
        {{"  R_pkg 1 1 1"}, {"Package sub-parameters must start in column 1."}, false},
        {{"Q_pkg 1 1 1"}, {"Unknown Package subparameter."}, false},
    };
    for (const auto& c : cases) {
        PackageData* package = nullptr;
        const CheckerRun r = CaptureReports([&] {
            Reporting().currentLine = 0;
            PackageCreate(&package);
            for (const auto& line : c.lines) PackageLine(package, line.c_str());
            return 1;
        });
        for (const auto& m : c.messages) EXPECT_TRUE(r.Has(m)) << c.lines[0] << "\n" << r.output;
        if (c.clean) {
            EXPECT_EQ(r.errors, 0u) << c.lines[0] << "\n" << r.output;
        }
        if (c.lines[0] == "R_pkg 250m 225m 275m") {
            EXPECT_DOUBLE_EQ(package->resistance->typical, 0.25);
            EXPECT_DOUBLE_EQ(package->resistance->minimum, 0.225);
            EXPECT_DOUBLE_EQ(package->resistance->maximum, 0.275);
        }
        if (c.lines[0] == "L_pkg 2.5nH NA 3.1nH") {
            EXPECT_EQ(package->inductance->minimumKind, kValueNA);
        }
        if (c.lines.size() == 2) {
            EXPECT_EQ(package->resistance->typical, 1.0);  // the first values stay
        }
        const CheckerRun final = CaptureReports([&] {
            PackageFinalCheck(package, "c1");
            return 1;
        });
        if (c.lines[0] == "R_pkg 250m 225m 275m") {
            EXPECT_TRUE(final.Has("Component 'c1': Required sub-parameter L_pkg not found."));
            EXPECT_TRUE(final.Has("Component 'c1': Required sub-parameter C_pkg not found."));
            EXPECT_FALSE(final.Has("R_pkg not found"));
        }
        PackageFree(&package);
        EXPECT_EQ(package, nullptr);
    }
}

TEST(Ramp, Lines) {
    const struct {
        std::vector<std::string> lines;
        std::vector<std::pair<std::string, int>> messages;  // text, count
    } cases[] = {
        {{"dV/dt_r 1.2/0.5n 1.0/0.6n 1.4/0.4n"}, {}},
        {{"dV/dt_f NA 1.0/0.6n 1.4/0.4n"}, {{"'NA' not allowed for dV/dt_f Typical value", 1}}},
        {{"dV/dt_r 1.2/0.5n NA NA"}, {}},
        {{"dV/dt_r 1.2/0.5n"},
         {{"No minimum Value Was Provided for dV/dt_r", 1}, {"No maximum Value Was Provided for dV/dt_r", 1},
          {"dV must be greater than 0 in a Ramp specification", 2},
          {"dT must be greater than 0 in a Ramp specification", 2}}},
        {{"dV/dt_r 1.2-0.5n 1/1n 1/1n"}, {{"Invalid dV/dt_r Typical Value (\"1.2-0.5n\")", 1}}},
        {{"dV/dt_r -1.2/0.5n 1/1n 1/1n"}, {{"dV must be greater than 0 in a Ramp specification", 1}}},
        {{"R_load = 50"}, {}},
        {{"R_load=50"}, {}},
        {{"R_load 50"}, {{"Invalid Ramp R_load Line", 1}}},
        {{"R_load"}, {{"Invalid Ramp R_load Line", 1}}},
        {{"R_load = 50", "R_load = 60"}, {{"R_load Already Defined For Model 'm'", 1}}},
        {{"R_load = 5x0"}, {{"Suspicious Ramp R_load Value (\"5x0\"); Numeric in Scale", 1}}},
        {{"dv/dt_r 1/1n 1/1n 1/1n"}, {{"Unknown Line Among Ramp Data", 1}}},
        {{"dV/dt_r 1/1n 1/1n 1/1n", "dV/dt_r 1/1n 1/1n 1/1n"}, {{"dV/dt_r Already Defined For Model 'm'", 1}}},
    };
    for (const auto& c : cases) {
        RampData* ramp = nullptr;
        const CheckerRun r = CaptureReports([&] {
            RampKeyword("[Ramp]", &ramp, "m");
            for (const auto& line : c.lines) RampDataLine(line.c_str(), ramp, "m");
            return 1;
        });
        for (const auto& [text, count] : c.messages) EXPECT_EQ(r.Count(text), count) << c.lines[0] << "\n" << r.output;
        if (c.messages.empty()) {
            EXPECT_EQ(r.errors + r.warnings, 0u) << c.lines[0] << "\n" << r.output;
        }
        if (c.lines[0] == "dV/dt_r 1.2/0.5n 1.0/0.6n 1.4/0.4n") {
            EXPECT_DOUBLE_EQ(ramp->rising->dv[0], 1.2);
            EXPECT_DOUBLE_EQ(ramp->rising->dt[2], 0.4e-9);
        }
        if (c.lines[0] == "R_load=50") {
            EXPECT_EQ(ramp->loadResistance, 50.0);
        }
        RampFree(&ramp);
    }
    RampData* ramp = nullptr;
    const CheckerRun end = CaptureReports([&] {
        Reporting().currentLine = 12;
        RampKeyword("[Ramp] extra", &ramp, "m");
        RampDataLine("dV/dt_r 1/1n 1/1n 1/1n", ramp, "m");
        RampEndCheck(ramp);
        RampFree(&ramp);
        return 1;
    });
    EXPECT_TRUE(end.Has("Incorrect Number of Line Items (2) For Ramp: Expecting 1"));
    EXPECT_TRUE(end.Has("dV/dt_f Not Defined For Ramp Beginning on Line 12"));
    EXPECT_FALSE(end.Has("dV/dt_r Not Defined"));
}

TEST(AlgorithmicModel, EntriesAndEndChecks) {
    const struct {
        std::vector<std::string> lines;
        std::vector<std::pair<std::string, int>> messages;
        int entries;
    } cases[] = {
        {{"Executable Windows_VisualStudio_32 rx.dll rx.ami"}, {}, 1},
        {{"Executable Windows_VisualStudio_32 rx.dll rx.ami extra"},
         {{"Incorrect Number of Line Items (5) For Algorithmic Model: Expecting 4", 1}}, 0},
        {{"Executable Linux_gcc_64bit rx.so rx.ami"},
         {{"Could not parse the Bits in Linux_gcc_64bit for [Algorithmic Model] Executable Sub-parameter", 1},
          {"The Number of Bits should be 32 or 64 for Platform Linux and Compiler gcc", 1}}, 1},
        {{"Executable Windows_32 rx.dll rx.ami"},
         {{"Could not parse Platform, Compiler, Bits  for [Algorithmic Model] Executable Sub-parameter", 1}}, 0},
        {{"Executable Windows_Visual_Studio_32 rx.dll rx.ami"},
         {{"Could not parse Platform, Compiler, Bits  for", 1}}, 0},
        {{"executable Windows_VisualStudio_32 rx.dll rx.ami"}, {{"Unknown Line in Algorithmic Model", 1}}, 0},
        {{"Executable Windows_VisualStudio_32 a.dll a.ami", "Executable windows_visualstudio_32 b.dll b.ami"},
         {{"Duplicate Sub-Parameter: Platform windows Compiler visualstudio Bits 32", 1}}, 2},
        {{"Executable Windows_VisualStudio_32 " + std::string(45, 'f') + " rx.ami"},
         {{"Filename too long " + std::string(45, 'f'), 1}}, 1},
    };
    for (const auto& c : cases) {
        AlgorithmicModelEntry** head = nullptr;
        const CheckerRun r = CaptureReports([&] {
            AlgModKeyword("[Algorithmic Model]", &head);
            for (const auto& line : c.lines) AlgModDataLine(line.c_str(), head);
            AlgModEndChecks(head);
            return 1;
        });
        for (const auto& [text, count] : c.messages) EXPECT_EQ(r.Count(text), count) << c.lines[0] << "\n" << r.output;
        if (c.messages.empty()) {
            EXPECT_EQ(r.errors, 0u) << r.output;
        }
        int n = 0;
        for (auto* e = *head; e; e = e->next) ++n;
        EXPECT_EQ(n, c.entries) << c.lines[0];
        if (c.lines[0] == "Executable Windows_VisualStudio_32 rx.dll rx.ami") {
            EXPECT_STREQ((*head)->platform, "Windows");
            EXPECT_STREQ((*head)->compiler, "VisualStudio");
            EXPECT_EQ((*head)->bits, 32);
            EXPECT_STREQ((*head)->executable, "rx.dll");
            EXPECT_STREQ((*head)->parameterFile, "rx.ami");
        }
        if (c.entries == 1 && c.lines[0].find(std::string(45, 'f')) != std::string::npos) {
            EXPECT_EQ(std::string((*head)->executable), std::string(44, 'f'));
        }
        AlgModFree(&head);
        EXPECT_EQ(head, nullptr);
    }
    AlgorithmicModelEntry** head = nullptr;
    const CheckerRun word = CaptureReports([&] {
        AlgModKeyword("[Algorithmic Model] word", &head);
        AlgModFree(&head);
        return 1;
    });
    EXPECT_TRUE(word.Has("Incorrect Number of Line Items (2) For Algorithmic Model: Expecting 1"));
}

class AlgorithmicModelFiles : public testing::Test {
protected:
    ScratchDirectory scratch;
};

TEST_F(AlgorithmicModelFiles, NamedFilesAreCheckedBesideTheIbisFile) {
    const std::string good =
        "(rx (Reserved_Parameters (Init_Returns_Impulse (Usage Info) (Type Boolean) (Default True) (Description t))"
        " (GetWave_Exists (Usage Info) (Type Boolean) (Default True) (Description t))))\n";
    std::filesystem::create_directory("kit");
    WriteFile("kit/rx.ami", good);
    WriteFile("kit/bad.ami", "(rx (Model_Specific (g (Usage Sideways) (Type Integer))))\n");
    WriteFile("outside.ami", "(rx (Model_Specific (g (Usage Sideways) (Type Integer))))\n");  // outside the folder of m.ibs
    WriteFile("kit/rx.so", "binary");
    std::filesystem::create_directory("kit/folder.ami");
    std::filesystem::create_symlink("/dev/zero", "kit/zero.ami");
    auto ibs = [](const std::string& entries) {
        return Header("m.ibs", "5.0") + "[Component] c\n[Model] m\n" + kInputModelBody + "[Algorithmic Model]\n" + entries +
               "[End Algorithmic Model]\n[End]\n";
    };
    std::string repeated;
    for (int i = 0; i < 1000; ++i) repeated += "Executable Linux_gcc_64 gone.so bad.ami\n";
    const std::string sideways = "Illegal Usage value Sideways specified for g";
    const struct {
        std::string entries;
        std::vector<std::pair<std::string, int>> messages;
        unsigned errors;
    } cases[] = {
        {"Executable Linux_gcc_64 rx.so rx.ami\n", {}, 0},
        {"Executable Linux_gcc_64 rx.so bad.ami\n", {{sideways, 1}, {"No Reserved_Parameters found", 1}}, 2},
        {"Executable Linux_gcc_64 missing.so rx.ami\n",
         {{"Code file missing.so not found. It was defined in [Algorithmic Model] for Model m", 1}}, 1},
        {"Executable Linux_gcc_64 rx.so rx.txt\n",
         {{"AMI Parameter file rx.txt should have '.ami' extension. It was defined in [Algorithmic Model] for Model m",
           1}},
         1},
        {"Executable Linux_gcc_64 rx.so gone.ami\n", {{"AMI parameter file gone.ami not found.", 1}}, 1},
        {"", {{"Empty [Algorithmic Model] defined for Model m", 1}}, 1},
        // Plain names only: nothing outside the folder is opened.
        {"Executable Linux_gcc_64 /etc/passwd ../outside.ami\nExecutable Linux_gcc_32 C:rx.so sub\\x.ami\n",
         {{"File name /etc/passwd has a directory part; files named in [Algorithmic Model] for Model m", 1},
          {"File name ../outside.ami has a directory part", 1}, {"File name C:rx.so has a directory part", 1},
          {"File name sub\\x.ami has a directory part", 1}, {sideways, 0}},
         4},
        {"Executable Linux_gcc_64 rx.so folder.ami\nExecutable Windows_gcc_64 . zero.ami\n",
         {{"'kit/folder.ami' is not a regular file", 1}, {"'kit/.' is not a regular file", 1},
          {"'kit/zero.ami' is not a regular file", 1}},
         3},
        // 1000 lines and a second model naming the same files: each is checked once.
        {repeated + "[End Algorithmic Model]\n[Model] n\n" + kInputModelBody + "[Algorithmic Model]\nExecutable Linux_gcc_32 gone.so bad.ami\n",
         {{"Code file gone.so not found.", 1}, {sideways, 1},
          {"Duplicate Sub-Parameter: Platform Linux Compiler gcc Bits 64", 999}},
         1002},
    };
    for (const auto& c : cases) {
        const CheckerRun r = CheckText("kit/m.ibs", ibs(c.entries));
        for (const auto& [text, count] : c.messages)
            EXPECT_EQ(r.Count(text), count) << c.entries.substr(0, 200) << r.output.substr(0, 3000);
        EXPECT_EQ(r.errors, c.errors) << c.entries.substr(0, 200) << r.output.substr(0, 3000);
    }
    // The Rx and Tx halves of a repeater from IBIS 6.0 on; the same platform twice only within a form.
    const std::string repeater = "[Component] c\n[Model] m\n" + kInputModelBody + "[Algorithmic Model]\n"
                                 "Executable_Rx Linux_gcc_64 rx.so rx.ami\nExecutable_Tx Linux_gcc_64 rx.so rx.ami\n"
                                 "[End Algorithmic Model]\n[End]\n";
    const CheckerRun v60 = CheckText("kit/m.ibs", Header("m.ibs", "6.0") + repeater);
    EXPECT_EQ(v60.errors, 0u) << v60.output;
    const CheckerRun v51 = CheckText("kit/m.ibs", Header("m.ibs", "5.1") + repeater);
    EXPECT_EQ(v51.Count("Sub-parameter Executable_Rx of [Algorithmic Model] was introduced in IBIS 6.0; the file is "
                        "IBIS 5.1."), 1) << v51.output;
    const CheckerRun missingEnd = CheckText(
        "kit/m.ibs", Header("m.ibs", "5.0") + "[Component] c\n[Model] m\n[Algorithmic Model]\n"
                     "Executable Linux_gcc_64 rx.so rx.ami\n[Model] n\n[End Algorithmic Model]\n[End]\n");
    EXPECT_TRUE(missingEnd.Has("Missing [End Algorithmic Model] keyword")) << missingEnd.output;
    EXPECT_TRUE(missingEnd.Has("Orphan [End Algorithmic Model] keyword found")) << missingEnd.output;
}

TEST_F(AlgorithmicModelFiles, ComponentPackageIsCheckedWhenTheComponentCloses) {
    const CheckerRun r = CheckText("p.ibs", Header("p.ibs") + "[Component] c1\n[Package]\nR_pkg 1 1 1\n"
                                                           "[Component] c2\n[End]\n");
    EXPECT_TRUE(r.Has("Component 'c1': Required sub-parameter L_pkg not found.")) << r.output;
    EXPECT_TRUE(r.Has("Component 'c1': Required sub-parameter C_pkg not found."));
    EXPECT_FALSE(r.Has("Component 'c2'"));
    const CheckerRun none = CheckText("n.ibs", Header("n.ibs") + "[End]\n");
    EXPECT_TRUE(none.Has("Required keyword 'Component' not found.")) << none.output;
}
