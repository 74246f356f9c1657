#include "tools/generator_ops.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <numbers>
#include <vector>

#include "dsp/random.h"
#include "tools/sample_loop.h"
#include "waveform/waveform.h"

namespace {

constexpr double kTwoPi = 2.0 * std::numbers::pi;
// A rotating phasor drifts by about one ulp a step: it is set again from the exact phase this
// often, which keeps it within 1e-13 of it.
constexpr int64_t kResync = 1024;

using cplx = std::complex<double>;

// e^(j·2π·cycles) with cycles reduced to [0, 1) first, so large phases keep their fraction.
cplx Turn(double cycles) {
    const double fraction = cycles - std::floor(cycles);
    return std::polar(1.0, kTwoPi * fraction);
}

// Prepares scratch arrays of the waveform's length for a result built from the samples.
int64_t BeginResult(cWaveform& wave) {
    wave.EnsureTimeDomain(true);
    wave.AllocateScratch(wave.sampleCount);
    return wave.sampleCount;
}

}  // namespace

bool AddToneInto(const float* I, const float* Q, float* outI, float* outQ, int64_t n, double cycles,
                 double phaseRad, float A, const WorkControl& ctx) {
    const double phaseCycles = phaseRad / kTwoPi;
    const cplx step = Turn(cycles);
    return ForChunks(n, ctx, [&](int64_t b, int64_t e) {
        for (int64_t s = b; s < e; s += kResync) {
            // The exact phase at s: n·f/Fs is formed in double and only its fraction is used.
            cplx z = Turn(static_cast<double>(s) * cycles + phaseCycles);
            const int64_t end = std::min(e, s + kResync);
            for (int64_t k = s; k < end; ++k) {
                outI[k] = I[k] + A * static_cast<float>(z.real());
                outQ[k] = Q[k] + A * static_cast<float>(z.imag());
                z *= step;
            }
        }
    });
}

bool AddTone(cWaveform& wave, double cycles, double phaseRad, float A, const WorkControl& ctx) {
    const int64_t n = BeginResult(wave);
    const bool done = AddToneInto(wave.I.data(), wave.Q.data(), wave.scratchI.data(),
                                  wave.scratchQ.data(), n, cycles, phaseRad, A, ctx);
    if (done) wave.SwapScratch();
    return done;
}

bool AddChirp(cWaveform& wave, double f1, double f2, float A, const WorkControl& ctx) {
    const int64_t n = BeginResult(wave);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    float* outI = wave.scratchI.data();
    float* outQ = wave.scratchQ.data();
    // Phase in cycles: n·(f1 + n·slope/2); its step grows by slope every sample.
    const double slope = n > 1 ? (f2 - f1) / static_cast<double>(n - 1) : 0.0;
    auto cycles = [&](double k) { return k * (f1 + k * slope / 2.0); };
    const cplx stepGrowth = Turn(slope);
    const bool done = ForChunks(n, ctx, [&](int64_t b, int64_t e) {
        for (int64_t s = b; s < e; s += kResync) {
            const double k = static_cast<double>(s);
            cplx z = Turn(cycles(k));
            cplx step = Turn(f1 + (2.0 * k + 1.0) * slope / 2.0);  // θ(s+1) − θ(s)
            const int64_t end = std::min(e, s + kResync);
            for (int64_t m = s; m < end; ++m) {
                outI[m] = I[m] + A * static_cast<float>(z.real());
                outQ[m] = Q[m] + A * static_cast<float>(z.imag());
                z *= step;
                step *= stepGrowth;
            }
        }
    });
    if (done) wave.SwapScratch();
    return done;
}

bool AddGaussianNoise(cWaveform& wave, float A, cRandom& rng, const WorkControl& ctx) {
    const int64_t n = BeginResult(wave);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    float* outI = wave.scratchI.data();
    float* outQ = wave.scratchQ.data();
    const float perChannel = A * 0.7071f;
    const bool done = ForChunks(n, ctx, [&](int64_t b, int64_t e) {
        for (int64_t k = b; k < e; ++k) {
            const float g1 = rng.Gaussian();
            const float g2 = rng.Gaussian();
            outI[k] = I[k] + perChannel * g1;
            outQ[k] = Q[k] + perChannel * g2;
        }
    });
    if (done) wave.SwapScratch();
    return done;
}

bool AddDc(cWaveform& wave, float iOffset, float qOffset, const WorkControl& ctx) {
    const int64_t n = BeginResult(wave);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    float* outI = wave.scratchI.data();
    float* outQ = wave.scratchQ.data();
    const bool done = ForChunks(n, ctx, [&](int64_t b, int64_t e) {
        for (int64_t k = b; k < e; ++k) {
            outI[k] = I[k] + iOffset;
            outQ[k] = Q[k] + qOffset;
        }
    });
    if (done) wave.SwapScratch();
    return done;
}

bool OverwritePulse(cWaveform& wave, int64_t length, const WorkControl& ctx) {
    const int64_t n = BeginResult(wave);
    length = std::clamp<int64_t>(length, 0, n);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    float* outI = wave.scratchI.data();
    float* outQ = wave.scratchQ.data();
    const bool done = ForChunks(n, ctx, [&](int64_t b, int64_t e) {
        for (int64_t k = b; k < e; ++k) {
            outI[k] = k < length ? 0.2f : I[k];
            outQ[k] = k < length ? 0.2f : Q[k];
        }
    });
    if (done) wave.SwapScratch();
    return done;
}

void SquareSymbol(int points, float u, float& i, float& q) {
    // floor(M·u): u < 1 always, so every symbol has the same share of (0, 1).
    const int k = std::min(points - 1, static_cast<int>(static_cast<double>(points) * u));
    if (points == 4) {
        static constexpr float kI[4] = {0.5f, -0.5f, 0.5f, -0.5f};
        static constexpr float kQ[4] = {0.5f, 0.5f, -0.5f, -0.5f};
        i = kI[k];
        q = kQ[k];
        return;
    }
    const int side = points == 16 ? 4 : 8;  // levels per axis
    const double norm = std::sqrt(2.0 * (side - 1) * (side - 1));
    i = static_cast<float>((2.0 * (k / side) - (side - 1)) / norm);
    q = static_cast<float>(((side - 1) - 2.0 * (k % side)) / norm);
}

bool ReplaceBySymbols(cWaveform& wave, int points, cRandom& rng, const WorkControl& ctx) {
    const int64_t n = BeginResult(wave);
    float* outI = wave.scratchI.data();
    float* outQ = wave.scratchQ.data();
    const bool done = ForChunks(n, ctx, [&](int64_t b, int64_t e) {
        for (int64_t k = b; k < e; ++k)
            SquareSymbol(points, rng.Uniform(), outI[k], outQ[k]);
    });
    if (done) wave.SwapScratch();
    return done;
}

double RaisedCosineTap(int64_t j, int64_t S) {
    const double t = static_cast<double>(j) / static_cast<double>(S);
    const double sinc = j == 0 ? 1.0 : std::sin(std::numbers::pi * t) / (std::numbers::pi * t);
    return sinc * std::cos(std::numbers::pi / 2 * t) / (1.00000001 - t * t);
}

bool ReplaceByShapedQam64(cWaveform& wave, int64_t S, cRandom& rng, const WorkControl& ctx) {
    const int64_t n = BeginResult(wave);
    if (n <= 0 || S < 1) return true;
    const int64_t M = std::min<int64_t>(10 * S, 10000);
    const int64_t H = M / 2;
    std::vector<float> taps(static_cast<size_t>(M));
    for (int64_t m = 0; m < M; ++m)
        taps[static_cast<size_t>(m)] = static_cast<float>(RaisedCosineTap(m - H, S));
    float* outI = wave.scratchI.data();
    float* outQ = wave.scratchQ.data();
    std::fill(outI, outI + n, 0.0f);
    std::fill(outQ, outQ + n, 0.0f);
    // out[k] = Σm h(m − H)·x[(k + H − m) mod N] with x non-zero only at symbols p = 0, S, 2S..:
    // each symbol adds its pulse to the M outputs k = (p − H + m) mod N.
    const int64_t symbols = (n + S - 1) / S;
    const bool done = ForChunks(
        symbols, ctx,
        [&](int64_t b, int64_t e) {
            for (int64_t s = b; s < e; ++s) {
                float si, sq;
                SquareSymbol(64, rng.Uniform(), si, sq);
                int64_t k = ((s * S - H) % n + n) % n;
                for (int64_t m = 0; m < M; ++m) {
                    outI[k] += taps[static_cast<size_t>(m)] * si;
                    outQ[k] += taps[static_cast<size_t>(m)] * sq;
                    if (++k == n) k = 0;
                }
            }
        },
        std::max<int64_t>(1, kSampleChunk / M));
    if (done) wave.SwapScratch();
    return done;
}
