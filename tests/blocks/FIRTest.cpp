#include <gtest/gtest.h>

#include <complex>
#include <random>
#include <string>
#include <vector>

#include "blocks/FIR.h"

using namespace CorvaneModelBuilder;

namespace {

// Direct reference: upsample by I with zeros, convolve, keep v[P + k*D].
std::vector<double> UpsampleFilterDecimate(const std::vector<double>& x, const std::vector<double>& taps,
                                           int d, int p, int i, std::size_t outputs) {
    std::vector<double> y;
    for (std::size_t k = 0; k < outputs; ++k) {
        const long n = p + static_cast<long>(k) * d;
        double acc = 0;
        for (long q = 0; q < static_cast<long>(taps.size()); ++q) {
            const long u = n - q;
            if (u < 0 || u % i != 0) continue;
            const long s = u / i;
            if (s < static_cast<long>(x.size())) acc += taps[q] * x[s];
        }
        y.push_back(acc);
    }
    return y;
}

// Drives an FIR block firing by firing over x and collects every output.
template <typename T, int K>
std::vector<T> RunBlock(FIR<T, K>& fir, const std::vector<T>& x) {
    std::vector<T> in(fir.Decimation), out(fir.Interpolation), y;
    fir.Input.Storage = in.data();
    fir.Input.Capacity = in.size();
    fir.Output.Storage = out.data();
    fir.Output.Capacity = out.size();
    EXPECT_TRUE(fir.Initialize());
    for (std::size_t s = 0; s + fir.Decimation <= x.size(); s += fir.Decimation) {
        for (int j = 0; j < fir.Decimation; ++j) in[j] = x[s + j];
        EXPECT_TRUE(fir.Run());
        y.insert(y.end(), out.begin(), out.end());
    }
    return y;
}

struct PolyphaseCase {
    int taps, d, p, i;
};

}  // namespace

class FIRPolyphase : public testing::TestWithParam<PolyphaseCase> {};

TEST_P(FIRPolyphase, MatchesUpsampleFilterDecimate) {
    const auto c = GetParam();
    std::mt19937 rng(1234 + c.taps * 7 + c.d * 3 + c.i);
    std::uniform_real_distribution<double> dist(-1, 1);
    std::vector<double> taps(c.taps), x(60 * c.d);
    for (auto& t : taps) t = dist(rng);
    for (auto& v : x) v = dist(rng);

    FIR<double, 0> fir;
    fir.Taps = taps.data();
    fir.NumberOfTaps = c.taps;
    fir.Decimation = c.d;
    fir.DecimationPhase = c.p;
    fir.Interpolation = c.i;
    ASSERT_TRUE(fir.Setup());
    EXPECT_EQ(fir.TapsPerPhase, (c.taps + c.i - 1) / c.i);
    EXPECT_EQ(fir.History.RequiredSize, static_cast<std::uint64_t>(c.d + 1 + c.taps / c.i));
    EXPECT_EQ(fir.Input.Rate, static_cast<std::uint64_t>(c.d));
    EXPECT_EQ(fir.Output.Rate, static_cast<std::uint64_t>(c.i));
    const auto y = RunBlock(fir, x);
    const auto ref = UpsampleFilterDecimate(x, taps, c.d, c.p, c.i, y.size());
    ASSERT_EQ(y.size(), ref.size());
    for (std::size_t k = 0; k < y.size(); ++k) EXPECT_NEAR(y[k], ref[k], 1e-12) << "output " << k;
}

INSTANTIATE_TEST_SUITE_P(Cases, FIRPolyphase,
                         testing::Values(PolyphaseCase{5, 1, 0, 2}, PolyphaseCase{4, 1, 0, 2},
                                         PolyphaseCase{7, 2, 1, 1}, PolyphaseCase{9, 3, 2, 2},
                                         PolyphaseCase{125, 1, 0, 1}, PolyphaseCase{1, 1, 0, 1},
                                         PolyphaseCase{10, 4, 3, 3}));

TEST(FIR, OneInputTwoOutputsUseTheirPhaseTaps) {
    // D = 1, I = 2: x[s] yields h0 x[s] + h2 x[s-1] and h1 x[s] + h3 x[s-1].
    std::vector<double> taps{1, 10, 100, 1000};
    FIR<double, 0> fir;
    fir.Taps = taps.data();
    fir.NumberOfTaps = 4;
    fir.Interpolation = 2;
    ASSERT_TRUE(fir.Setup());
    const auto y = RunBlock(fir, std::vector<double>{2, 3});
    EXPECT_EQ(y, (std::vector<double>{2, 20, 3 + 200, 30 + 2000}));
}

TEST(FIR, DecimationThreeInterpolationTwoPhaseTwoKeepsEveryThird) {
    std::vector<double> taps{1, 2, 3, 4, 5};
    std::vector<double> x{1, -2, 3, 5, 7, -11, 13, 17, 19};
    FIR<double, 0> fir;
    fir.Taps = taps.data();
    fir.NumberOfTaps = 5;
    fir.Decimation = 3;
    fir.DecimationPhase = 2;
    fir.Interpolation = 2;
    ASSERT_TRUE(fir.Setup());
    const auto y = RunBlock(fir, x);
    // First firing: v[2], v[5]; next: v[8], v[11].
    const auto v = UpsampleFilterDecimate(x, taps, 1, 0, 2, 18);
    ASSERT_GE(y.size(), 4u);
    EXPECT_EQ(y[0], v[2]);
    EXPECT_EQ(y[1], v[5]);
    EXPECT_EQ(y[2], v[8]);
    EXPECT_EQ(y[3], v[11]);
}

TEST(FIR, ImpulseReproducesTheTapsBitForBit) {
    std::vector<double> taps{0.1, -0.25, 1e-300, 3.5, -0.0};
    FIR<double, 1> fir;
    fir.Taps = taps.data();
    fir.NumberOfTaps = 5;
    ASSERT_TRUE(fir.Setup());
    std::vector<double> x(7, 0.0);
    x[0] = 1.0;
    const auto y = RunBlock(fir, x);
    for (std::size_t k = 0; k < 4; ++k) EXPECT_EQ(y[k], taps[k]);
    EXPECT_EQ(y[5], 0.0);
}

TEST(FIR, AccumulatesInTapOrder) {
    // 1 + 1e-16 - 1 depends on the order of the additions.
    std::vector<double> taps{1.0, 1e-16, -1.0};
    FIR<double, 0> fir;
    fir.Taps = taps.data();
    fir.NumberOfTaps = 3;
    ASSERT_TRUE(fir.Setup());
    const auto y = RunBlock(fir, std::vector<double>{1, 1, 1});
    EXPECT_EQ(y[2], (0.0 + 1.0 * 1.0 + 1e-16 * 1.0) + -1.0 * 1.0);
}

TEST(FIR, ComplexTapsMultiplyAsComplexNumbers) {
    using C = std::complex<double>;
    std::vector<C> taps{{1, 2}, {0, -1}};
    FIR<C, 0> fir;
    fir.Taps = taps.data();
    fir.NumberOfTaps = 2;
    ASSERT_TRUE(fir.Setup());
    const auto y = RunBlock(fir, std::vector<C>{{3, 4}, {1, 0}});
    EXPECT_EQ(y[0], C(1, 2) * C(3, 4));
    EXPECT_EQ(y[1], C(1, 2) * C(1, 0) + C(0, -1) * C(3, 4));
}

TEST(FIR, InitializeTwiceRestartsFromSilence) {
    std::vector<double> taps{1, 1};
    FIR<double, 0> fir;
    fir.Taps = taps.data();
    fir.NumberOfTaps = 2;
    ASSERT_TRUE(fir.Setup());
    RunBlock(fir, std::vector<double>{5, 5});
    const auto y = RunBlock(fir, std::vector<double>{1, 0});  // Initialize again inside
    EXPECT_EQ(y, (std::vector<double>{1, 1}));
    EXPECT_TRUE(fir.Finalize());
    EXPECT_EQ(fir.HistoryStorage, nullptr);
}

TEST(FIR, ReportsEveryFailingCheckInOrder) {
    const struct {
        int taps, d, p, i;
        std::string expected;
    } cases[] = {
        {0, -2, -1, 0,
         "There must be at least one Tap\nDecimation must be > 0\nDecimationPhase must be >= 0\n"
         "DecimationPhase must be < Decimation ratio\nInterpolation must be > 0\n"},
        {3, 0, 0, 1, "Decimation must be > 0\nDecimationPhase must be < Decimation ratio\n"},
        {3, 2, 2, 1, "DecimationPhase must be < Decimation ratio\n"},
    };
    for (const auto& c : cases) {
        FIR<double, 0> fir;
        fir.NumberOfTaps = c.taps;
        fir.Decimation = c.d;
        fir.DecimationPhase = c.p;
        fir.Interpolation = c.i;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(fir.Setup());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.expected);
        EXPECT_EQ(fir.Input.Rate, 1u);  // nothing changed
    }
}
