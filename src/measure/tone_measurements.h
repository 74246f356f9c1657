#pragma once
// Tone measurements on the averaged power trace: signal-to-noise ratio in a band, the spur
// search behind the SFDR, and the two-tone third-order intermodulation with its intercept.
// Levels in dB relative to full scale; w, the trace's DC half-width, is a tone's main-lobe
// half-width throughout.

#include <array>
#include <optional>

#include "measure/measure_settings.h"

class cSpectrumTrace;

// SNR (dB) of the strongest point in the band: its 2w+1-point power against the rest of the
// band. The band is snrBandwidthHz centred on peakFrequencyHz when that bandwidth is at least
// 1 Hz, else [spanLowHz, spanHighHz], widened by w points each side when that still fits in N.
// 0.0 for frames shorter than 32 samples; no value when the band reaches beyond one trace
// period on either side or holds no noise.
std::optional<double> SignalToNoise(const cSpectrumTrace& trace, double spanLowHz,
                                    double spanHighHz, double snrBandwidthHz,
                                    double peakFrequencyHz);

// Ten passes of "strongest point outside the ranges found so far" (each range +-round(1.5 w);
// a modulated carrier's, whose points within 10 dB of its peak reach past that, covers those
// points and the skirt falling from them): entry 0 is the carrier, 1 .. 9 the spurs. An entry's
// level is the power of the 2w+1 points around it, leaving out points inside the band of an earlier
// entry. The entry of the highest level comes first, so SFDR = level[0] - level[1] is never
// negative.
std::array<SpurEntry, 10> FindSpurs(const cSpectrumTrace& trace);

// Two-tone search from tone 1 (the view's strongest shown point, whose marker power is
// tone1Db): tone 2 outside tone 1's lobe within 1.5 dB of it, spacing at most a third of the
// trace, both third-order products inside the trace and more than 5 dB below the stronger tone.
// No value when any condition fails ("No valid tone pair found").
std::optional<TonePairResult> FindTonePair(const cSpectrumTrace& trace, int tone1, double tone1Db);
