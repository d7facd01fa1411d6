#include "tools/velkor-sim/Fft.h"

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

std::vector<double> Convolve(const std::vector<double>& x, const std::vector<double>& h) {
    std::vector<double> y(x.size(), 0.0);
    if (h.empty() || x.empty()) return y;
    std::size_t size = 1;
    while (size < 2 * h.size()) size <<= 1;
    const std::size_t block = size - h.size() + 1;
    std::vector<std::complex<double>> hf(size), buf(size);
    for (std::size_t i = 0; i < h.size(); ++i) hf[i] = h[i];
    Fft(hf, -1);
    for (std::size_t start = 0; start < x.size(); start += block) {
        std::fill(buf.begin(), buf.end(), std::complex<double>());
        for (std::size_t i = 0; i < block && start + i < x.size(); ++i) buf[i] = x[start + i];
        Fft(buf, -1);
        for (std::size_t i = 0; i < size; ++i) buf[i] *= hf[i];
        Fft(buf, 1);
        for (std::size_t i = 0; i < size && start + i < y.size(); ++i)
            y[start + i] += buf[i].real() / static_cast<double>(size);
    }
    return y;
}

}  // namespace sim
