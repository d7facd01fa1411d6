// Clock and data recovery: a bang-bang (Alexander) phase detector that moves the
// recovered clock by whole samples, a frequency integrator, and the adaptation
// of the equaliser's gain code from the same decisions.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "framework/DFModel.h"
#include "model/Divisibility.h"

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
    std::int64_t SampleCount = 0;    // 64 bits: runs pass 2^31 samples
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

    // Run over a buffer, In = in[i] for each sample: out[i] and clock[i] are its
    // DataOut and ClockOut (out may be in). Stops after the first sample whose
    // SetIndexOut differs from the one before it, since the equaliser follows the
    // set index from the next sample on; returns the samples run (at least one
    // when n > 0). Between clock events the samples only count (SkipQuiet).
    std::size_t Process(const double* in, double* out, double* clock, std::size_t n);

    // The loop setting's vote limit and phase-step period; false for "any other".
    static bool LoopSetting(std::int32_t threshold, std::int32_t& voteLimit, std::int32_t& stepPeriod);

    // The equaliser set that the current state selects, 48 g + 6 z + 3 b + c: with the
    // adapted codes when the gain code adapts (-1), else with the fixed ones.
    double SetIndex() const {
        const std::int32_t boostFlag = GainBoost != 1 ? 1 : 0;
        if (GainCode == -1) return 48.0 * AEQ_gain + 6.0 * AEQ_Zero + 3.0 * boostFlag + Corner;
        // 32-bit arithmetic as the device firmware does it; wraps instead of trapping.
        const std::uint32_t index = 48u * static_cast<std::uint32_t>(GainCode) +
                                    6u * static_cast<std::uint32_t>(ZeroCode) +
                                    3u * static_cast<std::uint32_t>(boostFlag) +
                                    static_cast<std::uint32_t>(Corner);
        return static_cast<double>(static_cast<std::int32_t>(index));
    }

    // One sample (Run without its virtual call).
    void Step() {
        StepKeepingSetIndex();
        BoostFlag = GainBoost != 1 ? 1 : 0;
        SetIndexOut = SetIndex();
    }

    // Step but for the gain codes' flag and the set index, which follow the codes:
    // only the data sample's adaptation moves them (or a write from outside,
    // between runs). True when the adaptation stepped the codes. Inline for the
    // block path.
    bool StepKeepingSetIndex() {
        if (SampleCount == 0 || --logCountdown_ <= 0) WriteLog();
        if (PhaseCount == SamplesPerUI && PhaseCount != 0) {
            ClockOut = 1.0;
            PhaseCount = 0;
            UICount = Wrapped(UICount);
        } else if (PhaseCount == SamplesPerUI / 2) {
            ClockOut = 0.0;
        }
        PreviousClockLevel = ClockLevel;
        ClockLevel = ClockOut;

        bool stepped = false;
        if (PreviousClockLevel == 0.0 && ClockLevel == 1.0) {
            EdgeDecision = In > 0.0 ? 1 : 0;  // boundary of the unit interval
        } else if (PreviousClockLevel == 1.0 && ClockLevel == 0.0) {
            stepped = DataSample();  // centre of the unit interval
        }

        ++SampleCount;
        PhaseCount = Wrapped(PhaseCount);
        DataOut = In;
        return stepped;
    }

    // How many of the coming samples Step would only count: no clock event (the
    // phase counter reaches neither SamplesPerUI nor its half), no log line due,
    // and the clock level already at the clock output. 0: the next one needs Step.
    std::int64_t QuietSamples() const {
        if (SampleCount == 0 || logCountdown_ <= 1 || !(ClockLevel == ClockOut)) return 0;
        // Distances on the wrapping 32-bit counter: beyond SamplesPerUI it runs on
        // until it wraps round to the targets.
        const auto phase = static_cast<std::uint32_t>(PhaseCount);
        std::int64_t quiet = logCountdown_ - 1;
        if (SamplesPerUI != 0) quiet = std::min<std::int64_t>(quiet, static_cast<std::uint32_t>(SamplesPerUI) - phase);
        return std::min<std::int64_t>(quiet, static_cast<std::uint32_t>(SamplesPerUI / 2) - phase);
    }

    // `count` quiet samples (at most QuietSamples()) at once, the last of them with
    // input `last`: leaves the state that `count` calls of Step would leave.
    void SkipQuiet(std::int64_t count, double last) {
        if (count <= 0) return;
        AdvanceQuiet(count, last);
        BoostFlag = GainBoost != 1 ? 1 : 0;
        SetIndexOut = SetIndex();
    }

private:
    // SkipQuiet but for the gain codes' flag and the set index, which a Step just
    // before has set as they stay.
    void AdvanceQuiet(std::int64_t count, double last) {
        logCountdown_ -= count;
        PreviousClockLevel = count == 1 ? ClockLevel : ClockOut;
        ClockLevel = ClockOut;
        SampleCount += count;
        PhaseCount = static_cast<std::int32_t>(static_cast<std::uint32_t>(PhaseCount) + static_cast<std::uint32_t>(count));
        In = last;
        DataOut = last;
    }

    // The phase and unit-interval counters are 32-bit; they wrap rather than overflow.
    static std::int32_t Wrapped(std::int32_t counter) {
        return static_cast<std::int32_t>(static_cast<std::uint32_t>(counter) + 1u);
    }
    void WriteLog();
    std::int64_t logCountdown_ = 0;  // samples until SampleCount may be a multiple of LogPeriod
    bool DataSample();  // true when the adaptation stepped the gain codes
    void FrequencyCorrection();

    // The once-a-bit tests of the unit-interval counter against the periods.
    Divisibility stepInterval_, stepPeriod_;

    // The frequency integrator's readings depend only on FrequencyCode, which moves
    // at phase-step decisions: its two divisions are kept for the code they were
    // made for (compared by bits) instead of made again every bit.
    struct FrequencyReading {
        bool valid = false;
        std::uint64_t codeBits = 0;
        double ratio = 0.0, ppm = 0.0;
        std::int32_t stepInterval = 0;
    };
    FrequencyReading reading_;
};
