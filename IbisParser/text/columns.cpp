#include "IbisParser/text/columns.h"

#include <string>
#include <vector>

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/values.h"
#include "IbisParser/text/words.h"

namespace {

const char* const kColumnNames[] = {"typical", "minimum", "maximum"};

// The minimum and maximum of a line, both numbers: a minimum above the maximum
// is a swap of the two columns.
void CheckMinimumBelowMaximum(const char* owner, std::string_view minimum, std::string_view maximum) {
    double low = 0, high = 0;
    if (ReadNumber(minimum, &low) && ReadNumber(maximum, &high) && low > high)
        ReportWarningAtLine(MSG_COLUMNS_SWAPPED, owner, std::string(minimum).c_str(), std::string(maximum).c_str());
}

// Typical, minimum and maximum all numbers: the typical value below both
// others or above both is worth a look (3903).
void CheckTypicalBetween(std::string_view typical, std::string_view minimum, std::string_view maximum) {
    double typ = 0, min = 0, max = 0;
    if (!ReadNumber(typical, &typ) || !ReadNumber(minimum, &min) || !ReadNumber(maximum, &max)) return;
    if ((typ < min && typ < max) || (typ > min && typ > max)) ReportWarningAtLine(MSG_RNG_TYPICAL_NOT_BETWEEN);
}

}  // namespace

bool CheckColumns(const char* keyword, const char* text) {
    const std::vector<std::string_view> w = Words(text);
    if (w.size() != 3) {
        ReportErrorAtLine(MSG_COLUMNS_EXPECTED, keyword, static_cast<int>(w.size()));
        return false;
    }
    bool sound = true;
    for (std::size_t i = 0; i < 3; ++i) {
        double value = 0;
        if (ReadColumnNumber(w[i], kColumnNames[i], keyword, &value)) continue;
        const std::string item(w[i]);
        if (SameIgnoringCase(item, "NA")) {
            if (i > 0) continue;
            ReportErrorAtLine(MSG_TABLE_NA_NOT_ALLOWED, kColumnNames[i], keyword);
        } else {
            ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, item.c_str(), kColumnNames[i], keyword);
        }
        sound = false;
    }
    return sound;
}

void CheckColumnsInOrder(const char* keyword, const char* text, bool ordered) {
    if (!CheckColumns(keyword, text)) return;
    const std::vector<std::string_view> w = Words(text);
    CheckTypicalBetween(w[0], w[1], w[2]);
    if (ordered) CheckMinimumBelowMaximum(keyword, w[1], w[2]);
}

void CheckRowMinimumBelowMaximum(const char* owner, std::string_view typical, std::string_view minimum,
                                 std::string_view maximum) {
    for (std::string_view column : {typical, minimum, maximum})
        if (!SameIgnoringCase(column, "NA") && !IsNumber(column)) return;
    CheckMinimumBelowMaximum(owner, minimum, maximum);
}

void CheckSubParameterColumns(const char* keyword, const char* line, bool ordered) {
    const std::vector<std::string_view> w = Words(line);
    if (w.empty()) return;
    const std::string name(w[0]);
    if (w.size() != 4) {
        ReportErrorAtLine(MSG_COLUMNS_EXPECTED, keyword, static_cast<int>(w.size()) - 1);
        return;
    }
    bool sound = true;
    for (std::size_t i = 1; i < 4; ++i) {
        if (SameIgnoringCase(w[i], "NA")) continue;
        double value = 0;
        if (ReadColumnNumber(w[i], kColumnNames[i - 1], keyword, &value)) continue;
        sound = false;
        const std::string column = name + " " + kColumnNames[i - 1];
        ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, std::string(w[i]).c_str(), column.c_str(), keyword);
    }
    if (sound && ordered) CheckMinimumBelowMaximum(name.c_str(), w[2], w[3]);
}
