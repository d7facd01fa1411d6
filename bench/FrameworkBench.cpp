#include <benchmark/benchmark.h>

#include "framework/Fork.h"
#include "framework/TypeConverter.h"

using namespace CorvaneModelBuilder;

// One per-sample step of the index feedback: fork, then rounding converter.
static void BM_ForkAndConvert(benchmark::State& state) {
    Fork<CircularBuffer<double>> fork;
    RoundingConverter conv;
    double in = 0, toPort = 0, toConv = 0;
    int out = 0;
    fork.Outputs.Resize(2);
    fork.Input.Attach(&in, 1);
    fork.Outputs.At(0)->Attach(&toPort, 1);
    fork.Outputs.At(1)->Attach(&toConv, 1);
    conv.Input.Attach(&toConv, 1);
    conv.Output.Attach(&out, 1);
    DFModel* blocks[2] = {&fork, &conv};
    for (auto _ : state) {
        in += 0.25;
        for (DFModel* b : blocks) b->Run();
        benchmark::DoNotOptimize(out);
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ForkAndConvert);

