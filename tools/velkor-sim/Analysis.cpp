#include "tools/velkor-sim/Analysis.h"

#include "tools/velkor-sim/EyeLevels.h"
#include "tools/velkor-sim/Fft.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <fstream>
#include <sstream>

namespace sim {

namespace {

constexpr double kSlipThreshold = 0.75;   // UI of clock-edge drift against the bit grid that makes a slip
constexpr std::size_t kMaxTracePoints = 1024;
constexpr std::size_t kMaxSlipTimes = 100;
// A stable phase alone is not lock: a clock still free-running at the right
// rate holds its phase too (and wide tolerances under heavy jitter accept it).
// The stretch counts only if one latency explains this share of its decisions;
// wrong alignment explains about half.
constexpr double kMinAgreement = 0.9;
constexpr std::size_t kAgreementPart = 1000;  // edges
constexpr double kDensityMargin = 0.25;   // of the range seen up to lock, added on each side

long long FloorDiv(long long a, long long b) { return a >= 0 ? a / b : -((-a + b - 1) / b); }

// P(one sampled at or below 0) and P(zero sampled above 0) from Gaussian fits.
double GaussianBer(std::size_t n1, double s1, double s1sq, std::size_t n0, double s0, double s0sq) {
    auto tail = [](std::size_t n, double s, double sq, double sign) {
        if (n == 0) return 0.0;
        const double mean = s / static_cast<double>(n);
        const double sigma = std::sqrt(std::max(0.0, sq / static_cast<double>(n) - mean * mean));
        const double distance = sign * mean;  // distance to the threshold on the right side
        if (sigma <= 0) return distance > 0 ? 0.0 : 1.0;
        return GaussianTail(distance / sigma);
    };
    const double total = static_cast<double>(n1 + n0);
    if (total == 0) return 0;
    return (static_cast<double>(n1) * tail(n1, s1, s1sq, 1) + static_cast<double>(n0) * tail(n0, s0, s0sq, -1)) / total;
}

// Amplitude spectrum (peak UI per frequency) of the windowed tracking error:
// the longest power-of-two stretch of the trace, mean removed, Hann window.
std::vector<std::pair<double, double>> TrackingSpectrum(const std::vector<std::pair<double, double>>& trace,
                                                        double window) {
    std::vector<std::pair<double, double>> spectrum;
    std::size_t n = 1;
    while (2 * n <= trace.size()) n *= 2;
    if (n < 16 || window <= 0) return spectrum;
    const std::size_t first = trace.size() - n;
    double mean = 0;
    for (std::size_t i = 0; i < n; ++i) mean += trace[first + i].second;
    mean /= static_cast<double>(n);
    std::vector<std::complex<double>> data(n);
    const double pi = 3.14159265358979323846;
    for (std::size_t i = 0; i < n; ++i) {
        const double hann = 0.5 - 0.5 * std::cos(2 * pi * static_cast<double>(i) / static_cast<double>(n));
        data[i] = (trace[first + i].second - mean) * hann;
    }
    Fft(data, -1);
    const double step = (trace[first + n - 1].first - trace[first].first) / static_cast<double>(n - 1);
    for (std::size_t k = 1; k < n / 2; ++k)
        spectrum.emplace_back(static_cast<double>(k) / (static_cast<double>(n) * step),
                              4.0 * std::abs(data[k]) / static_cast<double>(n));  // Hann's coherent gain is 1/2
    return spectrum;
}

// How far a window's mean phase may lie from the stretch's: an eighth of a UI,
// or one sample when that is more (the loop moves the clock by whole samples).
// It does not depend on the jitter sent: window means average it out.
double LockTolerance(const AnalysisSettings& s) { return std::max(1.0 / s.samplesPerBit, 0.125); }

LevelScale ScaleOf(const EyeDensity& eye) { return {eye.low, eye.high, eye.levels}; }

// The rows of the ring's samples from `from` on, appended to rows.
void AppendRows(const EyeDensity& eye, const std::vector<double>& ring, std::vector<std::uint16_t>& rows) {
    const std::size_t from = rows.size();
    rows.resize(ring.size());
    Levels(ScaleOf(eye), ring.data() + from, ring.size() - from, rows.data() + from);
}

}  // namespace

LinkAnalyser::LinkAnalyser(const AnalysisSettings& settings)
    : s_(settings), spb_(settings.samplesPerBit), dt_(settings.bitTime / settings.samplesPerBit),
      lock_(LockTolerance(settings)), timing_(settings.impairments, settings.bitTime, settings.seed),
      prbs_(settings.polynomial),
      tallies_(static_cast<std::size_t>(settings.samplesPerBit)) {}

void LinkAnalyser::Add(const double* input, const double* output, std::size_t n, const double* clockTimes,
                       std::size_t count) {
    in_.insert(in_.end(), input, input + n);
    out_.insert(out_.end(), output, output + n);
    if (aligned_) {
        AppendRows(m_.eyeBefore, in_, rowsIn_);
        AppendRows(m_.eyeAfter, out_, rowsOut_);
    }
    for (std::size_t k = 0; k < count; ++k) {
        const double t = clockTimes[k];
        ++m_.edges;
        // The clock period over a window of edges, over the whole run (lock shows in it).
        if (traceCount_ == 0 && m_.periodTrace.empty() && lastTime_ < 0) traceStart_ = t;
        if (lastTime_ >= 0 && ++traceCount_ == traceWindow_) {
            m_.periodTrace.emplace_back(t, (t - traceStart_) / static_cast<double>(traceWindow_));
            traceStart_ = t;
            traceCount_ = 0;
            if (m_.periodTrace.size() >= kMaxTracePoints) {  // halve the resolution, keep the memory
                for (std::size_t i = 0; 2 * i + 1 < m_.periodTrace.size(); ++i)
                    m_.periodTrace[i] = {m_.periodTrace[2 * i + 1].first,
                                         0.5 * (m_.periodTrace[2 * i].second + m_.periodTrace[2 * i + 1].second)};
                m_.periodTrace.resize(m_.periodTrace.size() / 2);
                traceWindow_ *= 2;
            }
        }
        if (m_.locked && lastTime_ >= 0) {
            const double p = t - lastTime_;
            periodSum_ += p;
            periodSum2_ += p * p;
            ++periods_;
        }
        lastTime_ = t;
        pending_.push_back({t, std::llround(t / dt_) + spb_ / 2});
        if (!lock_.Locked()) {
            // Against the transmitter's clock, not the nominal grid.
            const double sent = t - s_.channelDelay;
            const double transmitterPpm = s_.impairments.Any() ? timing_.OffsetPpm(sent) : 0.0;
            lock_.Add(PhaseAt(sent), EdgeCorrection(transmitterPpm), transmitterPpm);
            while (pendingFirst_ < lock_.Start() && !pending_.empty()) {  // edges before the stable stretch
                pending_.pop_front();
                ++pendingFirst_;
            }
            if (lock_.Locked()) {
                m_.locked = true;
                m_.bitsSkipped = pendingFirst_;
                m_.lockTime = pending_.front().time;
            }
        }
    }
    Process(false);
}

// The model reports its correction once per call, so an edge inside a block
// lies between the reports after the call before and after its own: it counts
// as the one of the two farther from the transmitter's offset. A long block
// thus cannot pass for settled on the strength of its end alone; the first
// block, with no report before it, is not settled at all.
double LinkAnalyser::EdgeCorrection(double transmitterPpm) const {
    if (std::isnan(correction_)) return LockDetector::kUnknown;  // the model reports none
    if (std::isnan(correctionBefore_)) return LockDetector::kNotYetKnown;
    return std::fabs(correctionBefore_ - transmitterPpm) > std::fabs(correction_ - transmitterPpm) ? correctionBefore_
                                                                                                    : correction_;
}

int LinkAnalyser::Bit(long long index) {
    if (index < bitsBase_) return 2;  // before the first bit, or dropped: no known bit
    while (bitsMade_ <= index) {
        bits_.push_back(prbs_.Next());
        ++bitsMade_;
    }
    return bits_[static_cast<std::size_t>(index - bitsBase_)];
}

void LinkAnalyser::OnLock() {
    // Latency: the whole-bit offset between the edge count and the transmitted
    // bits that explains most decisions of the stable stretch.
    const long long end = base_ + static_cast<long long>(out_.size());
    const std::size_t window = std::min(pending_.size(), LockDetector::kEdges);
    std::vector<int> decision(window, -1);
    for (std::size_t j = 0; j < window; ++j) {
        const long long d = pending_[j].decision;
        if (d >= base_ && d < end) decision[j] = Out(d) > 0 ? 1 : 0;
    }
    const long long d0 = pending_.front().decision;
    const long long grid = GridBit(d0);
    std::size_t best = 0;
    long long bestLatency = 0;
    auto tryLatency = [&](long long latency) {
        std::size_t agree = 0;
        for (std::size_t j = 0; j < window; ++j) agree += decision[j] == Bit(grid - latency + static_cast<long long>(j));
        if (agree > best) {
            best = agree;
            bestLatency = latency;
        }
    };
    for (long long latency = 0; latency <= static_cast<long long>(s_.maxLatencyBits) && best < window; ++latency)
        tryLatency(latency);
    const auto early = static_cast<long long>(std::ceil(s_.impairments.BoundUi())) + 2;
    for (long long latency = -1; latency >= -early && best < window; --latency) tryLatency(latency);
    const double agreement = window ? static_cast<double>(best) / static_cast<double>(window) : 0;
    // Each part of the stretch must agree too: a clock drifting across the bit
    // it counts decides right at first and at random later, which the whole
    // stretch would average away.
    double worst = agreement;
    for (std::size_t b = 0; b < window; b += kAgreementPart) {
        const std::size_t e = std::min(window, b + kAgreementPart);
        std::size_t agree = 0;
        for (std::size_t j = b; j < e; ++j)
            agree += decision[j] == Bit(grid - bestLatency + static_cast<long long>(j));
        worst = std::min(worst, static_cast<double>(agree) / static_cast<double>(e - b));
    }
    if (worst < kMinAgreement) {
        ++m_.rejectedLocks;
        m_.locked = false;
        periodSum_ = periodSum2_ = 0;
        periods_ = 0;
        lock_.Reject();  // the pending edges before the new stretch are dropped as edges come
        return;
    }
    m_.latencyBits = bestLatency;
    m_.alignmentAgreement = agreement;
    refBit_ = grid - bestLatency;
    refDecision_ = d0;
    refTime_ = pending_.front().time;
    sendDelay_ = static_cast<double>(bestLatency) * s_.bitTime;
    // The phase the drift is held against is the stretch's mean, where the loop
    // centres its decisions, not its first edge, which may sit anywhere in the
    // loop's dither or an SJ cycle: a slip is a drift of most of a UI from there.
    double offset = 0;
    for (std::size_t j = 0; j < window; ++j)
        offset += SentPhase(pending_[j].time) - SentPhase(refTime_) - static_cast<double>(j);
    refPhase_ = SentPhase(refTime_) + (window ? offset / static_cast<double>(window) : 0);
    bitIndex_ = refBit_ - 1;
    aligned_ = true;

    // The eye densities span what was seen up to lock, with a margin; later
    // samples outside land in the edge rows.
    auto range = [&](const std::vector<double>& ring, EyeDensity& eye) {
        double lo = 0, hi = 0;
        if (!ring.empty()) {
            const auto [a, b] = std::minmax_element(ring.begin(), ring.end());
            lo = *a;
            hi = *b;
        }
        const double span = std::max(hi - lo, 1e-6);
        eye.low = lo - kDensityMargin * span;
        eye.high = hi + kDensityMargin * span;
        eye.phases = 2 * spb_;
        eye.counts.assign(static_cast<std::size_t>(eye.phases) * static_cast<std::size_t>(eye.levels), 0);
    };
    range(in_, m_.eyeBefore);
    range(out_, m_.eyeAfter);
    AppendRows(m_.eyeBefore, in_, rowsIn_);
    AppendRows(m_.eyeAfter, out_, rowsOut_);
    inputShift_ = InputEyeCentre(window);
}

// The input eye is drawn about its own centre, half a UI from the mean 0 V
// crossing of the input around the stretch's decisions; the equaliser's delay
// puts the output's sampling instant elsewhere.
long long LinkAnalyser::InputEyeCentre(std::size_t window) const {
    const long long end = base_ + static_cast<long long>(in_.size());
    const double twoPi = 6.283185307179586;
    double c = 0, s = 0;
    for (std::size_t j = 0; j < window; ++j) {
        const long long d = pending_[j].decision;
        for (long long i = d - spb_ / 2 + 1; i <= d + spb_ - spb_ / 2; ++i) {
            if (i - 1 < base_ || i >= end) continue;
            const double a = In(i - 1), b = In(i);
            if ((a > 0) == (b > 0) || a == b) continue;
            const double at = static_cast<double>(i - 1 - d) + a / (a - b);  // samples from the decision
            c += std::cos(twoPi * at / spb_);
            s += std::sin(twoPi * at / spb_);
        }
    }
    if (c == 0 && s == 0) return 0;
    const double crossing = std::atan2(s, c) / twoPi * spb_;
    double centre = crossing + 0.5 * spb_;
    centre -= spb_ * std::floor(centre / spb_ + 0.5);  // -spb/2 ... spb/2
    return std::llround(centre);
}

void LinkAnalyser::Density(EyeDensity& eye, const std::vector<std::uint16_t>& rows, long long decision) {
    // Columns -spb ... spb-1 about the decision; the rows were binned on arrival.
    const long long first = std::max(decision - spb_, base_);
    const long long last = std::min(decision + spb_, base_ + static_cast<long long>(rows.size()));
    if (last <= first) return;
    const auto levels = static_cast<std::size_t>(eye.levels);
    std::uint32_t* column = eye.counts.data() + static_cast<std::size_t>(first - decision + spb_) * levels;
    const std::uint16_t* row = rows.data() + (first - base_);
    for (long long i = first; i < last; ++i, column += levels) ++column[*row++];
}

void LinkAnalyser::Measure(const Edge& edge) {
    const long long end = base_ + static_cast<long long>(out_.size());
    // Each clock edge is the next bit; a drift of the edges by most of a unit
    // interval against the grid fixed at lock is a lost or an extra edge.
    ++bitIndex_;
    double drift = SentPhase(edge.time) - refPhase_ - static_cast<double>(bitIndex_ - refBit_);
    if (std::fabs(drift) > kSlipThreshold) {
        bitIndex_ += std::llround(drift);
        drift -= std::round(drift);
        ++m_.slips;
        if (m_.slipTimes.size() < kMaxSlipTimes) m_.slipTimes.push_back(edge.time);
    }
    Track(edge.time, drift);  // not wrapped at half a UI: below the slip threshold it is the error
    if (bitIndex_ < static_cast<long long>(s_.settleBits)) return;  // still settling: not counted
    const int bit = Bit(bitIndex_);
    if (bit > 1 || edge.decision < base_ || edge.decision >= end) return;
    ++m_.bitsCompared;
    m_.bitErrors += (Out(edge.decision) > 0) != (bit == 1);
    // The samples of this bit's unit interval, for the bathtub.
    const long long first = std::max(edge.decision - spb_ / 2, base_);
    const long long last = std::min(edge.decision + spb_ - spb_ / 2, end);
    if (last > first)
        tallies_.Add(out_.data() + (first - base_), static_cast<std::size_t>(last - first),
                     static_cast<std::size_t>(first - edge.decision + spb_ / 2), bit == 1);
    Density(m_.eyeBefore, rowsIn_, edge.decision + inputShift_);
    Density(m_.eyeAfter, rowsOut_, edge.decision);
}

void LinkAnalyser::Process(bool final) {
    const long long end = base_ + static_cast<long long>(out_.size());
    if (m_.locked && !aligned_) {
        const std::size_t window = std::min(pending_.size(), LockDetector::kEdges);
        if (window > 0 && (final || pending_[window - 1].decision < end)) OnLock();
    }
    if (aligned_) {
        while (!pending_.empty() && (final || pending_.front().decision + 2 * spb_ <= end)) {
            Measure(pending_.front());
            pending_.pop_front();
            ++pendingFirst_;
        }
    }
    Trim();
}

void LinkAnalyser::Trim() {
    const long long end = base_ + static_cast<long long>(out_.size());
    long long keep = end - 2 * spb_;
    if (!pending_.empty()) keep = std::min(keep, pending_.front().decision - 2 * spb_);
    if (keep > base_) {
        const auto drop = static_cast<std::size_t>(std::min<long long>(keep - base_, static_cast<long long>(out_.size())));
        in_.erase(in_.begin(), in_.begin() + static_cast<std::ptrdiff_t>(drop));
        out_.erase(out_.begin(), out_.begin() + static_cast<std::ptrdiff_t>(drop));
        if (aligned_) {
            rowsIn_.erase(rowsIn_.begin(), rowsIn_.begin() + static_cast<std::ptrdiff_t>(drop));
            rowsOut_.erase(rowsOut_.begin(), rowsOut_.begin() + static_cast<std::ptrdiff_t>(drop));
        }
        base_ += static_cast<long long>(drop);
    }
    // Transmitted bits still needed: before alignment those the latency search may
    // reach, after it from the current bit on.
    long long keepBit = aligned_ ? bitIndex_ - 1
                                 : GridBit(pending_.empty() ? end : pending_.front().decision) -
                                       static_cast<long long>(s_.maxLatencyBits) - 4;
    while (bitsBase_ < keepBit) {
        if (bits_.empty()) {
            prbs_.Next();
            ++bitsMade_;
        } else {
            bits_.pop_front();
        }
        ++bitsBase_;
    }
}

// The transmitted bit a data sample falls in.
long long LinkAnalyser::GridBit(long long decision) const {
    if (!s_.impairments.Any()) return FloorDiv(decision, spb_);
    return static_cast<long long>(std::floor(timing_.Phase((static_cast<double>(decision) + 0.5) * dt_)));
}

// The recovered clock's phase error against the transmitter's, edge by edge:
// summed for its rms, and averaged over windows of edges for the trace and
// its spectrum (the window doubles when the trace is full, so memory stays fixed).
void LinkAnalyser::Track(double time, double error) {
    trackSum_ += error;
    trackSum2_ += error * error;
    ++tracked_;
    trackMin_ = tracked_ == 1 ? error : std::min(trackMin_, error);
    trackMax_ = tracked_ == 1 ? error : std::max(trackMax_, error);
    windowSum_ += error;
    windowTx_ += s_.impairments.Any() ? (time - refTime_) / s_.bitTime - (SentPhase(time) - SentPhase(refTime_)) : 0;
    if (++windowCount_ < trackWindow_) return;
    const double n = static_cast<double>(windowCount_);
    m_.trackingTrace.emplace_back(time, windowSum_ / n);
    m_.transmitTrace.emplace_back(time, windowTx_ / n);
    windowSum_ = windowTx_ = 0;
    windowCount_ = 0;
    if (m_.trackingTrace.size() >= 2 * kMaxTracePoints) {
        for (auto* trace : {&m_.trackingTrace, &m_.transmitTrace}) {
            for (std::size_t i = 0; 2 * i + 1 < trace->size(); ++i)
                (*trace)[i] = {(*trace)[2 * i + 1].first, 0.5 * ((*trace)[2 * i].second + (*trace)[2 * i + 1].second)};
            trace->resize(trace->size() / 2);
        }
        trackWindow_ *= 2;
    }
}

LinkMetrics LinkAnalyser::Finish() {
    Process(true);
    m_.runTime = static_cast<double>(base_ + static_cast<long long>(out_.size())) * dt_;
    if (!m_.locked) {
        m_.bitsSkipped = m_.edges;
        m_.ber = EstimateBer(0, 0);
        return m_;
    }
    m_.ber = EstimateBer(m_.bitErrors, m_.bitsCompared);
    if (periods_) {
        m_.periodMean = periodSum_ / static_cast<double>(periods_);
        m_.periodSpread =
            std::sqrt(std::max(0.0, periodSum2_ / static_cast<double>(periods_) - m_.periodMean * m_.periodMean));
    }
    if (tracked_) {
        const double mean = trackSum_ / static_cast<double>(tracked_);
        m_.trackingRms = std::sqrt(std::max(0.0, trackSum2_ / static_cast<double>(tracked_) - mean * mean));
        // Both about the mean: the edge taken as zero at lock may sit anywhere in an SJ cycle.
        m_.trackingPeak = std::max(trackMax_ - mean, mean - trackMin_);
    }
    m_.trackingWindow = static_cast<double>(trackWindow_) * s_.bitTime;
    m_.trackingSpectrum = TrackingSpectrum(m_.trackingTrace, m_.trackingWindow);
    const int centre = spb_ / 2;
    for (int slot = 0; slot < spb_; ++slot) {
        const auto k = static_cast<std::size_t>(slot);
        const LevelTallies &one = tallies_.ones, &zero = tallies_.zeros;
        m_.bathtub.push_back({static_cast<double>(slot - centre) / spb_, tallies_.errors[k], tallies_.compared[k],
                              GaussianBer(one.count[k], one.sum[k], one.sumSquares[k], zero.count[k], zero.sum[k],
                                          zero.sumSquares[k])});
    }
    // Height about the 0 V threshold: the lowest one above it and the highest zero
    // below it; a sample on the wrong side makes the height the (negative) overshoot.
    const auto c = static_cast<std::size_t>(centre);
    const double upper = tallies_.ones.extreme[c], lower = tallies_.zeros.extreme[c];
    if (tallies_.ones.count[c] && tallies_.zeros.count[c]) {
        m_.eyeOpen = lower < 0 && upper > 0;
        m_.eyeHeight = m_.eyeOpen ? upper - lower : std::min(upper, 0.0) - std::max(lower, 0.0);
    }
    auto clean = [&](int slot) {
        const auto k = static_cast<std::size_t>(slot);
        return tallies_.compared[k] > 0 && tallies_.errors[k] == 0;
    };
    int open = 0;
    if (m_.eyeOpen) {
        for (int slot = centre; slot < spb_ && clean(slot); ++slot) ++open;
        for (int slot = centre - 1; slot >= 0 && clean(slot); --slot) ++open;
    }
    m_.eyeWidth = static_cast<double>(open) / spb_;
    return m_;
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
