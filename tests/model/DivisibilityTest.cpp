#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "model/Divisibility.h"

namespace {

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

}  // namespace

TEST(Divisibility, AgreesWithTheRemainderForEveryKindOfDividend) {
    // The CDR's periods (the loop settings' step periods, the frequency step's
    // interval and its cap), small and prime divisors, powers of two and the ends
    // of the 32-bit range; dividends at both ends, around zero, around multiples,
    // and at random, the counter having wrapped to negative values included.
    const std::int32_t divisors[] = {1, 2, 3, 7, 8, 48, 61, 72, 217, 1602, 12345, 65536, 1 << 30, kMax - 1, kMax};
    std::vector<std::int32_t> dividends = {0, 1, -1, 2, -2, kMin, kMin + 1, kMax, kMax - 1};
    for (std::int32_t d : divisors)
        for (std::int64_t k : {-3, -1, 1, 2, 5})
            for (std::int64_t delta : {-1, 0, 1}) {
                const std::int64_t a = k * d + delta;
                if (a >= kMin && a <= kMax) dividends.push_back(static_cast<std::int32_t>(a));
            }
    std::mt19937 rng(32);
    for (int i = 0; i < 20000; ++i) dividends.push_back(static_cast<std::int32_t>(rng()));

    for (std::int32_t d : divisors) {
        Divisibility test;
        for (std::int32_t a : dividends) ASSERT_EQ(test.Divides(a, d), a % d == 0) << a << " by " << d;
    }
}

TEST(Divisibility, FollowsTheDivisorFromCallToCall) {
    // One instance asked about alternating divisors, as the frequency step's
    // interval changes under the same counter.
    Divisibility test;
    const struct {
        std::int32_t a, d;
        bool divides;
    } rows[] = {{122, 61, true}, {122, 7, false}, {-434, 217, true}, {-434, 61, false},
                {0, 12345, true}, {kMin, 2, true}, {kMin, 3, false}, {kMax, kMax, true}, {kMax, 1, true}};
    for (const auto& row : rows) EXPECT_EQ(test.Divides(row.a, row.d), row.divides) << row.a << " by " << row.d;
}
