#include "IbisParser/text/columns.h"

#include <string>
#include <string_view>
#include <vector>

#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/words.h"

namespace {

// A minimum above the maximum is a swap of the two columns.
void CheckMinimumBelowMaximum(const char* owner, const TypMinMaxRow& row) {
    if (row.MinimumAboveMaximum())
        ReportWarningAtLine(MSG_COLUMNS_SWAPPED, owner, std::string(row.Minimum().text).c_str(),
                            std::string(row.Maximum().text).c_str());
}

// The three columns of a keyword line, reported as `CheckColumns` tells.
bool ReportColumns(const char* keyword, const TypMinMaxRow& row) {
    if (row.count != 3) {
        ReportErrorAtLine(MSG_COLUMNS_EXPECTED, keyword, static_cast<int>(row.count));
        return false;
    }
    bool sound = true;
    for (std::size_t i = 0; i < 3; ++i) {
        const ColumnRead& c = row.column[i];
        ReportLeniency(c, kTypMinMaxNames[i], keyword);
        if (c.kind == ColumnKind::kNumber || (c.kind == ColumnKind::kNA && i > 0)) continue;
        if (c.kind == ColumnKind::kNA)
            ReportErrorAtLine(MSG_TABLE_NA_NOT_ALLOWED, kTypMinMaxNames[i], keyword);
        else
            ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, std::string(c.text).c_str(), kTypMinMaxNames[i], keyword);
        sound = false;
    }
    return sound;
}

}  // namespace

bool CheckColumns(const char* keyword, const char* text) { return ReportColumns(keyword, ReadTypMinMaxRow(text)); }

void CheckColumnsInOrder(const char* keyword, const char* text, bool ordered) {
    const TypMinMaxRow row = ReadTypMinMaxRow(text);
    if (!ReportColumns(keyword, row)) return;
    // The typical value below both others or above both is worth a look (3903).
    if (row.TypicalOutside()) ReportWarningAtLine(MSG_RNG_TYPICAL_NOT_BETWEEN);
    if (ordered) CheckMinimumBelowMaximum(keyword, row);
}

void CheckRowMinimumBelowMaximum(const char* owner, const TypMinMaxRow& row) {
    for (const ColumnRead& c : row.column)
        if (c.kind != ColumnKind::kNA && c.kind != ColumnKind::kNumber) return;
    CheckMinimumBelowMaximum(owner, row);
}

void CheckSubParameterColumns(const char* keyword, const char* line, bool ordered) {
    const std::vector<std::string_view> w = Words(line);
    if (w.empty()) return;
    const std::string name(w[0]);
    if (w.size() != 4) {
        ReportErrorAtLine(MSG_COLUMNS_EXPECTED, keyword, static_cast<int>(w.size()) - 1);
        return;
    }
    const TypMinMaxRow row = ReadTypMinMaxRow(w, 1);
    bool sound = true;
    for (std::size_t i = 0; i < 3; ++i) {
        const ColumnRead& c = row.column[i];
        ReportLeniency(c, kTypMinMaxNames[i], keyword);
        if (c.kind != ColumnKind::kNotNumber) continue;
        sound = false;
        const std::string column = name + " " + kTypMinMaxNames[i];
        ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, std::string(c.text).c_str(), column.c_str(), keyword);
    }
    if (sound && ordered) CheckMinimumBelowMaximum(name.c_str(), row);
}
