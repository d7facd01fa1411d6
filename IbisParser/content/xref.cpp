#include "IbisParser/content/xref.h"

#include <algorithm>
#include <initializer_list>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <utility>
#include <vector>

#include "IbisParser/engine/context.h"
#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/namedfile.h"
#include "IbisParser/engine/reportat.h"
#include "IbisParser/text/values.h"
#include "IbisParser/text/words.h"

namespace {

struct Reference {
    std::string name;    // what is referenced
    std::string holder;  // the keyword (or pin) that references it
    std::uint32_t line;
};

struct XrefState {
    // File-wide names, with the line that defined them.
    std::unordered_map<std::string, std::uint32_t> components, models, selectors, submodels, packageModels;
    std::unordered_map<std::string, std::string> lowerModels;  // lower-case name -> name as written
    std::vector<Reference> pinModels, modelRefs, submodelRefs, packageRefs, seriesRefs;
    std::unordered_map<std::string, std::string> modelTypes;  // model -> its Model_type
    // The open component's pins, and the rows that name them.
    std::unordered_map<std::string, std::uint32_t> pins;
    std::vector<Reference> pinRefs;
    // The pins that [Pin Mapping] and [Diff Pin] list (each once).
    std::unordered_map<std::string, std::uint32_t> mappedPins, diffPins;
    bool pinMapping = false;
    std::string packageModel;  // the open component's [Package Model]
    // Components that name a [Package Model], with their pins; the pins of the
    // package models this file defines, with the lines that list them.
    struct Packaged {
        std::string component, packageModel;
        std::unordered_set<std::string> pins;
    };
    std::vector<Packaged> packaged;
    std::unordered_map<std::string, std::vector<std::pair<std::string, std::uint32_t>>> packagePins;
    // The function_table_groups of [Series Pin Mapping], the groups that
    // [Series Switch Groups] names, and the line of a switch group not yet ended by '/'.
    std::unordered_map<std::string, std::uint32_t> switchGroups;
    std::vector<Reference> switchRefs;
    std::uint32_t switchOpen = 0;
    std::string selector;  // the open [Model Selector]
};

XrefState& State() {
    return Context().Slot<XrefState>();
}

// Records a name; a second definition of it is reported with the first one's line.
void Define(std::unordered_map<std::string, std::uint32_t>& names, std::string_view name, const char* kind) {
    if (name.empty()) return;
    const auto [at, added] = names.emplace(std::string(name), CurrentLine());
    if (!added) ReportErrorAtLine(MSG_XREF_DUPLICATE_NAME, kind, at->first.c_str(), static_cast<int>(at->second));
}

bool IsReservedModel(std::string_view name) {
    for (const char* r : {"POWER", "GND", "NC", "NA"})
        if (SameIgnoringCase(name, r)) return true;
    return false;
}

// Whether the package model file <name>.pkg beside the checked file defines the
// name: 1 yes, 0 no, -1 there is no such file, -2 it may not be read (reported).
int PackageFileDefines(const std::string& name, const char* holder) {
    const NamedFile& file = ReadNamedFile(name + ".pkg", "[Define Package Model]");
    if (ReportNamedFileProblem(file.problem, name + ".pkg", file.path, holder, kNamedFileSizeLimit)) return -2;
    if (file.problem != NamedFileProblem::kNone) return -1;
    for (const NamedEntry& defined : file.entries) {
        const std::vector<std::string_view> w = Words(defined.name.c_str());
        if (!w.empty() && w[0] == name) return 1;
    }
    return 0;
}

// Columns that must each be a number or NA.
void NumbersOrNA(const std::vector<std::string_view>& w, std::size_t first, const char* const* columns,
                 const char* keyword) {
    for (std::size_t i = first; i < w.size(); ++i) {
        const ColumnRead c = ReadColumn(w[i]);
        ReportLeniency(c, columns[i - first], keyword);
        if (c.kind == ColumnKind::kNotNumber)
            ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, std::string(c.text).c_str(), columns[i - first], keyword);
    }
}

// pin signal_name model_name [R_pin L_pin C_pin]
void PinLine(const std::vector<std::string_view>& w) {
    XrefState& s = State();
    if (w.size() < 3) {
        ReportErrorAtLine(MSG_XREF_PIN_COLUMNS, static_cast<int>(w.size()));
        if (w.empty()) return;
    } else if (w.size() != 3) {
        static const char* const kColumns[] = {"R_pin", "L_pin", "C_pin"};
        if (w.size() == 6) NumbersOrNA(w, 3, kColumns, "Pin");
        else ReportErrorAtLine(MSG_XREF_PIN_RLC_COLUMNS, std::string(w[0]).c_str(), static_cast<int>(w.size()) - 3);
    }
    Define(s.pins, w[0], "pin");
    if (w.size() >= 3) s.pinModels.push_back({std::string(w[2]), "[Pin] " + std::string(w[0]), CurrentLine()});
}

void PinRefs(const char* keyword, const std::vector<std::string_view>& w, std::size_t count) {
    for (std::size_t i = 0; i < count && i < w.size(); ++i) {
        if (SameIgnoringCase(w[i], "NC") || SameIgnoringCase(w[i], "NA")) continue;
        State().pinRefs.push_back({std::string(w[i]), keyword, CurrentLine()});
    }
}

// "On 1 2 /": a state, function_table_group names and a slash; a group may
// run on over several lines.
void SwitchGroupsLine(const std::vector<std::string_view>& w) {
    XrefState& s = State();
    for (std::string_view word : w) {
        const bool ends = !word.empty() && word.back() == '/';
        if (ends) word.remove_suffix(1);
        if (!word.empty()) {
            if (!s.switchOpen) {
                if (!SameIgnoringCase(word, "On") && !SameIgnoringCase(word, "Off"))
                    ReportErrorAtLine(MSG_XREF_SWITCH_STATE, std::string(word).c_str());
                s.switchOpen = CurrentLine();
            } else {
                s.switchRefs.push_back({std::string(word), "Series Switch Groups", CurrentLine()});
            }
        }
        if (ends) s.switchOpen = 0;
    }
}

// pin inv_pin vdiff tdelay_typ tdelay_min tdelay_max: values are numbers or NA;
// a pin belongs to one pair, and not to its own.
void DiffPinValues(const std::vector<std::string_view>& w) {
    XrefState& s = State();
    if (w.size() >= 2 && w[0] == w[1]) {
        ReportErrorAtLine(MSG_XREF_DIFF_SELF, std::string(w[0]).c_str());
    } else {
        for (std::size_t i = 0; i < 2 && i < w.size(); ++i) Define(s.diffPins, w[i], "[Diff Pin] pin");
    }
    if (w.size() != 6) {
        ReportErrorAtLine(MSG_XREF_DIFF_COLUMNS, static_cast<int>(w.size()));
        return;
    }
    static const char* const kColumns[] = {"vdiff", "tdelay_typ", "tdelay_min", "tdelay_max"};
    NumbersOrNA(w, 2, kColumns, "Diff Pin");
}

// model_name Rise_on_dly Rise_off_dly Fall_on_dly Fall_off_dly: delays are numbers or NA.
void DriverScheduleLine(const std::vector<std::string_view>& w) {
    State().modelRefs.push_back({std::string(w[0]), "[Driver Schedule]", CurrentLine()});
    if (w.size() != 5) {
        ReportErrorAtLine(MSG_XREF_SCHEDULE_COLUMNS, static_cast<int>(w.size()));
        return;
    }
    static const char* const kColumns[] = {"Rise_on_dly", "Rise_off_dly", "Fall_on_dly", "Fall_off_dly"};
    NumbersOrNA(w, 1, kColumns, "Driver Schedule");
}

// A line of an enumerated value: the word must be one of `allowed`.
void CheckChoice(const char* what, std::string_view word, std::initializer_list<const char*> allowed,
                 const char* expected) {
    for (const char* a : allowed)
        if (SameIgnoringCase(word, a)) return;
    ReportErrorAtLine(MSG_MODEL_BAD_ENUM, what, std::string(word).c_str(), expected);
}

void DataLine(std::int32_t code, const char* line) {
    XrefState& s = State();
    const std::vector<std::string_view> w = Words(line);
    if (w.empty()) return;
    switch (code) {
        case KW_PIN: PinLine(w); break;
        case KW_PIN_MAPPING:
            PinRefs("Pin Mapping", w, 1);
            Define(s.mappedPins, w[0], "[Pin Mapping] pin");
            break;
        case KW_DIFF_PIN:
            PinRefs("Diff Pin", w, 2);
            DiffPinValues(w);
            break;
        case KW_SERIES_PIN_MAPPING:
            PinRefs("Series Pin Mapping", w, 2);
            if (w.size() >= 3) {
                s.modelRefs.push_back({std::string(w[2]), "[Series Pin Mapping]", CurrentLine()});
                s.seriesRefs.push_back(s.modelRefs.back());
            }
            if (w.size() >= 4) s.switchGroups.emplace(std::string(w[3]), CurrentLine());
            break;
        case KW_SERIES_SWITCH_GROUPS: SwitchGroupsLine(w); break;
        case KW_MODEL_SELECTOR: s.modelRefs.push_back({std::string(w[0]), "[Model Selector]", CurrentLine()}); break;
        case KW_DRIVER_SCHEDULE: DriverScheduleLine(w); break;
        case KW_ADD_SUBMODEL:
            s.submodelRefs.push_back({std::string(w[0]), "Add Submodel", CurrentLine()});
            CheckChoice("[Add Submodel] mode", w.size() > 1 ? w[1] : std::string_view(), {"Driving", "Non-Driving", "All"},
                        "Driving, Non-Driving or All");
            break;
        case KW_SUBMODEL:
            if (SameIgnoringCase(w[0], "Submodel_type"))
                CheckChoice("Submodel_type", w.size() > 1 ? w[1] : std::string_view(),
                            {"Dynamic_clamp", "Bus_hold", "Fall_back"}, "Dynamic_clamp, Bus_hold or Fall_back");
            break;
        case KW_ALTERNATE_PACKAGE_MODELS:
            s.packageRefs.push_back({std::string(w[0]), "Alternate Package Models", CurrentLine()});
            break;
        default: break;
    }
}

void KeywordLineOf(std::int32_t code, const char* line) {
    XrefState& s = State();
    const std::string_view name = AfterKeyword(line);
    switch (code) {
        case KW_MODEL:
            Define(s.models, name, "Model");
            s.lowerModels.emplace(Lower(name), std::string(name));
            break;
        case KW_MODEL_SELECTOR: Define(s.selectors, name, "Model Selector"); break;
        case KW_PIN_MAPPING: s.pinMapping = true; break;
        case KW_SUBMODEL: Define(s.submodels, name, "Submodel"); break;
        case KW_DEFINE_PACKAGE_MODEL: Define(s.packageModels, name, "Define Package Model"); break;
        case KW_PACKAGE_MODEL:
            if (!name.empty()) s.packageRefs.push_back({std::string(name), "Package Model", CurrentLine()});
            s.packageModel = std::string(name);
            break;
        default: break;
    }
}

// A model reference that misses: an error, or a warning when only the case differs.
void ReportMissingModel(const Reference& r, MessageOf<Severity::kError, const char*, const char*> number) {
    const auto folded = State().lowerModels.find(Lower(r.name));
    if (folded != State().lowerModels.end())
        ReportWarningAt(r.line, MSG_XREF_MODEL_CASE, r.holder.c_str(), r.name.c_str(), folded->second.c_str());
    else
        ReportErrorAt(r.line, number, r.holder.c_str(), r.name.c_str());
}

// A package model defined here serves the pins of the components that name it.
// Each pin it lists that such a component lacks is reported once, at the pin,
// with how many of the model's components lack it: many components of one
// model would otherwise repeat every pin of it for each of them.
void ReportPackagePinsMissing() {
    XrefState& s = State();
    std::vector<std::string> models;  // in the order they were first used
    std::unordered_map<std::string, std::vector<const XrefState::Packaged*>> users;
    for (const XrefState::Packaged& p : s.packaged) {
        auto& list = users[p.packageModel];
        if (list.empty()) models.push_back(p.packageModel);
        list.push_back(&p);
    }
    for (const std::string& model : models) {
        const auto pins = s.packagePins.find(model);
        if (pins == s.packagePins.end()) continue;
        const auto& components = users[model];
        for (const auto& [pin, line] : pins->second) {
            const XrefState::Packaged* first = nullptr;
            int lacking = 0;
            for (const XrefState::Packaged* c : components)
                if (!c->pins.count(pin)) {
                    if (!first) first = c;
                    ++lacking;
                }
            if (first)
                ReportErrorAt(line, MSG_XREF_PACKAGE_PIN, pin.c_str(), model.c_str(), lacking,
                              static_cast<int>(components.size()), first->component.c_str());
        }
    }
}

}  // namespace

void XrefReset() { State() = XrefState{}; }

void XrefLine(const KeywordLine& l) {
    if (l.lineClass == kLineKeyword) KeywordLineOf(l.code, l.line);
    else DataLine(l.code, l.line);
}

void XrefPackageModelPins(const std::string& name, const std::vector<std::string>& pins,
                          const std::vector<std::uint32_t>& lines) {
    auto& listed = State().packagePins[name];
    for (std::size_t i = 0; i < pins.size() && i < lines.size(); ++i) listed.emplace_back(pins[i], lines[i]);
}

void XrefModelType(const std::string& model, const char* type) {
    if (type) State().modelTypes[model] = type;
}

void XrefComponentStart(const char* componentName) {
    if (componentName) Define(State().components, componentName, "Component");
}

void XrefComponentEnd(const char* componentName) {
    XrefState& s = State();
    for (const Reference& r : s.pinRefs)
        if (!s.pins.count(r.name))
            ReportErrorAt(r.line, MSG_XREF_UNKNOWN_PIN, r.holder.c_str(), r.name.c_str(), componentName);
    for (const Reference& r : s.switchRefs)
        if (!s.switchGroups.count(r.name)) ReportErrorAt(r.line, MSG_XREF_SWITCH_GROUP, r.name.c_str());
    if (s.switchOpen) ReportErrorAt(s.switchOpen, MSG_XREF_SWITCH_END);
    if (s.pinMapping) {
        std::vector<std::pair<std::uint32_t, const std::string*>> unmapped;  // in the order of [Pin]
        for (const auto& [pin, line] : s.pins)
            if (!s.mappedPins.count(pin)) unmapped.emplace_back(line, &pin);
        std::sort(unmapped.begin(), unmapped.end());
        for (const auto& [line, pin] : unmapped) ReportErrorAt(line, MSG_XREF_PIN_NOT_MAPPED, pin->c_str(), componentName);
    }
    if (!s.packageModel.empty()) {
        XrefState::Packaged p{componentName, s.packageModel, {}};
        for (const auto& pin : s.pins) p.pins.insert(pin.first);
        s.packaged.push_back(std::move(p));
    }
    s.packageModel.clear();
    s.mappedPins.clear();
    s.diffPins.clear();
    s.pinMapping = false;
    s.pins.clear();
    s.pinRefs.clear();
    s.switchGroups.clear();
    s.switchRefs.clear();
    s.switchOpen = 0;
}

void XrefFinish() {
    XrefState& s = State();
    for (const Reference& r : s.pinModels)
        if (!IsReservedModel(r.name) && !s.models.count(r.name) && !s.selectors.count(r.name))
            ReportMissingModel(r, MSG_XREF_PIN_MODEL);
    for (const Reference& r : s.modelRefs)
        if (!s.models.count(r.name)) ReportMissingModel(r, MSG_XREF_UNKNOWN_MODEL);
    // A series pin pair is joined by a series model.
    for (const Reference& r : s.seriesRefs) {
        const auto type = s.modelTypes.find(r.name);
        if (type != s.modelTypes.end() && type->second != "Series" && type->second != "Series_switch")
            ReportErrorAt(r.line, MSG_XREF_SERIES_MODEL_TYPE, r.name.c_str(), type->second.c_str());
    }
    for (const Reference& r : s.submodelRefs)
        if (!s.submodels.count(r.name)) ReportErrorAt(r.line, MSG_XREF_UNKNOWN_SUBMODEL, r.name.c_str());
    std::unordered_map<std::string, int> packageFiles;  // what each <name>.pkg told, asked once per name
    for (const Reference& r : s.packageRefs) {
        if (s.packageModels.count(r.name)) continue;
        const CurrentLineScope at(r.line);
        const auto [known, added] = packageFiles.try_emplace(r.name, 0);
        if (added || known->second == -2) known->second = PackageFileDefines(r.name, r.holder.c_str());
        if (known->second == -1)
            ReportWarningAtLine(MSG_XREF_PACKAGE_MODEL_UNSEEN, r.holder.c_str(), r.name.c_str(), r.name.c_str());
        else if (known->second == 0)
            ReportErrorAtLine(MSG_XREF_PACKAGE_MODEL_MISSING, r.holder.c_str(), r.name.c_str(), r.name.c_str());
    }
    for (const auto& [name, line] : s.selectors)
        if (s.models.count(name)) ReportErrorAt(line, MSG_XREF_SELECTOR_IS_MODEL, name.c_str());
    ReportPackagePinsMissing();
    XrefReset();
}

namespace {

void ReferencesCheckOpen(const GroupEvent& e) {
    if (e.group == kGroupComponent) XrefComponentStart(e.name);
}

void ReferencesCheckLine(const KeywordLine& l) {
    if (l.code == KW_MODEL && l.lineClass != kLineKeyword) return;  // a model's sub-parameters
    XrefLine(l);
}

void ReferencesCheckClose(const GroupEvent& e) {
    if (e.group == kGroupComponent) XrefComponentEnd(e.name ? e.name : "");
}

constexpr std::int32_t kReferenceKeywords[] = {
    KW_PIN,           KW_PACKAGE_MODEL,         KW_PIN_MAPPING,      KW_DIFF_PIN,
    KW_SERIES_SWITCH_GROUPS, KW_SERIES_PIN_MAPPING, KW_ALTERNATE_PACKAGE_MODELS, KW_MODEL,
    KW_DRIVER_SCHEDULE, KW_ADD_SUBMODEL,       KW_MODEL_SELECTOR,   KW_SUBMODEL,
    KW_DEFINE_PACKAGE_MODEL,
};

}  // namespace

const KeywordCheck kReferencesCheck{
    .name = "references",
    .keywords = kReferenceKeywords,
    .onFileStart = XrefReset,
    .onGroupOpen = ReferencesCheckOpen,
    .onLine = ReferencesCheckLine,
    .onGroupClose = ReferencesCheckClose,
    .onFileEnd = XrefFinish,
};
