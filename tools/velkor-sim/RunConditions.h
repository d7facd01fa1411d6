// The conditions shared by the runs of a sweep or a jitter-tolerance search, in
// words for the top of its report: the options every run was given and, from
// the first run's metrics.json, the channel, the model parameters, the bits, the
// rate, the seed and the noise.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace sim {

std::string RunConditions(const std::vector<std::string>& runArguments, const std::filesystem::path& folder);

}  // namespace sim
