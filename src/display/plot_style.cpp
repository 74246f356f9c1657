#include "display/plot_style.h"

namespace {

QPen SolidPen(int r, int g, int b) { return QPen(QColor(r, g, b), 1, Qt::SolidLine); }

QFont ArialFont(int pixelSize) {
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixelSize);
    font.setWeight(QFont::Normal);
    // Where no Arial is installed, fontconfig still picks a metric-compatible sans serif.
    font.setStyleHint(QFont::SansSerif);
    return font;
}

QBrush SolidBrush(int r, int g, int b) { return QBrush(QColor(r, g, b), Qt::SolidPattern); }

}  // namespace

PlotStyle::PlotStyle()
    : graticulePen(QColor(80, 80, 80), 1, Qt::DotLine),
      axisPen(SolidPen(160, 160, 160)),
      tracePen(SolidPen(0, 255, 0)),
      secondTracePen(SolidPen(255, 0, 0)),
      darkLinePen(SolidPen(80, 80, 80)),
      cyanPen(SolidPen(0, 255, 255)),
      redPen(SolidPen(255, 0, 0)),
      lightBluePen(SolidPen(130, 130, 255)),
      lightBluePen2(SolidPen(120, 120, 255)),
      smallFont(ArialFont(11)),
      verticalFont(ArialFont(13)),
      titleFont(ArialFont(13)),
      panelFont(ArialFont(14)),
      backgroundBrush(SolidBrush(28, 28, 28)),
      plotBrush(SolidBrush(0, 0, 0)),
      blueBrush(SolidBrush(0, 0, 255)),
      greenBrush(SolidBrush(0, 200, 0)),
      redBrush(SolidBrush(200, 0, 0)),
      textBackgroundColour(28, 28, 28),
      axisTextColour(200, 200, 200),
      panelCyanColour(0, 255, 255),
      panelWhiteColour(255, 255, 255) {}
