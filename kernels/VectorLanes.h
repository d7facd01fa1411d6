// Lanes of doubles for the vector kernels, one namespace per instruction set:
// the same operations under the same names, so that a kernel written once over
// lanes (an .inc file) is included in each of them. Every operation is the plain
// IEEE one; MulAdd is fused where the instruction set has it (the tanh's error
// bounds hold both ways) and is used by no kernel whose bits must match a
// reference that rounds twice.
//   V, I, M        lanes of doubles, of 64-bit integers, and lane masks
//   kWidth         lanes per vector
//   Load, LoadAligned (on a kWidth-double boundary), Store
//   Splat Add Sub Mul Div MulAdd TwoProduct Split(sse2 only)
//   Bits FromBits AndI SrlI SllI AddI
//   LoadPairs(table, i, first, second)  table[i] of every lane, a 16-byte aligned pair
//                  each: one load a lane and two unpacks, cheaper than two gathers
//   Abs Min Max And Or Xor AndNot, Lt Gt Ge Le Neq Unordered AndM OrM Select MaskBits
//   Transpose(m)   m[i] lane j becomes m[j] lane i, for kWidth vectors
#pragma once

// Its includer silences GCC 12's -Wuninitialized and -Wmaybe-uninitialized around
// everything it includes first: the AVX-512 intrinsics leave their pass-through
// operand uninitialised on purpose, which the warnings report once inlined.
#include <immintrin.h>

#include <cstddef>
#include <cstdint>

namespace CorvaneModelBuilder::lanes {

// Two lanes, baseline x86-64: no fused multiply-add, no gather.
namespace sse2 {
using V = __m128d;
using I = __m128i;
using M = __m128d;
constexpr std::size_t kWidth = 2;
inline V Splat(double v) { return _mm_set1_pd(v); }
inline V Load(const double* p) { return _mm_loadu_pd(p); }
inline V LoadAligned(const double* p) { return _mm_load_pd(p); }
inline void Store(double* p, V v) { _mm_storeu_pd(p, v); }
inline V Add(V a, V b) { return _mm_add_pd(a, b); }
inline V Sub(V a, V b) { return _mm_sub_pd(a, b); }
inline V Mul(V a, V b) { return _mm_mul_pd(a, b); }
inline V Div(V a, V b) { return _mm_div_pd(a, b); }
inline V MulAdd(V a, V b, V c) { return _mm_add_pd(_mm_mul_pd(a, b), c); }
inline void Split(V a, V& hi, V& lo) {
    const V t = _mm_mul_pd(a, _mm_set1_pd(134217729.0));  // 2^27 + 1
    hi = _mm_sub_pd(t, _mm_sub_pd(t, a));
    lo = _mm_sub_pd(a, hi);
}
inline void TwoProduct(V a, V b, V& p, V& e) {
    V ah, al, bh, bl;
    Split(a, ah, al);
    Split(b, bh, bl);
    p = _mm_mul_pd(a, b);
    e = _mm_add_pd(_mm_add_pd(_mm_add_pd(_mm_sub_pd(_mm_mul_pd(ah, bh), p), _mm_mul_pd(ah, bl)), _mm_mul_pd(al, bh)),
                   _mm_mul_pd(al, bl));
}
inline I Bits(V v) { return _mm_castpd_si128(v); }
inline V FromBits(I i) { return _mm_castsi128_pd(i); }
inline I AndI(I i, std::uint64_t c) { return _mm_and_si128(i, _mm_set1_epi64x(static_cast<long long>(c))); }
inline I SrlI(I i, int s) { return _mm_srl_epi64(i, _mm_cvtsi64_si128(s)); }
inline I SllI(I i, int s) { return _mm_sll_epi64(i, _mm_cvtsi64_si128(s)); }
inline I AddI(I i, std::uint64_t c) { return _mm_add_epi64(i, _mm_set1_epi64x(static_cast<long long>(c))); }
inline void LoadPairs(const double (*table)[2], I i, V& first, V& second) {
    const V a = _mm_load_pd(table[_mm_cvtsi128_si64(i)]);
    const V b = _mm_load_pd(table[_mm_cvtsi128_si64(_mm_unpackhi_epi64(i, i))]);
    first = _mm_unpacklo_pd(a, b);
    second = _mm_unpackhi_pd(a, b);
}
inline V Abs(V a) { return _mm_andnot_pd(_mm_set1_pd(-0.0), a); }
inline V Min(V a, V b) { return _mm_min_pd(a, b); }
inline V Max(V a, V b) { return _mm_max_pd(a, b); }
inline V And(V a, V b) { return _mm_and_pd(a, b); }
inline V Or(V a, V b) { return _mm_or_pd(a, b); }
inline V Xor(V a, V b) { return _mm_xor_pd(a, b); }
inline V AndNot(V a, V b) { return _mm_andnot_pd(a, b); }
inline M Lt(V a, V b) { return _mm_cmplt_pd(a, b); }
inline M Gt(V a, V b) { return _mm_cmpgt_pd(a, b); }
inline M Ge(V a, V b) { return _mm_cmpge_pd(a, b); }
inline M Le(V a, V b) { return _mm_cmple_pd(a, b); }
inline M Neq(V a, V b) { return _mm_cmpneq_pd(a, b); }
inline M Unordered(V a, V b) { return _mm_cmpunord_pd(a, b); }
inline M AndM(M a, M b) { return _mm_and_pd(a, b); }
inline M OrM(M a, M b) { return _mm_or_pd(a, b); }
inline V Select(M m, V t, V f) { return _mm_or_pd(_mm_and_pd(m, t), _mm_andnot_pd(m, f)); }
inline unsigned MaskBits(M m) { return static_cast<unsigned>(_mm_movemask_pd(m)); }
inline void Transpose(V (&m)[kWidth]) {
    const V a = _mm_unpacklo_pd(m[0], m[1]), b = _mm_unpackhi_pd(m[0], m[1]);
    m[0] = a;
    m[1] = b;
}
}  // namespace sse2

#pragma GCC push_options
#pragma GCC target("avx2,fma")
namespace avx2 {
using V = __m256d;
using I = __m256i;
using M = __m256d;
constexpr std::size_t kWidth = 4;
inline V Splat(double v) { return _mm256_set1_pd(v); }
inline V Load(const double* p) { return _mm256_loadu_pd(p); }
inline V LoadAligned(const double* p) { return _mm256_load_pd(p); }
inline void Store(double* p, V v) { _mm256_storeu_pd(p, v); }
inline V Add(V a, V b) { return _mm256_add_pd(a, b); }
inline V Sub(V a, V b) { return _mm256_sub_pd(a, b); }
inline V Mul(V a, V b) { return _mm256_mul_pd(a, b); }
inline V Div(V a, V b) { return _mm256_div_pd(a, b); }
inline V MulAdd(V a, V b, V c) { return _mm256_fmadd_pd(a, b, c); }
inline void TwoProduct(V a, V b, V& p, V& e) {
    p = _mm256_mul_pd(a, b);
    e = _mm256_fmsub_pd(a, b, p);
}
inline I Bits(V v) { return _mm256_castpd_si256(v); }
inline V FromBits(I i) { return _mm256_castsi256_pd(i); }
inline I AndI(I i, std::uint64_t c) { return _mm256_and_si256(i, _mm256_set1_epi64x(static_cast<long long>(c))); }
inline I SrlI(I i, int s) { return _mm256_srl_epi64(i, _mm_cvtsi64_si128(s)); }
inline I SllI(I i, int s) { return _mm256_sll_epi64(i, _mm_cvtsi64_si128(s)); }
inline I AddI(I i, std::uint64_t c) { return _mm256_add_epi64(i, _mm256_set1_epi64x(static_cast<long long>(c))); }
inline void LoadPairs(const double (*table)[2], I i, V& first, V& second) {
    alignas(32) std::uint64_t at[4];
    _mm256_store_si256(reinterpret_cast<__m256i*>(at), i);
    // a holds lanes 0 and 2, b lanes 1 and 3, one pair per 128-bit block.
    const V a = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(table[at[0]])), _mm_load_pd(table[at[2]]), 1);
    const V b = _mm256_insertf128_pd(_mm256_castpd128_pd256(_mm_load_pd(table[at[1]])), _mm_load_pd(table[at[3]]), 1);
    first = _mm256_unpacklo_pd(a, b);
    second = _mm256_unpackhi_pd(a, b);
}
inline V Abs(V a) { return _mm256_andnot_pd(_mm256_set1_pd(-0.0), a); }
inline V Min(V a, V b) { return _mm256_min_pd(a, b); }
inline V Max(V a, V b) { return _mm256_max_pd(a, b); }
inline V And(V a, V b) { return _mm256_and_pd(a, b); }
inline V Or(V a, V b) { return _mm256_or_pd(a, b); }
inline V Xor(V a, V b) { return _mm256_xor_pd(a, b); }
inline V AndNot(V a, V b) { return _mm256_andnot_pd(a, b); }
inline M Lt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LT_OQ); }
inline M Gt(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GT_OQ); }
inline M Ge(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_GE_OQ); }
inline M Le(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_LE_OQ); }
inline M Neq(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_NEQ_UQ); }
inline M Unordered(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_UNORD_Q); }
inline M AndM(M a, M b) { return _mm256_and_pd(a, b); }
inline M OrM(M a, M b) { return _mm256_or_pd(a, b); }
inline V Select(M m, V t, V f) { return _mm256_blendv_pd(f, t, m); }
inline unsigned MaskBits(M m) { return static_cast<unsigned>(_mm256_movemask_pd(m)); }
inline void Transpose(V (&m)[kWidth]) {
    const V t0 = _mm256_unpacklo_pd(m[0], m[1]), t1 = _mm256_unpackhi_pd(m[0], m[1]);
    const V t2 = _mm256_unpacklo_pd(m[2], m[3]), t3 = _mm256_unpackhi_pd(m[2], m[3]);
    m[0] = _mm256_permute2f128_pd(t0, t2, 0x20);
    m[1] = _mm256_permute2f128_pd(t1, t3, 0x20);
    m[2] = _mm256_permute2f128_pd(t0, t2, 0x31);
    m[3] = _mm256_permute2f128_pd(t1, t3, 0x31);
}
}  // namespace avx2
#pragma GCC pop_options

#pragma GCC push_options
#pragma GCC target("avx512f")
namespace avx512 {
using V = __m512d;
using I = __m512i;
using M = __mmask8;
constexpr std::size_t kWidth = 8;
inline V Splat(double v) { return _mm512_set1_pd(v); }
inline V Load(const double* p) { return _mm512_loadu_pd(p); }
inline V LoadAligned(const double* p) { return _mm512_load_pd(p); }
inline void Store(double* p, V v) { _mm512_storeu_pd(p, v); }
inline V Add(V a, V b) { return _mm512_add_pd(a, b); }
inline V Sub(V a, V b) { return _mm512_sub_pd(a, b); }
inline V Mul(V a, V b) { return _mm512_mul_pd(a, b); }
inline V Div(V a, V b) { return _mm512_div_pd(a, b); }
inline V MulAdd(V a, V b, V c) { return _mm512_fmadd_pd(a, b, c); }
inline void TwoProduct(V a, V b, V& p, V& e) {
    p = _mm512_mul_pd(a, b);
    e = _mm512_fmsub_pd(a, b, p);
}
inline I Bits(V v) { return _mm512_castpd_si512(v); }
inline V FromBits(I i) { return _mm512_castsi512_pd(i); }
inline I AndI(I i, std::uint64_t c) { return _mm512_and_epi64(i, _mm512_set1_epi64(static_cast<long long>(c))); }
inline I SrlI(I i, int s) { return _mm512_srl_epi64(i, _mm_cvtsi64_si128(s)); }
inline I SllI(I i, int s) { return _mm512_sll_epi64(i, _mm_cvtsi64_si128(s)); }
inline I AddI(I i, std::uint64_t c) { return _mm512_add_epi64(i, _mm512_set1_epi64(static_cast<long long>(c))); }
inline void LoadPairs(const double (*table)[2], I i, V& first, V& second) {
    alignas(64) std::uint64_t at[8];
    _mm512_store_si512(at, i);
    auto pair = [&](int l) { return _mm_castpd_ps(_mm_load_pd(table[at[l]])); };
    // a holds lanes 0, 2, 4, 6 and b lanes 1, 3, 5, 7, one pair per 128-bit block.
    __m512 a = _mm512_castps128_ps512(pair(0)), b = _mm512_castps128_ps512(pair(1));
    a = _mm512_insertf32x4(a, pair(2), 1);
    b = _mm512_insertf32x4(b, pair(3), 1);
    a = _mm512_insertf32x4(a, pair(4), 2);
    b = _mm512_insertf32x4(b, pair(5), 2);
    a = _mm512_insertf32x4(a, pair(6), 3);
    b = _mm512_insertf32x4(b, pair(7), 3);
    first = _mm512_unpacklo_pd(_mm512_castps_pd(a), _mm512_castps_pd(b));
    second = _mm512_unpackhi_pd(_mm512_castps_pd(a), _mm512_castps_pd(b));
}
inline V Abs(V a) { return _mm512_abs_pd(a); }
inline V Min(V a, V b) { return _mm512_min_pd(a, b); }
inline V Max(V a, V b) { return _mm512_max_pd(a, b); }
inline V And(V a, V b) { return FromBits(_mm512_and_epi64(Bits(a), Bits(b))); }
inline V Or(V a, V b) { return FromBits(_mm512_or_epi64(Bits(a), Bits(b))); }
inline V Xor(V a, V b) { return FromBits(_mm512_xor_epi64(Bits(a), Bits(b))); }
inline V AndNot(V a, V b) { return FromBits(_mm512_andnot_epi64(Bits(a), Bits(b))); }
inline M Lt(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LT_OQ); }
inline M Gt(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GT_OQ); }
inline M Ge(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_GE_OQ); }
inline M Le(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_LE_OQ); }
inline M Neq(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_NEQ_UQ); }
inline M Unordered(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_UNORD_Q); }
inline M AndM(M a, M b) { return static_cast<M>(a & b); }
inline M OrM(M a, M b) { return static_cast<M>(a | b); }
inline V Select(M m, V t, V f) { return _mm512_mask_blend_pd(m, f, t); }
inline unsigned MaskBits(M m) { return m; }
// Pairs of lanes, then pairs of 128-bit blocks, then halves.
inline void Transpose(V (&m)[kWidth]) {
    V t[8], u[8];
#pragma GCC unroll 4
    for (int i = 0; i < 4; ++i) {
        t[2 * i] = _mm512_unpacklo_pd(m[2 * i], m[2 * i + 1]);
        t[2 * i + 1] = _mm512_unpackhi_pd(m[2 * i], m[2 * i + 1]);
    }
#pragma GCC unroll 2
    for (int i = 0; i < 2; ++i) {
#pragma GCC unroll 2
        for (int j = 0; j < 2; ++j) {
            u[4 * i + j] = _mm512_shuffle_f64x2(t[4 * i + j], t[4 * i + 2 + j], 0x88);
            u[4 * i + 2 + j] = _mm512_shuffle_f64x2(t[4 * i + j], t[4 * i + 2 + j], 0xdd);
        }
    }
#pragma GCC unroll 4
    for (int j = 0; j < 4; ++j) {
        m[j] = _mm512_shuffle_f64x2(u[j], u[4 + j], 0x88);
        m[4 + j] = _mm512_shuffle_f64x2(u[j], u[4 + j], 0xdd);
    }
}
}  // namespace avx512
#pragma GCC pop_options

}  // namespace CorvaneModelBuilder::lanes
