#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <csignal>
#include <unistd.h>

#include <cstdio>
#include <cmath>
#include <complex>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/ScratchDirectory.h"
#include "support/SimRun.h"

namespace {

class VelkorSim : public testing::Test {
protected:
    ScratchDirectory scratch;
};

}  // namespace

TEST_F(VelkorSim, DefaultRunLocksAdaptsAndHasNoErrorsAfterLock) {
    const Outcome o = Simulate("--out report");
    ASSERT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("Lock:       after"), std::string::npos) << o.out;
    EXPECT_NE(o.out.find("Bit errors: 0 in"), std::string::npos) << o.out;
    const double initial = Field(o.out, "Gain code:  ");
    const double final = Field(o.out, "Gain code:  ", " -> ");
    EXPECT_EQ(initial, 7);
    EXPECT_NE(final, 7) << o.out;
    EXPECT_FALSE(std::filesystem::exists("Velrok.adapt"));  // the model ran in a folder of its own
    // The state the model reported after its last block names the same final gain code.
    EXPECT_EQ(Field(o.out, "Model state: (Velkor_Rx (gain_code "), final) << o.out;

    // The report holds the four plots; metrics.json agrees with the summary.
    const std::string html = Slurp("report/report.html");
    for (const char* id : {"id=\"eye\"", "id=\"eye-before\"", "id=\"bathtub\"", "id=\"adaptation\"", "id=\"clock\"", "id=\"pulse\""})
        EXPECT_NE(html.find(id), std::string::npos) << id;
    std::size_t svgs = 0;
    for (auto p = html.find("<svg"); p != std::string::npos; p = html.find("<svg", p + 1)) ++svgs;
    EXPECT_GE(svgs, 7u);
    EXPECT_EQ(html.substr(html.size() - 8), "</html>\n");
    const std::string json = Slurp("report/metrics.json");
    EXPECT_EQ(Field(json, "\"bit_errors\": "), 0);
    EXPECT_EQ(Field(json, "\"final_gain_code\": "), final);
    EXPECT_EQ(Field(json, "\"model_state\": \"(Velkor_Rx (gain_code "), final);
    const double eye = Field(o.out, "height ");
    EXPECT_NEAR(Field(json, "\"eye_height\": ") * 1e3, eye, 0.06);
    EXPECT_EQ(Field(json, "\"lock_bits\": "), Field(o.out, "Lock:       after "));
    if (std::system("python3 -c 'import json,sys' >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system("python3 -c 'import json; json.load(open(\"report/metrics.json\"))'"), 0);
        EXPECT_EQ(std::system("python3 -c 'import xml.dom.minidom as m; m.parse(\"report/report.html\")'"), 0);
    }
}

TEST_F(VelkorSim, GainCodeFarFromTheRightOneClosesTheEye) {
    const Outcome adapted = Simulate("--bits 120000 --param CDR_Threshold=3");
    const Outcome held = Simulate("--bits 120000 --param CDR_Threshold=3 --param anlg_eql_gaincode=16");
    ASSERT_EQ(adapted.status, 0) << adapted.out;
    ASSERT_EQ(held.status, 0) << held.out;
    const double good = Field(adapted.out, "height ");
    const double bad = Field(held.out, "height ");
    EXPECT_GT(good, 300) << adapted.out;
    EXPECT_LT(bad, good / 2) << held.out;
}

TEST_F(VelkorSim, BadInputsGiveMessagesAndNonZeroStatus) {
    std::ofstream("bad.ami") << "(Velkor_Rx (Model_Specific (corner (Usage In)";
    std::ofstream("bad_channel.txt") << "0 0\n1e-12 0.5\n5e-13 1\n";
    std::ofstream("words.txt") << "time value\n";
    std::ofstream("short.s2p") << "# GHz S MA R 50\n1 0 0 0.9 -10 0.9 -10 0 0\n";
    std::ofstream("admittance.s2p") << "# GHz Y MA R 50\n";
    std::ofstream("one_port.s2p") << "# GHz S MA R 50\n1 0.9 -10\n2 0.9 -20\n";
    std::ofstream("control\x01name.txt") << "0 0\n\x02 1\n";
    const struct {
        std::string arguments, message;
        int status;
    } cases[] = {
        {"--library /nonexistent/libnothing.so", "cannot load the model library", 1},
        {std::string("--library ") + VELKOR_INCOMPLETE_MODEL, "lacks AMI_GetWave AMI_Close", 1},
        {std::string("--library ") + VELKOR_FAILING_MODEL, "AMI_Init failed: Fake model refuses to start.", 1},
        {"--ami bad.ami", "does not parse: mismatched parentheses", 1},
        {"--ami /nonexistent.ami", "cannot open the parameter file", 1},
        {"--channel bad_channel.txt", "times must ascend strictly", 1},
        {"--channel words.txt", "expected a time and a value, found 'time'", 1},
        {"--channel /nonexistent.txt", "cannot open the channel file", 1},
        {"--channel short.s2p", "short.s2p:2: the file holds 1 frequency of 2-port data; at least two are needed", 1},
        {"--channel admittance.s2p", "only S-parameters are read, not 'Y'", 1},
        {"--param nonsense=3", "unknown parameter 'nonsense'", 2},
        {"--param corner", "--param expects NAME=VALUE", 2},
        // Values the kit's .ami does not allow are refused, as a simulator refuses them.
        {"--param anlg_eql_gaincode=99", "outside the Range of anlg_eql_gaincode in the .ami: -1 to 16", 2},
        {"--param corner=7", "not in the List of corner in the .ami: 0 1 2", 2},
        {"--param CDR_Threshold=1.5", "CDR_Threshold is of Type Integer", 2},
        {"--param anlg_eql_gainboost=yes", "anlg_eql_gainboost is of Type Integer and needs a number", 2},
        {"--channel one_port.s2p", "one_port.s2p:2: 6 numbers for the last frequency; a 2-port point holds 9", 1},
        {"--channel /dev/zero", "the channel file '/dev/zero' is not a regular file", 1},
        {"--channel /dev/zero --step", "the channel file '/dev/zero' is not a regular file", 1},
        {"--ami /dev/zero", "the parameter file '/dev/zero' is not a regular file", 1},
        {"--channel control*name.txt", "control\\x01name.txt:2: expected a time and a value, found '\\x02'", 1},
        {"--block 1e8", "--block needs a whole number from 1 to 1048576", 2},
        {"--bits 2e8 --samples-per-bit 1024", "asks for more than 4e+09 samples", 2},
        {"--bit-rate 1e12 --samples-per-bit 1000", "asks for a sample interval below 1e-13 s", 2},
        {"--pattern 9", "PRBS-7, -15, -23 or -31", 2},
        {"--bits", "needs a value", 2},
        {"--samples-per-bit 2", "--samples-per-bit needs a whole number", 2},
        {"--frobnicate 1", "unknown option", 2},
        {"--sj 0.3", "--sj needs UI@HZ", 2},
        {"--sj 0.3@-5", "--sj needs UI@HZ", 2},
        {"--sj x@1M", "--sj needs UI@HZ", 2},
        {"--sj 0.1@6G", "--sj at 6e+09 Hz is above half the bit rate", 2},
        {"--rj 1", "--rj needs a number from 0 to 0.3", 2},
        {"--dj -0.1", "--dj needs a number from 0 to 1", 2},
        {"--ppm 20000", "--ppm needs a number from -10000 to 10000", 2},
        {"--ssc 5000 --ssc-freq 1G", "--ssc-freq must stay below a hundredth of the bit rate", 2},
    };
    for (const auto& c : cases) {
        const Outcome o = Simulate("--bits 20000 " + c.arguments);
        EXPECT_EQ(o.status, c.status) << c.arguments << "\n" << o.out;
        EXPECT_NE(o.out.find(c.message), std::string::npos) << c.arguments << "\n" << o.out;
    }
    const Outcome help = Simulate("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("usage: velkor-sim"), std::string::npos);
}

TEST_F(VelkorSim, ChannelFromAStepResponseFile) {
    std::ofstream step("step.txt");
    for (int i = 0; i <= 400; ++i) step << i * 1e-12 << " " << 1 - std::exp(-i / 30.0) << "\n";
    step.close();
    const Outcome o = Simulate("--channel step.txt --step --bits 60000 --param CDR_Threshold=3 --pattern PRBS-7");
    ASSERT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("step response from step.txt"), std::string::npos);
    EXPECT_NE(o.out.find("Bit errors: 0 in"), std::string::npos) << o.out;
}

TEST_F(VelkorSim, ChannelFromATouchstoneFile) {
    // S21 of a first-order 8 GHz low-pass with 100 ps of delay, 10 MHz to 40 GHz.
    std::ofstream s2p("lowpass.s2p");
    s2p << "! first-order low-pass\n# GHz S RI R 50\n";
    for (int k = 1; k <= 4000; ++k) {
        const double f = k * 0.01;
        const std::complex<double> h = 1.0 / std::complex<double>(1.0, f / 8.0) *
                                       std::exp(std::complex<double>(0, -2 * 3.141592653589793 * f * 0.1));
        s2p << f << " 0 0 " << h.real() << " " << h.imag() << " " << h.real() << " " << h.imag() << " 0 0\n";
    }
    s2p.close();
    const Outcome o = Simulate("--channel lowpass.s2p --bits 60000 --param CDR_Threshold=3");
    ASSERT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("S21 of lowpass.s2p"), std::string::npos);
    EXPECT_NE(o.out.find("Bit errors: 0 in"), std::string::npos) << o.out;
}

namespace {

// S21 of a clean line: a first-order 8 GHz low-pass and a flight time, written
// in one of the three data formats (RI, MA or DB).
void WriteCleanLine(const std::string& path, double flightTime, const std::string& format) {
    std::ofstream s2p(path);
    s2p << "# GHz S " << format << " R 50\n";
    for (int k = 1; k <= 2000; ++k) {
        const double f = k * 0.02;
        const std::complex<double> h = 1.0 / std::complex<double>(1.0, f / 8.0) *
                                       std::exp(std::complex<double>(0, -2 * 3.141592653589793 * f * 1e9 * flightTime));
        double a = h.real(), b = h.imag();
        if (format != "RI") {
            a = format == "DB" ? 20 * std::log10(std::abs(h)) : std::abs(h);
            b = std::arg(h) * 180 / 3.141592653589793;
        }
        s2p << f << " 0 0 " << a << " " << b << " " << a << " " << b << " 0 0\n";
    }
}

// Peak memory of a child process, in kB.
[[maybe_unused]] long PeakKilobytes(const std::string& arguments) {
    const pid_t child = fork();
    if (child == 0) {
        const int devnull = open("/dev/null", O_WRONLY);
        dup2(devnull, 1);
        dup2(devnull, 2);
        execl("/bin/sh", "sh", "-c", (std::string(VELKOR_SIM_PATH) + " " + arguments).c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? usage.ru_maxrss : -1;
}

}  // namespace

// Every flight time across one unit interval, in 1/16-UI steps: the decisions
// must follow the bits whatever phase the clock samples at.
TEST_F(VelkorSim, CleanLineOfAnyFlightTimeHasNoErrors) {
#ifdef VELKOR_SANITIZED
    const int stride = 5;  // a few phases only: the sanitizers make each run slow
#else
    const int stride = 1;
#endif
    const char* formats[] = {"RI", "MA", "DB"};
    for (int step = 0; step < 16; step += stride) {
        const double flight = 0.5e-9 + step * 100e-12 / 16;
        WriteCleanLine("line.s2p", flight, formats[step % 3]);
        const Outcome o = Simulate("--channel line.s2p --bits 50000 --param CDR_Threshold=2");
        ASSERT_EQ(o.status, 0) << o.out;
        EXPECT_NE(o.out.find("Bit errors: 0 in"), std::string::npos) << "flight " << flight << "\n" << o.out;
        EXPECT_EQ(o.out.find("Slips"), std::string::npos) << o.out;
        EXPECT_GT(Field(o.out, "Bit errors: 0 in "), 5000) << o.out;
    }
}

// Known Gaussian noise through a model that changes nothing: the counted BER's
// 95 % interval must hold the Q-function value, and the eye must say it is closed.
TEST_F(VelkorSim, GaussianNoiseGivesTheQFunctionBer) {
    std::ofstream("step.txt") << "0 0\n1e-11 1\n1e-10 1\n";
    const struct {
        double amplitude, noise;
        int bits;
    } cases[] = {{0.4, 0.056, 100000}, {0.3, 0.035, 200000}};
    for (const auto& c : cases) {
        char arguments[256];
        std::snprintf(arguments, sizeof arguments,
                      "--library %s --channel step.txt --step --amplitude %g --noise %g --bits %d --out noisy",
                      VELKOR_PASS_THROUGH_MODEL, c.amplitude, c.noise, c.bits);
        const Outcome o = Simulate(arguments);
        ASSERT_EQ(o.status, 0) << o.out;
        const std::string json = Slurp("noisy/metrics.json");
        // --noise is the rms in a band as wide as the bit rate: each of the 16 samples
        // per bit carries sqrt(16 / 2) times that.
        const double expected = 0.5 * std::erfc(c.amplitude / (c.noise * std::sqrt(8.0)) / std::sqrt(2.0));
        EXPECT_LE(Field(json, "\"ber_low\": "), expected) << o.out;
        EXPECT_GE(Field(json, "\"ber_high\": "), expected) << o.out;
        EXPECT_EQ(Field(json, "\"lock_bits\": "), 0);
        EXPECT_NE(o.out.find("Eye:        closed: height -"), std::string::npos) << o.out;
        EXPECT_NE(json.find("\"eye_open\": false"), std::string::npos);
    }
}

// A lost clock edge is one slip, not a burst of errors; zero errors carry their
// confidence limit.
TEST_F(VelkorSim, LostClockEdgeIsASlip) {
    std::ofstream("pass.ami") << "(PassThrough (Model_Specific (drop_edge (Usage In) (Type Integer)"
                                 " (Format Range 0 0 100000000) (Default 0))))\n";
    std::ofstream("step.txt") << "0 0\n1e-11 1\n1e-10 1\n";
    const std::string common = std::string("--library ") + VELKOR_PASS_THROUGH_MODEL +
                               " --ami pass.ami --channel step.txt --step --bits 30000";
    const Outcome slipped = Simulate(common + " --param drop_edge=20000");
    ASSERT_EQ(slipped.status, 0) << slipped.out;
    EXPECT_NE(slipped.out.find("Slips:      1 clock edges lost"), std::string::npos) << slipped.out;
    EXPECT_NE(slipped.out.find("Bit errors: 0 in 29999 bits"), std::string::npos) << slipped.out;
    const Outcome clean = Simulate(common);
    EXPECT_NE(clean.out.find("Bit errors: 0 in 30000 bits after lock; BER < 1.0e-4 (95 % confidence, 30 000 bits)"),
              std::string::npos)
        << clean.out;
    EXPECT_EQ(Simulate(common + " --param drop_edge=-3").status, 2);
}

// A transmitter off frequency by 300 ppm, within the loop's frequency range, is
// tracked: lock, no errors, and a recovered period that follows the transmitter's.
TEST_F(VelkorSim, FrequencyOffsetOf300PpmIsTracked) {
    for (const double ppm : {300.0, -300.0}) {
        const Outcome o = Simulate("--bits 60000 --param CDR_Threshold=2 --ppm " + std::to_string(ppm) + " --out offset");
        ASSERT_EQ(o.status, 0) << o.out;
        EXPECT_NE(o.out.find("Bit errors: 0 in"), std::string::npos) << ppm << "\n" << o.out;
        EXPECT_EQ(o.out.find("Slips"), std::string::npos) << o.out;
        const std::string json = Slurp("offset/metrics.json");
        EXPECT_NE(json.find("\"locked\": true"), std::string::npos);
        EXPECT_NEAR(Field(json, "\"clock_period_mean\": ") * 1e12, 100 / (1 + ppm * 1e-6), 0.002) << ppm;
        EXPECT_EQ(Field(json, "\"tx_ppm\": "), ppm);
        EXPECT_LT(Field(json, "\"tracking_error_rms_ui\": "), 0.1);
        const std::string report = Slurp("offset/report.html");
        for (const char* id : {"id=\"clock-phase\"", "id=\"tracking\"", "id=\"tracking-spectrum\""})
            EXPECT_NE(report.find(id), std::string::npos) << id;
    }
}

// Under slow, large SJ a clock not yet acquired can hold its phase against the
// transmitter's well enough to pass for lock; lock waits for the loop's
// frequency integrator to reach the transmitter's offset, and the run then
// decides every bit right. The tracking error is not wrapped at half a UI.
TEST_F(VelkorSim, SlowLargeSjLocksOnlyOnceTheLoopHasAcquired) {
    const Outcome o = Simulate("--bits 60000 --param CDR_Threshold=2 --sj 0.3@3e5 --out sj");
    ASSERT_EQ(o.status, 0) << o.out;
    EXPECT_NE(o.out.find("Bit errors: 0 in"), std::string::npos) << o.out;
    const std::string json = Slurp("sj/metrics.json");
    EXPECT_GE(Field(json, "\"alignment_agreement\": "), 0.99);
    EXPECT_GT(Field(json, "\"lock_bits\": "), 10000) << "the integrator unwinds first";
    EXPECT_LT(Field(json, "\"tracking_error_peak_ui\": "), 0.5);
}

// Slips and the tracking error are judged against what the transmitter sent
// when the receiver decides it: from the mean phase of the stretch at lock (its
// first edge may sit anywhere in an SJ cycle) and with the channel's delay taken
// off. SJ of 0.3 UI at 5 MHz is followed, with no slip; through a channel of
// 20 ns its error stays that of the short channel. The rms error averages over
// the run after lock: 120000 bits, so that the stretch right after lock (a few
// SJ periods) does not decide it.
TEST_F(VelkorSim, SinusoidalJitterTheLoopFollowsIsNeitherASlipNorError) {
    std::ofstream step("late_step.txt");
    for (int i = 0; i <= 20400; ++i) step << i * 1e-12 << " " << (i < 20000 ? 0.0 : 1 - std::exp(-(i - 20000) / 30.0)) << "\n";
    step.close();
    double rms[2] = {0, 0};
    for (const int late : {0, 1}) {
        const Outcome o = Simulate(std::string("--bits 120000 --param CDR_Threshold=2 --sj 0.3@5e6 --out follow") +
                                   (late ? " --channel late_step.txt --step" : ""));
        ASSERT_EQ(o.status, 0) << o.out;
        EXPECT_EQ(o.out.find("Slips"), std::string::npos) << o.out;
        const std::string json = Slurp("follow/metrics.json");
        EXPECT_LT(Field(json, "\"ber_high\": "), 1e-2) << o.out;
        rms[late] = Field(json, "\"tracking_error_rms_ui\": ");
        EXPECT_GT(rms[late], 0.0);
        EXPECT_LT(rms[late], 0.12) << o.out;
    }
    EXPECT_NEAR(rms[1], rms[0], 0.03);
}

// A run that never locks still writes its summary and report; the lock point
// is decided while the run goes, so a longer run finds the same one.
TEST_F(VelkorSim, LockIsCausalAndRunsThatDoNotLockStillReport) {
    for (const char* arguments : {"--bits 20000", "--bits 20000 --loss 30"}) {
        const Outcome o = Simulate(std::string(arguments) + " --out unlocked");
        ASSERT_EQ(o.status, 0) << arguments << "\n" << o.out;
        EXPECT_FALSE(o.signalled);
        EXPECT_NE(o.out.find("not locked after"), std::string::npos) << o.out;
        EXPECT_NE(o.out.find("loop settings 2 and 3 lock faster, or give more bits"), std::string::npos);
        const std::string html = Slurp("unlocked/report.html");
        ASSERT_GT(html.size(), 8u);
        EXPECT_EQ(html.substr(html.size() - 8), "</html>\n");
        EXPECT_NE(Slurp("unlocked/metrics.json").find("\"locked\": false"), std::string::npos);
    }
    const Outcome shorter = Simulate("--bits 50000 --param CDR_Threshold=2");
    const Outcome longer = Simulate("--bits 80000 --param CDR_Threshold=2");
    ASSERT_NE(shorter.out.find("Lock:       after "), std::string::npos) << shorter.out;
    EXPECT_EQ(Field(shorter.out, "Lock:       after "), Field(longer.out, "Lock:       after ")) << longer.out;
}

// The analysis keeps fixed-size sums, so memory does not follow the run length.
TEST_F(VelkorSim, MemoryDoesNotGrowWithTheRun) {
#ifdef VELKOR_SANITIZED
    GTEST_SKIP() << "the sanitizers' own memory hides the tool's";
#else
    const long small = PeakKilobytes("--bits 50000 --samples-per-bit 8 --param CDR_Threshold=2");
    const long large = PeakKilobytes("--bits 500000 --samples-per-bit 8 --param CDR_Threshold=2");
    ASSERT_GT(small, 0);
    ASSERT_GT(large, 0);
    EXPECT_LT(large, small * 3 / 2) << small << " kB against " << large << " kB";
#endif
}

// Every write is checked: a report that cannot be written is an error naming
// the path and the reason, never a success.
TEST_F(VelkorSim, WriteFailuresAreReported) {
    std::filesystem::create_directories("folder/report.html");
    std::filesystem::create_directories("full");
    std::filesystem::create_symlink("/dev/full", "full/metrics.json");
    const struct {
        const char* out;
        const char* message;
    } cases[] = {
        {"folder", "cannot write '"},
        {"full", "full/metrics.json': No space left on device"},
    };
    for (const auto& c : cases) {
        const Outcome o = Simulate(std::string("--bits 2000 --out ") + c.out);
        EXPECT_EQ(o.status, 1) << o.out;
        EXPECT_NE(o.out.find(c.message), std::string::npos) << o.out;
        EXPECT_EQ(o.out.find("Report:"), std::string::npos) << o.out;
    }
    EXPECT_NE(Simulate("--bits 2000 --out folder").out.find("report.html': Is a directory"), std::string::npos);
}

// Ctrl-C stops the run after the current block: the summary says where, the
// model's scratch folder is gone, the status is that of the signal.
TEST_F(VelkorSim, InterruptedRunCleansUpAndSaysWhereItStopped) {
    std::filesystem::create_directories("tmp");
    const std::string tmp = std::filesystem::absolute("tmp").string();
    const pid_t child = fork();
    if (child == 0) {
        setenv("TMPDIR", tmp.c_str(), 1);
        const int log = open("run.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(log, 1);
        dup2(log, 2);
        execl(VELKOR_SIM_PATH, VELKOR_SIM_PATH, "--bits", "100000000", "--out", "stopped", static_cast<char*>(nullptr));
        _exit(127);
    }
    // Wait for the model's scratch folder, then interrupt.
    for (int i = 0; i < 600 && std::filesystem::is_empty(tmp); ++i) usleep(50000);
    ASSERT_FALSE(std::filesystem::is_empty(tmp));
    kill(child, SIGINT);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 130);
    EXPECT_TRUE(std::filesystem::is_empty(tmp));
    const std::string log = Slurp("run.log");
    EXPECT_NE(log.find("Stopped:    interrupted by SIGINT at sample "), std::string::npos) << log;
    EXPECT_NE(Slurp("stopped/metrics.json").find("\"stopped\": \"interrupted by SIGINT"), std::string::npos);
}

// A point's figures depend on its values and seed alone: shards run apart and
// merged give the unsharded sweep's table row for row, whatever the job count.
TEST_F(VelkorSim, ShardedSweepMergesIntoTheUnshardedOne) {
    const std::string grid = "sweep --grid noise=0,0.08 --grid CDR_Threshold=2,3 --bits 40000 --loss 6 --seed 7";
    const Outcome whole = Simulate(grid + " --jobs 2 --out whole");
    ASSERT_EQ(whole.status, 0) << whole.out;
    EXPECT_NE(whole.out.find("4 of 4 points (shard 1/1), 0 failed"), std::string::npos) << whole.out;
    for (const char* shard : {"1/2", "2/2"}) {
        const Outcome o = Simulate(grid + " --jobs 1 --shard " + shard + " --out shard" + std::string(1, shard[0]));
        ASSERT_EQ(o.status, 0) << o.out;
        EXPECT_NE(o.out.find("2 of 4 points"), std::string::npos) << o.out;
    }
    EXPECT_TRUE(std::filesystem::exists("shard1/points/0002/metrics.json"));
    EXPECT_FALSE(std::filesystem::exists("shard1/points/0001"));
    const Outcome merged = Simulate("merge shard2 shard1 --out merged");
    ASSERT_EQ(merged.status, 0) << merged.out;
    const std::string table = Slurp("whole/sweep.csv");
    EXPECT_EQ(Slurp("merged/sweep.csv"), table);
    std::istringstream lines(table);
    std::string line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("point,noise,CDR_Threshold,status,locked,", 0), 0u) << line;
    std::getline(lines, line);
    EXPECT_EQ(line.rfind("0000,0,2,0,true,", 0), 0u) << line;
    // The grid value reached the point: the noisy point's run says so.
    EXPECT_NE(Slurp("whole/points/0003/report.html").find("with 80 mV rms noise"), std::string::npos);
    EXPECT_NE(Slurp("merged/report.html").find("<svg"), std::string::npos);
    // Joining two different sweeps is refused.
    ASSERT_EQ(Simulate("sweep --grid loss=6 --bits 2000 --out other").status, 0);
    EXPECT_NE(Simulate("merge whole other --out bad").out.find("not a shard of the same sweep"), std::string::npos);
}

TEST_F(VelkorSim, MalformedSweepsAreUsageErrors) {
    const struct {
        std::string arguments, message;
    } cases[] = {
        {"sweep --out s", "at least one --grid"},
        {"sweep --grid loss=6,12", "needs --out DIR"},
        {"sweep --grid =1,2 --out s", "--grid needs NAME=V1,V2"},
        {"sweep --grid loss --out s", "--grid needs NAME=V1,V2"},
        {"sweep --grid loss=6,,12 --out s", "no empty value"},
        {"sweep --grid loss=6, --out s", "no empty value"},
        {"sweep --grid loss=6 --grid loss=7 --out s", "--grid names 'loss' twice"},
        {"sweep --grid loss=6 --shard 0/2 --out s", "--shard needs K/N with 1 <= K <= N"},
        {"sweep --grid loss=6 --shard 3/2 --out s", "--shard needs K/N with 1 <= K <= N"},
        {"sweep --grid loss=6 --shard 1 --out s", "--shard needs K/N"},
        {"sweep --grid loss=6 --jobs 0 --out s", "--jobs needs a whole number"},
        {"sweep --grid loss=6,abc --out s", "--loss needs a number from 0 to 80, got 'abc'"},
        {"sweep --grid sj=0.3 --out s", "--sj needs UI@HZ"},
        {"sweep --grid nonsense=1 --out s", "unknown parameter 'nonsense'"},
        {"sweep --grid corner=0,7 --out s", "not in the List of corner"},
        {"merge --out m", "merge needs DIR... and --out DIR"},
        {"merge nowhere --out m", "'nowhere/sweep-manifest.txt' is missing or not a sweep manifest"},
    };
    for (const auto& c : cases) {
        const Outcome o = Simulate(c.arguments);
        EXPECT_NE(o.status, 0) << c.arguments;
        EXPECT_NE(o.out.find(c.message), std::string::npos) << c.arguments << "\n" << o.out;
    }
    EXPECT_FALSE(std::filesystem::exists("s"));
    EXPECT_NE(Simulate("sweep --help").out.find("--shard K/N"), std::string::npos);
}

// The loop follows slow jitter: the tolerated SJ at 300 kHz is far above that at
// 30 MHz, past the loop's bandwidth; a mask gives a verdict per point.
TEST_F(VelkorSim, JitterToleranceFallsAboveTheLoopBandwidth) {
#ifdef VELKOR_SANITIZED
    GTEST_SKIP() << "a dozen runs: Release build only";
#else
    std::ofstream("mask.txt") << "# frequency amplitude\n1e5 1.5\n1e6, 0.5\n3e7 0.4\n";
    const Outcome o = Simulate(
        "jtol --sj-freqs 300k,30M --bits 30000 --param CDR_Threshold=3 --max-sj 2 --resolution 0.05 --jobs 2 "
        "--mask mask.txt --out jtol");
    EXPECT_EQ(o.status, 3) << o.out;  // 30 MHz falls below the mask's 0.4 UI
    std::istringstream table(Slurp("jtol/jtol.csv"));
    std::string header, slow, fast;
    std::getline(table, header);
    std::getline(table, slow);
    std::getline(table, fast);
    EXPECT_EQ(header, "frequency_hz,amplitude_ui,result,fails_by,mask_ui,pass");
    const double slowUi = Field(slow, "300000,"), fastUi = Field(fast, "3e+07,");
    EXPECT_GE(slowUi, 1.0) << slow;
    EXPECT_GT(fastUi, 0.05) << fast;
    EXPECT_GT(slowUi, 4 * fastUi) << slow << " / " << fast;
    EXPECT_NE(slow.find(",pass"), std::string::npos) << slow;
    EXPECT_NE(fast.find(",fail"), std::string::npos) << fast;
    EXPECT_NE(Slurp("jtol/report.html").find("id=\"jtol\""), std::string::npos);
#endif
}

TEST_F(VelkorSim, MalformedJitterToleranceRunsAreUsageErrors) {
    std::ofstream("descending.txt") << "1e6 1\n1e5 2\n";
    std::ofstream("words.txt") << "1e6 one\n";
    std::ofstream("empty.txt") << "# nothing\n";
    const struct {
        std::string arguments, message;
    } cases[] = {
        {"jtol --out j", "jtol needs --sj-freqs"},
        {"jtol --sj-freqs 1M", "jtol needs --out DIR"},
        {"jtol --sj-freqs 1M,,2M --out j", "--sj-freqs needs positive frequencies"},
        {"jtol --sj-freqs -1M --out j", "--sj-freqs needs positive frequencies"},
        {"jtol --sj-freqs 1M --target-ber 0.7 --out j", "--target-ber needs a BER above 0 and below 0.5"},
        {"jtol --sj-freqs 1M --resolution 0 --out j", "--resolution needs a number from 1e-06 to 10 UI"},
        {"jtol --sj-freqs 1M --sj 0.1@1M --out j", "jtol sets the SJ itself"},
        {"jtol --sj-freqs 9G --out j", "--sj at 9e+09 Hz is above half the bit rate"},
        {"jtol --sj-freqs 1M --mask descending.txt --out j", "descending.txt:2: frequencies must ascend strictly"},
        {"jtol --sj-freqs 1M --mask words.txt --out j", "words.txt:1: expected a frequency above 0 Hz and an amplitude"},
        {"jtol --sj-freqs 1M --mask empty.txt --out j", "holds no frequency and amplitude"},
        {"jtol --sj-freqs 1M --mask /nonexistent --out j", "cannot read the mask file '/nonexistent'"},
    };
    for (const auto& c : cases) {
        const Outcome o = Simulate(c.arguments);
        EXPECT_EQ(o.status, 2) << c.arguments << "\n" << o.out;
        EXPECT_NE(o.out.find(c.message), std::string::npos) << c.arguments << "\n" << o.out;
    }
    EXPECT_FALSE(std::filesystem::exists("j"));
}
