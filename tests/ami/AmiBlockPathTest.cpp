#include <gtest/gtest.h>

#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "ami/AmiModelInstance.h"
#include "support/ScratchDirectory.h"
#include "support/Waveforms.h"

namespace {

using GetWaveFn = long (*)(double*, long, double*, char**, void*);

struct Recording {
    std::vector<double> wave, times;
};

Recording Drive(GetWaveFn getWave, const std::string& params, std::vector<double> wave, std::mt19937& rng,
          std::size_t maxBlock) {
    void* memory = nullptr;
    std::string p = params;
    EXPECT_EQ(ami::Init(nullptr, 0, 0, 6.25e-12, 1e-10, p.data(), nullptr, &memory, nullptr), 1);
    Recording r;
    std::vector<double> times(maxBlock + 2);
    for (std::size_t pos = 0; pos < wave.size();) {
        // Sizes from 2 up: a single-sample call may drop its clock time by design.
        const std::size_t n = std::min<std::size_t>(2 + rng() % (maxBlock - 1), wave.size() - pos);
        EXPECT_EQ(getWave(wave.data() + pos, static_cast<long>(n), times.data(), nullptr, memory), 1);
        for (std::size_t k = 0; times[k] != -1.0; ++k) r.times.push_back(times[k]);
        pos += n;
    }
    ami::Close(memory);
    r.wave = wave;
    return r;
}

}  // namespace

TEST(AmiBlockPath, GetWaveEqualsTheSampleBySampleReference) {
    ScratchDirectory scratch;
    auto wave = testwave::Channel(testwave::Prbs7(25000), 16, 0.3, 6.0);
    wave[777] = std::numeric_limits<double>::quiet_NaN();
    wave[5000] = -std::numeric_limits<double>::infinity();
    const char* params[] = {"(Velkor_Rx (CDR_Threshold 3))", "(Velkor_Rx (anlg_eql_gaincode 9) (corner 1))"};
    for (const char* p : params) {
        std::mt19937 a(1), b(2);
        const Recording reference = Drive(ami::GetWaveSampleBySample, p, wave, a, 1000);
        for (std::size_t maxBlock : {2u, 4096u, 100000u}) {
            const Recording fast = Drive(ami::GetWave, p, wave, b, maxBlock);
            ASSERT_EQ(fast.wave.size(), reference.wave.size());
            EXPECT_EQ(std::memcmp(fast.wave.data(), reference.wave.data(), wave.size() * sizeof(double)), 0) << p;
            EXPECT_EQ(fast.times, reference.times) << p;
        }
    }
}
