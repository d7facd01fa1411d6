// [Ramp] of a model or submodel: dV/dt_r, dV/dt_f and R_load.
#pragma once

#include <cstdint>
#include "IbisParser/engine/check.h"

struct RampEdge {
    double dv[3], dt[3];       // typical, minimum, maximum
    std::int32_t kind[3];      // 0 absent or unreadable, 1 a ratio, 2 "NA"
    std::uint32_t line;        // where it was read
};

struct RampData {
    RampEdge* rising;
    RampEdge* falling;
    double loadResistance;
    std::int32_t loadGiven;
};

int RampKeyword(const char* line, RampData** ramp, const char* modelName);
void RampDataLine(const char* line, RampData* ramp, const char* modelName);
void RampEndCheck(const RampData* ramp);
void RampFree(RampData** ramp);
int ReadRampRatio(const char* text, double* dv, double* dt, std::int32_t* kind, const char* subParameter,
                  const char* column);

// The [Ramp] check of models and submodels.
extern const KeywordCheck kRampCheck;
// The [Ramp] of the model or submodel read last (null: none), for the checks
// that run after it when the model ends.
const RampData* ModelRamp();
