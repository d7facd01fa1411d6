// The tables of a model or submodel: I-V tables ([Pulldown], [Pullup], the
// clamps, [ISSO PD], [ISSO PU]) and V-T tables ([Rising Waveform], [Falling
// Waveform] with their fixture sub-parameters): column counts, numbers,
// strictly increasing voltages or times, and the typical column.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "IbisParser/engine/check.h"
#include "IbisParser/engine/keywordcodes.h"

// A [Rising Waveform] or [Falling Waveform] of the model being read: its
// fixture and its typical column.
struct Waveform {
    bool rising = false;
    std::uint32_t line = 0;  // of its keyword
    double rFixture = 0, vFixture = 0;
    bool rGiven = false, vGiven = false;
    bool reactive = false;  // L_fixture, C_fixture or a *_dut value other than 0
    std::vector<std::pair<double, double>> typical;  // time, voltage
};

// A model or submodel starts / ends: its tables are checked to their end.
void TablesModelStart(const char* modelName);
void TablesModelEnd();
// A keyword or data line of a table keyword.
void TableLine(const KeywordLine& line);
// The waveforms of the model or submodel read last (kept until the next one starts).
const std::vector<Waveform>& ModelWaveforms();

// The check of the I-V and V-T tables of models and submodels.
extern const KeywordCheck kTablesCheck;
