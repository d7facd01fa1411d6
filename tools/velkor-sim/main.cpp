// velkor-sim: the Velkor_Rx receiver driven as a channel simulator drives it.
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tools/velkor-sim/AmiHost.h"
#include "tools/velkor-sim/Analysis.h"
#include "tools/velkor-sim/Channel.h"
#include "tools/velkor-sim/Fft.h"
#include "tools/velkor-sim/KitParameters.h"
#include "tools/velkor-sim/Options.h"
#include "tools/velkor-sim/Prbs.h"
#include "tools/velkor-sim/Report.h"

namespace fs = std::filesystem;

namespace {

constexpr long long kLogPeriod = 50000;  // samples between lines of the model's adaptation log

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

class Progress {
public:
    explicit Progress(std::size_t total) : total_(total), start_(std::chrono::steady_clock::now()), tty_(isatty(2)) {}
    void Update(std::size_t done) {
        if (!tty_) return;
        const double elapsed = Seconds();
        if (elapsed < 1.0 || elapsed - last_ < 0.1) return;
        last_ = elapsed;
        const int width = 40, filled = static_cast<int>(width * done / std::max<std::size_t>(total_, 1));
        std::fprintf(stderr, "\r[%s%s] %3d%%  %.1f M samples/s ", std::string(filled, '#').c_str(),
                     std::string(width - filled, ' ').c_str(), static_cast<int>(100 * done / std::max<std::size_t>(total_, 1)),
                     done / elapsed / 1e6);
        shown_ = true;
    }
    void Done() {
        if (shown_) std::fprintf(stderr, "\r%*s\r", 70, "");
    }
    double Seconds() const {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::size_t total_;
    std::chrono::steady_clock::time_point start_;
    bool tty_;
    bool shown_ = false;
    double last_ = 0;
};

struct ModelRun {
    std::vector<double> output, clockTimes;
    std::string message;
    std::string state;  // AMI_parameters_out of the last AMI_GetWave
    double seconds = 0;
};

// One model instance over a whole waveform, block by block.
bool RunModel(sim::AmiHost& host, const std::string& parameters, double bitTime, int samplesPerBit,
              const std::vector<double>& input, long block, bool progress, ModelRun& run, std::string& error) {
    std::string params = parameters;
    void* memory = nullptr;
    char* message = nullptr;
    char* parametersOut = nullptr;
    const long ok = host.Init(nullptr, 0, 0, bitTime / samplesPerBit, bitTime, params.data(), &parametersOut,
                              &memory, &message);
    if (message) run.message = message;
    if (ok != 1) {
        error = "AMI_Init failed: " + (run.message.empty() ? std::string("no message") : run.message);
        if (memory) host.Close(memory);
        return false;
    }
    run.output = input;
    std::vector<double> times(static_cast<std::size_t>(block) + 1);
    Progress bar(input.size());
    for (std::size_t pos = 0; pos < input.size(); pos += static_cast<std::size_t>(block)) {
        const long n = static_cast<long>(std::min<std::size_t>(block, input.size() - pos));
        if (host.GetWave(run.output.data() + pos, n, times.data(), &parametersOut, memory) != 1) {
            bar.Done();
            error = "AMI_GetWave failed at sample " + std::to_string(pos);
            host.Close(memory);
            return false;
        }
        for (long k = 0; k <= n && times[k] != -1.0; ++k) run.clockTimes.push_back(times[k]);
        if (progress) bar.Update(pos + n);
    }
    bar.Done();
    run.seconds = bar.Seconds();
    if (parametersOut) run.state = parametersOut;  // the text lives in the instance until AMI_Close
    if (host.Close(memory) != 1) {
        error = "AMI_Close failed";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
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

    sim::ModelParameters model;
    if (!sim::ReadAmiDefaults(opt.ami, model, error) || !sim::ApplyOverrides(model, opt.params, error)) return Fail(error);
    const std::string parameters = sim::ParameterString(model);

    sim::AmiHost host;
    if (!host.Load(library, error)) return Fail(error);

    const double bitTime = 1.0 / opt.bitRate;
    const double dt = bitTime / opt.samplesPerBit;
    sim::Channel channel;
    if (opt.channelFile.empty()) {
        channel = sim::BuiltInChannel(opt.lossDb, opt.bitRate, dt);
    } else {
        std::string ext = fs::path(opt.channelFile).extension().string();
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        const bool ok = ext == ".s2p" ? sim::ChannelFromTouchstone(opt.channelFile, dt, channel, error)
                                      : sim::ChannelFromFile(opt.channelFile, opt.stepResponse, dt, channel, error);
        if (!ok) return Fail(error);
    }

    sim::PrbsPolynomial polynomial{};
    sim::PrbsFor(opt.pattern, polynomial);
    sim::LinkRun link;
    link.bits = sim::GeneratePrbs(polynomial, opt.bits);
    link.bitTime = bitTime;
    link.samplesPerBit = opt.samplesPerBit;
    std::vector<double> nrz(opt.bits * static_cast<std::size_t>(opt.samplesPerBit));
    for (std::size_t i = 0; i < nrz.size(); ++i) nrz[i] = link.bits[i / opt.samplesPerBit] ? opt.amplitude : -opt.amplitude;
    std::vector<double> received = sim::Convolve(nrz, channel.taps);
    if (opt.noise > 0) {
        std::mt19937 rng(opt.seed);
        std::normal_distribution<double> gauss(0.0, opt.noise);
        for (double& v : received) v += gauss(rng);
    }

    sim::RunDescription run;
    run.library = library;
    run.parameters = parameters;
    run.pattern = "PRBS-" + std::to_string(opt.pattern);
    run.channel = channel.description;
    run.bits = opt.bits;
    run.bitRate = opt.bitRate;
    run.samplesPerBit = opt.samplesPerBit;
    run.amplitude = opt.amplitude;
    run.noise = opt.noise;

    WorkingDirectory work;
    if (!work.ok()) return Fail("cannot create a working directory for the model");
    ModelRun result;
    if (!RunModel(host, parameters, bitTime, opt.samplesPerBit, received, opt.block, true, result, error))
        return Fail(error);
    run.modelMessage = result.message;
    run.modelState = result.state;
    run.seconds = result.seconds;
    run.samplesPerSecond = result.seconds > 0 ? received.size() / result.seconds : 0;
    run.adaptation = sim::ReadAdaptationLog((work.path() / "Velrok.adapt").string(), kLogPeriod);
    if (!outDir.empty()) {
        std::error_code ec;
        fs::create_directories(outDir, ec);
        fs::copy_file(work.path() / "Velrok.adapt", fs::path(outDir) / "Velrok.adapt",
                      fs::copy_options::overwrite_existing, ec);
    }
    std::string gainParameter;
    for (const auto& p : model.values)
        if (p.first == "anlg_eql_gaincode") gainParameter = p.second;
    const bool adaptive = std::atof(gainParameter.c_str()) < 0;
    run.initialGainCode = adaptive ? 7 : std::atof(gainParameter.c_str());
    run.finalGainCode = adaptive && !run.adaptation.empty() ? run.adaptation.back().gainCode : run.initialGainCode;

    // The pulse of one bit through the channel, and through the equaliser held at
    // the final gain code (small-signal: a 1 mV pulse, baseline removed).
    const std::size_t pulseLength = std::min<std::size_t>(channel.taps.size() + 64 * opt.samplesPerBit, 1 << 16);
    std::vector<double> bit(pulseLength, 0.0);
    for (int i = 0; i < opt.samplesPerBit; ++i) bit[static_cast<std::size_t>(64 * opt.samplesPerBit / 2 + i)] = 1.0;
    run.pulseBefore = sim::Convolve(bit, channel.taps);
    for (double& v : run.pulseBefore) v *= opt.amplitude;
    {
        sim::ModelParameters fixed = model;
        if (adaptive) sim::ApplyOverrides(fixed, {"anlg_eql_gaincode=" + std::to_string(std::lround(run.finalGainCode))}, error);
        const double small = 1e-3;
        std::vector<double> probe(run.pulseBefore.size());
        for (std::size_t i = 0; i < probe.size(); ++i) probe[i] = run.pulseBefore[i] / opt.amplitude * small;
        ModelRun pulseRun, baseRun;
        std::string ignored;
        if (RunModel(host, sim::ParameterString(fixed), bitTime, opt.samplesPerBit, probe, 4096, false, pulseRun, ignored) &&
            RunModel(host, sim::ParameterString(fixed), bitTime, opt.samplesPerBit, std::vector<double>(probe.size(), 0.0),
                     4096, false, baseRun, ignored)) {
            run.pulseAfter.resize(probe.size());
            for (std::size_t i = 0; i < probe.size(); ++i)
                run.pulseAfter[i] = (pulseRun.output[i] - baseRun.output[i]) / small * opt.amplitude;
        }
    }

    link.output = std::move(result.output);
    link.clockTimes = std::move(result.clockTimes);
    const sim::LinkMetrics metrics = sim::Analyse(link);
    std::fputs(sim::Summary(run, metrics).c_str(), stdout);
    if (!outDir.empty()) {
        std::ofstream(fs::path(outDir) / "report.html") << sim::ReportHtml(run, metrics);
        std::ofstream(fs::path(outDir) / "metrics.json") << sim::MetricsJson(run, metrics);
        std::ofstream(fs::path(outDir) / "eye.svg") << sim::EyeSvg(metrics);
        if (!fs::exists(fs::path(outDir) / "report.html")) return Fail("cannot write the report into " + outDir);
        std::printf("Report:     %s\n", (fs::path(outDir) / "report.html").string().c_str());
    }
    return 0;
}
