#include "kernels/FirKernels.h"

// GCC 12's AVX-512 intrinsics leave their pass-through operand uninitialised on
// purpose (self-initialised), which its own warnings then report once inlined.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuninitialized"
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#include "kernels/VectorLanes.h"

#include "kernels/FirLayout.h"

#include <utility>

namespace CorvaneModelBuilder {

namespace firlanes {

#define VELKOR_LANE_KERNEL "kernels/FirLanes.inc"
#include "kernels/EachInstructionSet.inc"

}  // namespace firlanes

namespace {

void FirReference(const double* h, int n, const double* x, double* y, std::size_t count, double* /*scratch*/) {
    fir::ReferenceSums(h, n, x, y, count);
}

void FirSse2(const double* h, int n, const double* x, double* y, std::size_t count, double* scratch) {
    firlanes::sse2::FirArray(h, n, x, y, count, scratch);
}

__attribute__((target("avx2,fma"))) void FirAvx2(const double* h, int n, const double* x, double* y,
                                                 std::size_t count, double* scratch) {
    firlanes::avx2::FirArray(h, n, x, y, count, scratch);
}

__attribute__((target("avx512f"))) void FirAvx512(const double* h, int n, const double* x, double* y,
                                                  std::size_t count, double* scratch) {
    firlanes::avx512::FirArray(h, n, x, y, count, scratch);
}

}  // namespace

std::size_t FirScratchSize(int n, std::size_t count) {
    // For the widest kernel's eight lanes: the n broadcast coefficients, the
    // count / 8 + n - 1 rows, the count / 8 output columns, and eight doubles
    // more for the alignment of the first.
    const std::size_t taps = static_cast<std::size_t>(n > 0 ? n : 0);
    return 8 * taps + (count / 8 * 8 + 8 * (taps > 0 ? taps - 1 : 0)) + count / 8 * 8 + 8;
}

const KernelSet<FirKernel> kFirKernels = {FirReference, FirSse2, FirAvx2, FirAvx512};

}  // namespace CorvaneModelBuilder

#pragma GCC diagnostic pop
