// A plot with axes as inline SVG, for the reports. Logarithmic axes take the
// decimal logarithms of the values and are labelled with the values themselves
// on 1-2-5 steps, or decades when they span more (in Hz with a unit prefix where
// the axis is a frequency); a category axis names its positions 0, 1, 2 ... with
// texts. The legend sits below the plot, where it covers no data.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace sim {

enum class Axis { kLinear, kLog, kLogHz };

// One number through a printf format, for the reports' texts.
std::string Format(const char* format, double value);

// A number with the digits a tick spacing of `step` needs, and no more.
std::string TickLabel(double value, double step);
// A frequency with its unit prefix: "300 kHz", "1.5 MHz".
std::string HzLabel(double hz);

class Plot {
public:
    Plot(std::string title, std::string xLabel, std::string yLabel, double x0, double x1, double y0, double y1,
         Axis yAxis = Axis::kLinear, Axis xAxis = Axis::kLinear);
    // Texts for the x positions 0, 1, 2 ... instead of numbers.
    void Categories(std::vector<std::string> names) { categories_ = std::move(names); }
    // Ticks at these x values alone (a few swept values), each labelled with its value.
    void XTicksAt(std::vector<double> values) { xValues_ = std::move(values); }
    // Room on the right of the plot area (for a colour scale).
    void RightMargin(int pixels) { right_ = pixels; }

    double X(double x) const;
    double Y(double y) const;
    void Line(const std::vector<std::pair<double, double>>& points, const char* colour, const std::string& label,
              const char* dash = nullptr);
    // Discrete values: held until the next point.
    void Steps(const std::vector<std::pair<double, double>>& points, double xEnd, const char* colour,
               const std::string& label);
    enum class Mark { kDot, kAtLeast, kMissing, kBelow };
    // Markers without a line: measured dots, "at least" (an upward triangle), a
    // missing value (a cross at the bottom of the plot) and "below" (a downward triangle).
    void Marks(const std::vector<std::pair<double, double>>& points, Mark mark, const char* colour,
               const std::string& label);
    // A dashed vertical line, its label in row `row` from the bottom (markers close together stagger them).
    void Marker(double x, const std::string& label, int row = 0);
    // A text in the middle of the plot area, for a figure without data.
    void Note(const std::string& text);
    void Raw(const std::string& svg) { body_ += svg; }
    std::string Svg() const;

    static constexpr int kWidth = 640, kHeight = 400, kLeft = 80, kTop = 34, kBottom = 50;
    int Right() const { return kWidth - right_; }

private:
    struct LegendEntry {
        std::string label, colour, dash;
        Mark mark;
        bool line;
    };
    std::string Ticks(bool vertical) const;
    std::string MarkSvg(double x, double y, Mark mark, const std::string& colour) const;
    std::string title_, xLabel_, yLabel_, body_, note_;
    double x0_, x1_, y0_, y1_;
    Axis yAxis_, xAxis_;
    int right_ = 20;
    std::vector<std::string> categories_;
    std::vector<double> xValues_;
    std::vector<LegendEntry> legend_;
};

// Text made safe for HTML and SVG.
std::string EscapeHtml(const std::string& text);

}  // namespace sim
