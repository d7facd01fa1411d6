// The channel between transmitter and receiver, as a sampled impulse response.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim {

// Bounds on what a channel may ask for: the text files read, and the length of
// its impulse response in samples (the convolution's transforms are twice that).
constexpr std::uintmax_t kMaxChannelFileBytes = 64u << 20;
constexpr std::size_t kMaxChannelTaps = 1u << 21;

struct Channel {
    std::vector<double> taps;  // discrete impulse response at the simulation step
    std::string description;
};

// A backplane trace: causal skin-effect loss exp(-a sqrt(jf/f0)) and dielectric
// loss exp(-b (jf/f0)^0.95), scaled so that the loss at the Nyquist frequency
// of the bit rate is `nyquistLossDb`, plus a flight time.
Channel BuiltInChannel(double nyquistLossDb, double bitRate, double sampleInterval);

// A response given as time-value pairs in a text file: an impulse response in
// 1/s or a step response (dimensionless). Returns false with a message.
bool ChannelFromFile(const std::string& path, bool stepResponse, double sampleInterval, Channel& channel,
                     std::string& error);

// S21 of a 2-port Touchstone (.s2p) file, turned into an impulse response: S21 is
// interpolated (magnitude and unwrapped phase) onto the transform grid, tapered to
// zero over the top fifth of the measured band and transformed back.
bool ChannelFromTouchstone(const std::string& path, double sampleInterval, Channel& channel, std::string& error);

// Cuts an inverse-transformed response where its tail has decayed.
void TrimTail(std::vector<double>& taps);

// The loss in dB of a channel at a frequency (from its taps).
double LossDb(const Channel& channel, double frequency, double sampleInterval);

}  // namespace sim
