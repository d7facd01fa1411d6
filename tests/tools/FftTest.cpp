// velkor-sim's transforms against the textbook sums: the complex transform of
// any size, the real one built on a half-length complex one, and its inverse.
#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "tools/velkor-sim/Fft.h"

namespace {

constexpr double kPi = 3.141592653589793;

std::vector<std::complex<double>> Dft(const std::vector<std::complex<double>>& x, int sign) {
    const std::size_t n = x.size();
    std::vector<std::complex<double>> y(n);
    for (std::size_t k = 0; k < n; ++k)
        for (std::size_t j = 0; j < n; ++j)
            y[k] += x[j] * std::polar(1.0, sign * 2 * kPi * static_cast<double>((j * k) % n) / static_cast<double>(n));
    return y;
}

}  // namespace

TEST(Fft, ComplexTransformsOfEverySizeMatchTheSum) {
    std::mt19937 rng(4);
    std::uniform_real_distribution<double> d(-1, 1);
    for (std::size_t n : {2u, 3u, 8u, 12u, 30u, 64u, 100u, 97u}) {
        std::vector<std::complex<double>> x(n);
        for (auto& v : x) v = {d(rng), d(rng)};
        for (int sign : {-1, 1}) {
            auto y = x;
            sim::Fft(y, sign);
            const auto want = Dft(x, sign);
            for (std::size_t k = 0; k < n; ++k) EXPECT_LT(std::abs(y[k] - want[k]), 1e-12 * n) << n << " " << k;
        }
    }
}

TEST(Fft, RealTransformIsTheHalfSpectrumAndItsInverseRestoresTheSignal) {
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> d(-1, 1);
    for (std::size_t n : {4u, 6u, 16u, 40u, 96u, 250u, 1024u}) {
        std::vector<double> x(n);
        for (auto& v : x) v = d(rng);
        std::vector<std::complex<double>> asComplex(x.begin(), x.end());
        const auto want = Dft(asComplex, -1);
        sim::RealFft fft(n);
        ASSERT_EQ(fft.Size(), n);
        std::vector<std::complex<double>> spectrum(n / 2 + 1);
        fft.Forward(x.data(), spectrum.data());
        for (std::size_t k = 0; k <= n / 2; ++k)
            EXPECT_LT(std::abs(spectrum[k] - want[k]), 1e-12 * n) << "size " << n << " bin " << k;
        std::vector<double> back(n);
        fft.Inverse(spectrum.data(), back.data());
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_NEAR(back[i] / static_cast<double>(n), x[i], 1e-14 * n) << "size " << n << " sample " << i;
    }
}
