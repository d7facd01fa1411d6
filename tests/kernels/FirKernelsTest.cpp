#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "blocks/FIR.h"
#include "kernels/FirKernels.h"
#include "kernels/TanhKernels.h"

using namespace CorvaneModelBuilder;

namespace {


bool SameBits(const std::vector<double>& a, const std::vector<double>& b) {
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

}  // namespace

TEST(FirKernels, EveryKernelMatchesTheBlockBitForBit) {
    std::mt19937 rng(99);
    std::uniform_real_distribution<double> dist(-1, 1);
    const double specials[] = {0.0, -0.0, 4.9e-324, -2.2e-308, 1e300, std::numeric_limits<double>::infinity(),
                               std::numeric_limits<double>::quiet_NaN()};
    for (int n : {1, 3, 4, 125, 200}) {
        std::vector<double> taps(n);
        for (auto& t : taps) t = dist(rng) * (rng() % 5 == 0 ? 1e-300 : 1.0);
        // Counts below, at and around a vector's width, column counts that leave
        // every remainder after whole groups of columns (1 to 11 at eight lanes, 1
        // to 5 below) and rows that end inside a transposed block, and inputs at
        // every offset from a 64-byte boundary.
        for (std::size_t count : {0u, 1u, 2u, 3u, 7u, 8u, 9u, 16u, 31u, 32u, 33u, 48u, 60u, 75u, 95u, 96u, 104u, 151u,
                                  176u, 512u, 1000u, 4096u}) {
            const std::size_t offset = rng() % 8;
            std::vector<double> storage(offset + n - 1 + count);
            for (auto& v : storage) v = rng() % 50 == 0 ? specials[rng() % 7] : dist(rng);
            const std::vector<double> x(storage.begin() + static_cast<std::ptrdiff_t>(offset), storage.end());
            // The block's output for the same stream is the reference.
            FIR<double, 0> fir;
            fir.Taps = taps.data();
            fir.NumberOfTaps = n;
            ASSERT_TRUE(fir.Setup());
            double in = 0, out = 0;
            fir.Input.Attach(&in, 1);
            fir.Output.Attach(&out, 1);
            fir.Initialize();
            std::vector<double> expected;
            for (std::size_t i = 0; i < x.size(); ++i) {
                in = x[i];
                fir.Run();
                if (i + 1 >= static_cast<std::size_t>(n)) expected.push_back(out);
            }
            for (KernelKind kind : kKernelKinds) {
                const FirKernel kernel = kFirKernels.For(kind);
                if (!kernel) continue;
                std::vector<double> y(count);
                // A scratch full of NaN: a kernel that read what it did not write would show it.
                std::vector<double> scratch(FirScratchSize(n, count), std::numeric_limits<double>::quiet_NaN());
                kernel(taps.data(), n, storage.data() + offset + n - 1, y.data(), count, scratch.data());
                EXPECT_TRUE(SameBits(y, expected)) << KernelName(kind) << " n " << n << " count " << count
                                                   << " offset " << offset;
            }
        }
    }
}

TEST(FirKernels, SupportAndSelection) {
    // A kernel is handed out exactly when this machine can run it, and the best
    // one is always among them.
    for (KernelKind kind : kKernelKinds) {
        EXPECT_EQ(kFirKernels.For(kind) != nullptr, KernelSupported(kind));
        EXPECT_EQ(kTanhKernels.For(kind) != nullptr, KernelSupported(kind));
        EXPECT_EQ(kScaledTanhKernels.For(kind) != nullptr, KernelSupported(kind));
    }
    EXPECT_TRUE(KernelSupported(KernelKind::Reference));
    EXPECT_TRUE(KernelSupported(BestKernel()));
}

TEST(FirKernels, NoTapsGiveZeroSums) {
    // With no taps (or a negative count of them) every output is the empty sum,
    // 0.0, and nothing outside the input and the scratch is read or written.
    for (int n : {0, -1, -7}) {
        for (std::size_t count : {1u, 2u, 8u, 9u, 24u, 100u, 512u}) {
            std::vector<double> x(count + 8, 0.75);
            for (KernelKind kind : kKernelKinds) {
                const FirKernel kernel = kFirKernels.For(kind);
                if (!kernel) continue;
                std::vector<double> y(count, std::numeric_limits<double>::quiet_NaN());
                std::vector<double> scratch(FirScratchSize(n, count), std::numeric_limits<double>::quiet_NaN());
                const double h[1] = {2.0};  // never a tap: n says there are none
                kernel(h, n, x.data() + 8, y.data(), count, scratch.data());
                EXPECT_TRUE(SameBits(y, std::vector<double>(count, 0.0)))
                    << KernelName(kind) << " n " << n << " count " << count;
            }
        }
    }
}
