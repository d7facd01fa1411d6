#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "tools/velkor-sim/Jitter.h"
#include "tools/velkor-sim/Stimulus.h"

namespace {

constexpr double kUi = 100e-12;
constexpr int kSpb = 16;
constexpr double kPi = 3.14159265358979323846;

struct MeasuredEdge {
    long long bit;  // the transmitted bit the edge starts
    double time;    // seconds
};

// The transmitter's waveform straight, with no channel, and its edges measured
// back: each transition's centre is the centroid of its sample differences,
// and whole bits between transitions are counted from the gaps.
std::vector<MeasuredEdge> MeasureEdges(const sim::Impairments& impairments, std::size_t bits) {
    sim::StimulusSettings settings;
    settings.bits = bits;
    settings.samplesPerBit = kSpb;
    settings.bitTime = kUi;
    settings.amplitude = 1.0;
    settings.impairments = impairments;
    sim::Stimulus stimulus(settings, {1.0});
    std::vector<double> wave(stimulus.TotalSamples());
    stimulus.Next(wave.data(), wave.size());
    const double dt = kUi / kSpb;
    std::vector<MeasuredEdge> edges;
    for (std::size_t i = 0; i + 1 < wave.size();) {
        if (std::fabs(wave[i + 1] - wave[i]) < 1e-12) {
            ++i;
            continue;
        }
        double sum = 0, moment = 0;
        for (; i + 1 < wave.size() && std::fabs(wave[i + 1] - wave[i]) >= 1e-12; ++i) {
            sum += wave[i + 1] - wave[i];
            moment += (static_cast<double>(i) + 0.5) * (wave[i + 1] - wave[i]);
        }
        const double time = (moment / sum + 0.5) * dt;
        const long long bit = edges.empty() ? std::llround(time / kUi)
                                            : edges.back().bit + std::llround((time - edges.back().time) / kUi);
        edges.push_back({bit, time});
    }
    // The last transition may be cut by the end of the waveform.
    if (!edges.empty()) edges.pop_back();
    return edges;
}

}  // namespace

// The edges of the transmitted waveform carry exactly the jitter asked for.
TEST(TransmitterJitter, EdgesMeasuredFromTheWaveformCarryTheRequestedJitter) {
    const struct {
        std::string name;
        sim::Impairments impairments;
        std::size_t bits;
    } cases[] = {
        {"ideal", {}, 20000},
        {"300 ppm", {300, 0, 33e3, {}, 0, 0}, 40000},
        {"-1000 ppm", {-1000, 0, 33e3, {}, 0, 0}, 20000},
        {"SJ 0.3 UI at 5 MHz and 0.1 UI at 80 MHz", {0, 0, 33e3, {{0.3, 5e6}, {0.1, 80e6}}, 0, 0}, 40000},
        {"RJ 0.05 UI", {0, 0, 33e3, {}, 0.05, 0}, 60000},
        {"DJ 0.2 UI", {0, 0, 33e3, {}, 0, 0.2}, 60000},
        {"SSC 5000 ppm at 1 MHz", {0, 5000, 1e6, {}, 0, 0}, 40000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto& imp = c.impairments;
        const auto edges = MeasureEdges(imp, c.bits);
        ASSERT_GT(edges.size(), c.bits / 3);
        const double period = kUi / (1 + imp.ppm * 1e-6);
        // Deviation of each edge from the transmitter's own grid, in UI.
        std::vector<double> deviation;
        for (const auto& e : edges) deviation.push_back((e.time - static_cast<double>(e.bit) * period) / kUi);
        double sum = 0, sum2 = 0;
        for (double d : deviation) {
            sum += d;
            sum2 += d * d;
        }
        const double n = static_cast<double>(deviation.size());
        const double mean = sum / n, rms = std::sqrt(sum2 / n - mean * mean);
        const auto [lo, hi] = std::minmax_element(deviation.begin(), deviation.end());
        if (imp.sscPpm > 0) {
            // Down-spread: the local bit period runs from nominal to nominal / (1 - depth),
            // and one modulation period holds (1 - depth/2) of the nominal bits.
            const double depth = imp.sscPpm * 1e-6, modulation = 1 / imp.sscFrequency;
            double shortest = 1e9, longest = 0;
            for (std::size_t k = 0; k + 40 < edges.size(); k += 20) {
                const double local = (edges[k + 40].time - edges[k].time) / static_cast<double>(edges[k + 40].bit - edges[k].bit);
                shortest = std::min(shortest, local);
                longest = std::max(longest, local);
            }
            EXPECT_NEAR(shortest / kUi, 1.0, 2e-4);
            EXPECT_NEAR(longest / kUi, 1 / (1 - depth), 2e-4);
            for (int k = 1; k <= 3; ++k) {
                const auto after = std::find_if(edges.begin(), edges.end(), [&](const MeasuredEdge& e) { return e.time >= k * modulation; });
                ASSERT_NE(after, edges.end());
                EXPECT_NEAR(static_cast<double>(after->bit), k * modulation * (1 - depth / 2) / kUi, 16.0) << k;
                EXPECT_NEAR(after->time / kUi - static_cast<double>(after->bit), k * modulation * depth / 2 / kUi, 0.01) << k;
            }
        } else if (!imp.sj.empty()) {
            double worst = 0;
            for (std::size_t k = 0; k < edges.size(); ++k) {
                const double smooth = static_cast<double>(edges[k].bit) * kUi;
                double expected = 0;
                for (const auto& s : imp.sj) expected += s.amplitudeUi * std::sin(2 * kPi * s.frequency * smooth);
                worst = std::max(worst, std::fabs(deviation[k] - expected));
            }
            EXPECT_LT(worst, 1e-9);
            EXPECT_NEAR(*hi, 0.4, 0.01);
            EXPECT_NEAR(*lo, -0.4, 0.01);
        } else if (imp.rjUi > 0) {
            EXPECT_NEAR(mean, 0, 0.002);
            EXPECT_NEAR(rms, imp.rjUi, 0.03 * imp.rjUi);
            EXPECT_GT(*hi, 3 * imp.rjUi);  // Gaussian tails, not a bounded spread
        } else if (imp.djUi > 0) {
            EXPECT_LE(*hi, imp.djUi / 2 + 1e-9);
            EXPECT_GE(*lo, -imp.djUi / 2 - 1e-9);
            EXPECT_GT(*hi - *lo, 0.99 * imp.djUi);
            EXPECT_NEAR(rms, imp.djUi / std::sqrt(12.0), 0.03 * imp.djUi);  // uniform
        } else {
            EXPECT_LT(std::max(std::fabs(*lo), std::fabs(*hi)), 1e-9);  // exactly on the grid: the frequency offset alone
        }
    }
}

// The smoothed edge: monotonic, symmetric, and centred where asked.
TEST(TransmitterJitter, SmoothStepIsASymmetricMonotonicEdge) {
    double previous = 0;
    for (double x = -2.5; x <= 2.5; x += 0.01) {
        const double v = sim::SmoothStep(x);
        EXPECT_GE(v, previous - 1e-15) << x;
        EXPECT_NEAR(v + sim::SmoothStep(-x), 1.0, 1e-14) << x;
        previous = v;
    }
    EXPECT_EQ(sim::SmoothStep(-2), 0.0);
    EXPECT_EQ(sim::SmoothStep(2), 1.0);
    EXPECT_NEAR(sim::SmoothStep(-1), 1.0 / 24, 1e-15);
}
