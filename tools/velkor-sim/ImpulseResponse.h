// A channel's transfer function, sampled at the frequencies a file gives, turned
// into its impulse response at the simulation step: the same on fine and coarse
// grids, on data that start above DC or end below the band, and on long channels.
//
// 1. The bulk delay is the peak of the response's envelope, found from the data
//    themselves (a Hann-weighted inverse transform of the points as given).
// 2. With that delay removed the phase varies slowly, so it unwraps right even
//    on coarse grids; magnitude (in dB) and phase are interpolated linearly.
// 3. Below the first point the loss follows a + b sqrt(f) + c f fitted to the
//    first points, down to its DC value, and the phase runs straight to 0 (or
//    pi) at DC; above the last point the loss follows the same form fitted to
//    the top half of the data and the phase its slope there.
// 4. A Hann taper over the top fifth of the simulated band (up to half the
//    sample rate), an inverse transform over a window of twice the span the
//    frequency step resolves (at least 64 UI), and the bulk delay put back as
//    a whole-sample shift.
#pragma once

#include <complex>
#include <string>
#include <vector>

namespace sim {

struct TransferSamples {
    std::vector<double> frequency;  // Hz, ascending, none negative
    std::vector<std::complex<double>> value;
};

// A loss curve a + b sqrt(f/GHz) + c f/GHz in dB, b and c never negative.
struct LossFit {
    double a = 0, b = 0, c = 0;
    double operator()(double f) const { return a + b * std::sqrt(f / 1e9) + c * f / 1e9; }
};

// Least-squares fit over the points with from <= f <= to (loss in dB).
LossFit FitLoss(const std::vector<double>& frequency, const std::vector<double>& lossDb, double from, double to);

// The time of the envelope's peak: the bulk delay. The FFT of the points put
// on a uniform grid (the smallest step); the naive version sums every point at
// every trial delay, for tests. `period` is the span of time the step resolves.
double BulkDelay(const TransferSamples& data, double& period);
double BulkDelayNaive(const TransferSamples& data, double period, double resolution);

struct LossPoint {
    double frequency = 0, lossDb = 0;
    bool measured = false;  // from the data, or an extension beyond them
};

struct FormedResponse {
    std::vector<double> taps;
    double delay = 0;                  // the bulk delay found, seconds
    double dcLossDb = 0;               // at DC, as used
    double preResponseShare = 0;       // of the energy, before the main response
    std::vector<std::string> notes;    // how the data were extended and used
    std::vector<std::string> warnings; // what the data leave uncertain
    std::vector<LossPoint> loss;       // the insertion loss as used, for the figure
};

// Forms the response at step dt for a link at bitRate. `what` names the
// transfer in messages ("S21", "SDD21").
FormedResponse FormImpulseResponse(const TransferSamples& data, double dt, double bitRate, const std::string& what);

}  // namespace sim
