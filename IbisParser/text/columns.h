// Lines with typical, minimum and maximum columns (each column a number or NA),
// checked for the order of their values.
#pragma once

#include <string_view>

// A keyword line's three columns: numbers or NA, the typical one a number
// (5027, 5043, 5045). Whether they are sound.
bool CheckColumns(const char* keyword, const char* text);
// Sound columns whose typical value must lie between the others (3903) and,
// when `ordered`, whose minimum must not exceed the maximum (a warning).
void CheckColumnsInOrder(const char* keyword, const char* text, bool ordered);
// A sub-parameter line "name typical minimum maximum" ([Package], [Model Spec],
// [Submodel Spec]): each column a number or NA (5043). `numbersReported`: the
// keyword's own reader has counted the columns and reported what is no number,
// so only the order is left. `ordered`: the minimum must not exceed the maximum.
void CheckSubParameterColumns(const char* keyword, const char* line, bool numbersReported, bool ordered);
