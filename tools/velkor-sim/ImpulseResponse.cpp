#include "tools/velkor-sim/ImpulseResponse.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/velkor-sim/Channel.h"
#include "tools/velkor-sim/Fft.h"

namespace sim {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kFloorDb = 400;             // the loss of a zero: 1e-20
constexpr double kTaperShare = 0.2;          // of the simulated band, tapered by a half Hann window
constexpr double kLateFirstPoint = 250e6;    // Hz: data starting above it are said to
constexpr double kBandCover = 1.5;           // times the Nyquist frequency the data should reach
constexpr double kPreResponseLimit = 0.01;   // share of the energy before the main response
constexpr int kMinWindowUi = 64;

std::string Text(const char* format, double a, double b = 0, double c = 0) {
    char text[256];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

std::size_t NextPowerOfTwo(double n) {
    std::size_t p = 1;
    while (static_cast<double>(p) < n) p <<= 1;
    return p;
}

// Solves the normal equations of a least-squares fit with the given basis
// columns; false when they are singular.
bool LeastSquares(const std::vector<std::vector<double>>& columns, const std::vector<double>& y, std::vector<double>& x) {
    const std::size_t m = columns.size();
    std::vector<std::vector<double>> a(m, std::vector<double>(m + 1, 0.0));
    for (std::size_t i = 0; i < m; ++i) {
        for (std::size_t j = 0; j < m; ++j)
            for (std::size_t k = 0; k < y.size(); ++k) a[i][j] += columns[i][k] * columns[j][k];
        for (std::size_t k = 0; k < y.size(); ++k) a[i][m] += columns[i][k] * y[k];
    }
    for (std::size_t i = 0; i < m; ++i) {
        std::size_t pivot = i;
        for (std::size_t r = i + 1; r < m; ++r)
            if (std::fabs(a[r][i]) > std::fabs(a[pivot][i])) pivot = r;
        std::swap(a[i], a[pivot]);
        if (!(std::fabs(a[i][i]) > 1e-12 * std::fabs(a[0][0]))) return false;
        for (std::size_t r = 0; r < m; ++r) {
            if (r == i) continue;
            const double factor = a[r][i] / a[i][i];
            for (std::size_t c = i; c <= m; ++c) a[r][c] -= factor * a[i][c];
        }
    }
    x.resize(m);
    for (std::size_t i = 0; i < m; ++i) x[i] = a[i][m] / a[i][i];
    return true;
}

// Hann weight of a point within the data's band, never zero at its ends.
double BandWeight(const TransferSamples& d, std::size_t k) {
    const std::size_t n = d.frequency.size();
    const double step = (d.frequency.back() - d.frequency.front()) / static_cast<double>(n);
    const double lo = d.frequency.front() - step, hi = d.frequency.back() + step;
    const double hann = std::pow(std::sin(kPi * (d.frequency[k] - lo) / (hi - lo)), 2);
    const double left = k > 0 ? d.frequency[k] - d.frequency[k - 1] : 0;
    const double right = k + 1 < n ? d.frequency[k + 1] - d.frequency[k] : 0;
    return hann * 0.5 * (left + right + (n == 1 ? 1 : 0));
}

// The bulk delay removed: the residual's phase, unwrapped point to point.
std::vector<double> ResidualPhase(const TransferSamples& d, double delay) {
    std::vector<double> phase(d.frequency.size());
    for (std::size_t k = 0; k < phase.size(); ++k) {
        double p = std::arg(d.value[k] * std::polar(1.0, 2 * kPi * d.frequency[k] * delay));
        if (k > 0) p += 2 * kPi * std::round((phase[k - 1] - p) / (2 * kPi));
        phase[k] = p;
    }
    return phase;
}

// A straight line through the points [from, to) of (x, y): slope and intercept.
void FitLine(const std::vector<double>& x, const std::vector<double>& y, std::size_t from, std::size_t to, double& slope,
             double& intercept) {
    double mx = 0, my = 0;
    const auto n = static_cast<double>(to - from);
    for (std::size_t k = from; k < to; ++k) mx += x[k] / n, my += y[k] / n;
    double sxy = 0, sxx = 0;
    for (std::size_t k = from; k < to; ++k) sxy += (x[k] - mx) * (y[k] - my), sxx += (x[k] - mx) * (x[k] - mx);
    slope = sxx > 0 ? sxy / sxx : 0;
    intercept = my - slope * mx;
}

}  // namespace

LossFit FitLoss(const std::vector<double>& frequency, const std::vector<double>& lossDb, double from, double to) {
    std::vector<double> one, root, lin, y;
    for (std::size_t k = 0; k < frequency.size(); ++k)
        if (frequency[k] >= from && frequency[k] <= to) {
            one.push_back(1);
            root.push_back(std::sqrt(frequency[k] / 1e9));
            lin.push_back(frequency[k] / 1e9);
            y.push_back(lossDb[k]);
        }
    LossFit best;
    if (y.empty()) return best;
    for (double v : y) best.a += v / static_cast<double>(y.size());
    double bestResidual = 0;
    for (double v : y) bestResidual += (v - best.a) * (v - best.a);
    // Both terms, then each alone; a falling loss is no line's, so those fits are dropped.
    const std::vector<std::vector<std::vector<double>>> bases = {{one, root, lin}, {one, root}, {one, lin}};
    const int terms[3][2] = {{1, 2}, {1, 0}, {0, 1}};  // which of b and c each basis fits
    for (std::size_t i = 0; i < bases.size(); ++i) {
        std::vector<double> x;
        if (y.size() < bases[i].size() + 1 || !LeastSquares(bases[i], y, x)) continue;
        LossFit fit{x[0], terms[i][0] ? x[1] : 0, terms[i][1] ? x[terms[i][0] ? 2 : 1] : 0};
        if (fit.b < 0 || fit.c < 0) continue;
        double residual = 0;
        for (std::size_t k = 0; k < y.size(); ++k) residual += std::pow(y[k] - fit(lin[k] * 1e9), 2);
        if (residual < bestResidual) best = fit, bestResidual = residual;
    }
    return best;
}

double BulkDelay(const TransferSamples& d, double& period) {
    const std::size_t n = d.frequency.size();
    double step = d.frequency.back();
    for (std::size_t k = 1; k < n; ++k) step = std::min(step, d.frequency[k] - d.frequency[k - 1]);
    step = std::max(step, d.frequency.back() / double(1 << 18));
    period = 1 / step;
    // Each point in the nearest bin of a uniform grid: a grid offset from 0
    // shifts the spectrum, which leaves the envelope as it is.
    const std::size_t bins = static_cast<std::size_t>(std::ceil(d.frequency.back() / step)) + 1;
    const std::size_t size = NextPowerOfTwo(4.0 * static_cast<double>(bins));
    std::vector<std::complex<double>> grid(size);
    for (std::size_t k = 0; k < n; ++k)
        grid[static_cast<std::size_t>(std::lround(d.frequency[k] / step))] += BandWeight(d, k) * d.value[k];
    Fft(grid, 1);
    std::size_t peak = 0;
    for (std::size_t i = 1; i < size; ++i)
        if (std::abs(grid[i]) > std::abs(grid[peak])) peak = i;
    return static_cast<double>(peak) * period / static_cast<double>(size);
}

double BulkDelayNaive(const TransferSamples& d, double period, double resolution) {
    double best = -1, at = 0;
    for (double t = 0; t < period; t += resolution) {
        std::complex<double> sum;
        for (std::size_t k = 0; k < d.frequency.size(); ++k)
            sum += BandWeight(d, k) * d.value[k] * std::polar(1.0, 2 * kPi * d.frequency[k] * t);
        if (std::abs(sum) > best) best = std::abs(sum), at = t;
    }
    return at;
}

FormedResponse FormImpulseResponse(const TransferSamples& d, double dt, double bitRate, const std::string& what) {
    FormedResponse out;
    const std::vector<double>& f = d.frequency;
    const std::size_t n = f.size();
    const double first = f.front(), last = f.back(), nyquist = bitRate / 2, top = 0.5 / dt;

    double period = 0;
    const double peak = BulkDelay(d, period);
    out.delay = peak;
    const std::vector<double> phase = ResidualPhase(d, peak);
    std::vector<double> loss(n);
    for (std::size_t k = 0; k < n; ++k) loss[k] = -20 * std::log10(std::max(std::abs(d.value[k]), 1e-20));

    // Below the first point: the loss fitted to the first points (at least 8, up
    // to four times the first frequency), the phase straight to 0 or pi at DC.
    const std::size_t lowCount = std::min<std::size_t>(n, 8);
    const LossFit low = FitLoss(f, loss, first, std::max(4 * first, f[lowCount - 1]));
    const double lossFloor = std::min(loss.front(), 0.0);
    auto lowLoss = [&](double x) { return std::max(lossFloor, loss.front() - (low(first) - low(x))); };
    double slope = 0, intercept = 0;
    FitLine(f, phase, 0, std::min<std::size_t>(n, 5), slope, intercept);
    const double dcPhase = first > 0 ? kPi * std::round(intercept / kPi) : phase.front();
    out.dcLossDb = first > 0 ? lowLoss(0) : loss.front();

    // Above the last point: the loss fitted to the top half (at least 8 points)
    // and the phase's slope there.
    const std::size_t highFrom = std::min(n - std::min<std::size_t>(n, 8),
                                          static_cast<std::size_t>(std::lower_bound(f.begin(), f.end(), last / 2) - f.begin()));
    const LossFit high = FitLoss(f, loss, f[highFrom], last);
    // The phases a causal line's losses bring (Kramers-Kronig): the skin term
    // b sqrt(f) turns it by as many radians as it has nepers, the dielectric term
    // c f by (2/pi) c f ln f; the rest of the phase continues its straight slope.
    const double skinNepers = high.b / 8.685889638065035, dielectricNepers = high.c / 8.685889638065035;
    auto skinPhase = [&](double x) {
        const double g = x / 1e9;
        return -skinNepers * std::sqrt(g) + (g > 0 ? 2 / kPi * dielectricNepers * g * std::log(g) : 0.0);
    };
    std::vector<double> withoutLosses(n);
    for (std::size_t k = 0; k < n; ++k) withoutLosses[k] = phase[k] - skinPhase(f[k]);
    double topSlope = 0, topIntercept = 0;
    FitLine(f, withoutLosses, highFrom, n, topSlope, topIntercept);
    auto highLoss = [&](double x) { return loss.back() + high(x) - high(last); };
    auto highPhase = [&](double x) { return phase.back() + topSlope * (x - last) + skinPhase(x) - skinPhase(last); };

    // The window: twice the span the frequency step resolves, at least 64 UI.
    std::vector<double> steps;
    for (std::size_t k = 1; k < n; ++k) steps.push_back(f[k] - f[k - 1]);
    std::nth_element(steps.begin(), steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2), steps.end());
    const double medianStep = steps[steps.size() / 2];
    const std::size_t size = std::min(
        kMaxChannelTaps, NextPowerOfTwo(std::max(2 / medianStep, kMinWindowUi / bitRate) / dt));
    const double window = static_cast<double>(size) * dt;
    // The peak sits an eighth of the window in; the last quarter is before t = 0.
    const auto shift = static_cast<std::size_t>(std::max(0.0, std::floor((peak - window / 8) / dt)));
    const double residualDelay = peak - static_cast<double>(shift) * dt;

    std::vector<std::complex<double>> spectrum(size);
    const double df = 1 / window, taperFrom = (1 - kTaperShare) * top;
    std::size_t j = 0;
    for (std::size_t k = 0; k <= size / 2; ++k) {
        const double x = static_cast<double>(k) * df;
        double l = 0, p = 0;
        if (x < first) {
            l = lowLoss(x);
            p = dcPhase + (phase.front() - dcPhase) * x / first;
        } else if (x > last) {
            l = highLoss(x);
            p = highPhase(x);
        } else {
            while (j + 2 < n && f[j + 1] < x) ++j;
            const double w = n > 1 ? (x - f[j]) / (f[j + 1] - f[j]) : 0;
            l = loss[j] + (loss[j + 1] - loss[j]) * w;
            p = phase[j] + (phase[j + 1] - phase[j]) * w;
        }
        l = std::min(l, kFloorDb);
        std::complex<double> h = std::polar(std::pow(10.0, -l / 20), p - 2 * kPi * x * residualDelay);
        if (x > taperFrom) h *= 0.5 * (1 + std::cos(kPi * (x - taperFrom) / (top - taperFrom)));
        if (k == 0) h = h.real();
        spectrum[k] = h;
        if (k > 0 && k < size / 2) spectrum[size - k] = std::conj(h);
    }
    spectrum[size / 2] = spectrum[size / 2].real();
    Fft(spectrum, 1);
    std::vector<double> r(size);
    for (std::size_t i = 0; i < size; ++i) r[i] = spectrum[i].real() / static_cast<double>(size);

    // Energy before the main response: the last quarter of the window (before
    // t = 0 of the residual) and whatever lies before the response's rise.
    double total = 0, before = 0;
    for (double v : r) total += v * v;
    const std::size_t kept = size - size / 4;
    for (std::size_t i = kept; i < size; ++i) before += r[i] * r[i];
    r.resize(kept);
    std::size_t at = 0;
    for (std::size_t i = 1; i < kept; ++i)
        if (std::fabs(r[i]) > std::fabs(r[at])) at = i;
    std::size_t rise = at;
    while (rise > 0 && std::fabs(r[rise - 1]) >= 0.1 * std::fabs(r[at])) --rise;
    const auto margin = static_cast<std::size_t>(std::max(4.0, std::ceil(0.5 / std::min(last, top) / dt)));
    for (std::size_t i = 0; i + margin < rise; ++i) before += r[i] * r[i];
    out.preResponseShare = total > 0 ? before / total : 0;

    TrimTail(r, r.size());
    if (shift + r.size() > kMaxChannelTaps) {
        out.warnings.push_back(Text("the channel's delay of %.1f ns is longer than the simulation takes", peak * 1e9));
        return out;
    }
    out.taps.assign(shift, 0.0);
    out.taps.insert(out.taps.end(), r.begin(), r.end());

    // How the data were used, and what they leave uncertain.
    out.notes.push_back(Text("bulk delay %.4g ns from the envelope's peak, put back as a whole-sample shift", peak * 1e9));
    if (first > 0)
        out.notes.push_back(Text("below %.4g GHz: loss a+b*sqrt(f)+c*f fitted to the first points (%.2f dB at DC), phase "
                                 "straight to 0 at DC",
                                 first / 1e9, out.dcLossDb) +
                            (std::fmod(std::fabs(dcPhase), 2 * kPi) > 1 ? " plus pi (the channel inverts)" : ""));
    if (last < top)
        out.notes.push_back(Text("above %.4g GHz: loss a+b*sqrt(f)+c*f fitted to the top half of the data, up to %.4g GHz",
                                 last / 1e9, top / 1e9));
    out.notes.push_back(Text("Hann taper from %.4g to %.4g GHz; window %.4g ns", taperFrom / 1e9, top / 1e9, window * 1e9));
    if (first > kLateFirstPoint)
        out.warnings.push_back(Text("the data start at %.4g GHz: below it the channel is extrapolated (%.2f dB at DC)",
                                    first / 1e9, out.dcLossDb));
    if (last < kBandCover * nyquist)
        out.warnings.push_back(Text("the data end at %.4g GHz, below 1.5 times the Nyquist frequency (%.4g GHz): the loss "
                                    "above is extrapolated (fitted a+b*sqrt(f)+c*f)",
                                    last / 1e9, kBandCover * nyquist / 1e9));
    if (period < 2 * kMinWindowUi / bitRate && period < 20e-9)
        out.notes.push_back(Text("the %.4g MHz step resolves %.4g ns of response: delays are known modulo that span",
                                 medianStep / 1e6, 1e9 / medianStep));
    if (out.preResponseShare > kPreResponseLimit)
        out.warnings.push_back(what + Text(" is not causal: %.1f %% of the response's energy comes before its main part "
                                           "(dropped where it falls before t = 0)",
                                           100 * out.preResponseShare));

    // The loss as used: the data, and the extensions below and above them.
    for (int i = 0; i < 16 && first > 0; ++i) {
        const double x = first * i / 16;
        out.loss.push_back({x, lowLoss(x), false});
    }
    for (std::size_t k = 0; k < n; ++k) out.loss.push_back({f[k], loss[k], true});
    for (int i = 1; i <= 256 && last < top; ++i) {
        const double x = last + (top - last) * i / 256;
        out.loss.push_back({x, std::min(highLoss(x), kFloorDb), false});
    }
    return out;
}

}  // namespace sim
