#include "tools/velkor-sim/Transmitter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "tools/velkor-sim/Fft.h"

namespace sim {

namespace {

constexpr std::size_t kMaxFfeTaps = 32;
// A Gaussian edge rises from 20 % to 80 % in 2 * 0.8416 sigma.
constexpr double kRiseSigmas = 2 * 0.8416212335729143;

std::string Number(double v) {
    char text[32];
    std::snprintf(text, sizeof text, "%.4g", v);
    return text;
}

}  // namespace

bool ParseFfe(const std::string& text, TransmitterShape& shape, std::string& error) {
    shape.ffe.clear();
    std::stringstream list(text);
    std::string item;
    double sum = 0;
    while (std::getline(list, item, ',')) {
        char* end = nullptr;
        const double v = std::strtod(item.c_str(), &end);
        if (item.empty() || *end != '\0' || !std::isfinite(v) || std::fabs(v) > 1e3 || shape.ffe.size() >= kMaxFfeTaps) {
            error = "--tx-ffe needs up to 32 comma-separated tap weights, e.g. -0.1,0.7,-0.2; got '" + text + "'";
            return false;
        }
        shape.ffe.push_back(v);
        sum += std::fabs(v);
    }
    if (shape.ffe.empty() || !(sum > 0)) {
        error = "--tx-ffe needs at least one tap that is not zero; got '" + text + "'";
        return false;
    }
    shape.mainCursor = 0;
    for (std::size_t i = 0; i < shape.ffe.size(); ++i)
        if (std::fabs(shape.ffe[i]) > std::fabs(shape.ffe[static_cast<std::size_t>(shape.mainCursor)]))
            shape.mainCursor = static_cast<int>(i);
    shape.note.clear();
    if (std::fabs(sum - 1) > 1e-9) {
        for (double& v : shape.ffe) v /= sum;
        shape.note = "taps scaled by 1/" + Number(sum) + " so that their magnitudes sum to 1";
    }
    return true;
}

std::vector<double> ShapeResponse(const std::vector<double>& taps, const TransmitterShape& shape, int samplesPerBit,
                                  double dt) {
    std::vector<double> h = taps;
    if (!shape.ffe.empty()) {
        std::vector<double> ffe((shape.ffe.size() - 1) * static_cast<std::size_t>(samplesPerBit) + 1, 0.0);
        for (std::size_t i = 0; i < shape.ffe.size(); ++i) ffe[i * static_cast<std::size_t>(samplesPerBit)] = shape.ffe[i];
        h = ConvolveFull(h, ffe);
    }
    if (shape.riseTime > 0) {
        const double sigma = shape.riseTime / kRiseSigmas / dt;  // in samples
        const auto half = static_cast<std::size_t>(std::ceil(4 * sigma));
        std::vector<double> edge(2 * half + 1);
        double sum = 0;
        for (std::size_t i = 0; i < edge.size(); ++i) {
            const double x = (static_cast<double>(i) - static_cast<double>(half)) / sigma;
            edge[i] = std::exp(-0.5 * x * x);
            sum += edge[i];
        }
        for (double& v : edge) v /= sum;
        h = ConvolveFull(h, edge);
    }
    return h;
}

std::string DescribeTransmitter(const TransmitterShape& shape) {
    std::string text;
    if (!shape.ffe.empty()) {
        text = "FFE";
        for (std::size_t i = 0; i < shape.ffe.size(); ++i) {
            const int k = static_cast<int>(i) - shape.mainCursor;
            text += (i ? ", " : " ") + std::string(k < 0 ? "pre " + std::to_string(-k) : k > 0 ? "post " + std::to_string(k) : "main") +
                    " " + Number(shape.ffe[i]);
        }
        if (!shape.note.empty()) text += " (" + shape.note + ")";
    }
    if (shape.riseTime > 0)
        text += (text.empty() ? "" : "; ") + std::string("rise time ") + Number(shape.riseTime * 1e12) +
                " ps (20-80 %, Gaussian edge)";
    return text;
}

}  // namespace sim
