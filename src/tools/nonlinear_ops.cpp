#include "tools/nonlinear_ops.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <exception>
#include <limits>
#include <numbers>
#include <thread>
#include <vector>

#include "dsp/fft.h"
#include "measure/power_statistics.h"
#include "tools/filter_ops.h"
#include "tools/modifier_ops.h"
#include "tools/result_build.h"
#include "tools/tool_checks.h"
#include "waveform/split_work.h"
#include "waveform/waveform.h"

namespace {

// Runs a and b at the same time when there is a second core (b on a helper thread).
template <class A, class B>
void BothAtOnce(A&& a, B&& b) {
    if (std::thread::hardware_concurrency() >= 2) {
        std::thread helper;
        try {
            helper = std::thread([&b] { b(); });
        } catch (const std::exception&) {
            a();
            b();
            return;
        }
        a();
        helper.join();
        return;
    }
    a();
    b();
}

// Per-chunk sums of a ForChunksInTwo loop, added in chunk order so the total does not depend
// on how the chunks were shared between the cores.
struct ChunkSums {
    explicit ChunkSums(int64_t n)
        : parts(static_cast<size_t>((n + kSampleChunk - 1) / kSampleChunk)) {}
    double& At(int64_t begin) { return parts[static_cast<size_t>(begin / kSampleChunk)]; }
    double Total() const {
        double t = 0;
        for (double p : parts)
            t += p;
        return t;
    }
    std::vector<double> parts;
};

constexpr double kNegInf = -std::numeric_limits<double>::infinity();

}  // namespace

PowerLevels PowerStats(const cWaveform& wave) {
    if (wave.sampleCount < 1) return {kNegInf, kNegInf};
    const PowerStatistics s =
        ComputePowerStatistics(wave.I.data(), wave.Q.data(), 0, wave.sampleCount - 1, true);
    return {10.0 * std::log10(s.meanPower), 10.0 * std::log10(s.peakPower)};
}

// ---- Crest factor reduction, one pass

int CfrPass(cWaveform& wave, double offsetDb, const WorkControl& ctx) {
    if (!HasSpectrumForm(wave.sampleCount)) return kErrTooLong;
    wave.EnsureTimeDomain(true);
    const PowerLevels levels = PowerStats(wave);
    if (!(std::fabs(levels.peakDb) <= 100)) return kErrLevel;
    const double clipDb = levels.meanDb + offsetDb;
    if (!InRange(clipDb, -300, 3)) return kToolOk;  // the clip leaves every sample as it is
    const float clip = GainFactor(static_cast<float>(clipDb));
    if (ctx.StopRequested()) return kErrStopped;

    const int64_t n = wave.sampleCount;
    const int64_t nf = SpectrumSizeFor(n);
    // The clipped waveform goes to the scratch arrays, and the signal and the clipping noise
    // (what the clip took away) to two arrays of nf points, zero-padded and interleaved.
    PrepareScratch(wave, n);
    FloatArray signal(static_cast<size_t>(2 * nf)), noise(static_cast<size_t>(2 * nf));
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    float* cI = wave.scratchI.data();
    float* cQ = wave.scratchQ.data();
    std::atomic<int64_t> clipped{0};
    SplitInTwo(nf, 4 * kSampleChunk, kSampleChunk, [&](int64_t b, int64_t e) {
        const int64_t end = std::clamp(n, b, e);
        ComplexClipInto(I, Q, cI, cQ, b, end, clip);
        int64_t count = 0;
        for (int64_t k = b; k < end; ++k) {
            const float ni = I[k] - cI[k], nq = Q[k] - cQ[k];
            count += ni != 0.0f || nq != 0.0f;
            signal[2 * k] = I[k];
            signal[2 * k + 1] = Q[k];
            noise[2 * k] = ni;
            noise[2 * k + 1] = nq;
        }
        for (int64_t k = end; k < e; ++k)
            signal[2 * k] = signal[2 * k + 1] = noise[2 * k] = noise[2 * k + 1] = 0.0f;
        clipped += count;
    });
    if (clipped == 0) return kToolOk;  // no noise to filter

    // The two transforms are independent: one on each core. Unscaled both ways; only power
    // ratios of bins are compared, and the way back is scaled below.
    BothAtOnce([&] { ComplexFFT(signal.data(), nf, -1); },
               [&] { ComplexFFT(noise.data(), nf, -1); });
    if (ctx.StopRequested()) return kErrStopped;
    // Noise survives only where the signal is 30 dB above it: in band, under the signal.
    SplitInTwo(nf, 4 * kSampleChunk, kSampleChunk, [&](int64_t b, int64_t e) {
        for (int64_t k = b; k < e; ++k) {
            const double sr = signal[2 * k], si = signal[2 * k + 1];
            const double er = noise[2 * k], ei = noise[2 * k + 1];
            if (sr * sr + si * si < 1000.0 * (er * er + ei * ei))
                noise[2 * k] = noise[2 * k + 1] = 0.0f;
        }
    });
    ReleaseArray(signal);
    ComplexFFT(noise.data(), nf, +1);
    const float scale = 1.0f / static_cast<float>(nf);
    const float* e = noise.data();
    return BuildResult(
               wave, ctx,
               [&](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t end) {
                   for (int64_t k = b; k < end; ++k) {
                       oI[k] = I[k] - e[2 * k] * scale;
                       oQ[k] = Q[k] - e[2 * k + 1] * scale;
                   }
               })
               ? kToolOk
               : kErrStopped;
}

// ---- Peak windowing

int PeakWindowCfr(cWaveform& wave, double parDb, int windowLength, double& evmPercent,
                  const WorkControl& ctx) {
    wave.EnsureTimeDomain(true);
    const int64_t n = wave.sampleCount;
    const int64_t W = windowLength;
    if (std::isnan(parDb) || W < 2) return kErrLevel;
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    auto power = [&](int64_t k) {
        const double i = I[k], q = Q[k];
        return i * i + q * q;
    };

    ChunkSums total(n);
    if (!ForChunksInTwo(n, ctx, [&](int64_t b, int64_t e) {
            double s = 0;
            for (int64_t k = b; k < e; ++k)
                s += power(k);
            total.At(b) = s;
        }))
        return kErrStopped;
    const double mean = total.Total() / static_cast<double>(n);
    if (!(mean > 0 && std::isfinite(mean))) return kErrLevel;
    const double threshold = std::pow(10.0, parDb / 10.0) * mean;

    // The clip coefficients are zero except at the peaks: kept as (index, value) pairs.
    std::vector<int64_t> at;
    std::vector<double> coefficient;
    for (int64_t k = 0; k < n; ++k) {
        const double p = power(k);
        if (p > threshold) {
            at.push_back(k);
            coefficient.push_back(1.0 - threshold / p);
        }
    }
    std::vector<double> window(static_cast<size_t>(W));
    for (int64_t k = 0; k < W; ++k)
        window[static_cast<size_t>(k)] =
            0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * static_cast<double>(k) /
                                  static_cast<double>(W - 1)));
    const int64_t H = W / 2;
    const size_t m = at.size();

    // In sample order, each coefficient is lowered by the falling half of the window laid over
    // the coefficients before it (those within H samples); a zero coefficient stays zero.
    for (size_t j = 0, first = 0; j < m; ++j) {
        if (j % 65536 == 65535 && ctx.StopRequested()) return kErrStopped;
        const int64_t k = at[j];
        if (k == 0) continue;
        while (at[first] < k - H)
            ++first;
        double f = 0;
        for (size_t i = first; i < j; ++i)
            f += window[static_cast<size_t>(H - k + at[i])] * coefficient[i];
        coefficient[j] = std::max(0.0, coefficient[j] - f);
    }

    // The coefficients spread by the window and moved back by H, except the last H, which keep
    // their own; then every sample scaled by 1 minus its coefficient.
    ChunkSums error(n);
    const bool done = BuildResult(
        wave, ctx, [&](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            size_t lo = static_cast<size_t>(std::lower_bound(at.begin(), at.end(), b + H - W + 1) -
                                            at.begin());
            size_t hi = lo;
            double err = 0;
            for (int64_t k = b; k < e; ++k) {
                double c = 0;
                if (k < n - H) {
                    const int64_t top = k + H;
                    while (lo < m && at[lo] < top - W + 1)
                        ++lo;
                    hi = std::max(hi, lo);
                    while (hi < m && at[hi] <= top)
                        ++hi;
                    for (size_t i = lo; i < hi; ++i)
                        c += window[static_cast<size_t>(top - at[i])] * coefficient[i];
                } else {
                    const auto it = std::lower_bound(at.begin(), at.end(), k);
                    if (it != at.end() && *it == k)
                        c = coefficient[static_cast<size_t>(it - at.begin())];
                }
                // Windows of close peaks overlap: their sum may pass 1, and a gain below 0
                // would turn the sample over instead of reducing it.
                const auto g = static_cast<float>(1.0 - std::min(c, 1.0));
                oI[k] = I[k] * g;
                oQ[k] = Q[k] * g;
                const double di = static_cast<double>(oI[k]) - I[k];
                const double dq = static_cast<double>(oQ[k]) - Q[k];
                err += di * di + dq * dq;
            }
            error.At(b) = err;
        });
    if (!done) return kErrStopped;
    evmPercent = std::sqrt(error.Total() / static_cast<double>(n)) / std::sqrt(mean) * 100.0;
    return kToolOk;
}

// ---- PA compression

namespace {
struct CurvePoint {
    double x, y;
};
constexpr CurvePoint kCompression[] = {
    {0.0000316, 1}, {0.0001, 1},     {0.000316, 1},   {0.001, 1.01},  {0.00316, 1.01},
    {0.01, 1.01},   {0.0316, 0.991}, {0.0708, 0.902}, {0.158, 0.851}, {0.316, 0.832},
    {0.501, 0.776}, {0.794, 0.603},  {1, 0.501},      {1.26, 0.398}};
}  // namespace

cPaCurve::cPaCurve() {
    for (const CurvePoint& p : kCompression)
        spline_.AddKnot(p.x, p.y);
    spline_.Prepare();
    // As the spline stores them, so the ends join it without a step.
    firstX_ = static_cast<float>(kCompression[0].x);
    firstY_ = static_cast<float>(kCompression[0].y);
    lastX_ = static_cast<float>(std::end(kCompression)[-1].x);
    lastY_ = static_cast<float>(std::end(kCompression)[-1].y);
}

double cPaCurve::Gain(double u) {
    // The end cubics of the spline turn negative and grow without bound outside the table.
    if (u < firstX_) return firstY_;
    if (u > lastX_) return lastY_ * std::sqrt(lastX_ / u);
    return spline_.Evaluate(u);
}

bool PaCompression(cWaveform& wave, double backOffDb, const WorkControl& ctx) {
    const double reference = std::pow(10.0, (backOffDb + 0.2) / 10.0);
    cPaCurve curve;  // prepared: the two cores only read it
    return BuildResult(
        wave, ctx, [&](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            for (int64_t k = b; k < e; ++k) {
                const double i = I[k], q = Q[k];
                const auto g = static_cast<float>(curve.Gain((i * i + q * q) / reference));
                oI[k] = I[k] * g;
                oQ[k] = Q[k] * g;
            }
        });
}

bool NonLinearExpansion(cWaveform& wave, const WorkControl& ctx) {
    return BuildResult(
        wave, ctx, [](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            for (int64_t k = b; k < e; ++k) {
                oI[k] = std::fabs(I[k]) * I[k];
                oQ[k] = std::fabs(Q[k]) * Q[k];
            }
        });
}
