#include "tools/velkor-sim/SlotTallies.h"

#include <algorithm>

namespace sim {

namespace {

LevelTallies Empty(std::size_t slots, double extreme) {
    return {std::vector<std::size_t>(slots, 0), std::vector<double>(slots, 0.0), std::vector<double>(slots, 0.0),
            std::vector<double>(slots, extreme)};
}

// Each slot's tallies of one level: decisions, errors (a decision against the
// bit: `wrong` says which), the level's sums and the extreme that `keep` chooses.
template <typename Wrong, typename Keep>
void AddLevel(SlotTallies& all, LevelTallies& t, const double* v, std::size_t n, std::size_t first, Wrong wrong,
              Keep keep) {
    std::size_t* compared = all.compared.data() + first;
    std::size_t* errors = all.errors.data() + first;
    std::size_t* count = t.count.data() + first;
    double* sum = t.sum.data() + first;
    double* sumSquares = t.sumSquares.data() + first;
    double* extreme = t.extreme.data() + first;
    // Decisions apart: GCC does not vectorise a count of comparisons of doubles.
    for (std::size_t j = 0; j < n; ++j) {
        ++compared[j];
        errors[j] += wrong(v[j]) ? 1 : 0;
    }
    for (std::size_t j = 0; j < n; ++j) {
        const double x = v[j];
        ++count[j];
        sum[j] += x;
        sumSquares[j] += x * x;
        extreme[j] = keep(extreme[j], x);
    }
}

}  // namespace

SlotTallies::SlotTallies(std::size_t slots)
    : compared(slots, 0), errors(slots, 0), ones(Empty(slots, 1e300)), zeros(Empty(slots, -1e300)) {}

void SlotTallies::Add(const double* v, std::size_t n, std::size_t first, bool one) {
    // A decision is a sample above 0 V, so a NaN decides zero.
    if (one)
        AddLevel(*this, ones, v, n, first, [](double x) { return !(x > 0); },
                 [](double a, double b) { return std::min(a, b); });
    else
        AddLevel(*this, zeros, v, n, first, [](double x) { return x > 0; },
                 [](double a, double b) { return std::max(a, b); });
}

void SlotTallies::AddOneByOne(const double* v, std::size_t n, std::size_t first, bool one) {
    for (std::size_t j = 0; j < n; ++j) {
        const std::size_t slot = first + j;
        ++compared[slot];
        errors[slot] += (v[j] > 0) != one;
        LevelTallies& t = one ? ones : zeros;
        ++t.count[slot];
        t.sum[slot] += v[j];
        t.sumSquares[slot] += v[j] * v[j];
        t.extreme[slot] = one ? std::min(t.extreme[slot], v[j]) : std::max(t.extreme[slot], v[j]);
    }
}

}  // namespace sim
