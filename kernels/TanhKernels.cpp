#include "kernels/TanhKernels.h"

// GCC 12's AVX-512 intrinsics leave their pass-through operand uninitialised on
// purpose (self-initialised), which its own warnings then report once inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "kernels/VectorLanes.h"

#include "kernels/CorrectlyRounded.h"
#include "kernels/ExpTable.h"

namespace CorvaneModelBuilder {

namespace crmath {

#define VELKOR_LANE_KERNEL "kernels/TanhLanes.inc"
#include "kernels/EachInstructionSet.inc"

#define VELKOR_LANE_KERNEL "kernels/TanhLanes.inc"
#include "kernels/EachInstructionSetInPairs.inc"

}  // namespace crmath

namespace {

void TanhReference(const double* x, double* y, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) y[i] = crmath::Tanh(x[i]);
}

void ScaledTanhReference(const double* x, double* y, std::size_t count, double slope, double offset, double scale) {
    for (std::size_t i = 0; i < count; ++i) y[i] = scale * crmath::Tanh(slope * x[i] + offset);
}

// Whole pairs of vectors first, then what is left one vector at a time (and the
// last few values by the scalar function).
#define VELKOR_TANH_KERNELS(Name, Target, lanes)                                                                    \
    Target void Tanh##Name(const double* x, double* y, std::size_t count) {                                       \
        const std::size_t paired = count - count % crmath::lanes##x2::kWidth;                                     \
        crmath::lanes##x2::TanhArray(x, y, paired);                                                                \
        crmath::lanes::TanhArray(x + paired, y + paired, count - paired);                                         \
    }                                                                                                              \
    Target void ScaledTanh##Name(const double* x, double* y, std::size_t count, double slope, double offset,       \
                                 double scale) {                                                                   \
        const std::size_t paired = count - count % crmath::lanes##x2::kWidth;                                     \
        crmath::lanes##x2::ScaledTanhArray(x, y, paired, slope, offset, scale);                                    \
        crmath::lanes::ScaledTanhArray(x + paired, y + paired, count - paired, slope, offset, scale);             \
    }

VELKOR_TANH_KERNELS(Sse2, , sse2)
VELKOR_TANH_KERNELS(Avx2, __attribute__((target("avx2,fma"))), avx2)
VELKOR_TANH_KERNELS(Avx512, __attribute__((target("avx512f"))), avx512)
#undef VELKOR_TANH_KERNELS

}  // namespace

const KernelSet<TanhKernel> kTanhKernels = {TanhReference, TanhSse2, TanhAvx2, TanhAvx512};
const KernelSet<ScaledTanhKernel> kScaledTanhKernels = {ScaledTanhReference, ScaledTanhSse2, ScaledTanhAvx2,
                                                        ScaledTanhAvx512};

}  // namespace CorvaneModelBuilder

#pragma GCC diagnostic pop
