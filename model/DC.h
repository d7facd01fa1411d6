// The receiver's limiting stage: Out = Scale * tanh(Slope * In + Offset), with
// coefficients by process corner and gain boost.
#pragma once

#include <cstddef>
#include <cstdint>

#include "framework/DFModel.h"
#include "kernels/TanhKernels.h"

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

    // Run over a buffer: out[i] is the Out of In = in[i] (out may be in). In and
    // Out, Run's ports, are left alone.
    void Process(const double* in, double* out, std::size_t n);
    // The kernel of Process (the widest the processor has by default).
    void SetKernel(CorvaneModelBuilder::KernelKind kind);

private:
    CorvaneModelBuilder::ScaledTanhKernel kernel_ = nullptr;
};
