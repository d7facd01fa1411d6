#include "tools/velkor-sim/Jitter.h"

#include <cmath>

namespace sim {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

double Impairments::BoundUi() const {
    double b = 0.5 * djUi + 8 * rjUi;
    for (const auto& s : sj) b += std::fabs(s.amplitudeUi);
    return b;
}

EdgeTiming::EdgeTiming(const Impairments& imp, double bitTime, unsigned seed)
    : imp_(imp), ui_(bitTime), period_(bitTime / (1 + imp.ppm * 1e-6)),
      rng_(static_cast<std::uint64_t>(seed) * 0x9E3779B97F4A7C15ULL + 0x5851F42D4C957F2DULL) {}

// The down-spread runs the clock slower by depth * tri(t), tri a triangle from
// 0 to 1 and back over one modulation period; the time lost is its integral.
double EdgeTiming::Spread(double t) const {
    if (imp_.sscPpm == 0 || t <= 0) return 0;
    const double depth = imp_.sscPpm * 1e-6, p = 1 / imp_.sscFrequency;
    const double cycles = std::floor(t / p);
    const double x = t - cycles * p;  // within the period
    const double half = 0.5 * p;
    // Integral of tri over [0, x]: rising 2u/p to 1 at p/2, then falling.
    const double partial = x <= half ? x * x / p : half * 0.5 + (x - half) - ((x * x - half * half) / p - (x - half));
    return depth * (cycles * half + partial);
}

double EdgeTiming::SjDelay(double t) const {
    double delay = 0;
    if (t < imp_.sjStartTime) return delay;
    const double since = t - imp_.sjStartTime;
    for (const auto& s : imp_.sj) delay += s.amplitudeUi * ui_ * std::sin(2 * kPi * s.frequency * since);
    return delay;
}

double EdgeTiming::Phase(double t) const {
    const double u = t - SjDelay(t);
    return (u - Spread(u)) / period_;
}

double EdgeTiming::OffsetPpm(double t) const {
    double slowed = 0;
    if (imp_.sscPpm != 0 && t > 0) {
        const double p = 1 / imp_.sscFrequency;
        const double x = t - std::floor(t / p) * p;
        slowed = imp_.sscPpm * 1e-6 * (x <= 0.5 * p ? 2 * x / p : 2 - 2 * x / p);
    }
    return ((1 - slowed) * ui_ / period_ - 1) * 1e6;
}

double EdgeTiming::SmoothEdge(std::int64_t n) const {
    const double target = static_cast<double>(n) * period_;
    if (imp_.sscPpm == 0) return target;
    // Solve u - Spread(u) = target by Newton steps; the slope is 1 - depth*tri.
    const double depth = imp_.sscPpm * 1e-6, p = 1 / imp_.sscFrequency;
    double u = target / (1 - 0.5 * depth);
    for (int k = 0; k < 6; ++k) {
        const double x = u - std::floor(u / p) * p;
        const double tri = x <= 0.5 * p ? 2 * x / p : 2 - 2 * x / p;
        const double step = (u - Spread(u) - target) / (1 - depth * tri);
        u -= step;
        if (std::fabs(step) < 1e-6 * period_ * 1e-9) break;
    }
    return u;
}

double EdgeTiming::Next() {
    const double smooth = SmoothEdge(n_++);
    double t = smooth + SjDelay(smooth);
    if (imp_.rjUi > 0) t += imp_.rjUi * ui_ * gauss_(rng_);
    if (imp_.djUi > 0) t += imp_.djUi * ui_ * uniform_(rng_);
    return t;
}

double SmoothStep(double x) {
    if (x <= -2) return 0;
    if (x >= 2) return 1;
    if (x > 0) return 1 - SmoothStep(-x);
    if (x <= -1) {
        const double a = x + 2;
        return a * a * a * a / 24;
    }
    return 1.0 / 24 + 2.75 / 6 + (4 * x - 2 * x * x * x - 0.75 * x * x * x * x) / 6;
}

JitteredNrz::JitteredNrz(const Impairments& imp, double bitTime, int samplesPerBit, unsigned seed)
    : timing_(imp, bitTime, seed), dt_(bitTime / samplesPerBit), lookahead_((imp.BoundUi() + 1) * bitTime) {}

}  // namespace sim
