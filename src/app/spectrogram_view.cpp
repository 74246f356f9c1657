#include "app/spectrogram_view.h"

#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "display/value_format.h"

namespace {
constexpr int kMinBoxPixels = 4;
}

CSpectrogramView::CSpectrogramView(QWidget* parent)
    : QWidget(parent), tiles_(std::make_unique<cSpectrogramTiles>()) {
    setObjectName("spectrogramView");
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
    // A tile arrives on a worker thread; the repaint is queued to this widget's thread (and
    // dropped if the widget is gone by then).
    tiles_->onTileReady = [this] {
        QMetaObject::invokeMethod(this, qOverload<>(&QWidget::update), Qt::QueuedConnection);
    };
    boxMenu_ = new QMenu(this);
    boxMenu_->setObjectName("spectrogramBoxMenu");
    auto add = [this](const char* text, auto handler) {
        QAction* a = boxMenu_->addAction(text);
        connect(a, &QAction::triggered, this, [this, handler] {
            double f0, f1;
            int64_t t0, t1;
            BoxBounds(box_, f0, f1, t0, t1);
            box_ = QRect();
            update();
            handler(f0, f1, t0, t1);
        });
        return a;
    };
    add("Zoom to Box", [this](double f0, double f1, int64_t t0, int64_t t1) {
        SetFrequencySpan(f0, f1);
        SetTimeSpan(static_cast<double>(t0), static_cast<double>(t1 - t0));
    });
    add("Show Band in Spectrum View", [this](double f0, double f1, int64_t t0, int64_t t1) {
        if (onShowInSpectrum) onShowInSpectrum(f0, f1, t0, t1);
    });
    add("Show Time in Time View", [this](double f0, double f1, int64_t t0, int64_t t1) {
        if (onShowInTime) onShowInTime(f0, f1, t0, t1);
    });
    add("Measure Band Power in Box", [this](double f0, double f1, int64_t t0, int64_t t1) {
        if (onMeasureBand) onMeasureBand(f0, f1, t0, t1);
    });
    add("Annotate Box\u2026", [this](double f0, double f1, int64_t t0, int64_t t1) {
        if (onAnnotate) onAnnotate(f0, f1, t0, t1);
    })->setObjectName("annotateBox");
    QAction* load = add("Load Box Time Range as Working Waveform",
                        [this](double f0, double f1, int64_t t0, int64_t t1) {
                            if (onLoadRange) onLoadRange(f0, f1, t0, t1);
                        });
    load->setObjectName("loadBoxRange");
}

CSpectrogramView::~CSpectrogramView() { tiles_.reset(); }

void CSpectrogramView::SetSettings(const SpectrogramSettings& settings) {
    if (settings == settings_) return;
    settings_ = settings;
    tiles_->SetSource(source_.read, source_.total, settings_);
    update();
}

void CSpectrogramView::SetColours(SpectrogramColours colours) {
    colours_ = colours;
    update();
}

void CSpectrogramView::SetAutoLevels() {
    autoLevels_ = true;
    update();
}

void CSpectrogramView::ShiftLevels(double db, double rangeDb) {
    autoLevels_ = false;
    levelLo_ += db - rangeDb;
    levelHi_ += db;
    if (levelHi_ - levelLo_ < 3) levelLo_ = levelHi_ - 3;
    update();
}

void CSpectrogramView::SetFrequencySpan(double f0, double f1) {
    const double half = source_.sampleRateHz / 2;
    if (f1 < f0) std::swap(f0, f1);
    f0 = std::max(f0, -half);
    f1 = std::min(f1, half);
    if (f1 - f0 <= 0) {
        f0 = -half;
        f1 = half;
    }
    f0_ = f0;
    f1_ = f1;
    spanSet_ = true;
    update();
}

void CSpectrogramView::SetTimeSpan(double first, double count) {
    const double total = static_cast<double>(std::max<int64_t>(1, source_.total));
    // At least a few rows' worth of samples, at most the whole source.
    count = std::clamp(count, std::min(total, 16.0), total);
    t0_ = std::clamp(first, 0.0, total - count);
    tCount_ = count;
    update();
}

void CSpectrogramView::ShowWhole() {
    SetFrequencySpan(-source_.sampleRateHz / 2, source_.sampleRateHz / 2);
    SetTimeSpan(0, static_cast<double>(source_.total));
    box_ = QRect();
}

void CSpectrogramView::Refresh() {
    if (!sourceProvider) return;
    SpectrogramSource s = sourceProvider();
    if (s.identity == source_.identity && s.generation == source_.generation &&
        s.total == source_.total && s.sampleRateHz == source_.sampleRateHz)
        return;
    const bool sameSamples = s.identity == source_.identity && s.total == source_.total;
    source_ = std::move(s);
    tiles_->SetSource(source_.read, source_.total, settings_);
    if (!sameSamples) {
        const int64_t count =
            source_.workingCount > 0 ? source_.workingCount : std::max<int64_t>(1, source_.total);
        SetTimeSpan(static_cast<double>(source_.workingFirst), static_cast<double>(count));
        box_ = QRect();
    }
    const double half = source_.sampleRateHz / 2;
    if (!spanSet_ || f0_ < -half || f1_ > half)
        SetFrequencySpan(-half, half);
    else
        SetFrequencySpan(f0_, f1_);
}

QImage CSpectrogramView::Render(int W, int H) {
    Refresh();
    QImage image(std::max(W, 1), std::max(H, 1), QImage::Format_RGB32);
    const QRect area = SpectrogramPlotArea(W, H);
    tiles_->Assemble(t0_, tCount_ / area.height(), area.height(), screen_);
    if (autoLevels_) AutoSpectrogramLevels(screen_.db, levelLo_, levelHi_);
    SpectrogramDrawing d;
    d.screen = &screen_;
    d.sampleRateHz = source_.sampleRateHz;
    d.timeOffsetSamples = static_cast<double>(source_.timeOffset);
    d.fStart = f0_;
    d.fEnd = f1_;
    d.levelLo = levelLo_;
    d.levelHi = levelHi_;
    d.dbm = dbm;
    d.dbmOffsetDb = dbmOffsetDb;
    d.colours = colours_;
    if (!screen_.error.empty())
        d.note = "Some rows could not be read: " + screen_.error;
    else if (screen_.missingRows > 0)
        d.note = "Computing " + std::to_string(screen_.missingRows) + " of " +
                 std::to_string(screen_.rows) + " rows…";
    if (dragging_ || !box_.isNull()) d.box = box_;
    QPainter p(&image);
    DrawSpectrogram(p, W, H, d);
    if (drawAnnotations) {
        AnnotationPlace place;
        place.area = area;
        place.firstSample = t0_ + static_cast<double>(source_.timeOffset);
        place.sampleCount = tCount_;
        place.fStart = f0_;
        place.fEnd = f1_;
        drawAnnotations(p, place);
    }
    DrawMarkerFlags(p, W, H);
    return image;
}

void CSpectrogramView::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.drawImage(0, 0, Render(width(), height()));
    if (onPainted) onPainted();
}

double CSpectrogramView::SampleAt(int y) const {
    const QRect area = SpectrogramPlotArea(width(), height());
    return t0_ + (y - area.top()) * tCount_ / area.height();
}

double CSpectrogramView::HzAt(int x) const { return SpectrogramHzAt(x, width(), f0_, f1_); }

void CSpectrogramView::BoxBounds(const QRect& box, double& f0, double& f1, int64_t& t0,
                                 int64_t& t1) const {
    const QRect area = SpectrogramPlotArea(width(), height());
    const QRect b = box.normalized() & area;
    f0 = HzAt(b.left());
    f1 = HzAt(b.right() + 1);
    t0 = std::max<int64_t>(0, std::llround(SampleAt(b.top())));
    t1 = std::min<int64_t>(source_.total, std::llround(SampleAt(b.bottom() + 1)));
    t1 = std::max(t1, t0 + 1);
}

void CSpectrogramView::mousePressEvent(QMouseEvent* event) {
    setFocus();
    if (event->button() == Qt::RightButton) {
        ShowWhole();
        if (onStatus)
            onStatus("Spectrogram: the whole " +
                     std::string(source_.wholeCapture ? "capture" : "waveform"));
        return;
    }
    if (event->button() != Qt::LeftButton) return;
    pressAt_ = event->position().toPoint();
    // Ctrl+click places a marker; a press on a marker's point takes it; either drags it.
    if (event->modifiers() & Qt::ControlModifier) {
        draggedMarker_ = selectedMarker = MarkerToPlace(markerHz, selectedMarker);
        MoveMarkerTo(draggedMarker_, pressAt_);
        return;
    }
    if (const int m = MarkerNear(pressAt_)) {
        draggedMarker_ = selectedMarker = m;
        update();
        return;
    }
    dragging_ = true;
    selecting_ = event->modifiers() & Qt::ShiftModifier;
    box_ = QRect();
}

void CSpectrogramView::mouseMoveEvent(QMouseEvent* event) {
    mouseAt_ = event->position().toPoint();
    hoverValid_ = true;
    if (draggedMarker_ && (event->buttons() & Qt::LeftButton))
        MoveMarkerTo(draggedMarker_, mouseAt_);
    if (dragging_) {
        box_ = QRect(pressAt_, mouseAt_).normalized();
        update();
    }
    const QRect area = SpectrogramPlotArea(width(), height());
    if (!onStatus || !area.contains(mouseAt_) || source_.sampleRateHz <= 0) return;
    const double sample = SampleAt(mouseAt_.y());
    const double hz = HzAt(mouseAt_.x());
    char text[160];
    const double fileSample = sample + static_cast<double>(source_.timeOffset);
    std::snprintf(text, sizeof text, "%.6f s (sample %lld)  %s", fileSample / source_.sampleRateHz,
                  static_cast<long long>(std::floor(fileSample)), FormatFrequency(hz).c_str());
    std::string status = text;
    const int y = mouseAt_.y() - area.top(), N = screen_.points;
    if (y >= 0 && y < screen_.rows && N > 0) {
        const int k = std::clamp(
            static_cast<int>(std::lround(hz / (source_.sampleRateHz / N))) + N / 2, 0, N - 1);
        const float v = screen_.db[static_cast<size_t>(y) * N + k];
        if (std::isfinite(v)) {
            std::snprintf(text, sizeof text, "  %.1f %s", v + (dbm ? dbmOffsetDb : 0.0),
                          dbm ? "dBm" : "dBFS");
            status += text;
        }
    }
    onStatus(status);
}

void CSpectrogramView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && draggedMarker_) {
        draggedMarker_ = 0;
        return;
    }
    if (event->button() != Qt::LeftButton || !dragging_) return;
    dragging_ = false;
    const QRect box = QRect(pressAt_, event->position().toPoint()).normalized();
    if (box.width() < kMinBoxPixels || box.height() < kMinBoxPixels) {
        box_ = QRect();
        update();
        if (onClick) onClick();
        return;
    }
    box_ = box;
    if (selecting_) {
        boxMenu_->findChild<QAction*>("loadBoxRange")->setEnabled(source_.wholeCapture);
        boxMenu_->popup(mapToGlobal(event->position().toPoint()));
        update();
        return;
    }
    double f0, f1;
    int64_t t0, t1;
    BoxBounds(box_, f0, f1, t0, t1);
    box_ = QRect();
    SetFrequencySpan(f0, f1);
    SetTimeSpan(static_cast<double>(t0), static_cast<double>(t1 - t0));
}

void CSpectrogramView::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y();
    if (delta == 0) return;
    const double step = delta > 0 ? 3.0 : -3.0;
    if (event->modifiers() & Qt::ControlModifier)
        ShiftLevels(0, step);
    else
        ShiftLevels(step, 0);
}

void CSpectrogramView::leaveEvent(QEvent*) { hoverValid_ = false; }

void CSpectrogramView::keyPressEvent(QKeyEvent* event) {
    // A selected marker takes the arrows: a bin left or right, a row of the hop grid up or down.
    const size_t sel = static_cast<size_t>(std::max(selectedMarker, 1) - 1);
    if (selectedMarker > 0 && markerHz[sel] && markerSample[sel]) {
        const double bin = source_.sampleRateHz / settings_.fftSize;
        const double row = static_cast<double>(settings_.Hop());
        const double last = std::max(0.0, static_cast<double>(source_.total - 1));
        bool moved = true;
        switch (event->key()) {
            case Qt::Key_Left: *markerHz[sel] -= bin; break;
            case Qt::Key_Right: *markerHz[sel] += bin; break;
            case Qt::Key_Up:
                markerSample[sel] = std::clamp(*markerSample[sel] - row, 0.0, last);
                break;
            case Qt::Key_Down:
                markerSample[sel] = std::clamp(*markerSample[sel] + row, 0.0, last);
                break;
            case Qt::Key_Escape: selectedMarker = 0; break;
            default: moved = false; break;
        }
        if (moved) {
            update();
            return;
        }
    }
    const double span = f1_ - f0_;
    const bool shift = event->modifiers() & Qt::ShiftModifier;
    const bool control = event->modifiers() & Qt::ControlModifier;
    switch (event->key()) {
        case Qt::Key_Up:
            if (shift || control)
                ShiftLevels(shift ? 3 : 0, control ? 3 : 0);
            else
                SetTimeSpan(t0_ - tCount_ / 4, tCount_);
            break;
        case Qt::Key_Down:
            if (shift || control)
                ShiftLevels(shift ? -3 : 0, control ? -3 : 0);
            else
                SetTimeSpan(t0_ + tCount_ / 4, tCount_);
            break;
        case Qt::Key_PageUp: SetTimeSpan(t0_ - tCount_, tCount_); break;
        case Qt::Key_PageDown: SetTimeSpan(t0_ + tCount_, tCount_); break;
        case Qt::Key_Left: {
            const double f0 = std::max(f0_ - span / 4, -source_.sampleRateHz / 2);
            SetFrequencySpan(f0, f0 + span);
            break;
        }
        case Qt::Key_Right: {
            const double f1 = std::min(f1_ + span / 4, source_.sampleRateHz / 2);
            SetFrequencySpan(f1 - span, f1);
            break;
        }
        case Qt::Key_Plus:
        case Qt::Key_Equal: SetTimeSpan(t0_ + tCount_ / 4, tCount_ / 2); break;
        case Qt::Key_Minus: SetTimeSpan(t0_ - tCount_ / 2, tCount_ * 2); break;
        case Qt::Key_A: SetAutoLevels(); break;
        default: QWidget::keyPressEvent(event); break;
    }
}
