// The impulse response formed from S-parameters, against the physical line it
// came from: any grid, band, delay, port count and Touchstone version.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "support/LineModel.h"
#include "support/ScratchDirectory.h"
#include "tools/velkor-sim/ChannelSetup.h"
#include "tools/velkor-sim/Fft.h"
#include "tools/velkor-sim/ImpulseResponse.h"

namespace {

constexpr double kBitRate = 10e9;
constexpr int kSamplesPerBit = 16;
constexpr double kDt = 1 / kBitRate / kSamplesPerBit;

// A transfer function straight from its model on a long transform grid: the
// reference that no data grid limits.
std::vector<double> ModelTaps(const std::function<line::Complex(double)>& h) {
    const std::size_t n = 1u << 17;
    std::vector<std::complex<double>> spectrum(n);
    for (std::size_t k = 0; k <= n / 2; ++k) {
        const line::Complex v = h(static_cast<double>(k) / (static_cast<double>(n) * kDt));
        spectrum[k] = k == 0 || k == n / 2 ? line::Complex(v.real()) : v;
        if (k > 0 && k < n / 2) spectrum[n - k] = std::conj(v);
    }
    sim::Fft(spectrum, 1);
    std::vector<double> taps(n);
    for (std::size_t i = 0; i < n; ++i) taps[i] = spectrum[i].real() / static_cast<double>(n);
    return taps;
}

line::Complex LineS21(const line::Line& l, double f) {
    line::Complex s11, s21;
    line::LineS(l, f, 50, s11, s21);
    return s21;
}

std::vector<line::Complex> TwoPortMatrix(const line::Line& l, double f) {
    line::Complex s11, s21;
    line::LineS(l, f, 50, s11, s21);
    return {s11, s21, s21, s11};
}

// The main cursor of the pulse response of one bit and the four cursors either
// side of it, a UI apart: what decides the eye.
std::vector<double> Cursors(const std::vector<double>& taps) {
    const std::vector<double> pulse = sim::ConvolveFull(taps, std::vector<double>(kSamplesPerBit, 1.0));
    const auto main = static_cast<std::ptrdiff_t>(std::max_element(pulse.begin(), pulse.end()) - pulse.begin());
    std::vector<double> cursors;
    for (std::ptrdiff_t k = -4; k <= 4; ++k) {
        const std::ptrdiff_t i = main + k * kSamplesPerBit;
        cursors.push_back(i >= 0 && i < static_cast<std::ptrdiff_t>(pulse.size()) ? pulse[static_cast<std::size_t>(i)] : 0.0);
    }
    return cursors;
}

// Every cursor within `share` of the reference's main cursor.
void ExpectCursorsNear(const std::vector<double>& got, const std::vector<double>& want, double share,
                       const std::string& what) {
    ASSERT_EQ(got.size(), want.size());
    for (std::size_t i = 0; i < got.size(); ++i)
        EXPECT_NEAR(got[i], want[i], share * want[4]) << what << ": cursor " << static_cast<int>(i) - 4;
}

sim::Channel Build(const std::vector<sim::ChannelFile>& files, std::string& error) {
    sim::Channel channel;
    sim::ChannelRequest request;
    request.files = files;
    error.clear();
    if (!sim::BuildChannel(request, kDt, kBitRate, channel, error)) channel.taps.clear();
    return channel;
}

bool Mentions(const std::vector<std::string>& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(), [&](const std::string& t) { return t.find(part) != std::string::npos; });
}

class ChannelForming : public testing::Test {
protected:
    ScratchDirectory scratch;
};

struct GridCase {
    const char* name;
    double first, step, last;
    const char* warning;  // expected among the warnings, "" for none
};

const GridCase kGrids[] = {
    {"full band", 10e6, 10e6, 40e9, ""},
    {"from DC", 0, 10e6, 40e9, ""},
    {"from 100 MHz", 100e6, 10e6, 40e9, ""},
    {"from 300 MHz", 300e6, 10e6, 40e9, "the data start at 0.3 GHz"},
    {"from 1 GHz", 1e9, 10e6, 40e9, "the data start at 1 GHz"},
    {"250 MHz steps", 250e6, 250e6, 40e9, ""},
    {"ending at 4 GHz", 10e6, 10e6, 4e9, "the data end at 4 GHz, below 1.5 times the Nyquist frequency"},
    {"ending at 8 GHz", 10e6, 10e6, 8e9, ""},
    {"coarse and band-limited", 500e6, 500e6, 6e9, "the data start at 0.5 GHz"},
};

}  // namespace

// The same 12 dB line on every grid, with a short and a long flight time: the
// pulse's cursors within 2 % of the line's own, and the data's gaps said.
TEST_F(ChannelForming, EveryGridOfALineGivesItsPulse) {
    for (double delay : {2e-9, 40e-9}) {
        const line::Line l = line::LineWithLoss(delay, 12, 5e9);
        const std::vector<double> want = Cursors(ModelTaps([&](double f) { return LineS21(l, f); }));
        for (const auto& g : kGrids) {
            const std::string what = std::string(g.name) + ", delay " + std::to_string(delay * 1e9) + " ns";
            line::WriteTouchstone("line.s2p", 2, line::Grid(g.first, g.step, g.last),
                                  [&](double f) { return TwoPortMatrix(l, f); }, {});
            std::string error;
            const sim::Channel channel = Build({{"line.s2p", {}}}, error);
            ASSERT_EQ(error, "") << what;
            ExpectCursorsNear(Cursors(channel.taps), want, 0.02, what);
            EXPECT_NEAR(channel.nyquistLossDb, 12, 0.1) << what;
            if (*g.warning) EXPECT_TRUE(Mentions(channel.warnings, g.warning)) << what;
            else EXPECT_TRUE(channel.warnings.empty()) << what << ": " << channel.warnings.front();
            // The loss figure's curve: the data, and extensions only where the data stop.
            const bool extended = std::any_of(channel.loss.begin(), channel.loss.end(), [](const sim::LossPoint& p) { return !p.measured; });
            EXPECT_TRUE(extended) << what;
        }
    }
}

// A differential pair as a 4-port, in the two usual port orders, version 1 and
// 2.0 in every matrix format: SDD21 is the odd mode's transmission.
TEST_F(ChannelForming, FourPortPairGivesItsDifferentialMode) {
    const line::Line odd = line::LineWithLoss(2e-9, 12, 5e9, 45), even{2.1e-9, 55, odd.lossScale, 4.0};
    const std::vector<double> want = Cursors(ModelTaps([&](double f) { return LineS21(odd, f); }));
    const int nearNear[4] = {0, 1, 2, 3};  // ports 1, 2 in; 3, 4 out
    const int nearFar[4] = {0, 2, 1, 3};   // ports 1, 3 in; 2, 4 out
    const struct {
        const int* order;
        std::vector<int> ports;  // as given, empty for the default
        const char* expected;    // the ports the summary names
        line::TouchstoneStyle style;
        const char* name;
    } cases[] = {
        {nearNear, {}, "ports 1,2,3,4", {1, "RI", "GHZ", "Full", "21_12", 50}, "1,2,3,4.s4p"},
        {nearFar, {}, "ports 1,3,2,4", {1, "MA", "MHZ", "Full", "21_12", 50}, "1,3,2,4.s4p"},
        {nearFar, {1, 3, 2, 4}, "ports 1,3,2,4", {1, "DB", "HZ", "Full", "21_12", 50}, "given.s4p"},
        {nearNear, {}, "ports 1,2,3,4", {2, "RI", "GHZ", "Full", "21_12", 50}, "full.ts"},
        {nearFar, {}, "ports 1,3,2,4", {2, "DB", "GHZ", "Lower", "21_12", 50}, "lower.ts"},
        {nearFar, {}, "ports 1,3,2,4", {2, "MA", "MHZ", "Upper", "21_12", 50}, "upper.s4p"},
    };
    for (const auto& c : cases) {
        line::WriteTouchstone(c.name, 4, line::Grid(10e6, 20e6, 30e9),
                              [&](double f) { return line::PairS(even, odd, f, 50, c.order); }, c.style);
        std::string error;
        const sim::Channel channel = Build({{c.name, c.ports}}, error);
        ASSERT_EQ(error, "") << c.name;
        ExpectCursorsNear(Cursors(channel.taps), want, 0.02, c.name);
        EXPECT_NE(channel.description.find(std::string("SDD21 of ") + c.name), std::string::npos) << channel.description;
        EXPECT_NE(channel.description.find(c.expected), std::string::npos) << channel.description;
        EXPECT_NE(channel.description.find("reference 100 ohm"), std::string::npos) << channel.description;
        EXPECT_EQ(channel.description.find("found from") == std::string::npos, !c.ports.empty()) << channel.description;
    }
}

// Pieces cascaded as networks: two halves of a line with different impedances,
// on the same grid and on different ones, against the whole computed from the
// chain (ABCD) matrices of the halves.
TEST_F(ChannelForming, CascadedPiecesGiveTheWholeChannel) {
    const line::Line first{1e-9, 42, 1.0, 4.0}, second{1.2e-9, 58, 1.0, 4.0};
    auto abcd = [](const line::Line& l, double f, line::Complex m[4]) {
        line::Complex z, y;
        line::SeriesAndShunt(l, f == 0 ? 1e-3 : f, z, y);
        const line::Complex g = std::sqrt(z * y), zc = std::sqrt(z / y);
        m[0] = std::cosh(g), m[1] = zc * std::sinh(g), m[2] = std::sinh(g) / zc, m[3] = std::cosh(g);
    };
    const std::vector<double> want = Cursors(ModelTaps([&](double f) {
        line::Complex a[4], b[4];
        abcd(first, f, a);
        abcd(second, f, b);
        const line::Complex A = a[0] * b[0] + a[1] * b[2], B = a[0] * b[1] + a[1] * b[3], C = a[2] * b[0] + a[3] * b[2],
                            D = a[2] * b[1] + a[3] * b[3];
        return 2.0 / (A + B / 50.0 + C * 50.0 + D);
    }));
    line::WriteTouchstone("first.s2p", 2, line::Grid(10e6, 10e6, 40e9), [&](double f) { return TwoPortMatrix(first, f); }, {});
    line::WriteTouchstone("second.s2p", 2, line::Grid(10e6, 10e6, 40e9), [&](double f) { return TwoPortMatrix(second, f); }, {});
    line::WriteTouchstone("second_coarse.s2p", 2, line::Grid(5e6, 25e6, 35e9),
                          [&](double f) { return TwoPortMatrix(second, f); }, {});
    for (const auto& pair : {std::make_pair("second.s2p", "on the files' common grid"),
                             std::make_pair("second_coarse.s2p", "on a common grid of")}) {
        std::string error;
        const sim::Channel channel = Build({{"first.s2p", {}}, {pair.first, {}}}, error);
        ASSERT_EQ(error, "") << pair.first;
        ExpectCursorsNear(Cursors(channel.taps), want, 0.02, pair.first);
        EXPECT_TRUE(Mentions(channel.notes, pair.second)) << pair.first;
        EXPECT_NE(channel.description.find("first.s2p"), std::string::npos);
        EXPECT_NE(channel.description.find(std::string("then ") + pair.first), std::string::npos);
    }
}

// The data checks: passivity, causality and a transmission that is there.
TEST_F(ChannelForming, DataThatCannotBeAChannelAreSaid) {
    const line::Line shortLine = line::LineWithLoss(1e-9, 2, 5e9), lossy = line::LineWithLoss(2e-9, 12, 5e9);
    auto bumped = [](const line::Line& l) {
        return [l](double f) {
            std::vector<line::Complex> m = TwoPortMatrix(l, f);
            if (f >= 3e9 && f <= 6e9) m[2] *= 1.6;  // S21 alone: gain no passive line has
            return m;
        };
    };
    line::WriteTouchstone("gain.s2p", 2, line::Grid(10e6, 10e6, 20e9), bumped(shortLine), {});
    line::WriteTouchstone("bump.s2p", 2, line::Grid(10e6, 10e6, 20e9), bumped(lossy), {});
    line::WriteTouchstone("open.s2p", 2, line::Grid(10e6, 10e6, 20e9),
                          [](double) { return std::vector<line::Complex>{1.0, 0.0, 0.0, 1.0}; }, {});
    const struct {
        const char* file;
        const char* warning;  // "" when the file is refused
        const char* error;
    } cases[] = {
        {"gain.s2p", "gain.s2p is not passive from 3 to 6 GHz", ""},
        {"bump.s2p", "S21 is not causal", ""},
        {"open.s2p", "", "S21 is zero: check the port order"},
    };
    for (const auto& c : cases) {
        std::string error;
        const sim::Channel channel = Build({{c.file, {}}}, error);
        if (*c.error) {
            EXPECT_NE(error.find(c.error), std::string::npos) << c.file << ": " << error;
            continue;
        }
        ASSERT_EQ(error, "") << c.file;
        EXPECT_TRUE(Mentions(channel.warnings, c.warning)) << c.file << ": " << ::testing::PrintToString(channel.warnings);
    }
}

// The bulk delay found by the transform of the gridded points agrees with the
// naive search over every trial delay, on fine, coarse and offset grids.
TEST(BulkDelay, FastSearchAgreesWithTheNaiveOne) {
    const line::Line l = line::LineWithLoss(3e-9, 10, 5e9);
    for (const auto& g : {std::array<double, 3>{10e6, 50e6, 20e9}, std::array<double, 3>{250e6, 250e6, 20e9},
                          std::array<double, 3>{37e6, 100e6, 12e9}}) {
        sim::TransferSamples data;
        data.frequency = line::Grid(g[0], g[1], g[2]);
        for (double f : data.frequency) data.value.push_back(LineS21(l, f));
        double period = 0;
        const double fast = sim::BulkDelay(data, period);
        const double resolution = 1 / (4 * g[2]);
        const double naive = sim::BulkDelayNaive(data, period, resolution / 4);
        // The same peak of a periodic envelope, to the fast search's resolution.
        const double apart = std::remainder(fast - naive, period);
        EXPECT_LE(std::fabs(apart), resolution) << "grid step " << g[1];
    }
}

// The loss fit recovers a + b sqrt(f) + c f, and never makes loss fall with frequency.
TEST(LossFit, RecoversTheLineFormAndRefusesFallingLoss) {
    std::vector<double> f = line::Grid(100e6, 100e6, 10e9), rising, falling;
    for (double x : f) {
        rising.push_back(0.5 + 2 * std::sqrt(x / 1e9) + 0.7 * x / 1e9);
        falling.push_back(10 - x / 1e9);
    }
    const sim::LossFit fit = sim::FitLoss(f, rising, 0, 1e12);
    EXPECT_NEAR(fit.a, 0.5, 1e-6);
    EXPECT_NEAR(fit.b, 2, 1e-6);
    EXPECT_NEAR(fit.c, 0.7, 1e-6);
    const sim::LossFit flat = sim::FitLoss(f, falling, 0, 1e12);
    EXPECT_EQ(flat.b, 0);
    EXPECT_EQ(flat.c, 0);
    EXPECT_NEAR(flat.a, 10 - 5.05, 1e-9);  // the mean: no slope fits better without falling
}
