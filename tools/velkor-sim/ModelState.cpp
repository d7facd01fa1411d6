#include "tools/velkor-sim/ModelState.h"

#include <cmath>
#include <cstdlib>

namespace sim {

namespace {
constexpr std::size_t kMaxPoints = 1024;
}

bool StateValue(const std::string& state, const std::string& name, double& value) {
    const std::string key = "(" + name + " ";
    const auto at = state.find(key);
    if (at == std::string::npos) return false;
    const char* start = state.c_str() + at + key.size();
    char* end = nullptr;
    value = std::strtod(start, &end);
    return end != start && std::isfinite(value);
}

void StateTrace::Add(std::size_t samples, const char* state) {
    if (!state || samples < next_) return;
    double value = 0;
    if (!StateValue(state, name_, value)) return;
    points_.emplace_back(static_cast<long long>(samples), value);
    next_ = samples + stride_;
    if (points_.size() >= kMaxPoints) {
        for (std::size_t i = 0; 2 * i < points_.size(); ++i) points_[i] = points_[2 * i];
        points_.resize((points_.size() + 1) / 2);
        stride_ *= 2;
    }
}

}  // namespace sim
