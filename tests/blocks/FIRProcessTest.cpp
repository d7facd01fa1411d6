// The FIR's buffer path against its firings: Process, Lookahead and Commit give
// Run's outputs bit for bit with every kernel, however the buffers are cut and
// mixed with single firings, and leave the ring as the firings leave it; the
// inputs a Lookahead staged but Commit did not take come back whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "blocks/FIR.h"
#include "kernels/KernelSet.h"

using namespace CorvaneModelBuilder;

namespace {

// A single-rate filter with its own edge cells, initialised.
struct Filter {
    FIR<double, 0> fir;
    double in = 0.0, out = 0.0;
    Filter(const std::vector<double>& taps, KernelKind kind) {
        fir.Taps = const_cast<double*>(taps.data());
        fir.NumberOfTaps = static_cast<std::int32_t>(taps.size());
        EXPECT_TRUE(fir.Setup());
        fir.Input.Attach(&in, 1);
        fir.Output.Attach(&out, 1);
        EXPECT_TRUE(fir.Initialize());
        fir.SetKernel(kind);
    }
    double Fire(double x) {
        in = x;
        EXPECT_TRUE(fir.Run());
        return out;
    }
};

// One step of a driving pattern: a firing (size 0), a Process of `size`, or a
// Lookahead of `size` of which `commit` are taken in.
struct Step {
    std::size_t size, commit;
};

struct Case {
    const char* name;
    std::size_t taps;
    std::vector<Step> steps;  // repeated until the input runs out
};

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

}  // namespace

TEST(FIRProcess, BuffersGiveTheFiringsOutputsAndRing) {
    const std::vector<Case> cases = {
        {"one tap, single samples", 1, {{1, 1}}},
        {"125 taps, 512-sample buffers", 125, {{512, 512}}},
        {"125 taps, buffers mixed with firings", 125, {{300, 300}, {0, 0}, {0, 0}, {77, 77}}},
        {"125 taps, lookahead taken in part", 125, {{512, 37}, {512, 512}, {100, 0}, {3, 2}}},
        {"7 taps, buffers beyond the line's room", 7, {{5000, 5000}, {0, 0}, {4095, 4095}}},
        {"200 taps, uneven buffers", 200, {{1, 1}, {129, 129}, {4096, 4000}, {2, 1}}},
    };
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> x(30000);
    for (double& v : x) v = dist(rng);
    for (const Case& c : cases) {
        std::vector<double> taps(c.taps);
        for (double& t : taps) t = dist(rng);
        for (KernelKind kind : kKernelKinds) {
            if (!KernelSupported(kind)) continue;
            const std::string label = std::string(c.name) + ", " + KernelName(kind);
            Filter reference(taps, kind), block(taps, kind);
            std::vector<double> y(x.size());
            std::size_t pos = 0;
            for (std::size_t s = 0; pos < x.size(); s = (s + 1) % c.steps.size()) {
                const Step step = c.steps[s];
                const std::size_t n = std::min(step.size, x.size() - pos);
                if (step.size == 0) {
                    y[pos] = block.Fire(x[pos]);
                    ++pos;
                    continue;
                }
                if (step.size == step.commit) {
                    block.fir.Process(x.data() + pos, y.data() + pos, n);
                } else {
                    // In place over a copy of the inputs: the ones not taken in
                    // come back from the filter's own copy of them.
                    std::vector<double> wave(x.begin() + static_cast<std::ptrdiff_t>(pos),
                                             x.begin() + static_cast<std::ptrdiff_t>(pos + n));
                    block.fir.Lookahead(wave.data(), wave.data(), n);
                    std::copy(wave.begin(), wave.end(), y.begin() + static_cast<std::ptrdiff_t>(pos));
                    const std::size_t taken = std::min(step.commit, n);
                    block.fir.Commit(taken);
                    std::vector<double> staged(n - taken, -7.0);
                    ASSERT_EQ(block.fir.CopyStaged(staged.data()), n - taken) << label;
                    for (std::size_t k = 0; k < staged.size(); ++k)
                        ASSERT_TRUE(SameBits(staged[k], x[pos + taken + k])) << label << ": staged " << k;
                }
                pos += std::min(step.commit, n);
            }
            for (std::size_t i = 0; i < x.size(); ++i) {
                const double expected = reference.Fire(x[i]);
                ASSERT_TRUE(SameBits(y[i], expected)) << label << ": sample " << i;
            }
            block.fir.SyncHistory();
            ASSERT_EQ(block.fir.History.Position, reference.fir.History.Position) << label;
            for (std::uint64_t k = 0; k < reference.fir.History.Capacity; ++k)
                ASSERT_TRUE(SameBits(block.fir.History.Storage[k], reference.fir.History.Storage[k]))
                    << label << ": ring element " << k;
            // And the firings after it go on from the same history.
            EXPECT_TRUE(SameBits(block.Fire(0.5), reference.Fire(0.5))) << label;
        }
    }
}

TEST(FIRProcess, AppliesOnlyToASingleRateFilterWithItsOwnRing) {
    std::vector<double> taps(9, 0.25);
    Filter plain(taps, BestKernel());
    EXPECT_TRUE(plain.fir.ProcessApplies());
    plain.fir.NumberOfTaps = 12;  // more taps than the ring was sized for
    EXPECT_FALSE(plain.fir.ProcessApplies());

    FIR<double, 0> decimating;
    decimating.Taps = taps.data();
    decimating.NumberOfTaps = 9;
    decimating.Decimation = 2;
    ASSERT_TRUE(decimating.Setup());
    ASSERT_TRUE(decimating.Initialize());
    EXPECT_FALSE(decimating.ProcessApplies());

    FIR<double, 0> fresh;
    EXPECT_FALSE(fresh.ProcessApplies());
}

TEST(FIRProcess, AFiringDropsWhatALookaheadStaged) {
    // A firing moves the filter on from the ring: the inputs a Lookahead staged are
    // no longer the next ones, so none are left to copy back or to take in.
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> dist(-1.0, 1.0);
    std::vector<double> taps(17), x(600);
    for (double& t : taps) t = dist(rng);
    for (double& v : x) v = dist(rng);
    const struct {
        const char* name;
        std::size_t size, commit;
    } cases[] = {{"nothing taken in", 40, 0}, {"part taken in", 40, 13}, {"all but one taken in", 40, 39}};
    for (const auto& c : cases) {
        Filter reference(taps, BestKernel()), block(taps, BestKernel());
        std::vector<double> y(c.size);
        block.fir.Lookahead(x.data(), y.data(), c.size);
        block.fir.Commit(c.commit);
        for (std::size_t i = 0; i < c.commit; ++i) reference.Fire(x[i]);
        EXPECT_TRUE(SameBits(block.Fire(x[c.commit]), reference.Fire(x[c.commit]))) << c.name;
        std::vector<double> staged(c.size, -7.0);
        EXPECT_EQ(block.fir.CopyStaged(staged.data()), 0u) << c.name;
        EXPECT_TRUE(SameBits(staged[0], -7.0)) << c.name;
        // A Commit without a Lookahead since takes nothing in either.
        block.fir.Commit(c.size);
        for (std::size_t i = c.commit + 1; i < x.size(); ++i)
            ASSERT_TRUE(SameBits(block.Fire(x[i]), reference.Fire(x[i]))) << c.name << ": sample " << i;
    }
}
