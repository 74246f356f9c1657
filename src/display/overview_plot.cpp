#include "display/overview_plot.h"

#include <QFont>
#include <algorithm>
#include <cmath>

#include "display/value_format.h"
#include "waveform/number_format.h"

namespace {
constexpr int kTop = 4, kBottom = 16;
int PlotWidth(int W) { return std::max(1, W - kOverviewLeft - kOverviewRight); }
}  // namespace

int OverviewColumnsFor(int W) { return PlotWidth(W); }

int64_t OverviewSampleAt(double x, int W, int64_t totalSamples) {
    const double f = std::clamp((x - kOverviewLeft) / PlotWidth(W), 0.0, 1.0);
    return std::min<int64_t>(std::llround(f * static_cast<double>(totalSamples)), totalSamples);
}

double OverviewPixelOf(int64_t n, int W, int64_t totalSamples) {
    if (totalSamples <= 0) return kOverviewLeft;
    return kOverviewLeft +
           static_cast<double>(n) / static_cast<double>(totalSamples) * PlotWidth(W);
}

void DrawCaptureOverview(QPainter& p, int W, int H, const OverviewDrawing& d) {
    p.fillRect(0, 0, W, H, QColor(28, 28, 28));
    const int pw = PlotWidth(W), ph = std::max(1, H - kTop - kBottom);
    const QRectF plot(kOverviewLeft, kTop, pw, ph);
    p.fillRect(plot, Qt::black);
    QFont font("Arial");
    font.setPixelSize(10);
    p.setFont(font);
    p.setPen(QColor(200, 200, 200));

    const CaptureOverview* o = d.overview;
    const int columns = o ? static_cast<int>(o->peakDb.size()) : 0;
    // Levels from 10 dB above the loudest peak down 100 dB, in steps of 10 dB.
    float top = -300;
    for (int c = 0; c < (o ? o->columnsDone : 0); ++c)
        top = std::max(top, o->peakDb[static_cast<size_t>(c)]);
    // + 0.0 turns a -0 from ceil into 0 for the label.
    const double topDb = (top > -290 ? std::ceil((top + 1.0) / 10.0) * 10.0 : 0.0) + 0.0;
    const double bottomDb = topDb - 100.0;
    const auto y = [&](double db) {
        return kTop + ph * std::clamp((topDb - db) / (topDb - bottomDb), 0.0, 1.0);
    };
    p.drawText(QRectF(0, kTop - 2, kOverviewLeft - 4, 12), Qt::AlignRight,
               QString::fromStdString(Fixed(topDb, 0) + " dB"));
    p.drawText(QRectF(0, kTop + ph - 10, kOverviewLeft - 4, 12), Qt::AlignRight,
               QString::fromStdString(Fixed(bottomDb, 0) + " dB"));

    if (o && columns > 0) {
        const double dx = static_cast<double>(pw) / columns;
        for (int c = 0; c < o->columnsDone; ++c) {
            if (o->peakDb[static_cast<size_t>(c)] < bottomDb) continue;  // silence: nothing
            const double x = kOverviewLeft + c * dx;
            const double mean = y(o->meanDb[static_cast<size_t>(c)]);
            const double peak = y(o->peakDb[static_cast<size_t>(c)]);
            p.fillRect(QRectF(x, mean, std::max(1.0, dx), kTop + ph - mean), QColor(0, 110, 140));
            p.fillRect(QRectF(x, peak, std::max(1.0, dx), std::max(1.0, mean - peak)),
                       QColor(230, 200, 60));
        }
    }
    // The working waveform's samples, then a range being dragged.
    if (d.rangeCount > 0 && d.totalSamples > 0) {
        const double a = OverviewPixelOf(d.rangeFirst, W, d.totalSamples);
        const double b = OverviewPixelOf(d.rangeFirst + d.rangeCount, W, d.totalSamples);
        p.fillRect(QRectF(a, kTop, std::max(2.0, b - a), ph), QColor(255, 255, 255, 60));
        p.setPen(QColor(255, 255, 255));
        p.drawRect(QRectF(a, kTop, std::max(2.0, b - a), ph));
    }
    if (d.dragFromPx >= 0 && d.dragToPx >= 0) {
        const double a = std::min(d.dragFromPx, d.dragToPx), b = std::max(d.dragFromPx, d.dragToPx);
        p.fillRect(QRectF(a, kTop, b - a, ph), QColor(90, 140, 255, 90));
    }
    p.setPen(QColor(200, 200, 200));
    p.drawText(QRectF(kOverviewLeft, kTop + ph + 2, 120, 12), Qt::AlignLeft, "0 s");
    p.drawText(QRectF(W - kOverviewRight - 160, kTop + ph + 2, 160, 12), Qt::AlignRight,
               QString::fromStdString(FormatDuration(d.totalSamples, d.sampleRateHz)));
    if (!d.note.empty())
        p.drawText(QRectF(kOverviewLeft + 130, kTop + ph + 2, std::max(0, pw - 300), 12),
                   Qt::AlignHCenter, QString::fromStdString(d.note));
}
