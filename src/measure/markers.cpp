#include "measure/markers.h"

#include <algorithm>
#include <cmath>

#include "measure/emission_mask.h"
#include "spectrum/power_trace.h"
#include "waveform/waveform_writer.h"

namespace {

double PointSpacingHz(const cSpectrumTrace& t) {
    return static_cast<double>(t.sampleRate) / static_cast<double>(t.N);
}

double PowerAt(const cSpectrumTrace& t, int k) { return t.power[static_cast<size_t>(k)]; }

// A peak stands out: a point above its neighbours from which the trace falls 6 dB on both
// sides before it rises above the point again (the ripple of noise or of a window's
// sidelobes next to a tone does not count).
bool IsPeak(const cSpectrumTrace& t, int k) {
    if (k <= 0 || k >= t.pointCount - 1) return false;
    const double p = PowerAt(t, k);
    if (!(p > PowerAt(t, k - 1) && p >= PowerAt(t, k + 1))) return false;
    const double floor = p / 4;  // 6 dB down
    for (int step : {-1, 1}) {
        bool fell = false;
        for (int j = k + step; j >= 0 && j < t.pointCount && !fell; j += step) {
            const double q = PowerAt(t, j);
            if (q > p) return false;
            fell = q <= floor;
        }
        if (!fell) return false;
    }
    return true;
}

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
    int best = -1;
    for (int k = std::max(first, 1); k <= std::min(last, t.pointCount - 2); ++k)
        if (IsPeak(t, k) && (best < 0 || PowerAt(t, k) > PowerAt(t, best))) best = k;
    return best;
}

int NextPeak(const cSpectrumTrace& t, int from, int direction, int first, int last) {
    first = std::max(first, 1);
    last = std::min(last, t.pointCount - 2);
    const int step = direction < 0 ? -1 : 1;
    for (int k = step < 0 ? std::min(from - 1, last) : std::max(from + 1, first);
         k >= first && k <= last; k += step)
        if (IsPeak(t, k)) return k;
    return -1;
}

int NextLowerPeak(const cSpectrumTrace& t, int from, int first, int last) {
    const double level = PowerAt(t, std::clamp(from, 0, t.pointCount - 1));
    int best = -1;
    for (int k = std::max(first, 1); k <= std::min(last, t.pointCount - 2); ++k)
        if (k != from && IsPeak(t, k) && PowerAt(t, k) < level &&
            (best < 0 || PowerAt(t, k) > PowerAt(t, best)))
            best = k;
    return best;
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
