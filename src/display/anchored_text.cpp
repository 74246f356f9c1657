#include "display/anchored_text.h"

#include <QFontMetrics>

namespace {

// Baseline origin of the text for the anchor, relative to the anchor point.
QPoint BaselineOffset(const QFontMetrics& metrics, TextAnchor anchor, const QString& text) {
    const int width = metrics.horizontalAdvance(text);
    switch (anchor) {
        case TextAnchor::LeftTop: return QPoint(0, metrics.ascent());
        case TextAnchor::RightTop: return QPoint(-width, metrics.ascent());
        case TextAnchor::CentreTop: return QPoint(-width / 2, metrics.ascent());
        case TextAnchor::CentreBottom: return QPoint(-width / 2, -metrics.descent());
    }
    return QPoint(0, metrics.ascent());
}

// Draws at the painter's current transform, with `at` as the anchor in that frame.
void DrawAt(QPainter& painter, const QFont& font, const QColor& colour, QPoint at,
            TextAnchor anchor, const QString& text) {
    painter.setFont(font);
    painter.setPen(colour);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.drawText(at + BaselineOffset(QFontMetrics(font, painter.device()), anchor, text), text);
}

}  // namespace

void DrawAnchoredText(QPainter& painter, const QFont& font, const QColor& colour, QPoint at,
                      TextAnchor anchor, const QString& text) {
    painter.save();
    DrawAt(painter, font, colour, at, anchor, text);
    painter.restore();
}

void DrawAnchoredTextUpwards(QPainter& painter, const QFont& font, const QColor& colour, QPoint at,
                             TextAnchor anchor, const QString& text) {
    painter.save();
    painter.translate(at);
    painter.rotate(-90);  // y grows downwards, so negative angles turn counter-clockwise
    DrawAt(painter, font, colour, QPoint(0, 0), anchor, text);
    painter.restore();
}

void DrawAnchoredTextOnCell(QPainter& painter, const QFont& font, const QColor& colour, QPoint at,
                            TextAnchor anchor, const QString& text, const QColor& cell) {
    painter.save();
    const QFontMetrics metrics(font, painter.device());
    const QPoint origin = at + BaselineOffset(metrics, anchor, text);
    painter.fillRect(QRect(origin.x(), origin.y() - metrics.ascent(),
                           metrics.horizontalAdvance(text), metrics.height()),
                     cell);
    painter.setFont(font);
    painter.setPen(colour);
    painter.setBackgroundMode(Qt::TransparentMode);
    painter.drawText(origin, text);
    painter.restore();
}
