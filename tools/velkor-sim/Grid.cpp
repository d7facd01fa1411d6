#include "tools/velkor-sim/Grid.h"

#include <algorithm>
#include <cstdio>

namespace sim {

bool Grid::Set(const std::vector<GridAxis>& axes, std::string& error) {
    std::uint64_t size = 1;
    for (const auto& axis : axes) {
        const std::uint64_t n = axis.values.size();
        if (n == 0) {
            error = "--grid " + axis.name + " has no value";
            return false;
        }
        if (size > kMaxPoints / n) {  // the product would pass the limit (and could overflow)
            std::string shape;
            for (const auto& a : axes) shape += (shape.empty() ? "" : " x ") + std::to_string(a.values.size());
            error = "the grid has more than " + std::to_string(kMaxPoints) + " points (" + shape +
                    " values); split it into several sweeps";
            return false;
        }
        size *= n;
    }
    axes_ = axes;
    size_ = axes.empty() ? 0 : size;
    return true;
}

std::vector<std::string> Grid::Point(std::uint64_t k) const {
    std::vector<std::string> values(axes_.size());
    for (std::size_t a = axes_.size(); a-- > 0;) {
        const std::uint64_t n = axes_[a].values.size();
        values[a] = axes_[a].values[static_cast<std::size_t>(k % n)];
        k /= n;
    }
    return values;
}

std::string Grid::Id(std::uint64_t k) const {
    const int width = static_cast<int>(std::to_string(size_ > 0 ? size_ - 1 : 0).size());
    char text[32];
    std::snprintf(text, sizeof text, "%0*llu", std::max(width, 4), static_cast<unsigned long long>(k));
    return text;
}

}  // namespace sim
