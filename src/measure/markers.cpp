#include "measure/markers.h"

#include <algorithm>
#include <cmath>

#include "measure/emission_mask.h"
#include "measure/power_statistics.h"
#include "spectrum/power_trace.h"
#include "waveform/waveform_writer.h"

namespace {

double PointSpacingHz(const cSpectrumTrace& t) {
    return static_cast<double>(t.sampleRate) / static_cast<double>(t.N);
}

double PowerAt(const cSpectrumTrace& t, int k) { return t.power[static_cast<size_t>(k)]; }

// What a peak must exceed on a spectrum: every other point of its window's lobe and first
// sidelobes (lobe points on each side), 10 dB over the median of the points around it, and
// the rounding noise of single precision, 130 dB below the highest point. On a noise-free
// signal the window's sidelobes ripple a few dB beside a tone and decay into a plateau, and
// rounding leaves a floor of tiny peaks; a marker sent to the next peak would stop on them
// instead of the next tone, which rises far above them, as it rises above noise.
constexpr int64_t kFloorReach = 32;  // points on each side for the median
constexpr double kRoundingFloor = 1e-13;

template <class Power>
struct LocalFloor {
    Power power;
    int64_t count;
    int64_t lobe;
    double rounding = 0.0;
    LocalFloor(Power p, int64_t n, int64_t lobePoints) : power(p), count(n), lobe(lobePoints) {
        for (int64_t k = 0; k < count; ++k)
            rounding = std::max(rounding, power(k));
        rounding *= kRoundingFloor;
    }
    double operator()(int64_t k) const {
        double values[2 * kFloorReach + 1];
        int m = 0;
        for (int64_t j = std::max<int64_t>(0, k - kFloorReach);
             j <= std::min(count - 1, k + kFloorReach); ++j)
            values[m++] = power(j);
        std::nth_element(values, values + m / 2, values + m);
        double floor = std::max(values[m / 2] * 10.0, rounding);
        for (int64_t j = std::max<int64_t>(0, k - lobe); j <= std::min(count - 1, k + lobe); ++j)
            if (j != k) floor = std::max(floor, power(j));
        return floor;
    }
};

// One floor for a whole range of samples, 20 dB over their median (estimated from at most
// 65536 of them): a burst's samples are too many to take a median around each, and the
// instantaneous power of noise exceeds its median by 10 dB once in a thousand samples (on
// a burst's skirt too), by 20 dB practically never.
template <class Power>
struct RangeFloor {
    double value = 0.0;
    RangeFloor(const Power& power, int64_t first, int64_t last) {
        if (last < first) return;
        const int64_t step = std::max<int64_t>(1, (last - first + 1) / 65536);
        std::vector<double> values;
        for (int64_t k = first; k <= last; k += step)
            values.push_back(power(k));
        auto middle = values.begin() + static_cast<std::ptrdiff_t>(values.size() / 2);
        std::nth_element(values.begin(), middle, values.end());
        value = *middle * 100.0;
    }
    double operator()(int64_t) const { return value; }
};

// A peak stands out: a point above the floor and its neighbours from which the sequence falls
// 6 dB on both sides before it rises above the point again (the ripple of noise next to a
// tone does not count). power(k) reads point k of count points.
template <class Power, class Floor>
bool IsPeakOf(const Power& power, const Floor& floor, int64_t count, int64_t k) {
    if (k <= 0 || k >= count - 1) return false;
    const double p = power(k);
    if (!(p > power(k - 1) && p >= power(k + 1) && p > floor(k))) return false;
    const double down = p / 4;  // 6 dB down
    for (int step : {-1, 1}) {
        bool fell = false;
        for (int64_t j = k + step; j >= 0 && j < count && !fell; j += step) {
            const double q = power(j);
            if (q > p) return false;
            fell = q <= down;
        }
        if (!fell) return false;
    }
    return true;
}

template <class Power, class Floor>
int64_t HighestPeakOf(const Power& power, const Floor& floor, int64_t count, int64_t first,
                      int64_t last) {
    first = std::max<int64_t>(first, 1);
    last = std::min(last, count - 2);
    int64_t best = -1;
    for (int64_t k = first; k <= last; ++k)
        if (IsPeakOf(power, floor, count, k) && (best < 0 || power(k) > power(best))) best = k;
    return best;
}

template <class Power, class Floor>
int64_t NextPeakOf(const Power& power, const Floor& floor, int64_t count, int64_t from,
                   int direction, int64_t first, int64_t last) {
    first = std::max<int64_t>(first, 1);
    last = std::min(last, count - 2);
    const int step = direction < 0 ? -1 : 1;
    for (int64_t k = step < 0 ? std::min(from - 1, last) : std::max(from + 1, first);
         k >= first && k <= last; k += step)
        if (IsPeakOf(power, floor, count, k)) return k;
    return -1;
}

template <class Power, class Floor>
int64_t NextLowerPeakOf(const Power& power, const Floor& floor, int64_t count, int64_t from,
                        int64_t first, int64_t last) {
    if (count <= 0) return -1;
    const double level = power(std::clamp<int64_t>(from, 0, count - 1));
    first = std::max<int64_t>(first, 1);
    last = std::min(last, count - 2);
    int64_t best = -1;
    for (int64_t k = first; k <= last; ++k)
        if (k != from && IsPeakOf(power, floor, count, k) && power(k) < level &&
            (best < 0 || power(k) > power(best)))
            best = k;
    return best;
}

// Reads the points of a spectrum trace.
struct TracePower {
    const cSpectrumTrace& t;
    double operator()(int64_t k) const { return PowerAt(t, static_cast<int>(k)); }
};

// Reads an array of powers.
struct ArrayPower {
    const float* power;
    double operator()(int64_t k) const { return power[k]; }
};

// Reads the instantaneous power of samples.
struct SamplePower {
    const float* I;
    const float* Q;
    double operator()(int64_t k) const {
        const double i = I[k], q = Q[k];
        return i * i + q * q;
    }
};

}  // namespace

int PointNearest(const cSpectrumTrace& t, double frequencyHz) {
    if (t.N <= 0 || t.pointCount <= 0) return 0;
    const double offset =
        t.complex ? frequencyHz + static_cast<double>(t.sampleRate / 2) : frequencyHz;
    const int64_t k = RoundHalfAway(offset / PointSpacingHz(t));
    return static_cast<int>(std::clamp<int64_t>(k, 0, t.pointCount - 1));
}

std::optional<double> BandPowerDb(const cSpectrumTrace& t, double centreHz, double widthHz) {
    if (!t.traceValid || t.N <= 0) return std::nullopt;
    const auto df = static_cast<float>(PointSpacingHz(t));
    const int h = static_cast<int>(RoundHalfAway(widthHz / df / 2.0));
    const std::optional<double> sum =
        ChannelPowerLinear(t.power, t.pointCount, PointNearest(t, centreHz), h);
    if (!sum) return std::nullopt;
    return 10.0 * std::log10(*sum);
}

double NoiseDensityDbHz(const cSpectrumTrace& t, double centreHz, double widthHz) {
    const double df = PointSpacingHz(t);
    const int c = PointNearest(t, centreHz);
    const int h = static_cast<int>(std::max<int64_t>(0, RoundHalfAway(widthHz / df / 2.0)));
    const int first = std::max(0, c - h), last = std::min(t.pointCount - 1, c + h);
    double sum = 0.0;
    for (int k = first; k <= last; ++k)
        sum += PowerAt(t, k);
    return PowerDb(sum / (last - first + 1)) - 10.0 * std::log10(df);
}

int HighestPeak(const cSpectrumTrace& t, int first, int last) {
    return static_cast<int>(
        HighestPeakOf(TracePower{t}, LocalFloor<TracePower>{{t}, t.pointCount, 2 * t.dcHalfWidth},
                      t.pointCount, first, last));
}

int NextPeak(const cSpectrumTrace& t, int from, int direction, int first, int last) {
    return static_cast<int>(NextPeakOf(TracePower{t},
                                       LocalFloor<TracePower>{{t}, t.pointCount, 2 * t.dcHalfWidth},
                                       t.pointCount, from, direction, first, last));
}

int NextLowerPeak(const cSpectrumTrace& t, int from, int first, int last) {
    return static_cast<int>(
        NextLowerPeakOf(TracePower{t}, LocalFloor<TracePower>{{t}, t.pointCount, 2 * t.dcHalfWidth},
                        t.pointCount, from, first, last));
}

int64_t HighestSample(const float* I, const float* Q, int64_t n, int64_t first, int64_t last) {
    first = std::max<int64_t>(first, 0);
    last = std::min(last, n - 1);
    const SamplePower power{I, Q};
    int64_t best = first <= last ? first : -1;
    for (int64_t k = first + 1; k <= last; ++k)
        if (power(k) > power(best)) best = k;
    return best;
}

int64_t NextSamplePeak(const float* I, const float* Q, int64_t n, int64_t from, int direction,
                       int64_t first, int64_t last) {
    const SamplePower power{I, Q};
    return NextPeakOf(power, RangeFloor(power, first, last), n, from, direction, first, last);
}

int64_t NextLowerSamplePeak(const float* I, const float* Q, int64_t n, int64_t from, int64_t first,
                            int64_t last) {
    const SamplePower power{I, Q};
    return NextLowerPeakOf(power, RangeFloor(power, first, last), n, from, first, last);
}

int64_t HighestPowerPeak(const float* power, int64_t count, int64_t first, int64_t last, int lobe) {
    return HighestPeakOf(ArrayPower{power}, LocalFloor<ArrayPower>{{power}, count, lobe}, count,
                         first, last);
}

int64_t NextPowerPeak(const float* power, int64_t count, int64_t from, int direction, int64_t first,
                      int64_t last, int lobe) {
    return NextPeakOf(ArrayPower{power}, LocalFloor<ArrayPower>{{power}, count, lobe}, count, from,
                      direction, first, last);
}

int64_t NextLowerPowerPeak(const float* power, int64_t count, int64_t from, int64_t first,
                           int64_t last, int lobe) {
    return NextLowerPeakOf(ArrayPower{power}, LocalFloor<ArrayPower>{{power}, count, lobe}, count,
                           from, first, last);
}

std::vector<TimeMarkerReading> MeasureTimeMarkers(const float* I, const float* Q, int64_t n,
                                                  double rateHz, const MarkerPositions& at,
                                                  bool delta) {
    std::vector<TimeMarkerReading> out;
    if (n <= 0 || !(rateHz > 0)) return out;
    for (int m = 0; m < kMaxMarkers; ++m) {
        const std::optional<double>& x = at[static_cast<size_t>(m)];
        if (!x) continue;
        TimeMarkerReading r;
        r.number = m + 1;
        r.sample = std::clamp<int64_t>(std::llround(std::clamp(*x, -1.0, 9.2e18)), 0, n - 1);
        r.timeS = static_cast<double>(r.sample) / rateHz;
        r.i = I[r.sample];
        r.q = Q[r.sample];
        r.levelDb = PowerDb(SamplePower{I, Q}(r.sample));
        r.phaseDeg = std::atan2(r.q, r.i) * 180.0 / M_PI;
        if (delta && m > 0 && !out.empty() && out.front().number == 1) {
            r.deltaSamples = r.sample - out.front().sample;
            r.deltaS = r.timeS - out.front().timeS;
            r.deltaDb = r.levelDb - out.front().levelDb;
        }
        out.push_back(r);
    }
    return out;
}

double CcdfPercentAbove(const CcdfStatistics& c, double parDb) {
    if (c.count <= 0) return 0.0;
    const double amplitude = c.power.RmsAmplitude() * std::pow(10.0, parDb / 20.0);
    const double threshold = amplitude * amplitude;
    const auto k = std::upper_bound(c.above.begin(), c.above.end(), threshold,
                                    [](double t, float v) { return t < v; });
    return static_cast<double>(c.above.end() - k) / static_cast<double>(c.count) * 100.0;
}

std::vector<CcdfMarkerReading> MeasureCcdfMarkers(const CcdfStatistics& c,
                                                  const MarkerPositions& at, bool delta) {
    std::vector<CcdfMarkerReading> out;
    if (c.count <= 0) return out;
    for (int m = 0; m < kMaxMarkers; ++m) {
        const std::optional<double>& x = at[static_cast<size_t>(m)];
        if (!x) continue;
        CcdfMarkerReading r;
        r.number = m + 1;
        r.parDb = *x;
        r.percent = CcdfPercentAbove(c, *x);
        if (delta && m > 0 && !out.empty() && out.front().number == 1)
            r.deltaDb = r.parDb - out.front().parDb;
        out.push_back(r);
    }
    return out;
}

std::vector<MarkerReading> MeasureSpectrumMarkers(const cSpectrumTrace& t,
                                                  const MarkerSettings& s) {
    std::vector<MarkerReading> out;
    if (!t.traceValid || t.N <= 0) return out;
    for (int m = 0; m < kMaxMarkers; ++m) {
        if (!s.frequencyHz[static_cast<size_t>(m)]) continue;
        MarkerReading r;
        r.number = m + 1;
        r.point = PointNearest(t, *s.frequencyHz[static_cast<size_t>(m)]);
        r.frequencyHz = t.PointFrequency(r.point);
        r.levelDb = PowerDb(PowerAt(t, r.point));
        r.markerPowerDb = t.MarkerPowerAt(r.point);
        r.peakFrequencyHz = t.PeakFrequencyAt(r.point);
        if (s.bandWidthHz > 0) r.bandPowerDb = BandPowerDb(t, r.frequencyHz, s.bandWidthHz);
        if (s.noiseWidthHz > 0)
            r.noiseDensityDbHz = NoiseDensityDbHz(t, r.frequencyHz, s.noiseWidthHz);
        if (s.delta && m > 0 && !out.empty() && out.front().number == 1) {
            r.deltaHz = r.frequencyHz - out.front().frequencyHz;
            r.deltaDb = r.levelDb - out.front().levelDb;
        }
        out.push_back(r);
    }
    return out;
}
