// The level row of an eye density that a sample falls in. Each sample is binned
// once when it arrives; the density then counts rows a clock edge's window
// covers, so the division is paid once a sample instead of once per edge and eye.
#pragma once

#include <cstddef>
#include <cstdint>

namespace sim {

// Rows 0 ... levels-1 spread evenly over [low, high); values below low land in
// row 0 and values at or above high in the top row, NaN in row 0.
struct LevelScale {
    double low = 0, high = 1;
    int levels = 64;
};

// One value's row: the reference the batch below must match bit for bit.
int LevelOf(const LevelScale& scale, double v);

// The rows of n values, written to rows (a loop the compiler vectorises).
void Levels(const LevelScale& scale, const double* values, std::size_t n, std::uint16_t* rows);

}  // namespace sim
