// "Does d divide a?" by one multiply and one compare instead of a division, for
// tests repeated against the same divisor (the CDR's periods, once a bit). Exact
// for every 32-bit a and every d >= 1: Lemire, Kaser and Kurz, "Faster remainder
// by direct computation" (2019), with 64-bit c = ceil(2^64 / d).
#pragma once

#include <cstdint>

class Divisibility {
public:
    // a % d == 0 as C++'s % defines it for a signed a; d >= 1. Keeps d's
    // multiplier until another d comes.
    bool Divides(std::int32_t a, std::int32_t d) {
        const auto divisor = static_cast<std::uint32_t>(d);
        if (divisor != divisor_) {
            divisor_ = divisor;
            c_ = ~std::uint64_t{0} / divisor + 1;
        }
        // a and -a have the same divisors; -INT32_MIN is 2^31 as unsigned.
        const std::uint32_t magnitude = a < 0 ? 0u - static_cast<std::uint32_t>(a) : static_cast<std::uint32_t>(a);
        return magnitude * c_ <= c_ - 1;
    }

private:
    std::uint32_t divisor_ = 0;
    std::uint64_t c_ = 0;  // 2^64 / d rounded up, modulo 2^64 (0 for d = 1)
};
