// Sweeps: the product grid of run options and model parameters, run point by
// point in child processes of this tool, a slice of it per shard; and the
// joining of shard outputs into one table and report.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace sim {

struct GridAxis {
    std::string name;                 // a run option (loss, ppm, noise ...) or a model parameter
    std::vector<std::string> values;
};

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

// The grid's points in a fixed order (the last axis varies fastest).
std::vector<std::vector<std::string>> GridPoints(const std::vector<GridAxis>& grid);

// The command-line arguments of one point: the run's own, then each grid value
// as its run option or as --param NAME=VALUE.
std::vector<std::string> PointArguments(const SweepOptions& options, const std::vector<std::string>& values);

// Runs the sweep (this shard of it) with `self` the path of this tool; writes
// points/<id>/ and sweep.csv under the output folder. Returns the exit status.
int RunSweep(const SweepOptions& options, const std::string& self);

// "merge DIR... --out DIR": joins sweep.csv tables into one, sorted by point,
// and writes its report. Returns the exit status.
int RunMerge(int argc, char** argv);

// Starts this tool (`self`) as a child process running one point that writes
// its own folder (created first); its terminal output goes to run.log there.
// Returns the child's id, or -1.
long StartPoint(const std::string& self, const std::vector<std::string>& arguments, const std::string& folder);
// Waits for any started point; its id and exit status (128 + signal when killed). False when none is left.
bool WaitPoint(long& id, int& status);
// The value of one figure in a metrics.json text ("" when absent).
std::string MetricsValue(const std::string& json, const std::string& key);
std::string ReadText(const std::string& path);

// The figures of a point's metrics.json that go into a row of sweep.csv.
std::vector<std::string> SweepFigureNames();
std::vector<std::string> SweepFigures(const std::string& metricsJson);

}  // namespace sim
