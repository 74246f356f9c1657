#include "display/plot_frame.h"

#include <cmath>

#include "display/pixel_round.h"

void FillPlotBackground(QPainter& painter, const PlotStyle& style, int W, int H) {
    const PlotMargins& m = style.margins;
    painter.setBackground(QBrush(style.textBackgroundColour));
    const int pw = m.PlotWidth(W);
    const int ph = m.PlotHeight(H);
    if (pw <= 0 || ph <= 0) {
        painter.fillRect(QRect(0, 0, W, H), style.backgroundBrush);
        return;
    }
    // The margins and the plot area each once: no pixel is filled twice.
    painter.fillRect(QRect(0, 0, W, m.top), style.backgroundBrush);
    painter.fillRect(QRect(0, m.top + ph, W, H - m.top - ph), style.backgroundBrush);
    painter.fillRect(QRect(0, m.top, m.left, ph), style.backgroundBrush);
    painter.fillRect(QRect(m.left + pw, m.top, W - m.left - pw, ph), style.backgroundBrush);
    painter.fillRect(QRect(m.left, m.top, pw, ph), style.plotBrush);
}

void DrawGraticule(QPainter& painter, const PlotStyle& style, int pw, int ph, double nY,
                   double nX) {
    if (pw < 0 || ph < 0) return;
    const PlotMargins& m = style.margins;
    const int left = m.left;
    const int top = m.top;
    painter.setPen(style.graticulePen);

    if (nY >= 1 && std::isfinite(nY)) {
        if (nY > ph) {
            for (int y = top; y <= top + ph; ++y)
                painter.drawLine(left, y, left + pw, y);
        } else {
            // A fractional count (7.5) spaces the lines as the numbers are: i * ph / nY.
            for (int i = 0; i <= nY; ++i) {
                const int y = RoundGridPixel(top + static_cast<double>(i) * ph / nY);
                painter.drawLine(left, y, left + pw, y);
            }
        }
    }

    if (nX > 0) {
        // Positions come from k·step rather than a running sum, so no drift accumulates and a
        // step below one ulp of x cannot stall the loop.
        const double step = pw / nX;
        if (step < 1) {
            for (int x = left; x <= left + pw; ++x)
                painter.drawLine(x, top, x, top + ph);
        } else {
            for (int k = 0;; ++k) {
                const double x = left + k * step;
                if (x > left + pw + 1) break;
                const int xi = RoundGridPixel(x);
                painter.drawLine(xi, top, xi, top + ph);
            }
        }
    }

    painter.setPen(style.axisPen);
    const QPoint axis[3] = {{left, top}, {left, top + ph}, {left + pw, top + ph}};
    painter.drawPolyline(axis, 3);
}

void DrawVerticalGridLines(QPainter& painter, const PlotStyle& style, int ph,
                           const std::vector<double>& offsetsPx) {
    const PlotMargins& m = style.margins;
    painter.save();
    painter.setPen(style.graticulePen);
    for (double x : offsetsPx) {
        const int xi = m.left + RoundGridPixel(x);
        painter.drawLine(xi, m.top, xi, m.top + ph);
    }
    painter.restore();
}
