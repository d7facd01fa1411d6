#include "blocks/FIR.h"

namespace CorvaneModelBuilder {

namespace {

// acc + tap * sample, with the complex product written out so that no library
// call and no special-value handling changes the bits.
inline double MultiplyAdd(double acc, double tap, double sample) { return acc + tap * sample; }

inline std::complex<double> MultiplyAdd(std::complex<double> acc, std::complex<double> tap,
                                        std::complex<double> sample) {
    const double re = tap.real() * sample.real() - tap.imag() * sample.imag();
    const double im = tap.real() * sample.imag() + tap.imag() * sample.real();
    return {acc.real() + re, acc.imag() + im};
}

}  // namespace

template <typename T, int K>
FIR<T, K>::~FIR() {
    ReleaseHistory();
}

template <typename T, int K>
void FIR<T, K>::ReleaseHistory() {
    if (HistoryStorage) History.Release(HistoryStorage);
    HistoryStorage = nullptr;
    History.Storage = nullptr;
    History.Capacity = 0;
    History.Position = 0;
}

template <typename T, int K>
bool FIR<T, K>::Setup() {
    bool ok = true;
    if (NumberOfTaps < 1) {
        ReportBlockError("There must be at least one Tap");
        ok = false;
    }
    if (Decimation < 1) {
        ReportBlockError("Decimation must be > 0");
        ok = false;
    }
    if (DecimationPhase < 0) {
        ReportBlockError("DecimationPhase must be >= 0");
        ok = false;
    }
    if (DecimationPhase >= Decimation) {
        ReportBlockError("DecimationPhase must be < Decimation ratio");
        ok = false;
    }
    if (Interpolation < 1) {
        ReportBlockError("Interpolation must be > 0");
        ok = false;
    }
    if (!ok) return false;

    const auto d = static_cast<std::uint64_t>(Decimation);
    const auto i = static_cast<std::uint64_t>(Interpolation);
    Input.Rate = d;
    if (Input.RequiredSize < d) Input.RequiredSize = d;
    Output.Rate = i;
    if (Output.RequiredSize < i) Output.RequiredSize = i;
    History.Rate = d;
    History.RequiredSize = static_cast<std::uint64_t>(HistoryLength());
    if (History.RequiredSize < d) History.RequiredSize = d;
    TapsPerPhase = NumberOfTaps / Interpolation + (NumberOfTaps % Interpolation != 0 ? 1 : 0);
    return true;
}

template <typename T, int K>
bool FIR<T, K>::Initialize() {
    ReleaseHistory();
    const auto h = static_cast<std::uint64_t>(HistoryLength());
    HistoryStorage = History.Allocate(h);
    History.Storage = HistoryStorage;
    History.Capacity = h;
    History.Position = 0;
    History.Zero(0, h);
    return true;
}

template <typename T, int K>
bool FIR<T, K>::Run() {
    const std::uint64_t h = History.Capacity;
    const std::uint64_t d = static_cast<std::uint64_t>(Decimation);
    const std::int32_t n = NumberOfTaps;
    const std::int32_t ip = Interpolation;
    const std::int32_t l = TapsPerPhase;
    T* const w = History.Storage;

    // The D newest samples overwrite the D oldest (window elements H-D ... H-1).
    for (std::uint64_t i = 0; i < d; ++i) w[History.IndexOf(h - d + i)] = Input.At(i);

    std::int32_t p = DecimationPhase;
    std::uint64_t m = 0;
    for (std::uint64_t j = 1; j <= d; ++j) {
        // Storage index of window element H - D - 1 + j, the j-th new sample.
        const std::uint64_t newest = History.IndexOf(h - d - 1 + j);
        while (p < ip) {
            T acc{};
            std::uint64_t idx = newest;
            for (std::int32_t t = 0; t < l; ++t) {
                const std::int32_t q = p + t * ip;
                if (q < n) acc = MultiplyAdd(acc, Taps[q], w[idx]);
                idx = (idx == 0) ? h - 1 : idx - 1;  // one sample older
            }
            Output.At(m) = acc;
            ++m;
            p += Decimation;
        }
        p -= ip;
    }
    History.Position += d;
    if (History.Position >= h) History.Position -= h;
    return true;
}

template <typename T, int K>
bool FIR<T, K>::Finalize() {
    ReleaseHistory();
    return true;
}

template class FIR<double, 0>;
template class FIR<double, 1>;
template class FIR<std::complex<double>, 0>;

}  // namespace CorvaneModelBuilder
