// What a receiver engineer looks at after a run: lock, bit errors, the eye at
// the recovered clock, the clock period and the adaptation of the equaliser.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct LinkRun {
    std::vector<std::uint8_t> bits;   // transmitted
    std::vector<double> output;       // equalised waveform from the model
    std::vector<double> clockTimes;   // every clock time the model returned
    double bitTime = 1e-10;
    int samplesPerBit = 16;
};

struct EyeDensity {
    int phases = 32, levels = 64;  // one column per sample over two unit intervals
    double low = 0, high = 0;
    std::vector<std::uint32_t> counts;  // phases x levels, phase-major
};

struct AdaptationPoint {
    long long sample;
    double gainCode, zeroCode, frequencyOffsetPpm;
};

struct LinkMetrics {
    bool locked = false;
    std::size_t lockClock = 0;        // index of the first clock time after lock
    double lockTime = 0;              // seconds
    std::size_t bitsSkipped = 0;      // decisions before lock
    std::size_t bitsCompared = 0;     // decisions after lock
    std::size_t bitErrors = 0;
    double ber = 0;
    int latencyBits = 0;
    double periodMean = 0, periodSpread = 0;  // seconds, after lock
    double eyeHeight = 0;             // volts, at the data sample
    double eyeWidth = 0;              // unit intervals
    EyeDensity eye;
    std::vector<std::pair<double, double>> periodTrace;  // (time, mean period over a window)
};

LinkMetrics Analyse(const LinkRun& run);

// The adaptation log "Velrok.adapt": a header, a first line of three values and
// one line of seven values every logPeriod samples.
std::vector<AdaptationPoint> ReadAdaptationLog(const std::string& path, long long logPeriod);

}  // namespace sim
