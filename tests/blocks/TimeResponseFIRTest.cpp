#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "blocks/SplineWorkspace.h"
#include "blocks/TimeResponseFIR.h"

using namespace CorvaneModelBuilder;

namespace {

struct Response {
    std::vector<double> stamps, values;
};

// Configures a block on the response and runs Setup; the stderr text is kept.
bool Configure(TimeResponseFIR& fir, Response& r, std::uint32_t type, double rate, std::string* err = nullptr) {
    fir.ResponseTimeStamps = r.stamps.data();
    fir.ResponseCoefficients = r.values.data();
    fir.NumResponseTimeStamps = static_cast<std::int32_t>(r.stamps.size());
    fir.NumResponseCoefficients = static_cast<std::int32_t>(r.values.size());
    fir.ResponseType = type;
    fir.SampleRate = rate;
    testing::internal::CaptureStderr();
    const bool ok = fir.Setup();
    const std::string text = testing::internal::GetCapturedStderr();
    if (err) *err = text;
    return ok;
}

// The value at t of the cubic through four points, by Lagrange's formula.
double Cubic(const double* x, const double* y, double t) {
    double sum = 0;
    for (int i = 0; i < 4; ++i) {
        double term = y[i];
        for (int j = 0; j < 4; ++j)
            if (j != i) term *= (t - x[j]) / (x[i] - x[j]);
        sum += term;
    }
    return sum;
}

std::string TempFile(const std::string& name, const std::string& content) {
    const auto path = std::filesystem::temp_directory_path() / ("velkor_" + name);
    std::ofstream(path, std::ios::binary) << content;
    return path.string();
}

}  // namespace

TEST(ComputeSpline, FourKnotsGiveTheInterpolatingCubic) {
    const double x[4] = {0, 1, 2.5, 3}, y[4] = {1, -2, 0.5, 4};
    double b[4], c[4], d[4];
    ASSERT_EQ(SplineWorkspace::ComputeSpline(4, 0, 0, 0.0, 0.0, x, y, b, c, d), 0);
    for (int s = 0; s < 3; ++s)
        for (double f : {0.0, 0.3, 0.8}) {
            const double t = x[s] + f * (x[s + 1] - x[s]);
            const double w = t - x[s];
            EXPECT_NEAR(y[s] + b[s] * w + c[s] * w * w + d[s] * w * w * w, Cubic(x, y, t), 1e-12);
        }
}

TEST(ComputeSpline, StatusCodesAndStraightLine) {
    const double x2[2] = {0, 2}, y2[2] = {1, 5};
    double b[4], c[4], d[4];
    EXPECT_EQ(SplineWorkspace::ComputeSpline(1, 0, 0, 0, 0, x2, y2, b, c, d), 1);
    ASSERT_EQ(SplineWorkspace::ComputeSpline(2, 0, 0, 0, 0, x2, y2, b, c, d), 0);
    EXPECT_EQ(b[0], 2.0);
    EXPECT_EQ(c[0], 0.0);
    const double xs[4] = {0, 1, 1, 2}, ys[4] = {0, 0, 0, 0};
    EXPECT_EQ(SplineWorkspace::ComputeSpline(4, 0, 0, 0, 0, xs, ys, b, c, d), 2);
}

TEST(ComputeSpline, GivenEndSlopesAreMet) {
    const double x[5] = {0, 1, 2, 3, 4}, y[5] = {0, 1, 0, 1, 0};
    double b[5], c[5], d[5];
    ASSERT_EQ(SplineWorkspace::ComputeSpline(5, 1, 1, 0.5, -2.0, x, y, b, c, d), 0);
    EXPECT_NEAR(b[0], 0.5, 1e-12);
    EXPECT_NEAR(b[4], -2.0, 1e-12);
}

TEST(TimeResponseFIR, ImpulseOnTheGridUsesTheSamplesExactly) {
    Response r{{0, 0.25, 0.5, 0.75, 1}, {1, 2, -3, 4, 5}};
    TimeResponseFIR fir;
    ASSERT_TRUE(Configure(fir, r, ImpulseResponse, 4));
    ASSERT_EQ(fir.NumberOfTaps, 5);
    for (int k = 0; k < 5; ++k) EXPECT_EQ(fir.Taps[k], r.values[k] / 4);
}

TEST(TimeResponseFIR, StepResponseIsDifferencedFromTheSpline) {
    Response r{{0, 0.25, 0.5, 0.75, 1}, {0, 1, 3, 4, 4.5}};
    TimeResponseFIR fir;
    ASSERT_TRUE(Configure(fir, r, StepResponse, 4));
    ASSERT_EQ(fir.NumberOfTaps, 5);
    const double expected[5] = {0, 1, 2, 1, 0.5};
    for (int k = 0; k < 5; ++k) EXPECT_NEAR(fir.Taps[k], expected[k], 1e-12);
}

TEST(TimeResponseFIR, TapCountTruncatesTheProductOfLastStampAndRate) {
    const struct {
        std::vector<double> stamps;
        double rate;
        std::int32_t taps;
    } cases[] = {
        {{0, 1e-11, 2e-11, 3e-11, 4e-11}, 1e11, 4},  // 4e-11 * 1e11 is just below 4
        {{0, 1e-11, 2e-11, 3e-11, 4.99e-11}, 1e11, 5},
        {{5e-9, 5.01e-9, 5.02e-9, 5.03e-9}, 1e11, 4},  // shifted to start at 0
    };
    for (const auto& c : cases) {
        Response r{c.stamps, std::vector<double>(c.stamps.size(), 1.0)};
        TimeResponseFIR fir;
        ASSERT_TRUE(Configure(fir, r, ImpulseResponse, c.rate));
        EXPECT_EQ(fir.NumberOfTaps, c.taps);
        EXPECT_EQ(r.stamps[0], 0.0);
    }
}

TEST(TimeResponseFIR, OffGridTapsComeFromTheCubicOfFourSamples) {
    Response r{{0, 1e-11, 2e-11, 3e-11, 4.99e-11}, {0, 3, 1, -2, 0.5}};
    const auto original = r;
    TimeResponseFIR fir;
    ASSERT_TRUE(Configure(fir, r, ImpulseResponse, 1e11));
    ASSERT_EQ(fir.NumberOfTaps, 5);
    // k = 4 lies before the last stamp: cubic through stamps 1..4.
    const double t = 4.0 / 1e11;
    const double expected = Cubic(&original.stamps[1], &original.values[1], t) / 1e11;
    EXPECT_NEAR(fir.Taps[4], expected, 1e-12 * 3 / 1e11);
}

TEST(TimeResponseFIR, ValidationMessages) {
    constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::string ordering =
        "ResponseTimeStamps[3] = 1e-12  <= ResponseTimeStamps[2] = 1e-12. Time stamps must be in "
        "non-repeating ascending order.\n";
    const struct {
        Response r;
        std::uint32_t type;
        double rate;
        std::string message;
    } cases[] = {
        {{{0, 1, 2}, {1, 2, 3}}, ImpulseResponse, 1,
         "At least 4 response coefficients are required for input impulse response\n"},
        {{{0, 1, 2}, {1, 2, 3}}, StepResponseFile, 1,
         "At least 4 response coefficients are required for input step response\n"},
        {{{0, 1}, {1, 2}}, 7, 1,
         "Inavlid ResponseType is specified, it can only be Impulse Response, Step Response, Impulse "
         "Response File or Step Response File\n"},
        {{{0, 1, 2, 3, 4}, {1, 2, 3, 4}}, ImpulseResponse, 1,
         "Number of coefficients in response must be same as the number of values in time stamps\n"},
        {{{0, 1, 2, 3}, {1, 2, 3, 4}}, ImpulseResponse, 0, "SampleRate must be > 0.0\n"},
        {{{0, 1e-12, 1e-12, 2e-12}, {1, 2, 3, 4}}, ImpulseResponse, 1e12, ordering},
        {{{3, 4, 6, 5}, {1, 2, 3, 4}}, StepResponse, 1,
         "ResponseTimeStamps[4] = 5  <= ResponseTimeStamps[3] = 6. Time stamps must be in "
         "non-repeating ascending order.\n"},
        // A NaN stamp used to hang the tap search.
        {{{0, kNaN, 2, 3}, {1, 2, 3, 4}}, ImpulseResponse, 1, "ResponseTimeStamps[2] = nan is not a finite time stamp.\n"},
        {{{-kInf, 1, 2, 3}, {1, 2, 3, 4}}, StepResponse, 1, "ResponseTimeStamps[1] = -inf is not a finite time stamp.\n"},
        {{{0, 1, 2, 3}, {1, 2, 3, 4}}, ImpulseResponse, 1e6,
         "SampleRate times the response duration gives more than 1048576 taps\n"},
    };
    for (const auto& c : cases) {
        Response r = c.r;
        TimeResponseFIR fir;
        std::string err;
        EXPECT_FALSE(Configure(fir, r, c.type, c.rate, &err));
        EXPECT_EQ(err, c.message);
        EXPECT_EQ(fir.Taps, nullptr);
    }
}

TEST(TimeResponseFIR, RepeatedSetupKeepsTheTapCountAndReplacesTaps) {
    Response r{{10, 11, 12, 13, 14}, {1, 2, 3, 4, 5}};
    TimeResponseFIR fir;
    ASSERT_TRUE(Configure(fir, r, ImpulseResponse, 1));
    r.values = {5, 4, 3, 2, 1};
    fir.ResponseCoefficients = r.values.data();
    ASSERT_TRUE(fir.Setup());
    EXPECT_EQ(fir.NumberOfTaps, 5);
    EXPECT_EQ(fir.Taps[0], 5.0);
    EXPECT_EQ(r.stamps, (std::vector<double>{0, 1, 2, 3, 4}));
}

TEST(TimeResponseFIR, ResponseFileCountsTheLastPairWithOrWithoutLineBreak) {
    const std::string body = "0 0\n1e-12 1\n2e-12 0.5\n3e-12 0.25";
    for (const std::string& ending : {std::string(""), std::string("\n"), std::string(" 7")}) {
        const auto path = TempFile("response.txt", body + ending);
        TimeResponseFIR fir;
        fir.ResponseType = ImpulseResponseFile;
        fir.ResponseFile = path.c_str();
        fir.SampleRate = 1e12;
        testing::internal::CaptureStderr();
        EXPECT_TRUE(fir.Setup()) << "ending '" << ending << "'";
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
        EXPECT_EQ(fir.NumberOfTaps, 4);
        EXPECT_DOUBLE_EQ(fir.Taps[1], 1.0 / 1e12);
        std::remove(path.c_str());
    }
}

TEST(TimeResponseFIR, ResponseFileProblems) {
    const auto header = TempFile("header.txt", "time value\n0 0\n1 1\n2 2\n3 3\n");
    const auto missing = (std::filesystem::temp_directory_path() / "velkor_no_such_file.txt").string();
    const struct {
        std::string path, message;
    } cases[] = {
        {missing, "Failed to open response file.\n"},
        {header, "At least 4 response coefficients are required for input impulse response\n"},
    };
    for (const auto& c : cases) {
        TimeResponseFIR fir;
        fir.ResponseType = ImpulseResponseFile;
        fir.ResponseFile = c.path.c_str();
        testing::internal::CaptureStderr();
        EXPECT_FALSE(fir.Setup());
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    }
    std::remove(header.c_str());
}

TEST(TimeResponseFIR, FiltersWithTheBuiltTaps) {
    Response r{{0, 0.25, 0.5, 0.75, 1}, {4, 8, 0, 0, 0}};
    TimeResponseFIR fir;
    ASSERT_TRUE(Configure(fir, r, ImpulseResponse, 4));
    double in = 0, out = 0;
    fir.Input.Attach(&in, 1);
    fir.Output.Attach(&out, 1);
    ASSERT_TRUE(fir.Initialize());
    std::vector<double> y;
    for (double x : {1.0, 0.0, 0.0}) {
        in = x;
        fir.Run();
        y.push_back(out);
    }
    EXPECT_EQ(y, (std::vector<double>{1, 2, 0}));
}
