#include "app/view.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "app/spectrogram_view.h"
#include "display/annotation_overlay.h"
#include "display/view_kinds.h"
#include "waveform/message_pump.h"
#include "waveform/sample_edits.h"
#include "waveform/waveform.h"

namespace {

constexpr int kSpectrumZoom = 32768;
constexpr int kMaxWheelZoom = 4194304;
constexpr int kMaxDragZoom = 536870912;
constexpr int kXAxisStrip = 30;  // presses this close to the bottom never start a drag
constexpr auto kRedrawInterval = std::chrono::milliseconds(5);

// Zoom step of a 2-D drag whose box fits `ratio` times into the window.
int DragZoomStep(double ratio) {
    int k = 1;
    for (double limit = 2; limit <= 128 && ratio >= limit; limit *= 2)
        k *= 2;
    return k;
}

}  // namespace

CView::CView(cWaveform* wave, const std::atomic<bool>* stopRequest, QWidget* parent)
    : QWidget(parent), wave_(wave), stopRequest_(stopRequest) {
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
    setMouseTracking(true);  // a marker is placed where the mouse is
    spectrogram = new CSpectrogramView(this);
    spectrogram->hide();
}

void CView::PlaceSpectrogram() {
    const int kind = viewType_;
    if (kind == kViewSpectrogram) {
        spectrogram->setGeometry(rect());
    } else if (kind == kViewMulti && spectrogramInMulti_) {
        // The CCDF's quadrant.
        const int cx = width() / 2 + 1, cy = height() / 2 + 1;
        spectrogram->setGeometry(cx, cy, width() - cx, height() - cy);
    } else {
        spectrogram->hide();
        return;
    }
    spectrogram->show();
}

void CView::SetSpectrogramInMulti(bool on) {
    spectrogramInMulti_ = on;
    PlaceSpectrogram();
}

void CView::ShowXRange(double x0, double x1) {
    const PlotMargins& mg = engine.style.margins;
    xStart = x0;
    xEnd = x1;
    // A drag that covers the plot area: DrawView keeps the range as it is.
    dragX0_ = mg.left;
    dragX1_ = std::max(mg.left + 1, width() - mg.right);
    dragY0_ = 0;
    zoomPending = false;
    update();
}

bool CView::HasSamples() const { return wave_->sampleCount > 0; }

void CView::StopAnimation() {
    animationState = 0;
    ++animationStops_;
}

void CView::SetViewType(int kind, bool resetZoom) {
    StopAnimation();
    viewType_ = kind;
    if (IsMultiKind(kind)) homeMultiView_ = kind;
    if (recompute.lastWasReal && kind == kViewIQ) viewType_ = kViewI;
    if (resetZoom) ResetZoom();
    if (kind == kViewLogMag) zoom_ = 4;
    PlaceSpectrogram();
}

void CView::ResetZoom() {
    xStart = xEnd = 0.0;
    dragX0_ = dragY0_ = dragX1_ = dragY1_ = 0;
    zoom_ = viewType_ < kViewTimeI ? kSpectrumZoom : 1;
    if (viewType_ == kViewLogMag) zoom_ = 4;
    if (viewType_ == kViewMulti) zoom_ = 1;
}

void CView::RequestRedraw() {
    if (redrawGuard_) return;
    redrawGuard_ = true;
    const auto now = std::chrono::steady_clock::now();
    if (now < lastRedraw_) lastRedraw_ = {};
    if (now > lastRedraw_ + kRedrawInterval) {
        lastRedraw_ = now;
        update();
    } else {
        PumpMessagesFor(1);
        // The request that was collapsed may carry the last change of a burst: make sure the
        // window shows it once the interval is over.
        QTimer::singleShot(kRedrawInterval, this, [this] { update(); });
    }
    redrawGuard_ = false;
}

void CView::SetFrozen(bool frozen) {
    frozen_ = frozen;
    if (frozen) dragging_ = false;
    update();
}

void CView::Recompute(int start) {
    engine.WaveformChanged();
    // A recompute on a worker thread (a long capture) reaches widgets only through queued
    // calls; the view's own fields are its alone while the view is frozen.
    const bool guiThread = QThread::currentThread() == thread();
    RecomputeHooks hooks;
    hooks.spectrumKind = [this] { return SpectrumKindShownBy(viewType_.load()); };
    hooks.overview = [this] { return IsSpectrumOverview(viewType_.load()); };
    hooks.selectKind = [this, guiThread](SpectrumKind type) {
        SetViewType(type, true);
        if (!onViewTypeChanged) return;
        if (guiThread) {
            onViewTypeChanged(viewType_);
        } else {
            const int kind = viewType_;
            QMetaObject::invokeMethod(
                this, [this, kind] { onViewTypeChanged(kind); }, Qt::QueuedConnection);
        }
    };
    hooks.maskMeasurementActive = [this] {
        return engine.measurements.settings.MaskOn() ||
               engine.measurements.settings.maskAutoBandwidth;
    };
    hooks.measure = [this] { engine.Measure(); };
    hooks.redraw = [this, guiThread] {
        if (guiThread)
            update();
        else
            QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    };
    static const std::atomic<bool> kNever{false};
    recompute.Recompute(engine.trace, *wave_, settings, stopRequest_ ? *stopRequest_ : kNever,
                        hooks, start);
}

void CView::DrawView(QPainter& p, int W, int H) {
    const int n = wave_->sampleCount;
    if (n <= 0) return;
    const double fs = static_cast<double>(wave_->sampleRate);
    if (n != lastSampleCount_) {
        if (viewType_ >= kViewTimeI) {
            ResetZoom();
            StopAnimation();
            lastSampleCount_ = n;
        } else if (xStart < -fs / 2 || xEnd > fs / 2) {
            ResetZoom();
        }
    }
    if (viewType_ == kViewSpectrogram) return;  // its own child widget draws it
    if (viewType_ >= kViewAnalysisFirst && viewType_ <= kViewAnalysisFirst + 2 &&
        !(viewType_ == kViewAnalysisEvm && engine.ModulationOf(*wave_))) {
        // analysis kinds without results of these samples
        viewType_ = kViewTimeIQ;
        ResetZoom();
    }
    const int centreX = dragX1_, centreY = dragY1_;
    if (dragY0_ < 0 || dragX0_ == dragX1_) {
        FullViewRange(viewType_, wave_->sampleRate, n, xStart, xEnd);
        dragX0_ = dragX1_ = 0;
    }
    const PlotMargins& mg = engine.style.margins;
    if (dragX1_ == 0) dragX1_ = W - mg.right;
    dragX0_ = std::clamp(dragX0_, mg.left, std::max(mg.left, W - mg.right));
    dragX1_ = std::clamp(dragX1_, mg.left, std::max(mg.left, W - mg.right));
    if (dragX0_ > dragX1_) std::swap(dragX0_, dragX1_);
    if (zoomPending) {
        const double span = xEnd - xStart;
        const double pw = W - mg.left - mg.right;
        const double a = xStart + (dragX0_ - mg.left) / pw * span;
        const double b = xStart + (dragX1_ - mg.left) / pw * span;
        if (b - a > 0.1) {
            xStart = a;
            xEnd = b;
        }
        zoomPending = false;
    }
    if (viewType_ == kViewConstellation) {
        dragX1_ = centreX;
        dragY1_ = centreY;
    }

    KindDrawing d;
    d.kind = viewType_;
    d.xStart = xStart;
    d.xEnd = xEnd;
    d.zoom = zoom_;
    d.mode = animationState + 1;
    d.centreX = centreX;
    d.centreY = centreY;
    d.phaseDisplay = phaseDisplay;
    DrawKind(engine, p, W, H, *wave_, d);
    if (IsTimeKind(viewType_) && !phaseDisplay) {
        AnnotationPlace place;
        place.area = QRect(mg.left, mg.top, mg.PlotWidth(W), mg.PlotHeight(H));
        place.firstSample = static_cast<double>(wave_->source.firstSample) + xStart;
        place.sampleCount = xEnd - xStart;
        place.selected = selectedAnnotation;
        DrawAnnotationSpans(p, wave_->recording.annotations, place);
    }
    if (const MarkerPositions* at = ShownMarkers())
        DrawMarkers(engine, p, W, H, *wave_, d, *at, selectedMarker);
}

QImage CView::Render(int W, int H) {
    QImage image(std::max(W, 1), std::max(H, 1), QImage::Format_RGB32);
    image.fill(engine.style.backgroundBrush.color());
    if (W <= 0 || H <= 0 || viewType_ == kViewAnalysisMulti || viewType_ == kViewAnalysisSpectrum)
        return image;
    if (viewType_ == kViewSpectrogram) return spectrogram->Render(W, H);
    QPainter p(&image);
    // The phase display replaces every kind, the 4-up view included.
    if (viewType_ == kViewMulti && !phaseDisplay) {
        DrawMultiView(engine, p, W, H, *wave_, recompute.lastWasReal);
        if (spectrogramInMulti_) {
            const int cx = W / 2 + 1, cy = H / 2 + 1;
            p.drawImage(cx, cy, spectrogram->Render(W - cx, H - cy));
        }
        if (wave_->sampleCount != lastSampleCount_) lastSampleCount_ = wave_->sampleCount;
        homeMultiView_ = kViewMulti;
        animationState = 0;
        ResetZoom();
    } else {
        engine.hideStatistics = false;
        DrawView(p, W, H);
    }
    return image;
}

void CView::ShadeDragBand(QImage& image, int mouseX, int mouseY) const {
    const PlotMargins& mg = engine.style.margins;
    const int W = image.width(), H = image.height();
    const int x0 = std::max(std::min(anchorX_, mouseX), mg.left);
    const int x1 = std::min(std::max(anchorX_, mouseX), W - mg.right + 1);
    int y0 = mg.top, y1 = H - mg.bottom;
    if (viewType_ == kViewConstellation) {
        y0 = std::max(std::min(anchorY_, mouseY), mg.top);
        y1 = std::min(std::max(anchorY_, mouseY), H - mg.bottom);
    }
    const QRect band = QRect(QPoint(x0, y0), QPoint(x1, y1)) & image.rect();
    if (band.isEmpty()) return;
    for (int y = band.top(); y <= band.bottom(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = band.left(); x <= band.right(); ++x) {
            const QRgb c = row[x];
            auto lighten = [](int b) { return b * 186 / 256 + 70; };
            row[x] = qRgb(lighten(qRed(c)), lighten(qGreen(c)), lighten(qBlue(c)));
        }
    }
}

void CView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    std::unique_lock<std::mutex> held;
    if (waveLock) held = std::unique_lock<std::mutex>(*waveLock, std::try_to_lock);
    if (frozen_ || (waveLock && !held.owns_lock())) {
        // The samples are a worker's: show the last picture, stretched to a new size.
        if (lastFrame_.isNull())
            p.fillRect(rect(), engine.style.backgroundBrush);
        else
            p.drawImage(rect(), lastFrame_);
        // A worker holding the lock is about to hand over new samples: paint them once it has
        // let go, or the last reload of a burst would never reach the window.
        if (!frozen_) QTimer::singleShot(10, this, [this] { update(); });
        return;
    }
    if (dragging_ && mouseRecorded_ && !snapshot_.isNull() && snapshot_.size() == size()) {
        // The band is drawn over the picture saved when the drag began: no re-plot.
        QImage work = snapshot_;
        ShadeDragBand(work, mouseX_, mouseY_);
        p.drawImage(0, 0, work);
        return;
    }
    lastFrame_ = Render(width(), height());
    p.drawImage(0, 0, lastFrame_);
    // The table reads the trace just drawn, while the samples are still the view's.
    if (onMarkersChanged) onMarkersChanged();
}

void CView::resizeEvent(QResizeEvent*) {
    PlaceSpectrogram();
    RequestRedraw();
}

void CView::showEvent(QShowEvent*) { setFocus(); }

void CView::mousePressEvent(QMouseEvent* event) {
    if (frozen_) return;
    const int x = static_cast<int16_t>(event->position().x());
    const int y = static_cast<int16_t>(event->position().y());
    if (event->button() == Qt::LeftButton) {
        if (!HasSamples()) return;
        setFocus();
        if (viewType_ == kViewMulti) {
            const int kind = MultiViewPaneKind(x, y, width(), height());
            if (kind && onSelectViewType) onSelectViewType(kind);
            RequestRedraw();
        } else if (ShownMarkers() && (event->modifiers() & Qt::ControlModifier)) {
            // Ctrl+click places a marker and holds it for a drag.
            draggedMarker_ = selectedMarker = MarkerToPlace(*ShownMarkers(), selectedMarker);
            MoveMarkerTo(draggedMarker_, x);
            MarkersChanged();
        } else if (const int m = y <= height() - kXAxisStrip ? MarkerNear(x) : 0) {
            draggedMarker_ = selectedMarker = m;
            MarkersChanged();
        } else if (y <= height() - kXAxisStrip) {
            dragging_ = true;
            dragX0_ = anchorX_ = x;
            dragY0_ = anchorY_ = y;
            mouseRecorded_ = false;
        }
    } else if (event->button() == Qt::RightButton) {
        setFocus();
        ResetZoom();
        zoomPending = true;
        StopAnimation();
        RequestRedraw();
    } else if (event->button() == Qt::MiddleButton) {
        if (viewType_ != kViewMulti && onSelectViewType) onSelectViewType(homeMultiView_);
        RequestRedraw();
    }
}

void CView::mouseMoveEvent(QMouseEvent* event) {
    hoverValid_ = true;
    hoverX_ = static_cast<int16_t>(event->position().x());
    if (draggedMarker_ && (event->buttons() & Qt::LeftButton)) {
        MoveMarkerTo(draggedMarker_, hoverX_);
        MarkersChanged();
        return;
    }
    if (!(event->buttons() & Qt::LeftButton) || !dragging_ || viewType_ == kViewMulti ||
        viewType_ == kViewVector)
        return;
    mouseX_ = static_cast<int16_t>(event->position().x());
    mouseY_ = static_cast<int16_t>(event->position().y());
    if (!mouseRecorded_) {
        mouseRecorded_ = true;
        if (static_cast<int64_t>(width()) * height() >= 100) {
            if (lastFrame_.size() != size()) lastFrame_ = Render(width(), height());
            snapshot_ = lastFrame_;
        }
    }
    update();
}

void CView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (draggedMarker_) {
        draggedMarker_ = 0;
        return;
    }
    const int x = static_cast<int16_t>(event->position().x());
    const int y = static_cast<int16_t>(event->position().y());
    const bool wasDragging = dragging_;
    dragging_ = false;
    mouseRecorded_ = false;
    snapshot_ = QImage();
    if (!wasDragging || (x == dragX0_ && y == dragY0_)) {
        update();
        return;
    }
    const int previousX1 = dragX1_, previousY1 = dragY1_;
    dragX1_ = x;
    dragY1_ = y;
    if (viewType_ == kViewConstellation) {
        const int dx = dragX1_ - dragX0_, dy = dragY1_ - dragY0_;
        if (dx == 0 || dy == 0) {
            dragX1_ = previousX1;
            dragY1_ = previousY1;
            update();
            return;
        }
        const int cx = dragX0_ + dx / 2, cy = dragY0_ + dy / 2;
        const double ratio = std::min(std::fabs(static_cast<double>(width()) / dx),
                                      std::fabs(static_cast<double>(height()) / dy));
        const int k = DragZoomStep(ratio);
        if (zoom_ == 1) {
            zoom_ = k;
            dragX1_ = cx;
            dragY1_ = cy;
        } else {
            dragX1_ = (cx - width() / 2) / zoom_ + previousX1;
            dragY1_ = (cy - height() / 2) / zoom_ + previousY1;
            if (static_cast<int64_t>(zoom_) * k < kMaxDragZoom) zoom_ *= k;
        }
    }
    zoomPending = true;
    RequestRedraw();
}

void CView::WheelYAxis(bool back) {
    if (IsSpectrumKind(viewType_) || viewType_ == kViewLogMag) {
        AxisScale& a = engine.axes[viewType_ == kViewLogMag ? kLogMagAxis : kSpectrumAxis];
        if (back) {
            if (a.divisions >= 9)
                a.divisions -= 1;
            else if (a.StepDown())
                a.divisions = 15;
        } else {
            if (a.divisions <= 15)
                a.divisions += 1;
            else if (a.StepUp())
                a.divisions = 9;
        }
    } else if (viewType_ == kViewTimeI || viewType_ == kViewTimeQ || viewType_ == kViewTimeIQ ||
               viewType_ == kViewPhase) {
        AxisScale& a = engine.axes[viewType_ == kViewPhase ? kPhaseAxis : kLinearAxis];
        back ? a.StepDown() : a.StepUp();
    }
}

void CView::wheelEvent(QWheelEvent* event) {
    if (frozen_) return;
    const int delta = event->angleDelta().y();
    // A sideways scroll has no vertical delta; it is not a wheel notch.
    if (!HasSamples() || delta == 0) return;
    if (delta < 0) {
        if (zoom_ < kMaxWheelZoom) zoom_ *= 2;
    } else if (zoom_ > 1) {
        zoom_ /= 2;
    }
    WheelYAxis(delta < 0);
    RequestRedraw();
}

void CView::EditAndRecompute(const std::function<void()>& edit) {
    if (!HasSamples()) return;
    if (onBeforeSampleEdit) onBeforeSampleEdit();
    edit();
    Recompute(0);
    RequestRedraw();
}

void CView::leaveEvent(QEvent*) { hoverValid_ = false; }

void CView::keyPressEvent(QKeyEvent* event) {
    if (frozen_) return;
    // A selected marker takes the arrows (also while play-through runs).
    const MarkerPositions* at = ShownMarkers();
    if (at && selectedMarker > 0 && (*at)[static_cast<size_t>(selectedMarker - 1)]) {
        if (event->key() == Qt::Key_Left || event->key() == Qt::Key_Right) {
            StepMarker(event->key() == Qt::Key_Left ? -1 : 1);
            return;
        }
        if (event->key() == Qt::Key_Escape) {
            selectedMarker = 0;
            MarkersChanged();
            return;
        }
    }
    if (playThroughState != 0) return;
    const int n = wave_->sampleCount;
    const bool clearWriteSpectrum =
        viewType_ >= kViewI && viewType_ <= kViewQI && !settings.averaging;
    const int N = settings.fftSize;
    const int s = static_cast<int>(std::floor(xStart + 0.5));
    const int e = static_cast<int>(std::floor(xEnd + 0.5));
    const int span = e - s;
    switch (event->key()) {
        case Qt::Key_Left:
            if (IsTimeKind(viewType_) && s > 2) {
                xEnd = s - 1;
                xStart = std::max(0, s - 1 - span);
                RequestRedraw();
            } else if (clearWriteSpectrum && settings.fftPosition - N >= 0) {
                settings.fftPosition -= N;
                recompute.recomputeNeeded = true;
                Recompute(settings.fftPosition);
            }
            break;
        case Qt::Key_Right:
            if (IsTimeKind(viewType_) && e < n - 1) {
                xStart = e + 1;
                xEnd = std::min(n - 1, e + 1 + span);
                RequestRedraw();
            } else if (clearWriteSpectrum &&
                       static_cast<int64_t>(settings.fftPosition) + 2 * int64_t{N} <= n) {
                // Only whole frames: a frame past the end would not be computed.
                settings.fftPosition += N;
                recompute.recomputeNeeded = true;
                Recompute(settings.fftPosition);
            }
            break;
        case Qt::Key_BracketLeft:
            EditAndRecompute([this] { RotateOneSample(*wave_, true); });
            break;
        case Qt::Key_BracketRight:
            EditAndRecompute([this] { RotateOneSample(*wave_, false); });
            break;
        case Qt::Key_Q:
            EditAndRecompute([this] { PhaseShift(*wave_, 1.0f, PhaseShiftChannels::Both); });
            break;
        case Qt::Key_W:
            EditAndRecompute([this] { PhaseShift(*wave_, -1.0f, PhaseShiftChannels::Both); });
            break;
        default: QWidget::keyPressEvent(event); break;
    }
}

void CView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CView::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (onFileDropped)
        onFileDropped(urls.size() == 1 && urls[0].isLocalFile() ? urls[0].toLocalFile()
                                                                : QString());
    event->acceptProposedAction();
}
