#include "blocks/FIR.h"

#include <algorithm>
#include <cstring>

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
    lineValid_ = false;
    unsynced_ = 0;
    staged_ = 0;
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
    if (lineValid_) {
        SyncHistory();
        lineValid_ = false;  // the ring moves on from here
        staged_ = 0;         // and a Lookahead's inputs are no longer the next ones
    }
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
bool FIR<T, K>::ProcessApplies() const {
    return Decimation == 1 && Interpolation == 1 && DecimationPhase == 0 && Taps && NumberOfTaps >= 1 &&
           HistoryStorage && History.Storage == HistoryStorage &&
           History.Capacity == static_cast<std::uint64_t>(NumberOfTaps) + 2;
}

template <typename T, int K>
void FIR<T, K>::SetKernel(KernelKind kind) {
    kernel_ = kFirKernels.For(kind);
}

// A firing writes its sample at window element H - 1 and then advances, so the
// sample of age a (0: the newest) sits at window element H - 2 - a, modulo H.
template <typename T, int K>
void FIR<T, K>::LoadLine() {
    const auto h = static_cast<std::size_t>(History.Capacity);
    if (line_.size() < h + kLineRoom) line_.resize(h + kLineRoom);
    for (std::size_t i = 0; i < h; ++i) line_[i] = History.Storage[(History.Position + h - 1 + i) % h];
    lineFill_ = h;
    staged_ = 0;
    unsynced_ = 0;
    lineValid_ = true;
}

template <typename T, int K>
void FIR<T, K>::SyncHistory() {
    if (!lineValid_ || unsynced_ == 0) return;
    const std::uint64_t h = History.Capacity;
    const std::uint64_t position = (History.Position + unsynced_ % h) % h;
    // Only the newest H survive; the line always holds at least H.
    const std::uint64_t written = std::min<std::uint64_t>(unsynced_, h);
    for (std::uint64_t a = 0; a < written; ++a)
        History.Storage[(position + 2 * h - 2 - a) % h] = line_[lineFill_ - 1 - static_cast<std::size_t>(a)];
    History.Position = position;
    unsynced_ = 0;
}

template <typename T, int K>
void FIR<T, K>::Lookahead(const T* in, T* out, std::size_t n)
    requires std::is_same_v<T, double>
{
    if (!lineValid_) LoadLine();
    const auto h = static_cast<std::size_t>(History.Capacity);
    if (lineFill_ + n > line_.size()) {
        if (h + n > line_.size()) line_.resize(h + std::max(n, kLineRoom));
        // Only the newest H samples are ever read again (and written to the ring).
        if (lineFill_ + n > line_.size()) {
            std::memmove(line_.data(), line_.data() + lineFill_ - h, h * sizeof(T));
            lineFill_ = h;
        }
    }
    T* const current = line_.data() + lineFill_;
    if (n > 0) std::memmove(current, in, n * sizeof(T));
    const std::size_t scratch = FirScratchSize(NumberOfTaps, n);
    if (scratch_.size() < scratch) scratch_.resize(scratch);
    if (!kernel_) SetKernel(BestKernel());
    kernel_(Taps, NumberOfTaps, current, out, n, scratch_.data());
    staged_ = n;
}

template <typename T, int K>
void FIR<T, K>::Commit(std::size_t m) {
    m = std::min(m, staged_);
    lineFill_ += m;
    staged_ -= m;
    unsynced_ += m;
}

template <typename T, int K>
std::size_t FIR<T, K>::CopyStaged(T* to) const {
    std::copy(line_.begin() + static_cast<std::ptrdiff_t>(lineFill_),
              line_.begin() + static_cast<std::ptrdiff_t>(lineFill_ + staged_), to);
    return staged_;
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
