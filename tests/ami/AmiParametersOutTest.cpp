// The adaptation state handed back through AMI_parameters_out: its text, its
// agreement with the adaptation log, and that it changes nothing of the waveform.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "AmiParams/AmiParamReader.h"
#include "ami/ParametersOut.h"
#include "model/CDR.h"
#include "support/AmiLibrary.h"
#include "support/KitFiles.h"
#include "support/ScratchDirectory.h"
#include "support/Waveforms.h"

namespace {

struct State {
    double gainCode = -1, setIndex = -1, frequencyOffsetPpm = -1, phaseVotes = -1;
};

// Reads the four values with the model's own AMI parameter reader.
State Parse(const char* text) {
    State s;
    AmiParamReader reader(text);
    EXPECT_TRUE(reader.parsed()) << text;
    EXPECT_TRUE(reader.GetDouble(s.gainCode, "Velkor_Rx.gain_code")) << text;
    EXPECT_TRUE(reader.GetDouble(s.setIndex, "Velkor_Rx.set_index")) << text;
    EXPECT_TRUE(reader.GetDouble(s.frequencyOffsetPpm, "Velkor_Rx.frequency_offset_ppm")) << text;
    EXPECT_TRUE(reader.GetDouble(s.phaseVotes, "Velkor_Rx.phase_votes")) << text;
    return s;
}

// Names of the leaves of an AMI parameter text (lists holding no list), in order.
std::vector<std::string> LeafNames(const std::string& text) {
    std::vector<std::string> names;
    for (auto open = text.find('('); open != std::string::npos; open = text.find('(', open + 1)) {
        const auto close = text.find(')', open);
        if (text.find('(', open + 1) < close) continue;  // a branch
        names.push_back(text.substr(open + 1, text.find(' ', open) - open - 1));
    }
    return names;
}

// The values of one log line: separated by commas, blanks around them dropped.
std::vector<std::string> LogValues(const std::string& line) {
    std::vector<std::string> values;
    std::stringstream in(line);
    std::string value;
    while (std::getline(in, value, ',')) {
        const auto first = value.find_first_not_of(' ');
        if (first != std::string::npos) values.push_back(value.substr(first, value.find_last_not_of(' ') - first + 1));
    }
    return values;
}

class AmiParametersOut : public testing::Test {
protected:
    ScratchDirectory scratch;  // the adaptation log lands here
    AmiLibrary lib;

    // AMI_Init as a simulator calls it; returns the instance, out receives the state.
    void* Init(std::string parameters, char** out, double sampleInterval = 6.25e-12) {
        void* memory = nullptr;
        char* message = nullptr;
        EXPECT_EQ(lib.Init(nullptr, 0, 0, sampleInterval, 1e-10, parameters.data(), out, &memory, &message), 1);
        return memory;
    }
};

}  // namespace

TEST(ParametersOutText, HoldsEveryValueExactlyEvenAtItsWidest) {
    const struct {
        std::int32_t gainCode, zeroCode, gainBoost, corner, phaseVotes;
        double adaptedGain;
        std::int32_t frequencySign, stepInterval, samplesPerUi;
        double ppm;  // the correction those stand for
        const char* text;
    } cases[] = {
        {-1, 0, 0, 0, 0, 7.0, 0, 0, 16, 0.0,
         "(Velkor_Rx (gain_code 7) (set_index 339) (frequency_offset_ppm 0) (phase_votes 0))"},
        {-1, 5, 1, 2, -3, 15.0, 1, 61, 48, 341.53005464480873,
         "(Velkor_Rx (gain_code 15) (set_index 722) (frequency_offset_ppm 341.53005464480873) (phase_votes -3))"},
        {6, 2, 1, 1, 12, 3.0, -1, 12345, 16, -5.0627784528149045,
         "(Velkor_Rx (gain_code 6) (set_index 301) (frequency_offset_ppm -5.0627784528149045) (phase_votes 12))"},
        {INT_MIN, INT_MIN, 0, INT_MIN, INT_MIN, 0.0, -1, 2147483647, 65536, -7.105427360909724e-09,
         "(Velkor_Rx (gain_code -2147483648) (set_index -2147483645) (frequency_offset_ppm -7.105427360909724e-09) "
         "(phase_votes -2147483648))"},
    };
    for (const auto& c : cases) {
        CDR cdr;
        cdr.GainCode = c.gainCode;
        cdr.ZeroCode = c.zeroCode;
        cdr.GainBoost = c.gainBoost;
        cdr.Corner = c.corner;
        cdr.PhaseVotes = c.phaseVotes;
        cdr.AEQ_gain = c.adaptedGain;
        cdr.FrequencySign = c.frequencySign;
        cdr.FrequencyStepInterval = c.stepInterval;
        cdr.SamplesPerUI = c.samplesPerUi;
        cdr.FrequencyOffsetPpm = 123.0;  // the integrator's reading at 48 samples per UI: not what is reported
        ami::ParametersOutText text;
        text.fill('#');
        ami::FormatParametersOut(cdr, text);
        EXPECT_STREQ(text.data(), c.text);
        const State s = Parse(text.data());
        EXPECT_EQ(s.frequencyOffsetPpm, c.ppm) << "reads back as the same double";
        EXPECT_EQ(s.frequencyOffsetPpm, ami::FrequencyCorrectionPpm(cdr));
        EXPECT_EQ(s.phaseVotes, c.phaseVotes);
    }
}

TEST_F(AmiParametersOut, InitHandsOutTheStartingState) {
    const struct {
        const char* parameters;
        const char* text;
    } cases[] = {
        {"(Velkor_Rx (CDR_Threshold 0))",
         "(Velkor_Rx (gain_code 7) (set_index 339) (frequency_offset_ppm 0) (phase_votes 0))"},
        {"(Velkor_Rx (anlg_eql_gainboost 1) (corner 2))",
         "(Velkor_Rx (gain_code 7) (set_index 338) (frequency_offset_ppm 0) (phase_votes 0))"},
        {"(Velkor_Rx (anlg_eql_gaincode 6) (anlg_eql_zerocode 2) (anlg_eql_gainboost 1) (corner 1))",
         "(Velkor_Rx (gain_code 6) (set_index 301) (frequency_offset_ppm 0) (phase_votes 0))"},
    };
    for (const auto& c : cases) {
        char* out = nullptr;
        void* memory = Init(c.parameters, &out);
        ASSERT_NE(out, nullptr) << c.parameters;
        EXPECT_STREQ(out, c.text);
        lib.Close(memory);
    }
    // The kit's .ami declares exactly these values as its Out parameters.
    const auto declared =
        DeclaredParameters(ReadWholeFile(std::string(VELKOR_SOURCE_DIR) + "/kit/velkor_rx.ami"), "Out");
    EXPECT_EQ(LeafNames(cases[0].text), declared);
    // A failed AMI_Init reports no state; a null AMI_parameters_out is allowed.
    char sentinel[] = "untouched";
    char* out = sentinel;
    void* memory = nullptr;
    char* message = nullptr;
    char parameters[] = "(Velkor_Rx)";
    EXPECT_EQ(lib.Init(nullptr, 0, 0, 1e-10, 1e-10, parameters, &out, &memory, &message), 0);
    EXPECT_EQ(out, sentinel);
    lib.Close(memory);
    memory = nullptr;
    EXPECT_EQ(lib.Init(nullptr, 0, 0, 6.25e-12, 1e-10, parameters, nullptr, &memory, &message), 1);
    lib.Close(memory);
}

// Every 50000 samples the log shows the state left by the sample before: the state
// handed out after a call that ends on such a sample.
TEST_F(AmiParametersOut, AgreesWithTheAdaptationLog) {
    const auto wave = testwave::Channel(testwave::Prbs7(40000), 16, 0.25, 6.0);
    char* out = nullptr;
    void* memory = Init("(Velkor_Rx (CDR_Threshold 3))", &out);
    constexpr std::size_t kLogPeriod = 50000;
    std::vector<State> reported;
    std::vector<double> block(kLogPeriod), times(kLogPeriod + 1);
    for (std::size_t from = 0; from + kLogPeriod + 1 <= wave.size(); from += kLogPeriod) {
        std::copy(wave.begin() + from, wave.begin() + from + kLogPeriod, block.begin());
        ASSERT_EQ(lib.GetWave(block.data(), kLogPeriod, times.data(), &out, memory), 1);
        reported.push_back(Parse(out));
    }
    double last = wave[reported.size() * kLogPeriod];
    ASSERT_EQ(lib.GetWave(&last, 1, times.data(), nullptr, memory), 1);  // writes the last line
    lib.Close(memory);

    std::ifstream log("Velrok.adapt");
    std::string line;
    std::vector<std::vector<std::string>> lines;
    while (std::getline(log, line))
        if (const auto values = LogValues(line); values.size() == 7) lines.push_back(values);
    ASSERT_EQ(lines.size(), reported.size());
    for (std::size_t k = 0; k < lines.size(); ++k) {
        const State& s = reported[k];
        // The log holds the integrator's reading P (48 samples per UI); the state the
        // correction it makes at 16: one sample every trunc(1e6 / (48 |P|)) UIs.
        const double integrator = std::stod(lines[k][2]);
        const double interval = std::trunc(1e6 / (48.0 * std::fabs(integrator)));
        EXPECT_DOUBLE_EQ(s.frequencyOffsetPpm, std::copysign(1e6 / (interval * 16.0), integrator)) << "line " << k;
        EXPECT_EQ(std::stod(lines[k][1]), s.gainCode) << "line " << k;
        EXPECT_EQ(48.0 * s.gainCode + 6.0 * std::stod(lines[k][0]) + 3.0, s.setIndex) << "line " << k;
        EXPECT_EQ(std::stod(lines[k][5]), s.phaseVotes) << "line " << k;
    }
    EXPECT_NE(reported.front().frequencyOffsetPpm, reported.back().frequencyOffsetPpm) << "the loop moved";
}

// Reporting only: the same waveform and clock times with and without the output
// parameters; each instance's text stays where it is until its next call.
TEST_F(AmiParametersOut, ChangesNothingOfTheWaveformOrTheClock) {
    const auto wave = testwave::Channel(testwave::Prbs7(3000), 16, 0.25, 6.0);
    char* outA = nullptr;
    char* outB = nullptr;
    void* reporting = Init("(Velkor_Rx (CDR_Threshold 3))", &outA);
    void* silent = Init("(Velkor_Rx (CDR_Threshold 3))", nullptr);
    void* other = Init("(Velkor_Rx (anlg_eql_gaincode 2))", &outB);
    const std::string otherText = outB;
    std::vector<double> a = wave, b = wave;
    std::vector<double> timesA(wave.size() + 1), timesB(wave.size() + 1);
    char* const initText = outA;
    for (std::size_t from = 0; from < wave.size(); from += 4096) {
        const long n = static_cast<long>(std::min<std::size_t>(4096, wave.size() - from));
        ASSERT_EQ(lib.GetWave(a.data() + from, n, timesA.data(), &outA, reporting), 1);
        ASSERT_EQ(lib.GetWave(b.data() + from, n, timesB.data(), nullptr, silent), 1);
        EXPECT_EQ(timesA, timesB);
        EXPECT_EQ(outA, initText) << "the text lives in the instance";
    }
    EXPECT_EQ(a, b);
    EXPECT_STREQ(outB, otherText.c_str()) << "another instance's calls leave this text alone";
    lib.Close(reporting);
    lib.Close(silent);
    lib.Close(other);
}
