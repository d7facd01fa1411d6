// Value readers of IBIS data lines: numbers with scale letters and "NA" columns.
#pragma once

#include <cstdint>
#include <string_view>

// The one number reader of the checker, by the rule of the IBIS standard: a
// decimal number (sign, digits, point, exponent; no "0x10", "inf" or "nan", and
// none beyond the range of a double), then nothing, or a letter: a scale letter
// (T G M k m u n p f, case matters) multiplies the number, any other letter is a
// unit and leaves it as it is, and every character after that first letter is
// ignored ("0.8Vc" is 0.8, "1.0Meg" 1e6, "1meg" 1e-3, "7Kohms" 7). 0 not a
// number ("abc", "O.5pF", "5%"), 1 a number, 2 a number whose unit text holds a
// digit ("1.5m2"; read as 1.5e-3, and worth a warning).
int ReadScaledNumber(const char* text, double* value);
// The same reading of a word of a line, without reports: whether it is a number.
bool ReadNumber(std::string_view text, double* value);
inline bool IsNumber(std::string_view text) {
    double v = 0;
    return ReadNumber(text, &v);
}
// What a column of a data line holds.
enum class ColumnKind : std::int8_t { kAbsent, kNumber, kNA, kNotNumber };

// One column read by the number rule, and the leniency the rule took with it.
struct ColumnRead {
    std::string_view text;  // the column's text (empty when absent)
    ColumnKind kind = ColumnKind::kAbsent;
    double value = 0;            // the number; 0 for any other kind
    bool digitInUnit = false;    // "1.5m2": read as 1.5e-3 all the same
    bool upperCaseKilo = false;  // "7Kohms": K is no scale letter, read as 7
};
// A column's text: a number, NA (in any case) or neither. Reports nothing.
ColumnRead ReadColumn(std::string_view text);
// The warnings a number's leniency draws: a digit in its unit text 1910 (with
// the column and the keyword, `owner`), an upper-case K 5031.
void ReportLeniency(const ColumnRead& read, const char* column, const char* owner);
// A number of a data column: whether `text` is one (its value in `value`), its
// leniency reported as `ReportLeniency` does.
bool ReadColumnNumber(std::string_view text, const char* column, const char* owner, double* value);
// A number whose unit text begins with an upper-case K ("7Kohms") reads as the
// bare number, which is rarely what its author meant: warning 5031.
void CheckUpperCaseKilo(const char* text);

// The largest pin count or bandwidth taken as a number: larger ones are not
// counts (and would not convert to an integer).
constexpr double kMaxCount = 1e9;
