// Continuous-time model of the Velkor_Rx analogue equaliser, from which the
// table of characterised impulse responses is generated.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace eqgen {

constexpr int kPoints = 641;       // points per response
constexpr int kSets = 816;         // 17 gain codes x 8 zero codes x 2 boost x 3 corners
constexpr int kDcPoints = 500;     // the points the equaliser uses
constexpr double kStep = 1.5625e-12;
constexpr int kPoles = 5;

struct Setting {
    int gain;    // g, 0 ... 16
    int zero;    // z, 0 ... 7
    int boost;   // b, 0 = gain boost on, 1 = off
    int corner;  // c, 0 typical, 1 slow, 2 fast
};

inline int SetPosition(const Setting& s) { return 48 * s.gain + 6 * s.zero + 3 * s.boost + s.corner; }
Setting SettingOf(int position);

// The designed DC gain of a setting (V/V).
double DcGain(const Setting& s);

// Poles (Hz), zero (Hz) and delay (s) of a setting's filter.
struct Shape {
    std::array<double, kPoles> poles;
    double zero;
    double delay;
};
Shape ShapeOf(const Setting& s, double zeroAtCode0, double delayAtTypical);

// Impulse response at t of 1 / (DC gain) times the filter
// (1 + s/wz) / prod(1 + s/wp), delayed by the shape's delay; 0 before it.
double UnitImpulse(const Shape& shape, double t);

// Time of the continuous-time peak of the undelayed unit response.
double PeakTime(const Shape& shape);

struct Table {
    std::vector<double> timeStamps;  // kPoints
    std::vector<double> responses;   // kSets x kPoints, set s at s * kPoints
    double zeroAtCode0 = 0;          // fitted zero frequency of zero code 0, Hz
    double delayAtTypical = 0;       // fitted delay of the typical corner, s
};

// Builds the whole table, calibrated to the device's check values.
Table Generate();

// Writes / reads the documented file format (see model/data/README.md).
bool WriteTable(const Table& table, const char* path);

}  // namespace eqgen
