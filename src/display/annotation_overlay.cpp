#include "display/annotation_overlay.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>
#include <tuple>

namespace {

const QColor kSpanFill(255, 200, 0, 40), kSelectedFill(255, 200, 0, 90);
const QColor kEdge(255, 200, 0), kSelectedEdge(255, 255, 255);

std::vector<size_t> Shown(const std::vector<SigmfAnnotation>& annotations,
                          const AnnotationPlace& place) {
    const auto first = static_cast<int64_t>(std::floor(place.firstSample));
    const auto end = static_cast<int64_t>(std::ceil(place.firstSample + place.sampleCount));
    return AnnotationsWithin(annotations, first, std::max(end, first + 1), kMaxDrawnAnnotations);
}

// The whole pixels [from, to) along an axis of `pixels` from `start` that show values
// [v0, v1) of the span [first, first + count): at least one, and within the area.
std::pair<int, int> Pixels(double v0, double v1, double first, double count, int start,
                           int pixels) {
    const auto at = [&](double v) {
        return std::clamp(start + (v - first) / count * pixels, start - 1.0, start + pixels + 1.0);
    };
    const int from = std::clamp(static_cast<int>(std::floor(at(v0))), start, start + pixels - 1);
    const int to = std::clamp(static_cast<int>(std::ceil(at(v1))), from + 1, start + pixels);
    return {from, to};
}

int64_t EndOf(const SigmfAnnotation& a) {
    return a.firstSample + std::max<int64_t>(1, a.sampleCount);
}

// Labels in one font's metrics, each only where it does not run into the one before (text
// on text reads as neither, and costs more to draw than every span).
class Labeller {
public:
    explicit Labeller(const QPainter& p) : m_(p.font()) {}
    // At the top left of a box, or at the foot of a span (the top of a time plot carries its
    // statistics).
    void Draw(QPainter& p, const SigmfAnnotation& a, const QRect& r, bool atFoot) {
        if (a.label.empty()) return;
        const int y = atFoot ? r.bottom() - m_.descent() - 3 : r.top() + m_.ascent() + 1;
        const int x = r.left() + 3;
        if (y == lastY_ && x < lastEnd_) return;
        const QString text = QString::fromStdString(a.label).left(40);
        lastY_ = y;
        lastEnd_ = x + m_.horizontalAdvance(text) + 4;
        p.setPen(Qt::black);
        p.drawText(QPoint(x + 1, y + 1), text);
        p.setPen(kEdge);
        p.drawText(QPoint(x, y), text);
    }

private:
    QFontMetrics m_;
    int lastY_ = -1, lastEnd_ = 0;
};

}  // namespace

size_t DrawAnnotationSpans(QPainter& p, const std::vector<SigmfAnnotation>& annotations,
                           const AnnotationPlace& place) {
    const QRect& area = place.area;
    if (annotations.empty() || !(place.sampleCount > 0) || area.isEmpty()) return 0;
    const std::vector<size_t> shown = Shown(annotations, place);
    if (shown.empty()) return 0;
    // The columns covered and the columns of starts, gathered first: many annotations in one
    // column are painted once, so a paint costs the plot's width, not the annotations' count.
    const int W = area.width();
    std::vector<int> depth(static_cast<size_t>(W) + 1, 0);
    std::vector<uint8_t> starts(static_cast<size_t>(W), 0);
    std::vector<QRect> spans;  // in the painter's pixels
    spans.reserve(shown.size());
    for (const size_t k : shown) {
        const SigmfAnnotation& a = annotations[k];
        const auto [x0, x1] =
            Pixels(static_cast<double>(a.firstSample), static_cast<double>(EndOf(a)),
                   place.firstSample, place.sampleCount, area.left(), W);
        ++depth[static_cast<size_t>(x0 - area.left())];
        --depth[static_cast<size_t>(x1 - area.left())];
        if (a.firstSample >= place.firstSample) starts[static_cast<size_t>(x0 - area.left())] = 1;
        spans.emplace_back(x0, area.top(), x1 - x0, area.height());
    }
    // One row of pixels, stretched over the plot's height: a single blit, where a rectangle
    // per run and edge would each be a fill of their own.
    QImage strip(W, 1, QImage::Format_ARGB32_Premultiplied);
    strip.fill(Qt::transparent);
    auto* row = reinterpret_cast<QRgb*>(strip.scanLine(0));
    const QRgb fill = qPremultiply(kSpanFill.rgba()), edge = kEdge.rgba();
    int covered = 0;
    for (int x = 0; x < W; ++x) {
        covered += depth[static_cast<size_t>(x)];
        if (starts[static_cast<size_t>(x)])
            row[x] = edge;
        else if (covered > 0)
            row[x] = fill;
    }
    for (size_t i = 0; i < shown.size(); ++i)
        if (static_cast<int>(shown[i]) == place.selected) {
            const QRgb chosen = qPremultiply(kSelectedFill.rgba());
            for (int x = spans[i].left(); x <= spans[i].right(); ++x)
                row[x - area.left()] = chosen;
            row[spans[i].left() - area.left()] = kSelectedEdge.rgba();
        }
    p.save();
    p.setRenderHint(QPainter::SmoothPixmapTransform, false);
    p.drawImage(area, strip);
    if (shown.size() <= kMaxLabelledAnnotations) {
        Labeller labels(p);
        for (size_t i = 0; i < shown.size(); ++i)
            labels.Draw(p, annotations[shown[i]], spans[i], true);
    }
    p.restore();
    return shown.size();
}

size_t DrawAnnotationBoxes(QPainter& p, const std::vector<SigmfAnnotation>& annotations,
                           const AnnotationPlace& place) {
    const QRect& area = place.area;
    const double band = place.fEnd - place.fStart;
    if (annotations.empty() || !(place.sampleCount > 0) || !(band > 0) || area.isEmpty()) return 0;
    const std::vector<size_t> shown = Shown(annotations, place);
    const double centre = place.centreHz.value_or(0.0);
    Labeller labels(p);
    p.save();
    p.setClipRect(area);
    for (const size_t k : shown) {
        const SigmfAnnotation& a = annotations[k];
        const auto [y0, y1] =
            Pixels(static_cast<double>(a.firstSample), static_cast<double>(EndOf(a)),
                   place.firstSample, place.sampleCount, area.top(), area.height());
        int x0 = area.left(), x1 = area.right() + 1;
        if (a.lowerHz && a.upperHz) {
            const double lo = std::min(*a.lowerHz, *a.upperHz) - centre;
            const double hi = std::max(*a.lowerHz, *a.upperHz) - centre;
            // A band wholly outside the one shown is not drawn at its edge.
            if (hi < place.fStart || lo > place.fEnd) continue;
            std::tie(x0, x1) = Pixels(lo, hi, place.fStart, band, area.left(), area.width());
        }
        // Integer rectangles with a one-pixel pen take the painter's fast path.
        const QRect r(x0, y0, x1 - x0, y1 - y0);
        const bool selected = static_cast<int>(k) == place.selected;
        if (selected) p.fillRect(r, kSelectedFill);
        p.setPen(QPen(selected ? kSelectedEdge : kEdge, 0));
        p.setBrush(Qt::NoBrush);
        p.drawRect(r.adjusted(0, 0, -1, -1));
        if (shown.size() <= kMaxLabelledAnnotations) labels.Draw(p, a, r, false);
    }
    p.restore();
    return shown.size();
}
