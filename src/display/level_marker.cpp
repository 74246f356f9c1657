#include "display/level_marker.h"

#include <cmath>

#include "display/pixel_round.h"
#include "display/value_to_pixel.h"

void DrawLevelMarker(QPainter& painter, const PlotStyle& style, const AxisScaleSet& axes,
                     double freqHz, double levelDb, double f0Hz, double f1Hz, int pw, int ph) {
    const PlotMargins& m = style.margins;
    const double span = f1Hz - f0Hz;
    const int x = m.left + (span != 0 ? RoundGridPixel((freqHz - f0Hz) / span * pw) : 0);

    double y = DbLevelToY(axes[kSpectrumAxis], levelDb, m.top, ph);
    if (!(y == y)) y = m.top;  // 0/0: the level is the reference of a zero-height axis
    y = std::fmax(m.top, std::fmin(m.top + ph, y));
    const int yi = RoundHalfAwayPixel(y);

    const QPoint outline[4] = {{x, yi}, {x + 4, yi - 4}, {x - 4, yi - 4}, {x, yi}};
    painter.drawPolyline(outline, 4);
}
