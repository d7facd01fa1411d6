// Turns a sampled clock waveform into the times of its zero crossings.
#pragma once

#include <cstddef>
#include <cstdint>

#include <emmintrin.h>

#include "framework/CircularBuffer.h"
#include "framework/DFModel.h"

namespace CorvaneModelBuilder {

enum ClockEdgeType : std::int32_t { FallingEdge = 0, RisingEdge = 1, BothEdges = 2 };

class ClockTimes : public DFModel {
public:
    CircularBuffer<double> Input;
    CircularBuffer<double> Output;  // crossing time in seconds, or -1.0
    double SampleInterval = 1e-10;
    double TimeOffset = 0.0;
    std::int32_t EdgeType = FallingEdge;
    std::int32_t Interpolate = 0;
    double PreviousSample = -1.0;
    std::uint64_t SampleCount = 0;
    double Amplitude = 1.0;

    bool Initialize() override;
    bool Run() override;
    bool Finalize() override { return true; }

    // Fraction of the sample interval, from the previous sample, at which a
    // sinusoidal clock of this Amplitude crosses zero.
    double CrossingFraction(double previous, double current) const;

    // The step of Run that needs no port: the crossing time of this sample or -1.0.
    double Step(double x) {
        double result = -1.0;
        if (SampleCount > 0 && IsCrossing(PreviousSample, x)) result = CrossingTime(SampleCount, PreviousSample, x);
        ++SampleCount;
        PreviousSample = x;
        return result;
    }

    // Run over a buffer of clock samples: appends the crossing times found to
    // times (at most n) and returns how many.
    std::size_t Process(const double* clock, double* times, std::size_t n) {
        switch (EdgeType) {
            case FallingEdge: return Scan(clock, times, n, Falling{});
            case RisingEdge: return Scan(clock, times, n, Rising{});
            case BothEdges: return Scan(clock, times, n, Either{});
            default: return Scan(clock, times, n, Never{});
        }
    }

private:
    // The crossings of each kind, of one pair of samples or of two pairs at once
    // (the bits of the two, as a mask); NaN is neither above zero nor at or below it.
    struct Falling {
        bool operator()(double p, double c) const { return (p > 0) & (c <= 0); }
        int operator()(__m128d p, __m128d c) const {
            return _mm_movemask_pd(_mm_and_pd(_mm_cmpgt_pd(p, _mm_setzero_pd()), _mm_cmple_pd(c, _mm_setzero_pd())));
        }
    };
    struct Rising {
        bool operator()(double p, double c) const { return (p <= 0) & (c > 0); }
        int operator()(__m128d p, __m128d c) const {
            return _mm_movemask_pd(_mm_and_pd(_mm_cmple_pd(p, _mm_setzero_pd()), _mm_cmpgt_pd(c, _mm_setzero_pd())));
        }
    };
    struct Either {
        bool operator()(double p, double c) const { return Falling{}(p, c) | Rising{}(p, c); }
        int operator()(__m128d p, __m128d c) const { return Falling{}(p, c) | Rising{}(p, c); }
    };
    struct Never {
        bool operator()(double, double) const { return false; }
        int operator()(__m128d, __m128d) const { return 0; }
    };

    // Process for one kind of edge: the crossings of 64 samples at a time as bits,
    // without a branch per sample (a clock's level changes twice a period, which a
    // branch per sample would mispredict), then a time for each bit set. Step's
    // state in locals: the times written cannot then alias it.
    template <typename Crossing>
    std::size_t Scan(const double* clock, double* times, std::size_t n, Crossing crossing) {
        std::uint64_t count = SampleCount;
        double previous = PreviousSample;
        std::size_t found = 0, i = 0;
        if (count == 0 && n > 0) {  // the very first sample follows none
            previous = clock[0];
            count = 1;
            i = 1;
        }
        while (i < n) {
            const std::size_t m = n - i < 64 ? n - i : 64;
            const double* x = clock + i;
            std::uint64_t bits = crossing(previous, x[0]) ? 1 : 0;
            std::size_t j = 1;
            for (; j + 4 <= m; j += 4) {
                const auto low = static_cast<unsigned>(crossing(_mm_loadu_pd(x + j - 1), _mm_loadu_pd(x + j)));
                const auto high = static_cast<unsigned>(crossing(_mm_loadu_pd(x + j + 1), _mm_loadu_pd(x + j + 2)));
                bits |= static_cast<std::uint64_t>(low | high << 2) << j;
            }
            for (; j + 2 <= m; j += 2)
                bits |= static_cast<std::uint64_t>(crossing(_mm_loadu_pd(x + j - 1), _mm_loadu_pd(x + j))) << j;
            for (; j < m; ++j) bits |= static_cast<std::uint64_t>(crossing(x[j - 1], x[j])) << j;
            for (; bits != 0; bits &= bits - 1) {
                const auto j = static_cast<std::size_t>(__builtin_ctzll(bits));
                const double t = CrossingTime(count + j, j == 0 ? previous : x[j - 1], x[j]);
                if (t >= 0.0) times[found++] = t;
            }
            count += m;
            previous = x[m - 1];
            i += m;
        }
        SampleCount = count;
        PreviousSample = previous;
        return found;
    }

    // The time of a crossing between the samples before `count` and at it.
    double CrossingTime(std::uint64_t count, double previous, double x) const {
        const double frac = Interpolate == 1 ? CrossingFraction(previous, x) : 1.0;
        return (static_cast<double>(count) - 1) * SampleInterval + SampleInterval * frac + TimeOffset;
    }
    bool IsCrossing(double prev, double cur) const {
        switch (EdgeType) {
            case FallingEdge: return prev > 0 && cur <= 0;
            case RisingEdge: return prev <= 0 && cur > 0;
            case BothEdges: return (prev > 0 && cur <= 0) || (prev <= 0 && cur > 0);
            default: return false;
        }
    }
};

}  // namespace CorvaneModelBuilder
