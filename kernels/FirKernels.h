// FIR kernels for runs of consecutive outputs. Every output is summed over its
// taps in the same order as FIR::Run (from 0.0, tap 0 first), one output per
// vector lane, so all kernels give bit-identical results.
#pragma once

#include <cstddef>

#include "kernels/KernelSet.h"

namespace CorvaneModelBuilder {

// y[k] = (((0 + h[0] x[k]) + h[1] x[k-1]) + ...) + h[n-1] x[k-n+1] for k in [0, count);
// x[-(n-1)] ... x[count-1] must be readable. scratch holds FirScratchSize(n, count)
// doubles the kernel may overwrite: the vector kernels lay their coefficients and
// input out there, aligned, so that every load of their inner loop is aligned.
using FirKernel = void (*)(const double* h, int n, const double* x, double* y, std::size_t count, double* scratch);

std::size_t FirScratchSize(int n, std::size_t count);

extern const KernelSet<FirKernel> kFirKernels;

}  // namespace CorvaneModelBuilder
