#include "tools/velkor-sim/Prbs.h"

namespace sim {

bool PrbsFor(int order, PrbsPolynomial& polynomial) {
    switch (order) {
        case 7: polynomial = {7, 6}; return true;
        case 15: polynomial = {15, 14}; return true;
        case 23: polynomial = {23, 18}; return true;
        case 31: polynomial = {31, 28}; return true;
        default: return false;
    }
}

PrbsGenerator::PrbsGenerator(const PrbsPolynomial& p)
    : polynomial_(p), mask_(p.order >= 32 ? 0xffffffffu : ((1u << p.order) - 1u)), state_(mask_) {}

std::uint8_t PrbsGenerator::Next() {
    const std::uint32_t bit = ((state_ >> (polynomial_.order - 1)) ^ (state_ >> (polynomial_.tap - 1))) & 1u;
    state_ = ((state_ << 1) | bit) & mask_;
    return static_cast<std::uint8_t>(bit);
}

std::vector<std::uint8_t> GeneratePrbs(const PrbsPolynomial& p, std::size_t bits) {
    std::vector<std::uint8_t> out(bits);
    PrbsGenerator generator(p);
    for (auto& b : out) b = generator.Next();
    return out;
}

}  // namespace sim
