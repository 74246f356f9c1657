#include "dsp/fft.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <numbers>
#include <utility>
#include <vector>

#include "dsp/fft_internal.h"

namespace fft_detail {

void StageConstants(int log2M, double& wpr, double& wpi) {
    const double M = static_cast<double>(int64_t{1} << log2M);
    const double sign = -1.0;
    const double wtemp = sign * std::sin(std::numbers::pi / M);
    wpr = -2.0 * wtemp * wtemp;
    wpi = sign * std::sin(2.0 * std::numbers::pi / M);
}

void RunRecurrence(double* w, int64_t count, double& wr, double& wi, double wpr, double wpi) {
    for (int64_t k = 0; k < count; ++k) {
        StoreTwiddle(w, k, wr, wi);
        const double wrOld = wr;
        wr = wr + (wr * wpr - wi * wpi);
        wi = wi + (wi * wpr + wrOld * wpi);
    }
}

namespace {
struct TableSet {
    std::once_flag once[kMaxTableLog2 + 1];
    std::vector<double> table[kMaxTableLog2 + 1];
};
TableSet& Tables() {
    static TableSet set;
    return set;
}
}  // namespace

const double* TwiddleTable(int log2M) {
    if (log2M < 1 || log2M > kMaxTableLog2) return nullptr;
    TableSet& set = Tables();
    std::call_once(set.once[log2M], [&] {
        const int64_t half = int64_t{1} << (log2M - 1);
        std::vector<double>& t = set.table[log2M];
        t.assign(static_cast<size_t>(TwiddleDoubles(half)), 0.0);
        double wpr, wpi;
        StageConstants(log2M, wpr, wpi);
        double wr = 1.0, wi = 0.0;
        RunRecurrence(t.data(), half, wr, wi, wpr, wpi);
    });
    return set.table[log2M].data();
}

void ButterflyRangeScalar(float* a, float* b, const double* w, int64_t len, int sign,
                          bool /*startsAtK0: wi is zero only there, which TwiddleImForSign sees*/) {
    for (int64_t k = 0; k < len; ++k) {
        const double wr = TwiddleRe(w, k);
        const double wi = TwiddleImForSign(w, k, sign);
        const float br = b[2 * k], bi = b[2 * k + 1];
        const float tr = static_cast<float>(wr * br - wi * bi);
        const float ti = static_cast<float>(wr * bi + wi * br);
        const float ar = a[2 * k], ai = a[2 * k + 1];
        b[2 * k] = ar - tr;
        b[2 * k + 1] = ai - ti;
        a[2 * k] = ar + tr;
        a[2 * k + 1] = ai + ti;
    }
}

bool HaveAvx512() {
#if defined(__x86_64__) && defined(__GNUC__)
    static const bool have =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512dq");
    return have;
#else
    return false;
#endif
}

}  // namespace fft_detail

using namespace fft_detail;

namespace {

// Blocks up to this size (log2 points) are transformed stage by stage while they sit in cache;
// larger transforms finish each half before combining it, as the recursive formulation does.
constexpr int kBlockLog2 = 17;
constexpr int64_t kRecurrenceChunk = 1024;

uint64_t ReverseBits(uint64_t v, int bits) {
    uint64_t r = 0;
    for (int b = 0; b < bits; ++b)
        r |= ((v >> b) & 1u) << (bits - 1 - b);
    return r;
}

// Bit-reversal permutation on complex points; a permutation, so any visiting order gives the
// same result as the classic counter. Index (a, mid, c) with 3-bit a and c goes to
// (rev c, rev mid, rev a): the 64 points sharing mid form eight rows of eight consecutive points
// (one cache line each), exchanged as a tile with the tile of rev mid.
void BitReverse(float* x, int log2n) {
    struct Point {
        float re, im;
    };
    Point* p = reinterpret_cast<Point*>(x);
    const int64_t n = int64_t{1} << log2n;
    if (log2n < 6) {
        for (int64_t i = 0; i < n; ++i) {
            const int64_t j = static_cast<int64_t>(ReverseBits(static_cast<uint64_t>(i), log2n));
            if (j > i) std::swap(p[i], p[j]);
        }
        return;
    }
    static constexpr int kRev3[8] = {0, 4, 2, 6, 1, 5, 3, 7};
    const int midBits = log2n - 6;
    const int rowShift = log2n - 3;
    const int64_t mids = int64_t{1} << midBits;
    Point t1[8][8], t2[8][8];
    auto load = [&](Point(&t)[8][8], int64_t mid) {
        for (int64_t a = 0; a < 8; ++a)
            for (int64_t c = 0; c < 8; ++c)
                t[a][c] = p[(a << rowShift) | (mid << 3) | c];
    };
    auto store = [&](const Point(&t)[8][8], int64_t mid) {
        for (int c = 0; c < 8; ++c)
            for (int a = 0; a < 8; ++a)
                p[(int64_t{kRev3[c]} << rowShift) | (mid << 3) | kRev3[a]] = t[a][c];
    };
    for (int64_t mid = 0; mid < mids; ++mid) {
        const int64_t midRev =
            static_cast<int64_t>(ReverseBits(static_cast<uint64_t>(mid), midBits));
        if (midRev < mid) continue;
        load(t1, mid);
        if (midRev != mid) {
            load(t2, midRev);
            store(t2, mid);
        }
        store(t1, midRev);
    }
}

// Combine stage of M = 2^log2M points with a twiddle table, for one block at x.
void Combine(float* x, int log2M, int sign, bool vec) {
    const int64_t h = int64_t{1} << (log2M - 1);
    auto bfly = vec ? ButterflyRangeAvx512 : ButterflyRangeScalar;
    bfly(x, x + 2 * h, TwiddleTable(log2M), h, sign, true);
}

// A stage too large for a table, over all n points: the recurrence runs once, chunk by chunk,
// and each chunk of factors serves every block before the next chunk is made.
void CombineWithRecurrence(float* x, int64_t n, int log2M, int sign, bool vec) {
    const int64_t M = int64_t{1} << log2M, h = M / 2;
    auto bfly = vec ? ButterflyRangeAvx512 : ButterflyRangeScalar;
    double wpr, wpi;
    StageConstants(log2M, wpr, wpi);
    double wr = 1.0, wi = 0.0;
    double w[TwiddleDoubles(kRecurrenceChunk)];
    for (int64_t k = 0; k < h; k += kRecurrenceChunk) {
        const int64_t len = std::min(kRecurrenceChunk, h - k);
        RunRecurrence(w, len, wr, wi, wpr, wpi);
        for (int64_t base = 0; base < n; base += M)
            bfly(x + 2 * (base + k), x + 2 * (base + k + h), w, len, sign, k == 0);
    }
}

// All stages of a block of 2^log2B points, one stage over the whole block at a time.
// firstDone: the stages M = 2, 4, 8 were already done with the bit reversal.
void TransformBlock(float* x, int log2B, int sign, bool vec, bool firstDone) {
    const int64_t n = int64_t{1} << log2B;
    if (vec && log2B >= 4) {
        if (!firstDone) FirstStagesAvx512(x, n, sign);
        StagesAvx512(x, n, 4, log2B, sign);
        return;
    }
    for (int s = 1; s <= log2B; ++s) {
        const int64_t M = int64_t{1} << s;
        for (int64_t j = 0; j < n; j += M)
            Combine(x + 2 * j, s, sign, vec);
    }
}

void TransformRecursive(float* x, int log2M, int sign, bool vec, bool firstDone) {
    if (log2M <= kBlockLog2) {
        TransformBlock(x, log2M, sign, vec, firstDone);
        return;
    }
    const int64_t h = int64_t{1} << (log2M - 1);
    TransformRecursive(x, log2M - 1, sign, vec, firstDone);
    TransformRecursive(x + 2 * h, log2M - 1, sign, vec, firstDone);
    Combine(x, log2M, sign, vec);
}

}  // namespace

int FftSizeLog2(int64_t n, int lo, int hi) {
    if (n < 1) return -1;
    // Truncated ln(n)/ln(1.99) equals log2(n) for every power of two in range.
    const int m = static_cast<int>(std::log(static_cast<double>(n)) / std::log(1.99));
    if (m < lo || m > hi || m > 62 || (int64_t{1} << m) != n) return -1;
    return m;
}

bool fft_detail::ComplexFFTPath(float* data, int64_t n, int sign, bool vectorised,
                                const FftPoll* poll) {
    const int m = FftSizeLog2(n, kFftMinLog2, kFftMaxLog2);
    if (m < 0 || data == nullptr || (sign != 1 && sign != -1)) return false;
    const bool vec = vectorised && HaveAvx512();
    const bool fused = vec && m >= 6;
    // The work counted in passes over the data: the bit reversal, then one per stage.
    const double passes = m + 1.0;
    const auto goOn = [&](double passesDone) { return !poll || (*poll)(passesDone / passes); };
    if (fused)
        BitReverseFirstStagesAvx512(data, m, sign);
    else
        BitReverse(data, m);
    // Depth first while the stages have tables, then the remaining stages one at a time.
    const int tabled = std::min(m, kMaxTableLog2);
    const int64_t blocks = n >> tabled;
    for (int64_t b = 0; b < blocks; ++b) {
        if (!goOn(1.0 + tabled * static_cast<double>(b) / static_cast<double>(blocks)))
            return false;
        TransformRecursive(data + 2 * (b << tabled), tabled, sign, vec, fused);
    }
    for (int s = tabled + 1; s <= m; ++s) {
        if (!goOn(s)) return false;
        CombineWithRecurrence(data, n, s, sign, vec);
    }
    return true;
}

void ComplexFFT(float* data, int64_t n, int sign) { ComplexFFTPath(data, n, sign, true); }

bool ComplexFFT(float* data, int64_t n, int sign, const FftPoll& poll) {
    return ComplexFFTPath(data, n, sign, true, poll ? &poll : nullptr);
}

void RealFFT(float* data, int64_t n) {
    const int m = FftSizeLog2(n, kFftMinLog2 + 1, kFftMaxLog2 + 1);
    if (m < 0 || data == nullptr) return;
    ComplexFFT(data, n / 2, +1);

    const double theta = std::numbers::pi / static_cast<double>(n / 2);
    const double wtemp = std::sin(theta / 2.0);
    const double wpr = -2.0 * wtemp * wtemp;
    const double wpi = std::sin(theta);
    double wr = 1.0 + wpr;
    double wi = wpi;
    const int64_t half = n / 2;
    for (int64_t k = 1; k < n / 4; ++k) {
        float* a = data + 2 * k;
        float* b = data + 2 * (half - k);
        const float h1r = 0.5f * (a[0] + b[0]);
        const float h1i = 0.5f * (a[1] - b[1]);
        const float h2r = 0.5f * (a[1] + b[1]);
        const float h2i = -0.5f * (a[0] - b[0]);
        a[0] = static_cast<float>(h1r + wr * h2r - wi * h2i);
        a[1] = static_cast<float>(h1i + wr * h2i + wi * h2r);
        b[0] = static_cast<float>(h1r - wr * h2r + wi * h2i);
        b[1] = static_cast<float>(-h1i + wr * h2i + wi * h2r);
        const double wrOld = wr;
        wr = wr + (wr * wpr - wi * wpi);
        wi = wi + (wi * wpr + wrOld * wpi);
    }
    const float r0 = data[0], i0 = data[1];
    data[0] = r0 + i0;
    data[1] = r0 - i0;
}
