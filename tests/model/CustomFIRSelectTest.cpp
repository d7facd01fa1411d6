#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "model/CustomFIR_select_inp.h"
#include "model/EqualiserTable.h"

namespace {

constexpr int kPoints = 8;
constexpr int kSets = 4;

// Sets whose taps are easy to tell apart: stamps 0..7 s at 1 Hz give 8 taps
// equal to the set's values, set s having value (s + 1) * 10 + point.
std::vector<double> SmallTable() {
    std::vector<double> table(kPoints * kSets);
    for (int s = 0; s < kSets; ++s)
        for (int i = 0; i < kPoints; ++i) table[s * kPoints + i] = (s + 1) * 10 + i + 0.5 * (i % 3);
    return table;
}

struct Harness {
    CustomFIR_select_inp eq;
    double in = 0, out = 0;
    std::vector<double> table = SmallTable();

    explicit Harness(int numberOfSets = kSets, int length = kPoints) {
        std::vector<double> stamps(kPoints);
        for (int i = 0; i < kPoints; ++i) stamps[i] = i;
        eq.ResponseSets.Assign(table.data(), kPoints, kSets);
        eq.ResponseTimeStamps.Assign(stamps.data(), kPoints, 1);
        eq.SampleRate = 1.0;
        eq.ResponseLength = length;
        eq.NumberOfSets = numberOfSets;
    }
    bool Start() {
        if (!eq.Setup()) return false;
        eq.Input.Attach(&in, 1);
        eq.Output.Attach(&out, 1);
        return eq.Initialize();
    }
    double Step(double x, int index) {
        in = x;
        eq.SetIndex = index;
        EXPECT_TRUE(eq.Run());
        return out;
    }
    const double* SetValues(int s) const { return &table[s * kPoints]; }
};

}  // namespace

TEST(CustomFIRSelect, FreshBlockHoldsItsBuiltInResponse) {
    CustomFIR_select_inp eq;
    EXPECT_EQ(eq.ResponseSets.NumDims, 2);
    EXPECT_EQ(eq.ResponseSets.Length(0), 500u);
    EXPECT_EQ(eq.ResponseSets.Length(1), 1u);
    EXPECT_EQ(eq.ResponseTimeStamps.Data[499], 499e-12);
    EXPECT_EQ(eq.SampleRate, 1e11);
    EXPECT_EQ(eq.NumberOfSets, 1);
    double in = 0, out = 0;
    ASSERT_TRUE(eq.Setup());
    eq.Input.Attach(&in, 1);
    eq.Output.Attach(&out, 1);
    ASSERT_TRUE(eq.Initialize());
    double sum = 0;
    for (int s = 0; s < 100; ++s) {
        in = 1.0;
        eq.Run();
        sum = out;
    }
    EXPECT_NEAR(sum, 1.0, 0.01);  // a unity-gain low-pass settles at 1
}

TEST(CustomFIRSelect, IndexSelectsOneBasedWithFallbackToTheFirstSet) {
    const struct {
        int index, set;
    } cases[] = {{0, 0}, {1, 0}, {2, 1}, {4, 3}, {5, 0}, {-3, 0}, {2147483647, 0}};
    for (const auto& c : cases) {
        Harness h;
        h.eq.SetIndex = c.index;
        ASSERT_TRUE(h.Start());
        for (int q = 0; q < kPoints; ++q) EXPECT_EQ(h.eq.Filter.Taps[q], h.SetValues(c.set)[q]) << c.index;
    }
}

TEST(CustomFIRSelect, SameIndexDoesNotRebuild) {
    Harness h;
    ASSERT_TRUE(h.Start());
    h.Step(1, 3);
    EXPECT_EQ(h.eq.ReloadCount, 1u);
    for (int s = 0; s < 20; ++s) h.Step(0.5, 3);
    EXPECT_EQ(h.eq.ReloadCount, 1u);
    h.Step(0, 0);
    EXPECT_EQ(h.eq.ReloadCount, 2u);
}

TEST(CustomFIRSelect, SwitchingSetsKeepsTheDelayLine) {
    Harness h;
    ASSERT_TRUE(h.Start());
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> dist(-1, 1);
    std::vector<double> x;
    // Indices a, b, a at chosen samples; the reference filters every sample with
    // the taps in force over the undisturbed input history.
    auto indexAt = [](int n) { return n < 10 ? 2 : n < 17 ? 4 : 2; };
    for (int n = 0; n < 30; ++n) {
        x.push_back(dist(rng));
        const double y = h.Step(x.back(), indexAt(n));
        const double* taps = h.SetValues(indexAt(n) - 1);
        double ref = 0;
        for (int q = 0; q < kPoints; ++q) ref = ref + taps[q] * (n - q >= 0 ? x[n - q] : 0.0);
        EXPECT_EQ(y, ref) << "sample " << n;
    }
    EXPECT_EQ(h.eq.ReloadCount, 3u);  // 0 -> 2, 2 -> 4, 4 -> 2
}

TEST(CustomFIRSelect, BrokenLimitsFailSetupWithOneLine) {
    const struct {
        int sets, length;
        std::string message;
    } cases[] = {
        {kSets, kPoints + 1, "ResponseLength is larger than the number of points of a response set.\n"},
        {kSets + 1, kPoints, "NumberOfSets times the points of a set exceeds the response table.\n"},
        {kSets, -1, "ResponseLength must not be negative.\n"},
    };
    for (const auto& c : cases) {
        Harness h(c.sets, c.length);
        testing::internal::CaptureStderr();
        EXPECT_FALSE(h.eq.Setup());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    }
    Harness few;
    const double stamps[4] = {0, 1, 2, 3};
    few.eq.ResponseTimeStamps.Assign(stamps, 4, 1);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(few.eq.Setup());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "There are fewer time stamps than ResponseLength.\n");
    Harness empty;
    empty.eq.ResponseSets.Assign(nullptr, 0, 0);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(empty.eq.Setup());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "The response table is empty.\n");
}

TEST(CustomFIRSelect, InnerFilterRejectionFailsSetup) {
    Harness h;
    h.eq.SampleRate = 0.0;
    testing::internal::CaptureStderr();
    EXPECT_FALSE(h.eq.Setup());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "SampleRate must be > 0.0\n");
}

TEST(CustomFIRSelect, ModelTableTailIsNeverUsed) {
    // Points 500 ... 640 of every set may change without changing any output.
    std::vector<double> table(EqualiserTable::Responses(), EqualiserTable::Responses() + EqualiserTable::kValues);
    std::vector<double> altered = table;
    for (int s = 0; s < EqualiserTable::kSets; ++s)
        for (int i = 500; i < 641; ++i) altered[s * 641 + i] = 1e12 * (i % 7 - 3);
    std::vector<double> outputs[2];
    for (int variant = 0; variant < 2; ++variant) {
        CustomFIR_select_inp eq;
        eq.ResponseSets.Assign(variant == 0 ? table.data() : altered.data(), 641, 816);
        eq.ResponseTimeStamps.Assign(EqualiserTable::TimeStamps(), 641, 1);
        eq.SampleRate = 16 / 1e-10;
        eq.NumberOfSets = 816;
        ASSERT_TRUE(eq.Setup());
        double in = 0, out = 0;
        eq.Input.Attach(&in, 1);
        eq.Output.Attach(&out, 1);
        ASSERT_TRUE(eq.Initialize());
        EXPECT_EQ(eq.Filter.NumberOfTaps, 125);
        for (int n = 0; n < 400; ++n) {
            in = (n / 16) % 3 == 0 ? 1.0 : -1.0;
            eq.SetIndex = n < 200 ? 0 : 816;
            eq.Run();
            outputs[variant].push_back(out);
        }
    }
    EXPECT_EQ(outputs[0], outputs[1]);
}
