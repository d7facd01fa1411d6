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

}  // namespace crmath

namespace {

void TanhReference(const double* x, double* y, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) y[i] = crmath::Tanh(x[i]);
}

void TanhSse2(const double* x, double* y, std::size_t count) { crmath::sse2::TanhArray(x, y, count); }

__attribute__((target("avx2,fma"))) void TanhAvx2(const double* x, double* y, std::size_t count) {
    crmath::avx2::TanhArray(x, y, count);
}

__attribute__((target("avx512f"))) void TanhAvx512(const double* x, double* y, std::size_t count) {
    crmath::avx512::TanhArray(x, y, count);
}

void ScaledTanhReference(const double* x, double* y, std::size_t count, double slope, double offset, double scale) {
    for (std::size_t i = 0; i < count; ++i) y[i] = scale * crmath::Tanh(slope * x[i] + offset);
}

void ScaledTanhSse2(const double* x, double* y, std::size_t count, double slope, double offset, double scale) {
    crmath::sse2::ScaledTanhArray(x, y, count, slope, offset, scale);
}

__attribute__((target("avx2,fma"))) void ScaledTanhAvx2(const double* x, double* y, std::size_t count, double slope,
                                                        double offset, double scale) {
    crmath::avx2::ScaledTanhArray(x, y, count, slope, offset, scale);
}

__attribute__((target("avx512f"))) void ScaledTanhAvx512(const double* x, double* y, std::size_t count,
                                                         double slope, double offset, double scale) {
    crmath::avx512::ScaledTanhArray(x, y, count, slope, offset, scale);
}

}  // namespace

const KernelSet<TanhKernel> kTanhKernels = {TanhReference, TanhSse2, TanhAvx2, TanhAvx512};
const KernelSet<ScaledTanhKernel> kScaledTanhKernels = {ScaledTanhReference, ScaledTanhSse2, ScaledTanhAvx2,
                                                        ScaledTanhAvx512};

}  // namespace CorvaneModelBuilder

#pragma GCC diagnostic pop
