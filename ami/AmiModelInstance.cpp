#include "ami/AmiModelInstance.h"

#include <cmath>
#include <cstdio>
#include <new>

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
    const double ratio = bitTime / sampleInterval + 0.5;
    if (!(ratio < kMaximumSamplesPerBit + 1.0)) {
        message += "Velkor_Rx handles at most 65536 samples per bit" + values;
        return false;
    }
    samplesPerBit = static_cast<std::int32_t>(ratio);
    if (samplesPerBit < kMinimumSamplesPerBit) {
        message += "Velkor_Rx needs at least 5 samples per bit for its clock recovery, got " +
                   std::to_string(samplesPerBit) + values;
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

    Velkor_Rx& model = instance.model;
    Velkor_Rx::Buffer<double>* ports[4] = {&model.InputPort, &model.OutputPort, &model.ClockPort,
                                           &model.IndexPort};
    for (int i = 0; i < 4; ++i) {
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
    if (memoryHandle) *memoryHandle = instance;
    try {
        instance->handedMessage = instance->messageText;
    } catch (...) {
    }
    if (message && !instance->handedMessage.empty()) *message = instance->handedMessage.data();
    if (result == 1) ReportState(*instance, parametersOut);
    return result;
}

namespace {

// One AMI_GetWave: the checks, the clock-time list with its terminator and limit,
// around a processing step that fills the list and says how far it got.
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
        // Grows only when a call is larger than every earlier one.
        if (instance->clockTimes.size() < static_cast<std::size_t>(size) + 1)
            instance->clockTimes.resize(static_cast<std::size_t>(size) + 1, 0.0);
        double* list = instance->clockTimes.data();
        std::size_t count = 0;
        long result = 1;
        if (!process(*instance, wave, size, list, count)) {
            instance->messageText += "Error occurred in Velkor_Rx::Run(). ";
            result = 0;
        }
        list[count++] = -1.0;

        std::int32_t limit =
            static_cast<std::int32_t>(std::floor(static_cast<double>(size) / instance->samplesPerBit)) + 101;
        if (limit > size) limit = size;
        const std::size_t cap = static_cast<std::size_t>(limit);
        const std::size_t first = count <= cap ? 0 : count - cap;
        const std::size_t n = count <= cap ? count : cap;
        for (std::size_t k = 0; k < n; ++k) clockTimes[k] = list[first + k];
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
