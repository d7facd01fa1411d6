// Speed of the receiver: AMI_GetWave on both paths, the FIR kernels against the
// machine's multiply-add peak, the limiter's tanh, the cost of a set change and
// of AMI_Init. Every figure is CPU time (Google Benchmark's default, and the
// thread's CPU clock where a benchmark times itself): on a shared machine the
// wall clock also counts the time other processes held the core.
#include <benchmark/benchmark.h>
#include <immintrin.h>

#include <algorithm>
#include <ctime>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "ami/AmiModelInstance.h"
#include "support/AmiLibrary.h"
#include "kernels/FirKernels.h"
#include "kernels/TanhKernels.h"
#include "model/CustomFIR_select_inp.h"
#include "model/EqualiserTable.h"

using namespace CorvaneModelBuilder;

namespace {

// The model writes its log into the current directory: keep it out of the user's.
struct ScratchDirectory {
    ScratchDirectory() {
        const auto dir = std::filesystem::temp_directory_path() / "velkor_bench";
        std::filesystem::create_directories(dir);
        std::filesystem::current_path(dir);
    }
} scratch;

constexpr std::size_t kSamples = 1600000;  // 100000 bits of PRBS at 16 samples per bit

// CPU seconds this thread has used.
double CpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + 1e-9 * static_cast<double>(t.tv_nsec);
}

// PRBS-15 NRZ through a first-order channel, +-0.3 V.
const std::vector<double>& Waveform() {
    static const std::vector<double> wave = [] {
        std::vector<double> w(kSamples);
        unsigned state = 0x7fff;
        double y = -0.3;
        for (std::size_t i = 0; i < kSamples; i += 16) {
            const unsigned bit = ((state >> 14) ^ (state >> 13)) & 1u;
            state = ((state << 1) | bit) & 0x7fff;
            for (int s = 0; s < 16; ++s) {
                y += ((bit ? 0.3 : -0.3) - y) / 6.0;
                w[i + s] = y;
            }
        }
        return w;
    }();
    return wave;
}

using GetWaveFn = long (*)(double*, long, double*, char**, void*);

void RunGetWave(benchmark::State& state, GetWaveFn getWave, const char* parameters) {
    std::vector<double> wave(kSamples), times(1025);
    for (auto _ : state) {
        state.PauseTiming();
        void* memory = nullptr;
        std::string p = parameters;
        ami::Init(nullptr, 0, 0, 6.25e-12, 1e-10, p.data(), nullptr, &memory, nullptr);
        wave = Waveform();
        state.ResumeTiming();
        for (std::size_t pos = 0; pos < kSamples; pos += 1024)
            getWave(wave.data() + pos, static_cast<long>(std::min<std::size_t>(1024, kSamples - pos)), times.data(),
                    nullptr, memory);
        state.PauseTiming();
        ami::Close(memory);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kSamples));
    state.counters["samples_per_s"] = benchmark::Counter(static_cast<double>(state.iterations() * kSamples),
                                                         benchmark::Counter::kIsRate);
}

// Default parameters: the adaptive gain code moves the equaliser set now and then.
void BM_GetWave_BlockPath(benchmark::State& state) { RunGetWave(state, ami::GetWave, "(Velkor_Rx)"); }
void BM_GetWave_PerSample(benchmark::State& state) {
    RunGetWave(state, ami::GetWaveSampleBySample, "(Velkor_Rx)");
}
// Loop setting 3 locks fast, and the adaptation steps the gain code several times.
void BM_GetWave_BlockPath_Adapting(benchmark::State& state) {
    RunGetWave(state, ami::GetWave, "(Velkor_Rx (CDR_Threshold 3))");
}
void BM_GetWave_PerSample_Adapting(benchmark::State& state) {
    RunGetWave(state, ami::GetWaveSampleBySample, "(Velkor_Rx (CDR_Threshold 3))");
}
BENCHMARK(BM_GetWave_BlockPath)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetWave_PerSample)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetWave_BlockPath_Adapting)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetWave_PerSample_Adapting)->Unit(benchmark::kMillisecond);

// The benchmark's waveform through one fresh instance in calls of `call` samples:
// the CPU seconds of each call.
template <typename InitFn>
std::vector<double> CallSeconds(InitFn init, GetWaveFn getWave, long (*close)(void*), std::size_t call,
                                const char* parameters = "(Velkor_Rx)") {
    std::vector<double> wave = Waveform(), times(call + 1), seconds;
    void* memory = nullptr;
    std::string p = parameters;
    init(nullptr, 0, 0, 6.25e-12, 1e-10, p.data(), nullptr, &memory, nullptr);
    for (std::size_t pos = 0; pos < kSamples; pos += call) {
        const double start = CpuSeconds();
        getWave(wave.data() + pos, static_cast<long>(std::min(call, kSamples - pos)), times.data(), nullptr, memory);
        seconds.push_back(CpuSeconds() - start);
    }
    close(memory);
    return seconds;
}

double Median(std::vector<double> v) {
    std::nth_element(v.begin(), v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2), v.end());
    return v[v.size() / 2];
}

double Total(const std::vector<double>& v) {
    double sum = 0;
    for (double x : v) sum += x;
    return sum;
}

template <typename InitFn>
double SecondsFor(InitFn init, GetWaveFn getWave, long (*close)(void*)) {
    return Total(CallSeconds(init, getWave, close, 1024));
}

// The figure of the speed target: the median call of range(0) samples, default
// parameters, in CPU nanoseconds a sample (calls a set change or a log line lands
// in are among the slow ones, which the median leaves out; the mean is beside it).
void BM_GetWave_MedianCall(benchmark::State& state) {
    const auto call = static_cast<std::size_t>(state.range(0));
    std::vector<double> medians, means;
    for (auto _ : state) {
        const auto seconds = CallSeconds(ami::Init, ami::GetWave, ami::Close, call);
        medians.push_back(Median(seconds) / static_cast<double>(call));
        means.push_back(Total(seconds) / static_cast<double>(kSamples));
    }
    state.counters["median_call_ns_per_sample"] = 1e9 * Median(medians);
    state.counters["mean_ns_per_sample"] = 1e9 * Median(means);
}
BENCHMARK(BM_GetWave_MedianCall)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond)->Iterations(5);

// The ratio of the two paths, measured side by side in this run.
void BM_GetWave_SpeedRatio(benchmark::State& state) {
    double ratio = 0;
    for (auto _ : state)
        ratio = SecondsFor(ami::Init, ami::GetWaveSampleBySample, ami::Close) /
                SecondsFor(ami::Init, ami::GetWave, ami::Close);
    state.counters["block_over_per_sample"] = ratio;
}
BENCHMARK(BM_GetWave_SpeedRatio)->Unit(benchmark::kMillisecond)->Iterations(3);

// This build's library side by side with another build of it, named by
// VELKOR_BASELINE_LIBRARY (say, one built from an earlier commit): both loaded as
// a simulator loads them, run alternately on the same waveform in calls of
// range(0) samples; each library's best median call (the target's figure) over
// the iterations, and their ratio.
void BM_GetWave_VersusBaseline(benchmark::State& state) {
    const char* baselinePath = std::getenv("VELKOR_BASELINE_LIBRARY");
    if (!baselinePath) {
        state.SkipWithError("VELKOR_BASELINE_LIBRARY names no library to compare with");
        return;
    }
    const auto call = static_cast<std::size_t>(state.range(0));
    AmiLibrary ours(VELKOR_LIBRARY_PATH), baseline(baselinePath);
    double bestOurs = 1e9, bestBaseline = 1e9;
    for (auto _ : state) {
        bestBaseline = std::min(bestBaseline, Median(CallSeconds(baseline.Init, baseline.GetWave, baseline.Close, call)));
        bestOurs = std::min(bestOurs, Median(CallSeconds(ours.Init, ours.GetWave, ours.Close, call)));
    }
    state.counters["median_call_ns_per_sample"] = 1e9 * bestOurs / static_cast<double>(call);
    state.counters["baseline_median_call_ns_per_sample"] = 1e9 * bestBaseline / static_cast<double>(call);
    state.counters["speed_over_baseline"] = bestBaseline / bestOurs;
}
BENCHMARK(BM_GetWave_VersusBaseline)->Arg(1024)->Arg(4096)->Unit(benchmark::kMillisecond)->Iterations(10);

// Peak of independent multiply-adds (separate multiply and add, as the kernels do),
// per CPU second. Twelve accumulators, each fed its own product every step (twelve
// distinct factors, so no product is shared), and no chain of multiplies between
// steps: the common factor passes through an empty asm each step, so the compiler
// cannot hoist the products and the core never waits on a multiply's latency;
// twelve additions in flight cover the adder's latency on the cores we run on
// (3-4 cycles, 2 pipes). Fewer chains would measure latency, not
// throughput, and a kernel would appear to beat its peak.
#define VELKOR_PEAK(name, isa, type, set1, mul, add, store, lanes)                                       \
    __attribute__((target(isa))) double name() {                                                      \
        type m = set1(0.5);                                                                           \
        type a0 = set1(1), a1 = set1(1), a2 = set1(1), a3 = set1(1), a4 = set1(1), a5 = set1(1),      \
             a6 = set1(1), a7 = set1(1), a8 = set1(1), a9 = set1(1), a10 = set1(1), a11 = set1(1);    \
        const type x0 = set1(1e-9), x1 = set1(2e-9), x2 = set1(3e-9), x3 = set1(4e-9), x4 = set1(5e-9), \
                   x5 = set1(6e-9), x6 = set1(7e-9), x7 = set1(8e-9), x8 = set1(9e-9), x9 = set1(1e-8), \
                   x10 = set1(1.1e-8), x11 = set1(1.2e-8);                                            \
        const long iterations = 5000000;                                                              \
        const double start = CpuSeconds();                                                            \
        for (long i = 0; i < iterations; ++i) {                                                       \
            asm volatile("" : "+v"(m)); /* opaque each step: the products stay in the loop */         \
            a0 = add(a0, mul(x0, m));                                                                 \
            a1 = add(a1, mul(x1, m));                                                                 \
            a2 = add(a2, mul(x2, m));                                                                 \
            a3 = add(a3, mul(x3, m));                                                                 \
            a4 = add(a4, mul(x4, m));                                                                 \
            a5 = add(a5, mul(x5, m));                                                                 \
            a6 = add(a6, mul(x6, m));                                                                 \
            a7 = add(a7, mul(x7, m));                                                                 \
            a8 = add(a8, mul(x8, m));                                                                 \
            a9 = add(a9, mul(x9, m));                                                                 \
            a10 = add(a10, mul(x10, m));                                                              \
            a11 = add(a11, mul(x11, m));                                                              \
        }                                                                                             \
        const double s = CpuSeconds() - start;                                                        \
        double sink[lanes];                                                                           \
        store(sink, add(add(add(add(a0, a1), add(a2, a3)), add(add(a4, a5), add(a6, a7))),           \
                        add(add(a8, a9), add(a10, a11))));                                            \
        benchmark::DoNotOptimize(sink);                                                               \
        return iterations * 12.0 * lanes / s;                                                         \
    }

VELKOR_PEAK(Peak512, "avx512f", __m512d, _mm512_set1_pd, _mm512_mul_pd, _mm512_add_pd, _mm512_storeu_pd, 8)
VELKOR_PEAK(Peak256, "avx2", __m256d, _mm256_set1_pd, _mm256_mul_pd, _mm256_add_pd, _mm256_storeu_pd, 4)
VELKOR_PEAK(Peak128, "sse2", __m128d, _mm_set1_pd, _mm_mul_pd, _mm_add_pd, _mm_storeu_pd, 2)

// The peak of each kind's vector width, measured once in this run.
double PeakFor(KernelKind kind) {
    static const double peak512 = KernelSupported(KernelKind::Avx512) ? Peak512() : 0.0;
    static const double peak256 = KernelSupported(KernelKind::Avx2) ? Peak256() : 0.0;
    static const double peak128 = Peak128();
    switch (kind) {
        case KernelKind::Avx512: return peak512;
        case KernelKind::Avx2: return peak256;
        default: return peak128;
    }
}

void BM_FirKernel(benchmark::State& state, KernelKind kind) {
    const FirKernel kernel = kFirKernels.For(kind);
    if (!kernel) {
        state.SkipWithError("not supported by this processor");
        return;
    }
    const int taps = 125;
    std::vector<double> h(taps), x(taps - 1 + 512), y(512), scratch(FirScratchSize(taps, 512));
    std::mt19937 rng(1);
    for (auto& v : h) v = rng() / 4e9;
    for (auto& v : x) v = rng() / 4e9 - 0.5;
    const double peak = PeakFor(kind);
    const double start = CpuSeconds();
    for (auto _ : state) {
        kernel(h.data(), taps, x.data() + taps - 1, y.data(), 512, scratch.data());
        benchmark::DoNotOptimize(y.data());
    }
    const double rate = static_cast<double>(state.iterations()) * taps * 512 / (CpuSeconds() - start);
    state.counters["multiply_adds_per_s"] = rate;
    state.counters["peak_multiply_adds_per_s"] = peak;  // of this kernel's vector width
    state.counters["share_of_peak"] = peak > 0 ? rate / peak : 0.0;
}
BENCHMARK_CAPTURE(BM_FirKernel, reference, KernelKind::Reference);
BENCHMARK_CAPTURE(BM_FirKernel, sse2, KernelKind::Sse2);
BENCHMARK_CAPTURE(BM_FirKernel, avx2, KernelKind::Avx2);
BENCHMARK_CAPTURE(BM_FirKernel, avx512, KernelKind::Avx512);

// A change of equaliser set: the spline resampling of the new response into taps.
void BM_SetChange(benchmark::State& state) {
    CustomFIR_select_inp eq;
    eq.ResponseSets.Assign(EqualiserTable::Responses(), EqualiserTable::kPoints, EqualiserTable::kSets);
    eq.ResponseTimeStamps.Assign(EqualiserTable::TimeStamps(), EqualiserTable::kPoints, 1);
    eq.SampleRate = 1.6e11;
    eq.NumberOfSets = EqualiserTable::kSets;
    eq.Setup();
    int index = 1;
    for (auto _ : state) {
        eq.SetIndex = index = index == 339 ? 340 : 339;
        benchmark::DoNotOptimize(eq.FollowSetIndex());
    }
}
BENCHMARK(BM_SetChange)->Unit(benchmark::kMicrosecond);

void BM_AmiInit(benchmark::State& state) {
    for (auto _ : state) {
        void* memory = nullptr;
        std::string p = "(Velkor_Rx (CDR_Threshold 0) (anlg_eql_gaincode -1))";
        benchmark::DoNotOptimize(ami::Init(nullptr, 0, 0, 6.25e-12, 1e-10, p.data(), nullptr, &memory, nullptr));
        state.PauseTiming();
        ami::Close(memory);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_AmiInit)->Unit(benchmark::kMicrosecond);

// AMI_Init on a parameter string whose lists nest range(0) deep before the
// model's parameters: parsing, look-up and freeing are linear in the depth.
void BM_AmiInit_DeeplyNested(benchmark::State& state) {
    const auto depth = static_cast<std::size_t>(state.range(0));
    std::string text = "(Velkor_Rx ";
    for (std::size_t i = 0; i < depth; ++i) text += "(d";
    text += "(x 1)" + std::string(depth, ')') + " (CDR_Threshold 3))";
    for (auto _ : state) {
        void* memory = nullptr;
        std::string p = text;
        benchmark::DoNotOptimize(ami::Init(nullptr, 0, 0, 6.25e-12, 1e-10, p.data(), nullptr, &memory, nullptr));
        state.PauseTiming();
        ami::Close(memory);
        state.ResumeTiming();
    }
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_AmiInit_DeeplyNested)->Arg(20000)->Arg(200000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace

// The limiter's tanh over a 512-sample run: the platform's, ours value by value,
// and ours vectorised, on the arguments the limiter sees (-4 .. 4).
void BM_Tanh(benchmark::State& state, int which) {
    std::vector<double> x(512), y(512);
    std::mt19937 rng(2);
    for (auto& v : x) v = rng() / 5.4e8 - 4.0;
    const TanhKernel kernel = which >= 0 ? kTanhKernels.For(static_cast<KernelKind>(which)) : nullptr;
    if (which >= 0 && !kernel) {
        state.SkipWithError("not supported by this processor");
        return;
    }
    for (auto _ : state) {
        if (kernel)
            kernel(x.data(), y.data(), 512);
        else
            for (std::size_t i = 0; i < 512; ++i) y[i] = std::tanh(x[i]);
        benchmark::DoNotOptimize(y.data());
    }
    // Seconds per value (shown with an SI prefix: 2.5n is 2.5 ns).
    state.counters["s_per_value"] =
        benchmark::Counter(512, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(BM_Tanh, platform, -1);
BENCHMARK_CAPTURE(BM_Tanh, scalar, static_cast<int>(KernelKind::Reference));
BENCHMARK_CAPTURE(BM_Tanh, sse2, static_cast<int>(KernelKind::Sse2));
BENCHMARK_CAPTURE(BM_Tanh, avx2, static_cast<int>(KernelKind::Avx2));
BENCHMARK_CAPTURE(BM_Tanh, avx512, static_cast<int>(KernelKind::Avx512));
