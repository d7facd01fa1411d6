#include "model/Velkor_Rx.h"

#include "model/EqualiserTable.h"

#include <algorithm>

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
    equalised_.assign(kChunk, 0.0);
    limited_.assign(kChunk, 0.0);
    clockLevels_.assign(kChunk, 0.0);

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
    Equaliser.SetKernel(kind);
    DcBlock.SetKernel(kind);
}

// One sample by Run, through the ports and cells, where the equaliser's buffer
// path does not apply.
bool Velkor_Rx::RunOne(double input, double& output, double* times, std::size_t& timeCount) {
    InputPort.Current() = input;
    if (!Run()) return false;  // the failing sample delivers nothing
    output = OutputPort.Current();
    if (ClockPort.Current() >= 0.0) times[timeCount++] = ClockPort.Current();
    return true;
}

std::size_t Velkor_Rx::RunBlock(const double* in, double* out, std::size_t count, double* times,
                                std::size_t& timeCount, bool& ok) {
    ok = true;
    double* const equalised = equalised_.data();
    double* const clock = clockLevels_.data();
    std::size_t done = 0;
    while (done < count) {
        // The loop's delay cell: the rounded set index of the sample before.
        Equaliser.SetIndex = EqualiserIndexFor(*Cell10);
        ok = Equaliser.FollowSetIndex() && ok;
        if (!Equaliser.BuffersApply()) {
            // The new set changed the filter's shape: this sample by Run (which
            // finds the set already loaded).
            ok = RunOne(in[done], out[done], times, timeCount) && ok;
            ++done;
            if (!ok) return done;
            continue;
        }
        // A sample whose set failed to load runs alone and delivers nothing.
        const bool failing = !ok;
        double spareOut = 0.0, spareTime = 0.0;
        const std::size_t n = failing ? 1 : std::min(kChunk, count - done);
        // A simulator's wave often comes from memory rather than the caches: ask for
        // the next buffer's lines now (into the second-level cache, where they do
        // not crowd this buffer's work), so that they arrive while this one is
        // filtered instead of stalling the copy that takes them in.
        const std::size_t ahead = std::min(kChunk, count - done - n);
        for (std::size_t k = 0; k < ahead; k += kLineDoubles) __builtin_prefetch(in + done + n + k, 0, 1);
        Equaliser.Lookahead(in + done, equalised, n);
        // The limiter writes into the wave itself when it is processed in place,
        // as a simulator does, and the CDR runs there in place (its outputs are its
        // inputs). Otherwise both run in a buffer whose samples go out in one copy.
        double* const limited = out == in && !failing ? out + done : limited_.data();
        DcBlock.Process(equalised, limited, n);
        // The CDR stops where its set index changes: the rest is filtered again.
        const std::size_t m = CdrBlock.Process(limited, failing ? &spareOut : limited, clock, n);
        const std::size_t found = ClockTimeBlock.Process(clock, failing ? &spareTime : times + timeCount, m);
        Equaliser.Commit(m);
        if (limited != out + done) {
            if (!failing) std::copy(limited, limited + m, out + done);
        } else if (m < n) {
            // The samples after the stop are inputs again, from the filter's copy.
            Equaliser.CopyStaged(out + done + m);
        }
        *Cell10 = CorvaneModelBuilder::TypeConverterRound::Convert(CdrBlock.SetIndexOut);
        done += m;
        if (failing) return done;
        timeCount += found;
    }
    return done;
}
