#include "tools/velkor-sim/PulseCursors.h"

#include <algorithm>
#include <cmath>

namespace sim {

double PulseAt(const std::vector<double>& pulse, double sample) {
    const double i = std::floor(sample);
    const double t = sample - i;
    auto value = [&](double k) {
        return k < 0 || k >= static_cast<double>(pulse.size()) ? 0.0 : pulse[static_cast<std::size_t>(k)];
    };
    const double p0 = value(i - 1), p1 = value(i), p2 = value(i + 1), p3 = value(i + 2);
    return p1 + 0.5 * t * (p2 - p0 + t * (2 * p0 - 5 * p1 + 4 * p2 - p3 + t * (3 * (p1 - p2) + p3 - p0)));
}

PulseCursors FindCursors(const std::vector<double>& pulse, int samplesPerBit) {
    PulseCursors c;
    if (pulse.empty()) return c;
    const auto peak = static_cast<double>(std::max_element(pulse.begin(), pulse.end()) - pulse.begin());
    // The cubic's maximum within a sample of the largest sample, by golden-section search.
    const double ratio = 0.6180339887498949;
    double lo = peak - 1, hi = peak + 1;
    for (int step = 0; step < 60; ++step) {
        const double a = hi - ratio * (hi - lo), b = lo + ratio * (hi - lo);
        if (PulseAt(pulse, a) < PulseAt(pulse, b)) lo = a;
        else hi = b;
    }
    c.at = 0.5 * (lo + hi);
    if (PulseAt(pulse, c.at) < pulse[static_cast<std::size_t>(peak)]) c.at = peak;  // never below the largest sample
    const double ui = samplesPerBit;
    c.main = PulseAt(pulse, c.at);
    c.pre = PulseAt(pulse, c.at - ui);
    c.post = PulseAt(pulse, c.at + ui);
    return c;
}

}  // namespace sim
