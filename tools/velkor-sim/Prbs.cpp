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

std::vector<std::uint8_t> GeneratePrbs(const PrbsPolynomial& p, std::size_t bits) {
    std::vector<std::uint8_t> out(bits);
    const std::uint32_t mask = p.order == 32 ? 0xffffffffu : ((1u << p.order) - 1u);
    std::uint32_t state = mask;
    for (std::size_t i = 0; i < bits; ++i) {
        const std::uint32_t bit = ((state >> (p.order - 1)) ^ (state >> (p.tap - 1))) & 1u;
        state = ((state << 1) | bit) & mask;
        out[i] = static_cast<std::uint8_t>(bit);
    }
    return out;
}

}  // namespace sim
