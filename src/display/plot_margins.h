#pragma once
// The fixed margins that every plot leaves around its plot area for axis numbers and titles.

// Margins in pixels. A plot of W x H pixels has its plot area at x = left … left + pw and
// y = top … top + ph, with pw = W − left − right and ph = H − top − bottom.
struct PlotMargins {
    int left = 44;
    int top = 12;
    int right = 12;
    int bottom = 30;
    int yTitleX = 4;  // x of the rotated Y-axis title

    // Plot-area width pw for a drawing rectangle W pixels wide (negative when W < 56).
    constexpr int PlotWidth(int W) const { return W - left - right; }
    // Plot-area height ph for a drawing rectangle H pixels high (negative when H < 42).
    constexpr int PlotHeight(int H) const { return H - top - bottom; }
};
