#include "tools/modifier_ops.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <vector>

#include "tools/result_build.h"
#include "waveform/waveform.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace {

// Writes f(in[k]) to out[k] for k in [b, e). Ranges of a chunk and more are written around the
// cache: the result is not read again soon, and ordinary stores would first read every line
// they write and push out the samples still to be read. fv is f on four floats.
template <class Scalar, class Vector>
void MapChannel(const float* in, float* out, int64_t b, int64_t e, Scalar f,
                [[maybe_unused]] Vector fv) {
    int64_t k = b;
#if defined(__SSE2__)
    if (e - b >= kSampleChunk) {
        for (; k < e && (reinterpret_cast<uintptr_t>(out + k) & 15) != 0; ++k)
            out[k] = f(in[k]);
        for (; k + 4 <= e; k += 4)
            _mm_stream_ps(out + k, fv(_mm_loadu_ps(in + k)));
        _mm_sfence();
    }
#endif
    for (; k < e; ++k)
        out[k] = f(in[k]);
}

#if defined(__SSE2__)
auto VectorMul(float g) {
    return [gv = _mm_set1_ps(g)](__m128 x) { return _mm_mul_ps(x, gv); };
}
auto VectorSub(float m) {
    return [mv = _mm_set1_ps(m)](__m128 x) { return _mm_sub_ps(x, mv); };
}
#else
auto VectorMul(float) { return nullptr; }
auto VectorSub(float) { return nullptr; }
#endif

// A context that never stops: for the queries that are not part of a tool's run.
const WorkControl kNoStop{};

// Sums per fixed chunk of kSampleChunk samples, on up to two cores, added in chunk order so
// the total does not depend on how the chunks were shared out. part(b, e) returns the chunk's
// sum (a type with += and a zero value). False when the stop request ended it.
template <class T, class Part>
bool SumChunks(int64_t n, const WorkControl& ctx, T& total, Part&& part) {
    std::vector<T> parts(static_cast<size_t>((n + kSampleChunk - 1) / kSampleChunk));
    const bool done = ForChunksInTwo(n, ctx, [&](int64_t b, int64_t e) {
        parts[static_cast<size_t>(b / kSampleChunk)] = part(b, e);
    });
    total = T{};
    for (const T& p : parts)
        total += p;
    return done;
}

// The sum of x[b .. e) in double, in eight running sums so the adds overlap.
double SumChannel(const float* x, int64_t b, int64_t e) {
    constexpr int kLanes = 8;
    double lane[kLanes] = {};
    int64_t k = b;
    for (; k + kLanes <= e; k += kLanes)
        for (int l = 0; l < kLanes; ++l)
            lane[l] += static_cast<double>(x[k + l]);
    double s = 0;
    for (double v : lane)
        s += v;
    for (; k < e; ++k)
        s += static_cast<double>(x[k]);
    return s;
}

inline double Power(float i, float q) {
    const double di = i, dq = q;
    return di * di + dq * dq;
}

struct PowerSum {
    double sum = 0;
    int64_t count = 0;
    PowerSum& operator+=(const PowerSum& o) {
        sum += o.sum;
        count += o.count;
        return *this;
    }
};

struct ChannelSums {
    double i = 0, q = 0;
    ChannelSums& operator+=(const ChannelSums& o) {
        i += o.i;
        q += o.q;
        return *this;
    }
};

}  // namespace

double MeanPowerdB(const float* I, const float* Q, int64_t n, double thresholdDb) {
    if (n <= 0) return 0.0;
    const bool gated = thresholdDb < -1e-5;
    const double floor = std::pow(10.0, thresholdDb / 10.0);
    PowerSum total;
    SumChunks(n, kNoStop, total, [&](int64_t b, int64_t e) {
        PowerSum s;
        if (!gated) {
            double lane[4] = {};
            int64_t k = b;
            for (; k + 4 <= e; k += 4)
                for (int l = 0; l < 4; ++l)
                    lane[l] += Power(I[k + l], Q[k + l]);
            for (; k < e; ++k)
                lane[0] += Power(I[k], Q[k]);
            s.sum = (lane[0] + lane[1]) + (lane[2] + lane[3]);
            s.count = e - b;
        } else {
            for (int64_t k = b; k < e; ++k) {
                const double p = Power(I[k], Q[k]);
                if (p >= floor) {
                    s.sum += p;
                    ++s.count;
                }
            }
        }
        return s;
    });
    const double mean = total.sum / static_cast<double>(total.count);
    if (std::isnan(mean)) return 1e30;
    return 10.0 * std::log10(mean);
}

double MeanPowerdB(const cWaveform& wave, double thresholdDb) {
    return MeanPowerdB(wave.I.data(), wave.Q.data(), wave.sampleCount, thresholdDb);
}

float PeakMagnitude(const cWaveform& wave) {
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    struct Peak {
        double p = 0;
        Peak& operator+=(const Peak& o) {
            p = std::max(p, o.p);
            return *this;
        }
    } peak;
    SumChunks(wave.sampleCount, kNoStop, peak, [&](int64_t b, int64_t e) {
        Peak m;
        for (int64_t k = b; k < e; ++k)
            m.p = std::max(m.p, Power(I[k], Q[k]));
        return m;
    });
    return static_cast<float>(std::sqrt(peak.p));
}

bool ScaleSamples(cWaveform& wave, float g, const WorkControl& ctx) {
    return BuildResult(
        wave, ctx, [g](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            const auto f = [g](float x) { return x * g; };
            MapChannel(I, oI, b, e, f, VectorMul(g));
            MapChannel(Q, oQ, b, e, f, VectorMul(g));
        });
}

bool ScaleSpan(cWaveform& wave, int64_t first, int64_t last, float g, bool scaleI, bool scaleQ,
               const WorkControl& ctx) {
    const float gI = scaleI ? g : 1.0f, gQ = scaleQ ? g : 1.0f;
    return BuildResult(
        wave, ctx, [&](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            const int64_t from = std::clamp(first, b, e), to = std::clamp(last + 1, from, e);
            std::memcpy(oI + b, I + b, sizeof(float) * static_cast<size_t>(e - b));
            std::memcpy(oQ + b, Q + b, sizeof(float) * static_cast<size_t>(e - b));
            for (int64_t k = from; k < to; ++k) {
                oI[k] = I[k] * gI;
                oQ[k] = Q[k] * gQ;
            }
        });
}

void ComplexClipInto(const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e,
                     float c) {
    const float limit = c * c;
    for (int64_t k = b; k < e; ++k) {
        const float i = I[k], q = Q[k];
        const float p = i * i + q * q;
        if (p > limit) {
            const float f = c / std::sqrt(p);
            oI[k] = i * f;
            oQ[k] = q * f;
        } else {
            oI[k] = i;
            oQ[k] = q;
        }
    }
}

bool ComplexClip(cWaveform& wave, float c, const WorkControl& ctx) {
    return BuildResult(
        wave, ctx, [c](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            ComplexClipInto(I, Q, oI, oQ, b, e, c);
        });
}

bool ClipToFullScale(cWaveform& wave, int64_t& clipped, const WorkControl& ctx) {
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    // Counted first, so a waveform within full scale is left alone (and says so).
    clipped = 0;
    if (!SumChunks(wave.sampleCount, ctx, clipped, [&](int64_t b, int64_t e) {
            int64_t m = 0;
            for (int64_t k = b; k < e; ++k)
                m += (std::fabs(I[k]) > 1.0f) | (std::fabs(Q[k]) > 1.0f);
            return m;
        }))
        return false;
    if (clipped == 0) return true;
    return BuildResult(
        wave, ctx, [](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            for (int64_t k = b; k < e; ++k) {
                oI[k] = std::clamp(I[k], -1.0f, 1.0f);
                oQ[k] = std::clamp(Q[k], -1.0f, 1.0f);
            }
        });
}

bool ScaleAboveThreshold(cWaveform& wave, float t, float g, const WorkControl& ctx) {
    return BuildResult(
        wave, ctx,
        [t, g](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            for (int64_t k = b; k < e; ++k) {
                const float i = I[k], q = Q[k];
                const float f = i * i + q * q > t ? g : 1.0f;
                oI[k] = i * f;
                oQ[k] = q * f;
            }
        });
}

bool ZeroQ(cWaveform& wave, const WorkControl& ctx) {
    return BuildResult(
        wave, ctx, [](const float* I, const float*, float* oI, float* oQ, int64_t b, int64_t e) {
            std::memcpy(oI + b, I + b, sizeof(float) * static_cast<size_t>(e - b));
            std::fill(oQ + b, oQ + e, 0.0f);
        });
}

bool Quantise(cWaveform& wave, float steps, const WorkControl& ctx) {
    return BuildResult(
        wave, ctx,
        [steps](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            // std::round rounds halves away from zero and, unlike floor(x + 0.5), leaves
            // 0.49999997 below one half.
            for (int64_t k = b; k < e; ++k) {
                oI[k] = std::round(I[k] * steps) / steps;
                oQ[k] = std::round(Q[k] * steps) / steps;
            }
        });
}

int SwapIQ(cWaveform& wave) {
    wave.EnsureTimeDomain(true);
    const auto n = static_cast<size_t>(std::max(wave.sampleCount, 0));
    if (wave.I.size() < n) return kErrSwapNoI;
    if (wave.Q.size() < n) return kErrSwapNoQ;
    wave.I.swap(wave.Q);
    return kToolOk;
}

bool Conjugate(cWaveform& wave, const WorkControl& ctx) {
    return BuildResult(
        wave, ctx, [](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            std::memcpy(oI + b, I + b, sizeof(float) * static_cast<size_t>(e - b));
            for (int64_t k = b; k < e; ++k)
                oQ[k] = -Q[k];
        });
}

bool Reverse(cWaveform& wave, const WorkControl& ctx) {
    const int64_t last = wave.sampleCount - 1;
    return BuildResult(
        wave, ctx,
        [last](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            for (int64_t k = b; k < e; ++k) {
                oI[k] = I[last - k];
                oQ[k] = Q[last - k];
            }
        });
}

bool Fade(cWaveform& wave, int64_t start, int64_t end, bool fadeIn, const WorkControl& ctx) {
    const double span = static_cast<double>(end - start);
    return BuildResult(
        wave, ctx, [&](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            for (int64_t k = b; k < e; ++k) {
                float g = 1.0f;
                if (k >= start && k <= end) {
                    const double ramp = static_cast<double>(k - start) / span;
                    g = static_cast<float>(fadeIn ? ramp : 1.0 - ramp);
                }
                oI[k] = I[k] * g;
                oQ[k] = Q[k] * g;
            }
        });
}

bool RemoveDc(cWaveform& wave, const WorkControl& ctx) {
    wave.EnsureTimeDomain(true);
    const int64_t n = wave.sampleCount;
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    // In double: a single-precision running sum stops growing long before 10^8 samples.
    ChannelSums sums;
    if (!SumChunks(n, ctx, sums, [&](int64_t b, int64_t e) {
            return ChannelSums{SumChannel(I, b, e), SumChannel(Q, b, e)};
        }))
        return false;
    const auto mi = static_cast<float>(sums.i / static_cast<double>(n));
    const auto mq = static_cast<float>(sums.q / static_cast<double>(n));
    return BuildResult(
        wave, ctx,
        [mi, mq](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            MapChannel(
                I, oI, b, e, [mi](float x) { return x - mi; }, VectorSub(mi));
            MapChannel(
                Q, oQ, b, e, [mq](float x) { return x - mq; }, VectorSub(mq));
        });
}

int64_t DcTrendLength(int64_t n, int64_t m) { return m >= 1 && n >= 1 ? (n - 1) / m : 0; }

bool DcTrend(cWaveform& wave, int64_t m, const WorkControl& ctx) {
    wave.EnsureTimeDomain(true);
    const int64_t blocks = DcTrendLength(wave.sampleCount, m);
    wave.AllocateScratch(static_cast<int>(blocks));
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    float* oI = wave.scratchI.data();
    float* oQ = wave.scratchQ.data();
    const double length = static_cast<double>(m);
    const bool done = ForChunksInTwo(
        blocks, ctx,
        [&](int64_t b, int64_t e) {
            for (int64_t j = b; j < e; ++j) {
                oI[j] = static_cast<float>(SumChannel(I, j * m, (j + 1) * m) / length);
                oQ[j] = static_cast<float>(SumChannel(Q, j * m, (j + 1) * m) / length);
            }
        },
        std::max<int64_t>(1, kSampleChunk / m));
    if (done) wave.SwapScratch();
    return done;
}

bool CombineWith(cWaveform& wave, const cWaveform& other, CombineMode mode,
                 const WorkControl& ctx) {
    const int64_t m = std::min<int64_t>(wave.sampleCount, other.sampleCount);
    const float* I2 = other.I.data();
    const float* Q2 = other.Q.data();
    return BuildResult(
        wave, ctx, [&](const float* I, const float* Q, float* oI, float* oQ, int64_t b, int64_t e) {
            const int64_t to = std::clamp(m, b, e);
            for (int64_t k = b; k < to; ++k) {
                const float i = I[k], q = Q[k], i2 = I2[k], q2 = Q2[k];
                switch (mode) {
                    case CombineMode::Add:
                        oI[k] = i + i2;
                        oQ[k] = q + q2;
                        break;
                    case CombineMode::Subtract:
                        oI[k] = i - i2;
                        oQ[k] = q - q2;
                        break;
                    case CombineMode::Multiply:
                        oI[k] = i * i2 - q * q2;
                        oQ[k] = q * i2 + i * q2;
                        break;
                    case CombineMode::ReplaceQ:
                        oI[k] = i;
                        oQ[k] = i2;
                        break;
                }
            }
            std::memcpy(oI + to, I + to, sizeof(float) * static_cast<size_t>(e - to));
            std::memcpy(oQ + to, Q + to, sizeof(float) * static_cast<size_t>(e - to));
        });
}

double MarkedMeanPower(const cWaveform& wave, const cWaveform& marker, int64_t& count) {
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    const float* mark = marker.Q.data();
    PowerSum total;
    SumChunks(wave.sampleCount, kNoStop, total, [&](int64_t b, int64_t e) {
        PowerSum s;
        for (int64_t k = b; k < e; ++k)
            if (mark[k] > 0.5f) {
                s.sum += Power(I[k], Q[k]);
                ++s.count;
            }
        return s;
    });
    count = total.count;
    return total.count > 0 ? total.sum / static_cast<double>(total.count) : 0.0;
}
