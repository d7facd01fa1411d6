// The one reader of typical/minimum/maximum columns: [Package] rows, the
// typ/min/max keyword lines of [Model], [Model Spec] and [Submodel Spec]
// sub-parameters, the I-V and V-T table rows and the [Diff Pin] delays.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "IbisParser/text/values.h"

// A row's typical, minimum and maximum columns, each read by the number rule
// (`ReadColumn`: a number, NA or neither, and the leniency taken).
struct TypMinMaxRow {
    std::size_t count = 0;  // the columns the row holds; only three are read
    ColumnRead column[3];   // typical, minimum, maximum; absent where the row ends early

    const ColumnRead& Typical() const { return column[0]; }
    const ColumnRead& Minimum() const { return column[1]; }
    const ColumnRead& Maximum() const { return column[2]; }
    // Each column a number.
    bool AllNumbers() const;
    // Each column a number, the typical one below both others or above both.
    bool TypicalOutside() const;
    // Minimum and maximum both numbers, the minimum the larger: the columns swapped.
    bool MinimumAboveMaximum() const;
};

// The columns of `items` from `first` on (the items before them are a name, a
// voltage or a time). Reports nothing.
TypMinMaxRow ReadTypMinMaxRow(const std::vector<std::string_view>& items, std::size_t first = 0);
// The columns of a line's text, split into items.
TypMinMaxRow ReadTypMinMaxRow(std::string_view text);

// The names the messages give the columns, in the row's order.
inline const char* const kTypMinMaxNames[3] = {"typical", "minimum", "maximum"};

// Values of a [Package] row as kept for the component: kind per column.
enum ValueKind : std::int32_t { kValueAbsent = 0, kValueNumber = 1, kValueNA = 2 };
struct TypMinMax {
    double typical;
    std::int32_t typicalKind;
    double minimum;
    std::int32_t minimumKind;
    double maximum;
    std::int32_t maximumKind;
};
// A [Package] row's columns reported for `owner` (the sub-parameter): a column
// missing or beyond the third, what is no number (as "Typical", "Minimum",
// "Maximum"), the leniency taken, a typical value outside the others. Whether
// each column present is a number or NA; the values in `record`.
bool ReportTypMinMax(const TypMinMaxRow& row, const char* owner, TypMinMax* record);
