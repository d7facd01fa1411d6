// velkor-sim's per-bit work outside the model: the NRZ stimulus through the
// built-in channel (phase by phase, and the sample-rate path that impairments
// take), the eye's per-sample rows and the bathtub's per-slot tallies, at 16
// samples a bit. items_per_second: bits (samples for the rows) a CPU second.
#ifdef VELKOR_BENCH_SIM
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "tools/velkor-sim/Channel.h"
#include "tools/velkor-sim/EyeLevels.h"
#include "tools/velkor-sim/Fft.h"
#include "tools/velkor-sim/SlotTallies.h"

namespace {

constexpr std::size_t kSamplesPerBit = 16;
constexpr double kDt = 1e-10 / kSamplesPerBit;

std::vector<double> Levels(std::size_t bits) {
    std::vector<double> v(bits);
    std::uint32_t s = 1;
    for (auto& x : v) {
        s = s * 1103515245u + 12345u;
        x = (s >> 16) & 1 ? 0.4 : -0.4;
    }
    return v;
}

}  // namespace

static void BM_SimHeldStream(benchmark::State& state) {
    const sim::Channel channel = sim::BuiltInChannel(12, 10e9, kDt);
    sim::HeldStreamConvolver convolver(channel.taps, kSamplesPerBit);
    const std::size_t bits = convolver.SegmentValues();
    const std::vector<double> values = Levels(bits);
    std::vector<double> out(bits * kSamplesPerBit);
    for (auto _ : state) {
        convolver.Process(values.data(), bits, out.data());
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(bits));  // bits
}
BENCHMARK(BM_SimHeldStream)->Unit(benchmark::kMicrosecond);

static void BM_SimSampleStream(benchmark::State& state) {
    const sim::Channel channel = sim::BuiltInChannel(12, 10e9, kDt);
    sim::StreamConvolver convolver(channel.taps);
    const std::size_t n = convolver.Segment();
    std::vector<double> x(n);
    const std::vector<double> values = Levels(n / kSamplesPerBit + 1);
    for (auto _ : state) {
        for (std::size_t i = 0; i < n; ++i) x[i] = values[i / kSamplesPerBit];
        convolver.Process(x.data(), n);
        benchmark::DoNotOptimize(x.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(n / kSamplesPerBit));  // bits
}
BENCHMARK(BM_SimSampleStream)->Unit(benchmark::kMicrosecond);

static void BM_SimEyeRows(benchmark::State& state) {
    const std::vector<double> v = Levels(4096);
    std::vector<std::uint16_t> rows(v.size());
    const sim::LevelScale scale{-0.6, 0.6, 64};
    for (auto _ : state) {
        sim::Levels(scale, v.data(), v.size(), rows.data());
        benchmark::DoNotOptimize(rows.data());
    }
    state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(v.size()));  // samples
}
BENCHMARK(BM_SimEyeRows);

static void BM_SimSlotTallies(benchmark::State& state) {
    const std::vector<double> v = Levels(1024 * kSamplesPerBit);
    sim::SlotTallies tallies(kSamplesPerBit);
    for (auto _ : state) {
        for (std::size_t b = 0; b < 1024; ++b)
            tallies.Add(v.data() + b * kSamplesPerBit, kSamplesPerBit, 0, v[b * kSamplesPerBit] > 0);
        benchmark::DoNotOptimize(tallies.compared.data());
    }
    state.SetItemsProcessed(state.iterations() * 1024);  // bits
}
BENCHMARK(BM_SimSlotTallies);
#endif
