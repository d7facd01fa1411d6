#include "IbisParser/keywords/ramp.h"

#include <cstring>

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/casefold.h"
#include "IbisParser/text/lineitems.h"
#include "IbisParser/text/values.h"

namespace {

constexpr const char* kModule = "ramp.cpp";
// The line of the [Ramp] keyword read last.
std::uint32_t& LastRampLine() {
    struct Line {
        std::uint32_t line = 0;
    };
    return Context().Slot<Line>().line;
}

void ReadEdge(const char* line, const char* name, RampEdge** slot, const char* modelName) {
    if (*slot) {
        ReportErrorAtLine(MSG_RAMP_EDGE_TWICE, name, modelName);
        return;
    }
    RampEdge* edge = nullptr;
    if (!CheckAlloc(&edge, sizeof(RampEdge))) {
        ReportBug(MSG_RAMP_OUT_OF_MEMORY, kModule, __LINE__);
        return;
    }
    *slot = edge;
    edge->line = Reporting().currentLine;
    const char* p = line;
    SkipBlanks(&p);
    p += std::strlen(name);
    LineItems items{};
    if (!SplitLineItems(p, 3, 0, &items)) {
        ReportBugAtLine(MSG_RAMP_UNPARSABLE, name, kModule, __LINE__);
        return;
    }
    if (items.totalCount == 1) {
        ReportErrorAtLine(MSG_RAMP_NO_VALUE, "minimum", name);
        ReportErrorAtLine(MSG_RAMP_NO_VALUE, "maximum", name);
    } else if (items.totalCount == 2) {
        ReportErrorAtLine(MSG_RAMP_NO_VALUE, "maximum", name);
    } else if (items.totalCount != 3) {
        ReportErrorAtLine(MSG_RAMP_ITEM_COUNT, items.totalCount, name, 3);
    }
    static const char* const columns[] = {"Typical", "Minimum", "Maximum"};
    for (int c = 0; c < 3; ++c) {
        const int read = ReadRampRatio(ItemAt(items, c), &edge->dv[c], &edge->dt[c], &edge->kind[c], name, columns[c]);
        if (c == 0) {
            if (read != 1) continue;
            if (edge->kind[0] == 2) {
                ReportErrorAtLine(MSG_RAMP_TYPICAL_NA, name);
                continue;
            }
        } else if (edge->kind[c] == 2) {
            continue;
        }
        if (edge->dv[c] <= 0) ReportErrorAtLine(MSG_RAMP_NOT_POSITIVE, "dV");
        if (edge->dt[c] <= 0) ReportErrorAtLine(MSG_RAMP_NOT_POSITIVE, "dT");
    }
    FreeLineItems(&items);
}

void ReadLoad(const char* line, RampData* ramp, const char* modelName) {
    if (ramp->loadGiven) {
        ReportErrorAtLine(MSG_RAMP_EDGE_TWICE, "R_load", modelName);
        return;
    }
    LineItems items{};
    if (!SplitLineItems(line, 3, '=', &items)) {
        ReportBugAtLine(MSG_RAMP_UNPARSABLE, "R_load", kModule, __LINE__);
        return;
    }
    if (items.totalCount < 3) {
        ReportErrorAtLine(MSG_RAMP_INVALID_LINE, "R_load");  // nothing more to read on this line
        FreeLineItems(&items);
        return;
    }
    if (items.totalCount > 3) ReportErrorAtLine(MSG_RAMP_ITEM_COUNT, items.totalCount, "R_load", 3);
    if (std::strcmp(ItemAt(items, 1), "=") != 0) {
        ReportErrorAtLine(MSG_RAMP_INVALID_LINE, "R_load");
    } else {
        const char* text = ItemAt(items, 2);
        switch (ReadScaledNumber(text, &ramp->loadResistance)) {
            case 0: ReportErrorAtLine(MSG_RAMP_INVALID_VALUE, "R_load", text); break;
            case 2: ReportWarningAtLine(MSG_RAMP_NUMERIC_IN_SCALE, "Ramp", "R_load", text); [[fallthrough]];
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
        ReportBugAtLine(MSG_RAMP_UNPARSABLE, subParameter, kModule, __LINE__);
        return 0;
    }
    int result = 0;
    bool invalid = true;
    if (items.totalCount == 1 && SameIgnoringCase(ItemAt(items, 0), "NA")) {
        *kind = 2;
        result = 1;
        invalid = false;
    } else if (items.totalCount == 3 && std::strcmp(ItemAt(items, 1), "/") == 0) {
        const int a = ReadScaledNumber(ItemAt(items, 0), dv);
        const int b = a ? ReadScaledNumber(ItemAt(items, 2), dt) : 0;
        if (a == 2) ReportWarningAtLine(MSG_RAMP_NUMERIC_IN_SCALE, column, subParameter, ItemAt(items, 0));
        if (b == 2) ReportWarningAtLine(MSG_RAMP_NUMERIC_IN_SCALE, column, subParameter, ItemAt(items, 2));
        if (a && b) {
            CheckUpperCaseKilo(ItemAt(items, 0));
            CheckUpperCaseKilo(ItemAt(items, 2));
            *kind = 1;
            result = 1;
            invalid = false;
        }
    }
    if (invalid) ReportErrorAtLine(MSG_RAMP_INVALID_COLUMN_VALUE, subParameter, column, text);
    FreeLineItems(&items);
    return result;
}

int RampKeyword(const char* line, RampData** ramp, const char* /*modelName*/) {
    if (*ramp) {
        ReportErrorAtLine(MSG_RAMP_ALREADY_DEFINED);
        RampFree(ramp);
    }
    RampData* r = nullptr;
    if (!CheckAlloc(&r, sizeof(RampData))) {
        ReportBug(MSG_RAMP_OUT_OF_MEMORY, kModule, __LINE__);
        return 0;
    }
    *ramp = r;
    const char* p = std::strchr(line, ']');
    if (!p) {
        ReportBugAtLine(MSG_RAMP_UNREACHABLE, kModule, __LINE__);
        return 1;
    }
    ++p;
    LineItems items{};
    if (!SplitLineItems(p, 0, 0, &items)) {
        ReportBug(MSG_RAMP_UNPARSABLE, "Ramp", kModule, __LINE__);
    } else if (items.totalCount > 0) {
        ReportErrorAtLine(MSG_RAMP_ITEM_COUNT, items.totalCount + 1, "Ramp", 1);
    }
    FreeLineItems(&items);
    LastRampLine() = Reporting().currentLine;
    return 1;
}

void RampDataLine(const char* line, RampData* ramp, const char* modelName) {
    LineItems items{};
    if (!SplitLineItems(line, 1, '=', &items)) {
        ReportBugAtLine(MSG_RAMP_UNPARSABLE, "Ramp", kModule, __LINE__);
        return;
    }
    const char* name = ItemAt(items, 0);
    if (name && std::strcmp(name, "dV/dt_r") == 0) ReadEdge(line, "dV/dt_r", &ramp->rising, modelName);
    else if (name && std::strcmp(name, "dV/dt_f") == 0) ReadEdge(line, "dV/dt_f", &ramp->falling, modelName);
    else if (name && std::strcmp(name, "R_load") == 0) ReadLoad(line, ramp, modelName);
    else ReportErrorAtLine(MSG_RAMP_UNKNOWN_LINE);
    FreeLineItems(&items);
}

void RampEndCheck(const RampData* ramp) {
    if (!ramp) return;
    if (!ramp->rising) ReportError(MSG_RAMP_EDGE_MISSING, "dV/dt_r", static_cast<int>(LastRampLine()));
    if (!ramp->falling) ReportError(MSG_RAMP_EDGE_MISSING, "dV/dt_f", static_cast<int>(LastRampLine()));
}

void RampFree(RampData** ramp) {
    if (!ramp || !*ramp) return;
    if ((*ramp)->rising) CheckFree(&(*ramp)->rising);
    if ((*ramp)->falling) CheckFree(&(*ramp)->falling);
    CheckFree(ramp);
}

namespace {

// The [Ramp] of the model read last, kept until the next model starts.
struct RampCheck {
    RampData* ramp = nullptr;
    std::string model;
};

RampCheck& RampCheckState() { return Context().Slot<RampCheck>(); }

void RampCheckOpen(const GroupEvent& e) {
    if (e.group != kGroupModel && e.group != kGroupSubmodel) return;
    RampCheck& s = RampCheckState();
    RampFree(&s.ramp);
    s.model = e.name ? e.name : "";
}

void RampCheckLine(const KeywordLine& l) {
    const bool here = (l.code == KW_RAMP && l.group == kGroupModel) || (l.code == KW_SUB_RAMP && l.group == kGroupSubmodel);
    if (!here) return;
    RampCheck& s = RampCheckState();
    if (l.lineClass == kLineKeyword) RampKeyword(l.line, &s.ramp, s.model.c_str());
    else if (s.ramp) RampDataLine(l.line, s.ramp, s.model.c_str());
}

void RampCheckClose(const GroupEvent& e) {
    if (e.group != kGroupModel && e.group != kGroupSubmodel) return;
    if (const RampData* ramp = RampCheckState().ramp) RampEndCheck(ramp);
}

void RampCheckForget() { RampFree(&RampCheckState().ramp); }

constexpr std::int32_t kRampKeywords[] = {KW_RAMP, KW_SUB_RAMP};

}  // namespace

const RampData* ModelRamp() { return RampCheckState().ramp; }

const KeywordCheck kRampCheck{
    .name = "ramp",
    .keywords = kRampKeywords,
    .onFileStart = RampCheckForget,
    .onGroupOpen = RampCheckOpen,
    .onLine = RampCheckLine,
    .onGroupClose = RampCheckClose,
    .onFileEnd = RampCheckForget,
};
