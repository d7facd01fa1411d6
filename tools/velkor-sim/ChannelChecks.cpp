#include "tools/velkor-sim/ChannelChecks.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

#include "tools/velkor-sim/InputFile.h"

namespace sim {

double LargestPowerGain2x2(const Network& net, std::size_t k) {
    // S^H S = [[p, q], [conj(q), r]]: its larger eigenvalue in closed form.
    const auto a = net.S(k, 0, 0), b = net.S(k, 0, 1), c = net.S(k, 1, 0), d = net.S(k, 1, 1);
    const double p = std::norm(a) + std::norm(c), r = std::norm(b) + std::norm(d);
    const std::complex<double> q = std::conj(a) * b + std::conj(c) * d;
    return 0.5 * (p + r) + std::sqrt(0.25 * (p - r) * (p - r) + std::norm(q));
}

double LargestPowerGain(const Network& net, std::size_t k) {
    const auto n = static_cast<std::size_t>(net.ports);
    if (n == 1) return std::norm(net.S(k, 0, 0));
    if (n == 2) return LargestPowerGain2x2(net, k);
    std::vector<std::complex<double>> m(n * n, 0.0);  // S^H S
    for (std::size_t i = 0; i < n; ++i)
        for (std::size_t j = 0; j < n; ++j)
            for (std::size_t l = 0; l < n; ++l)
                m[i * n + j] += std::conj(net.S(k, static_cast<int>(l), static_cast<int>(i))) *
                                net.S(k, static_cast<int>(l), static_cast<int>(j));
    // Power iteration from a vector with a share of every direction; the
    // Rayleigh quotient never exceeds the largest eigenvalue.
    std::vector<std::complex<double>> v(n), w(n);
    for (std::size_t i = 0; i < n; ++i) v[i] = std::complex<double>(1.0 + 0.1 * static_cast<double>(i), 0.3);
    double lambda = 0;
    for (int iteration = 0; iteration < 200; ++iteration) {
        double norm = 0;
        for (const auto& x : v) norm += std::norm(x);
        norm = std::sqrt(norm);
        if (norm == 0) return 0;
        for (auto& x : v) x /= norm;
        std::fill(w.begin(), w.end(), 0.0);
        for (std::size_t i = 0; i < n; ++i)
            for (std::size_t j = 0; j < n; ++j) w[i] += m[i * n + j] * v[j];
        std::complex<double> quotient = 0;
        for (std::size_t i = 0; i < n; ++i) quotient += std::conj(v[i]) * w[i];
        const double next = quotient.real();
        v.swap(w);
        if (iteration > 10 && std::fabs(next - lambda) <= 1e-12 * std::max(1.0, next)) return next;
        lambda = next;
    }
    return lambda;
}

std::string PassivityWarning(const Network& net, const std::string& name) {
    double worst = 0, worstAt = 0, from = -1, to = -1;
    for (std::size_t k = 0; k < net.frequency.size(); ++k) {
        const double gain = LargestPowerGain(net, k);
        if (gain <= 1 + kPassivityTolerance) continue;
        if (from < 0) from = net.frequency[k];
        to = net.frequency[k];
        if (gain > worst) worst = gain, worstAt = net.frequency[k];
    }
    if (from < 0) return "";
    char text[320];
    std::snprintf(text, sizeof text,
                  "%s is not passive from %.4g to %.4g GHz: the largest eigenvalue of S^H S reaches %.3f at %.4g GHz "
                  "(a passive network stays at or below 1); the data are used as given",
                  Printable(name).c_str(), from / 1e9, to / 1e9, worst, worstAt / 1e9);
    return text;
}

bool CheckTransmission(const TransferSamples& data, const std::string& what, const std::string& name,
                       std::string& error) {
    double largest = 0;
    for (const auto& v : data.value) largest = std::max(largest, std::abs(v));
    if (largest >= kVanishingTransmission) return true;
    char text[64];
    std::snprintf(text, sizeof text, "%.3g", largest);
    error = what + " is zero: check the port order (--ports); its largest magnitude in '" + Printable(name) + "' is " + text;
    return false;
}

}  // namespace sim
