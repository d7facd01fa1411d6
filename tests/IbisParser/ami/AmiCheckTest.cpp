#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "IbisParser/ami/amicheck.h"
#include "support/CheckerRun.h"
#include "support/ScratchDirectory.h"
#include "support/SmallStack.h"

namespace {

class AmiCheck : public testing::Test {
protected:
    ScratchDirectory scratch;
    CheckerRun Check(const std::string& text, int rulesVersion = 0) {
        WriteFile("m.ami", text);
        return CaptureReports([&] {
            bool read = false;
            AmiParamTree* tree = CheckAmiFile("m.ami", &read, rulesVersion);
            FreeAmiParamTree(&tree);
            return read ? 1 : 0;
        });
    }
};

const std::string kGood =
    "(Init_Returns_Impulse (Usage Info) (Type Boolean) (Default True) (Description text))\n"
    "(GetWave_Exists (Usage Info) (Type Boolean) (Default True) (Description text))\n";

// A list holding only a name does not parse, so an empty Model_Specific is left out.
std::string Model(const std::string& reserved, const std::string& specific = "") {
    const std::string model = specific.empty() ? "" : "(Model_Specific\n" + specific + ")\n";
    return "(rx\n(Reserved_Parameters\n" + reserved + ")\n" + model + ")\n";
}

}  // namespace

TEST_F(AmiCheck, Rules) {
    const struct {
        std::string text;
        std::string expect;  // "" = no error
        int count;
    } cases[] = {
        {Model(kGood), "", 0},
        {"(rx (Model_Specific (p (Usage In))))", "No Reserved_Parameters found", 1},
        {"(rx (Reserved_Parameters (a 1 (x))))", "Init_Returns_Impulse parameter is mandatory", 1},
        {"(rx (Reserved_Parameters (a 1 (x))))", "GetWave_Exists parameter is mandatory", 1},
        {"(rx (x 1))", "No Reserved_Parameters found", 1},
        {Model("(Init_Returns_Impulse (Usage In) (Type Boolean) (Default True) (Description t))"
               "(GetWave_Exists (Usage Info) (Type Boolean) (Default True) (Description t))"),
         "Illegal Usage value In specified for Init_Returns_Impulse", 1},
        {Model(kGood + "(Ignore_Bits (Usage Info) (Type Integer) (Default 1.5) (Description t))"),
         "Illegal Default value 1.5 specified for Ignore_Bits", 1},
        {Model(kGood + "(Ignore_Bits (Usage Info) (Type Integer) (Default 1.5) (Description t))"),
         "Parameter Default is mandatory for Ignore_Bits", 1},
        {Model(kGood + "(Max_Init_Aggressors (Usage Info) (Type Integer) (Default 0) (Format Value 1) (Description t))"),
         "Unexpected parameter Format specified for Max_Init_Aggressors", 1},
        {Model(kGood + "(Tx_Jitter (Usage Info) (Type Float) (Format Table) (Description t))"),
         "Parameter Format is mandatory for Tx_Jitter", 1},
        {Model(kGood + "(Tx_DCD (Usage Info) (Type UI) (Format Range 0.1 0) (Description t))"),
         "Range: Illegal Format for Tx_DCD. Expected 3 number(s)", 1},
        {Model(kGood + "(Rx_Clock_PDF (Usage Info) (Type Float) (Format Gaussian 0 1e-12) (Default x) (Description t))"),
         "Illegal Default value x specified for Rx_Clock_PDF", 1},
        {Model(kGood + "(Bogus (Usage Info))"), "Unknown parameter Bogus found as a child of Reserved_Parameters", 1},
        {Model(kGood + "(Use_Init_Output (Usage Info) (Type Boolean) (Default 3) (Labels x) (Description t))"),
         "Unknown parameter Labels found as a child of Use_Init_Output", 1},
        {Model(kGood + "(Ignore_Bits (Usage Info) (Type Integer) (Default 3) (Sub (x 1)) (Description t))"),
         "Found a branch Sub expecting a leaf for Ignore_Bits", 1},
        {Model(kGood + "(Stray 1)"), "Expected a branch but found 'Stray'  as a leaf of 'Reserved_Parameters'", 1},
        {Model(kGood, "(gain (Usage In) (Type Integer) (Format Range 0 10))"),
         "Range: Illegal Format for gain. Expected 3 number(s)", 1},
        {Model(kGood, "(gain (Usage In) (Type Integer) (Format Range 0 10 5))"),
         "gain: typical value 0 is not between minimum 10 and maximum 5", 1},
        {Model(kGood, "(gain (Usage Bidirectional) (Type Integer))"),
         "Illegal Usage value Bidirectional specified for gain", 1},
        {Model(kGood, "(gain (Usage In) (Type Complex))"), "Illegal Type value Complex specified for gain", 1},
        {Model(kGood, "(gain (Usage In) (Type Float) (Format List 1 2 x))"),
         "gain: Format value x does not match its Type Float", 1},
        {Model(kGood, "(gain (Usage In) (Type Float) (Format Spline 1 2))"),
         "Illegal Format value Spline specified for gain", 1},
        {Model(kGood, "(grp (inner (Format Steps 1 2 3)))"), "Steps: Illegal Format for inner. Expected 4 number(s)", 1},
        {"(rx (Reserved_Parameters " + kGood + ") (Other (x 1)))", "Unknown branch Other found", 1},
    };
    for (const auto& c : cases) {
        const CheckerRun r = Check(c.text);
        EXPECT_EQ(r.result, 1);
        if (c.expect.empty()) {
            EXPECT_EQ(r.errors, 0u) << c.text << "\n" << r.output;
        }
        else EXPECT_EQ(r.Count(c.expect), c.count) << c.text << "\n" << r.output;
    }
}

// The later forms: AMI_Version, Value beside Default, formats without the word
// Format, tables, and the reserved parameters of IBIS 5.1 to 7.2.
TEST_F(AmiCheck, RulesOfLaterVersions) {
    const std::string version = "(AMI_Version (Usage Info) (Type String) (Value \"5.1\") (Description v))";
    const std::string info = "(Init_Returns_Impulse (Usage Info) (Type Boolean) (Value True) (Description t))"
                             "(GetWave_Exists (Usage Info) (Type Boolean) (Value True) (Description t))";
    const struct {
        std::string text;
        int rules;            // 0: by the file's AMI_Version
        std::string expect;   // "" = no error
        int count;
    } cases[] = {
        {Model(version + info), 0, "", 0},
        {Model(version + info), 60, "", 0},
        // Named by an IBIS 5.0 file, the file's own later AMI_Version decides.
        {Model(version + info), 50, "", 0},
        {Model(info + "(Tx_Rj (Usage Info) (Type Float) (Value 0.01))"), 50,
         "Unknown parameter Tx_Rj found as a child of Reserved_Parameters", 1},
        {Model(info), 0, "Parameter Default is mandatory for Init_Returns_Impulse", 1},
        {Model(version + info + "(Ignore_Bits (Usage Info) (Type Integer) (Value 1.5) (Description t))"), 0,
         "Illegal Value value 1.5 specified for Ignore_Bits", 1},
        {Model(version + info, "(g (Usage In) (Type Float) (Range 1 0) (Description d))"), 0,
         "Range: Illegal Format for g. Expected 3 number(s)", 1},
        {Model(version + info, "(g (Usage In) (Type Integer) (List 0 1 2) (List_Tip a b c) (Default 0))"
                               "(s (Usage In) (Type String) (Format Value \"x\"))"
                               "(t (Usage In) (Type Float) (Table (Labels a b) (1 2) (3 4)))"), 0, "", 0},
        {Model(version + info + "(Tx_Jitter (Usage Info) (Type Float) (Table (Labels a b) (1 0.1)) (Description t))"
                                "(Tx_DCD (Usage Info) (Type Float) (Value 0.01) (Description t))"), 0, "", 0},
        {Model(version + info + "(Rx_Clock_PDF (Usage Info) (Type Float)\n(Format Table (Labels a b) (1 0.1))"
                                "(Description \"(Format Table (x)\"))"), 0, "", 0},
        {Model(kGood + "(Rx_Clock_PDF (Usage Info) (Type Float) (Format Table (Labels a b) (1 0.1)) (Description t))"),
         0, "Parameter Format is mandatory for Rx_Clock_PDF", 1},
        {Model(version + info + "(Tx_DCD (Usage Info) (Type Float) (Corner 0.01 0.02) (Description t))"), 0,
         "Corner: Illegal Format for Tx_DCD. Expected 3 number(s)", 1},
        {Model(version + info, "(g (Usage Dep) (Type Float) (Description d))"), 70, "", 0},
        {Model(version + info, "(g (Usage Dep) (Type Float) (Description d))"), 61,
         "Illegal Usage value Dep specified for g", 1},
        {Model(version + info + "(Modulation (Usage Info) (Type String) (List NRZ PAM4) (Description m))"), 60,
         "Unknown parameter Modulation found as a child of Reserved_Parameters", 1},
        {Model(version + info + "(Modulation (Usage Info) (Type String) (List NRZ PAM4) (Description m))"), 61, "", 0},
        {Model(version + info + "(Rx_Use_Clock_Input (Usage Info) (Type Integer) (Value 1) (Description c))"), 71,
         "Illegal Type value Integer specified for Rx_Use_Clock_Input", 1},
        {Model(version + info + "(BCI_State (Usage Out) (Type Integer) (Value 1) (Description c))"
                                "(DC_Offset (Usage Info) (Type Float) (Value 0.1) (Description c))"), 70, "", 0},
    };
    for (const auto& c : cases) {
        const CheckerRun r = Check(c.text, c.rules);
        if (c.expect.empty()) {
            EXPECT_EQ(r.errors, 0u) << c.text << "\n" << r.output;
        } else {
            EXPECT_EQ(r.Count(c.expect), c.count) << c.text << "\n" << r.output;
        }
    }
}

TEST_F(AmiCheck, LineEndSeparatesValues) {
    WriteFile("l.ami", Model(kGood, "(g (Usage In) (Type Integer)\n(Format List 0 1 2 3\n4 5 6 7)\n(Default 0))"));
    std::vector<std::string> values;
    const CheckerRun r = CaptureReports([&] {
        AmiParamTree* tree = CheckAmiFile("l.ami");
        for (std::int32_t i = 0; tree && i < tree->count; ++i)
            if (const AmiLeaf* leaf = AsLeaf(tree->nodes[i]); leaf && leaf->nameCode == kNameFormat)
                for (std::int32_t v = 0; v < leaf->valueCount; ++v) values.push_back(leaf->values[v].text);
        FreeAmiParamTree(&tree);
        return 1;
    });
    EXPECT_EQ(r.errors, 0u) << r.output;
    EXPECT_EQ(values, (std::vector<std::string>{"List", "0", "1", "2", "3", "4", "5", "6", "7"}));
}

TEST_F(AmiCheck, ParseFailuresMapToMessages) {
    const struct {
        const char* text;
        const char* expect;
        bool bug;
    } cases[] = {{"(rx (a 1)", "The AMI parameter file has mismatched parenthesis", false},
                 {"rx (a 1))", "The AMI parameter file should start with a parenthesis", false},
                 {"(r (a) (b 1))", "Too few nodes in branches or leaves", false},
                 // A line end separates "Usage" from "Info" as a blank would: the file parses.
                 {"(r\n(p\n(Usage\nInfo)\n(Type Boolean)))", "No Reserved_Parameters found", false},
                 {"(r (a ) (b 1))", "Invalid syntax of branch or leaf. At least 2 elements expected in a list", false},
                 // A second outermost list is the file's fault, not the checker's.
                 {"(r (a 1)) (s (b 2))", "The AMI parameter file holds more than one outermost list", false},
                 {"(r (a 1))\n(s 2)", "The AMI parameter file holds more than one outermost list", false}};
    for (const auto& c : cases) {
        const CheckerRun r = Check(c.text);
        EXPECT_TRUE(r.Has(c.expect)) << c.text << "\n" << r.output;
        EXPECT_EQ(r.bugs, c.bug ? 1u : 0u) << c.text;
    }
}

TEST_F(AmiCheck, DeepNestingNeedsNoDeepStack) {
    // 300 000 nested parameter groups, checked on a thread with a 1 MB stack; the
    // one bad definition at the bottom is found.
    std::string nest;
    for (int i = 0; i < 300000; ++i) nest += "(g";
    nest += "(p (Usage Sideways) (Type Integer))" + std::string(300000, ')');
    WriteFile("deep.ami", Model(kGood, nest));
    const CheckerRun r = CaptureReports([] {
        int parsed = -1;
        RunOnSmallStack(
            [&] {
                AmiParamTree* tree = CheckAmiFile("deep.ami");
                parsed = tree != nullptr;
                FreeAmiParamTree(&tree);
            },
            1 << 20);
        return parsed;
    });
    EXPECT_EQ(r.result, 1) << r.output.substr(0, 2000);
    EXPECT_EQ(r.errors, 1u) << r.output.substr(0, 2000);
    EXPECT_TRUE(r.Has("Illegal Usage value Sideways specified for p"));
}

TEST_F(AmiCheck, CommentsDescriptionsAndLines) {
    // A comment character inside a quoted Description cuts the line there.
    const CheckerRun cut = Check(Model(kGood, "(g (Usage In) (Type Integer) (Description \"a | b\"))"));
    EXPECT_TRUE(cut.Has("mismatched parenthesis")) << cut.output;
    const std::string longDescription = "(Description \"" + std::string(130, 'd') + "\")";
    const CheckerRun tooLong = Check(Model(kGood, "(g (Usage In) (Type Integer)\n" + longDescription + "\n)"));
    EXPECT_TRUE(tooLong.Has("Description line in AMI file (at line no 8) is greater than 120 characters"))
        << tooLong.output;
    const CheckerRun tabs = Check(Model(kGood) + "|\tone\n|\ttwo\n");
    EXPECT_EQ(tabs.Count("IBIS files should not contain tab characters."), 1);
    EXPECT_EQ(tabs.errors, 0u);
    // Findings are reported at their own line, also with CR-only line ends.
    for (const char* end : {"\n", "\r\n", "\r"}) {
        const CheckerRun bell = Check(std::string("\a(rx") + end + "(Reserved_Parameters" + end + kGood + ")" + end +
                                      "(Model_Specific (g (Usage In) (Type Integer)\a))" + end + "(Other (x 1)))" + end);
        EXPECT_TRUE(bell.Has("ERROR (line    1) -\n    Found illegal control character (code 7).")) << bell.output;
        EXPECT_TRUE(bell.Has("ERROR (line    6) -\n    Found illegal control character (code 7).")) << bell.output;
        EXPECT_EQ(bell.errors, 3u) << bell.output;  // the two bells and the unknown branch
    }
    const CheckerRun missing = CaptureReports([] { return CheckIbisFile("none.ami", kFileAmi); });
    EXPECT_EQ(missing.result, 0);
    EXPECT_TRUE(missing.Has("Unable To Open File 'none.ami'"));
}
