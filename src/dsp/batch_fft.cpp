#include "dsp/batch_fft.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

using V = cBatchFft::Vector;

// The butterflies of every stage, two stages per pass over the data after the first (four
// points, three twiddles, kept in registers); inlined into a plain and a wide-instruction copy,
// which do the same operations lane by lane. Twiddles of the stage of length L are at
// L/2 − 1 + k.
inline __attribute__((always_inline)) void Multiply(V& r, V& i, float wr, float wi) {
    const V t = r * wr - i * wi;
    i = r * wi + i * wr;
    r = t;
}

inline __attribute__((always_inline)) void Butterflies(V* re, V* im, const float* twr,
                                                       const float* twi, int n) {
    for (int i = 0; i < n; i += 2) {
        const V ar = re[i], ai = im[i], br = re[i + 1], bi = im[i + 1];
        re[i] = ar + br;
        im[i] = ai + bi;
        re[i + 1] = ar - br;
        im[i + 1] = ai - bi;
    }
    int h = 2;  // half the length of the next stage
    // Stages of lengths 2h and 4h together: x0 … x3 at k, k + h, k + 2h, k + 3h of each block.
    for (; 4 * h <= n; h *= 4) {
        const float* w1r = twr + h - 1;
        const float* w1i = twi + h - 1;
        const float* w2r = twr + 2 * h - 1;
        const float* w2i = twi + 2 * h - 1;
        for (int s = 0; s < n; s += 4 * h) {
            V* r = re + s;
            V* i = im + s;
            for (int k = 0; k < h; ++k) {
                V r0 = r[k], i0 = i[k], r1 = r[k + h], i1 = i[k + h];
                V r2 = r[k + 2 * h], i2 = i[k + 2 * h], r3 = r[k + 3 * h], i3 = i[k + 3 * h];
                Multiply(r1, i1, w1r[k], w1i[k]);
                Multiply(r3, i3, w1r[k], w1i[k]);
                V a0r = r0 + r1, a0i = i0 + i1, a1r = r0 - r1, a1i = i0 - i1;
                V a2r = r2 + r3, a2i = i2 + i3, a3r = r2 - r3, a3i = i2 - i3;
                Multiply(a2r, a2i, w2r[k], w2i[k]);
                Multiply(a3r, a3i, w2r[k + h], w2i[k + h]);
                r[k] = a0r + a2r;
                i[k] = a0i + a2i;
                r[k + 2 * h] = a0r - a2r;
                i[k + 2 * h] = a0i - a2i;
                r[k + h] = a1r + a3r;
                i[k + h] = a1i + a3i;
                r[k + 3 * h] = a1r - a3r;
                i[k + 3 * h] = a1i - a3i;
            }
        }
    }
    if (2 * h <= n) {  // one stage left, of length 2h
        const float* wr = twr + h - 1;
        const float* wi = twi + h - 1;
        for (int s = 0; s < n; s += 2 * h) {
            V* ar = re + s;
            V* ai = im + s;
            V* br = re + s + h;
            V* bi = im + s + h;
            for (int k = 0; k < h; ++k) {
                V tr = br[k], ti = bi[k];
                Multiply(tr, ti, wr[k], wi[k]);
                const V xr = ar[k], xi = ai[k];
                ar[k] = xr + tr;
                ai[k] = xi + ti;
                br[k] = xr - tr;
                bi[k] = xi - ti;
            }
        }
    }
}

using Frame = cBatchFft::LaneFrame;

// Columns j … j+7 of eight rows of eight: the 8 × 8 transpose in registers.
inline __attribute__((always_inline)) void Transpose(V (&x)[8]) {
    V t[8], u[8];
    for (int r = 0; r < 8; r += 2) {
        t[r] = __builtin_shufflevector(x[r], x[r + 1], 0, 8, 1, 9, 4, 12, 5, 13);
        t[r + 1] = __builtin_shufflevector(x[r], x[r + 1], 2, 10, 3, 11, 6, 14, 7, 15);
    }
    for (int r = 0; r < 8; r += 4) {
        u[r] = __builtin_shufflevector(t[r], t[r + 2], 0, 1, 8, 9, 4, 5, 12, 13);
        u[r + 1] = __builtin_shufflevector(t[r], t[r + 2], 2, 3, 10, 11, 6, 7, 14, 15);
        u[r + 2] = __builtin_shufflevector(t[r + 1], t[r + 3], 0, 1, 8, 9, 4, 5, 12, 13);
        u[r + 3] = __builtin_shufflevector(t[r + 1], t[r + 3], 2, 3, 10, 11, 6, 7, 14, 15);
    }
    for (int c = 0; c < 4; ++c) {
        x[c] = __builtin_shufflevector(u[c], u[c + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        x[c + 4] = __builtin_shufflevector(u[c], u[c + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

// The lanes' samples, windowed and bit-reversed, into re and im (vectors of the eight lanes).
inline __attribute__((always_inline)) void Gather(const Frame* f, const int* rev, V* re, V* im,
                                                  int n) {
    bool whole = true;
    for (int lane = 0; lane < cBatchFft::kLanes; ++lane)
        whole = whole && f[lane].count == n && f[lane].window == f[0].window;
    if (whole) {
        // Eight samples of every lane at a time, turned into eight vectors of the lanes.
        const float* w = f[0].window;
        for (int j = 0; j < n; j += 8) {
            V r[8], i[8];
            for (int lane = 0; lane < 8; ++lane) {
                __builtin_memcpy(&r[lane], f[lane].I + j, sizeof(V));
                __builtin_memcpy(&i[lane], f[lane].Q + j, sizeof(V));
            }
            Transpose(r);
            Transpose(i);
            for (int c = 0; c < 8; ++c) {
                const float wc = w ? w[j + c] : 1.0f;
                re[rev[j + c]] = w ? r[c] * wc : r[c];
                im[rev[j + c]] = w ? i[c] * wc : i[c];
            }
        }
        return;
    }
    for (int j = 0; j < n; ++j) {
        V r{}, i{};
        for (int lane = 0; lane < cBatchFft::kLanes; ++lane) {
            const Frame& l = f[lane];
            if (j >= l.count) continue;
            r[lane] = l.window ? l.I[j] * l.window[j] : l.I[j];
            i[lane] = l.window ? l.Q[j] * l.window[j] : l.Q[j];
        }
        re[rev[j]] = r;
        im[rev[j]] = i;
    }
}

inline __attribute__((always_inline)) void Transform(const Frame* f, const int* rev, V* re, V* im,
                                                     const float* twr, const float* twi, int n) {
    Gather(f, rev, re, im, n);
    Butterflies(re, im, twr, twi, n);
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void TransformWide(const Frame* f, const int* rev, V* re, V* im,
                                                   const float* twr, const float* twi, int n) {
    Transform(f, rev, re, im, twr, twi, n);
}
bool HaveWide() {
    static const bool have = __builtin_cpu_supports("avx2");
    return have;
}
#else
void TransformWide(const Frame* f, const int* rev, V* re, V* im, const float* twr, const float* twi,
                   int n) {
    Transform(f, rev, re, im, twr, twi, n);
}
bool HaveWide() { return false; }
#endif

void TransformPlain(const Frame* f, const int* rev, V* re, V* im, const float* twr,
                    const float* twi, int n) {
    Transform(f, rev, re, im, twr, twi, n);
}

// The lanes' powers summed per bin, eight bins at a time turned so that each vector holds one
// lane of eight bins: the lanes then add as whole vectors, in the pairs a lane-by-lane sum
// would use, not one bin at a time across a vector.
inline __attribute__((always_inline)) void SumLanePowers(const V* re, const V* im,
                                                         const float* laneScale, int n,
                                                         double* sum) {
    V mask;
    __builtin_memcpy(&mask, laneScale, sizeof mask);
    for (int k = 0; k < n; k += 8) {
        V p[8];
        for (int c = 0; c < 8; ++c)
            p[c] = (re[k + c] * re[k + c] + im[k + c] * im[k + c]) * mask;
        Transpose(p);
        const V s = ((p[0] + p[1]) + (p[2] + p[3])) + ((p[4] + p[5]) + (p[6] + p[7]));
        for (int c = 0; c < 8; ++c)
            sum[k + c] += s[c];
    }
}

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("avx2"))) void AddPowersWide(const V* re, const V* im, const float* laneScale,
                                                   int n, double* sum) {
    SumLanePowers(re, im, laneScale, n, sum);
}
#else
void AddPowersWide(const V* re, const V* im, const float* laneScale, int n, double* sum) {
    SumLanePowers(re, im, laneScale, n, sum);
}
#endif

void AddPowersPlain(const V* re, const V* im, const float* laneScale, int n, double* sum) {
    SumLanePowers(re, im, laneScale, n, sum);
}

}  // namespace

cBatchFft::cBatchFft(int n) : n_(n) {
    int bits = 0;
    while ((1 << bits) < n)
        ++bits;
    reversed_.resize(static_cast<size_t>(n));
    for (int j = 0; j < n; ++j) {
        int r = 0;
        for (int b = 0; b < bits; ++b)
            r |= ((j >> b) & 1) << (bits - 1 - b);
        reversed_[static_cast<size_t>(j)] = r;
    }
    twiddleRe_.assign(static_cast<size_t>(n), 0.0f);
    twiddleIm_.assign(static_cast<size_t>(n), 0.0f);
    for (int len = 2; len <= n; len <<= 1)
        for (int k = 0; k < len / 2; ++k) {
            const double a = -2.0 * std::numbers::pi * k / len;
            twiddleRe_[static_cast<size_t>(len / 2 - 1 + k)] = static_cast<float>(std::cos(a));
            twiddleIm_[static_cast<size_t>(len / 2 - 1 + k)] = static_cast<float>(std::sin(a));
        }
    re_.assign(static_cast<size_t>(n), Cell{});
    im_.assign(static_cast<size_t>(n), Cell{});
}

void cBatchFft::Load(int lane, const float* I, const float* Q, const float* window, int count) {
    frames_[lane] = {I, Q, window, std::clamp(count, 0, n_)};
}

void cBatchFft::Clear(int lane) { frames_[lane] = {}; }

void cBatchFft::Run(bool vectorised) {
    auto* transform = vectorised && HaveWide() ? TransformWide : TransformPlain;
    transform(frames_, reversed_.data(), &re_.data()->v, &im_.data()->v, twiddleRe_.data(),
              twiddleIm_.data(), n_);
}

void cBatchFft::AddPowers(int lanes, float scale, double* sum) const {
    float mask[kLanes];
    for (int l = 0; l < kLanes; ++l)
        mask[l] = l < lanes ? scale * scale : 0.0f;
    auto* add = HaveWide() ? AddPowersWide : AddPowersPlain;
    add(&re_.data()->v, &im_.data()->v, mask, n_, sum);
}

void cBatchFft::Powers(int lane, float scale, float* out) const {
    for (int k = 0; k < n_; ++k) {
        const float r = re_[static_cast<size_t>(k)].v[lane] * scale;
        const float i = im_[static_cast<size_t>(k)].v[lane] * scale;
        out[k] = r * r + i * i;
    }
}
