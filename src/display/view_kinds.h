#pragma once
// Drawing of any view kind by its number, and the 4-up multi view: shared by the window and
// the batch renderer so both draw the same picture.

#include <QPainter>
#include <cstdint>

#include "tools/command_ids.h"

class cPlotEngine;
class cWaveform;

// What a view kind needs besides the engine and the waveform.
struct KindDrawing {
    int kind = kViewMulti;
    double xStart = 0.0, xEnd = 0.0;  // Hz for 301-306, sample indices for 307 and above
    int zoom = 1;                     // vector and constellation zoom factor
    int mode = 1;                     // 1 still, 3 animation frame (vector)
    int centreX = 0, centreY = 0;     // constellation zoom centre, window pixels
    bool phaseDisplay = false;        // phase against frequency instead of the kind
};

// Full displayed range of a kind: 0 … fs/2 (301, 302), −fs/2 … fs/2 (303, 304), 0 … fs (305,
// 306), 0 … n − 1 samples (307 and above). Other kinds leave x0, x1 unchanged.
void FullViewRange(int kind, int64_t rateHz, int sampleCount, double& x0, double& x1);

// Draws one kind (301-314) into a W x H rectangle. Spectrum kinds need a valid trace.
void DrawKind(cPlotEngine& engine, QPainter& painter, int W, int H, const cWaveform& wave,
              const KindDrawing& drawing);

// The 4-up view at full range: IQ (top left), the spectrum (top right; "I" for a real
// waveform), LogMag (bottom left) and CCDF (bottom right), statistics panels hidden.
void DrawMultiView(cPlotEngine& engine, QPainter& painter, int W, int H, const cWaveform& wave,
                   bool realWaveform);

// Kinds of the multi view's panes, in the order top-left, top-right, bottom-left,
// bottom-right, and where a point of the W x H window selects one: 0 on a centre line.
int MultiViewPaneKind(int x, int y, int W, int H);
