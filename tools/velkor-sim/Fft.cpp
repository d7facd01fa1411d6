#include "tools/velkor-sim/Fft.h"

#include <algorithm>
#include <cmath>

namespace sim {

void Fft(std::vector<std::complex<double>>& a, int sign) {
    const std::size_t n = a.size();
    for (std::size_t i = 1, j = 0; i < n; ++i) {
        std::size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (std::size_t len = 2; len <= n; len <<= 1) {
        const double angle = sign * 2 * 3.141592653589793 / static_cast<double>(len);
        const std::complex<double> step(std::cos(angle), std::sin(angle));
        for (std::size_t i = 0; i < n; i += len) {
            std::complex<double> w(1, 0);
            for (std::size_t k = 0; k < len / 2; ++k) {
                const auto u = a[i + k];
                const auto v = a[i + k + len / 2] * w;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
                w *= step;
            }
        }
    }
}

StreamConvolver::StreamConvolver(const std::vector<double>& h) : taps_(h.size()), size_(1) {
    while (size_ < 2 * taps_) size_ <<= 1;
    segment_ = size_ - taps_ + 1;
    hf_.assign(size_, {});
    buf_.assign(size_, {});
    carry_.assign(taps_, 0.0);
    for (std::size_t i = 0; i < taps_; ++i) hf_[i] = h[i];
    Fft(hf_, -1);
}

void StreamConvolver::Process(double* x, std::size_t n) {
    if (taps_ == 0) {
        std::fill(x, x + n, 0.0);
        return;
    }
    for (std::size_t start = 0; start < n; start += segment_) {
        const std::size_t m = std::min(segment_, n - start);
        std::fill(buf_.begin(), buf_.end(), std::complex<double>());
        for (std::size_t i = 0; i < m; ++i) buf_[i] = x[start + i];
        Fft(buf_, -1);
        for (std::size_t i = 0; i < size_; ++i) buf_[i] *= hf_[i];
        Fft(buf_, 1);
        const double scale = 1.0 / static_cast<double>(size_);
        // The segment's response spans m + taps - 1 samples: m leave now, the rest
        // joins the carry (shifted by m).
        for (std::size_t i = 0; i < m; ++i) x[start + i] = buf_[i].real() * scale + (i < taps_ ? carry_[i] : 0.0);
        for (std::size_t j = 0; j < taps_; ++j) {
            const double older = j + m < taps_ ? carry_[j + m] : 0.0;
            carry_[j] = older + (m + j < size_ ? buf_[m + j].real() * scale : 0.0);
        }
    }
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
