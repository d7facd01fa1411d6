// The loss figure's curve, taken with a rotated phasor, against the reference
// that takes a complex exponential for every tap.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "tools/velkor-sim/Channel.h"

namespace {

sim::Channel Noise(std::size_t taps, unsigned seed) {
    std::mt19937_64 random(seed);
    std::normal_distribution<double> gauss(0.0, 1.0);
    sim::Channel c;
    for (std::size_t i = 0; i < taps; ++i) c.taps.push_back(gauss(random) / std::sqrt(static_cast<double>(i + 1)));
    return c;
}

}  // namespace

// Built-in traces of several losses and step sizes, and long irregular responses
// (every tap count across the phasor's refresh), at every frequency of the curve.
TEST(LossCurve, RotatedPhasorMatchesTheReferenceEverywhere) {
    const struct {
        std::string name;
        sim::Channel channel;
        double dt;
    } cases[] = {
        {"built-in 12 dB, 16 samples a bit", sim::BuiltInChannel(12, 10e9, 1e-10 / 16), 1e-10 / 16},
        {"built-in 30 dB, 5 samples a bit", sim::BuiltInChannel(30, 10e9, 1e-10 / 5), 1e-10 / 5},
        {"built-in 3 dB at 25 Gb/s, 20 samples a bit", sim::BuiltInChannel(3, 25e9, 4e-11 / 20), 4e-11 / 20},
        {"one tap", Noise(1, 1), 1e-12},
        {"63 taps", Noise(63, 2), 1e-12},
        {"65 taps", Noise(65, 3), 1e-12},
        {"20000 taps", Noise(20000, 4), 1e-12},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.channel.taps.empty()) << c.name;
        // Both sum taps times phasors whose errors reach about 1e-11 on the longest
        // responses (the reference's own phase argument loses that much at
        // thousands of taps), so the sums agree to that times the taps' magnitudes;
        // in dB that is relative to the sum, large where the loss is deep.
        double magnitudes = 0;
        for (const double t : c.channel.taps) magnitudes += std::fabs(t);
        const auto curve = sim::LossCurve(c.channel, 0.5 / c.dt, 200, c.dt);
        ASSERT_EQ(curve.size(), 201u) << c.name;
        for (const auto& point : curve) {
            EXPECT_TRUE(point.measured) << c.name;
            const double want = sim::LossDb(c.channel, point.frequency, c.dt);
            const double gain = std::pow(10.0, -want / 20);
            EXPECT_NEAR(point.lossDb, want, 1e-10 + 8.7 * 2e-11 * magnitudes / gain)
                << c.name << " at " << point.frequency << " Hz";
        }
    }
}
