#pragma once
// Markers: up to four (M1 … M4) on the spectrum trace, each read at the trace point nearest
// its frequency (level, the tone measurement's marker power and centroid frequency), with
// deltas to M1, band power by the rule ACLR integrates a channel with, and noise density; on
// the samples (sample, I, Q, power, phase, with Δt and 1/Δt); on the CCDF (the share of
// samples above a peak-to-average ratio). The search for peaks that places a marker (Peak,
// Next Peak Left/Right, Next Lower Peak) is here too.

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class cSpectrumTrace;
struct CcdfStatistics;

constexpr int kMaxMarkers = 4;

// Where M1 … M4 stand on one kind of plot (Hz, sample index, or dB); empty: off.
using MarkerPositions = std::array<std::optional<double>, kMaxMarkers>;

struct MarkerSettings {
    MarkerPositions frequencyHz;  // M1 … M4; empty: off
    bool delta = false;           // M2 … M4 also read relative to M1
    double bandWidthHz = 0.0;     // band power around each marker over this width; 0: none
    double noiseWidthHz = 0.0;    // noise density averaged over this width; 0: none
};

struct MarkerReading {
    int number = 0;                // 1 … 4
    int point = 0;                 // the trace point it sits on
    double frequencyHz = 0.0;      // of that point
    double levelDb = 0.0;          // the point's power, dB (dBFS)
    double markerPowerDb = 0.0;    // the points around it, as the tone measurement's marker power
    double peakFrequencyHz = 0.0;  // the power-weighted centroid of the 7 points around it
    std::optional<double> bandPowerDb;       // when a band width is set and the band fits
    std::optional<double> noiseDensityDbHz;  // when a noise width is set
    std::optional<double> deltaHz, deltaDb;  // M2 … M4 in delta mode
};

// The readings of the markers that are on, in order. An invalid trace gives none.
std::vector<MarkerReading> MeasureSpectrumMarkers(const cSpectrumTrace& trace,
                                                  const MarkerSettings& settings);

// The trace point nearest f (clamped to the trace).
int PointNearest(const cSpectrumTrace& trace, double frequencyHz);

// Power (dB) of the points c − h … c + h, c the point nearest centreHz and h = round(width / df
// / 2): a channel as ACLR integrates it. Empty when the band does not fit in the trace.
std::optional<double> BandPowerDb(const cSpectrumTrace& trace, double centreHz, double widthHz);

// Power per hertz (dB/Hz) of the points within width / 2 of centreHz (at least the nearest):
// their mean power over the point spacing. The windows have unit RMS, so noise reads its
// density under every window.
double NoiseDensityDbHz(const cSpectrumTrace& trace, double centreHz, double widthHz);

// Peaks (points above every other point within twice the window's lobe half width, 10 dB
// above the median of the 65 points around them, that the trace falls 6 dB from on both
// sides before rising above them) within points [first, last]: the highest; the nearest
// to the left or right of from; the highest below the level of from. -1 when there is none.
int HighestPeak(const cSpectrumTrace& trace, int first, int last);
int NextPeak(const cSpectrumTrace& trace, int from, int direction, int first, int last);
int NextLowerPeak(const cSpectrumTrace& trace, int from, int first, int last);

// The same searches over the instantaneous power of samples [first, last] of n (20 dB above
// the median of the range); the highest sample of the range (not only a peak that stands out,
// so a flat burst has one).
int64_t HighestSample(const float* I, const float* Q, int64_t n, int64_t first, int64_t last);
int64_t NextSamplePeak(const float* I, const float* Q, int64_t n, int64_t from, int direction,
                       int64_t first, int64_t last);
int64_t NextLowerSamplePeak(const float* I, const float* Q, int64_t n, int64_t from, int64_t first,
                            int64_t last);

// The same searches over any sequence of linear powers (a spectrogram row), with lobe points
// on each side that a peak must stand above.
int64_t HighestPowerPeak(const float* power, int64_t count, int64_t first, int64_t last, int lobe);
int64_t NextPowerPeak(const float* power, int64_t count, int64_t from, int direction, int64_t first,
                      int64_t last, int lobe);
int64_t NextLowerPowerPeak(const float* power, int64_t count, int64_t from, int64_t first,
                           int64_t last, int lobe);

struct TimeMarkerReading {
    int number = 0;
    int64_t sample = 0;  // in the waveform (the nearest to the position, clamped)
    double timeS = 0.0;  // from the waveform's first sample
    double i = 0.0, q = 0.0;
    double levelDb = 0.0;                   // 10·log10(I² + Q²)
    double phaseDeg = 0.0;                  // atan2(Q, I)
    std::optional<int64_t> deltaSamples;    // M2 … M4 in delta mode
    std::optional<double> deltaS, deltaDb;  // 1/Δt is the rate a period of Δt repeats at
};
std::vector<TimeMarkerReading> MeasureTimeMarkers(const float* I, const float* Q, int64_t n,
                                                  double rateHz, const MarkerPositions& samples,
                                                  bool delta);

// Percent of the samples whose power exceeds the mean by more than parDb, as the CCDF trace
// reads.
double CcdfPercentAbove(const CcdfStatistics& ccdf, double parDb);

struct CcdfMarkerReading {
    int number = 0;
    double parDb = 0.0;
    double percent = 0.0;
    std::optional<double> deltaDb;
};
std::vector<CcdfMarkerReading> MeasureCcdfMarkers(const CcdfStatistics& ccdf,
                                                  const MarkerPositions& parDb, bool delta);
