// Touchstone files as tools export them: version 1 (.sNp, any number of ports,
// any line layout) and version 2.0 (.ts or .sNp with [Version] 2.0), S-parameters
// in RI, MA or DB at any frequency unit. Every refusal names the file and line.
#pragma once

#include <complex>
#include <cstddef>
#include <string>
#include <vector>

namespace sim {

// Bounds on what a Touchstone file may hold: values beyond them are no S-parameters.
constexpr int kMaxTouchstonePorts = 64;
constexpr double kMaxParameterMagnitude = 1e6;  // 120 dB of gain
constexpr double kMaxFrequency = 1e15;          // Hz
constexpr double kMaxAngleDegrees = 1e6;

struct Network {
    int ports = 0;
    int version = 1;
    std::vector<double> frequency;               // Hz, strictly ascending, none negative
    std::vector<std::complex<double>> s;         // ports x ports per frequency, row-major
    std::vector<double> reference;               // ohms, one per port
    // S(i, j): from port j to port i, both counted from 0.
    std::complex<double> S(std::size_t k, int i, int j) const {
        const auto n = static_cast<std::size_t>(ports);
        return s[k * n * n + static_cast<std::size_t>(i) * n + static_cast<std::size_t>(j)];
    }
};

// True when the name says Touchstone: .sNp (N = 1 to 64) or .ts, any case.
bool IsTouchstoneName(const std::string& path);

// Reads a Touchstone file of S-parameters; false with "file:line: what" on any
// malformed, non-finite or absurd content.
bool ReadTouchstone(const std::string& path, Network& network, std::string& error);

}  // namespace sim
