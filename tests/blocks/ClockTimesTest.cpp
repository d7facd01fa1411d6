#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "blocks/ClockTimes.h"
#include "support/MpfrReference.h"

using namespace CorvaneModelBuilder;

namespace {

std::vector<double> Drive(ClockTimes& block, const std::vector<double>& samples) {
    double in = 0, out = 0;
    block.Input.Attach(&in, 1);
    block.Output.Attach(&out, 1);
    EXPECT_TRUE(block.Initialize());
    std::vector<double> result;
    for (double s : samples) {
        in = s;
        EXPECT_TRUE(block.Run());
        result.push_back(out);
    }
    return result;
}

}  // namespace

TEST(ClockTimes, EdgeTypesSelectTheCrossings) {
    const std::vector<double> in{-1, -1, 1, 1, -1, 1};
    const struct {
        std::int32_t edge;
        std::vector<double> expected;
    } cases[] = {
        {RisingEdge, {-1, -1, 2e-10, -1, -1, 5e-10}},
        {FallingEdge, {-1, -1, -1, -1, 4e-10, -1}},
        {BothEdges, {-1, -1, 2e-10, -1, 4e-10, 5e-10}},
        {3, {-1, -1, -1, -1, -1, -1}},
    };
    for (const auto& c : cases) {
        ClockTimes block;
        block.EdgeType = c.edge;
        const auto out = Drive(block, in);
        ASSERT_EQ(out.size(), c.expected.size());
        for (std::size_t i = 0; i < out.size(); ++i)
            EXPECT_DOUBLE_EQ(out[i], c.expected[i]) << "edge " << c.edge << " sample " << i;
    }
}

TEST(ClockTimes, ZeroSamplesAndTheFirstSample) {
    ClockTimes falling;
    falling.EdgeType = FallingEdge;
    EXPECT_EQ(Drive(falling, {1, 0})[1], 1e-10);  // 0 after a positive sample crosses
    ClockTimes rising;
    rising.EdgeType = RisingEdge;
    const auto out = Drive(rising, {-1, 0, 1});
    EXPECT_EQ(out[1], -1.0);  // 0 after a negative one does not
    EXPECT_EQ(out[2], 2e-10);
    ClockTimes first;
    first.EdgeType = RisingEdge;
    EXPECT_EQ(Drive(first, {1})[0], -1.0);  // no previous sample
}

TEST(ClockTimes, TimeFollowsTheWrittenEvaluationOrder) {
    ClockTimes block;
    block.EdgeType = RisingEdge;
    block.SampleInterval = 6.25e-12;
    block.TimeOffset = 1e-9;
    std::vector<double> in(40, -1.0);
    in[37] = 1.0;
    const auto out = Drive(block, in);
    EXPECT_EQ(out[37], (37.0 - 1) * 6.25e-12 + 6.25e-12 * 1.0 + 1e-9);
}

TEST(ClockTimes, InterpolatedCrossingFractions) {
    const struct {
        double amplitude, prev, cur, frac;
    } cases[] = {
        {1, -0.5, 0.5, 0.5},
        {1, -1, 0.5, 0.75},
        {2, -1, 1, 0.5},
        {1, -3, 0.5, 0.75},  // below -Amplitude: clamped to phase pi
        {1, -0.5, 7, 0.25},  // above +Amplitude: clamped to phase 0
    };
    for (const auto& c : cases) {
        ClockTimes block;
        block.Amplitude = c.amplitude;
        EXPECT_NEAR(block.CrossingFraction(c.prev, c.cur), c.frac, 1e-12) << c.prev << " " << c.cur;
    }
    ClockTimes block;
    block.EdgeType = RisingEdge;
    block.Interpolate = 1;
    const auto out = Drive(block, {-1, -0.5, 0.5});
    EXPECT_NEAR(out[2], 1.5e-10, 1e-22);
}

TEST(ClockTimes, InterpolatedTimesUseTheCorrectlyRoundedArccosine) {
    // A sinusoidal clock sampled off its zeros: every crossing time, bit for bit,
    // as computed with MPFR's arccosine.
    std::mt19937 rng(43);
    std::uniform_real_distribution<double> phase(0.0, 6.283185307179586), amplitude(0.5, 3.0);
    for (int run = 0; run < 20; ++run) {
        ClockTimes block;
        block.EdgeType = BothEdges;
        block.Interpolate = 1;
        block.Amplitude = amplitude(rng);
        std::vector<double> samples;
        double theta = phase(rng);
        for (int i = 0; i < 60; ++i, theta += 0.7) samples.push_back(block.Amplitude * 1.1 * std::sin(theta));
        const auto out = Drive(block, samples);
        for (std::size_t n = 1; n < samples.size(); ++n) {
            if (out[n] < 0) continue;
            auto phaseOf = [&](double s) {
                return MpfrNearest(mpfr_acos, std::fmax(-1.0, std::fmin(1.0, s / block.Amplitude)));
            };
            const double phi0 = phaseOf(samples[n - 1]), phi1 = phaseOf(samples[n]);
            const double frac = (1.5707963267948966 - phi0) / (phi1 - phi0);
            EXPECT_EQ(out[n], static_cast<double>(n - 1) * block.SampleInterval + block.SampleInterval * frac + 0.0)
                << "run " << run << " sample " << n;
        }
    }
}

TEST(ClockTimes, RejectsANonPositiveSampleInterval) {
    for (double interval : {0.0, -1e-12}) {
        ClockTimes block;
        block.SampleInterval = interval;
        block.SampleCount = 5;
        testing::internal::CaptureStderr();
        EXPECT_FALSE(block.Initialize());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "SampleInterval must be larger than 0.\n");
        EXPECT_EQ(block.SampleCount, 5u);
    }
}
