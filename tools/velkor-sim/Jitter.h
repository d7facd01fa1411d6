// The transmitter's clock: where each bit edge sits in time, with a frequency
// offset, down-spread spread-spectrum clocking and sinusoidal, random and
// deterministic jitter; and an NRZ waveform whose transitions sit at those
// times to a fraction of a sample.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <random>
#include <vector>

namespace sim {

struct SinusoidalJitter {
    double amplitudeUi = 0;  // peak
    double frequency = 0;    // Hz
};

struct Impairments {
    double ppm = 0;          // transmitter frequency offset; positive: faster than nominal
    double sscPpm = 0;       // down-spread depth, triangular
    double sscFrequency = 33e3;
    std::vector<SinusoidalJitter> sj;
    double rjUi = 0;         // rms, Gaussian
    double djUi = 0;         // peak-to-peak, uniform within +-djUi/2
    // The SJ starts at this time (seconds), from zero phase, so that the loop can
    // acquire without it first.
    double sjStartTime = 0;
    bool Any() const { return ppm != 0 || sscPpm != 0 || !sj.empty() || rjUi != 0 || djUi != 0; }
    // The largest distance of an edge from its place on the smooth clock, for
    // look-ahead (random jitter counted to 8 sigma).
    double BoundUi() const;
};

// Edge times of the transmitter, bit by bit. Edge n starts bit n.
class EdgeTiming {
public:
    EdgeTiming(const Impairments& impairments, double bitTime, unsigned seed);
    // The clock without random and deterministic jitter, in bits: how many bit
    // periods the transmitter has sent by time t (SJ delays the edges).
    double Phase(double t) const;
    // The transmitter's frequency offset at time t from its offset and spread (ppm,
    // positive: faster than nominal); SJ is jitter, not counted.
    double OffsetPpm(double t) const;
    // The time of the next edge, its jitter included.
    double Next();
    // The time of edge n on the clock with frequency offset and spread only.
    double SmoothEdge(std::int64_t n) const;

private:
    double Spread(double t) const;  // time lost to the down-spread by t
    double SjDelay(double t) const;  // seconds the SJ moves an edge sent at smooth time t
    Impairments imp_;
    double ui_, period_;  // nominal bit time, transmitter bit time
    std::int64_t n_ = 0;
    std::mt19937_64 rng_;
    std::normal_distribution<double> gauss_{0.0, 1.0};
    std::uniform_real_distribution<double> uniform_{-0.5, 0.5};
};

// Each transition a step smoothed by a cubic B-spline four samples wide: the
// rendered edge is C2-continuous and its centre, measured as the centroid of
// the sample differences, is exactly the edge time whatever its fraction of a sample.
double SmoothStep(double x);

// NRZ levels at sample times: a transition at each edge whose bit differs from
// the one before, centred half a sample before the edge time (so that with no
// impairment bit n fills samples n*spb ... n*spb+spb-1 as a plain NRZ does).
class JitteredNrz {
public:
    JitteredNrz(const Impairments& impairments, double bitTime, int samplesPerBit, unsigned seed);
    // Fills out[0..n) with the next samples; nextBit() gives the bits in order.
    template <typename NextBit>
    void Render(double* out, std::size_t n, double amplitude, NextBit nextBit);

private:
    struct Transition {
        double centre;  // in samples
        double step;    // level change, in units of the amplitude
    };
    EdgeTiming timing_;
    double dt_, lookahead_;
    std::int64_t sample_ = 0;
    double settled_ = 0;  // level with every finished transition applied
    int lastBit_ = -1;
    double nextEdge_ = 0;  // smooth time of the next edge not yet made
    std::int64_t made_ = 0;
    std::deque<Transition> open_;
};

template <typename NextBit>
void JitteredNrz::Render(double* out, std::size_t n, double amplitude, NextBit nextBit) {
    for (std::size_t i = 0; i < n; ++i, ++sample_) {
        const double now = static_cast<double>(sample_);
        while (nextEdge_ <= (now + 2.5) * dt_ + lookahead_) {
            const int bit = nextBit() ? 1 : 0;
            const double t = timing_.Next();
            if (lastBit_ < 0) settled_ = bit ? 1.0 : -1.0;  // the line starts at the first bit's level
            else if (bit != lastBit_) open_.push_back({t / dt_ - 0.5, bit ? 2.0 : -2.0});
            lastBit_ = bit;
            nextEdge_ = timing_.SmoothEdge(++made_);
        }
        double v = settled_;
        for (std::size_t k = 0; k < open_.size();) {
            const double x = now - open_[k].centre;
            if (x >= 2.0) {
                settled_ += open_[k].step;
                v += open_[k].step;
                open_.erase(open_.begin() + static_cast<std::ptrdiff_t>(k));
                continue;
            }
            if (x > -2.0) v += open_[k].step * SmoothStep(x);
            ++k;
        }
        out[i] = v * amplitude;
    }
}

}  // namespace sim
