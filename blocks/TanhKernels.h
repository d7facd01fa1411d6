// Vectorised correctly rounded tanh for runs of values: y[i] = crmath::Tanh(x[i])
// bit for bit, whichever kernel runs, since every one of them rounds correctly.
// Chosen at run time like the FIR kernels.
#pragma once

#include <cstddef>

namespace CorvaneModelBuilder {

enum class TanhKernelKind { Scalar, Sse2, Avx2, Avx512 };

// y may be x.
using TanhKernel = void (*)(const double* x, double* y, std::size_t count);

// y = scale tanh(slope x + offset), the limiter's curve in one pass, bit for bit
// as value by value; y may be x.
using ScaledTanhKernel = void (*)(const double* x, double* y, std::size_t count, double slope, double offset,
                                  double scale);

bool TanhKernelSupported(TanhKernelKind kind);
TanhKernel TanhKernelFor(TanhKernelKind kind);  // null when the processor lacks it
ScaledTanhKernel ScaledTanhKernelFor(TanhKernelKind kind);  // null when the processor lacks it
TanhKernelKind BestTanhKernel();                // the widest the processor has
const char* TanhKernelName(TanhKernelKind kind);

}  // namespace CorvaneModelBuilder
