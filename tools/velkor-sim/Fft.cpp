#include "tools/velkor-sim/Fft.h"

#include <algorithm>
#include <cmath>

namespace sim {

namespace {

constexpr double kPi = 3.141592653589793;

// The textbook complex product: for finite operands the same values as
// std::complex's operator*, without its recovery of infinite operands from NaN
// results, a test in every iteration (a call when it fires) that keeps the loops
// scalar.
inline std::complex<double> Multiply(std::complex<double> a, std::complex<double> b) {
    return {a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real()};
}

// The smallest even length of at least `minimum` whose factors are kissfft's fast
// radices (2, 3, 4, 5), so that no stage falls back to its generic butterfly.
std::size_t FastLength(std::size_t minimum) {
    std::size_t best = 0;
    for (std::size_t p2 = 2; p2 < 2 * minimum + 2; p2 *= 2)
        for (std::size_t p3 = p2; p3 < 2 * minimum + 2; p3 *= 3)
            for (std::size_t p5 = p3; p5 < 2 * minimum + 2; p5 *= 5)
                if (p5 >= minimum && (best == 0 || p5 < best)) best = p5;
    return best;
}

// The transform length for a response of this many taps: about four times as long,
// so that three quarters of each transform are new output.
std::size_t TransformLength(std::size_t taps) { return FastLength(std::max<std::size_t>(4 * taps, 64)); }

// For the held stream's phases: they are short, so a longer transform against
// them costs little memory and leaves more of each transform new output.
// Eight times their length (4, 8, 16 and 32 times measured: 8 costs least).
std::size_t PhaseTransformLength(std::size_t taps) { return FastLength(std::max<std::size_t>(8 * taps, 64)); }

// Taps of each phase of h convolved with a hold-sample pulse: the pulse's
// length divided by hold, rounded up; none without taps.
std::size_t PhaseTaps(std::size_t taps, std::size_t hold) { return taps == 0 ? 0 : (taps + 2 * hold - 2) / hold; }

}  // namespace

void Fft(std::vector<std::complex<double>>& data, int sign) {
    if (data.size() < 2) return;
    const kissfft<double> fft(data.size(), sign > 0);
    std::vector<std::complex<double>> out(data.size());
    fft.transform(data.data(), out.data());
    data.swap(out);
}

RealFft::RealFft(std::size_t size)
    : half_(size / 2), forward_(half_, false), inverse_(half_, true), twiddle_(half_), work_(half_) {
    for (std::size_t k = 0; k < half_; ++k)
        twiddle_[k] = std::polar(1.0, -kPi * static_cast<double>(k) / static_cast<double>(half_));
}

void RealFft::Forward(const double* x, std::complex<double>* spectrum) {
    // Z = E + i O, with E and O the spectra of the even and the odd samples; then
    // X[k] = E[k] + W^k O[k], W = e^(-i pi / half).
    forward_.transform(reinterpret_cast<const std::complex<double>*>(x), work_.data());
    const std::complex<double>* z = work_.data();
    spectrum[0] = z[0].real() + z[0].imag();
    spectrum[half_] = z[0].real() - z[0].imag();
    for (std::size_t k = 1; k < half_; ++k) {
        const std::complex<double> a = z[k], b = std::conj(z[half_ - k]);
        const std::complex<double> even = 0.5 * (a + b);
        const std::complex<double> odd = 0.5 * (a - b);  // i O[k]
        spectrum[k] = even + Multiply(std::complex<double>(odd.imag(), -odd.real()), twiddle_[k]);
    }
}

void RealFft::Inverse(std::complex<double>* spectrum, double* x) {
    // 2 E[k] = X[k] + conj X[half - k], 2 O[k] = (X[k] - conj X[half - k]) W^-k;
    // the inverse of Z = 2 (E + i O) is then L times the interleaved signal.
    for (std::size_t k = 0; k < half_; ++k) {
        const std::complex<double> a = spectrum[k], b = std::conj(spectrum[half_ - k]);
        const std::complex<double> odd = Multiply(a - b, std::conj(twiddle_[k]));
        work_[k] = (a + b) + std::complex<double>(-odd.imag(), odd.real());
    }
    inverse_.transform(work_.data(), reinterpret_cast<std::complex<double>*>(x));
}

std::size_t LeadingZeros(const std::vector<double>& h) {
    std::size_t k = 0;
    while (k < h.size() && h[k] == 0.0) ++k;
    return k;
}

void OverlapCarry::Emit(const double* response, std::size_t responseLength, std::size_t m, double* out,
                        std::size_t stride) {
    const std::size_t taps = carry_.size(), overlap = std::min(m, taps);
    for (std::size_t i = 0; i < overlap; ++i) out[i * stride] = response[i] + carry_[i];
    for (std::size_t i = overlap; i < m; ++i) out[i * stride] = response[i] + 0.0;  // -0 out as +0, as ever
    // The rest of the response joins the carry, shifted by m.
    for (std::size_t j = 0; j < taps; ++j) {
        const double older = j + m < taps ? carry_[j + m] : 0.0;
        carry_[j] = older + (m + j < responseLength ? response[m + j] : 0.0);
    }
}

void SampleDelay::Process(double* x, std::size_t n) {
    const std::size_t d = line_.size();
    if (d == 0) return;
    for (std::size_t i = 0; i < n; ++i) {
        std::swap(x[i], line_[at_]);
        if (++at_ == d) at_ = 0;
    }
}

StreamConvolver::StreamConvolver(const std::vector<double>& h)
    : taps_(h.size() - LeadingZeros(h)),
      segment_(0),
      delay_(taps_ == 0 ? 0 : LeadingZeros(h)),
      fft_(TransformLength(taps_)),
      carry_(taps_) {
    const std::size_t length = fft_.Size();
    segment_ = length - taps_ + 1;
    hf_.assign(length / 2 + 1, {});
    spectrum_.assign(length / 2 + 1, {});
    buf_.assign(length, 0.0);
    std::copy(h.end() - static_cast<std::ptrdiff_t>(taps_), h.end(), buf_.begin());
    fft_.Forward(buf_.data(), hf_.data());
    const double scale = 1.0 / static_cast<double>(length);
    for (auto& v : hf_) v *= scale;
}

void StreamConvolver::Process(double* x, std::size_t n) {
    if (taps_ == 0) {
        std::fill(x, x + n, 0.0);
        return;
    }
    for (std::size_t start = 0; start < n; start += segment_) {
        const std::size_t m = std::min(segment_, n - start);
        std::copy(x + start, x + start + m, buf_.begin());
        std::fill(buf_.begin() + static_cast<std::ptrdiff_t>(m), buf_.end(), 0.0);
        fft_.Forward(buf_.data(), spectrum_.data());
        for (std::size_t k = 0; k < spectrum_.size(); ++k) spectrum_[k] = Multiply(spectrum_[k], hf_[k]);
        fft_.Inverse(spectrum_.data(), buf_.data());
        carry_.Emit(buf_.data(), buf_.size(), m, x + start);
    }
    delay_.Process(x, n);
}

namespace {

// h (without its leading zeros) convolved with a pulse of `hold` ones.
std::vector<double> HeldPulse(const std::vector<double>& h, std::size_t hold) {
    const std::size_t first = LeadingZeros(h), taps = h.size() - first;
    if (taps == 0) return {};
    std::vector<double> pulse(taps + hold - 1, 0.0);
    for (std::size_t i = 0; i < taps; ++i)
        for (std::size_t j = 0; j < hold; ++j) pulse[i + j] += h[first + i];
    return pulse;
}

}  // namespace

HeldStreamConvolver::HeldStreamConvolver(const std::vector<double>& h, std::size_t hold)
    : hold_(std::max<std::size_t>(hold, 1)),
      phaseTaps_(PhaseTaps(h.size() - LeadingZeros(h), hold_)),
      segmentValues_(0),
      delay_(phaseTaps_ == 0 ? 0 : LeadingZeros(h)),
      fft_(PhaseTransformLength(phaseTaps_)) {
    if (phaseTaps_ == 0) return;
    const std::vector<double> pulse = HeldPulse(h, hold_);
    const std::size_t length = fft_.Size(), bins = length / 2 + 1;
    segmentValues_ = length - phaseTaps_ + 1;
    carries_.assign(hold_, OverlapCarry(phaseTaps_));
    phaseSpectra_.assign(hold_ * bins, {});
    valuesSpectrum_.assign(bins, {});
    spectrum_.assign(bins, {});
    values_.assign(length, 0.0);
    buf_.assign(length, 0.0);
    const double scale = 1.0 / static_cast<double>(length);
    for (std::size_t p = 0; p < hold_; ++p) {
        std::fill(buf_.begin(), buf_.end(), 0.0);
        for (std::size_t k = 0; k * hold_ + p < pulse.size(); ++k) buf_[k] = pulse[k * hold_ + p];
        std::complex<double>* spectrum = phaseSpectra_.data() + p * bins;
        fft_.Forward(buf_.data(), spectrum);
        for (std::size_t k = 0; k < bins; ++k) spectrum[k] *= scale;
    }
}

void HeldStreamConvolver::Process(const double* values, std::size_t count, double* out) {
    if (phaseTaps_ == 0) {
        std::fill(out, out + count * hold_, 0.0);
        return;
    }
    const std::size_t bins = spectrum_.size();
    for (std::size_t start = 0; start < count; start += segmentValues_) {
        const std::size_t c = std::min(segmentValues_, count - start);
        std::copy(values + start, values + start + c, values_.begin());
        std::fill(values_.begin() + static_cast<std::ptrdiff_t>(c), values_.end(), 0.0);
        fft_.Forward(values_.data(), valuesSpectrum_.data());
        double* segment = out + start * hold_;
        for (std::size_t p = 0; p < hold_; ++p) {
            const std::complex<double>* phase = phaseSpectra_.data() + p * bins;
            for (std::size_t k = 0; k < bins; ++k) spectrum_[k] = Multiply(valuesSpectrum_[k], phase[k]);
            fft_.Inverse(spectrum_.data(), buf_.data());
            carries_[p].Emit(buf_.data(), buf_.size(), c, segment + p, hold_);
        }
    }
    delay_.Process(out, count * hold_);
}

std::vector<double> ConvolveFull(const std::vector<double>& a, const std::vector<double>& b) {
    if (a.empty() || b.empty()) return {};
    std::vector<double> y(a);
    y.resize(a.size() + b.size() - 1, 0.0);
    StreamConvolver(b).Process(y.data(), y.size());
    return y;
}

std::vector<double> Convolve(const std::vector<double>& x, const std::vector<double>& h) {
    std::vector<double> y = x;
    StreamConvolver(h).Process(y.data(), y.size());
    return y;
}

}  // namespace sim
