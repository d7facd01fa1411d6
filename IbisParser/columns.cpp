#include "IbisParser/columns.h"

#include <string>
#include <vector>

#include "IbisParser/cmn.h"
#include "IbisParser/messages.h"
#include "IbisParser/report.h"
#include "IbisParser/values.h"
#include "IbisParser/words.h"

namespace {

const char* const kColumnNames[] = {"typical", "minimum", "maximum"};

// The minimum and maximum of a line, both numbers: a minimum above the maximum
// is a swap of the two columns.
void CheckMinimumBelowMaximum(const char* owner, std::string_view minimum, std::string_view maximum) {
    double low = 0, high = 0;
    const std::string lowText(minimum), highText(maximum);
    if (ReadStrictNumber(lowText.c_str(), &low) && ReadStrictNumber(highText.c_str(), &high) && low > high)
        ReportWarningAtLine(MSG_COLUMNS_SWAPPED, owner, lowText.c_str(), highText.c_str());
}

// Whether a value of a line that a lenient reader also reads is a fault the strict
// reading alone finds: what the lenient reader rejects, it reports itself.
bool StrictFault(const std::string& text, bool readLeniently) {
    if (IsStrictNumber(text.c_str())) return false;
    double ignored = 0;
    return !readLeniently || ReadScaledNumber(text.c_str(), &ignored) != 0;
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
        const std::string item(w[i]);
        if (IsStrictNumber(item.c_str())) continue;
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
    TypMinMax* record = nullptr;
    ReadTypMinMax(text, keyword, &record);
    CheckFree(&record);
    if (!ordered) return;
    const std::vector<std::string_view> w = Words(text);
    CheckMinimumBelowMaximum(keyword, w[1], w[2]);
}

void CheckSubParameterColumns(const char* keyword, const char* line, bool readLeniently, bool ordered) {
    const std::vector<std::string_view> w = Words(line);
    if (w.empty()) return;
    const std::string name(w[0]);
    if (w.size() != 4) {
        if (!readLeniently) ReportErrorAtLine(MSG_COLUMNS_EXPECTED, keyword, static_cast<int>(w.size()) - 1);
        return;
    }
    bool sound = true;
    for (std::size_t i = 1; i < 4; ++i) {
        const std::string item(w[i]);
        if (SameIgnoringCase(item, "NA") || IsStrictNumber(item.c_str())) continue;
        sound = false;
        if (!StrictFault(item, readLeniently)) continue;
        const std::string column = name + " " + kColumnNames[i - 1];
        ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, item.c_str(), column.c_str(), keyword);
    }
    if (sound && ordered) CheckMinimumBelowMaximum(name.c_str(), w[2], w[3]);
}

void CheckRampColumns(const char* line) {
    const std::vector<std::string_view> w = Words(line);
    if (w.empty()) return;
    const std::string name(w[0]);
    if (name == "R_load" || name.rfind("R_load=", 0) == 0) {
        // "R_load = 50", "R_load=50" or "R_load 50": the one value after the name.
        const std::size_t at = std::string_view(line).find("R_load") + 6;
        std::vector<std::string_view> value = Words(line + at);
        if (!value.empty() && value[0].front() == '=') value[0].remove_prefix(1);
        if (!value.empty() && value[0].empty()) value.erase(value.begin());
        if (value.size() != 1) return;  // the lenient reader reports the count
        const std::string text(value[0]);
        if (StrictFault(text, true)) ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, text.c_str(), "R_load", "Ramp");
        return;
    }
    if (name != "dV/dt_r" && name != "dV/dt_f") return;
    if (w.size() != 4) return;  // counted by the lenient reader
    for (std::size_t i = 1; i < 4; ++i) {
        const std::string item(w[i]);
        if (SameIgnoringCase(item, "NA")) continue;
        const std::size_t slash = item.find('/');
        if (slash == std::string::npos) continue;  // no ratio: the lenient reader says so
        const bool fault = StrictFault(item.substr(0, slash), true) || StrictFault(item.substr(slash + 1), true);
        const std::string column = name + " " + kColumnNames[i - 1];
        if (fault) ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, item.c_str(), column.c_str(), "Ramp");
    }
}
