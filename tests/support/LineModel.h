// Channels from a physical model, for the tests: a transmission line with
// causal losses (skin effect R_dc + K sqrt(jf) and a Djordjevic-Sarkar
// dielectric), its S-parameters against a reference resistance, a coupled
// differential pair as a 4-port from its even and odd modes, and Touchstone
// files of them written the ways tools export them.
#pragma once

#include <cmath>
#include <complex>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace line {

using Complex = std::complex<double>;
constexpr double kPi = 3.141592653589793;

struct Line {
    double delay = 2e-9;       // flight time at high frequency, s
    double z0 = 50;            // characteristic impedance at high frequency, ohm
    double lossScale = 1;      // conductor and dielectric loss per unit of delay (1: a lossy FR4 trace)
    double epsilon = 4.0;      // relative permittivity at high frequency
};

// Series impedance and shunt admittance of the whole line (length folded in).
inline void SeriesAndShunt(const Line& l, double f, Complex& z, Complex& y) {
    const double w = 2 * kPi * f;
    // Per whole line: L and C from the delay and impedance, the resistance in
    // proportion to the length (the delay), so that halves of a line cascade to it.
    const double inductance = l.delay * l.z0, capacitance = l.delay / l.z0;
    const Complex jf(0, f / 1e9);
    z = l.lossScale * l.delay / 2e-9 * (0.3 + 4.5 * std::sqrt(jf)) + Complex(0, w * inductance);
    // Djordjevic-Sarkar: eps(w) = eps_inf + d/(m2-m1) * log10((w2 + jw) / (w1 + jw)), tan(delta) about 0.018.
    const double w1 = 2 * kPi * 1e3, w2 = 2 * kPi * 1e12, d = 0.36 * l.lossScale;
    const Complex eps = l.epsilon + d / std::log10(w2 / w1) * std::log10((w2 + Complex(0, w)) / (w1 + Complex(0, w)));
    y = Complex(0, w) * capacitance * eps / l.epsilon;
}

// S11, S21 of the line (symmetric and reciprocal: S22 = S11, S12 = S21),
// written with exp(-gamma) so that long lossy lines do not overflow.
inline void LineS(const Line& l, double f, double r0, Complex& s11, Complex& s21) {
    if (f == 0) f = 1e-3;
    Complex z, y;
    SeriesAndShunt(l, f, z, y);
    Complex gamma = std::sqrt(z * y);
    if (gamma.real() < 0) gamma = -gamma;
    const Complex zc = std::sqrt(z / y);
    const Complex e = std::exp(-gamma), e2 = e * e;
    const Complex sum = zc / r0 + r0 / zc, difference = zc / r0 - r0 / zc;
    const Complex denominator = (1.0 + e2) + 0.5 * (1.0 - e2) * sum;
    s21 = 2.0 * e / denominator;
    s11 = 0.5 * (1.0 - e2) * difference / denominator;
}

// The line of that delay whose loss at `frequency` is `lossDb` (its loss scale
// found by bisection).
inline Line LineWithLoss(double delay, double lossDb, double frequency, double z0 = 50) {
    double lo = 0, hi = 1;
    auto loss = [&](double scale) {
        Complex s11, s21;
        LineS(Line{delay, z0, scale, 4.0}, frequency, 50, s11, s21);
        return -20 * std::log10(std::abs(s21));
    };
    while (loss(hi) < lossDb) hi *= 2;
    for (int i = 0; i < 60; ++i) (loss(0.5 * (lo + hi)) < lossDb ? lo : hi) = 0.5 * (lo + hi);
    return Line{delay, z0, 0.5 * (lo + hi), 4.0};
}

// A 4-port S-matrix (row-major) at one frequency.
using Matrix4 = std::vector<Complex>;

// A coupled pair from its even and odd modes: lines A and B, near ends a and b,
// far ends c and d. `order` gives the file's port of (A near, B near, A far, B far).
inline Matrix4 PairS(const Line& even, const Line& odd, double f, double r0, const int order[4]) {
    Complex e11, e21, o11, o21;
    LineS(even, f, r0, e11, e21);
    LineS(odd, f, r0, o11, o21);
    // Modal S between ends: same line (e+o)/2, other line (e-o)/2.
    const Complex refl[2] = {0.5 * (e11 + o11), 0.5 * (e11 - o11)};
    const Complex thru[2] = {0.5 * (e21 + o21), 0.5 * (e21 - o21)};
    Matrix4 m(16);
    // Ends 0: A near, 1: B near, 2: A far, 3: B far.
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j) {
            const bool sameSide = (i < 2) == (j < 2);
            const int other = (i % 2) != (j % 2);
            m[static_cast<std::size_t>(order[i] * 4 + order[j])] = sameSide ? refl[other] : thru[other];
        }
    return m;
}

// Writes a Touchstone file. `matrix(f)` gives the ports x ports S-matrix
// (row-major). version 1 or 2; format "RI", "MA" or "DB"; unit "HZ", "MHZ" or
// "GHZ"; matrixFormat "Full", "Lower" or "Upper" (version 2 only);
// twoPortOrder "12_21" or "21_12" (version 2 only).
struct TouchstoneStyle {
    int version = 1;
    std::string format = "RI", unit = "GHZ", matrixFormat = "Full", twoPortOrder = "21_12";
    double reference = 50;
};

inline void WriteTouchstone(const std::string& path, int ports, const std::vector<double>& frequencies,
                            const std::function<std::vector<Complex>(double)>& matrix, const TouchstoneStyle& style) {
    std::ofstream out(path);
    const double scale = style.unit == "HZ" ? 1 : style.unit == "MHZ" ? 1e6 : 1e9;
    out << "! written by the tests' line model\n";
    if (style.version == 2) {
        out << "[Version] 2.0\n# " << style.unit << " S " << style.format << " R " << style.reference << "\n";
        out << "[Number of Ports] " << ports << "\n";
        if (ports == 2) out << "[Two-Port Data Order] " << style.twoPortOrder << "\n";
        out << "[Number of Frequencies] " << frequencies.size() << "\n[Matrix Format] " << style.matrixFormat << "\n";
        out << "[Reference]";
        for (int p = 0; p < ports; ++p) out << " " << style.reference;
        out << "\n[Network Data]\n";
    } else {
        out << "# " << style.unit << " S " << style.format << " R " << style.reference << "\n";
    }
    auto pair = [&](Complex v) {
        char text[64];
        if (style.format == "RI") std::snprintf(text, sizeof text, " %.12g %.12g", v.real(), v.imag());
        else if (style.format == "MA") std::snprintf(text, sizeof text, " %.12g %.12g", std::abs(v), std::arg(v) * 180 / kPi);
        else std::snprintf(text, sizeof text, " %.12g %.12g", 20 * std::log10(std::abs(v)), std::arg(v) * 180 / kPi);
        return std::string(text);
    };
    for (double f : frequencies) {
        const std::vector<Complex> m = matrix(f);
        char head[40];
        std::snprintf(head, sizeof head, "%.12g", f / scale);
        out << head;
        if (ports == 2) {
            const bool order21 = style.version == 1 || style.twoPortOrder == "21_12";
            out << pair(m[0]) << pair(order21 ? m[2] : m[1]) << pair(order21 ? m[1] : m[2]) << pair(m[3]) << "\n";
            continue;
        }
        // Rows, four values to a line as version 1 writes them.
        for (int r = 0; r < ports; ++r) {
            int count = 0;
            const int from = style.matrixFormat == "Upper" ? r : 0;
            const int to = style.matrixFormat == "Lower" ? r + 1 : ports;
            for (int c = from; c < to; ++c) {
                if (count == 4) out << "\n", count = 0;
                out << pair(m[static_cast<std::size_t>(r * ports + c)]);
                ++count;
            }
            out << "\n";
        }
    }
    if (style.version == 2) out << "[End]\n";
}

// The frequencies first, first + step, ... up to last.
inline std::vector<double> Grid(double first, double step, double last) {
    std::vector<double> f;
    for (int k = 0; first + k * step <= last * (1 + 1e-12); ++k) f.push_back(first + k * step);
    return f;
}

}  // namespace line
