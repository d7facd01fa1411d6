// The Touchstone reader, the port choice and the passivity measure on their own.
#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/LineModel.h"
#include "support/ScratchDirectory.h"
#include "tools/velkor-sim/ChannelChecks.h"
#include "tools/velkor-sim/MixedMode.h"
#include "tools/velkor-sim/TouchstoneReader.h"

namespace {

class Touchstone : public testing::Test {
protected:
    ScratchDirectory scratch;
};

sim::Network Read(const std::string& name, const std::string& text) {
    std::ofstream(name) << text;
    sim::Network network;
    std::string error;
    EXPECT_TRUE(sim::ReadTouchstone(name, network, error)) << name << ": " << error;
    return network;
}

}  // namespace

// Where S21 sits in each layout a 2-port may take: version 1 (S11 S21 S12 S22),
// 2.0 with either data order; units, formats and the noise data that follow.
TEST_F(Touchstone, TwoPortLayoutsPutEachParameterInItsPlace) {
    const std::string v1 = "! a comment\n# MHz S RI R 75\n100 0.1 0 0.8 0 0.2 0 0.3 0  ! trailing comment\n"
                           "200 0.1 0 0.7 0 0.2 0 0.3 0\n"
                           "! noise data: a frequency that does not ascend, five numbers\n100 1.5 0.3 20 0.2\n";
    const std::string v2 = "[Version] 2.0\n# GHz S DB R 50\n[Number of Ports] 2\n[Two-Port Data Order] ORDER\n"
                           "[Number of Frequencies] 2\n[Begin Information]\nanything [at all]\n[End Information]\n"
                           "[Network Data]\n1 -20 0 -2 -90 -14 0 -10 0\n2 -20 0 -3 -180 -14 0 -10 0\n"
                           "[Noise Data]\n1 1.5 0.3 20 0.2\n[End]\n";
    const sim::Network a = Read("a.s2p", v1);
    EXPECT_EQ(a.frequency, (std::vector<double>{100e6, 200e6}));
    EXPECT_EQ(a.S(1, 1, 0), std::complex<double>(0.7, 0));  // S21
    EXPECT_EQ(a.S(1, 0, 1), std::complex<double>(0.2, 0));  // S12
    EXPECT_EQ(a.reference, (std::vector<double>{75, 75}));
    for (const char* order : {"21_12", "12_21"}) {
        std::string text = v2;
        text.replace(text.find("ORDER"), 5, order);
        const sim::Network b = Read("b.ts", text);
        const std::complex<double> second = b.S(0, std::string(order) == "21_12" ? 1 : 0, std::string(order) == "21_12" ? 0 : 1);
        EXPECT_NEAR(std::abs(second), std::pow(10.0, -2.0 / 20), 1e-12) << order;
        EXPECT_NEAR(std::arg(second), -3.141592653589793 / 2, 1e-12) << order;
        EXPECT_EQ(b.version, 2);
    }
}

// Four ports in version 1 (rows over lines) and 2.0 (full and triangles) read alike.
TEST_F(Touchstone, FourPortMatricesReadAlikeInEveryFormat) {
    const line::Line odd = line::LineWithLoss(1e-9, 6, 5e9, 45), even{1.05e-9, 55, odd.lossScale, 4.0};
    const int order[4] = {0, 2, 1, 3};
    const auto grid = line::Grid(1e9, 1e9, 4e9);
    auto matrix = [&](double f) { return line::PairS(even, odd, f, 50, order); };
    std::vector<sim::Network> read;
    for (const auto& style : {line::TouchstoneStyle{1, "RI", "GHZ"}, line::TouchstoneStyle{2, "RI", "HZ", "Full"},
                              line::TouchstoneStyle{2, "RI", "MHZ", "Lower"}, line::TouchstoneStyle{2, "RI", "GHZ", "Upper"}}) {
        const std::string name = "pair_" + std::to_string(read.size()) + ".s4p";
        line::WriteTouchstone(name, 4, grid, matrix, style);
        sim::Network n;
        std::string error;
        ASSERT_TRUE(sim::ReadTouchstone(name, n, error)) << error;
        read.push_back(n);
    }
    for (const auto& n : read) {
        ASSERT_EQ(n.ports, 4);
        ASSERT_EQ(n.frequency.size(), grid.size());
        for (std::size_t k = 0; k < grid.size(); ++k)
            for (int i = 0; i < 4; ++i)
                for (int j = 0; j < 4; ++j) EXPECT_NEAR(std::abs(n.S(k, i, j) - matrix(grid[k])[static_cast<std::size_t>(i * 4 + j)]), 0, 1e-9);
    }
    // The default port choice finds the through paths of either order.
    sim::PortChoice choice;
    std::string error;
    ASSERT_TRUE(sim::ChoosePorts(read[0], {}, choice, error));
    EXPECT_EQ(choice.ports, (std::vector<int>{0, 2, 1, 3}));
    EXPECT_TRUE(choice.fromData);
    const sim::TwoPort dd = sim::UsedTwoPort(read[0], choice);
    line::Complex s11, s21;
    line::LineS(odd, grid[0], 50, s11, s21);
    EXPECT_NEAR(std::abs(dd.s[0][2] - s21), 0, 1e-9);  // SDD21 is the odd mode's S21
    EXPECT_NEAR(std::abs(dd.s[0][0] - s11), 0, 1e-9);
    EXPECT_EQ(dd.reference, 100);
}

TEST(PortList, ParsesInputsThenOutputsAndRefusesTheRest) {
    const struct {
        const char* text;
        std::vector<int> ports;  // empty: refused
    } cases[] = {{"1,2", {1, 2}}, {"1,3,2,4", {1, 3, 2, 4}}, {"2,1", {2, 1}}, {"1", {}}, {"1,2,3", {}},
                 {"1,1", {}},     {"0,1", {}},           {"1,x", {}},    {"", {}},  {"1,2,3,4,5", {}}};
    for (const auto& c : cases) {
        std::vector<int> ports;
        std::string error;
        EXPECT_EQ(sim::ParsePortList(c.text, ports, error), !c.ports.empty()) << c.text;
        if (!c.ports.empty()) EXPECT_EQ(ports, c.ports) << c.text;
        else EXPECT_NE(error.find("--ports"), std::string::npos) << c.text;
    }
}

// The power iteration for N ports agrees with the closed form of 2x2 S^H S,
// and a passive coupled pair stays below 1 while a scaled one does not.
TEST(Passivity, LargestPowerGainMatchesTheClosedFormAndFindsGain) {
    sim::Network two;
    two.ports = 2;
    const std::complex<double> values[][4] = {{{0.1, 0.2}, {0.8, -0.1}, {0.7, 0.3}, {-0.2, 0.05}},
                                              {{0.9, 0}, {0.3, 0.3}, {0.3, -0.3}, {0.1, 0.9}},
                                              {{0, 0}, {1.2, 0}, {0, 0}, {0, 0}}};
    for (const auto& v : values) {
        two.frequency = {1e9};
        two.s.assign(v, v + 4);
        sim::Network padded;  // the same 2-port inside a 3-port with an isolated third port
        padded.ports = 3;
        padded.frequency = {1e9};
        padded.s = {v[0], v[1], 0, v[2], v[3], 0, 0, 0, 0};
        EXPECT_NEAR(sim::LargestPowerGain(padded, 0), sim::LargestPowerGain2x2(two, 0), 1e-9);
    }
    // A short pair with little loss: scaled by 1.3 its power gain passes 1 everywhere.
    const line::Line odd = line::LineWithLoss(0.2e-9, 0.3, 5e9, 45), even{0.21e-9, 55, odd.lossScale, 4.0};
    const int order[4] = {0, 1, 2, 3};
    sim::Network pair;
    pair.ports = 4;
    pair.reference.assign(4, 50);
    for (double f : line::Grid(1e9, 1e9, 10e9)) {
        pair.frequency.push_back(f);
        const auto m = line::PairS(even, odd, f, 50, order);
        pair.s.insert(pair.s.end(), m.begin(), m.end());
    }
    EXPECT_EQ(sim::PassivityWarning(pair, "pair.s4p"), "");
    for (auto& s : pair.s) s *= 1.3;
    EXPECT_NE(sim::PassivityWarning(pair, "pair.s4p").find("pair.s4p is not passive from 1 to 10 GHz"), std::string::npos);
}
