// The kinds of finding that real files of model makers drew although they are
// valid: one row per kind, a minimal valid file that must pass and, beside it,
// the planted fault that must still be caught, with its number, line and file.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "support/CheckerRun.h"
#include "support/ScratchDirectory.h"

namespace {

class PublishedFiles : public testing::Test {
protected:
    ScratchDirectory scratch;
};

// An IBIS file of one component with pins 1 and 2 (model io) and `extra`
// component keywords, then the models.
std::string Ibis(const std::string& name, const std::string& version, const std::string& models,
                 const std::string& extra = "") {
    return Header(name, version) +
           "[Component] c\n[Manufacturer] m\n[Package]\nR_pkg 1m NA NA\nL_pkg 1n NA NA\nC_pkg 1p NA NA\n"
           "[Pin] signal_name model_name\n1 A io\n2 B io\n" +
           extra + models + "[End]\n";
}

const std::string kInput = "[Model] io\n" + kInputModelBody;

// An Input model whose [Algorithmic Model] names rx.so and rx.ami.
const std::string kAlgorithmic =
    kInput + "[Algorithmic Model]\nExecutable Linux_gcc_64 rx.so rx.ami\n[End Algorithmic Model]\n";

// An AMI file of the given AMI_Version ("" for none) and reserved parameters,
// with or without their Description.
std::string Ami(const std::string& version, const std::string& more = "", const std::string& specific = "",
                bool described = false) {
    const std::string versionLine =
        version.empty() ? "\n" : "(AMI_Version (Usage Info) (Type String) (Value \"" + version + "\"))\n";
    const std::string description = described ? " (Description \"d\")" : "";
    return "(rx\n(Reserved_Parameters\n" + versionLine + "(Init_Returns_Impulse (Usage Info) (Type Boolean) (Default True)" +
           description + ")\n(GetWave_Exists (Usage Info) (Type Boolean) (Default True)" + description + ")\n" + more +
           ")\n" + (specific.empty() ? "" : "(Model_Specific\n" + specific + ")\n") + ")\n";
}

// An Output model whose rising waveform into 50 ohm to ground has a 20 %-80 %
// slope of 1.5 V/ns; its ramp rises at 2.4 V/ns, 1.6 times as fast.
// `rampLines` are added to its [Ramp].
std::string Driver(const std::string& rampLines = "") {
    return "[Model] io\nModel_type Output\nC_comp 1pF 1pF 1pF\n[Voltage Range] 3.3 3.0 3.6\n"
           "[Pulldown]\n0 0 0 0\n3.3 10m 9m 11m\n"
           "[Ramp]\ndV/dt_r 2.88/1.2n NA NA\ndV/dt_f 2.88/1.2n NA NA\n" +
           rampLines + "[Rising Waveform]\nR_fixture = 50\nV_fixture = 0\n0 0 0 0\n1n 1.5 1.4 1.6\n2n 3.0 2.9 3.1\n";
}

struct Kind {
    const char* kind;
    std::map<std::string, std::string> files;  // the valid files; `checked` among them
    std::string checked;
    // The planted fault: in `faultFile`, `find` becomes `replace`.
    std::string faultFile, find, replace;
    // The finding it must draw: the file it concerns, "E5045" and the line
    // (that of `atText` in the faulted file; 0: a finding without a line).
    std::string findingFile, message, atText;
    // Numbers that must not stand beside it (the same fault in other words).
    std::vector<std::int32_t> absent = {};
};

struct Run {
    std::vector<Finding> findings;
    bool failed = false;
};

Run Check(const std::string& path) {
    Run run;
    const ReportState saved = Reporting();
    SetFindingRecords(&run.findings);
    ResetCounts();
    Frame().quiet = true;
    CheckIbisFile(path.c_str(), FileKindOf(path));
    run.failed = CheckFailed();
    SetFindingRecords(nullptr);
    Reporting() = saved;
    return run;
}

char Letter(std::int32_t kind) { return kind == kWarning ? 'W' : kind == kError ? 'E' : '?'; }

std::string Describe(const Run& run) {
    std::string text;
    for (const Finding& f : run.findings)
        text += f.file + ":" + std::to_string(f.line) + ": " + Letter(f.kind) + std::to_string(f.number) + " " + f.text +
                "\n";
    return text;
}

int LineOf(const std::string& content, const std::string& text) {
    const std::size_t at = content.find(text);
    EXPECT_NE(at, std::string::npos) << text;
    int line = 1;
    for (std::size_t i = 0; i < at && i < content.size(); ++i) line += content[i] == '\n';
    return line;
}

void WriteAll(const std::map<std::string, std::string>& files) {
    for (const auto& [name, content] : files) WriteFile(name, content);
}

void ExpectKind(const Kind& k) {
    WriteAll(k.files);
    const Run valid = Check(k.checked);
    EXPECT_FALSE(valid.failed) << k.kind << ": the valid file fails\n" << Describe(valid);
    for (const Finding& f : valid.findings)  // not even as a warning
        EXPECT_NE(Letter(f.kind) + std::to_string(f.number), k.message) << k.kind << ": " << f.text;
    std::map<std::string, std::string> faulted = k.files;
    std::string& text = faulted[k.faultFile];
    const std::size_t at = text.find(k.find);
    ASSERT_NE(at, std::string::npos) << k.kind << ": " << k.find;
    text.replace(at, k.find.size(), k.replace);
    WriteAll(faulted);
    const Run fault = Check(k.checked);
    const int line = k.atText.empty() ? 0 : LineOf(faulted[k.findingFile], k.atText);
    int found = 0;
    for (const Finding& f : fault.findings) {
        const bool sameFile = f.file.size() >= k.findingFile.size() &&
                              f.file.compare(f.file.size() - k.findingFile.size(), k.findingFile.size(), k.findingFile) == 0;
        if (sameFile && Letter(f.kind) + std::to_string(f.number) == k.message && f.line == static_cast<std::uint32_t>(line))
            ++found;
        for (std::int32_t n : k.absent) EXPECT_NE(f.number, n) << k.kind << ": " << f.text;
    }
    EXPECT_EQ(found, 1) << k.kind << ": " << k.message << " at " << k.findingFile << ":" << line << "\n"
                        << Describe(fault);
}

}  // namespace

TEST_F(PublishedFiles, NumbersReadByTheStandardsRule) {
    const std::string vinl = "Vinl = 0.8V\n";
    const std::string model = kInput;
    for (const Kind& k : std::vector<Kind>{
             // Only the letter after the number counts; the rest is unit text.
             {"unit text after the number", {{"a.ibs", Ibis("a.ibs", "4.2", model)}}, "a.ibs", "a.ibs", vinl,
              "Vinl = O.8V\n", "a.ibs", "E5023", "Vinl = O.8V"},
             {"unit text after the number (Vc)", {{"a.ibs", Ibis("a.ibs", "4.2", "[Model] io\nModel_type Input\nVinl = 0.8Vc\nVinh = 2.0Volts\nC_comp 1pF 1pF 1pF\n[Voltage Range] 3.3V 3.0V 3.6V\n[Rgnd] 1500hm 100Ohm NA\n")}},
              "a.ibs", "a.ibs", "Vinl = 0.8Vc", "Vinl = abc", "a.ibs", "E5023", "Vinl = abc"},
             // A digit in the unit text: the warning, and no error beside it.
             {"digit in a [Package] unit", {{"a.ibs", Ibis("a.ibs", "4.2", model)}}, "a.ibs", "a.ibs",
              "R_pkg 1m NA NA", "R_pkg 1.5m2 NA NA", "a.ibs", "W1910", "R_pkg 1.5m2", {5043, 1909}},
             {"digit in an R_load unit", {{"a.ibs", Ibis("a.ibs", "4.2", Driver("R_load = 50\n"))}}, "a.ibs", "a.ibs",
              "R_load = 50", "R_load = 50Ohm2", "a.ibs", "W1311", "R_load = 50Ohm2", {5043, 1314}},
             {"no leading number in [Package]", {{"a.ibs", Ibis("a.ibs", "4.2", model)}}, "a.ibs", "a.ibs",
              "C_pkg 1p NA NA", "C_pkg O.5pF NA NA", "a.ibs", "E1909", "C_pkg O.5pF"},
             {"upper-case K is no kilo", {{"a.ibs", Ibis("a.ibs", "4.2", Driver("R_load = 50\n"))}}, "a.ibs", "a.ibs",
              "R_load = 50", "R_load = 7Kohms", "a.ibs", "W5031", "R_load = 7Kohms"},
         })
        ExpectKind(k);
}

TEST_F(PublishedFiles, ModelsAsTheStandardWritesThem) {
    const std::string clamp = "[GND Clamp]\n-3.3 -50m NA NA\n-1 NA NA NA\n0 0 NA NA\n";
    for (const Kind& k : std::vector<Kind>{
             // NA in the typical column of an I-V table, but for its first and last rows.
             {"NA typical current, last row", {{"a.ibs", Ibis("a.ibs", "4.2", kInput + clamp)}}, "a.ibs", "a.ibs",
              "0 0 NA NA", "0 NA NA NA", "a.ibs", "E5045", "0 NA NA NA"},
             {"NA typical current, first row", {{"a.ibs", Ibis("a.ibs", "4.2", kInput + clamp)}}, "a.ibs", "a.ibs",
              "-3.3 -50m NA NA", "-3.3 NA NA NA", "a.ibs", "E5045", "-3.3 NA NA NA"},
             // Missing Vinl and Vinh: simulators assume 0.8 V and 2.0 V; a warning.
             {"thresholds assumed", {{"a.ibs", Ibis("a.ibs", "4.2", kInput)}}, "a.ibs", "a.ibs", "Vinl = 0.8V\n", "",
              "a.ibs", "W5030", "[Model] io", {5026}},
             // Ramp and waveform differ by 1.6 (passes) and by 10 (caught).
             {"ramp against waveform", {{"a.ibs", Ibis("a.ibs", "4.2", Driver())}}, "a.ibs", "a.ibs",
              "dV/dt_r 2.88/1.2n", "dV/dt_r 18/1.2n", "a.ibs", "W5049", "dV/dt_r 18/1.2n"},
             // A series pin pair is joined by a Series or Series_switch model.
             {"[Series Pin Mapping] model type",
              {{"a.ibs", Ibis("a.ibs", "4.2", kInput + "[Model] ser\nModel_type Series\n",
                              "[Series Pin Mapping] pin_2 model_name\n1 2 ser\n")}},
              "a.ibs", "a.ibs", "1 2 ser", "1 2 io", "a.ibs", "E5019", "1 2 io"},
         })
        ExpectKind(k);
}

TEST_F(PublishedFiles, KeywordsOfEveryVersion) {
    const std::string corner = "[C Comp Corner]\nC_comp 1p 2p 0.5p\nC_comp_pullup 1p NA NA\n";
    const std::string delay = "[Initial Delay]\nV-T 1n NA NA\nI-T 0 0 0\n";
    const std::string submodel =
        "[Add Submodel]\nhold Non-Driving\n[Submodel] hold\nSubmodel_type Bus_hold\n[Initial Delay]\nV-T 1n NA NA\n";
    for (const Kind& k : std::vector<Kind>{
             {"[C Comp Corner] of 5.1", {{"a.ibs", Ibis("a.ibs", "5.1", kInput + corner)}}, "a.ibs", "a.ibs",
              "[IBIS Ver] 5.1", "[IBIS Ver] 5.0", "a.ibs", "E909", "[C Comp Corner]"},
             {"[C Comp Corner] rows", {{"a.ibs", Ibis("a.ibs", "5.1", kInput + corner)}}, "a.ibs", "a.ibs",
              "C_comp_pullup 1p NA NA", "C_comp_pullup NA NA NA", "a.ibs", "E5045", "C_comp_pullup NA"},
             {"[Initial Delay] of 6.1", {{"a.ibs", Ibis("a.ibs", "6.1", kInput + delay)}}, "a.ibs", "a.ibs",
              "[IBIS Ver] 6.1", "[IBIS Ver] 6.0", "a.ibs", "E909", "[Initial Delay]"},
             {"[Initial Delay] rows", {{"a.ibs", Ibis("a.ibs", "6.1", kInput + delay)}}, "a.ibs", "a.ibs", "I-T 0 0 0",
              "X-T 0 0 0", "a.ibs", "E5042", "X-T 0 0 0"},
             {"[Initial Delay] in a submodel", {{"a.ibs", Ibis("a.ibs", "6.1", kInput + submodel)}}, "a.ibs", "a.ibs",
              "V-T 1n NA NA", "V-T x NA NA", "a.ibs", "E5043", "V-T x NA NA"},
             // From IBIS 7.0 on file names may hold upper case and several periods.
             {"[File Name] of 7.0", {{"Chip.Rev2.ibs", Ibis("Chip.Rev2.ibs", "7.0", kInput)}}, "Chip.Rev2.ibs",
              "Chip.Rev2.ibs", "[IBIS Ver] 7.0", "[IBIS Ver] 6.1", "Chip.Rev2.ibs", "E1012", "[File Name]"},
         })
        ExpectKind(k);
}

TEST_F(PublishedFiles, AmiFilesByTheirVersion) {
    const std::string table = "(Supporting_Files (Usage Info) (Type String) (Table (\"file.ens\") (\"b.ens\")))\n";
    const std::string ibs = Ibis("a.ibs", "5.1", kAlgorithmic);
    const std::string ignoreBits = "(Ignore_Bits (Usage Info) (Type Integer) (Default 4))\n";
    const std::string upperCase =
        kInput + "[Algorithmic Model]\nExecutable Linux_gcc_64 RX.so rx.ami\n[End Algorithmic Model]\n";
    for (const Kind& k : std::vector<Kind>{
             // Description is optional from 5.1 on; 5.0 files keep the rule.
             {"Description of 5.1", {{"rx.ami", Ami("5.1")}}, "rx.ami", "rx.ami",
              "(AMI_Version (Usage Info) (Type String) (Value \"5.1\"))", "", "rx.ami", "E4630",
              "(Init_Returns_Impulse"},
             {"Description, named by a 5.1 file", {{"a.ibs", ibs}, {"rx.so", ""}, {"rx.ami", Ami("")}}, "a.ibs",
              "a.ibs", "[IBIS Ver] 5.1", "[IBIS Ver] 5.0", "rx.ami", "E4630", "(Init_Returns_Impulse"},
             // A one-column table row; a list of one name outside a table is still refused,
             // at no line of the IBIS file that names the .ami file.
             {"one-column table", {{"a.ibs", ibs}, {"rx.so", ""}, {"rx.ami", Ami("6.0", table)}}, "a.ibs", "rx.ami",
              "(Table (\"file.ens\") (\"b.ens\"))", "(\"file.ens\")", "rx.ami", "E4635", ""},
             // Each fault once, in the wording of the reserved-parameter rules.
             {"invalid Default", {{"rx.ami", Ami("5.1", ignoreBits)}}, "rx.ami", "rx.ami", "(Default 4)",
              "(Default 1.5)", "rx.ami", "E4627", "(Ignore_Bits", {5102}},
             {"non-number in a Format",
              {{"rx.ami", Ami("", "", "(p (Usage In) (Type Float) (Format Value 1.5))\n", true)}},
              "rx.ami", "rx.ami", "(Format Value 1.5)", "(Format Value abc)", "rx.ami", "E4632", "(p ", {5102}},
             // A line end separates values.
             {"Default of two values", {{"rx.ami", Ami("5.1", ignoreBits)}}, "rx.ami", "rx.ami", "(Default 4)",
              "(Default 1\n.5)", "rx.ami", "E5109", "(Ignore_Bits"},
             // A keyword newer than the file draws 909 alone: its .ami follows its own version.
             {"too new [Algorithmic Model]", {{"a.ibs", ibs}, {"rx.so", ""}, {"rx.ami", Ami("5.1")}}, "a.ibs", "a.ibs",
              "[IBIS Ver] 5.1", "[IBIS Ver] 4.2", "a.ibs", "E909", "[Algorithmic Model]", {4624, 4625, 4630}},
             // Before IBIS 7.0 file names are lower case: a warning.
             {"upper-case Executable name", {{"a.ibs", Ibis("a.ibs", "7.0", upperCase)}, {"RX.so", ""}, {"rx.ami", Ami("5.1")}},
              "a.ibs", "a.ibs", "[IBIS Ver] 7.0", "[IBIS Ver] 6.1", "a.ibs", "W4641", "Executable"},
         })
        ExpectKind(k);
}
