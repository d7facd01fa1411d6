#include "blocks/FirKernels.h"

#include <immintrin.h>

namespace CorvaneModelBuilder {

namespace {

void FirReference(const double* h, int n, const double* x, double* y, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        double acc = 0.0;
        for (int t = 0; t < n; ++t) acc = acc + h[t] * x[static_cast<std::ptrdiff_t>(k) - t];
        y[k] = acc;
    }
}

// Four independent accumulators per iteration hide the latency of the additions.
void FirSse2(const double* h, int n, const double* x, double* y, std::size_t count) {
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
    FirReference(h, n, x + k, y + k, count - k);
}

__attribute__((target("avx2"))) void FirAvx2(const double* h, int n, const double* x, double* y,
                                             std::size_t count) {
    std::size_t k = 0;
    for (; k + 16 <= count; k += 16) {
        __m256d a0 = _mm256_setzero_pd(), a1 = _mm256_setzero_pd(), a2 = _mm256_setzero_pd(),
                a3 = _mm256_setzero_pd();
        const double* xk = x + k;
        for (int t = 0; t < n; ++t) {
            const __m256d ht = _mm256_broadcast_sd(h + t);
            const double* p = xk - t;
            a0 = _mm256_add_pd(a0, _mm256_mul_pd(ht, _mm256_loadu_pd(p)));
            a1 = _mm256_add_pd(a1, _mm256_mul_pd(ht, _mm256_loadu_pd(p + 4)));
            a2 = _mm256_add_pd(a2, _mm256_mul_pd(ht, _mm256_loadu_pd(p + 8)));
            a3 = _mm256_add_pd(a3, _mm256_mul_pd(ht, _mm256_loadu_pd(p + 12)));
        }
        _mm256_storeu_pd(y + k, a0);
        _mm256_storeu_pd(y + k + 4, a1);
        _mm256_storeu_pd(y + k + 8, a2);
        _mm256_storeu_pd(y + k + 12, a3);
    }
    FirReference(h, n, x + k, y + k, count - k);
}

__attribute__((target("avx512f"))) void FirAvx512(const double* h, int n, const double* x, double* y,
                                                  std::size_t count) {
    std::size_t k = 0;
    for (; k + 32 <= count; k += 32) {
        __m512d a0 = _mm512_setzero_pd(), a1 = _mm512_setzero_pd(), a2 = _mm512_setzero_pd(),
                a3 = _mm512_setzero_pd();
        const double* xk = x + k;
        for (int t = 0; t < n; ++t) {
            const __m512d ht = _mm512_set1_pd(h[t]);
            const double* p = xk - t;
            a0 = _mm512_add_pd(a0, _mm512_mul_pd(ht, _mm512_loadu_pd(p)));
            a1 = _mm512_add_pd(a1, _mm512_mul_pd(ht, _mm512_loadu_pd(p + 8)));
            a2 = _mm512_add_pd(a2, _mm512_mul_pd(ht, _mm512_loadu_pd(p + 16)));
            a3 = _mm512_add_pd(a3, _mm512_mul_pd(ht, _mm512_loadu_pd(p + 24)));
        }
        _mm512_storeu_pd(y + k, a0);
        _mm512_storeu_pd(y + k + 8, a1);
        _mm512_storeu_pd(y + k + 16, a2);
        _mm512_storeu_pd(y + k + 24, a3);
    }
    FirAvx2(h, n, x + k, y + k, count - k);
}

}  // namespace

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
