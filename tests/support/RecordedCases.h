// The runs whose records are compared across builds of the receiver: two waves
// (one whose transmitter clock drifts) under seven parameter sets in three
// patterns of call sizes, and the drifting wave at odd and small samples per bit.
#pragma once

#include <limits>
#include <string>
#include <vector>

#include "support/Waveforms.h"

struct RecordedCase {
    std::string parameters;
    int samplesPerBit;
    int wave;  // 0: a steady PRBS with a few samples no simulator should send; 1: drifting
    std::vector<std::size_t> calls;
};

// About 200000 samples: four lines of the adaptation log, adaptation well under way.
inline std::vector<double> RecordedWave(int wave, int samplesPerBit) {
    const std::size_t bits = 200000 / static_cast<std::size_t>(samplesPerBit);
    if (wave == 1) return testwave::DriftingChannel(testwave::Prbs7(bits + 1, 0x35), samplesPerBit, 0.25, 5.0, 180.0);
    auto w = testwave::Channel(testwave::Prbs7(bits), samplesPerBit, 0.3, 6.0);
    w[777] = std::numeric_limits<double>::quiet_NaN();
    w[50001] = std::numeric_limits<double>::infinity();
    w[120000] = -1e300;
    return w;
}

inline std::vector<RecordedCase> RecordedCases() {
    const char* parameters[] = {"(Velkor_Rx)",
                                "(Velkor_Rx (CDR_Threshold 3))",
                                "(Velkor_Rx (CDR_Threshold 1))",
                                "(Velkor_Rx (CDR_Threshold 2) (anlg_eql_gainboost 1) (corner 2))",
                                "(Velkor_Rx (CDR_Threshold 5) (anlg_eql_zerocode 3))",
                                "(Velkor_Rx (CDR_Threshold 7) (corner 1))",
                                "(Velkor_Rx (anlg_eql_gaincode 9) (corner 1))"};
    const std::vector<std::vector<std::size_t>> calls = {{4096}, {1024}, {1, 7, 4096, 333, 100000, 2, 50000}};
    std::vector<RecordedCase> cases;
    for (int wave : {0, 1})
        for (const char* p : parameters)
            for (const auto& c : calls) cases.push_back({p, 16, wave, c});
    for (int spb : {5, 17, 33}) cases.push_back({"(Velkor_Rx (CDR_Threshold 3))", spb, 1, {4096, 999}});
    return cases;
}
