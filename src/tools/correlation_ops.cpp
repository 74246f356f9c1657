#include "tools/correlation_ops.h"

#include <algorithm>
#include <cmath>
#include <complex>

#include "dsp/fft.h"
#include "tools/shift_ops.h"
#include "waveform/waveform.h"

namespace {

using cf = std::complex<float>;

// The waveform's samples (the first `count` of them, zero beyond its length) as interleaved
// floats, transformed forward and scaled by 1/n as the spectrum form is.
std::vector<float> Spectrum(const cWaveform& w, int64_t n, int64_t count) {
    std::vector<float> bins(static_cast<size_t>(2 * n), 0.0f);
    const int64_t m = std::min<int64_t>(count, w.sampleCount);
    for (int64_t k = 0; k < m; ++k) {
        bins[static_cast<size_t>(2 * k)] = w.I[static_cast<size_t>(k)];
        bins[static_cast<size_t>(2 * k + 1)] = w.Q[static_cast<size_t>(k)];
    }
    ComplexFFT(bins.data(), n, -1);
    const float scale = 1.0f / static_cast<float>(n);
    for (float& v : bins)
        v *= scale;
    return bins;
}

// Puts n complex values (interleaved) into the waveform as its samples.
void TakeSamples(cWaveform& w, const std::vector<float>& data, int64_t n) {
    w.EnsureTimeDomain(true);
    w.AllocateScratch(static_cast<int>(n));
    for (int64_t k = 0; k < n; ++k) {
        w.scratchI[static_cast<size_t>(k)] = data[static_cast<size_t>(2 * k)];
        w.scratchQ[static_cast<size_t>(k)] = data[static_cast<size_t>(2 * k + 1)];
    }
    w.SwapScratch();
}

// b · conj(a) bin by bin into a, then the unscaled inverse transform.
void CorrelateBins(std::vector<float>& a, const std::vector<float>& b, int64_t n) {
    for (int64_t k = 0; k < n; ++k) {
        const cf x(a[static_cast<size_t>(2 * k)], a[static_cast<size_t>(2 * k + 1)]);
        const cf y(b[static_cast<size_t>(2 * k)], b[static_cast<size_t>(2 * k + 1)]);
        const cf p = y * std::conj(x);
        a[static_cast<size_t>(2 * k)] = p.real();
        a[static_cast<size_t>(2 * k + 1)] = p.imag();
    }
    ComplexFFT(a.data(), n, +1);
}

std::vector<double> Powers(const std::vector<float>& data, int64_t n) {
    std::vector<double> c(static_cast<size_t>(n));
    for (int64_t k = 0; k < n; ++k) {
        const double re = data[static_cast<size_t>(2 * k)],
                     im = data[static_cast<size_t>(2 * k + 1)];
        c[static_cast<size_t>(k)] = re * re + im * im;
    }
    return c;
}

bool Fits(int64_t n) {
    return n <= kMaxToolSamples && FftSizeLog2(n, kFftMinLog2, kFftMaxLog2) > 0;
}

}  // namespace

int64_t SpectrumLength(int64_t count) {
    int64_t n = 8;
    while (n < count)
        n *= 2;
    return n;
}

double PeakCentroid(std::vector<double>& v, double ratio, bool clearUsed, double* sum) {
    const int64_t n = static_cast<int64_t>(v.size());
    if (n == 0) return 0.0;
    const int64_t k0 = std::max_element(v.begin(), v.end()) - v.begin();
    auto at = [&](int64_t i) -> double& { return v[static_cast<size_t>(((i % n) + n) % n)]; };
    const double m = v[static_cast<size_t>(k0)];
    double S = m + 1e-30, M = static_cast<double>(k0) * m, average = 0.0;
    int start = 0, steps = 0, last = 0;
    for (int i = 1; i <= 200; ++i) {
        const double lo = at(k0 - i), hi = at(k0 + i);
        S += lo + hi;
        M += static_cast<double>(k0 - i) * lo + static_cast<double>(k0 + i) * hi;
        last = i;
        if (start == 0 && (m / (hi + lo) + 1e-30 > ratio || i == 191)) start = i;
        if (start != 0) {
            average += M / S;
            if (++steps == 10) break;
        }
    }
    if (sum) *sum = S;
    if (clearUsed)
        for (int64_t i = -last; i <= last; ++i)
            at(k0 + i) = 0.0;
    return average / steps;
}

bool Autocorrelate(cWaveform& wave, const WorkControl& ctx) {
    const int64_t n = SpectrumLength(wave.sampleCount);
    if (!Fits(n) || ctx.StopRequested()) return false;
    wave.EnsureTimeDomain(false);
    std::vector<float> bins = Spectrum(wave, n, wave.sampleCount);
    for (int64_t k = 0; k < n; ++k) {
        const float re = bins[static_cast<size_t>(2 * k)],
                    im = bins[static_cast<size_t>(2 * k + 1)];
        bins[static_cast<size_t>(2 * k)] = re * re + im * im;
        bins[static_cast<size_t>(2 * k + 1)] = 0.0f;
    }
    if (ctx.StopRequested()) return false;
    ComplexFFT(bins.data(), n, +1);
    TakeSamples(wave, bins, n);
    return true;
}

int CrossCorrelate(cWaveform& x, const cWaveform& r, double* lag, const WorkControl& ctx) {
    // x is zero-extended to the reference when that needs a longer transform.
    const int64_t count = SpectrumLength(r.sampleCount) > SpectrumLength(x.sampleCount)
                              ? r.sampleCount
                              : x.sampleCount;
    const int64_t n = SpectrumLength(count);
    if (!Fits(n)) return kErrTooLong;
    x.EnsureTimeDomain(false);
    std::vector<float> t = Spectrum(x, n, x.sampleCount);
    if (ctx.StopRequested()) return kErrStopped;
    const std::vector<float> b = Spectrum(r, n, r.sampleCount);
    if (ctx.StopRequested()) return kErrStopped;
    CorrelateBins(t, b, n);
    const std::vector<double> c = Powers(t, n);
    const int64_t k0 = std::max_element(c.begin(), c.end()) - c.begin();
    double total = 0.0;
    for (double v : c)
        total += v;
    const double floor = 10.0 * total / static_cast<double>(n);
    const int64_t limit = count <= 401 ? count / 2 - 1 : 200;
    auto at = [&](int64_t i) { return c[static_cast<size_t>(((i % n) + n) % n)]; };
    const double peak = c[static_cast<size_t>(k0)];
    double S = peak + 1e-30, M = peak * static_cast<double>(k0);
    for (int64_t j = 1; j <= limit; ++j) {
        const double lo = at(k0 - j), hi = at(k0 + j);
        S += lo + hi;
        M += static_cast<double>(k0 - j) * lo + static_cast<double>(k0 + j) * hi;
        if ((lo < floor && hi < floor) || (lo < 0.001 * peak && hi < 0.001 * peak)) break;
    }
    double position = M / S;
    if (position > n / 2.0) position -= static_cast<double>(n);
    *lag = position;
    TakeSamples(x, t, n);
    return kToolOk;
}

int CircularCrossCorrelate(cWaveform& x, const cWaveform& r, double* lag, const WorkControl& ctx) {
    // A reference of another length is repeated to a power of two well beyond x's length.
    int64_t length = r.sampleCount;
    if (FftSizeLog2(length, 1, 62) < 0) {
        length = 2;
        while (static_cast<double>(length) < 1.5 * static_cast<double>(x.sampleCount))
            length *= 2;
    }
    const int64_t n = SpectrumLength(length);
    if (!Fits(n) || length > kMaxToolSamples) return kErrTooLong;
    cWaveform b;
    b.AllocateScratch(static_cast<int>(length));
    for (int64_t k = 0; k < length; ++k) {
        b.scratchI[static_cast<size_t>(k)] = r.I[static_cast<size_t>(k % r.sampleCount)];
        b.scratchQ[static_cast<size_t>(k)] = r.Q[static_cast<size_t>(k % r.sampleCount)];
    }
    b.SwapScratch();
    x.EnsureTimeDomain(false);
    std::vector<float> a = Spectrum(x, n, x.sampleCount);
    if (ctx.StopRequested()) return kErrStopped;
    CorrelateBins(a, Spectrum(b, n, length), n);
    if (ctx.StopRequested()) return kErrStopped;
    std::vector<double> c = Powers(a, n);
    // The two largest peaks; the stronger (by the power around it) is the delay.
    double sum1 = 0.0, sum2 = 0.0;
    const double lag1 = PeakCentroid(c, 20.0, true, &sum1);
    const double lag2 = PeakCentroid(c, 20.0, true, &sum2);
    const double chosen = sum2 > sum1 ? lag2 : lag1;
    // The result is circular over the transform length n: a peak index past n/2 is a negative
    // lag. The reference repeats with its own length within it, so the lag is known only
    // modulo that length: reported within half of it either way (a copy of the waveform itself
    // is at lag 0, not at one period).
    const double circular = std::remainder(chosen, static_cast<double>(n));
    const double period = static_cast<double>(r.sampleCount);
    double folded = std::remainder(circular, period);
    if (folded <= -period / 2) folded += period;
    *lag = folded;
    TakeSamples(x, a, n);
    return kToolOk;
}

int AlignFrequency(cWaveform& x, const cWaveform& r, double* offsetHz, const WorkControl& ctx) {
    *offsetHz = 0.0;
    const int64_t count = x.sampleCount;
    if (count < 2) return kErrTooShort;
    const int64_t n = SpectrumLength(count);
    if (!Fits(n)) return kErrTooLong;
    x.EnsureTimeDomain(false);
    // The product with the reference, weighted by a triangle over the waveform.
    cWaveform t;
    t.AllocateScratch(static_cast<int>(count));
    const double centre = (count - 1) / 2.0;
    double total = 0.0;
    for (int64_t k = 0; k < count; ++k) {
        const float w = static_cast<float>((1.0 - std::fabs((k - centre) / centre)) / 0.5773436);
        const size_t i = static_cast<size_t>(k);
        const cf p = cf(r.I[i], r.Q[i]) * std::conj(cf(x.I[i], x.Q[i])) * w;
        t.scratchI[i] = p.real();
        t.scratchQ[i] = p.imag();
        total += std::norm(std::complex<double>(p));
    }
    t.SwapScratch();
    if (total < 1e-30) return kErrLevel;
    if (ctx.StopRequested()) return kErrStopped;
    const std::vector<float> bins = Spectrum(t, n, count);
    std::vector<double> power = Powers(bins, n);
    double peak = PeakCentroid(power, 1000.0, false);
    if (peak > n / 2.0) peak -= static_cast<double>(n);
    const double fs = static_cast<double>(x.sampleRate);
    *offsetHz = -peak * fs / static_cast<double>(n);
    // Shifting x by -offset lines it up with the reference.
    if (!FrequencyShift(x, -*offsetHz / fs, ctx)) return kErrStopped;
    return kToolOk;
}
