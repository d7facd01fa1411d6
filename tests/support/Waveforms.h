// Test stimuli: PRBS bit streams, NRZ waveforms and a simple lossy channel.
#pragma once

#include <cstdint>
#include <vector>

namespace testwave {

// PRBS-7 (x^7 + x^6 + 1), period 127.
inline std::vector<int> Prbs7(std::size_t bits, std::uint32_t seed = 0x7f) {
    std::vector<int> out;
    std::uint32_t state = seed & 0x7f;
    for (std::size_t i = 0; i < bits; ++i) {
        const std::uint32_t bit = ((state >> 6) ^ (state >> 5)) & 1u;
        state = ((state << 1) | bit) & 0x7f;
        out.push_back(static_cast<int>(bit));
    }
    return out;
}

// NRZ at +-amplitude through a first-order low-pass of time constant tau
// (in samples): a mild channel.
inline std::vector<double> Channel(const std::vector<int>& bits, int samplesPerBit, double amplitude,
                                   double tauSamples) {
    std::vector<double> out;
    out.reserve(bits.size() * samplesPerBit);
    const double a = 1.0 / tauSamples;
    double y = -amplitude;
    for (int b : bits)
        for (int s = 0; s < samplesPerBit; ++s) {
            y += a * ((b ? amplitude : -amplitude) - y);
            out.push_back(y);
        }
    return out;
}

// The same channel fed by a transmitter whose clock runs `ppm` fast: the bit
// edges drift through the receiver's sample grid, so its clock recovery has to
// step the phase and move its frequency integrator.
inline std::vector<double> DriftingChannel(const std::vector<int>& bits, int samplesPerBit, double amplitude,
                                           double tauSamples, double ppm) {
    std::vector<double> out;
    const double bitSamples = samplesPerBit / (1.0 + ppm * 1e-6);
    const auto total = static_cast<std::size_t>(static_cast<double>(bits.size()) * bitSamples);
    out.reserve(total);
    const double a = 1.0 / tauSamples;
    double y = -amplitude;
    for (std::size_t i = 0; i < total; ++i) {
        const auto bit = static_cast<std::size_t>(static_cast<double>(i) / bitSamples);
        y += a * ((bits[bit] ? amplitude : -amplitude) - y);
        out.push_back(y);
    }
    return out;
}

}  // namespace testwave
