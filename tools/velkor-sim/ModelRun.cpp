#include "tools/velkor-sim/ModelRun.h"

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace sim {

namespace {

class Progress {
public:
    Progress(std::size_t total, bool enabled)
        : total_(std::max<std::size_t>(total, 1)), start_(std::chrono::steady_clock::now()), tty_(enabled && isatty(2)) {}
    void Update(std::size_t done) {
        if (!tty_) return;
        const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        if (elapsed < 1.0 || elapsed - last_ < 0.1) return;
        last_ = elapsed;
        const int width = 40, filled = static_cast<int>(width * std::min(done, total_) / total_);
        std::fprintf(stderr, "\r[%s%s] %3d%%  %.1f M samples/s ", std::string(filled, '#').c_str(),
                     std::string(width - filled, ' ').c_str(), static_cast<int>(100 * std::min(done, total_) / total_),
                     static_cast<double>(done) / elapsed / 1e6);
        shown_ = true;
    }
    void Done() {
        if (shown_) std::fprintf(stderr, "\r%*s\r", 70, "");
        shown_ = false;
    }

private:
    std::size_t total_;
    std::chrono::steady_clock::time_point start_;
    bool tty_;
    bool shown_ = false;
    double last_ = 0;
};

}  // namespace

bool RunModel(AmiHost& host, const ModelRunSettings& s, const BlockSource& source, const BlockSink& sink,
              ModelRunResult& result, std::string& error) {
    std::string params = s.parameters;
    void* memory = nullptr;
    char* message = nullptr;
    char* parametersOut = nullptr;
    const long ok = host.Init(nullptr, 0, 0, s.bitTime / s.samplesPerBit, s.bitTime, params.data(), &parametersOut,
                              &memory, &message);
    if (message) result.message = message;
    if (ok != 1) {
        error = "AMI_Init failed: " + (result.message.empty() ? std::string("no message") : result.message);
        if (memory) host.Close(memory);
        return false;
    }
    const auto block = static_cast<std::size_t>(s.block);
    std::vector<double> input(block), wave(block), times(block + 1);
    Progress bar(s.totalSamples, s.progress);
    for (;;) {
        const std::size_t n = source(input.data(), block);
        if (n == 0) break;
        std::copy(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(n), wave.begin());
        std::fill(times.begin(), times.end(), -1.0);
        const auto called = std::chrono::steady_clock::now();
        const long status = host.GetWave(wave.data(), static_cast<long>(n), times.data(), &parametersOut, memory);
        result.seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - called).count();
        if (status != 1) {
            bar.Done();
            error = "AMI_GetWave failed at sample " + std::to_string(result.samples);
            host.Close(memory);
            return false;
        }
        std::size_t count = 0;
        while (count <= n && times[count] != -1.0) ++count;
        if (s.onState && parametersOut) s.onState(result.samples + n, parametersOut);
        sink(input.data(), wave.data(), n, times.data(), count);
        result.samples += n;
        bar.Update(result.samples);
    }
    bar.Done();
    if (parametersOut) result.state = parametersOut;  // the text lives in the instance until AMI_Close
    if (host.Close(memory) != 1) {
        error = "AMI_Close failed";
        return false;
    }
    return true;
}

}  // namespace sim
