#include "kernels/ExactArithmetic.h"

#include <cmath>
#include <cstring>

namespace CorvaneModelBuilder::exact {

namespace {

__extension__ typedef unsigned __int128 u128;

// Work arrays of plain integers, least significant limb first.
constexpr int kWide = 2 * kMaxLimbs + 2;

bool AnyNonZero(const std::uint64_t* x, int len) {
    for (int i = 0; i < len; ++i)
        if (x[i]) return true;
    return false;
}

void Increment(std::uint64_t* x, int len) {
    for (int i = 0; i < len && ++x[i] == 0; ++i) {
    }
}

int Compare(const std::uint64_t* a, const std::uint64_t* b, int len) {
    for (int i = len - 1; i >= 0; --i)
        if (a[i] != b[i]) return a[i] < b[i] ? -1 : 1;
    return 0;
}

void SubtractInPlace(std::uint64_t* a, const std::uint64_t* b, int len) {
    std::uint64_t borrow = 0;
    for (int i = 0; i < len; ++i) {
        const std::uint64_t bi = b[i] + borrow;
        const std::uint64_t carryOut = (bi < borrow) || (a[i] < bi);
        a[i] -= bi;
        borrow = carryOut;
    }
}

int BitLength(const std::uint64_t* x, int len) {
    for (int i = len - 1; i >= 0; --i)
        if (x[i]) return 64 * i + 64 - __builtin_clzll(x[i]);
    return 0;
}

bool Bit(const std::uint64_t* x, int i) { return (x[i / 64] >> (i % 64)) & 1u; }

bool AnyBitBelow(const std::uint64_t* x, int i) {
    for (int k = 0; k < i / 64; ++k)
        if (x[k]) return true;
    return i % 64 != 0 && (x[i / 64] & ((std::uint64_t{1} << (i % 64)) - 1)) != 0;
}

// dst = src << bits over len limbs.
void ShiftLeftInto(std::uint64_t* dst, const std::uint64_t* src, int len, int bits) {
    for (int i = len - 1; i >= 0; --i) {
        const int from = i - bits / 64;
        dst[i] = from < 0 ? 0 : src[from] << (bits % 64);
        if (bits % 64 && from > 0) dst[i] |= src[from - 1] >> (64 - bits % 64);
    }
}

// x <<= 1 with `in` as the new lowest bit.
void ShiftInBit(std::uint64_t* x, int len, unsigned in) {
    for (int i = len - 1; i > 0; --i) x[i] = (x[i] << 1) | (x[i - 1] >> 63);
    x[0] = (x[0] << 1) | in;
}

}  // namespace

Fixed FixedPoint::Integer(std::uint64_t v) const {
    Fixed r{};
    r.d[f_] = v;
    return r;
}

Fixed FixedPoint::Unit() const {
    Fixed r{};
    r.d[0] = 1;
    return r;
}

Fixed FixedPoint::FromDouble(double v, Round rnd) const {
    int e = 0;
    const double mant = std::frexp(v, &e);  // v = mant 2^e, mant in [0.5, 1)
    const auto m = static_cast<std::uint64_t>(std::ldexp(mant, 53));
    // v = m 2^(e - 53): place m at bit (e - 53) + 64 f of the integer.
    Fixed r{};
    const int shift = e - 53 + 64 * f_;
    if (v == 0.0) return r;
    if (shift >= 0) {
        r.d[shift / 64] = m << (shift % 64);
        if (shift % 64 && shift / 64 + 1 < n_) r.d[shift / 64 + 1] = m >> (64 - shift % 64);
        return r;
    }
    r.d[0] = -shift >= 64 ? 0 : m >> -shift;
    const bool lost = -shift >= 64 ? true : (m & ((std::uint64_t{1} << -shift) - 1)) != 0;
    if (rnd == Round::Up && lost) Increment(r.d, n_);
    return r;
}

Fixed FixedPoint::Add(const Fixed& a, const Fixed& b) const {
    Fixed r{};
    std::uint64_t carry = 0;
    for (int i = 0; i < n_; ++i) {
        const u128 s = static_cast<u128>(a.d[i]) + b.d[i] + carry;
        r.d[i] = static_cast<std::uint64_t>(s);
        carry = static_cast<std::uint64_t>(s >> 64);
    }
    return r;
}

Fixed FixedPoint::Sub(const Fixed& a, const Fixed& b) const {
    Fixed r = a;
    SubtractInPlace(r.d, b.d, n_);
    return r;
}

Fixed FixedPoint::MulSmall(const Fixed& a, std::uint64_t k) const {
    Fixed r{};
    std::uint64_t carry = 0;
    for (int i = 0; i < n_; ++i) {
        const u128 p = static_cast<u128>(a.d[i]) * k + carry;
        r.d[i] = static_cast<std::uint64_t>(p);
        carry = static_cast<std::uint64_t>(p >> 64);
    }
    return r;
}

Fixed FixedPoint::DivSmall(const Fixed& a, std::uint64_t k, Round rnd) const {
    Fixed r{};
    std::uint64_t rem = 0;
    for (int i = n_ - 1; i >= 0; --i) {
        const u128 cur = (static_cast<u128>(rem) << 64) | a.d[i];
        r.d[i] = static_cast<std::uint64_t>(cur / k);
        rem = static_cast<std::uint64_t>(cur % k);
    }
    if (rnd == Round::Up && rem) Increment(r.d, n_);
    return r;
}

Fixed FixedPoint::Mul(const Fixed& a, const Fixed& b, Round rnd) const {
    std::uint64_t p[kWide] = {};
    for (int i = 0; i < n_; ++i) {
        if (!a.d[i]) continue;
        std::uint64_t carry = 0;
        for (int j = 0; j < n_; ++j) {
            const u128 t = static_cast<u128>(a.d[i]) * b.d[j] + p[i + j] + carry;
            p[i + j] = static_cast<std::uint64_t>(t);
            carry = static_cast<std::uint64_t>(t >> 64);
        }
        p[i + n_] = carry;
    }
    // The product has 2 f fraction limbs: drop the lowest f.
    Fixed r{};
    std::memcpy(r.d, p + f_, sizeof(std::uint64_t) * n_);
    if (rnd == Round::Up && AnyNonZero(p, f_)) Increment(r.d, n_);
    return r;
}

Fixed FixedPoint::Div(const Fixed& a, const Fixed& b, Round rnd) const {
    // Quotient of the integers (a 2^(64 f)) / b, by restoring long division.
    std::uint64_t num[kWide] = {};
    std::memcpy(num + f_, a.d, sizeof(std::uint64_t) * n_);
    const int numBits = BitLength(num, n_ + f_);
    std::uint64_t rem[kWide] = {}, q[kWide] = {}, den[kWide] = {};
    std::memcpy(den, b.d, sizeof(std::uint64_t) * n_);
    const int len = n_ + 1;
    for (int i = numBits - 1; i >= 0; --i) {
        ShiftInBit(rem, len, Bit(num, i));
        if (Compare(rem, den, len) >= 0) {
            SubtractInPlace(rem, den, len);
            q[i / 64] |= std::uint64_t{1} << (i % 64);
        }
    }
    Fixed r{};
    std::memcpy(r.d, q, sizeof(std::uint64_t) * n_);
    if (rnd == Round::Up && AnyNonZero(rem, len)) Increment(r.d, n_);
    return r;
}

Fixed FixedPoint::Sqrt(const Fixed& a, Round rnd) const {
    // sqrt(A / 2^(64 f)) = sqrt(A 2^(64 f)) / 2^(64 f): the integer square root of
    // A 2^(64 f), two bits of the radicand per step.
    const int len = n_ + f_ + 1;
    std::uint64_t x[kWide] = {}, root[kWide] = {}, trial[kWide] = {};
    std::memcpy(x + f_, a.d, sizeof(std::uint64_t) * n_);
    const int bits = BitLength(x, len);
    for (int i = (bits + 1) / 2 - 1; i >= 0; --i) {
        // With the root so far q (the bits above i), setting bit i adds
        // (4 q + 1) 2^(2i) to its square; q doubles and takes the bit when it fits.
        std::uint64_t base[kWide] = {};
        std::memcpy(base, root, sizeof(std::uint64_t) * len);
        ShiftInBit(base, len, 0);
        ShiftInBit(base, len, 1);
        ShiftLeftInto(trial, base, len, 2 * i);
        ShiftInBit(root, len, 0);
        if (Compare(x, trial, len) >= 0) {
            SubtractInPlace(x, trial, len);
            root[0] |= 1;
        }
    }
    Fixed r{};
    std::memcpy(r.d, root, sizeof(std::uint64_t) * n_);
    if (rnd == Round::Up && AnyNonZero(x, len)) Increment(r.d, n_);
    return r;
}

Fixed FixedPoint::ShiftLeft(const Fixed& a, int bits) const {
    Fixed r{};
    ShiftLeftInto(r.d, a.d, n_, bits);
    return r;
}

Fixed FixedPoint::ShiftRight(const Fixed& a, int bits, Round rnd) const {
    Fixed r{};
    for (int i = 0; i < n_; ++i) {
        const int src = i + bits / 64;
        if (src >= n_) break;
        r.d[i] = a.d[src] >> (bits % 64);
        if (bits % 64 && src + 1 < n_) r.d[i] |= a.d[src + 1] << (64 - bits % 64);
    }
    if (rnd == Round::Up && AnyBitBelow(a.d, bits)) Increment(r.d, n_);
    return r;
}

bool FixedPoint::Less(const Fixed& a, const Fixed& b) const { return Compare(a.d, b.d, n_) < 0; }

bool FixedPoint::AtMostUnit(const Fixed& a) const { return a.d[0] <= 1 && !AnyNonZero(a.d + 1, n_ - 1); }

double FixedPoint::Nearest(const Fixed& a, int scale) const {
    const int bits = BitLength(a.d, n_);
    if (bits == 0) return 0.0;
    const int lsbWeight = scale - 64 * f_;      // weight of the integer's bit 0
    const int exponent = bits - 1 + lsbWeight;  // a 2^scale lies in [2^exponent, 2^(exponent+1))
    // Significant bits the result keeps: 53, fewer below the normal range.
    const int keep = exponent >= -1022 ? 53 : exponent + 1075;
    if (keep < 0) return 0.0;
    if (keep == 0)  // in [2^-1075, 2^-1074): a tie only at 2^-1075 itself, which goes to even (0)
        return AnyBitBelow(a.d, bits - 1) ? std::ldexp(1.0, -1074) : 0.0;
    const int drop = bits - keep;
    if (drop <= 0) {
        std::uint64_t m = 0;
        for (int i = bits - 1; i >= 0; --i) m = (m << 1) | Bit(a.d, i);
        return std::ldexp(static_cast<double>(m), lsbWeight);
    }
    std::uint64_t m = 0;
    for (int i = bits - 1; i >= drop; --i) m = (m << 1) | Bit(a.d, i);
    const bool half = Bit(a.d, drop - 1), sticky = AnyBitBelow(a.d, drop - 1);
    if (half && (sticky || (m & 1))) ++m;
    return std::ldexp(static_cast<double>(m), lsbWeight + drop);  // exact, or the overflow to infinity
}

Interval Ln2(const FixedPoint& m) {
    // ln 2 = 2 atanh(1/3) = sum over k >= 0 of 2 / ((2k + 1) 3^(2k+1)).
    Interval p{m.DivSmall(m.Integer(2), 3, Round::Down), m.DivSmall(m.Integer(2), 3, Round::Up)};
    Interval s{m.Integer(0), m.Integer(0)};
    for (std::uint64_t k = 0;; ++k) {
        s.lo = m.Add(s.lo, m.DivSmall(p.lo, 2 * k + 1, Round::Down));
        s.hi = m.Add(s.hi, m.DivSmall(p.hi, 2 * k + 1, Round::Up));
        p.lo = m.DivSmall(p.lo, 9, Round::Down);
        p.hi = m.DivSmall(p.hi, 9, Round::Up);
        // The terms left sum to at most 9/8 of the next power p.
        if (m.AtMostUnit(p.hi)) break;
    }
    s.hi = m.Add(s.hi, m.MulSmall(m.Unit(), 2));
    return s;
}

Interval ExpOf(const FixedPoint& m, const Interval& r) {
    // e^r = (e^(r / 2^8))^(2^8): the Taylor series of the small argument, then
    // eight squarings.
    constexpr int kHalvings = 8;
    const Interval x{m.ShiftRight(r.lo, kHalvings, Round::Down), m.ShiftRight(r.hi, kHalvings, Round::Up)};
    Interval term{m.Integer(1), m.Integer(1)};
    Interval sum = term;
    for (std::uint64_t n = 1;; ++n) {
        term.lo = m.DivSmall(m.Mul(term.lo, x.lo, Round::Down), n, Round::Down);
        term.hi = m.DivSmall(m.Mul(term.hi, x.hi, Round::Up), n, Round::Up);
        sum.lo = m.Add(sum.lo, term.lo);
        sum.hi = m.Add(sum.hi, term.hi);
        // x < 1/64: the terms left sum to less than the last one.
        if (m.AtMostUnit(term.hi)) break;
    }
    sum.hi = m.Add(sum.hi, m.Unit());
    for (int i = 0; i < kHalvings; ++i) {
        sum.lo = m.Mul(sum.lo, sum.lo, Round::Down);
        sum.hi = m.Mul(sum.hi, sum.hi, Round::Up);
    }
    return sum;
}

Interval AsinOf(const FixedPoint& m, const Interval& z, const Interval& zz) {
    // asin z = z sum over n >= 0 of u_n / (2n + 1), u_0 = 1, u_n = u_(n-1) z^2 (2n - 1) / (2n).
    Interval u{m.Integer(1), m.Integer(1)};
    Interval sum = u;
    for (std::uint64_t n = 1;; ++n) {
        u.lo = m.DivSmall(m.MulSmall(m.Mul(u.lo, zz.lo, Round::Down), 2 * n - 1), 2 * n, Round::Down);
        u.hi = m.DivSmall(m.MulSmall(m.Mul(u.hi, zz.hi, Round::Up), 2 * n - 1), 2 * n, Round::Up);
        sum.lo = m.Add(sum.lo, m.DivSmall(u.lo, 2 * n + 1, Round::Down));
        sum.hi = m.Add(sum.hi, m.DivSmall(u.hi, 2 * n + 1, Round::Up));
        // z^2 <= 1/4: the terms left sum to at most a third of u_n.
        if (m.AtMostUnit(u.hi)) break;
    }
    sum.hi = m.Add(sum.hi, m.Unit());
    return {m.Mul(z.lo, sum.lo, Round::Down), m.Mul(z.hi, sum.hi, Round::Up)};
}

Interval HalfPi(const FixedPoint& m) {
    // pi / 2 = 3 asin(1/2).
    const Interval half{m.ShiftRight(m.Integer(1), 1, Round::Down), m.ShiftRight(m.Integer(1), 1, Round::Up)};
    const Interval quarter{m.ShiftRight(m.Integer(1), 2, Round::Down), m.ShiftRight(m.Integer(1), 2, Round::Up)};
    const Interval a = AsinOf(m, half, quarter);
    return {m.MulSmall(a.lo, 3), m.MulSmall(a.hi, 3)};
}

}  // namespace CorvaneModelBuilder::exact
