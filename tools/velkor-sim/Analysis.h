// What a receiver engineer looks at after a run: lock, bit errors, the eye at
// the recovered clock, the clock period and the adaptation of the equaliser.
// The analysis is streamed: it takes the run block by block and keeps fixed-size
// histograms and sums, so its memory does not grow with the run.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "tools/velkor-sim/Confidence.h"
#include "tools/velkor-sim/Jitter.h"
#include "tools/velkor-sim/LockDetector.h"
#include "tools/velkor-sim/Prbs.h"
#include "tools/velkor-sim/SlotTallies.h"

namespace sim {

struct AnalysisSettings {
    double bitTime = 1e-10;
    int samplesPerBit = 16;
    PrbsPolynomial polynomial{15, 14};
    std::size_t maxLatencyBits = 256;  // longest delay of channel and model to search, whole bits
    Impairments impairments;  // of the transmitter, whose clock the recovered one is held against
    unsigned seed = 1;
    std::size_t settleBits = 0;  // transmitted bits before errors, the eye and the bathtub are counted
    // The channel's delay as far as it is known before lock (its impulse response's
    // peak), seconds: lock is judged against what the transmitter sent that long ago.
    double channelDelay = 0;
};

struct EyeDensity {
    int phases = 32, levels = 64;  // one column per sample over two unit intervals; levels <= 65535
    double low = 0, high = 0;
    std::vector<std::uint32_t> counts;  // phases x levels, phase-major
};

// Decisions at one sampling phase of the recovered clock.
struct BathtubPoint {
    double phaseUi = 0;  // from the data sample
    std::size_t errors = 0, compared = 0;
    double gaussian = 0;  // BER from Gaussian tails fitted to the ones and the zeros
};

struct AdaptationPoint {
    long long sample;
    double gainCode, zeroCode, frequencyOffsetPpm;
};

struct LinkMetrics {
    std::size_t edges = 0;            // clock times the model returned
    double runTime = 0;               // seconds of signal
    bool locked = false;
    std::size_t bitsSkipped = 0;      // clock edges before the lock point
    double lockTime = 0;              // seconds, the lock point
    std::size_t bitsCompared = 0;     // decisions from the lock point on
    std::size_t bitErrors = 0;
    BerEstimate ber;
    std::size_t slips = 0;            // lost or extra clock edges after lock
    std::vector<double> slipTimes;    // the first ones, seconds
    long long latencyBits = 0;        // transmitted bit index minus clock-edge count at lock
    double alignmentAgreement = 0;    // share of the alignment window the chosen latency explains
    std::size_t rejectedLocks = 0;    // stable stretches whose decisions no latency explained
    double eyeHeight = 0;             // volts about the 0 V threshold at the data sample; <= 0: closed
    bool eyeOpen = false;
    double eyeWidth = 0;              // unit intervals of error-free sampling phase
    std::vector<BathtubPoint> bathtub;
    double periodMean = 0, periodSpread = 0;  // seconds, after lock
    std::vector<std::pair<double, double>> periodTrace;  // (time, mean period over a window)
    EyeDensity eyeBefore, eyeAfter;   // at the receiver input and at the model output
    // Recovered clock against the transmitter's (its frequency offset, spread and
    // sinusoidal jitter; random and deterministic jitter count as error), after lock.
    double trackingRms = 0, trackingPeak = 0;  // UI, about the mean error after lock
    std::vector<std::pair<double, double>> trackingTrace;  // (time, mean error over a window), UI
    std::vector<std::pair<double, double>> transmitTrace;  // (time, transmitter phase deviation), UI
    std::vector<std::pair<double, double>> trackingSpectrum;  // (Hz, UI peak) of the windowed error
    double trackingWindow = 0;  // seconds per trace point
};

class LinkAnalyser {
public:
    explicit LinkAnalyser(const AnalysisSettings& settings);
    // The next block of the run: the model's input and output samples and the
    // clock times the model returned with them (without the -1 terminator).
    void Add(const double* input, const double* output, std::size_t n, const double* clockTimes, std::size_t count);
    // The frequency correction the model reported (ppm) after the call that made
    // the next block; the report after the call before holds at its start.
    void ModelCorrection(double ppm) {
        correctionBefore_ = correction_;
        correction_ = ppm;
    }
    // Ends the run and gives the figures.
    LinkMetrics Finish();

private:
    struct Edge {
        double time;
        long long decision;  // sample index of the data sample
    };
    void Process(bool final);
    void OnLock();
    void Measure(const Edge& edge);
    int Bit(long long index);
    double Out(long long i) const { return out_[static_cast<std::size_t>(i - base_)]; }
    double In(long long i) const { return in_[static_cast<std::size_t>(i - base_)]; }
    void Density(EyeDensity& eye, const std::vector<std::uint16_t>& rows, long long decision);
    void Trim();
    long long InputEyeCentre(std::size_t window) const;
    double PhaseAt(double t) const { return s_.impairments.Any() ? timing_.Phase(t) : t / s_.bitTime; }
    // The transmitter's phase when it sent what the receiver decides at t: the
    // channel and model delay (whole bits, found at lock) taken off, so that SJ
    // fast against that delay is not mistaken for tracking error.
    double SentPhase(double t) const { return PhaseAt(t - sendDelay_); }
    long long GridBit(long long decision) const;
    void Track(double time, double error);

    AnalysisSettings s_;
    int spb_;
    double dt_;
    LockDetector lock_;
    EdgeTiming timing_;
    double refTime_ = 0, refPhase_ = 0;
    double sendDelay_ = 0;  // seconds
    long long inputShift_ = 0;  // samples from a decision to the input eye's centre
    // The correction at the end of the current block and of the block before.
    double correction_ = LockDetector::kUnknown, correctionBefore_ = LockDetector::kUnknown;
    double EdgeCorrection(double transmitterPpm) const;
    double trackSum_ = 0, trackSum2_ = 0, windowSum_ = 0, windowTx_ = 0;
    double trackMin_ = 0, trackMax_ = 0;
    std::size_t tracked_ = 0, windowCount_ = 0, trackWindow_ = 64;
    LinkMetrics m_;
    // Samples kept from index base_ on, as far back as pending edges need.
    std::vector<double> in_, out_;
    // Their eye density rows, once the densities' ranges are set at alignment.
    std::vector<std::uint16_t> rowsIn_, rowsOut_;
    long long base_ = 0;
    std::deque<Edge> pending_;     // edges not yet measured (before lock: the current stable stretch)
    std::size_t pendingFirst_ = 0;  // edge number of pending_.front()
    // Transmitted bits, generated on demand from bitsBase_ on.
    PrbsGenerator prbs_;
    std::deque<std::uint8_t> bits_;
    long long bitsBase_ = 0, bitsMade_ = 0;
    bool aligned_ = false;
    long long bitIndex_ = 0, refBit_ = 0, refDecision_ = 0;
    double lastTime_ = -1;
    double periodSum_ = 0, periodSum2_ = 0;
    std::size_t periods_ = 0;
    std::size_t traceWindow_ = 256, traceCount_ = 0;
    double traceStart_ = 0;
    SlotTallies tallies_;
};

// The adaptation log "Velrok.adapt": a header, a first line of three values and
// one line of seven values every logPeriod samples.
std::vector<AdaptationPoint> ReadAdaptationLog(const std::string& path, long long logPeriod);

}  // namespace sim
