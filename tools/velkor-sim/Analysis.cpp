#include "tools/velkor-sim/Analysis.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

constexpr std::size_t kLockRun = 2000;     // decisions after lock needed to call it locked
constexpr double kLockTolerance = 0.125;   // UI of phase wander allowed after lock
constexpr double kPi = 3.141592653589793;

// Sample index of the decision half a unit interval after a clock time.
long long DecisionIndex(const LinkRun& run, double clockTime) {
    const double dt = run.bitTime / run.samplesPerBit;
    return std::llround(clockTime / dt) + run.samplesPerBit / 2;
}

// Transmitted bit that a decision at sample index i sees, with latency D bits.
long long BitAt(const LinkRun& run, long long index, int latency) {
    return index / run.samplesPerBit - latency;
}

}  // namespace

LinkMetrics Analyse(const LinkRun& run) {
    LinkMetrics m;
    const auto n = static_cast<long long>(run.output.size());
    std::vector<long long> index;
    std::vector<std::uint8_t> decision;
    for (double t : run.clockTimes) {
        const long long i = DecisionIndex(run, t);
        if (i < 0 || i >= n) continue;
        index.push_back(i);
        decision.push_back(run.output[static_cast<std::size_t>(i)] > 0 ? 1 : 0);
    }
    if (index.size() < 2 * kLockRun) return m;

    // Latency: the whole-bit delay that best explains the last quarter.
    const std::size_t from = index.size() - index.size() / 4;
    std::size_t best = index.size();
    for (int d = 0; d < 200; ++d) {
        std::size_t errors = 0;
        for (std::size_t k = from; k < index.size() && errors < best; ++k) {
            const long long b = BitAt(run, index[k], d);
            errors += (b < 0 || b >= static_cast<long long>(run.bits.size())) ? 1 : decision[k] != run.bits[b];
        }
        if (errors < best) {
            best = errors;
            m.latencyBits = d;
        }
    }
    std::vector<std::uint8_t> wrong(index.size());
    for (std::size_t k = 0; k < index.size(); ++k) {
        const long long b = BitAt(run, index[k], m.latencyBits);
        wrong[k] = (b < 0 || b >= static_cast<long long>(run.bits.size())) ? 1 : decision[k] != run.bits[b];
    }
    // Lock: from the clock time after which the recovered clock's phase against
    // the bit grid stays within 1/8 UI of where it settles at the end of the run.
    const double ui = run.bitTime;
    auto phase = [&](std::size_t k) { return static_cast<double>(index[k]) * ui / run.samplesPerBit / ui; };
    const std::size_t tail = index.size() / 10;
    double c = 0, s = 0;
    for (std::size_t k = index.size() - tail; k < index.size(); ++k) {
        c += std::cos(2 * kPi * phase(k));
        s += std::sin(2 * kPi * phase(k));
    }
    const double settled = std::atan2(s, c) / (2 * kPi);
    std::size_t lastOff = 0;
    bool everOff = false;
    for (std::size_t k = 0; k < index.size(); ++k) {
        double d = phase(k) - settled;
        d -= std::floor(d + 0.5);
        if (std::fabs(d) > kLockTolerance) {
            lastOff = k;
            everOff = true;
        }
    }
    m.lockClock = everOff ? lastOff + 1 : 0;
    m.locked = index.size() - m.lockClock >= kLockRun;
    if (!m.locked) {
        m.bitsSkipped = index.size();
        return m;
    }
    m.lockTime = run.clockTimes.empty() ? 0 : static_cast<double>(index[m.lockClock]) * run.bitTime / run.samplesPerBit;
    m.bitsSkipped = m.lockClock;
    for (std::size_t k = m.lockClock; k < index.size(); ++k) {
        ++m.bitsCompared;
        m.bitErrors += wrong[k];
    }
    m.ber = m.bitsCompared ? static_cast<double>(m.bitErrors) / static_cast<double>(m.bitsCompared) : 0;

    // Clock period after lock.
    double sum = 0, sum2 = 0;
    std::size_t count = 0;
    for (std::size_t k = m.lockClock + 1; k < run.clockTimes.size(); ++k) {
        const double p = run.clockTimes[k] - run.clockTimes[k - 1];
        sum += p;
        sum2 += p * p;
        ++count;
    }
    if (count) {
        m.periodMean = sum / count;
        m.periodSpread = std::sqrt(std::max(0.0, sum2 / count - m.periodMean * m.periodMean));
    }
    const std::size_t window = 256;
    for (std::size_t k = window; k < run.clockTimes.size(); k += window)
        m.periodTrace.emplace_back(run.clockTimes[k], (run.clockTimes[k] - run.clockTimes[k - window]) / window);

    // Eye at the recovered clock: the inner edges of the ones and the zeros at
    // every phase around the data sample, and a density over two unit intervals.
    const int spb = run.samplesPerBit;
    std::vector<double> minOne(spb, 1e300), maxZero(spb, -1e300);
    double lo = 1e300, hi = -1e300;
    for (std::size_t k = m.lockClock; k < index.size(); ++k)
        for (int o = -spb; o < spb; ++o) {
            const long long i = index[k] + o;
            if (i < 0 || i >= n) continue;
            lo = std::min(lo, run.output[i]);
            hi = std::max(hi, run.output[i]);
        }
    const double margin = 0.05 * (hi - lo);
    m.eye.low = lo - margin;
    m.eye.high = hi + margin;
    m.eye.phases = 2 * spb;
    m.eye.counts.assign(static_cast<std::size_t>(m.eye.phases) * m.eye.levels, 0);
    for (std::size_t k = m.lockClock; k < index.size(); ++k) {
        for (int o = -spb / 2; o < spb - spb / 2; ++o) {
            const long long i = index[k] + o;
            if (i < 0 || i >= n) continue;
            const double v = run.output[i];
            const int slot = o + spb / 2;
            if (!wrong[k] && decision[k]) minOne[slot] = std::min(minOne[slot], v);
            if (!wrong[k] && !decision[k]) maxZero[slot] = std::max(maxZero[slot], v);
        }
        for (int o = -spb; o < spb; ++o) {
            const long long i = index[k] + o;
            if (i < 0 || i >= n) continue;
            const int p = static_cast<int>((o + spb) * m.eye.phases / (2 * spb));
            const int l = static_cast<int>((run.output[i] - m.eye.low) / (m.eye.high - m.eye.low) * m.eye.levels);
            if (l >= 0 && l < m.eye.levels) ++m.eye.counts[static_cast<std::size_t>(p) * m.eye.levels + l];
        }
    }
    const int centre = spb / 2;
    m.eyeHeight = std::max(0.0, minOne[centre] - maxZero[centre]);
    int open = 0;
    for (int o = centre; o < spb && minOne[o] > maxZero[o]; ++o) ++open;
    for (int o = centre - 1; o >= 0 && minOne[o] > maxZero[o]; --o) ++open;
    m.eyeWidth = static_cast<double>(open) / spb;
    return m;
}

std::vector<AdaptationPoint> ReadAdaptationLog(const std::string& path, long long logPeriod) {
    std::vector<AdaptationPoint> points;
    std::ifstream in(path);
    std::string line;
    if (!std::getline(in, line)) return points;  // header
    long long sample = 0;
    while (std::getline(in, line)) {
        for (char& c : line)
            if (c == ',') c = ' ';
        std::istringstream fields(line);
        AdaptationPoint p{sample, 0, 0, 0};
        if (!(fields >> p.zeroCode >> p.gainCode >> p.frequencyOffsetPpm)) break;
        points.push_back(p);
        sample += logPeriod;
    }
    return points;
}

}  // namespace sim
