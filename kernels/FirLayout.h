// What every FIR kernel shares: the reference sums and the layout of the input
// that makes the vector kernels' loads aligned.
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

// The input of the first `outputs` outputs laid out `lanes` times, copy s starting
// at x[s - (n - 1)], each on a boundary of `lanes` doubles: the samples a tap needs
// for `lanes` consecutive outputs starting at a multiple of `lanes` are then one
// aligned load from the copy whose shift matches the tap. Returns the copies'
// stride; the copies start at `copies`.
inline std::size_t ShiftedCopies(const double* x, int n, std::size_t outputs, std::size_t lanes, double* scratch,
                                 const double*& copies) {
    const auto alignment = lanes * sizeof(double);
    const auto address = reinterpret_cast<std::uintptr_t>(scratch);
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

}  // namespace CorvaneModelBuilder::fir
