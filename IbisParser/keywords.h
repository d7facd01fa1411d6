// IBIS keyword codes, the IBIS versions, and the one keyword table from which
// the frame learns everything about a keyword: its name, the version that
// introduced it, its group, the section it opens or must stand in, and the
// handler that reads its lines. Adding a keyword is adding a row.
#pragma once

#include <cstdint>

#include "IbisParser/frame.h"

enum IbisKeyword : std::int32_t {
    KW_IBIS_VER = 0, KW_COMMENT_CHAR, KW_FILE_NAME, KW_FILE_REV, KW_DATE, KW_SOURCE, KW_NOTES, KW_DISCLAIMER,
    KW_COPYRIGHT, KW_COMPONENT, KW_MANUFACTURER, KW_PACKAGE, KW_PIN, KW_PACKAGE_MODEL, KW_PIN_MAPPING,
    KW_DIFF_PIN, KW_SERIES_SWITCH_GROUPS, KW_SERIES_PIN_MAPPING, KW_ALTERNATE_PACKAGE_MODELS,
    KW_END_ALTERNATE_PACKAGE_MODELS, KW_NODE_DECLARATIONS, KW_END_NODE_DECLARATIONS, KW_CIRCUIT_CALL,
    KW_END_CIRCUIT_CALL, KW_EXTERNAL_CIRCUIT, KW_END_EXTERNAL_CIRCUIT, KW_BEGIN_EMI_COMPONENT,
    KW_END_EMI_COMPONENT, KW_PIN_EMI, KW_PIN_DOMAIN_EMI, KW_EXTERNAL_MODEL, KW_END_EXTERNAL_MODEL, KW_MODEL,
    KW_TEMPERATURE_RANGE, KW_VOLTAGE_RANGE, KW_PULLUP_REFERENCE, KW_PULLDOWN_REFERENCE,
    KW_POWER_CLAMP_REFERENCE, KW_GND_CLAMP_REFERENCE, KW_EXTERNAL_REFERENCE, KW_PULLDOWN, KW_PULLUP,
    KW_GND_CLAMP, KW_POWER_CLAMP, KW_RGND, KW_RPOWER, KW_RAC, KW_CAC, KW_RAMP, KW_RISING_WAVEFORM,
    KW_FALLING_WAVEFORM, KW_TTGND, KW_TTPOWER, KW_MODEL_SPEC, KW_RECEIVER_THRESHOLDS, KW_DRIVER_SCHEDULE,
    KW_ON, KW_OFF, KW_R_SERIES, KW_L_SERIES, KW_RL_SERIES, KW_C_SERIES, KW_LC_SERIES, KW_RC_SERIES,
    KW_SERIES_CURRENT, KW_SERIES_MOSFET, KW_ADD_SUBMODEL, KW_ALGORITHMIC_MODEL, KW_END_ALGORITHMIC_MODEL,
    KW_ISSO_PD, KW_ISSO_PU, KW_COMPOSITE_CURRENT, KW_BEGIN_EMI_MODEL, KW_END_EMI_MODEL,
    KW_DEFINE_PACKAGE_MODEL, KW_PKG_MANUFACTURER, KW_OEM, KW_DESCRIPTION, KW_NUMBER_OF_PINS, KW_PIN_NUMBERS,
    KW_MODEL_DATA, KW_RESISTANCE_MATRIX, KW_INDUCTANCE_MATRIX, KW_CAPACITANCE_MATRIX, KW_BANDWIDTH, KW_ROW,
    KW_END_MODEL_DATA, KW_END_PACKAGE_MODEL, KW_NUMBER_OF_SECTIONS, KW_BEGIN_BOARD_DESCRIPTION,
    KW_EBD_MANUFACTURER, KW_EBD_NUMBER_OF_PINS, KW_PIN_LIST, KW_PATH_DESCRIPTION, KW_REFERENCE_DESIGNATOR_MAP,
    KW_END_BOARD_DESCRIPTION, KW_MODEL_SELECTOR, KW_SUBMODEL, KW_SUBMODEL_SPEC, KW_GND_PULSE_TABLE,
    KW_POWER_PULSE_TABLE, KW_SUB_PULLDOWN, KW_SUB_PULLUP, KW_SUB_GND_CLAMP, KW_SUB_POWER_CLAMP, KW_SUB_RAMP,
    KW_SUB_RISING_WAVEFORM, KW_SUB_FALLING_WAVEFORM, KW_TEST_DATA, KW_RISING_WAVEFORM_NEAR,
    KW_RISING_WAVEFORM_FAR, KW_FALLING_WAVEFORM_NEAR, KW_FALLING_WAVEFORM_FAR, KW_DIFF_RISING_WAVEFORM_NEAR,
    KW_DIFF_RISING_WAVEFORM_FAR, KW_DIFF_FALLING_WAVEFORM_NEAR, KW_DIFF_FALLING_WAVEFORM_FAR, KW_TEST_LOAD,
    KW_END, NOT_KEY,
    // Keywords of IBIS 6.0 and later (codes after NOT_KEY keep the older ones fixed).
    KW_REPEATER_PIN, KW_BUS_LABEL, KW_END_BUS_LABEL, KW_DIE_SUPPLY_PADS, KW_END_DIE_SUPPLY_PADS,
    KW_INTERCONNECT_MODEL_SET, KW_END_INTERCONNECT_MODEL_SET, KW_INTERCONNECT_MODEL, KW_END_INTERCONNECT_MODEL,
    KW_INTERCONNECT_MODEL_GROUP, KW_END_INTERCONNECT_MODEL_GROUP, KW_CLOCK_PINS,
    KW_C_COMP_CORNER, KW_INITIAL_DELAY, KW_SUB_INITIAL_DELAY, KW_MERGED_PINS, KW_C_COMP_MODEL, KW_END_C_COMP_MODEL,
    KW_CODE_COUNT,
};

// The groups of an IBIS file. A group opens with its first keyword and closes
// when a keyword of another group (or a group's first keyword) arrives.
enum KeywordGroup : int {
    kGroupNone, kGroupHeader, kGroupComponent, kGroupModel, kGroupPackageModel, kGroupBoard, kGroupSelector,
    kGroupSubmodel, kGroupTestData, kGroupTestLoad, kGroupCircuit, kGroupInterconnect, kGroupEnd,
};

// One line of the current keyword as the frame hands it to a handler.
struct KeywordLine {
    int lineClass;      // kLineKeyword or kLineData
    std::int32_t code;  // the current keyword
    const char* line;   // cut at the comment character, trailing blanks removed
};
using KeywordHandler = void (*)(const KeywordLine&);

enum KeywordFlags : unsigned {
    kStartsGroup = 1u,  // opens its group even inside an open one of the same kind
    kRefinedOnly = 2u,  // a code that context gives a name, never matched by name alone
    kIbsOnly = 4u,      // error 911 in a file of another kind
};

struct KeywordInfo {
    const char* name;         // upper case, blanks as underscores
    const char* display;      // as the IBIS standard writes it, for messages
    std::int32_t code;
    int introduced;           // the IBIS version that introduced it
    KeywordGroup group;
    unsigned flags;
    std::int32_t endCode;     // the keyword that ends the section it opens (NOT_KEY: none)
    std::int32_t insideOf;    // the section it may stand in only (NOT_KEY: anywhere in its group)
    std::int32_t endMissing;  // message when its section is left without its end keyword
    std::int32_t endOrphan;   // message for its end keyword without the section
    KeywordHandler handler;   // reads its keyword and data lines (null: accepted unchecked)
};

// The row of a code (null when the table lacks it).
const KeywordInfo* KeywordInfoOf(std::int32_t code);
// The row of a keyword name (blanks as underscores, any case), also rows newer
// than any version; refined-only rows never match.
const KeywordInfo* FindKeyword(const char* name);
// The first keyword of a group, for messages ("Model" for kGroupModel).
const char* GroupStartName(KeywordGroup group);
// The row whose section a code ends (null when it ends none).
const KeywordInfo* SectionEndedBy(std::int32_t code);

struct KeywordRow {
    const char* name;  // upper case, blanks as underscores
    std::int32_t code;
};

// The keywords of one IBIS version, ending with the NOT_KEY row. The version
// is a major number (its newest minor: 4 is IBIS 4.2) or a version code (41).
const KeywordRow* KeywordTableFor(int version);
