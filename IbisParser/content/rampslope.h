// [Ramp] against the model's waveforms: the typical dV/dt of each edge is
// compared with the 20 %-80 % slope of the typical column of a waveform of the
// same edge measured into the ramp's load (R_fixture equal to R_load, no
// reactive fixture, V_fixture at the rail the ramp's load goes to).
#pragma once

#include <vector>

#include "IbisParser/content/mdl.h"
#include "IbisParser/content/tables.h"
#include "IbisParser/engine/check.h"
#include "IbisParser/keywords/ramp.h"

// A ramp faster or slower than every matching waveform by more than this factor
// draws a warning. Vendors' ramps and waveforms differ by up to twice as much
// (other loads and fixtures), and the standard does not ask them to agree.
constexpr double kRampSlopeFactor = 2.0;

// The 20 %-80 % slope (volts per second, not negative) of a waveform's typical
// column from its first to its last value; 0 when it has none.
double WaveformSlope(const Waveform& wave);

void CheckRampAgainstWaveforms(const RampData& ramp, const std::vector<Waveform>& waves,
                               const ModelSupplies& supplies, const char* modelName);

// The check of a model's [Ramp] against its waveforms when the model ends.
extern const KeywordCheck kRampSlopeCheck;
