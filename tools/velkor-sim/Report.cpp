#include "tools/velkor-sim/Report.h"

#include "tools/velkor-sim/Plot.h"
#include "tools/velkor-sim/PulseCursors.h"
#include "tools/velkor-sim/Stimulus.h"
#include "tools/velkor-sim/Utf8.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <sstream>

namespace sim {

namespace {

std::string JsonString(const std::string& text) {
    const std::string s = ValidUtf8(text);  // a path may hold any bytes; the file is UTF-8
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += std::string("\\") + c;
        else if (static_cast<unsigned char>(c) < 0x20) out += Format("\\u%04x", static_cast<unsigned char>(c));
        else out += c;
    }
    return out + "\"";
}

std::string Number(double v) { return std::isfinite(v) ? Format("%.9g", v) : "null"; }

std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + JsonString(items[i]);
    return out + "]";
}

// Colours of the eye density, from one sample (a clear blue, well apart from the
// dark background) through cyan and yellow to red at the peak.
std::string DensityColour(double f) {
    static const double stops[][3] = {{50, 110, 230}, {0, 200, 210}, {240, 225, 40}, {225, 40, 30}};
    f = std::clamp(f, 0.0, 1.0) * 3;
    const int k = std::min(2, static_cast<int>(f));
    const double t = f - k;
    auto channel = [&](int c) { return std::to_string(static_cast<int>(stops[k][c] + t * (stops[k + 1][c] - stops[k][c]))); };
    return "rgb(" + channel(0) + "," + channel(1) + "," + channel(2) + ")";
}

// An eye density with its colour scale beside it (counts on a logarithmic scale).
std::string DensitySvg(const EyeDensity& e, const std::string& title, bool locked, const std::string& xLabel) {
    const double low = e.high > e.low ? e.low : -1, high = e.high > e.low ? e.high : 1;
    Plot plot(title, xLabel, "volts", -1, 1, low, high);
    plot.RightMargin(75);
    std::uint32_t peak = 1;
    for (auto c : e.counts) peak = std::max(peak, c);
    std::string cells = "<rect x=\"" + Format("%.1f", plot.X(-1)) + "\" y=\"" + Format("%.1f", plot.Y(high)) +
                        "\" width=\"" + Format("%.1f", plot.X(1) - plot.X(-1)) + "\" height=\"" +
                        Format("%.1f", plot.Y(low) - plot.Y(high)) + "\" fill=\"#101030\"/>\n";
    const bool filled = e.counts.size() == static_cast<std::size_t>(e.phases) * static_cast<std::size_t>(e.levels);
    const double w = (plot.X(1) - plot.X(-1)) / e.phases, h = (plot.Y(low) - plot.Y(high)) / e.levels;
    for (int p = 0; filled && p < e.phases; ++p)
        for (int l = 0; l < e.levels; ++l) {
            const auto c = e.counts[static_cast<std::size_t>(p) * static_cast<std::size_t>(e.levels) + static_cast<std::size_t>(l)];
            if (!c) continue;
            cells += "<rect x=\"" + Format("%.1f", plot.X(-1) + p * w) + "\" y=\"" + Format("%.1f", plot.Y(low) - (l + 1) * h) +
                     "\" width=\"" + Format("%.2f", w + 0.3) + "\" height=\"" + Format("%.2f", h + 0.3) + "\" fill=\"" +
                     DensityColour(std::log(static_cast<double>(c)) / std::log(std::max(2.0, static_cast<double>(peak)))) + "\"/>\n";
        }
    if (!filled)
        plot.Note(locked ? "no samples were sorted into this eye" : "not locked: no eye (bits are sorted only after lock)");
    // Colour scale beside the plot: samples per cell, from 1 to the peak.
    const int x = plot.Right() + 12, top = Plot::kTop + 24, height = 200;
    for (int k = 0; k < 40; ++k)
        cells += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(top + height - (k + 1) * height / 40) +
                 "\" width=\"12\" height=\"" + std::to_string(height / 40 + 1) + "\" fill=\"" + DensityColour((k + 0.5) / 40) + "\"/>\n";
    cells += "<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(top - 8) + "\" font-size=\"10\">" +
             std::to_string(peak) + "</text>\n<text x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(top + height + 14) +
             "\" font-size=\"10\">1</text>\n<text transform=\"translate(" + std::to_string(x + 30) + "," +
             std::to_string(top + height / 2) + ") rotate(-90)\" text-anchor=\"middle\" font-size=\"10\">samples per cell (log)</text>\n";
    plot.Raw(cells);
    return plot.Svg();
}

// The channel's pulse at its peak (the main cursor) and one UI before and after.
PulseCursors CursorsOf(const RunDescription& r) { return FindCursors(r.pulseBefore, r.samplesPerBit); }

// The transmitter's impairments in words; empty for an ideal transmitter.
std::string DescribeImpairments(const Impairments& imp) {
    std::string text;
    auto add = [&](const std::string& part) { text += (text.empty() ? "" : ", ") + part; };
    if (imp.ppm != 0) add(Format("%+g ppm", imp.ppm));
    if (imp.sscPpm != 0) add(Format("SSC %g ppm down-spread", imp.sscPpm) + Format(" at %g kHz", imp.sscFrequency / 1e3));
    for (const auto& sj : imp.sj) add(Format("SJ %g UI", sj.amplitudeUi) + Format(" at %g Hz", sj.frequency));
    if (imp.rjUi != 0) add(Format("RJ %g UI rms", imp.rjUi));
    if (imp.djUi != 0) add(Format("DJ %g UI p-p (uniform)", imp.djUi));
    return text;
}

// The mean of the frequency corrections the model reported after lock; NaN
// without lock or without reports.
double CorrectionAfterLock(const RunDescription& r, const LinkMetrics& m) {
    const double lockSample = static_cast<double>(m.bitsSkipped) * r.samplesPerBit;
    double sum = 0;
    std::size_t count = 0;
    for (const auto& [sample, ppm] : r.frequencyCorrection)
        if (static_cast<double>(sample) > lockSample) sum += ppm, ++count;
    return m.locked && count ? sum / static_cast<double>(count) : std::nan("");
}

// The main cursor and the first pre- and post-cursors, marked on the pulse figure
// whose window starts at sample `start` and whose time axis is 0 at the main cursor.
void MarkCursors(Plot& pulse, const RunDescription& r, std::size_t start) {
    if (r.pulseBefore.empty()) return;
    const PulseCursors c = CursorsOf(r);
    const double ui = r.samplesPerBit;
    if (c.at - ui >= static_cast<double>(start)) pulse.Marker(-1, Format("pre %.3f V", c.pre), 2);
    pulse.Marker(0, Format("main %.3f V", c.main), 1);
    if (c.at + ui < static_cast<double>(r.pulseBefore.size())) pulse.Marker(1, Format("post %.3f V", c.post), 0);
}

// Insertion loss as used: the data drawn solid, the extensions beyond them dashed.
std::string InsertionLossSvg(const RunDescription& r) {
    const double nyquist = r.bitRate / 2;
    double fTop = 2 * nyquist, lossTop = 1;
    for (const auto& p : r.channelLoss)
        if (p.measured) fTop = std::max(fTop, std::min(p.frequency, 4 * nyquist));
    std::vector<std::vector<std::pair<double, double>>> runs;
    std::vector<bool> measured;
    for (const auto& p : r.channelLoss) {
        if (p.frequency > fTop) continue;
        if (runs.empty() || measured.back() != p.measured) {
            std::vector<std::pair<double, double>> run;
            if (!runs.empty()) run.push_back(runs.back().back());  // joined to the run before
            runs.push_back(run);
            measured.push_back(p.measured);
        }
        runs.back().emplace_back(p.frequency / 1e9, p.lossDb);
        lossTop = std::max(lossTop, std::min(p.lossDb, 200.0));
    }
    Plot plot("Channel insertion loss", "frequency (GHz)", "loss (dB)", 0, fTop / 1e9, 0, lossTop * 1.05);
    bool dataLabel = true, extensionLabel = true;
    for (std::size_t i = 0; i < runs.size(); ++i) {
        bool& first = measured[i] ? dataLabel : extensionLabel;
        plot.Line(runs[i], measured[i] ? "#1f77b4" : "#d62728",
                  first ? (measured[i] ? "data" : "extension beyond the data") : "", measured[i] ? nullptr : "5 4");
        first = false;
    }
    plot.Marker(nyquist / 1e9, Format("Nyquist: %.2f dB", r.nyquistLossDb));
    return plot.Svg();
}

// How the channel's response was formed and what its data leave uncertain.
std::string ChannelNotesHtml(const RunDescription& r) {
    if (r.channelNotes.empty() && r.channelWarnings.empty()) return "";
    std::string html = "<h2>Channel</h2>\n<ul>\n";
    for (const auto& w : r.channelWarnings) html += "<li><b>Warning:</b> " + EscapeHtml(w) + "</li>\n";
    for (const auto& n : r.channelNotes) html += "<li>" + EscapeHtml(n) + "</li>\n";
    return html + "</ul>\n";
}

}  // namespace

std::string EyeSvg(const LinkMetrics& m) {
    return DensitySvg(m.eyeAfter, "Eye after the receiver (density)", m.locked,
                      "time from the recovered clock's data sample (UI)");
}

std::string Summary(const RunDescription& r, const LinkMetrics& m) {
    std::ostringstream s;
    s << "Simulated " << r.bits << " bits of " << r.pattern << " at " << r.bitRate / 1e9 << " Gb/s, "
      << r.samplesPerBit << " samples per bit, " << Format("%.3g", r.amplitude) << " V";
    if (r.noise > 0)
        s << " with " << Format("%.3g", r.noise * 1e3) << " mV rms noise in a " << Format("%g", r.bitRate / 1e9)
          << " GHz band (" << Format("%.3g", NoisePerSample(r.noise, r.samplesPerBit) * 1e3) << " mV per sample)";
    s << "\nChannel:    " << r.channel << "\n";
    s << "Loss:       " << Format("%.2f dB", r.nyquistLossDb) << " at " << Format("%g GHz", r.bitRate / 2e9)
      << ", the Nyquist frequency\n";
    if (!r.pulseBefore.empty()) {
        const PulseCursors c = CursorsOf(r);
        s << "Pulse:      main cursor " << Format("%.4f V", c.main) << ", pre " << Format("%.4f V", c.pre) << ", post "
          << Format("%.4f V", c.post) << " (one bit through the channel)\n";
    }
    for (const auto& w : r.channelWarnings) s << "Warning:    " << w << "\n";
    if (r.impairments.Any() || !r.transmitter.empty())
        s << "Transmitter: " << r.transmitter << (r.transmitter.empty() || !r.impairments.Any() ? "" : "; ")
          << DescribeImpairments(r.impairments) << "\n";
    s << "Model:      " << r.library << "\nParameters: " << r.parameters << "\n";
    if (!r.modelMessage.empty()) s << "Model says: " << r.modelMessage << "\n";
    s << "Time:       " << Format("%.2f", r.seconds) << " s in the model, "
      << Format("%.2f", r.samplesPerSecond / 1e6) << " million samples per second\n";
    if (!r.stopped.empty()) s << "Stopped:    " << r.stopped << "\n";
    if (m.edges == 0 && m.runTime > 0) s << "Clock:      the model returned no clock times\n";
    if (!m.locked) {
        s << "Lock:       not locked after " << std::llround(m.runTime * r.bitRate)
          << " bits; loop settings 2 and 3 lock faster, or give more bits\n";
    } else {
        s << "Lock:       after " << m.bitsSkipped << " bits (" << Format("%.3g", m.lockTime * 1e6) << " us)";
        if (m.rejectedLocks)
            s << "; " << m.rejectedLocks << " earlier stable stretch" << (m.rejectedLocks > 1 ? "es" : "")
              << " rejected: no one delay explained its decisions";
        s << "\n";
        s << "Bit errors: " << m.bitErrors << " in " << m.bitsCompared << " bits after lock"
          << (r.settleBits ? " and the " + std::to_string(r.settleBits) + " settling bits" : std::string()) << "; "
          << DescribeBer(m.ber) << "\n";
        if (r.settleBits && m.bitsSkipped + LockDetector::kEdges > r.settleBits)
            s << "Settling:   the lock was found only after the settling bits (it needs "
              << LockDetector::kEdges << " steady edges): errors before it are not counted\n";
        if (m.slips) s << "Slips:      " << m.slips << " clock edges lost or gained after lock\n";
        s << "Eye:        " << (m.eyeOpen ? "" : "closed: ") << "height " << Format("%.1f", m.eyeHeight * 1e3)
          << " mV, width " << Format("%.2f", m.eyeWidth) << " UI at the recovered clock\n";
        s << "Clock:      period " << Format("%.3f", m.periodMean * 1e12) << " ps, spread "
          << Format("%.2f", m.periodSpread * 1e12) << " ps rms after lock\n";
        s << "Tracking:   error " << Format("%.4f", m.trackingRms) << " UI rms, " << Format("%.4f", m.trackingPeak)
          << " UI peak against the transmitter's clock\n";
    }
    if (const double ppm = CorrectionAfterLock(r, m); std::isfinite(ppm))
        s << "Frequency:  correction " << Format("%+.1f", ppm) << " ppm on average after lock, as the model reports it"
          << (r.impairments.ppm != 0 ? Format(" (transmitter %+g ppm)", r.impairments.ppm) : "") << "\n";
    s << "Gain code:  " << Format("%g", r.initialGainCode) << " -> " << Format("%g", r.finalGainCode) << "\n";
    if (!r.modelState.empty()) s << "Model state: " << r.modelState << "\n";
    return s.str();
}

std::string MetricsJson(const RunDescription& r, const LinkMetrics& m) {
    // What only a locked run measures is null otherwise: never a 0 that reads as a figure.
    auto measured = [&](double v) { return m.locked ? Number(v) : std::string("null"); };
    std::ostringstream s;
    s << "{\n  \"bits\": " << r.bits << ",\n  \"pattern\": " << JsonString(r.pattern)
      << ",\n  \"bit_rate\": " << Number(r.bitRate) << ",\n  \"samples_per_bit\": " << r.samplesPerBit
      << ",\n  \"seed\": " << r.seed << ",\n  \"settle_bits\": " << r.settleBits
      << ",\n  \"amplitude\": " << Number(r.amplitude) << ",\n  \"noise_rms\": " << Number(r.noise)
      << ",\n  \"noise_bandwidth_hz\": " << Number(r.bitRate)
      << ",\n  \"noise_rms_per_sample\": " << Number(NoisePerSample(r.noise, r.samplesPerBit))
      << ",\n  \"channel\": " << JsonString(r.channel) << ",\n  \"channel_loss_nyquist_db\": " << Number(r.nyquistLossDb)
      << ",\n  \"channel_warnings\": " << JsonList(r.channelWarnings) << ",\n  \"channel_notes\": " << JsonList(r.channelNotes)
      << ",\n  \"pulse_main_cursor\": " << Number(CursorsOf(r).main) << ",\n  \"pulse_pre_cursor\": " << Number(CursorsOf(r).pre)
      << ",\n  \"pulse_post_cursor\": " << Number(CursorsOf(r).post) << ",\n  \"transmitter\": " << JsonString(r.transmitter) << ",\n  \"library\": " << JsonString(r.library)
      << ",\n  \"parameters\": " << JsonString(r.parameters) << ",\n  \"model_message\": " << JsonString(r.modelMessage)
      << ",\n  \"model_state\": " << JsonString(r.modelState)
      << ",\n  \"seconds_in_model\": " << Number(r.seconds) << ",\n  \"samples_per_second\": " << Number(r.samplesPerSecond)
      << ",\n  \"stopped\": " << JsonString(r.stopped) << ",\n  \"clock_edges\": " << m.edges
      << ",\n  \"locked\": " << (m.locked ? "true" : "false")
      << ",\n  \"locked_before_settle\": " << (m.locked && m.bitsSkipped + LockDetector::kEdges <= r.settleBits ? "true" : "false")
      << ",\n  \"lock_bits\": " << (m.locked ? std::to_string(m.bitsSkipped) : "null")
      << ",\n  \"lock_time\": " << measured(m.lockTime) << ",\n  \"latency_bits\": " << (m.locked ? std::to_string(m.latencyBits) : "null")
      << ",\n  \"alignment_agreement\": " << measured(m.alignmentAgreement)
      << ",\n  \"rejected_lock_stretches\": " << m.rejectedLocks
      << ",\n  \"bits_compared\": " << m.bitsCompared
      << ",\n  \"bit_errors\": " << (m.locked ? std::to_string(m.bitErrors) : "null")
      << ",\n  \"slips\": " << (m.locked ? std::to_string(m.slips) : "null") << ",\n  \"ber\": " << measured(m.ber.ber)
      << ",\n  \"ber_confidence\": 0.95,\n  \"ber_low\": " << measured(m.ber.low) << ",\n  \"ber_high\": " << measured(m.ber.high)
      << ",\n  \"ber_text\": " << JsonString(DescribeBer(m.ber))
      << ",\n  \"eye_open\": " << (m.eyeOpen ? "true" : "false")
      << ",\n  \"eye_height\": " << measured(m.eyeHeight) << ",\n  \"eye_width_ui\": " << measured(m.eyeWidth)
      << ",\n  \"clock_period_mean\": " << measured(m.periodMean) << ",\n  \"clock_period_spread\": " << measured(m.periodSpread)
      << ",\n  \"tx_ppm\": " << Number(r.impairments.ppm) << ",\n  \"tx_ssc_ppm\": " << Number(r.impairments.sscPpm)
      << ",\n  \"tx_ssc_frequency\": " << Number(r.impairments.sscFrequency) << ",\n  \"tx_rj_ui_rms\": " << Number(r.impairments.rjUi)
      << ",\n  \"tx_dj_ui_pp\": " << Number(r.impairments.djUi) << ",\n  \"tx_dj_distribution\": \"uniform\""
      << ",\n  \"tx_sj\": [";
    for (std::size_t i = 0; i < r.impairments.sj.size(); ++i)
        s << (i ? ", " : "") << "{\"ui\": " << Number(r.impairments.sj[i].amplitudeUi) << ", \"hz\": " << Number(r.impairments.sj[i].frequency) << "}";
    s << "],\n  \"tracking_error_rms_ui\": " << measured(m.trackingRms) << ",\n  \"tracking_error_peak_ui\": " << measured(m.trackingPeak)
      << ",\n  \"initial_gain_code\": " << Number(r.initialGainCode) << ",\n  \"final_gain_code\": " << Number(r.finalGainCode)
      << ",\n  \"bathtub\": [";
    for (std::size_t i = 0; i < m.bathtub.size(); ++i)
        s << (i ? ", " : "") << "{\"phase_ui\": " << Number(m.bathtub[i].phaseUi) << ", \"errors\": " << m.bathtub[i].errors
          << ", \"compared\": " << m.bathtub[i].compared << ", \"gaussian_ber\": " << Number(m.bathtub[i].gaussian) << "}";
    s << "],\n  \"adaptation\": [";
    for (std::size_t i = 0; i < r.adaptation.size(); ++i)
        s << (i ? ", " : "") << "{\"sample\": " << r.adaptation[i].sample << ", \"gain_code\": " << Number(r.adaptation[i].gainCode)
          << ", \"frequency_offset_ppm\": " << Number(r.adaptation[i].frequencyOffsetPpm) << "}";
    s << "],\n  \"frequency_correction_mean_ppm\": " << Number(CorrectionAfterLock(r, m))
      << ",\n  \"frequency_correction_ppm\": [";
    for (std::size_t i = 0; i < r.frequencyCorrection.size(); ++i)
        s << (i ? ", " : "") << "{\"sample\": " << r.frequencyCorrection[i].first
          << ", \"ppm\": " << Number(r.frequencyCorrection[i].second) << "}";
    s << "]\n}\n";
    return s.str();
}

std::string ReportHtml(const RunDescription& r, const LinkMetrics& m) {
    const double ui = 1.0 / r.bitRate;
    const double dt = ui / r.samplesPerBit;
    // One time axis for every plot over time: the whole run, in microseconds.
    const double runUs = m.runTime > 0 ? m.runTime * 1e6 : 1e-3;
    auto markLock = [&](Plot& plot) {
        if (m.locked) plot.Marker(m.lockTime * 1e6, "lock");
        if (r.settleBits > 0) plot.Marker(static_cast<double>(r.settleBits) * ui * 1e6, "counted from here");
    };
    const std::string notLocked = "not locked: nothing measured after lock";

    // Adaptation trajectory: the gain code is discrete, so it is drawn as steps.
    std::vector<std::pair<double, double>> gain, ppm;
    for (const auto& p : r.adaptation) gain.emplace_back(static_cast<double>(p.sample) * dt * 1e6, p.gainCode);
    Plot adaptation("Equaliser adaptation", "time (us)", "gain code", 0, runUs, 0, 16);
    adaptation.Steps(gain, runUs, "#1f77b4", "AEQ gain code");
    if (gain.empty()) adaptation.Note("no adaptation log was written");
    markLock(adaptation);
    // The frequency correction the loop applies, as the model reports it, against
    // the transmitter's offset it has to follow.
    double ppmLo = std::min(0.0, r.impairments.ppm), ppmHi = std::max(0.0, r.impairments.ppm);
    for (const auto& [sample, value] : r.frequencyCorrection) {
        ppm.emplace_back(static_cast<double>(sample) * dt * 1e6, value);
        ppmLo = std::min(ppmLo, value);
        ppmHi = std::max(ppmHi, value);
    }
    const double ppmPad = std::max(5.0, 0.08 * (ppmHi - ppmLo));
    Plot frequency("CDR frequency correction", "time (us)", "correction (ppm, + = faster)", 0, runUs, ppmLo - ppmPad,
                   ppmHi + ppmPad);
    frequency.Line({{0, r.impairments.ppm}, {runUs, r.impairments.ppm}}, "#7f7f7f",
                   Format("transmitter offset %+g ppm", r.impairments.ppm), "6 4");
    frequency.Steps(ppm, runUs, "#d62728", "correction the model reports");
    if (ppm.empty()) frequency.Note("the model reported no frequency correction");
    markLock(frequency);

    // Clock period over time.
    std::vector<std::pair<double, double>> period;
    double pLo = ui * 1e12, pHi = ui * 1e12;
    for (const auto& [t, p] : m.periodTrace) {
        period.emplace_back(t * 1e6, p * 1e12);
        pLo = std::min(pLo, p * 1e12);
        pHi = std::max(pHi, p * 1e12);
    }
    const double pad = std::max(0.1, 0.1 * (pHi - pLo));
    Plot clock("Recovered clock period (windowed mean)", "time (us)", "period (ps)", 0, runUs, pLo - pad, pHi + pad);
    clock.Line(period, "#2ca02c", "clock period");
    if (period.empty()) clock.Note("too few clock times for a windowed period");
    markLock(clock);

    // Bathtub: the BER measured at each sampling phase where errors were counted
    // (joined only between neighbouring phases with errors), phases without an
    // error marked below their floor 1/N, and the Gaussian-tail extrapolation apart.
    std::vector<std::vector<std::pair<double, double>>> segments;
    std::vector<std::pair<double, double>> errorFree;
    double floorLog = -1;
    std::size_t perPhase = 0;
    bool joined = false;
    for (const auto& b : m.bathtub) {
        if (b.compared == 0) {
            joined = false;
            continue;
        }
        perPhase = std::max(perPhase, b.compared);
        const double resolution = 1.0 / static_cast<double>(b.compared);
        floorLog = std::min(floorLog, std::floor(std::log10(resolution)) - 1);
        if (!b.errors) {
            errorFree.emplace_back(b.phaseUi, std::log10(resolution));
            joined = false;
            continue;
        }
        if (!joined) segments.emplace_back();
        segments.back().emplace_back(b.phaseUi, std::log10(static_cast<double>(b.errors) * resolution));
        joined = true;
    }
    floorLog = std::max(floorLog - 6, -18.0);
    // The extrapolation where it lies on the plot: below the floor it is left out, not drawn along the axis.
    std::vector<std::vector<std::pair<double, double>>> extrapolated(1);
    for (const auto& b : m.bathtub) {
        const double v = std::log10(std::max(b.gaussian, 1e-300));
        if (b.compared && v >= floorLog) extrapolated.back().emplace_back(b.phaseUi, v);
        else if (!extrapolated.back().empty()) extrapolated.emplace_back();
    }
    Plot bathtub("Bathtub at the recovered clock", "sampling phase from the data sample (UI)", "BER", -0.5, 0.5,
                 floorLog, 0, Axis::kLog);
    for (std::size_t k = 0; k < extrapolated.size(); ++k)
        bathtub.Line(extrapolated[k], "#9467bd",
                     k == 0 && !extrapolated[k].empty() ? "Gaussian-tail extrapolation (takes ISI as unbounded)" : "", "6 4");
    if (perPhase)
        bathtub.Line({{-0.5, -std::log10(static_cast<double>(perPhase))}, {0.5, -std::log10(static_cast<double>(perPhase))}},
                     "#7f7f7f", "floor 1/N: one error in the N counted", "2 3");
    for (std::size_t k = 0; k < segments.size(); ++k) {
        bathtub.Line(segments[k], "#1f77b4", "");
        bathtub.Marks(segments[k], Plot::Mark::kDot, "#1f77b4", k == 0 ? "measured (errors counted)" : "");
    }
    bathtub.Marks(errorFree, Plot::Mark::kBelow, "#1f77b4", "no error: below 1/N");
    if (!m.locked) bathtub.Note(notLocked);

    // Pulse response before and after the equaliser, around the main cursor.
    std::vector<std::pair<double, double>> before, after;
    double lo = 0, hi = 0;
    const std::size_t spb = static_cast<std::size_t>(r.samplesPerBit);
    const std::size_t span = std::min<std::size_t>(r.pulseBefore.size(), 24 * spb);
    const double cursorAt = CursorsOf(r).at;
    const auto cursor = static_cast<std::size_t>(cursorAt);
    const std::size_t start = std::min(cursor > 6 * spb ? cursor - 6 * spb : 0, r.pulseBefore.size() - span);
    for (std::size_t i = start; i < start + span && i < r.pulseBefore.size(); ++i) {
        const double t = (static_cast<double>(i) - cursorAt) * dt / ui;
        before.emplace_back(t, r.pulseBefore[i]);
        lo = std::min(lo, r.pulseBefore[i]);
        hi = std::max(hi, r.pulseBefore[i]);
        if (i < r.pulseAfter.size()) {
            after.emplace_back(t, r.pulseAfter[i]);
            lo = std::min(lo, r.pulseAfter[i]);
            hi = std::max(hi, r.pulseAfter[i]);
        }
    }
    const double t0 = before.empty() ? 0 : before.front().first, t1 = before.empty() ? 1 : before.back().first;
    Plot pulse("Pulse response of one bit", "time from the channel's main cursor (UI)", "volts", t0, t1,
               lo - 0.05 * (hi - lo), hi + 0.08 * (hi - lo));
    pulse.Line(before, "#7f7f7f", "channel output");
    pulse.Line(after, "#1f77b4", after.empty() ? "" : Format("receiver, linear at gain code %g", r.finalGainCode));
    if (before.empty()) pulse.Note("no pulse response (the run was stopped)");
    MarkCursors(pulse, r, start);

    // Recovered clock against the transmitter's: the error the loop leaves, and
    // its spectrum (what remains of sinusoidal jitter at each frequency).
    std::vector<std::pair<double, double>> error, txPhase, spectrum;
    double eLo = -0.01, eHi = 0.01;
    for (const auto& [t, e] : m.trackingTrace) {
        error.emplace_back(t * 1e6, e);
        eLo = std::min(eLo, e);
        eHi = std::max(eHi, e);
    }
    // Both clocks against a nominal one: the transmitter's excursion (offset,
    // spread spectrum, SJ) and the recovered clock following it.
    std::vector<std::pair<double, double>> recovered;
    double phLo = -0.01, phHi = 0.01;
    for (std::size_t i = 0; i < m.transmitTrace.size() && i < m.trackingTrace.size(); ++i) {
        const auto& [t, tx] = m.transmitTrace[i];
        const double rx = tx + m.trackingTrace[i].second;
        txPhase.emplace_back(t * 1e6, tx);
        recovered.emplace_back(t * 1e6, rx);
        phLo = std::min({phLo, tx, rx});
        phHi = std::max({phHi, tx, rx});
    }
    const double phPad = 0.05 * (phHi - phLo);
    Plot phases("Clock phases against a nominal clock", "time (us)", "lag behind nominal (UI)", 0, runUs, phLo - phPad,
                phHi + phPad);
    phases.Line(txPhase, "#7f7f7f", "transmitter");
    phases.Line(recovered, "#1f77b4", "recovered clock");
    if (txPhase.empty()) phases.Note(m.locked ? "too few edges after lock" : notLocked);
    markLock(phases);
    Plot tracking("Recovered clock against the transmitter's", "time (us)", "phase error (UI)", 0, runUs, eLo * 1.1,
                  eHi * 1.1);
    tracking.Line(error, "#ff7f0e", Format("error, mean over %.3g ns", m.trackingWindow * 1e9));
    if (error.empty()) tracking.Note(m.locked ? "too few edges after lock" : notLocked);
    markLock(tracking);
    double sLo = 0, sHi = -12, fLo = 1e300, fHi = 0;
    for (const auto& [f, a] : m.trackingSpectrum) {
        const double l = std::log10(std::max(a, 1e-12));
        spectrum.emplace_back(std::log10(f), l);
        sHi = std::max(sHi, l);
        sLo = std::min(sLo, l);
        fLo = std::min(fLo, std::log10(f));
        fHi = std::max(fHi, std::log10(f));
    }
    if (spectrum.empty()) fLo = 3, fHi = 8, sLo = -4, sHi = 0;
    Plot errorSpectrum("Spectrum of the tracking error", "frequency", "UI peak", fLo, fHi, std::max(sLo, sHi - 8),
                       sHi + 0.5, Axis::kLog, Axis::kLogHz);
    errorSpectrum.Line(spectrum, "#ff7f0e", spectrum.empty() ? "" : "tracking error");
    for (const auto& sj : r.impairments.sj)
        errorSpectrum.Line({{std::log10(sj.frequency), std::max(sLo, sHi - 8)}, {std::log10(sj.frequency), std::log10(sj.amplitudeUi)}},
                           "#7f7f7f", Format("SJ sent: %g UI", sj.amplitudeUi) + " at " + HzLabel(sj.frequency), "2 3");
    if (spectrum.empty()) errorSpectrum.Note(m.locked ? "too few points of the tracking error for a spectrum" : notLocked);

    std::ostringstream s;
    s << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>velkor-sim report</title>\n"
      << "<style>body{font-family:sans-serif;max-width:1340px;margin:2em auto;color:#222}"
      << "figure{display:inline-block;margin:0.5em;vertical-align:top}figcaption{max-width:640px;font-size:90%;color:#444}"
      << "pre{background:#f4f4f4;padding:1em;white-space:pre-wrap}</style>\n</head>\n<body>\n"
      << "<h1>Velkor_Rx link simulation</h1>\n<pre>" << EscapeHtml(Summary(r, m)) << "</pre>\n"
      << ChannelNotesHtml(r)
      << "<figure id=\"eye-before\">" << DensitySvg(m.eyeBefore, "Eye at the receiver input (density)", m.locked,
                                                     "time from the input eye's centre (UI)")
      << "</figure>\n<figure id=\"eye\">" << EyeSvg(m) << "</figure>\n"
      << "<figure id=\"bathtub\">" << bathtub.Svg() << "</figure>\n"
      << "<figure id=\"adaptation\">" << adaptation.Svg() << "</figure>\n"
      << "<figure id=\"clock\">" << clock.Svg() << "</figure>\n"
      << "<figure id=\"pulse\">" << pulse.Svg()
      << "<figcaption>The receiver's pulse is its small-signal, linear response at the final gain code (a 1 mV "
         "pulse, scaled to the amplitude): the limiting stage, which bounds the real output, is not in it."
         "</figcaption></figure>\n"
      << "<figure id=\"insertion-loss\">" << InsertionLossSvg(r) << "</figure>\n"
      << "<figure id=\"frequency\">" << frequency.Svg() << "</figure>\n"
      << "<figure id=\"clock-phase\">" << phases.Svg() << "</figure>\n"
      << "<figure id=\"tracking\">" << tracking.Svg() << "</figure>\n"
      << "<figure id=\"tracking-spectrum\">" << errorSpectrum.Svg() << "</figure>\n"
      << "</body>\n</html>\n";
    return s.str();
}

}  // namespace sim

