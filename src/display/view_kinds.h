#pragma once
// Drawing of any view kind by its number, and the 4-up multi view: shared by the window and
// the batch renderer so both draw the same picture.

#include <QPainter>
#include <cstdint>

#include "spectrum/spectrum_kinds.h"

// View kinds (View menu); the value is the command that selects the kind. The spectrum kinds
// are the transforms they show (spectrum/spectrum_kinds.h).
constexpr int kViewMulti = 300;  // the 4-up overview
constexpr int kViewI = kSpectrumI;
constexpr int kViewQ = kSpectrumQ;
constexpr int kViewIQ = kSpectrumIQ;
constexpr int kViewQI = kSpectrumQI;
constexpr int kViewIQDcFs = kSpectrumIQDcFs;
constexpr int kViewQIDcFs = kSpectrumQIDcFs;
constexpr int kViewTimeI = 307;
constexpr int kViewTimeQ = 308;
constexpr int kViewTimeIQ = 309;
constexpr int kViewLogMag = 310;
constexpr int kViewPhase = 311;
constexpr int kViewVector = 312;
constexpr int kViewCcdf = 313;
constexpr int kViewConstellation = 314;
// Kinds reserved for symbol analysis; the modulation analysis draws the EVM kind.
constexpr int kViewAnalysisFirst = 315;
constexpr int kViewAnalysisEvm = 316;  // EVM against symbol (or time, against a reference)
constexpr int kViewAnalysisLast = 325;
constexpr int kViewAnalysisMulti = 318;     // an analysis 4-up view
constexpr int kViewAnalysisSpectrum = 324;  // an analysis view that computes a spectrum
constexpr int kViewSpectrogram = 330;       // time against frequency (its own FFT settings)
constexpr int kCmdPhaseDisplay = 40014;     // the spectrum's phase instead of its magnitude

constexpr bool IsTimeKind(int kind) { return kind >= kViewTimeI && kind <= kViewPhase; }
constexpr bool IsViewKindCommand(int kind) {
    return kind >= kViewMulti && kind <= kViewConstellation;
}
constexpr bool IsMultiKind(int kind) {
    return kind == kViewMulti || kind == kViewAnalysisMulti || kind == kViewAnalysisSpectrum;
}
constexpr bool IsAnalysisKind(int kind) {
    return kind >= kViewAnalysisFirst && kind <= kViewAnalysisLast;
}
// True for the view kinds whose recompute computes a spectrum.
constexpr bool ComputesSpectrum(int kind) {
    return kind == kViewMulti || kind == kViewAnalysisSpectrum || IsSpectrumKind(kind);
}
// The spectrum a view kind shows (an overview's pane: IQ), or kSpectrumNone.
constexpr SpectrumKind SpectrumKindShownBy(int kind) {
    return IsSpectrumKind(kind)     ? static_cast<SpectrumKind>(kind)
           : ComputesSpectrum(kind) ? kSpectrumIQ
                                    : kSpectrumNone;
}
// The overviews whose spectrum pane keeps its kind whatever the waveform.
constexpr bool IsSpectrumOverview(int kind) {
    return kind == kViewMulti || kind == kViewAnalysisSpectrum;
}

// The view kinds of the View menu, one check mark between them.
inline constexpr int kViewKindCommands[] = {
    kViewMulti,       kViewI,          kViewQ,      kViewIQ,    kViewQI,
    kViewIQDcFs,      kViewQIDcFs,     kViewTimeI,  kViewTimeQ, kViewTimeIQ,
    kViewLogMag,      kViewPhase,      kViewVector, kViewCcdf,  kViewConstellation,
    kViewSpectrogram, kViewAnalysisEvm};

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
