// The transmitter's linear shaping of the bit stream: a feed-forward equaliser
// with taps one unit interval apart, and a finite rise time. Both are linear
// and time-invariant, so they are folded into the channel's response.
#pragma once

#include <string>
#include <vector>

namespace sim {

struct TransmitterShape {
    std::vector<double> ffe;  // taps, one per unit interval; empty: none
    int mainCursor = 0;       // the index of the largest tap
    double riseTime = 0;      // 20-80 %, seconds; 0: the ideal NRZ edge
    std::string note;         // what was done to the taps as given
};

// "-0.1,0.7,-0.2": taps scaled so that their magnitudes sum to 1 (the swing stays
// the amplitude's), the largest the main cursor. False with a message.
bool ParseFfe(const std::string& text, TransmitterShape& shape, std::string& error);

// The channel's response seen from the bit stream: convolved with the FFE taps
// (at samplesPerBit spacing) and with a Gaussian edge of the rise time.
std::vector<double> ShapeResponse(const std::vector<double>& channelTaps, const TransmitterShape& shape,
                                  int samplesPerBit, double sampleInterval);

// "FFE pre 1 -0.1, main 0.7, post 1 -0.2; rise time 30 ps (20-80 %)", empty for none.
std::string DescribeTransmitter(const TransmitterShape& shape);

}  // namespace sim
