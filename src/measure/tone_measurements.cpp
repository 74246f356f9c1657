#include "measure/tone_measurements.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "dsp/spectrum_trace.h"

namespace {
// The trace index of an unwrapped point, only within one period on either side; beyond it the
// band has no meaningful mapping.
std::optional<int> MapWithinOnePeriod(const cSpectrumTrace& t, int64_t j) {
    const int64_t nb = t.pointCount;
    if (t.complex) {
        if (j < 0) j += nb - 1;
        else if (j >= nb) j -= nb - 1;
        if (j < 0 || j >= nb) return std::nullopt;
    } else {
        if (j < 0) j = -j;
        else if (j >= nb) j = 2 * nb - j - 2;
        if (j < 0 || j >= nb) return std::nullopt;
    }
    return static_cast<int>(j);
}

int RoundHalfAway(double v) { return static_cast<int>(v < 0 ? v - 0.5 : v + 0.5); }
}  // namespace

std::optional<double> SignalToNoise(const cSpectrumTrace& t, double spanLowHz, double spanHighHz,
                                    double snrBandwidthHz, double peakFrequencyHz) {
    if (t.L < 32) return 0.0;
    if (t.N <= 0 || t.pointCount <= 0 || t.sampleRate <= 0) return std::nullopt;
    double fLow = spanLowHz, fHigh = spanHighHz;
    if (snrBandwidthHz >= 1.0) {
        fLow = peakFrequencyHz - snrBandwidthHz / 2.0;
        fHigh = peakFrequencyHz + snrBandwidthHz / 2.0;
    }
    const double fs = static_cast<double>(t.sampleRate);
    const double df = fs / t.N;
    double span = (fHigh - fLow) / df;
    const double origin = t.complex ? fLow + static_cast<double>(t.sampleRate / 2) : fLow;
    int64_t start = static_cast<int64_t>(t.N * origin / fs + 0.5);
    const int w = t.dcHalfWidth;
    if (t.N - 2 * w > span) {
        span += 2 * w;
        start -= w;
    }
    double bandSum = 0.0, maxPower = 0.0;
    int maxPoint = -1;
    for (int64_t c = 0; c < span; ++c) {
        const std::optional<int> k = MapWithinOnePeriod(t, start + c);
        if (!k) return std::nullopt;
        const double p = t.power[*k];
        bandSum += p;
        if (maxPoint < 0 || p > maxPower) {
            maxPower = p;
            maxPoint = *k;
        }
    }
    if (maxPoint < 0) return std::nullopt;
    double signal = 0.0;
    for (int64_t k = maxPoint - w; k <= maxPoint + w; ++k) signal += t.power[t.MapIndex(k)];
    const double noise = bandSum - signal;
    if (!(noise > 0.0)) return std::nullopt;
    return 10.0 * std::log10(signal / noise);
}

std::array<SpurEntry, 10> FindSpurs(const cSpectrumTrace& t) {
    std::array<SpurEntry, 10> list{};
    // Each find excludes [point - round(1.5 w), point + round(1.5 w)), its end point staying
    // open to later passes. Membership is tested against every range, so ranges that overlap
    // still exclude their points (jumping only from a range's first point would let the scan
    // skip over the start of an overlapping range and list the same spur again).
    struct Range {
        int first, last;
    };
    std::vector<Range> excluded;
    const int nb = t.pointCount;
    const int half = RoundHalfAway(1.5 * t.dcHalfWidth);
    for (auto& entry : list) {
        float best = 0.0f;
        int bestPoint = 0;
        for (int c = 0; c < nb; ++c) {
            bool skip = false;
            for (const Range& r : excluded) skip = skip || (c >= r.first && c < r.last);
            if (!skip && t.power[c] > best) {
                best = t.power[c];
                bestPoint = c;
            }
        }
        entry.frequencyHz = t.PeakFrequencyAt(bestPoint);
        entry.levelDb = t.MarkerPowerAt(bestPoint);
        excluded.push_back({std::max(0, bestPoint - half), std::min(nb, bestPoint + half)});
    }
    return list;
}

std::optional<TonePairResult> FindTonePair(const cSpectrumTrace& t, int tone1, double tone1Db) {
    if (!t.traceValid) return std::nullopt;
    const int nb = t.pointCount, w = t.dcHalfWidth;
    TonePairResult r;
    double best = -200.0;
    for (int c = 0; c < nb; ++c) {
        if (c >= tone1 - w && c <= tone1 + w) continue;
        if (t.power[c] > best) {
            best = t.power[c];
            r.tone2 = c;
        }
    }
    if (r.tone2 <= 0 || r.tone2 >= nb) return std::nullopt;
    const double p1 = tone1Db;
    const double p2 = t.MarkerPowerAt(r.tone2);
    if (!(p2 > p1 - 1.5 && p2 < p1 + 1.5)) return std::nullopt;

    int d = r.tone2 - tone1;
    if (std::abs(d) > nb / 2) d += d > 0 ? 1 - nb : nb - 1;
    if (std::abs(d) > nb / 3) return std::nullopt;
    auto wrap = [nb](int p) {
        if (p < 0) p += nb;
        if (p > nb - 1) p -= nb - 1;
        return p;
    };
    r.lowerProduct = wrap(tone1 - d);
    r.upperProduct = wrap(r.tone2 + d);
    if (!(r.lowerProduct > 0 && r.lowerProduct < nb && r.upperProduct > 0 && r.upperProduct < nb))
        return std::nullopt;
    const double lower = t.MarkerPowerAt(r.lowerProduct);
    const double upper = t.MarkerPowerAt(r.upperProduct);
    const double pTone = std::max(p1, p2);
    const double pImd = std::max(lower, upper);
    if (!(pTone - pImd > 5.0)) return std::nullopt;
    r.ip3Dbfs = pTone + (pTone - pImd) / 2.0;
    r.carrier2FrequencyHz = t.PeakFrequencyAt(r.tone2);
    r.carrier2Db = p2;
    r.imd3LowerDbc = lower - p1;
    r.imd3UpperDbc = upper - p1;
    return r;
}
