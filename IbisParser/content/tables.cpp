#include "IbisParser/content/tables.h"

#include <cstring>
#include <string>

#include "IbisParser/engine/context.h"
#include "IbisParser/engine/keywords.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/reportat.h"
#include "IbisParser/text/typminmax.h"
#include "IbisParser/text/words.h"

namespace {

enum TableKind { kNoTable, kIV, kVT };

struct TableState {
    std::string model;
    TableKind kind = kNoTable;
    const char* keyword = "";
    std::uint32_t line = 0;
    bool rows = false;
    double last = 0;    // the previous row's voltage or time
    int direction = 0;  // I-V tables: +1 rising, -1 falling voltages, 0 not known yet
    bool orderReported = false;
    // I-V tables: NA in the typical column of the row read last, and its line
    // (the last row must be numeric, as the first must).
    std::uint32_t rowCount = 0;
    bool lastTypicalNA = false;
    std::uint32_t lastRowLine = 0;
    bool fixtureR = false, fixtureV = false;
    unsigned fixturesSeen = 0;  // the waveform's fixture sub-parameters, one bit per name
    unsigned seen = 0;  // I-V tables already read in this model, one bit per keyword
    std::vector<Waveform> waveforms;
};

TableState& State() {
    return Context().Slot<TableState>();
}

TableKind KindOf(std::int32_t code) {
    switch (code) {
        case KW_PULLDOWN: case KW_PULLUP: case KW_GND_CLAMP: case KW_POWER_CLAMP: case KW_ISSO_PD: case KW_ISSO_PU:
        case KW_SUB_PULLDOWN: case KW_SUB_PULLUP: case KW_SUB_GND_CLAMP: case KW_SUB_POWER_CLAMP: return kIV;
        case KW_RISING_WAVEFORM: case KW_FALLING_WAVEFORM: case KW_SUB_RISING_WAVEFORM:
        case KW_SUB_FALLING_WAVEFORM: return kVT;
        default: return kNoTable;
    }
}

// The one bit of an I-V keyword among the model's tables.
unsigned BitOf(std::int32_t code) {
    static const std::int32_t kIVCodes[] = {KW_PULLDOWN, KW_PULLUP, KW_GND_CLAMP, KW_POWER_CLAMP, KW_ISSO_PD,
                                            KW_ISSO_PU, KW_SUB_PULLDOWN, KW_SUB_PULLUP, KW_SUB_GND_CLAMP,
                                            KW_SUB_POWER_CLAMP};
    for (unsigned i = 0; i < sizeof kIVCodes / sizeof kIVCodes[0]; ++i)
        if (kIVCodes[i] == code) return 1u << i;
    return 0;
}

// Ends the table being read: a waveform names its fixture.
void EndTable() {
    TableState& s = State();
    if (s.kind == kNoTable) return;
    if (!s.rows) ReportErrorAt(s.line, MSG_TABLE_EMPTY, s.keyword, s.model.c_str());
    if (s.kind == kIV && s.rowCount > 1 && s.lastTypicalNA)
        ReportErrorAt(s.lastRowLine, MSG_TABLE_NA_NOT_ALLOWED, "last row's typical", s.keyword);
    if (s.kind == kVT) {
        if (!s.fixtureR) ReportErrorAt(s.line, MSG_TABLE_FIXTURE_MISSING, s.keyword, s.model.c_str(), "R_fixture");
        if (!s.fixtureV) ReportErrorAt(s.line, MSG_TABLE_FIXTURE_MISSING, s.keyword, s.model.c_str(), "V_fixture");
    }
    s.kind = kNoTable;
}

void FixtureLine(const char* line) {
    TableState& s = State();
    const char* p = line;
    while (IsBlank(*p)) ++p;
    const std::size_t n = std::strcspn(p, " \t=");
    const std::string name(p, n);
    static const char* const kFixture[] = {"R_fixture", "V_fixture", "V_fixture_min", "V_fixture_max",
                                           "L_fixture", "C_fixture", "R_dut", "L_dut", "C_dut"};
    const char* known = nullptr;
    unsigned bit = 1;
    for (const char* f : kFixture) {
        if (SameIgnoringCase(name, f)) {
            known = f;
            break;
        }
        bit <<= 1;
    }
    if (!known) {
        ReportErrorAtLine(MSG_TABLE_UNKNOWN_SUB, name.c_str(), s.keyword);
        return;
    }
    if (s.fixturesSeen & bit) ReportErrorAtLine(MSG_ITEM_GIVEN_TWICE, s.keyword, known);
    s.fixturesSeen |= bit;
    if (SameIgnoringCase(name, "R_fixture")) s.fixtureR = true;
    if (SameIgnoringCase(name, "V_fixture")) s.fixtureV = true;
    p += n;
    while (IsBlank(*p)) ++p;
    if (*p == '=') ++p;
    const std::vector<std::string_view> w = Words(p);
    double value = 0;
    if (w.size() != 1 || !ReadColumnNumber(w[0], name.c_str(), s.keyword, &value)) {
        ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, w.empty() ? "" : std::string(w[0]).c_str(), name.c_str(),
                          s.keyword);
        return;
    }
    Waveform& wave = s.waveforms.back();
    if (SameIgnoringCase(name, "R_fixture")) {
        wave.rFixture = value;
        wave.rGiven = true;
    } else if (SameIgnoringCase(name, "V_fixture")) {
        wave.vFixture = value;
        wave.vGiven = true;
    } else if (!SameIgnoringCase(name, "V_fixture_min") && !SameIgnoringCase(name, "V_fixture_max") && value != 0) {
        wave.reactive = true;
    }
}

void RowLine(const char* line) {
    TableState& s = State();
    static const char* const kColumns[2][4] = {{"voltage", "typical", "minimum", "maximum"},
                                               {"time", "typical", "minimum", "maximum"}};
    const char* const* columns = kColumns[s.kind == kVT ? 1 : 0];
    const std::vector<std::string_view> w = Words(line);
    if (w.size() != 4) {
        ReportErrorAtLine(MSG_TABLE_COLUMNS, s.keyword, static_cast<int>(w.size()));
        return;
    }
    // The voltage or time, then the typical, minimum and maximum values.
    const TypMinMaxRow row = ReadTypMinMaxRow(w, 1);
    const ColumnRead read[4] = {ReadColumn(w[0]), row.Typical(), row.Minimum(), row.Maximum()};
    double values[4] = {};
    bool numbers[4] = {};
    bool typicalNA = false;
    for (int i = 0; i < 4; ++i) {
        const ColumnRead& c = read[i];
        ReportLeniency(c, columns[i], s.keyword);
        numbers[i] = c.kind == ColumnKind::kNumber;
        values[i] = c.value;
        if (numbers[i]) continue;
        const bool na = c.kind == ColumnKind::kNA;
        if (na && i >= 2) continue;
        // An I-V table may leave typical currents out, but not at its first or last voltage.
        if (na && i == 1 && s.kind == kIV) {
            typicalNA = true;
            if (s.rowCount == 0) ReportErrorAtLine(MSG_TABLE_NA_NOT_ALLOWED, "first row's typical", s.keyword);
            continue;
        }
        if (na) ReportErrorAtLine(MSG_TABLE_NA_NOT_ALLOWED, columns[i], s.keyword);
        else ReportErrorAtLine(MSG_TABLE_BAD_NUMBER, std::string(c.text).c_str(), columns[i], s.keyword);
    }
    ++s.rowCount;
    s.lastTypicalNA = typicalNA;
    s.lastRowLine = CurrentLine();
    if (!numbers[0]) return;
    if (s.kind == kVT && numbers[1]) s.waveforms.back().typical.emplace_back(values[0], values[1]);
    // Times increase; voltages may be listed either way (POWER clamps are often
    // written from high to low) but never turn back or repeat.
    if (s.rows && !s.orderReported) {
        const int step = values[0] > s.last ? 1 : values[0] < s.last ? -1 : 0;
        const int wanted = s.kind == kVT ? 1 : s.direction;
        if (step == 0 || (wanted != 0 && step != wanted)) {
            using OrderMessage = MessageOf<Severity::kError, const char*, const char*, const char*>;
            const OrderMessage order = s.kind == kVT ? OrderMessage(MSG_TABLE_NOT_INCREASING)
                                                     : OrderMessage(MSG_TABLE_NOT_MONOTONIC);
            ReportErrorAtLine(order, columns[0], s.keyword, std::string(w[0]).c_str());
            s.orderReported = true;
        }
        if (s.direction == 0) s.direction = step;
    }
    s.rows = true;
    s.last = values[0];
}

}  // namespace

void TablesModelStart(const char* modelName) {
    EndTable();
    State() = TableState{};
    State().model = modelName ? modelName : "";
}

void TablesModelEnd() {
    EndTable();
    State().seen = 0;
}

const std::vector<Waveform>& ModelWaveforms() { return State().waveforms; }

void TableLine(const KeywordLine& l) {
    TableState& s = State();
    if (l.lineClass == kLineKeyword) {
        EndTable();
        s.kind = KindOf(l.code);
        if (s.kind == kNoTable) return;
        const KeywordInfo* info = KeywordInfoOf(l.code);
        s.keyword = info ? info->display : "";
        s.line = CurrentLine();
        s.rows = false;
        s.rowCount = 0;
        s.lastTypicalNA = false;
        s.fixtureR = s.fixtureV = false;
        s.fixturesSeen = 0;
        s.direction = 0;
        s.orderReported = false;
        if (s.kind == kVT) {
            s.waveforms.emplace_back();
            s.waveforms.back().rising = l.code == KW_RISING_WAVEFORM || l.code == KW_SUB_RISING_WAVEFORM;
            s.waveforms.back().line = s.line;
        }
        if (const unsigned bit = BitOf(l.code)) {
            if (s.seen & bit) ReportErrorAtLine(MSG_TABLE_DUPLICATE, s.keyword, s.model.c_str());
            s.seen |= bit;
        }
        return;
    }
    if (s.kind == kNoTable) return;
    const char* p = l.line;
    while (IsBlank(*p)) ++p;
    if (s.kind == kVT && std::isalpha(static_cast<unsigned char>(*p))) FixtureLine(p);
    else RowLine(p);
}

namespace {

bool IsModelGroup(KeywordGroup group) { return group == kGroupModel || group == kGroupSubmodel; }

void TablesCheckOpen(const GroupEvent& e) {
    if (IsModelGroup(e.group)) TablesModelStart(e.name);
}

void TablesCheckLine(const KeywordLine& l) {
    if (IsModelGroup(l.group)) TableLine(l);
}

void TablesCheckClose(const GroupEvent& e) {
    if (IsModelGroup(e.group)) TablesModelEnd();
}

constexpr std::int32_t kTableKeywords[] = {
    KW_PULLDOWN,        KW_PULLUP,          KW_GND_CLAMP,     KW_POWER_CLAMP,       KW_RISING_WAVEFORM,
    KW_FALLING_WAVEFORM, KW_ISSO_PD,        KW_ISSO_PU,       KW_SUB_PULLDOWN,      KW_SUB_PULLUP,
    KW_SUB_GND_CLAMP,   KW_SUB_POWER_CLAMP, KW_SUB_RISING_WAVEFORM, KW_SUB_FALLING_WAVEFORM,
};

}  // namespace

const KeywordCheck kTablesCheck{
    .name = "tables",
    .keywords = kTableKeywords,
    .onGroupOpen = TablesCheckOpen,
    .onLine = TablesCheckLine,
    .onGroupClose = TablesCheckClose,
};
