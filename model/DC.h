// The receiver's limiting stage: Out = Scale * tanh(Slope * In + Offset), with
// coefficients by process corner and gain boost.
#pragma once

#include <cstdint>

#include "framework/DFModel.h"

class DC : public CorvaneModelBuilder::DFModel {
public:
    double In = 0.0;
    double Out = 0.0;
    double Slope = 0.0;
    double Scale = 0.0;
    double Offset = 0.0;
    std::int32_t Corner = 0;
    std::int32_t GainBoost = 0;  // 1 = boost on

    struct Coefficients {
        double slope, offset, scale;
    };
    // The characterised curve of a corner and boost state; silence outside them.
    static Coefficients Lookup(std::int32_t corner, std::int32_t gainBoost);

    bool Initialize() override { return true; }
    bool Run() override;
};
