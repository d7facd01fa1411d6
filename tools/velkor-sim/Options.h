// Command line of velkor-sim.
#pragma once

#include <string>
#include <vector>

#include "tools/velkor-sim/ChannelSetup.h"
#include "tools/velkor-sim/Jitter.h"
#include "tools/velkor-sim/Transmitter.h"

namespace sim {

struct Options {
    std::string library = VELKOR_DEFAULT_LIBRARY;
    std::string ami = VELKOR_DEFAULT_AMI;
    std::vector<std::string> params;
    int pattern = 15;
    std::size_t bits = 200000;
    double bitRate = 10e9;
    int samplesPerBit = 16;
    double amplitude = 0.4;
    double noise = 0.0;
    unsigned seed = 1;
    Impairments impairments;  // of the transmitter
    TransmitterShape transmitter;  // FFE and rise time
    ChannelRequest channel;        // files (--channel, --ports), --step, --loss
    long block = 1024;
    std::size_t settleBits = 0;  // bits before the SJ starts and errors are counted
    std::string outDir;
    bool help = false;
};

// Parses argv; false with a message for a usage error.
bool ParseOptions(int argc, char** argv, Options& options, std::string& error);
const char* Usage();
// A number with an optional engineering suffix (G, M, k, m, u); false when not one.
bool ParseNumber(const std::string& text, double& value);

}  // namespace sim
