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

cSpectrogramRows::cSpectrogramRows(const SpectrogramSettings& settings)
    : settings_(settings), fft_(settings.fftSize) {
    ComputeWindow(settings_.window, settings_.fftSize, window_);
    power_.assign(static_cast<size_t>(settings_.fftSize), 0.0f);
}

std::string cSpectrogramRows::AddFrame(const SampleReader& read, int64_t total, int64_t start,
                                       int row) {
    const int N = settings_.fftSize;
    start = std::max<int64_t>(0, std::min(start, total - N));
    const int64_t have = std::min<int64_t>(N, total - start);
    if (start < bufStart_ || start + have > bufStart_ + bufCount_) {
        Flush();  // the queued frames are read from the buffer about to be refilled
        const int64_t count = std::min(total - start, std::max<int64_t>(N, kReadAhead));
        bufI_.resize(static_cast<size_t>(count));
        bufQ_.resize(static_cast<size_t>(count));
        bufStart_ = start;
        bufCount_ = 0;
        if (std::string why = read(start, count, bufI_.data(), bufQ_.data()); !why.empty())
            return why;
        bufCount_ = count;
    }
    fft_.Load(queued_, bufI_.data() + (start - bufStart_), bufQ_.data() + (start - bufStart_),
              window_.empty() ? nullptr : window_.data(), static_cast<int>(have));
    queuedRow_[queued_++] = row;
    if (queued_ == cBatchFft::kLanes) Flush();
    return "";
}

void cSpectrogramRows::Flush() {
    if (queued_ == 0) return;
    for (int lane = queued_; lane < cBatchFft::kLanes; ++lane)
        fft_.Clear(lane);
    fft_.Run();
    const int N = settings_.fftSize;
    const float scale = 1.0f / static_cast<float>(N);
    for (int lane = 0; lane < queued_; ++lane) {
        const size_t row = static_cast<size_t>(queuedRow_[lane]);
        fft_.Powers(lane, scale, power_.data());
        if (settings_.hold == SpectrogramHold::kPeak) {
            float* acc = peak_.data() + row * N;
            for (int k = 0; k < N; ++k)
                acc[k] = std::max(acc[k], power_[static_cast<size_t>(k)]);
        } else {
            double* acc = sum_.data() + row * N;
            for (int k = 0; k < N; ++k)
                acc[k] += power_[static_cast<size_t>(k)];
        }
        ++frames_[row];
    }
    queued_ = 0;
}

std::string cSpectrogramRows::Compute(const SampleReader& read, int64_t total,
                                      int64_t samplesPerRow, int64_t firstRow, int rowCount,
                                      float* out, const WorkControl* control) {
    const int N = settings_.fftSize;
    const int64_t S = std::max<int64_t>(1, samplesPerRow);
    const int64_t hop = settings_.Hop();
    const bool peak = settings_.hold == SpectrogramHold::kPeak;
    const size_t cells = static_cast<size_t>(std::max(0, rowCount)) * N;
    if (peak)
        peak_.assign(cells, 0.0f);
    else
        sum_.assign(cells, 0.0);
    frames_.assign(static_cast<size_t>(std::max(0, rowCount)), 0);
    queued_ = 0;
    int64_t queuedSince = 0;
    for (int r = 0; r < rowCount; ++r) {
        const int64_t begin = (firstRow + r) * S;
        if (begin >= total || begin < 0) continue;
        std::string why;
        if (S < hop) {
            why = AddFrame(read, total, begin, r);
        } else {
            // The grid's frames that start in [begin, begin + S): there is at least one.
            const int64_t end = std::min(begin + S, total);
            int added = 0;
            for (int64_t s = (begin + hop - 1) / hop * hop; s < end && why.empty(); s += hop) {
                why = AddFrame(read, total, s, r);
                ++added;
                if (++queuedSince >= 256) {
                    queuedSince = 0;
                    if (control && control->StopRequested()) return "stopped";
                }
            }
            // The row's span ends before the grid's next frame (the capture's last samples).
            if (added == 0 && why.empty()) why = AddFrame(read, total, begin, r);
        }
        if (!why.empty()) return why;
        if (control && control->StopRequested()) return "stopped";
    }
    Flush();
    const int half = N / 2;
    for (int r = 0; r < rowCount; ++r) {
        float* row = out + static_cast<int64_t>(r) * N;
        const int frames = frames_[static_cast<size_t>(r)];
        if (frames == 0) {
            std::fill(row, row + N, std::numeric_limits<float>::quiet_NaN());
            continue;
        }
        const size_t base = static_cast<size_t>(r) * N;
        for (int k = 0; k < N; ++k) {
            const size_t bin = base + static_cast<size_t>(k < half ? k + half : k - half);
            const double p = peak ? static_cast<double>(peak_[bin]) : sum_[bin] / frames;
            row[k] = static_cast<float>(PowerDb(p));
        }
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
