// The IBIS version that introduced each keyword: a file of an earlier version
// is refused the keyword (909), a file of that version or later is not. The
// versions are those of the IBIS history, the earlier one where it is
// uncertain (docs/ibislint.md, "Assumptions about the standard").
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/keywords.h"
#include "support/CheckerRun.h"
#include "support/ScratchDirectory.h"

namespace {

bool InTable(const KeywordRow* table, std::string name) {
    for (char& c : name) c = c == ' ' ? '_' : static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    for (const KeywordRow* row = table; row->code != NOT_KEY; ++row)
        if (name == row->name) return true;
    return false;
}

// The version before `code` among the IBIS versions (0 before 1.1).
int VersionBefore(int code) {
    int before = 0;
    for (int v : kIbisVersions)
        if (v < code) before = v;
    return before;
}

}  // namespace

TEST(KeywordVersions, EachKeywordFromTheVersionThatIntroducedIt) {
    const struct {
        int introduced;
        std::vector<const char*> keywords;
    } versions[] = {
        {11,
         {"IBIS Ver", "Comment Char", "File Name", "File Rev", "Date", "Source", "Notes", "Disclaimer",
          "Copyright", "Component", "Manufacturer", "Package", "Pin", "Model", "Temperature Range",
          "Voltage Range", "Pullup Reference", "Pulldown Reference", "POWER Clamp Reference",
          "GND Clamp Reference", "Pulldown", "Pullup", "GND Clamp", "POWER Clamp", "Ramp", "End"}},
        {20,
         {"Package Model", "Pin Mapping", "Diff Pin", "Rgnd", "Rpower", "Rac", "Cac", "Rising Waveform",
          "Falling Waveform", "Define Package Model", "OEM", "Description", "Number Of Pins", "Pin Numbers",
          "Model Data", "Resistance Matrix", "Inductance Matrix", "Capacitance Matrix", "Bandwidth", "Row",
          "End Model Data", "End Package Model", "Number Of Sections"}},
        {30,
         {"Series Switch Groups", "Series Pin Mapping", "External Reference", "TTgnd", "TTpower", "Model Spec",
          "Driver Schedule", "On", "Off", "R Series", "L Series", "Rl Series", "C Series", "Lc Series",
          "Rc Series", "Series Current", "Series MOSFET", "Add Submodel", "Begin Board Description",
          "Pin List", "Path Description", "Reference Designator Map", "End Board Description",
          "Model Selector", "Submodel", "Submodel Spec", "GND Pulse Table", "POWER Pulse Table"}},
        {40,
         {"Receiver Thresholds", "Test Data", "Rising Waveform Near", "Rising Waveform Far",
          "Falling Waveform Near", "Falling Waveform Far", "Diff Rising Waveform Far", "Test Load"}},
        {41,
         {"Alternate Package Models", "Node Declarations", "End Node Declarations", "Circuit Call",
          "End Circuit Call", "External Circuit", "End External Circuit", "External Model",
          "End External Model"}},
        {50,
         {"Begin EMI Component", "End EMI Component", "Pin EMI", "Pin Domain EMI", "Algorithmic Model",
          "End Algorithmic Model", "ISSO PD", "ISSO PU", "Composite Current", "Begin EMI Model",
          "End EMI Model"}},
        {51,
         {"C Comp Corner"}},
        {60,
         {"Repeater Pin"}},
        {61,
         {"Initial Delay", "Merged Pins"}},
        {70,
         {"Bus Label", "End Bus Label", "Die Supply Pads", "End Die Supply Pads", "Interconnect Model Set",
          "Interconnect Model", "End Interconnect Model"}},
        {71,
         {"Clock Pins", "C Comp Model", "End C Comp Model"}},
    };
    for (const auto& v : versions)
        for (const char* keyword : v.keywords) {
            EXPECT_TRUE(InTable(KeywordTableFor(v.introduced), keyword)) << keyword << " in " << v.introduced;
            EXPECT_TRUE(InTable(KeywordTableFor(kNewestIbisVersion), keyword)) << keyword;
            if (const int before = VersionBefore(v.introduced)) {
                EXPECT_FALSE(InTable(KeywordTableFor(before), keyword)) << keyword << " in " << before;
            }
        }
}

TEST(KeywordVersions, AFileOlderThanAKeywordIsToldWhichVersionBroughtIt) {
    ScratchDirectory scratch;
    const std::string body = "[Component] c\n[Manufacturer] m\n[Package]\nR_pkg 1 NA NA\nL_pkg 1nH NA NA\n"
                             "C_pkg 1pF NA NA\n[Pin] signal_name model_name\n1 A m\n[Model] m\n" + kInputModelBody;
    const CheckerRun old = CheckText("old.ibs", Header("old.ibs", "4.2") + body + "[Algorithmic Model]\n"
                                     "Executable Linux_gcc_64 m.so m.ami\n[End Algorithmic Model]\n[End]\n");
    EXPECT_TRUE(old.Has("Keyword [Algorithmic Model] was introduced in IBIS 5.0; the file is IBIS 4.2."))
        << old.output;
    const CheckerRun recent = CheckText("new.ibs", Header("new.ibs", "5.0") + body + "[Algorithmic Model]\n"
                                        "Executable Linux_gcc_64 m.so m.ami\n[End Algorithmic Model]\n[End]\n");
    EXPECT_FALSE(recent.Has("was introduced in IBIS")) << recent.output;
}
