#include "display/axis_labels.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

#include "display/anchored_text.h"
#include "display/pixel_round.h"
#include "display/value_format.h"

namespace {

// Index range 0 … divisions of an axis's numbers, kept finite and bounded.
int LastNumberIndex(double divisions) {
    if (!(divisions > 0) || !std::isfinite(divisions)) return 0;
    return static_cast<int>(std::fmin(divisions, kMaxAxisNumbers - 1));
}

}  // namespace

void DrawYAxisNumber(QPainter& painter, const PlotStyle& style, double gridOffset,
                     const QString& text) {
    const PlotMargins& m = style.margins;
    const int y = RoundGridPixel(m.top - 6 + gridOffset);
    DrawAnchoredText(painter, style.smallFont, style.axisTextColour, QPoint(m.left - 3, y),
                     TextAnchor::RightTop, text);
}

void DrawDbAxisNumbers(QPainter& painter, const PlotStyle& style, const AxisScale& axis,
                       double dbmOffsetDb, int ph) {
    const int last = LastNumberIndex(axis.divisions);
    for (int i = 0; i <= last; ++i) {
        const double level = axis.reference - i * axis.scale + dbmOffsetDb;
        const double offset = i == 0 ? 0.0 : i * ph / axis.divisions;
        DrawYAxisNumber(painter, style, offset, QString::fromStdString(FormatTrimmed(level)));
    }
}

void DrawXAxisNumber(QPainter& painter, const PlotStyle& style, int H, double gridOffset,
                     const QString& text) {
    const PlotMargins& m = style.margins;
    int x = m.left + RoundGridPixel(gridOffset);
    // The numbers at the ends move inward rather than run off the picture.
    if (const QPaintDevice* device = painter.device()) {
        const int half = QFontMetrics(style.smallFont, device).horizontalAdvance(text) / 2;
        x = std::max(x, half);
        x = std::min(x, device->width() - 1 - half);
    }
    const QPoint at(x, H - m.bottom + 3);
    DrawAnchoredText(painter, style.smallFont, style.axisTextColour, at, TextAnchor::CentreTop,
                     text);
}

void DrawSampleAxisNumbers(QPainter& painter, const PlotStyle& style, int H,
                           const std::vector<SampleTick>& ticks) {
    for (const SampleTick& t : ticks)
        DrawXAxisNumber(painter, style, H, t.offsetPx, QString::number(t.number));
}

void DrawYAxisTitle(QPainter& painter, const PlotStyle& style, int H, const QString& title) {
    DrawAnchoredTextUpwards(painter, style.verticalFont, style.axisTextColour,
                            QPoint(style.margins.yTitleX, H / 2 - 9), TextAnchor::CentreTop, title);
}

void DrawXAxisTitle(QPainter& painter, const PlotStyle& style, int H, int pw,
                    const QString& title) {
    DrawAnchoredText(painter, style.titleFont, style.axisTextColour,
                     QPoint(style.margins.left + pw / 2, H - 3), TextAnchor::CentreBottom, title);
}
