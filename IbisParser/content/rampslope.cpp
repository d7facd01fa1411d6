#include "IbisParser/content/rampslope.h"

#include <cmath>
#include <cstdio>
#include <string>

#include "IbisParser/engine/messages.h"
#include "IbisParser/engine/reportat.h"
#include "IbisParser/text/words.h"

namespace {

// The time at which the waveform's typical column first reaches `fraction` of
// its swing, from point `from` on; `from` moves to the point reached. Negative
// when it never does.
double TimeAtFraction(const std::vector<std::pair<double, double>>& points, double swing, double fraction,
                      std::size_t& from) {
    const double v0 = points.front().second;
    for (std::size_t k = from; k < points.size(); ++k) {
        const double f = (points[k].second - v0) / swing;
        if (f < fraction) continue;
        from = k;
        if (k == 0) return points[0].first;
        const double before = (points[k - 1].second - v0) / swing;
        const double share = (fraction - before) / (f - before);
        return points[k - 1].first + share * (points[k].first - points[k - 1].first);
    }
    return -1;
}

// The rail that the ramp's load goes to for an edge: push-pull buffers are
// measured rising into a load to ground and falling into one to the supply;
// open-drain (sink) types into one to the supply, open-source types into one
// to ground, ECL types into one to the supply less 2 V, for both edges.
double RailFor(bool rising, const ModelSupplies& m) {
    const std::string type = Lower(m.type ? m.type : "");
    const auto has = [&](const char* part) { return type.find(part) != std::string::npos; };
    if (has("ecl")) return m.vcc - 2.0;
    if (has("open_drain") || has("open_sink")) return m.vcc;
    if (has("open_source")) return m.gnd;
    return rising ? m.gnd : m.vcc;
}

bool MeasuredLikeRamp(const Waveform& w, bool rising, double load, const ModelSupplies& m) {
    if (w.rising != rising || !w.rGiven || !w.vGiven || w.reactive) return false;
    if (std::fabs(w.rFixture - load) > 0.01 * load) return false;
    const double rail = RailFor(rising, m);
    return std::fabs(w.vFixture - rail) <= std::fmax(0.05, 0.05 * std::fabs(m.vcc - m.gnd));
}

std::string Figure(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.3g", value);
    return text;
}

void CheckEdge(const RampEdge* edge, const char* name, bool rising, double load, const std::vector<Waveform>& waves,
               const ModelSupplies& supplies, const char* modelName) {
    if (!edge || edge->kind[0] != 1 || edge->dv[0] <= 0 || edge->dt[0] <= 0) return;
    const double ramp = edge->dv[0] / edge->dt[0];
    if (!std::isfinite(ramp)) return;  // no comparison built on a value that overflowed
    const Waveform* closest = nullptr;
    double closestSlope = 0, closestFactor = 0;
    for (const Waveform& w : waves) {
        if (!MeasuredLikeRamp(w, rising, load, supplies)) continue;
        const double slope = WaveformSlope(w);
        if (!(slope > 0) || !std::isfinite(slope)) continue;
        const double factor = std::fmax(ramp / slope, slope / ramp);
        if (!std::isfinite(factor)) continue;
        if (!closest || factor < closestFactor) {
            closest = &w;
            closestSlope = slope;
            closestFactor = factor;
        }
    }
    if (!closest || closestFactor <= kRampSlopeFactor) return;
    ReportWarningAt(edge->line, MSG_RAMP_AGAINST_WAVEFORM, modelName, name, Figure(ramp * 1e-9).c_str(),
                    Figure(closestFactor).c_str(), Figure(closestSlope * 1e-9).c_str(),
                    rising ? "Rising Waveform" : "Falling Waveform", static_cast<int>(closest->line),
                    Figure(closest->rFixture).c_str(), Figure(closest->vFixture).c_str());
}

}  // namespace

double WaveformSlope(const Waveform& wave) {
    const auto& points = wave.typical;
    if (points.size() < 2) return 0;
    const double swing = points.back().second - points.front().second;
    if (swing == 0 || (wave.rising != (swing > 0))) return 0;
    std::size_t at = 0;
    const double t20 = TimeAtFraction(points, swing, 0.2, at);
    const double t80 = t20 < 0 ? -1 : TimeAtFraction(points, swing, 0.8, at);
    if (t20 < 0 || t80 <= t20) return 0;
    return 0.6 * std::fabs(swing) / (t80 - t20);
}

void CheckRampAgainstWaveforms(const RampData& ramp, const std::vector<Waveform>& waves,
                               const ModelSupplies& supplies, const char* modelName) {
    if (!supplies.high) return;  // no rail to place the loads
    if (!std::isfinite(supplies.vcc - supplies.gnd)) return;  // rails whose span overflows place no load
    const double load = ramp.loadGiven ? ramp.loadResistance : 50.0;
    if (load <= 0) return;
    CheckEdge(ramp.rising, "dV/dt_r", true, load, waves, supplies, modelName);
    CheckEdge(ramp.falling, "dV/dt_f", false, load, waves, supplies, modelName);
}

namespace {

void RampSlopeCheckClose(const GroupEvent& e) {
    if (e.group != kGroupModel) return;  // a submodel's ramp is not compared
    if (const RampData* ramp = ModelRamp())
        CheckRampAgainstWaveforms(*ramp, ModelWaveforms(), CurrentModelSupplies(), e.name ? e.name : "");
}

}  // namespace

const KeywordCheck kRampSlopeCheck{
    .name = "ramp slope",
    .keywords = {},
    .onGroupClose = RampSlopeCheckClose,
};
