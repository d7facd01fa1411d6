#include "blocks/FirKernels.h"

#include <immintrin.h>

#include <cstdint>

namespace CorvaneModelBuilder {

namespace {

void FirReference(const double* h, int n, const double* x, double* y, std::size_t count, double* /*scratch*/) {
    for (std::size_t k = 0; k < count; ++k) {
        double acc = 0.0;
        for (int t = 0; t < n; ++t) acc = acc + h[t] * x[static_cast<std::ptrdiff_t>(k) - t];
        y[k] = acc;
    }
}

// Four independent accumulators per iteration hide the latency of the additions.
void FirSse2(const double* h, int n, const double* x, double* y, std::size_t count, double* scratch) {
    std::size_t k = 0;
    for (; k + 8 <= count; k += 8) {
        __m128d a0 = _mm_setzero_pd(), a1 = _mm_setzero_pd(), a2 = _mm_setzero_pd(), a3 = _mm_setzero_pd();
        const double* xk = x + k;
        for (int t = 0; t < n; ++t) {
            const __m128d ht = _mm_set1_pd(h[t]);
            const double* p = xk - t;
            a0 = _mm_add_pd(a0, _mm_mul_pd(ht, _mm_loadu_pd(p)));
            a1 = _mm_add_pd(a1, _mm_mul_pd(ht, _mm_loadu_pd(p + 2)));
            a2 = _mm_add_pd(a2, _mm_mul_pd(ht, _mm_loadu_pd(p + 4)));
            a3 = _mm_add_pd(a3, _mm_mul_pd(ht, _mm_loadu_pd(p + 6)));
        }
        _mm_storeu_pd(y + k, a0);
        _mm_storeu_pd(y + k + 2, a1);
        _mm_storeu_pd(y + k + 4, a2);
        _mm_storeu_pd(y + k + 6, a3);
    }
    FirReference(h, n, x + k, y + k, count - k, scratch);
}

// The input of the first `outputs` outputs laid out `lanes` times, copy s starting
// at x[s - (n - 1)], each on a boundary of `lanes` doubles: the samples a tap needs
// for `lanes` consecutive outputs starting at a multiple of `lanes` are then one
// aligned load from the copy whose shift matches the tap. Returns the copies'
// stride; the copies start at *copies.
std::size_t ShiftedCopies(const double* x, int n, std::size_t outputs, std::size_t lanes, double* scratch,
                          const double*& copies) {
    const auto alignment = lanes * sizeof(double);
    auto address = reinterpret_cast<std::uintptr_t>(scratch);
    double* aligned = scratch + (alignment - address % alignment) % alignment / sizeof(double);
    const std::size_t span = static_cast<std::size_t>(n) - 1 + outputs;  // samples the outputs read
    const std::size_t stride = (span + lanes - 1) / lanes * lanes;
    const double* oldest = x - (n - 1);
    for (std::size_t s = 0; s < lanes; ++s)
        for (std::size_t j = 0; j + s < span; ++j) aligned[s * stride + j] = oldest[j + s];
    copies = aligned;
    return stride;
}

// Where tap t reads the samples of the outputs k ... k + lanes - 1 (k a multiple of
// lanes): in the copy whose shift s is (n - 1 - t) mod lanes, at k + (n - 1 - t - s).
inline const double* TapSamples(const double* copies, std::size_t stride, int n, int t, std::size_t lanes) {
    const auto back = static_cast<std::size_t>(n - 1 - t);
    const std::size_t shift = back % lanes;
    return copies + shift * stride + (back - shift);
}

__attribute__((target("avx2"))) void FirAvx2(const double* h, int n, const double* x, double* y,
                                             std::size_t count, double* scratch) {
    const std::size_t full = count / 16 * 16;
    if (full > 0) {
        const double* copies = nullptr;
        const std::size_t stride = ShiftedCopies(x, n, full, 4, scratch, copies);
        for (std::size_t k = 0; k < full; k += 16) {
            __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd(), a2 = _mm256_setzero_pd(),
                    a3 = _mm256_setzero_pd();
            for (int t = 0; t < n; ++t) {
                const __m256d ht = _mm256_broadcast_sd(h + t);
                const double* p = TapSamples(copies, stride, n, t, 4) + k;
                a0 = _mm256_add_pd(a0, _mm256_mul_pd(ht, _mm256_load_pd(p)));
                a1 = _mm256_add_pd(a1, _mm256_mul_pd(ht, _mm256_load_pd(p + 4)));
                a2 = _mm256_add_pd(a2, _mm256_mul_pd(ht, _mm256_load_pd(p + 8)));
                a3 = _mm256_add_pd(a3, _mm256_mul_pd(ht, _mm256_load_pd(p + 12)));
            }
            _mm256_storeu_pd(y + k, a0);
            _mm256_storeu_pd(y + k + 4, a1);
            _mm256_storeu_pd(y + k + 8, a2);
            _mm256_storeu_pd(y + k + 12, a3);
        }
    }
    FirReference(h, n, x + full, y + full, count - full, scratch);
}

__attribute__((target("avx512f"))) void FirAvx512(const double* h, int n, const double* x, double* y,
                                                  std::size_t count, double* scratch) {
    const std::size_t full = count / 32 * 32;
    if (full > 0) {
        const double* copies = nullptr;
        const std::size_t stride = ShiftedCopies(x, n, full, 8, scratch, copies);
        for (std::size_t k = 0; k < full; k += 32) {
            __m512d a0 = _mm512_setzero_pd(), a1 = _mm512_setzero_pd(), a2 = _mm512_setzero_pd(),
                    a3 = _mm512_setzero_pd();
            for (int t = 0; t < n; ++t) {
                const __m512d ht = _mm512_set1_pd(h[t]);
                const double* p = TapSamples(copies, stride, n, t, 8) + k;
                a0 = _mm512_add_pd(a0, _mm512_mul_pd(ht, _mm512_load_pd(p)));
                a1 = _mm512_add_pd(a1, _mm512_mul_pd(ht, _mm512_load_pd(p + 8)));
                a2 = _mm512_add_pd(a2, _mm512_mul_pd(ht, _mm512_load_pd(p + 16)));
                a3 = _mm512_add_pd(a3, _mm512_mul_pd(ht, _mm512_load_pd(p + 24)));
            }
            _mm512_storeu_pd(y + k, a0);
            _mm512_storeu_pd(y + k + 8, a1);
            _mm512_storeu_pd(y + k + 16, a2);
            _mm512_storeu_pd(y + k + 24, a3);
        }
    }
    // The rest, fewer than 32 outputs, through the AVX2 kernel on its own copies.
    FirAvx2(h, n, x + full, y + full, count - full, scratch);
}

}  // namespace

std::size_t FirScratchSize(int n, std::size_t count) {
    // Eight copies (the widest kernel's lanes) of n - 1 + count samples, each rounded
    // up to eight, and eight more for the alignment of the first.
    const std::size_t span = static_cast<std::size_t>(n > 0 ? n - 1 : 0) + count;
    return 8 * ((span + 7) / 8 * 8) + 8;
}

bool FirKernelSupported(FirKernelKind kind) {
    switch (kind) {
        case FirKernelKind::Reference:
        case FirKernelKind::Sse2: return true;
        case FirKernelKind::Avx2: return __builtin_cpu_supports("avx2");
        case FirKernelKind::Avx512: return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx2");
    }
    return false;
}

FirKernel FirKernelFor(FirKernelKind kind) {
    if (!FirKernelSupported(kind)) return nullptr;
    switch (kind) {
        case FirKernelKind::Reference: return FirReference;
        case FirKernelKind::Sse2: return FirSse2;
        case FirKernelKind::Avx2: return FirAvx2;
        case FirKernelKind::Avx512: return FirAvx512;
    }
    return nullptr;
}

FirKernelKind BestFirKernel() {
    if (FirKernelSupported(FirKernelKind::Avx512)) return FirKernelKind::Avx512;
    if (FirKernelSupported(FirKernelKind::Avx2)) return FirKernelKind::Avx2;
    return FirKernelKind::Sse2;
}

const char* FirKernelName(FirKernelKind kind) {
    switch (kind) {
        case FirKernelKind::Reference: return "reference";
        case FirKernelKind::Sse2: return "sse2";
        case FirKernelKind::Avx2: return "avx2";
        case FirKernelKind::Avx512: return "avx512";
    }
    return "unknown";
}

}  // namespace CorvaneModelBuilder
