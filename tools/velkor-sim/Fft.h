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

// What overlap-add carries from one segment to the next: each segment's response
// is longer than the segment, and its tail joins the coming samples.
class OverlapCarry {
public:
    explicit OverlapCarry(std::size_t length) : carry_(length, 0.0) {}
    // response: a segment's full response (at least `length` + m samples; the rest
    // counts as 0); writes its first m samples plus the carry to out, `stride`
    // apart, and keeps the tail.
    void Emit(const double* response, std::size_t responseLength, std::size_t m, double* out, std::size_t stride = 1);

private:
    std::vector<double> carry_;
};

// A delay of whole samples in a stream (starting from silence).
class SampleDelay {
public:
    explicit SampleDelay(std::size_t samples) : line_(samples, 0.0) {}
    void Process(double* x, std::size_t n);

private:
    std::vector<double> line_;  // the last outputs before the delay, oldest at at_
    std::size_t at_ = 0;
};

// The zero taps h starts with (a channel's flight time).
std::size_t LeadingZeros(const std::vector<double>& h);

// Linear convolution of a stream with h, by overlap-add: each call filters the
// next stretch of the stream in place, with no delay and in memory set by h alone.
// The zero taps that h starts with are a plain delay: the output stays exactly 0
// until the response arrives, with no round-off of the transforms in it.
class StreamConvolver {
public:
    explicit StreamConvolver(const std::vector<double>& h);
    void Process(double* x, std::size_t n);
    // The stretch one transform handles: calls of this length cost least.
    std::size_t Segment() const { return segment_; }

private:
    std::size_t taps_, segment_;
    SampleDelay delay_;
    RealFft fft_;
    OverlapCarry carry_;
    std::vector<std::complex<double>> hf_;  // spectrum of h, divided by the transform length
    std::vector<std::complex<double>> spectrum_;
    std::vector<double> buf_;
};

// The same convolution for a stream that holds each of its values for `hold`
// samples (NRZ), given as the values. h is convolved with a hold-sample pulse
// once and split into its hold phases (every hold-th tap from tap p): output
// sample b hold + p is the values convolved with phase p at value b. So the
// values are transformed once a segment and each phase's product inverted at
// the bit rate, hold short transforms where the stream would need two long ones.
class HeldStreamConvolver {
public:
    HeldStreamConvolver(const std::vector<double>& h, std::size_t hold);
    // The next `count` values: writes count x hold samples to out.
    void Process(const double* values, std::size_t count, double* out);
    // The values one transform handles: calls of this many cost least.
    std::size_t SegmentValues() const { return segmentValues_; }

private:
    std::size_t hold_, phaseTaps_, segmentValues_;
    SampleDelay delay_;
    RealFft fft_;
    std::vector<OverlapCarry> carries_;  // one a phase
    std::vector<std::complex<double>> phaseSpectra_;  // hold x (length/2 + 1), divided by the transform length
    std::vector<std::complex<double>> valuesSpectrum_, spectrum_;
    std::vector<double> values_, buf_;
};

// The whole linear convolution of a and b (length a + b - 1), by transforms.
std::vector<double> ConvolveFull(const std::vector<double>& a, const std::vector<double>& b);

// Linear convolution of x with h (h much shorter); the output has the length of x.
std::vector<double> Convolve(const std::vector<double>& x, const std::vector<double>& h);

}  // namespace sim
