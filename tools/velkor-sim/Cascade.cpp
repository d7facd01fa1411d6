#include "tools/velkor-sim/Cascade.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/velkor-sim/ImpulseResponse.h"

namespace sim {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr std::size_t kMaxCommonPoints = 1u << 20;

double MedianStep(const std::vector<double>& f) {
    std::vector<double> steps;
    for (std::size_t k = 1; k < f.size(); ++k) steps.push_back(f[k] - f[k - 1]);
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
    return steps[steps.size() / 2];
}

}  // namespace

TwoPort Resample(const TwoPort& piece, const std::vector<double>& grid) {
    TwoPort out;
    out.frequency = grid;
    out.reference = piece.reference;
    out.s.resize(grid.size());
    const auto& f = piece.frequency;
    for (int p = 0; p < 4; ++p) {
        TransferSamples d{f, {}};
        for (const auto& s : piece.s) d.value.push_back(s[static_cast<std::size_t>(p)]);
        double period = 0;
        const double delay = BulkDelay(d, period);
        std::vector<double> magnitude(f.size()), phase(f.size());
        for (std::size_t k = 0; k < f.size(); ++k) {
            const auto residual = d.value[k] * std::polar(1.0, 2 * kPi * f[k] * delay);
            magnitude[k] = std::abs(residual);
            phase[k] = std::arg(residual);
            if (k > 0) phase[k] += 2 * kPi * std::round((phase[k - 1] - phase[k]) / (2 * kPi));
        }
        std::size_t j = 0;
        for (std::size_t i = 0; i < grid.size(); ++i) {
            const double x = std::clamp(grid[i], f.front(), f.back());
            while (j + 2 < f.size() && f[j + 1] < x) ++j;
            const double w = (x - f[j]) / (f[j + 1] - f[j]);
            out.s[i][static_cast<std::size_t>(p)] =
                std::polar(magnitude[j] + (magnitude[j + 1] - magnitude[j]) * w,
                           phase[j] + (phase[j + 1] - phase[j]) * w - 2 * kPi * grid[i] * delay);
        }
    }
    return out;
}

TwoPort CascadePair(const TwoPort& a, const TwoPort& b) {
    TwoPort out;
    out.frequency = a.frequency;
    out.reference = a.reference;
    out.s.resize(a.s.size());
    for (std::size_t k = 0; k < a.s.size(); ++k) {
        const auto& [a11, a12, a21, a22] = a.s[k];
        const auto& [b11, b12, b21, b22] = b.s[k];
        // Waves bouncing between a's output and b's input: 1 / (1 - a22 b11).
        const auto loop = 1.0 / (1.0 - a22 * b11);
        out.s[k] = {a11 + a12 * b11 * a21 * loop, a12 * b12 * loop, a21 * b21 * loop, b22 + b21 * a22 * b12 * loop};
    }
    return out;
}

bool CascadeAll(const std::vector<TwoPort>& pieces, TwoPort& joined, std::string& note, std::string& error) {
    note.clear();
    bool same = true;
    double lo = 0, hi = 1e300, step = 1e300;
    for (const auto& p : pieces) {
        same = same && p.frequency == pieces.front().frequency;
        lo = std::max(lo, p.frequency.front());
        hi = std::min(hi, p.frequency.back());
        step = std::min(step, MedianStep(p.frequency));
    }
    std::vector<double> grid = pieces.front().frequency;
    if (!same) {
        if (!(hi > lo)) {
            error = "the cascaded channel files share no frequency band";
            return false;
        }
        const double count = std::floor((hi - lo) / step) + 1;
        if (count > static_cast<double>(kMaxCommonPoints)) step = (hi - lo) / static_cast<double>(kMaxCommonPoints - 1);
        grid.clear();
        for (std::size_t k = 0; lo + static_cast<double>(k) * step <= hi * (1 + 1e-12); ++k)
            grid.push_back(std::min(hi, lo + static_cast<double>(k) * step));
        if (grid.size() < 2) grid = {lo, hi};
        char text[200];
        std::snprintf(text, sizeof text, "cascaded on a common grid of %zu points from %.4g to %.4g GHz (step %.4g MHz)",
                      grid.size(), lo / 1e9, hi / 1e9, step / 1e6);
        note = text;
    } else {
        note = "cascaded on the files' common grid";
    }
    joined = same ? pieces.front() : Resample(pieces.front(), grid);
    for (std::size_t i = 1; i < pieces.size(); ++i)
        joined = CascadePair(joined, same ? pieces[i] : Resample(pieces[i], grid));
    return true;
}

}  // namespace sim
