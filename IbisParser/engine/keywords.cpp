#include "IbisParser/engine/keywords.h"

#include <cctype>
#include <cstring>
#include <vector>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"

namespace {

constexpr std::int32_t N = NOT_KEY;

enum : unsigned { S = kStartsGroup, R = kRefinedOnly, I = kIbsOnly };

using Row = KeywordInfo;

// Where a keyword's version is uncertain in the IBIS history, the earlier one is
// taken, so that a file is never refused a keyword its version had
// (docs/ibislint.md lists these choices).
const Row kRows[] = {
    // File header (IBIS 1.1)
    {"IBIS_VER", "IBIS Ver", KW_IBIS_VER, 11, kGroupHeader, S, N, N},
    {"COMMENT_CHAR", "Comment Char", KW_COMMENT_CHAR, 11, kGroupNone, 0, N, N},
    {"FILE_NAME", "File Name", KW_FILE_NAME, 11, kGroupHeader, 0, N, N},
    {"FILE_REV", "File Rev", KW_FILE_REV, 11, kGroupHeader, 0, N, N},
    {"DATE", "Date", KW_DATE, 11, kGroupHeader, 0, N, N},
    {"SOURCE", "Source", KW_SOURCE, 11, kGroupHeader, 0, N, N},
    {"NOTES", "Notes", KW_NOTES, 11, kGroupHeader, 0, N, N},
    {"DISCLAIMER", "Disclaimer", KW_DISCLAIMER, 11, kGroupHeader, 0, N, N},
    {"COPYRIGHT", "Copyright", KW_COPYRIGHT, 11, kGroupHeader, 0, N, N},
    // Component
    {"COMPONENT", "Component", KW_COMPONENT, 11, kGroupComponent, S | I, N, N},
    {"MANUFACTURER", "Manufacturer", KW_MANUFACTURER, 11, kGroupComponent, 0, N, N},
    {"PACKAGE", "Package", KW_PACKAGE, 11, kGroupComponent, 0, N, N},
    {"PIN", "Pin", KW_PIN, 11, kGroupComponent, 0, N, N},
    {"PACKAGE_MODEL", "Package Model", KW_PACKAGE_MODEL, 20, kGroupComponent, 0, N, N},
    {"PIN_MAPPING", "Pin Mapping", KW_PIN_MAPPING, 20, kGroupComponent, 0, N, N},
    {"DIFF_PIN", "Diff Pin", KW_DIFF_PIN, 20, kGroupComponent, 0, N, N},
    {"SERIES_SWITCH_GROUPS", "Series Switch Groups", KW_SERIES_SWITCH_GROUPS, 30, kGroupComponent, 0, N, N},
    {"SERIES_PIN_MAPPING", "Series Pin Mapping", KW_SERIES_PIN_MAPPING, 30, kGroupComponent, 0, N, N},
    {"ALTERNATE_PACKAGE_MODELS", "Alternate Package Models", KW_ALTERNATE_PACKAGE_MODELS, 41, kGroupComponent,
     0, KW_END_ALTERNATE_PACKAGE_MODELS, N},
    {"END_ALTERNATE_PACKAGE_MODELS", "End Alternate Package Models", KW_END_ALTERNATE_PACKAGE_MODELS, 41,
     kGroupComponent, 0, N, N},
    {"NODE_DECLARATIONS", "Node Declarations", KW_NODE_DECLARATIONS, 41, kGroupComponent, 0,
     KW_END_NODE_DECLARATIONS, N},
    {"END_NODE_DECLARATIONS", "End Node Declarations", KW_END_NODE_DECLARATIONS, 41, kGroupComponent, 0, N, N},
    {"CIRCUIT_CALL", "Circuit Call", KW_CIRCUIT_CALL, 41, kGroupComponent, 0, KW_END_CIRCUIT_CALL, N},
    {"END_CIRCUIT_CALL", "End Circuit Call", KW_END_CIRCUIT_CALL, 41, kGroupComponent, 0, N, N},
    {"BEGIN_EMI_COMPONENT", "Begin EMI Component", KW_BEGIN_EMI_COMPONENT, 50, kGroupComponent, 0,
     KW_END_EMI_COMPONENT, N},
    {"END_EMI_COMPONENT", "End EMI Component", KW_END_EMI_COMPONENT, 50, kGroupComponent, 0, N, N},
    {"PIN_EMI", "Pin EMI", KW_PIN_EMI, 50, kGroupComponent, 0, N, KW_BEGIN_EMI_COMPONENT},
    {"PIN_DOMAIN_EMI", "Pin Domain EMI", KW_PIN_DOMAIN_EMI, 50, kGroupComponent, 0, N, KW_BEGIN_EMI_COMPONENT},
    {"REPEATER_PIN", "Repeater Pin", KW_REPEATER_PIN, 60, kGroupComponent, 0, N, N},
    // [Bus Label] and [Die Supply Pads] are lists that the next keyword ends; an
    // [End ...] written after them is accepted, never required.
    {"BUS_LABEL", "Bus Label", KW_BUS_LABEL, 70, kGroupComponent, 0, N, N},
    {"END_BUS_LABEL", "End Bus Label", KW_END_BUS_LABEL, 70, kGroupComponent, 0, N, N},
    {"DIE_SUPPLY_PADS", "Die Supply Pads", KW_DIE_SUPPLY_PADS, 70, kGroupComponent, 0, N, N},
    {"END_DIE_SUPPLY_PADS", "End Die Supply Pads", KW_END_DIE_SUPPLY_PADS, 70, kGroupComponent, 0, N, N},
    {"CLOCK_PINS", "Clock Pins", KW_CLOCK_PINS, 71, kGroupComponent, 0, N, N},
    // External circuits: a group of their own
    {"EXTERNAL_CIRCUIT", "External Circuit", KW_EXTERNAL_CIRCUIT, 41, kGroupCircuit, S, KW_END_EXTERNAL_CIRCUIT, N},
    {"END_EXTERNAL_CIRCUIT", "End External Circuit", KW_END_EXTERNAL_CIRCUIT, 41, kGroupCircuit, 0, N, N},
    // Model
    {"MODEL", "Model", KW_MODEL, 11, kGroupModel, S | I, N, N},
    {"EXTERNAL_MODEL", "External Model", KW_EXTERNAL_MODEL, 41, kGroupModel, 0, KW_END_EXTERNAL_MODEL, N},
    {"END_EXTERNAL_MODEL", "End External Model", KW_END_EXTERNAL_MODEL, 41, kGroupModel, 0, N, N},
    {"TEMPERATURE_RANGE", "Temperature Range", KW_TEMPERATURE_RANGE, 11, kGroupModel, 0, N, N},
    {"VOLTAGE_RANGE", "Voltage Range", KW_VOLTAGE_RANGE, 11, kGroupModel, 0, N, N},
    {"PULLUP_REFERENCE", "Pullup Reference", KW_PULLUP_REFERENCE, 11, kGroupModel, 0, N, N},
    {"PULLDOWN_REFERENCE", "Pulldown Reference", KW_PULLDOWN_REFERENCE, 11, kGroupModel, 0, N, N},
    {"POWER_CLAMP_REFERENCE", "POWER Clamp Reference", KW_POWER_CLAMP_REFERENCE, 11, kGroupModel, 0, N, N},
    {"GND_CLAMP_REFERENCE", "GND Clamp Reference", KW_GND_CLAMP_REFERENCE, 11, kGroupModel, 0, N, N},
    {"EXTERNAL_REFERENCE", "External Reference", KW_EXTERNAL_REFERENCE, 30, kGroupModel, 0, N, N},
    {"PULLDOWN", "Pulldown", KW_PULLDOWN, 11, kGroupModel, 0, N, N},
    {"PULLUP", "Pullup", KW_PULLUP, 11, kGroupModel, 0, N, N},
    {"GND_CLAMP", "GND Clamp", KW_GND_CLAMP, 11, kGroupModel, 0, N, N},
    {"POWER_CLAMP", "POWER Clamp", KW_POWER_CLAMP, 11, kGroupModel, 0, N, N},
    {"RGND", "Rgnd", KW_RGND, 20, kGroupModel, 0, N, N},
    {"RPOWER", "Rpower", KW_RPOWER, 20, kGroupModel, 0, N, N},
    {"RAC", "Rac", KW_RAC, 20, kGroupModel, 0, N, N},
    {"CAC", "Cac", KW_CAC, 20, kGroupModel, 0, N, N},
    {"RAMP", "Ramp", KW_RAMP, 11, kGroupModel, 0, N, N},
    {"RISING_WAVEFORM", "Rising Waveform", KW_RISING_WAVEFORM, 20, kGroupModel, 0, N, N},
    {"FALLING_WAVEFORM", "Falling Waveform", KW_FALLING_WAVEFORM, 20, kGroupModel, 0, N, N},
    {"TTGND", "TTgnd", KW_TTGND, 30, kGroupModel, 0, N, N},
    {"TTPOWER", "TTpower", KW_TTPOWER, 30, kGroupModel, 0, N, N},
    {"MODEL_SPEC", "Model Spec", KW_MODEL_SPEC, 30, kGroupModel, 0, N, N},
    {"RECEIVER_THRESHOLDS", "Receiver Thresholds", KW_RECEIVER_THRESHOLDS, 40, kGroupModel, 0, N, N},
    {"DRIVER_SCHEDULE", "Driver Schedule", KW_DRIVER_SCHEDULE, 30, kGroupModel, 0, N, N},
    {"ON", "On", KW_ON, 30, kGroupModel, 0, N, N},
    {"OFF", "Off", KW_OFF, 30, kGroupModel, 0, N, N},
    {"R_SERIES", "R Series", KW_R_SERIES, 30, kGroupModel, 0, N, N},
    {"L_SERIES", "L Series", KW_L_SERIES, 30, kGroupModel, 0, N, N},
    {"RL_SERIES", "Rl Series", KW_RL_SERIES, 30, kGroupModel, 0, N, N},
    {"C_SERIES", "C Series", KW_C_SERIES, 30, kGroupModel, 0, N, N},
    {"LC_SERIES", "Lc Series", KW_LC_SERIES, 30, kGroupModel, 0, N, N},
    {"RC_SERIES", "Rc Series", KW_RC_SERIES, 30, kGroupModel, 0, N, N},
    {"SERIES_CURRENT", "Series Current", KW_SERIES_CURRENT, 30, kGroupModel, 0, N, N},
    {"SERIES_MOSFET", "Series MOSFET", KW_SERIES_MOSFET, 30, kGroupModel, 0, N, N},
    {"ADD_SUBMODEL", "Add Submodel", KW_ADD_SUBMODEL, 30, kGroupModel, 0, N, N},
    {"ALGORITHMIC_MODEL", "Algorithmic Model", KW_ALGORITHMIC_MODEL, 50, kGroupModel, 0,
     KW_END_ALGORITHMIC_MODEL, N,
     [](const char*, const char*, int) { ReportErrorAtLine(MSG_END_ALGMOD_MISSING); },
     [](const char*) { ReportErrorAtLine(MSG_END_ALGMOD_ORPHAN); }},
    {"END_ALGORITHMIC_MODEL", "End Algorithmic Model", KW_END_ALGORITHMIC_MODEL, 50, kGroupModel, 0, N, N},
    {"ISSO_PD", "ISSO PD", KW_ISSO_PD, 50, kGroupModel, 0, N, N},
    {"ISSO_PU", "ISSO PU", KW_ISSO_PU, 50, kGroupModel, 0, N, N},
    {"COMPOSITE_CURRENT", "Composite Current", KW_COMPOSITE_CURRENT, 50, kGroupModel, 0, N, N},
    {"C_COMP_CORNER", "C Comp Corner", KW_C_COMP_CORNER, 51, kGroupModel, 0, N, N},
    {"INITIAL_DELAY", "Initial Delay", KW_INITIAL_DELAY, 61, kGroupModel, 0, N, N},
    {"C_COMP_MODEL", "C Comp Model", KW_C_COMP_MODEL, 71, kGroupModel, 0, KW_END_C_COMP_MODEL, N},
    {"END_C_COMP_MODEL", "End C Comp Model", KW_END_C_COMP_MODEL, 71, kGroupModel, 0, N, N},
    {"BEGIN_EMI_MODEL", "Begin EMI Model", KW_BEGIN_EMI_MODEL, 50, kGroupModel, 0, KW_END_EMI_MODEL, N},
    {"END_EMI_MODEL", "End EMI Model", KW_END_EMI_MODEL, 50, kGroupModel, 0, N, N},
    // Package models (.pkg files and .ibs files)
    {"DEFINE_PACKAGE_MODEL", "Define Package Model", KW_DEFINE_PACKAGE_MODEL, 20, kGroupPackageModel, S,
     KW_END_PACKAGE_MODEL, N},
    {"MANUFACTURER", "Manufacturer", KW_PKG_MANUFACTURER, 20, kGroupPackageModel, R, N, KW_DEFINE_PACKAGE_MODEL},
    {"OEM", "OEM", KW_OEM, 20, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL},
    {"DESCRIPTION", "Description", KW_DESCRIPTION, 20, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL},
    {"NUMBER_OF_PINS", "Number Of Pins", KW_NUMBER_OF_PINS, 20, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL},
    {"PIN_NUMBERS", "Pin Numbers", KW_PIN_NUMBERS, 20, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL},
    {"MERGED_PINS", "Merged Pins", KW_MERGED_PINS, 61, kGroupPackageModel, 0, N, KW_DEFINE_PACKAGE_MODEL},
    {"MODEL_DATA", "Model Data", KW_MODEL_DATA, 20, kGroupPackageModel, 0, KW_END_MODEL_DATA,
     KW_DEFINE_PACKAGE_MODEL},
    {"RESISTANCE_MATRIX", "Resistance Matrix", KW_RESISTANCE_MATRIX, 20, kGroupPackageModel, 0, N, KW_MODEL_DATA},
    {"INDUCTANCE_MATRIX", "Inductance Matrix", KW_INDUCTANCE_MATRIX, 20, kGroupPackageModel, 0, N, KW_MODEL_DATA},
    {"CAPACITANCE_MATRIX", "Capacitance Matrix", KW_CAPACITANCE_MATRIX, 20, kGroupPackageModel, 0, N, KW_MODEL_DATA},
    {"BANDWIDTH", "Bandwidth", KW_BANDWIDTH, 20, kGroupPackageModel, 0, N, KW_MODEL_DATA},
    {"ROW", "Row", KW_ROW, 20, kGroupPackageModel, 0, N, KW_MODEL_DATA},
    {"END_MODEL_DATA", "End Model Data", KW_END_MODEL_DATA, 20, kGroupPackageModel, 0, N, N},
    {"END_PACKAGE_MODEL", "End Package Model", KW_END_PACKAGE_MODEL, 20, kGroupPackageModel, 0, N, N},
    {"NUMBER_OF_SECTIONS", "Number Of Sections", KW_NUMBER_OF_SECTIONS, 20, kGroupPackageModel, 0, N,
     KW_DEFINE_PACKAGE_MODEL},
    // Electrical board descriptions (.ebd files)
    {"BEGIN_BOARD_DESCRIPTION", "Begin Board Description", KW_BEGIN_BOARD_DESCRIPTION, 30, kGroupBoard, S,
     KW_END_BOARD_DESCRIPTION, N},
    {"MANUFACTURER", "Manufacturer", KW_EBD_MANUFACTURER, 30, kGroupBoard, R, N, KW_BEGIN_BOARD_DESCRIPTION},
    {"NUMBER_OF_PINS", "Number Of Pins", KW_EBD_NUMBER_OF_PINS, 30, kGroupBoard, R, N, KW_BEGIN_BOARD_DESCRIPTION},
    {"PIN_LIST", "Pin List", KW_PIN_LIST, 30, kGroupBoard, 0, N, KW_BEGIN_BOARD_DESCRIPTION},
    {"PATH_DESCRIPTION", "Path Description", KW_PATH_DESCRIPTION, 30, kGroupBoard, 0, N, KW_BEGIN_BOARD_DESCRIPTION},
    {"REFERENCE_DESIGNATOR_MAP", "Reference Designator Map", KW_REFERENCE_DESIGNATOR_MAP, 30, kGroupBoard, 0,
     N, KW_BEGIN_BOARD_DESCRIPTION},
    {"END_BOARD_DESCRIPTION", "End Board Description", KW_END_BOARD_DESCRIPTION, 30, kGroupBoard, 0, N, N},
    // Model selectors and submodels
    {"MODEL_SELECTOR", "Model Selector", KW_MODEL_SELECTOR, 30, kGroupSelector, S, N, N},
    {"SUBMODEL", "Submodel", KW_SUBMODEL, 30, kGroupSubmodel, S, N, N},
    {"SUBMODEL_SPEC", "Submodel Spec", KW_SUBMODEL_SPEC, 30, kGroupSubmodel, 0, N, N},
    {"GND_PULSE_TABLE", "GND Pulse Table", KW_GND_PULSE_TABLE, 30, kGroupSubmodel, 0, N, N},
    {"POWER_PULSE_TABLE", "POWER Pulse Table", KW_POWER_PULSE_TABLE, 30, kGroupSubmodel, 0, N, N},
    {"PULLDOWN", "Pulldown", KW_SUB_PULLDOWN, 30, kGroupSubmodel, R, N, N},
    {"PULLUP", "Pullup", KW_SUB_PULLUP, 30, kGroupSubmodel, R, N, N},
    {"GND_CLAMP", "GND Clamp", KW_SUB_GND_CLAMP, 30, kGroupSubmodel, R, N, N},
    {"POWER_CLAMP", "POWER Clamp", KW_SUB_POWER_CLAMP, 30, kGroupSubmodel, R, N, N},
    {"RAMP", "Ramp", KW_SUB_RAMP, 30, kGroupSubmodel, R, N, N},
    {"RISING_WAVEFORM", "Rising Waveform", KW_SUB_RISING_WAVEFORM, 30, kGroupSubmodel, R, N, N},
    {"FALLING_WAVEFORM", "Falling Waveform", KW_SUB_FALLING_WAVEFORM, 30, kGroupSubmodel, R, N, N},
    {"INITIAL_DELAY", "Initial Delay", KW_SUB_INITIAL_DELAY, 61, kGroupSubmodel, R, N, N},
    // Test data and loads
    {"TEST_DATA", "Test Data", KW_TEST_DATA, 40, kGroupTestData, S, N, N},
    {"RISING_WAVEFORM_NEAR", "Rising Waveform Near", KW_RISING_WAVEFORM_NEAR, 40, kGroupTestData, 0, N, N},
    {"RISING_WAVEFORM_FAR", "Rising Waveform Far", KW_RISING_WAVEFORM_FAR, 40, kGroupTestData, 0, N, N},
    {"FALLING_WAVEFORM_NEAR", "Falling Waveform Near", KW_FALLING_WAVEFORM_NEAR, 40, kGroupTestData, 0, N, N},
    {"FALLING_WAVEFORM_FAR", "Falling Waveform Far", KW_FALLING_WAVEFORM_FAR, 40, kGroupTestData, 0, N, N},
    {"DIFF_RISING_WAVEFORM_NEAR", "Diff Rising Waveform Near", KW_DIFF_RISING_WAVEFORM_NEAR, 40,
     kGroupTestData, 0, N, N},
    {"DIFF_RISING_WAVEFORM_FAR", "Diff Rising Waveform Far", KW_DIFF_RISING_WAVEFORM_FAR, 40, kGroupTestData,
     0, N, N},
    {"DIFF_FALLING_WAVEFORM_NEAR", "Diff Falling Waveform Near", KW_DIFF_FALLING_WAVEFORM_NEAR, 40,
     kGroupTestData, 0, N, N},
    {"DIFF_FALLING_WAVEFORM_FAR", "Diff Falling Waveform Far", KW_DIFF_FALLING_WAVEFORM_FAR, 40,
     kGroupTestData, 0, N, N},
    {"TEST_LOAD", "Test Load", KW_TEST_LOAD, 40, kGroupTestLoad, S, N, N},
    // Interconnect models of IBIS 7.0: sets of models, and groups of sets
    {"INTERCONNECT_MODEL_SET", "Interconnect Model Set", KW_INTERCONNECT_MODEL_SET, 70, kGroupInterconnect, S,
     KW_END_INTERCONNECT_MODEL_SET, N},
    {"END_INTERCONNECT_MODEL_SET", "End Interconnect Model Set", KW_END_INTERCONNECT_MODEL_SET, 70,
     kGroupInterconnect, 0, N, N},
    {"INTERCONNECT_MODEL", "Interconnect Model", KW_INTERCONNECT_MODEL, 70, kGroupInterconnect, 0,
     KW_END_INTERCONNECT_MODEL, KW_INTERCONNECT_MODEL_SET},
    {"END_INTERCONNECT_MODEL", "End Interconnect Model", KW_END_INTERCONNECT_MODEL, 70, kGroupInterconnect, 0, N, N},
    {"INTERCONNECT_MODEL_GROUP", "Interconnect Model Group", KW_INTERCONNECT_MODEL_GROUP, 70,
     kGroupInterconnect, S, KW_END_INTERCONNECT_MODEL_GROUP, N},
    {"END_INTERCONNECT_MODEL_GROUP", "End Interconnect Model Group", KW_END_INTERCONNECT_MODEL_GROUP, 70,
     kGroupInterconnect, 0, N, N},
    {"END", "End", KW_END, 11, kGroupNone, 0, N, N},
};

constexpr std::size_t kRowCount = sizeof kRows / sizeof kRows[0];

// The rows by code, built once from the table.
const std::vector<const KeywordInfo*>& ByCode() {
    static const std::vector<const KeywordInfo*> rows = [] {
        std::vector<const KeywordInfo*> v(KW_CODE_COUNT, nullptr);
        for (const Row& r : kRows) v[static_cast<std::size_t>(r.code)] = &r;
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
    return ByCode()[static_cast<std::size_t>(code)];
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
    // Every version's table, built once (and so safely on any thread).
    static const std::vector<std::vector<KeywordRow>> tables = [] {
        std::vector<std::vector<KeywordRow>> all(kNewestIbisVersion + 1);
        for (int v = 0; v <= kNewestIbisVersion; ++v) {
            std::vector<KeywordRow>& table = all[static_cast<std::size_t>(v)];
            for (const Row& r : kRows)
                if (!(r.flags & kRefinedOnly) && r.introduced <= v) table.push_back({r.name, r.code});
            table.push_back({"NOT_KEY", NOT_KEY});
        }
        return all;
    }();
    int code = version;
    if (version < 10) {  // a major number: its newest minor
        code = 0;
        for (int v : kIbisVersions)
            if (v / 10 <= version) code = v;
        if (code == 0) code = kIbisVersions[0];
    }
    if (code > kNewestIbisVersion) code = kNewestIbisVersion;
    return tables[static_cast<std::size_t>(code)].data();
}

void ReportSectionEndMissing(const char* endKeyword, const char* section, int sectionLine) {
    ReportErrorAtLine(MSG_SECTION_END_MISSING, endKeyword, section, sectionLine);
}

void ReportSectionEndOrphan(const char* endKeyword) { ReportErrorAtLine(MSG_SECTION_END_ORPHAN, endKeyword); }
