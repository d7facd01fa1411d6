// Fast Fourier transforms for the channel model, the tracking spectrum and the
// stimulus convolution, on kissfft's header-only C++ template in double precision.
#pragma once

#include <kissfft/kissfft.hh>

#include <complex>
#include <cstddef>
#include <vector>

namespace sim {

// Forward (sign -1) or inverse (sign +1, unscaled) transform, in place; any size.
void Fft(std::vector<std::complex<double>>& data, int sign);

// Transforms of L real values (L even) by one complex transform of L/2 points:
// the even samples as real parts, the odd ones as imaginary parts, untangled by
// the symmetry of a real signal's spectrum.
class RealFft {
public:
    explicit RealFft(std::size_t size);
    std::size_t Size() const { return 2 * half_; }
    // spectrum[k], k = 0 ... L/2, of x[0 ... L-1] (the rest is its mirror image).
    void Forward(const double* x, std::complex<double>* spectrum);
    // x = L times the inverse of Forward: the unscaled inverse transform. The
    // spectrum is used as scratch.
    void Inverse(std::complex<double>* spectrum, double* x);

private:
    std::size_t half_;
    kissfft<double> forward_, inverse_;
    std::vector<std::complex<double>> twiddle_;  // e^(-i pi k / half), k = 0 ... half - 1
    std::vector<std::complex<double>> work_;
};

// Linear convolution of a stream with h, by overlap-add: each call filters the
// next stretch of the stream in place, with no delay and in memory set by h alone.
// The zero taps that h starts with (a channel's flight time) are a plain delay:
// the output stays exactly 0 until the response arrives, with no round-off of
// the transforms in it.
class StreamConvolver {
public:
    explicit StreamConvolver(const std::vector<double>& h);
    void Process(double* x, std::size_t n);
    // The stretch one transform handles: calls of this length cost least.
    std::size_t Segment() const { return segment_; }

private:
    void Filter(double* x, std::size_t n);
    void Delay(double* x, std::size_t n);

    std::size_t taps_, segment_;
    std::vector<double> delayLine_;  // the last outputs before the delay, oldest at delayAt_
    std::size_t delayAt_ = 0;
    RealFft fft_;
    std::vector<std::complex<double>> hf_;  // spectrum of h, divided by the transform length
    std::vector<std::complex<double>> spectrum_;
    std::vector<double> buf_;
    std::vector<double> carry_;  // what earlier segments add to the coming samples
};

// Linear convolution of x with h (h much shorter); the output has the length of x.
std::vector<double> Convolve(const std::vector<double>& x, const std::vector<double>& h);

}  // namespace sim
