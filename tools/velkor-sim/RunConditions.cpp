#include "tools/velkor-sim/RunConditions.h"

#include <algorithm>
#include <cstdlib>

#include "tools/velkor-sim/Plot.h"
#include "tools/velkor-sim/Sweep.h"

namespace sim {

namespace fs = std::filesystem;

std::string RunConditions(const std::vector<std::string>& runArguments, const fs::path& folder) {
    std::string options;
    for (const auto& a : runArguments) options += (options.empty() ? "" : " ") + a;
    std::string text = "Options of every run: " + (options.empty() ? std::string("(defaults)") : options);
    // The first run that wrote its figures, in the order of the point folders.
    std::vector<fs::path> runs;
    std::error_code ec;
    for (fs::directory_iterator it(folder / "points", ec), end; !ec && it != end; it.increment(ec))
        if (fs::exists(it->path() / "metrics.json")) runs.push_back(it->path());
    if (runs.empty()) return text + "\n(no run wrote its figures)";
    // The acquisition run of a jitter-tolerance search (no SJ, other bits) only when there is no other.
    std::sort(runs.begin(), runs.end(), [](const fs::path& a, const fs::path& b) {
        const bool aq = a.filename() == "acquisition", bq = b.filename() == "acquisition";
        return aq != bq ? bq : a < b;
    });
    const std::string json = ReadText((runs.front() / "metrics.json").string());
    const std::string name = runs.front().filename().string();
    auto value = [&](const char* key) { return MetricsValue(json, key); };
    text += "\nAs run in " + name + " (swept values differ from point to point):";
    text += "\n  Channel:    " + value("channel");
    text += "\n  Model:      " + value("parameters");
    text += "\n  Stimulus:   " + value("bits") + " bits of " + value("pattern") + " at " +
            Format("%g", std::atof(value("bit_rate").c_str()) / 1e9) + " Gb/s, " + value("samples_per_bit") +
            " samples per bit, " + value("amplitude") + " V, seed " + value("seed");
    if (value("noise_rms") != "0") text += ", noise " + value("noise_rms") + " V rms in a band of " + value("noise_bandwidth_hz") + " Hz";
    return text;
}

}  // namespace sim
