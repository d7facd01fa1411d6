// The receiver's analogue equaliser: an FIR whose taps come from one response
// out of a table, chosen by SetIndex (1-based) and rebuilt when it changes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "blocks/TimeResponseFIR.h"
#include "framework/CircularBuffer.h"
#include "framework/DFModel.h"
#include "model/DoubleArray2D.h"

class CustomFIR_select_inp : public CorvaneModelBuilder::DFModel {
public:
    CorvaneModelBuilder::CircularBuffer<double> Input;
    CorvaneModelBuilder::CircularBuffer<double> Output;
    std::int32_t ResponseType = 0;
    DoubleArray2D ResponseSets;        // points x sets, first dimension contiguous
    DoubleArray2D ResponseTimeStamps;  // points x 1, seconds
    double SampleRate = 1e11;
    std::int32_t ResponseLength = 500;
    std::int32_t NumberOfSets = 1;
    std::int32_t SetIndex = 0;         // input, 1-based; anything else selects set 0
    std::int32_t PreviousIndex = 0;
    CorvaneModelBuilder::TimeResponseFIR Filter;
    double* WorkingResponse = nullptr;
    double* WorkingTimeStamps = nullptr;
    CorvaneModelBuilder::CircularBuffer<double> InnerInputRelay;
    CorvaneModelBuilder::CircularBuffer<double> InnerOutputRelay;
    double* EdgeCells[2] = {nullptr, nullptr};
    std::uint64_t ReloadCount = 0;     // taps rebuilt by Run since construction

    CustomFIR_select_inp();
    ~CustomFIR_select_inp() override;

    bool Setup() override;
    bool Initialize() override;
    bool Run() override;
    bool Finalize() override;

    // Reloads the taps when SetIndex changed since the last call (the first step
    // of Run); false when the new set could not be loaded.
    bool FollowSetIndex();

    // The buffer path (see FIR): after FollowSetIndex, the filter's outputs of the
    // next n inputs with the current set, not yet taken in; Commit takes the first
    // m in. Only while BuffersApply (a new set may change the filter's shape).
    bool BuffersApply() const { return Filter.ProcessApplies(); }
    void Lookahead(const double* in, double* out, std::size_t n) { Filter.Lookahead(in, out, n); }
    void Commit(std::size_t m) { Filter.Commit(m); }
    std::size_t CopyStaged(double* to) const { return Filter.CopyStaged(to); }
    // Run over a buffer with SetIndex held: both steps at once, or firing by
    // firing through the ports where the buffer path does not apply.
    bool Process(const double* in, double* out, std::size_t n);
    void SetKernel(CorvaneModelBuilder::KernelKind kind) { Filter.SetKernel(kind); }

    // Element offset of the set that index k selects.
    std::uint64_t SourceOffset(std::int32_t k) const;

private:
    bool CheckLimits() const;
    void FillWorkingResponse();
    void ReleaseWorkingArrays();
    void ReleaseEdgeCells();
};
