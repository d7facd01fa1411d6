#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "tools/velkor-sim/Confidence.h"
#include "tools/velkor-sim/Fft.h"
#include "tools/velkor-sim/LockDetector.h"

// Exact Poisson limits (chi-square quantiles / 2) and the texts a user reads.
TEST(LinkFigures, BerIntervalsAndTheirTexts) {
    const struct {
        std::size_t errors, bits;
        double low, high;  // in errors, i.e. times bits
        const char* text;
    } cases[] = {
        {0, 99850, 0, 2.9957, "BER < 3.0e-5 (95 % confidence, 99 850 bits)"},
        {1, 1000000, 0.02532, 5.5716, "BER 1.0e-6 (95 %: 2.5e-8 to 5.6e-6, 1 000 000 bits)"},
        {10, 100000, 4.7954, 18.390, "BER 1.0e-4 (95 %: 4.8e-5 to 1.8e-4, 100 000 bits)"},
        {100, 100000, 81.364, 121.63, "BER 1.0e-3 (95 %: 8.1e-4 to 1.2e-3, 100 000 bits)"},
    };
    for (const auto& c : cases) {
        const sim::BerEstimate e = sim::EstimateBer(c.errors, c.bits);
        EXPECT_NEAR(e.low * c.bits, c.low, 1e-3 * c.high) << c.errors;
        EXPECT_NEAR(e.high * c.bits, c.high, 1e-3 * c.high) << c.errors;
        EXPECT_EQ(sim::DescribeBer(e), c.text);
    }
    EXPECT_EQ(sim::DescribeBer(sim::EstimateBer(0, 0)), "BER unknown (no bits compared)");
}

// The streamed convolution against the textbook sum, cut into blocks of any size;
// a response that starts late (leading zero taps) leaves exact zeros until it arrives.
TEST(LinkFigures, StreamedConvolutionMatchesTheDirectSum) {
    std::vector<double> x(3000), response(157);
    for (std::size_t i = 0; i < x.size(); ++i) x[i] = std::sin(0.37 * static_cast<double>(i)) + (i % 7 == 0 ? 1 : 0);
    for (std::size_t i = 0; i < response.size(); ++i)
        response[i] = std::exp(-static_cast<double>(i) / 30.0) * std::cos(0.2 * static_cast<double>(i));
    for (std::size_t late : {0u, 1u, 40u, 2500u}) {
        std::vector<double> h(late, 0.0);
        h.insert(h.end(), response.begin(), response.end());
        std::vector<double> direct(x.size(), 0.0);
        for (std::size_t n = 0; n < x.size(); ++n)
            for (std::size_t k = 0; k < h.size() && k <= n; ++k) direct[n] += h[k] * x[n - k];
        for (std::size_t block : {1u, 7u, 156u, 157u, 500u, 3000u}) {
            sim::StreamConvolver convolver(h);
            std::vector<double> y = x;
            for (std::size_t at = 0; at < y.size(); at += block)
                convolver.Process(y.data() + at, std::min(block, y.size() - at));
            for (std::size_t n = 0; n < y.size(); ++n) {
                ASSERT_NEAR(y[n], direct[n], 1e-9) << "late " << late << " block " << block << " n " << n;
                if (n < late) {
                    ASSERT_EQ(y[n], 0.0) << "late " << late << " block " << block << " n " << n;
                }
            }
        }
    }
    sim::StreamConvolver silent(std::vector<double>(50, 0.0));
    std::vector<double> y = x;
    silent.Process(y.data(), y.size());
    EXPECT_EQ(y, std::vector<double>(x.size(), 0.0));
}

// A held stream (NRZ) convolved from its values equals the stream convolved sample
// by sample, for any hold and any number of values a call, a late response included.
TEST(LinkFigures, HeldStreamConvolutionMatchesTheDirectSum) {
    std::vector<double> response(157);
    for (std::size_t i = 0; i < response.size(); ++i)
        response[i] = std::exp(-static_cast<double>(i) / 30.0) * std::cos(0.2 * static_cast<double>(i));
    for (std::size_t hold : {1u, 5u, 16u, 17u}) {
        for (std::size_t late : {0u, 70u}) {
            std::vector<double> h(late, 0.0);
            h.insert(h.end(), response.begin(), response.end());
            std::vector<double> values(400), x;
            for (std::size_t i = 0; i < values.size(); ++i) values[i] = (i * 7919) % 3 ? 0.4 : -0.4;
            for (double v : values) x.insert(x.end(), hold, v);
            std::vector<double> direct(x.size(), 0.0);
            for (std::size_t n = 0; n < x.size(); ++n)
                for (std::size_t k = 0; k < h.size() && k <= n; ++k) direct[n] += h[k] * x[n - k];
            for (std::size_t perCall : {1u, 13u, 400u}) {
                sim::HeldStreamConvolver convolver(h, hold);
                ASSERT_GT(convolver.SegmentValues(), 0u);
                std::vector<double> y(x.size());
                for (std::size_t at = 0; at < values.size(); at += perCall) {
                    const std::size_t count = std::min(perCall, values.size() - at);
                    convolver.Process(values.data() + at, count, y.data() + at * hold);
                }
                for (std::size_t n = 0; n < y.size(); ++n) {
                    ASSERT_NEAR(y[n], direct[n], 1e-9) << "hold " << hold << " late " << late << " n " << n;
                    if (n < late) {
                        ASSERT_EQ(y[n], 0.0) << "hold " << hold << " late " << late << " n " << n;
                    }
                }
            }
        }
    }
}

// Lock is the start of the first stretch of windows whose mean phase holds, once
// the frequency correction (where the model reports one) has reached the
// transmitter's offset; it is found from the past alone and does not depend on
// the jitter on the edges, which the window means average out.
TEST(LinkFigures, LockDetectorFindsTheStartOfTheSettledStretch) {
    const std::size_t n = sim::LockDetector::kEdges;
    const double unknown = sim::LockDetector::kUnknown;
    struct Edge {
        double phase, correction, txPpm;  // the transmitter's offset at this edge
    };
    const struct {
        const char* name;
        std::function<Edge(std::size_t)> edge;
        bool locks;
        std::size_t start;
    } cases[] = {
        {"steady from the start", [&](std::size_t) { return Edge{0.3, unknown, 0}; }, true, 0},
        {"drift, then steady with dither",
         [&](std::size_t k) { return Edge{k < 3000 ? 0.004 * k : 0.3 + (k % 2 ? 0.06 : -0.06), unknown, 0}; }, true, 3000},
        {"steady across 0", [&](std::size_t k) { return Edge{k < 2000 ? 0.002 * k : 0.98 + (k % 2 ? 0.05 : -0.05), unknown, 0}; },
         true, 2000},
        {"dither of 0.3 UI each edge averages out", [&](std::size_t k) { return Edge{0.3 + (k % 2 ? 0.3 : -0.3), unknown, 0}; },
         true, 0},
        {"a phase that keeps drifting", [&](std::size_t k) { return Edge{0.0002 * k, unknown, 0}; }, false, 0},
        // The integrator reaches the offset (within 100 ppm) in the window from edge 18000 on.
        {"integrator still unwinding", [&](std::size_t k) { return Edge{0.3, std::max(0.0, 1000 - 0.05 * k), 0}; },
         true, 18000},
        {"integrator following a transmitter that speeds up", [&](std::size_t k) { return Edge{0.3, 50 + 0.01 * k, 0.01 * k}; },
         true, 0},
        {"integrator far from the transmitter's offset", [&](std::size_t) { return Edge{0.3, 500, 0}; }, false, 0},
        // A model that reports its correction, none yet covering these edges (its first call).
        {"correction not yet known",
         [&](std::size_t k) { return Edge{0.3, k < 4500 ? sim::LockDetector::kNotYetKnown : 0.0, 0}; }, true, 5000},
    };
    for (const auto& c : cases) {
        sim::LockDetector detector(0.125);
        for (std::size_t k = 0; k < 20000 + n + 10; ++k) {
            const Edge e = c.edge(k);
            detector.Add(static_cast<double>(k) + e.phase, e.correction, e.txPpm);
        }
        EXPECT_EQ(detector.Locked(), c.locks) << c.name;
        if (c.locks) {
            EXPECT_EQ(detector.Start(), c.start) << c.name;
        }
    }
}

// A stretch found wrong is rejected: the search starts again at the next edge,
// counted over every edge given, also those that came after the lock.
TEST(LinkFigures, RejectedLockStartsANewStretchAtTheNextEdge) {
    const std::size_t n = sim::LockDetector::kEdges;
    sim::LockDetector detector(0.125);
    for (std::size_t k = 0; k < n + 500; ++k) detector.Add(0.3);
    ASSERT_TRUE(detector.Locked());
    EXPECT_EQ(detector.Start(), 0u);
    detector.Reject();
    EXPECT_FALSE(detector.Locked());
    EXPECT_EQ(detector.Start(), n + 500);
    for (std::size_t k = 0; k + 1 < n; ++k) detector.Add(0.7);
    EXPECT_FALSE(detector.Locked());
    detector.Add(0.7);
    EXPECT_TRUE(detector.Locked());
    EXPECT_EQ(detector.Start(), n + 500);
    EXPECT_NEAR(detector.MeanPhase(), -0.3, 1e-12);  // 0.7 UI, as a circular mean
}
