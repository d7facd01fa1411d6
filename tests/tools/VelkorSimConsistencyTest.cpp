// Figures that do not depend on how a run is carried out: the built-in channel
// at any bit rate, the pulse cursors at any samples per bit, the lock point at
// any block size, and the adaptation log of the run itself in --out.
#include <gtest/gtest.h>

#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/ScratchDirectory.h"
#include "support/SimRun.h"
#include "tools/velkor-sim/Channel.h"
#include "tools/velkor-sim/PulseCursors.h"

namespace {

class VelkorSimConsistency : public testing::Test {
protected:
    ScratchDirectory scratch;
};

// One bit of the built-in channel, at the amplitude 1.
std::vector<double> BuiltInPulse(double lossDb, double bitRate, int samplesPerBit) {
    const double dt = 1 / bitRate / samplesPerBit;
    const sim::Channel channel = sim::BuiltInChannel(lossDb, bitRate, dt);
    std::vector<double> pulse(channel.taps.size() + static_cast<std::size_t>(samplesPerBit), 0.0);
    for (std::size_t i = 0; i < channel.taps.size(); ++i)
        for (int k = 0; k < samplesPerBit; ++k) pulse[i + static_cast<std::size_t>(k)] += channel.taps[i];
    return pulse;
}

}  // namespace

// The loss is given at the Nyquist frequency, so the trace's response lasts as
// many unit intervals at any bit rate: its loss there and its cursors are those
// asked for from 1 Mb/s to 100 Gb/s (at 1 Mb/s the response was cut to nothing).
TEST(BuiltInChannel, KeepsItsLossAndCursorsAtAnyBitRate) {
    for (const double loss : {6.0, 12.0, 20.0}) {
        const sim::PulseCursors reference = sim::FindCursors(BuiltInPulse(loss, 10e9, 16), 16);
        for (const double bitRate : {1e6, 1e7, 1e8, 1e9, 10e9, 100e9}) {
            const double dt = 1 / bitRate / 16;
            const sim::Channel channel = sim::BuiltInChannel(loss, bitRate, dt);
            EXPECT_NEAR(sim::LossDb(channel, bitRate / 2, dt), loss, 0.05) << loss << " dB at " << bitRate;
            const sim::PulseCursors c = sim::FindCursors(BuiltInPulse(loss, bitRate, 16), 16);
            EXPECT_NEAR(c.main, reference.main, 0.01 * reference.main) << loss << " dB at " << bitRate;
            EXPECT_NEAR(c.pre, reference.pre, 0.01 * reference.main) << loss << " dB at " << bitRate;
            EXPECT_NEAR(c.post, reference.post, 0.01 * reference.main) << loss << " dB at " << bitRate;
        }
    }
}

// The cursors are read at the pulse's peak, wherever it falls between samples:
// a pulse known in closed form, sampled at any offset and rate, gives its own.
TEST(PulseCursors, FollowThePeakBetweenSamples) {
    // t^2 e^(-t) in unit intervals (peak 4 e^-2 at t = 2 UI).
    auto shape = [](double t) { return t <= 0 ? 0.0 : t * t * std::exp(-t); };
    const double main = shape(2), pre = shape(1), post = shape(3);
    for (const int spb : {6, 8, 12, 16, 64})
        for (const double offset : {0.0, 0.25, 0.5, 0.75}) {
            std::vector<double> pulse(static_cast<std::size_t>(20 * spb));
            for (std::size_t i = 0; i < pulse.size(); ++i) pulse[i] = shape((static_cast<double>(i) + offset) / spb);
            const sim::PulseCursors c = sim::FindCursors(pulse, spb);
            EXPECT_NEAR(c.main, main, 0.005 * main) << spb << " samples per bit, offset " << offset;
            EXPECT_NEAR(c.pre, pre, 0.01 * main) << spb << " samples per bit, offset " << offset;
            EXPECT_NEAR(c.post, post, 0.01 * main) << spb << " samples per bit, offset " << offset;
            EXPECT_NEAR((c.at + offset) / spb, 2.0, 0.5 / spb) << spb << " samples per bit, offset " << offset;
        }
    const sim::PulseCursors none = sim::FindCursors({}, 16);
    EXPECT_EQ(none.main, 0);
}

// The summary and metrics.json give the same cursors at any samples per bit
// (they moved by up to half the pre-cursor with the sample nearest the peak).
TEST_F(VelkorSimConsistency, PulseCursorsDoNotMoveWithTheSampling) {
    auto cursors = [](int spb) {
        const std::string out = "spb" + std::to_string(spb);
        const Outcome o = Simulate("--bits 1000 --samples-per-bit " + std::to_string(spb) + " --out " + out);
        EXPECT_EQ(o.status, 0) << o.out;
        return nlohmann::json::parse(Slurp(out + "/metrics.json"));
    };
    const auto fine = cursors(64);
    const double main = fine["pulse_main_cursor"].get<double>();
    for (const int spb : {6, 8, 12, 16, 32}) {
        const auto json = cursors(spb);
        for (const char* cursor : {"pulse_main_cursor", "pulse_pre_cursor", "pulse_post_cursor"})
            EXPECT_NEAR(json[cursor].get<double>(), fine[cursor].get<double>(), 0.01 * main) << cursor << " at " << spb;
    }
}

// The model reports its frequency correction once per call: a call of 65 536
// bits must not pass for settled on the report at its end (it locked at bit 5000,
// while its integrator still unwound, against 27 000 with the usual calls).
TEST_F(VelkorSimConsistency, LockPointDoesNotComeEarlierWithLongerCalls) {
    auto lockBits = [](const std::string& block) {
        const Outcome o =
            Simulate("--bits 100000 --param CDR_Threshold=2 --block " + block + " --out b" + block);
        EXPECT_EQ(o.status, 0) << o.out;
        const auto json = nlohmann::json::parse(Slurp("b" + block + "/metrics.json"));
        EXPECT_TRUE(json["locked"].get<bool>()) << block;
        return json["lock_bits"].is_number() ? json["lock_bits"].get<double>() : -1.0;
    };
    const double usual = lockBits("1024");
    EXPECT_GT(usual, 10000) << "the integrator unwinds first";
    EXPECT_GE(lockBits("1048576"), usual);
}

// --out keeps the adaptation log of the run, not that of the pulse-response runs
// after it (which left two lines in place of one per 50 000 samples).
TEST_F(VelkorSimConsistency, OutputKeepsTheRunsOwnAdaptationLog) {
    const Outcome o = Simulate("--bits 100000 --out adapt");
    ASSERT_EQ(o.status, 0) << o.out;
    std::istringstream log(Slurp("adapt/Velrok.adapt"));
    std::string line;
    std::size_t lines = 0;
    while (std::getline(log, line)) lines += !line.empty();
    const auto json = nlohmann::json::parse(Slurp("adapt/metrics.json"));
    EXPECT_EQ(lines, json["adaptation"].size() + 1) << "a header and one line per entry";
    EXPECT_GE(json["adaptation"].size(), 30u);
}
