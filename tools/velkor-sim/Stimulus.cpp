#include "tools/velkor-sim/Stimulus.h"

#include <algorithm>
#include <cmath>

namespace sim {

Stimulus::Stimulus(const StimulusSettings& s, const std::vector<double>& taps)
    : settings_(s),
      prbs_(s.polynomial),
      channel_(s.impairments.Any() ? taps : std::vector<double>{}),
      nrzChannel_(s.impairments.Any() ? std::vector<double>{} : taps, static_cast<std::size_t>(s.samplesPerBit)),
      rng_(s.seed),
      gauss_(0.0, s.noise > 0 ? NoisePerSample(s.noise, s.samplesPerBit) : 1.0),
      total_(s.bits * static_cast<std::size_t>(s.samplesPerBit)),
      jittered_(s.impairments, s.bitTime, s.samplesPerBit, s.seed) {}

double NoisePerSample(double rmsInBitRateBand, int samplesPerBit) {
    // White noise of density N0 has N0 * R in the band 0 ... R (R the bit rate)
    // and N0 * fs / 2 per sample at the sample rate fs = samplesPerBit * R.
    return rmsInBitRateBand * std::sqrt(0.5 * samplesPerBit);
}

void Stimulus::Refill() {
    const auto spb = static_cast<std::size_t>(settings_.samplesPerBit);
    std::size_t n = 0;
    if (settings_.impairments.Any()) {
        n = std::min(channel_.Segment(), total_ - done_);
        ready_.resize(n);
        jittered_.Render(ready_.data(), n, settings_.amplitude, [&] { return prbs_.Next(); });
        channel_.Process(ready_.data(), n);
    } else {
        // Whole bits (the stream is a whole number of them), each held for spb samples.
        const std::size_t bits = std::min(nrzChannel_.SegmentValues(), (total_ - done_) / spb);
        n = bits * spb;
        levels_.resize(bits);
        for (double& level : levels_) level = prbs_.Next() ? settings_.amplitude : -settings_.amplitude;
        ready_.resize(n);
        nrzChannel_.Process(levels_.data(), bits, ready_.data());
    }
    if (settings_.noise > 0)
        for (double& v : ready_) v += gauss_(rng_);
    done_ += n;
    used_ = 0;
}

std::size_t Stimulus::Next(double* out, std::size_t max) {
    std::size_t written = 0;
    while (written < max) {
        if (used_ == ready_.size()) {
            if (done_ == total_) break;
            Refill();
        }
        const std::size_t n = std::min(max - written, ready_.size() - used_);
        std::copy_n(ready_.begin() + static_cast<std::ptrdiff_t>(used_), n, out + written);
        used_ += n;
        written += n;
    }
    return written;
}

}  // namespace sim
