// [Model] content: the sub-parameters (each with the IBIS version that
// introduced it, enumerated values checked), and at the model's end the
// keywords and sub-parameters that its Model_type requires.
#pragma once

#include <cstdint>
#include "IbisParser/engine/check.h"

// A new [Model] starts (its keyword line).
void ModelStart(const char* name);
// Reads one data line of [Model]: a sub-parameter newer than the file's version
// is an error, an unknown one a warning; enumerations and values are checked.
void ModelSubParameterLine(const char* line);
// A keyword read inside the open model.
void ModelKeywordSeen(std::int32_t code, const char* line);
// A data line of the model's [Model Spec]: whether it gives the input thresholds.
void ModelSpecLine(const char* line);
// The model is complete: what its Model_type requires is checked.
void ModelEndCheck();

// What the model read last says of its supplies and its type, for the checks
// that run when it ends.
struct ModelSupplies {
    const char* type;  // Model_type as the standard writes it; null when unknown
    bool high;         // a typical [Voltage Range] or [Pullup Reference] was read
    double vcc;        // the typical [Pullup Reference], else [Voltage Range]
    double gnd;        // the typical [Pulldown Reference], else 0
};
ModelSupplies CurrentModelSupplies();

// The [Model] check: sub-parameters, [Model Spec] and what the Model_type requires.
extern const KeywordCheck kModelCheck;
