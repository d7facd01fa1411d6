// Keywords whose data lines are named rows of typical, minimum and maximum
// columns: [C Comp Corner] (C_comp and its split, per corner) and [Initial
// Delay] (V-T and I-T delays). Each row names one of the keyword's rows, once,
// and gives three numbers (NA allowed but for the typical column).
#pragma once

#include <cstdint>
#include "IbisParser/engine/check.h"

// A keyword line of one of these keywords: its rows follow.
void NamedRowsStart(std::int32_t code);
// One data line of the keyword read last.
void NamedRowsLine(const char* line);

// The check of [C Comp Corner] and [Initial Delay].
extern const KeywordCheck kNamedRowsCheck;
