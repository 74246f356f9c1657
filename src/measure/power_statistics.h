#pragma once
// Power statistics of a run of samples: the numbers of the time-domain statistics panel and
// of the CCDF view. Sample powers are rounded to single precision before they are summed or
// compared, so every view agrees on them.

#include <array>
#include <cstdint>
#include <vector>

struct PowerStatistics {
    int64_t count = 0;       // samples summarised
    double meanPower = 0.0;  // mean of p = I² + Q² (complex) or I² (single channel)
    double peakPower = 0.0;  // largest p
    double meanI = 0.0;
    double meanQ = 0.0;

    // Amplitudes with the 1e-15 floor that keeps the logarithms of a silent waveform finite.
    double RmsAmplitude() const;   // √P + 1e-15
    double PeakAmplitude() const;  // √Pk + 1e-15
    double SineAmplitude() const;  // √(2P) + 1e-15
};

// Statistics over samples first … last (inclusive, a valid non-empty range). complex: p from
// I and Q; otherwise from I alone. Long ranges are split over two cores.
PowerStatistics ComputePowerStatistics(const float* I, const float* Q, int64_t first, int64_t last,
                                       bool complex);

// The statistics panel's range corrections for a waveform of n samples, in this order:
// start = end widens to one more sample; start beyond the end restarts at 0; end beyond the
// end stops at n − 1; negative start is 0; negative end is n − 1.
void CorrectStatisticsRange(int64_t n, int64_t& start, int64_t& end);

// The complementary cumulative distribution of the instantaneous power of a whole waveform.
struct CcdfStatistics {
    static constexpr std::array<double, 6> kProbabilitiesPercent = {10,   1,     0.1,
                                                                    0.01, 0.001, 0.0001};
    int64_t count = 0;  // n
    PowerStatistics power;
    std::vector<float> above;  // the powers strictly above the mean, ascending (m of them)
    double percentAboveMean = 0.0;
    // Peak-to-average ratio in dB at each of kProbabilitiesPercent (0 where too few samples).
    std::array<double, 6> parDb{};
};

// One pass for the mean, one to collect the powers above it, one sort.
CcdfStatistics ComputeCcdfStatistics(const float* I, const float* Q, int64_t n);

// Sorts positive finite floats ascending (a radix sort on their bit patterns).
void SortPositiveFloats(std::vector<float>& values);
