#include "tools/velkor-sim/Stimulus.h"

#include <algorithm>

namespace sim {

Stimulus::Stimulus(const StimulusSettings& s, const std::vector<double>& taps)
    : settings_(s), prbs_(s.polynomial), channel_(taps), rng_(s.seed), gauss_(0.0, s.noise > 0 ? s.noise : 1.0),
      total_(s.bits * static_cast<std::size_t>(s.samplesPerBit)) {}

std::size_t Stimulus::Next(double* out, std::size_t max) {
    const std::size_t n = std::min(max, total_ - done_);
    const auto spb = static_cast<std::size_t>(settings_.samplesPerBit);
    for (std::size_t i = 0; i < n; ++i) {
        if ((done_ + i) % spb == 0) level_ = prbs_.Next() ? settings_.amplitude : -settings_.amplitude;
        out[i] = level_;
    }
    channel_.Process(out, n);
    if (settings_.noise > 0)
        for (std::size_t i = 0; i < n; ++i) out[i] += gauss_(rng_);
    done_ += n;
    return n;
}

}  // namespace sim
