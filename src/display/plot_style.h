#pragma once
// The drawing resources shared by every plot: pens, brushes, fonts, text colours and margins.
// Built once per view and kept for its life, never per paint.

#include <QBrush>
#include <QColor>
#include <QFont>
#include <QPen>

#include "display/plot_margins.h"

struct PlotStyle {
    // Needs a QGuiApplication for the fonts to resolve (QFont itself may be built before).
    PlotStyle();

    PlotMargins margins;

    QPen graticulePen;    // dotted (80, 80, 80): division grid
    QPen axisPen;         // (160, 160, 160): left and bottom axis lines
    QPen tracePen;        // (0, 255, 0): main trace, and I of the I/Q plots
    QPen secondTracePen;  // (255, 0, 0): Q of the I/Q plots
    QPen darkLinePen;     // (80, 80, 80): CCDF reference curve and auxiliary lines
    QPen cyanPen;         // (0, 255, 255): spectrum annotations
    QPen redPen;          // (255, 0, 0): spectrum annotations
    QPen lightBluePen;    // (130, 130, 255): spectrum annotations
    QPen lightBluePen2;   // (120, 120, 255): spectrum annotations

    QFont smallFont;     // Arial 11 px: axis numbers
    QFont verticalFont;  // Arial 13 px, drawn rotated to read upwards: Y-axis title
    QFont titleFont;     // Arial 13 px: X-axis title
    QFont panelFont;     // Arial 14 px: annotation panels

    QBrush backgroundBrush;  // (28, 28, 28): the whole drawing rectangle
    QBrush plotBrush;        // (0, 0, 0): the plot area
    QBrush blueBrush;        // (0, 0, 255): filled marks of spectrum annotations
    QBrush greenBrush;       // (0, 200, 0)
    QBrush redBrush;         // (200, 0, 0)

    QColor textBackgroundColour;  // (28, 28, 28): behind every text
    QColor axisTextColour;        // (200, 200, 200): axis numbers and titles
    QColor panelCyanColour;       // (0, 255, 255): annotation panels
    QColor panelWhiteColour;      // (255, 255, 255): annotation panels
};
