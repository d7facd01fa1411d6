// The clock recovery's quiet stretches: skipping them at once leaves the state,
// the outputs and the adaptation log that stepping through them sample by
// sample leaves, whatever the phase counter, the log period or the bit length.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "model/CDR.h"
#include "support/ScratchDirectory.h"

namespace {

struct QuietCase {
    const char* name;
    std::int32_t threshold, samplesPerUI, logPeriod, phaseCount;
    std::int64_t sampleCount;  // where the run starts (0: from the first sample)
};

// Everything the block reports or carries from sample to sample.
std::string Snapshot(const CDR& c) {
    std::ostringstream s;
    s.precision(17);
    s << c.In << ' ' << c.DataOut << ' ' << c.ClockOut << ' ' << c.AEQ_Zero << ' ' << c.AEQ_gain << ' '
      << c.SetIndexOut << ' ' << c.SampleCount << ' ' << c.PhaseCount << ' ' << c.PreviousDataDecision << ' '
      << c.DataDecision << ' ' << c.EdgeDecision << ' ' << c.PreviousClockLevel << ' ' << c.ClockLevel << ' '
      << c.PhaseVotes << ' ' << c.FrequencySign << ' ' << c.FrequencyCode << ' ' << c.UICount << ' ' << c.AdaptVotes
      << ' ' << c.PendingPhaseStep << ' ' << c.FrequencyRatio << ' ' << c.FrequencyOffsetPpm << ' '
      << c.FrequencyStepInterval << ' ' << c.BoostFlag << ' ' << c.PhaseStepPeriod;
    for (int h : c.History) s << ' ' << h;
    // The signs of the clock levels too: a -0.0 must stay a -0.0.
    s << ' ' << std::signbit(c.PreviousClockLevel) << std::signbit(c.ClockLevel);
    return s.str();
}

std::string ReadLog() {
    std::ifstream in(CDR::kLogFileName);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

struct Trace {
    std::vector<std::string> states;  // after each sample or stretch, at the sample counts in `marks`
    std::vector<std::int64_t> marks;
    std::string log;
    std::int64_t skipped = 0;
};

void Start(CDR& c, const QuietCase& q) {
    c.CDR_Threshold = q.threshold;
    c.SamplesPerUI = q.samplesPerUI;
    c.UnitInterval = 1e-10;
    c.LogPeriod = q.logPeriod;
    EXPECT_TRUE(c.Setup());
    EXPECT_TRUE(c.Initialize());
    if (q.sampleCount > 0) {
        c.In = 0.1;
        c.Step();  // the log's first line, then the state the case asks for
        c.SampleCount = q.sampleCount;
    }
    c.PhaseCount = q.phaseCount;
}

// A noisy NRZ: decisions in both directions and phase votes.
std::vector<double> Inputs(std::size_t n, int samplesPerUI) {
    std::mt19937 rng(7);
    std::vector<double> in(n);
    double level = 0.3;
    for (std::size_t i = 0; i < n; ++i) {
        if (i % static_cast<std::size_t>(samplesPerUI > 0 ? samplesPerUI : 16) == 3) level = rng() % 2 ? 0.3 : -0.3;
        in[i] = level + (static_cast<double>(rng() % 1000) - 500.0) * 4e-4;
    }
    return in;
}

// Skips every quiet stretch it can (cut at random lengths, so that stretches also
// end early), recording where; the reference steps the same marks sample by sample.
Trace Skipping(const QuietCase& q, const std::vector<double>& in) {
    std::filesystem::remove(CDR::kLogFileName);
    CDR c;
    Start(c, q);
    std::mt19937 rng(3);
    Trace r;
    for (std::size_t i = 0; i < in.size();) {
        const std::int64_t quiet = std::min<std::int64_t>(c.QuietSamples(), static_cast<std::int64_t>(in.size() - i));
        if (quiet > 0) {
            const std::int64_t k = rng() % 4 == 0 ? 1 + static_cast<std::int64_t>(rng() % quiet) : quiet;
            c.SkipQuiet(k, in[i + static_cast<std::size_t>(k) - 1]);
            i += static_cast<std::size_t>(k);
            r.skipped += k;
        } else {
            c.In = in[i++];
            c.Step();
        }
        r.marks.push_back(static_cast<std::int64_t>(i));
        r.states.push_back(Snapshot(c));
    }
    r.log = ReadLog();
    return r;
}

Trace Stepping(const QuietCase& q, const std::vector<double>& in, const std::vector<std::int64_t>& marks) {
    std::filesystem::remove(CDR::kLogFileName);
    CDR c;
    Start(c, q);
    Trace r;
    std::size_t i = 0;
    for (std::int64_t mark : marks) {
        for (; static_cast<std::int64_t>(i) < mark; ++i) {
            c.In = in[i];
            c.Step();
        }
        r.states.push_back(Snapshot(c));
    }
    r.log = ReadLog();
    return r;
}

}  // namespace

TEST(CDRQuiet, SkippingAStretchEqualsSteppingThroughIt) {
    ScratchDirectory scratch;
    const QuietCase cases[] = {
        {"default loop from the first sample", 0, 16, 50000, 1, 0},
        {"log lines every 37 samples, inside stretches", 3, 16, 37, 1, 0},
        {"log every sample", 2, 16, 1, 1, 0},
        {"no log period", 1, 16, 0, 1, 0},
        {"odd samples per bit", 3, 17, 50000, 1, 0},
        {"five samples per bit", 0, 5, 1000, 1, 0},
        {"adapting, phase steps pending", 6, 33, 2500, 1, 300000},
        {"phase counter beyond the bit", 3, 16, 50000, 40, 12345},
        {"phase counter near the 32-bit wrap", 0, 16, 50000, 2147483000, 12345},
        {"negative phase counter", 5, 16, 50000, -300, 12345},
        {"free-running clock", 99, 16, 50000, 1, 0},
        {"one sample per bit", 3, 1, 50000, 1, 0},
    };
    for (const QuietCase& q : cases) {
        const auto in = Inputs(6000, q.samplesPerUI);
        const Trace skipping = Skipping(q, in);
        const Trace stepping = Stepping(q, in, skipping.marks);
        ASSERT_EQ(skipping.states.size(), stepping.states.size()) << q.name;
        for (std::size_t k = 0; k < skipping.states.size(); ++k)
            ASSERT_EQ(skipping.states[k], stepping.states[k]) << q.name << ", after sample " << skipping.marks[k];
        EXPECT_EQ(skipping.log, stepping.log) << q.name;
        EXPECT_FALSE(skipping.log.empty()) << q.name;
        // Stretches were there to skip (far into the wrap: 2^32 samples away, none).
        if (q.samplesPerUI >= 5 && q.logPeriod > 1 && q.phaseCount <= q.samplesPerUI) {
            EXPECT_GT(skipping.skipped, 3000) << q.name;
        }
    }
}

TEST(CDRQuiet, AStretchEndsBeforeEveryEvent) {
    ScratchDirectory scratch;
    CDR c;
    c.CDR_Threshold = 3;
    c.SamplesPerUI = 16;
    c.LogPeriod = 100;
    ASSERT_TRUE(c.Setup());
    ASSERT_TRUE(c.Initialize());
    EXPECT_EQ(c.QuietSamples(), 0) << "the first sample writes the log";
    c.In = 0.2;
    c.Step();
    // After the first sample (phase 2) the clock falls at phase 8 and rises at 16.
    EXPECT_EQ(c.QuietSamples(), 6);
    c.SkipQuiet(6, 0.2);
    const double before = c.ClockOut;
    c.Step();
    EXPECT_NE(c.ClockOut, before) << "the sample after the stretch is the event";
    // The log line due at sample 100 ends a stretch too: skipping all that can be
    // skipped still writes it.
    while (c.SampleCount <= 100) {
        c.SkipQuiet(c.QuietSamples(), 0.2);
        c.In = 0.2;
        c.Step();
    }
    std::istringstream log(ReadLog());
    std::string line;
    int lines = 0;
    while (std::getline(log, line)) ++lines;
    EXPECT_EQ(lines, 3) << "the header, sample 0 and sample 100";
    // A clock level that differs from the clock output needs a full step.
    c.ClockLevel = 1.0 - c.ClockOut;
    EXPECT_EQ(c.QuietSamples(), 0);
}
