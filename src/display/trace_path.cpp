#include "display/trace_path.h"

#include <QImage>
#include <algorithm>
#include <climits>

void TracePath::Flush() {
    if (points_.empty()) return;
    auto* image = dynamic_cast<QImage*>(painter_.device());
    const bool direct =
        image && !painter_.hasClipping() && painter_.transform().isIdentity() &&
        pen_.widthF() <= 1.0 && pen_.style() == Qt::SolidLine &&
        painter_.compositionMode() == QPainter::CompositionMode_SourceOver &&
        (image->format() == QImage::Format_RGB32 || image->format() == QImage::Format_ARGB32 ||
         image->format() == QImage::Format_ARGB32_Premultiplied);
    painter_.setPen(pen_);
    if (!direct) {
        std::vector<QPoint> run;
        auto draw = [&] {
            if (run.size() == 1) run.push_back(run.back());  // a lone point is a dot
            if (!run.empty()) painter_.drawPolyline(run.data(), static_cast<int>(run.size()));
            run.clear();
        };
        for (const Step& s : points_) {
            if (s.move) draw();
            run.push_back(s.at);
        }
        draw();
        points_.clear();
        return;
    }
    const int W = image->width(), H = image->height();
    std::vector<int> lo(static_cast<size_t>(W), INT_MAX), hi(static_cast<size_t>(W), INT_MIN);
    auto extend = [&](int x, int a, int b) {
        if (x < 0 || x >= W) return;
        lo[x] = std::min({lo[x], a, b});
        hi[x] = std::max({hi[x], a, b});
    };
    for (size_t i = 0; i < points_.size(); ++i) {
        const QPoint b = points_[i].at;
        if (points_[i].move) {
            // A point that no line leaves is still drawn.
            if (i + 1 == points_.size() || points_[i + 1].move) extend(b.x(), b.y(), b.y());
            continue;
        }
        const QPoint a = points_[i - 1].at;
        if (a.x() == b.x()) {
            extend(a.x(), a.y(), b.y());
        } else if (std::abs(b.x() - a.x()) == 1) {
            const int mid = (a.y() + b.y()) / 2;
            extend(a.x(), a.y(), mid);
            extend(b.x(), mid, b.y());
        } else {
            painter_.drawLine(a, b);
        }
    }
    const QRgb colour = pen_.color().rgb();
    uchar* bits = image->bits();
    const qsizetype stride = image->bytesPerLine();
    for (int x = 0; x < W; ++x) {
        if (lo[x] > hi[x]) continue;
        for (int y = std::max(lo[x], 0); y <= std::min(hi[x], H - 1); ++y)
            reinterpret_cast<QRgb*>(bits + y * stride)[x] = colour;
    }
    points_.clear();
}
