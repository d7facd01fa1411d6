#include "model/CustomFIR_select_inp.h"

#include <algorithm>
#include <vector>

#include "kernels/CorrectlyRounded.h"

namespace {

constexpr int kBuiltInPoints = 500;

// Built-in response of a fresh block: a unity-gain low-pass with two poles at
// 5 GHz, sampled every picosecond. The model always replaces it before use.
void BuiltInResponse(std::vector<double>& values, std::vector<double>& stamps) {
    const double w = 2 * 3.141592653589793 * 5e9;
    values.resize(kBuiltInPoints);
    stamps.resize(kBuiltInPoints);
    for (int i = 0; i < kBuiltInPoints; ++i) {
        stamps[i] = i * 1e-12;
        values[i] = w * w * stamps[i] * CorvaneModelBuilder::crmath::Exp(-w * stamps[i]);
    }
}

}  // namespace

CustomFIR_select_inp::CustomFIR_select_inp() {
    std::vector<double> values, stamps;
    BuiltInResponse(values, stamps);
    ResponseSets.Assign(values.data(), kBuiltInPoints, 1);
    ResponseTimeStamps.Assign(stamps.data(), kBuiltInPoints, 1);
}

CustomFIR_select_inp::~CustomFIR_select_inp() {
    ReleaseWorkingArrays();
    ReleaseEdgeCells();
}

void CustomFIR_select_inp::ReleaseWorkingArrays() {
    delete[] WorkingResponse;
    delete[] WorkingTimeStamps;
    WorkingResponse = nullptr;
    WorkingTimeStamps = nullptr;
}

void CustomFIR_select_inp::ReleaseEdgeCells() {
    for (double*& cell : EdgeCells) {
        delete[] cell;
        cell = nullptr;
    }
}

std::uint64_t CustomFIR_select_inp::SourceOffset(std::int32_t k) const {
    const std::uint64_t points = ResponseSets.Count == 0 ? 0 : ResponseSets.Length(0);
    if (k >= 1 && k <= NumberOfSets) return static_cast<std::uint64_t>(k - 1) * points;
    return 0;
}

void CustomFIR_select_inp::FillWorkingResponse() {
    const double* source = ResponseSets.Data.get() + SourceOffset(SetIndex);
    std::copy(source, source + ResponseLength, WorkingResponse);
}

// A configuration beyond these limits would read outside the table.
bool CustomFIR_select_inp::CheckLimits() const {
    const std::uint64_t points = ResponseSets.Length(0);
    const char* broken = nullptr;
    if (ResponseSets.Count == 0 || !ResponseSets.Data)
        broken = "The response table is empty.";
    else if (ResponseLength < 0)
        broken = "ResponseLength must not be negative.";
    else if (static_cast<std::uint64_t>(ResponseLength) > points)
        broken = "ResponseLength is larger than the number of points of a response set.";
    else if (NumberOfSets > 0 && static_cast<std::uint64_t>(NumberOfSets) * points > ResponseSets.Count)
        broken = "NumberOfSets times the points of a set exceeds the response table.";
    else if (ResponseTimeStamps.Count < static_cast<std::uint64_t>(ResponseLength) || !ResponseTimeStamps.Data)
        broken = "There are fewer time stamps than ResponseLength.";
    if (broken) ReportBlockError(broken);
    return broken == nullptr;
}

bool CustomFIR_select_inp::Setup() {
    ReleaseWorkingArrays();
    if (!CheckLimits()) return false;
    Filter.ResponseType = static_cast<std::uint32_t>(ResponseType);
    const auto length = static_cast<std::size_t>(ResponseLength);
    WorkingResponse = new double[std::max<std::size_t>(length, 1)];
    FillWorkingResponse();
    Filter.ResponseCoefficients = WorkingResponse;
    Filter.NumResponseCoefficients = ResponseLength;
    WorkingTimeStamps = new double[std::max<std::size_t>(length, 1)];
    std::copy(ResponseTimeStamps.Data.get(), ResponseTimeStamps.Data.get() + length, WorkingTimeStamps);
    Filter.ResponseTimeStamps = WorkingTimeStamps;
    Filter.NumResponseTimeStamps = ResponseLength;
    Filter.SampleRate = SampleRate;
    const bool ok = Filter.Setup();
    Input.Rate = 1;
    if (Input.RequiredSize < 1) Input.RequiredSize = 1;
    Output.Rate = 1;
    if (Output.RequiredSize < 1) Output.RequiredSize = 1;
    return ok;
}

bool CustomFIR_select_inp::Initialize() {
    ReleaseEdgeCells();
    EdgeCells[0] = new double[1];
    EdgeCells[1] = new double[1];
    InnerInputRelay.Attach(EdgeCells[0], 1);
    Filter.Input.Attach(EdgeCells[0], 1);
    InnerOutputRelay.Attach(EdgeCells[1], 1);
    Filter.Output.Attach(EdgeCells[1], 1);
    return Filter.Initialize();
}

bool CustomFIR_select_inp::FollowSetIndex() {
    bool reloaded = true;
    if (SetIndex != PreviousIndex && WorkingResponse) {
        // New taps over the same delay line: past samples meet the new response.
        FillWorkingResponse();
        reloaded = Filter.Setup();
        ++ReloadCount;
    }
    PreviousIndex = SetIndex;
    return reloaded;
}

bool CustomFIR_select_inp::Run() {
    const bool reloaded = FollowSetIndex();
    Input.CopyTo(0, InnerInputRelay, 0, 1);
    const bool ran = Filter.Run();
    InnerOutputRelay.CopyTo(0, Output, 0, 1);
    return reloaded && ran;
}

bool CustomFIR_select_inp::Process(const double* in, double* out, std::size_t n) {
    bool ok = FollowSetIndex();
    if (BuffersApply()) {
        Filter.Process(in, out, n);
        return ok;
    }
    for (std::size_t i = 0; i < n; ++i) {
        Input.Current() = in[i];
        ok = Run() && ok;
        out[i] = Output.Current();
    }
    return ok;
}

bool CustomFIR_select_inp::Finalize() {
    const bool ok = Filter.Finalize();
    ReleaseEdgeCells();
    ReleaseWorkingArrays();
    return ok;
}
