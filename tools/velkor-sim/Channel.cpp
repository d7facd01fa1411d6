#include "tools/velkor-sim/Channel.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "tools/velkor-sim/Fft.h"
#include "tools/velkor-sim/InputFile.h"

namespace sim {

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kDielectricOrder = 0.95;
constexpr double kSkinShare = 0.4;        // of the Nyquist loss; the rest is dielectric
constexpr double kFlightTime = 200e-12;   // so the response starts visibly after t = 0
constexpr double kReferenceFrequency = 1e9;
// The transform spans this many unit intervals (and at least 60 ns): the loss is
// scaled to the Nyquist frequency, so the response lasts as many unit intervals
// at any bit rate, and a window fixed in time would cut it at low rates.
constexpr double kWindowUi = 600;
constexpr double kMinWindow = 60e-9;

}  // namespace

void TrimTail(std::vector<double>& taps, std::size_t atMost) {
    // Keep the response up to where it has decayed (its tail carries < 1e-4 of the area).
    double total = 0;
    for (double t : taps) total += t;
    const std::size_t n = taps.size();
    std::size_t keep = n;
    double tail = 0;
    for (std::size_t i = n; i-- > 0;) {
        tail += taps[i];
        if (std::fabs(tail) > 1e-4 * std::fabs(total)) {
            keep = i + 1;
            break;
        }
    }
    taps.resize(std::min(keep, atMost));
}

Channel BuiltInChannel(double nyquistLossDb, double bitRate, double dt) {
    const double nyquist = bitRate / 2;
    const double nepers = nyquistLossDb / 8.685889638065035;
    // Magnitudes: skin a sqrt(f/f0) cos(pi/4), dielectric b (f/f0)^p cos(p pi/2).
    const double a = kSkinShare * nepers / (std::sqrt(nyquist / kReferenceFrequency) * std::cos(kPi / 4));
    const double b = (1 - kSkinShare) * nepers /
                     (std::pow(nyquist / kReferenceFrequency, kDielectricOrder) * std::cos(kDielectricOrder * kPi / 2));
    std::size_t n = 1;
    const double window = std::max(kMinWindow, kWindowUi / bitRate);
    while (static_cast<double>(n) * dt < window) n <<= 1;
    std::vector<std::complex<double>> spectrum(n);
    const double df = 1.0 / (static_cast<double>(n) * dt);
    for (std::size_t k = 0; k <= n / 2; ++k) {
        const double f = static_cast<double>(k) * df;
        const std::complex<double> jf(0.0, f / kReferenceFrequency);
        const std::complex<double> h =
            std::exp(-a * std::sqrt(jf) - b * std::pow(jf, kDielectricOrder) -
                     std::complex<double>(0.0, 2 * kPi * f * kFlightTime));
        spectrum[k] = h;
        if (k > 0 && k < n / 2) spectrum[n - k] = std::conj(h);
    }
    Fft(spectrum, 1);
    std::vector<double> taps(n);
    for (std::size_t i = 0; i < n; ++i) taps[i] = spectrum[i].real() / static_cast<double>(n);
    TrimTail(taps, n / 2);  // the rest would be wrap-around of the inverse transform
    char text[160];
    std::snprintf(text, sizeof text, "built-in backplane trace, %.1f dB loss at %.3g GHz", nyquistLossDb,
                  nyquist / 1e9);
    Channel channel;
    channel.taps = std::move(taps);
    channel.description = text;
    return channel;
}

bool ChannelFromFile(const std::string& path, bool stepResponse, double dt, Channel& channel, std::string& error) {
    std::ifstream in;
    if (!OpenInputFile(path, kMaxChannelFileBytes, "the channel file", in, error)) return false;
    std::vector<double> t, v;
    std::string line;
    int lineNumber = 0;
    while (std::getline(in, line)) {
        ++lineNumber;
        const auto hash = line.find_first_of("#!;");
        if (hash != std::string::npos) line.erase(hash);
        std::istringstream fields(line);
        double time = 0, value = 0;
        if (!(fields >> time)) {
            std::string rest;
            if (std::istringstream(line) >> rest) {
                error = Printable(path) + ":" + std::to_string(lineNumber) + ": expected a time and a value, found '" +
                        Printable(rest) + "'";
                return false;
            }
            continue;  // blank or comment line
        }
        std::string extra;
        if (!(fields >> value) || !std::isfinite(time) || !std::isfinite(value) || (fields >> extra)) {
            error = Printable(path) + ":" + std::to_string(lineNumber) + ": expected a time and a value" +
                    (extra.empty() ? "" : ", found more: '" + Printable(extra) + "'");
            return false;
        }
        // An impulse response of a 1 fs wide spike is 1e15 /s: beyond 1e20 or a
        // second of time the file holds something else.
        if (std::fabs(time) > 1 || std::fabs(value) > 1e20) {
            error = Printable(path) + ":" + std::to_string(lineNumber) +
                    ": a time beyond 1 s or a value beyond 1e20 is no channel response";
            return false;
        }
        if (!t.empty() && !(time > t.back())) {
            error = Printable(path) + ":" + std::to_string(lineNumber) + ": times must ascend strictly";
            return false;
        }
        t.push_back(time);
        v.push_back(value);
    }
    if (t.size() < 2) {
        error = "the channel file '" + Printable(path) + "' holds fewer than two time-value pairs";
        return false;
    }
    // Linear interpolation onto the simulation grid, from the first time on.
    const double span = (t.back() - t.front()) / dt + 1;
    if (!(span <= static_cast<double>(kMaxChannelTaps))) {
        error = "the channel file '" + Printable(path) + "' spans too long a time for the sample interval (more than " +
                std::to_string(kMaxChannelTaps) + " samples)";
        return false;
    }
    const auto n = static_cast<std::size_t>(span);
    std::vector<double> grid(n);
    std::size_t j = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const double time = t.front() + static_cast<double>(i) * dt;
        while (j + 2 < t.size() && t[j + 1] < time) ++j;
        const double w = (time - t[j]) / (t[j + 1] - t[j]);
        grid[i] = v[j] + (v[j + 1] - v[j]) * std::fmin(std::fmax(w, 0.0), 1.0);
    }
    channel.taps.assign(n, 0.0);
    for (std::size_t i = 0; i < n; ++i)
        channel.taps[i] = stepResponse ? grid[i] - (i > 0 ? grid[i - 1] : 0.0) : grid[i] * dt;
    channel.description = std::string(stepResponse ? "step" : "impulse") + " response from " + Printable(path);
    return true;
}

namespace {

// Taps between fresh phasors in FastLossDb: the rotated phasor's round-off
// grows by about an ulp a tap, so it stays within a few dozen ulps.
constexpr std::size_t kPhasorRun = 64;

}  // namespace

std::vector<LossPoint> LossCurve(const Channel& channel, double top, int count, double dt) {
    std::vector<LossPoint> curve;
    for (int i = 0; i <= count; ++i) {
        const double f = top * i / count;
        curve.push_back({f, FastLossDb(channel, f, dt), true});
    }
    return curve;
}

double LossDb(const Channel& channel, double frequency, double dt) {
    std::complex<double> sum;
    for (std::size_t i = 0; i < channel.taps.size(); ++i)
        sum += channel.taps[i] * std::exp(std::complex<double>(0, -2 * kPi * frequency * static_cast<double>(i) * dt));
    return -20 * std::log10(std::abs(sum));
}

double FastLossDb(const Channel& channel, double frequency, double dt) {
    const std::complex<double> step = std::exp(std::complex<double>(0, -2 * kPi * frequency * dt));
    std::complex<double> sum;
    for (std::size_t start = 0; start < channel.taps.size(); start += kPhasorRun) {
        std::complex<double> phasor =
            std::exp(std::complex<double>(0, -2 * kPi * frequency * static_cast<double>(start) * dt));
        const std::size_t end = std::min(channel.taps.size(), start + kPhasorRun);
        for (std::size_t i = start; i < end; ++i) {
            sum += channel.taps[i] * phasor;
            phasor = std::complex<double>(phasor.real() * step.real() - phasor.imag() * step.imag(),
                                          phasor.real() * step.imag() + phasor.imag() * step.real());
        }
    }
    return -20 * std::log10(std::abs(sum));
}

}  // namespace sim
