#pragma once
// Spectrogram rows: power against frequency for consecutive spans of a capture. Each row merges
// the frames that start in its span, by peak hold (a burst shorter than the span keeps its
// level) or by the mean of their powers; a row shorter than the frame hop holds the one frame
// that starts at its first sample, so rows can lie as close as one sample apart.
//
// A frame is scaled as the spectrum trace scales one (frame length = FFT size, windows of unit
// RMS): a full-scale tone on a bin reads 0 dBFS under Rect, and noise keeps its level under
// every window, so a row and the spectrum of the same frame agree.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "dsp/batch_fft.h"
#include "dsp/window.h"
#include "dsp/work_control.h"

constexpr int kSpectrogramMinFft = 64;
constexpr int kSpectrogramMaxFft = 65536;
constexpr int kSpectrogramMaxOverlapPercent = 95;

enum class SpectrogramHold { kPeak, kMean };

struct SpectrogramSettings {
    int fftSize = 1024;
    WindowType window = kWindowHann;
    int overlapPercent = 50;  // of a frame shared with the next on the frame grid
    SpectrogramHold hold = SpectrogramHold::kPeak;

    // Samples between frame starts on the grid (at least one).
    int64_t Hop() const;
    bool operator==(const SpectrogramSettings&) const = default;
};

// "" or why the settings cannot be used ("FFT size must be a power of two from 64 to 65536").
std::string CheckSpectrogramSettings(const SpectrogramSettings& settings);

// Reads samples [first, first + count) into I and Q; "" or why not.
using SampleReader = std::function<std::string(int64_t first, int64_t count, float* I, float* Q)>;

// Computes rows of one capture. Row r at samplesPerRow S covers samples [r·S, (r+1)·S). Its
// frames start at the multiples of the hop in that span, or at r·S when S is below the hop; a
// frame that would run past the last sample is moved back to end there (a capture shorter than
// a frame is zero padded). Point k of a row is 10·log10(power + floor) in dBFS at frequency
// (k − N/2)·fs/N. Rows that start at or past the end are NaN.
//
// One object per thread; its buffers are reused from row to row.
class cSpectrogramRows {
public:
    explicit cSpectrogramRows(const SpectrogramSettings& settings);

    int Points() const { return settings_.fftSize; }

    // Rows [firstRow, firstRow + rowCount) into out (rowCount × Points() floats). Returns ""
    // or why it stopped (the reader's reason, or "stopped" on a stop request).
    std::string Compute(const SampleReader& read, int64_t totalSamples, int64_t samplesPerRow,
                        int64_t firstRow, int rowCount, float* out,
                        const WorkControl* control = nullptr);

private:
    // Queues the frame at start (moved back to end at the last sample) for row; transforms
    // the queue when it is full. "" or the reader's reason.
    std::string AddFrame(const SampleReader& read, int64_t totalSamples, int64_t start, int row);
    // Transforms the queued frames and merges their powers into their rows.
    void Flush();

    SpectrogramSettings settings_;
    std::vector<float> window_;
    cBatchFft fft_;
    int queued_ = 0;
    int queuedRow_[cBatchFft::kLanes] = {};
    std::vector<float> power_;        // one frame's powers
    std::vector<float> peak_;         // rows × N largest powers (peak hold)
    std::vector<double> sum_;         // rows × N sums of powers (mean)
    std::vector<int> frames_;         // frames merged into each row
    std::vector<float> bufI_, bufQ_;  // samples read ahead
    int64_t bufStart_ = 0, bufCount_ = 0;
};

// The power (linear, full scale 1) in the band [f0Hz, f1Hz] over samples [first, first + count):
// the mean of the powers of the frames on the hop grid from first, summed over the points of
// the band. Windows of unit RMS make the sum over every point the frames' mean power, so a
// band holding a signal whole reads the signal's power. Returns "" or why not.
std::string SpectrogramBandPower(const SampleReader& read, const SpectrogramSettings& settings,
                                 int64_t first, int64_t count, double f0Hz, double f1Hz,
                                 double sampleRateHz, double& power,
                                 const WorkControl* control = nullptr);

// The frequency of row point k in Hz.
inline double SpectrogramPointHz(int k, int fftSize, double sampleRateHz) {
    return (k - fftSize / 2) * sampleRateHz / fftSize;
}
