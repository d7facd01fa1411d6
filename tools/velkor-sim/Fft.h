// In-place radix-2 complex FFT, for the channel model and its convolution.
#pragma once

#include <complex>
#include <vector>

namespace sim {

// Forward (sign -1) or inverse (sign +1, unscaled) transform; size a power of two.
void Fft(std::vector<std::complex<double>>& data, int sign);

// Linear convolution of x with h (h much shorter), by overlap-add; the output
// has the length of x.
std::vector<double> Convolve(const std::vector<double>& x, const std::vector<double>& h);

}  // namespace sim
