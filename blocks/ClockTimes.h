// Turns a sampled clock waveform into the times of its zero crossings.
#pragma once

#include <cstddef>
#include <cstdint>

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
        // Step's state in locals: the times written cannot then alias it.
        std::uint64_t count = SampleCount;
        double previous = PreviousSample;
        std::size_t found = 0;
        for (std::size_t i = 0; i < n; ++i) {
            const double x = clock[i];
            if (count > 0 && IsCrossing(previous, x)) {
                const double t = CrossingTime(count, previous, x);
                if (t >= 0.0) times[found++] = t;
            }
            ++count;
            previous = x;
        }
        SampleCount = count;
        PreviousSample = previous;
        return found;
    }

private:
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
