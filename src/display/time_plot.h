#pragma once
// The time-domain views: per pixel column the minimum-to-maximum envelope of the samples that
// fall into it (sampled with a stride in very wide columns), sample-and-hold steps once a
// sample spans two pixels or more, and the statistics panel.

#include <QPainter>
#include <cstdint>
#include <optional>
#include <string>

class cPlotEngine;
class cWaveform;

// The time of day, in seconds since 1970 (UTC), of sample 0 of the waveform's data file, from
// the core:datetime of the recording's segment that the waveform starts in; nullopt without one.
std::optional<double> TimeOfDayAtFileStart(const cWaveform& wave);
inline bool TimeOfDayKnown(const cWaveform& wave) { return TimeOfDayAtFileStart(wave).has_value(); }
// "12:00:00.000250": the time of day of seconds since 1970 (UTC) with decimals figures.
std::string TimeOfDayText(double seconds, int decimals);

// Channel selector of the linear view.
enum LinearChannels : int { kLinearQ = 1, kLinearI = 2, kLinearIQ = 3 };

// start, end: first and last displayed sample. Nothing is drawn for an empty waveform.
// Instantaneous power in dB (Y record 0).
void DrawLogMag(cPlotEngine& engine, QPainter& painter, int W, int H, int start, int end,
                const cWaveform& wave);
// I and/or Q against full scale (Y record 2), with the milli/micro/nano unit choice.
void DrawLinear(cPlotEngine& engine, QPainter& painter, int W, int H, int start, int end,
                const cWaveform& wave, int channels);
// Phase in degrees (Y record 3).
void DrawPhase(cPlotEngine& engine, QPainter& painter, int W, int H, int start, int end,
               const cWaveform& wave);

// RMS, peak, crest factor, DC, rate and duration of samples start … end, right column ending
// at rightX. mode 3: complex; 1 (the Q view): single-channel from the Q samples; any other:
// single-channel from the I samples. The lines are recorded in the engine's panels.
void PowerStatsPanel(cPlotEngine& engine, QPainter& painter, int rightX, int64_t start, int64_t end,
                     const cWaveform& wave, int mode);

// Unit of the linear view for its top value: title and the factor its numbers are scaled by.
struct LinearUnit {
    const char* title;
    double factor;
};
LinearUnit LinearUnitFor(double topValue);

// Stride of the scan of a column covering d samples.
int LogMagStride(int64_t d);
int LinearStride(int64_t d);
