#include "IbisParser/mdl.h"

#include <cstring>
#include <string>
#include <strings.h>

#include "IbisParser/cmn.h"
#include "IbisParser/frame.h"
#include "IbisParser/report.h"

namespace {

struct SubParameter {
    const char* name;
    int introduced;
};

// Rows that a later content check of [Model] can hang on.
const SubParameter kSubParameters[] = {
    {"Model_type", 11},      {"Polarity", 11},          {"Enable", 11},
    {"Vinl", 11},            {"Vinh", 11},              {"C_comp", 11},
    {"Vmeas", 20},           {"Cref", 20},              {"Rref", 20},
    {"Vref", 20},            {"Rref_diff", 30},         {"Cref_diff", 30},
    {"C_comp_pullup", 40},   {"C_comp_pulldown", 40},   {"C_comp_power_clamp", 40},
    {"C_comp_gnd_clamp", 40},
};

}  // namespace

void ModelSubParameterLine(const char* line) {
    const char* p = line;
    SkipBlanks(&p);
    const std::size_t n = std::strcspn(p, " \t=");
    const std::string name(p, n);
    for (const SubParameter& s : kSubParameters)
        if (strcasecmp(name.c_str(), s.name) == 0) {
            if (s.introduced > Frame().versionCode)
                ReportErrorAtLine(924, s.name, "Model", IbisVersionText(s.introduced),
                                  IbisVersionText(Frame().versionCode));
            return;
        }
}
