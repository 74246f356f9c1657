#pragma once
// FFT filters as gain masks on a waveform's spectrum form (cWaveform::EnsureSpectrum: Nf bins
// in FFT order, interleaved re/im, L = 2·Nf floats). The masks walk positions of that
// interleaved array; an edge falls on a position by the rounding each walk states, so the
// gains follow the bin grid rather than the exact edge frequencies. Every edge is checked
// before any bin changes, so a refused filter leaves the spectrum (and the waveform) as it was.
// Frequencies are normalised: Hz divided by the sample rate (cycles per sample).

#include <cstdint>

#include "tools/transform_ops.h"

class cWaveform;

// The transition shapes; the numbers are cWaveform::filterShape's.
enum class FilterShape : int { Gaussian = 1, RaisedCosine = 2, RootRaisedCosine = 3 };

// The shape of a cWaveform::filterShape value; anything but 2 or 3 is Gaussian.
FilterShape ShapeOf(int filterShape);

// Gain across a transition at t in [0, 1) (0 on the pass side): Gaussian exp(−4π·t²), raised
// cosine (cos πt + 1)/2, root raised cosine its square root. 0 from t = 1 on (the stop side)
// and for a NaN t.
double RollOffGain(FilterShape shape, double t);

enum class FftFilterKind { LowPass, HighPass, BandPass, BandStop };

struct FftFilterPlan {
    FftFilterKind kind = FftFilterKind::LowPass;
    // Low-pass: pass edge, stop edge. High-pass: stop edge, pass edge. Band-pass and
    // band-stop: the lower and the upper edge of the band (edge1 <= edge2).
    double edge1 = 0, edge2 = 0;
    // Band-pass and band-stop: the width of each transition (>= 0).
    double span = 0;
    FilterShape shape = FilterShape::Gaussian;
};

// Multiplies the bins of spectrum (nf bins, nf a power of two >= 8) by the filter's gains.
// Returns 0, or kErrFilterEdge when an edge falls outside the spectrum; then nothing changed.
// With spectrum null only the edges are checked.
//  - Low-pass: bins from the pass edge up to Nf/2 take shape((f − pass)/(stop − pass)), 0
//    beyond the stop edge; bin Nf − 1 − m takes the gain of bin m. A pass edge at or above
//    Fs/2 changes nothing.
//  - High-pass: the same downwards from the pass edge, including bin 0.
//  - Band-pass: gain 1 within [edge1, edge2], transitions of span outside it, 0 beyond, over
//    the whole complex spectrum (no mirroring).
//  - Band-stop: 0 within [edge1, edge2], rising to 1 over span outside it.
// A zero transition width on a pass edge stands for one bin.
int ApplyFftFilterMask(float* spectrum, int64_t nf, const FftFilterPlan& plan);

// The filter on a waveform: checks the edges against its spectrum size, then multiplies its
// spectrum form. Samples in the time domain go through the spectrum aside and come back as
// samples, with progress, the same bits as the waveform's own transforms; a waveform holding
// only its spectrum form is filtered there. Returns 0, or kErrFilterEdge, kErrTooLong (no
// spectrum form) or kErrStopped, each with the waveform untouched.
int FftFilter(cWaveform& wave, const FftFilterPlan& plan, const WorkControl& ctx = WorkControl{});

// The FFT filter of a channel filter at centreHz for a waveform at rateHz (> 0): an LTE
// carrier of lteBandwidthMHz (1, 3, 5, 10, 15 or 20; raised cosine), or with 0 a UMTS carrier
// (root raised cosine). A centre within 1e-8 Hz of 0 gives a low-pass from the pass half-width
// to the stop half-width, any other a band-pass around it. False for another bandwidth.
bool ChannelFilterPlan(int lteBandwidthMHz, double centreHz, int64_t rateHz, FftFilterPlan& plan);
