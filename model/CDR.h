// Clock and data recovery: a bang-bang (Alexander) phase detector that moves the
// recovered clock by whole samples, a frequency integrator, and the adaptation
// of the equaliser's gain code from the same decisions.
#pragma once

#include <cstdint>

#include "framework/DFModel.h"

class CDR : public CorvaneModelBuilder::DFModel {
public:
    double In = 0.0;
    double DataOut = 0.0;
    double ClockOut = 0.0;
    double AEQ_Zero = 0.0;
    double AEQ_gain = 0.0;
    double SetIndexOut = 0.0;
    std::int32_t CDR_Threshold = 0;  // loop setting 0 ... 7, not a voltage
    std::int32_t SamplesPerUI = 0;
    double UnitInterval = 0.0;       // held, not used by the algorithm
    std::int32_t SampleCount = 0;
    std::int32_t PhaseCount = 0;
    std::int32_t PreviousDataDecision = 0;
    std::int32_t DataDecision = 0;
    std::int32_t EdgeDecision = 0;
    double PreviousClockLevel = 0.0;
    double ClockLevel = 0.0;
    std::int32_t LogPeriod = 0;
    std::int32_t PhaseVotes = 0;
    std::int32_t FrequencySign = 0;
    double FrequencyCode = 0.0;
    std::int32_t UICount = 0;
    std::int32_t ZeroCarry = 0;      // 1: gain steps past the limits carry into the zero code
    std::int32_t History[5] = {0, 0, 0, 0, 0};  // data decisions, h0 newest
    std::int32_t AdaptVotes = 0;
    std::int32_t PhaseStepPeriod = 0;
    std::int32_t PendingPhaseStep = 0;
    double FrequencyRatio = 0.0;
    double FrequencyOffsetPpm = 0.0;
    std::int32_t FrequencyStepInterval = 0;
    std::int32_t GainCode = 0;       // -1: adapt
    std::int32_t ZeroCode = 0;
    std::int32_t GainBoost = 0;      // 1 = boost on
    std::int32_t BoostFlag = 0;
    std::int32_t Corner = 0;

    // Name of the adaptation log in the current directory.
    static constexpr const char* kLogFileName = "Velrok.adapt";

    bool Initialize() override;
    bool Run() override;

    // The loop setting's vote limit and phase-step period; false for "any other".
    static bool LoopSetting(std::int32_t threshold, std::int32_t& voteLimit, std::int32_t& stepPeriod);

private:
    void WriteLog();
    std::int32_t logCountdown_ = 0;  // samples until SampleCount may be a multiple of LogPeriod
    void DataSample();
};
