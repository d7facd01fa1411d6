// Checks of a channel's data before they are used: passivity of every network
// read, and a transmission that is there at all.
#pragma once

#include <string>

#include "tools/velkor-sim/ImpulseResponse.h"
#include "tools/velkor-sim/TouchstoneReader.h"

namespace sim {

// A passive network has no eigenvalue of S^H S above 1; measured data may
// exceed it by this much before a warning.
constexpr double kPassivityTolerance = 0.01;
// A transmission whose largest magnitude stays below this is taken as none.
constexpr double kVanishingTransmission = 1e-4;

// The largest eigenvalue of S^H S at point k (power iteration on the Hermitian
// matrix; exact for the 2x2 case by its closed form).
double LargestPowerGain(const Network& network, std::size_t k);
double LargestPowerGain2x2(const Network& network, std::size_t k);

// A warning naming the band where the network is not passive; empty when it is.
std::string PassivityWarning(const Network& network, const std::string& name);

// False with "<what> is zero: check the port order" when the transmission vanishes.
bool CheckTransmission(const TransferSamples& data, const std::string& what, const std::string& name,
                       std::string& error);

}  // namespace sim
