#include "IbisParser/keywords.h"

namespace {

#define ROW(name) {#name, KW_##name}

// IBIS 2.1: header, component, package, pins, models, package models.
#define IBIS21_ROWS                                                                                           \
    ROW(IBIS_VER), ROW(COMMENT_CHAR), ROW(FILE_NAME), ROW(FILE_REV), ROW(DATE), ROW(SOURCE), ROW(NOTES),      \
        ROW(DISCLAIMER), ROW(COPYRIGHT), ROW(COMPONENT), ROW(MANUFACTURER), ROW(PACKAGE), ROW(PIN),           \
        ROW(PACKAGE_MODEL), ROW(PIN_MAPPING), ROW(DIFF_PIN), ROW(MODEL), ROW(TEMPERATURE_RANGE),              \
        ROW(VOLTAGE_RANGE), ROW(PULLUP_REFERENCE), ROW(PULLDOWN_REFERENCE), ROW(POWER_CLAMP_REFERENCE),       \
        ROW(GND_CLAMP_REFERENCE), ROW(PULLDOWN), ROW(PULLUP), ROW(GND_CLAMP), ROW(POWER_CLAMP), ROW(RGND),    \
        ROW(RPOWER), ROW(RAC), ROW(CAC), ROW(RAMP), ROW(RISING_WAVEFORM), ROW(FALLING_WAVEFORM),              \
        ROW(DEFINE_PACKAGE_MODEL), ROW(OEM), ROW(DESCRIPTION), ROW(NUMBER_OF_PINS), ROW(PIN_NUMBERS),         \
        ROW(MODEL_DATA), ROW(RESISTANCE_MATRIX), ROW(INDUCTANCE_MATRIX), ROW(CAPACITANCE_MATRIX),             \
        ROW(BANDWIDTH), ROW(ROW), ROW(END_MODEL_DATA), ROW(END_PACKAGE_MODEL), ROW(NUMBER_OF_SECTIONS),       \
        ROW(END)

// IBIS 3.2 adds series elements, model selectors, model specs, terminations,
// driver schedules, submodels and electrical board descriptions.
#define IBIS32_ROWS                                                                                           \
    IBIS21_ROWS, ROW(SERIES_SWITCH_GROUPS), ROW(SERIES_PIN_MAPPING), ROW(EXTERNAL_REFERENCE), ROW(TTGND),     \
        ROW(TTPOWER), ROW(MODEL_SPEC), ROW(DRIVER_SCHEDULE), ROW(ON), ROW(OFF), ROW(R_SERIES), ROW(L_SERIES), \
        ROW(RL_SERIES), ROW(C_SERIES), ROW(LC_SERIES), ROW(RC_SERIES), ROW(SERIES_CURRENT),                   \
        ROW(SERIES_MOSFET), ROW(MODEL_SELECTOR), ROW(BEGIN_BOARD_DESCRIPTION), ROW(PIN_LIST),                 \
        ROW(PATH_DESCRIPTION), ROW(REFERENCE_DESIGNATOR_MAP), ROW(END_BOARD_DESCRIPTION), ROW(ADD_SUBMODEL),   \
        ROW(SUBMODEL), ROW(SUBMODEL_SPEC), ROW(GND_PULSE_TABLE), ROW(POWER_PULSE_TABLE)

// IBIS 4.0 to 4.2 add receiver thresholds, test data and loads,
// alternate package models and external models and circuits.
#define IBIS42_ROWS                                                                                           \
    IBIS32_ROWS, ROW(RECEIVER_THRESHOLDS), ROW(TEST_DATA), ROW(RISING_WAVEFORM_NEAR),                        \
        ROW(RISING_WAVEFORM_FAR), ROW(FALLING_WAVEFORM_NEAR), ROW(FALLING_WAVEFORM_FAR),                      \
        ROW(DIFF_RISING_WAVEFORM_NEAR), ROW(DIFF_RISING_WAVEFORM_FAR), ROW(DIFF_FALLING_WAVEFORM_NEAR),       \
        ROW(DIFF_FALLING_WAVEFORM_FAR), ROW(TEST_LOAD), ROW(ALTERNATE_PACKAGE_MODELS),                        \
        ROW(END_ALTERNATE_PACKAGE_MODELS), ROW(NODE_DECLARATIONS), ROW(END_NODE_DECLARATIONS),                \
        ROW(CIRCUIT_CALL), ROW(END_CIRCUIT_CALL), ROW(EXTERNAL_CIRCUIT), ROW(END_EXTERNAL_CIRCUIT),           \
        ROW(EXTERNAL_MODEL), ROW(END_EXTERNAL_MODEL)

// IBIS 5.0 adds algorithmic (AMI) models and power-aware keywords.
#define IBIS50_ROWS                                                                                           \
    IBIS42_ROWS, ROW(ALGORITHMIC_MODEL), ROW(END_ALGORITHMIC_MODEL), ROW(ISSO_PD), ROW(ISSO_PU),              \
        ROW(COMPOSITE_CURRENT)

constexpr KeywordRow kNotKey{"NOT_KEY", NOT_KEY};

const KeywordRow kIbis21[] = {IBIS21_ROWS, kNotKey};
const KeywordRow kIbis32[] = {IBIS32_ROWS, kNotKey};
const KeywordRow kIbis42[] = {IBIS42_ROWS, kNotKey};
const KeywordRow kIbis50[] = {IBIS50_ROWS, kNotKey};

#undef ROW

}  // namespace

const KeywordRow* KeywordTableFor(int version) {
    if (version >= 5) return kIbis50;
    if (version == 4) return kIbis42;
    if (version == 3) return kIbis32;
    return kIbis21;
}
