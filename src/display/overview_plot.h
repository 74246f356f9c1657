#pragma once
// The whole-capture overview strip: peak power (a line) and mean power (filled below it)
// against time over the whole file, the working range shaded, a range being dragged, and the
// progress of the pass that fills it. Columns not yet computed stay empty.

#include <QPainter>
#include <cstdint>
#include <string>

#include "measure/whole_capture.h"

struct OverviewDrawing {
    const CaptureOverview* overview = nullptr;
    int64_t totalSamples = 0;
    int64_t sampleRateHz = 1;
    int64_t rangeFirst = 0, rangeCount = 0;  // the working waveform's samples in the file
    double dragFromPx = -1, dragToPx = -1;   // a range being dragged (widget x), or -1
    std::string note;                        // progress or what stopped the pass
};

// Horizontal margins of the strip's plot area, in pixels.
constexpr int kOverviewLeft = 56, kOverviewRight = 8;

// The sample under widget x of a strip W pixels wide (clamped to the file).
int64_t OverviewSampleAt(double x, int W, int64_t totalSamples);
// The widget x of sample n.
double OverviewPixelOf(int64_t n, int W, int64_t totalSamples);
// Columns a strip W pixels wide shows: one per pixel of its plot area.
int OverviewColumnsFor(int W);

void DrawCaptureOverview(QPainter& p, int W, int H, const OverviewDrawing& d);
