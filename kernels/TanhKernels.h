// Vectorised correctly rounded tanh for runs of values: y[i] = crmath::Tanh(x[i])
// bit for bit, whichever kernel runs, since every one of them rounds correctly;
// and the limiter's curve scale tanh(slope x + offset) in one pass, rounded after
// each operation in that order as value by value.
#pragma once

#include <cstddef>

#include "kernels/KernelSet.h"

namespace CorvaneModelBuilder {

// y may be x.
using TanhKernel = void (*)(const double* x, double* y, std::size_t count);
using ScaledTanhKernel = void (*)(const double* x, double* y, std::size_t count, double slope, double offset,
                                  double scale);

extern const KernelSet<TanhKernel> kTanhKernels;
extern const KernelSet<ScaledTanhKernel> kScaledTanhKernels;

}  // namespace CorvaneModelBuilder
