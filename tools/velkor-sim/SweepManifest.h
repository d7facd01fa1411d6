// What a sweep's output folder was made from, written beside its sweep.csv as
// sweep-manifest.txt: the velkor-sim version, the grid, the options every point
// ran with and the shard. merge joins only shards of one sweep.
#pragma once

#include <string>
#include <vector>

#include "tools/velkor-sim/Grid.h"

namespace sim {

struct SweepManifest {
    std::string version;
    std::vector<GridAxis> grid;
    std::vector<std::string> runArguments;
    int shard = 1, shards = 1;
};

constexpr const char* kManifestFile = "sweep-manifest.txt";

// This build's version, as manifests and reports name it.
const char* ToolVersion();

std::string ManifestText(const SweepManifest& manifest);
// False with a message naming the file and line when it is not a manifest.
bool ReadManifest(const std::string& path, SweepManifest& manifest, std::string& error);
// "" when both describe the same sweep (shards aside), else what differs.
std::string ManifestDifference(const SweepManifest& a, const SweepManifest& b);

}  // namespace sim
