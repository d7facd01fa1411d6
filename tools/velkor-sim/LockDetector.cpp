#include "tools/velkor-sim/LockDetector.h"

#include <cmath>

namespace sim {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

double LockDetector::MeanPhase() const { return std::atan2(sinSum_, cosSum_) / kTwoPi; }

void LockDetector::Restart(std::size_t at) {
    windows_ = 0;
    cosSum_ = sinSum_ = 0;
    start_ = at;
}

void LockDetector::Reject() {
    locked_ = false;
    inWindow_ = 0;
    offsetSum_ = 0;
    corrections_ = 0;
    windowCos_ = windowSin_ = 0;
    Restart(edges_);
}

void LockDetector::Add(double phase, double correction, double transmitter) {
    ++edges_;
    if (locked_) return;
    windowCos_ += std::cos(kTwoPi * phase);
    windowSin_ += std::sin(kTwoPi * phase);
    if (!std::isnan(correction)) {  // kNotYetKnown makes the window's offset infinite: not settled
        offsetSum_ += correction - transmitter;
        ++corrections_;
    }
    if (++inWindow_ < kWindow) return;
    const double mean = std::atan2(windowSin_, windowCos_) / kTwoPi;
    const bool reported = corrections_ == kWindow;
    const double offset = reported ? offsetSum_ / static_cast<double>(kWindow) : 0;
    inWindow_ = 0;
    corrections_ = 0;
    windowCos_ = windowSin_ = offsetSum_ = 0;
    if (!settled_) {
        settled_ = !reported || std::fabs(offset) <= kSettledPpm;
        Restart(settled_ ? edges_ - kWindow : edges_);  // a stretch starts at the earliest with this window
        if (!settled_) return;
    } else if (windows_ > 0) {
        double d = mean - MeanPhase();
        d -= std::floor(d + 0.5);  // circular difference, -0.5 ... 0.5
        if (std::fabs(d) > tolerance_) Restart(edges_ - kWindow);  // the stretch starts again with this window
    }
    cosSum_ += std::cos(kTwoPi * mean);
    sinSum_ += std::sin(kTwoPi * mean);
    if (++windows_ * kWindow >= kEdges) locked_ = true;
}

}  // namespace sim
