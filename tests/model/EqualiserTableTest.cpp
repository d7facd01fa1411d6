#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

#include "blocks/TimeResponseFIR.h"
#include "model/EqualiserTable.h"
#include "tools/eqgen/EqualiserModel.h"

namespace {

const double* Set(int s) { return EqualiserTable::Responses() + static_cast<std::size_t>(s) * 641; }

// DC gain as the device data defines it: sum of the first 500 points x 1.5625 ps.
double DcGain(int s) {
    double sum = 0;
    for (int i = 0; i < 500; ++i) sum += Set(s)[i];
    return sum * 1.5625e-12;
}

std::vector<char> ReadAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

}  // namespace

TEST(EqualiserTable, TellingDcGains) {
    const struct {
        int set;
        double gain;
    } cases[] = {{0, 1.598551}, {1, 1.482135},   {3, 0.852701},   {6, 1.601437},
                 {48, 1.7776},  {336, 3.120209}, {768, 7.602592}, {815, 2.788353}};
    for (const auto& c : cases) EXPECT_EQ(std::round(DcGain(c.set) * 1e6), std::round(c.gain * 1e6)) << c.set;
}

TEST(EqualiserTable, DcGainRange) {
    double lo = 1e9, hi = -1e9;
    for (int s = 0; s < EqualiserTable::kSets; ++s) {
        lo = std::fmin(lo, DcGain(s));
        hi = std::fmax(hi, DcGain(s));
    }
    EXPECT_EQ(std::round(lo * 1e4), 7724);
    EXPECT_EQ(std::round(hi * 1e4), 76077);
}

TEST(EqualiserTable, SetZeroStartAndPeak) {
    char text[64];
    const char* expected[] = {"-1140949805.642339", "-2044959794.781023", "-1398875237.667425"};
    for (int i = 0; i < 3; ++i) {
        std::snprintf(text, sizeof text, "%.6f", Set(0)[i]);
        EXPECT_STREQ(text, expected[i]);
    }
    int peak = 0;
    for (int i = 0; i < 641; ++i)
        if (Set(0)[i] > Set(0)[peak]) peak = i;
    EXPECT_EQ(peak, 38);
    std::snprintf(text, sizeof text, "%.4f", Set(0)[38]);
    EXPECT_STREQ(text, "213047307316.6524");
}

TEST(EqualiserTable, TimeStampsAreSixteenDigitMultiplesOfTheStep) {
    const double* t = EqualiserTable::TimeStamps();
    EXPECT_EQ(t[0], 0.0);
    EXPECT_EQ(t[640], 1e-9);
    for (int i = 0; i < 641; ++i) {
        char text[40];
        std::snprintf(text, sizeof text, "%.15e", i * 1.5625e-12);
        EXPECT_EQ(t[i], std::strtod(text, nullptr)) << i;
        if (i > 0) {
            EXPECT_GT(t[i], t[i - 1]);
        }
    }
}

TEST(EqualiserTable, EveryResponseHasDecayedByPoint500) {
    for (int s = 0; s < EqualiserTable::kSets; ++s) {
        double peak = 0, tail = 0;
        for (int i = 0; i < 641; ++i) {
            const double v = std::fabs(Set(s)[i]);
            if (i < 500) peak = std::fmax(peak, v);
            else tail = std::fmax(tail, v);
        }
        EXPECT_LT(tail, 1e-6 * peak) << "set " << s;
    }
}

TEST(EqualiserTable, EverySetBuildsTapsCarryingItsDcGain) {
    // 16 samples per 100 ps: 125 taps whose sum is the set's DC gain within 2%.
    for (int s = 0; s < EqualiserTable::kSets; ++s) {
        std::vector<double> values(Set(s), Set(s) + 500);
        std::vector<double> stamps(EqualiserTable::TimeStamps(), EqualiserTable::TimeStamps() + 500);
        CorvaneModelBuilder::TimeResponseFIR fir;
        fir.ResponseType = CorvaneModelBuilder::ImpulseResponse;
        fir.ResponseCoefficients = values.data();
        fir.ResponseTimeStamps = stamps.data();
        fir.NumResponseCoefficients = fir.NumResponseTimeStamps = 500;
        fir.SampleRate = 16 / 1e-10;
        ASSERT_TRUE(fir.Setup()) << "set " << s;
        ASSERT_EQ(fir.NumberOfTaps, 125);
        double sum = 0;
        for (int k = 0; k < 125; ++k) sum += fir.Taps[k];
        EXPECT_NEAR(sum / DcGain(s), 1.0, 0.02) << "set " << s;
    }
}

TEST(EqualiserTable, FollowsTheSettingsAsAnEngineerExpects) {
    for (int z = 0; z < 8; ++z)
        for (int b = 0; b < 2; ++b)
            for (int c = 0; c < 3; ++c)
                for (int g = 1; g <= 16; ++g)
                    EXPECT_GT(DcGain(48 * g + 6 * z + 3 * b + c), DcGain(48 * (g - 1) + 6 * z + 3 * b + c));
    for (int g = 0; g <= 16; ++g) EXPECT_GT(DcGain(48 * g), DcGain(48 * g + 3));  // boost adds gain
}

TEST(EqualiserTable, RegeneratingReproducesTheCommittedFile) {
    const auto path = std::filesystem::temp_directory_path() / "velkor_regenerated_table.f64";
    ASSERT_TRUE(eqgen::WriteTable(eqgen::Generate(), path.string().c_str()));
    const auto fresh = ReadAll(path);
    const auto committed = ReadAll(std::filesystem::path(VELKOR_SOURCE_DIR) / "model/data/equaliser_table.f64");
    std::filesystem::remove(path);
    ASSERT_EQ(fresh.size(), committed.size());
    EXPECT_TRUE(fresh == committed);
    // The embedded copy is the committed file.
    EXPECT_EQ(std::memcmp(committed.data() + 16 + 641 * 8, EqualiserTable::Responses(), 816 * 641 * 8), 0);
}
