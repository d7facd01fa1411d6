// The run's report: a self-contained report.html with inline SVG plots and
// metrics.json, and the short summary for the terminal.
#pragma once

#include <string>
#include <vector>

#include "tools/velkor-sim/Analysis.h"
#include "tools/velkor-sim/ImpulseResponse.h"

namespace sim {

struct RunDescription {
    std::string library, parameters, pattern, channel, modelMessage, modelState;
    std::string stopped;  // why the run ended early, if it did
    std::size_t bits = 0;
    double bitRate = 0, amplitude = 0, noise = 0, nyquistLossDb = 0;
    int samplesPerBit = 0;
    double seconds = 0;  // time spent in the model
    double samplesPerSecond = 0;
    double initialGainCode = 0, finalGainCode = 0;
    std::vector<AdaptationPoint> adaptation;
    std::vector<double> pulseBefore, pulseAfter;  // one value per sample
    Impairments impairments;  // of the transmitter
    std::string transmitter;  // its FFE and rise time, in words
    std::vector<std::string> channelNotes, channelWarnings;
    std::vector<LossPoint> channelLoss;  // insertion loss as used
    std::size_t settleBits = 0;  // bits before the SJ starts and errors are counted
    unsigned seed = 0;
    // The clock recovery's frequency correction (ppm) as the model reports it, by sample.
    std::vector<std::pair<long long, double>> frequencyCorrection;
};

std::string Summary(const RunDescription& run, const LinkMetrics& m);
std::string MetricsJson(const RunDescription& run, const LinkMetrics& m);
std::string ReportHtml(const RunDescription& run, const LinkMetrics& m);
// The eye density plot alone (also inside the report).
std::string EyeSvg(const LinkMetrics& m);
// A sweep's report: its table, and each figure against each swept value. The
// header holds "point", the grid's names (gridColumns of them), then the figures.
// One frequency of a jitter-tolerance curve.
struct JtolPoint {
    double frequency = 0, amplitude = 0;  // Hz, UI peak: the largest that passed
    double mask = -1;                     // UI, -1 without a mask
    bool capped = false;                  // passed at the largest amplitude tried
    bool measured = true;                 // false: the runs could not tell (note says why)
    std::string failedBy;                 // why the smallest failing run failed: "ber" or "lock"
    std::string note;
    bool stopped = false;  // the search was stopped; amplitude: the largest that passed so far
};
// The point against its mask: "pass", "fail", or "unknown" when the runs cannot
// tell (not measured, or a lower bound below the mask).
std::string MaskVerdict(const JtolPoint& point);
// `conditions`: the run conditions in words, shown at the top of the page.
std::string JtolReportHtml(const std::vector<JtolPoint>& points, const std::vector<std::pair<double, double>>& mask,
                           double targetBer, double resolution, const std::string& conditions);
std::string SweepReportHtml(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows,
                            std::size_t gridColumns, const std::string& conditions);

}  // namespace sim
