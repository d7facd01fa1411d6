// The model's blocks over buffers against their per-sample Run: the limiter, the
// clock recovery (which stops where its set index changes) and the clock times
// give Run's outputs and state bit for bit, however the buffers are cut.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "blocks/ClockTimes.h"
#include "kernels/KernelSet.h"
#include "model/CDR.h"
#include "model/DC.h"
#include "support/ScratchDirectory.h"

using CorvaneModelBuilder::KernelKind;

namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::vector<double> Wave(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> dist(-0.6, 0.6);
    std::vector<double> x(n);
    for (std::size_t i = 0; i < n; ++i) x[i] = (i / 16 % 3 == 0 ? -1.0 : 1.0) * 0.3 + dist(rng) * 0.2;
    x[5] = std::numeric_limits<double>::quiet_NaN();
    x[6] = std::numeric_limits<double>::infinity();
    x[7] = -std::numeric_limits<double>::infinity();
    x[8] = -0.0;
    return x;
}

}  // namespace

TEST(BlockProcess, LimiterOverABufferIsRunValueByValue) {
    const auto x = Wave(1000, 3);
    struct Curve {
        std::int32_t corner, boost;
    };
    for (const Curve c : {Curve{0, 0}, Curve{0, 1}, Curve{1, 0}, Curve{1, 1}, Curve{2, 0}, Curve{2, 1}, Curve{7, 0}}) {
        for (KernelKind kind : CorvaneModelBuilder::kKernelKinds) {
            if (!CorvaneModelBuilder::KernelSupported(kind)) continue;
            DC run, block;
            for (DC* d : {&run, &block}) {
                d->Corner = c.corner;
                d->GainBoost = c.boost;
            }
            block.SetKernel(kind);
            std::vector<double> y(x);
            block.Process(y.data(), y.data(), y.size());  // in place
            for (std::size_t i = 0; i < x.size(); ++i) {
                run.In = x[i];
                ASSERT_TRUE(run.Run());
                ASSERT_TRUE(SameBits(y[i], run.Out)) << "corner " << c.corner << " boost " << c.boost << " kernel "
                                                     << CorvaneModelBuilder::KernelName(kind) << " value " << i;
            }
        }
    }
}

TEST(BlockProcess, ClockRecoveryStopsWhereItsSetIndexChanges) {
    ScratchDirectory scratch;
    const auto x = Wave(20000, 5);
    // The gain code is forced before these samples: the set index changes there.
    const std::vector<std::size_t> kicks = {700, 701, 4000, 12345};
    struct Case {
        std::int32_t threshold, samplesPerUI;
        std::size_t maxBuffer;
    };
    for (const Case c : {Case{3, 16, 512}, Case{0, 5, 1}, Case{1, 33, 9000}, Case{6, 16, 77}, Case{9, 2, 300}}) {
        CDR run, block;
        for (CDR* d : {&run, &block}) {
            d->CDR_Threshold = c.threshold;
            d->SamplesPerUI = c.samplesPerUI;
            d->LogPeriod = 1000;
            d->GainCode = -1;
            ASSERT_TRUE(d->Setup());
            ASSERT_TRUE(d->Initialize());
        }
        std::vector<double> out(x.size()), clock(x.size()), runOut, runClock, runIndex;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (std::find(kicks.begin(), kicks.end(), i) != kicks.end()) run.AEQ_gain = static_cast<double>(i % 16);
            run.In = x[i];
            ASSERT_TRUE(run.Run());
            runOut.push_back(run.DataOut);
            runClock.push_back(run.ClockOut);
            runIndex.push_back(run.SetIndexOut);
        }
        std::mt19937 rng(11);
        std::size_t pos = 0;
        while (pos < x.size()) {
            if (std::find(kicks.begin(), kicks.end(), pos) != kicks.end()) block.AEQ_gain = static_cast<double>(pos % 16);
            std::size_t n = std::min<std::size_t>(1 + rng() % c.maxBuffer, x.size() - pos);
            for (std::size_t k : kicks) {
                if (k > pos) n = std::min(n, k - pos);
            }
            const std::size_t m = block.Process(x.data() + pos, out.data() + pos, clock.data() + pos, n);
            ASSERT_GE(m, 1u);
            ASSERT_LE(m, n);
            // It stops exactly after the first sample whose index differs from the one before.
            const double before = pos == 0 ? 0.0 : runIndex[pos - 1];
            std::size_t expected = n;
            for (std::size_t i = pos; i < pos + n; ++i) {
                if (!SameBits(runIndex[i], before)) {
                    expected = i - pos + 1;
                    break;
                }
            }
            ASSERT_EQ(m, expected) << "setting " << c.threshold << " at sample " << pos;
            pos += m;
        }
        for (std::size_t i = 0; i < x.size(); ++i) {
            ASSERT_TRUE(SameBits(out[i], runOut[i])) << "setting " << c.threshold << " sample " << i;
            ASSERT_TRUE(SameBits(clock[i], runClock[i])) << "setting " << c.threshold << " sample " << i;
        }
        EXPECT_EQ(block.SampleCount, run.SampleCount);
        EXPECT_EQ(block.PhaseCount, run.PhaseCount);
        EXPECT_EQ(block.AEQ_gain, run.AEQ_gain);
        EXPECT_EQ(block.PhaseVotes, run.PhaseVotes);
        EXPECT_TRUE(SameBits(block.FrequencyCode, run.FrequencyCode));
        EXPECT_TRUE(SameBits(block.SetIndexOut, run.SetIndexOut));
    }
}

TEST(BlockProcess, ClockTimesOverABufferAreRunsCrossings) {
    std::vector<double> clock(3000);
    for (std::size_t i = 0; i < clock.size(); ++i) clock[i] = std::sin(0.05 * static_cast<double>(i) + 0.3);
    clock[100] = 0.0;  // on the level: no rising crossing from above
    clock[700] = std::numeric_limits<double>::quiet_NaN();  // neither above nor at or below zero
    for (std::size_t i = 1500; i < 2200; ++i) clock[i] = i / 8 % 2 == 0 ? 1.0 : 0.0;  // a recovered clock's levels
    struct Case {
        std::int32_t edge, interpolate;
    };
    for (const Case c : {Case{CorvaneModelBuilder::RisingEdge, 0}, Case{CorvaneModelBuilder::FallingEdge, 1},
                         Case{CorvaneModelBuilder::BothEdges, 1}, Case{7, 0}}) {
        CorvaneModelBuilder::ClockTimes run, block;
        double in = 0.0, out = 0.0;
        run.Input.Attach(&in, 1);
        run.Output.Attach(&out, 1);
        for (auto* b : {&run, &block}) {
            b->SampleInterval = 1e-11;
            b->TimeOffset = 2e-12;
            b->EdgeType = c.edge;
            b->Interpolate = c.interpolate;
            ASSERT_TRUE(b->Initialize());
        }
        std::vector<double> expected, got(clock.size());
        for (double v : clock) {
            in = v;
            ASSERT_TRUE(run.Run());
            if (out >= 0.0) expected.push_back(out);
        }
        // Buffers of every length around the 64 samples scanned at once.
        std::size_t found = 0, pos = 0;
        for (std::size_t k = 0; pos < clock.size(); ++k) {
            const std::size_t lengths[] = {1, 63, 64, 65, 250, 2, 128, 0, 129};
            const std::size_t length = std::min(lengths[k % 9], clock.size() - pos);
            found += block.Process(clock.data() + pos, got.data() + found, length);
            pos += length;
        }
        got.resize(found);
        ASSERT_EQ(got.size(), expected.size()) << "edge " << c.edge;
        if (c.edge != 7) {
            EXPECT_GT(found, 10u);
        }
        for (std::size_t i = 0; i < found; ++i) {
            EXPECT_TRUE(SameBits(got[i], expected[i])) << "edge " << c.edge;
        }
        EXPECT_EQ(block.SampleCount, run.SampleCount);
    }
}

TEST(BlockProcess, ClockRecoveryInPlaceAndApartFromOddStatesIsRun) {
    // The block path runs the clock recovery in place over its input; both that
    // and separate buffers give Run's outputs and state from unusual starting
    // states: counters wrapped or past a bit's length, one- and zero-sample bits,
    // and a frequency code written from outside between buffers.
    ScratchDirectory scratch;
    const auto x = Wave(6000, 9);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char* name;
        std::int32_t threshold, samplesPerUI, phaseCount, uiCount;
        double code;  // written from outside at sample 3000
    };
    const Case cases[] = {
        {"ordinary", 3, 16, 1, 0, 200.0},
        {"phase past the bit", 2, 8, 1000, 0, -3.0},
        {"phase negative", 0, 8, -20, 0, -0.0},
        {"bit counter about to wrap", 1, 4, 1, 2147483600, 1e9},
        {"bit counter negative", 0, 6, 1, -2147483600, nan},
        {"one-sample bits", 3, 1, 1, 0, 12241.0},
        {"no bit length", 2, 0, 1, 0, -12241.0},
        {"odd bit length", 0, 7, 3, 7, 254.0},
    };
    for (const Case& c : cases) {
        CDR run, apart, inPlace;
        for (CDR* d : {&run, &apart, &inPlace}) {
            d->CDR_Threshold = c.threshold;
            d->SamplesPerUI = c.samplesPerUI;
            d->LogPeriod = 700;
            d->GainCode = 3;
            ASSERT_TRUE(d->Setup());
            ASSERT_TRUE(d->Initialize());
            d->PhaseCount = c.phaseCount;
            d->UICount = c.uiCount;
        }
        std::vector<double> runOut, runClock;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (i == 3000) run.FrequencyCode = c.code;
            run.In = x[i];
            ASSERT_TRUE(run.Run());
            runOut.push_back(run.DataOut);
            runClock.push_back(run.ClockOut);
        }
        std::vector<double> out(x.size()), clock(x.size()), same = x, sameClock(x.size());
        std::mt19937 rng(5);
        for (std::size_t pos = 0; pos < x.size();) {
            if (pos == 3000) apart.FrequencyCode = inPlace.FrequencyCode = c.code;
            std::size_t n = std::min<std::size_t>(1 + rng() % 200, x.size() - pos);
            if (pos < 3000) n = std::min<std::size_t>(n, 3000 - pos);
            const std::size_t m = apart.Process(x.data() + pos, out.data() + pos, clock.data() + pos, n);
            ASSERT_EQ(inPlace.Process(same.data() + pos, same.data() + pos, sameClock.data() + pos, n), m) << c.name;
            pos += m;
        }
        for (std::size_t i = 0; i < x.size(); ++i) {
            ASSERT_TRUE(SameBits(out[i], runOut[i]) && SameBits(same[i], runOut[i])) << c.name << " sample " << i;
            ASSERT_TRUE(SameBits(clock[i], runClock[i]) && SameBits(sameClock[i], runClock[i]))
                << c.name << " sample " << i;
        }
        for (const CDR* d : {&apart, &inPlace}) {
            EXPECT_EQ(d->SampleCount, run.SampleCount) << c.name;
            EXPECT_EQ(d->PhaseCount, run.PhaseCount) << c.name;
            EXPECT_EQ(d->UICount, run.UICount) << c.name;
            EXPECT_EQ(d->FrequencyStepInterval, run.FrequencyStepInterval) << c.name;
            EXPECT_EQ(d->FrequencySign, run.FrequencySign) << c.name;
            EXPECT_TRUE(SameBits(d->FrequencyOffsetPpm, run.FrequencyOffsetPpm)) << c.name;
            EXPECT_TRUE(SameBits(d->FrequencyCode, run.FrequencyCode)) << c.name;
            EXPECT_TRUE(SameBits(d->ClockLevel, run.ClockLevel) && SameBits(d->PreviousClockLevel, run.PreviousClockLevel))
                << c.name;
        }
    }
}

TEST(BlockProcess, ClockRecoveryFollowsGainCodesWrittenBetweenBuffers) {
    // The set index follows the gain codes. Inside a buffer only the adaptation
    // moves them; a code written from outside between buffers must show from the
    // next sample on, and the buffer must stop there, as Run's index changes there.
    ScratchDirectory scratch;
    const auto x = Wave(6000, 11);
    struct Case {
        const char* name;
        std::int32_t gainCode;      // -1: adapt
        void (*write)(CDR&);        // at sample 3000
    };
    const Case cases[] = {
        {"fixed gain code", 3, [](CDR& d) { d.GainCode = 9; }},
        {"zero code", 3, [](CDR& d) { d.ZeroCode = 4; }},
        {"boost", 3, [](CDR& d) { d.GainBoost = 1; }},
        {"corner", 3, [](CDR& d) { d.Corner = 2; }},
        {"adapted gain", -1, [](CDR& d) { d.AEQ_gain = 12.0; }},
        {"adapted zero", -1, [](CDR& d) { d.AEQ_Zero = 3.0; }},
        {"adapted gain NaN", -1, [](CDR& d) { d.AEQ_gain = std::numeric_limits<double>::quiet_NaN(); }},
        {"to adapting", 3, [](CDR& d) { d.GainCode = -1; }},
        {"nothing new", 3, [](CDR& d) { d.GainCode = 3; }},
    };
    for (const Case& c : cases) {
        CDR run, block;
        for (CDR* d : {&run, &block}) {
            d->CDR_Threshold = 3;
            d->SamplesPerUI = 16;
            d->LogPeriod = 700;
            d->GainCode = c.gainCode;
            ASSERT_TRUE(d->Setup());
            ASSERT_TRUE(d->Initialize());
        }
        std::vector<double> runIndex, runBoost;
        for (std::size_t i = 0; i < x.size(); ++i) {
            if (i == 3000) c.write(run);
            run.In = x[i];
            ASSERT_TRUE(run.Run());
            runIndex.push_back(run.SetIndexOut);
            runBoost.push_back(run.BoostFlag);
        }
        std::vector<double> out(x.size()), clock(x.size());
        std::mt19937 rng(7);
        for (std::size_t pos = 0; pos < x.size();) {
            if (pos == 3000) c.write(block);
            std::size_t n = std::min<std::size_t>(1 + rng() % 300, x.size() - pos);
            if (pos < 3000) n = std::min<std::size_t>(n, 3000 - pos);
            const std::size_t m = block.Process(x.data() + pos, out.data() + pos, clock.data() + pos, n);
            // A buffer runs on until the index differs from the sample's before.
            const bool changes = pos > 0 && !SameBits(runIndex[pos], runIndex[pos - 1]);
            if (changes) {
                EXPECT_EQ(m, 1u) << c.name << " at " << pos;
            }
            pos += m;
            ASSERT_TRUE(SameBits(block.SetIndexOut, runIndex[pos - 1])) << c.name << " after sample " << pos - 1;
            ASSERT_EQ(block.BoostFlag, runBoost[pos - 1]) << c.name << " after sample " << pos - 1;
        }
        EXPECT_EQ(!SameBits(runIndex[3000], runIndex[2999]), std::string(c.name) != "nothing new") << c.name;
        for (std::size_t i = 0; i < x.size(); ++i) ASSERT_TRUE(SameBits(out[i], x[i])) << c.name << " sample " << i;
    }
}
