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

ColumnRead ReadColumn(std::string_view text) {
    ColumnRead read;
    read.text = text;
    if (SameIgnoringCase(text, "NA")) {
        read.kind = ColumnKind::kNA;
        return read;
    }
    const std::string word(text);
    const int number = ReadScaledNumber(word.c_str(), &read.value);
    read.kind = number ? ColumnKind::kNumber : ColumnKind::kNotNumber;
    read.digitInUnit = number == 2;
    read.upperCaseKilo = number != 0 && word[DecimalLength(word.c_str())] == 'K';
    return read;
}

void ReportLeniency(const ColumnRead& read, const char* column, const char* owner) {
    if (read.kind != ColumnKind::kNumber) return;
    const std::string word(read.text);
    if (read.digitInUnit) ReportWarningAtLine(MSG_NUMERIC_IN_SCALE, column, owner, word.c_str());
    if (read.upperCaseKilo) CheckUpperCaseKilo(word.c_str());
}

bool ReadColumnNumber(std::string_view text, const char* column, const char* owner, double* value) {
    const ColumnRead read = ReadColumn(text);
    ReportLeniency(read, column, owner);
    if (read.kind != ColumnKind::kNumber) return false;
    *value = read.value;
    return true;
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
