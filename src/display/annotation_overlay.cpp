#include "display/annotation_overlay.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

namespace {

const QColor kSpanFill(255, 200, 0, 40), kSelectedFill(255, 200, 0, 90);
const QColor kEdge(255, 200, 0), kSelectedEdge(255, 255, 255);

std::vector<size_t> Shown(const std::vector<SigmfAnnotation>& annotations,
                          const AnnotationPlace& place) {
    const auto first = static_cast<int64_t>(std::floor(place.firstSample));
    const auto end = static_cast<int64_t>(std::ceil(place.firstSample + place.sampleCount));
    return AnnotationsWithin(annotations, first, std::max(end, first + 1), kMaxDrawnAnnotations);
}

// Pixels along an axis of `pixels` that show [v0, v0 + span): where value v lies, kept within
// a little of the area so huge values do not overflow the painter's integers.
double Along(double v, double v0, double span, int start, int pixels) {
    const double at = start + (v - v0) / span * pixels;
    return std::clamp(at, start - 2.0, start + pixels + 2.0);
}

// The label at the top of a box, or at the foot of a span (the top of a time plot carries
// its statistics).
void Label(QPainter& p, const SigmfAnnotation& a, const QRectF& r, const QRect& area, bool atFoot) {
    if (a.label.empty()) return;
    const QFontMetrics m(p.font());
    const QString text = m.elidedText(QString::fromStdString(a.label), Qt::ElideRight,
                                      std::max(24, static_cast<int>(r.width()) + 60));
    const double y = atFoot ? std::min<double>(r.bottom(), area.bottom()) - m.descent() - 3
                            : std::max<double>(r.top(), area.top()) + m.ascent() + 1;
    const QPointF at(std::max<double>(r.left() + 3, area.left() + 3), y);
    p.setPen(Qt::black);
    p.drawText(at + QPointF(1, 1), text);
    p.setPen(kEdge);
    p.drawText(at, text);
}

}  // namespace

size_t DrawAnnotationSpans(QPainter& p, const std::vector<SigmfAnnotation>& annotations,
                           const AnnotationPlace& place) {
    const QRect& area = place.area;
    if (annotations.empty() || !(place.sampleCount > 0) || area.isEmpty()) return 0;
    const std::vector<size_t> shown = Shown(annotations, place);
    p.save();
    p.setClipRect(area);
    for (const size_t k : shown) {
        const SigmfAnnotation& a = annotations[k];
        const double x0 = Along(static_cast<double>(a.firstSample), place.firstSample,
                                place.sampleCount, area.left(), area.width());
        const double x1 =
            Along(static_cast<double>(a.firstSample + std::max<int64_t>(1, a.sampleCount)),
                  place.firstSample, place.sampleCount, area.left(), area.width());
        const QRectF r(x0, area.top(), std::max(1.0, x1 - x0), area.height());
        const bool selected = static_cast<int>(k) == place.selected;
        p.fillRect(r, selected ? kSelectedFill : kSpanFill);
        p.setPen(QPen(selected ? kSelectedEdge : kEdge, 1));
        p.drawLine(QPointF(x0, area.top()), QPointF(x0, area.bottom()));
        if (shown.size() <= kMaxLabelledAnnotations) Label(p, a, r, area, true);
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
    p.save();
    p.setClipRect(area);
    for (const size_t k : shown) {
        const SigmfAnnotation& a = annotations[k];
        const double y0 = Along(static_cast<double>(a.firstSample), place.firstSample,
                                place.sampleCount, area.top(), area.height());
        const double y1 =
            Along(static_cast<double>(a.firstSample + std::max<int64_t>(1, a.sampleCount)),
                  place.firstSample, place.sampleCount, area.top(), area.height());
        double x0 = area.left(), x1 = area.right() + 1;
        if (a.lowerHz && a.upperHz) {
            x0 = Along(*a.lowerHz - centre, place.fStart, band, area.left(), area.width());
            x1 = Along(*a.upperHz - centre, place.fStart, band, area.left(), area.width());
        }
        const QRectF r(std::min(x0, x1), y0, std::max(1.0, std::abs(x1 - x0)),
                       std::max(1.0, y1 - y0));
        const bool selected = static_cast<int>(k) == place.selected;
        p.setPen(QPen(selected ? kSelectedEdge : kEdge, selected ? 2 : 1));
        p.setBrush(selected ? QBrush(kSelectedFill) : Qt::NoBrush);
        p.drawRect(r);
        if (shown.size() <= kMaxLabelledAnnotations) Label(p, a, r, area, false);
    }
    p.restore();
    return shown.size();
}
