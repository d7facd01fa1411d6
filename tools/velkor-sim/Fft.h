// In-place radix-2 complex FFT, for the channel model and its convolution.
#pragma once

#include <complex>
#include <vector>

namespace sim {

// Forward (sign -1) or inverse (sign +1, unscaled) transform; size a power of two.
void Fft(std::vector<std::complex<double>>& data, int sign);

// Linear convolution of a stream with h, by overlap-add: each call filters the
// next stretch of the stream in place, with no delay and in memory set by h alone.
class StreamConvolver {
public:
    explicit StreamConvolver(const std::vector<double>& h);
    void Process(double* x, std::size_t n);
    // The stretch one transform handles: calls of this length cost least.
    std::size_t Segment() const { return segment_; }

private:
    std::size_t taps_, size_, segment_;
    std::vector<std::complex<double>> hf_, buf_;
    std::vector<double> carry_;  // what earlier segments add to the coming samples
};

// The whole linear convolution of a and b (length a + b - 1), by transforms.
std::vector<double> ConvolveFull(const std::vector<double>& a, const std::vector<double>& b);

// Linear convolution of x with h (h much shorter); the output has the length of x.
std::vector<double> Convolve(const std::vector<double>& x, const std::vector<double>& h);

}  // namespace sim
