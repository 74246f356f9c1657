#include "tools/shift_ops.h"

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <numbers>
#include <vector>

#include "tools/result_build.h"
#include "waveform/waveform.h"

namespace {

using cplx = std::complex<double>;
constexpr double kTwoPi = 2.0 * std::numbers::pi;
// Phasors are formed from the exact phase at the start of every block of this many samples and
// from a table of the steps within a block, so no error accumulates along the waveform.
constexpr int64_t kBlock = 1024;

// e^(j·2π·cycles) with cycles reduced to [0, 1) first, so large phases keep their fraction.
cplx Turn(double cycles) { return std::polar(1.0, kTwoPi * (cycles - std::floor(cycles))); }

// e^(j·2π·k·cycles) for k = 0 .. kBlock−1, real and imaginary parts apart.
struct StepTable {
    std::vector<double> re, im;
    explicit StepTable(double cycles) : re(kBlock), im(kBlock) {
        for (int64_t k = 0; k < kBlock; ++k) {
            const cplx z = Turn(static_cast<double>(k) * cycles);
            re[static_cast<size_t>(k)] = z.real();
            im[static_cast<size_t>(k)] = z.imag();
        }
    }
};

// out[k] = in[k]·(z0·step[k]) for k < len: the phasor in double, the product in float.
void RotateBlock(const float* inI, const float* inQ, float* outI, float* outQ, int64_t len, cplx z0,
                 const StepTable& t) {
    const double zr = z0.real(), zi = z0.imag();
    const double* tr = t.re.data();
    const double* ti = t.im.data();
    for (int64_t k = 0; k < len; ++k) {
        const auto wr = static_cast<float>(zr * tr[k] - zi * ti[k]);
        const auto wi = static_cast<float>(zr * ti[k] + zi * tr[k]);
        const float i = inI[k], q = inQ[k];
        outI[k] = i * wr - q * wi;
        outQ[k] = i * wi + q * wr;
    }
}

}  // namespace

bool RotatePhase(cWaveform& wave, float degrees, PhaseShiftChannels channels,
                 const WorkControl& ctx) {
    const auto theta = static_cast<float>(degrees * std::numbers::pi / 180.0);
    const float c = std::cos(theta), s = std::sin(theta);
    return BuildResult(
        wave, ctx, [&](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            for (int64_t k = b; k < e; ++k) {
                const float i = I[k], q = Q[k];
                oI[k] = channels == PhaseShiftChannels::QOnly ? i : i * c - q * s;
                oQ[k] = channels == PhaseShiftChannels::IOnly ? q : i * s + q * c;
            }
        });
}

bool FrequencyShiftInto(const float* inI, const float* inQ, float* outI, float* outQ, int64_t n,
                        double cycles, const WorkControl& ctx) {
    const StepTable steps(cycles);
    // Chunks are whole blocks, so every block starts at the same sample however the chunks
    // are shared between the cores.
    return ForChunksInTwo(n, ctx, [&](int64_t b, int64_t e) {
        for (int64_t s = b; s < e; s += kBlock)
            RotateBlock(inI + s, inQ + s, outI + s, outQ + s, std::min(kBlock, e - s),
                        Turn(static_cast<double>(s + 1) * cycles), steps);
    });
}

bool FrequencyShift(cWaveform& wave, double cycles, const WorkControl& ctx) {
    PrepareScratch(wave, wave.sampleCount);
    const bool done = FrequencyShiftInto(wave.I.data(), wave.Q.data(), wave.scratchI.data(),
                                         wave.scratchQ.data(), wave.sampleCount, cycles, ctx);
    if (done) wave.SwapScratch();
    return done;
}

bool ShiftQuarterRate(cWaveform& wave, bool plusQuarterToDc, const WorkControl& ctx) {
    // (−j)^n turns (I, Q) into (Q, −I) at n = 1 mod 4; j^n into (−Q, I); both negate at 2.
    const float sign = plusQuarterToDc ? 1.0f : -1.0f;
    return BuildResult(
        wave, ctx,
        [sign](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            for (int64_t k = b; k < e; ++k) {
                const float i = I[k], q = Q[k];
                switch (k & 3) {
                    case 0:
                        oI[k] = i;
                        oQ[k] = q;
                        break;
                    case 1:
                        oI[k] = sign * q;
                        oQ[k] = -sign * i;
                        break;
                    case 2:
                        oI[k] = -i;
                        oQ[k] = -q;
                        break;
                    default:
                        oI[k] = -sign * q;
                        oQ[k] = sign * i;
                        break;
                }
            }
        });
}

bool RotateSamples(cWaveform& wave, int64_t k, const WorkControl& ctx) {
    const int64_t n = wave.sampleCount;
    if (n < 1) return true;
    k %= n;
    if (k < 0) k += n;
    // Output [0, n − k) comes from input [k, n), the rest from input [0, k).
    const int64_t wrap = n - k;
    return BuildResult(
        wave, ctx,
        [k, wrap](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            const int64_t mid = std::clamp(wrap, b, e);
            const auto head = static_cast<size_t>(mid - b), tail = static_cast<size_t>(e - mid);
            std::memcpy(oI + b, I + b + k, sizeof(float) * head);
            std::memcpy(oQ + b, Q + b + k, sizeof(float) * head);
            std::memcpy(oI + mid, I + mid - wrap, sizeof(float) * tail);
            std::memcpy(oQ + mid, Q + mid - wrap, sizeof(float) * tail);
        });
}

bool FractionalTimeShift(cWaveform& wave, double s, const WorkControl& ctx) {
    if (std::fabs(s) < 0.001) return true;
    const double whole = std::round(s);
    const double rest = s - whole;
    if (whole != 0 && !RotateSamples(wave, static_cast<int64_t>(whole), ctx)) return false;
    if (std::fabs(rest) <= 0.01) return true;
    wave.EnsureSpectrum(true);
    const int64_t nf = wave.SpectrumSize();
    float* x = wave.spectrum.data();
    const double cycles = rest / static_cast<double>(nf);  // per bin
    const StepTable steps(cycles);
    // Bin b turns by e^(jbθ), its mirror Nf − b by e^(−jbθ).
    for (int64_t b0 = 1; b0 < nf / 2; b0 += kBlock) {
        const cplx z0 = Turn(static_cast<double>(b0) * cycles);
        const int64_t len = std::min(kBlock, nf / 2 - b0);
        for (int64_t k = 0; k < len; ++k) {
            const cplx z =
                z0 * cplx(steps.re[static_cast<size_t>(k)], steps.im[static_cast<size_t>(k)]);
            for (const auto& [bin, w] : {std::pair{b0 + k, z}, std::pair{nf - b0 - k, conj(z)}}) {
                const cplx v = cplx(x[2 * bin], x[2 * bin + 1]) * w;
                x[2 * bin] = static_cast<float>(v.real());
                x[2 * bin + 1] = static_cast<float>(v.imag());
            }
        }
    }
    return true;
}
