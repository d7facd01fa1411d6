// Lane operations of one double, for the shared fast evaluation (ExpLanes.inc) in
// scalar code. Baseline x86-64 has no fused multiply-add: the exact product is
// Dekker's, on Veltkamp's halves.
#pragma once

#include <cstdint>
#include <cstring>

#include "kernels/ExpTable.h"

namespace CorvaneModelBuilder::crmath::scalar {

using V = double;
using I = std::uint64_t;

inline V Splat(double v) { return v; }
inline V Add(V a, V b) { return a + b; }
inline V Sub(V a, V b) { return a - b; }
inline V Mul(V a, V b) { return a * b; }
inline V Div(V a, V b) { return a / b; }
inline V MulAdd(V a, V b, V c) { return a * b + c; }
inline void Split(V a, V& hi, V& lo) {
    const V t = a * 134217729.0;  // 2^27 + 1
    hi = t - (t - a);
    lo = a - hi;
}
inline void TwoProduct(V a, V b, V& p, V& e) {
    V ah, al, bh, bl;
    Split(a, ah, al);
    Split(b, bh, bl);
    p = a * b;
    e = ((ah * bh - p) + ah * bl + al * bh) + al * bl;
}
inline I Bits(V v) {
    I i;
    std::memcpy(&i, &v, sizeof i);
    return i;
}
inline V FromBits(I i) {
    V v;
    std::memcpy(&v, &i, sizeof v);
    return v;
}
inline I AndI(I i, std::uint64_t c) { return i & c; }
inline I SrlI(I i, int s) { return i >> s; }
inline I SllI(I i, int s) { return i << s; }
inline I AddI(I i, std::uint64_t c) { return i + c; }
inline void LoadPairs(const double (*table)[2], I i, V& first, V& second) {
    first = table[i][0];
    second = table[i][1];
}

#include "kernels/ExpLanes.inc"

}  // namespace CorvaneModelBuilder::crmath::scalar
