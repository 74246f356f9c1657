#include "app/view.h"

#include <QDragEnterEvent>
#include <QMimeData>
#include <QPainter>

#include "display/anchored_text.h"
#include "display/frequency_plot.h"
#include "display/plot_frame.h"
#include "waveform/waveform.h"

CView::CView(cWaveform* wave, const std::atomic<bool>* stopRequest, QWidget* parent)
    : QWidget(parent), wave_(wave), stopRequest_(stopRequest) {
    setAcceptDrops(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 200);
}

void CView::SelectViewType(int type) {
    viewType_ = type;
    if (onViewTypeChanged) onViewTypeChanged(type);
    update();
}

void CView::FrequencyRange(double& f0, double& f1) const {
    const double fs = static_cast<double>(engine.trace.sampleRate);
    if (viewType_ == kViewI || viewType_ == kViewQ) {
        f0 = 0.0;
        f1 = fs / 2;
    } else if (viewType_ == kViewIQDcFs || viewType_ == kViewQIDcFs) {
        f0 = 0.0;
        f1 = fs;
    } else {
        f0 = -fs / 2;
        f1 = fs / 2;
    }
}

void CView::Recompute(int start) {
    RecomputeHooks hooks;
    hooks.viewType = [this] { return viewType_; };
    hooks.selectViewType = [this](int type) { SelectViewType(type); };
    hooks.maskMeasurementActive = [this] {
        return engine.measurements.settings.MaskOn() ||
               engine.measurements.settings.maskAutoBandwidth;
    };
    hooks.measure = [this] { engine.Measure(); };
    hooks.redraw = [this] { update(); };
    static const std::atomic<bool> kNever{false};
    recompute.Recompute(engine.trace, *wave_, settings, stopRequest_ ? *stopRequest_ : kNever,
                        hooks, start);
}

QImage CView::Render(int W, int H) {
    QImage image(std::max(W, 1), std::max(H, 1), QImage::Format_RGB32);
    QPainter p(&image);
    FillPlotBackground(p, engine.style, W, H);
    const bool spectrum =
        viewType_ == kViewMulti || (viewType_ >= kViewI && viewType_ <= kViewQIDcFs);
    if (spectrum && engine.trace.traceValid) {
        double f0, f1;
        FrequencyRange(f0, f1);
        DrawSpectrum(engine, p, W, H, f0, f1);
    } else if (!spectrum) {
        DrawAnchoredText(p, engine.style.panelFont, engine.style.panelWhiteColour,
                         QPoint(W / 2, H / 2), TextAnchor::CentreTop,
                         "This view kind is not available yet");
    }
    return image;
}

void CView::paintEvent(QPaintEvent*) {
    const QImage image = Render(width(), height());
    QPainter p(this);
    p.drawImage(0, 0, image);
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
