// A jitter-tolerance report: the curve with measured points, points that
// passed at the largest amplitude tried (at least that), points not measured,
// the mask, the run conditions and the table.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <sstream>

#include "tools/velkor-sim/Plot.h"
#include "tools/velkor-sim/Report.h"
#include "tools/velkor-sim/Utf8.h"

namespace sim {

namespace {

std::string FailedByText(const std::string& reason) {
    if (reason == "ber") return "BER above the target";
    if (reason == "lock") return "lock lost (slips, or no lock kept)";
    return reason;
}

}  // namespace

std::string MaskVerdict(const JtolPoint& p) {
    const bool lowerBound = p.capped || p.stopped;  // the tolerance is this amplitude or more
    if (p.stopped && p.amplitude > 0 && p.amplitude >= p.mask) return "pass";
    if (!p.measured) return "unknown";
    if (p.amplitude >= p.mask) return "pass";
    return lowerBound ? "unknown" : "fail";
}

std::string JtolReportHtml(const std::vector<JtolPoint>& points, const std::vector<std::pair<double, double>>& mask,
                           double targetBer, double resolution, const std::string& conditions) {
    std::vector<std::pair<double, double>> curve, capped, zero, missing, partial, maskLine;
    double x0 = 1e300, x1 = -1e300, y0 = 1e300, y1 = -1e300;
    auto extend = [&](double x, double y) {
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
    };
    for (const auto& p : points) {
        const double x = std::log10(p.frequency);
        if (p.stopped && p.amplitude > 0) {
            partial.emplace_back(x, std::log10(p.amplitude));  // the largest that passed before the stop
            extend(x, partial.back().second);
        } else if (!p.measured) {
            missing.emplace_back(x, 0);
            x0 = std::min(x0, x), x1 = std::max(x1, x);
        } else if (p.amplitude <= 0) {
            zero.emplace_back(x, std::log10(resolution));  // failed even the smallest amplitude tried
            extend(x, zero.back().second);
        } else {
            (p.capped ? capped : curve).emplace_back(x, std::log10(p.amplitude));
            extend(x, std::log10(p.amplitude));
        }
    }
    for (const auto& [f, a] : mask)
        if (a > 0) {
            maskLine.emplace_back(std::log10(f), std::log10(a));
            extend(maskLine.back().first, maskLine.back().second);
        }
    if (x0 > x1) x0 = 4, x1 = 8;
    if (y0 > y1) y0 = -2, y1 = 1;
    Plot plot("Jitter tolerance", "SJ frequency", "SJ amplitude (UI peak)", x0 - 0.15, x1 + 0.15,
              std::floor(y0 - 0.1), std::ceil(y1 + 0.1), Axis::kLog, Axis::kLogHz);
    if (!maskLine.empty()) plot.Line(maskLine, "#d62728", "mask", "6 4");
    // The curve joins the measured points and the capped ones (as their lower bound).
    std::vector<std::pair<double, double>> joined = curve;
    joined.insert(joined.end(), capped.begin(), capped.end());
    std::sort(joined.begin(), joined.end());
    plot.Line(joined, "#1f77b4", "");
    plot.Marks(curve, Plot::Mark::kDot, "#1f77b4", "largest SJ that passed");
    plot.Marks(capped, Plot::Mark::kAtLeast, "#1f77b4", "passed the largest SJ tried: at least");
    plot.Marks(zero, Plot::Mark::kBelow, "#1f77b4", "failed down to the resolution");
    plot.Marks(partial, Plot::Mark::kAtLeast, "#7f7f7f", "search stopped: at least the largest SJ passed");
    plot.Marks(missing, Plot::Mark::kMissing, "#7f7f7f", "not measured");
    if (curve.empty() && capped.empty() && zero.empty() && partial.empty()) plot.Note("no frequency was measured");
    std::ostringstream s;
    s << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\"/>\n<title>velkor-sim jitter tolerance</title>\n"
      << "<style>body{font-family:sans-serif;max-width:1340px;margin:2em auto;color:#222}"
      << "table{border-collapse:collapse}td,th{border:1px solid #ccc;padding:2px 6px}"
      << "pre{background:#f4f4f4;padding:1em;white-space:pre-wrap}</style>\n</head>\n<body>\n"
      << "<h1>Velkor_Rx jitter tolerance</h1>\n<p>Largest sinusoidal jitter at which the link keeps the lock it "
      << "acquired before the SJ started (no clock edge slipped) and counts a BER at or below "
      << Format("%g", targetBer) << ", by bisection to " << Format("%g", resolution)
      << " UI. A point that passed at the largest SJ tried is a lower bound (&ge;).</p>\n<h2>Run conditions</h2>\n<pre>"
      << EscapeHtml(ValidUtf8(conditions)) << "</pre>\n<figure id=\"jtol\">" << plot.Svg() << "</figure>\n"
      << "<table>\n<tr><th>frequency</th><th>amplitude (UI)</th><th>smallest failing run failed by</th>"
      << (mask.empty() ? "" : "<th>mask (UI)</th><th>verdict</th>") << "</tr>\n";
    for (const auto& p : points) {
        s << "<tr><td>" << HzLabel(p.frequency) << "</td><td>";
        if (p.stopped && p.amplitude > 0) s << "&ge; " << Format("%.4g", p.amplitude) << " (" << EscapeHtml(ValidUtf8(p.note)) << ")";
        else if (!p.measured) s << "not measured: " << EscapeHtml(ValidUtf8(p.note));
        else s << (p.capped ? "&ge; " : "") << Format("%.4g", p.amplitude);
        s << "</td><td>" << EscapeHtml(FailedByText(p.failedBy)) << "</td>";
        if (!mask.empty())
            s << "<td>" << Format("%.4g", p.mask) << "</td><td>"
              << MaskVerdict(p) << "</td>";
        s << "</tr>\n";
    }
    s << "</table>\n</body>\n</html>\n";
    return s.str();
}

}  // namespace sim
