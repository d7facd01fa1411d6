#include "IbisParser/text/values.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "IbisParser/engine/cmn.h"
#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/report.h"
#include "IbisParser/text/casefold.h"
#include "IbisParser/text/words.h"

namespace {
constexpr const char* kModule = "rng.cpp";

double ScaleOf(char c) {
    switch (c) {
        case 'T': return 1e12;
        case 'G': return 1e9;
        case 'M': return 1e6;
        case 'k': return 1e3;
        case 'm': return 1e-3;
        case 'u': return 1e-6;
        case 'n': return 1e-9;
        case 'p': return 1e-12;
        case 'f': return 1e-15;
        default: return 0;
    }
}
// The length of a decimal number at the start of `text` (sign, digits with at
// most one point, an exponent with digits), 0 when there is none. strtod alone
// would also take "0x10", "inf" and "nan", which IBIS numbers never are.
std::size_t DecimalLength(const char* text) {
    std::size_t n = 0, digits = 0;
    if (text[n] == '+' || text[n] == '-') ++n;
    while (std::isdigit(static_cast<unsigned char>(text[n]))) ++n, ++digits;
    if (text[n] == '.') {
        ++n;
        while (std::isdigit(static_cast<unsigned char>(text[n]))) ++n, ++digits;
    }
    if (digits == 0) return 0;
    if (text[n] == 'e' || text[n] == 'E') {
        std::size_t e = n + 1;
        if (text[e] == '+' || text[e] == '-') ++e;
        if (std::isdigit(static_cast<unsigned char>(text[e]))) {
            while (std::isdigit(static_cast<unsigned char>(text[e]))) ++e;
            n = e;
        }
    }
    return n;
}

}  // namespace

int ReadScaledNumber(const char* text, double* value) {
    if (!text) return 0;
    const std::size_t length = DecimalLength(text);
    if (length == 0) return 0;
    const double number = std::strtod(std::string(text, length).c_str(), nullptr);
    const char* end = text + length;
    double factor = 1.0;
    if (*end != '\0') {
        if (!std::isalpha(static_cast<unsigned char>(*end))) return 0;
        if (const double scale = ScaleOf(*end)) factor = scale;  // any other letter is a unit
    }
    const double scaled = number * factor;
    if (!std::isfinite(scaled)) return 0;  // beyond any quantity a model can hold
    *value = scaled;
    for (const char* p = end; *p; ++p)
        if (std::isdigit(static_cast<unsigned char>(*p))) return 2;
    return 1;
}

bool ReadNumber(std::string_view text, double* value) {
    return ReadScaledNumber(std::string(text).c_str(), value) != 0;
}

bool ReadColumnNumber(std::string_view text, const char* column, const char* owner, double* value) {
    const std::string word(text);
    const int read = ReadScaledNumber(word.c_str(), value);
    if (read == 2) ReportWarningAtLine(MSG_NUMERIC_IN_SCALE, column, owner, word.c_str());
    if (read != 0) CheckUpperCaseKilo(word.c_str());
    return read != 0;
}

void CheckUpperCaseKilo(const char* text) {
    const std::size_t length = text ? DecimalLength(text) : 0;
    if (length == 0 || text[length] != 'K') return;
    double value = 0;
    if (ReadScaledNumber(text, &value) == 0) return;
    char figure[32];
    std::snprintf(figure, sizeof figure, "%g", value);
    ReportWarningAtLine(MSG_UPPER_CASE_KILO, text, figure);
}

int ReadValueOrNA(const char* text, const char* owner, const char* column, double* value, std::int32_t* kind) {
    *kind = kValueAbsent;
    if (!text) return 1;
    if (SameIgnoringCase(text, "NA")) {
        *kind = kValueNA;
        *value = 0.0;
        return 1;
    }
    switch (ReadScaledNumber(text, value)) {
        case 0: ReportErrorAtLine(MSG_INVALID_VALUE, column, text); return 0;
        case 2: ReportWarningAtLine(MSG_NUMERIC_IN_SCALE, column, owner, text); [[fallthrough]];
        default:
            CheckUpperCaseKilo(text);
            *kind = kValueNumber;
            return 1;
    }
}

int ReadTypMinMax(const char* text, const char* owner, TypMinMax** record) {
    const std::vector<std::string_view> items = Items(text);
    switch (items.size()) {
        case 1:
            ReportErrorAtLine(MSG_RNG_NO_VALUE, "minimum", owner);
            ReportErrorAtLine(MSG_RNG_NO_VALUE, "maximum", owner);
            break;
        case 2: ReportErrorAtLine(MSG_RNG_NO_VALUE, "maximum", owner); break;
        case 3: break;
        default: ReportErrorAtLine(MSG_RNG_ITEM_COUNT, static_cast<int>(items.size()), owner, 3);
    }
    TypMinMax* r = nullptr;
    if (!CheckAlloc(&r, sizeof(TypMinMax))) {
        ReportBug(MSG_RNG_OUT_OF_MEMORY, kModule, __LINE__);
        return 0;
    }
    // The three columns as C strings; a column the line lacks is absent (null).
    std::string columns[3];
    const char* column[3] = {};
    for (std::size_t i = 0; i < 3 && i < items.size(); ++i) {
        columns[i] = items[i];
        column[i] = columns[i].c_str();
    }
    int ok = ReadValueOrNA(column[0], owner, "Typical", &r->typical, &r->typicalKind);
    ok &= ReadValueOrNA(column[1], owner, "Minimum", &r->minimum, &r->minimumKind);
    ok &= ReadValueOrNA(column[2], owner, "Maximum", &r->maximum, &r->maximumKind);
    if (r->typicalKind == kValueNumber && r->minimumKind == kValueNumber && r->maximumKind == kValueNumber) {
        const bool below = r->typical < r->minimum && r->typical < r->maximum;
        const bool above = r->typical > r->minimum && r->typical > r->maximum;
        if (below || above) ReportWarningAtLine(MSG_RNG_TYPICAL_NOT_BETWEEN);
    }
    *record = r;
    return ok;
}
