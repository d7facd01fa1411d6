#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ami/AmiModelInstance.h"
#include "support/AmiLibrary.h"
#include "support/Process.h"
#include "support/ScratchDirectory.h"
#include "support/SmallStack.h"
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

TEST_F(AmiEntryPoints, SamplesPerBitMustBeAWholeNumber) {
    // The clock recovery counts whole samples per bit: a ratio within 1e-9 of a
    // whole number runs at that number, any other is refused with both values.
    const struct {
        double bitTime, sampleInterval;
        int samplesPerBit;  // 0: refused
    } cases[] = {{1e-10, 6.25e-12, 16},         {5e-10, 1e-10, 5},         {1e-10 * (1 + 5e-10), 6.25e-12, 16},
                 {1e-10 * (1 - 5e-10), 6.25e-12, 16}, {1e-10 * (1 + 2e-9), 6.25e-12, 0}, {15.5e-12, 1e-12, 0},
                 {15.49e-12, 1e-12, 0},         {1.04e-10, 1e-11, 0},      {4.5e-11, 1e-11, 0}};
    for (const auto& c : cases) {
        AmiSession s(lib, c.sampleInterval, c.bitTime, kAllParameters);
        if (c.samplesPerBit == 0) {
            EXPECT_EQ(s.initResult, 0) << c.bitTime / c.sampleInterval;
            char values[96];
            std::snprintf(values, sizeof values, "(sample interval %.17g s, bit time %.17g s)", c.sampleInterval,
                          c.bitTime);
            EXPECT_NE(s.Message().find("Velkor_Rx needs a whole number of samples per bit"), std::string::npos);
            EXPECT_NE(s.Message().find(values), std::string::npos) << s.Message();
            continue;
        }
        ASSERT_EQ(s.initResult, 1) << s.Message();
        // A steady input leaves the clock free-running: one edge per samplesPerBit,
        // and the last clock time within the wave.
        const int n = 64000;
        const auto r = Drive(s, std::vector<double>(n, -0.1), {4096});
        const double expected = static_cast<double>(n) / c.samplesPerBit;
        EXPECT_NEAR(r.clockTimes.size(), expected, 0.03 * expected) << c.bitTime / c.sampleInterval;
        ASSERT_FALSE(r.clockTimes.empty());
        EXPECT_LT(r.clockTimes.back(), n * c.sampleInterval);
    }
}

TEST_F(AmiEntryPoints, DeeplyNestedParametersOnASimulatorThread) {
    // 200 000 nested lists before the model's parameters, on a 256 KB stack.
    std::string params = DeeplyNested("Velkor_Rx", 200000, "(CDR_Threshold 3) (anlg_eql_gaincode 2)");
    long result = 0;
    std::string message;
    ASSERT_TRUE(RunOnSmallStack([&] {
        void* memory = nullptr;
        char* text = nullptr;
        result = lib.Init(nullptr, 0, 0, 6.25e-12, 1e-10, params.data(), nullptr, &memory, &text);
        if (text) message = text;
        lib.Close(memory);
    }));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(message.find("CDR_Threshold"), std::string::npos) << message;  // both were found
    EXPECT_EQ(message.find("anlg_eql_gaincode"), std::string::npos) << message;
    EXPECT_NE(message.find("anlg_eql_zerocode"), std::string::npos) << message;
}

TEST_F(AmiEntryPoints, NullMemoryHandleIsRefused) {
    // The instance could never be closed: none is made.
    char* message = nullptr;
    std::string params = kAllParameters;
    EXPECT_EQ(lib.Init(nullptr, 0, 0, 6.25e-12, 1e-10, params.data(), nullptr, nullptr, &message), 0);
    EXPECT_EQ(message, nullptr);
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

TEST_F(AmiEntryPoints, AnyCallPatternDeliversTheSameClockTimes) {
    // A call delivers at most its limit (a 1-sample call: only the terminator);
    // what does not fit is held and delivered, oldest first, by the next calls.
    // Every pattern ends with one large call that has room for what is held.
    const auto link = LinkWaveform(300);
    const std::size_t tail = 3200, body = link.size() - tail;
    std::vector<long> ones(700, 1);
    ones.push_back(1600);
    const std::vector<long> patterns[] = {{static_cast<long>(body)}, {2}, {3}, {1, 2}, {1, 1, 1, 1, 1, 5},
                                          ones, {7, 1, 4, 1, 1, 2}};
    Result reference;
    for (const auto& pattern : patterns) {
        AmiSession s(lib, 6.25e-12, 1e-10, kAllParameters);
        Result r = Drive(s, std::vector<double>(link.begin(), link.begin() + static_cast<long>(body)), pattern);
        const Result last = Drive(s, std::vector<double>(link.begin() + static_cast<long>(body), link.end()),
                                  {static_cast<long>(tail)});
        r.clockTimes.insert(r.clockTimes.end(), last.clockTimes.begin(), last.clockTimes.end());
        if (pattern.size() == 1 && pattern[0] == static_cast<long>(body)) {
            reference = r;
            ASSERT_GT(reference.clockTimes.size(), 290u);
            continue;
        }
        EXPECT_EQ(r.clockTimes, reference.clockTimes) << "pattern of " << pattern.size() << " calls from " << pattern[0];
        EXPECT_EQ(r.wave, reference.wave);
    }
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
    } cases[] = {{0, 1e-10},      {-1e-12, 1e-10}, {nan, 1e-10},    {6.25e-12, inf}, {6.25e-12, 0},
                 {2.5e-11, 1e-10}, {1e-10, 1e-10},  {1e-300, 1e10},  {1e-16, 1e-10},
                 // The equaliser would need 78 and 780 million taps: refused before any is built.
                 {1e-17, 5e-17},   {1e-18, 1e-15}};
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

TEST_F(AmiEntryPoints, RunFailureStopsTheCallAtThatSample) {
    // The next set the equaliser loads would need more taps than a filter may
    // have: that sample fails. It and the later ones keep their input values, the
    // clock times found before it are delivered with the terminator, the call
    // returns 0 and the message text says where it failed.
    const auto link = LinkWaveform(100);
    for (auto getWave : {ami::GetWave, ami::GetWaveSampleBySample}) {
        void* memory = nullptr;
        std::string params = "(Velkor_Rx (CDR_Threshold 3))";
        ASSERT_EQ(ami::Init(nullptr, 0, 0, 6.25e-12, 1e-10, params.data(), nullptr, &memory, nullptr), 1);
        auto* instance = static_cast<AmiModelInstance*>(memory);
        std::vector<double> wave(link.begin(), link.begin() + 400), times(401, -2.0);
        ASSERT_EQ(getWave(wave.data(), 400, times.data(), nullptr, memory), 1);
        instance->model.Equaliser.Filter.SampleRate = 1e20;
        instance->model.CdrBlock.AEQ_gain = 3.0;  // a new set index on the next sample, loaded on the one after
        const std::vector<double> input(link.begin() + 400, link.begin() + 464);
        wave = input;
        times.assign(65, -2.0);
        testing::internal::CaptureStderr();
        EXPECT_EQ(getWave(wave.data(), 64, times.data(), nullptr, memory), 0);
        EXPECT_NE(testing::internal::GetCapturedStderr().find("taps"), std::string::npos);
        EXPECT_NE(wave[0], input[0]);
        EXPECT_TRUE(std::equal(wave.begin() + 1, wave.end(), input.begin() + 1));
        EXPECT_EQ(times[0], -1.0);  // sample 0 carried no clock time
        const std::string error = "Error occurred in Velkor_Rx::Run(). ";
        ASSERT_GE(instance->messageText.size(), error.size());
        EXPECT_EQ(instance->messageText.substr(instance->messageText.size() - error.size()), error);
        ami::Close(memory);
    }
}

TEST_F(AmiEntryPoints, SetupFailureIsNamedInTheMessage) {
    // Timing that AMI_Init refuses earlier: the equaliser gets a sample rate of 0.
    // The block's own line goes to standard error, the step's name to the message.
    AmiModelInstance instance;
    instance.model.SamplesPerBit = 0;
    testing::internal::CaptureStderr();
    EXPECT_EQ(ami::StartModel(instance), 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "SampleRate must be > 0.0\n");
    EXPECT_EQ(instance.messageText, "Error occurred in Velkor_Rx::Setup(). ");
    EXPECT_FALSE(instance.ready);
    double wave = 0.5, times[2] = {-2, -2};
    EXPECT_EQ(ami::GetWave(&wave, 1, times, nullptr, &instance), 0);
    EXPECT_EQ(wave, 0.5);
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
