// Exact interval arithmetic on non-negative fixed-point numbers: the slow path of
// the correctly rounded kernels. A number is an integer of one integer limb and
// `fraction` 64-bit fraction limbs; every operation rounds its lower bound down and
// its upper bound up, so an interval computed from exact inputs certainly holds the
// exact value. Nothing is allocated: numbers live in fixed arrays on the stack.
#pragma once

#include <cstdint>

namespace CorvaneModelBuilder::exact {

constexpr int kMaxFraction = 32;  // 2048 fraction bits at the most
constexpr int kMaxLimbs = kMaxFraction + 1;

enum class Round { Down, Up };

// value = (d[0] + d[1] 2^64 + ... + d[f] 2^(64 f)) / 2^(64 f), least significant limb first.
struct Fixed {
    std::uint64_t d[kMaxLimbs];
};

struct Interval {
    Fixed lo, hi;
};

// The operations at one precision. Callers keep every value below 2^64 and every
// difference non-negative.
class FixedPoint {
public:
    explicit FixedPoint(int fractionLimbs) : f_(fractionLimbs), n_(fractionLimbs + 1) {}
    int FractionLimbs() const { return f_; }

    Fixed Integer(std::uint64_t v) const;
    Fixed Unit() const;  // 2^(-64 f), the last place
    // Exact when v is a finite non-negative double whose last bit is at least the
    // last place (the callers' arguments are); otherwise rounded in `r`.
    Fixed FromDouble(double v, Round r) const;

    Fixed Add(const Fixed& a, const Fixed& b) const;
    Fixed Sub(const Fixed& a, const Fixed& b) const;  // a >= b
    Fixed MulSmall(const Fixed& a, std::uint64_t k) const;
    Fixed DivSmall(const Fixed& a, std::uint64_t k, Round r) const;
    Fixed Mul(const Fixed& a, const Fixed& b, Round r) const;
    Fixed Div(const Fixed& a, const Fixed& b, Round r) const;  // b > 0
    Fixed Sqrt(const Fixed& a, Round r) const;
    Fixed ShiftLeft(const Fixed& a, int bits) const;  // exact
    Fixed ShiftRight(const Fixed& a, int bits, Round r) const;
    bool Less(const Fixed& a, const Fixed& b) const;
    bool AtMostUnit(const Fixed& a) const;  // a <= 2^(-64 f)

    // The double nearest to a * 2^scale (ties to even), subnormal and overflowing
    // results included.
    double Nearest(const Fixed& a, int scale) const;

private:
    int f_, n_;
};

// Intervals around the constants and functions the kernels need.
Interval Ln2(const FixedPoint& m);
Interval HalfPi(const FixedPoint& m);
Interval ExpOf(const FixedPoint& m, const Interval& r);                        // e^r, 0 <= r < 2
Interval AsinOf(const FixedPoint& m, const Interval& z, const Interval& zz);  // z <= 1/2, zz = z^2

// Ziv's loop: evaluates `bounds(m, scale)` at growing precision until both ends
// of the interval round to the same double, which is then the correctly rounded
// value of anything inside it; `scale` is a power of two the interval is
// multiplied by.
template <typename Bounds>
double NearestOf(Bounds bounds) {
    double lo = 0.0;
    for (int f = 2; f <= kMaxFraction; f *= 2) {
        const FixedPoint m(f);
        int scale = 0;
        const Interval v = bounds(m, scale);
        lo = m.Nearest(v.lo, scale);
        if (lo == m.Nearest(v.hi, scale)) return lo;
    }
    return lo;  // closer than 2^-2000 to a midpoint: not met by any argument tried
}

}  // namespace CorvaneModelBuilder::exact
