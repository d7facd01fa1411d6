// Channel files through velkor-sim as a user gives them: malformed and absurd
// Touchstone and time-value files refused with file and line, and the same line
// on any grid, band, delay, port count and version running to the same eye.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/LineModel.h"
#include "support/Process.h"
#include "support/ScratchDirectory.h"

namespace {

ProcessResult Simulate(const std::string& arguments) { return RunProcess(std::string(VELKOR_SIM_PATH) + " " + arguments); }

// The number after `key` in the text; -1 when absent.
double After(const std::string& text, const std::string& key) {
    const auto p = text.find(key);
    return p == std::string::npos ? -1 : std::atof(text.c_str() + p + key.size());
}

class ChannelFiles : public testing::Test {
protected:
    ScratchDirectory scratch;
};

const char* const kRow2 = "0.1 0 0 0.9 -10 0.9 -10 0 0\n";  // a plausible 2-port point at 0.1 GHz

}  // namespace

TEST_F(ChannelFiles, MalformedAndAbsurdFilesAreRefusedWithFileAndLine) {
    const struct {
        const char* name;
        std::string text;
        const char* extra;    // further arguments
        const char* message;  // expected in the output
        int status;
    } cases[] = {
        // Values no S-parameter has, and frequencies no sweep has.
        {"db.s2p", std::string("# GHz S DB R 50\n") + "0.1 0 0 1e300 0 0 0 0 0\n0.2 0 0 -1 0 0 0 0 0\n", "",
         "db.s2p:2: a value above 120 dB is no S-parameter", 1},
        {"ma.s2p", std::string("# GHz S MA R 50\n") + kRow2 + "0.2 0 0 1e300 0 0.9 0 0 0\n", "",
         "ma.s2p:3: a magnitude must lie between 0 and 1e6", 1},
        {"ri.s2p", std::string("# GHz S RI R 50\n") + kRow2 + "0.2 0 0 -2e6 0 0 0 0 0\n", "",
         "ri.s2p:3: a value beyond 1e6 in magnitude is no S-parameter", 1},
        {"nan.s2p", std::string("# GHz S RI R 50\n") + kRow2 + "0.2 0 0 nan 0 0 0 0 0\n", "",
         "nan.s2p:3: 'nan' is not a finite number", 1},
        {"angle.s2p", std::string("# GHz S MA R 50\n") + kRow2 + "0.2 0 0 0.5 1e300 0 0 0 0\n", "",
         "angle.s2p:3: an angle beyond 1e6 degrees", 1},
        {"negative.s2p", std::string("# GHz S MA R 50\n") + "-0.1 0 0 0.9 -10 0.9 -10 0 0\n" + kRow2, "",
         "negative.s2p:2: a negative frequency", 1},
        {"options.s2p", std::string("# GHz S MA R 50\n# MHz S RI R 50\n") + kRow2, "",
         "options.s2p:2: a second option line (the first is on line 1)", 1},
        {"descending.s2p", std::string("# GHz S MA R 50\n") + "0.2 0 0 0.9 -10 0.9 -10 0 0\n" + kRow2, "",
         "descending.s2p:3: frequencies must ascend", 1},
        {"ohms.s2p", "# GHz S MA R -5\n", "", "ohms.s2p:1: R needs a positive reference resistance", 1},
        {"unit.s2p", "# THz S MA R 50\n", "", "unit.s2p:1: 'THz' is no option of a Touchstone file", 1},
        {"words.s2p", "# GHz S MA R 50\nfrequency S11\n", "", "words.s2p:2: 'frequency' is not a number", 1},
        {"empty.s2p", "", "", "empty.s2p:0: the file holds 0 frequency of 2-port data", 1},
        // A 4-port point is 33 numbers over four lines; one short shifts the next frequency.
        {"short.s4p", "# GHz S RI R 50\n1 0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0 0\n0 0 0 0 0 0 0\n2 0 0\n",
         "", "short.s4p:6: a line starts inside a complex value", 1},
        {"three.s3p", "# GHz S RI R 50\n1 0 0 0 0 0 0\n0 0 0 0 0 0\n0 0 0 0 0 0\n2 0 0 0 0 0 0\n0 0 0 0 0 0\n0 0 0 0 0 0\n",
         "", "needs --ports IN,OUT", 1},
        {"port5.s4p", "", "--ports 1,5,2,3", "--ports names port 5 of a 4-port file", 1},
        // Touchstone 2.0 keywords.
        {"version.ts", "[Version] 3.0\n", "", "version.ts:1: [Version] 3.0 is not read", 1},
        {"order.ts", "[Version] 2.0\n# GHz S RI R 50\n[Number of Ports] 2\n[Network Data]\n" + std::string(kRow2) + "0.2 0 0 0.9 -10 0.9 -10 0 0\n[End]\n",
         "", "a 2-port version 2 file needs [Two-Port Data Order]", 1},
        {"count.ts", "[Version] 2.0\n# GHz S MA R 50\n[Number of Ports] 2\n[Two-Port Data Order] 12_21\n[Number of Frequencies] 3\n[Network Data]\n" +
                         std::string(kRow2) + "0.2 0 0 0.9 -10 0.9 -10 0 0\n[End]\n",
         "", "[Number of Frequencies] says 3 but 2 are given", 1},
        {"named.s4p", "[Version] 2.0\n# GHz S MA R 50\n[Number of Ports] 2\n", "", "[Number of Ports] says 2 but the name says 4", 1},
        {"outside.ts", "[Version] 2.0\n# GHz S MA R 50\n[Number of Ports] 2\n1 2 3\n", "", "outside.ts:4: numbers outside [Network Data]", 1},
        {"mixed.ts", "[Version] 2.0\n# GHz S MA R 50\n[Number of Ports] 4\n[Mixed-Mode Order] D2,1 C2,1\n", "",
         "mixed.ts:4: mixed-mode data are not read", 1},
        {"keyword.ts", "[Version] 2.0\n[Frobnicate] 1\n", "", "keyword.ts:2: unknown keyword [Frobnicate]", 1},
        {"references.ts", "[Version] 2.0\n# GHz S MA R 50\n[Number of Ports] 2\n[Two-Port Data Order] 12_21\n[Reference] 50\n[Network Data]\n" +
                              std::string(kRow2) + "0.2 0 0 0.9 -10 0.9 -10 0 0\n",
         "", "[Reference] gives 1 impedances for 2 ports", 1},
        {"admittance.s2p", "# GHz Y MA R 50\n", "", "admittance.s2p:1: only S-parameters are read, not 'Y'", 1},
        // Time-value files: a third column is no part of a time-value pair.
        {"extra.txt", "0 0 5\n1e-12 1\n", "", "extra.txt:1: expected a time and a value, found more: '5'", 1},
        {"huge.txt", "0 0\n1e-12 1e300\n", "", "huge.txt:2: a time beyond 1 s or a value beyond 1e20", 1},
        {"ports.txt", "0 0\n1e-12 1\n", "--ports 1,2", "--ports is for Touchstone files", 1},
        {"bad_ports.s2p", "", "--ports 1,1", "--ports needs two different ports", 2},
    };
    // A plausible 4-port for the --ports cases.
    {
        std::ofstream s4p("port5.s4p");
        s4p << "# GHz S RI R 50\n";
        for (double f : {1.0, 2.0}) s4p << f << " 0 0 0.9 0 0 0 0 0\n0.9 0 0 0 0 0 0 0\n0 0 0 0 0 0 0.9 0\n0 0 0 0 0.9 0 0 0\n";
    }
    for (const auto& c : cases) {
        if (!c.text.empty() || std::string(c.name) == "empty.s2p") std::ofstream(c.name) << c.text;
        const ProcessResult o = Simulate(std::string("--bits 2000 --channel ") + c.name + " " + c.extra);
        EXPECT_FALSE(o.signalled) << c.name;
        EXPECT_EQ(o.status, c.status) << c.name << "\n" << o.out;
        EXPECT_NE(o.out.find(c.message), std::string::npos) << c.name << "\n" << o.out;
    }
    const ProcessResult early = Simulate("--ports 1,2 --channel x.s2p");
    EXPECT_EQ(early.status, 2);
    EXPECT_NE(early.out.find("--ports names the ports of the --channel before it"), std::string::npos) << early.out;
}

namespace {

std::vector<line::Complex> TwoPortMatrix(const line::Line& l, double f) {
    line::Complex s11, s21;
    line::LineS(l, f, 50, s11, s21);
    return {s11, s21, s21, s11};
}

struct RunFigures {
    double mainCursor = -1, eye = -1, errors = -1;
    std::string out;
};

RunFigures RunLine(const std::string& channel) {
    RunFigures r;
    // Long enough for the loop to lock once its frequency integrator has settled (about 25 000 bits).
    const ProcessResult o = Simulate("--channel " + channel + " --bits 60000 --param CDR_Threshold=2");
    r.out = o.out;
    if (o.status != 0) return r;
    r.mainCursor = After(o.out, "Pulse:      main cursor ");
    r.eye = After(o.out, "Eye:        height ");
    r.errors = After(o.out, "Bit errors: ");
    return r;
}

}  // namespace

// The same 12 dB line given as tools export it: the pulse's main cursor and the
// eye within 2 % of the full-grid run's, no errors, and the loss at Nyquist said.
TEST_F(ChannelFiles, OneLineOnAnyGridRunsToTheSameEye) {
#ifdef VELKOR_SANITIZED
    const double delays[] = {40e-9};  // the sanitizers make each run slow: the long channel only
#else
    const double delays[] = {2e-9, 40e-9};
#endif
    for (double delay : delays) {
        const line::Line l = line::LineWithLoss(delay, 12, 5e9);
        const line::Line odd = line::LineWithLoss(delay, 12, 5e9, 45), even{delay * 1.05, 55, odd.lossScale, 4.0};
        auto two = [&](double f) { return TwoPortMatrix(l, f); };
        line::WriteTouchstone("full.s2p", 2, line::Grid(10e6, 10e6, 40e9), two, {});
        const RunFigures reference = RunLine("full.s2p");
        ASSERT_GT(reference.eye, 0) << reference.out;
        EXPECT_EQ(reference.errors, 0) << reference.out;
        EXPECT_NE(reference.out.find("Loss:       12.00 dB at 5 GHz"), std::string::npos) << reference.out;
        line::WriteTouchstone("late.s2p", 2, line::Grid(1e9, 10e6, 40e9), two, {});
        line::WriteTouchstone("coarse.s2p", 2, line::Grid(250e6, 250e6, 40e9), two, {1, "DB", "MHZ"});
        line::WriteTouchstone("version2.ts", 2, line::Grid(300e6, 10e6, 30e9), two, {2, "MA", "HZ", "Full", "12_21", 50});
        const int nearFar[4] = {0, 2, 1, 3};
        line::WriteTouchstone("pair.s4p", 4, line::Grid(10e6, 20e6, 30e9),
                              [&](double f) { return line::PairS(even, odd, f, 50, nearFar); }, {});
        line::WriteTouchstone("odd.s2p", 2, line::Grid(10e6, 10e6, 40e9), [&](double f) { return TwoPortMatrix(odd, f); }, {});
        const RunFigures oddReference = RunLine("odd.s2p");
        const struct {
            const char* channel;
            const RunFigures& against;
        } cases[] = {{"late.s2p", reference}, {"coarse.s2p", reference}, {"version2.ts", reference},
                     {"pair.s4p", oddReference}, {"pair.s4p --ports 1,3,2,4", oddReference}};
        for (const auto& c : cases) {
            const RunFigures got = RunLine(c.channel);
            const std::string what = std::string(c.channel) + ", delay " + std::to_string(delay * 1e9) + " ns\n" + got.out;
            EXPECT_NEAR(got.mainCursor, c.against.mainCursor, 0.02 * c.against.mainCursor) << what;
            EXPECT_NEAR(got.eye, c.against.eye, 0.02 * c.against.eye) << what;
            EXPECT_EQ(got.errors, 0) << what;
        }
    }
}

namespace {

std::string Slurp(const std::string& path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

// Every channel's loss at Nyquist, its warnings and the transmitter in the
// summary and metrics.json; the insertion loss and the pulse's cursors in the report.
TEST_F(ChannelFiles, ReportShowsTheChannelAsUsed) {
    const line::Line l = line::LineWithLoss(2e-9, 12, 5e9);
    line::WriteTouchstone("band.s2p", 2, line::Grid(1e9, 20e6, 4e9), [&](double f) { return TwoPortMatrix(l, f); }, {});
    const struct {
        std::string arguments;
        double loss;
        const char* warning;      // in the summary and metrics.json, "" for none
        const char* transmitter;  // in the summary, "" for none
    } cases[] = {
        {"", 12, "", ""},
        {"--channel band.s2p", 12, "the data end at 4 GHz", ""},
        {"--loss 20 --tx-ffe -0.1,0.7,-0.2 --rise-time 30e-12", 20, "",
         "Transmitter: FFE pre 1 -0.1, main 0.7, post 1 -0.2; rise time 30 ps (20-80 %, Gaussian edge)"},
    };
    for (const auto& c : cases) {
        const ProcessResult o = Simulate(c.arguments + " --bits 3000 --out report");
        ASSERT_EQ(o.status, 0) << c.arguments << "\n" << o.out;
        const auto metrics = nlohmann::json::parse(Slurp("report/metrics.json"));
        EXPECT_NEAR(metrics["channel_loss_nyquist_db"].get<double>(), c.loss, 0.1) << c.arguments;
        EXPECT_NEAR(After(o.out, "Loss:       "), c.loss, 0.01) << o.out;
        EXPECT_GT(metrics["pulse_main_cursor"].get<double>(), 0) << c.arguments;
        const std::string report = Slurp("report/report.html");
        EXPECT_NE(report.find("id=\"insertion-loss\""), std::string::npos);
        EXPECT_NE(report.find("Nyquist: "), std::string::npos);
        EXPECT_NE(report.find(">main "), std::string::npos);
        EXPECT_NE(report.find(">post "), std::string::npos);
        if (*c.warning) {
            EXPECT_NE(o.out.find(std::string("Warning:    ") + c.warning), std::string::npos) << o.out;
            EXPECT_NE(metrics["channel_warnings"].dump().find(c.warning), std::string::npos) << c.arguments;
            EXPECT_NE(report.find("extension beyond the data"), std::string::npos);  // drawn dashed
        } else {
            EXPECT_TRUE(metrics["channel_warnings"].empty()) << c.arguments;
        }
        if (*c.transmitter) {
            EXPECT_NE(o.out.find(c.transmitter), std::string::npos) << o.out;
        }
    }
}
