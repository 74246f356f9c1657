#pragma once
// Edits of the whole waveform: those the view's keys make (a one-sample rotation in time and a
// phase rotation) and appending another waveform. Each brings the waveform into its time form
// first.

class cWaveform;

// Which channels a phase shift writes.
enum class PhaseShiftChannels { Both, IOnly, QOnly };

// Rotates every sample by degrees: θ = degrees·π/180, c = cos θ, s = sin θ in single precision;
// I' = I·c − Q·s, Q' = I·s + Q·c (only the chosen outputs are written).
void PhaseShift(cWaveform& wave, float degrees, PhaseShiftChannels channels);

// Moves every sample one place: toLeft puts sample 0 at the end, otherwise the last sample
// moves to the front. I and Q move together.
void RotateOneSample(cWaveform& wave, bool toLeft);

// Appends tail's samples after wave's; tail must be in its time form. The caller checks the
// length it may reach.
void AppendSamples(cWaveform& wave, const cWaveform& tail);
