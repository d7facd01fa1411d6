// How sure a counted bit error ratio is: exact Poisson (Garwood) limits, which
// hold for the small ratios a link is measured at.
#pragma once

#include <cstddef>
#include <string>

namespace sim {

struct BerEstimate {
    std::size_t errors = 0, bits = 0;
    double ber = 0;           // errors / bits
    double low = 0, high = 0;  // 95 % interval; for 0 errors low = 0 and high the one-sided 95 % limit
};

BerEstimate EstimateBer(std::size_t errors, std::size_t bits);

// "BER < 3.0e-05 (95 % confidence, 99 850 bits)" or "BER 1.2e-03 (95 %: 1.0e-03 to 1.4e-03, 99 850 bits)".
std::string DescribeBer(const BerEstimate& estimate);

// Probability that a standard normal variable exceeds x.
double GaussianTail(double x);

// 123456 -> "123 456".
std::string GroupDigits(std::size_t n);

}  // namespace sim
