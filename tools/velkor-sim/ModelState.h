// The model's state as it hands it back through AMI_parameters_out after each
// AMI_GetWave call, "(Velkor_Rx (gain_code 6) ... (frequency_offset_ppm 12.5) ...)",
// followed over a run.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace sim {

// The number of the leaf `name` in the state text; false when it has none.
bool StateValue(const std::string& state, const std::string& name, double& value);

// One value of the state over the run, at most about a thousand points: a point
// every `stride` samples, the stride doubling (and every other point dropped)
// when the trace is full, so memory stays fixed.
class StateTrace {
public:
    explicit StateTrace(std::string name) : name_(std::move(name)) {}
    // The state after `samples` samples of the run.
    void Add(std::size_t samples, const char* state);
    // (sample, value) pairs in order.
    const std::vector<std::pair<long long, double>>& Points() const { return points_; }

private:
    std::string name_;
    std::size_t stride_ = 4096, next_ = 0;
    std::vector<std::pair<long long, double>> points_;
};

}  // namespace sim
