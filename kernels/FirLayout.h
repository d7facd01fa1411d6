// What every FIR kernel shares: the reference sums, and the aligned scratch in
// which the vector kernels lay out their input.
#pragma once

#include <cstddef>
#include <cstdint>

namespace CorvaneModelBuilder::fir {

// y[k] = (((0 + h[0] x[k]) + h[1] x[k-1]) + ...) + h[n-1] x[k-n+1], output by output.
inline void ReferenceSums(const double* h, int n, const double* x, double* y, std::size_t count) {
    for (std::size_t k = 0; k < count; ++k) {
        double acc = 0.0;
        for (int t = 0; t < n; ++t) acc = acc + h[t] * x[static_cast<std::ptrdiff_t>(k) - t];
        y[k] = acc;
    }
}

// The first boundary of `lanes` doubles in scratch (which has `lanes` doubles to spare).
inline double* AlignedScratch(double* scratch, std::size_t lanes) {
    const auto alignment = lanes * sizeof(double);
    const auto address = reinterpret_cast<std::uintptr_t>(scratch);
    return scratch + (alignment - address % alignment) % alignment / sizeof(double);
}

}  // namespace CorvaneModelBuilder::fir
