#include "blocks/TimeResponseFIR.h"

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>

#include "blocks/SplineWorkspace.h"

namespace CorvaneModelBuilder {

TimeResponseFIR::~TimeResponseFIR() {
    delete[] Taps;
    Taps = nullptr;
}

bool TimeResponseFIR::ReadResponseFile(const char* path, std::vector<double>& timeStamps,
                                       std::vector<double>& coefficients) const {
    std::ifstream in(path ? path : "");
    if (!in) {
        ReportBlockError("Failed to open response file.");
        return false;
    }
    // A pair counts once both of its numbers were read, also when the file ends
    // right after the second one; a trailing single number is ignored.
    std::size_t count = 0;
    double a = 0, b = 0;
    while (in >> a >> b) ++count;
    timeStamps.clear();
    coefficients.clear();
    timeStamps.reserve(count);
    coefficients.reserve(count);
    in.clear();
    in.seekg(0);
    std::size_t stored = 0;
    while (in >> a >> b) {
        timeStamps.push_back(a);
        coefficients.push_back(b);
        ++stored;
    }
    in.close();
    if (stored != coefficients.size() || stored != count) {
        ReportBlockError("Failed to read response file.");
        return false;
    }
    return true;
}

bool TimeResponseFIR::Setup() {
    std::vector<double> fileStamps, fileCoefficients;
    double* stamps = ResponseTimeStamps;
    const double* coefficients = ResponseCoefficients;
    std::int32_t numCoefficients = NumResponseCoefficients;
    std::int32_t numStamps = NumResponseTimeStamps;
    if (ResponseType == ImpulseResponseFile) {
        if (!ReadResponseFile(ResponseFile, fileStamps, fileCoefficients)) return false;
        stamps = fileStamps.data();
        coefficients = fileCoefficients.data();
        numCoefficients = static_cast<std::int32_t>(fileCoefficients.size());
        numStamps = static_cast<std::int32_t>(fileStamps.size());
    }

    bool ok = true;
    if ((ResponseType == ImpulseResponse || ResponseType == ImpulseResponseFile) &&
        numCoefficients < 4) {
        ReportBlockError("At least 4 response coefficients are required for input impulse response");
        ok = false;
    } else if ((ResponseType == StepResponse || ResponseType == StepResponseFile) &&
               numCoefficients < 4) {
        ReportBlockError("At least 4 response coefficients are required for input step response");
        ok = false;
    }
    if (ResponseType > StepResponseFile) {
        ReportBlockError(
            "Inavlid ResponseType is specified, it can only be Impulse Response, Step Response, "
            "Impulse Response File or Step Response File");
        return false;
    }
    if (!ok) return false;
    if (numStamps != numCoefficients) {
        ReportBlockError(
            "Number of coefficients in response must be same as the number of values in time stamps");
        return false;
    }
    if (!(SampleRate > 0.0)) {
        ReportBlockError("SampleRate must be > 0.0");
        return false;
    }
    if (!BuildTaps(stamps, coefficients, numStamps)) return false;
    return FIR<double, 0>::Setup();
}

bool TimeResponseFIR::BuildTaps(double* stamps, const double* coefficients, std::int32_t n) {
    // A NaN or infinite stamp compares with nothing: the tap search would never end.
    for (std::int32_t i = 0; i < n; ++i) {
        if (std::isfinite(stamps[i])) continue;
        std::ostringstream message;
        message << "ResponseTimeStamps[" << static_cast<unsigned>(i + 1) << "] = " << stamps[i]
                << " is not a finite time stamp.";
        ReportBlockError(message.str().c_str());
        return false;
    }
    // Shift the stamps in place so that the first is 0; they must ascend strictly.
    const double t0 = stamps[0];
    stamps[0] = 0.0;
    double previousOriginal = t0;
    for (std::int32_t i = 1; i < n; ++i) {
        const double original = stamps[i];
        stamps[i] = original - t0;
        if (stamps[i - 1] >= stamps[i]) {
            // Counted from 1 and shown with the values as the owner gave them.
            std::ostringstream message;
            message << "ResponseTimeStamps[" << static_cast<unsigned>(i + 1) << "] = " << original
                    << "  <= ResponseTimeStamps[" << static_cast<unsigned>(i)
                    << "] = " << previousOriginal
                    << ". Time stamps must be in non-repeating ascending order.";
            ReportBlockError(message.str().c_str());
            return false;
        }
        previousOriginal = original;
    }

    const double last = stamps[n - 1] * SampleRate;
    if (!(last < static_cast<double>(kMaximumTaps))) {
        ReportBlockError("SampleRate times the response duration gives more than 1048576 taps");
        return false;
    }
    const std::int32_t taps = static_cast<std::int32_t>(last) + 1;
    NumberOfTaps = taps;
    delete[] Taps;
    Taps = nullptr;
    Taps = new double[static_cast<std::size_t>(taps)];

    SplineWorkspace workspace;
    const bool impulse = ResponseType == ImpulseResponse || ResponseType == ImpulseResponseFile;
    std::int32_t j = 0;
    for (std::int32_t k = 0; k < taps; ++k) {
        const double t = static_cast<double>(k) / SampleRate;
        while (t > stamps[j]) {
            if (j + 1 == n) break;
            ++j;
        }
        if (stamps[j] == t && ResponseType == ImpulseResponse) {
            Taps[k] = coefficients[j];
            continue;
        }
        std::int32_t first = j;
        if (first == 0)
            first = 1;
        else if (first > n - 3)
            first = n - 3;
        const double* x = stamps + first - 1;
        const double* y = coefficients + first - 1;
        if (workspace.Capacity < 4) workspace.Reserve(4);
        if (workspace.ComputeSpline(4, 0, 0, 0.0, 0.0, x, y) != 0) {
            Taps[k] = 0.0;
            continue;
        }
        std::int32_t s = 0;
        if (!(x[0] <= t && t <= x[1])) {
            std::int32_t lo = 0, hi = 4;
            do {
                const std::int32_t mid = (lo + hi) / 2;
                if (x[mid] > t) hi = mid;
                if (t >= x[mid]) lo = mid;
            } while (hi > lo + 1);
            s = lo;
        }
        const double w = t - x[s];
        const double* b = workspace.b;
        const double* c = workspace.c;
        const double* d = workspace.d;
        Taps[k] = y[s] + b[s] * w + c[s] * w * w + d[s] * w * w * w;
    }

    if (impulse) {
        for (std::int32_t k = 0; k < taps; ++k) Taps[k] = Taps[k] / SampleRate;
    } else {
        for (std::int32_t k = taps - 1; k >= 1; --k) Taps[k] = Taps[k] - Taps[k - 1];
    }
    return true;
}

}  // namespace CorvaneModelBuilder
