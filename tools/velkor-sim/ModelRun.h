// One model instance driven over a stream as a channel simulator drives it:
// AMI_Init, AMI_GetWave block by block, AMI_Close.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "tools/velkor-sim/AmiHost.h"

namespace sim {

struct ModelRunSettings {
    std::string parameters;
    double bitTime = 1e-10;
    int samplesPerBit = 16;
    long block = 1024;
    std::size_t totalSamples = 0;  // for the progress bar
    bool progress = false;
    // Sees the model's AMI_parameters_out after each call (before the sink sees
    // the block), with the samples done by the end of that block.
    std::function<void(std::size_t samples, const char* state)> onState;
};

// Fills the next input block (at most n samples) and returns its length; 0 ends the run.
using BlockSource = std::function<std::size_t(double* wave, std::size_t n)>;
// Sees each block: the input, the model's output and the clock times returned with it.
using BlockSink = std::function<void(const double* input, const double* output, std::size_t n,
                                     const double* clockTimes, std::size_t count)>;

struct ModelRunResult {
    std::string message;  // from AMI_Init
    std::string state;    // AMI_parameters_out of the last AMI_GetWave
    double seconds = 0;   // spent in the model
    std::size_t samples = 0;
};

// False with a message when an entry point fails.
bool RunModel(AmiHost& host, const ModelRunSettings& settings, const BlockSource& source, const BlockSink& sink,
              ModelRunResult& result, std::string& error);

}  // namespace sim
