#include "IbisParser/keywords/ramp.h"

#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/casefold.h"
#include "IbisParser/text/values.h"
#include "IbisParser/text/words.h"

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
    const std::vector<std::string_view> items = Items(p);
    if (items.size() == 1) {
        ReportErrorAtLine(MSG_RAMP_NO_VALUE, "minimum", name);
        ReportErrorAtLine(MSG_RAMP_NO_VALUE, "maximum", name);
    } else if (items.size() == 2) {
        ReportErrorAtLine(MSG_RAMP_NO_VALUE, "maximum", name);
    } else if (items.size() != 3) {
        ReportErrorAtLine(MSG_RAMP_ITEM_COUNT, static_cast<int>(items.size()), name, 3);
    }
    static const char* const columns[] = {"Typical", "Minimum", "Maximum"};
    for (std::size_t c = 0; c < 3; ++c) {
        const std::string item = c < items.size() ? std::string(items[c]) : std::string();
        const int read = ReadRampRatio(c < items.size() ? item.c_str() : nullptr, &edge->dv[c], &edge->dt[c],
                                       &edge->kind[c], name, columns[c]);
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
}

void ReadLoad(const char* line, RampData* ramp, const char* modelName) {
    if (ramp->loadGiven) {
        ReportErrorAtLine(MSG_RAMP_EDGE_TWICE, "R_load", modelName);
        return;
    }
    const std::vector<std::string_view> items = Items(line, '=');
    if (items.size() < 3) {
        ReportErrorAtLine(MSG_RAMP_INVALID_LINE, "R_load");  // nothing more to read on this line
        return;
    }
    if (items.size() > 3) ReportErrorAtLine(MSG_RAMP_ITEM_COUNT, static_cast<int>(items.size()), "R_load", 3);
    if (items[1] != "=") {
        ReportErrorAtLine(MSG_RAMP_INVALID_LINE, "R_load");
    } else {
        const std::string value(items[2]);
        const char* text = value.c_str();
        switch (ReadScaledNumber(text, &ramp->loadResistance)) {
            case 0: ReportErrorAtLine(MSG_RAMP_INVALID_VALUE, "R_load", text); break;
            case 2: ReportWarningAtLine(MSG_RAMP_NUMERIC_IN_SCALE, "Ramp", "R_load", text); [[fallthrough]];
            default:
                CheckUpperCaseKilo(text);
                ramp->loadGiven = 1;
        }
    }
}

}  // namespace

int ReadRampRatio(const char* text, double* dv, double* dt, std::int32_t* kind, const char* subParameter,
                  const char* column) {
    *kind = 0;
    if (!text) return 0;
    const std::vector<std::string_view> items = Items(text, '/');
    int result = 0;
    bool invalid = true;
    if (items.size() == 1 && SameIgnoringCase(items[0], "NA")) {
        *kind = 2;
        result = 1;
        invalid = false;
    } else if (items.size() == 3 && items[1] == "/") {
        const std::string dvText(items[0]), dtText(items[2]);
        const int a = ReadScaledNumber(dvText.c_str(), dv);
        const int b = a ? ReadScaledNumber(dtText.c_str(), dt) : 0;
        if (a == 2) ReportWarningAtLine(MSG_RAMP_NUMERIC_IN_SCALE, column, subParameter, dvText.c_str());
        if (b == 2) ReportWarningAtLine(MSG_RAMP_NUMERIC_IN_SCALE, column, subParameter, dtText.c_str());
        if (a && b) {
            CheckUpperCaseKilo(dvText.c_str());
            CheckUpperCaseKilo(dtText.c_str());
            *kind = 1;
            result = 1;
            invalid = false;
        }
    }
    if (invalid) ReportErrorAtLine(MSG_RAMP_INVALID_COLUMN_VALUE, subParameter, column, text);
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
    if (const std::size_t extra = Items(p).size()) ReportErrorAtLine(MSG_RAMP_ITEM_COUNT, static_cast<int>(extra) + 1, "Ramp", 1);
    LastRampLine() = Reporting().currentLine;
    return 1;
}

void RampDataLine(const char* line, RampData* ramp, const char* modelName) {
    const std::vector<std::string_view> items = Items(line, '=');
    const std::string_view name = items.empty() ? std::string_view() : items[0];
    if (name == "dV/dt_r") ReadEdge(line, "dV/dt_r", &ramp->rising, modelName);
    else if (name == "dV/dt_f") ReadEdge(line, "dV/dt_f", &ramp->falling, modelName);
    else if (name == "R_load") ReadLoad(line, ramp, modelName);
    else ReportErrorAtLine(MSG_RAMP_UNKNOWN_LINE);
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
