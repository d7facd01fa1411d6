#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "model/CDR.h"

namespace {

// Runs the CDR in a scratch directory so that its log lands there.
class CDRTest : public testing::Test {
protected:
    void SetUp() override {
        previous_ = std::filesystem::current_path();
        dir_ = std::filesystem::temp_directory_path() /
               ("velkor_cdr_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
                testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
        std::filesystem::current_path(dir_);
    }
    void TearDown() override {
        std::filesystem::current_path(previous_);
        std::filesystem::remove_all(dir_);
    }

    static void Configure(CDR& cdr, std::int32_t threshold, std::int32_t gainCode = -1) {
        cdr.CDR_Threshold = threshold;
        cdr.SamplesPerUI = 16;
        cdr.UnitInterval = 1e-10;
        cdr.LogPeriod = 50000;
        cdr.GainCode = gainCode;
        EXPECT_TRUE(cdr.Setup());
        EXPECT_TRUE(cdr.Initialize());
    }

    static std::string Log() {
        std::ifstream in(CDR::kLogFileName);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

    // Rising-edge samples among the first n samples, with In fixed.
    static std::vector<int> RisingEdges(CDR& cdr, int n, double in = -1.0) {
        std::vector<int> edges;
        double previous = 0.0;
        for (int s = 0; s < n; ++s) {
            cdr.In = in;
            cdr.Run();
            if (previous == 0.0 && cdr.ClockOut == 1.0) edges.push_back(s);
            previous = cdr.ClockOut;
        }
        return edges;
    }

    // Runs to the next data sample (the falling clock), feeding dataIn there.
    static void RunToDataSample(CDR& cdr, double dataIn, double otherIn = -1.0) {
        for (;;) {
            const bool falling = cdr.PhaseCount == cdr.SamplesPerUI / 2;
            cdr.In = falling ? dataIn : otherIn;
            cdr.Run();
            if (falling) return;
        }
    }

    std::filesystem::path previous_, dir_;
};

}  // namespace

TEST_F(CDRTest, FreeRunningClockPattern) {
    CDR cdr;
    Configure(cdr, 99);
    std::vector<double> clock;
    std::vector<int> edgeSamples, dataSamples;
    for (int s = 0; s < 48; ++s) {
        cdr.In = 1.0;  // every decision records the sample that took it through History
        const double before = cdr.ClockLevel;
        cdr.Run();
        clock.push_back(cdr.ClockOut);
        if (before == 0.0 && cdr.ClockLevel == 1.0) edgeSamples.push_back(s);
        if (before == 1.0 && cdr.ClockLevel == 0.0) dataSamples.push_back(s);
    }
    for (int s = 0; s < 48; ++s) {
        const bool high = s < 7 || (s >= 15 && s < 23) || (s >= 31 && s < 39) || s >= 47;
        EXPECT_EQ(clock[s], high ? 1.0 : 0.0) << "sample " << s;
    }
    EXPECT_EQ(edgeSamples, (std::vector<int>{0, 15, 31, 47}));
    EXPECT_EQ(dataSamples, (std::vector<int>{7, 23, 39}));
    EXPECT_EQ(cdr.FrequencyCode, 200.0);
}

TEST_F(CDRTest, FirstDataSampleOfSettingsZeroAndOne) {
    CDR zero;
    Configure(zero, 0);
    EXPECT_EQ(RisingEdges(zero, 20), (std::vector<int>{0, 14}));
    CDR one;
    Configure(one, 1);
    EXPECT_EQ(RisingEdges(one, 20), (std::vector<int>{0, 15}));
    EXPECT_EQ(one.FrequencyCode, 199.0);
    EXPECT_EQ(one.PendingPhaseStep, 0);
    EXPECT_EQ(zero.FrequencyStepInterval, 61);
    EXPECT_NEAR(zero.FrequencyOffsetPpm, 340.392, 1e-3);
}

TEST_F(CDRTest, FrequencyCodeZeroKeepsTheSign) {
    CDR cdr;
    Configure(cdr, 0);
    cdr.FrequencyCode = 0.0;
    cdr.FrequencySign = -1;
    RunToDataSample(cdr, -1.0);
    EXPECT_EQ(cdr.FrequencyOffsetPpm, 1e-16);
    EXPECT_EQ(cdr.FrequencyStepInterval, 12345);
    EXPECT_EQ(cdr.FrequencySign, -1);
}

TEST_F(CDRTest, AFrequencyCodeWrittenFromOutsideIsReadAtTheNextDataSample) {
    // The readings of a code are kept between data samples; a code written in
    // between, a code met before and the zero code's kept sign must all show.
    CDR cdr;
    Configure(cdr, 2);
    const struct {
        double code, ppm;
        std::int32_t interval, sign;
    } rows[] = {{200.0, 340.392, 61, 1},     {0.0, 1e-16, 12345, 1},   {-100.0, -170.196, 122, -1},
                {0.0, 1e-16, 12345, -1},     {200.0, 340.392, 61, 1},  {200.0, 340.392, 61, 1},
                {20000.0, 34039.216, 1, 1},   {-200.0, -340.392, 61, -1}};
    for (const auto& row : rows) {
        cdr.FrequencyCode = row.code;
        RunToDataSample(cdr, -1.0);  // no transition: no vote moves the code
        EXPECT_EQ(cdr.FrequencyCode, row.code);
        EXPECT_NEAR(cdr.FrequencyOffsetPpm, row.ppm, 1e-3) << "code " << row.code;
        EXPECT_EQ(cdr.FrequencyRatio, row.code / 255.0) << "code " << row.code;
        EXPECT_EQ(cdr.FrequencyStepInterval, row.interval) << "code " << row.code;
        EXPECT_EQ(cdr.FrequencySign, row.sign) << "code " << row.code;
    }
}

TEST_F(CDRTest, HugeFrequencyCodeCorrectsEveryUnitInterval) {
    CDR cdr;
    Configure(cdr, 0);
    cdr.FrequencyCode = 20000.0;  // the interval would be 0
    const int before = cdr.PhaseCount;
    RunToDataSample(cdr, -1.0);
    EXPECT_EQ(cdr.FrequencyStepInterval, 1);
    EXPECT_EQ(cdr.FrequencySign, 1);
    EXPECT_GT(cdr.PhaseCount, before);
    RisingEdges(cdr, 1000);  // keeps running, one sample shorter every unit interval
    EXPECT_GT(cdr.UICount, 60);
}

TEST_F(CDRTest, GainAdaptationLimitsAndClearsVotes) {
    const struct {
        double gain;
        std::int32_t votes;
        double dataIn;   // the new decision completes a run of four then a change
        std::int32_t edge;
        double expectedGain;
    } cases[] = {
        {15.0, 511, -1.0, 0, 15.0},  // +1 vote, limit holds 15
        {0.0, -511, -1.0, 1, 0.0},   // -1 vote, limit holds 0
        {7.0, 511, -1.0, 0, 8.0},
        {7.0, -511, -1.0, 1, 6.0},
    };
    for (const auto& c : cases) {
        CDR cdr;
    Configure(cdr, 99);
        RisingEdges(cdr, 12600);  // past the adaptation start
        cdr.AEQ_gain = c.gain;
        cdr.AdaptVotes = c.votes;
        for (int i = 0; i < 5; ++i) cdr.History[i] = 1;
        cdr.DataDecision = 1;
        cdr.EdgeDecision = c.edge;
        RunToDataSample(cdr, c.dataIn, c.edge == 1 ? 1.0 : -1.0);  // the edge sample decides e
        EXPECT_EQ(cdr.AEQ_gain, c.expectedGain) << c.gain << " " << c.votes;
        EXPECT_EQ(cdr.AdaptVotes, 0);
    }
}

TEST_F(CDRTest, NoAdaptationVoteUntilPastTwoHundredThousand) {
    CDR cdr;
    Configure(cdr, 99);
    // Data samples fall on 7 + 16k; the one on sample 12487 has SampleCount 12487.
    RisingEdges(cdr, 12487);
    ASSERT_EQ(cdr.PhaseCount, 8);
    for (int i = 0; i < 5; ++i) cdr.History[i] = 1;
    cdr.EdgeDecision = 0;
    RunToDataSample(cdr, -1.0);  // 16 x 12487 <= 200000: no vote
    EXPECT_EQ(cdr.AdaptVotes, 0);
    for (int i = 0; i < 5; ++i) cdr.History[i] = 1;
    cdr.EdgeDecision = 0;
    RunToDataSample(cdr, -1.0);  // sample 12503: 16 x 12503 > 200000
    EXPECT_EQ(cdr.AdaptVotes, 1);
}

TEST_F(CDRTest, LoopSettingsVoteLimitsDeadBandAndPhaseStepPeriods) {
    // Every 8 unit intervals the votes (times SamplesPerUI) are held against the
    // setting's limit: beyond it a phase step is pending (and, for settings 0 ... 3,
    // the frequency integrator follows); within it nothing happens, except for
    // setting 1, which has no dead band. The pending step moves the clock by one
    // sample on the next unit interval that is a multiple of the setting's period.
    const struct {
        std::int32_t setting, limit, period;
        bool secondOrder;
    } settings[] = {{0, 720, 217, true}, {1, 336, 1602, true}, {2, 144, 72, true}, {3, 48, 48, true},
                    {4, 720, 217, false}, {5, 144, 72, false}, {6, 48, 48, false}, {7, 336, 1602, false}};
    for (const auto& st : settings) {
        const std::int32_t atLimit = st.limit / 16;  // votes that reach the limit at 16 samples per UI
        const struct {
            std::int32_t votes, step;
        } votes[] = {{atLimit, 1}, {-atLimit, -1}, {atLimit - 1, st.setting == 1 ? -1 : 0},
                     {-atLimit + 1, st.setting == 1 ? -1 : 0}, {atLimit * 5, 1}};
        for (const auto& v : votes) {
            CDR cdr;
            Configure(cdr, st.setting);
            RunToDataSample(cdr, -1.0);
            cdr.UICount = 7;  // the next edge makes it 8: a decision
            cdr.PhaseVotes = v.votes;
            cdr.PendingPhaseStep = 0;
            const double code = cdr.FrequencyCode;
            RunToDataSample(cdr, -1.0);
            const std::string where = "setting " + std::to_string(st.setting) + " votes " + std::to_string(v.votes);
            EXPECT_EQ(cdr.PendingPhaseStep, v.step) << where;
            EXPECT_EQ(cdr.PhaseVotes, v.step == 0 ? v.votes : 0) << where;
            EXPECT_EQ(cdr.FrequencyCode, code + (st.secondOrder ? v.step : 0)) << where;
            if (v.step == 0) continue;
            // Not applied before the period comes round, then applied once.
            cdr.UICount = st.period - 2;
            RunToDataSample(cdr, -1.0);
            EXPECT_EQ(cdr.PendingPhaseStep, v.step) << where;
            const std::int32_t phase = cdr.PhaseCount;
            RunToDataSample(cdr, -1.0);
            EXPECT_EQ(cdr.UICount, st.period) << where;
            EXPECT_EQ(cdr.PendingPhaseStep, 0) << where;
            EXPECT_EQ(cdr.PhaseCount, phase + v.step) << where;  // both just past a data sample
        }
    }
}

TEST_F(CDRTest, PhaseVoteSignAtATransition) {
    // At a change of the data decision the edge sample votes: +1 when it saw the
    // new bit (the clock is late), -1 when it saw the old one; no change, no vote.
    const struct {
        std::int32_t previous;
        double dataIn;
        std::int32_t edge, vote;
    } cases[] = {{0, 0.4, 1, 1}, {0, 0.4, 0, -1}, {1, -0.4, 0, 1}, {1, -0.4, 1, -1}, {1, 0.4, 0, 0}, {0, -0.4, 1, 0}};
    for (const auto& c : cases) {
        CDR cdr;
        Configure(cdr, 4);
        RunToDataSample(cdr, -1.0);
        cdr.UICount = 1;  // no decision, no step on this unit interval
        cdr.DataDecision = c.previous;
        cdr.PhaseVotes = 5;
        RunToDataSample(cdr, c.dataIn, c.edge == 1 ? 0.4 : -0.4);
        EXPECT_EQ(cdr.PhaseVotes, 5 + c.vote) << c.previous << " -> " << c.dataIn << " edge " << c.edge;
    }
}

TEST_F(CDRTest, AdaptationGoesOnPastTwoToThe31Samples) {
    // The sample count is 64 bits: it neither turns negative at 2^31 (which
    // would stop the adaptation) nor comes back to 0 at 2^32 (which would empty
    // the log again).
    for (const std::int64_t count : {std::int64_t{2147483647}, std::int64_t{4294967295}}) {
        CDR cdr;
        Configure(cdr, 99);
        RisingEdges(cdr, 100);
        const std::string log = Log();
        cdr.SampleCount = count - 2;
        for (int i = 0; i < 5; ++i) cdr.History[i] = 1;
        cdr.EdgeDecision = 0;
        RunToDataSample(cdr, -1.0);
        EXPECT_EQ(cdr.AdaptVotes, 1) << count;
        EXPECT_GT(cdr.SampleCount, count);
        EXPECT_EQ(Log(), log) << count;
    }
}

TEST_F(CDRTest, SetIndexFromTheCodes) {
    const struct {
        std::int32_t gain, zero, boost, corner;
        double index;
    } cases[] = {
        {-1, 0, 0, 0, 339},  // adaptive default: 48 x 7 + 3
        {-1, 5, 1, 2, 338},  // the zero code is not adapted
        {0, 0, 0, 0, 3},
        {16, 7, 0, 2, 48 * 16 + 6 * 7 + 3 + 2},
        {16, 7, 1, 2, 48 * 16 + 6 * 7 + 2},
        {4, 2, 5, 1, 48 * 4 + 12 + 3 + 1},
    };
    for (const auto& c : cases) {
        CDR cdr;
    Configure(cdr, 0, c.gain);
        cdr.ZeroCode = c.zero;
        cdr.GainBoost = c.boost;
        cdr.Corner = c.corner;
        for (int s = 0; s < 100; ++s) {
            cdr.In = (s / 16) % 2 ? 0.3 : -0.3;
            cdr.Run();
            ASSERT_EQ(cdr.SetIndexOut, c.index) << "sample " << s;
            ASSERT_EQ(cdr.DataOut, cdr.In);
        }
    }
}

TEST_F(CDRTest, AdaptationLogText) {
    CDR cdr;
    Configure(cdr, 0);
    cdr.In = -0.2;
    cdr.Run();
    EXPECT_EQ(Log(), "AEQ_Zero, AEQ_gain\n0 , 7, 0\n");
    for (int s = 1; s < 50000; ++s) cdr.Run();
    EXPECT_EQ(Log(), "AEQ_Zero, AEQ_gain\n0 , 7, 0\n");
    cdr.Run();  // the 50001st sample appends the state left by the 50000th
    EXPECT_EQ(Log(), "AEQ_Zero, AEQ_gain\n0 , 7, 0\n0 , 7, 340.392, 0.784314, 200, 0, 0\n");
    CDR again;
    Configure(again, 0);
    again.Run();  // a new instance empties the file
    EXPECT_EQ(Log(), "AEQ_Zero, AEQ_gain\n0 , 7, 0\n");
}

TEST_F(CDRTest, LogIsWrittenOnlyAsARegularFile) {
    // A folder in the log's place cannot be written; a link planted there is not
    // followed, whether it points at a file or nowhere: the model runs on without
    // its log and the link's target stays as it was.
    const std::filesystem::path target = "target.txt";
    enum Planted { kFolder, kLinkToFile, kDanglingLink };
    for (Planted planted : {kFolder, kLinkToFile, kDanglingLink}) {
        std::filesystem::remove_all(CDR::kLogFileName);
        std::filesystem::remove(target);
        if (planted == kFolder) std::filesystem::create_directory(CDR::kLogFileName);
        if (planted == kLinkToFile) std::ofstream(target) << "keep me\n";
        if (planted != kFolder) std::filesystem::create_symlink(target, CDR::kLogFileName);
        CDR cdr;
        Configure(cdr, 0);
        for (int s = 0; s <= 50000; ++s) EXPECT_TRUE(cdr.Run());
        if (planted == kLinkToFile) {
            std::ifstream in(target);
            std::stringstream text;
            text << in.rdbuf();
            EXPECT_EQ(text.str(), "keep me\n");
        }
        if (planted == kDanglingLink) {
            EXPECT_FALSE(std::filesystem::exists(target));
        }
    }
}

TEST_F(CDRTest, ZeroCarryMovesTheZeroCodeAtTheGainLimits) {
    const struct {
        std::int32_t carry;
        double gain, zero;
        std::int32_t votes, edge;
        double expectedGain, expectedZero;
    } cases[] = {
        {1, 15.0, 3.0, 511, 0, 15.0, 4.0},  // past the top: the zero code takes the step
        {1, 1.0, 3.0, -511, 1, 0.0, 2.0},   // down to 0: the zero code steps down
        {1, 7.0, 3.0, 511, 0, 8.0, 3.0},    // inside the range nothing carries
        {0, 15.0, 3.0, 511, 0, 15.0, 3.0},  // switched off, as in the model
    };
    for (const auto& c : cases) {
        CDR cdr;
        Configure(cdr, 99);
        cdr.ZeroCarry = c.carry;
        RisingEdges(cdr, 12600);
        cdr.AEQ_gain = c.gain;
        cdr.AEQ_Zero = c.zero;
        cdr.AdaptVotes = c.votes;
        for (int i = 0; i < 5; ++i) cdr.History[i] = 1;
        RunToDataSample(cdr, -1.0, c.edge == 1 ? 1.0 : -1.0);
        EXPECT_EQ(cdr.AEQ_gain, c.expectedGain) << c.carry << " " << c.gain;
        EXPECT_EQ(cdr.AEQ_Zero, c.expectedZero) << c.carry << " " << c.gain;
    }
}
