// The 2-port a channel file is used as: the transmission between two of its
// ports (single-ended), or the differential mode between two pairs of a 4-port
// (mixed-mode SDD), with the ports named or found from the data.
#pragma once

#include <array>
#include <complex>
#include <string>
#include <vector>

#include "tools/velkor-sim/TouchstoneReader.h"

namespace sim {

// S11, S12, S21, S22 of a 2-port at each frequency.
struct TwoPort {
    std::vector<double> frequency;  // Hz
    std::vector<std::array<std::complex<double>, 4>> s;
    double reference = 50;  // ohms at each of its ports
};

struct PortChoice {
    std::vector<int> ports;  // from 0: input, output; or input +, input -, output +, output -
    bool fromData = false;   // found from the low-frequency transmissions
};

// "1,2" or "1,3,2,4" (ports from 1, inputs first); false with a message.
bool ParsePortList(const std::string& text, std::vector<int>& ports, std::string& error);

// The ports to use: those asked for (from 1; empty for the default), checked
// against the file. A 2-port defaults to input 1, output 2; a 4-port to the
// pairing whose low-frequency transmissions are largest.
bool ChoosePorts(const Network& network, const std::vector<int>& asked, PortChoice& choice, std::string& error);

// The 2-port through the chosen ports: differential (SDD, reference twice the
// single-ended one) for four ports.
TwoPort UsedTwoPort(const Network& network, const PortChoice& choice);

// "ports 1,3,2,4 (differential: inputs 1 and 3, outputs 2 and 4; found from the data)".
std::string DescribePorts(const PortChoice& choice);

}  // namespace sim
