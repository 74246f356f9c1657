#pragma once
// The plot view: draws the current view kind off-screen into an image and copies it to the
// window in one step, recomputes the spectrum through the engine, and passes dropped files
// to the frame. The spectrum kinds (301-306) are drawn; the multi-overview shows its spectrum
// pane alone until the other kinds exist.

#include <QImage>
#include <QWidget>
#include <atomic>
#include <functional>

#include "display/plot_engine.h"
#include "dsp/fft_settings.h"
#include "dsp/trace_recompute.h"

class cWaveform;

class CView : public QWidget {
public:
    CView(cWaveform* wave, const std::atomic<bool>* stopRequest, QWidget* parent = nullptr);

    // The spectrum recompute from sample start, then the measurements and a redraw.
    void Recompute(int start);
    // Stores the view kind; onViewTypeChanged lets the frame move its check marks.
    void SelectViewType(int type);
    int ViewType() const { return viewType_; }
    // Displayed frequency range of the spectrum kinds.
    void FrequencyRange(double& f0, double& f1) const;
    // The picture as the window shows it.
    QImage Render(int W, int H);

    cPlotEngine engine;
    SpectrumSettings settings;
    cSpectrumRecompute recompute;
    std::function<void(int)> onViewTypeChanged;
    std::function<void(const QString&)> onFileDropped;

protected:
    void paintEvent(QPaintEvent*) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    cWaveform* wave_;
    const std::atomic<bool>* stopRequest_;
    int viewType_ = 300;
};
