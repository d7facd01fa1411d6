// The receiver: owns, configures, connects and schedules every block of the model.
//
//   input -> equaliser FIR -> DC limiter -> CDR -> output
//                 ^                          |--> clock level -> ClockTimes -> clock port
//                 |                          '--> set index -> fork -> index port
//                 '---- rounded set index (next sample) <- converter <-'
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "blocks/ClockTimes.h"
#include "kernels/KernelSet.h"
#include "framework/CircularBuffer.h"
#include "framework/DFModel.h"
#include "framework/Fork.h"
#include "framework/TypeConverter.h"
#include "model/CDR.h"
#include "model/CustomFIR_select_inp.h"
#include "model/DC.h"

class Velkor_Rx : public CorvaneModelBuilder::DFModel {
public:
    template <typename T>
    using Buffer = CorvaneModelBuilder::CircularBuffer<T>;

    // External ports; their storage belongs to the AMI layer.
    Buffer<double> InputPort;
    Buffer<double> OutputPort;
    Buffer<double> ClockPort;  // clock time of this sample, or -1.0
    Buffer<double> IndexPort;  // the CDR's set index of this sample

    std::int32_t SamplesPerBit = 16;
    double BitTime = 1e-10;
    std::int32_t CDR_Threshold = 0;
    std::int32_t anlg_eql_gaincode = -1;  // -1: the CDR adapts the gain code
    std::int32_t anlg_eql_zerocode = 0;
    std::int32_t anlg_eql_gainboost = 0;
    std::int32_t corner = 0;

    CorvaneModelBuilder::ClockTimes ClockTimeBlock;
    CDR CdrBlock;
    Buffer<double> CdrInput;
    Buffer<double> DataOut;
    Buffer<double> ClockOut;
    Buffer<int> PhaseVotes;
    Buffer<double> SetIndexOut;
    CustomFIR_select_inp Equaliser;
    Buffer<int> SetIndexInput;
    DC DcBlock;
    Buffer<double> DcInput;
    Buffer<double> DcOutput;
    CorvaneModelBuilder::RoundingConverter Converter;
    CorvaneModelBuilder::Fork<Buffer<double>> IndexFork;

    // Edge cells: one element shared by the writing and the reading buffer.
    double* Cell1 = nullptr;
    Buffer<double> InputRelay;
    double* Cell2 = nullptr;
    Buffer<double> OutputRelay;
    double* Cell3 = nullptr;
    Buffer<double> ClockRelay;
    double* Cell4 = nullptr;
    Buffer<double> IndexRelay;
    double* Cell5 = nullptr;
    int* Cell6 = nullptr;
    double* Cell7 = nullptr;
    double* Cell8 = nullptr;
    double* Cell9 = nullptr;
    int* Cell10 = nullptr;
    double* Cell11 = nullptr;

    Velkor_Rx() = default;
    ~Velkor_Rx() override;

    bool Setup() override;
    bool Initialize() override;
    bool Run() override;
    bool Finalize() override;

    // The same as `count` calls of Run, sample by sample, with every block run over
    // buffers of up to kChunk samples (Process). Writes the equalised samples to out
    // (which may be in, or apart from it: a partial overlap is not supported) and
    // appends every clock time found to times. Returns the
    // samples processed: fewer than count when a set failed to load (that sample
    // has run, as Run does, and ok becomes false; its output is not written and its
    // clock time not appended, so with out == in it keeps its input). The blocks'
    // state and the loop's delay cell end as Run leaves them, so both paths mix;
    // the other edge cells and the ports carry Run's samples only.
    std::size_t RunBlock(const double* in, double* out, std::size_t count, double* times, std::size_t& timeCount,
                         bool& ok);
    // Samples a buffer holds. The filter lays out its rows again for every buffer
    // (the taps' worth beyond its outputs) and re-broadcasts its taps: long buffers
    // make that rare. 2304 samples are 288 vectors of eight, whole groups of twelve.
    static constexpr std::size_t kChunk = 2304;

    // Points of each response set that the equaliser uses.
    static constexpr std::int32_t kResponseLength = 500;
    // The equaliser's tap count at this timing (as a double: it may be huge).
    static double EqualiserTapCount(std::int32_t samplesPerBit, double bitTime);

    // Chooses the FIR and limiter kernels of RunBlock (the widest ones by default).
    void SetKernels(CorvaneModelBuilder::KernelKind kind);

    // The equaliser selects 1-based while the CDR names the 0-based position of
    // the set: the link adds one (an index already at the int32 maximum stays).
    static std::int32_t EqualiserIndexFor(std::int32_t cdrIndex) {
        return cdrIndex == 2147483647 ? cdrIndex : cdrIndex + 1;
    }

private:
    void ReleaseCells();
    bool RunOne(double input, double& output, double* times, std::size_t& timeCount);

    // The buffers between the blocks on RunBlock's path.
    static constexpr std::size_t kLineDoubles = 8;  // doubles in a 64-byte cache line
    std::vector<double> equalised_;    // the equaliser's outputs, computed ahead
    std::vector<double> limited_;      // the limiter's
    std::vector<double> clockLevels_;  // the CDR's clock
};
