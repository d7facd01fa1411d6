// Polyphase FIR with rational rate change: upsample by Interpolation, filter,
// keep every Decimation-th sample starting at DecimationPhase.
#pragma once

#include <complex>
#include <cstdint>

#include "framework/CircularBuffer.h"
#include "framework/DFModel.h"

namespace CorvaneModelBuilder {

template <typename T, int K>
class FIR : public DFModel {
public:
    CircularBuffer<T> Input;
    CircularBuffer<T> Output;
    CircularBuffer<T> History;        // ring over the last H input samples
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

    // H = D + 1 + floor(N / I): just long enough for every phase's taps.
    std::int64_t HistoryLength() const {
        if (Interpolation < 1 || Decimation < 1 || NumberOfTaps < 0) return 1;  // not set up
        return static_cast<std::int64_t>(Decimation) + 1 + NumberOfTaps / Interpolation;
    }

private:
    void ReleaseHistory();
};

extern template class FIR<double, 0>;
extern template class FIR<double, 1>;
extern template class FIR<std::complex<double>, 0>;

}  // namespace CorvaneModelBuilder
