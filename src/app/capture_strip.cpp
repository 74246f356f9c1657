#include "app/capture_strip.h"

#include <QMouseEvent>
#include <QPainter>
#include <cmath>

CCaptureStrip::CCaptureStrip(QWidget* parent) : QWidget(parent) {
    setMinimumHeight(70);
    setMouseTracking(false);
    setCursor(Qt::IBeamCursor);
    setToolTip("Drag over a stretch of the capture to load it");
}

void CCaptureStrip::Reset(int64_t totalSamples, int64_t sampleRateHz) {
    overview_ = CaptureOverview{};
    drawing_ = OverviewDrawing{};
    drawing_.totalSamples = totalSamples;
    drawing_.sampleRateHz = sampleRateHz;
    update();
}

void CCaptureStrip::SetRange(int64_t first, int64_t count) {
    drawing_.rangeFirst = first;
    drawing_.rangeCount = count;
    update();
}

void CCaptureStrip::SetNote(const std::string& note) {
    drawing_.note = note;
    update();
}

void CCaptureStrip::paintEvent(QPaintEvent*) {
    QPainter p(this);
    drawing_.overview = &overview_;
    DrawCaptureOverview(p, width(), height(), drawing_);
}

void CCaptureStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drawing_.totalSamples <= 0) return;
    drawing_.dragFromPx = drawing_.dragToPx = event->position().x();
    update();
}

void CCaptureStrip::mouseMoveEvent(QMouseEvent* event) {
    if (drawing_.dragFromPx < 0) return;
    drawing_.dragToPx = event->position().x();
    update();
}

void CCaptureStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton || drawing_.dragFromPx < 0) return;
    const double a = drawing_.dragFromPx, b = event->position().x();
    drawing_.dragFromPx = drawing_.dragToPx = -1;
    update();
    // A click is not a range: at least a few pixels of drag.
    if (std::fabs(b - a) < 3) return;
    const int64_t first = OverviewSampleAt(std::min(a, b), width(), drawing_.totalSamples);
    const int64_t last = OverviewSampleAt(std::max(a, b), width(), drawing_.totalSamples);
    if (last > first && onRangeChosen) onRangeChosen(first, last - first);
}
