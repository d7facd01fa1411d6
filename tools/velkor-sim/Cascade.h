// Pieces of a channel (package, board, connector, cable) joined as 2-ports on
// a common frequency grid, by the star product of their S-matrices (the
// T-matrix cascade, written so that it holds where a transmission is small).
#pragma once

#include <string>
#include <vector>

#include "tools/velkor-sim/MixedMode.h"

namespace sim {

// The 2-port moved onto other frequencies (inside its band): each parameter's
// own bulk delay removed, magnitude and unwrapped phase interpolated linearly,
// the delay put back.
TwoPort Resample(const TwoPort& piece, const std::vector<double>& frequency);

// a followed by b, on the same grid.
TwoPort CascadePair(const TwoPort& a, const TwoPort& b);

// All the pieces in order. Grids that differ are joined on a uniform grid over
// their common band at the finest median step (said in `note`); false with a
// message when they share no band.
bool CascadeAll(const std::vector<TwoPort>& pieces, TwoPort& joined, std::string& note, std::string& error);

}  // namespace sim
