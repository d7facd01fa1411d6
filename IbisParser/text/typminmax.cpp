#include "IbisParser/text/typminmax.h"

#include <string>

#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/words.h"

bool TypMinMaxRow::AllNumbers() const {
    for (const ColumnRead& c : column)
        if (c.kind != ColumnKind::kNumber) return false;
    return true;
}

bool TypMinMaxRow::TypicalOutside() const {
    if (!AllNumbers()) return false;
    const double typ = Typical().value, min = Minimum().value, max = Maximum().value;
    return (typ < min && typ < max) || (typ > min && typ > max);
}

bool TypMinMaxRow::MinimumAboveMaximum() const {
    return Minimum().kind == ColumnKind::kNumber && Maximum().kind == ColumnKind::kNumber &&
           Minimum().value > Maximum().value;
}

TypMinMaxRow ReadTypMinMaxRow(const std::vector<std::string_view>& items, std::size_t first) {
    TypMinMaxRow row;
    row.count = items.size() > first ? items.size() - first : 0;
    for (std::size_t i = 0; i < 3 && i < row.count; ++i) row.column[i] = ReadColumn(items[first + i]);
    return row;
}

TypMinMaxRow ReadTypMinMaxRow(std::string_view text) { return ReadTypMinMaxRow(Items(text)); }

namespace {

std::int32_t KindOf(const ColumnRead& c) {
    switch (c.kind) {
        case ColumnKind::kNumber: return kValueNumber;
        case ColumnKind::kNA: return kValueNA;
        default: return kValueAbsent;
    }
}

}  // namespace

bool ReportTypMinMax(const TypMinMaxRow& row, const char* owner, TypMinMax* record) {
    switch (row.count) {
        case 1:
            ReportErrorAtLine(MSG_RNG_NO_VALUE, "minimum", owner);
            ReportErrorAtLine(MSG_RNG_NO_VALUE, "maximum", owner);
            break;
        case 2: ReportErrorAtLine(MSG_RNG_NO_VALUE, "maximum", owner); break;
        case 3: break;
        default: ReportErrorAtLine(MSG_RNG_ITEM_COUNT, static_cast<int>(row.count), owner, 3);
    }
    static const char* const kNames[3] = {"Typical", "Minimum", "Maximum"};
    bool sound = true;
    for (std::size_t i = 0; i < 3; ++i) {
        const ColumnRead& c = row.column[i];
        ReportLeniency(c, kNames[i], owner);
        if (c.kind == ColumnKind::kNotNumber) {
            ReportErrorAtLine(MSG_INVALID_VALUE, kNames[i], std::string(c.text).c_str());
            sound = false;
        }
    }
    if (row.TypicalOutside()) ReportWarningAtLine(MSG_RNG_TYPICAL_NOT_BETWEEN);
    *record = {row.Typical().value, KindOf(row.Typical()), row.Minimum().value, KindOf(row.Minimum()),
               row.Maximum().value, KindOf(row.Maximum())};
    return sound;
}
