#pragma once
// The plot view: draws the current view kind off-screen and copies it to the window in one
// step; owns the plot engine, the spectrum settings, the displayed range and the zoom state;
// turns mouse, wheel and keys into zooms, view changes and small edits; recomputes the
// spectrum and passes dropped files to the frame.

#include <QImage>
#include <QPoint>
#include <QWidget>
#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>

#include "display/marker_overlay.h"
#include "display/marker_table.h"
#include "display/plot_engine.h"
#include "display/view_kinds.h"
#include "spectrum/spectrum_settings.h"
#include "spectrum/trace_recompute.h"

class cWaveform;
class CSpectrogramView;

class CView : public QWidget {
public:
    CView(cWaveform* wave, const std::atomic<bool>* stopRequest, QWidget* parent = nullptr);

    // The spectrum recompute from sample start, then the measurements and a redraw. The
    // samples may have changed, so statistics kept for redraws are dropped.
    void Recompute(int start);
    // Stores the kind (a real waveform shows "I" for "IQ"); 4-up kinds become the home view.
    void SetViewType(int kind, bool resetZoom);
    int ViewType() const { return viewType_.load(); }
    // Full range on the next draw; zoom factor back to the kind's default.
    void ResetZoom();
    // Invalidates the window, at most once per 5 ms; closer requests collapse into one.
    void RequestRedraw();
    // While frozen (a worker holds the samples) the view shows its last picture and ignores
    // the mouse, wheel and keys.
    void SetFrozen(bool frozen);
    bool Frozen() const { return frozen_; }
    // Draws the current kind into a W x H rectangle.
    void DrawView(QPainter& painter, int W, int H);
    // The picture as the window shows it (the multi view's four panes, or one kind).
    QImage Render(int W, int H);

    // The spectrogram: a child that covers the view while its kind is shown, or the 4-up
    // view's bottom-right pane when spectrogramInMulti is set.
    CSpectrogramView* spectrogram = nullptr;
    void SetSpectrogramInMulti(bool on);
    bool SpectrogramInMulti() const { return spectrogramInMulti_; }
    // Shows x0 … x1 (Hz in the spectrum kinds, samples in the time kinds) as a drag would.
    void ShowXRange(double x0, double x1);

    cPlotEngine engine;
    SpectrumSettings settings;
    cSpectrumRecompute recompute;

    std::atomic<int> playThroughState{0};  // set by a worker; keys are ignored while not 0
    // Held by a worker while it exchanges the samples and recomputes; a paint that finds it
    // taken shows the last picture.
    std::mutex* waveLock = nullptr;
    int animationState = 0;  // 2 while the vector animation runs
    // Counts what stopped the animation (a right click, a view change, a new waveform), so a
    // stop that comes before the first frame still counts.
    int AnimationStops() const { return animationStops_; }
    // Stops a running vector animation.
    void StopAnimation();
    double xStart = 0.0, xEnd = 0.0;  // Hz for spectrum kinds, samples for kinds >= 307
    bool zoomPending = true;
    bool phaseDisplay = false;
    // The zoom factor Z of the vector and constellation views, and the constellation's zoom
    // centre in window pixels.
    int Zoom() const { return zoom_; }
    QPoint ConstellationCentre() const { return {dragX1_, dragY1_}; }

    // Markers M1 … M4 of each plot: the spectrum's in Hz (with the delta mode and the band and
    // noise widths), the time traces' in samples of the waveform, the CCDF's in dB; the
    // spectrogram keeps its own. Positions stay through recomputes; levels follow the trace.
    MarkerSettings markers;
    MarkerPositions timeMarkers, ccdfMarkers;
    int selectedMarker = 0;  // 1 … 4 on the plot shown, 0: none
    // The recording's annotation drawn as chosen over the time views, or -1.
    int selectedAnnotation = -1;
    // The positions of the plot shown, or nullptr where it has no markers (the 4-up view, the
    // vector and constellation views, the spectrum's phase).
    MarkerPositions* ShownMarkers();
    // Carries out a marker command on the plot shown (Place: at the mouse, or the middle of
    // the plot when the mouse is elsewhere; the peaks: the selected marker, M1 when none is).
    // Returns what to tell the user, or "".
    std::string MarkerCommand(MarkerAction action);
    // Puts marker number (1 … 4) at position (the plot's unit; empty: off). False with why
    // when the plot shown has no markers or the number is out of range.
    bool SetMarker(int number, std::optional<double> position, std::string& why);
    void ClearMarkers();
    // The readings of the plot shown.
    MarkerTable MarkerTableNow();
    // The picture was redrawn (the markers' readings may have changed with it); called with
    // waveLock held.
    std::function<void()> onMarkersChanged;

    // The frame's view selection (quadrant clicks and the middle button go through it).
    std::function<void(int)> onSelectViewType;
    // Check marks follow the stored kind.
    std::function<void(int)> onViewTypeChanged;
    std::function<void(const QString&)> onFileDropped;
    // Called before a key edits the samples ("[", "]", "Q", "W"), so the frame can keep an undo
    // copy.
    std::function<void()> onBeforeSampleEdit;

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    void showEvent(QShowEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    // The samples' lock when it is free (an empty lock without one).
    std::unique_lock<std::mutex> TraceLock() const;
    // The range shown (Hz or samples), the full one before the kind's first drawing.
    void ShownXRange(double& x0, double& x1) const;
    // The marker axis of the plot shown at the window's size.
    MarkerAxis ShownMarkerAxis() const;
    // The marker whose flag is within a few pixels of x, or 0.
    int MarkerNear(int x);
    // Puts marker number at window x (snapped to a sample on the time traces).
    void MoveMarkerTo(int number, double x);
    // One point right (+1) or left (−1): a trace point, a sample, or a pixel on the CCDF.
    void StepMarker(int direction);
    std::string PeakCommand(MarkerAction action);
    void MarkersChanged();
    void ShadeDragBand(QImage& image, int mouseX, int mouseY) const;
    void PlaceSpectrogram();
    void WheelYAxis(bool back);
    void EditAndRecompute(const std::function<void()>& edit);
    bool HasSamples() const;

    int homeMultiView_ = kViewMulti;
    bool spectrogramInMulti_ = false;
    int animationStops_ = 0;
    int lastSampleCount_ = 0;
    int dragX0_ = 0, dragY0_ = 0, dragX1_ = 0, dragY1_ = 0;  // 314: x1, y1 = zoom centre
    int anchorX_ = 0, anchorY_ = 0;
    bool dragging_ = false;
    int draggedMarker_ = 0;  // the marker the left button holds, or 0
    bool hoverValid_ = false;
    int hoverX_ = 0;
    int zoom_ = 1;  // Z
    cWaveform* wave_;
    const std::atomic<bool>* stopRequest_;
    std::atomic<int> viewType_{kViewMulti};  // a worker's recompute reads it
    bool mouseRecorded_ = false;
    int mouseX_ = 0, mouseY_ = 0;
    QImage snapshot_;   // the window when the drag began
    QImage lastFrame_;  // the last painted picture
    bool redrawGuard_ = false;
    bool frozen_ = false;
    std::chrono::steady_clock::time_point lastRedraw_{};
};
