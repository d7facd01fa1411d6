// The product grid of a sweep, enumerated on demand: point k's values are worked
// out from k (the last axis varies fastest), so no list of points is ever built
// and the size is known, and checked, before anything else.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

struct GridAxis {
    std::string name;                 // a run option (loss, ppm, noise ...) or a model parameter
    std::vector<std::string> values;
};

class Grid {
public:
    // At most this many points: each is a run with a folder of its own.
    static constexpr std::uint64_t kMaxPoints = 1000000;

    // False with a message when the grid has no point or more than kMaxPoints
    // (worked out without overflow, however many axes and values).
    bool Set(const std::vector<GridAxis>& axes, std::string& error);
    std::uint64_t Size() const { return size_; }
    const std::vector<GridAxis>& Axes() const { return axes_; }
    // The values of point k < Size(), one per axis.
    std::vector<std::string> Point(std::uint64_t k) const;
    // Point ids as written: zero-padded to the width of the last one, at least 4 digits.
    std::string Id(std::uint64_t k) const;

private:
    std::vector<GridAxis> axes_;
    std::uint64_t size_ = 0;
};

}  // namespace sim
