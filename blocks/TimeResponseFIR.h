// FIR whose taps come from an impulse or step response sampled at arbitrary,
// strictly ascending time stamps, resampled onto the tap grid k / SampleRate.
#pragma once

#include <cstdint>
#include <vector>

#include "blocks/FIR.h"

namespace CorvaneModelBuilder {

enum TimeResponseType : std::uint32_t {
    ImpulseResponse = 0,
    StepResponse = 1,
    ImpulseResponseFile = 2,
    StepResponseFile = 3,
};

class TimeResponseFIR : public FIR<double, 0> {
public:
    double* ResponseCoefficients = nullptr;  // not owned
    double* ResponseTimeStamps = nullptr;    // not owned; shifted in place by Setup
    std::int32_t NumResponseCoefficients = 0;
    std::int32_t NumResponseTimeStamps = 0;
    std::uint32_t ResponseType = StepResponse;
    const char* ResponseFile = nullptr;
    double SampleRate = 1e12;

    // Far above any real use (a 1 ns response at 1 fs per tap), and small enough
    // that the taps and the history stay within a few tens of megabytes.
    static constexpr std::int32_t kMaximumTaps = 1 << 20;

    TimeResponseFIR() = default;
    ~TimeResponseFIR() override;

    // Builds the taps (owned by this block) and then runs FIR::Setup.
    bool Setup() override;

    // Reads whitespace-separated (time stamp, value) pairs.
    bool ReadResponseFile(const char* path, std::vector<double>& timeStamps,
                          std::vector<double>& coefficients) const;

private:
    bool BuildTaps(double* stamps, const double* coefficients, std::int32_t count);
};

}  // namespace CorvaneModelBuilder
