#include "tools/transform_ops.h"

#include <algorithm>

#include "tools/progress_phase.h"
#include "tools/resized_result.h"
#include "tools/sample_loop.h"
#include "waveform/waveform.h"

int64_t PowerOfTwoAtLeast(int64_t n, int64_t minimum) {
    int64_t p = std::max<int64_t>(minimum, 1);
    while (p < n && p <= (int64_t{1} << 61))
        p *= 2;
    return p;
}

bool IsTransformSize(int64_t nf) {
    return nf >= kMinTransformPoints && nf <= kMaxTransformPoints && (nf & (nf - 1)) == 0;
}

bool InterleavePadded(const float* I, const float* Q, int64_t n, float* out, int64_t nf,
                      const WorkControl& ctx) {
    return ForChunksInTwo(nf, ctx, [&](int64_t b, int64_t e) {
        const int64_t to = std::clamp(n, b, e);
        for (int64_t k = b; k < to; ++k) {
            out[2 * k] = I[k];
            out[2 * k + 1] = Q[k];
        }
        std::fill(out + 2 * to, out + 2 * e, 0.0f);
    });
}

bool Deinterleave(const float* data, int64_t m, float* I, float* Q, const WorkControl& ctx) {
    return ForChunksInTwo(m, ctx, [&](int64_t b, int64_t e) {
        for (int64_t k = b; k < e; ++k) {
            I[k] = data[2 * k];
            Q[k] = data[2 * k + 1];
        }
    });
}

int WatchedTransform(float* data, int64_t nf, int sign, const WorkControl& ctx) {
    if (!IsTransformSize(nf)) return kErrTooLong;
    const FftPoll poll = [&ctx](double done) {
        ctx.Progress(static_cast<int>(100.0 * done));
        return !ctx.StopRequested();
    };
    if (ctx.StopRequested() || !ComplexFFT(data, nf, sign, poll)) return kErrStopped;
    return kToolOk;
}

int ForwardSpectrum(const float* I, const float* Q, int64_t n, float* out, int64_t nf,
                    const WorkControl& ctx) {
    if (!IsTransformSize(nf) || n > nf) return kErrTooLong;
    if (!InterleavePadded(I, Q, n, out, nf, ProgressPhase(ctx, 0, 5))) return kErrStopped;
    if (const int code = WatchedTransform(out, nf, -1, ProgressPhase(ctx, 5, 95)); code != kToolOk)
        return code;
    // As EnsureSpectrum scales: one float factor.
    const float scale = 1.0f / static_cast<float>(nf);
    const bool done =
        ForChunksInTwo(2 * nf, ProgressPhase(ctx, 95, 100), [&](int64_t b, int64_t e) {
            for (int64_t k = b; k < e; ++k)
                out[k] *= scale;
        });
    return done ? kToolOk : kErrStopped;
}

int ReplaceBySpectrum(cWaveform& wave, const WorkControl& ctx) {
    wave.EnsureTimeDomain(true);
    const int64_t nf = SpectrumSizeFor(wave.sampleCount);
    if (nf > kMaxToolSamples) return kErrTooLong;
    FloatArray bins(static_cast<size_t>(2 * nf));
    int code = ForwardSpectrum(wave.I.data(), wave.Q.data(), wave.sampleCount, bins.data(), nf,
                               ProgressPhase(ctx, 0, 90));
    if (code != kToolOk) return code;
    PrepareResizedResult(wave, nf);
    if (!Deinterleave(bins.data(), nf, wave.scratchI.data(), wave.scratchQ.data(),
                      ProgressPhase(ctx, 90, 100))) {
        DropResizedResult(wave);
        return kErrStopped;
    }
    TakeResizedResult(wave);
    return kToolOk;
}

int ReplaceByInverseTransform(cWaveform& wave, const WorkControl& ctx) {
    wave.EnsureTimeDomain(true);
    const int64_t n = wave.sampleCount;
    const int64_t nf = PowerOfTwoAtLeast(n, kMinTransformPoints);
    if (nf > kMaxToolSamples) return kErrTooLong;
    FloatArray points(static_cast<size_t>(2 * nf));
    if (!InterleavePadded(wave.I.data(), wave.Q.data(), n, points.data(), nf,
                          ProgressPhase(ctx, 0, 5)))
        return kErrStopped;
    if (const int code = WatchedTransform(points.data(), nf, +1, ProgressPhase(ctx, 5, 90));
        code != kToolOk)
        return code;
    PrepareResizedResult(wave, nf);
    if (!Deinterleave(points.data(), nf, wave.scratchI.data(), wave.scratchQ.data(),
                      ProgressPhase(ctx, 90, 100))) {
        DropResizedResult(wave);
        return kErrStopped;
    }
    TakeResizedResult(wave);
    return kToolOk;
}
