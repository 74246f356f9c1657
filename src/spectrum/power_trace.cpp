#include "spectrum/power_trace.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "dsp/fft.h"
#include "waveform/waveform.h"

double PowerDb(double linear) { return 10.0 * std::log10(linear + kPowerFloor); }

cSpectrumTrace::cSpectrumTrace() : power(kMaxTracePoints, 0.0f), phase(kMaxTracePoints, 0.0f) {}

void cSpectrumTrace::Setup(bool ac, int frameLength, int fftSize, WindowType window,
                           int64_t sampleRateHz, bool complexFrame) {
    if (fftSize != N) resetRequest = true;
    sampleRate = sampleRateHz;
    acCoupling = ac;

    dcHalfWidth = DcHalfWidthBase(window);
    const double padding = static_cast<double>(fftSize) / static_cast<double>(frameLength);
    if (padding > 1.0) dcHalfWidth = static_cast<int>(padding * dcHalfWidth + 0.5);

    if (fftSize != N || complexFrame != complex || work_.empty()) {
        work_.assign(static_cast<size_t>(complexFrame ? 2 * fftSize : fftSize), 0.0f);
        pointCount = complexFrame ? fftSize + 1 : fftSize / 2 + 1;
    }
    N = fftSize;
    complex = complexFrame;

    const bool keep = !windowTable_.empty() && windowLength_ == frameLength &&
                      (window == windowType || window == kWindowRect);
    if (!keep) ComputeWindow(window, frameLength, windowTable_);
    windowType = window;
    windowLength_ = frameLength;
    L = frameLength;
}

int cSpectrumTrace::RunFrame(int kind, const cWaveform& wave, int start) {
    if (work_.empty() || N <= 0) return kErrFramePastEnd;
    // Channels: Q alone for "Q"; Q + jI for the swapped views; I + jQ otherwise.
    const FloatArray* re = &wave.I;
    const FloatArray* im = &wave.Q;
    if (kind == kSpectrumQ) {
        re = &wave.Q;
    } else if (kind == kSpectrumQI || kind == kSpectrumQIDcFs) {
        re = &wave.Q;
        im = &wave.I;
    }
    const int64_t available = std::min<int64_t>(wave.sampleCount, std::min(re->size(), im->size()));
    if (start < 0 || static_cast<int64_t>(start) + L > available) return kErrFramePastEnd;
    frameStart = start;
    frameEnd = start + L;

    float* buf = work_.data();
    const float* r = re->data() + start;
    const float* q = im->data() + start;
    if (complex) {
        for (int k = 0; k < L; ++k) {
            buf[2 * k] = r[k];
            buf[2 * k + 1] = q[k];
        }
        std::fill(buf + 2 * static_cast<int64_t>(L), buf + 2 * static_cast<int64_t>(N), 0.0f);
        // The mean of the L samples, removed from those samples only: the zero padding carries
        // no DC, and averaging it in would leave part of the DC behind.
        if (acCoupling) {
            double sumRe = 0.0, sumIm = 0.0;
            for (int k = 0; k < L; ++k) {
                sumRe += buf[2 * k];
                sumIm += buf[2 * k + 1];
            }
            const float meanRe = static_cast<float>(sumRe / L);
            const float meanIm = static_cast<float>(sumIm / L);
            for (int k = 0; k < L; ++k) {
                buf[2 * k] -= meanRe;
                buf[2 * k + 1] -= meanIm;
            }
        }
        if (windowType != kWindowRect && static_cast<int>(windowTable_.size()) >= L) {
            const float* w = windowTable_.data();
            for (int k = 0; k < L; ++k) {
                buf[2 * k] *= w[k];
                buf[2 * k + 1] *= w[k];
            }
        }
        ComplexFFT(buf, N, -1);
    } else {
        std::copy(r, r + L, buf);
        std::fill(buf + L, buf + N, 0.0f);
        if (acCoupling) {
            double sum = 0.0;
            for (int k = 0; k < L; ++k)
                sum += buf[k];
            const float mean = static_cast<float>(sum / L);
            for (int k = 0; k < L; ++k)
                buf[k] -= mean;
        }
        if (windowType != kWindowRect && static_cast<int>(windowTable_.size()) >= L) {
            const float* w = windowTable_.data();
            for (int k = 0; k < L; ++k)
                buf[k] *= w[k];
        }
        RealFFT(buf, N);
    }

    float scale =
        std::sqrt(static_cast<float>(N) / static_cast<float>(L)) * (1.0f / static_cast<float>(N));
    if (!complex) scale *= 2.0f;
    for (float& v : work_)
        v *= scale;
    // A real frame doubles every point so a tone reads its peak amplitude, but DC and fs/2
    // have no mirror image to fold in: they take half the power (1/sqrt 2 in amplitude), so the
    // whole trace is twice the one-sided power spectrum and a DC offset reads its true power.
    if (!complex) {
        constexpr float kOneSided = 0.70710678f;
        work_[0] *= kOneSided;
        work_[1] *= kOneSided;
    }

    Accumulate();
    return 0;
}

const float* cSpectrumTrace::FrameWindow() const {
    return windowType != kWindowRect && static_cast<int>(windowTable_.size()) >= L
               ? windowTable_.data()
               : nullptr;
}

void cSpectrumTrace::SetAveragedPower(const double* meanPower, int64_t frames) {
    resetRequest = false;
    averageCount = static_cast<int>(std::min<int64_t>(frames, INT32_MAX));
    peakPoint = 0;
    totalPower = 0.0;
    double runningMax = -200.0, dcSum = 0.0;
    const int half = N / 2;
    for (int k = 0; k < N; ++k) {
        const double p = meanPower[k < half ? k + half : k - half] + 1e-38;
        totalPower += p;
        power[static_cast<size_t>(k)] = static_cast<float>(p);
        if (p > runningMax) {
            runningMax = p;
            peakPoint = k;
        }
    }
    power[static_cast<size_t>(N)] = power[0];
    for (int k = std::max(0, half - dcHalfWidth); k < std::min(N, half + dcHalfWidth); ++k)
        dcSum += power[static_cast<size_t>(k)];
    traceValid = L > 7;
    dcLevel = PowerDb(dcSum);
}

void cSpectrumTrace::AccumulatePoint(int k, float re, float im, bool searchPeak,
                                     double& runningMax) {
    double p = static_cast<double>(re) * re + static_cast<double>(im) * im + 1e-38;
    if (phaseWanted) phase[k] = p >= 1e-6 ? static_cast<float>(std::atan2(im, re)) : 0.0f;
    const int n = averageCount;
    if (n > 1) p = (static_cast<double>(power[k]) * (n - 1) + p) / n;
    totalPower += p;
    power[k] = static_cast<float>(p);
    if (searchPeak && p > runningMax) {
        runningMax = p;
        peakPoint = k;
    }
}

void cSpectrumTrace::Accumulate() {
    if (work_.empty() || L < 8) {
        traceValid = false;  // no frame: the previous trace must not stand for this waveform
        return;
    }
    if (resetRequest) {
        traceValid = false;
        resetRequest = false;
        averageCount = 1;
    } else {
        ++averageCount;
    }
    peakPoint = 0;
    totalPower = 0.0;
    double runningMax = -200.0;
    double dcSum = 0.0;
    const float* buf = work_.data();
    const int w = dcHalfWidth;
    if (complex) {
        const int half = N / 2;
        for (int k = 0; k < N; ++k) {
            const int bin = k < half ? k + half : k - half;
            AccumulatePoint(k, buf[2 * bin], buf[2 * bin + 1], true, runningMax);
        }
        power[N] = power[0];
        if (phaseWanted) phase[N] = phase[0];
        // w points below DC, DC and w - 1 above; a band wider than the trace stops at its ends.
        for (int k = std::max(0, half - w); k < std::min(N, half + w); ++k)
            dcSum += power[k];
    } else {
        const int half = N / 2;
        double unusedMax = 0.0;
        AccumulatePoint(0, buf[0], 0.0f, false, unusedMax);
        AccumulatePoint(half, buf[1], 0.0f, false, unusedMax);
        if (phaseWanted) phase[0] = phase[half] = 0.0f;
        for (int k = 1; k < half; ++k)
            AccumulatePoint(k, buf[2 * k], buf[2 * k + 1], true, runningMax);
        for (int k = 0; k < std::min(w, pointCount); ++k)
            dcSum += power[k];
        dcSum /= 2.0;  // the real trace is twice the one-sided power spectrum
    }
    traceValid = L > 7;
    dcLevel = PowerDb(dcSum);
}

int cSpectrumTrace::MapIndex(int64_t j) const {
    if (N <= 0) return 0;
    int64_t m = j % N;
    if (m < 0) m += N;
    // Complex: one period of N points (point N repeats point 0). Real: mirrored at 0 and N/2.
    if (!complex && m > N / 2) m = N - m;
    return static_cast<int>(m);
}

double cSpectrumTrace::PointFrequency(int64_t k) const {
    if (N <= 0) return 0.0;
    const double f =
        static_cast<double>(k) * static_cast<double>(sampleRate) / static_cast<double>(N);
    return complex ? f - static_cast<double>(sampleRate / 2) : f;
}

double cSpectrumTrace::PeakFrequencyAt(int point) const {
    double weighted = 0.0, sum = 0.0;
    for (int64_t j = point - 3; j <= point + 3; ++j) {
        const double p = power[MapIndex(j)];
        weighted += PointFrequency(j) * p;
        sum += p;
    }
    return sum > 0.0 ? weighted / sum : PointFrequency(point);
}

double cSpectrumTrace::MarkerPowerAt(int point) const {
    if (!traceValid || L < 32) return 0.0;
    double band = 0.0;
    for (int64_t j = point - dcHalfWidth; j <= point + dcHalfWidth; ++j)
        band += power[MapIndex(j)];
    return PowerDb(band);
}

void cSpectrumTrace::MeasurePeak() {
    peakFrequency = PeakFrequencyAt(peakPoint);
    markerPower = MarkerPowerAt(peakPoint);
    totalPowerDb = PowerDb(totalPower);
}
