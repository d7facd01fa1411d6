// What the bathtub keeps for each sampling phase (slot) of the unit interval:
// decisions and errors against the sent bit, and the ones' and the zeros' sample
// sums for the Gaussian fits and the eye height. Fixed size, whatever the run.
#pragma once

#include <cstddef>
#include <vector>

namespace sim {

struct LevelTallies {
    std::vector<std::size_t> count;
    std::vector<double> sum, sumSquares;
    std::vector<double> extreme;  // the lowest one, the highest zero
};

class SlotTallies {
public:
    explicit SlotTallies(std::size_t slots);
    // One bit's samples: v[j] at slot first + j (first + n <= slots), the bit sent
    // a one or a zero. A loop the compiler vectorises, slot by slot the same
    // operations as AddOneByOne.
    void Add(const double* v, std::size_t n, std::size_t first, bool one);
    // The reference: sample by sample, branching on the bit.
    void AddOneByOne(const double* v, std::size_t n, std::size_t first, bool one);

    std::vector<std::size_t> compared, errors;  // a decision is a sample above 0 V
    LevelTallies ones, zeros;
};

}  // namespace sim
