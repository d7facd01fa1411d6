// Vectorised FIR kernels for runs of consecutive outputs. Every output is summed
// over its taps in the same order as FIR::Run (from 0.0, tap 0 first), one output
// per vector lane, so all kernels give bit-identical results.
#pragma once

#include <cstddef>

namespace CorvaneModelBuilder {

enum class FirKernelKind { Reference, Sse2, Avx2, Avx512 };

// y[k] = (((0 + h[0] x[k]) + h[1] x[k-1]) + ...) + h[n-1] x[k-n+1] for k in [0, count);
// x[-(n-1)] ... x[count-1] must be readable. scratch holds FirScratchSize(n, count)
// doubles the kernel may overwrite: the wide kernels lay the input out there once per
// vector lane, shifted, so that every load of their inner loop is aligned.
using FirKernel = void (*)(const double* h, int n, const double* x, double* y, std::size_t count, double* scratch);

std::size_t FirScratchSize(int n, std::size_t count);

bool FirKernelSupported(FirKernelKind kind);
FirKernel FirKernelFor(FirKernelKind kind);  // null when the processor lacks it
FirKernelKind BestFirKernel();               // the widest the processor has
const char* FirKernelName(FirKernelKind kind);

}  // namespace CorvaneModelBuilder
