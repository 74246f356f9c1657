#pragma once
// The I/Q-plane views (a vector trace of successive samples, and the constellation density
// image) and the phase-against-frequency plot that replaces every kind while the phase display
// is on.

#include <QPainter>
#include <cstdint>

class cPlotEngine;
class cWaveform;

// Vector trace of samples start … end (about 20,000 points at most) in the square I/Q area,
// amplitude 1/zoom at its edge. mode 1: still picture; 3: animation frame (a thick trail that
// fades by 18 green levels per sample); other modes draw the frame alone.
void DrawVector(cPlotEngine& engine, QPainter& painter, int W, int H, int start, int end, int zoom,
                int mode, const cWaveform& wave);

// Density image of the whole waveform: each sample lights its pixel green, repeats brighten
// it towards white; marker classes paint 3 x 3 marks. The image is ORed into the plot so the
// grid stays visible. centreX, centreY: the 2-D zoom centre in window pixels (x <= left when
// not zoomed).
void DrawConstellation(cPlotEngine& engine, QPainter& painter, int W, int H, int zoom, int mode,
                       int centreX, int centreY, const cWaveform& wave);

// Phase of the spectrum frame against frequency, −π at the bottom and +π at the top, over
// f0 … f1. Nothing unless the engine computes the phase.
void DrawFrequencyPhase(cPlotEngine& engine, QPainter& painter, int W, int H, double f0Hz,
                        double f1Hz);
