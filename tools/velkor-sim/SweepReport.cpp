// A sweep's report: its run conditions, its table, and each figure against each
// swept value.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <sstream>
#include <unordered_map>

#include "tools/velkor-sim/Plot.h"
#include "tools/velkor-sim/Report.h"
#include "tools/velkor-sim/Utf8.h"

namespace sim {

namespace {

bool AsNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return !text.empty() && end && *end == '\0' && std::isfinite(value);
}

struct Figure {
    const char* column;
    const char* label;
    double scale;  // of the value as written
    bool log;
};

// The values of one swept column in order, numeric ones by value and others in
// the order they first appear; each value's place on a category axis.
struct ColumnValues {
    bool numeric = true;
    std::vector<std::string> order;
    std::unordered_map<std::string, std::size_t> place;
};

ColumnValues ValuesOf(const std::vector<std::vector<std::string>>& rows, std::size_t column) {
    ColumnValues c;
    for (const auto& row : rows) {
        if (column >= row.size() || c.place.count(row[column])) continue;
        c.place.emplace(row[column], c.order.size());
        c.order.push_back(row[column]);
        double v = 0;
        c.numeric = c.numeric && AsNumber(row[column], v);
    }
    return c;
}

// Sorts labels of lines by the values they stand for: numbers by value, other
// values in the order the table gives them.
struct LineKey {
    std::vector<double> values;
    bool operator<(const LineKey& o) const { return values < o.values; }
};

}  // namespace

std::string SweepReportHtml(const std::vector<std::string>& header, const std::vector<std::vector<std::string>>& rows,
                            std::size_t gridColumns, const std::string& conditions) {
    static const char* const kColours[] = {"#1f77b4", "#d62728", "#2ca02c", "#9467bd", "#ff7f0e", "#8c564b", "#e377c2", "#7f7f7f"};
    const Figure figures[] = {
        {"ber", "BER", 1, true},
        {"bit_errors", "bit errors", 1, false},
        {"eye_height", "eye height (mV)", 1e3, false},
        {"eye_width_ui", "eye width (UI)", 1, false},
        {"lock_bits", "lock after (bits)", 1, false},
        {"clock_period_mean", "clock period (ps)", 1e12, false},
        {"tracking_error_rms_ui", "tracking error (UI rms)", 1, false},
    };
    auto column = [&](const std::string& name) {
        return static_cast<std::size_t>(std::find(header.begin(), header.end(), name) - header.begin());
    };
    std::vector<ColumnValues> swept;
    for (std::size_t g = 1; g <= gridColumns && g < header.size(); ++g) swept.push_back(ValuesOf(rows, g));
    auto rank = [&](std::size_t g, const std::string& v) {
        double x = 0;
        if (swept[g - 1].numeric && AsNumber(v, x)) return x;
        const auto it = swept[g - 1].place.find(v);
        return it == swept[g - 1].place.end() ? 0.0 : static_cast<double>(it->second);
    };
    std::ostringstream s;
    s << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>velkor-sim sweep</title>\n"
      << "<style>body{font-family:sans-serif;max-width:1340px;margin:2em auto;color:#222}"
      << "figure{display:inline-block;margin:0.5em}table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:2px 6px}"
      << "pre{background:#f4f4f4;padding:1em;white-space:pre-wrap}</style>\n"
      << "</head>\n<body>\n<h1>Velkor_Rx sweep: " << rows.size() << " points</h1>\n<h2>Run conditions</h2>\n<pre>"
      << EscapeHtml(ValidUtf8(conditions)) << "</pre>\n<p>A point that did not lock, or whose run failed, has no figures: its "
      << "fields are empty in the table and it is drawn as a cross at the bottom of each plot.</p>\n";
    // Each figure against each swept value; one line per combination of the other swept values.
    for (std::size_t g = 1; g <= gridColumns && g < header.size(); ++g) {
        const ColumnValues& xs = swept[g - 1];
        for (const Figure& figure : figures) {
            const std::size_t f = column(figure.column);
            if (f >= header.size()) continue;
            struct Line {
                std::string label;
                std::vector<std::pair<double, double>> points, below, missing;
            };
            std::map<LineKey, Line> lines;
            double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
            const std::size_t high = column("ber_high");
            for (const auto& row : rows) {
                if (row.size() != header.size()) continue;
                LineKey key;
                std::string label;
                for (std::size_t k = 1; k <= gridColumns; ++k)
                    if (k != g) {
                        key.values.push_back(rank(k, row[k]));
                        label += (label.empty() ? "" : ", ") + header[k] + "=" + row[k];
                    }
                Line& line = lines[key];
                line.label = label;
                const double xv = rank(g, row[g]);
                x0 = std::min(x0, xv), x1 = std::max(x1, xv);
                double y = 0;
                if (!AsNumber(row[f], y)) {
                    line.missing.emplace_back(xv, 0);
                    continue;
                }
                y *= figure.scale;
                if (figure.log) {
                    // No error counted: the 95 % upper limit, drawn as "below".
                    double limit = 0;
                    if (y <= 0 && high < row.size() && AsNumber(row[high], limit) && limit > 0) {
                        line.below.emplace_back(xv, std::log10(limit));
                        y0 = std::min(y0, std::log10(limit)), y1 = std::max(y1, std::log10(limit));
                        continue;
                    }
                    if (y <= 0) continue;
                    y = std::log10(y);
                }
                line.points.emplace_back(xv, y);
                y0 = std::min(y0, y), y1 = std::max(y1, y);
            }
            if (lines.empty()) continue;
            if (y0 > y1) y0 = 0, y1 = 1;
            if (figure.log) y0 = std::floor(y0), y1 = std::ceil(y1) + (std::ceil(y1) == std::floor(y0) ? 1 : 0);
            else {
                const double pad = std::max(1e-3 * std::fabs(y1), 0.1 * (y1 - y0));
                y0 -= pad, y1 += pad;
            }
            const double margin = 0.05 * std::max(x1 - x0, xs.numeric ? 1e-9 : 1.0);
            Plot plot(std::string(figure.label) + " against " + header[g], header[g], figure.label, x0 - margin,
                      x1 + margin, y0, y1, figure.log ? Axis::kLog : Axis::kLinear);
            if (!xs.numeric) plot.Categories(xs.order);
            else if (xs.order.size() <= 12) {  // ticks at the swept values themselves
                std::vector<double> at;
                for (const auto& v : xs.order) at.push_back(std::strtod(v.c_str(), nullptr));
                plot.XTicksAt(at);
            }
            std::size_t colour = 0;
            bool anyMeasured = false, belowNamed = false, missingNamed = false;
            // The lines first, then the markers, so that the legend lists the lines together.
            for (auto& [key, line] : lines) {
                std::sort(line.points.begin(), line.points.end());
                const char* c = kColours[colour % 8];
                plot.Line(line.points, c, colour < 8 ? (line.label.empty() ? std::string(figure.label) : line.label) : "");
                plot.Marks(line.points, Plot::Mark::kDot, c, "");
                anyMeasured = anyMeasured || !line.points.empty() || !line.below.empty();
                ++colour;
            }
            colour = 0;
            for (auto& [key, line] : lines) {
                const char* c = kColours[colour++ % 8];
                plot.Marks(line.below, Plot::Mark::kBelow, c, belowNamed ? "" : "no error: below the 95 % limit");
                plot.Marks(line.missing, Plot::Mark::kMissing, c, missingNamed ? "" : "not locked or failed");
                belowNamed = belowNamed || !line.below.empty();
                missingNamed = missingNamed || !line.missing.empty();
            }
            if (!anyMeasured) plot.Note("no point measured this figure");
            s << "<figure class=\"sweep\">" << plot.Svg() << "</figure>\n";
        }
    }
    s << "<h2>Table</h2>\n<table>\n<tr>";
    for (const auto& h : header) s << "<th>" << EscapeHtml(ValidUtf8(h)) << "</th>";
    s << "</tr>\n";
    for (const auto& row : rows) {
        s << "<tr>";
        for (const auto& v : row) s << "<td>" << EscapeHtml(ValidUtf8(v)) << "</td>";
        s << "</tr>\n";
    }
    s << "</table>\n</body>\n</html>\n";
    return s.str();
}

}  // namespace sim
