#include "model/Velkor_Rx.h"

#include "model/EqualiserTable.h"

#include <algorithm>
#include <cstring>

namespace {

template <typename T>
void Free(T*& cell) {
    delete[] cell;
    cell = nullptr;
}

template <typename T>
T* NewCell() {
    return new T[1];
}

}  // namespace

Velkor_Rx::~Velkor_Rx() { ReleaseCells(); }

void Velkor_Rx::ReleaseCells() {
    Free(Cell1);
    Free(Cell2);
    Free(Cell3);
    Free(Cell4);
    Free(Cell5);
    Free(Cell6);
    Free(Cell7);
    Free(Cell8);
    Free(Cell9);
    Free(Cell10);
    Free(Cell11);
}

bool Velkor_Rx::Setup() {
    ClockTimeBlock.SampleInterval = BitTime / static_cast<double>(SamplesPerBit);
    ClockTimeBlock.TimeOffset = 0.0;
    ClockTimeBlock.EdgeType = CorvaneModelBuilder::RisingEdge;
    ClockTimeBlock.Interpolate = 0;
    bool ok = ClockTimeBlock.Setup();

    CdrBlock.CDR_Threshold = CDR_Threshold;
    CdrBlock.SamplesPerUI = SamplesPerBit;
    CdrBlock.UnitInterval = BitTime;
    CdrBlock.LogPeriod = 50000;
    CdrBlock.GainCode = anlg_eql_gaincode;
    CdrBlock.ZeroCode = anlg_eql_zerocode;
    CdrBlock.GainBoost = anlg_eql_gainboost;
    CdrBlock.Corner = corner;
    ok = CdrBlock.Setup() && ok;

    Equaliser.ResponseType = 0;
    Equaliser.ResponseSets.Assign(EqualiserTable::Responses(), EqualiserTable::kPoints, EqualiserTable::kSets);
    Equaliser.ResponseTimeStamps.Assign(EqualiserTable::TimeStamps(), EqualiserTable::kPoints, 1);
    // The rate of the rounded samples per bit, not the simulator's sample interval.
    Equaliser.SampleRate = static_cast<double>(SamplesPerBit) / BitTime;
    Equaliser.ResponseLength = kResponseLength;
    Equaliser.NumberOfSets = EqualiserTable::kSets;
    ok = Equaliser.Setup() && ok;

    DcBlock.Corner = corner;
    DcBlock.GainBoost = anlg_eql_gainboost;
    ok = DcBlock.Setup() && ok;

    ok = Converter.Setup() && ok;

    IndexFork.Outputs.Resize(2);
    ok = IndexFork.Setup() && ok;

    for (Buffer<double>* port : {&InputPort, &OutputPort, &ClockPort, &IndexPort}) {
        port->Rate = 1;
        if (port->RequiredSize < 1) port->RequiredSize = 1;
    }
    return ok;
}

double Velkor_Rx::EqualiserTapCount(std::int32_t samplesPerBit, double bitTime) {
    // As the equaliser's filter counts them: the response's duration on the tap grid.
    const double* stamps = EqualiserTable::TimeStamps();
    const double rate = static_cast<double>(samplesPerBit) / bitTime;
    return std::floor((stamps[kResponseLength - 1] - stamps[0]) * rate) + 1.0;
}

bool Velkor_Rx::Initialize() {
    ReleaseCells();
    Cell1 = NewCell<double>();
    InputRelay.Attach(Cell1, 1);
    Equaliser.Input.Attach(Cell1, 1);
    Cell2 = NewCell<double>();
    DataOut.Attach(Cell2, 1);
    OutputRelay.Attach(Cell2, 1);
    Cell3 = NewCell<double>();
    ClockTimeBlock.Output.Attach(Cell3, 1);
    ClockRelay.Attach(Cell3, 1);
    Cell4 = NewCell<double>();
    IndexFork.Outputs.At(0)->Attach(Cell4, 1);
    IndexRelay.Attach(Cell4, 1);
    Cell5 = NewCell<double>();
    ClockOut.Attach(Cell5, 1);
    ClockTimeBlock.Input.Attach(Cell5, 1);
    Cell6 = NewCell<int>();
    PhaseVotes.Attach(Cell6, 1);
    Cell7 = NewCell<double>();
    SetIndexOut.Attach(Cell7, 1);
    IndexFork.Input.Attach(Cell7, 1);
    Cell8 = NewCell<double>();
    Equaliser.Output.Attach(Cell8, 1);
    DcInput.Attach(Cell8, 1);
    Cell9 = NewCell<double>();
    DcOutput.Attach(Cell9, 1);
    CdrInput.Attach(Cell9, 1);
    Cell10 = NewCell<int>();
    Converter.Output.Attach(Cell10, 1);
    SetIndexInput.Attach(Cell10, 1);
    Cell11 = NewCell<double>();
    IndexFork.Outputs.At(1)->Attach(Cell11, 1);
    Converter.Input.Attach(Cell11, 1);

    SetIndexInput.Zero(0, 1);  // the first sample filters with set 0

    bool ok = ClockTimeBlock.Initialize();
    ok = CdrBlock.Initialize() && ok;
    ok = Equaliser.Initialize() && ok;
    ok = DcBlock.Initialize() && ok;
    ok = Converter.Initialize() && ok;
    ok = IndexFork.Initialize() && ok;
    return ok;
}

bool Velkor_Rx::Run() {
    InputPort.CopyTo(0, InputRelay, 0, 1);

    Equaliser.SetIndex = EqualiserIndexFor(SetIndexInput.Current());
    bool ok = Equaliser.Run();

    DcBlock.In = DcInput.Current();
    ok = DcBlock.Run() && ok;
    DcOutput.Current() = DcBlock.Out;

    CdrBlock.In = CdrInput.Current();
    ok = CdrBlock.Run() && ok;
    DataOut.Current() = CdrBlock.DataOut;
    ClockOut.Current() = CdrBlock.ClockOut;
    PhaseVotes.Current() = CdrBlock.PhaseVotes;
    SetIndexOut.Current() = CdrBlock.SetIndexOut;

    ok = IndexFork.Run() && ok;
    ok = Converter.Run() && ok;
    ok = ClockTimeBlock.Run() && ok;

    OutputRelay.CopyTo(0, OutputPort, 0, 1);
    ClockRelay.CopyTo(0, ClockPort, 0, 1);
    IndexRelay.CopyTo(0, IndexPort, 0, 1);
    return ok;
}

bool Velkor_Rx::Finalize() {
    bool ok = ClockTimeBlock.Finalize();
    ok = CdrBlock.Finalize() && ok;
    ok = Equaliser.Finalize() && ok;
    ok = DcBlock.Finalize() && ok;
    ok = Converter.Finalize() && ok;
    ok = IndexFork.Finalize() && ok;
    ReleaseCells();
    return ok;
}

void Velkor_Rx::SetKernels(CorvaneModelBuilder::KernelKind kind) {
    kernel_ = CorvaneModelBuilder::kFirKernels.For(kind);
    limiterKernel_ = CorvaneModelBuilder::kScaledTanhKernels.For(kind);
}

// The limiter over a run of FIR outputs, with the operations of DC::Run in the same
// order; its tanh is correctly rounded in every kernel, so the bits are the same.
void Velkor_Rx::Limit(const DC::Coefficients& k, const double* y, double* limited, std::size_t count) const {
    limiterKernel_(y, limited, count, k.slope, k.offset, k.scale);
}

// The block path covers the model's configuration: a plain FIR (one sample in,
// one out) whose history ring is the one Initialize allocated for its taps.
bool Velkor_Rx::BlockPathApplies() const {
    const auto& f = Equaliser.Filter;
    return f.Decimation == 1 && f.Interpolation == 1 && f.DecimationPhase == 0 && f.Taps && f.NumberOfTaps >= 1 &&
           f.HistoryStorage && f.History.Capacity == static_cast<std::uint64_t>(f.NumberOfTaps) + 2;
}

// Leaves the cells, ports, block inputs and the filter's ring as `count` calls of
// Run would have left them after the last sample of a run processed by RunBlock
// (x: the run's inputs, y: its filter outputs).
void Velkor_Rx::FlushRun(const double* x, const double* y, std::size_t count, double dcOut, double clock) {
    if (count == 0) return;
    auto& history = Equaliser.Filter.History;
    const std::uint64_t h = history.Capacity;
    // Each firing writes its sample at window element H - 1, then advances: only
    // the last H samples survive.
    const std::size_t first = count > h ? count - static_cast<std::size_t>(h) : 0;
    std::uint64_t position = history.Position + first % h;
    if (position >= h) position -= h;
    for (std::size_t j = first; j < count; ++j) {
        std::uint64_t index = position + h - 1;
        if (index >= h) index -= h;
        history.Storage[index] = x[j];
        if (++position == h) position = 0;
    }
    history.Position = (history.Position + count % h) % h;

    const double input = x[count - 1], equalised = y[count - 1];
    InputPort.Current() = input;
    *Cell1 = input;
    *Equaliser.EdgeCells[0] = input;
    *Equaliser.EdgeCells[1] = equalised;
    *Cell8 = equalised;
    DcBlock.In = equalised;
    DcBlock.Out = dcOut;
    *Cell9 = dcOut;
    *Cell2 = CdrBlock.DataOut;
    *Cell5 = CdrBlock.ClockOut;
    *Cell6 = CdrBlock.PhaseVotes;
    *Cell7 = CdrBlock.SetIndexOut;
    *Cell4 = *Cell7;
    *Cell11 = *Cell7;
    *Cell10 = roundedIndex_;
    *Cell3 = clock;
    OutputPort.Current() = *Cell2;
    ClockPort.Current() = *Cell3;
    IndexPort.Current() = *Cell4;
}

// One sample by Run, through the ports, for what the block path does not cover.
bool Velkor_Rx::RunOne(double input, double& output, double* times, std::size_t& timeCount) {
    InputPort.Current() = input;
    const bool ok = Run();
    roundedIndex_ = *Cell10;
    if (!ok) return false;  // the failing sample delivers nothing
    output = OutputPort.Current();
    if (ClockPort.Current() >= 0.0) times[timeCount++] = ClockPort.Current();
    return true;
}

std::size_t Velkor_Rx::RunBlock(const double* in, double* out, std::size_t count, double* times,
                                std::size_t& timeCount, bool& ok) {
    ok = true;
    if (!kernel_ || !limiterKernel_) SetKernels(CorvaneModelBuilder::BestKernel());
    // The limiter's curve is fixed while no one changes the corner or the boost.
    const DC::Coefficients k = DC::Lookup(DcBlock.Corner, DcBlock.GainBoost);
    DcBlock.Slope = k.slope;
    DcBlock.Offset = k.offset;
    DcBlock.Scale = k.scale;
    roundedIndex_ = *Cell10;
    std::size_t done = 0;
    while (done < count) {
        if (!BlockPathApplies()) {
            ok = RunOne(in[done], out[done], times, timeCount);
            ++done;
            if (!ok) return done;
            continue;
        }
        auto& fir = Equaliser.Filter;
        const auto taps = static_cast<std::size_t>(fir.NumberOfTaps);
        const std::size_t n = std::min(kChunk, count - done);
        if (blockInput_.size() < taps - 1 + kChunk) blockInput_.resize(taps - 1 + kChunk);
        if (blockOutput_.size() < kChunk) blockOutput_.resize(kChunk);
        if (blockLimited_.size() < kChunk) blockLimited_.resize(kChunk);
        const std::size_t scratch = CorvaneModelBuilder::FirScratchSize(fir.NumberOfTaps, kChunk);
        if (firScratch_.size() < scratch) firScratch_.resize(scratch);
        // The newest taps - 1 samples of the ring, oldest first, then the chunk. After
        // a firing the newest sample sits at window element H - 2 (the next firing
        // writes at H - 1 before it filters).
        double* x = blockInput_.data();
        const std::uint64_t h = fir.History.Capacity;
        for (std::size_t j = 0; j + 1 < taps; ++j) x[j] = fir.History.At(h - taps + j);
        for (std::size_t i = 0; i < n; ++i) x[taps - 1 + i] = in[done + i];
        double* y = blockOutput_.data();
        const double* current = x + taps - 1;
        kernel_(fir.Taps, fir.NumberOfTaps, current, y, n, firScratch_.data());
        double* limited = blockLimited_.data();
        Limit(k, y, limited, n);

        double dcOut = DcBlock.Out, clock = *Cell3;
        bool flushed = false;  // a fallback brought the state up to date itself
        std::size_t i = 0;
        for (; i < n; ++i) {
            Equaliser.SetIndex = EqualiserIndexFor(roundedIndex_);
            if (Equaliser.SetIndex != Equaliser.PreviousIndex) {
                const bool loaded = Equaliser.FollowSetIndex();
                ok = ok && loaded;
                if (!BlockPathApplies() || static_cast<std::size_t>(fir.NumberOfTaps) != taps) {
                    // The new set changed the filter's shape: bring the state up to
                    // this sample, then this sample and the rest take the per-sample
                    // path (Run finds the set already loaded).
                    FlushRun(current, y, i, dcOut, clock);
                    ok = RunOne(current[i], out[done + i], times, timeCount) && ok;
                    ++i;
                    flushed = true;
                    break;
                }
                // New taps from here on (the same number: the scratch fits).
                kernel_(fir.Taps, fir.NumberOfTaps, current + i, y + i, n - i, firScratch_.data());
                Limit(k, y + i, limited + i, n - i);
            }
            // The clock recovery and the clock times, as Run does them.
            dcOut = limited[i];
            CdrBlock.In = dcOut;
            CdrBlock.Run();
            std::uint64_t bits;
            std::memcpy(&bits, &CdrBlock.SetIndexOut, sizeof bits);
            if (bits != roundedIndexOf_ || !roundedValid_) {
                // The set index rarely changes: round it again only when it does.
                roundedIndex_ = CorvaneModelBuilder::TypeConverterRound::Convert(CdrBlock.SetIndexOut);
                roundedIndexOf_ = bits;
                roundedValid_ = true;
            }
            clock = ClockTimeBlock.Step(CdrBlock.ClockOut);
            if (!ok) {
                FlushRun(current, y, i + 1, dcOut, clock);
                return done + i + 1;
            }
            out[done + i] = CdrBlock.DataOut;
            if (clock >= 0.0) times[timeCount++] = clock;
            // Up to the clock recovery's next event the samples only pass through
            // and count: all at once, unless the next sample brings a new set.
            if (EqualiserIndexFor(roundedIndex_) != Equaliser.PreviousIndex) continue;
            const auto quiet = static_cast<std::size_t>(
                std::min<std::int64_t>(CdrBlock.QuietSamples(), static_cast<std::int64_t>(n - i - 1)));
            if (quiet == 0) continue;
            std::copy(limited + i + 1, limited + i + 1 + quiet, out + done + i + 1);
            i += quiet;
            dcOut = limited[i];
            CdrBlock.SkipQuiet(static_cast<std::int64_t>(quiet), dcOut);
            ClockTimeBlock.Hold(quiet);
            clock = -1.0;
        }
        if (!flushed) FlushRun(current, y, n, dcOut, clock);
        done += i;
        if (!ok) return done;
    }
    return done;
}
