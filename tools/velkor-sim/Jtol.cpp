#include "tools/velkor-sim/Jtol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/velkor-sim/JtolSearch.h"
#include "tools/velkor-sim/LockDetector.h"
#include "tools/velkor-sim/Options.h"
#include "tools/velkor-sim/OutputFolder.h"
#include "tools/velkor-sim/PointRunner.h"
#include "tools/velkor-sim/RunConditions.h"
#include "tools/velkor-sim/StopSignals.h"
#include "tools/velkor-sim/Report.h"
#include "tools/velkor-sim/Sweep.h"

namespace sim {

namespace fs = std::filesystem;

namespace {

bool ParsePositive(const std::string& text, double& value) { return ParseNumber(text, value) && value > 0; }

std::string Text(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", v);
    return text;
}

// Edge times carry about 1e-7 UI (a double's step at the end of a long run), so a
// finer bracket could not be told from its neighbours.
constexpr double kFinestResolution = 1e-6;
// Bits an acquisition run may take to lock without SJ.
constexpr std::size_t kAcquisitionBits = 400000;

}  // namespace

const char* JtolUsage() {
    return "usage: velkor-sim jtol --sj-freqs F1,F2,... --out DIR [--target-ber B] [--resolution UI] [--max-sj UI]\n"
           "                       [--bits N] [--settle-bits N] [--mask FILE] [--jobs N] [run options]\n"
           "For each frequency, the largest sinusoidal jitter (peak, UI) that the link tolerates: the loop\n"
           "acquires without SJ for the settling bits, then the SJ starts (from zero phase) and N bits are\n"
           "counted; a run passes when it keeps its lock (locked before the SJ, no clock edge slipped) and\n"
           "its BER (errors / bits counted) is at or below the target. Found by bisection between 0 and\n"
           "--max-sj, first trying --max-sj itself (a pass there is reported as at least --max-sj), until the\n"
           "bracket is narrower than --resolution; the amplitude reported is the largest that passed.\n"
           "  --sj-freqs F1,F2,...  SJ frequencies, Hz (e.g. 100k,1M,10M)\n"
           "  --target-ber B        BER to meet (default 1e-3)\n"
           "  --bits N              bits counted under SJ in each run (default 100000; about 10/B or more)\n"
           "  --settle-bits N       bits before the SJ starts (default: where a run without SJ locks, plus\n"
           "                        the 10000 edges lock detection takes, plus 10 %)\n"
           "  --resolution UI       width of the final bracket, 1e-6 or more (default 0.02)\n"
           "  --max-sj UI           largest amplitude tried (default 4)\n"
           "  --mask FILE           pairs of frequency (Hz) and amplitude (UI), one a line: pass/fail per point\n"
           "  --jobs N              frequencies searched at once (default 1)\n"
           "  --out DIR             writes jtol.csv, report.html and points/ (every run) there (required)\n"
           "A run killed from outside (the out-of-memory killer) is run once more; killed again, or failed,\n"
           "its frequency is written as not measured; after Ctrl-C or SIGTERM a search cut short is written\n"
           "as stopped, with the largest SJ it passed so far. A point that passed the largest SJ tried has\n"
           "no verdict against a mask above it. Every other option is passed to each run (see\n"
           "velkor-sim --help); every run uses the same --seed.\n";
}

bool ParseJtolOptions(int argc, char** argv, JtolOptions& o, std::string& error) {
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return true;
        }
        static const char* const own[] = {"--sj-freqs", "--target-ber", "--resolution", "--max-sj", "--mask",
                                          "--jobs",     "--out",        "--bits",       "--settle-bits"};
        std::string name = arg, value;
        const auto eq = arg.find('=');
        if (eq != std::string::npos) name = arg.substr(0, eq);
        if (std::find(std::begin(own), std::end(own), name) == std::end(own)) {
            if (name == "--sj") {
                error = "jtol sets the SJ itself: give its frequencies with --sj-freqs";
                return false;
            }
            o.runArguments.push_back(arg);
            continue;
        }
        if (eq != std::string::npos) value = arg.substr(eq + 1);
        else if (i + 1 < argc) value = argv[++i];
        else {
            error = "option " + arg + " needs a value";
            return false;
        }
        double number = 0;
        if (name == "--sj-freqs") {
            std::istringstream list(value);
            std::string item;
            while (std::getline(list, item, ',')) {
                if (!ParsePositive(item, number)) {
                    error = "option --sj-freqs needs positive frequencies separated by commas (e.g. 100k,1M), got '" + value + "'";
                    return false;
                }
                o.frequencies.push_back(number);
            }
            if (value.empty() || value.back() == ',') {
                error = "option --sj-freqs needs positive frequencies separated by commas (e.g. 100k,1M), got '" + value + "'";
                return false;
            }
        } else if (name == "--target-ber") {
            if (!ParsePositive(value, number) || number >= 0.5) {
                error = "option --target-ber needs a BER above 0 and below 0.5, got '" + value + "'";
                return false;
            }
            o.targetBer = number;
        } else if (name == "--resolution") {
            if (!ParseNumber(value, number) || number < kFinestResolution || number > 10) {
                error = "option --resolution needs a number from 1e-06 to 10 UI (a run's edge times carry about "
                        "1e-7 UI: a finer bracket cannot be told apart), got '" + value + "'";
                return false;
            }
            o.resolution = number;
        } else if (name == "--bits" || name == "--settle-bits") {
            if (!ParseNumber(value, number) || number != std::floor(number) || number < (name == "--bits" ? 1 : 0) ||
                number > 1e8) {
                error = "option " + name + " needs a whole number " + (name == "--bits" ? "from 1" : "from 0") +
                        " to 1e8, got '" + value + "'";
                return false;
            }
            if (name == "--bits") o.bits = static_cast<std::size_t>(number);
            else o.settleBits = static_cast<long long>(number);
        } else if (name == "--max-sj") {
            if (!ParsePositive(value, number) || number > 1000) {
                error = "option --max-sj needs a number above 0 and up to 1000 UI, got '" + value + "'";
                return false;
            }
            o.maxAmplitude = number;
        } else if (name == "--jobs") {
            if (!ParsePositive(value, number) || number != std::floor(number) || number > 256) {
                error = "option --jobs needs a whole number from 1 to 256, got '" + value + "'";
                return false;
            }
            o.jobs = static_cast<int>(number);
        } else if (name == "--mask") {
            o.maskFile = value;
        } else {
            o.outDir = value;
        }
    }
    if (o.frequencies.empty()) {
        error = "jtol needs --sj-freqs F1,F2,...";
        return false;
    }
    if (o.outDir.empty()) {
        error = "jtol needs --out DIR";
        return false;
    }
    if (o.resolution >= o.maxAmplitude) {
        error = "--resolution must be below --max-sj";
        return false;
    }
    return true;
}

bool ReadMask(const std::string& path, std::vector<std::pair<double, double>>& mask, std::string& error) {
    std::ifstream in(path);
    if (!in || fs::is_directory(path)) {
        error = "cannot read the mask file '" + path + "'";
        return false;
    }
    std::string line;
    int number = 0;
    while (std::getline(in, line)) {
        ++number;
        for (char& c : line)
            if (c == ',' || c == '\t' || c == '\r') c = ' ';
        const auto first = line.find_first_not_of(' ');
        if (first == std::string::npos || line[first] == '#') continue;
        std::istringstream fields(line);
        double f = 0, a = 0;
        std::string rest;
        if (!(fields >> f >> a) || (fields >> rest) || !std::isfinite(f) || !std::isfinite(a) || f <= 0 || a < 0) {
            error = path + ":" + std::to_string(number) + ": expected a frequency above 0 Hz and an amplitude of 0 UI or more";
            return false;
        }
        if (!mask.empty() && f <= mask.back().first) {
            error = path + ":" + std::to_string(number) + ": frequencies must ascend strictly";
            return false;
        }
        mask.emplace_back(f, a);
    }
    if (mask.empty()) {
        error = "the mask file '" + path + "' holds no frequency and amplitude";
        return false;
    }
    return true;
}

double MaskAt(const std::vector<std::pair<double, double>>& mask, double f) {
    if (mask.empty()) return 0;
    if (f <= mask.front().first) return mask.front().second;
    if (f >= mask.back().first) return mask.back().second;
    const auto hi = std::lower_bound(mask.begin(), mask.end(), f, [](const auto& p, double v) { return p.first < v; });
    const auto lo = hi - 1;
    const double x = std::log(f / lo->first) / std::log(hi->first / lo->first);
    if (lo->second <= 0 || hi->second <= 0) return lo->second + x * (hi->second - lo->second);
    return lo->second * std::pow(hi->second / lo->second, x);
}

namespace {

// The options of one run: the user's, the bits, the settling and the SJ.
std::vector<std::string> RunArguments(const JtolOptions& o, std::size_t settle, double amplitude, double frequency) {
    auto args = o.runArguments;
    for (const std::string& a : {std::string("--bits"), std::to_string(settle + o.bits), std::string("--settle-bits"),
                                 std::to_string(settle)})
        args.push_back(a);
    if (amplitude > 0) {
        args.push_back("--sj");
        args.push_back(AmplitudeText(amplitude) + "@" + AmplitudeText(frequency));
    }
    return args;
}

// Why a finished run fails the target, "" when it passes.
std::string Verdict(const std::string& json, double targetBer) {
    if (MetricsValue(json, "locked") != "true" || MetricsValue(json, "locked_before_settle") != "true")
        return "lock";  // the lock acquired before the SJ did not hold
    if (MetricsValue(json, "slips") != "0") return "lock";
    const double errors = std::atof(MetricsValue(json, "bit_errors").c_str());
    const double compared = std::atof(MetricsValue(json, "bits_compared").c_str());
    if (!(compared > 0) || errors / compared > targetBer) return "ber";
    return "";
}

bool Killed(int status) { return status > 128; }

}  // namespace

int RunJtol(const JtolOptions& o, const std::string& self) {
    std::string error;
    std::vector<std::pair<double, double>> mask;
    if (!o.maskFile.empty() && !ReadMask(o.maskFile, mask, error)) {
        std::fprintf(stderr, "velkor-sim: %s\n", error.c_str());
        return 2;
    }
    // The run options are checked once, with the largest SJ, before anything runs.
    {
        std::vector<std::string> args{self};
        const auto run = RunArguments(o, o.settleBits < 0 ? 0 : static_cast<std::size_t>(o.settleBits), 0, 0);
        args.insert(args.end(), run.begin(), run.end());
        for (double f : o.frequencies) {
            args.push_back("--sj");
            args.push_back(Text(o.maxAmplitude) + "@" + Text(f));
        }
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        Options parsed;
        if (!ParseOptions(static_cast<int>(argv.size()), argv.data(), parsed, error)) {
            std::fprintf(stderr, "velkor-sim: %s\n", error.c_str());
            return 2;
        }
    }
    const fs::path out = fs::absolute(o.outDir);
    FolderLock lock;
    if (!lock.Acquire(out.string(), error)) {
        std::fprintf(stderr, "velkor-sim: %s\n", error.c_str());
        return 1;
    }
    std::error_code ec;
    for (const char* stale : {"jtol.csv", "report.html"}) fs::remove(out / stale, ec);
    CatchStopSignals();
    PointRunner runner(self);

    // The settling: where the loop locks without SJ, plus the edges lock
    // detection takes, plus a tenth, unless given.
    std::size_t settle = o.settleBits < 0 ? 0 : static_cast<std::size_t>(o.settleBits);
    std::string acquisition;
    if (o.settleBits < 0) {
        auto args = o.runArguments;
        for (const std::string& a : {std::string("--bits"), std::to_string(kAcquisitionBits)}) args.push_back(a);
        const std::string folder = (out / "points" / "acquisition").string();
        int status = 0;
        for (int attempt = 0; attempt < 2 && (attempt == 0 || (Killed(status) && !runner.Stopped())); ++attempt) {
            long id = runner.Start(args, folder, error);
            if (id < 0 || !runner.Wait(id, status)) status = 1;
        }
        if (status != 0) {
            std::fprintf(stderr, "velkor-sim: the acquisition run without SJ %s; see %s/run.log\n",
                         runner.Stopped() ? "was stopped" : "failed", folder.c_str());
            return runner.Stopped() ? 128 + runner.Stopped() : 1;
        }
        const std::string json = ReadText(folder + "/metrics.json");
        if (MetricsValue(json, "locked") != "true") {
            std::fprintf(stderr,
                         "velkor-sim: the link does not lock without SJ in %zu bits (see %s/report.html): no "
                         "tolerance can be measured; give --settle-bits to try anyway\n",
                         kAcquisitionBits, folder.c_str());
            return 1;
        }
        const auto lockBits = static_cast<std::size_t>(std::atof(MetricsValue(json, "lock_bits").c_str()));
        settle = (lockBits + LockDetector::kEdges) * 11 / 10;
        acquisition = "locked without SJ after " + std::to_string(lockBits) + " bits";
        std::fprintf(stderr, "Acquisition: %s; the SJ starts at bit %zu\n", acquisition.c_str(), settle);
    }

    std::vector<JtolSearch> searches;
    for (double f : o.frequencies) searches.emplace_back(f, o.maxAmplitude, o.resolution);
    struct Running {
        std::size_t search;
        bool retry;
        std::string folder;
    };
    std::map<long, Running> running;
    std::vector<bool> busy(searches.size(), false);
    auto folderOf = [&](std::size_t k, int step, bool retry) {
        char name[64];
        std::snprintf(name, sizeof name, "f%02zu_step%02d%s", k, step, retry ? "_retry" : "");
        return (out / "points" / name).string();
    };
    auto start = [&](std::size_t k, bool retry) {
        JtolSearch& s = searches[k];
        const std::string folder = folderOf(k, s.Step(), retry);
        const long child = runner.Start(RunArguments(o, settle, s.Next(), s.Frequency()), folder, error);
        if (child < 0) {
            std::fprintf(stderr, "velkor-sim: %s\n", error.c_str());
            s.GiveUp("the run could not be started");
            return;
        }
        busy[k] = true;
        running[child] = {k, retry, folder};
    };
    for (;;) {
        for (std::size_t k = 0; k < searches.size() && runner.Running() < static_cast<std::size_t>(o.jobs); ++k)
            if (!busy[k] && !searches[k].Done() && !runner.Stopped()) start(k, false);
        long id = 0;
        int status = 0;
        if (!runner.Wait(id, status)) break;
        const auto it = running.find(id);
        if (it == running.end()) continue;
        const Running r = it->second;
        running.erase(it);
        busy[r.search] = false;
        JtolSearch& s = searches[r.search];
        // A run the stop cut short tells nothing; one that finished before it still counts.
        if (runner.Stopped() && status != 0) continue;
        // Killed from outside (as the out-of-memory killer does): once more; a
        // second time, or a failed run, leaves the frequency not measured.
        if (Killed(status) && !r.retry) {
            std::fprintf(stderr, "SJ %s UI at %s Hz: run killed (status %d), running it once more\n",
                         Text(s.Next()).c_str(), Text(s.Frequency()).c_str(), status);
            start(r.search, true);
            continue;
        }
        if (status != 0) {
            s.GiveUp((Killed(status) ? "killed twice (status " : "the run failed (status ") + std::to_string(status) +
                     "; see " + r.folder + "/run.log)");
            std::fprintf(stderr, "SJ %s UI at %s Hz: not measured: %s\n", Text(s.Next()).c_str(),
                         Text(s.Frequency()).c_str(), s.NotMeasuredBecause().c_str());
            continue;
        }
        const std::string why = Verdict(ReadText(r.folder + "/metrics.json"), o.targetBer);
        std::fprintf(stderr, "SJ %s UI at %s Hz: %s\n", Text(s.Next()).c_str(), Text(s.Frequency()).c_str(),
                     why.empty() ? "pass" : ("fail (" + why + ")").c_str());
        s.Record(why.empty(), why);
    }

    // Searches cut short say how far they got, and keep what passed as a lower bound.
    for (auto& s : searches)
        if (!s.Done())
            s.Stop(std::string("stopped by ") + (runner.Stopped() ? StopSignalName(runner.Stopped()) : "an error"));
    // The table and the report of what finished, whatever stopped the rest.
    std::string csv = "frequency_hz,amplitude_ui,result,fails_by" + std::string(mask.empty() ? "" : ",mask_ui,pass") + "\n";
    std::vector<JtolPoint> points;
    bool allMeasured = true, allPass = true;
    for (const auto& s : searches) {
        JtolPoint p;
        p.frequency = s.Frequency();
        p.amplitude = s.Passed();
        p.mask = mask.empty() ? -1 : MaskAt(mask, s.Frequency());
        p.capped = s.Capped();
        p.measured = s.Measured();
        p.stopped = s.Stopped();
        p.failedBy = s.FailedBy();
        p.note = s.NotMeasuredBecause();
        const std::string result =
            p.stopped ? "stopped" : !p.measured ? "not measured" : p.capped ? "at least" : "measured";
        const bool bound = p.measured || (p.stopped && p.amplitude > 0);  // stopped: the largest that passed so far
        csv += Text(p.frequency) + "," + (bound ? Text(p.amplitude) : "") + "," + result + "," + p.failedBy;
        const std::string verdict = MaskVerdict(p);
        if (!mask.empty()) csv += "," + Text(p.mask) + "," + verdict;
        csv += "\n";
        allMeasured = allMeasured && p.measured;
        allPass = allPass && verdict != "fail";
        // A lower bound below the mask cannot be judged: the mask asks for SJ the search never tried.
        if (!mask.empty() && p.measured && verdict == "unknown") {
            allMeasured = false;
            std::fprintf(stderr,
                         "velkor-sim: at %s Hz the link passed the largest SJ tried (%s UI) but the mask asks for %s "
                         "UI: no verdict; give --max-sj %s or more\n",
                         Text(p.frequency).c_str(), Text(p.amplitude).c_str(), Text(p.mask).c_str(),
                         Text(p.mask).c_str());
        }
        points.push_back(p);
    }
    std::sort(points.begin(), points.end(), [](const JtolPoint& a, const JtolPoint& b) { return a.frequency < b.frequency; });
    std::string conditions = RunConditions(RunArguments(o, settle, 0, 0), out);
    conditions += "\nSJ from bit " + std::to_string(settle) + " on" + (acquisition.empty() ? " (--settle-bits)" : " (" + acquisition + ")") +
                  "; " + std::to_string(o.bits) + " bits counted under SJ in each run";
    std::ofstream file(out / "jtol.csv", std::ios::binary);
    file << csv;
    file.flush();
    std::ofstream html(out / "report.html", std::ios::binary);
    html << JtolReportHtml(points, mask, o.targetBer, o.resolution, conditions);
    html.flush();
    if (!file || !html) {
        std::fprintf(stderr, "velkor-sim: cannot write jtol.csv or report.html in '%s'\n", out.string().c_str());
        return 1;
    }
    std::fputs(csv.c_str(), stdout);
    std::printf("Table:      %s\n", (out / "jtol.csv").string().c_str());
    std::fflush(stdout);
    if (runner.Stopped()) return 128 + runner.Stopped();
    if (!allMeasured) {
        std::fprintf(stderr, "velkor-sim: some frequencies were not measured; the table says why\n");
        return 1;
    }
    return allPass ? 0 : 3;
}

}  // namespace sim
