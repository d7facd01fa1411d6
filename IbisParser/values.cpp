#include "IbisParser/values.h"

#include <cctype>
#include <cstdlib>
#include <cstring>
#include <strings.h>

#include "IbisParser/cmn.h"
#include "IbisParser/lineitems.h"
#include "IbisParser/report.h"

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
}  // namespace

int ReadScaledNumber(const char* text, double* value) {
    if (!text) return 0;
    char* end = nullptr;
    const double number = std::strtod(text, &end);
    if (end == text) return 0;
    if (*end == '\0') {
        *value = number;
        return 1;
    }
    const char c = *end;
    double factor = ScaleOf(c);
    if (factor == 0) {
        if (!std::isalpha(static_cast<unsigned char>(c))) return 0;
        factor = 1.0;  // a unit such as V or Ohm
    }
    *value = number * factor;
    for (const char* p = end; *p; ++p)
        if (std::isdigit(static_cast<unsigned char>(*p))) return 2;
    return 1;
}

int ReadValueOrNA(const char* text, const char* owner, const char* column, double* value, std::int32_t* kind) {
    *kind = kValueAbsent;
    if (!text) return 1;
    if (strcasecmp(text, "NA") == 0) {
        *kind = kValueNA;
        *value = 0.0;
        return 1;
    }
    switch (ReadScaledNumber(text, value)) {
        case 0: ReportErrorAtLine(1909, column, text); return 0;
        case 2: ReportWarningAtLine(1910, column, owner, text); [[fallthrough]];
        default: *kind = kValueNumber; return 1;
    }
}

int ReadTypMinMax(const char* text, const char* owner, TypMinMax** record) {
    LineItems items{};
    if (!SplitLineItems(text, 3, 0, &items)) {
        ReportBugAtLine(3900, owner, kModule, __LINE__);
        return 0;
    }
    switch (items.totalCount) {
        case 1:
            ReportErrorAtLine(3901, "minimum", owner);
            ReportErrorAtLine(3901, "maximum", owner);
            break;
        case 2: ReportErrorAtLine(3901, "maximum", owner); break;
        case 3: break;
        default: ReportErrorAtLine(3902, items.totalCount, owner, 3);
    }
    TypMinMax* r = nullptr;
    if (!CheckAlloc(&r, sizeof(TypMinMax))) {
        ReportBug(3904, kModule, __LINE__);
        FreeLineItems(&items);
        return 0;
    }
    int ok = ReadValueOrNA(ItemAt(items, 0), owner, "Typical", &r->typical, &r->typicalKind);
    ok &= ReadValueOrNA(ItemAt(items, 1), owner, "Minimum", &r->minimum, &r->minimumKind);
    ok &= ReadValueOrNA(ItemAt(items, 2), owner, "Maximum", &r->maximum, &r->maximumKind);
    if (r->typicalKind == kValueNumber && r->minimumKind == kValueNumber && r->maximumKind == kValueNumber) {
        const bool below = r->typical < r->minimum && r->typical < r->maximum;
        const bool above = r->typical > r->minimum && r->typical > r->maximum;
        if (below || above) ReportWarningAtLine(3903);
    }
    FreeLineItems(&items);
    *record = r;
    return ok;
}

bool ReadStrictNumber(const char* text, double* value) {
    if (!text) return false;
    const char* digits = text[0] == '+' || text[0] == '-' ? text + 1 : text;
    if (!std::isdigit(static_cast<unsigned char>(digits[0])) && digits[0] != '.') return false;
    // IBIS numbers are decimal: strtod would also take "0x10" and "0x1p0".
    if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) return false;
    char* end = nullptr;
    double number = std::strtod(text, &end);
    if (end == text) return false;
    if (ScaleOf(*end) != 0) {
        // Case matters for the scale ("1f" is femto, "1F" a farad). After a scale
        // letter any unit text is read as a unit ("1.0Meg" is 1e6, as its author meant).
        number *= ScaleOf(*end);
        ++end;
        const char* unit = end;
        while (std::isalpha(static_cast<unsigned char>(*unit))) ++unit;
        if (*unit == '\0') {
            *value = number;
            return true;
        }
    }
    static const char* const kUnits[] = {"",  "v",   "volt", "volts", "a",  "amp", "amps", "ohm", "ohms", "f", "h",
                                         "s", "sec", "w",    "hz",    "c",  "degc", "deg", "k"};
    for (const char* unit : kUnits)
        if (strcasecmp(end, unit) == 0) {
            *value = number;
            return true;
        }
    return false;
}
