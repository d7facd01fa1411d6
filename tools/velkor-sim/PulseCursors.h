// The cursors of a sampled pulse response: its peak (the main cursor) and the
// pulse one unit interval before and after it. The peak lies anywhere between
// samples, and the pulse is steep one UI before it, so the cursors are read from
// a cubic through the samples at the peak's own time rather than at the largest
// sample, which would move them with the sampling.
#pragma once

#include <cstddef>
#include <vector>

namespace sim {

struct PulseCursors {
    double pre = 0, main = 0, post = 0;
    double at = 0;  // the main cursor's time, in samples from the first (a fraction of a sample)
};

// The pulse between samples: a cubic whose slopes are those of the neighbouring
// chords (Catmull-Rom); 0 outside the samples.
double PulseAt(const std::vector<double>& pulse, double sample);

// All zero for an empty pulse.
PulseCursors FindCursors(const std::vector<double>& pulse, int samplesPerBit);

}  // namespace sim
