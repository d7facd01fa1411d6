#include "IbisParser/content/pkgmodel.h"

#include <algorithm>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "IbisParser/content/xref.h"
#include "IbisParser/engine/context.h"
#include "IbisParser/engine/keywords.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/reportat.h"
#include "IbisParser/text/values.h"
#include "IbisParser/text/words.h"

namespace {

enum MatrixType { kNoMatrix, kFull, kBanded, kSparse, kDiagonal };

struct PackageModelState {
    bool open = false;
    std::string name;
    std::uint32_t line = 0;
    long declaredPins = -1;
    std::uint32_t declaredLine = 0;
    std::vector<std::string> pins;
    std::unordered_map<std::string, std::size_t> pinIndex;
    std::vector<std::uint32_t> pinLines;
    bool inductance = false, capacitance = false;
    // The matrix being read and its current row.
    const char* matrix = "";
    MatrixType type = kNoMatrix;
    long bandwidth = -1;
    std::uint32_t matrixLine = 0;
    std::vector<bool> rowsGiven;  // per pin of [Pin Numbers], in the matrix being read
    bool rowOpen = false;
    std::size_t rowIndex = 0;
    std::size_t rowValues = 0;
    std::uint32_t rowLine = 0;
    bool rowDiagonal = false;                         // a Sparse_matrix row gave its own pin's term
    std::unordered_set<std::size_t> rowColumns;        // the columns a Sparse_matrix row gave
};

PackageModelState& State() {
    return Context().Slot<PackageModelState>();
}

// A finished Full_matrix or Banded_matrix row: its length.
void EndRow() {
    PackageModelState& s = State();
    if (!s.rowOpen) return;
    s.rowOpen = false;
    const std::size_t n = s.pins.size();
    if (s.type == kFull && s.rowValues != n - s.rowIndex)
        ReportErrorAt(s.rowLine, MSG_PKG_ROW_LENGTH, s.matrix, s.pins[s.rowIndex].c_str(),
                      static_cast<int>(n - s.rowIndex), static_cast<int>(s.rowValues));
    if (s.type == kBanded && s.bandwidth >= 0 && s.rowValues > static_cast<std::size_t>(s.bandwidth) + 1)
        ReportErrorAt(s.rowLine, MSG_PKG_ROW_BAND, s.matrix, s.pins[s.rowIndex].c_str(),
                      static_cast<int>(s.rowValues), static_cast<int>(s.bandwidth));
    // A band row holds its diagonal and the band to its right; only the last
    // rows, where the matrix ends, hold fewer.
    if (s.type == kBanded && s.bandwidth >= 0) {
        const std::size_t needed = std::min(static_cast<std::size_t>(s.bandwidth) + 1, n - s.rowIndex);
        if (s.rowValues < needed)
            ReportErrorAt(s.rowLine, MSG_PKG_ROW_SHORT, s.matrix, s.pins[s.rowIndex].c_str(),
                          static_cast<int>(needed), static_cast<int>(s.bandwidth), static_cast<int>(s.rowValues));
    }
    if (s.type == kSparse && !s.rowDiagonal)
        ReportErrorAt(s.rowLine, MSG_PKG_SPARSE_DIAGONAL, s.matrix, s.pins[s.rowIndex].c_str());
}

// A matrix ends: every pin has its row.
void EndMatrix() {
    PackageModelState& s = State();
    EndRow();
    if (s.type != kNoMatrix)
        for (std::size_t i = 0; i < s.rowsGiven.size(); ++i)
            if (!s.rowsGiven[i])
                ReportErrorAt(s.matrixLine, MSG_PKG_ROW_MISSING, s.matrix, s.name.c_str(), s.pins[i].c_str());
    s.type = kNoMatrix;
    s.rowsGiven.clear();
}

void MatrixKeyword(std::int32_t code, const char* line) {
    PackageModelState& s = State();
    EndMatrix();
    s.matrixLine = CurrentLine();
    s.rowsGiven.assign(s.pins.size(), false);
    if (code == KW_INDUCTANCE_MATRIX) s.inductance = true;
    if (code == KW_CAPACITANCE_MATRIX) s.capacitance = true;
    s.matrix = KeywordInfoOf(code)->display;
    s.bandwidth = -1;
    const std::string_view type = AfterKeyword(line);
    s.type = SameIgnoringCase(type, "Full_matrix")       ? kFull
             : SameIgnoringCase(type, "Banded_matrix")   ? kBanded
             : SameIgnoringCase(type, "Sparse_matrix")   ? kSparse
             : SameIgnoringCase(type, "Diagonal_matrix") ? kDiagonal
                                                         : kNoMatrix;
    if (s.type == kNoMatrix) ReportErrorAtLine(MSG_PKG_MATRIX_TYPE, std::string(type).c_str(), s.matrix);
}

void RowKeyword(const char* line) {
    PackageModelState& s = State();
    EndRow();
    const std::string name(AfterKeyword(line));
    const auto at = s.pinIndex.find(name);
    if (at == s.pinIndex.end()) {
        ReportErrorAtLine(MSG_PKG_ROW_PIN, name.c_str(), s.name.c_str());
        return;
    }
    if (s.type == kBanded && s.bandwidth < 0) ReportErrorAtLine(MSG_PKG_NO_BANDWIDTH, s.matrix);
    s.rowOpen = s.type == kFull || s.type == kBanded || s.type == kSparse || s.type == kDiagonal;
    if (s.rowOpen && at->second < s.rowsGiven.size()) {
        if (s.rowsGiven[at->second]) ReportErrorAtLine(MSG_ITEM_GIVEN_TWICE, s.matrix, ("[Row] " + name).c_str());
        s.rowsGiven[at->second] = true;
    }
    s.rowIndex = at->second;
    s.rowValues = 0;
    s.rowLine = CurrentLine();
    s.rowDiagonal = false;
    s.rowColumns.clear();
}

// The values of a row: numbers; the first one of a row is its diagonal term.
void RowData(const char* line) {
    PackageModelState& s = State();
    if (!s.rowOpen) return;
    const std::vector<std::string_view> w = Words(line);
    const bool sparse = s.type == kSparse;
    for (std::size_t i = 0; i < w.size(); ++i) {
        if (sparse && i % 2 == 0) {  // pin value pairs, the pins from the row's own on
            const std::string column(w[i]);
            const auto at = s.pinIndex.find(column);
            if (at == s.pinIndex.end())
                ReportErrorAtLine(MSG_PKG_ROW_PIN, column.c_str(), s.name.c_str());
            else if (at->second < s.rowIndex)
                ReportErrorAtLine(MSG_PKG_SPARSE_LOWER, s.matrix, s.pins[s.rowIndex].c_str(), column.c_str());
            else if (!s.rowColumns.insert(at->second).second)
                ReportErrorAtLine(MSG_ITEM_GIVEN_TWICE, s.matrix, ("row " + s.pins[s.rowIndex] + " column " + column).c_str());
            if (at != s.pinIndex.end() && at->second == s.rowIndex) s.rowDiagonal = true;
            continue;
        }
        double value = 0;
        const std::string text(w[i]);
        if (!ReadColumnNumber(text, "value", s.matrix, &value)) {
            ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, text.c_str(), "value", s.matrix);
            continue;
        }
        const bool diagonal = sparse ? w[i - 1] == s.pins[s.rowIndex] : s.rowValues == 0;
        const bool resistance = std::string(s.matrix) == "Resistance Matrix";
        if (diagonal && (resistance ? value < 0 : value <= 0))
            ReportErrorAtLine(MSG_PKG_DIAGONAL, s.matrix, s.pins[s.rowIndex].c_str(), text.c_str());
        ++s.rowValues;
    }
}

}  // namespace

void PackageModelEnd() {
    PackageModelState& s = State();
    if (!s.open) return;
    EndMatrix();
    s.open = false;
    if (s.declaredPins >= 0 && static_cast<std::size_t>(s.declaredPins) != s.pins.size())
        ReportErrorAt(s.declaredLine, MSG_PKG_PIN_COUNT, s.name.c_str(), static_cast<int>(s.declaredPins),
                      static_cast<int>(s.pins.size()));
    if (!s.inductance) ReportErrorAt(s.line, MSG_PKG_MATRIX_MISSING, s.name.c_str(), "Inductance Matrix");
    if (!s.capacitance) ReportErrorAt(s.line, MSG_PKG_MATRIX_MISSING, s.name.c_str(), "Capacitance Matrix");
    XrefPackageModelPins(s.name, s.pins, s.pinLines);
}

void PackageModelLine(const KeywordLine& l) {
    PackageModelState& s = State();
    if (l.code == KW_DEFINE_PACKAGE_MODEL && l.lineClass == kLineKeyword) {
        PackageModelEnd();
        s = PackageModelState{};
        s.open = true;
        s.name = std::string(AfterKeyword(l.line));
        s.line = CurrentLine();
        return;
    }
    if (!s.open) return;
    if (l.lineClass == kLineKeyword) {
        switch (l.code) {
            case KW_NUMBER_OF_PINS: {
                const std::string text(AfterKeyword(l.line));
                double n = 0;
                if (ReadNumber(text, &n) && n >= 0 && n <= kMaxCount) s.declaredPins = static_cast<long>(n);
                else ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, text.c_str(), "value", "Number Of Pins");
                s.declaredLine = CurrentLine();
                break;
            }
            case KW_RESISTANCE_MATRIX:
            case KW_INDUCTANCE_MATRIX:
            case KW_CAPACITANCE_MATRIX: MatrixKeyword(l.code, l.line); break;
            case KW_BANDWIDTH: {
                const std::string text(AfterKeyword(l.line));
                double n = 0;
                if (ReadNumber(text, &n) && n >= 0 && n <= kMaxCount) s.bandwidth = static_cast<long>(n);
                else ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, text.c_str(), "value", "Bandwidth");
                break;
            }
            case KW_ROW: RowKeyword(l.line); break;
            case KW_END_MODEL_DATA: EndMatrix(); break;
            case KW_END_PACKAGE_MODEL: PackageModelEnd(); break;
            default: break;
        }
        return;
    }
    if (l.code == KW_PIN_NUMBERS) {
        const std::vector<std::string_view> w = Words(l.line);
        if (w.empty()) return;
        const std::string pin(w[0]);
        // A section line of [Number Of Sections] continues the pin before it.
        if (pin.find('=') != std::string::npos || pin == "/" || pin.rfind("Fork", 0) == 0 ||
            pin.rfind("Endfork", 0) == 0)
            return;
        const auto [at, added] = s.pinIndex.emplace(pin, s.pins.size());
        if (!added) {
            ReportErrorAtLine(MSG_XREF_DUPLICATE_NAME, "pin", pin.c_str(), static_cast<int>(s.pinLines[at->second]));
            return;
        }
        s.pins.push_back(pin);
        s.pinLines.push_back(CurrentLine());
    }
    if (l.code == KW_ROW) RowData(l.line);
}

namespace {

void PackageModelCheckClose(const GroupEvent& e) {
    if (e.group == kGroupPackageModel) PackageModelEnd();
}

constexpr std::int32_t kPackageModelKeywords[] = {
    KW_DEFINE_PACKAGE_MODEL, KW_NUMBER_OF_PINS, KW_PIN_NUMBERS, KW_RESISTANCE_MATRIX, KW_INDUCTANCE_MATRIX,
    KW_CAPACITANCE_MATRIX,   KW_BANDWIDTH,      KW_ROW,         KW_END_MODEL_DATA,    KW_END_PACKAGE_MODEL,
};

}  // namespace

const KeywordCheck kPackageModelCheck{
    .name = "package model",
    .keywords = kPackageModelKeywords,
    .onLine = PackageModelLine,
    .onGroupClose = PackageModelCheckClose,
};
