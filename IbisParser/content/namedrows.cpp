#include "IbisParser/content/namedrows.h"

#include <string>
#include <vector>

#include "IbisParser/engine/context.h"
#include "IbisParser/engine/keywordcodes.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/columns.h"
#include "IbisParser/text/words.h"

namespace {

struct NamedRows {
    std::int32_t code;
    const char* keyword;
    std::vector<const char*> rows;
};

const NamedRows kKeywords[] = {
    {KW_C_COMP_CORNER, "C Comp Corner",
     {"C_comp", "C_comp_pullup", "C_comp_pulldown", "C_comp_power_clamp", "C_comp_gnd_clamp"}},
    {KW_INITIAL_DELAY, "Initial Delay", {"V-T", "I-T"}},
    {KW_SUB_INITIAL_DELAY, "Initial Delay", {"V-T", "I-T"}},
};

struct State {
    const NamedRows* open = nullptr;
    unsigned seen = 0;  // one bit per row name
};

State& Current() {
    return Context().Slot<State>();
}

}  // namespace

void NamedRowsStart(std::int32_t code) {
    Current() = State{};
    for (const NamedRows& k : kKeywords)
        if (k.code == code) Current().open = &k;
}

void NamedRowsLine(const char* line) {
    State& s = Current();
    const std::vector<std::string_view> w = Words(line);
    if (!s.open || w.empty()) return;
    const std::string name(w[0]);
    for (std::size_t i = 0; i < s.open->rows.size(); ++i) {
        if (!SameIgnoringCase(name, s.open->rows[i])) continue;
        if (s.seen & (1u << i)) ReportErrorAtLine(MSG_ITEM_GIVEN_TWICE, s.open->keyword, s.open->rows[i]);
        s.seen |= 1u << i;
        // Per corner, so neither the typical value nor the minimum need lie between the others.
        CheckColumns(s.open->keyword, line + (w[0].data() - line) + w[0].size());
        return;
    }
    ReportErrorAtLine(MSG_TABLE_UNKNOWN_SUB, name.c_str(), s.open->keyword);
}

namespace {

void NamedRowsCheckLine(const KeywordLine& l) {
    if (l.lineClass == kLineKeyword) NamedRowsStart(l.code);
    else if (l.group == kGroupModel || l.group == kGroupSubmodel) NamedRowsLine(l.line);
}

constexpr std::int32_t kNamedRowsKeywords[] = {KW_C_COMP_CORNER, KW_INITIAL_DELAY, KW_SUB_INITIAL_DELAY};

}  // namespace

const KeywordCheck kNamedRowsCheck{
    .name = "named rows",
    .keywords = kNamedRowsKeywords,
    .onLine = NamedRowsCheckLine,
};
