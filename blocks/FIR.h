// Polyphase FIR with rational rate change: upsample by Interpolation, filter,
// keep every Decimation-th sample starting at DecimationPhase.
#pragma once

#include <complex>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <vector>

#include "framework/CircularBuffer.h"
#include "framework/DFModel.h"
#include "kernels/FirKernels.h"

namespace CorvaneModelBuilder {

template <typename T, int K>
class FIR : public DFModel {
public:
    CircularBuffer<T> Input;
    CircularBuffer<T> Output;
    CircularBuffer<T> History;        // Run's ring over the last H input samples (see SyncHistory)
    T* HistoryStorage = nullptr;      // owned
    T* Taps = nullptr;                // not owned by FIR
    std::int32_t NumberOfTaps = 0;
    std::int32_t Decimation = 1;
    std::int32_t DecimationPhase = 0;
    std::int32_t Interpolation = 1;
    std::int32_t TapsPerPhase = 0;

    FIR() = default;
    ~FIR() override;

    bool Setup() override;
    bool Initialize() override;
    bool Run() override;
    bool Finalize() override;

    // The buffer path of a single-rate filter (D = I = 1, the ring as Initialize
    // sized it for these taps): Lookahead gives the outputs of the next n inputs,
    // as n firings of Run would (the same sums in the same order, by a vector
    // kernel), without taking the inputs in; Commit takes the first m of them in.
    // The inputs are copied first, so out may be in. Process is both at once.
    bool ProcessApplies() const;
    void Lookahead(const T* in, T* out, std::size_t n)
        requires std::is_same_v<T, double>;
    void Commit(std::size_t m);
    // Copies the inputs of the last Lookahead not yet taken in to `to`, in order,
    // and returns their number: the filter keeps its own copy of them, so a caller
    // that wrote over its buffer after the Lookahead gets the inputs back. A firing
    // (Run) since the Lookahead leaves none staged.
    std::size_t CopyStaged(T* to) const;
    void Process(const T* in, T* out, std::size_t n)
        requires std::is_same_v<T, double>
    {
        Lookahead(in, out, n);
        Commit(n);
    }
    // The kernel of Lookahead (the widest the processor has by default).
    void SetKernel(KernelKind kind);

    // The buffer path keeps the history in a line of its own and leaves the ring
    // alone; this writes the samples it took in since into the ring, as Run would
    // have. Run does it itself before its first firing after the buffer path.
    void SyncHistory();

    // H = D + 1 + floor(N / I): just long enough for every phase's taps.
    std::int64_t HistoryLength() const {
        if (Interpolation < 1 || Decimation < 1 || NumberOfTaps < 0) return 1;  // not set up
        return static_cast<std::int64_t>(Decimation) + 1 + NumberOfTaps / Interpolation;
    }

private:
    void ReleaseHistory();
    void LoadLine();

    // Inputs a line holds beyond the ring's H before it moves its newest H to the front.
    static constexpr std::size_t kLineRoom = 4096;
    std::vector<T> line_;            // the ring's samples oldest first, then the inputs since
    std::size_t lineFill_ = 0;       // samples of line_ taken in
    std::size_t staged_ = 0;         // inputs of the last Lookahead not yet committed
    std::uint64_t unsynced_ = 0;     // inputs taken in since the ring was written
    bool lineValid_ = false;         // line_ holds the history (the ring may lag behind)
    std::vector<double> scratch_;    // the kernel's
    FirKernel kernel_ = nullptr;
};

extern template class FIR<double, 0>;
extern template class FIR<double, 1>;
extern template class FIR<std::complex<double>, 0>;

}  // namespace CorvaneModelBuilder
