// The search of one jitter-tolerance frequency: the largest SJ amplitude that
// passes, by bisection between the largest that passed and the smallest that
// failed, after a first try at the largest amplitude allowed.
#pragma once

#include <string>

namespace sim {

class JtolSearch {
public:
    JtolSearch(double frequency, double maxAmplitude, double resolution)
        : frequency_(frequency), max_(maxAmplitude), resolution_(resolution), fail_(maxAmplitude) {}

    double Frequency() const { return frequency_; }
    bool Done() const { return done_; }
    // The amplitude to try next (UI peak): first the largest, then the middle of the bracket.
    double Next() const { return step_ == 0 ? max_ : 0.5 * (pass_ + fail_); }
    int Step() const { return step_; }
    // The outcome of a run at Next(); `failure` says why it failed ("ber", "lock").
    void Record(bool passed, const std::string& failure);
    // The runs cannot measure this frequency (killed twice, failed): stop here.
    void GiveUp(const std::string& why);
    // The search was stopped from outside (a signal) before it ended: the bracket
    // it reached stays, the largest amplitude that passed is a lower bound.
    void Stop(const std::string& why);
    bool Stopped() const { return stopped_; }

    bool Measured() const { return why_.empty(); }
    bool Capped() const { return Measured() && pass_ >= max_; }  // passed at the largest amplitude tried
    double Passed() const { return pass_; }    // largest amplitude that passed (0: none)
    double Failed() const { return fail_; }    // smallest that failed
    const std::string& FailedBy() const { return failedBy_; }  // why the smallest failing run failed
    const std::string& NotMeasuredBecause() const { return why_; }

private:
    double frequency_, max_, resolution_;
    double pass_ = 0, fail_;
    int step_ = 0;
    bool done_ = false, stopped_ = false;
    std::string failedBy_, why_;
};

// An amplitude as passed to a run: every digit a double holds, so that the run
// gets exactly the amplitude the bisection chose.
std::string AmplitudeText(double amplitude);

}  // namespace sim
