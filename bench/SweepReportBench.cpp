// velkor-sim's sweep report over many distinct values that are not numbers (a
// sweep over channel files, say): its time grows with the rows, not their square.
#ifdef VELKOR_BENCH_SIM
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "tools/velkor-sim/Report.h"

static void BM_SweepReport_DistinctNames(benchmark::State& state) {
    const std::vector<std::string> header{"point", "channel", "status", "locked", "ber", "ber_high", "eye_height"};
    std::vector<std::vector<std::string>> rows;
    for (long k = 0; k < state.range(0); ++k)
        rows.push_back({std::to_string(k), "channel_" + std::to_string(k) + ".s2p", "0", "true", "1e-4", "2e-4", "0.3"});
    for (auto _ : state) benchmark::DoNotOptimize(sim::SweepReportHtml(header, rows, 1, "bench"));
    state.SetComplexityN(state.range(0));
}
BENCHMARK(BM_SweepReport_DistinctNames)->Arg(10000)->Arg(20000)->Arg(40000)->Arg(80000)
    ->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);
#endif
