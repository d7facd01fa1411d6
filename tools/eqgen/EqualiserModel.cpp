#include "tools/eqgen/EqualiserModel.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace eqgen {

namespace {

constexpr double kPi = 3.141592653589793;

// Measured DC gains of the characterised device (V/V) that the model must meet.
constexpr double kGainCode0 = 1.598551;   // g 0, z 0, boost on, typical
constexpr double kGainCode1 = 1.777600;   // g 1
constexpr double kGainCode7 = 3.120209;   // g 7
constexpr double kGainCode16 = 7.602592;  // g 16
constexpr double kSlowCorner = 1.482135;  // g 0, corner 1
constexpr double kBoostOff = 0.852701;    // g 0, boost off
constexpr double kZeroCode1 = 1.601437;   // g 0, z 1
constexpr double kLastSet = 2.788353;     // g 16, z 7, boost off, corner 2
constexpr double kSmallest = 0.7724;      // g 0, boost off, corner 2
constexpr double kLargest = 7.6077;       // g 16, z 3 and 4, boost on, typical

// Set 0 as characterised: its first three points and its peak on point 38.
constexpr double kSet0Start[3] = {-1140949805.642339, -2044959794.781023, -1398875237.667425};
constexpr double kSet0Peak = 213047307316.6524;
constexpr int kSet0PeakPoint = 38;

// Source-degenerated CTLE: the degeneration R_S C_S sets a zero wz and a pole
// P wz, where P = 1 + gm R_S / 2 is the ratio of high-frequency to DC gain. The
// gain code switches R_S: a higher DC gain is a smaller P (less peaking) and a
// higher zero. The zero code switches C_S: the zero and the pole move together.
constexpr double kPeakingAtCode0 = 9.0;          // P at gain code 0
// Typical-corner parasitic poles at gain code 0, Hz: the CTLE's output, the
// limiting amplifier's input, the package and the sampler's input.
constexpr double kPolesTypical[kPoles - 1] = {10e9, 16e9, 20e9, 24e9};
constexpr double kZeroStep = 1.25;               // zero frequency ratio per zero code
constexpr double kGainBandwidth = 0.006;         // parasitic pole drop per gain code
constexpr double kCornerBandwidth[3] = {1.0, 0.9, 1.1};
constexpr double kCornerDelay[3] = {1.0, 1.08, 0.94};

double Interpolate(double a, double b, double fraction) { return a * std::pow(b / a, fraction); }

// Gain code: a DAC with near-equal dB steps between the characterised codes.
double BaseGain(int g) {
    if (g <= 1) return Interpolate(kGainCode0, kGainCode1, g);
    if (g <= 7) return Interpolate(kGainCode1, kGainCode7, (g - 1) / 6.0);
    return Interpolate(kGainCode7, kGainCode16, (g - 7) / 9.0);
}

// The zero code switches the degeneration capacitor; through the finite output
// resistance it moves the DC gain a little, most in mid-range, less at high gain.
double ZeroFactor(int g, int z) {
    const double k0 = kZeroCode1 / kGainCode0 - 1.0;
    const double k16 = (kLargest / kGainCode16 - 1.0) / 2.0;
    const double kappa = Interpolate(k0, k16, g / 16.0);
    return 1.0 + kappa * (z * (7 - z)) / 6.0;
}

double CornerFactor(int c) {
    static const double factors[3] = {1.0, kSlowCorner / kGainCode0, kSmallest / kBoostOff};
    return factors[c];
}

// Switching the boost stage off removes gain, the more the higher the gain code.
double BoostFactor(int g, int b) {
    if (b == 0) return 1.0;
    const double atCode0 = kBoostOff / kGainCode0;
    const double atCode16 = kLastSet / (kGainCode16 * CornerFactor(2));
    return Interpolate(atCode0, atCode16, g / 16.0);
}

// Start-of-record ripple left by the characterisation: e^(-n/tau) (a + b n), in
// points n, fitted through set 0's first three points.
struct Ripple {
    double a, b, r;  // r = e^(-1/tau)
    double At(int n) const { return std::pow(r, n) * (a + b * n); }
};

Ripple FitRipple() {
    const double p0 = kSet0Start[0], p1 = kSet0Start[1], p2 = kSet0Start[2];
    // p1 = r (a + b), p2 = r^2 (a + 2b)  =>  a r^2 - 2 p1 r + p2 = 0.
    const double root = std::sqrt(p1 * p1 - p0 * p2);
    double r = (p1 + root) / p0;
    if (!(r > 0 && r < 1)) r = (p1 - root) / p0;
    return {p0, p1 / r - p0, r};
}

std::vector<double> SampleUnit(const Shape& shape) {
    std::vector<double> m(kPoints);
    for (int i = 0; i < kPoints; ++i) m[i] = UnitImpulse(shape, i * kStep);
    return m;
}

double SumFirst(const std::vector<double>& v, int n) {
    double sum = 0;
    for (int i = 0; i < n; ++i) sum += v[i];
    return sum;
}

double MaxOf(const std::vector<double>& v) {
    double best = v[0];
    for (double x : v)
        if (x > best) best = x;
    return best;
}

}  // namespace

Setting SettingOf(int position) {
    return {position / 48, (position / 6) % 8, (position / 3) % 2, position % 3};
}

double DcGain(const Setting& s) {
    return BaseGain(s.gain) * ZeroFactor(s.gain, s.zero) * BoostFactor(s.gain, s.boost) *
           CornerFactor(s.corner);
}

static double Peaking(int g) { return kPeakingAtCode0 * BaseGain(0) / BaseGain(g); }

Shape ShapeOf(const Setting& s, double zeroAtCode0, double delayAtTypical) {
    Shape shape{};
    const double scale = kCornerBandwidth[s.corner] * (1.0 - kGainBandwidth * s.gain);
    const double peaking = Peaking(s.gain);
    // R_S is proportional to P - 1; the zero 1 / (R_S C_S) rises as R_S falls.
    shape.zero = zeroAtCode0 * std::pow(kZeroStep, s.zero) * (kPeakingAtCode0 - 1.0) / (peaking - 1.0) *
                 kCornerBandwidth[s.corner];
    shape.poles[0] = shape.zero * peaking;
    for (int i = 1; i < kPoles; ++i) shape.poles[i] = kPolesTypical[i - 1] * scale;
    // Keep the poles at least 1 % apart: the partial fractions lose precision
    // as two poles meet (real poles never coincide exactly).
    for (int i = 1; i < kPoles; ++i)
        for (int j = 0; j < i; ++j)
            while (std::fabs(shape.poles[i] / shape.poles[j] - 1.0) < 0.01) shape.poles[i] *= 1.01;
    shape.delay = delayAtTypical * kCornerDelay[s.corner];
    return shape;
}

// Partial fractions of (1 + s/wz) / prod(1 + s/wp) with distinct real poles.
double UnitImpulse(const Shape& shape, double t) {
    const double tau = t - shape.delay;
    if (tau < 0) return 0.0;
    const double wz = 2 * kPi * shape.zero;
    double w[kPoles];
    double product = 1.0;
    for (int i = 0; i < kPoles; ++i) {
        w[i] = 2 * kPi * shape.poles[i];
        product *= w[i];
    }
    double sum = 0;
    for (int i = 0; i < kPoles; ++i) {
        double den = 1.0;
        for (int j = 0; j < kPoles; ++j)
            if (j != i) den *= (w[j] - w[i]);
        sum += product / wz * (wz - w[i]) / den * std::exp(-w[i] * tau);
    }
    return sum;
}

double PeakTime(const Shape& shape) {
    Shape undelayed = shape;
    undelayed.delay = 0;
    double best = 0, bestValue = -1e300;
    const double fine = 0.01e-12;
    for (int i = 1; i < 20000; ++i) {
        const double v = UnitImpulse(undelayed, i * fine);
        if (v > bestValue) {
            bestValue = v;
            best = i * fine;
        }
    }
    // Golden-section refinement around the best grid point.
    double lo = best - fine, hi = best + fine;
    for (int k = 0; k < 100; ++k) {
        const double m1 = lo + (hi - lo) * 0.381966011250105;
        const double m2 = hi - (hi - lo) * 0.381966011250105;
        if (UnitImpulse(undelayed, m1) < UnitImpulse(undelayed, m2))
            lo = m1;
        else
            hi = m2;
    }
    return 0.5 * (lo + hi);
}

Table Generate() {
    Table table;
    table.timeStamps.resize(kPoints);
    for (int i = 0; i < kPoints; ++i) {
        // i x 1.5625 ps in double, rounded to 16 significant digits.
        char text[40];
        std::snprintf(text, sizeof text, "%.15e", i * kStep);
        table.timeStamps[i] = std::strtod(text, nullptr);
    }

    const Ripple ripple = FitRipple();
    std::vector<double> rip(kPoints);
    for (int i = 0; i < kPoints; ++i) rip[i] = ripple.At(i);
    const double ripSum = SumFirst(rip, kDcPoints);
    const Setting set0{0, 0, 0, 0};
    const double dc0 = DcGain(set0);

    // Fit the zero of code 0 so that set 0 peaks at the characterised value, with
    // the delay placing its continuous-time peak on point 38. The peak falls as
    // the zero rises, so bisection on log frequency converges.
    double lo = std::log(0.2e9), hi = std::log(3e9);
    double scale0 = 0, peakUnit0 = 0;
    for (int iteration = 0; iteration < 200; ++iteration) {
        const double mid = 0.5 * (lo + hi);
        Shape shape = ShapeOf(set0, std::exp(mid), 0.0);
        shape.delay = kSet0PeakPoint * kStep - PeakTime(shape);
        const auto m = SampleUnit(shape);
        scale0 = (dc0 / kStep - ripSum) / SumFirst(m, kDcPoints);
        peakUnit0 = m[kSet0PeakPoint];
        table.zeroAtCode0 = std::exp(mid);
        table.delayAtTypical = shape.delay;
        if (scale0 * peakUnit0 + rip[kSet0PeakPoint] > kSet0Peak)
            lo = mid;
        else
            hi = mid;
    }

    // Every set: K m(t) + P ripple(t), with the ripple in proportion to the set's
    // peak and K such that the first 500 points carry the designed DC gain.
    table.responses.assign(static_cast<std::size_t>(kSets) * kPoints, 0.0);
    for (int s = 0; s < kSets; ++s) {
        const Setting setting = SettingOf(s);
        const auto m = SampleUnit(ShapeOf(setting, table.zeroAtCode0, table.delayAtTypical));
        const double rippleShare = MaxOf(m) / (scale0 * peakUnit0);
        const double scale = (DcGain(setting) / kStep) / (SumFirst(m, kDcPoints) + ripSum * rippleShare);
        double* out = &table.responses[static_cast<std::size_t>(s) * kPoints];
        for (int i = 0; i < kPoints; ++i) out[i] = scale * m[i] + scale * rippleShare * rip[i];
    }
    // Set 0 carries the characterised digits exactly.
    for (int i = 0; i < 3; ++i) table.responses[i] = kSet0Start[i];
    table.responses[kSet0PeakPoint] = kSet0Peak;
    return table;
}

bool WriteTable(const Table& table, const char* path) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    auto put32 = [&](std::uint32_t v) {
        unsigned char b[4];
        for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(v >> (8 * i));
        std::fwrite(b, 1, 4, f);
    };
    auto putDouble = [&](double x) {
        std::uint64_t bits;
        std::memcpy(&bits, &x, 8);
        unsigned char b[8];
        for (int i = 0; i < 8; ++i) b[i] = static_cast<unsigned char>(bits >> (8 * i));
        std::fwrite(b, 1, 8, f);
    };
    std::fwrite("VLKEQT01", 1, 8, f);
    put32(kPoints);
    put32(kSets);
    for (double t : table.timeStamps) putDouble(t);
    for (double v : table.responses) putDouble(v);
    return std::fclose(f) == 0;
}

}  // namespace eqgen
