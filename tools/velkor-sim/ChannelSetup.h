// The channel a run uses: the built-in trace, or one or more files (Touchstone
// networks and time-value responses) in order, joined into one response, with
// what was checked and how it was formed.
#pragma once

#include <string>
#include <vector>

#include "tools/velkor-sim/Channel.h"

namespace sim {

struct ChannelFile {
    std::string path;
    std::vector<int> ports;  // from 1, as given with --ports; empty for the default
};

struct ChannelRequest {
    std::vector<ChannelFile> files;  // empty: the built-in channel
    bool stepResponse = false;       // time-value files hold step responses
    double lossDb = 12;              // of the built-in channel at the Nyquist frequency
};

// Touchstone networks are cascaded as 2-ports (their chosen transmissions) and
// formed into one response; time-value responses are convolved with it.
bool BuildChannel(const ChannelRequest& request, double sampleInterval, double bitRate, Channel& channel,
                  std::string& error);

}  // namespace sim
