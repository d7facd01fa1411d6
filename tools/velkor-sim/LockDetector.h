// Decides while the run goes whether the recovered clock has locked, from the
// clock's own behaviour:
//  - where the model reports its frequency correction, the loop's frequency
//    integrator must first have reached the transmitter's offset (its mean over a
//    window within kSettledPpm of the offset from frequency offset and spread
//    spectrum): until then the phase steps hold the phase while the integrator
//    still unwinds, and a stretch that looks steady then is not a lock;
//  - then the mean phase of every window of edges against the transmitter's
//    clock must stay within a tolerance of the stretch's mean for a number of
//    consecutive windows.
// Window means average out the loop's dither and the jitter it is sent (random,
// deterministic, SJ faster than a window), so nothing depends on the jitter.
// The decision looks only backwards, so a lock point never depends on the run length.
#pragma once

#include <cstddef>
#include <limits>

namespace sim {

class LockDetector {
public:
    static constexpr std::size_t kWindow = 1000;           // edges per window
    static constexpr std::size_t kEdges = 10 * kWindow;    // edges a stretch must hold
    static constexpr double kSettledPpm = 100;             // integrator within this of the transmitter's offset

    explicit LockDetector(double toleranceUi) : tolerance_(toleranceUi) {}
    // The next edge: the transmitter's phase then (in unit intervals, any real; its
    // fraction is the clock's phase against the transmitter's), the frequency
    // correction the model reports (ppm; kUnknown when it reports none) and the
    // transmitter's frequency offset then (ppm, without SJ).
    void Add(double phaseUi, double correctionPpm = kUnknown, double transmitterPpm = 0);
    static constexpr double kUnknown = std::numeric_limits<double>::quiet_NaN();  // the model reports no correction
    // The model reports a correction, but none yet that covers this edge: not settled.
    static constexpr double kNotYetKnown = std::numeric_limits<double>::infinity();
    bool Locked() const { return locked_; }
    // Index of the first edge of the stretch that has held (or holds so far).
    std::size_t Start() const { return start_; }
    // Circular mean phase of the stretch's windows, -0.5 ... 0.5.
    double MeanPhase() const;
    // The stretch that held was not a lock after all (its decisions were wrong):
    // look for a new one from the next edge on.
    void Reject();

private:
    void Restart(std::size_t at);
    double tolerance_;
    std::size_t edges_ = 0, start_ = 0, windows_ = 0, inWindow_ = 0;
    double windowCos_ = 0, windowSin_ = 0;  // the current window
    double offsetSum_ = 0;  // correction less the transmitter's offset, over the window
    std::size_t corrections_ = 0;
    bool settled_ = false;  // the integrator has reached the transmitter's offset
    double cosSum_ = 0, sinSum_ = 0;        // the stretch's window means, as unit vectors
    bool locked_ = false;
};

}  // namespace sim
