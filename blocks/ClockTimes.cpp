#include "blocks/ClockTimes.h"

#include "kernels/CorrectlyRounded.h"

namespace CorvaneModelBuilder {

bool ClockTimes::Initialize() {
    if (SampleInterval > 0) {
        SampleCount = 0;
        PreviousSample = -1.0;
        return true;
    }
    ReportBlockError("SampleInterval must be larger than 0.");
    return false;
}

bool ClockTimes::Run() {
    Output.Current() = Step(Input.Current());
    return true;
}

double ClockTimes::CrossingFraction(double previous, double current) const {
    double r0 = previous / Amplitude;
    double r1 = current / Amplitude;
    // Samples beyond the amplitude sit at phase 0 (positive) or pi (negative).
    if (r0 > 1.0) r0 = 1.0;
    if (r0 < -1.0) r0 = -1.0;
    if (r1 > 1.0) r1 = 1.0;
    if (r1 < -1.0) r1 = -1.0;
    const double phi0 = crmath::Acos(r0);
    const double phi1 = crmath::Acos(r1);
    return (1.5707963267948966 - phi0) / (phi1 - phi0);
}

}  // namespace CorvaneModelBuilder
