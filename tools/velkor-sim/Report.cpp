#include "tools/velkor-sim/Report.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <map>
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

std::string JsonList(const std::vector<std::string>& items) {
    std::string out = "[";
    for (std::size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + JsonString(items[i]);
    return out + "]";
}

// Tick positions on 1-2-5 steps inside [lo, hi], about `wanted` of them, and
// the decimals their labels need so that each label reads its own position.
struct Ticks {
    std::vector<double> at;
    int decimals = 0;
};

Ticks NiceTicks(double lo, double hi, int wanted) {
    Ticks t;
    const double raw = (hi - lo) / wanted;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    double step = decade;
    for (double m : {1.0, 2.0, 5.0, 10.0})
        if (m * decade >= raw) {
            step = m * decade;
            break;
        }
    t.decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + 1e-9 * step; k += 1) t.at.push_back(k * step);
    return t;
}

// A plot with axes, in the page's inline SVG. With a logarithmic y axis the
// values given are decimal logarithms and the ticks are decades.
class Plot {
public:
    Plot(std::string title, std::string xLabel, std::string yLabel, double x0, double x1, double y0, double y1,
         bool logY = false)
        : title_(std::move(title)), xLabel_(std::move(xLabel)), yLabel_(std::move(yLabel)), x0_(x0), x1_(x1),
          y0_(y0), y1_(y1), logY_(logY) {
        if (!(x1_ > x0_)) x1_ = x0_ + 1;
        if (!(y1_ > y0_)) y1_ = y0_ + 1;
    }
    double X(double x) const { return kLeft + (x - x0_) / (x1_ - x0_) * (kWidth - kLeft - kRight); }
    double Y(double y) const {
        y = std::clamp(y, y0_, y1_);
        return kHeight - kBottom - (y - y0_) / (y1_ - y0_) * (kHeight - kTop - kBottom);
    }
    void Line(const std::vector<std::pair<double, double>>& points, const char* colour, const std::string& label,
              const char* dash = nullptr) {
        std::string p;
        for (const auto& [x, y] : points) p += Format("%.1f,", X(x)) + Format("%.1f ", Y(y));
        body_ += "<polyline fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\"" +
                 (dash ? std::string(" stroke-dasharray=\"") + dash + "\"" : "") + " points=\"" + p + "\"/>\n";
        if (!label.empty()) legend_.push_back({label, colour, dash ? dash : ""});
    }
    // Discrete values: held until the next point.
    void Steps(const std::vector<std::pair<double, double>>& points, double xEnd, const char* colour,
               const std::string& label) {
        std::vector<std::pair<double, double>> held;
        for (std::size_t i = 0; i < points.size(); ++i) {
            held.push_back(points[i]);
            held.emplace_back(i + 1 < points.size() ? points[i + 1].first : xEnd, points[i].second);
        }
        Line(held, colour, label);
    }
    void Marker(double x, const std::string& label) {
        body_ += "<line x1=\"" + Format("%.1f", X(x)) + "\" y1=\"" + std::to_string(kTop) + "\" x2=\"" +
                 Format("%.1f", X(x)) + "\" y2=\"" + std::to_string(kHeight - kBottom) +
                 "\" stroke=\"#444\" stroke-dasharray=\"4 3\"/>\n<text x=\"" + Format("%.1f", X(x) + 4) + "\" y=\"" +
                 std::to_string(kHeight - kBottom - 6) + "\" font-size=\"11\">" + Escape(label) + "</text>\n";
    }
    void Raw(const std::string& svg) { body_ += svg; }
    std::string Svg() const {
        std::ostringstream s;
        s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << kHeight
          << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
          << "<rect width=\"" << kWidth << "\" height=\"" << kHeight << "\" fill=\"white\"/>\n"
          << "<text x=\"" << kWidth / 2 << "\" y=\"20\" text-anchor=\"middle\" font-size=\"15\">" << Escape(title_)
          << "</text>\n";
        const Ticks xt = NiceTicks(x0_, x1_, 5);
        for (double x : xt.at)
            s << "<line x1=\"" << Format("%.1f", X(x)) << "\" y1=\"" << kTop << "\" x2=\"" << Format("%.1f", X(x))
              << "\" y2=\"" << kHeight - kBottom << "\" stroke=\"#ddd\"/>\n<text x=\"" << Format("%.1f", X(x))
              << "\" y=\"" << kHeight - kBottom + 16 << "\" text-anchor=\"middle\">"
              << Format(("%." + std::to_string(xt.decimals) + "f").c_str(), std::fabs(x) < 1e-12 ? 0.0 : x)
              << "</text>\n";
        Ticks yt;
        if (logY_) {
            const int every = std::max(1, static_cast<int>(std::ceil((y1_ - y0_) / 6)));
            for (double e = std::ceil(y0_); e <= y1_; e += every) yt.at.push_back(e);
        } else {
            yt = NiceTicks(y0_, y1_, 5);
        }
        for (double y : yt.at)
            s << "<line x1=\"" << kLeft << "\" y1=\"" << Format("%.1f", Y(y)) << "\" x2=\"" << kWidth - kRight
              << "\" y2=\"" << Format("%.1f", Y(y)) << "\" stroke=\"#ddd\"/>\n<text x=\"" << kLeft - 6 << "\" y=\""
              << Format("%.1f", Y(y) + 4) << "\" text-anchor=\"end\">"
              << (logY_ ? Format("1e%.0f", y)
                        : Format(("%." + std::to_string(yt.decimals) + "f").c_str(), std::fabs(y) < 1e-12 ? 0.0 : y))
              << "</text>\n";
        s << body_;
        s << "<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << kWidth - kLeft - kRight << "\" height=\""
          << kHeight - kTop - kBottom << "\" fill=\"none\" stroke=\"black\"/>\n";
        s << "<text x=\"" << (kLeft + kWidth - kRight) / 2 << "\" y=\"" << kHeight - 8 << "\" text-anchor=\"middle\">"
          << Escape(xLabel_) << "</text>\n<text transform=\"translate(14," << (kTop + kHeight - kBottom) / 2
          << ") rotate(-90)\" text-anchor=\"middle\">" << Escape(yLabel_) << "</text>\n";
        for (std::size_t i = 0; i < legend_.size(); ++i) {
            const int y = kTop + 16 + 16 * static_cast<int>(i);
            s << "<rect x=\"" << kWidth - kRight - 215 << "\" y=\"" << y - 9 << "\" width=\"210\" height=\"16\" fill=\"white\" "
              << "fill-opacity=\"0.8\"/>\n<line x1=\"" << kWidth - kRight - 210 << "\" y1=\"" << y << "\" x2=\""
              << kWidth - kRight - 185 << "\" y2=\"" << y << "\" stroke=\"" << legend_[i].colour << "\" stroke-width=\"2\""
              << (legend_[i].dash.empty() ? "" : " stroke-dasharray=\"" + legend_[i].dash + "\"") << "/>\n<text x=\""
              << kWidth - kRight - 180 << "\" y=\"" << y + 4 << "\">" << Escape(legend_[i].label) << "</text>\n";
        }
        s << "</svg>\n";
        return s.str();
    }

    static constexpr int kWidth = 640, kHeight = 400, kLeft = 80, kRight = 20, kTop = 34, kBottom = 50;

private:
    struct LegendEntry {
        std::string label, colour, dash;
    };
    std::string title_, xLabel_, yLabel_, body_;
    double x0_, x1_, y0_, y1_;
    bool logY_;
    std::vector<LegendEntry> legend_;
};

// An eye density with its colour scale (counts on a logarithmic scale).
std::string DensitySvg(const EyeDensity& e, const std::string& title, bool locked) {
    const double low = e.high > e.low ? e.low : -1, high = e.high > e.low ? e.high : 1;
    Plot plot(title, "time from the data sample (UI)", "volts", -1, 1, low, high);
    std::uint32_t peak = 1;
    for (auto c : e.counts) peak = std::max(peak, c);
    auto colour = [](double f) {
        const int r = static_cast<int>(255 * std::min(1.0, 2 * f)), g = static_cast<int>(255 * std::max(0.0, 2 * f - 1));
        return "rgb(" + std::to_string(r) + "," + std::to_string(g) + ",60)";
    };
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
                     colour(std::log1p(c) / std::log1p(peak)) + "\"/>\n";
        }
    if (!filled)
        cells += "<text x=\"" + Format("%.1f", plot.X(0)) + "\" y=\"" + Format("%.1f", plot.Y(0.5 * (low + high))) +
                 "\" fill=\"white\" text-anchor=\"middle\">" + (locked ? "no samples" : "not locked: no eye") + "</text>\n";
    // Colour scale: samples per cell, from 1 to the peak.
    const int x = Plot::kWidth - Plot::kRight - 14, top = Plot::kTop + 24, height = 120;
    for (int k = 0; k < 20; ++k)
        cells += "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(top + height - (k + 1) * height / 20) +
                 "\" width=\"10\" height=\"" + std::to_string(height / 20 + 1) + "\" fill=\"" + colour((k + 0.5) / 20) + "\"/>\n";
    cells += "<text x=\"" + std::to_string(x + 10) + "\" y=\"" + std::to_string(top - 6) + "\" text-anchor=\"end\" fill=\"white\" font-size=\"10\">" +
             std::to_string(peak) + "</text>\n<text x=\"" + std::to_string(x + 10) + "\" y=\"" + std::to_string(top + height + 12) +
             "\" text-anchor=\"end\" fill=\"white\" font-size=\"10\">1 sample</text>\n";
    plot.Raw(cells);
    return plot.Svg();
}

// The channel's pulse at its peak (the main cursor) and one UI before and after.
struct PulseCursors {
    double pre = 0, main = 0, post = 0;
    std::size_t at = 0;  // sample of the main cursor
};

PulseCursors CursorsOf(const RunDescription& r) {
    PulseCursors c;
    if (r.pulseBefore.empty()) return c;
    c.at = static_cast<std::size_t>(std::max_element(r.pulseBefore.begin(), r.pulseBefore.end()) - r.pulseBefore.begin());
    const auto ui = static_cast<std::size_t>(r.samplesPerBit);
    c.main = r.pulseBefore[c.at];
    c.pre = c.at >= ui ? r.pulseBefore[c.at - ui] : 0.0;
    c.post = c.at + ui < r.pulseBefore.size() ? r.pulseBefore[c.at + ui] : 0.0;
    return c;
}

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

// The main cursor and the first pre- and post-cursors, marked on the pulse figure.
void MarkCursors(Plot& pulse, const RunDescription& r, std::size_t start) {
    if (r.pulseBefore.empty()) return;
    const PulseCursors c = CursorsOf(r);
    const auto ui = static_cast<std::size_t>(r.samplesPerBit);
    auto at = [&](std::size_t i) { return (static_cast<double>(i) - static_cast<double>(start)) / static_cast<double>(ui); };
    if (c.at >= start + ui) pulse.Marker(at(c.at - ui), Format("pre %.3f V", c.pre));
    pulse.Marker(at(c.at), Format("main %.3f V", c.main));
    if (c.at + ui < r.pulseBefore.size()) pulse.Marker(at(c.at + ui), Format("post %.3f V", c.post));
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
    for (const auto& w : r.channelWarnings) html += "<li><b>Warning:</b> " + Escape(w) + "</li>\n";
    for (const auto& n : r.channelNotes) html += "<li>" + Escape(n) + "</li>\n";
    return html + "</ul>\n";
}

}  // namespace

std::string EyeSvg(const LinkMetrics& m) {
    return DensitySvg(m.eyeAfter, "Eye after the receiver (density)", m.locked);
}

std::string Summary(const RunDescription& r, const LinkMetrics& m) {
    std::ostringstream s;
    s << "Simulated " << r.bits << " bits of " << r.pattern << " at " << r.bitRate / 1e9 << " Gb/s, "
      << r.samplesPerBit << " samples per bit, " << Format("%.3g", r.amplitude) << " V";
    if (r.noise > 0) s << " with " << Format("%.3g", r.noise * 1e3) << " mV rms noise";
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
        s << "Bit errors: " << m.bitErrors << " in " << m.bitsCompared << " bits after lock; " << DescribeBer(m.ber)
          << "\n";
        if (m.slips) s << "Slips:      " << m.slips << " clock edges lost or gained after lock\n";
        s << "Eye:        " << (m.eyeOpen ? "" : "closed: ") << "height " << Format("%.1f", m.eyeHeight * 1e3)
          << " mV, width " << Format("%.2f", m.eyeWidth) << " UI at the recovered clock\n";
        s << "Clock:      period " << Format("%.3f", m.periodMean * 1e12) << " ps, spread "
          << Format("%.2f", m.periodSpread * 1e12) << " ps rms after lock\n";
        s << "Tracking:   error " << Format("%.4f", m.trackingRms) << " UI rms, " << Format("%.4f", m.trackingPeak)
          << " UI peak against the transmitter's clock\n";
    }
    s << "Gain code:  " << Format("%g", r.initialGainCode) << " -> " << Format("%g", r.finalGainCode) << "\n";
    if (!r.modelState.empty()) s << "Model state: " << r.modelState << "\n";
    return s.str();
}

std::string MetricsJson(const RunDescription& r, const LinkMetrics& m) {
    std::ostringstream s;
    s << "{\n  \"bits\": " << r.bits << ",\n  \"pattern\": " << JsonString(r.pattern)
      << ",\n  \"bit_rate\": " << Number(r.bitRate) << ",\n  \"samples_per_bit\": " << r.samplesPerBit
      << ",\n  \"amplitude\": " << Number(r.amplitude) << ",\n  \"noise_rms\": " << Number(r.noise)
      << ",\n  \"channel\": " << JsonString(r.channel) << ",\n  \"channel_loss_nyquist_db\": " << Number(r.nyquistLossDb)
      << ",\n  \"channel_warnings\": " << JsonList(r.channelWarnings) << ",\n  \"channel_notes\": " << JsonList(r.channelNotes)
      << ",\n  \"pulse_main_cursor\": " << Number(CursorsOf(r).main) << ",\n  \"pulse_pre_cursor\": " << Number(CursorsOf(r).pre)
      << ",\n  \"pulse_post_cursor\": " << Number(CursorsOf(r).post) << ",\n  \"transmitter\": " << JsonString(r.transmitter) << ",\n  \"library\": " << JsonString(r.library)
      << ",\n  \"parameters\": " << JsonString(r.parameters) << ",\n  \"model_message\": " << JsonString(r.modelMessage)
      << ",\n  \"model_state\": " << JsonString(r.modelState)
      << ",\n  \"seconds_in_model\": " << Number(r.seconds) << ",\n  \"samples_per_second\": " << Number(r.samplesPerSecond)
      << ",\n  \"stopped\": " << JsonString(r.stopped) << ",\n  \"clock_edges\": " << m.edges
      << ",\n  \"locked\": " << (m.locked ? "true" : "false") << ",\n  \"lock_bits\": " << m.bitsSkipped
      << ",\n  \"lock_time\": " << Number(m.lockTime) << ",\n  \"latency_bits\": " << m.latencyBits << ",\n  \"alignment_agreement\": " << Number(m.alignmentAgreement)
      << ",\n  \"rejected_lock_stretches\": " << m.rejectedLocks
      << ",\n  \"bits_compared\": " << m.bitsCompared << ",\n  \"bit_errors\": " << m.bitErrors
      << ",\n  \"slips\": " << m.slips << ",\n  \"ber\": " << Number(m.ber.ber)
      << ",\n  \"ber_confidence\": 0.95,\n  \"ber_low\": " << Number(m.ber.low) << ",\n  \"ber_high\": " << Number(m.ber.high)
      << ",\n  \"ber_text\": " << JsonString(DescribeBer(m.ber))
      << ",\n  \"eye_open\": " << (m.eyeOpen ? "true" : "false")
      << ",\n  \"eye_height\": " << Number(m.eyeHeight) << ",\n  \"eye_width_ui\": " << Number(m.eyeWidth)
      << ",\n  \"clock_period_mean\": " << Number(m.periodMean) << ",\n  \"clock_period_spread\": " << Number(m.periodSpread)
      << ",\n  \"tx_ppm\": " << Number(r.impairments.ppm) << ",\n  \"tx_ssc_ppm\": " << Number(r.impairments.sscPpm)
      << ",\n  \"tx_ssc_frequency\": " << Number(r.impairments.sscFrequency) << ",\n  \"tx_rj_ui_rms\": " << Number(r.impairments.rjUi)
      << ",\n  \"tx_dj_ui_pp\": " << Number(r.impairments.djUi) << ",\n  \"tx_dj_distribution\": \"uniform\""
      << ",\n  \"tx_sj\": [";
    for (std::size_t i = 0; i < r.impairments.sj.size(); ++i)
        s << (i ? ", " : "") << "{\"ui\": " << Number(r.impairments.sj[i].amplitudeUi) << ", \"hz\": " << Number(r.impairments.sj[i].frequency) << "}";
    s << "],\n  \"tracking_error_rms_ui\": " << Number(m.trackingRms) << ",\n  \"tracking_error_peak_ui\": " << Number(m.trackingPeak)
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
    // One time axis for every plot over time: the whole run, in microseconds.
    const double runUs = m.runTime > 0 ? m.runTime * 1e6 : 1e-3;
    auto markLock = [&](Plot& plot) {
        if (m.locked) plot.Marker(m.lockTime * 1e6, "lock");
    };

    // Adaptation trajectory: the gain code is discrete, so it is drawn as steps.
    std::vector<std::pair<double, double>> gain, ppm;
    double ppmLo = 0, ppmHi = 1;
    for (const auto& p : r.adaptation) {
        gain.emplace_back(static_cast<double>(p.sample) * dt * 1e6, p.gainCode);
        ppm.emplace_back(static_cast<double>(p.sample) * dt * 1e6, p.frequencyOffsetPpm);
        ppmLo = std::min(ppmLo, p.frequencyOffsetPpm);
        ppmHi = std::max(ppmHi, p.frequencyOffsetPpm);
    }
    Plot adaptation("Equaliser adaptation", "time (us)", "gain code", 0, runUs, 0, 16);
    adaptation.Steps(gain, runUs, "#1f77b4", "AEQ gain code");
    markLock(adaptation);
    Plot frequency("CDR frequency integrator", "time (us)", "offset (ppm)", 0, runUs, ppmLo, ppmHi * 1.05);
    frequency.Steps(ppm, runUs, "#d62728", "frequency offset");
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
    markLock(clock);

    // Bathtub: BER against the sampling phase, measured, and the Gaussian-tail
    // extrapolation drawn dashed.
    std::vector<std::pair<double, double>> measured, gaussian;
    double floorLog = -1;
    for (const auto& b : m.bathtub) {
        if (b.compared == 0) continue;
        const double resolution = 1.0 / static_cast<double>(b.compared);
        floorLog = std::min(floorLog, std::floor(std::log10(resolution)) - 1);
        if (b.errors) measured.emplace_back(b.phaseUi, std::log10(static_cast<double>(b.errors) * resolution));
    }
    floorLog = std::max(floorLog - 6, -18.0);
    for (const auto& b : m.bathtub)
        if (b.compared) gaussian.emplace_back(b.phaseUi, std::log10(std::max(b.gaussian, 1e-300)));
    Plot bathtub("Bathtub at the recovered clock", "sampling phase from the data sample (UI)", "BER", -0.5, 0.5,
                 floorLog, 0, true);
    bathtub.Line(gaussian, "#9467bd", "Gaussian-tail extrapolation", "6 4");
    bathtub.Line(measured, "#1f77b4", "measured (phases with errors)");
    if (m.bitsCompared)
        bathtub.Line({{-0.5, -std::log10(static_cast<double>(m.bitsCompared))},
                      {0.5, -std::log10(static_cast<double>(m.bitsCompared))}},
                     "#7f7f7f", "1/N: one error in the bits compared", "2 3");

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
    markLock(phases);
    Plot tracking("Recovered clock against the transmitter's", "time (us)", "phase error (UI)", 0, runUs, eLo * 1.1,
                  eHi * 1.1);
    tracking.Line(error, "#ff7f0e", Format("error, mean over %.3g ns", m.trackingWindow * 1e9));
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
    if (spectrum.empty()) fLo = 3, fHi = 8;
    Plot errorSpectrum("Spectrum of the tracking error", "log10 frequency (Hz)", "UI peak", fLo, fHi,
                       std::max(sLo, sHi - 8), sHi + 0.5, true);
    errorSpectrum.Line(spectrum, "#ff7f0e", "tracking error");
    for (const auto& sj : r.impairments.sj)
        errorSpectrum.Line({{std::log10(sj.frequency), std::max(sLo, sHi - 8)}, {std::log10(sj.frequency), std::log10(sj.amplitudeUi)}},
                           "#7f7f7f", Format("SJ sent: %g UI", sj.amplitudeUi) + Format(" at %g Hz", sj.frequency), "2 3");

    std::ostringstream s;
    s << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>velkor-sim report</title>\n"
      << "<style>body{font-family:sans-serif;max-width:1340px;margin:2em auto;color:#222}"
      << "figure{display:inline-block;margin:0.5em}pre{background:#f4f4f4;padding:1em}</style>\n</head>\n<body>\n"
      << "<h1>Velkor_Rx link simulation</h1>\n<pre>" << Escape(Summary(r, m)) << "</pre>\n"
      << ChannelNotesHtml(r)
      << "<figure id=\"eye-before\">" << DensitySvg(m.eyeBefore, "Eye at the receiver input (density)", m.locked)
      << "</figure>\n<figure id=\"eye\">" << EyeSvg(m) << "</figure>\n"
      << "<figure id=\"bathtub\">" << bathtub.Svg() << "</figure>\n"
      << "<figure id=\"adaptation\">" << adaptation.Svg() << "</figure>\n"
      << "<figure id=\"clock\">" << clock.Svg() << "</figure>\n"
      << "<figure id=\"pulse\">" << pulse.Svg() << "</figure>\n"
      << "<figure id=\"insertion-loss\">" << InsertionLossSvg(r) << "</figure>\n"
      << "<figure id=\"frequency\">" << frequency.Svg() << "</figure>\n"
      << "<figure id=\"clock-phase\">" << phases.Svg() << "</figure>\n"
      << "<figure id=\"tracking\">" << tracking.Svg() << "</figure>\n"
      << "<figure id=\"tracking-spectrum\">" << errorSpectrum.Svg() << "</figure>\n"
      << "</body>\n</html>\n";
    return s.str();
}

}  // namespace sim

namespace sim {

std::string SweepReportHtml(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows,
                            std::size_t gridColumns) {
    static const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2", "#7f7f7f"};
    const char* const figures[] = {"ber", "bit_errors", "eye_height", "eye_width_ui", "lock_bits", "clock_period_mean",
                                   "tracking_error_rms_ui"};
    auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    auto number = [](const std::string& text, double& value) {
        char* end = nullptr;
        value = std::strtod(text.c_str(), &end);
        return !text.empty() && end && *end == '\0' && std::isfinite(value);
    };
    std::ostringstream s;
    s << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>velkor-sim sweep</title>\n"
      << "<style>body{font-family:sans-serif;max-width:1340px;margin:2em auto;color:#222}"
      << "figure{display:inline-block;margin:0.5em}table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:2px 6px}</style>\n"
      << "</head>\n<body>\n<h1>Velkor_Rx sweep: " << rows.size() << " points</h1>\n<table>\n<tr>";
    for (const auto& h : header) s << "<th>" << Escape(h) << "</th>";
    s << "</tr>\n";
    for (const auto& row : rows) {
        s << "<tr>";
        for (const auto& v : row) s << "<td>" << Escape(v) << "</td>";
        s << "</tr>\n";
    }
    s << "</table>\n";
    // Each figure against each swept value; one line per combination of the other swept values.
    for (std::size_t g = 1; g <= gridColumns && g < header.size(); ++g) {
        std::vector<std::string> order;  // the swept values in the order they appear
        for (const auto& row : rows)
            if (std::find(order.begin(), order.end(), row[g]) == order.end()) order.push_back(row[g]);
        bool numericX = true;
        double x = 0;
        for (const auto& v : order) numericX = numericX && number(v, x);
        auto xOf = [&](const std::string& v) {
            double value = 0;
            if (numericX && number(v, value)) return value;
            return static_cast<double>(std::find(order.begin(), order.end(), v) - order.begin());
        };
        for (const char* figure : figures) {
            const std::size_t f = column(figure);
            if (f >= header.size()) continue;
            std::map<std::string, std::vector<std::pair<double, double>>> lines;
            double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
            const bool logY = std::string(figure) == "ber";
            for (const auto& row : rows) {
                double y = 0;
                if (row.size() != header.size() || !number(row[f], y)) continue;
                if (logY) {
                    if (y <= 0) continue;
                    y = std::log10(y);
                }
                std::string others;
                for (std::size_t k = 1; k <= gridColumns; ++k)
                    if (k != g) others += (others.empty() ? "" : ", ") + header[k] + "=" + row[k];
                const double xv = xOf(row[g]);
                lines[others].emplace_back(xv, y);
                x0 = std::min(x0, xv), x1 = std::max(x1, xv), y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
            if (lines.empty()) continue;
            if (logY) y0 = std::floor(y0), y1 = std::ceil(y1) + (std::ceil(y1) == std::floor(y0) ? 1 : 0);
            else {
                const double pad = std::max(1e-3 * std::fabs(y1), 0.1 * (y1 - y0));
                y0 -= pad, y1 += pad;
            }
            Plot plot(std::string(figure) + " against " + header[g], header[g] + (numericX ? "" : " (value number)"), figure,
                      x0 - 0.05 * std::max(x1 - x0, 1e-9), x1 + 0.05 * std::max(x1 - x0, 1e-9), y0, y1, logY);
            std::size_t colour = 0;
            for (auto& [label, points] : lines) {
                std::sort(points.begin(), points.end());
                plot.Line(points, kColours[colour % 8], colour < 8 ? (label.empty() ? std::string(figure) : label) : "");
                ++colour;
            }
            s << "<figure class=\"sweep\">" << plot.Svg() << "</figure>\n";
        }
    }
    s << "</body>\n</html>\n";
    return s.str();
}

}  // namespace sim

namespace sim {

std::string JtolReportHtml(const std::vector<JtolPoint>& points, const std::vector<std::pair<double, double>>& mask,
                           double targetBer, double resolution) {
    std::vector<std::pair<double, double>> curve, maskLine;
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    auto extend = [&](double x, double y) {
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    };
    for (const auto& p : points)
        if (p.amplitude > 0) {
            curve.emplace_back(std::log10(p.frequency), std::log10(p.amplitude));
            extend(curve.back().first, curve.back().second);
        }
    for (const auto& [f, a] : mask)
        if (a > 0) {
            maskLine.emplace_back(std::log10(f), std::log10(a));
            extend(maskLine.back().first, maskLine.back().second);
        }
    if (curve.empty() && maskLine.empty()) x0 = 4, x1 = 8, y0 = -2, y1 = 1;
    Plot plot("Jitter tolerance", "log10 SJ frequency (Hz)", "SJ amplitude (UI peak)", x0 - 0.2, x1 + 0.2,
              std::floor(y0 - 0.2), std::ceil(y1 + 0.2), true);
    if (!maskLine.empty()) plot.Line(maskLine, "#d62728", "mask", "6 4");
    plot.Line(curve, "#1f77b4", "largest SJ that passed");
    std::ostringstream s;
    s << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>velkor-sim jitter tolerance</title>\n"
      << "<style>body{font-family:sans-serif;max-width:1340px;margin:2em auto;color:#222}"
      << "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:2px 6px}</style>\n</head>\n<body>\n"
      << "<h1>Velkor_Rx jitter tolerance</h1>\n<p>Largest sinusoidal jitter at which the run locks, slips no edge and "
      << "counts a BER at or below " << Format("%g", targetBer) << ", by bisection to " << Format("%g", resolution)
      << " UI.</p>\n<figure id=\"jtol\">" << plot.Svg() << "</figure>\n<table>\n<tr><th>frequency (Hz)</th><th>amplitude (UI)</th>"
      << (mask.empty() ? "" : "<th>mask (UI)</th><th>verdict</th>") << "</tr>\n";
    for (const auto& p : points) {
        s << "<tr><td>" << Format("%g", p.frequency) << "</td><td>" << (p.capped ? "&ge; " : "") << Format("%.4g", p.amplitude)
          << "</td>";
        if (!mask.empty()) s << "<td>" << Format("%.4g", p.mask) << "</td><td>" << (p.amplitude >= p.mask ? "pass" : "fail") << "</td>";
        s << "</tr>\n";
    }
    s << "</table>\n</body>\n</html>\n";
    return s.str();
}

}  // namespace sim
