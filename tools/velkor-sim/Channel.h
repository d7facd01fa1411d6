// The channel between transmitter and receiver, as a sampled impulse response.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/velkor-sim/ImpulseResponse.h"

namespace sim {

// Bounds on what a channel may ask for: the text files read, and the length of
// its impulse response in samples (the convolution's transforms are twice that).
constexpr std::uintmax_t kMaxChannelFileBytes = 64u << 20;
constexpr std::size_t kMaxChannelTaps = 1u << 21;

struct Channel {
    std::vector<double> taps;  // discrete impulse response at the simulation step
    std::string description;
    std::vector<std::string> notes;     // how the response was formed
    std::vector<std::string> warnings;  // what the data leave uncertain or wrong
    std::vector<LossPoint> loss;        // insertion loss against frequency, as used
    double nyquistLossDb = 0;
};

// A backplane trace: causal skin-effect loss exp(-a sqrt(jf/f0)) and dielectric
// loss exp(-b (jf/f0)^0.95), scaled so that the loss at the Nyquist frequency
// of the bit rate is `nyquistLossDb`, plus a flight time.
Channel BuiltInChannel(double nyquistLossDb, double bitRate, double sampleInterval);

// A response given as time-value pairs in a text file: an impulse response in
// 1/s or a step response (dimensionless). Returns false with a message.
bool ChannelFromFile(const std::string& path, bool stepResponse, double sampleInterval, Channel& channel,
                     std::string& error);

// Cuts an inverse-transformed response where its tail has decayed, and to at
// most `atMost` samples.
void TrimTail(std::vector<double>& taps, std::size_t atMost);

// The insertion loss of a response at `count` frequencies up to `top`, for the figure.
std::vector<LossPoint> LossCurve(const Channel& channel, double top, int count, double sampleInterval);

// The loss in dB of a channel at a frequency (from its taps): the reference,
// with a complex exponential a tap.
double LossDb(const Channel& channel, double frequency, double sampleInterval);

// The same within round-off (about 1e-12 dB), for the figure's curve: the phasor
// is rotated from tap to tap and taken afresh every few dozen taps.
double FastLossDb(const Channel& channel, double frequency, double sampleInterval);

}  // namespace sim
