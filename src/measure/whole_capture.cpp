#include "measure/whole_capture.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <memory>
#include <thread>

#include "dsp/batch_fft.h"
#include "waveform/capture_source.h"
#include "waveform/split_work.h"
#include "waveform/waveform.h"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define QRVN_HAVE_AVX2_PATH 1
#endif

namespace {

constexpr int64_t kBlockSamples = int64_t{1} << 22;  // 32 MB of decoded I and Q at a time

// Reads samples [first, first + n) of the capture into block (its sample arrays resized only
// when n changes). "" or why not.
std::string ReadBlock(const cCaptureSource& capture, int64_t first, int n, cWaveform& block,
                      std::vector<uint8_t>& buffer) {
    if (block.sampleCount != n) {
        block.AllocateScratch(n);
        block.SwapScratch();
        block.AllocateScratch(0);
    }
    return capture.ReadThrough(first, n, block.I.data(), block.Q.data(), buffer);
}

// ReadBlock through the mapping, its pages let go of afterwards: no copy of the bytes, for
// the passes whose work per sample makes that copy count.
std::string ReadBlockOnce(const cCaptureSource& capture, int64_t first, int n, cWaveform& block,
                          std::vector<uint8_t>& buffer) {
    if (block.sampleCount != n) {
        block.AllocateScratch(n);
        block.SwapScratch();
        block.AllocateScratch(0);
    }
    return capture.ReadOnce(first, n, block.I.data(), block.Q.data(), buffer);
}

constexpr size_t kReadBytes = size_t{1} << 20;  // each pread, small enough to stay in the cache
constexpr int64_t kPiece = 32768;               // samples decoded and summed at a time

float PowerDbOf(double p) { return static_cast<float>(10.0 * std::log10(p + kPowerFloor)); }

int Percent(int64_t done, int64_t total) {
    return total > 0 ? static_cast<int>(100.0 * static_cast<double>(done) / total) : 100;
}

// The bins of n sample powers (below) into bins[], and the lowest and highest of them folded
// into lo and hi. The power is rounded to float from the double sum of squares, as every power
// of a waveform is.
constexpr uint32_t kInfinitePowerBin = 0x7F800000u >> 12;

void PowerBinsPlain(const float* I, const float* Q, int n, uint32_t* bins, uint32_t& lo,
                    uint32_t& hi) {
    for (int k = 0; k < n; ++k) {
        const double i = I[k], q = Q[k];
        const float p = static_cast<float>(i * i + q * q);
        const uint32_t b = std::min(std::bit_cast<uint32_t>(p) >> 12, kInfinitePowerBin);
        bins[k] = b;
        lo = std::min(lo, b);
        hi = std::max(hi, b);
    }
}

#ifdef QRVN_HAVE_AVX2_PATH
// The powers I² + Q² of samples 0 … 7 in double, without fused multiply-add (the roundings of
// every power of a waveform): 0 … 3 in lower, 4 … 7 in upper.
__attribute__((target("avx2"), always_inline)) inline void EightPowers(const float* I,
                                                                       const float* Q,
                                                                       __m256d& lower,
                                                                       __m256d& upper) {
    const __m256d i0 = _mm256_cvtps_pd(_mm_loadu_ps(I)), q0 = _mm256_cvtps_pd(_mm_loadu_ps(Q));
    const __m256d i1 = _mm256_cvtps_pd(_mm_loadu_ps(I + 4));
    const __m256d q1 = _mm256_cvtps_pd(_mm_loadu_ps(Q + 4));
    lower = _mm256_add_pd(_mm256_mul_pd(i0, i0), _mm256_mul_pd(q0, q0));
    upper = _mm256_add_pd(_mm256_mul_pd(i1, i1), _mm256_mul_pd(q1, q1));
}

// Eight samples a step with the same roundings (no fused multiply-add): the scalar form spends
// more time finding the bins than counting them.
__attribute__((target("avx2"))) void PowerBinsAvx2(const float* I, const float* Q, int n,
                                                   uint32_t* bins, uint32_t& lo, uint32_t& hi) {
    const __m256i top = _mm256_set1_epi32(static_cast<int>(kInfinitePowerBin));
    __m256i low = _mm256_set1_epi32(static_cast<int>(lo));
    __m256i high = _mm256_set1_epi32(static_cast<int>(hi));
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        __m256d a, b;
        EightPowers(I + k, Q + k, a, b);
        const __m256 p = _mm256_set_m128(_mm256_cvtpd_ps(b), _mm256_cvtpd_ps(a));
        const __m256i bin = _mm256_min_epu32(_mm256_srli_epi32(_mm256_castps_si256(p), 12), top);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(bins + k), bin);
        low = _mm256_min_epu32(low, bin);
        high = _mm256_max_epu32(high, bin);
    }
    alignas(32) uint32_t lows[8], highs[8];
    _mm256_store_si256(reinterpret_cast<__m256i*>(lows), low);
    _mm256_store_si256(reinterpret_cast<__m256i*>(highs), high);
    for (int l = 0; l < 8; ++l) {
        lo = std::min(lo, lows[l]);
        hi = std::max(hi, highs[l]);
    }
    PowerBinsPlain(I + k, Q + k, n - k, bins + k, lo, hi);
}
#endif

void PowerBins(const float* I, const float* Q, int n, uint32_t* bins, uint32_t& lo, uint32_t& hi) {
#ifdef QRVN_HAVE_AVX2_PATH
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return PowerBinsAvx2(I, Q, n, bins, lo, hi);
#endif
    PowerBinsPlain(I, Q, n, bins, lo, hi);
}

// Float sample powers in bins of their top 20 bits (sign, exponent, 11 mantissa bits): each
// bin spans a ratio of 1 + 2^-11, 0.0021 dB. Powers are never negative or NaN; the last bin
// holds the infinite ones.
class PowerHistogram {
public:
    static constexpr uint32_t kInfiniteBin = kInfinitePowerBin;
    PowerHistogram() : bins_(size_t{kInfiniteBin} + 1, 0), counts_(size_t{kInfiniteBin} + 1, 0) {}
    // n < 2^32. The samples are counted in 32-bit counts first, whose few touched bins fit in
    // the cache where the 64-bit totals would not, then added to the totals.
    void Add(const float* I, const float* Q, int n) {
        uint32_t lo = kInfiniteBin, hi = 0;
        uint32_t piece[1024];
        for (int k0 = 0; k0 < n; k0 += 1024) {
            const int m = std::min(1024, n - k0);
            PowerBins(I + k0, Q + k0, m, piece, lo, hi);
            for (int k = 0; k < m; ++k)
                ++counts_[piece[k]];
        }
        for (uint32_t b = lo; b <= hi && n > 0; ++b) {
            bins_[b] += counts_[b];
            counts_[b] = 0;
        }
    }
    void Merge(const PowerHistogram& other) {
        for (size_t b = 0; b < bins_.size(); ++b)
            bins_[b] += other.bins_[b];
    }
    // The peak-to-average ratios of the CCDF at each probability, as the CCDF of a waveform
    // defines them: the power ranked round(q·n)+1 from the top, over the mean, while more than
    // that many powers lie above the mean.
    std::array<double, 6> ParDb(int64_t n, double meanPower, double rmsDb) const {
        std::array<double, 6> par{};
        int64_t above = 0;
        for (size_t b = Bins(); b-- > 0 && Low(b) > meanPower;)
            above += Count(b);
        for (size_t i = 0; i < par.size(); ++i) {
            const double q = CcdfStatistics::kProbabilitiesPercent[i];
            const int64_t j = static_cast<int64_t>(std::round(q / 100.0 * static_cast<double>(n)));
            if (above - j - 1 <= 0) continue;
            int64_t seen = 0;
            for (size_t b = Bins(); b-- > 0;) {
                seen += Count(b);
                if (seen > j) {
                    par[i] = 10.0 * std::log10(Middle(b)) - rmsDb;
                    break;
                }
            }
        }
        return par;
    }

private:
    size_t Bins() const { return bins_.size(); }
    int64_t Count(size_t b) const { return static_cast<int64_t>(bins_[b]); }
    static double Low(size_t b) { return std::bit_cast<float>(static_cast<uint32_t>(b << 12)); }
    static double Middle(size_t b) {
        return std::bit_cast<float>(static_cast<uint32_t>(b << 12 | 0x800));
    }
    std::vector<uint64_t> bins_;
    std::vector<uint32_t> counts_;  // of the samples being added, zero between calls
};

// Adds the sum and the largest of the powers I² + Q² of n samples to sum and peak; four
// running sums and peaks, so the loop is not one chain of dependent additions.
void SumPowersPlain(const float* I, const float* Q, int n, double& sum, double& peak) {
    double sums[4] = {}, peaks[4] = {};
    int k = 0;
    for (; k + 4 <= n; k += 4)
        for (int l = 0; l < 4; ++l) {
            const double i = I[k + l], q = Q[k + l], p = i * i + q * q;
            sums[l] += p;
            peaks[l] = p > peaks[l] ? p : peaks[l];
        }
    for (; k < n; ++k) {
        const double i = I[k], q = Q[k], p = i * i + q * q;
        sums[0] += p;
        peaks[0] = p > peaks[0] ? p : peaks[0];
    }
    sum += (sums[0] + sums[1]) + (sums[2] + sums[3]);
    peak = std::max({peak, peaks[0], peaks[1], peaks[2], peaks[3]});
}

#ifdef QRVN_HAVE_AVX2_PATH
// The same sums eight samples a step (in another order of additions: the overview's levels
// are kept to 1e-4 dB, not bit for bit).
__attribute__((target("avx2"))) void SumPowersAvx2(const float* I, const float* Q, int n,
                                                   double& sum, double& peak) {
    __m256d s0 = _mm256_setzero_pd(), s1 = s0, p0 = s0, p1 = s0;
    int k = 0;
    for (; k + 8 <= n; k += 8) {
        __m256d a, b;
        EightPowers(I + k, Q + k, a, b);
        s0 = _mm256_add_pd(s0, a);
        s1 = _mm256_add_pd(s1, b);
        p0 = _mm256_max_pd(p0, a);
        p1 = _mm256_max_pd(p1, b);
    }
    alignas(32) double sums[4], peaks[4];
    _mm256_store_pd(sums, _mm256_add_pd(s0, s1));
    _mm256_store_pd(peaks, _mm256_max_pd(p0, p1));
    sum += (sums[0] + sums[1]) + (sums[2] + sums[3]);
    peak = std::max({peak, peaks[0], peaks[1], peaks[2], peaks[3]});
    SumPowersPlain(I + k, Q + k, n - k, sum, peak);
}
#endif

void SumPowers(const float* I, const float* Q, int n, double& sum, double& peak) {
#ifdef QRVN_HAVE_AVX2_PATH
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) return SumPowersAvx2(I, Q, n, sum, peak);
#endif
    SumPowersPlain(I, Q, n, sum, peak);
}

// The sum and the largest of the sample powers of a column, and how many samples it has.
struct ColumnSums {
    double sum = 0.0, peak = 0.0;
    int64_t n = 0;
    void Add(const ColumnSums& o) {
        sum += o.sum;
        peak = std::max(peak, o.peak);
        n += o.n;
    }
};

// Adds block statistics to running sums (weighted by their counts).
void AddStatistics(PowerStatistics& total, const PowerStatistics& part) {
    const double n = static_cast<double>(total.count), m = static_cast<double>(part.count);
    if (part.count == 0) return;
    total.meanPower = (total.meanPower * n + part.meanPower * m) / (n + m);
    total.meanI = (total.meanI * n + part.meanI * m) / (n + m);
    total.meanQ = (total.meanQ * n + part.meanQ * m) / (n + m);
    total.peakPower = std::max(total.peakPower, part.peakPower);
    total.count += part.count;
}

}  // namespace

std::string ComputeCaptureOverview(const cCaptureSource& capture, int64_t start, int64_t count,
                                   int columns, CaptureOverview& out, const WorkControl& control,
                                   const std::function<void(const CaptureOverview&)>& partial) {
    out = CaptureOverview{};
    if (columns < 1) return "an overview needs at least one column";
    if (std::string why = capture.CheckRange(start, count); !why.empty()) return why;
    out.start = start;
    out.count = count;
    out.peakDb.assign(static_cast<size_t>(columns), PowerDbOf(0));
    out.meanDb.assign(static_cast<size_t>(columns), PowerDbOf(0));
    const int64_t C = columns;
    // Column c covers [begin(c), begin(c + 1)); the column of sample x is the last whose
    // begin is at most x.
    const auto begin = [&](int64_t c) {
        return start + static_cast<int64_t>(static_cast<__int128>(c) * count / C);
    };
    const auto columnOf = [&](int64_t x) {
        return static_cast<int64_t>((static_cast<__int128>(x - start + 1) * C - 1) / count);
    };
    const auto finish = [&](int64_t c, const ColumnSums& t) {
        out.peakDb[static_cast<size_t>(c)] = PowerDbOf(t.peak);
        out.meanDb[static_cast<size_t>(c)] = PowerDbOf(t.sum / static_cast<double>(t.n));
    };
    // Each of the two cores reads its half of a block through buffers of its own, in pieces
    // that stay in the cache from the read through the decode to the sums.
    struct Half {
        std::vector<uint8_t> buffer;
        std::vector<float> i, q;
        std::vector<ColumnSums> sums;  // per column of the block
        std::string why;
    } halves[2];
    for (Half& h : halves) {
        h.buffer.resize(static_cast<size_t>(kPiece * capture.BytesPerSample()));
        h.i.resize(static_cast<size_t>(kPiece));
        h.q.resize(static_cast<size_t>(kPiece));
    }
    if (count < C) {
        // Fewer samples than columns: each column shows the one sample at its start.
        std::vector<float> i(1), q(1);
        for (int64_t c = 0; c < C; ++c) {
            if (std::string why =
                    capture.ReadThrough(begin(c), 1, i.data(), q.data(), halves[0].buffer);
                !why.empty())
                return why;
            const double p = double(i[0]) * i[0] + double(q[0]) * q[0];
            finish(c, {p, p, 1});
        }
        out.columnsDone = columns;
        control.Progress(100);
        if (partial) partial(out);
        return "";
    }
    ColumnSums open;  // the column that runs on into the next block
    const int64_t end = start + count;
    for (int64_t b0 = start; b0 < end; b0 += kBlockSamples) {
        const int64_t b1 = std::min(end, b0 + kBlockSamples);
        const int64_t c0 = columnOf(b0), c1 = columnOf(b1 - 1);
        for (Half& h : halves) {  // both, as a short block runs on one core only
            h.sums.assign(static_cast<size_t>(c1 - c0 + 1), ColumnSums{});
            h.why.clear();
        }
        SplitInTwo(b1 - b0, 1 << 16, 64, [&](int64_t lo, int64_t hi) {
            Half& h = halves[lo == 0 ? 0 : 1];
            // Pages in the page cache are decoded where they are mapped, no copy made; the
            // rest come through pread. One check and one release for the whole half: per
            // piece, their system calls would cost more than the copy they save.
            const bool mapped = capture.InPageCache(b0 + lo, hi - lo);
            for (int64_t p0 = b0 + lo; p0 < b0 + hi && h.why.empty(); p0 += kPiece) {
                const int64_t p1 = std::min(b0 + hi, p0 + kPiece);
                h.why = mapped ? capture.Read(p0, p1 - p0, h.i.data(), h.q.data())
                               : capture.ReadThrough(p0, p1 - p0, h.i.data(), h.q.data(), h.buffer);
                for (int64_t x = p0, c = columnOf(p0); x < p1 && h.why.empty(); ++c) {
                    const int64_t y = std::min(p1, begin(c + 1));
                    ColumnSums& t = h.sums[static_cast<size_t>(c - c0)];
                    SumPowers(h.i.data() + (x - p0), h.q.data() + (x - p0), static_cast<int>(y - x),
                              t.sum, t.peak);
                    t.n += y - x;
                    x = y;
                }
            }
            if (mapped) capture.ReleaseMapped(b0 + lo, hi - lo);
        });
        for (const Half& h : halves)
            if (!h.why.empty()) return h.why;
        for (int64_t c = c0; c <= c1; ++c) {
            ColumnSums t = c == c0 ? open : ColumnSums{};
            for (const Half& h : halves)
                t.Add(h.sums[static_cast<size_t>(c - c0)]);
            if (begin(c + 1) <= b1) {
                finish(c, t);
                out.columnsDone = static_cast<int>(c + 1);
            } else {
                open = t;
            }
        }
        control.Progress(Percent(b1 - start, count));
        if (partial) partial(out);
        if (control.StopRequested()) return "stopped";
    }
    return "";
}

std::string MeasureWholeCapture(const cCaptureSource& capture, int64_t sampleRateHz,
                                const SpectrumSettings& settings, int spectrumKind, bool realFrame,
                                cSpectrumTrace& trace, WholeCaptureFigures& figures,
                                const WorkControl& control) {
    figures = WholeCaptureFigures{};
    const int64_t total = capture.SampleCount();
    if (total < 8) return "the capture is too short for a spectrum (8 samples at least)";
    const int N = settings.fftSize;
    const int L = static_cast<int>(std::min<int64_t>(N, total));
    const int64_t step = std::max(1, N / std::max(1, settings.frameStepDivisor));
    trace.phaseWanted = settings.phaseWanted;
    trace.Setup(settings.acCoupling, L, N, settings.window, sampleRateHz, !realFrame);
    trace.firstSampleInFile = 0;
    // Frames start every step samples while a whole frame fits; one frame without averaging.
    const int64_t frameCount = settings.averaging ? (total - L) / step + 1 : 1;
    const int64_t framesPerBlock = std::max<int64_t>(1, (kBlockSamples - L) / step + 1);
    // Complex frames of whole length go through the batch transform, eight at a time on each
    // core, their powers summed in double and averaged once at the end: the frame-by-frame
    // path would spend most of the pass in one transform at a time. The result differs from
    // the recompute's running mean only by rounding. AC coupling, phases and one-channel
    // frames keep the recompute's own path.
    const bool batched = settings.averaging && !realFrame && spectrumKind != kSpectrumQ &&
                         !settings.acCoupling && !settings.phaseWanted && L == N;
    const bool swapped = spectrumKind == kSpectrumQI || spectrumKind == kSpectrumQIDcFs;
    // What each core keeps: its transform and power sums, and the levels and histogram of the
    // samples it counted.
    struct Half {
        std::unique_ptr<cBatchFft> fft;
        std::vector<double> sum;
        PowerStatistics power;
        PowerHistogram histogram;
    } halves[2];
    if (batched)
        for (Half& h : halves) {
            h.fft = std::make_unique<cBatchFft>(N);
            h.sum.assign(static_cast<size_t>(N), 0.0);
        }
    const float* window = trace.FrameWindow();
    const float scale = 1.0f / static_cast<float>(N);  // RunFrame's for L = N

    // Blocks of frames, each read (on a thread of its own) while the one before is
    // transformed: a pass over a large file waits on its reads and its transforms in turn
    // otherwise.
    cWaveform blocks[2];
    std::vector<uint8_t> buffers[2] = {std::vector<uint8_t>(kReadBytes),
                                       std::vector<uint8_t>(kReadBytes)};
    const auto blockFirst = [&](int64_t f) { return f * step; };
    const auto blockLength = [&](int64_t f) {
        return static_cast<int>((std::min(framesPerBlock, frameCount - f) - 1) * step + L);
    };
    int64_t counted = 0;  // samples already in the levels (blocks overlap by L - step)
    std::string readWhy = ReadBlock(capture, 0, blockLength(0), blocks[0], buffers[0]);
    for (int64_t f = 0, slot = 0; f < frameCount && readWhy.empty();
         f += framesPerBlock, slot ^= 1) {
        const int64_t frames = std::min(framesPerBlock, frameCount - f);
        const int64_t first = blockFirst(f);
        const int n = blockLength(f);
        const cWaveform& block = blocks[slot];
        std::thread reader;
        std::string nextWhy;
        if (f + framesPerBlock < frameCount)
            reader = std::thread([&, f, slot] {
                const int64_t g = f + framesPerBlock;
                nextWhy = ReadBlockOnce(capture, blockFirst(g), blockLength(g), blocks[slot ^ 1],
                                        buffers[slot ^ 1]);
            });
        // The samples this block adds to the levels, half to each core.
        const int from = static_cast<int>(std::max(counted, first) - first);
        const int middle = from + (n - from) / 2;
        const auto countPart = [&](Half& h, int a, int b) {
            if (b <= a) return;
            AddStatistics(h.power, ComputePowerStatistics(block.I.data() + a, block.Q.data() + a, 0,
                                                          b - a - 1, true));
            h.histogram.Add(block.I.data() + a, block.Q.data() + a, b - a);
        };
        if (batched) {
            const float* re = swapped ? block.Q.data() : block.I.data();
            const float* im = swapped ? block.I.data() : block.Q.data();
            SplitInTwo(frames, 16, cBatchFft::kLanes, [&](int64_t lo, int64_t hi) {
                Half& h = halves[lo == 0 ? 0 : 1];
                for (int64_t k0 = lo; k0 < hi; k0 += cBatchFft::kLanes) {
                    const int lanes =
                        static_cast<int>(std::min<int64_t>(cBatchFft::kLanes, hi - k0));
                    for (int lane = 0; lane < cBatchFft::kLanes; ++lane) {
                        if (lane >= lanes) {
                            h.fft->Clear(lane);
                            continue;
                        }
                        const int64_t at = (k0 + lane) * step;
                        h.fft->Load(lane, re + at, im + at, window, N);
                    }
                    h.fft->Run();
                    h.fft->AddPowers(lanes, scale, h.sum.data());
                }
                if (lo == 0) countPart(h, from, hi == frames ? n : middle);
                if (hi == frames && lo > 0) countPart(h, middle, n);
            });
            figures.frames += frames;
        } else {
            for (int64_t k = 0; k < frames; ++k) {
                if (f + k == 0) trace.resetRequest = true;
                if (trace.RunFrame(spectrumKind, block, static_cast<int>(k * step)) == 0)
                    ++figures.frames;
            }
            countPart(halves[0], from, n);
        }
        counted = std::max(counted, first + n);
        if (reader.joinable()) reader.join();
        readWhy = nextWhy;
        control.Progress(Percent(counted, total));
        if (control.StopRequested()) return "stopped";
    }
    if (!readWhy.empty()) return readWhy;
    // The samples after the last whole frame count in the levels too.
    while (counted < total) {
        const int n = static_cast<int>(std::min(kBlockSamples, total - counted));
        if (std::string why = ReadBlock(capture, counted, n, blocks[0], buffers[0]); !why.empty())
            return why;
        AddStatistics(halves[0].power, ComputePowerStatistics(blocks[0].I.data(),
                                                              blocks[0].Q.data(), 0, n - 1, true));
        halves[0].histogram.Add(blocks[0].I.data(), blocks[0].Q.data(), n);
        counted += n;
        control.Progress(Percent(counted, total));
        if (control.StopRequested()) return "stopped";
    }
    AddStatistics(figures.power, halves[0].power);
    AddStatistics(figures.power, halves[1].power);
    halves[0].histogram.Merge(halves[1].histogram);
    if (batched && figures.frames > 0) {
        std::vector<double> mean(static_cast<size_t>(N));
        for (int k = 0; k < N; ++k)
            mean[static_cast<size_t>(k)] =
                (halves[0].sum[static_cast<size_t>(k)] + halves[1].sum[static_cast<size_t>(k)]) /
                static_cast<double>(figures.frames);
        trace.SetAveragedPower(mean.data(), figures.frames);
    }
    // The panels place the last frame in the file, not in the block it was read in.
    if (figures.frames > 0) {
        trace.frameStart = (frameCount - 1) * step;
        trace.frameEnd = trace.frameStart + L;
    }
    figures.samples = total;
    figures.parDb = halves[0].histogram.ParDb(total, figures.power.meanPower,
                                              20.0 * std::log10(figures.power.RmsAmplitude()));
    return "";
}
