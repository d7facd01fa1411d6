// Pseudo-random bit sequences of the ITU-T O.150 kind (Fibonacci LFSRs).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct PrbsPolynomial {
    int order;  // n of x^n + x^m + 1
    int tap;    // m
};

// The polynomial of PRBS-7, -15, -23 or -31; false for any other order.
bool PrbsFor(int order, PrbsPolynomial& polynomial);

// The sequence bit by bit, from the all-ones state.
class PrbsGenerator {
public:
    explicit PrbsGenerator(const PrbsPolynomial& polynomial);
    std::uint8_t Next();

private:
    PrbsPolynomial polynomial_;
    std::uint32_t mask_, state_;
};

// `bits` bits of the sequence started from the all-ones state.
std::vector<std::uint8_t> GeneratePrbs(const PrbsPolynomial& polynomial, std::size_t bits);

}  // namespace sim
