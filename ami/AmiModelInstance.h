// The object behind the AMI memory handle, and the work of the three entry points.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "ami/ParametersOut.h"
#include "model/Velkor_Rx.h"

struct AmiModelInstance {
    Velkor_Rx model;
    std::string messageText;      // every warning and error; only grows
    std::string handedMessage;    // the text AMI_Init handed out; stable until close
    // Clock times not yet delivered (a call delivers at most its limit, oldest
    // first), and the times found in one stretch of a call's samples.
    std::vector<double> heldTimes;
    std::vector<double> foundTimes;
    std::int32_t samplesPerBit = 0;
    bool ready = false;           // AMI_Init succeeded
    double* portCells[4] = {nullptr, nullptr, nullptr, nullptr};
    ami::ParametersOutText parametersOut{};  // the state last handed out; stable until the next call

    AmiModelInstance() = default;
    AmiModelInstance(const AmiModelInstance&) = delete;
    AmiModelInstance& operator=(const AmiModelInstance&) = delete;
    ~AmiModelInstance();
    void ReleasePorts();
};

namespace ami {

// The entry points' work, with the IBIS-AMI argument lists. No exception leaves
// these functions: running out of memory becomes result 0 with a message.
long Init(double* impulseMatrix, long rowSize, long aggressors, double sampleInterval, double bitTime,
          const char* parametersIn, char** parametersOut, void** memoryHandle, char** message);
long GetWave(double* wave, long waveSize, double* clockTimes, char** parametersOut, void* memory);
// The reference path of GetWave: one model Run per sample. Same results, bit for bit.
long GetWaveSampleBySample(double* wave, long waveSize, double* clockTimes, char** parametersOut, void* memory);
long Close(void* memory);

// The end of AMI_Init: gives the model's ports their cells, sets the model up
// and initialises it; on a failure appends which step failed and returns 0.
long StartModel(AmiModelInstance& instance);

// Reads the model's five parameters from the parameter string; appends a
// warning for each one that cannot be read.
void BindParameters(const char* parametersIn, Velkor_Rx& model, std::string& message);

}  // namespace ami
