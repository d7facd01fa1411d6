#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "tools/velkor-sim/EyeLevels.h"

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

}  // namespace

// Rows of single values: inside the range, on its edges, outside it and not a number.
TEST(EyeLevels, EdgesOutsideValuesAndNaN) {
    const sim::LevelScale scale{-0.5, 0.5, 64};
    const struct {
        double v;
        int row;
    } cases[] = {
        {-0.5, 0},  {-0.5 + 1.0 / 64, 1}, {0.0, 32},  {0.5 - 1e-12, 63}, {0.5, 63},  {0.75, 63},
        {-0.75, 0}, {kNaN, 0},            {kInf, 63}, {-kInf, 0},        {1e300, 63}, {-1e300, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(sim::LevelOf(scale, c.v), c.row) << c.v;
        std::uint16_t row = 999;
        sim::Levels(scale, &c.v, 1, &row);
        EXPECT_EQ(row, c.row) << c.v;
    }
}

// The batch against the one-value reference on waveforms of every kind, each
// length (the vector loop's remainders included) and a few ranges and level counts.
TEST(EyeLevels, BatchMatchesTheReferenceOnEveryValue) {
    std::mt19937_64 random(7);
    std::normal_distribution<double> gauss(0.0, 0.3);
    std::vector<double> values;
    for (int i = 0; i < 4000; ++i) values.push_back(gauss(random));
    // Values on and next to every row edge, where a different order of operations would show.
    const sim::LevelScale scales[] = {{-0.5, 0.5, 64}, {-1.3, 0.7, 64}, {0.01, 0.02, 7}, {-2e-3, 5e-3, 256}};
    for (const auto& s : scales)
        for (int k = 0; k <= s.levels; ++k) {
            const double edge = s.low + (s.high - s.low) * k / s.levels;
            for (const double v : {edge, std::nextafter(edge, -kInf), std::nextafter(edge, kInf)}) values.push_back(v);
        }
    values.insert(values.end(), {kNaN, kInf, -kInf, 0.0, -0.0});
    for (const auto& s : scales)
        for (const std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{3}, std::size_t{17}, values.size()}) {
            std::vector<std::uint16_t> rows(n + 1, 4242);
            sim::Levels(s, values.data(), n, rows.data());
            for (std::size_t i = 0; i < n; ++i) ASSERT_EQ(rows[i], sim::LevelOf(s, values[i])) << values[i] << " " << i;
            EXPECT_EQ(rows[n], 4242) << "wrote past n";
        }
}
