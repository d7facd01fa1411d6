// Decides while the run goes whether the recovered clock has locked: the phase
// of every clock edge against the bit grid must stay within a tolerance of the
// running mean of the current stretch for a number of consecutive edges. The
// decision looks only backwards, so a lock point never depends on the run length.
#pragma once

#include <cstddef>

namespace sim {

class LockDetector {
public:
    static constexpr std::size_t kEdges = 10000;

    explicit LockDetector(double toleranceUi) : tolerance_(toleranceUi) {}
    // The phase (in unit intervals, any real; only its fraction counts) of the next edge.
    void Add(double phaseUi);
    bool Locked() const { return locked_; }
    // Index of the first edge of the stretch that has held (or holds so far).
    std::size_t Start() const { return start_; }
    double MeanPhase() const;
    // The stretch that held was not a lock after all (its decisions were wrong):
    // look for a new one from the next edge on.
    void Reject();

private:
    double tolerance_;
    std::size_t edges_ = 0, start_ = 0, count_ = 0;
    double cosSum_ = 0, sinSum_ = 0;
    bool locked_ = false;
};

}  // namespace sim
