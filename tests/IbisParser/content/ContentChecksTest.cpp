// The content checks, each on a valid file with one planted fault: a base file
// that passes clean, and one edit per row.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "support/CheckerRun.h"
#include "support/ScratchDirectory.h"

namespace {

class ContentChecks : public testing::Test {
protected:
    ScratchDirectory scratch;
};

// Every line is numbered in the comments of the rows below by its place here.
const std::string kBaseIbs = Header("base.ibs") +  // lines 1-3
                             "[Component] chip\n"                                        // 4
                             "[Manufacturer] maker\n"                                    // 5
                             "[Package]\n"                                               // 6
                             "R_pkg 250m 225m 275m\n"                                    // 7
                             "L_pkg 2.5nH NA 3.1nH\n"                                    // 8
                             "C_pkg 1pF NA NA\n"                                         // 9
                             "[Pin] signal_name model_name R_pin L_pin C_pin\n"          // 10
                             "1 DQ sel\n"                                                // 11
                             "2 DQN io\n"                                                // 12
                             "3 VDD POWER\n"                                             // 13
                             "4 VSS GND 10m 1nH 1pF\n"                                   // 14
                             "[Diff Pin] inv_pin vdiff tdelay_typ tdelay_min tdelay_max\n"  // 15
                             "1 2 150mV 0 NA NA\n"                                       // 16
                             "[Model Selector] sel\n"                                    // 17
                             "io fast\n"                                                 // 18
                             "out slow\n"                                                // 19
                             "[Model] io\n"                                              // 20
                             "Model_type I/O\n"                                          // 21
                             "Polarity Non-Inverting\n"                                  // 22
                             "Enable Active-High\n"                                      // 23
                             "Vinl = 0.8V\n"                                             // 24
                             "Vinh = 2.0V\n"                                             // 25
                             "C_comp 2pF 1pF 3pF\n"                                      // 26
                             "[Voltage Range] 3.3V 3.0V 3.6V\n"                          // 27
                             "[Temperature Range] 50 100 0\n"                            // 28
                             "[Pulldown]\n"                                              // 29
                             "-3.3 -10m -9m -11m\n"                                      // 30
                             "0 0 0 0\n"                                                 // 31
                             "3.3 10m 9m 11m\n"                                          // 32
                             "[Pullup]\n"                                                // 33
                             "-3.3 10m 9m 11m\n"                                         // 34
                             "0 0 0 0\n"                                                 // 35
                             "3.3 -10m -9m -11m\n"                                       // 36
                             "[GND Clamp]\n"                                             // 37
                             "-3.3 -50m NA NA\n"                                         // 38
                             "0 0 NA NA\n"                                               // 39
                             "[Ramp]\n"                                                  // 40
                             "dV/dt_r 1.8/1.2n 1.0/0.6n 1.4/0.4n\n"                      // 41
                             "dV/dt_f 2.0/1.2n 1.0/0.6n 1.4/0.4n\n"                      // 42
                             "R_load = 50\n"                                             // 43
                             "[Rising Waveform]\n"                                       // 44
                             "R_fixture = 50\n"                                          // 45
                             "V_fixture = 0\n"                                           // 46
                             "0 0 0 0\n"                                                 // 47
                             "1n 1.5 1.4 1.6\n"                                          // 48
                             "2n 3.0 2.9 3.1\n"                                          // 49
                             "[Falling Waveform]\n"                                      // 50
                             "R_fixture = 50\n"                                          // 51
                             "V_fixture = 3.3\n"                                         // 52
                             "0 3.3 3.2 3.4\n"                                           // 53
                             "1n 1.5 1.4 1.6\n"                                          // 54
                             "2n 0 0 0\n"                                                // 55
                             "[Model] out\n"                                             // 56
                             "Model_type Output\n"                                       // 57
                             "C_comp 2.5pF 2pF 3pF\n"                                    // 58
                             "[Voltage Range] 3.3V 3.1V 3.5V\n"                          // 59
                             "[Pulldown]\n"                                              // 60
                             "0 0 0 0\n"                                                 // 61
                             "3.3 12m 11m 13m\n"                                         // 62
                             "[Ramp]\n"                                                  // 63
                             "dV/dt_r 1.2/0.5n NA NA\n"                                  // 64
                             "dV/dt_f 1.2/0.5n NA NA\n"                                  // 65
                             "[Component] switcher\n"                                    // 66
                             "[Manufacturer] maker\n"                                    // 67
                             "[Package]\n"                                               // 68
                             "R_pkg 250m 225m 275m\n"                                    // 69
                             "L_pkg 2.5nH NA 3.1nH\n"                                    // 70
                             "C_pkg 1pF NA NA\n"                                         // 71
                             "[Pin] signal_name model_name\n"                            // 72
                             "1 SA NC\n"                                                 // 73
                             "2 SB NC\n"                                                 // 74
                             "[Series Pin Mapping] pin_2 model_name function_table_group\n"  // 75
                             "1 2 sw g1\n"                                               // 76
                             "[Series Switch Groups]\n"                                  // 77
                             "On g1 /\n"                                                 // 78
                             "Off g1 /\n"                                                // 79
                             "[Model] sw\n"                                              // 80
                             "Model_type Series_switch\n"                                // 81
                             "[End]\n";                                                  // 82

struct Edit {
    const char* family;
    const char* find;     // unique text of the base file
    const char* replace;  // what it becomes
    const char* message;  // E5002, W3903, ...
    int line;
};

std::string Applied(const std::string& base, const Edit& e) {
    const std::size_t at = base.find(e.find);
    EXPECT_NE(at, std::string::npos) << e.find;
    EXPECT_EQ(base.find(e.find, at + 1), std::string::npos) << "not unique: " << e.find;
    std::string text = base;
    if (at != std::string::npos) text.replace(at, std::strlen(e.find), e.replace);
    return text;
}

// The numbered report at a line, as "E5002 (line   11)"; line 0: a report without line.
std::string At(const char* message, int line) {
    char text[64];
    if (line == 0) std::snprintf(text, sizeof text, "%s - ", message);
    else std::snprintf(text, sizeof text, "%s (line %4d)", message, line);
    return text;
}

CheckerRun CheckNumbered(const std::string& path, const std::string& content) {
    WriteFile(path, content);
    return CaptureReports([&] {
        SetWordStyle(false);
        return CheckIbisFile(path.c_str(), FileKindOf(path));
    });
}

void RunFamily(const std::string& base, const std::string& path, const std::vector<Edit>& edits) {
    const CheckerRun clean = CheckNumbered(path, base);
    EXPECT_EQ(clean.errors + clean.warnings, 0u) << clean.output;
    for (const Edit& e : edits) {
        const CheckerRun r = CheckNumbered(path, Applied(base, e));
        EXPECT_TRUE(r.Has(At(e.message, e.line))) << e.family << ": " << e.find << " -> " << e.replace << "\n"
                                                   << r.output;
    }
}

// Edits that keep a file valid: each draws nothing.
void ExpectClean(const std::string& base, const std::string& path, const std::vector<Edit>& edits) {
    for (const Edit& e : edits) {
        const CheckerRun r = CheckNumbered(path, Applied(base, e));
        EXPECT_EQ(r.errors + r.warnings, 0u) << e.family << ": " << e.find << " -> " << e.replace << "\n" << r.output;
    }
}

}  // namespace

// The switcher's [Series Switch Groups] (its last line, 79) followed by a
// [Package Model] defined in the file for its pins 1 and `second` (line 85).
std::string PackagedSwitcher(const std::string& second) {
    const std::string matrix = "[Row] 1\n1n\n[Row] " + second + "\n1n\n";
    return "Off g1 /\n[Package Model] pk\n[Define Package Model] pk\n[Number Of Pins] 2\n[Pin Numbers]\n1\n" + second +
           "\n[Model Data]\n[Inductance Matrix] Diagonal_matrix\n" + matrix + "[Capacitance Matrix] Diagonal_matrix\n" +
           matrix + "[End Model Data]\n[End Package Model]\n";
}

TEST_F(ContentChecks, References) {
    const std::string unknownPackagePin = PackagedSwitcher("9"), packagedPins = PackagedSwitcher("2");
    WriteFile("nopk.pkg", "[IBIS Ver] 4.2\n[Define_Package_Model] other | not nopk\n");
    RunFamily(kBaseIbs, "base.ibs",
              {
                  {"pin model", "1 DQ sel", "1 DQ nosuch", "E5002", 11},
                  {"pin model case", "2 DQN io", "2 DQN IO", "W5003", 12},
                  {"duplicate pin", "3 VDD POWER\n", "3 VDD POWER\n3 VDD2 POWER\n", "E5000", 14},
                  {"diff pin", "1 2 150mV", "1 9 150mV", "E5004", 16},
                  {"pin mapping", "[Model Selector]", "[Pin Mapping] pulldown_ref pullup_ref\n7 GNDBUS PWRBUS\n[Model Selector]",
                   "E5004", 18},
                  {"selector entry", "out slow", "gone slow", "E5005", 19},
                  {"duplicate model", "[Model] out", "[Model] io", "E5000", 56},
                  {"selector named like a model", "[Model Selector] sel", "[Model Selector] io", "E5009", 17},
                  {"duplicate selector", "io fast\nout slow\n", "io fast\nout slow\n[Model Selector] sel\nio fast\n",
                   "E5000", 20},
                  {"driver schedule", "[Ramp]\ndV/dt_r 1.2/0.5n NA", "[Driver Schedule]\nghost 0 NA 0 NA\n[Ramp]\ndV/dt_r 1.2/0.5n NA",
                   "E5005", 64},
                  {"add submodel", "[Ramp]\ndV/dt_r 1.2/0.5n NA", "[Add Submodel]\nnosub Driving\n[Ramp]\ndV/dt_r 1.2/0.5n NA",
                   "E5006", 64},
                  {"package model unseen", "[Diff Pin]", "[Package Model] nopkg\n[Diff Pin]", "W5007", 15},
                  {"package model not in its file", "[Diff Pin]", "[Package Model] nopk\n[Diff Pin]", "E5008", 15},
                  {"pin columns", "3 VDD POWER", "3 VDD", "E5001", 13},
                  {"diff pin value", "1 2 150mV", "1 2 mV150", "E5043", 16},
                  {"diff pin delay", "150mV 0 NA NA", "150mV 0 NA O.5n", "E5043", 16},
                  {"diff pin columns", "150mV 0 NA NA", "150mV 0 NA", "E5013", 16},
                  {"switch group", "On g1 /", "On g9 /", "E5011", 78},
                  {"switch state", "Off g1 /", "Of g1 /", "E5010", 79},
                  {"switch group end", "Off g1 /", "Off g1", "E5012", 79},
                  {"pin mapping misses a pin", "[Model Selector]",
                   "[Pin Mapping] pulldown_ref pullup_ref\n1 GNDBUS PWRBUS\n2 GNDBUS PWRBUS\n3 NC PWRBUS\n[Model Selector]",
                   "E5014", 14},
                  {"pin mapping row twice", "[Model Selector]",
                   "[Pin Mapping] pulldown_ref pullup_ref\n1 GNDBUS PWRBUS\n2 GNDBUS PWRBUS\n3 NC PWRBUS\n4 GNDBUS NC\n"
                   "4 GNDBUS NC\n[Model Selector]",
                   "E5000", 22},
                  {"pin R/L/C columns", "4 VSS GND 10m 1nH 1pF", "4 VSS GND 10m 1nH", "E5017", 14},
                  {"pin C_pin number", "4 VSS GND 10m 1nH 1pF", "4 VSS GND 10m 1nH O.5pF", "E5043", 14},
                  {"diff pin with itself", "1 2 150mV", "1 1 150mV", "E5016", 16},
                  {"diff pin twice", "1 2 150mV 0 NA NA\n", "1 2 150mV 0 NA NA\n2 4 150mV 0 NA NA\n", "E5000", 17},
                  {"driver schedule columns", "[Ramp]\ndV/dt_r 1.2/0.5n NA",
                   "[Driver Schedule]\nio 0 NA 0\n[Ramp]\ndV/dt_r 1.2/0.5n NA", "E5015", 64},
                  {"driver schedule delay", "[Ramp]\ndV/dt_r 1.2/0.5n NA",
                   "[Driver Schedule]\nio 0 NA l.0n NA\n[Ramp]\ndV/dt_r 1.2/0.5n NA", "E5043", 64},
                  {"add submodel mode", "[Ramp]\ndV/dt_r 1.2/0.5n NA",
                   "[Add Submodel]\nnosub Sleeping\n[Ramp]\ndV/dt_r 1.2/0.5n NA", "E5021", 64},
                  {"submodel type", "[End]\n", "[Submodel] hold\nSubmodel_type Bus_grip\n[End]\n", "E5021", 83},
                  {"submodel spec value", "[End]\n",
                   "[Submodel] hold\nSubmodel_type Bus_hold\n[Submodel Spec]\nV_trigger_r 2.0 1.8 2,2\n[End]\n", "E5043",
                   85},
                  {"duplicate component", "[Component] switcher", "[Component] chip", "E5000", 66},
                  {"package model pin not in [Pin]", "Off g1 /\n", unknownPackagePin.c_str(), "E5018", 85},
              });
    ExpectClean(kBaseIbs, "base.ibs", {{"package model of the component's pins", "Off g1 /\n", packagedPins.c_str(), "", 0}});
}

TEST_F(ContentChecks, ModelRequirements) {
    RunFamily(kBaseIbs, "base.ibs",
              {
                  {"Model_type", "Model_type Output", "Model_type Ouput", "E5020", 57},
                  {"Polarity", "Polarity Non-Inverting", "Polarity Sideways", "E5021", 22},
                  {"Enable", "Enable Active-High", "Enable Sometimes", "E5021", 23},
                  {"unknown sub-parameter", "Vinl = 0.8V", "Vlow = 0.8V", "W5022", 24},
                  {"Vinl assumed", "Vinl = 0.8V", "Vlow = 0.8V", "W5030", 20},
                  {"Vinh value", "Vinh = 2.0V", "Vinh = high", "E5023", 25},
                  {"no Model_type", "Model_type Output\n", "", "E5025", 56},
                  {"Ramp required", "[Ramp]\ndV/dt_r 1.2/0.5n NA NA\ndV/dt_f 1.2/0.5n NA NA\n", "", "E5026", 56},
                  {"drive table required", "[Pulldown]\n0 0 0 0\n3.3 12m 11m 13m\n", "", "E5026", 56},
                  {"C_comp required", "C_comp 2.5pF 2pF 3pF\n", "", "E5026", 56},
                  {"supply required", "[Voltage Range] 3.3V 3.1V 3.5V\n", "", "E5026", 56},
                  {"C_comp order", "C_comp 2pF 1pF 3pF", "C_comp 4pF 1pF 3pF", "W3903", 26},
                  {"C_comp typical NA", "C_comp 2pF 1pF 3pF", "C_comp NA 1pF 3pF", "E5045", 26},
                  {"Voltage Range order", "[Voltage Range] 3.3V 3.0V 3.6V", "[Voltage Range] 3.3V 3.4V 3.6V", "W3903",
                   27},
                  {"Voltage Range columns", "[Voltage Range] 3.3V 3.0V 3.6V", "[Voltage Range] 3.3V 3.0V", "E5027", 27},
                  {"Rgnd number", "[Pulldown]\n-3.3", "[Rgnd] Ohm150 100Ohm NA\n[Pulldown]\n-3.3", "E5043", 29},
                  {"C_comp minimum above maximum", "C_comp 2pF 1pF 3pF", "C_comp 2pF 3pF 1pF", "W5028", 26},
                  {"Voltage Range minimum above maximum", "[Voltage Range] 3.3V 3.0V 3.6V",
                   "[Voltage Range] 3.3V 3.6V 3.0V", "W5028", 27},
                  {"Package minimum above maximum", "[Component] chip\n[Manufacturer] maker\n[Package]\nR_pkg 250m 225m 275m",
                   "[Component] chip\n[Manufacturer] maker\n[Package]\nR_pkg 250m 275m 225m", "W5028", 7},
                  {"Package number", "[Component] chip\n[Manufacturer] maker\n[Package]\nR_pkg 250m 225m 275m",
                   "[Component] chip\n[Manufacturer] maker\n[Package]\nR_pkg 250m 225m O.3", "E1909", 7},
                  {"Ramp R_load number", "R_load = 50", "R_load = O50", "E1314", 43},
                  {"Ramp ratio number", "dV/dt_r 1.8/1.2n", "dV/dt_r l.8/1.2n", "E1312", 41},
                  {"Model Spec value", "[Pulldown]\n-3.3", "[Model Spec]\nVinl 0.8 0.7 O.9\n[Pulldown]\n-3.3", "E5043", 30},
                  {"Model Spec without thresholds",
                   "Vinl = 0.8V\nVinh = 2.0V\nC_comp 2pF 1pF 3pF\n[Voltage Range] 3.3V 3.0V 3.6V\n[Temperature Range] 50 100 0\n",
                   "C_comp 2pF 1pF 3pF\n[Voltage Range] 3.3V 3.0V 3.6V\n[Temperature Range] 50 100 0\n[Model Spec]\n"
                   "Vmeas 1.5 1.4 1.6\n",
                   "W5030", 20},
                  {"Model_type twice", "Model_type Output\n", "Model_type Output\nModel_type Output\n", "E5029", 58},
                  {"Voltage Range twice", "[Voltage Range] 3.3V 3.1V 3.5V\n",
                   "[Voltage Range] 3.3V 3.1V 3.5V\n[Voltage Range] 3.3V 3.1V 3.5V\n", "E5029", 60},
              });
    ExpectClean(kBaseIbs, "base.ibs",
                {
                    {"unit words", "[Voltage Range] 3.3V 3.0V 3.6V\n[Temperature Range] 50 100 0",
                     "[Voltage Range] 3.3Volts 3.0Volts 3.6Volts\n[Temperature Range] 50.0degC 100.0degC 0.0degC", "", 0},
                    {"drivers by schedule", "[Pulldown]\n0 0 0 0\n3.3 12m 11m 13m\n[Ramp]\ndV/dt_r 1.2/0.5n NA NA\n"
                     "dV/dt_f 1.2/0.5n NA NA\n", "[Driver Schedule]\nio 0 NA 0 NA\n", "", 0},
                    {"hysteresis thresholds",
                     "Vinl = 0.8V\nVinh = 2.0V\nC_comp 2pF 1pF 3pF\n[Voltage Range] 3.3V 3.0V 3.6V\n[Temperature Range] 50 100 0\n",
                     "C_comp 2pF 1pF 3pF\n[Voltage Range] 3.3V 3.0V 3.6V\n[Temperature Range] 50 100 0\n[Model Spec]\n"
                     "Vinh+ 2.0 NA NA\nVinh- 1.8 NA NA\nVinl+ 1.0 NA NA\nVinl- 0.8 NA NA\n",
                     "", 0},
                });
}

TEST_F(ContentChecks, Tables) {
    RunFamily(kBaseIbs, "base.ibs",
              {
                  {"columns", "0 0 0 0\n3.3 10m 9m 11m", "0 0 0 0\n3.3 10m 9m", "E5044", 32},
                  {"number", "-3.3 -10m -9m -11m", "-3.3 -10m x -11m", "E5043", 30},
                  {"digit in the unit text", "-3.3 -10m -9m -11m", "-3.3 -10m -9m -11m2", "W1910", 30},
                  {"hexadecimal", "-3.3 -10m -9m -11m", "-3.3 -10m -9m 0x10", "W1910", 30},
                  {"infinity", "-3.3 -10m -9m -11m", "-3.3 -10m -9m inf", "E5043", 30},
                  {"beyond a double", "-3.3 -10m -9m -11m", "-3.3 -10m -9m -1e999", "E5043", 30},
                  {"fixture twice", "V_fixture = 0\n", "V_fixture = 0\nV_fixture = 0\n", "E5072", 47},
                  {"voltage order", "0 0 0 0\n3.3 10m 9m 11m", "0 0 0 0\n-1 10m 9m 11m", "E5048", 32},
                  {"typical NA", "-3.3 -50m NA NA", "-3.3 NA NA NA", "E5045", 38},
                  {"duplicate table", "[GND Clamp]\n-3.3 -50m NA NA\n0 0 NA NA\n",
                   "[GND Clamp]\n-3.3 -50m NA NA\n0 0 NA NA\n[GND Clamp]\n-3.3 -50m NA NA\n0 0 NA NA\n", "E5047", 40},
                  {"empty table", "[GND Clamp]\n-3.3 -50m NA NA\n0 0 NA NA\n", "[GND Clamp]\n", "E5040", 37},
                  {"time order", "1n 1.5 1.4 1.6\n2n 3.0", "1n 1.5 1.4 1.6\n0.5n 3.0", "E5046", 49},
                  {"R_fixture missing", "R_fixture = 50\nV_fixture = 0\n", "V_fixture = 0\n", "E5041", 44},
                  {"fixture number", "R_fixture = 50\nV_fixture = 3.3", "R_fixture = Ohm50\nV_fixture = 3.3", "E5043",
                   51},
                  {"fixture unknown", "V_fixture = 0\n", "V_fixture = 0\nZ_fixture = 1\n", "E5042", 47},
                  {"ramp 10 times the rising waveform", "dV/dt_r 1.8/1.2n", "dV/dt_r 18/1.2n", "W5049", 41},
                  {"ramp a tenth of the falling waveform", "dV/dt_f 2.0/1.2n", "dV/dt_f 0.2/1.2n", "W5049", 42},
              });
    // No finding is built on figures that overflow: this waveform's swing is beyond a double.
    ExpectClean(kBaseIbs, "base.ibs",
                {{"waveform swing overflows", "V_fixture = 0\n0 0 0 0\n1n 1.5 1.4 1.6\n2n 3.0 2.9 3.1",
                  "V_fixture = 0\n0 -1.7e308 0 0\n1n 1.5 1.4 1.6\n2n 1.7e308 2.9 3.1", "", 0},
                 {"ramp 1.6 times the rising waveform", "dV/dt_r 1.8/1.2n", "dV/dt_r 2.88/1.2n", "", 0}});
    // Nor on rails whose span overflows: any fixture voltage would seem to be at the rail.
    const std::string fastRamp = Applied(kBaseIbs, {"ramp", "dV/dt_r 1.8/1.2n", "dV/dt_r 18/1.2n", "", 0});
    ExpectClean(fastRamp, "base.ibs",
                {{"rails overflow", "[Voltage Range] 3.3V 3.0V 3.6V",
                  "[Voltage Range] 1.7e308 1.6e308 1.79e308\n[Pulldown Reference] -1.7e308 -1.79e308 -1.6e308", "", 0}});
}

const std::string kBaseAmi =
    "(rx\n(Reserved_Parameters\n"
    "(AMI_Version (Usage Info) (Type String) (Value \"5.1\") (Description \"v\"))\n"
    "(Ignore_Bits (Usage Info) (Type Integer) (Default 4) (Description \"b\"))\n"
    "(Max_Init_Aggressors (Usage Info) (Type Integer) (Default 10) (Description \"a\"))\n"
    "(Init_Returns_Impulse (Usage Info) (Type Boolean) (Default True) (Description \"i\"))\n"
    "(GetWave_Exists (Usage Info) (Type Boolean) (Default True) (Description \"g\"))\n"
    ")\n(Model_Specific\n"
    "(gain (Usage In) (Type Integer) (Range 2 0 7) (Default 3) (Description \"g\"))\n"
    "(mode (Usage In) (Type Float) (List 0.5 1.0 1.5) (Default 1.0))\n"
    "(enable (Usage In) (Type Boolean) (Default True))\n"
    "))\n";

TEST_F(ContentChecks, AmiValues) {
    RunFamily(kBaseAmi, "base.ami",
              {
                  {"default outside range", "(Default 3)", "(Default 9)", "E5105", 0},
                  {"default not in list", "(Default 1.0))", "(Default 2.0))", "E5103", 0},
                  {"range order", "(Range 2 0 7)", "(Range 8 0 7)", "E5104", 0},
                  {"integer", "(Default 3)", "(Default 3.5)", "E5102", 0},
                  {"boolean", "(Type Boolean) (Default True))\n)", "(Type Boolean) (Default Maybe))\n)", "E5102", 0},
                  {"float", "(List 0.5", "(List x", "E5102", 0},
                  {"duplicate", "(enable (Usage In)", "(gain (Usage In)", "E5100", 0},
                  {"usage missing", "(enable (Usage In) (Type Boolean)", "(enable (Type Boolean)", "E5101", 0},
                  {"type missing", "(enable (Usage In) (Type Boolean)", "(enable (Usage In)", "E5101", 0},
                  {"format or default missing", "(Type Boolean) (Default True))\n)", "(Type Boolean))\n)", "W5108", 0},
                  {"negative", "(Default 4)", "(Default -1)", "E5106", 0},
                  {"float nan", "(List 0.5", "(List nan", "E5102", 0},
                  {"float inf", "(List 0.5", "(List inf", "E5102", 0},
                  {"integer overflow", "(Default 4)", "(Default 99999999999999999999999)", "E5102", 0},
                  {"no response", "(Default True) (Description \"i\"))\n(GetWave_Exists (Usage Info) (Type Boolean) (Default True)",
                   "(Default False) (Description \"i\"))\n(GetWave_Exists (Usage Info) (Type Boolean) (Default False)",
                   "E5107", 0},
              });
    // Values that a Type of String lets through are never compared as figures
    // that overflowed or are no numbers: as texts, "nan" is in a List of "nan".
    ExpectClean(kBaseAmi, "base.ami",
                {{"non-finite list", "(Type Float) (List 0.5 1.0 1.5) (Default 1.0)",
                  "(Type String) (List nan 1e999) (Default nan)", "", 0},
                 {"non-finite range", "(Type Integer) (Range 2 0 7) (Default 3)",
                  "(Type String) (Range 1e999 0 7) (Default -inf)", "", 0}});
}

const std::string kBasePkg = Header("base.pkg") +     // lines 1-3
                             "[Define Package Model] pk\n"  // 4
                             "[Manufacturer] maker\n[OEM] oem\n[Description] three pins\n"
                             "[Number Of Pins] 3\n"        // 8
                             "[Pin Numbers]\n1\n2\n3\n"    // 9-12
                             "[Model Data]\n"              // 13
                             "[Inductance Matrix] Full_matrix\n"
                             "[Row] 1\n5n 1n 0.5n\n"       // 15, 16
                             "[Row] 2\n5n 1n\n"            // 17, 18
                             "[Row] 3\n5n\n"               // 19, 20
                             "[Capacitance Matrix] Banded_matrix\n"
                             "[Bandwidth] 1\n"             // 22
                             "[Row] 1\n1p 0.1p\n[Row] 2\n1p 0.1p\n[Row] 3\n1p\n"  // 23-28
                             "[Resistance Matrix] Diagonal_matrix\n"              // 29
                             "[Row] 1\n0.1\n[Row] 2\n0.1\n[Row] 3\n0.1\n"          // 30-35
                             "[End Model Data]\n[End Package Model]\n[End]\n";

const char* const kDiagonalResistance =
    "[Resistance Matrix] Diagonal_matrix\n[Row] 1\n0.1\n[Row] 2\n0.1\n[Row] 3\n0.1\n";

TEST_F(ContentChecks, PackageModels) {
    RunFamily(kBasePkg, "base.pkg",
              {
                  {"pin count", "[Number Of Pins] 3", "[Number Of Pins] 4", "E5060", 8},
                  {"pin count value", "[Number Of Pins] 3", "[Number Of Pins] 1e30", "E5043", 8},
                  {"matrix type", "[Inductance Matrix] Full_matrix", "[Inductance Matrix] Half_matrix", "E5061", 14},
                  {"row name", "[Row] 2\n5n 1n", "[Row] 9\n5n 1n", "E5062", 17},
                  {"full row length", "[Row] 2\n5n 1n\n", "[Row] 2\n5n\n", "E5063", 17},
                  {"band width", "[Row] 1\n1p 0.1p", "[Row] 1\n1p 0.1p 0.1p", "E5064", 23},
                  {"no bandwidth", "[Bandwidth] 1\n", "", "E5065", 22},
                  {"diagonal", "[Row] 3\n5n\n", "[Row] 3\n-5n\n", "E5066", 20},
                  {"capacitance missing",
                   "[Capacitance Matrix] Banded_matrix\n[Bandwidth] 1\n[Row] 1\n1p 0.1p\n[Row] 2\n1p 0.1p\n[Row] 3\n1p\n",
                   "", "E5067", 4},
                  {"duplicate pin", "1\n2\n3\n[Model Data]", "1\n2\n2\n[Model Data]", "E5000", 12},
                  {"value", "[Row] 1\n5n 1n 0.5n", "[Row] 1\n5n x1 0.5n", "E5043", 16},
                  {"row missing", "[Row] 3\n5n\n", "", "E5068", 14},
                  {"row twice", "[Row] 3\n5n\n", "[Row] 3\n5n\n[Row] 3\n5n\n", "E5072", 21},
                  {"band row short", "[Row] 1\n1p 0.1p\n[Row] 2", "[Row] 1\n1p\n[Row] 2", "E5069", 23},
                  {"sparse row without diagonal", kDiagonalResistance,
                   "[Resistance Matrix] Sparse_matrix\n[Row] 1\n1 0.1\n2 0.01\n[Row] 2\n3 0.01\n[Row] 3\n3 0.1\n", "E5070",
                   33},
                  {"sparse column below the diagonal", kDiagonalResistance,
                   "[Resistance Matrix] Sparse_matrix\n[Row] 1\n1 0.1\n[Row] 2\n2 0.1\n1 0.01\n[Row] 3\n3 0.1\n", "E5071",
                   34},
                  {"sparse column twice", kDiagonalResistance,
                   "[Resistance Matrix] Sparse_matrix\n[Row] 1\n1 0.1\n[Row] 2\n2 0.1\n2 0.1\n[Row] 3\n3 0.1\n", "E5072",
                   34},
              });
    ExpectClean(kBasePkg, "base.pkg",
                {{"sparse", kDiagonalResistance,
                  "[Resistance Matrix] Sparse_matrix\n[Row] 1\n1 0.1\n2 0.01\n[Row] 2\n2 0.1 3 0.01\n[Row] 3\n3 0.1\n", "", 0}});
}

// Line numbers as in kBaseIbs; the map names that file, written beside it.
const std::string kBaseEbd = Header("base.ebd") +               // lines 1-3
                             "[Begin Board Description] module\n"  // 4
                             "[Manufacturer] maker\n"              // 5
                             "[Number Of Pins] 4\n"                // 6
                             "[Pin List] signal_name\n"            // 7
                             "A1 DATA0\n"                          // 8
                             "A2 DATA1\n"                          // 9
                             "A3 POWER\n"                          // 10
                             "A4 GND\n"                            // 11
                             "[Path Description] data0\n"          // 12
                             "Pin A1\n"                            // 13
                             "Len = 0.5 L=8.35n C=3.34p R=0.01 /\n"  // 14
                             "Node u1.1\n"                         // 15
                             "[Path Description] data1\n"          // 16
                             "Pin A2\n"                            // 17
                             "Len = 0.2 L=8n C=3p /\n"             // 18
                             "Fork\n"                              // 19
                             "Len = 0.1 L=8n C=3p /\n"             // 20
                             "Node u1.2\n"                         // 21
                             "Endfork\n"                           // 22
                             "Len = 0 L=1n /\n"                    // 23
                             "Node u2.2\n"                         // 24
                             "[Reference Designator Map]\n"        // 25
                             "u1 base.ibs chip\n"                  // 26
                             "u2 base.ibs chip\n"                  // 27
                             "[End Board Description]\n"           // 28
                             "[End]\n";                            // 29

TEST_F(ContentChecks, BoardDescriptions) {
    WriteFile("base.ibs", kBaseIbs);
    RunFamily(kBaseEbd, "base.ebd",
              {
                  {"pin count", "[Number Of Pins] 4", "[Number Of Pins] 5", "E5081", 6},
                  {"pin count value", "[Number Of Pins] 4", "[Number Of Pins] four", "E5082", 6},
                  {"pin count too large", "[Number Of Pins] 4", "[Number Of Pins] 1e30", "E5082", 6},
                  {"pin columns", "A2 DATA1", "A2", "E5083", 9},
                  {"duplicate pin", "A2 DATA1", "A1 DATA1", "E5000", 9},
                  {"manufacturer missing", "[Manufacturer] maker\n", "", "E5080", 4},
                  {"pin list missing", "[Pin List] signal_name\nA1 DATA0\nA2 DATA1\nA3 POWER\nA4 GND\n", "", "E5080",
                   4},
                  {"path without Pin", "Pin A1\n", "", "E5084", 13},
                  {"path begins with Node", "Pin A1\nLen = 0.5 L=8.35n C=3.34p R=0.01 /\n", "", "E5084", 13},
                  {"path pin not listed", "Pin A1", "Pin A9", "E5085", 13},
                  {"pin with two paths", "Pin A2", "Pin A1", "E5086", 17},
                  {"second Pin in a path", "Node u1.1\n", "Node u1.1\nPin A3\n", "E5087", 16},
                  {"Fork without Endfork", "Endfork\n", "", "E5088", 19},
                  {"Endfork without Fork", "Fork\n", "", "E5088", 21},
                  {"segment without slash", "Len = 0.2 L=8n C=3p /", "Len = 0.2 L=8n C=3p", "E5089", 18},
                  {"L outside a segment", "Len = 0 L=1n /", "L=1n /", "E5090", 23},
                  {"segment value", "R=0.01", "R=x0.01", "E5091", 14},
                  {"negative length", "Len = 0.2", "Len = -0.2", "E5091", 18},
                  {"node form", "Node u2.2", "Node u2", "E5092", 24},
                  {"node pin", "Node u2.2", "Node u2.7", "E5099", 24},
                  {"unknown sub-parameter", "Endfork", "Endfrok", "E5093", 22},
                  {"unmapped reference designator", "u2 base.ibs chip\n", "", "E5094", 24},
                  {"map columns", "u2 base.ibs chip", "u2 base.ibs", "E5096", 27},
                  {"map file missing", "u2 base.ibs chip", "u2 other.ibs chip", "E5097", 27},
                  {"map component missing", "u2 base.ibs chip", "u2 base.ibs chop", "E5098", 27},
                  {"duplicate reference designator", "u2 base.ibs chip", "u1 base.ibs chip", "E5000", 27},
                  {"duplicate path", "[Path Description] data1", "[Path Description] data0", "E5000", 16},
                  {"end missing", "[End Board Description]\n", "", "E0912", 28},
              });
    // [Manufacturer] is the board's wherever it stands in the board description.
    const CheckerRun reordered =
        CheckNumbered("base.ebd", Applied(kBaseEbd, {"manufacturer later", "[Manufacturer] maker\n[Number Of Pins] 4\n",
                                                     "[Number Of Pins] 4\n[Manufacturer] maker\n", "", 0}));
    EXPECT_EQ(reordered.errors + reordered.warnings, 0u) << reordered.output;
    // A pin without a path is unconnected on the board, rails named as signals too.
    ExpectClean(kBaseEbd, "base.ebd", {{"rail pin without path", "A4 GND", "A4 VDD", "", 0},
                                       {"signal pin without path", "A4 GND", "A4 DATA3", "", 0}});
}

// The vendor files: every content finding is a fault of the file, listed in
// docs/ibislint.md with its line; the other files draw none.
TEST_F(ContentChecks, VendorFilesDrawOnlyTheirKnownFaults) {
    const std::filesystem::path corpus = VELKOR_CORPUS_DIR;
    if (!std::filesystem::is_directory(corpus)) GTEST_SKIP() << "no vendor corpus beside this checkout";
    const std::map<std::string, std::string> known = {
        {"ibis_v3_2.ibs",
         "E5004:65 E5011:70 E5011:70 E5011:71 E5011:71 E5011:72 E5011:72 E5011:72 E5011:72 E5011:73 E5011:73 "
         "E5011:73 E5011:73 E5027:90 E5027:93 E5027:94 E5027:96 E5027:97 E5027:99 E5027:101 E5027:102 E5027:103 "
         "E5027:104 E5027:105 E5021:108 E5015:113 E5015:116 E5015:118 E5015:120 E5015:122 E5027:178 "
         "E5027:189 E5027:221 E5027:232 E5027:329 E5027:330 E5027:331 E5027:332 E5027:333 E5027:334 E5027:335 "
         "E5027:336 E5027:337 E5043:338 E5043:338 E5043:338 E5047:349 E5044:350 E5044:351 E5044:352 "
         "E5044:378 E5047:388 E5044:389 E5044:390 E5044:391 E5002:44 E5002:45 E5002:46 E5002:47 E5005:66 E5005:67 "
         "E5005:113 E5005:114 E5005:115 E5005:116 E5005:117 E5005:118 E5005:119 E5005:120 E5005:121 E5005:122 "
         "E5006:108 E5006:109 E5006:110 W5007:49 "},
        {"ibis_v3_2.pkg", "E5067:32 E5067:32 "},
        {"max232.ibs", "W5031:484 W5031:663 "},
    };
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        const std::string name = entry.path().filename().string();
        if (FileKindOf(name) == 0 || FileKindOf(name) == kFileAmi) continue;
        const CheckerRun r = CaptureReports([&] {
            SetWordStyle(false);
            return CheckIbisFile(entry.path().c_str(), FileKindOf(name));
        });
        // The content findings, as "E5002:44 ".
        std::string found;
        for (std::size_t at = 0; (at = r.output.find(" (line ", at)) != std::string::npos; ++at) {
            if (at < 5) continue;
            const std::string number = r.output.substr(at - 5, 5);
            const bool content = (number[0] == 'E' || number[0] == 'W') && number[1] == '5' && number[2] <= '1';
            if (content) found += number + ":" + std::to_string(std::atoi(r.output.c_str() + at + 7)) + " ";
        }
        const auto expected = known.find(name);
        EXPECT_EQ(found, expected == known.end() ? "" : expected->second) << name;
    }
}

// Each rule of a table row on its own: the column count, where NA may stand,
// and the order of the first column.
TEST_F(ContentChecks, TableRows) {
    RunFamily(kBaseIbs, "base.ibs",
              {
                  {"five columns", "0 0 0 0\n3.3 10m 9m 11m", "0 0 0 0\n3.3 10m 9m 11m 12m", "E5044", 32},
                  {"repeated voltage", "0 0 0 0\n3.3 10m 9m 11m", "0 0 0 0\n0 10m 9m 11m", "E5048", 32},
                  {"falling after rising", "-3.3 -10m -9m -11m\n0 0 0 0\n3.3", "-3.3 -10m -9m -11m\n0 0 0 0\n-1",
                   "E5048", 32},
                  {"typical NA in the first row", "-3.3 -10m -9m -11m", "-3.3 NA -9m -11m", "E5045", 30},
                  {"typical NA in the last row", "0 0 0 0\n3.3 10m 9m 11m", "0 0 0 0\n3.3 NA 9m 11m", "E5045", 32},
                  {"NA voltage", "0 0 0 0\n3.3 10m", "NA 0 0 0\n3.3 10m", "E5045", 31},
                  {"waveform typical NA", "1n 1.5 1.4 1.6\n2n 3.0", "1n NA 1.4 1.6\n2n 3.0", "E5045", 48},
                  {"repeated time", "1n 1.5 1.4 1.6\n2n 3.0", "0 1.5 1.4 1.6\n2n 3.0", "E5046", 48},
              });
    ExpectClean(kBaseIbs, "base.ibs",
                {
                    {"minimum and maximum NA", "0 0 0 0\n3.3 10m 9m 11m", "0 0 0 0\n3.3 10m NA NA", "", 0},
                    {"typical NA inside the table", "0 0 0 0\n3.3 10m", "0 NA 0 0\n3.3 10m", "", 0},
                    {"voltages falling throughout", "-3.3 -10m -9m -11m\n0 0 0 0\n3.3 10m 9m 11m",
                     "3.3 10m 9m 11m\n0 0 0 0\n-3.3 -10m -9m -11m", "", 0},
                });
}
