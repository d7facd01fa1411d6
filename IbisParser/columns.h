// Lines with typical, minimum and maximum columns, read strictly (each column a
// number or NA) and checked for the order of their values.
#pragma once

#include <string_view>

// A keyword line's three columns: numbers or NA, the typical one a number
// (5027, 5043, 5045). Whether they are sound.
bool CheckColumns(const char* keyword, const char* text);
// Sound columns whose typical value must lie between the others (3903) and,
// when `ordered`, whose minimum must not exceed the maximum (a warning).
void CheckColumnsInOrder(const char* keyword, const char* text, bool ordered);
// A sub-parameter line "name typical minimum maximum" ([Package], [Model Spec],
// [Submodel Spec]): each column a number or NA (5043). `readLeniently`: the
// keyword's own reader has counted the columns and reported the values it could
// not read, so only what it took leniently ("0.30hm" as 0.3) is reported here.
// `ordered`: the minimum must not exceed the maximum.
void CheckSubParameterColumns(const char* keyword, const char* line, bool readLeniently, bool ordered);
// A [Ramp] data line read strictly: dV/dt ratios of two numbers (or NA) and the
// R_load value, reporting what the lenient reader of [Ramp] took but should not.
void CheckRampColumns(const char* line);
