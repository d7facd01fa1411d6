#include "model/CDR.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <emmintrin.h>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// The eight loop settings: vote limit T and phase-step period. Settings 0 ... 3
// also let the frequency integrator follow the steps (second-order loop).
struct LoopRow {
    std::int32_t voteLimit, stepPeriod;
};
constexpr LoopRow kLoop[8] = {{720, 217}, {336, 1602}, {144, 72}, {48, 48},
                              {720, 217}, {144, 72},   {48, 48},  {336, 1602}};
constexpr std::int32_t kFreeRunningPeriod = 8;
constexpr std::int64_t kAdaptationStart = 200000;  // SamplesPerUI x SampleCount
constexpr std::int32_t kAdaptVoteLimit = 512;

bool SecondOrder(std::int32_t threshold) { return threshold >= 0 && threshold <= 3; }

// CDR::LoopSetting, here to be inlined into the once-a-bit data sample.
bool FindLoopSetting(std::int32_t threshold, std::int32_t& voteLimit, std::int32_t& stepPeriod) {
    if (threshold < 0 || threshold > 7) return false;
    voteLimit = kLoop[threshold].voteLimit;
    stepPeriod = kLoop[threshold].stepPeriod;
    return true;
}

// The log is written only as a regular file or a new one: a link or a device
// planted under its name is left alone rather than written through.
bool LogMayBeWritten() {
    std::error_code error;
    const auto type = std::filesystem::symlink_status(CDR::kLogFileName, error).type();
    return type == std::filesystem::file_type::regular || type == std::filesystem::file_type::not_found;
}

}  // namespace

bool CDR::LoopSetting(std::int32_t threshold, std::int32_t& voteLimit, std::int32_t& stepPeriod) {
    return FindLoopSetting(threshold, voteLimit, stepPeriod);
}

bool CDR::Initialize() {
    ClockOut = 1.0;
    AEQ_Zero = 0.0;
    AEQ_gain = 7.0;
    SampleCount = 0;
    PhaseCount = 1;
    PreviousClockLevel = 0.0;
    ClockLevel = 0.0;
    PhaseVotes = 0;
    FrequencySign = 0;
    FrequencyCode = 200.0;
    UICount = 0;
    AdaptVotes = 0;
    PendingPhaseStep = 0;
    FrequencyOffsetPpm = 0.0;
    logCountdown_ = 0;
    std::int32_t limit = 0;
    if (!LoopSetting(CDR_Threshold, limit, PhaseStepPeriod)) PhaseStepPeriod = kFreeRunningPeriod;
    return true;
}

void CDR::WriteLog() {
    // Called when SampleCount is 0 or the countdown ran out: a multiple of
    // LogPeriod may have come (no division per sample).
    if (LogPeriod > 0) {
        const std::int64_t phase = SampleCount % LogPeriod;
        logCountdown_ = phase < 0 ? 1 : LogPeriod - phase;
    }
    // Each write opens and closes the file; a file that cannot be written is
    // ignored (the simulation goes on without the log).
    const bool due = SampleCount == 0 || (LogPeriod > 0 && SampleCount % LogPeriod == 0);
    if (!due || !LogMayBeWritten()) return;
    if (SampleCount == 0) {
        std::ofstream log(kLogFileName, std::ios::out | std::ios::trunc);
        if (!log) return;
        log << "AEQ_Zero, AEQ_gain\n"
            << AEQ_Zero << " , " << AEQ_gain << ", " << FrequencyOffsetPpm << "\n";
    } else {
        std::ofstream log(kLogFileName, std::ios::out | std::ios::app);
        if (!log) return;
        log << AEQ_Zero << " , " << AEQ_gain << ", " << FrequencyOffsetPpm << ", " << FrequencyRatio
            << ", " << FrequencyCode << ", " << PhaseVotes << ", " << PendingPhaseStep << "\n";
    }
}

bool CDR::DataSample() {
    PreviousDataDecision = DataDecision;
    DataDecision = In > 0.0 ? 1 : 0;
    for (int i = 4; i > 0; --i) History[i] = History[i - 1];
    History[0] = DataDecision;
    const std::int32_t* h = History;

    // Gain adaptation from isolated transitions, once the loop has settled.
    bool stepped = false;
    if (static_cast<std::int64_t>(SamplesPerUI) * SampleCount > kAdaptationStart) {
        const std::int32_t e = EdgeDecision;
        if (h[4] == h[3] && h[3] == h[2] && h[2] == h[1] && h[1] != h[0]) {
            AdaptVotes += (e == h[0]) ? 1 : -1;
        } else if (h[4] == h[3] && h[3] == h[2] && h[2] != h[1] && h[0] == h[2]) {
            AdaptVotes += (e != h[0]) ? 1 : -1;
        }
        if (AdaptVotes >= kAdaptVoteLimit || AdaptVotes <= -kAdaptVoteLimit) {
            stepped = true;
            AEQ_gain += AdaptVotes >= 0 ? 1.0 : -1.0;
            AdaptVotes = 0;
            if (ZeroCarry == 1) {
                if (AEQ_gain <= 0.0) {
                    AEQ_gain = 0.0;
                    AEQ_Zero -= 1.0;
                } else if (AEQ_gain > 15.0) {
                    AEQ_gain = 15.0;
                    AEQ_Zero += 1.0;
                }
            }
            AEQ_gain = std::fmin(std::fmax(AEQ_gain, 0.0), 15.0);
            AEQ_Zero = std::fmin(std::fmax(AEQ_Zero, 0.0), 15.0);
        }
    }

    // Phase detector: at a transition the edge sample shows which bit it saw.
    const bool transition = (PreviousDataDecision == 1 && DataDecision == 0) ||
                            (PreviousDataDecision == 0 && DataDecision == 1);
    if (transition) {
        if (EdgeDecision == 0 || EdgeDecision == 1) {
            PhaseVotes += (EdgeDecision == DataDecision) ? 1 : -1;
        } else {
            std::fputs("Warning! unexpected CDR bahavior\n", stdout);
        }
    }

    // Phase-step decision every 8 unit intervals while none is pending.
    std::int32_t limit = 0, period = 0;
    const bool known = FindLoopSetting(CDR_Threshold, limit, period);
    if (UICount % 8 == 0 && PendingPhaseStep == 0 && known) {
        const std::int64_t x = static_cast<std::int64_t>(SamplesPerUI) * PhaseVotes;
        if (CDR_Threshold == 1) {
            // No dead band: always step, one way or the other.
            PhaseVotes = 0;
            PendingPhaseStep = x >= limit ? 1 : -1;
            FrequencyCode += x >= limit ? 1.0 : -1.0;
        } else if (x >= limit || x <= -limit) {
            PendingPhaseStep = x >= limit ? 1 : -1;
            if (SecondOrder(CDR_Threshold)) FrequencyCode += x >= limit ? 1.0 : -1.0;
            PhaseVotes = 0;
        }
    }

    // Frequency correction from the integrator, read as an offset in ppm.
    if (SecondOrder(CDR_Threshold)) FrequencyCorrection();

    // Apply a pending phase step at the setting's period.
    if (known) PhaseStepPeriod = period;
    if (PhaseStepPeriod > 0 && stepPeriod_.Divides(UICount, PhaseStepPeriod)) {
        PhaseCount += PendingPhaseStep;
        PhaseVotes = 0;
        PendingPhaseStep = 0;
    }
    return stepped;
}

void CDR::FrequencyCorrection() {
    std::uint64_t codeBits;
    std::memcpy(&codeBits, &FrequencyCode, sizeof codeBits);
    if (!reading_.valid || reading_.codeBits != codeBits) {
        const double ratio = FrequencyCode / 255.0;
        double ppm = ratio * 434.0;
        if (ppm == 0.0) ppm = 1e-16;
        const double interval = 1e6 / (std::fabs(ppm) * 48.0);
        std::int32_t stepInterval = 12345;
        if (interval >= -2147483648.0 && interval < 2147483648.0) stepInterval = static_cast<std::int32_t>(interval);
        // Beyond about +-12240 codes the interval would be 0: correct every UI.
        if (stepInterval < 1) stepInterval = 1;
        reading_ = {true, codeBits, ratio, ppm, stepInterval};
    }
    FrequencyRatio = reading_.ratio;
    FrequencyOffsetPpm = reading_.ppm;
    FrequencyStepInterval = reading_.stepInterval;
    if (FrequencyOffsetPpm < 0.0)
        FrequencySign = -1;
    else if (FrequencyOffsetPpm > 1e-16)
        FrequencySign = 1;
    if (stepInterval_.Divides(UICount, FrequencyStepInterval)) PhaseCount += FrequencySign;
}

bool CDR::Run() {
    Step();
    return true;
}

namespace {

std::uint64_t BitsOf(double x) {
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

// The clock's level over a quiet stretch, two samples a store.
void FillLevel(double* clock, std::size_t count, double level) {
    const __m128d both = _mm_set1_pd(level);
    std::size_t k = 0;
    for (; k + 2 <= count; k += 2) _mm_storeu_pd(clock + k, both);
    if (k < count) clock[k] = level;
}

}  // namespace

std::size_t CDR::Process(const double* in, double* out, double* clock, std::size_t n) {
    // Compared by bits: a NaN index is as steady as any other.
    const std::uint64_t index = BitsOf(SetIndexOut);
    const bool inPlace = out == in;
    if (n == 0) return 0;
    // The codes may have been written since the last step: the set index follows
    // them from the first step on, and then after each adaptation step.
    BoostFlag = GainBoost != 1 ? 1 : 0;
    SetIndexOut = SetIndex();
    for (std::size_t i = 0; i < n; ++i) {
        In = in[i];
        if (StepKeepingSetIndex()) SetIndexOut = SetIndex();
        // Read before the stores below, which the compiler must assume may
        // reach the members: what it has just computed stays in registers.
        const double level = ClockOut;
        const bool changed = BitsOf(SetIndexOut) != index;
        const auto quiet =
            static_cast<std::size_t>(std::min<std::int64_t>(QuietSamples(), static_cast<std::int64_t>(n - i - 1)));
        if (!inPlace) out[i] = DataOut;
        clock[i] = level;
        if (changed) return i + 1;
        if (quiet == 0) continue;
        if (!inPlace) std::copy(in + i + 1, in + i + 1 + quiet, out + i + 1);
        FillLevel(clock + i + 1, quiet, level);
        i += quiet;
        AdvanceQuiet(static_cast<std::int64_t>(quiet), in[i]);
    }
    return n;
}
