#include "tools/velkor-sim/Jtol.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "tools/velkor-sim/Options.h"
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

// The bisection of one frequency: the largest amplitude known to pass and the
// smallest known to fail.
struct Search {
    double frequency = 0, pass = 0, fail = 0;
    int step = 0;
    bool running = false, done = false;
    double trying = 0;
};

}  // namespace

const char* JtolUsage() {
    return "usage: velkor-sim jtol --sj-freqs F1,F2,... --out DIR [--target-ber B] [--resolution UI] [--max-sj UI]\n"
           "                       [--mask FILE] [--jobs N] [run options]\n"
           "For each frequency, the largest sinusoidal jitter (peak, UI) at which the run locks, slips no\n"
           "clock edge and counts a BER (errors / bits compared after lock) at or below the target. Found by\n"
           "bisection between 0 and --max-sj, first trying --max-sj itself, until the bracket is narrower than\n"
           "--resolution; the amplitude reported is the largest that passed.\n"
           "  --sj-freqs F1,F2,...  SJ frequencies, Hz (e.g. 100k,1M,10M)\n"
           "  --target-ber B        BER to meet (default 1e-3)\n"
           "  --resolution UI       width of the final bracket (default 0.02)\n"
           "  --max-sj UI           largest amplitude tried (default 4)\n"
           "  --mask FILE           pairs of frequency (Hz) and amplitude (UI), one a line: pass/fail per point\n"
           "  --jobs N              frequencies searched at once (default 1)\n"
           "  --out DIR             writes jtol.csv, report.html and points/ (every run) there (required)\n"
           "Every other option is passed to each run (see velkor-sim --help); every run uses the same --seed.\n";
}

bool ParseJtolOptions(int argc, char** argv, JtolOptions& o, std::string& error) {
    for (int i = 0; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            o.help = true;
            return true;
        }
        static const char* const own[] = {"--sj-freqs", "--target-ber", "--resolution", "--max-sj", "--mask", "--jobs", "--out"};
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
            if (!ParsePositive(value, number) || number > 10) {
                error = "option --resolution needs a number above 0 and up to 10 UI, got '" + value + "'";
                return false;
            }
            o.resolution = number;
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
        args.insert(args.end(), o.runArguments.begin(), o.runArguments.end());
        for (double f : o.frequencies) {
            args.push_back("--sj");
            args.push_back(Text(o.maxAmplitude) + "@" + Text(f));
        }
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        Options run;
        if (!ParseOptions(static_cast<int>(argv.size()), argv.data(), run, error) ||
            (!run.outDir.empty() && (error = "--out is jtol's own option: give it once", true))) {
            std::fprintf(stderr, "velkor-sim: %s\n", error.c_str());
            return 2;
        }
    }
    const fs::path out = fs::absolute(o.outDir);
    std::vector<Search> searches;
    for (double f : o.frequencies) searches.push_back({f, 0, o.maxAmplitude, 0, false, false, 0});
    std::map<long, std::size_t> running;
    int failedRuns = 0;
    auto folderOf = [&](std::size_t k, int step) {
        char name[64];
        std::snprintf(name, sizeof name, "f%02zu_step%02d", k, step);
        return (out / "points" / name).string();
    };
    for (;;) {
        for (std::size_t k = 0; k < searches.size() && running.size() < static_cast<std::size_t>(o.jobs); ++k) {
            Search& s = searches[k];
            if (s.running || s.done) continue;
            // First the largest amplitude; then the middle of the bracket.
            s.trying = s.step == 0 ? o.maxAmplitude : 0.5 * (s.pass + s.fail);
            auto args = o.runArguments;
            args.push_back("--sj");
            args.push_back(Text(s.trying) + "@" + Text(s.frequency));
            const long child = StartPoint(self, args, folderOf(k, s.step));
            if (child < 0) {
                std::fprintf(stderr, "velkor-sim: cannot start a run in '%s'\n", folderOf(k, s.step).c_str());
                return 1;
            }
            s.running = true;
            running[child] = k;
        }
        if (running.empty()) break;
        long id = 0;
        int status = 0;
        if (!WaitPoint(id, status)) break;
        const auto it = running.find(id);
        if (it == running.end()) continue;
        Search& s = searches[it->second];
        running.erase(it);
        const std::string json = ReadText(folderOf(it->second, s.step) + "/metrics.json");
        const double errors = std::atof(MetricsValue(json, "bit_errors").c_str());
        const double compared = std::atof(MetricsValue(json, "bits_compared").c_str());
        const bool passed = status == 0 && MetricsValue(json, "locked") == "true" && MetricsValue(json, "slips") == "0" &&
                            compared > 0 && errors / compared <= o.targetBer;
        if (status != 0) ++failedRuns;
        std::fprintf(stderr, "SJ %s UI at %s Hz: %s\n", Text(s.trying).c_str(), Text(s.frequency).c_str(),
                     passed ? "pass" : "fail");
        (passed ? s.pass : s.fail) = s.trying;
        s.running = false;
        ++s.step;
        if ((passed && s.step == 1) || s.fail - s.pass <= o.resolution) s.done = true;
    }
    if (failedRuns) {
        std::fprintf(stderr, "velkor-sim: %d runs failed; see run.log in their folders under %s\n", failedRuns,
                     (out / "points").string().c_str());
        return 1;
    }
    std::string csv = "frequency_hz,amplitude_ui" + std::string(mask.empty() ? "" : ",mask_ui,pass") + "\n";
    std::vector<JtolPoint> points;
    for (const auto& s : searches) {
        JtolPoint p{s.frequency, s.pass, mask.empty() ? -1 : MaskAt(mask, s.frequency), s.pass >= o.maxAmplitude};
        csv += Text(p.frequency) + "," + Text(p.amplitude);
        if (!mask.empty()) csv += "," + Text(p.mask) + "," + (p.amplitude >= p.mask ? "pass" : "fail");
        csv += "\n";
        points.push_back(p);
    }
    std::sort(points.begin(), points.end(), [](const JtolPoint& a, const JtolPoint& b) { return a.frequency < b.frequency; });
    std::ofstream file(out / "jtol.csv", std::ios::binary);
    file << csv;
    file.flush();
    std::ofstream html(out / "report.html", std::ios::binary);
    html << JtolReportHtml(points, mask, o.targetBer, o.resolution);
    html.flush();
    if (!file || !html) {
        std::fprintf(stderr, "velkor-sim: cannot write jtol.csv or report.html in '%s'\n", out.string().c_str());
        return 1;
    }
    std::fputs(csv.c_str(), stdout);
    std::printf("Table:      %s\n", (out / "jtol.csv").string().c_str());
    const bool allPass = std::all_of(points.begin(), points.end(), [](const JtolPoint& p) { return p.amplitude >= p.mask; });
    return allPass ? 0 : 3;
}

}  // namespace sim
