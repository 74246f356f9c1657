#pragma once
// The strip above the view that shows a whole capture larger than a waveform holds: its
// overview as the background pass fills it, the samples loaded as the working waveform, and a
// range dragged with the left button, which it hands to the frame to load.

#include <QWidget>
#include <functional>

#include "display/overview_plot.h"
#include "measure/whole_capture.h"

class CCaptureStrip : public QWidget {
public:
    explicit CCaptureStrip(QWidget* parent = nullptr);

    // A new capture: no columns yet.
    void Reset(int64_t totalSamples, int64_t sampleRateHz);
    void SetOverview(const CaptureOverview& overview) {
        overview_ = overview;
        update();
    }
    void SetRange(int64_t first, int64_t count);
    void SetNote(const std::string& note);
    // The columns a pass should compute for the strip's present width.
    int ColumnsWanted() const { return OverviewColumnsFor(width()); }
    const CaptureOverview& Overview() const { return overview_; }

    // A range dragged over the strip: first sample and count (at least one).
    std::function<void(int64_t first, int64_t count)> onRangeChosen;

    QSize sizeHint() const override { return {800, 90}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    CaptureOverview overview_;
    OverviewDrawing drawing_;
};
