// A run of the receiver through its three entry points, recorded whole: the
// equalised wave, the clock times, the AMI_parameters_out text after every call
// and the adaptation log. Its digest compares runs of different builds.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

struct EntryPoints {
    long (*init)(double*, long, long, double, double, char*, char**, void**, char**);
    long (*getWave)(double*, long, double*, char**, void*);
    long (*close)(void*);
};

struct RecordedRun {
    std::vector<double> wave, times;
    std::string states;  // AMI_parameters_out of AMI_Init and of every call, one a line
    std::string log;     // Velrok.adapt after AMI_Close
    bool ok = true;      // every entry point succeeded

    // FNV-1a over every byte of what the model computes: wave, clock times, log.
    std::uint64_t OutputDigest() const {
        std::uint64_t h = kFnvBasis;
        Add(h, wave.data(), wave.size() * sizeof(double));
        Add(h, times.data(), times.size() * sizeof(double));
        Add(h, log.data(), log.size());
        return h;
    }
    // The same over what it reports: the AMI_parameters_out texts. Kept apart, since
    // the report may be worded anew while the computation stays bit for bit.
    std::uint64_t StateDigest() const {
        std::uint64_t h = kFnvBasis;
        Add(h, states.data(), states.size());
        return h;
    }

private:
    static constexpr std::uint64_t kFnvBasis = 14695981039346656037ull;
    static void Add(std::uint64_t& h, const void* data, std::size_t size) {
        const auto* p = static_cast<const unsigned char*>(data);
        for (std::size_t i = 0; i < size; ++i) h = (h ^ p[i]) * 1099511628211ull;
    }
};

// Runs `wave` in calls whose sizes cycle through `calls`, in the current directory
// (where the model writes its log). The sample interval is bitTime / samplesPerBit.
inline RecordedRun Record(const EntryPoints& entry, const std::string& parameters, int samplesPerBit,
                          std::vector<double> wave, const std::vector<std::size_t>& calls, double bitTime = 1e-10) {
    RecordedRun r;
    std::filesystem::remove("Velrok.adapt");
    std::string p = parameters;
    void* memory = nullptr;
    char* out = nullptr;
    if (entry.init(nullptr, 0, 0, bitTime / samplesPerBit, bitTime, p.data(), &out, &memory, nullptr) != 1) {
        r.ok = false;
        if (memory) entry.close(memory);
        return r;
    }
    r.states += std::string(out ? out : "") + "\n";
    std::vector<double> times;
    std::size_t pos = 0;
    for (std::size_t call = 0; pos < wave.size(); ++call) {
        const std::size_t n = std::min(calls[call % calls.size()], wave.size() - pos);
        times.assign(n + 1, 0.0);
        r.ok = entry.getWave(wave.data() + pos, static_cast<long>(n), times.data(), &out, memory) == 1 && r.ok;
        for (std::size_t k = 0; k < times.size() && times[k] != -1.0; ++k) r.times.push_back(times[k]);
        r.states += std::string(out ? out : "") + "\n";
        pos += n;
    }
    r.ok = entry.close(memory) == 1 && r.ok;
    r.wave = std::move(wave);
    std::ifstream log("Velrok.adapt", std::ios::binary);
    std::ostringstream text;
    text << log.rdbuf();
    r.log = text.str();
    return r;
}
