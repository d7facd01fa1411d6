#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "support/AmiLibrary.h"
#include "support/Process.h"
#include "support/ScratchDirectory.h"
#include "support/Waveforms.h"

namespace {

const std::string kAllParameters =
    "(Velkor_Rx (CDR_Threshold 0) (anlg_eql_gaincode -1) (anlg_eql_zerocode 0) (anlg_eql_gainboost 0) "
    "(corner 0))";

struct Result {
    std::vector<double> wave;
    std::vector<double> clockTimes;  // terminators removed
    long status = 1;
};

// Drives a session with blocks of the given sizes (cycled) over the waveform.
Result Drive(AmiSession& session, std::vector<double> wave, const std::vector<long>& blocks) {
    Result r;
    std::vector<double> times;
    std::size_t pos = 0, b = 0;
    while (pos < wave.size()) {
        const long n = std::min<long>(blocks[b++ % blocks.size()], static_cast<long>(wave.size() - pos));
        times.assign(static_cast<std::size_t>(n) + 2, -2.0);
        r.status &= session.lib.GetWave(wave.data() + pos, n, times.data(), nullptr, session.memory);
        for (double t : times) {
            if (t == -1.0) break;
            EXPECT_NE(t, -2.0) << "unterminated clock-time list";
            if (t == -2.0) break;
            r.clockTimes.push_back(t);
        }
        pos += static_cast<std::size_t>(n);
    }
    r.wave = wave;
    return r;
}

std::vector<double> LinkWaveform(std::size_t bits, std::vector<int>* sent = nullptr) {
    const auto data = testwave::Prbs7(bits);
    if (sent) *sent = data;
    return testwave::Channel(data, 16, 0.25, 6.0);
}

class AmiEntryPoints : public testing::Test {
protected:
    ScratchDirectory scratch;  // the adaptation log lands here
    AmiLibrary lib;
};

}  // namespace

TEST_F(AmiEntryPoints, SamplesPerBitRoundHalfUp) {
    const struct {
        double bitTime, sampleInterval;
        int samplesPerBit;
    } cases[] = {{1e-10, 6.25e-12, 16}, {15.5e-12, 1e-12, 16}, {15.49e-12, 1e-12, 15}, {5e-10, 1e-10, 5}};
    for (const auto& c : cases) {
        AmiSession s(lib, c.sampleInterval, c.bitTime, kAllParameters);
        ASSERT_EQ(s.initResult, 1) << s.Message();
        // A steady input leaves the clock free-running: one edge per samplesPerBit.
        const int n = 64000;
        const auto r = Drive(s, std::vector<double>(n, -0.1), {4096});
        const double expected = static_cast<double>(n) / c.samplesPerBit;
        EXPECT_NEAR(r.clockTimes.size(), expected, 0.03 * expected) << c.bitTime / c.sampleInterval;
    }
}

TEST_F(AmiEntryPoints, CleanInitLeavesTheMessageArgumentAlone) {
    char sentinel[] = "untouched";
    char* message = sentinel;
    void* memory = nullptr;
    std::string params = kAllParameters;
    EXPECT_EQ(lib.Init(nullptr, 0, 0, 6.25e-12, 1e-10, params.data(), nullptr, &memory, &message), 1);
    EXPECT_EQ(message, sentinel);
    EXPECT_EQ(lib.Close(memory), 1);
}

TEST_F(AmiEntryPoints, WaveSizesZeroAndOne) {
    AmiSession s(lib, 6.25e-12, 1e-10, kAllParameters);
    ASSERT_EQ(s.initResult, 1);
    double times[4] = {-2, -2, -2, -2};
    double sample = 0.3;
    EXPECT_EQ(lib.GetWave(&sample, 0, times, nullptr, s.memory), 1);
    EXPECT_EQ(times[0], -2.0);  // limit 0: not even the terminator
    EXPECT_EQ(lib.GetWave(&sample, 1, times, nullptr, s.memory), 1);
    EXPECT_EQ(times[0], -1.0);
    EXPECT_EQ(times[1], -2.0);
}

TEST_F(AmiEntryPoints, SingleSampleCallsLoseTheirClockTimes) {
    // Wave size 1 has a limit of 1: a clock time found there gives way to the terminator.
    AmiSession whole(lib, 6.25e-12, 1e-10, kAllParameters);
    AmiSession single(lib, 6.25e-12, 1e-10, kAllParameters);
    const auto wave = LinkWaveform(100);
    const auto a = Drive(whole, wave, {1600});
    const auto b = Drive(single, wave, {1});
    EXPECT_GT(a.clockTimes.size(), 90u);
    EXPECT_TRUE(b.clockTimes.empty());
    EXPECT_EQ(a.wave, b.wave);
}

TEST_F(AmiEntryPoints, ClockTimeListIsBoundedAndTerminated) {
    AmiSession s(lib, 6.25e-12, 1e-10, kAllParameters);
    auto wave = LinkWaveform(63);
    wave.resize(1000);
    std::vector<double> times(1001, -2.0);
    ASSERT_EQ(lib.GetWave(wave.data(), 1000, times.data(), nullptr, s.memory), 1);
    int count = 0;
    while (times[count] != -1.0) {
        ASSERT_GE(times[count], 0.0);
        ++count;
        ASSERT_LT(count, 163);  // floor(1000 / 16) + 101 entries at most, terminator included
    }
    EXPECT_GE(count, 60);
    EXPECT_EQ(times[count + 1], -2.0);
}

TEST_F(AmiEntryPoints, RejectsUnusableTiming) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const struct {
        double sampleInterval, bitTime;
    } cases[] = {{0, 1e-10}, {-1e-12, 1e-10}, {nan, 1e-10}, {6.25e-12, inf}, {6.25e-12, 0}, {2.5e-11, 1e-10},
                 {1e-10, 1e-10}, {1e-300, 1e10}, {1e-16, 1e-10}};
    for (const auto& c : cases) {
        void* memory = nullptr;
        char* message = nullptr;
        std::string params = kAllParameters;
        EXPECT_EQ(lib.Init(nullptr, 0, 0, c.sampleInterval, c.bitTime, params.data(), nullptr, &memory, &message), 0);
        ASSERT_NE(memory, nullptr);
        ASSERT_NE(message, nullptr);
        EXPECT_NE(std::string(message).find("sample interval"), std::string::npos) << message;
        double sample = 0, times[2];
        EXPECT_EQ(lib.GetWave(&sample, 1, times, nullptr, memory), 0);
        EXPECT_EQ(sample, 0.0);
        lib.Close(memory);
    }
}

TEST_F(AmiEntryPoints, RejectsUnusableGetWaveArguments) {
    AmiSession s(lib, 6.25e-12, 1e-10, kAllParameters);
    const std::string before = s.Message();
    double wave[4] = {0.1, 0.2, 0.3, 0.4};
    double times[8];
    EXPECT_EQ(lib.GetWave(wave, 4, times, nullptr, nullptr), 0);
    EXPECT_EQ(lib.GetWave(wave, -1, times, nullptr, s.memory), 0);
    EXPECT_EQ(lib.GetWave(nullptr, 4, times, nullptr, s.memory), 0);
    EXPECT_EQ(lib.GetWave(wave, 4, nullptr, nullptr, s.memory), 0);
    EXPECT_EQ(wave[0], 0.1);
    EXPECT_EQ(wave[3], 0.4);
    EXPECT_EQ(s.Message(), before);  // the text handed out by AMI_Init stays as it was
    EXPECT_EQ(lib.Close(nullptr), 0);
}

TEST_F(AmiEntryPoints, LinkLocksAndRecoversTheBits) {
    // The fastest loop setting: the frequency integrator starts at code 200 and
    // unwinds one code per phase step, which takes the slower settings ~1e5 UIs.
    std::vector<int> sent;
    const auto wave = LinkWaveform(30000, &sent);
    AmiSession s(lib, 6.25e-12, 1e-10,
                 "(Velkor_Rx (CDR_Threshold 3) (anlg_eql_gaincode -1) (anlg_eql_zerocode 0) "
                 "(anlg_eql_gainboost 0) (corner 0))");
    ASSERT_EQ(s.initResult, 1) << s.Message();
    const auto r = Drive(s, wave, {1024});
    ASSERT_GT(r.clockTimes.size(), 29000u);
    // After lock, the mean clock period is one bit time.
    const std::size_t from = 20000, to = r.clockTimes.size() - 1;
    const double period = (r.clockTimes[to] - r.clockTimes[from]) / static_cast<double>(to - from);
    EXPECT_NEAR(period, 1e-10, 1e-12);
    // The data half a unit interval after each clock time reproduce the bits.
    std::vector<int> received;
    for (std::size_t k = from; k < to; ++k) {
        const auto index = static_cast<std::size_t>(std::llround(r.clockTimes[k] / 6.25e-12)) + 8;
        if (index < r.wave.size()) received.push_back(r.wave[index] > 0 ? 1 : 0);
    }
    std::size_t bestErrors = received.size();
    for (std::size_t shift = 0; shift + received.size() <= sent.size(); ++shift) {
        std::size_t errors = 0;
        for (std::size_t i = 0; i < received.size() && errors < bestErrors; ++i)
            errors += received[i] != sent[shift + i];
        bestErrors = std::min(bestErrors, errors);
    }
    EXPECT_EQ(bestErrors, 0u) << "of " << received.size() << " bits";
}

TEST_F(AmiEntryPoints, ResultDoesNotDependOnTheBlockSizes) {
    const auto wave = LinkWaveform(3000);
    std::mt19937 rng(42);
    std::uniform_int_distribution<long> size(2, 8209);
    std::vector<long> random(64);
    for (auto& n : random) n = size(rng);
    Result results[3];
    const std::vector<long> plans[3] = {{static_cast<long>(wave.size())}, {1024}, random};
    for (int i = 0; i < 3; ++i) {
        AmiSession s(lib, 6.25e-12, 1e-10, kAllParameters);
        results[i] = Drive(s, wave, plans[i]);
    }
    for (int i = 1; i < 3; ++i) {
        EXPECT_EQ(results[i].wave, results[0].wave) << "plan " << i;
        EXPECT_EQ(results[i].clockTimes, results[0].clockTimes) << "plan " << i;
    }
}

TEST_F(AmiEntryPoints, InstancesOnThreadsMatchSequentialRuns) {
    const auto wave = LinkWaveform(2000);
    const std::string params[3] = {kAllParameters, "(Velkor_Rx (CDR_Threshold 3) (anlg_eql_gaincode 5))",
                                   "(Velkor_Rx (corner 2) (anlg_eql_gainboost 1))"};
    Result sequential[3], parallel[3];
    for (int i = 0; i < 3; ++i) {
        AmiSession s(lib, 6.25e-12, 1e-10, params[i]);
        sequential[i] = Drive(s, wave, {1000});
    }
    std::vector<std::thread> threads;
    for (int i = 0; i < 3; ++i)
        threads.emplace_back([&, i] {
            AmiSession s(lib, 6.25e-12, 1e-10, params[i]);
            parallel[i] = Drive(s, wave, {777});
        });
    for (auto& t : threads) t.join();
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(parallel[i].wave, sequential[i].wave);
        EXPECT_EQ(parallel[i].clockTimes, sequential[i].clockTimes);
    }
}
