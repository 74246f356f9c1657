#pragma once
// Markers on the spectrum trace: up to four, each read at the trace point nearest its
// frequency (level, the tone measurement's marker power and centroid frequency), with deltas
// to M1, band power by the rule ACLR integrates a channel with, and noise density. The search
// for peaks that places a marker (Peak, Next Peak Left/Right, Next Lower Peak) is here too.

#include <array>
#include <optional>
#include <vector>

class cSpectrumTrace;

constexpr int kMaxMarkers = 4;

struct MarkerSettings {
    std::array<std::optional<double>, kMaxMarkers> frequencyHz;  // M1 … M4; empty: off
    bool delta = false;         // M2 … M4 also read relative to M1
    double bandWidthHz = 0.0;   // band power around each marker over this width; 0: none
    double noiseWidthHz = 0.0;  // noise density averaged over this width; 0: none
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

// Peaks (points the trace falls 6 dB from on both sides before rising above them) within
// points [first, last]: the highest; the nearest to the left or right of from; the highest
// below the level of from. -1 when there is none.
int HighestPeak(const cSpectrumTrace& trace, int first, int last);
int NextPeak(const cSpectrumTrace& trace, int from, int direction, int first, int last);
int NextLowerPeak(const cSpectrumTrace& trace, int from, int first, int last);
