// The signal at the receiver's input, made block by block: a PRBS as NRZ
// from a transmitter with the impairments asked for, through the channel, plus
// Gaussian noise. Memory does not grow with the run.
#pragma once

#include <cstddef>
#include <random>
#include <vector>

#include "tools/velkor-sim/Fft.h"
#include "tools/velkor-sim/Jitter.h"
#include "tools/velkor-sim/Prbs.h"

namespace sim {

struct StimulusSettings {
    PrbsPolynomial polynomial{15, 14};
    std::size_t bits = 0;
    int samplesPerBit = 16;
    double bitTime = 1e-10;  // nominal, seconds
    double amplitude = 0.4;
    double noise = 0.0;  // volts rms within a band as wide as the bit rate
    unsigned seed = 1;
    Impairments impairments;
};

// The rms of the noise added to each sample for white noise of `rmsInBitRateBand`
// volts rms between 0 and the bit rate: the same noise density at any sampling.
double NoisePerSample(double rmsInBitRateBand, int samplesPerBit);

class Stimulus {
public:
    Stimulus(const StimulusSettings& settings, const std::vector<double>& channelTaps);
    std::size_t TotalSamples() const { return total_; }
    // Writes the next samples (at most `max`) and returns how many; 0 at the end.
    std::size_t Next(double* out, std::size_t max);

private:
    StimulusSettings settings_;
    PrbsGenerator prbs_;
    StreamConvolver channel_;      // the stream as rendered (a transmitter with impairments)
    HeldStreamConvolver nrzChannel_;  // a plain NRZ stream, from its bit levels
    std::vector<double> levels_;      // the bit levels of one segment
    std::mt19937 rng_;
    std::normal_distribution<double> gauss_;
    std::size_t total_, done_ = 0;
    JitteredNrz jittered_;  // used when the transmitter has impairments
    std::vector<double> ready_;  // made a transform segment at a time, handed out in any block size
    std::size_t used_ = 0;
    void Refill();
};

}  // namespace sim
