#include "AmiParams/plainnumber.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace amiparams {
namespace {

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Whether a significand and exponent that no double can hold are too large (and
// not too small): the position of the first non-zero digit against the point,
// in the exponent's unit, plus the exponent. from_chars reports both cases alike.
bool Overflows(const char* begin, const char* end, bool hex) {
    const auto digit = hex ? IsHexDigit : IsDigit;
    const long perDigit = hex ? 4 : 1;  // a hexadecimal exponent counts bits
    long order = 0;
    bool seen = false, afterPoint = false;
    const char* p = begin;
    for (; p < end && (digit(*p) || *p == '.'); ++p) {
        if (*p == '.') {
            afterPoint = true;
        } else if (!seen && *p != '0') {
            seen = true;
            if (afterPoint) order -= perDigit;
        } else if (seen && !afterPoint) {
            order += perDigit;
        } else if (!seen && afterPoint) {
            order -= perDigit;
        }
    }
    long exponent = 0;
    if (p < end && (*p == (hex ? 'p' : 'e') || *p == (hex ? 'P' : 'E'))) {
        ++p;
        const bool negative = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        for (; p < end && IsDigit(*p); ++p)
            if (exponent < 1000000) exponent = exponent * 10 + (*p - '0');
        if (negative) exponent = -exponent;
    }
    return order + exponent > 0;
}

}  // namespace

const char* ReadPlainNumber(const char* text, double& value) {
    value = 0.0;
    const char* p = text;
    while (IsSpace(*p)) ++p;
    const bool negative = *p == '-';
    if (*p == '-' || *p == '+') ++p;
    if (*p == '-' || *p == '+') return text;  // one sign only
    const char* const end = p + std::strlen(p);
    // "0x" counts as hexadecimal only before a digit; otherwise the 0 is read alone.
    const bool hex = p[0] == '0' && (p[1] == 'x' || p[1] == 'X') &&
                     (IsHexDigit(p[2]) || (p[2] == '.' && IsHexDigit(p[3])));
    const char* const digits = hex ? p + 2 : p;
    double magnitude = 0.0;
    const std::from_chars_result read =
        std::from_chars(digits, end, magnitude, hex ? std::chars_format::hex : std::chars_format::general);
    if (read.ec == std::errc::invalid_argument) return text;
    if (read.ec == std::errc::result_out_of_range)
        magnitude = Overflows(digits, read.ptr, hex) ? HUGE_VAL : 0.0;
    value = negative ? -magnitude : magnitude;
    return read.ptr;
}

}  // namespace amiparams
