#pragma once
// Rendering plots into images and reading their pixels back.

#include <QImage>
#include <QPainter>
#include <functional>

#include "display/plot_frame.h"
#include "display/plot_style.h"

using Draw = std::function<void(QPainter&, const PlotStyle&)>;

// A 400 x 300 frame has its 344 x 258 plot area at (44, 12).
constexpr int kW = 400, kH = 300, kLeft = 44, kTop = 12, kPw = 344, kPh = 258;
const QColor kBackground(28, 28, 28), kPlot(0, 0, 0), kGrid(80, 80, 80), kAxis(160, 160, 160);

// A W x H image filled by FillPlotBackground, then by `draw`. It starts white, so anything
// the background fails to paint shows.
inline QImage Render(const Draw& draw, int W = kW, int H = kH) {
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::white);
    const PlotStyle style;
    QPainter painter(&image);
    FillPlotBackground(painter, style, W, H);
    draw(painter, style);
    painter.end();
    return image;
}

inline QColor Pixel(const QImage& image, int x, int y) { return QColor(image.pixel(x, y)); }

// Smallest rectangle holding the pixels of `area` whose colour `is` accepts.
inline QRect Bounds(const QImage& image, const QRect& area, const std::function<bool(QColor)>& is) {
    QRect bounds;
    const QRect clipped = area & image.rect();
    for (int y = clipped.top(); y <= clipped.bottom(); ++y) {
        for (int x = clipped.left(); x <= clipped.right(); ++x) {
            if (is(Pixel(image, x, y))) bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

// A W x H white image with whatever `draw` paints on it (plots that fill their own background,
// or draw nothing at all).
inline QImage DrawOnWhite(int W, int H, const std::function<void(QPainter&)>& draw) {
    QImage image(W, H, QImage::Format_RGB32);
    image.fill(Qt::white);
    QPainter p(&image);
    draw(p);
    p.end();
    return image;
}
