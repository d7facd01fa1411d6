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
    Equaliser.ResponseLength = 500;
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

void Velkor_Rx::SetFirKernel(CorvaneModelBuilder::FirKernelKind kind) {
    kernel_ = CorvaneModelBuilder::FirKernelFor(kind);
}

// The block path covers the model's configuration: a plain FIR (one sample in,
// one out) whose history ring is the one Initialize allocated for its taps.
bool Velkor_Rx::BlockPathApplies() const {
    const auto& f = Equaliser.Filter;
    return f.Decimation == 1 && f.Interpolation == 1 && f.DecimationPhase == 0 && f.Taps && f.NumberOfTaps >= 1 &&
           f.HistoryStorage && f.History.Capacity == static_cast<std::uint64_t>(f.NumberOfTaps) + 2;
}

// Everything Run does after the equaliser's filter step, for one sample.
void Velkor_Rx::FinishSample(double input, double equalised) {
    // The cells and the filter's ring hold what the per-sample path leaves there.
    InputPort.Current() = input;
    *Cell1 = input;
    *Equaliser.EdgeCells[0] = input;
    *Equaliser.EdgeCells[1] = equalised;
    *Cell8 = equalised;
    auto& history = Equaliser.Filter.History;
    history.Storage[history.IndexOf(history.Capacity - 1)] = input;
    if (++history.Position == history.Capacity) history.Position = 0;

    DcBlock.In = equalised;
    DcBlock.Run();
    *Cell9 = DcBlock.Out;
    CdrBlock.In = *Cell9;
    CdrBlock.Run();
    *Cell2 = CdrBlock.DataOut;
    *Cell5 = CdrBlock.ClockOut;
    *Cell6 = CdrBlock.PhaseVotes;
    *Cell7 = CdrBlock.SetIndexOut;
    *Cell4 = *Cell7;
    *Cell11 = *Cell7;
    // The set index rarely changes: round it again only when it does.
    std::uint64_t bits;
    std::memcpy(&bits, Cell11, sizeof bits);
    if (bits != roundedIndexOf_ || !roundedValid_) {
        roundedIndex_ = CorvaneModelBuilder::TypeConverterRound::Convert(*Cell11);
        roundedIndexOf_ = bits;
        roundedValid_ = true;
    }
    *Cell10 = roundedIndex_;
    *Cell3 = ClockTimeBlock.Step(*Cell5);
    OutputPort.Current() = *Cell2;
    ClockPort.Current() = *Cell3;
    IndexPort.Current() = *Cell4;
}

std::size_t Velkor_Rx::RunBlock(const double* in, double* out, std::size_t count, double* times,
                                std::size_t& timeCount, bool& ok) {
    ok = true;
    if (!kernel_) kernel_ = CorvaneModelBuilder::FirKernelFor(CorvaneModelBuilder::BestFirKernel());
    std::size_t done = 0;
    while (done < count) {
        if (!BlockPathApplies()) {
            // Outside the model's configuration the per-sample path serves.
            InputPort.Current() = in[done];
            ok = Run();
            out[done] = OutputPort.Current();
            if (ClockPort.Current() >= 0.0) times[timeCount++] = ClockPort.Current();
            ++done;
            if (!ok) return done;
            continue;
        }
        auto& fir = Equaliser.Filter;
        const auto taps = static_cast<std::size_t>(fir.NumberOfTaps);
        const std::size_t n = std::min(kChunk, count - done);
        if (blockInput_.size() < taps - 1 + kChunk) blockInput_.resize(taps - 1 + kChunk);
        if (blockOutput_.size() < kChunk) blockOutput_.resize(kChunk);
        // The newest taps - 1 samples of the ring, oldest first, then the chunk. After
        // a firing the newest sample sits at window element H - 2 (the next firing
        // writes at H - 1 before it filters).
        double* x = blockInput_.data();
        const std::uint64_t h = fir.History.Capacity;
        for (std::size_t j = 0; j + 1 < taps; ++j) x[j] = fir.History.At(h - taps + j);
        for (std::size_t i = 0; i < n; ++i) x[taps - 1 + i] = in[done + i];
        double* y = blockOutput_.data();
        const double* current = x + taps - 1;
        kernel_(fir.Taps, fir.NumberOfTaps, current, y, n);

        for (std::size_t i = 0; i < n; ++i) {
            Equaliser.SetIndex = EqualiserIndexFor(*Cell10);
            if (Equaliser.SetIndex != Equaliser.PreviousIndex) {
                ok = Equaliser.FollowSetIndex();
                if (!BlockPathApplies() || static_cast<std::size_t>(fir.NumberOfTaps) != taps) {
                    // The new set changed the filter's shape: this sample and the rest
                    // take the per-sample path (Run finds the set already loaded).
                    InputPort.Current() = current[i];
                    ok = Run() && ok;
                    out[done + i] = OutputPort.Current();
                    if (ClockPort.Current() >= 0.0) times[timeCount++] = ClockPort.Current();
                    done += i + 1;
                    if (!ok) return done;
                    goto nextChunk;
                }
                kernel_(fir.Taps, fir.NumberOfTaps, current + i, y + i, n - i);  // new taps from here on
            }
            FinishSample(current[i], y[i]);
            out[done + i] = *Cell2;
            if (*Cell3 >= 0.0) times[timeCount++] = *Cell3;
            if (!ok) return done + i + 1;
        }
        done += n;
    nextChunk:;
    }
    return done;
}
