// The model's adaptation state as the AMI parameter string handed back to the
// simulator through AMI_parameters_out:
//   (Velkor_Rx (gain_code 6) (set_index 291) (frequency_offset_ppm 12.5) (phase_votes 3))
#pragma once

#include <array>

class CDR;

namespace ami {

// Room for the longest text: 173 characters with the NUL, every value at its widest
// shortest form (24 characters).
using ParametersOutText = std::array<char, 192>;

// The frequency correction the clock recovery applies, in ppm of the bit rate
// (positive: a faster clock): one sample, 1/SamplesPerUI of a unit interval, every
// FrequencyStepInterval unit intervals, in the direction of FrequencySign; exactly 0
// while it applies none. This is what the frequency integrator's FrequencyOffsetPpm
// stands for only at 48 samples per unit interval.
double FrequencyCorrectionPpm(const CDR& cdr);

// Writes the state of the clock recovery into text, NUL-terminated; allocates nothing.
// gain_code is the gain code in force: the adapted one when the gain code adapts,
// else the fixed one. set_index is the equaliser set that state selects.
void FormatParametersOut(const CDR& cdr, ParametersOutText& text);

}  // namespace ami
