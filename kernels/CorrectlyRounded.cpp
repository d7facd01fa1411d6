#include "kernels/CorrectlyRounded.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "kernels/ExactArithmetic.h"
#include "kernels/ExpTable.h"
#include "kernels/ScalarLanes.h"

namespace CorvaneModelBuilder::crmath {

namespace {

using exact::FixedPoint;
using exact::Interval;
using exact::Round;

// Below it tanh(a) rounds to a; above it, to 1 (1 - tanh a < 2 e^(-2a) < 2^-54).
constexpr double kTanhTiny = 0x1p-27;
constexpr double kTanhSaturated = 19.0625;

// tanh(a) for a in [2^-27, 19.0625]: (G - 1) / (G + 1) with G = e^(2a) = 2^k e^r.
double TanhExact(double a) {
    return exact::NearestOf([a](const FixedPoint& m, int& scale) {
        scale = 0;
        const double v = 2 * a;  // exact
        // k <= v / ln2 - 1 + tiny, so 0 <= r < 1.39.
        const auto k = static_cast<std::uint64_t>(std::max(0.0, std::floor(v * 1.4426950408889634) - 1));
        const Interval ln2 = exact::Ln2(m);
        const exact::Fixed vv = m.FromDouble(v, Round::Down);
        const Interval r{m.Sub(vv, m.MulSmall(ln2.hi, k)), m.Sub(vv, m.MulSmall(ln2.lo, k))};
        const Interval e = exact::ExpOf(m, r);
        const exact::Fixed one = m.Integer(1);
        const exact::Fixed gLo = m.ShiftLeft(e.lo, static_cast<int>(k)), gHi = m.ShiftLeft(e.hi, static_cast<int>(k));
        // (G - 1) / (G + 1) grows with G.
        return Interval{m.Div(m.Sub(gLo, one), m.Add(gLo, one), Round::Down),
                        m.Div(m.Sub(gHi, one), m.Add(gHi, one), Round::Up)};
    });
}

// e^x for 2^-54 <= |x|, -745.14 < x < 709.8: 2^k e^r with r = x - k ln2 in [0, 1.39].
double ExpExact(double x) {
    return exact::NearestOf([x](const FixedPoint& m, int& scale) {
        const auto k = static_cast<std::int64_t>(std::floor(x * 1.4426950408889634) - 1);
        scale = static_cast<int>(k);
        const Interval ln2 = exact::Ln2(m);
        const exact::Fixed ax = m.FromDouble(std::fabs(x), Round::Down);
        Interval r;
        if (k >= 0) {  // then x > 0
            const auto uk = static_cast<std::uint64_t>(k);
            r = {m.Sub(ax, m.MulSmall(ln2.hi, uk)), m.Sub(ax, m.MulSmall(ln2.lo, uk))};
        } else if (x > 0) {  // k = -1 for 0 < x < ln 2
            const auto uk = static_cast<std::uint64_t>(-k);
            r = {m.Add(ax, m.MulSmall(ln2.lo, uk)), m.Add(ax, m.MulSmall(ln2.hi, uk))};
        } else {
            const auto uk = static_cast<std::uint64_t>(-k);
            r = {m.Sub(m.MulSmall(ln2.lo, uk), ax), m.Sub(m.MulSmall(ln2.hi, uk), ax)};
        }
        return exact::ExpOf(m, r);
    });
}

// acos x for x in [-1, 1]: pi/2 -+ asin|x| for |x| <= 1/2, else through
// acos|x| = 2 asin(sqrt((1 - |x|) / 2)).
double AcosExact(double x) {
    return exact::NearestOf([x](const FixedPoint& m, int& scale) {
        scale = 0;
        const double ax = std::fabs(x);
        const Interval halfPi = exact::HalfPi(m);
        if (ax <= 0.5) {
            const exact::Fixed z = m.FromDouble(ax, Round::Down);
            const Interval as = exact::AsinOf(m, {z, z}, {m.Mul(z, z, Round::Down), m.Mul(z, z, Round::Up)});
            if (x >= 0) return Interval{m.Sub(halfPi.lo, as.hi), m.Sub(halfPi.hi, as.lo)};
            return Interval{m.Add(halfPi.lo, as.lo), m.Add(halfPi.hi, as.hi)};
        }
        const exact::Fixed w = m.FromDouble((1.0 - ax) * 0.5, Round::Down);  // exact: Sterbenz, then halving
        const Interval as = exact::AsinOf(m, {m.Sqrt(w, Round::Down), m.Sqrt(w, Round::Up)}, {w, w});
        const Interval twice{m.MulSmall(as.lo, 2), m.MulSmall(as.hi, 2)};
        if (x > 0) return twice;
        return Interval{m.Sub(m.MulSmall(halfPi.lo, 2), twice.hi), m.Sub(m.MulSmall(halfPi.hi, 2), twice.lo)};
    });
}

}  // namespace

double Tanh(double x) {
    const double a = std::fabs(x);
    if (!(a <= kTanhSaturated)) return a > kTanhSaturated ? std::copysign(1.0, x) : x + x;
    if (a < kTanhTiny) return x;
    double qh, ql, up, down;
    scalar::NegativeTanh(a, qh, ql);
    scalar::RoundingEnds(qh, ql, -0x1p-72, up, down);
    const double t = up == down ? -up : TanhExact(a);
    return std::copysign(t, x);
}

double Exp(double x) {
    if (x != x) return x + x;
    if (x > 709.79) return std::numeric_limits<double>::infinity();
    if (x < -745.14) return 0.0;
    if (std::fabs(x) < 0x1p-54) return 1.0;
    if (x < -708.3 || x > 709.7) return ExpExact(x);  // subnormal and overflowing results
    // e^x = 2^m (T + T p) with T = 2^(j/1024) from the table: in [1, 2) before the
    // scaling, which is exact for these (normal) results.
    double rh, rl, ph, pl;
    std::uint64_t kBits;
    scalar::ReduceExp(x, rh, rl, kBits);
    scalar::ExpM1Small(rh, rl, ph, pl);
    const std::uint64_t j = scalar::TableIndexOf(kBits);
    const double th = kExpTable[j][0], tl = kExpTable[j][1];
    double vh, ve;
    scalar::TwoProduct(th, ph, vh, ve);
    const double eh = th + vh;
    const double el = (vh - (eh - th)) + (ve + (tl + (th * pl + tl * ph)));
    double up, down;
    scalar::RoundingEnds(eh, el, 0x1p-80, up, down);
    if (up != down) return ExpExact(x);
    return up * scalar::ScaleOf(kBits);
}

double Acos(double x) {
    if (x != x) return x + x;
    if (!(std::fabs(x) <= 1.0)) return std::numeric_limits<double>::quiet_NaN();
    return AcosExact(x);
}

}  // namespace CorvaneModelBuilder::crmath
