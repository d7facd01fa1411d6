// The transmitter's FFE and rise time, folded into the channel's response.
#include <gtest/gtest.h>

#include <cmath>
#include <numeric>
#include <string>
#include <vector>

#include "tools/velkor-sim/Transmitter.h"

TEST(TransmitterFfe, TapsAreReadNormalisedAndNamed) {
    const struct {
        const char* text;
        std::vector<double> taps;  // empty: refused
        int main;
        const char* description;
    } cases[] = {
        {"-0.1,0.7,-0.2", {-0.1, 0.7, -0.2}, 1, "FFE pre 1 -0.1, main 0.7, post 1 -0.2"},
        {"1,-0.25", {0.8, -0.2}, 0, "FFE main 0.8, post 1 -0.2 (taps scaled by 1/1.25 so that their magnitudes sum to 1)"},
        {"-0.2,-0.1,1.2", {-0.2 / 1.5, -0.1 / 1.5, 0.8}, 2, "FFE pre 2 -0.1333, pre 1 -0.06667, main 0.8 (taps scaled by 1/1.5 so that their magnitudes sum to 1)"},
        {"0,0", {}, 0, ""},
        {"0.5,,0.5", {}, 0, ""},
        {"x", {}, 0, ""},
        {"nan", {}, 0, ""},
    };
    for (const auto& c : cases) {
        sim::TransmitterShape shape;
        std::string error;
        EXPECT_EQ(sim::ParseFfe(c.text, shape, error), !c.taps.empty()) << c.text;
        if (c.taps.empty()) {
            EXPECT_NE(error.find("--tx-ffe needs"), std::string::npos) << c.text;
            continue;
        }
        ASSERT_EQ(shape.ffe.size(), c.taps.size()) << c.text;
        for (std::size_t i = 0; i < c.taps.size(); ++i) EXPECT_NEAR(shape.ffe[i], c.taps[i], 1e-12) << c.text;
        EXPECT_EQ(shape.mainCursor, c.main) << c.text;
        EXPECT_EQ(sim::DescribeTransmitter(shape), c.description) << c.text;
    }
}

// Through an ideal channel the FFE taps land one UI apart, and the rise time
// measured from the step response is the one asked for.
TEST(TransmitterShape, FfeTapsSitOneUiApartAndTheEdgeRisesInItsTime) {
    const int spb = 16;
    const double dt = 100e-12 / spb;
    sim::TransmitterShape shape;
    std::string error;
    ASSERT_TRUE(sim::ParseFfe("-0.1,0.7,-0.2", shape, error));
    const std::vector<double> h = sim::ShapeResponse({1.0}, shape, spb, dt);
    ASSERT_EQ(h.size(), 2u * spb + 1);
    for (std::size_t i = 0; i < h.size(); ++i) {
        const double want = i == 0 ? -0.1 : i == spb ? 0.7 : i == 2 * spb ? -0.2 : 0.0;
        EXPECT_NEAR(h[i], want, 1e-12) << i;
    }
    for (double rise : {20e-12, 35e-12, 80e-12}) {
        sim::TransmitterShape edge;
        edge.riseTime = rise;
        const std::vector<double> g = sim::ShapeResponse({1.0}, edge, spb, dt);
        std::vector<double> step(g.size());
        std::partial_sum(g.begin(), g.end(), step.begin());
        EXPECT_NEAR(step.back(), 1, 1e-12);
        auto crossing = [&](double level) {  // linear interpolation between samples
            for (std::size_t i = 1; i < step.size(); ++i)
                if (step[i] >= level) return (static_cast<double>(i) - 1 + (level - step[i - 1]) / (step[i] - step[i - 1])) * dt;
            return -1.0;
        };
        // The samples are the step's values at the ends of their intervals: half a sample of slack.
        EXPECT_NEAR(crossing(0.8) - crossing(0.2), rise, 0.08 * rise) << rise;
    }
}
