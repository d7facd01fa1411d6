#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "kernels/FirKernels.h"
#include "kernels/TanhKernels.h"
#include "model/Velkor_Rx.h"
#include "support/ScratchDirectory.h"
#include "support/Waveforms.h"

using CorvaneModelBuilder::KernelKind;

namespace {

struct Config {
    int threshold, gain, gainBoost, corner;
};

// A receiver set up as AMI_Init does it, with its own port cells.
struct Receiver {
    Velkor_Rx model;
    double cells[4] = {0, 0, 0, 0};
    explicit Receiver(const Config& c) {
        model.CDR_Threshold = c.threshold;
        model.anlg_eql_gaincode = c.gain;
        model.anlg_eql_gainboost = c.gainBoost;
        model.corner = c.corner;
        model.InputPort.Attach(&cells[0], 1);
        model.OutputPort.Attach(&cells[1], 1);
        model.ClockPort.Attach(&cells[2], 1);
        model.IndexPort.Attach(&cells[3], 1);
        EXPECT_TRUE(model.Setup());
        EXPECT_TRUE(model.Initialize());
    }
};

struct Trace {
    std::vector<double> out, times;
};

// The gain code is forced at these samples, the same in both paths, so that the
// equaliser switches sets many times.
const std::vector<std::pair<std::size_t, double>> kKicks = {{3001, 2}, {9123, 12}, {15000, 0}, {22222, 15}, {30500, 5}};

Trace PerSample(Receiver& r, const std::vector<double>& wave) {
    Trace t;
    std::size_t kick = 0;
    for (std::size_t i = 0; i < wave.size(); ++i) {
        if (kick < kKicks.size() && kKicks[kick].first == i) r.model.CdrBlock.AEQ_gain = kKicks[kick++].second;
        r.model.InputPort.Current() = wave[i];
        r.model.Run();
        t.out.push_back(r.model.OutputPort.Current());
        if (r.model.ClockPort.Current() >= 0.0) t.times.push_back(r.model.ClockPort.Current());
    }
    return t;
}

// In place (out == in, as a simulator calls it) the limiter writes into the wave
// itself, and the samples after an early stop of the clock recovery must get their
// inputs back before they are filtered again.
Trace Blocks(Receiver& r, const std::vector<double>& wave, std::mt19937& rng, std::size_t maxBlock, bool inPlace) {
    Trace t;
    t.out = inPlace ? wave : std::vector<double>(wave.size());
    const double* in = inPlace ? t.out.data() : wave.data();
    std::vector<double> times(maxBlock + 1);
    std::size_t kick = 0, pos = 0;
    while (pos < wave.size()) {
        if (kick < kKicks.size() && kKicks[kick].first == pos) r.model.CdrBlock.AEQ_gain = kKicks[kick++].second;
        std::size_t n = 1 + rng() % maxBlock;
        n = std::min(n, wave.size() - pos);
        if (kick < kKicks.size()) n = std::min(n, kKicks[kick].first - pos);
        std::size_t count = 0;
        bool ok = false;
        EXPECT_EQ(r.model.RunBlock(in + pos, t.out.data() + pos, n, times.data(), count, ok), n);
        EXPECT_TRUE(ok);
        t.times.insert(t.times.end(), times.begin(), times.begin() + static_cast<std::ptrdiff_t>(count));
        pos += n;
    }
    return t;
}

bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Where two traces part (for the failure message).
std::string FirstDifference(const std::vector<double>& a, const std::vector<double>& b) {
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        if (std::memcmp(&a[i], &b[i], sizeof(double)) != 0)
            return "first difference at " + std::to_string(i) + ": " + std::to_string(a[i]) + " vs " + std::to_string(b[i]);
    return "sizes " + std::to_string(a.size()) + " and " + std::to_string(b.size());
}

// At least 1600 bits: the special samples sit up to sample 25000.
std::vector<double> Stimulus(std::size_t bits) {
    auto wave = testwave::Channel(testwave::Prbs7(bits), 16, 0.3, 5.0);
    // Samples a simulator should never send, but may.
    wave[1000] = std::numeric_limits<double>::quiet_NaN();
    wave[20000] = std::numeric_limits<double>::infinity();
    wave[20001] = -std::numeric_limits<double>::infinity();
    wave[25000] = 1e300;
    return wave;
}

// An adapting clock recovery whose gain code steps on its k-th sample from now.
void StepGainOnSample(CDR& cdr, std::size_t k) {
    cdr.SampleCount = 1000000;  // adapting
    cdr.AdaptVotes = 511;       // the next vote steps the gain code
    for (std::int32_t& h : cdr.History) h = 1;
    cdr.EdgeDecision = 0;
    cdr.ClockOut = cdr.ClockLevel = 1.0;
    cdr.PhaseCount = cdr.SamplesPerUI / 2 - static_cast<std::int32_t>(k);  // the vote on sample k
}

class BlockPath : public testing::Test {
protected:
    ScratchDirectory scratch;
};

}  // namespace

TEST_F(BlockPath, MatchesThePerSamplePathBitForBit) {
    const auto wave = Stimulus(2400);
    const Config configs[] = {{0, -1, 0, 0}, {1, -1, 1, 1}, {2, -1, 0, 2}, {3, 5, 1, 0},  {4, -1, 0, 1},
                              {5, 16, 0, 0}, {6, -1, 1, 2}, {7, 0, 1, 1},  {99, -1, 0, 0}};
    std::mt19937 rng(5);
    for (const Config& c : configs) {
        Receiver reference(c);
        const Trace expected = PerSample(reference, wave);
        // The FIR and limiter kernels of each instruction set.
        for (KernelKind kind : CorvaneModelBuilder::kKernelKinds) {
            if (!CorvaneModelBuilder::KernelSupported(kind)) continue;
            for (std::size_t maxBlock : {1u, 700u, 20000u})
            for (bool inPlace : {false, true}) {
                Receiver block(c);
                block.model.SetKernels(kind);
                const Trace got = Blocks(block, wave, rng, maxBlock, inPlace);
                EXPECT_TRUE(SameBits(got.out, expected.out))
                    << "setting " << c.threshold << " kernel " << CorvaneModelBuilder::KernelName(kind)
                    << " blocks up to " << maxBlock << (inPlace ? " in place" : "") << ": "
                    << FirstDifference(got.out, expected.out);
                EXPECT_TRUE(SameBits(got.times, expected.times)) << "setting " << c.threshold;
                EXPECT_EQ(block.model.Equaliser.ReloadCount, reference.model.Equaliser.ReloadCount);
                EXPECT_EQ(block.model.CdrBlock.SampleCount, reference.model.CdrBlock.SampleCount);
            }
        }
        EXPECT_GE(reference.model.Equaliser.ReloadCount, c.gain == -1 ? 5u : 1u);
    }
}

TEST_F(BlockPath, FallsBackToRunAtPositionsThroughoutARun) {
    // A new tap rate makes the next set change build more taps than the ring was
    // sized for: from that sample on both paths run sample by sample, identically.
    // The clock recovery is placed so that its gain step, and with it the
    // fallback, lands on sample k + 1 after the kick: positions of a buffer's run
    // and the first of the next, inside a call 128 samples longer than a buffer
    // and as the last sample of a call that ends there.
    constexpr std::size_t kRun = Velkor_Rx::kChunk, kSettle = 64, kCall = kRun + 128;
    std::vector<double> wave(kSettle + kCall);
    for (std::size_t i = 0; i < wave.size(); ++i) wave[i] = -0.5 + 0.05 * std::sin(0.37 * static_cast<double>(i));
#ifdef VELKOR_SANITIZED
    // Every receiver copies the 4 MB response table: under the sanitizers the
    // run's ends, the filter ring's length (127) and every 32nd position.
    auto tested = [](std::size_t k) { return k < 4 || k > kRun - 5 || (k >= 122 && k <= 128) || k % 32 == 0; };
#else
    // Every position near the run's ends and the ring's length, and every 5th
    // between: 5 is prime to the kernels' 96-sample groups and 8-sample vectors,
    // so the positions meet every place within them.
    auto tested = [](std::size_t k) { return k < 256 || k > kRun - 256 || k % 5 == 0; };
#endif
    for (std::size_t k = 0; k < kRun; ++k) {
        if (!tested(k)) continue;
        // calls: the sizes of the calls after the kick; empty runs sample by sample.
        // inPlace: the calls run over the wave itself, as a simulator's do.
        auto drive = [&](const std::vector<std::size_t>& calls, bool inPlace) {
            Receiver r(Config{3, -1, 0, 0});
            CDR& cdr = r.model.CdrBlock;
            Trace t;
            auto run = [&](std::size_t first, std::size_t count) {
                std::vector<double> times(count + 1);
                std::size_t found = 0;
                bool ok = false;
                t.out.resize(first + count);
                if (inPlace) std::copy(wave.begin() + static_cast<std::ptrdiff_t>(first),
                                       wave.begin() + static_cast<std::ptrdiff_t>(first + count),
                                       t.out.begin() + static_cast<std::ptrdiff_t>(first));
                const double* in = inPlace ? t.out.data() : wave.data();
                EXPECT_EQ(r.model.RunBlock(in + first, t.out.data() + first, count, times.data(), found, ok), count);
                EXPECT_TRUE(ok);
                t.times.insert(t.times.end(), times.begin(), times.begin() + static_cast<std::ptrdiff_t>(found));
            };
            // The equaliser settles on the negative level.
            if (calls.empty()) t = PerSample(r, std::vector<double>(wave.begin(), wave.begin() + kSettle));
            else run(0, kSettle);
            r.model.Equaliser.Filter.SampleRate = 2e11;
            StepGainOnSample(cdr, k);
            if (calls.empty()) {
                const Trace rest = PerSample(r, std::vector<double>(wave.begin() + kSettle, wave.end()));
                t.out.insert(t.out.end(), rest.out.begin(), rest.out.end());
                t.times.insert(t.times.end(), rest.times.begin(), rest.times.end());
            }
            std::size_t pos = kSettle;
            for (std::size_t n : calls) {
                run(pos, n);
                pos += n;
            }
            EXPECT_EQ(cdr.AEQ_gain, 8.0) << "k " << k;
            EXPECT_EQ(r.model.Equaliser.Filter.NumberOfTaps, 156) << "k " << k;
            return t;
        };
        const Trace reference = drive({}, false);
        for (const std::vector<std::size_t>& calls : {std::vector<std::size_t>{kCall},
                                                       std::vector<std::size_t>{k + 2, kCall - k - 2}})
        for (bool inPlace : {false, true}) {
            const Trace block = drive(calls, inPlace);
            ASSERT_TRUE(SameBits(block.out, reference.out))
                << "k " << k << " first call " << calls[0] << (inPlace ? " in place" : "") << ": "
                << FirstDifference(block.out, reference.out);
            ASSERT_TRUE(SameBits(block.times, reference.times)) << "k " << k;
        }
    }
}

TEST_F(BlockPath, ACallStopsAtASetThatFailsToLoadAsRunDoes) {
    // A tap rate the filter refuses makes the set change after the clock
    // recovery's gain step fail: Run returns false on that sample and the call
    // ends there. The failing sample and the ones after it keep what the caller
    // had in out (their inputs, in place), wherever in a buffer the stop falls.
    constexpr std::size_t kSettle = 64, kCall = Velkor_Rx::kChunk + 128;
    std::vector<double> wave(kSettle + kCall);
    for (std::size_t i = 0; i < wave.size(); ++i) wave[i] = -0.5 + 0.05 * std::sin(0.37 * static_cast<double>(i));
    const double kUntouched = -7.0;
    for (std::size_t k : {std::size_t{0}, std::size_t{1}, std::size_t{500}, Velkor_Rx::kChunk - 2,
                          Velkor_Rx::kChunk - 1, Velkor_Rx::kChunk}) {
        // The receiver after the settling, its gain code due to step on sample k.
        auto kicked = [&](Receiver& r) {
            PerSample(r, std::vector<double>(wave.begin(), wave.begin() + kSettle));
            r.model.Equaliser.Filter.SampleRate = 0.0;
            StepGainOnSample(r.model.CdrBlock, k);
        };
        Receiver reference(Config{3, -1, 0, 0});
        kicked(reference);
        Trace expected;
        std::size_t failed = kCall;
        for (std::size_t i = 0; i < kCall; ++i) {
            reference.model.InputPort.Current() = wave[kSettle + i];
            if (!reference.model.Run()) {
                failed = i;
                break;
            }
            expected.out.push_back(reference.model.OutputPort.Current());
            if (reference.model.ClockPort.Current() >= 0.0) expected.times.push_back(reference.model.ClockPort.Current());
        }
        ASSERT_EQ(failed, k + 1) << "k " << k;
        for (bool inPlace : {false, true}) {
            Receiver block(Config{3, -1, 0, 0});
            kicked(block);
            std::vector<double> in(wave.begin() + kSettle, wave.end());
            std::vector<double> out(kCall, kUntouched), times(kCall + 1);
            double* const to = inPlace ? in.data() : out.data();
            std::size_t found = 0;
            bool ok = true;
            EXPECT_EQ(block.model.RunBlock(in.data(), to, kCall, times.data(), found, ok), failed + 1) << "k " << k;
            EXPECT_FALSE(ok) << "k " << k;
            const std::string where = "k " + std::to_string(k) + (inPlace ? " in place" : "");
            EXPECT_TRUE(SameBits(std::vector<double>(to, to + failed), expected.out))
                << where << ": " << FirstDifference(std::vector<double>(to, to + failed), expected.out);
            for (std::size_t i = failed; i < kCall; ++i) {
                const double kept = inPlace ? wave[kSettle + i] : kUntouched;
                ASSERT_EQ(std::memcmp(&to[i], &kept, sizeof kept), 0) << where << ": sample " << i;
            }
            times.resize(found);
            EXPECT_TRUE(SameBits(times, expected.times)) << where;
            EXPECT_EQ(block.model.CdrBlock.SampleCount, reference.model.CdrBlock.SampleCount) << where;
        }
    }
}
