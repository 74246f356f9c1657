#pragma once
// Text placed by one anchor point, the way the plots position every number and title.

#include <QColor>
#include <QFont>
#include <QPainter>
#include <QPoint>
#include <QString>

// Which point of the text's cell (advance width × ascent + descent) lies on the anchor.
enum class TextAnchor {
    LeftTop,       // annotation panels
    RightTop,      // Y-axis numbers
    CentreTop,     // X-axis numbers
    CentreBottom,  // X-axis title
};

// Draws text in font and colour with its anchor point at `at` (pixels). The cell is filled
// with the painter's background brush first (FillPlotBackground sets it), so text stays
// readable over grid lines. The painter's pen, font and background mode are left unchanged.
void DrawAnchoredText(QPainter& painter, const QFont& font, const QColor& colour, QPoint at,
                      TextAnchor anchor, const QString& text);

// As DrawAnchoredText, but the cell is filled with `cell` (which may be translucent, so what
// lies under the text still shows) instead of the background brush.
void DrawAnchoredTextOnCell(QPainter& painter, const QFont& font, const QColor& colour, QPoint at,
                            TextAnchor anchor, const QString& text, const QColor& cell);

// As DrawAnchoredText, but turned 90° counter-clockwise about `at` so it reads upwards; the
// anchor is taken in the turned frame, so CentreTop puts the text's top edge on the left,
// at x = at.x, centred on at.y.
void DrawAnchoredTextUpwards(QPainter& painter, const QFont& font, const QColor& colour, QPoint at,
                             TextAnchor anchor, const QString& text);
