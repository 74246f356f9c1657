#include "measure/shown_spectrum.h"

#include <algorithm>
#include <cmath>

#include "dsp/range_scan.h"
#include "spectrum/power_trace.h"

int ShownPoint(const cSpectrumTrace& t, double f) {
    const double fs = static_cast<double>(t.sampleRate);
    const double halfFs = static_cast<double>(t.sampleRate / 2);
    // Halves away from zero, clamped far outside any trace so off-span values stay defined.
    const auto roundHalfAway = [](double v) {
        if (!(v == v)) return 0;
        constexpr double kLimit = 1 << 24;
        return static_cast<int>(std::round(std::fmax(-kLimit, std::fmin(kLimit, v))));
    };
    int idx =
        t.complex ? roundHalfAway((f + halfFs) / fs * t.N) : static_cast<int>(f / fs * t.N + 0.5);
    if (idx < 0) idx = 0;
    // Beyond fs/2 (the DC-to-fs kinds) a complex trace repeats with period N.
    if (t.complex && idx > t.N) idx -= t.N;
    return std::clamp(idx, 0, t.pointCount - 1);
}

double ShownFrequency(const cSpectrumTrace& t, double f, double f1) {
    return (t.complex && f1 > t.sampleRate / 2.0 && f < 0) ? f + static_cast<double>(t.sampleRate)
                                                           : f;
}

ShownSpectrum MeasureShownSpectrum(const cSpectrumTrace& t, cMeasurements& m, double f0, double f1,
                                   int columns) {
    ShownSpectrum shown;
    if (!t.traceValid || t.N <= 0 || t.pointCount <= 0 || columns < 1 || !(f1 > f0)) return shown;
    const float* power = t.power.data();
    float tonePower = 0.0f;
    int tone = 0;
    const auto visit = [&](int k) {
        if (power[k] > tonePower) {
            tonePower = power[k];
            tone = k;
        }
    };
    int previous = -1;
    for (int c = 0; c <= columns; ++c) {
        const int idx = ShownPoint(t, f0 + c * (f1 - f0) / columns);
        if (previous >= 0 && idx > previous + 1) {
            // Only the first maximum of the skipped points can become tone 1.
            float lo, hi;
            MinMax(power, previous + 1, idx, lo, hi);
            if (hi > tonePower) {
                int64_t hiPoint;
                FirstMax(power, previous + 1, idx, hi, hiPoint);
                visit(static_cast<int>(hiPoint));
            }
        }
        visit(idx);
        previous = idx;
    }
    shown.valid = true;
    shown.tonePoint = tone;
    shown.toneMarkerPowerDb = t.MarkerPowerAt(tone);
    shown.tonePeakFrequencyHz = ShownFrequency(t, t.PeakFrequencyAt(tone), f1);
    m.MeasureTones(t, tone, shown.toneMarkerPowerDb, f0, f1);
    return shown;
}
