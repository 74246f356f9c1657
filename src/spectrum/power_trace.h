#pragma once
// The spectrum trace: windowed, transformed frames of the waveform accumulated into a linear
// power per frequency point (optionally a cumulative average), with the phase, the peak point,
// the total power, the DC level, the power-weighted peak frequency and the marker power.
//
// Levels: a tone of peak amplitude 1.0 centred on a bin reads 1.0 (0 dBFS) at its point with
// the Rect window; windows are RMS-normalised, so noise keeps its level under every window.

#include <cstdint>
#include <vector>

#include "dsp/window.h"
#include "spectrum/spectrum_kinds.h"

class cWaveform;

// Largest number of trace points (N = 524288, complex).
constexpr int kMaxTracePoints = 524289;
// RunFrame result when the frame runs past the last sample.
constexpr int kErrFramePastEnd = 0x1000001B;
// Added to linear powers before taking 10*log10.
constexpr double kPowerFloor = 1.0000000031710769e-30;

// 10*log10(p + floor): the dB form of a linear power.
double PowerDb(double linear);

class cSpectrumTrace {
public:
    cSpectrumTrace();

    // Prepares buffers, the window table and the DC half-width for frames of L samples
    // transformed at N points (N a power of two, 8 <= L <= N). A change of N restarts the
    // average; sampleRateHz is the rate of the frequency axis.
    void Setup(bool acCoupling, int L, int N, WindowType window, int64_t sampleRateHz,
               bool complexFrame);

    // Fills one frame from sample start of the waveform (channels by view type), removes the
    // mean when AC coupled, windows, transforms, scales and accumulates it. Returns 0, or
    // kErrFramePastEnd (trace unchanged) when start + L passes the last sample.
    int RunFrame(int spectrumKind, const cWaveform& wave, int start);

    // The window RunFrame multiplies frames of L samples by, or nullptr (rectangular).
    const float* FrameWindow() const;
    // The trace of a complex frame's mean power, given in transform order (scaled as RunFrame
    // scales a frame), over frames frames: what averaging them frame by frame gives, without
    // the rounding of the running mean. Phases are not kept.
    void SetAveragedPower(const double* meanPower, int64_t frames);

    // Peak frequency (centroid of the 7 points around the peak), marker power (the 2w+1 points
    // around it) and total power in dB, from the current trace.
    void MeasurePeak();

    // Power-weighted centroid frequency (Hz) of the 7 points around point.
    double PeakFrequencyAt(int point) const;
    // 10*log10 of the power of the 2w+1 points around point; 0.0 while the trace is invalid
    // or the frame is shorter than 32 samples.
    double MarkerPowerAt(int point) const;

    // Trace index of an unwrapped point index: complex traces repeat with period N, real
    // traces mirror at DC and at fs/2.
    int MapIndex(int64_t j) const;
    // Frequency in Hz of point k (may be outside the trace, for the centroid).
    double PointFrequency(int64_t k) const;

    // Setup and frame state.
    int64_t frameStart = -1;  // -1 until the first frame
    int64_t frameEnd = 0;
    bool resetRequest = false;
    int N = 0;
    WindowType windowType = kWindowBlackmanHarris;
    int L = 0;
    bool complex = false;
    int averageCount = 0;
    bool acCoupling = false;
    int dcHalfWidth = 4;  // w, in points
    int64_t sampleRate = 61'440'000;
    bool phaseWanted = false;
    // Where the waveform's sample 0 lies in its file (a range of a capture), so the panels
    // place a frame in the file.
    int64_t firstSampleInFile = 0;

    // Results.
    bool traceValid = false;
    double dcLevel = 0.0;  // dB
    int peakPoint = 0;
    double totalPower = 0.0;     // linear
    std::vector<float> power;    // kMaxTracePoints, linear power per point
    std::vector<float> phase;    // kMaxTracePoints, radians
    int pointCount = 0;          // N + 1 (complex) or N/2 + 1 (real)
    double peakFrequency = 0.0;  // Hz
    double markerPower = 0.0;    // dB
    double totalPowerDb = 0.0;   // dB

private:
    void Accumulate();
    void AccumulatePoint(int k, float re, float im, bool searchPeak, double& runningMax);

    std::vector<float> work_;
    std::vector<float> windowTable_;
    int windowLength_ = 0;
};
