#include "IbisParser/keywords.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "IbisParser/groups.h"
#include "IbisParser/messages.h"

namespace {

constexpr std::int32_t N = NOT_KEY;

enum : unsigned { S = kStartsGroup, R = kRefinedOnly, I = kIbsOnly };

// Sections close with their end keyword; these are the messages when they do not.
constexpr std::int32_t kMissing = 912, kOrphan = 913;

struct Row {
    const char* name;
    const char* display;
    std::int32_t code;
    int introduced;
    KeywordGroup group;
    unsigned flags;
    std::int32_t endCode, insideOf;
    KeywordHandler handler;
    std::int32_t endMissing = kMissing, endOrphan = kOrphan;
};

// Where a keyword's version is uncertain in the IBIS history, the earlier one is
// taken, so that a file is never refused a keyword its version had
// (docs/ibislint.md lists these choices).
const Row kRows[] = {
    // File header (IBIS 1.1)
    {"IBIS_VER", "IBIS Ver", KW_IBIS_VER, 11, kGroupHeader, S, N, N, HandleHeaderLine},
    {"COMMENT_CHAR", "Comment Char", KW_COMMENT_CHAR, 11, kGroupNone, 0, N, N, nullptr},
    {"FILE_NAME", "File Name", KW_FILE_NAME, 11, kGroupHeader, 0, N, N, HandleHeaderLine},
    {"FILE_REV", "File Rev", KW_FILE_REV, 11, kGroupHeader, 0, N, N, HandleHeaderLine},
    {"DATE", "Date", KW_DATE, 11, kGroupHeader, 0, N, N, HandleHeaderLine},
    {"SOURCE", "Source", KW_SOURCE, 11, kGroupHeader, 0, N, N, HandleHeaderLine},
    {"NOTES", "Notes", KW_NOTES, 11, kGroupHeader, 0, N, N, HandleHeaderLine},
    {"DISCLAIMER", "Disclaimer", KW_DISCLAIMER, 11, kGroupHeader, 0, N, N, HandleHeaderLine},
    {"COPYRIGHT", "Copyright", KW_COPYRIGHT, 11, kGroupHeader, 0, N, N, HandleHeaderLine},
    // Component
    {"COMPONENT", "Component", KW_COMPONENT, 11, kGroupComponent, S | I, N, N, nullptr},
    {"MANUFACTURER", "Manufacturer", KW_MANUFACTURER, 11, kGroupComponent, 0, N, N, nullptr},
    {"PACKAGE", "Package", KW_PACKAGE, 11, kGroupComponent, 0, N, N, HandlePackageLine},
    {"PIN", "Pin", KW_PIN, 11, kGroupComponent, 0, N, N, HandleReferenceLine},
    {"PACKAGE_MODEL", "Package Model", KW_PACKAGE_MODEL, 20, kGroupComponent, 0, N, N, HandleReferenceLine},
    {"PIN_MAPPING", "Pin Mapping", KW_PIN_MAPPING, 20, kGroupComponent, 0, N, N, HandleReferenceLine},
    {"DIFF_PIN", "Diff Pin", KW_DIFF_PIN, 20, kGroupComponent, 0, N, N, HandleReferenceLine},
    {"SERIES_SWITCH_GROUPS", "Series Switch Groups", KW_SERIES_SWITCH_GROUPS, 30, kGroupComponent, 0, N, N,
     HandleReferenceLine},
    {"SERIES_PIN_MAPPING", "Series Pin Mapping", KW_SERIES_PIN_MAPPING, 30, kGroupComponent, 0, N, N, HandleReferenceLine},
    {"ALTERNATE_PACKAGE_MODELS", "Alternate Package Models", KW_ALTERNATE_PACKAGE_MODELS, 41, kGroupComponent, 0,
     KW_END_ALTERNATE_PACKAGE_MODELS, N, HandleReferenceLine},
    {"END_ALTERNATE_PACKAGE_MODELS", "End Alternate Package Models", KW_END_ALTERNATE_PACKAGE_MODELS, 41,
     kGroupComponent, 0, N, N, nullptr},
    {"NODE_DECLARATIONS", "Node Declarations", KW_NODE_DECLARATIONS, 41, kGroupComponent, 0,
     KW_END_NODE_DECLARATIONS, N, nullptr},
    {"END_NODE_DECLARATIONS", "End Node Declarations", KW_END_NODE_DECLARATIONS, 41, kGroupComponent, 0, N, N,
     nullptr},
    {"CIRCUIT_CALL", "Circuit Call", KW_CIRCUIT_CALL, 41, kGroupComponent, 0, KW_END_CIRCUIT_CALL, N, nullptr},
    {"END_CIRCUIT_CALL", "End Circuit Call", KW_END_CIRCUIT_CALL, 41, kGroupComponent, 0, N, N, nullptr},
    {"BEGIN_EMI_COMPONENT", "Begin EMI Component", KW_BEGIN_EMI_COMPONENT, 50, kGroupComponent, 0,
     KW_END_EMI_COMPONENT, N, nullptr},
    {"END_EMI_COMPONENT", "End EMI Component", KW_END_EMI_COMPONENT, 50, kGroupComponent, 0, N, N, nullptr},
    {"PIN_EMI", "Pin EMI", KW_PIN_EMI, 50, kGroupComponent, 0, N, KW_BEGIN_EMI_COMPONENT, nullptr},
    {"PIN_DOMAIN_EMI", "Pin Domain EMI", KW_PIN_DOMAIN_EMI, 50, kGroupComponent, 0, N, KW_BEGIN_EMI_COMPONENT,
     nullptr},
    {"REPEATER_PIN", "Repeater Pin", KW_REPEATER_PIN, 60, kGroupComponent, 0, N, N, nullptr},
    // [Bus Label] and [Die Supply Pads] are lists that the next keyword ends; an
    // [End ...] written after them is accepted, never required.
    {"BUS_LABEL", "Bus Label", KW_BUS_LABEL, 70, kGroupComponent, 0, N, N, nullptr},
    {"END_BUS_LABEL", "End Bus Label", KW_END_BUS_LABEL, 70, kGroupComponent, 0, N, N, nullptr},
    {"DIE_SUPPLY_PADS", "Die Supply Pads", KW_DIE_SUPPLY_PADS, 70, kGroupComponent, 0, N, N, nullptr},
    {"END_DIE_SUPPLY_PADS", "End Die Supply Pads", KW_END_DIE_SUPPLY_PADS, 70, kGroupComponent, 0, N, N, nullptr},
    {"CLOCK_PINS", "Clock Pins", KW_CLOCK_PINS, 71, kGroupComponent, 0, N, N, nullptr},
    // External circuits: a group of their own
    {"EXTERNAL_CIRCUIT", "External Circuit", KW_EXTERNAL_CIRCUIT, 41, kGroupCircuit, S, KW_END_EXTERNAL_CIRCUIT,
     N, nullptr},
    {"END_EXTERNAL_CIRCUIT", "End External Circuit", KW_END_EXTERNAL_CIRCUIT, 41, kGroupCircuit, 0, N, N,
     nullptr},
    // Model
    {"MODEL", "Model", KW_MODEL, 11, kGroupModel, S | I, N, N, HandleModelLine},
    {"EXTERNAL_MODEL", "External Model", KW_EXTERNAL_MODEL, 41, kGroupModel, 0, KW_END_EXTERNAL_MODEL, N,
     nullptr},
    {"END_EXTERNAL_MODEL", "End External Model", KW_END_EXTERNAL_MODEL, 41, kGroupModel, 0, N, N, nullptr},
    {"TEMPERATURE_RANGE", "Temperature Range", KW_TEMPERATURE_RANGE, 11, kGroupModel, 0, N, N, nullptr},
    {"VOLTAGE_RANGE", "Voltage Range", KW_VOLTAGE_RANGE, 11, kGroupModel, 0, N, N, nullptr},
    {"PULLUP_REFERENCE", "Pullup Reference", KW_PULLUP_REFERENCE, 11, kGroupModel, 0, N, N, nullptr},
    {"PULLDOWN_REFERENCE", "Pulldown Reference", KW_PULLDOWN_REFERENCE, 11, kGroupModel, 0, N, N, nullptr},
    {"POWER_CLAMP_REFERENCE", "POWER Clamp Reference", KW_POWER_CLAMP_REFERENCE, 11, kGroupModel, 0, N, N,
     nullptr},
    {"GND_CLAMP_REFERENCE", "GND Clamp Reference", KW_GND_CLAMP_REFERENCE, 11, kGroupModel, 0, N, N, nullptr},
    {"EXTERNAL_REFERENCE", "External Reference", KW_EXTERNAL_REFERENCE, 30, kGroupModel, 0, N, N, nullptr},
    {"PULLDOWN", "Pulldown", KW_PULLDOWN, 11, kGroupModel, 0, N, N, HandleTableLine},
    {"PULLUP", "Pullup", KW_PULLUP, 11, kGroupModel, 0, N, N, HandleTableLine},
    {"GND_CLAMP", "GND Clamp", KW_GND_CLAMP, 11, kGroupModel, 0, N, N, HandleTableLine},
    {"POWER_CLAMP", "POWER Clamp", KW_POWER_CLAMP, 11, kGroupModel, 0, N, N, HandleTableLine},
    {"RGND", "Rgnd", KW_RGND, 20, kGroupModel, 0, N, N, nullptr},
    {"RPOWER", "Rpower", KW_RPOWER, 20, kGroupModel, 0, N, N, nullptr},
    {"RAC", "Rac", KW_RAC, 20, kGroupModel, 0, N, N, nullptr},
    {"CAC", "Cac", KW_CAC, 20, kGroupModel, 0, N, N, nullptr},
    {"RAMP", "Ramp", KW_RAMP, 11, kGroupModel, 0, N, N, HandleRampLine},
    {"RISING_WAVEFORM", "Rising Waveform", KW_RISING_WAVEFORM, 20, kGroupModel, 0, N, N, HandleTableLine},
    {"FALLING_WAVEFORM", "Falling Waveform", KW_FALLING_WAVEFORM, 20, kGroupModel, 0, N, N, HandleTableLine},
    {"TTGND", "TTgnd", KW_TTGND, 30, kGroupModel, 0, N, N, nullptr},
    {"TTPOWER", "TTpower", KW_TTPOWER, 30, kGroupModel, 0, N, N, nullptr},
    {"MODEL_SPEC", "Model Spec", KW_MODEL_SPEC, 30, kGroupModel, 0, N, N, HandleSpecLine},
    {"RECEIVER_THRESHOLDS", "Receiver Thresholds", KW_RECEIVER_THRESHOLDS, 40, kGroupModel, 0, N, N, nullptr},
    {"DRIVER_SCHEDULE", "Driver Schedule", KW_DRIVER_SCHEDULE, 30, kGroupModel, 0, N, N, HandleReferenceLine},
    {"ON", "On", KW_ON, 30, kGroupModel, 0, N, N, nullptr},
    {"OFF", "Off", KW_OFF, 30, kGroupModel, 0, N, N, nullptr},
    {"R_SERIES", "R Series", KW_R_SERIES, 30, kGroupModel, 0, N, N, nullptr},
    {"L_SERIES", "L Series", KW_L_SERIES, 30, kGroupModel, 0, N, N, nullptr},
    {"RL_SERIES", "Rl Series", KW_RL_SERIES, 30, kGroupModel, 0, N, N, nullptr},
    {"C_SERIES", "C Series", KW_C_SERIES, 30, kGroupModel, 0, N, N, nullptr},
    {"LC_SERIES", "Lc Series", KW_LC_SERIES, 30, kGroupModel, 0, N, N, nullptr},
    {"RC_SERIES", "Rc Series", KW_RC_SERIES, 30, kGroupModel, 0, N, N, nullptr},
    {"SERIES_CURRENT", "Series Current", KW_SERIES_CURRENT, 30, kGroupModel, 0, N, N, nullptr},
    {"SERIES_MOSFET", "Series MOSFET", KW_SERIES_MOSFET, 30, kGroupModel, 0, N, N, nullptr},
    {"ADD_SUBMODEL", "Add Submodel", KW_ADD_SUBMODEL, 30, kGroupModel, 0, N, N, HandleReferenceLine},
    {"ALGORITHMIC_MODEL", "Algorithmic Model", KW_ALGORITHMIC_MODEL, 50, kGroupModel, 0, KW_END_ALGORITHMIC_MODEL,
     N, HandleAlgorithmicModelLine, MSG_END_ALGMOD_MISSING, MSG_END_ALGMOD_ORPHAN},
    {"END_ALGORITHMIC_MODEL", "End Algorithmic Model", KW_END_ALGORITHMIC_MODEL, 50, kGroupModel, 0, N, N,
     nullptr},
    {"ISSO_PD", "ISSO PD", KW_ISSO_PD, 50, kGroupModel, 0, N, N, HandleTableLine},
    {"ISSO_PU", "ISSO PU", KW_ISSO_PU, 50, kGroupModel, 0, N, N, HandleTableLine},
    {"COMPOSITE_CURRENT", "Composite Current", KW_COMPOSITE_CURRENT, 50, kGroupModel, 0, N, N, nullptr},
    {"C_COMP_CORNER", "C Comp Corner", KW_C_COMP_CORNER, 51, kGroupModel, 0, N, N, HandleNamedRowsLine},
    {"INITIAL_DELAY", "Initial Delay", KW_INITIAL_DELAY, 61, kGroupModel, 0, N, N, HandleNamedRowsLine},
    {"C_COMP_MODEL", "C Comp Model", KW_C_COMP_MODEL, 71, kGroupModel, 0, KW_END_C_COMP_MODEL, N, nullptr},
    {"END_C_COMP_MODEL", "End C Comp Model", KW_END_C_COMP_MODEL, 71, kGroupModel, 0, N, N, nullptr},
    {"BEGIN_EMI_MODEL", "Begin EMI Model", KW_BEGIN_EMI_MODEL, 50, kGroupModel, 0, KW_END_EMI_MODEL, N, nullptr},
    {"END_EMI_MODEL", "End EMI Model", KW_END_EMI_MODEL, 50, kGroupModel, 0, N, N, nullptr},
    // Package models (.pkg files and .ibs files)
    {"DEFINE_PACKAGE_MODEL", "Define Package Model", KW_DEFINE_PACKAGE_MODEL, 20, kGroupPackageModel, S,
     KW_END_PACKAGE_MODEL, N, HandlePackageModelLine},
    {"MANUFACTURER", "Manufacturer", KW_PKG_MANUFACTURER, 20, kGroupPackageModel, R, N, KW_DEFINE_PACKAGE_MODEL,
     nullptr},
    {"OEM", "OEM", KW_OEM, 20, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL, nullptr},
    {"DESCRIPTION", "Description", KW_DESCRIPTION, 20, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL,
     nullptr},
    {"NUMBER_OF_PINS", "Number Of Pins", KW_NUMBER_OF_PINS, 20, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL,
     HandlePackageModelLine},
    {"PIN_NUMBERS", "Pin Numbers", KW_PIN_NUMBERS, 20, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL, HandlePackageModelLine},
    {"MERGED_PINS", "Merged Pins", KW_MERGED_PINS, 61, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL, nullptr},
    {"MODEL_DATA", "Model Data", KW_MODEL_DATA, 20, kGroupPackageModel, 0, KW_END_MODEL_DATA,
     KW_DEFINE_PACKAGE_MODEL, nullptr},
    {"RESISTANCE_MATRIX", "Resistance Matrix", KW_RESISTANCE_MATRIX, 20, kGroupPackageModel, 0, N, KW_MODEL_DATA,
     HandlePackageModelLine},
    {"INDUCTANCE_MATRIX", "Inductance Matrix", KW_INDUCTANCE_MATRIX, 20, kGroupPackageModel, 0, N, KW_MODEL_DATA,
     HandlePackageModelLine},
    {"CAPACITANCE_MATRIX", "Capacitance Matrix", KW_CAPACITANCE_MATRIX, 20, kGroupPackageModel, 0, N,
     KW_MODEL_DATA, HandlePackageModelLine},
    {"BANDWIDTH", "Bandwidth", KW_BANDWIDTH, 20, kGroupPackageModel, 0, N, KW_MODEL_DATA, HandlePackageModelLine},
    {"ROW", "Row", KW_ROW, 20, kGroupPackageModel, 0, N, KW_MODEL_DATA, HandlePackageModelLine},
    {"END_MODEL_DATA", "End Model Data", KW_END_MODEL_DATA, 20, kGroupPackageModel, 0, N, N, HandlePackageModelLine},
    {"END_PACKAGE_MODEL", "End Package Model", KW_END_PACKAGE_MODEL, 20, kGroupPackageModel, 0, N, N, HandlePackageModelLine},
    {"NUMBER_OF_SECTIONS", "Number Of Sections", KW_NUMBER_OF_SECTIONS, 20, kGroupPackageModel, 0, N,
     KW_DEFINE_PACKAGE_MODEL, nullptr},
    // Electrical board descriptions (.ebd files)
    {"BEGIN_BOARD_DESCRIPTION", "Begin Board Description", KW_BEGIN_BOARD_DESCRIPTION, 30, kGroupBoard, S,
     KW_END_BOARD_DESCRIPTION, N, HandleBoardLine},
    {"MANUFACTURER", "Manufacturer", KW_EBD_MANUFACTURER, 30, kGroupBoard, R, N, KW_BEGIN_BOARD_DESCRIPTION,
     HandleBoardLine},
    {"NUMBER_OF_PINS", "Number Of Pins", KW_EBD_NUMBER_OF_PINS, 30, kGroupBoard, R, N, KW_BEGIN_BOARD_DESCRIPTION,
     HandleBoardLine},
    {"PIN_LIST", "Pin List", KW_PIN_LIST, 30, kGroupBoard, 0, N, KW_BEGIN_BOARD_DESCRIPTION, HandleBoardLine},
    {"PATH_DESCRIPTION", "Path Description", KW_PATH_DESCRIPTION, 30, kGroupBoard, 0, N,
     KW_BEGIN_BOARD_DESCRIPTION, HandleBoardLine},
    {"REFERENCE_DESIGNATOR_MAP", "Reference Designator Map", KW_REFERENCE_DESIGNATOR_MAP, 30, kGroupBoard, 0, N,
     KW_BEGIN_BOARD_DESCRIPTION, HandleBoardLine},
    {"END_BOARD_DESCRIPTION", "End Board Description", KW_END_BOARD_DESCRIPTION, 30, kGroupBoard, 0, N, N,
     HandleBoardLine},
    // Model selectors and submodels
    {"MODEL_SELECTOR", "Model Selector", KW_MODEL_SELECTOR, 30, kGroupSelector, S, N, N, HandleReferenceLine},
    {"SUBMODEL", "Submodel", KW_SUBMODEL, 30, kGroupSubmodel, S, N, N, HandleReferenceLine},
    {"SUBMODEL_SPEC", "Submodel Spec", KW_SUBMODEL_SPEC, 30, kGroupSubmodel, 0, N, N, HandleSpecLine},
    {"GND_PULSE_TABLE", "GND Pulse Table", KW_GND_PULSE_TABLE, 30, kGroupSubmodel, 0, N, N, nullptr},
    {"POWER_PULSE_TABLE", "POWER Pulse Table", KW_POWER_PULSE_TABLE, 30, kGroupSubmodel, 0, N, N, nullptr},
    {"PULLDOWN", "Pulldown", KW_SUB_PULLDOWN, 30, kGroupSubmodel, R, N, N, HandleTableLine},
    {"PULLUP", "Pullup", KW_SUB_PULLUP, 30, kGroupSubmodel, R, N, N, HandleTableLine},
    {"GND_CLAMP", "GND Clamp", KW_SUB_GND_CLAMP, 30, kGroupSubmodel, R, N, N, HandleTableLine},
    {"POWER_CLAMP", "POWER Clamp", KW_SUB_POWER_CLAMP, 30, kGroupSubmodel, R, N, N, HandleTableLine},
    {"RAMP", "Ramp", KW_SUB_RAMP, 30, kGroupSubmodel, R, N, N, HandleRampLine},
    {"RISING_WAVEFORM", "Rising Waveform", KW_SUB_RISING_WAVEFORM, 30, kGroupSubmodel, R, N, N, HandleTableLine},
    {"FALLING_WAVEFORM", "Falling Waveform", KW_SUB_FALLING_WAVEFORM, 30, kGroupSubmodel, R, N, N, HandleTableLine},
    {"INITIAL_DELAY", "Initial Delay", KW_SUB_INITIAL_DELAY, 61, kGroupSubmodel, R, N, N, HandleNamedRowsLine},
    // Test data and loads
    {"TEST_DATA", "Test Data", KW_TEST_DATA, 40, kGroupTestData, S, N, N, nullptr},
    {"RISING_WAVEFORM_NEAR", "Rising Waveform Near", KW_RISING_WAVEFORM_NEAR, 40, kGroupTestData, 0, N, N, nullptr},
    {"RISING_WAVEFORM_FAR", "Rising Waveform Far", KW_RISING_WAVEFORM_FAR, 40, kGroupTestData, 0, N, N, nullptr},
    {"FALLING_WAVEFORM_NEAR", "Falling Waveform Near", KW_FALLING_WAVEFORM_NEAR, 40, kGroupTestData, 0, N, N,
     nullptr},
    {"FALLING_WAVEFORM_FAR", "Falling Waveform Far", KW_FALLING_WAVEFORM_FAR, 40, kGroupTestData, 0, N, N, nullptr},
    {"DIFF_RISING_WAVEFORM_NEAR", "Diff Rising Waveform Near", KW_DIFF_RISING_WAVEFORM_NEAR, 40, kGroupTestData, 0,
     N, N, nullptr},
    {"DIFF_RISING_WAVEFORM_FAR", "Diff Rising Waveform Far", KW_DIFF_RISING_WAVEFORM_FAR, 40, kGroupTestData, 0, N,
     N, nullptr},
    {"DIFF_FALLING_WAVEFORM_NEAR", "Diff Falling Waveform Near", KW_DIFF_FALLING_WAVEFORM_NEAR, 40, kGroupTestData,
     0, N, N, nullptr},
    {"DIFF_FALLING_WAVEFORM_FAR", "Diff Falling Waveform Far", KW_DIFF_FALLING_WAVEFORM_FAR, 40, kGroupTestData, 0,
     N, N, nullptr},
    {"TEST_LOAD", "Test Load", KW_TEST_LOAD, 40, kGroupTestLoad, S, N, N, nullptr},
    // Interconnect models of IBIS 7.0: sets of models, and groups of sets
    {"INTERCONNECT_MODEL_SET", "Interconnect Model Set", KW_INTERCONNECT_MODEL_SET, 70, kGroupInterconnect, S,
     KW_END_INTERCONNECT_MODEL_SET, N, nullptr},
    {"END_INTERCONNECT_MODEL_SET", "End Interconnect Model Set", KW_END_INTERCONNECT_MODEL_SET, 70,
     kGroupInterconnect, 0, N, N, nullptr},
    {"INTERCONNECT_MODEL", "Interconnect Model", KW_INTERCONNECT_MODEL, 70, kGroupInterconnect, 0,
     KW_END_INTERCONNECT_MODEL, KW_INTERCONNECT_MODEL_SET, nullptr},
    {"END_INTERCONNECT_MODEL", "End Interconnect Model", KW_END_INTERCONNECT_MODEL, 70, kGroupInterconnect, 0, N, N,
     nullptr},
    {"INTERCONNECT_MODEL_GROUP", "Interconnect Model Group", KW_INTERCONNECT_MODEL_GROUP, 70, kGroupInterconnect, S,
     KW_END_INTERCONNECT_MODEL_GROUP, N, nullptr},
    {"END_INTERCONNECT_MODEL_GROUP", "End Interconnect Model Group", KW_END_INTERCONNECT_MODEL_GROUP, 70,
     kGroupInterconnect, 0, N, N, nullptr},
    {"END", "End", KW_END, 11, kGroupNone, 0, N, N, nullptr},
};

constexpr std::size_t kRowCount = sizeof kRows / sizeof kRows[0];

KeywordInfo InfoOf(const Row& r) {
    return KeywordInfo{r.name,     r.display,    r.code,      r.introduced, r.group,  r.flags,
                       r.endCode, r.insideOf,  r.endMissing, r.endOrphan, r.handler};
}

// The rows by code, built once from the table.
const std::vector<KeywordInfo>& ByCode() {
    static const std::vector<KeywordInfo> rows = [] {
        std::vector<KeywordInfo> v(KW_CODE_COUNT);
        for (const Row& r : kRows) v[static_cast<std::size_t>(r.code)] = InfoOf(r);
        return v;
    }();
    return rows;
}

bool SameName(const char* written, const char* name) {
    for (; *written && *name; ++written, ++name) {
        const char a = *written == ' ' ? '_' : *written, b = *name;
        if (std::toupper(static_cast<unsigned char>(a)) != b) return false;
    }
    return *written == '\0' && *name == '\0';
}

}  // namespace

const KeywordInfo* KeywordInfoOf(std::int32_t code) {
    if (code < 0 || code >= KW_CODE_COUNT) return nullptr;
    const KeywordInfo& info = ByCode()[static_cast<std::size_t>(code)];
    return info.name ? &info : nullptr;
}

const KeywordInfo* FindKeyword(const char* name) {
    for (const Row& r : kRows)
        if (!(r.flags & kRefinedOnly) && SameName(name, r.name)) return KeywordInfoOf(r.code);
    return nullptr;
}

const char* GroupStartName(KeywordGroup group) {
    for (const Row& r : kRows)
        if (r.group == group && (r.flags & kStartsGroup)) return r.display;
    return "?";
}

const KeywordInfo* SectionEndedBy(std::int32_t code) {
    for (const Row& r : kRows)
        if (r.endCode == code && code != NOT_KEY) return KeywordInfoOf(r.code);
    return nullptr;
}

const KeywordRow* KeywordTableFor(int version) {
    static std::vector<std::vector<KeywordRow>> tables(kNewestIbisVersion + 1);
    int code = version;
    if (version < 10) {  // a major number: its newest minor
        code = 0;
        for (int v : kIbisVersions)
            if (v / 10 <= version) code = v;
        if (code == 0) code = kIbisVersions[0];
    }
    if (code > kNewestIbisVersion) code = kNewestIbisVersion;
    std::vector<KeywordRow>& table = tables[static_cast<std::size_t>(code)];
    if (table.empty()) {
        for (const Row& r : kRows)
            if (!(r.flags & kRefinedOnly) && r.introduced <= code) table.push_back({r.name, r.code});
        table.push_back({"NOT_KEY", NOT_KEY});
    }
    return table.data();
}
