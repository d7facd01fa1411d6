// Sweeps: the product grid of run options and model parameters, run point by
// point in child processes of this tool, a slice of it per shard; and the
// joining of shard outputs into one table and report.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/velkor-sim/Grid.h"

namespace sim {

struct SweepOptions {
    std::vector<GridAxis> grid;
    std::vector<std::string> runArguments;  // passed to every point
    int jobs = 1;
    int shard = 1, shards = 1;  // run points k with k % shards == shard - 1
    std::string outDir;
    bool help = false;
};

// Parses "sweep" arguments (after the word sweep); false with a message.
bool ParseSweepOptions(int argc, char** argv, SweepOptions& options, std::string& error);
const char* SweepUsage();

// The command-line arguments of one point: the run's own, then each grid value
// as its run option or as --param NAME=VALUE.
std::vector<std::string> PointArguments(const SweepOptions& options, const std::vector<std::string>& values);

// Runs the sweep (this shard of it) with `self` the path of this tool; writes
// points/<id>/ and sweep.csv under the output folder. Returns the exit status.
int RunSweep(const SweepOptions& options, const std::string& self);

// "merge DIR... --out DIR": joins sweep.csv tables into one, sorted by point,
// and writes its report. Returns the exit status.
int RunMerge(int argc, char** argv);

// The value of one figure in a metrics.json text ("" when absent).
std::string MetricsValue(const std::string& json, const std::string& key);
std::string ReadText(const std::string& path);

// The figures of a point's metrics.json that go into a row of sweep.csv; a
// figure the run could not measure (null: not locked) is an empty field.
std::vector<std::string> SweepFigureNames();
std::vector<std::string> SweepFigures(const std::string& metricsJson);

}  // namespace sim
