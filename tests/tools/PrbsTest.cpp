#include <gtest/gtest.h>

#include <string>

#include "tools/velkor-sim/Prbs.h"

TEST(Prbs, SequencesFollowTheirPolynomials) {
    for (int order : {7, 15, 23, 31}) {
        sim::PrbsPolynomial p{};
        ASSERT_TRUE(sim::PrbsFor(order, p));
        const auto bits = sim::GeneratePrbs(p, 100000);
        // Every bit is the XOR of the bits n and m places before it.
        for (std::size_t k = static_cast<std::size_t>(p.order); k < bits.size(); ++k)
            ASSERT_EQ(bits[k], bits[k - p.order] ^ bits[k - p.tap]) << "PRBS-" << order << " bit " << k;
    }
    sim::PrbsPolynomial none{};
    EXPECT_FALSE(sim::PrbsFor(9, none));
}

TEST(Prbs, PeriodsAreMaximal) {
    for (int order : {7, 15}) {
        sim::PrbsPolynomial p{};
        sim::PrbsFor(order, p);
        const std::size_t period = (std::size_t{1} << order) - 1;
        const auto bits = sim::GeneratePrbs(p, 3 * period);
        for (std::size_t k = 0; k < period; ++k) ASSERT_EQ(bits[k], bits[k + period]);
        std::size_t ones = 0;
        for (std::size_t k = 0; k < period; ++k) ones += bits[k];
        EXPECT_EQ(ones, (period + 1) / 2);  // a maximal sequence has one more 1 than 0s
        // No shorter period divides the sequence.
        for (std::size_t d = 1; d < period; ++d) {
            if (period % d) continue;
            bool repeats = true;
            for (std::size_t k = 0; k < period && repeats; ++k) repeats = bits[k] == bits[k + d];
            EXPECT_FALSE(repeats) << d;
        }
    }
}

TEST(Prbs, KnownPrefixFromTheAllOnesState) {
    sim::PrbsPolynomial p{};
    sim::PrbsFor(7, p);
    std::string prefix;
    for (auto b : sim::GeneratePrbs(p, 40)) prefix += static_cast<char>('0' + b);
    EXPECT_EQ(prefix, "0000001000001100001010001111001000101100");
}
