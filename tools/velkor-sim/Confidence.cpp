#include "tools/velkor-sim/Confidence.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace sim {

namespace {

// Regularised lower incomplete gamma function P(a, x), a > 0: a series below
// a + 1, a continued fraction above.
double LowerGamma(double a, double x) {
    if (x <= 0) return 0;
    const double logPrefix = a * std::log(x) - x - std::lgamma(a);
    if (x < a + 1) {
        double term = 1 / a, sum = term;
        for (int n = 1; n < 100000; ++n) {
            term *= x / (a + n);
            sum += term;
            if (term < sum * 1e-15) break;
        }
        return std::min(1.0, sum * std::exp(logPrefix));
    }
    const double tiny = 1e-300;
    double b = x + 1 - a, c = 1 / tiny, d = 1 / b, h = d;
    for (int i = 1; i < 100000; ++i) {
        const double an = -i * (i - a);
        b += 2;
        d = an * d + b;
        if (std::fabs(d) < tiny) d = tiny;
        c = b + an / c;
        if (std::fabs(c) < tiny) c = tiny;
        d = 1 / d;
        const double step = d * c;
        h *= step;
        if (std::fabs(step - 1) < 1e-15) break;
    }
    return std::max(0.0, 1 - std::exp(logPrefix) * h);
}

// The mean m at which P(a, m) = p, by bisection (P rises with m).
double SolveMean(double a, double p) {
    double lo = 0, hi = a + 20 * std::sqrt(a) + 40;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        (LowerGamma(a, mid) < p ? lo : hi) = mid;
    }
    return 0.5 * (lo + hi);
}

std::string Scientific(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1e", v);
    std::string s = text;  // 3.0e-05 -> 3.0e-5
    const auto e = s.find("e-0");
    if (e != std::string::npos) s.erase(e + 2, 1);
    return s;
}

}  // namespace

double GaussianTail(double x) { return 0.5 * std::erfc(x / std::sqrt(2.0)); }

std::string GroupDigits(std::size_t n) {
    std::string digits = std::to_string(n), out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return out;
}

BerEstimate EstimateBer(std::size_t errors, std::size_t bits) {
    BerEstimate e;
    e.errors = errors;
    e.bits = bits;
    if (bits == 0) {
        e.high = 1;
        return e;
    }
    const double n = static_cast<double>(bits), k = static_cast<double>(errors);
    e.ber = k / n;
    if (errors == 0) {
        e.high = std::min(1.0, -std::log(0.05) / n);  // one-sided: P(0 errors) = 5 % at this ratio
        return e;
    }
    // Two-sided 95 %: the Poisson means whose tails beyond k hold 2.5 % each.
    e.low = SolveMean(k, 0.025) / n;
    e.high = std::min(1.0, SolveMean(k + 1, 0.975) / n);
    return e;
}

std::string DescribeBer(const BerEstimate& e) {
    if (e.bits == 0) return "BER unknown (no bits compared)";
    if (e.errors == 0) return "BER < " + Scientific(e.high) + " (95 % confidence, " + GroupDigits(e.bits) + " bits)";
    return "BER " + Scientific(e.ber) + " (95 %: " + Scientific(e.low) + " to " + Scientific(e.high) + ", " +
           GroupDigits(e.bits) + " bits)";
}

}  // namespace sim
