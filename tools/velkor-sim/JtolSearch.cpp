#include "tools/velkor-sim/JtolSearch.h"

#include <cstdio>

namespace sim {

void JtolSearch::Record(bool passed, const std::string& failure) {
    const double tried = Next();
    if (passed) {
        pass_ = tried;
    } else {
        fail_ = tried;
        failedBy_ = failure;
    }
    ++step_;
    // Done when the largest amplitude passes, when the bracket is narrow enough,
    // or when its middle is one of its ends (no double lies between them).
    const double middle = 0.5 * (pass_ + fail_);
    if ((passed && step_ == 1) || fail_ - pass_ <= resolution_ || middle <= pass_ || middle >= fail_) done_ = true;
}

void JtolSearch::GiveUp(const std::string& why) {
    why_ = why;
    done_ = true;
}

void JtolSearch::Stop(const std::string& why) {
    char bracket[96];
    if (step_ == 0) std::snprintf(bracket, sizeof bracket, " before its first run");
    else if (pass_ <= 0) std::snprintf(bracket, sizeof bracket, " with none passed yet, %.6g UI failed", fail_);
    else std::snprintf(bracket, sizeof bracket, " between %.6g UI (passed) and %.6g UI (failed)", pass_, fail_);
    GiveUp(why + bracket);
    stopped_ = true;
}

std::string AmplitudeText(double amplitude) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", amplitude);
    return text;
}

}  // namespace sim
