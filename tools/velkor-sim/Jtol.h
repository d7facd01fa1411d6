// Jitter tolerance as the test standards measure it: the loop acquires without
// SJ, then the SJ starts and the bits are counted; for each frequency the largest
// SJ amplitude at which the link keeps its lock and meets a bit error ratio,
// found by bisection over whole runs.
#pragma once

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

namespace sim {

struct JtolOptions {
    std::vector<double> frequencies;  // Hz
    double targetBer = 1e-3;
    double resolution = 0.02;  // UI: the bisection stops when the bracket is this narrow
    double maxAmplitude = 4;   // UI: the largest amplitude tried
    std::size_t bits = 100000;  // counted under SJ, after the settling bits
    long long settleBits = -1;  // bits before the SJ starts; -1: found by an acquisition run without SJ
    std::string maskFile;
    int jobs = 1;
    std::vector<std::string> runArguments;
    std::string outDir;
    bool help = false;
};

bool ParseJtolOptions(int argc, char** argv, JtolOptions& options, std::string& error);
const char* JtolUsage();

// A mask file: lines of a frequency (Hz) and an amplitude (UI), ascending in
// frequency; blank lines and lines starting with # are skipped. False with a message.
bool ReadMask(const std::string& path, std::vector<std::pair<double, double>>& mask, std::string& error);
// The mask's amplitude at a frequency, interpolated on log-log axes and held
// beyond its ends.
double MaskAt(const std::vector<std::pair<double, double>>& mask, double frequency);

int RunJtol(const JtolOptions& options, const std::string& self);

}  // namespace sim
