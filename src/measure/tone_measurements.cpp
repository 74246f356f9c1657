#include "measure/tone_measurements.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "dsp/range_scan.h"
#include "spectrum/power_trace.h"

namespace {
// The trace index of an unwrapped point, only within one period on either side; beyond it the
// band has no meaningful mapping.
std::optional<int> MapWithinOnePeriod(const cSpectrumTrace& t, int64_t j) {
    const int64_t nb = t.pointCount;
    if (t.complex) {
        if (j < 0)
            j += nb - 1;
        else if (j >= nb)
            j -= nb - 1;
        if (j < 0 || j >= nb) return std::nullopt;
    } else {
        if (j < 0)
            j = -j;
        else if (j >= nb)
            j = 2 * nb - j - 2;
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
    // Walk the band in runs whose mapping into the trace is one contiguous stretch (the
    // period before, the trace itself, the period after), so the inner loop is plain.
    const int64_t nb = t.pointCount;
    int64_t first = start, end = start + static_cast<int64_t>(std::ceil(span));
    // A real trace is one-sided: each point already holds the power at -f and +f, so the
    // widening's mirror points beyond DC and fs/2 would count a DC skirt or an edge tone twice.
    if (!t.complex) {
        first = std::max<int64_t>(first, 0);
        end = std::min(end, nb);
    }
    double bandSum = 0.0, maxPower = 0.0;
    int maxPoint = -1;
    const float* p = t.power.data();
    for (int64_t j = first; j < end;) {
        const std::optional<int> k = MapWithinOnePeriod(t, j);
        if (!k) return std::nullopt;
        // Length of the run from j on which the mapping moves by +1 (or -1 when mirrored).
        int64_t runEnd;
        int step = 1;
        if (j < 0) {
            runEnd = std::min<int64_t>(end, 0);
            if (!t.complex) step = -1;
        } else if (j < nb) {
            runEnd = std::min(end, nb);
        } else {
            runEnd = end;
            if (!t.complex) step = -1;
        }
        int idx = *k;
        const int64_t last = runEnd - 1;
        if (!MapWithinOnePeriod(t, last)) return std::nullopt;
        if (step == 1) {
            const int64_t count = runEnd - j;
            bandSum += Sum(p, idx, idx + count);
            float value;
            int64_t at;
            if (FirstMax(p, idx, idx + count, value, at) && (maxPoint < 0 || value > maxPower)) {
                maxPower = value;
                maxPoint = static_cast<int>(at);
            }
        } else {
            for (int64_t c = j; c < runEnd; ++c, idx += step) {
                const double v = p[idx];
                bandSum += v;
                if (maxPoint < 0 || v > maxPower) {
                    maxPower = v;
                    maxPoint = idx;
                }
            }
        }
        j = runEnd;
    }
    if (maxPoint < 0) return std::nullopt;
    double signal = 0.0;
    const int64_t lo = t.complex ? maxPoint - w : std::max<int64_t>(maxPoint - w, 0);
    const int64_t hi = t.complex ? maxPoint + w : std::min<int64_t>(maxPoint + w, nb - 1);
    for (int64_t k = lo; k <= hi; ++k)
        signal += t.power[t.MapIndex(k)];
    const double noise = bandSum - signal;
    if (!(noise > 0.0)) return std::nullopt;
    return 10.0 * std::log10(signal / noise);
}

namespace {

// Maxima of blocks of the trace, so repeated searches for the strongest point outside a few
// excluded ranges touch each point once instead of once per search.
class BlockMaxima {
public:
    static constexpr int kBlock = 512;
    BlockMaxima(const float* p, int n) : p_(p), n_(n) {
        for (int b = 0; b < n; b += kBlock) {
            float value;
            int64_t at = b;
            FirstMax(p, b, std::min(n, b + kBlock), value, at);
            index_.push_back(static_cast<int>(at));
        }
    }
    // Strongest point of [s, e) against best/bestPoint; strictly larger replaces, so with the
    // ranges scanned in increasing order the first of equal maxima wins.
    void Scan(int s, int e, float& best, int& bestPoint) const {
        e = std::min(e, n_);
        int k = std::max(s, 0);
        const int head = std::min(e, (k + kBlock - 1) / kBlock * kBlock);
        TakeRange(k, head, best, bestPoint);
        for (k = head; k + kBlock <= e; k += kBlock)
            Take(index_[k / kBlock], best, bestPoint);
        TakeRange(std::max(k, head), e, best, bestPoint);
    }

private:
    void TakeRange(int s, int e, float& best, int& bestPoint) const {
        float value;
        int64_t at;
        if (FirstMax(p_, s, e, value, at) && value > best) {
            best = value;
            bestPoint = static_cast<int>(at);
        }
    }
    void Take(int k, float& best, int& bestPoint) const {
        if (p_[k] > best) {
            best = p_[k];
            bestPoint = k;
        }
    }
    const float* p_;
    int n_;
    std::vector<int> index_;
};

}  // namespace

std::array<SpurEntry, 10> FindSpurs(const cSpectrumTrace& t) {
    std::array<SpurEntry, 10> list{};
    // Each find excludes [point - round(1.5 w), point + round(1.5 w)), its end point staying
    // open to later passes. The scan covers the gaps between all excluded ranges, so ranges
    // that overlap still exclude their points (jumping only from a range's first point would
    // let the scan pass over the start of an overlapping range and list the same spur again).
    const int nb = t.pointCount;
    const int half = RoundHalfAway(1.5 * t.dcHalfWidth);
    const BlockMaxima maxima(t.power.data(), nb);
    std::vector<std::pair<int, int>> excluded;
    // Points inside the +-w band of an entry already found: a later spur's band leaves them
    // out, so a spur next to the carrier does not read the carrier's own main lobe.
    std::vector<char> taken(static_cast<size_t>(std::max(nb, 1)), 0);
    const int w = t.dcHalfWidth;
    auto bandPowerDb = [&](int point) {
        if (!t.traceValid || t.L < 32) return 0.0;
        double band = 0.0;
        for (int64_t j = point - w; j <= point + w; ++j) {
            const int k = t.MapIndex(j);
            if (!taken[static_cast<size_t>(k)]) band += t.power[static_cast<size_t>(k)];
        }
        return PowerDb(band);
    };
    for (size_t pass = 0; pass < list.size(); ++pass) {
        SpurEntry& entry = list[pass];
        std::sort(excluded.begin(), excluded.end());
        float best = 0.0f;
        int bestPoint = 0;
        int from = 0;
        for (const auto& [first, last] : excluded) {
            if (first > from) maxima.Scan(from, first, best, bestPoint);
            from = std::max(from, last);
        }
        maxima.Scan(from, nb, best, bestPoint);
        entry.frequencyHz = t.PeakFrequencyAt(bestPoint);
        entry.levelDb = bandPowerDb(bestPoint);
        // A modulated carrier's lobe is wider than a tone's: the points around it that stay
        // within 10 dB of its peak, and the skirt that falls from them, are the carrier, not
        // spurs beside it. A tone's lobe lies inside its usual ranges, which stay as they are.
        int lobeLow = bestPoint, lobeHigh = bestPoint;
        if (pass == 0 && t.traceValid) {
            const auto at = [&](int k) { return t.power[static_cast<size_t>(k)]; };
            const float floor = best * 0.1f;
            while (lobeLow > 0 && at(lobeLow - 1) >= floor)
                --lobeLow;
            while (lobeHigh < nb - 1 && at(lobeHigh + 1) >= floor)
                ++lobeHigh;
            if ((lobeLow == 0 && lobeHigh == nb - 1) ||
                (lobeLow > bestPoint - half && lobeHigh < bestPoint + half)) {
                // Within 10 dB from end to end: a floor without a carrier standing out of it.
                // Within the usual range: a tone, whose skirt the search reads as defined.
                lobeLow = lobeHigh = bestPoint;
            } else {
                while (lobeLow > 0 && at(lobeLow - 1) <= at(lobeLow))
                    --lobeLow;
                while (lobeHigh < nb - 1 && at(lobeHigh + 1) <= at(lobeHigh))
                    ++lobeHigh;
            }
        }
        excluded.push_back({std::max(0, std::min(bestPoint - half, lobeLow)),
                            std::min(nb, std::max(bestPoint + half, lobeHigh + 1))});
        for (int64_t j = std::min(bestPoint - w, lobeLow); j <= std::max(bestPoint + w, lobeHigh);
             ++j)
            taken[static_cast<size_t>(t.MapIndex(j))] = 1;
    }
    // The carrier is the strongest entry: should a broad signal elsewhere carry more power in
    // its band than the strongest point's band, it is the carrier, so the SFDR is never
    // negative.
    const auto strongest = std::max_element(
        list.begin(), list.end(),
        [](const SpurEntry& a, const SpurEntry& b) { return a.levelDb < b.levelDb; });
    std::rotate(list.begin(), strongest, strongest + 1);
    return list;
}

std::optional<TonePairResult> FindTonePair(const cSpectrumTrace& t, int tone1, double tone1Db) {
    if (!t.traceValid) return std::nullopt;
    const int nb = t.pointCount, w = t.dcHalfWidth;
    TonePairResult r;
    float best = -200.0f;
    const float* p = t.power.data();
    // Outside tone 1's lobe: below tone1 - w and above tone1 + w, in increasing order.
    const std::pair<int64_t, int64_t> parts[2] = {{0, std::min(nb, tone1 - w)},
                                                  {std::max(0, tone1 + w + 1), nb}};
    for (const auto& [begin, end] : parts) {
        float value;
        int64_t at;
        if (FirstMax(p, begin, end, value, at) && value > best) {
            best = value;
            r.tone2 = static_cast<int>(at);
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
