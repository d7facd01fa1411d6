#include "IbisParser/content/mdl.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "IbisParser/content/xref.h"
#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/keywords.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/reportat.h"
#include "IbisParser/text/casefold.h"
#include "IbisParser/text/columns.h"
#include "IbisParser/text/values.h"
#include "IbisParser/text/words.h"

namespace {

enum SubId { kModelType, kPolarity, kEnable, kVinl, kVinh, kCComp, kSingle, kCCompPart };

struct SubParameter {
    const char* name;
    int introduced;
    SubId id;
};

const SubParameter kSubParameters[] = {
    {"Model_type", 11, kModelType},        {"Polarity", 11, kPolarity},           {"Enable", 11, kEnable},
    {"Vinl", 11, kVinl},                   {"Vinh", 11, kVinh},                   {"C_comp", 11, kCComp},
    {"Vmeas", 20, kSingle},                {"Cref", 20, kSingle},                 {"Rref", 20, kSingle},
    {"Vref", 20, kSingle},                 {"Rref_diff", 30, kSingle},            {"Cref_diff", 30, kSingle},
    {"C_comp_pullup", 40, kCCompPart},     {"C_comp_pulldown", 40, kCCompPart},
    {"C_comp_power_clamp", 40, kCCompPart}, {"C_comp_gnd_clamp", 40, kCCompPart},
};

// What a Model_type asks of its model.
enum : unsigned { kDrives = 1u, kReceives = 2u, kNoSupply = 4u };

struct ModelType {
    const char* name;
    unsigned needs;
};

const ModelType kModelTypes[] = {
    {"Input", kReceives},         {"Output", kDrives},           {"I/O", kDrives | kReceives},
    {"3-state", kDrives},         {"Open_drain", kDrives},       {"I/O_open_drain", kDrives | kReceives},
    {"Open_sink", kDrives},       {"I/O_open_sink", kDrives | kReceives},
    {"Open_source", kDrives},     {"I/O_open_source", kDrives | kReceives},
    {"Input_ECL", kReceives},     {"Output_ECL", kDrives},       {"I/O_ECL", kDrives | kReceives},
    {"3-state_ECL", kDrives},     {"Terminator", 0},             {"Series", kNoSupply},
    {"Series_switch", kNoSupply}, {"Input_diff", 0},             {"Output_diff", kDrives},
    {"I/O_diff", kDrives},        {"3-state_diff", kDrives},
};

struct ModelState {
    bool open = false;
    std::string name;
    std::uint32_t line = 0;
    const ModelType* type = nullptr;
    bool typeGiven = false;
    bool vinl = false, vinh = false, cComp = false;
    bool pulldown = false, pullup = false, ramp = false, voltageRange = false, reference = false;
    bool thresholds = false, external = false, schedule = false;
    bool specVinl = false, specVinh = false;  // [Model Spec] gives Vinl and Vinh (or their +/- forms)
    unsigned subParametersSeen = 0;           // one bit per row of kSubParameters
    std::vector<std::int32_t> keywordsSeen;   // the keywords a model gives once
    // Typical values of [Voltage Range], [Pullup Reference], [Pulldown Reference].
    double range = 0, pullupRef = 0, pulldownRef = 0;
    bool rangeRead = false, pullupRead = false;
};

ModelState& State() {
    return Context().Slot<ModelState>();
}

const ModelType* FindModelType(std::string_view text) {
    for (const ModelType& t : kModelTypes)
        if (SameIgnoringCase(text, t.name)) return &t;
    return nullptr;
}

// The value after a sub-parameter name, with or without an equals sign.
std::string ValueAfterName(const char* p, std::size_t nameLength) {
    p += nameLength;
    SkipBlanks(&p);
    if (*p == '=') ++p;
    SkipBlanks(&p);
    return p;
}

void CheckEnumeration(SubId id, const std::string& value) {
    const std::vector<std::string_view> w = Words(value.c_str());
    const std::string_view first = w.empty() ? std::string_view() : w[0];
    switch (id) {
        case kModelType:
            State().typeGiven = true;
            State().type = FindModelType(first);
            if (!State().type) ReportErrorAtLine(MSG_MODEL_UNKNOWN_TYPE, std::string(first).c_str());
            else XrefModelType(State().name, State().type->name);
            break;
        case kPolarity:
            if (!SameIgnoringCase(first, "Inverting") && !SameIgnoringCase(first, "Non-Inverting"))
                ReportErrorAtLine(MSG_MODEL_BAD_ENUM, "Polarity", std::string(first).c_str(),
                                  "Inverting or Non-Inverting");
            break;
        case kEnable:
            if (!SameIgnoringCase(first, "Active-High") && !SameIgnoringCase(first, "Active-Low"))
                ReportErrorAtLine(MSG_MODEL_BAD_ENUM, "Enable", std::string(first).c_str(),
                                  "Active-High or Active-Low");
            break;
        default: break;
    }
}

void CheckSingleValue(const char* name, const std::string& value) {
    const std::vector<std::string_view> w = Words(value.c_str());
    double number = 0;
    if (w.size() != 1 || !ReadColumnNumber(w[0], name, "Model", &number))
        ReportErrorAtLine(MSG_MODEL_BAD_VALUE, name, value.c_str());
}


const char* AfterBracket(const char* line) {
    const char* rest = std::strchr(line, ']');
    return rest ? rest + 1 : line + std::strlen(line);
}

// The typical column of a keyword line, when it is a number.
bool TypicalOf(const char* line, double* value) {
    const std::vector<std::string_view> w = Words(AfterBracket(line));
    return !w.empty() && ReadNumber(w[0], value);
}

void Require(bool present, const char* what) {
    const ModelState& s = State();
    if (!present) ReportErrorAt(s.line, MSG_MODEL_REQUIRES, s.name.c_str(), s.type->name, what);
}

// Model keywords whose values stand on the keyword line as typical, minimum and
// maximum columns; the ranges also keep the typical value between the others.
void CheckColumnsOf(std::int32_t code, const char* line) {
    static const std::int32_t kOnKeywordLine[] = {
        KW_VOLTAGE_RANGE, KW_TEMPERATURE_RANGE, KW_PULLUP_REFERENCE, KW_PULLDOWN_REFERENCE,
        KW_POWER_CLAMP_REFERENCE, KW_GND_CLAMP_REFERENCE, KW_RGND, KW_RPOWER, KW_RAC, KW_CAC, KW_TTGND,
        KW_TTPOWER, KW_R_SERIES, KW_L_SERIES, KW_RL_SERIES, KW_C_SERIES, KW_LC_SERIES, KW_RC_SERIES};
    bool listed = false;
    for (std::int32_t c : kOnKeywordLine) listed = listed || c == code;
    const KeywordInfo* info = KeywordInfoOf(code);
    if (!listed || !info) return;
    const char* rest = AfterBracket(line);
    // The minimum column of [Temperature Range] is the slow corner's, often the hotter one.
    if (code == KW_VOLTAGE_RANGE || code == KW_TEMPERATURE_RANGE)
        CheckColumnsInOrder(info->display, rest, code == KW_VOLTAGE_RANGE);
    else
        CheckColumns(info->display, rest);
}

}  // namespace

void ModelStart(const char* name) {
    ModelState& s = State();
    s = ModelState{};
    s.open = true;
    s.name = name ? name : "";
    s.line = CurrentLine();
}

void ModelSubParameterLine(const char* line) {
    const char* p = line;
    SkipBlanks(&p);
    const std::size_t n = std::strcspn(p, " \t=");
    const std::string name(p, n);
    for (const SubParameter& s : kSubParameters) {
        if (!SameIgnoringCase(name, s.name)) continue;
        const unsigned bit = 1u << (&s - kSubParameters);
        if (State().subParametersSeen & bit) ReportErrorAtLine(MSG_MODEL_GIVEN_TWICE, s.name, State().name.c_str());
        State().subParametersSeen |= bit;
        if (s.introduced > Frame().versionCode)
            ReportErrorAtLine(MSG_SUB_PARAMETER_TOO_NEW, s.name, "Model", IbisVersionText(s.introduced),
                              IbisVersionText(Frame().versionCode));
        const std::string value = ValueAfterName(p, n);
        switch (s.id) {
            case kModelType:
            case kPolarity:
            case kEnable: CheckEnumeration(s.id, value); break;
            case kVinl:
                State().vinl = true;
                CheckSingleValue(s.name, value);
                break;
            case kVinh:
                State().vinh = true;
                CheckSingleValue(s.name, value);
                break;
            case kSingle: CheckSingleValue(s.name, value); break;
            case kCComp:
            case kCCompPart:
                State().cComp = true;
                CheckColumnsInOrder(s.name, value.c_str(), true);
                break;
        }
        return;
    }
    ReportWarningAtLine(MSG_MODEL_UNKNOWN_SUB, name.c_str());
}

void ModelKeywordSeen(std::int32_t code, const char* line) {
    ModelState& s = State();
    if (!s.open) return;
    static const std::int32_t kOnce[] = {KW_VOLTAGE_RANGE,         KW_TEMPERATURE_RANGE,   KW_PULLUP_REFERENCE,
                                         KW_PULLDOWN_REFERENCE,    KW_POWER_CLAMP_REFERENCE, KW_GND_CLAMP_REFERENCE,
                                         KW_RGND, KW_RPOWER, KW_RAC, KW_CAC, KW_TTGND, KW_TTPOWER, KW_MODEL_SPEC,
                                         KW_RECEIVER_THRESHOLDS, KW_DRIVER_SCHEDULE, KW_C_COMP_CORNER,
                                         KW_INITIAL_DELAY};
    if (std::find(std::begin(kOnce), std::end(kOnce), code) != std::end(kOnce)) {
        if (std::find(s.keywordsSeen.begin(), s.keywordsSeen.end(), code) == s.keywordsSeen.end()) {
            s.keywordsSeen.push_back(code);
        } else {
            const std::string keyword = std::string("[") + KeywordInfoOf(code)->display + "]";
            ReportErrorAtLine(MSG_MODEL_GIVEN_TWICE, keyword.c_str(), s.name.c_str());
        }
    }
    if (code == KW_VOLTAGE_RANGE) s.rangeRead = TypicalOf(line, &s.range);
    if (code == KW_PULLUP_REFERENCE) s.pullupRead = TypicalOf(line, &s.pullupRef);
    if (code == KW_PULLDOWN_REFERENCE) TypicalOf(line, &s.pulldownRef);
    switch (code) {
        case KW_PULLDOWN: s.pulldown = true; break;
        case KW_PULLUP: s.pullup = true; break;
        case KW_RAMP: s.ramp = true; break;
        case KW_RECEIVER_THRESHOLDS: s.thresholds = true; break;
        case KW_EXTERNAL_MODEL: s.external = true; break;
        case KW_DRIVER_SCHEDULE: s.schedule = true; break;
        case KW_PULLUP_REFERENCE:
        case KW_PULLDOWN_REFERENCE:
        case KW_POWER_CLAMP_REFERENCE:
        case KW_GND_CLAMP_REFERENCE:
        case KW_EXTERNAL_REFERENCE: s.reference = true; break;
        case KW_VOLTAGE_RANGE: s.voltageRange = true; break;
        case KW_C_COMP_CORNER: s.cComp = true; break;  // gives C_comp (or its split) per corner
        default: break;
    }
    CheckColumnsOf(code, line);
}

void ModelEndCheck() {
    ModelState& s = State();
    if (!s.open) return;
    s.open = false;
    if (!s.typeGiven) {
        ReportErrorAt(s.line, MSG_MODEL_TYPE_REQUIRED, s.name.c_str());
        return;
    }
    // An unknown type was reported where it stands; an external model brings its own circuit.
    if (!s.type || s.external) return;
    const unsigned needs = s.type->needs;
    // A [Driver Schedule] model drives through the models it schedules.
    if ((needs & kDrives) && !s.schedule) {
        Require(s.pulldown || s.pullup, "[Pulldown] or [Pullup]");
        Require(s.ramp, "[Ramp]");
    }
    const bool thresholds = (s.vinl && s.vinh) || (s.specVinl && s.specVinh) || s.thresholds;
    // Without thresholds a simulator assumes 0.8 V and 2.0 V, as the standard says: a warning.
    if ((needs & kReceives) && !thresholds)
        ReportWarningAt(s.line, MSG_MODEL_THRESHOLDS_ASSUMED, s.name.c_str(), s.type->name);
    if (!(needs & kNoSupply)) {
        Require(s.cComp, "C_comp");
        Require(s.voltageRange || s.reference, "[Voltage Range] or the reference keywords");
    }
}

void ModelSpecLine(const char* line) {
    ModelState& s = State();
    const std::vector<std::string_view> w = Words(line);
    if (!s.open || w.empty()) return;
    // Vinh, or its hysteresis forms Vinh+ and Vinh-.
    const auto names = [&](const char* threshold) {
        return SameIgnoringCase(w[0].substr(0, 4), threshold) &&
               (w[0].size() == 4 || (w[0].size() == 5 && (w[0][4] == '+' || w[0][4] == '-')));
    };
    s.specVinl = s.specVinl || names("Vinl");
    s.specVinh = s.specVinh || names("Vinh");
}

ModelSupplies CurrentModelSupplies() {
    const ModelState& s = State();
    ModelSupplies m{s.type ? s.type->name : nullptr, s.pullupRead || s.rangeRead, 0, s.pulldownRef};
    m.vcc = s.pullupRead ? s.pullupRef : s.range;
    return m;
}

namespace {

void ModelCheckOpen(const GroupEvent& e) {
    if (e.group == kGroupModel) ModelStart(e.name);
}

void ModelCheckKeyword(const KeywordLine& l) {
    const KeywordInfo* row = KeywordInfoOf(l.code);
    if (l.group == kGroupModel && row && row->group == kGroupModel) ModelKeywordSeen(l.code, l.line);
}

void ModelCheckLine(const KeywordLine& l) {
    if (l.lineClass == kLineKeyword) return;
    if (l.code == KW_MODEL) {
        if (l.group == kGroupModel) ModelSubParameterLine(l.line);
        return;
    }
    if (l.group != kGroupModel && l.group != kGroupSubmodel) return;
    const bool model = l.code == KW_MODEL_SPEC;
    CheckSubParameterColumns(model ? "Model Spec" : "Submodel Spec", l.line, false);
    if (model) ModelSpecLine(l.line);
}

void ModelCheckClose(const GroupEvent& e) {
    if (e.group == kGroupModel || e.group == kGroupSubmodel) ModelEndCheck();
}

constexpr std::int32_t kModelKeywords[] = {KW_MODEL, KW_MODEL_SPEC, KW_SUBMODEL_SPEC};

}  // namespace

const KeywordCheck kModelCheck{
    .name = "model",
    .keywords = kModelKeywords,
    .onGroupOpen = ModelCheckOpen,
    .onKeyword = ModelCheckKeyword,
    .onLine = ModelCheckLine,
    .onGroupClose = ModelCheckClose,
};
