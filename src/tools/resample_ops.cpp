#include "tools/resample_ops.h"

#include <algorithm>
#include <cstring>

#include "tools/progress_phase.h"
#include "tools/resized_result.h"
#include "tools/sample_loop.h"
#include "tools/transform_ops.h"
#include "waveform/waveform.h"

namespace {

// The largest factor the spectrum resamplers take.
constexpr int64_t kMaxSpectrumFactor = 256;

// The last step of both spectrum resamplers: the unscaled inverse of the first nf bins of
// points, whose first m points become the samples. kToolOk or the step's code.
int InverseIntoSamples(cWaveform& wave, FloatArray& points, int64_t nf, int64_t m,
                       const WorkControl& ctx) {
    if (const int code = WatchedTransform(points.data(), nf, +1, ProgressPhase(ctx, 0, 90));
        code != kToolOk)
        return code;
    PrepareResizedResult(wave, m);
    if (!Deinterleave(points.data(), m, wave.scratchI.data(), wave.scratchQ.data(),
                      ProgressPhase(ctx, 90, 100))) {
        DropResizedResult(wave);
        return kErrStopped;
    }
    TakeResizedResult(wave);
    return kToolOk;
}

}  // namespace

bool MultiplyChecked(int64_t a, int64_t b, int64_t& out) {
    int64_t r = 0;
    if (__builtin_mul_overflow(a, b, &r)) return false;
    out = r;
    return true;
}

bool IsPowerOfTwoFactor(int64_t k, int64_t maxFactor) {
    return k >= 2 && k <= maxFactor && (k & (k - 1)) == 0;
}

int ZeroStuff(cWaveform& wave, int64_t k, const WorkControl& ctx) {
    const int64_t n = wave.sampleCount;
    if (n < 1) return kErrEmpty;
    if (k < 2) return kErrResampleFactor;
    int64_t m = 0, rate = 0;
    if (!MultiplyChecked(n, k, m) || m > kMaxToolSamples) return kErrTooLong;
    if (!MultiplyChecked(wave.sampleRate, k, rate)) return kErrResampleFactor;
    wave.EnsureTimeDomain(true);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    const bool done = BuildResized(wave, m, ctx, [&](float* oI, float* oQ, int64_t b, int64_t e) {
        std::fill(oI + b, oI + e, 0.0f);
        std::fill(oQ + b, oQ + e, 0.0f);
        for (int64_t j = (b + k - 1) / k * k; j < e; j += k) {
            oI[j] = I[j / k];
            oQ[j] = Q[j / k];
        }
    });
    if (!done) return kErrStopped;
    wave.sampleRate = rate;
    return kToolOk;
}

int Decimate(cWaveform& wave, int64_t k, const WorkControl& ctx) {
    const int64_t n = wave.sampleCount;
    if (n < 2) return kErrTooShort;
    if (k < 2) return kErrResampleFactor;
    const auto m = static_cast<int64_t>(static_cast<double>(n) / static_cast<double>(k) + 0.5);
    if (m > kMaxToolSamples) return kErrTooLong;
    if (m <= 1) return kErrTooShort;
    wave.EnsureTimeDomain(true);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    const bool done = BuildResized(wave, m, ctx, [&](float* oI, float* oQ, int64_t b, int64_t e) {
        for (int64_t i = b; i < e; ++i) {
            oI[i] = I[i * k];
            oQ[i] = Q[i * k];
        }
    });
    if (!done) return kErrStopped;
    wave.sampleRate /= k;
    return kToolOk;
}

int FftUpsample(cWaveform& wave, int64_t k, const WorkControl& ctx) {
    if (!IsPowerOfTwoFactor(k, kMaxSpectrumFactor)) return kErrResampleFactor;
    const int64_t n = wave.sampleCount;
    if (n < 1) return kErrEmpty;
    int64_t m = 0, rate = 0;
    if (!MultiplyChecked(n, k, m) || m > kMaxToolSamples) return kErrTooLong;
    // Nf·K, not the power of two above N·K: for N < 8 that one is smaller than Nf itself.
    const int64_t nf = SpectrumSizeFor(n);
    const int64_t nfOut = nf * k;
    if (nfOut > kMaxTransformPoints) return kErrTooLong;
    if (!MultiplyChecked(wave.sampleRate, k, rate)) return kErrResampleFactor;
    wave.EnsureTimeDomain(true);

    // The spectrum form at the start of the new array; the negative frequencies then move to
    // its end (nfOut >= 2·nf, so the two halves never overlap) and zeros fill the middle.
    FloatArray points(static_cast<size_t>(2 * nfOut));
    float* p = points.data();
    int code = ForwardSpectrum(wave.I.data(), wave.Q.data(), n, p, nf, ProgressPhase(ctx, 0, 40));
    if (code != kToolOk) return code;
    if (ctx.StopRequested()) return kErrStopped;
    std::memcpy(p + 2 * (nfOut - nf / 2), p + nf, sizeof(float) * static_cast<size_t>(nf));
    std::fill(p + nf, p + 2 * (nfOut - nf / 2), 0.0f);
    code = InverseIntoSamples(wave, points, nfOut, m, ProgressPhase(ctx, 42, 100));
    if (code != kToolOk) return code;
    wave.sampleRate = rate;
    return kToolOk;
}

int FftDownsample(cWaveform& wave, int64_t k, const WorkControl& ctx) {
    if (!IsPowerOfTwoFactor(k, kMaxSpectrumFactor)) return kErrResampleFactor;
    const int64_t n = wave.sampleCount;
    const int64_t m = n / k;
    if (m < 2) return kErrTooShort;
    const int64_t nf = SpectrumSizeFor(n);
    if (nf > kMaxTransformPoints) return kErrTooLong;
    const int64_t nfOut = nf / k;
    if (nfOut < kMinTransformPoints) return kErrTooShort;
    wave.EnsureTimeDomain(true);

    FloatArray points(static_cast<size_t>(2 * nf));
    float* p = points.data();
    int code = ForwardSpectrum(wave.I.data(), wave.Q.data(), n, p, nf, ProgressPhase(ctx, 0, 60));
    if (code != kToolOk) return code;
    if (ctx.StopRequested()) return kErrStopped;
    // Bins [0, nfOut/2) stay; bins [nf − nfOut/2, nf) move right behind them.
    std::memmove(p + nfOut, p + 2 * nf - nfOut, sizeof(float) * static_cast<size_t>(nfOut));
    code = InverseIntoSamples(wave, points, nfOut, m, ProgressPhase(ctx, 61, 100));
    if (code != kToolOk) return code;
    wave.sampleRate /= k;
    return kToolOk;
}
