// velkor-sim against what a user, a batch system or the machine does to it:
// signals, closed pipes, folders in use or left from earlier runs, shards that
// do not belong together, grids too large to run, killed runs and odd bytes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "support/ScratchDirectory.h"
#include "support/SimRun.h"

namespace fs = std::filesystem;

namespace {

class VelkorSimRobustness : public testing::Test {
protected:
    ScratchDirectory scratch;
};

// Starts velkor-sim with TMPDIR=tmp in a process group of its own, output to run.log.
pid_t Start(const std::vector<std::string>& arguments, int stdoutFd = -1) {
    fs::create_directories("tmp");
    const std::string tmp = fs::absolute("tmp").string();
    const pid_t child = fork();
    if (child == 0) {
        setpgid(0, 0);
        setenv("TMPDIR", tmp.c_str(), 1);
        const int log = open("run.log", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(stdoutFd >= 0 ? stdoutFd : log, 1);
        dup2(log, 2);
        std::vector<std::string> args = arguments;
        args.insert(args.begin(), VELKOR_SIM_PATH);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(VELKOR_SIM_PATH, argv.data());
        _exit(127);
    }
    return child;
}

// The rows of a CSV table without quoting, each split at its commas.
std::vector<std::vector<std::string>> Rows(const std::string& csv) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(csv);
    std::string line;
    while (std::getline(lines, line)) {
        std::vector<std::string> fields(1);
        for (const char c : line) {
        if (c == ',') fields.emplace_back();
        else fields.back().push_back(c);
    }
        rows.push_back(fields);
    }
    return rows;
}

void WaitFor(const fs::path& path) {
    for (int i = 0; i < 600 && !fs::exists(path); ++i) usleep(50000);
}

}  // namespace

// A closed terminal (SIGHUP) and SIGTERM stop a run as Ctrl-C does: the report
// up to there, the scratch folder removed, the status of the signal.
TEST_F(VelkorSimRobustness, StopSignalsEndARunWithItsReport) {
    const struct {
        int signal;
        const char* name;
    } cases[] = {{SIGHUP, "SIGHUP"}, {SIGTERM, "SIGTERM"}, {SIGINT, "SIGINT"}};
    for (const auto& c : cases) {
        const pid_t child = Start({"--bits", "100000000", "--out", "stopped"});
        for (int i = 0; i < 600 && fs::is_empty("tmp"); ++i) usleep(50000);
        ASSERT_FALSE(fs::is_empty("tmp")) << c.name;
        kill(child, c.signal);
        int status = 0;
        waitpid(child, &status, 0);
        ASSERT_TRUE(WIFEXITED(status)) << c.name << " ended the process without its report";
        EXPECT_EQ(WEXITSTATUS(status), 128 + c.signal) << c.name;
        EXPECT_TRUE(fs::is_empty("tmp")) << c.name << ": the scratch folder is left behind";
        EXPECT_NE(Slurp("stopped/metrics.json").find(std::string("\"stopped\": \"interrupted by ") + c.name),
                  std::string::npos)
            << c.name;
    }
}

// Standard output closed (a pager quit, `| head`): the report is still written,
// the scratch folder removed, and the status says SIGPIPE.
TEST_F(VelkorSimRobustness, ClosedOutputPipeStillLeavesTheReport) {
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    close(fds[0]);
    const pid_t child = Start({"--bits", "3000", "--out", "piped"}, fds[1]);
    close(fds[1]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGPIPE);
    EXPECT_TRUE(fs::is_empty("tmp"));
    EXPECT_EQ(Slurp("piped/report.html").rfind("</html>\n"), Slurp("piped/report.html").size() - 8);
    EXPECT_TRUE(fs::exists("piped/metrics.json"));
}

// Options checked before the run: an output folder that cannot be one, a block
// too small for a clock time; and no refusal for what was not asked for.
TEST_F(VelkorSimRobustness, OptionsAreCheckedBeforeTheRunAndOnlyWhatWasAskedFor) {
    std::ofstream("a_file") << "not a folder\n";
    const struct {
        std::string arguments, message;
        int status;
        bool runs;
    } cases[] = {
        {"--bits 3000 --out a_file", "a_file' is not a folder", 1, false},
        {"--bits 3000 --out a_file/below", "is not a folder", 1, false},
        {"--bits 3000 --block 1", "--block needs at least 2 samples: a call of one sample has room only for the", 2, false},
        {"--bits 3000 --block 0.5", "--block needs a whole number from 1 to 1048576", 2, false},
        // Counts are whole: a fraction was cut off without a word (12.5 ran as 12).
        {"--bits 3000 --samples-per-bit 12.5", "--samples-per-bit needs a whole number from 5 to 1024, got '12.5'", 2,
         false},
        {"--bits 3000.5", "--bits needs a whole number from 1 to 200000000", 2, false},
        {"--bits 3000 --seed 1.5", "--seed needs a whole number", 2, false},
        {"--bits 3000 --settle-bits 10.5", "--settle-bits needs a whole number", 2, false},
        {"--bits 1e3 --samples-per-bit 8", "Simulated 1000 bits of PRBS-15 at 10 Gb/s, 8 samples per bit", 0, true},
        // A folder name the file system refuses is found before the run, not after it.
        {"--bits 3000 --out " + std::string(300, 'n'), "File name too long", 1, false},
        {"--bits 3000 --settle-bits 3000", "--settle-bits must be below --bits", 2, false},
        {"--bits 3000 --bit-rate 1e6", "Simulated 3000 bits of PRBS-15 at 0.001 Gb/s", 0, true},
        {"--bits 3000 --bit-rate 1e6 --ssc 1000", "--ssc-freq must stay below a hundredth of the bit rate", 2, false},
        {"--bits 3000 --block 2 --param CDR_Threshold=2", "Simulated", 0, true},
    };
    for (const auto& c : cases) {
        const Outcome o = Simulate(c.arguments);
        EXPECT_EQ(o.status, c.status) << c.arguments << "\n" << o.out;
        EXPECT_NE(o.out.find(c.message), std::string::npos) << c.arguments << "\n" << o.out;
        EXPECT_EQ(o.out.find("Simulated") != std::string::npos, c.runs) << c.arguments << "\n" << o.out;
    }
    // Two-sample calls still hand back every clock time.
    const Outcome tiny = Simulate("--bits 3000 --block 2");
    const Outcome usual = Simulate("--bits 3000");
    EXPECT_EQ(Field(tiny.out, "Clock:      "), Field(usual.out, "Clock:      "));
    EXPECT_EQ(tiny.out.find("returned no clock times"), std::string::npos) << tiny.out;
}

// A path with a byte that is not UTF-8 does not break metrics.json.
TEST_F(VelkorSimRobustness, MetricsJsonStaysValidUtf8) {
    std::ofstream("step\xFF.txt") << "0 0\n1e-11 1\n1e-10 1\n";
    const Outcome o = Simulate("--bits 3000 --channel step*.txt --step --out utf");
    ASSERT_EQ(o.status, 0) << o.out;
    nlohmann::json json;
    ASSERT_NO_THROW(json = nlohmann::json::parse(Slurp("utf/metrics.json")));
    EXPECT_NE(json["channel"].get<std::string>().find("step\xEF\xBF\xBD.txt"), std::string::npos);
}

// One sweep at a time in a folder; a point starts from an empty folder, and a
// point that failed shows no figures, whatever an earlier run left there.
TEST_F(VelkorSimRobustness, SweepFolderIsLockedAndPointsStartClean) {
    fs::create_directories("busy");
    const int lock = open("busy/.velkor-sim.lock", O_RDWR | O_CREAT, 0644);
    ASSERT_EQ(flock(lock, LOCK_EX | LOCK_NB), 0);
    const Outcome refused = Simulate("sweep --grid loss=6 --bits 2000 --out busy");
    EXPECT_EQ(refused.status, 1) << refused.out;
    EXPECT_NE(refused.out.find("another velkor-sim is writing into"), std::string::npos) << refused.out;
    EXPECT_FALSE(fs::exists("busy/points"));
    close(lock);
    EXPECT_EQ(Simulate("sweep --grid loss=6 --bits 2000 --out busy").status, 0) << "free again once the lock is gone";

    fs::create_directories("old/points/0000");
    std::ofstream("old/points/0000/metrics.json") << "{\n  \"locked\": true,\n  \"bit_errors\": 0,\n  \"ber\": 0,\n"
                                                     "  \"eye_height\": 0.5\n}\n";
    std::ofstream("old/points/0000/report.html") << "an earlier run\n";
    const Outcome failed = Simulate(std::string("sweep --grid loss=6 --bits 2000 --library ") + VELKOR_FAILING_MODEL +
                                    " --out old");
    EXPECT_EQ(failed.status, 1) << failed.out;
    const auto rows = Rows(Slurp("old/sweep.csv"));
    ASSERT_EQ(rows.size(), 2u);
    ASSERT_EQ(rows[0].size(), rows[1].size());
    EXPECT_EQ(rows[1][0], "0000");
    EXPECT_EQ(rows[1][2], "1") << "the status of the failed point";
    for (std::size_t k = 3; k < rows[1].size(); ++k) EXPECT_EQ(rows[1][k], "") << rows[0][k];
    EXPECT_FALSE(fs::exists("old/points/0000/report.html")) << "the earlier run's report is gone";
}

// The grid's size is checked before anything is built or run.
TEST_F(VelkorSimRobustness, GridsTooLargeAreRefusedAtOnce) {
    std::string values;
    for (int v = 0; v < 200; ++v) values += (v ? "," : "") + std::to_string(v % 50);
    const Outcome o = Simulate("sweep --grid loss=" + values + " --grid ppm=" + values + " --grid seed=" + values +
                               " --out huge");
    EXPECT_EQ(o.status, 2) << o.out;
    EXPECT_NE(o.out.find("the grid has more than 1000000 points (200 x 200 x 200 values)"), std::string::npos) << o.out;
    EXPECT_FALSE(fs::exists("huge"));
}

// SIGTERM to a sweep reaches its running points, which write their reports up
// to there; the sweep waits for them and writes its table.
TEST_F(VelkorSimRobustness, StoppedSweepStopsItsPointsAndWaitsForThem) {
    const pid_t sweep = Start({"sweep", "--grid", "loss=6,12", "--jobs", "2", "--bits", "100000000",
                               "--samples-per-bit", "8", "--out", "stop"});
    WaitFor("stop/points/0001/run.log");
    ASSERT_TRUE(fs::exists("stop/points/0001/run.log")) << Slurp("run.log");
    sleep(1);  // the points are running
    kill(sweep, SIGTERM);
    int status = 0;
    waitpid(sweep, &status, 0);
    const bool exited = WIFEXITED(status);
    const std::string point = Slurp("stop/points/0000/metrics.json");
    const std::string table = Slurp("stop/sweep.csv");
    kill(-sweep, SIGKILL);  // anything left behind in the sweep's group
    ASSERT_TRUE(exited);
    EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
    EXPECT_NE(point.find("\"stopped\": \"interrupted by SIGTERM"), std::string::npos) << "the point was not waited for";
    const auto rows = Rows(table);
    ASSERT_EQ(rows.size(), 3u) << table;
    EXPECT_EQ(rows[1][2], "143");
    EXPECT_EQ(rows[1][6], "") << "a stopped point has no figures";
}

// merge joins only the shards of one sweep, and all of them unless told otherwise.
TEST_F(VelkorSimRobustness, MergeJoinsOnlyCompleteShardsOfOneSweep) {
    const std::string sweep = "sweep --grid loss=6,12 --bits 3000 ";
    for (const auto& [shard, extra] : std::vector<std::pair<std::string, std::string>>{
             {"1/2 --out s1", ""}, {"2/2 --out s2", ""}, {"2/2 --out bits", "--bits 4000 "}, {"2/2 --out grid", ""}}) {
        const std::string command = shard.find("grid") != std::string::npos
                                        ? "sweep --grid loss=6,40 --bits 3000 --shard " + shard
                                        : sweep + extra + "--shard " + shard;
        ASSERT_EQ(Simulate(command).status, 0) << command;
    }
    ASSERT_EQ(Simulate("merge s1 s2 --out all").status, 0);
    const struct {
        std::string arguments, message;
        int status;
    } cases[] = {
        {"merge s1 --out m", "1 of the grid's 2 points are in none of the folders: 0001 (shard 2/2)", 1},
        {"merge s1 bits --out m", "run options '--bits 3000' against '--bits 3000 --bits 4000'", 1},
        {"merge s1 grid --out m", "grid loss=6 12 against loss=6 40", 1},
        {"merge s1 --partial --out part", "Missing:    0001 (shard 2/2)", 0},
    };
    for (const auto& c : cases) {
        const Outcome o = Simulate(c.arguments);
        EXPECT_EQ(o.status, c.status) << c.arguments << "\n" << o.out;
        EXPECT_NE(o.out.find(c.message), std::string::npos) << c.arguments << "\n" << o.out;
    }
    EXPECT_NE(Slurp("part/report.html").find("Partial: 1 points missing: 0001"), std::string::npos);
    // A shard of another version of the tool is not joined either.
    std::string manifest = Slurp("s2/sweep-manifest.txt");
    manifest.replace(manifest.find("version "), manifest.find('\n', manifest.find("version ")) - manifest.find("version "),
                     "version 0.0.1");
    std::ofstream("s2/sweep-manifest.txt") << manifest;
    EXPECT_NE(Simulate("merge s1 s2 --out m").out.find("velkor-sim " VELKOR_VERSION " against 0.0.1"), std::string::npos);
}

// A run killed from outside is run once more; killed again, its frequency is
// not measured, and the table and report of the rest are written all the same.
// Resolutions finer than the runs can tell apart are refused.
TEST_F(VelkorSimRobustness, JitterToleranceSurvivesKilledRuns) {
    std::ofstream("fake.ami") << "(Fake (Model_Specific (unused (Usage In) (Type Integer) (Format Range 0 0 1) (Default 0))))\n";
    std::ofstream("step.txt") << "0 0\n1e-11 1\n1e-10 1\n";
    const std::string jtol = std::string("jtol --library ") + VELKOR_PASS_THROUGH_MODEL +
                             " --ami fake.ami --channel step.txt --step --sj-freqs 1M,2M --bits 4000 --settle-bits 11000"
                             " --max-sj 1 --resolution 0.1 --out jt";
    const struct {
        std::string kill;  // runs killed, FIRST:LAST
        int status;
        const char* second;  // the 2 MHz row's result
    } cases[] = {
        {"1:1", 0, "measured"},
        {"6:1000", 1, "not measured"},  // the 1 MHz search takes 5 runs
    };
    for (const auto& c : cases) {
        fs::remove("count");
        // The count's path is absolute: each run works in a scratch folder of its own.
        const Outcome run = RunProcess("VELKOR_FAKE_KILL=" + fs::absolute("count").string() + ":" + c.kill + " " +
                                       VELKOR_SIM_PATH + " " + jtol);
        EXPECT_EQ(run.status, c.status) << c.kill << "\n" << run.out;
        EXPECT_NE(run.out.find("run killed (status 137), running it once more"), std::string::npos) << run.out;
        const auto rows = Rows(Slurp("jt/jtol.csv"));
        ASSERT_EQ(rows.size(), 3u) << c.kill;
        EXPECT_EQ(rows[0], (std::vector<std::string>{"frequency_hz", "amplitude_ui", "result", "fails_by"}));
        EXPECT_EQ(rows[1][2], "measured") << c.kill;
        EXPECT_EQ(rows[2][2], c.second) << c.kill;
        EXPECT_NE(Slurp("jt/report.html").find("</html>"), std::string::npos);
    }
    const Outcome fine = Simulate("jtol --sj-freqs 1M --resolution 1e-300 --out j");
    EXPECT_EQ(fine.status, 2) << fine.out;
    EXPECT_NE(fine.out.find("--resolution needs a number from 1e-06 to 10 UI"), std::string::npos) << fine.out;
}

// A jitter-tolerance search stopped while a run is under way keeps the bracket it
// had reached: the table gives the largest SJ that passed as a lower bound and the
// report says between what it stopped (it said "not measured" and nothing more).
TEST_F(VelkorSimRobustness, StoppedJitterToleranceKeepsWhatItMeasured) {
    std::ofstream("fake.ami") << "(Fake (Model_Specific (unused (Usage In) (Type Integer) (Format Range 0 0 1) (Default 0))))\n";
    std::ofstream("step.txt") << "0 0\n1e-11 1\n1e-10 1\n";
    setenv("VELKOR_FAKE_STALL", (fs::absolute("count").string() + ":4:" + fs::absolute("stalled").string()).c_str(), 1);
    const pid_t jtol = Start({"jtol", "--library", VELKOR_PASS_THROUGH_MODEL, "--ami", "fake.ami", "--channel", "step.txt",
                              "--step", "--sj-freqs", "1M", "--bits", "4000", "--settle-bits", "11000", "--max-sj", "1",
                              "--resolution", "0.01", "--out", "jt"});
    unsetenv("VELKOR_FAKE_STALL");
    WaitFor("stalled");
    ASSERT_TRUE(fs::exists("stalled")) << Slurp("run.log");
    kill(jtol, SIGTERM);
    int raw = 0;
    waitpid(jtol, &raw, 0);
    const std::string log = Slurp("run.log");
    EXPECT_EQ(WEXITSTATUS(raw), 128 + SIGTERM) << log;
    // The largest amplitude the three finished runs passed.
    std::string passed;
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);)
        if (line.size() > 6 && line.substr(line.size() - 6) == ": pass") {
            const std::string amplitude = line.substr(3, line.find(" UI") - 3);
            if (passed.empty() || std::stod(amplitude) > std::stod(passed)) passed = amplitude;
        }
    ASSERT_FALSE(passed.empty()) << log;
    const auto rows = Rows(Slurp("jt/jtol.csv"));
    ASSERT_EQ(rows.size(), 2u) << log;
    EXPECT_EQ(rows[1][2], "stopped") << log;
    EXPECT_EQ(std::stod(rows[1][1]), std::stod(passed)) << log;
    const std::string html = Slurp("jt/report.html");
    EXPECT_NE(html.find("stopped by SIGTERM between " + passed + " UI (passed) and "), std::string::npos) << html;
    EXPECT_NE(html.find("search stopped: at least the largest SJ passed"), std::string::npos);
}

// A frequency that passes the largest SJ tried has a lower bound only: against a
// mask above it there is no verdict, and the run says so (it said "fail", status 3).
TEST_F(VelkorSimRobustness, JitterToleranceJudgesNoLowerBoundAgainstAHigherMask) {
    std::ofstream("fake.ami") << "(Fake (Model_Specific (unused (Usage In) (Type Integer) (Format Range 0 0 1) (Default 0))))\n";
    std::ofstream("step.txt") << "0 0\n1e-11 1\n1e-10 1\n";
    std::ofstream("mask.txt") << "1e6 0.02\n2e6 0.3\n";
    const Outcome o = Simulate(std::string("jtol --library ") + VELKOR_PASS_THROUGH_MODEL +
                               " --ami fake.ami --channel step.txt --step --sj-freqs 1M,2M --bits 4000 --settle-bits 11000"
                               " --max-sj 0.05 --resolution 0.01 --mask mask.txt --out jt");
    EXPECT_EQ(o.status, 1) << o.out;
    EXPECT_NE(o.out.find("but the mask asks for 0.3 UI: no verdict; give --max-sj 0.3 or more"), std::string::npos)
        << o.out;
    const auto rows = Rows(Slurp("jt/jtol.csv"));
    ASSERT_EQ(rows.size(), 3u) << o.out;
    EXPECT_EQ(rows[1], (std::vector<std::string>{"1e+06", "0.05", "at least", "", "0.02", "pass"}));
    EXPECT_EQ(rows[2], (std::vector<std::string>{"2e+06", "0.05", "at least", "", "0.3", "unknown"}));
}
