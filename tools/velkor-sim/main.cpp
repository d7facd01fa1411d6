// velkor-sim: the Velkor_Rx receiver driven as a channel simulator drives it.
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <new>
#include <sstream>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tools/velkor-sim/AmiHost.h"
#include "tools/velkor-sim/Analysis.h"
#include "tools/velkor-sim/Channel.h"
#include "tools/velkor-sim/Fft.h"
#include "tools/velkor-sim/Jtol.h"
#include "tools/velkor-sim/KitParameters.h"
#include "tools/velkor-sim/ModelRun.h"
#include "tools/velkor-sim/ModelState.h"
#include "tools/velkor-sim/Options.h"
#include "tools/velkor-sim/OutputFolder.h"
#include "tools/velkor-sim/Prbs.h"
#include "tools/velkor-sim/Report.h"
#include "tools/velkor-sim/Stimulus.h"
#include "tools/velkor-sim/StopSignals.h"
#include "tools/velkor-sim/Sweep.h"

namespace fs = std::filesystem;

namespace {

constexpr long long kLogPeriod = 50000;  // samples between lines of the model's adaptation log
constexpr std::size_t kModelLatencyBits = 64;  // delay of the receiver itself allowed for in the alignment

// Writes a whole file; false with the path and the reason when any step fails.
bool WriteFile(const fs::path& path, const std::string& text, std::string& error) {
    errno = 0;
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) {
        error = "cannot write '" + path.string() + "': " + std::strerror(errno);
        return false;
    }
    int problem = 0;
    if (std::fwrite(text.data(), 1, text.size(), file) != text.size()) problem = errno;
    if (std::fflush(file) != 0 && !problem) problem = errno;
    if (std::fclose(file) != 0 && !problem) problem = errno;
    if (problem) {
        error = "cannot write '" + path.string() + "': " + std::strerror(problem);
        return false;
    }
    return true;
}

std::string ReadWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "velkor-sim: %s\n", message.c_str());
    return 1;
}

// Runs in a scratch directory of its own: the model writes its log into the
// current directory, which must not be the user's.
class WorkingDirectory {
public:
    WorkingDirectory() : previous_(fs::current_path()) {
        std::string pattern = (fs::temp_directory_path() / "velkor-sim-XXXXXX").string();
        if (mkdtemp(pattern.data())) {
            path_ = pattern;
            fs::current_path(path_);
        }
    }
    ~WorkingDirectory() {
        std::error_code ignored;
        fs::current_path(previous_, ignored);
        if (!path_.empty()) fs::remove_all(path_, ignored);
    }
    bool ok() const { return !path_.empty(); }
    fs::path path() const { return path_; }

private:
    fs::path previous_, path_;
};

// The pulse of one bit through the channel, and through the receiver held at a
// fixed gain code (small-signal: a 1 mV pulse, baseline removed).
void PulseResponses(sim::AmiHost& host, const std::string& fixedParameters, const sim::Options& opt,
                    const std::vector<double>& taps, sim::RunDescription& run) {
    const std::size_t pulseLength = std::min<std::size_t>(taps.size() + 64 * opt.samplesPerBit, 1 << 16);
    std::vector<double> bit(pulseLength, 0.0);
    for (int i = 0; i < opt.samplesPerBit; ++i) bit[static_cast<std::size_t>(64 * opt.samplesPerBit / 2 + i)] = 1.0;
    run.pulseBefore = sim::Convolve(bit, taps);
    for (double& v : run.pulseBefore) v *= opt.amplitude;
    const double small = 1e-3;
    std::vector<double> probe(run.pulseBefore.size());
    for (std::size_t i = 0; i < probe.size(); ++i) probe[i] = run.pulseBefore[i] / opt.amplitude * small;
    auto outputOf = [&](const std::vector<double>& input, std::vector<double>& output) {
        std::size_t at = 0;
        sim::ModelRunSettings settings{fixedParameters, 1.0 / opt.bitRate, opt.samplesPerBit, 4096, input.size(), false, {}};
        sim::ModelRunResult result;
        std::string ignored;
        return sim::RunModel(
            host, settings,
            [&](double* wave, std::size_t n) {
                n = std::min(n, input.size() - at);
                std::copy_n(input.begin() + static_cast<std::ptrdiff_t>(at), n, wave);
                at += n;
                return n;
            },
            [&](const double*, const double* out, std::size_t n, const double*, std::size_t) {
                output.insert(output.end(), out, out + n);
            },
            result, ignored);
    };
    std::vector<double> pulse, base;
    if (outputOf(probe, pulse) && outputOf(std::vector<double>(probe.size(), 0.0), base)) {
        run.pulseAfter.resize(probe.size());
        for (std::size_t i = 0; i < probe.size(); ++i) run.pulseAfter[i] = (pulse[i] - base[i]) / small * opt.amplitude;
    }
}

int Run(int argc, char** argv) {
    sim::Options opt;
    std::string error;
    if (!sim::ParseOptions(argc, argv, opt, error)) {
        std::fprintf(stderr, "velkor-sim: %s\n%s", error.c_str(), sim::Usage());
        return 2;
    }
    if (opt.help) {
        std::fputs(sim::Usage(), stdout);
        return 0;
    }
    // Paths are resolved before the model's working directory is entered.
    const std::string library = fs::absolute(opt.library).string();
    const std::string outDir = opt.outDir.empty() ? "" : fs::absolute(opt.outDir).string();
    // A report that could not be written would waste the run: the folder is checked first.
    if (!outDir.empty() && !sim::CanWriteFolder(outDir, error)) return Fail(error);

    sim::ModelParameters model;
    if (!sim::ReadAmiDefaults(opt.ami, model, error)) return Fail(error);
    if (!sim::ApplyOverrides(model, opt.params, error)) {
        std::fprintf(stderr, "velkor-sim: %s\n", error.c_str());
        return 2;  // as a simulator refuses a value its .ami does not allow
    }
    const std::string parameters = sim::ParameterString(model);

    sim::AmiHost host;
    if (!host.Load(library, error)) return Fail(error);

    const double bitTime = 1.0 / opt.bitRate;
    const double dt = bitTime / opt.samplesPerBit;
    sim::Channel channel;
    if (!sim::BuildChannel(opt.channel, dt, opt.bitRate, channel, error)) return Fail(error);
    for (const auto& warning : channel.warnings) std::fprintf(stderr, "velkor-sim: warning: %s\n", warning.c_str());
    // The transmitter's FFE and edge are linear: folded into the response the bits see.
    channel.taps = sim::ShapeResponse(channel.taps, opt.transmitter, opt.samplesPerBit, dt);

    sim::StimulusSettings stimulusSettings;
    sim::PrbsFor(opt.pattern, stimulusSettings.polynomial);
    stimulusSettings.bits = opt.bits;
    stimulusSettings.samplesPerBit = opt.samplesPerBit;
    stimulusSettings.amplitude = opt.amplitude;
    stimulusSettings.noise = opt.noise;
    stimulusSettings.seed = opt.seed;
    stimulusSettings.bitTime = bitTime;
    stimulusSettings.impairments = opt.impairments;
    sim::Stimulus stimulus(stimulusSettings, channel.taps);

    sim::AnalysisSettings analysisSettings;
    analysisSettings.bitTime = bitTime;
    analysisSettings.samplesPerBit = opt.samplesPerBit;
    analysisSettings.polynomial = stimulusSettings.polynomial;
    analysisSettings.impairments = opt.impairments;
    analysisSettings.seed = opt.seed;
    analysisSettings.settleBits = opt.settleBits;
    analysisSettings.maxLatencyBits =
        std::min<std::size_t>(channel.taps.size() / static_cast<std::size_t>(opt.samplesPerBit) + kModelLatencyBits, 1 << 16);
    if (!channel.taps.empty()) {
        const auto peak = std::max_element(channel.taps.begin(), channel.taps.end(),
                                           [](double a, double b) { return std::fabs(a) < std::fabs(b); });
        analysisSettings.channelDelay = static_cast<double>(peak - channel.taps.begin()) * dt;
    }
    sim::LinkAnalyser analyser(analysisSettings);

    sim::RunDescription run;
    run.library = library;
    run.parameters = parameters;
    run.pattern = "PRBS-" + std::to_string(opt.pattern);
    run.channel = channel.description;
    run.channelNotes = channel.notes;
    run.channelWarnings = channel.warnings;
    run.channelLoss = channel.loss;
    run.nyquistLossDb = channel.nyquistLossDb;
    run.transmitter = sim::DescribeTransmitter(opt.transmitter);
    run.bits = opt.bits;
    run.bitRate = opt.bitRate;
    run.samplesPerBit = opt.samplesPerBit;
    run.amplitude = opt.amplitude;
    run.noise = opt.noise;
    run.impairments = opt.impairments;
    run.settleBits = opt.settleBits;
    run.seed = opt.seed;

    // Made before the run, so that what only making it shows (a name too long, a
    // full disk) ends nothing long.
    if (!outDir.empty()) {
        std::error_code ec;
        fs::create_directories(outDir, ec);
        if (ec) return Fail("cannot create the folder '" + outDir + "': " + ec.message());
    }
    sim::CatchStopSignals();
    WorkingDirectory work;
    if (!work.ok()) return Fail("cannot create a working directory for the model");
    sim::ModelRunSettings settings{parameters, bitTime, opt.samplesPerBit, opt.block, stimulus.TotalSamples(), true, {}};
    sim::StateTrace frequencyCorrection("frequency_offset_ppm");
    settings.onState = [&](std::size_t samples, const char* state) {
        frequencyCorrection.Add(samples, state);
        double ppm = 0;
        if (sim::StateValue(state, "frequency_offset_ppm", ppm)) analyser.ModelCorrection(ppm);
    };
    sim::ModelRunResult result;
    if (!sim::RunModel(
            host, settings,
            [&](double* wave, std::size_t n) { return sim::StopSignal() ? std::size_t{0} : stimulus.Next(wave, n); },
            [&](const double* in, const double* out, std::size_t n, const double* times, std::size_t count) {
                analyser.Add(in, out, n, times, count);
            },
            result, error))
        return Fail(error);
    const sim::LinkMetrics metrics = analyser.Finish();
    run.modelMessage = result.message;
    run.modelState = result.state;
    run.seconds = result.seconds;
    run.samplesPerSecond = result.seconds > 0 ? static_cast<double>(result.samples) / result.seconds : 0;
    run.adaptation = sim::ReadAdaptationLog((work.path() / "Velrok.adapt").string(), kLogPeriod);
    // Kept now: the pulse responses below run the model again in this directory,
    // and each instance writes its own log over this one.
    const bool haveLog = fs::exists(work.path() / "Velrok.adapt");
    const std::string adaptationLog = haveLog ? ReadWholeFile(work.path() / "Velrok.adapt") : "";
    run.frequencyCorrection = frequencyCorrection.Points();
    if (sim::StopSignal()) {
        const std::size_t bitsDone = result.samples / static_cast<std::size_t>(opt.samplesPerBit);
        run.stopped = std::string("interrupted by ") + sim::StopSignalName(sim::StopSignal()) + " at sample " +
                      std::to_string(result.samples) + ", bit " + std::to_string(bitsDone) + " of " +
                      std::to_string(opt.bits) + "; the figures cover the run up to there";
    }
    std::string gainParameter;
    for (const auto& p : model.values)
        if (p.first == "anlg_eql_gaincode") gainParameter = p.second;
    const bool adaptive = std::atof(gainParameter.c_str()) < 0;
    run.initialGainCode = adaptive ? 7 : std::atof(gainParameter.c_str());
    run.finalGainCode = adaptive && !run.adaptation.empty() ? run.adaptation.back().gainCode : run.initialGainCode;

    sim::ModelParameters fixed = model;
    if (adaptive) sim::ApplyOverrides(fixed, {"anlg_eql_gaincode=" + std::to_string(std::lround(run.finalGainCode))}, error);
    if (!sim::StopSignal()) PulseResponses(host, sim::ParameterString(fixed), opt, channel.taps, run);

    std::fputs(sim::Summary(run, metrics).c_str(), stdout);
    std::fflush(stdout);  // a closed pipe here is noted as SIGPIPE; the files below are still written
    if (!outDir.empty()) {
        std::error_code ec;
        fs::create_directories(outDir, ec);
        if (ec) return Fail("cannot create the folder '" + outDir + "': " + ec.message());
        const fs::path out(outDir);
        if (!WriteFile(out / "report.html", sim::ReportHtml(run, metrics), error) ||
            !WriteFile(out / "metrics.json", sim::MetricsJson(run, metrics), error) ||
            !WriteFile(out / "eye.svg", sim::EyeSvg(metrics), error) ||
            (haveLog && !WriteFile(out / "Velrok.adapt", adaptationLog, error)))
            return Fail(error);
        std::printf("Report:     %s\n", (out / "report.html").string().c_str());
        std::fflush(stdout);
    }
    return sim::StopSignal() ? 128 + sim::StopSignal() : 0;
}

// This tool's own path, for running the points of a sweep.
std::string SelfPath(const char* argv0) {
    std::error_code ec;
    const fs::path self = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::absolute(argv0).string() : self.string();
}

int Dispatch(int argc, char** argv) {
    const std::string command = argc > 1 ? argv[1] : "";
    if (command == "sweep") {
        sim::SweepOptions options;
        std::string error;
        if (!sim::ParseSweepOptions(argc - 2, argv + 2, options, error)) {
            std::fprintf(stderr, "velkor-sim: %s\n%s", error.c_str(), sim::SweepUsage());
            return 2;
        }
        if (options.help) {
            std::fputs(sim::SweepUsage(), stdout);
            return 0;
        }
        return sim::RunSweep(options, SelfPath(argv[0]));
    }
    if (command == "merge") return sim::RunMerge(argc - 2, argv + 2);
    if (command == "jtol") {
        sim::JtolOptions options;
        std::string error;
        if (!sim::ParseJtolOptions(argc - 2, argv + 2, options, error)) {
            std::fprintf(stderr, "velkor-sim: %s\n%s", error.c_str(), sim::JtolUsage());
            return 2;
        }
        if (options.help) {
            std::fputs(sim::JtolUsage(), stdout);
            return 0;
        }
        return sim::RunJtol(options, SelfPath(argv[0]));
    }
    return Run(argc, argv);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        return Dispatch(argc, argv);
    } catch (const std::bad_alloc&) {
        return Fail("out of memory");
    } catch (const std::exception& e) {
        return Fail(std::string("unexpected failure: ") + e.what());
    }
}
