#include "tools/velkor-sim/Plot.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

namespace sim {

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

namespace {

std::string Px(double v) { return Format("%.1f", v); }

// About `wanted` ticks on 1-2-5 steps inside [lo, hi].
std::vector<double> LinearTicks(double lo, double hi, int wanted, double& step) {
    const double raw = (hi - lo) / wanted;
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    step = 10 * decade;
    for (double m : {1.0, 2.0, 5.0})
        if (m * decade >= raw) {
            step = m * decade;
            break;
        }
    std::vector<double> at;
    for (double k = std::ceil(lo / step - 1e-9); k * step <= hi + 1e-9 * step; k += 1) at.push_back(k * step);
    return at;
}

// Ticks of a logarithmic axis (values are decimal logarithms): labelled 1-2-5
// steps while the axis spans two decades or less; beyond, labelled decades (every
// n-th past eight) with unlabelled lines at 2 and 5 between them.
struct LogTick {
    double at;
    bool labelled;
};
std::vector<LogTick> LogTicks(double lo, double hi) {
    std::vector<LogTick> at;
    const double span = hi - lo;
    const int every = span > 8 ? static_cast<int>(std::ceil(span / 8)) : 1;
    for (int e = static_cast<int>(std::floor(lo)); e <= static_cast<int>(std::ceil(hi)); ++e)
        for (double m : {1.0, 1.5, 2.0, 3.0, 5.0, 7.0}) {
            const bool fine = m == 1.5 || m == 3.0 || m == 7.0;
            if ((fine && span > 1.2) || (m != 1 && span > 6) || (m == 1 && e % every != 0)) continue;
            const double v = e + std::log10(m);
            if (v >= lo - 1e-9 && v <= hi + 1e-9) at.push_back({v, m == 1 || span <= 2.2});
        }
    return at;
}

std::string LogLabel(double logValue, Axis axis) {
    const double v = std::pow(10.0, logValue);
    if (axis == Axis::kLogHz) return HzLabel(v);
    const int e = static_cast<int>(std::floor(logValue + 1e-9));
    if (e >= 4 || e <= -4) return Format("%.2g", v);
    return Format("%.3g", v);
}

}  // namespace

std::string EscapeHtml(const std::string& s) {
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

std::string TickLabel(double value, double step) {
    if (std::fabs(value) < 1e-6 * step) return "0";
    const int decimals = std::max(0, -static_cast<int>(std::floor(std::log10(step) + 1e-9)));
    const double magnitude = std::fabs(value);
    if (decimals <= 4 && magnitude < 1e6) return Format(("%." + std::to_string(decimals) + "f").c_str(), value);
    // Very small or very large: as many significant digits as the step needs.
    const int digits = std::max(1, static_cast<int>(std::floor(std::log10(magnitude) + 1e-9) -
                                                    std::floor(std::log10(step) + 1e-9)) + 1);
    return Format(("%." + std::to_string(std::min(digits, 15) - 1) + "e").c_str(), value);
}

std::string HzLabel(double hz) {
    const struct {
        double scale;
        const char* unit;
    } units[] = {{1e9, "GHz"}, {1e6, "MHz"}, {1e3, "kHz"}, {1, "Hz"}};
    for (const auto& u : units)
        if (std::fabs(hz) >= u.scale * 0.9999) return Format("%.4g", hz / u.scale) + " " + u.unit;
    return Format("%.3g", hz) + " Hz";
}

Plot::Plot(std::string title, std::string xLabel, std::string yLabel, double x0, double x1, double y0, double y1,
           Axis yAxis, Axis xAxis)
    : title_(std::move(title)), xLabel_(std::move(xLabel)), yLabel_(std::move(yLabel)), x0_(x0), x1_(x1), y0_(y0),
      y1_(y1), yAxis_(yAxis), xAxis_(xAxis) {
    // An empty or degenerate range (one value) gets room around it, so that its
    // ticks are not spaced finer than the numbers can say.
    auto widen = [](double& lo, double& hi) {
        if (!std::isfinite(lo) || !std::isfinite(hi)) lo = 0, hi = 1;
        const double size = std::max(std::fabs(lo), std::fabs(hi));
        if (hi - lo > 1e-9 * size && hi > lo) return;
        const double half = size > 0 ? 0.05 * size : 0.5;
        const double centre = 0.5 * (lo + hi);
        lo = centre - half;
        hi = centre + half;
    };
    widen(x0_, x1_);
    widen(y0_, y1_);
}

double Plot::X(double x) const { return kLeft + (x - x0_) / (x1_ - x0_) * (Right() - kLeft); }

double Plot::Y(double y) const {
    y = std::clamp(y, y0_, y1_);
    return kHeight - kBottom - (y - y0_) / (y1_ - y0_) * (kHeight - kTop - kBottom);
}

void Plot::Line(const std::vector<std::pair<double, double>>& points, const char* colour, const std::string& label,
                const char* dash) {
    std::string p;
    for (const auto& [x, y] : points) p += Px(X(x)) + "," + Px(Y(y)) + " ";
    body_ += "<polyline fill=\"none\" stroke=\"" + std::string(colour) + "\" stroke-width=\"1.5\"" +
             (dash ? std::string(" stroke-dasharray=\"") + dash + "\"" : "") + " points=\"" + p + "\"/>\n";
    if (!label.empty()) legend_.push_back({label, colour, dash ? dash : "", Mark::kDot, true});
}

void Plot::Steps(const std::vector<std::pair<double, double>>& points, double xEnd, const char* colour,
                 const std::string& label) {
    std::vector<std::pair<double, double>> held;
    for (std::size_t i = 0; i < points.size(); ++i) {
        held.push_back(points[i]);
        held.emplace_back(i + 1 < points.size() ? points[i + 1].first : xEnd, points[i].second);
    }
    Line(held, colour, label);
}

std::string Plot::MarkSvg(double x, double y, Mark mark, const std::string& colour) const {
    switch (mark) {
        case Mark::kDot:
            return "<circle cx=\"" + Px(x) + "\" cy=\"" + Px(y) + "\" r=\"3.5\" fill=\"" + colour + "\"/>\n";
        case Mark::kAtLeast:
            return "<polygon points=\"" + Px(x) + "," + Px(y - 6) + " " + Px(x - 5) + "," + Px(y + 3) + " " + Px(x + 5) +
                   "," + Px(y + 3) + "\" fill=\"white\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>\n";
        case Mark::kBelow:
            return "<polygon points=\"" + Px(x) + "," + Px(y + 6) + " " + Px(x - 5) + "," + Px(y - 3) + " " + Px(x + 5) +
                   "," + Px(y - 3) + "\" fill=\"white\" stroke=\"" + colour + "\" stroke-width=\"1.5\"/>\n";
        case Mark::kMissing:
            return "<path d=\"M" + Px(x - 4) + "," + Px(y - 4) + " L" + Px(x + 4) + "," + Px(y + 4) + " M" + Px(x - 4) +
                   "," + Px(y + 4) + " L" + Px(x + 4) + "," + Px(y - 4) + "\" stroke=\"" + colour +
                   "\" stroke-width=\"2\"/>\n";
    }
    return "";
}

void Plot::Marks(const std::vector<std::pair<double, double>>& points, Mark mark, const char* colour,
                 const std::string& label) {
    for (const auto& [x, y] : points)
        body_ += MarkSvg(X(x), mark == Mark::kMissing ? kHeight - kBottom - 8 : Y(y), mark, colour);
    if (!label.empty() && !points.empty()) legend_.push_back({label, colour, "", mark, false});
}

void Plot::Marker(double x, const std::string& label, int row) {
    body_ += "<line x1=\"" + Px(X(x)) + "\" y1=\"" + std::to_string(kTop) + "\" x2=\"" + Px(X(x)) + "\" y2=\"" +
             std::to_string(kHeight - kBottom) + "\" stroke=\"#444\" stroke-dasharray=\"4 3\"/>\n<text x=\"" +
             Px(X(x) + 4) + "\" y=\"" + std::to_string(kHeight - kBottom - 6 - 14 * row) + "\" font-size=\"11\">" +
             EscapeHtml(label) + "</text>\n";
}

void Plot::Note(const std::string& text) { note_ += (note_.empty() ? "" : "\n") + text; }

std::string Plot::Ticks(bool vertical) const {
    const Axis axis = vertical ? yAxis_ : xAxis_;
    const double lo = vertical ? y0_ : x0_, hi = vertical ? y1_ : x1_;
    std::vector<std::pair<double, std::string>> ticks;
    if (!vertical && !categories_.empty()) {
        const std::size_t every = (categories_.size() + 19) / 20;  // about 20 names at most, readable
        for (std::size_t k = 0; k < categories_.size(); k += every)
            if (static_cast<double>(k) >= lo && static_cast<double>(k) <= hi)
                ticks.emplace_back(static_cast<double>(k), categories_[k]);
    } else if (!vertical && !xValues_.empty()) {
        for (double v : xValues_) ticks.emplace_back(v, Format("%g", v));
    } else if (axis == Axis::kLinear) {
        double step = 1;
        for (double v : LinearTicks(lo, hi, 5, step)) ticks.emplace_back(v, TickLabel(v, step));
    } else {
        for (const LogTick& t : LogTicks(lo, hi)) ticks.emplace_back(t.at, t.labelled ? LogLabel(t.at, axis) : "");
    }
    std::ostringstream s;
    for (const auto& [v, label] : ticks) {
        if (vertical)
            s << "<line x1=\"" << kLeft << "\" y1=\"" << Px(Y(v)) << "\" x2=\"" << Right() << "\" y2=\"" << Px(Y(v))
              << "\" stroke=\"#ddd\"/>\n<text x=\"" << kLeft - 6 << "\" y=\"" << Px(Y(v) + 4)
              << "\" text-anchor=\"end\">" << EscapeHtml(label) << "</text>\n";
        else
            s << "<line x1=\"" << Px(X(v)) << "\" y1=\"" << kTop << "\" x2=\"" << Px(X(v)) << "\" y2=\""
              << kHeight - kBottom << "\" stroke=\"#ddd\"/>\n<text x=\"" << Px(X(v)) << "\" y=\""
              << kHeight - kBottom + 16 << "\" text-anchor=\"middle\">" << EscapeHtml(label) << "</text>\n";
    }
    return s.str();
}

std::string Plot::Svg() const {
    // The legend below the plot: two columns, or one when a label is long.
    std::size_t longest = 0;
    for (const auto& e : legend_) longest = std::max(longest, e.label.size());
    const int columns = longest > 40 ? 1 : 2;
    const int rows = (static_cast<int>(legend_.size()) + columns - 1) / columns;
    const int height = kHeight + (rows ? 16 * rows + 6 : 0);
    std::ostringstream s;
    s << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"" << kWidth << "\" height=\"" << height
      << "\" font-family=\"sans-serif\" font-size=\"12\">\n"
      << "<rect width=\"" << kWidth << "\" height=\"" << height << "\" fill=\"white\"/>\n"
      << "<text x=\"" << kWidth / 2 << "\" y=\"20\" text-anchor=\"middle\" font-size=\"15\">" << EscapeHtml(title_)
      << "</text>\n"
      << Ticks(false) << Ticks(true) << body_;
    s << "<rect x=\"" << kLeft << "\" y=\"" << kTop << "\" width=\"" << Right() - kLeft << "\" height=\""
      << kHeight - kTop - kBottom << "\" fill=\"none\" stroke=\"black\"/>\n";
    s << "<text x=\"" << (kLeft + Right()) / 2 << "\" y=\"" << kHeight - 14 << "\" text-anchor=\"middle\">"
      << EscapeHtml(xLabel_) << "</text>\n<text transform=\"translate(14," << (kTop + kHeight - kBottom) / 2
      << ") rotate(-90)\" text-anchor=\"middle\">" << EscapeHtml(yLabel_) << "</text>\n";
    if (!note_.empty()) {
        std::istringstream lines(note_);
        std::string line;
        for (int k = 0; std::getline(lines, line); ++k)
            s << "<text class=\"note\" x=\"" << (kLeft + Right()) / 2 << "\" y=\"" << (kTop + kHeight - kBottom) / 2 + 18 * k
              << "\" text-anchor=\"middle\" fill=\"#555\" font-style=\"italic\">" << EscapeHtml(line) << "</text>\n";
    }
    const int columnWidth = (kWidth - kLeft) / columns;
    for (std::size_t i = 0; i < legend_.size(); ++i) {
        const int x = kLeft + columnWidth * (static_cast<int>(i) % columns);
        const int y = kHeight + 4 + 16 * (static_cast<int>(i) / columns);
        if (legend_[i].line)
            s << "<line x1=\"" << x << "\" y1=\"" << y << "\" x2=\"" << x + 25 << "\" y2=\"" << y << "\" stroke=\""
              << legend_[i].colour << "\" stroke-width=\"2\""
              << (legend_[i].dash.empty() ? "" : " stroke-dasharray=\"" + legend_[i].dash + "\"") << "/>\n";
        else
            s << MarkSvg(x + 12, y, legend_[i].mark, legend_[i].colour);
        s << "<text x=\"" << x + 30 << "\" y=\"" << y + 4 << "\">" << EscapeHtml(legend_[i].label) << "</text>\n";
    }
    s << "</svg>\n";
    return s.str();
}

}  // namespace sim
