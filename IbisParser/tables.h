// The tables of a model or submodel: I-V tables ([Pulldown], [Pullup], the
// clamps, [ISSO PD], [ISSO PU]) and V-T tables ([Rising Waveform], [Falling
// Waveform] with their fixture sub-parameters): column counts, numbers,
// strictly increasing voltages or times, and the typical column.
#pragma once

#include "IbisParser/keywords.h"

// A model or submodel starts / ends: its tables are checked to their end.
void TablesModelStart(const char* modelName);
void TablesModelEnd();
// A keyword or data line of a table keyword.
void TableLine(const KeywordLine& line);
