#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "IbisParser/engine/keywords.h"
#include "support/CheckerRun.h"
#include "support/ScratchDirectory.h"

namespace {

class Frame_ : public testing::Test {
protected:
    ScratchDirectory scratch;
};

const std::string kBody = "[Component] c1\n[Manufacturer] m\n[End]\n";

}  // namespace

TEST_F(Frame_, DetectsTheVersion) {
    const struct {
        const char* text;
        int version;
    } cases[] = {{"[IBIS Ver] 4.2\n", 4},  {"|c\n[IBIS_Ver] 3.2\n", 3}, {"   [ibis ver]   5.0\n", 5},
                 {"[Component] x\n[IBIS Ver] 4.2\n", 0}, {"| only comments\n", 0}, {"[IBIS Ver] x\n", 0},
                 {"[IBIS Ver] 1.1\n", 1}};
    for (const auto& c : cases) {
        WriteFile("v.ibs", c.text);
        std::uint32_t lines = 0;
        const CheckerRun r = CaptureReports([&] { return DetectIbisVersion("v.ibs", &lines, kFileIbs); });
        EXPECT_EQ(r.result, c.version) << c.text;
    }
    const CheckerRun r = CheckText("nv.ibs", "[Component] x\n[IBIS Ver] 4.2\n[End]\n");
    EXPECT_EQ(r.result, 0);
    EXPECT_TRUE(r.Has("ERROR - Could not determine Version for file nv.ibs"));
}

TEST_F(Frame_, ExtensionRules) {
    WriteFile("rx.ibs", Header("rx.ibs") + kBody);
    WriteFile("UP.IBS", Header("up.ibs") + kBody);
    WriteFile("rx.txt", Header("rx.txt") + kBody);
    std::filesystem::create_directory("kit");
    WriteFile("kit/rx.ibs", Header("rx.ibs") + kBody);
    const struct {
        const char* path;
        int kind;
        int result;
        const char* message;
    } cases[] = {
        {"rx", kFileIbs, 1, ""},
        {"UP.IBS", kFileIbs, 1, ""},
        {"rx.txt", kFileIbs, 0, "File Name Requires '.ibs' Extension."},
        {"rx.ibs", kFilePkg, 0, "File Name Requires '.pkg' Extension."},
        {"rx.ibs", kFileEbd, 0, "File Name Requires '.ebd' Extension."},
        {"rx.ibs", kFileAmi, 0, "File Name Requires '.ami' Extension."},
        {"missing.ibs", kFileIbs, 0, "Unable To Open File 'missing.ibs'"},
        // The name is tried in other cases, the folder never: that may be another one.
        {"kit/RX.IBS", kFileIbs, 1, ""},
        {"KIT/rx.ibs", kFileIbs, 0, "Unable To Open File 'KIT/rx.ibs'"},
    };
    for (const auto& c : cases) {
        std::FILE* f = nullptr;
        const CheckerRun r = CaptureReports([&] { return OpenCheckedFile(c.path, c.kind, &f, nullptr); });
        if (f) std::fclose(f);
        EXPECT_EQ(r.result, c.result) << c.path;
        EXPECT_TRUE(r.Reports(c.message)) << c.path << ": " << r.output;
    }
}

TEST_F(Frame_, LongPathsAreRefused) {
    const std::string path = std::string(1100, 'a') + ".ibs";
    const CheckerRun longPath = CaptureReports([&] { return CheckIbisFile(path.c_str(), kFileIbs); });
    EXPECT_EQ(longPath.result, 0);
    EXPECT_TRUE(longPath.Has("Unable to assemble filename."));
}

TEST_F(Frame_, PathsSplitAtTheLastSlashOrBackslash) {
    const struct {
        const char* path;
        const char* directory;
        const char* name;
    } cases[] = {{"models/rx.ibs", "models/", "rx.ibs"},
                 {"C:/models/rx.ibs", "C:/models/", "rx.ibs"},
                 {"C:\\m\\rx.ibs", "C:\\m\\", "rx.ibs"},
                 {"a\\b/rx.ibs", "a\\b/", "rx.ibs"},
                 {"rx.ibs", "", "rx.ibs"}};
    for (const auto& c : cases) {
        std::string directory, name;
        SplitPath(c.path, directory, name);
        EXPECT_EQ(directory, c.directory);
        EXPECT_EQ(name, c.name);
    }
    std::filesystem::create_directory("models");
    const CheckerRun r = CheckText("models/rx.ibs", Header("rx.ibs") + kBody);
    EXPECT_EQ(r.errors, 0u) << r.output;
}

TEST_F(Frame_, KeywordLookup) {
    const KeywordRow* table = KeywordTableFor(5);
    const struct {
        const char* line;
        std::int32_t current;
        std::int32_t code;
        const char* message;
    } cases[] = {
        {"[Model Spec]", NOT_KEY, KW_MODEL_SPEC, ""},
        {"[model_spec]", NOT_KEY, KW_MODEL_SPEC, ""},
        {"[Diff_Pin]", NOT_KEY, KW_DIFF_PIN, ""},
        {"[Manufacturer] x", KW_DEFINE_PACKAGE_MODEL, KW_PKG_MANUFACTURER, ""},
        {"[Manufacturer] x", KW_COMPONENT, KW_MANUFACTURER, ""},
        {"[Manufacturer] x", KW_BEGIN_BOARD_DESCRIPTION, KW_EBD_MANUFACTURER, ""},
        {"[Nonsense]", NOT_KEY, NOT_KEY, "Invalid Keyword: Nonsense"},
        {"[Model", NOT_KEY, NOT_KEY, "Keyword Missing Ending Bracket (']')."},
        {"[]", NOT_KEY, NOT_KEY, "Invalid Keyword."},
    };
    for (const auto& c : cases) {
        std::int32_t code = -5;
        const CheckerRun r = CaptureReports([&] { return LookupKeyword(c.line, c.current, &code, table); });
        EXPECT_EQ(code, c.code) << c.line;
        EXPECT_TRUE(r.Reports(c.message)) << c.line << ": " << r.output;
    }
    std::int32_t code = 0;
    Frame().submodelOpen = true;
    CaptureReports([&] { return LookupKeyword("[Pulldown]", KW_SUBMODEL, &code, table); });
    Frame().submodelOpen = false;
    EXPECT_EQ(code, KW_SUB_PULLDOWN);
    Frame().kind = kFileEbd;
    CaptureReports([&] { return LookupKeyword("[Number Of Pins]", KW_BEGIN_BOARD_DESCRIPTION, &code, table); });
    Frame().kind = kFileIbs;
    EXPECT_EQ(code, KW_EBD_NUMBER_OF_PINS);
    // Versions admit the keywords their IBIS defines.
    CheckerRun old = CaptureReports([&] { return LookupKeyword("[Algorithmic Model]", 0, &code, KeywordTableFor(4)); });
    EXPECT_TRUE(old.Has("Invalid Keyword: Algorithmic_Model"));
    std::string name;
    EXPECT_STREQ(KeywordName(KW_RAMP, &name), "RAMP");
    CheckerRun bad = CaptureReports([&] { return KeywordName(999, &name) ? 1 : 0; });
    EXPECT_EQ(name, "Unknown enumerated keyword code");
    EXPECT_EQ(bad.bugs, 1u);
}

TEST_F(Frame_, CommentCharacterRedefinition) {
    const struct {
        const char* line;
        const char* message;
        bool hashIsComment;
    } cases[] = {{"[Comment Char] #_char", "", true},
                 {"[Comment_char] a_char", "Invalid Comment Character 'a'.", false},
                 {"[Comment Char] #_char extra", "Too Many Line Items For Keyword COMMENT_CHAR.", true},
                 {"[Comment Char] #", "Invalid Comment Character Definition.", false}};
    for (const auto& c : cases) {
        const CheckerRun r = CheckText("cc.ibs", Header("cc.ibs") + c.line + "\n# a comment line\n" + kBody);
        EXPECT_TRUE(r.Reports(c.message)) << c.line << ": " << r.output;
        EXPECT_EQ(r.Has("Orphan Data Line."), !c.hashIsComment) << c.line << ": " << r.output;
    }
}

TEST_F(Frame_, LineLengthLimitsPerVersion) {
    const std::string line81 = "| " + std::string(79, 'x') + "\n";
    const std::string line121 = "| " + std::string(119, 'x') + "\n";
    const std::string line120 = "| " + std::string(118, 'x') + "\n";
    EXPECT_TRUE(CheckText("l.ibs", Header("l.ibs", "3.2") + line81 + kBody).Has("Exceeds 80 chararacters."));
    EXPECT_FALSE(CheckText("l.ibs", Header("l.ibs", "5.0") + line81 + line120 + kBody).Has("Exceeds"));
    EXPECT_TRUE(CheckText("l.ibs", Header("l.ibs", "5.0") + line121 + kBody).Has("Exceeds 120 chararacters."));
}

TEST_F(Frame_, IndentedKeywordsAndFreeText) {
    const CheckerRun inNotes = CheckText("n.ibs", Header("n.ibs") + "[Notes] a\n  [not a keyword] text\n" + kBody);
    EXPECT_FALSE(inNotes.Has("Keywords Must Begin In Column 1.")) << inNotes.output;
    const CheckerRun outside = CheckText("n.ibs", Header("n.ibs") + " [Component] c\n[End]\n");
    EXPECT_TRUE(outside.Has("Keywords Must Begin In Column 1.")) << outside.output;
}

TEST_F(Frame_, EndKeyword) {
    const CheckerRun after = CheckText("e.ibs", Header("e.ibs") + kBody + "[Component] late\n| ok\n");
    EXPECT_EQ(after.Count("Non-comment line exists after 'End' keyword."), 1);
    const CheckerRun missing = CheckText("e.ibs", Header("e.ibs") + "[Component] c\n");
    EXPECT_EQ(missing.Count("Required keyword 'End' not found."), 1);
    const CheckerRun extra = CheckText("e.ibs", Header("e.ibs") + "[Component] c\n[End] now\n");
    EXPECT_TRUE(extra.Has("Extraneous data on End keyword line."));
    const CheckerRun clean = CheckText("e.ibs", Header("e.ibs") + kBody);
    EXPECT_EQ(clean.errors, 0u) << clean.output;
}

TEST_F(Frame_, CharactersTabsAndLineEnds) {
    // LF, CR LF and old Mac CR-only files read alike; every finding is reported at
    // its own line, the first one included.
    for (const std::string end : {"\n", "\r\n", "\r"}) {
        std::string text = "[IBIS Ver] 4.2\x01\n[File Name] t.ibs\n[File Rev] 1\n|\ttab one\n|\ttab two\n| bell\a\n"
                           "| high \xe9\n| nul" + std::string(1, '\0') + "\n" + kBody;
        for (auto at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + end.size()))
            text.replace(at, 1, end);
        const CheckerRun r = CheckText("t.ibs", text);
        EXPECT_EQ(r.Count("WARNING (line    4) - IBIS files should not contain tab characters."), 1) << r.output;
        EXPECT_TRUE(r.Has("ERROR (line    1) -\n    Found illegal control character (code 1).  Converting to space."));
        EXPECT_TRUE(r.Has("ERROR (line    6) -\n    Found illegal control character (code 7)."));
        EXPECT_TRUE(r.Has("ERROR (line    7) -\n    Found illegal non-7-bit ASCII character (code e9)."));
        EXPECT_TRUE(r.Has("ERROR (line    8) - Found illegal NUL character (code 0)."));
        EXPECT_EQ(r.errors, 4u) << r.output;
    }
}

TEST_F(Frame_, UnknownKeywordKeepsTheGroupOpenUntilItCloses) {
    // The model opened before the unknown keyword still gets its end checks.
    const CheckerRun r = CheckText("u.ibs", Header("u.ibs") + "[Component] c\n[Model] m\n[Ramp]\n"
                                                              "dV/dt_r 1/1n 1/1n 1/1n\n[Bogus]\ndata\n[End]\n");
    EXPECT_TRUE(r.Has("Invalid Keyword: Bogus"));
    EXPECT_TRUE(r.Has("Data for unknown keyword."));
    EXPECT_EQ(r.Count("dV/dt_f Not Defined For Ramp Beginning on Line 6"), 1) << r.output;
}

// 100 000 repetitions of a keyword (one test each, to stay short under the sanitizers).
struct ManyKeywords {
    const char* name;
    std::string first, repeated, last;
    const char* message;
    int count;  // of the message
};
void PrintTo(const ManyKeywords& c, std::ostream* out) { *out << c.name; }

class ManyKeywordsTakeLinearTime : public testing::TestWithParam<ManyKeywords> {
protected:
    ScratchDirectory scratch;
};

TEST_P(ManyKeywordsTakeLinearTime, Check) {
    const ManyKeywords& c = GetParam();
    std::string text = Header("many.ibs") + c.first;
    for (int i = 0; i < 100000; ++i) text += c.repeated;
    EXPECT_EQ(CheckText("many.ibs", text + c.last).Count(c.message), c.count) << c.repeated;
}

INSTANTIATE_TEST_SUITE_P(
    Frame_, ManyKeywordsTakeLinearTime,
    testing::Values(ManyKeywords{"Components", "", "[Component] c\n[Manufacturer] m\n", "[End]\n",
                                 "Duplicate Component name 'c'", 99999},
                    ManyKeywords{"Models", "[Component] c\n[Manufacturer] m\n", "[Model] m\n" + kInputModelBody, "[End]\n",
                                 "Duplicate Model name 'm'", 99999},
                    ManyKeywords{"IbisVer", "", "[IBIS Ver] 4.2\n", kBody, "Duplicate IBIS_Ver keyword.\n", 100000}),
    [](const testing::TestParamInfo<ManyKeywords>& info) { return std::string(info.param.name); });

TEST_F(Frame_, ComponentAndModelOnlyInIbsFiles) {
    const CheckerRun r = CheckText("p.pkg", Header("p.pkg") + "[Component] c\n[End]\n");
    EXPECT_TRUE(r.Has("Illegal keyword for a '.pkg' file.")) << r.output;
}

TEST_F(Frame_, KeywordsByTheVersionThatIntroducedThem) {
    const std::string ms = "[Model] m\n" + kInputModelBody;
    const std::string set = "[Interconnect Model Set] s\n[Interconnect Model] i\n[End Interconnect Model]\n";
    const struct {
        const char* version;
        std::string body;
        const char* message;  // "" = no error at all
    } cases[] = {
        {"1.1", "[Component] c\n" + ms + "[Ramp]\ndV/dt_r 1/1n 1/1n 1/1n\ndV/dt_f 1/1n 1/1n 1/1n\n", ""},
        {"1.1", "[Component] c\n" + ms + "[Rising Waveform]\n",
         "Keyword [Rising Waveform] was introduced in IBIS 2.0; the file is IBIS 1.1."},
        {"4.2", "[Component] c\n" + ms + "[Algorithmic Model]\n",
         "Keyword [Algorithmic Model] was introduced in IBIS 5.0; the file is IBIS 4.2."},
        {"4.0", "[Component] c\n[Node Declarations]\n[End Node Declarations]\n",
         "Keyword [Node Declarations] was introduced in IBIS 4.1; the file is IBIS 4.0."},
        {"5.1", "[Component] c\n[Repeater Pin]\n1 2\n", "Keyword [Repeater Pin] was introduced in IBIS 6.0"},
        {"6.0", "[Component] c\n[Repeater Pin]\n1 2\n", ""},
        {"7.0", "[Component] c\n[Clock Pins]\n", "Keyword [Clock Pins] was introduced in IBIS 7.1"},
        {"7.1", "[Component] c\n[Clock Pins]\n[Begin EMI Component]\n[Pin EMI]\n[End EMI Component]\n", ""},
        {"7.2", "[Component] c\n" + set + "[End Interconnect Model Set]\n", ""},
        {"7.2", "[Component] c\n" + set,
         "Missing [End Interconnect Model Set] keyword for the [Interconnect Model Set] of line 5"},
        {"7.0", "[Component] c\n[Bus Label] signal_name\nVDDQ1 VDDQ\n[Die Supply Pads] signal_name bus_label\n", ""},
        {"4.2", "[Component] c\n[Begin EMI Component]\n[End EMI Component]\n",
         "Keyword [Begin EMI Component] was introduced in IBIS 5.0; the file is IBIS 4.2."},
        {"5.0", "[Component] c\n" + ms + "[C Comp Corner]\nC_comp 1p 1p 1p\n",
         "Keyword [C Comp Corner] was introduced in IBIS 5.1; the file is IBIS 5.0."},
        {"6.0", "[Component] c\n" + ms + "[Initial Delay]\nV-T 0 0 0\n",
         "Keyword [Initial Delay] was introduced in IBIS 6.1; the file is IBIS 6.0."},
        {"6.1", "[Component] c\n" + ms + "[C Comp Corner]\nC_comp 1p 1p 1p\n[Initial Delay]\nV-T 0 0 0\n", ""},
        {"7.2", "[Component] c\n[Pin EMI]\n", "Keyword [Pin EMI] may stand only inside [Begin EMI Component]."},
        {"4.2", "[Component] c\n" + ms + "[Pin]\n", "Keyword [Pin] may stand only inside [Component]."},
        {"4.2", "[Component] c\n[Ramp]\n", "Keyword [Ramp] may stand only inside [Model]."},
        {"3.2", "[Component] c\n[Model] m\nC_comp_pullup 1p 1p 1p\n" + kInputModelBody,
         "Sub-parameter C_comp_pullup of [Model] was introduced in IBIS 4.0; the file is IBIS 3.2."},
        {"5.0", "[Component] c\n[Model] m\nC_comp_pullup 1p 1p 1p\n" + kInputModelBody, ""},
    };
    for (const auto& c : cases) {
        const CheckerRun r = CheckText("k.ibs", Header("k.ibs", c.version) + c.body + "[End]\n");
        if (*c.message == '\0') EXPECT_EQ(r.errors, 0u) << c.version << "\n" << c.body << r.output;
        else EXPECT_EQ(r.Count(c.message), 1) << c.version << "\n" << c.body << r.output;
        EXPECT_FALSE(r.Has("Data for unknown keyword")) << r.output;  // a too new keyword's data is its own
    }
    // Package model sections: matrices inside [Model Data], which closes before the model ends.
    const std::string pkg = "[Define Package Model] p\n[Manufacturer] m\n[Number Of Pins] 1\n[Pin Numbers]\n1\n"
                            "[Model Data]\n[Resistance Matrix] Diagonal_matrix\n[Row] 1\n1\n"
                            "[Inductance Matrix] Diagonal_matrix\n[Row] 1\n1n\n[Capacitance Matrix] Diagonal_matrix\n"
                            "[Row] 1\n1p\n";
    EXPECT_EQ(CheckText("p.pkg", Header("p.pkg") + pkg + "[End Model Data]\n[End Package Model]\n[End]\n").errors, 0u);
    EXPECT_TRUE(CheckText("p.pkg", Header("p.pkg") + pkg + "[End Package Model]\n[End]\n")
                    .Has("Missing [End Model Data] keyword for the [Model Data] of line 9"));
}

TEST_F(Frame_, VersionsOutsideTheStandard) {
    const struct {
        const char* version;
        bool checked, unsupported;
        const char* illegal;
    } cases[] = {{"4.3", true, false, "Illegal IBIS_Version '4.3'."},
                 {"5.3", true, false, "Illegal IBIS_Version '5.3'."},
                 {"8.0", true, true, "Illegal IBIS_Version '8.0'."},
                 {"x", false, false, ""}};
    for (const auto& c : cases) {
        const CheckerRun r = CheckText("v.ibs", Header("v.ibs", c.version) + kBody);
        EXPECT_EQ(r.result, c.checked ? 1 : 0) << c.version;
        EXPECT_EQ(c.checked && r.Has(c.illegal), c.checked) << c.version << r.output;
        EXPECT_EQ(r.Has("Could not determine Version"), !c.checked) << c.version << r.output;
        EXPECT_EQ(r.Has("IBIS Version '8.0' of file v.ibs is not supported; checking it by the IBIS 7.2 rules"),
                  c.unsupported) << r.output;
    }
    // Line lengths: 80 characters up to IBIS 3.2, 120 from 4.0 on.
    const std::string line81 = "| " + std::string(79, 'x') + "\n";
    EXPECT_TRUE(CheckText("l.ibs", Header("l.ibs", "1.1") + line81 + kBody).Has("Exceeds 80 chararacters."));
    EXPECT_FALSE(CheckText("l.ibs", Header("l.ibs", "7.2") + line81 + kBody).Has("Exceeds"));
}
