#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "tools/velkor-sim/SlotTallies.h"

namespace {

// Bit for bit, any NaN taken as the same.
void ExpectBits(const std::vector<double>& a, const std::vector<double>& b, const char* what) {
    ASSERT_EQ(a.size(), b.size()) << what;
    for (std::size_t k = 0; k < a.size(); ++k)
        EXPECT_TRUE(std::bit_cast<std::uint64_t>(a[k]) == std::bit_cast<std::uint64_t>(b[k]) ||
                    (std::isnan(a[k]) && std::isnan(b[k])))
            << what << " slot " << k << ": " << a[k] << " against " << b[k];
}

void ExpectSame(const sim::SlotTallies& a, const sim::SlotTallies& b, const char* what) {
    EXPECT_EQ(a.compared, b.compared) << what;
    EXPECT_EQ(a.errors, b.errors) << what;
    for (const auto level : {&sim::SlotTallies::ones, &sim::SlotTallies::zeros}) {
        const sim::LevelTallies &x = a.*level, &y = b.*level;
        EXPECT_EQ(x.count, y.count) << what;
        // The same operations in the same order, slot by slot.
        ExpectBits(x.sum, y.sum, what);
        ExpectBits(x.sumSquares, y.sumSquares, what);
        ExpectBits(x.extreme, y.extreme, what);
    }
}

}  // namespace

// Bits of either value over whole and clipped unit intervals, with samples on
// 0 V, of either sign of zero, infinite and not a number: the vectorised tallies
// equal the sample-by-sample reference in every slot.
TEST(SlotTallies, VectorisedTalliesMatchTheReference) {
    const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
    for (const std::size_t slots : {5u, 16u, 17u, 64u}) {
        std::mt19937_64 random(slots);
        std::normal_distribution<double> gauss(0.0, 0.2);
        sim::SlotTallies fast(slots), reference(slots);
        std::vector<double> v(slots);
        for (int bit = 0; bit < 3000; ++bit) {
            const bool one = random() & 1;
            for (auto& x : v) x = (one ? 0.3 : -0.3) + gauss(random);
            if (bit % 97 == 0) v[bit % slots] = 0.0;
            if (bit % 101 == 0) v[(bit + 1) % slots] = -0.0;
            if (bit % 499 == 0) v[(bit + 2) % slots] = one ? -inf : inf;
            if (bit == 1234) v[slots / 2] = nan;
            // Some intervals clipped at either end, as at the edges of the stream.
            const std::size_t first = bit % 13 == 0 ? 2 : 0, n = slots - first - (bit % 17 == 0 ? 1 : 0);
            fast.Add(v.data() + first, n, first, one);
            reference.AddOneByOne(v.data() + first, n, first, one);
        }
        ExpectSame(fast, reference, ("slots " + std::to_string(slots)).c_str());
    }
}

// The figures of a known interval: counts, errors on the wrong side of 0 V (a
// sample on 0 V decides zero), sums and the extremes.
TEST(SlotTallies, KnownIntervalGivesItsFigures) {
    sim::SlotTallies t(4);
    const double one[] = {0.5, 0.0, -0.1, 0.4};
    const double zero[] = {-0.5, 0.2, -0.3};
    t.Add(one, 4, 0, true);
    t.Add(zero, 3, 1, false);
    EXPECT_EQ(t.compared, (std::vector<std::size_t>{1, 2, 2, 2}));
    EXPECT_EQ(t.errors, (std::vector<std::size_t>{0, 1, 2, 0}));
    EXPECT_EQ(t.ones.count, (std::vector<std::size_t>{1, 1, 1, 1}));
    EXPECT_EQ(t.zeros.count, (std::vector<std::size_t>{0, 1, 1, 1}));
    EXPECT_DOUBLE_EQ(t.ones.sumSquares[3], 0.16);
    EXPECT_DOUBLE_EQ(t.zeros.sum[2], 0.2);
    EXPECT_EQ(t.ones.extreme, (std::vector<double>{0.5, 0.0, -0.1, 0.4}));
    EXPECT_EQ(t.zeros.extreme, (std::vector<double>{-1e300, -0.5, 0.2, -0.3}));
}
