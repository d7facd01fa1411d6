#include "tools/velkor-sim/EyeLevels.h"

namespace sim {

int LevelOf(const LevelScale& scale, double v) {
    // floor, then clamped to the levels: truncation inside them, no libm call
    // (baseline x86-64 has no rounding instruction); NaN lands in level 0.
    const double x = (v - scale.low) / (scale.high - scale.low) * scale.levels;
    return x >= 0 ? (x < scale.levels ? static_cast<int>(x) : scale.levels - 1) : 0;
}

void Levels(const LevelScale& scale, const double* values, std::size_t n, std::uint16_t* rows) {
    // The same arithmetic as LevelOf, with the clamps as selects on the value
    // before the truncation, so that the loop has no branch.
    const double low = scale.low, span = scale.high - scale.low, levels = scale.levels;
    const double top = levels - 1;
    for (std::size_t i = 0; i < n; ++i) {
        const double x = (values[i] - low) / span * levels;
        double clamped = x >= 0 ? x : 0.0;  // NaN fails the comparison: row 0
        clamped = clamped < levels ? clamped : top;
        rows[i] = static_cast<std::uint16_t>(static_cast<int>(clamped));
    }
}

}  // namespace sim
