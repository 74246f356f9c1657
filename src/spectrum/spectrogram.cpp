#include "spectrum/spectrogram.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "dsp/fft.h"
#include "spectrum/power_trace.h"

namespace {
// Samples read at once: frames on a dense grid come from one read instead of one each.
constexpr int64_t kReadAhead = int64_t{1} << 16;
}  // namespace

int64_t SpectrogramSettings::Hop() const {
    const int64_t hop = int64_t{fftSize} * (100 - overlapPercent) / 100;
    return std::max<int64_t>(1, hop);
}

std::string CheckSpectrogramSettings(const SpectrogramSettings& s) {
    if (FftSizeLog2(s.fftSize, 6, 16) < 0)
        return "FFT size must be a power of two from 64 to 65536";
    if (!IsValidWindowType(s.window)) return "the window is not one of the analysis windows";
    if (s.overlapPercent < 0 || s.overlapPercent > kSpectrogramMaxOverlapPercent)
        return "overlap must be from 0 to 95 %";
    return "";
}

cSpectrogramRows::cSpectrogramRows(const SpectrogramSettings& settings) : settings_(settings) {
    const int N = settings_.fftSize;
    ComputeWindow(settings_.window, N, window_);
    frame_.assign(static_cast<size_t>(2 * N), 0.0f);
    acc_.assign(static_cast<size_t>(N), 0.0f);
    sum_.assign(static_cast<size_t>(N), 0.0);
}

std::string cSpectrogramRows::AddFrame(const SampleReader& read, int64_t total, int64_t start) {
    const int N = settings_.fftSize;
    start = std::max<int64_t>(0, std::min(start, total - N));
    const int64_t have = std::min<int64_t>(N, total - start);
    if (start < bufStart_ || start + have > bufStart_ + bufCount_) {
        const int64_t count = std::min(total - start, std::max<int64_t>(N, kReadAhead));
        bufI_.resize(static_cast<size_t>(count));
        bufQ_.resize(static_cast<size_t>(count));
        bufStart_ = start;
        bufCount_ = 0;
        if (std::string why = read(start, count, bufI_.data(), bufQ_.data()); !why.empty())
            return why;
        bufCount_ = count;
    }
    const float* I = bufI_.data() + (start - bufStart_);
    const float* Q = bufQ_.data() + (start - bufStart_);
    float* f = frame_.data();
    if (window_.empty()) {
        for (int64_t k = 0; k < have; ++k) {
            f[2 * k] = I[k];
            f[2 * k + 1] = Q[k];
        }
    } else {
        const float* w = window_.data();
        for (int64_t k = 0; k < have; ++k) {
            f[2 * k] = I[k] * w[k];
            f[2 * k + 1] = Q[k] * w[k];
        }
    }
    std::fill(f + 2 * have, f + 2 * N, 0.0f);
    ComplexFFT(f, N, -1);
    const float scale = 1.0f / static_cast<float>(N);
    if (settings_.hold == SpectrogramHold::kPeak) {
        float* acc = acc_.data();
        for (int k = 0; k < N; ++k) {
            const float re = f[2 * k] * scale, im = f[2 * k + 1] * scale;
            acc[k] = std::max(acc[k], re * re + im * im);
        }
    } else {
        double* sum = sum_.data();
        for (int k = 0; k < N; ++k) {
            const float re = f[2 * k] * scale, im = f[2 * k + 1] * scale;
            sum[k] += re * re + im * im;
        }
    }
    ++framesInRow_;
    return "";
}

std::string cSpectrogramRows::Compute(const SampleReader& read, int64_t total,
                                      int64_t samplesPerRow, int64_t firstRow, int rowCount,
                                      float* out, const WorkControl* control) {
    const int N = settings_.fftSize;
    const int64_t S = std::max<int64_t>(1, samplesPerRow);
    const int64_t hop = settings_.Hop();
    for (int r = 0; r < rowCount; ++r) {
        float* row = out + static_cast<int64_t>(r) * N;
        const int64_t begin = (firstRow + r) * S;
        if (begin >= total || begin < 0) {
            std::fill(row, row + N, std::numeric_limits<float>::quiet_NaN());
            continue;
        }
        std::fill(acc_.begin(), acc_.end(), 0.0f);
        std::fill(sum_.begin(), sum_.end(), 0.0);
        framesInRow_ = 0;
        if (S < hop) {
            if (std::string why = AddFrame(read, total, begin); !why.empty()) return why;
        } else {
            // The grid's frames that start in [begin, begin + S): there is at least one.
            const int64_t end = std::min(begin + S, total);
            for (int64_t s = (begin + hop - 1) / hop * hop; s < end; s += hop) {
                if (control && control->StopRequested()) return "stopped";
                if (std::string why = AddFrame(read, total, s); !why.empty()) return why;
            }
            // The row's span ends before the grid's next frame (the capture's last samples).
            if (framesInRow_ == 0)
                if (std::string why = AddFrame(read, total, begin); !why.empty()) return why;
        }
        const int half = N / 2;
        const bool mean = settings_.hold == SpectrogramHold::kMean;
        for (int k = 0; k < N; ++k) {
            const int bin = k < half ? k + half : k - half;
            const double p = mean ? sum_[static_cast<size_t>(bin)] / framesInRow_
                                  : static_cast<double>(acc_[static_cast<size_t>(bin)]);
            row[k] = static_cast<float>(PowerDb(p));
        }
        if (control && control->StopRequested()) return "stopped";
    }
    return "";
}

std::string SpectrogramBandPower(const SampleReader& read, const SpectrogramSettings& settings,
                                 int64_t first, int64_t count, double f0Hz, double f1Hz,
                                 double sampleRateHz, double& power, const WorkControl* control) {
    power = 0.0;
    if (count < 1) return "the box holds no samples";
    SpectrogramSettings mean = settings;
    mean.hold = SpectrogramHold::kMean;
    const int N = mean.fftSize;
    // One row over the whole stretch, its frames kept inside it.
    const SampleReader shifted = [&](int64_t at, int64_t n, float* I, float* Q) {
        return read(first + at, n, I, Q);
    };
    std::vector<float> row(static_cast<size_t>(N));
    cSpectrogramRows rows(mean);
    if (std::string why = rows.Compute(shifted, count, count, 0, 1, row.data(), control);
        !why.empty())
        return why;
    if (f1Hz < f0Hz) std::swap(f0Hz, f1Hz);
    for (int k = 0; k < N; ++k) {
        const double f = SpectrogramPointHz(k, N, sampleRateHz);
        if (f >= f0Hz && f <= f1Hz) power += std::pow(10.0, row[static_cast<size_t>(k)] / 10.0);
    }
    return "";
}
