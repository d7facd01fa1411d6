#include "IbisParser/ramp.h"

#include <cstring>
#include <strings.h>

#include "IbisParser/cmn.h"
#include "IbisParser/lineitems.h"
#include "IbisParser/report.h"
#include "IbisParser/values.h"

namespace {

constexpr const char* kModule = "ramp.cpp";
std::uint32_t lastRampLine = 0;

void ReadEdge(const char* line, const char* name, RampEdge** slot, const char* modelName) {
    if (*slot) {
        ReportErrorAtLine(1307, name, modelName);
        return;
    }
    RampEdge* edge = nullptr;
    if (!CheckAlloc(&edge, sizeof(RampEdge))) {
        ReportBug(1301, kModule, __LINE__);
        return;
    }
    *slot = edge;
    edge->line = Reporting().currentLine;
    const char* p = line;
    SkipBlanks(&p);
    p += std::strlen(name);
    LineItems items{};
    if (!SplitLineItems(p, 3, 0, &items)) {
        ReportBugAtLine(1303, name, kModule, __LINE__);
        return;
    }
    if (items.totalCount == 1) {
        ReportErrorAtLine(1308, "minimum", name);
        ReportErrorAtLine(1308, "maximum", name);
    } else if (items.totalCount == 2) {
        ReportErrorAtLine(1308, "maximum", name);
    } else if (items.totalCount != 3) {
        ReportErrorAtLine(1304, items.totalCount, name, 3);
    }
    static const char* const columns[] = {"Typical", "Minimum", "Maximum"};
    for (int c = 0; c < 3; ++c) {
        const int read = ReadRampRatio(ItemAt(items, c), &edge->dv[c], &edge->dt[c], &edge->kind[c], name, columns[c]);
        if (c == 0) {
            if (read != 1) continue;
            if (edge->kind[0] == 2) {
                ReportErrorAtLine(1309, name);
                continue;
            }
        } else if (edge->kind[c] == 2) {
            continue;
        }
        if (edge->dv[c] <= 0) ReportErrorAtLine(1310, "dV");
        if (edge->dt[c] <= 0) ReportErrorAtLine(1310, "dT");
    }
    FreeLineItems(&items);
}

void ReadLoad(const char* line, RampData* ramp, const char* modelName) {
    if (ramp->loadGiven) {
        ReportErrorAtLine(1307, "R_load", modelName);
        return;
    }
    LineItems items{};
    if (!SplitLineItems(line, 3, '=', &items)) {
        ReportBugAtLine(1303, "R_load", kModule, __LINE__);
        return;
    }
    if (items.totalCount < 3) {
        ReportErrorAtLine(1313, "R_load");  // nothing more to read on this line
        FreeLineItems(&items);
        return;
    }
    if (items.totalCount > 3) ReportErrorAtLine(1304, items.totalCount, "R_load", 3);
    if (std::strcmp(ItemAt(items, 1), "=") != 0) {
        ReportErrorAtLine(1313, "R_load");
    } else {
        const char* text = ItemAt(items, 2);
        switch (ReadScaledNumber(text, &ramp->loadResistance)) {
            case 0: ReportErrorAtLine(1314, "R_load", text); break;
            case 2: ReportWarningAtLine(1311, "Ramp", "R_load", text); [[fallthrough]];
            default:
                CheckUpperCaseKilo(text);
                ramp->loadGiven = 1;
        }
    }
    FreeLineItems(&items);
}

}  // namespace

int ReadRampRatio(const char* text, double* dv, double* dt, std::int32_t* kind, const char* subParameter,
                  const char* column) {
    *kind = 0;
    if (!text) return 0;
    LineItems items{};
    if (!SplitLineItems(text, 3, '/', &items)) {
        ReportBugAtLine(1303, subParameter, kModule, __LINE__);
        return 0;
    }
    int result = 0;
    bool invalid = true;
    if (items.totalCount == 1 && strcasecmp(ItemAt(items, 0), "NA") == 0) {
        *kind = 2;
        result = 1;
        invalid = false;
    } else if (items.totalCount == 3 && std::strcmp(ItemAt(items, 1), "/") == 0) {
        const int a = ReadScaledNumber(ItemAt(items, 0), dv);
        const int b = a ? ReadScaledNumber(ItemAt(items, 2), dt) : 0;
        if (a == 2) ReportWarningAtLine(1311, column, subParameter, ItemAt(items, 0));
        if (b == 2) ReportWarningAtLine(1311, column, subParameter, ItemAt(items, 2));
        if (a && b) {
            CheckUpperCaseKilo(ItemAt(items, 0));
            CheckUpperCaseKilo(ItemAt(items, 2));
            *kind = 1;
            result = 1;
            invalid = false;
        }
    }
    if (invalid) ReportErrorAtLine(1312, subParameter, column, text);
    FreeLineItems(&items);
    return result;
}

int RampKeyword(const char* line, RampData** ramp, const char* /*modelName*/) {
    if (*ramp) {
        ReportErrorAtLine(1300);
        RampFree(ramp);
    }
    RampData* r = nullptr;
    if (!CheckAlloc(&r, sizeof(RampData))) {
        ReportBug(1301, kModule, __LINE__);
        return 0;
    }
    *ramp = r;
    const char* p = std::strchr(line, ']');
    if (!p) {
        ReportBugAtLine(1302, kModule, __LINE__);
        return 1;
    }
    ++p;
    LineItems items{};
    if (!SplitLineItems(p, 0, 0, &items)) {
        ReportBug(1303, "Ramp", kModule, __LINE__);
    } else if (items.totalCount > 0) {
        ReportErrorAtLine(1304, items.totalCount + 1, "Ramp", 1);
    }
    FreeLineItems(&items);
    lastRampLine = Reporting().currentLine;
    return 1;
}

void RampDataLine(const char* line, RampData* ramp, const char* modelName) {
    LineItems items{};
    if (!SplitLineItems(line, 1, '=', &items)) {
        ReportBugAtLine(1303, "Ramp", kModule, __LINE__);
        return;
    }
    const char* name = ItemAt(items, 0);
    if (name && std::strcmp(name, "dV/dt_r") == 0) ReadEdge(line, "dV/dt_r", &ramp->rising, modelName);
    else if (name && std::strcmp(name, "dV/dt_f") == 0) ReadEdge(line, "dV/dt_f", &ramp->falling, modelName);
    else if (name && std::strcmp(name, "R_load") == 0) ReadLoad(line, ramp, modelName);
    else ReportErrorAtLine(1305);
    FreeLineItems(&items);
}

void RampEndCheck(const RampData* ramp) {
    if (!ramp) return;
    if (!ramp->rising) ReportError(1306, "dV/dt_r", static_cast<int>(lastRampLine));
    if (!ramp->falling) ReportError(1306, "dV/dt_f", static_cast<int>(lastRampLine));
}

void RampFree(RampData** ramp) {
    if (!ramp || !*ramp) return;
    if ((*ramp)->rising) CheckFree(&(*ramp)->rising);
    if ((*ramp)->falling) CheckFree(&(*ramp)->falling);
    CheckFree(ramp);
}
