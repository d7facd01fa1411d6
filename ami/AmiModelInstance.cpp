#include "ami/AmiModelInstance.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "blocks/TimeResponseFIR.h"

AmiModelInstance::~AmiModelInstance() { ReleasePorts(); }

void AmiModelInstance::ReleasePorts() {
    for (double*& cell : portCells) {
        delete[] cell;
        cell = nullptr;
    }
}

namespace ami {

namespace {

constexpr std::int32_t kMinimumSamplesPerBit = 5;  // the clock recovery needs at least 5
// Beyond this the equaliser would need millions of taps per sample.
constexpr std::int32_t kMaximumSamplesPerBit = 65536;
// Bit time / sample interval within this (relative) of a whole number counts as whole.
constexpr double kWholeRatioTolerance = 1e-9;

std::string Describe(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.17g", value);
    return text;
}

// Checks the simulator's timing; on success stores the rounded samples per bit.
bool CheckTiming(double sampleInterval, double bitTime, std::int32_t& samplesPerBit, std::string& message) {
    const std::string values =
        " (sample interval " + Describe(sampleInterval) + " s, bit time " + Describe(bitTime) + " s). ";
    if (!std::isfinite(sampleInterval) || !std::isfinite(bitTime) || !(sampleInterval > 0.0) ||
        !(bitTime > 0.0)) {
        message += "Velkor_Rx needs a finite sample interval and bit time above 0" + values;
        return false;
    }
    const double ratio = bitTime / sampleInterval;
    if (!(ratio + 0.5 < kMaximumSamplesPerBit + 1.0)) {
        message += "Velkor_Rx handles at most 65536 samples per bit" + values;
        return false;
    }
    samplesPerBit = static_cast<std::int32_t>(ratio + 0.5);
    // The clock recovery counts whole samples per bit: at any other ratio its
    // clock times would drift away from the wave's time base.
    if (std::fabs(ratio - samplesPerBit) > kWholeRatioTolerance * ratio) {
        message += "Velkor_Rx needs a whole number of samples per bit, but bit time / sample interval is " +
                   Describe(ratio) + values;
        return false;
    }
    if (samplesPerBit < kMinimumSamplesPerBit) {
        message += "Velkor_Rx needs at least 5 samples per bit for its clock recovery, got " +
                   std::to_string(samplesPerBit) + values;
        return false;
    }
    const double taps = Velkor_Rx::EqualiserTapCount(samplesPerBit, bitTime);
    if (!(taps <= CorvaneModelBuilder::TimeResponseFIR::kMaximumTaps)) {
        char count[32];
        std::snprintf(count, sizeof count, "%.0f", taps);
        message += std::string("Velkor_Rx's equaliser would need ") + count +
                   " taps at this sample interval, more than its limit of 1048576" + values;
        return false;
    }
    return true;
}

long InitInstance(AmiModelInstance& instance, double sampleInterval, double bitTime, const char* parametersIn) {
    std::int32_t samplesPerBit = 0;
    std::string timingProblem;
    const bool timingOk = CheckTiming(sampleInterval, bitTime, samplesPerBit, timingProblem);
    instance.samplesPerBit = samplesPerBit;
    instance.model.SamplesPerBit = samplesPerBit;
    instance.model.BitTime = bitTime;

    // Parameter reading: the model's five parameters from the parameter string;
    // its warnings are the first text of the message.
    BindParameters(parametersIn, instance.model, instance.messageText);
    if (!timingOk) {
        instance.messageText += timingProblem;
        return 0;
    }

    return StartModel(instance);
}

}  // namespace

long StartModel(AmiModelInstance& instance) {
    Velkor_Rx& model = instance.model;
    Velkor_Rx::Buffer<double>* ports[4] = {&model.InputPort, &model.OutputPort, &model.ClockPort,
                                           &model.IndexPort};
    for (int i = 0; i < 4; ++i) {
        delete[] instance.portCells[i];
        instance.portCells[i] = new double[1]();
        ports[i]->Attach(instance.portCells[i], 1);
    }
    if (!model.Setup()) {
        instance.messageText += "Error occurred in Velkor_Rx::Setup(). ";
        return 0;
    }
    if (!model.Initialize()) {
        instance.messageText += "Error occurred in Velkor_Rx::Initialize(). ";
        return 0;
    }
    instance.ready = true;
    return 1;
}

namespace {

// Hands the simulator the model's current adaptation state (reporting only).
void ReportState(AmiModelInstance& instance, char** parametersOut) {
    if (!parametersOut) return;
    FormatParametersOut(instance.model.CdrBlock, instance.parametersOut);
    *parametersOut = instance.parametersOut.data();
}

}  // namespace

long Init(double* /*impulseMatrix*/, long /*rowSize*/, long /*aggressors*/, double sampleInterval,
          double bitTime, const char* parametersIn, char** parametersOut, void** memoryHandle,
          char** message) {
    if (!memoryHandle) return 0;  // an instance no one could close would be lost
    AmiModelInstance* instance = nullptr;
    long result = 0;
    try {
        instance = new AmiModelInstance();
        result = InitInstance(*instance, sampleInterval, bitTime, parametersIn);
    } catch (const std::bad_alloc&) {
        if (!instance) return 0;  // nothing to hand back
        try {
            instance->messageText += "Velkor_Rx ran out of memory in AMI_Init. ";
        } catch (...) {
        }
        result = 0;
    } catch (...) {
        if (!instance) return 0;
        result = 0;
    }
    instance->ready = result == 1;
    *memoryHandle = instance;
    try {
        instance->handedMessage = instance->messageText;
    } catch (...) {
    }
    if (message && !instance->handedMessage.empty()) *message = instance->handedMessage.data();
    if (result == 1) ReportState(*instance, parametersOut);
    return result;
}

namespace {

// A call's samples are processed in stretches of this many, so that the times
// found need no list as long as the wave.
constexpr std::size_t kStretch = 4096;
// Clock times held for later calls at most; beyond it the earliest give way.
// Only calls too small to carry their clock times (1 sample) make it grow.
constexpr std::size_t kMaximumHeldTimes = 65536;

// The clock-time list of one call: the times found, oldest first (held ones
// from earlier calls before new ones), as many as fit before the terminator.
class ClockTimeDelivery {
public:
    ClockTimeDelivery(AmiModelInstance& instance, double* clockTimes, std::size_t limit)
        : held_(instance.heldTimes), out_(clockTimes), limit_(limit), room_(limit > 0 ? limit - 1 : 0) {
        while (first_ < held_.size() && count_ < room_) out_[count_++] = held_[first_++];
    }
    void Add(const double* times, std::size_t n) {
        for (std::size_t k = 0; k < n; ++k) {
            if (first_ == held_.size() && count_ < room_) out_[count_++] = times[k];
            else held_.push_back(times[k]);
        }
    }
    // Terminates the delivered list and keeps the rest for the next calls.
    void Finish() {
        held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(first_));
        if (held_.size() > kMaximumHeldTimes)
            held_.erase(held_.begin(), held_.end() - static_cast<std::ptrdiff_t>(kMaximumHeldTimes));
        if (limit_ > 0) out_[count_] = -1.0;
    }

private:
    std::vector<double>& held_;
    double* out_;
    std::size_t limit_, room_;
    std::size_t first_ = 0;  // the held times before it are delivered
    std::size_t count_ = 0;  // entries written to out_
};

// One AMI_GetWave: the checks and the clock-time delivery around a processing
// step that runs a stretch of samples, lists the clock times found and says
// whether every sample ran.
template <typename Process>
long GetWaveWith(double* wave, long waveSize, double* clockTimes, char** parametersOut, void* memory,
                 Process process) {
    auto* instance = static_cast<AmiModelInstance*>(memory);
    if (!instance) return 0;
    try {
        const auto size = static_cast<std::int32_t>(waveSize);
        if (!instance->ready) {
            instance->messageText += "AMI_GetWave called on a Velkor_Rx instance whose AMI_Init failed. ";
            return 0;
        }
        if (size < 0 || static_cast<long>(size) != waveSize || (size > 0 && !wave) || !clockTimes) {
            instance->messageText += "AMI_GetWave called with an invalid wave, wave size or clock-time array. ";
            return 0;
        }
        std::int32_t limit =
            static_cast<std::int32_t>(std::floor(static_cast<double>(size) / instance->samplesPerBit)) + 101;
        if (limit > size) limit = size;
        if (instance->foundTimes.size() < kStretch) instance->foundTimes.resize(kStretch);
        ClockTimeDelivery delivery(*instance, clockTimes, static_cast<std::size_t>(limit));
        long result = 1;
        for (std::int32_t pos = 0; pos < size;) {
            const std::int32_t n = std::min<std::int32_t>(static_cast<std::int32_t>(kStretch), size - pos);
            std::size_t count = 0;
            const bool ok = process(*instance, wave + pos, n, instance->foundTimes.data(), count);
            delivery.Add(instance->foundTimes.data(), count);
            if (!ok) {
                instance->messageText += "Error occurred in Velkor_Rx::Run(). ";
                result = 0;
                break;
            }
            pos += n;
        }
        delivery.Finish();
        ReportState(*instance, parametersOut);
        return result;
    } catch (...) {
        try {
            instance->messageText += "Velkor_Rx ran out of memory in AMI_GetWave. ";
        } catch (...) {
        }
        return 0;
    }
}

// The reference: one model Run per sample through the ports.
bool ProcessSampleBySample(AmiModelInstance& instance, double* wave, std::int32_t size, double* list,
                           std::size_t& count) {
    Velkor_Rx& model = instance.model;
    double& in = model.InputPort.Current();
    const double& out = model.OutputPort.Current();
    const double& clock = model.ClockPort.Current();
    for (std::int32_t i = 0; i < size; ++i) {
        in = wave[i];
        if (!model.Run()) return false;  // wave[i] and later keep their input values
        wave[i] = out;
        if (clock >= 0.0) list[count++] = clock;
    }
    return true;
}

// The block path: the same samples, with the equaliser computed ahead. A failing
// sample and the ones after it keep their input values, as on the reference path.
bool ProcessBlock(AmiModelInstance& instance, double* wave, std::int32_t size, double* list, std::size_t& count) {
    bool ok = true;
    instance.model.RunBlock(wave, wave, static_cast<std::size_t>(size), list, count, ok);
    return ok;
}

}  // namespace

long GetWave(double* wave, long waveSize, double* clockTimes, char** parametersOut, void* memory) {
    return GetWaveWith(wave, waveSize, clockTimes, parametersOut, memory, ProcessBlock);
}

long GetWaveSampleBySample(double* wave, long waveSize, double* clockTimes, char** parametersOut, void* memory) {
    return GetWaveWith(wave, waveSize, clockTimes, parametersOut, memory, ProcessSampleBySample);
}

long Close(void* memory) {
    auto* instance = static_cast<AmiModelInstance*>(memory);
    if (!instance) return 0;
    bool ok = true;
    try {
        ok = instance->model.Finalize();
    } catch (...) {
        ok = false;
    }
    instance->ReleasePorts();
    delete instance;
    return ok ? 1 : 0;
}

}  // namespace ami
