#include "tools/velkor-sim/LockDetector.h"

#include <cmath>

namespace sim {

namespace {
constexpr double kTwoPi = 6.283185307179586;
}

double LockDetector::MeanPhase() const { return std::atan2(sinSum_, cosSum_) / kTwoPi; }

void LockDetector::Reject() {
    locked_ = false;
    count_ = 0;
    cosSum_ = sinSum_ = 0;
    start_ = edges_;
}

void LockDetector::Add(double phase) {
    if (locked_) {
        ++edges_;
        return;
    }
    if (count_ > 0) {
        double d = phase - MeanPhase();
        d -= std::floor(d + 0.5);  // circular difference, -0.5 ... 0.5
        if (std::fabs(d) > tolerance_) {
            count_ = 0;
            cosSum_ = sinSum_ = 0;
            start_ = edges_;
        }
    }
    cosSum_ += std::cos(kTwoPi * phase);
    sinSum_ += std::sin(kTwoPi * phase);
    ++count_;
    ++edges_;
    if (count_ >= kEdges) locked_ = true;
}

}  // namespace sim
