// The checker on files of many pins, components and named files: time grows
// linearly with the file, and the findings about a shared package model with
// its pins, not with its pins times its components. The counters show the
// findings (errors) of one check.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "IbisParser/engine/frame.h"
#include "IbisParser/engine/parse.h"
#include "IbisParser/engine/report.h"

namespace {

namespace fs = std::filesystem;

// A folder of the benchmark's own files; the reports go nowhere.
class CheckerScratch {
public:
    CheckerScratch() : path_(fs::temp_directory_path() / ("velkor_bench_" + std::to_string(::getpid()))) {
        fs::create_directories(path_);
        sink_ = std::fopen("/dev/null", "w");
        SetReportStream(sink_);
        Frame().quiet = true;
    }
    ~CheckerScratch() {
        SetReportStream(nullptr);
        std::fclose(sink_);
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    CheckerScratch(const CheckerScratch&) = delete;
    CheckerScratch& operator=(const CheckerScratch&) = delete;

    std::string Write(const std::string& name, const std::string& text) const {
        const std::string file = (path_ / name).string();
        std::ofstream(file, std::ios::binary) << text;
        return file;
    }

private:
    fs::path path_;
    std::FILE* sink_ = nullptr;
};

std::string Header(const std::string& name) { return "[IBIS Ver] 4.2\n[File Name] " + name + "\n[File Rev] 1\n"; }

std::string Component(const std::string& name, int pins, const std::string& package) {
    std::string text = "[Component] " + name + "\n[Manufacturer] m\n[Package]\nR_pkg 1m NA NA\nL_pkg 1n NA NA\n"
                       "C_pkg 1p NA NA\n";
    if (!package.empty()) text += "[Package Model] " + package + "\n";
    text += "[Pin] signal_name model_name\n";
    for (int i = 1; i <= pins; ++i) text += "P" + std::to_string(i) + " S in\n";
    return text;
}

const char* const kInputModel =
    "[Model] in\nModel_type Input\nVinl = 0.8V\nVinh = 2.0V\nC_comp 1pF 1pF 1pF\n[Voltage Range] 3.3V 3.0V 3.6V\n";

std::string PackageModel(int pins) {
    std::string numbers, rows;
    for (int i = 1; i <= pins; ++i) {
        numbers += std::to_string(i) + "\n";
        rows += "[Row] " + std::to_string(i) + "\n1n\n";
    }
    return "[Define Package Model] pk\n[Manufacturer] m\n[OEM] o\n[Description] d\n[Number Of Pins] " +
           std::to_string(pins) + "\n[Pin Numbers]\n" + numbers +
           "[Model Data]\n[Inductance Matrix] Diagonal_matrix\n" + rows + "[Capacitance Matrix] Diagonal_matrix\n" + rows +
           "[End Model Data]\n[End Package Model]\n";
}

void Check(benchmark::State& state, const std::string& file) {
    std::uint32_t errors = 0;
    for (auto _ : state) {
        ResetCounts();
        CheckIbisFile(file.c_str(), FileKindOf(file));
        GetCounts(nullptr, &errors, nullptr);
    }
    state.counters["findings"] = errors;
    state.SetComplexityN(state.range(0));
}

// A board of N pins, each with a path to a Node on one component of N pins.
void BM_BoardNodePins(benchmark::State& state) {
    const CheckerScratch scratch;
    const int n = static_cast<int>(state.range(0));
    scratch.Write("part.ibs", Header("part.ibs") + Component("chip", n, "") + kInputModel + "[End]\n");
    std::string board = Header("board.ebd") + "[Begin Board Description] b\n[Manufacturer] m\n[Number Of Pins] " +
                        std::to_string(n) + "\n[Pin List] signal_name\n";
    std::string paths;
    for (int i = 1; i <= n; ++i) {
        board += "A" + std::to_string(i) + " S\n";
        paths += "[Path Description] p" + std::to_string(i) + "\nPin A" + std::to_string(i) + "\nNode u1.P" +
                 std::to_string(i) + "\n";
    }
    board += paths + "[Reference Designator Map]\nu1 part.ibs chip\n[End Board Description]\n[End]\n";
    Check(state, scratch.Write("board.ebd", board));
}
BENCHMARK(BM_BoardNodePins)->Arg(10000)->Arg(80000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// K components of one pin each naming a package model of K pins defined in the
// file: every pin of the model is missing from every component.
void BM_SharedPackageModelFindings(benchmark::State& state) {
    const CheckerScratch scratch;
    const int k = static_cast<int>(state.range(0));
    std::string ibs = Header("shared.ibs");
    for (int c = 0; c < k; ++c) ibs += Component("c" + std::to_string(c), 1, "pk");
    ibs += std::string(kInputModel) + PackageModel(k) + "[End]\n";
    Check(state, scratch.Write("shared.ibs", ibs));
}
BENCHMARK(BM_SharedPackageModelFindings)->Arg(500)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

// K components naming the package model of a .pkg file of 20 000 pins (about 0.6 MB).
void BM_SharedPackageFile(benchmark::State& state) {
    const CheckerScratch scratch;
    const int k = static_cast<int>(state.range(0));
    scratch.Write("pk.pkg", Header("pk.pkg") + PackageModel(20000) + "[End]\n");
    std::string ibs = Header("users.ibs");
    for (int c = 0; c < k; ++c) ibs += Component("c" + std::to_string(c), 1, "pk");
    ibs += std::string(kInputModel) + "[End]\n";
    Check(state, scratch.Write("users.ibs", ibs));
}
BENCHMARK(BM_SharedPackageFile)->Arg(200)->Arg(2000)->Unit(benchmark::kMillisecond)->Complexity(benchmark::oN);

}  // namespace
