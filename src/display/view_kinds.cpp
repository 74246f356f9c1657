#include "display/view_kinds.h"

#include <QImage>
#include <cmath>

#include "display/ccdf_plot.h"
#include "display/frequency_plot.h"
#include "display/iq_plane_plot.h"
#include "display/modulation_plot.h"
#include "display/plot_engine.h"
#include "display/time_plot.h"
#include "waveform/waveform.h"

void FullViewRange(int kind, int64_t rateHz, int n, double& x0, double& x1) {
    const double fs = static_cast<double>(rateHz);
    if (kind == kViewI || kind == kViewQ) {
        x0 = 0.0;
        x1 = fs / 2;
    } else if (kind == kViewIQ || kind == kViewQI) {
        x0 = -fs / 2;
        x1 = fs / 2;
    } else if (kind == kViewIQDcFs || kind == kViewQIDcFs) {
        x0 = 0.0;
        x1 = fs;
    } else if (kind >= kViewTimeI) {
        x0 = 0.0;
        x1 = n - 1;
    }
}

void DrawKind(cPlotEngine& e, QPainter& p, int W, int H, const cWaveform& w, const KindDrawing& d) {
    const double fs = static_cast<double>(w.sampleRate);
    if (d.phaseDisplay) {
        double f0 = d.xStart, f1 = d.xEnd;
        // Kinds that count samples have no frequency range of their own: show the full one.
        if (d.kind < kViewI || d.kind > kViewQIDcFs) {
            f0 = e.trace.complex ? -fs / 2 : 0.0;
            f1 = fs / 2;
        }
        DrawFrequencyPhase(e, p, W, H, f0, f1);
        return;
    }
    const int start = static_cast<int>(std::round(d.xStart));
    const int end = static_cast<int>(std::round(d.xEnd));
    switch (d.kind) {
        case kViewTimeI: DrawLinear(e, p, W, H, start, end, w, kLinearI); break;
        case kViewTimeQ: DrawLinear(e, p, W, H, start, end, w, kLinearQ); break;
        case kViewTimeIQ: DrawLinear(e, p, W, H, start, end, w, kLinearIQ); break;
        case kViewLogMag: DrawLogMag(e, p, W, H, start, end, w); break;
        case kViewPhase: DrawPhase(e, p, W, H, start, end, w); break;
        case kViewVector: DrawVector(e, p, W, H, start, end, d.zoom, d.mode, w); break;
        case kViewCcdf: DrawCcdf(e, p, W, H, start, end, w); break;
        case kViewConstellation:
            // With a modulation analysis of these samples: its symbols over the ideal points.
            if (const auto* m = e.ModulationOf(w); m && m->blind)
                DrawSymbolConstellation(e, p, W, H, *m);
            else
                DrawConstellation(e, p, W, H, d.zoom, d.mode, d.centreX, d.centreY, w);
            break;
        case kViewAnalysisEvm:
            if (const auto* m = e.ModulationOf(w)) DrawEvmPlot(e, p, W, H, *m);
            break;
        default:
            // Also without a trace: the drawing then clears the panels of the last one.
            if (d.kind >= kViewI && d.kind <= kViewQIDcFs)
                MeasureAndDrawSpectrum(e, p, W, H, d.xStart, d.xEnd);
            break;
    }
}

void DrawMultiView(cPlotEngine& e, QPainter& p, int W, int H, const cWaveform& w,
                   bool realWaveform) {
    if (W <= 0 || H <= 0) return;
    const bool hidden = e.hideStatistics;
    e.hideStatistics = true;
    const int pw = (W + 1) / 2, ph = (H + 1) / 2;
    QImage pane(pw, ph, QImage::Format_RGB32);
    const int kinds[4] = {kViewTimeIQ, realWaveform ? kViewI : kViewIQ, kViewLogMag, kViewCcdf};
    const QPoint places[4] = {{0, 0}, {W - pw, 0}, {0, H - ph}, {W - pw, H - ph}};
    for (int i = 0; i < 4; ++i) {
        KindDrawing d;
        d.kind = kinds[i];
        FullViewRange(d.kind, w.sampleRate, w.sampleCount, d.xStart, d.xEnd);
        pane.fill(e.style.backgroundBrush.color());
        QPainter panePainter(&pane);
        DrawKind(e, panePainter, pw, ph, w, d);
        panePainter.end();
        p.drawImage(places[i], pane);
    }
    e.hideStatistics = hidden;
}

int MultiViewPaneKind(int x, int y, int W, int H) {
    const int cx = W / 2, cy = H / 2;
    if (x < cx && y < cy) return kViewTimeIQ;
    if (x > cx && y < cy) return kViewIQ;
    if (x < cx && y > cy) return kViewLogMag;
    if (x > cx && y > cy) return kViewCcdf;
    return 0;
}
