// Lines with typical, minimum and maximum columns (each column a number or NA),
// checked for the order of their values.
#pragma once

#include "IbisParser/text/typminmax.h"

// A keyword line's three columns: numbers or NA, the typical one a number
// (5027, 5043, 5045). Whether they are sound.
bool CheckColumns(const char* keyword, const char* text);
// Sound columns whose typical value must lie between the others (3903) and,
// when `ordered`, whose minimum must not exceed the maximum (a warning).
void CheckColumnsInOrder(const char* keyword, const char* text, bool ordered);
// A sub-parameter line "name typical minimum maximum" ([Model Spec], [Submodel
// Spec]): each column a number or NA (5043). `ordered`: the minimum must not
// exceed the maximum.
void CheckSubParameterColumns(const char* keyword, const char* line, bool ordered);
// The columns of a row whose reader has reported what is no number ([Package]):
// when each is a number or NA, a minimum above the maximum is a warning that
// names `owner`.
void CheckRowMinimumBelowMaximum(const char* owner, const TypMinMaxRow& row);
