#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "model/DC.h"
#include "model/EqualiserTable.h"
#include "support/AmiLibrary.h"
#include "support/CommaLocale.h"
#include "support/ScratchDirectory.h"

namespace {

std::string Warning(const char* name) {
    return std::string("The IBIS-AMI model, Velkor_Rx, is unable to initialize the parameter ") + name +
           " from the AMI_Init arguments.  The model will use the default setting. ";
}

std::string OutOfRange(const char* name, const char* value, const char* range) {
    return std::string("The IBIS-AMI model, Velkor_Rx, was given the parameter ") + name + " = " + value +
           ", outside its range " + range + ". ";
}

const std::string kAllWarnings = Warning("CDR_Threshold") + Warning("anlg_eql_gaincode") +
                                 Warning("anlg_eql_zerocode") + Warning("anlg_eql_gainboost") + Warning("corner");

class AmiParameterBinding : public testing::Test {
protected:
    ScratchDirectory scratch;
    AmiLibrary lib;
};

}  // namespace

TEST_F(AmiParameterBinding, WarningsForEveryParameterThatCannotBeRead) {
    const struct {
        const char* parameters;
        std::string message;
    } cases[] = {
        {"(Velkor_Rx)", kAllWarnings},
        {"(Velkor_Rx (Other 1))", kAllWarnings},
        {"(Velkor_Rx (corner 1)", kAllWarnings},  // does not parse
        {"", kAllWarnings},
        {"(Other_Rx (corner 1) (CDR_Threshold 1))", kAllWarnings},
        {"(Velkor_Rx (CDR_Threshold 3) (corner 2.7))",
         Warning("anlg_eql_gaincode") + Warning("anlg_eql_zerocode") + Warning("anlg_eql_gainboost")},
        {"(Velkor_Rx (corner \"fast\") (CDR_Threshold 0) (anlg_eql_gaincode 4) (anlg_eql_zerocode 1) "
         "(anlg_eql_gainboost 1))",
         Warning("corner")},
        {"(Velkor_Rx (corner 99999999999) (CDR_Threshold 0) (anlg_eql_gaincode 4) (anlg_eql_zerocode 1) "
         "(anlg_eql_gainboost 1))",
         Warning("corner")},
        // Values outside their declared ranges: a sentence each, after the binding warnings.
        {"(Velkor_Rx (corner 3) (CDR_Threshold 8) (anlg_eql_gaincode -2) (anlg_eql_zerocode 8) "
         "(anlg_eql_gainboost -1))",
         OutOfRange("CDR_Threshold", "8", "0 to 7") + OutOfRange("anlg_eql_gaincode", "-2", "-1 to 16") +
             OutOfRange("anlg_eql_zerocode", "8", "0 to 7") + OutOfRange("anlg_eql_gainboost", "-1", "0 to 1") +
             OutOfRange("corner", "3", "0 to 2")},
        {"(Velkor_Rx (CDR_Threshold -1) (anlg_eql_gaincode 17) (anlg_eql_gainboost 2))",
         Warning("anlg_eql_zerocode") + Warning("corner") + OutOfRange("CDR_Threshold", "-1", "0 to 7") +
             OutOfRange("anlg_eql_gaincode", "17", "-1 to 16") + OutOfRange("anlg_eql_gainboost", "2", "0 to 1")},
        {"(Velkor_Rx (CDR_Threshold 7) (anlg_eql_gaincode 16) (anlg_eql_zerocode 7) (anlg_eql_gainboost 1) "
         "(corner -0.5))",
         ""},  // the ends of the ranges; -0.5 truncates to 0
    };
    for (const auto& c : cases) {
        AmiSession s(lib, 6.25e-12, 1e-10, c.parameters);
        EXPECT_EQ(s.initResult, 1) << c.parameters;
        EXPECT_EQ(s.Message(), c.message) << c.parameters;
    }
}

TEST_F(AmiParameterBinding, NoWarningLeavesTheMessageArgumentUntouched) {
    char sentinel[] = "untouched";
    char* message = sentinel;
    void* memory = nullptr;
    std::string params =
        "(Velkor_Rx (CDR_Threshold 2) (anlg_eql_gaincode 3) (anlg_eql_zerocode 1) (anlg_eql_gainboost 1) "
        "(corner 2))";
    EXPECT_EQ(lib.Init(nullptr, 0, 0, 6.25e-12, 1e-10, params.data(), nullptr, &memory, &message), 1);
    EXPECT_EQ(message, sentinel);
    lib.Close(memory);
}

TEST_F(AmiParameterBinding, WarningsComeBeforeTheTimingError) {
    AmiSession s(lib, 0.0, 1e-10, "(Velkor_Rx)");
    EXPECT_EQ(s.initResult, 0);
    EXPECT_EQ(s.Message().rfind(kAllWarnings, 0), 0u);
    EXPECT_GT(s.Message().size(), kAllWarnings.size());
}

TEST_F(AmiParameterBinding, FixedGainCodeSelectsTheNamedSet) {
    // A small steady input: the output settles at Scale tanh(Slope G x + Offset),
    // which gives the DC gain G of the set the equaliser filters with.
    const struct {
        int g, z, gainBoost, c;
    } cases[] = {{5, 2, 1, 1}, {0, 0, 0, 0}, {12, 7, 0, 2}, {16, 3, 1, 0}};
    for (const auto& c : cases) {
        const std::string params = "(Velkor_Rx (CDR_Threshold 0) (anlg_eql_gaincode " + std::to_string(c.g) +
                                   ") (anlg_eql_zerocode " + std::to_string(c.z) + ") (anlg_eql_gainboost " +
                                   std::to_string(c.gainBoost) + ") (corner " + std::to_string(c.c) + "))";
        AmiSession s(lib, 6.25e-12, 1e-10, params);
        ASSERT_EQ(s.initResult, 1) << s.Message();
        const double x = 0.002;
        std::vector<double> wave(4000, x), times(wave.size() + 1);
        ASSERT_EQ(lib.GetWave(wave.data(), static_cast<long>(wave.size()), times.data(), nullptr, s.memory), 1);
        const DC::Coefficients k = DC::Lookup(c.c, c.gainBoost);
        const double gain = (std::atanh(wave.back() / k.scale) - k.offset) / (k.slope * x);
        const int b = c.gainBoost == 1 ? 0 : 1;
        const int set = 48 * c.g + 6 * c.z + 3 * b + c.c;
        double sum = 0;
        for (int i = 0; i < 500; ++i) sum += EqualiserTable::Responses()[set * 641 + i];
        EXPECT_NEAR(gain / (sum * 1.5625e-12), 1.0, 0.005) << params;
    }
}

// A simulator that has set a locale whose decimal point is a comma gets the same
// binding: "2.7" is still a number, not a text the model cannot read.
TEST_F(AmiParameterBinding, TheHostsLocaleDoesNotChangeHowNumbersRead) {
    const char* const cases[] = {
        "(Velkor_Rx (CDR_Threshold 3) (corner 2.7))",
        "(Velkor_Rx (CDR_Threshold 7.0) (anlg_eql_gaincode 1.6e1) (anlg_eql_zerocode 7) (anlg_eql_gainboost 1) "
        "(corner -0.5))",
    };
    std::vector<std::string> inC;
    for (const char* parameters : cases) inC.push_back(AmiSession(lib, 6.25e-12, 1e-10, parameters).Message());
    EXPECT_EQ(inC[1], "");

    CommaLocale comma;
    if (!comma.Active()) GTEST_SKIP() << CommaLocale::kWhyInactive;
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        AmiSession s(lib, 6.25e-12, 1e-10, cases[i]);
        EXPECT_EQ(s.initResult, 1) << cases[i];
        EXPECT_EQ(s.Message(), inC[i]) << cases[i];
    }
}
