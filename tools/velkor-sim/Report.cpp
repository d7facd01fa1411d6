#include "tools/velkor-sim/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace sim {

namespace {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
            case '<': out += "&lt;"; break;
            case '>': out += "&gt;"; break;
            case '&': out += "&amp;"; break;
            case '"': out += "&quot;"; break;
            default: out += c;
        }
    }
    return out;
}

std::string JsonString(const std::string& s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += std::string("\\") + c;
        else if (static_cast<unsigned char>(c) < 0x20) out += Format("\\u%04x", static_cast<unsigned char>(c));
        else out += c;
    }
    return out + "\"";
}

std::string Number(double v) { return std::isfinite(v) ? Format("%.9g", v) : "null"; }

// A line plot with axes, in the page's inline SVG.
class Plot {
public:
    Plot(std::string title, std::string xLabel, std::string yLabel, double x0, double x1, double y0, double y1)
        : title_(std::move(title)), xLabel_(std::move(xLabel)), yLabel_(std::move(yLabel)), x0_(x0), x1_(x1),
          y0_(y0), y1_(y1) {
        if (!(x1_ > x0_)) x1_ = x0_ + 1;
        if (!(y1_ > y0_)) y1_ = y0_ + 1;
    }
    double X(double x) const { return kLeft + (x - x0_) / (x1_ - x0_) * (kWidth - kLeft - kRight); }
    double Y(double y) const { return kHeight - kBottom - (y - y0_) / (y1_ - y0_) * (kHeight - kTop - kBottom); }
    void Line(const std::vector<std::pair<double, double>>& points, const char* colour, const std::string& label) {
        std::string p;
        for (const auto& [x, y] : points) p += Format("%.1f,", X(x)) + Format("%.1f ", Y(y));
        body_ += "<polyline fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\" points=\"" + p + "\"/>\n";
        legend_.emplace_back(label, colour);
    }
    void Raw(const std::string& svg) { body_ += svg; }
    std::string Svg() const {
        std::ostringstream s;
        s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
          << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
          << "<rect width=\"" << kWidth << "\" height=\"" << kHeight << "\" fill=\"white\"/>\n"
          << "<text x=\"" << kWidth / 2 << "\" y=\"20\" text-anchor=\"middle\" font-size=\"15\">" << Escape(title_)
          << "</text>\n";
        for (int i = 0; i <= 4; ++i) {
            double x = x0_ + (x1_ - x0_) * i / 4, y = y0_ + (y1_ - y0_) * i / 4;
            if (std::fabs(x) < 1e-6 * (x1_ - x0_)) x = 0;  // no -9.97e-05 for a zero tick
            if (std::fabs(y) < 1e-6 * (y1_ - y0_)) y = 0;
            s << "<line x1=\"" << X(x) << "\" y1=\"" << kTop << "\" x2=\"" << X(x) << "\" y2=\"" << kHeight - kBottom
              << "\" stroke=\"#ddd\"/>\n<text x=\"" << X(x) << "\" y=\"" << kHeight - kBottom + 16
              << "\" text-anchor=\"middle\">" << Format("%.4g", x) << "</text>\n";
            s << "<line x1=\"" << kLeft << "\" y1=\"" << Y(y) << "\" x2=\"" << kWidth - kRight << "\" y2=\"" << Y(y)
              << "\" stroke=\"#ddd\"/>\n<text x=\"" << kLeft - 6 << "\" y=\"" << Y(y) + 4
              << "\" text-anchor=\"end\">" << Format("%.4g", y) << "</text>\n";
        }
        s << body_;
        s << "<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << kWidth - kLeft - kRight << "\" height=\""
          << kHeight - kTop - kBottom << "\" fill=\"none\" stroke=\"black\"/>\n";
        s << "<text x=\"" << kWidth / 2 << "\" y=\"" << kHeight - 10 << "\" text-anchor=\"middle\">" << Escape(xLabel_)
          << "</text>\n<text transform=\"translate(16," << kHeight / 2 << ") rotate(-90)\" text-anchor=\"middle\">"
          << Escape(yLabel_) << "</text>\n";
        for (std::size_t i = 0; i < legend_.size(); ++i) {
            const int y = kTop + 16 + 16 * static_cast<int>(i);
            s << "<line x1=\"" << kWidth - 200 << "\" y1=\"" << y << "\" x2=\"" << kWidth - 175 << "\" y2=\"" << y
              << "\" stroke=\"" << legend_[i].second << "\" stroke-width=\"2\"/>\n<text x=\"" << kWidth - 170
              << "\" y=\"" << y + 4 << "\">" << Escape(legend_[i].first) << "</text>\n";
        }
        s << "</svg>\n";
        return s.str();
    }

    static constexpr int kWidth = 640, kHeight = 400, kLeft = 70, kRight = 20, kTop = 34, kBottom = 46;

private:
    std::string title_, xLabel_, yLabel_, body_;
    double x0_, x1_, y0_, y1_;
    std::vector<std::pair<std::string, std::string>> legend_;
};

}  // namespace

std::string EyeSvg(const LinkMetrics& m) {
    const EyeDensity& e = m.eyeAfter;
    Plot plot("Eye at the recovered clock (density)", "time from the data sample (UI)", "volts", -1, 1, e.low, e.high);
    std::uint32_t peak = 1;
    for (auto c : e.counts) peak = std::max(peak, c);
    std::string cells;
    const double w = (plot.X(1) - plot.X(-1)) / e.phases, h = (plot.Y(e.low) - plot.Y(e.high)) / e.levels;
    const bool filled = e.counts.size() == static_cast<std::size_t>(e.phases) * static_cast<std::size_t>(e.levels);
    for (int p = 0; filled && p < e.phases; ++p)
        for (int l = 0; l < e.levels; ++l) {
            const auto c = e.counts[static_cast<std::size_t>(p) * e.levels + l];
            if (!c) continue;
            const double f = std::log1p(c) / std::log1p(peak);
            const int r = static_cast<int>(255 * std::min(1.0, 2 * f)), g = static_cast<int>(255 * std::max(0.0, 2 * f - 1));
            cells += "<rect x=\"" + Format("%.1f", plot.X(-1) + p * w) + "\" y=\"" +
                     Format("%.1f", plot.Y(e.low) - (l + 1) * h) + "\" width=\"" + Format("%.2f", w + 0.3) +
                     "\" height=\"" + Format("%.2f", h + 0.3) + "\" fill=\"rgb(" + std::to_string(r) + "," +
                     std::to_string(g) + ",60)\"/>\n";
        }
    plot.Raw("<rect x=\"" + Format("%.1f", plot.X(-1)) + "\" y=\"" + Format("%.1f", plot.Y(e.high)) + "\" width=\"" +
             Format("%.1f", plot.X(1) - plot.X(-1)) + "\" height=\"" + Format("%.1f", plot.Y(e.low) - plot.Y(e.high)) +
             "\" fill=\"#101030\"/>\n" + cells);
    return plot.Svg();
}

std::string Summary(const RunDescription& r, const LinkMetrics& m) {
    std::ostringstream s;
    s << "Simulated " << r.bits << " bits of " << r.pattern << " at " << r.bitRate / 1e9 << " Gb/s, "
      << r.samplesPerBit << " samples per bit, " << Format("%.3g", r.amplitude) << " V";
    if (r.noise > 0) s << " with " << Format("%.3g", r.noise * 1e3) << " mV rms noise";
    s << "\nChannel:    " << r.channel << "\n";
    s << "Model:      " << r.library << "\nParameters: " << r.parameters << "\n";
    if (!r.modelMessage.empty()) s << "Model says: " << r.modelMessage << "\n";
    s << "Time:       " << Format("%.2f", r.seconds) << " s in the model, "
      << Format("%.2f", r.samplesPerSecond / 1e6) << " million samples per second\n";
    if (!m.locked) {
        s << "Lock:       not locked after " << m.edges
          << " bits; loop settings 2 and 3 lock faster, or give more bits\n";
    } else {
        s << "Lock:       after " << m.bitsSkipped << " bits (" << Format("%.3g", m.lockTime * 1e6) << " us)\n";
        s << "Bit errors: " << m.bitErrors << " in " << m.bitsCompared << " bits after lock; " << DescribeBer(m.ber)
          << "\n";
        if (m.slips) s << "Slips:      " << m.slips << " clock edges lost or gained after lock\n";
        s << "Eye:        " << (m.eyeOpen ? "" : "closed: ") << "height " << Format("%.1f", m.eyeHeight * 1e3)
          << " mV, width " << Format("%.2f", m.eyeWidth) << " UI at the recovered clock\n";
        s << "Clock:      period " << Format("%.3f", m.periodMean * 1e12) << " ps, spread "
          << Format("%.2f", m.periodSpread * 1e12) << " ps rms after lock\n";
    }
    s << "Gain code:  " << Format("%g", r.initialGainCode) << " -> " << Format("%g", r.finalGainCode) << "\n";
    return s.str();
}

std::string MetricsJson(const RunDescription& r, const LinkMetrics& m) {
    std::ostringstream s;
    s << "{\n  \"bits\": " << r.bits << ",\n  \"pattern\": " << JsonString(r.pattern)
      << ",\n  \"bit_rate\": " << Number(r.bitRate) << ",\n  \"samples_per_bit\": " << r.samplesPerBit
      << ",\n  \"amplitude\": " << Number(r.amplitude) << ",\n  \"noise_rms\": " << Number(r.noise)
      << ",\n  \"channel\": " << JsonString(r.channel) << ",\n  \"library\": " << JsonString(r.library)
      << ",\n  \"parameters\": " << JsonString(r.parameters) << ",\n  \"model_message\": " << JsonString(r.modelMessage)
      << ",\n  \"seconds_in_model\": " << Number(r.seconds) << ",\n  \"samples_per_second\": " << Number(r.samplesPerSecond)
      << ",\n  \"clock_edges\": " << m.edges
      << ",\n  \"locked\": " << (m.locked ? "true" : "false") << ",\n  \"lock_bits\": " << m.bitsSkipped
      << ",\n  \"lock_time\": " << Number(m.lockTime) << ",\n  \"latency_bits\": " << m.latencyBits
      << ",\n  \"bits_compared\": " << m.bitsCompared << ",\n  \"bit_errors\": " << m.bitErrors
      << ",\n  \"slips\": " << m.slips << ",\n  \"ber\": " << Number(m.ber.ber)
      << ",\n  \"ber_confidence\": 0.95,\n  \"ber_low\": " << Number(m.ber.low) << ",\n  \"ber_high\": " << Number(m.ber.high)
      << ",\n  \"ber_text\": " << JsonString(DescribeBer(m.ber))
      << ",\n  \"eye_open\": " << (m.eyeOpen ? "true" : "false")
      << ",\n  \"eye_height\": " << Number(m.eyeHeight) << ",\n  \"eye_width_ui\": " << Number(m.eyeWidth)
      << ",\n  \"clock_period_mean\": " << Number(m.periodMean) << ",\n  \"clock_period_spread\": " << Number(m.periodSpread)
      << ",\n  \"initial_gain_code\": " << Number(r.initialGainCode) << ",\n  \"final_gain_code\": " << Number(r.finalGainCode)
      << ",\n  \"bathtub\": [";
    for (std::size_t i = 0; i < m.bathtub.size(); ++i)
        s << (i ? ", " : "") << "{\"phase_ui\": " << Number(m.bathtub[i].phaseUi) << ", \"errors\": " << m.bathtub[i].errors
          << ", \"compared\": " << m.bathtub[i].compared << ", \"gaussian_ber\": " << Number(m.bathtub[i].gaussian) << "}";
    s << "],\n  \"adaptation\": [";
    for (std::size_t i = 0; i < r.adaptation.size(); ++i)
        s << (i ? ", " : "") << "{\"sample\": " << r.adaptation[i].sample << ", \"gain_code\": " << Number(r.adaptation[i].gainCode)
          << ", \"frequency_offset_ppm\": " << Number(r.adaptation[i].frequencyOffsetPpm) << "}";
    s << "]\n}\n";
    return s.str();
}

std::string ReportHtml(const RunDescription& r, const LinkMetrics& m) {
    const double ui = 1.0 / r.bitRate;
    const double dt = ui / r.samplesPerBit;

    // Adaptation trajectory.
    std::vector<std::pair<double, double>> gain, ppm;
    double maxTime = 1e-9, ppmLo = 0, ppmHi = 1;
    for (const auto& p : r.adaptation) {
        gain.emplace_back(p.sample * dt * 1e6, p.gainCode);
        maxTime = std::max(maxTime, p.sample * dt * 1e6);
    }
    Plot adaptation("Equaliser adaptation", "time (us)", "gain code", 0, maxTime, 0, 16);
    adaptation.Line(gain, "#1f77b4", "AEQ gain code");
    for (const auto& p : r.adaptation) {
        ppm.emplace_back(p.sample * dt * 1e6, p.frequencyOffsetPpm);
        ppmLo = std::min(ppmLo, p.frequencyOffsetPpm);
        ppmHi = std::max(ppmHi, p.frequencyOffsetPpm);
    }
    Plot frequency("CDR frequency integrator", "time (us)", "offset (ppm)", 0, maxTime, ppmLo, ppmHi);
    frequency.Line(ppm, "#d62728", "frequency offset");

    // Clock period over time.
    std::vector<std::pair<double, double>> period;
    double pLo = ui * 1e12, pHi = ui * 1e12;
    for (const auto& [t, p] : m.periodTrace) {
        period.emplace_back(t * 1e6, p * 1e12);
        pLo = std::min(pLo, p * 1e12);
        pHi = std::max(pHi, p * 1e12);
    }
    Plot clock("Recovered clock period (mean over 256 UI)", "time (us)", "period (ps)",
               0, period.empty() ? 1 : period.back().first, pLo - 0.5, pHi + 0.5);
    clock.Line(period, "#2ca02c", "clock period");

    // Pulse response before and after the equaliser.
    std::vector<std::pair<double, double>> before, after;
    double lo = 0, hi = 0;
    const std::size_t span = std::min<std::size_t>(r.pulseBefore.size(), 24 * r.samplesPerBit);
    std::size_t start = 0;
    for (std::size_t i = 0; i < r.pulseBefore.size(); ++i)
        if (std::fabs(r.pulseBefore[i]) > 0.01 * r.amplitude) {
            start = i > 4 * static_cast<std::size_t>(r.samplesPerBit) ? i - 4 * r.samplesPerBit : 0;
            break;
        }
    for (std::size_t i = start; i < start + span && i < r.pulseBefore.size(); ++i) {
        const double t = (i - start) * dt / ui;
        before.emplace_back(t, r.pulseBefore[i]);
        lo = std::min(lo, r.pulseBefore[i]);
        hi = std::max(hi, r.pulseBefore[i]);
        if (i < r.pulseAfter.size()) {
            after.emplace_back(t, r.pulseAfter[i]);
            lo = std::min(lo, r.pulseAfter[i]);
            hi = std::max(hi, r.pulseAfter[i]);
        }
    }
    Plot pulse("Pulse response of one bit", "time (UI)", "volts", 0, static_cast<double>(span) * dt / ui, lo, hi * 1.05);
    pulse.Line(before, "#7f7f7f", "channel output");
    pulse.Line(after, "#1f77b4", "after the equaliser");

    std::ostringstream s;
    s << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>velkor-sim report</title>\n"
      << "<style>body{font-family:sans-serif;max-width:1340px;margin:2em auto;color:#222}"
      << "figure{display:inline-block;margin:0.5em}pre{background:#f4f4f4;padding:1em}</style>\n</head>\n<body>\n"
      << "<h1>Velkor_Rx link simulation</h1>\n<pre>" << Escape(Summary(r, m)) << "</pre>\n"
      << "<figure id=\"eye\">" << EyeSvg(m) << "</figure>\n"
      << "<figure id=\"adaptation\">" << adaptation.Svg() << "</figure>\n"
      << "<figure id=\"clock\">" << clock.Svg() << "</figure>\n"
      << "<figure id=\"pulse\">" << pulse.Svg() << "</figure>\n"
      << "<figure id=\"frequency\">" << frequency.Svg() << "</figure>\n"
      << "</body>\n</html>\n";
    return s.str();
}

}  // namespace sim
