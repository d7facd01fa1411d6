// Value readers of IBIS data lines: numbers with scale letters, "NA" columns
// and typical/minimum/maximum lines.
#pragma once

#include <cstdint>

enum ValueKind : std::int32_t { kValueAbsent = 0, kValueNumber = 1, kValueNA = 2 };

struct TypMinMax {
    double typical;
    std::int32_t typicalKind;
    double minimum;
    std::int32_t minimumKind;
    double maximum;
    std::int32_t maximumKind;
};

// 0 not a number, 1 a number, 2 a number whose scale or unit text holds a digit.
int ReadScaledNumber(const char* text, double* value);
int ReadValueOrNA(const char* text, const char* owner, const char* column, double* value, std::int32_t* kind);
int ReadTypMinMax(const char* text, const char* owner, TypMinMax** record);

// A number as the tables of a model must write it: digits, then a scale letter
// and any unit letters, or without a scale letter one of the units V, Volt(s),
// A, Amp(s), Ohm(s), F, H, s, sec, W, Hz, C, degC, deg, K (any case), or
// nothing; decimal only (no "0x10"). "1500hm" (a mistyped 150Ohm, 0 for O) is
// not one. The value goes to `value`.
bool ReadStrictNumber(const char* text, double* value);
inline bool IsStrictNumber(const char* text) {
    double v = 0;
    return ReadStrictNumber(text, &v);
}

// The largest pin count or bandwidth taken as a number: larger ones are not
// counts (and would not convert to an integer).
constexpr double kMaxCount = 1e9;
