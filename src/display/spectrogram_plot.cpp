#include "display/spectrogram_plot.h"

#include <QImage>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#include "display/value_format.h"

namespace {

constexpr int kLeft = 70, kTop = 12, kRight = 78, kBottom = 30;
constexpr int kBarWidth = 14;
const QColor kBackground(28, 28, 28), kEmpty(48, 48, 56), kText(200, 200, 200),
    kAxis(160, 160, 160);

// A 1-2-5 step that gives about `ticks` ticks over span.
double NiceStep(double span, int ticks) {
    if (!(span > 0)) return 1;
    const double raw = span / std::max(1, ticks);
    const double decade = std::pow(10.0, std::floor(std::log10(raw)));
    for (double m : {1.0, 2.0, 5.0})
        if (m * decade >= raw) return m * decade;
    return 10 * decade;
}

std::string TimeTick(double seconds, double step) {
    char text[48];
    const double a = std::fabs(step);
    if (a >= 0.5)
        std::snprintf(text, sizeof text, "%.6g s", seconds);
    else if (a >= 5e-4)
        std::snprintf(text, sizeof text, "%.6g ms", seconds * 1e3);
    else
        std::snprintf(text, sizeof text, "%.6g us", seconds * 1e6);
    return text;
}

const std::array<QRgb, 256>& Table(SpectrogramColours map) {
    static const auto tables = [] {
        std::array<std::array<QRgb, 256>, 2> t{};
        for (int i = 0; i < 256; ++i) {
            const double x = i / 255.0;
            // A polynomial fit of a perceptually uniform blue-green-yellow map: lightness
            // rises steadily, so equal steps in dB look like equal steps.
            auto poly = [x](std::array<double, 7> c) {
                double v = c[6];
                for (int k = 5; k >= 0; --k)
                    v = v * x + c[k];
                return std::clamp(static_cast<int>(std::lround(v * 255)), 0, 255);
            };
            const int r = poly({0.2777273272234177, 0.1050930431085774, -0.3308618287255563,
                                -4.634230498983486, 6.228269936347081, 4.776384997670288,
                                -5.435455855934631});
            const int g = poly({0.005407344544966578, 1.404613529898575, 0.214847559468213,
                                -5.799100973351585, 14.17993336680509, -13.74514537774601,
                                4.645852612178535});
            const int b =
                poly({0.3340998053353061, 1.384590162594685, 0.09509516302823659,
                      -19.33244095627987, 56.69055260068105, -65.35303263337234, 26.3124352495832});
            t[0][i] = qRgb(r, g, b);
            t[1][i] = qRgb(i, i, i);
        }
        return t;
    }();
    return tables[map == SpectrogramColours::kGrey ? 1 : 0];
}

}  // namespace

QRgb SpectrogramColour(SpectrogramColours map, double t) {
    const int i =
        std::isfinite(t) ? static_cast<int>(std::lround(std::clamp(t, 0.0, 1.0) * 255)) : 0;
    return Table(map)[static_cast<size_t>(i)];
}

void AutoSpectrogramLevels(const std::vector<float>& db, double& lo, double& hi) {
    // The floor from every 16th value (plenty for a percentile); the peak from all of them,
    // since one narrow tone may be the peak. NaN compares false and is skipped.
    std::vector<float> sample;
    sample.reserve(db.size() / 16 + 1);
    for (size_t i = 0; i < db.size(); i += 16)
        if (std::isfinite(db[i])) sample.push_back(db[i]);
    float peak = -std::numeric_limits<float>::infinity();
    for (float v : db)
        peak = v > peak ? v : peak;
    if (sample.empty() || !std::isfinite(peak)) {
        lo = -120;
        hi = 0;
        return;
    }
    const auto at = sample.begin() + static_cast<std::ptrdiff_t>(sample.size() / 10);
    std::nth_element(sample.begin(), at, sample.end());
    lo = *at;
    hi = peak;
    if (hi - lo < 1) hi = lo + 1;
}

QRect SpectrogramPlotArea(int W, int H) {
    return QRect(kLeft, kTop, std::max(1, W - kLeft - kRight), std::max(1, H - kTop - kBottom));
}

double SpectrogramHzAt(double x, int W, double fStart, double fEnd) {
    const QRect a = SpectrogramPlotArea(W, 100);
    return fStart + (x - a.left()) / a.width() * (fEnd - fStart);
}

double SpectrogramXOfHz(double hz, int W, double fStart, double fEnd) {
    const QRect a = SpectrogramPlotArea(W, 100);
    return a.left() + (hz - fStart) / (fEnd - fStart) * a.width();
}

void DrawSpectrogram(QPainter& p, int W, int H, const SpectrogramDrawing& d) {
    p.fillRect(0, 0, W, H, kBackground);
    const QRect area = SpectrogramPlotArea(W, H);
    p.fillRect(area, kEmpty);
    const SpectrogramScreen* s = d.screen;
    const double span = d.fEnd - d.fStart;
    if (s && s->points > 0 && span > 0 && d.sampleRateHz > 0) {
        // Each pixel column takes the largest point whose frequency falls in it, or the
        // nearest point when the columns are finer than the points.
        const int N = s->points, PW = area.width();
        const double bin = d.sampleRateHz / N;
        std::vector<int> k0(static_cast<size_t>(PW)), k1(static_cast<size_t>(PW));
        for (int x = 0; x < PW; ++x) {
            const double fa = d.fStart + span * x / PW, fb = d.fStart + span * (x + 1) / PW;
            int a = static_cast<int>(std::ceil(fa / bin - 0.5)) + N / 2;
            int b = static_cast<int>(std::ceil(fb / bin - 0.5)) + N / 2 - 1;
            if (b < a) a = b = static_cast<int>(std::lround((fa + fb) / 2 / bin)) + N / 2;
            k0[x] = std::clamp(a, 0, N - 1);
            k1[x] = std::clamp(b, 0, N - 1);
        }
        // The colours, and the empty colour after them for points not computed yet.
        QRgb colours[257];
        std::copy(Table(d.colours).begin(), Table(d.colours).end(), colours);
        colours[256] = kEmpty.rgb();
        const float lo = static_cast<float>(d.levelLo);
        const float scale = static_cast<float>(255.0 / std::max(1e-9, d.levelHi - d.levelLo));
        bool onePointPerColumn = true;
        for (int x = 0; x < PW; ++x)
            onePointPerColumn = onePointPerColumn && k0[x] == k1[x];
        const int rows = std::min(area.height(), s->rows);
        // Straight into the target when it is a picture without a transform; else through one.
        QImage own;
        QImage* target = nullptr;
        QPoint origin = area.topLeft();
        if (p.device() && p.device()->devType() == QInternal::Image && p.transform().isIdentity()) {
            auto* image = static_cast<QImage*>(p.device());
            if ((image->format() == QImage::Format_RGB32 ||
                 image->format() == QImage::Format_ARGB32) &&
                QRect(QPoint(0, 0), image->size()).contains(QRect(origin, QSize(PW, rows))))
                target = image;
        }
        if (!target) {
            own = QImage(PW, rows, QImage::Format_RGB32);
            target = &own;
            origin = QPoint(0, 0);
        }
        for (int y = 0; y < rows; ++y) {
            auto* line = reinterpret_cast<QRgb*>(target->scanLine(origin.y() + y)) + origin.x();
            const float* row = s->db.data() + static_cast<size_t>(y) * N;
            if (!std::isfinite(row[N / 2]) && !std::isfinite(row[0])) {
                std::fill(line, line + PW, colours[256]);
                continue;
            }
            auto colourOf = [&](float v) {
                float t = (v - lo) * scale;
                t = t < 0.0f ? 0.0f : t;
                t = t > 255.0f ? 255.0f : t;
                return colours[v == v ? static_cast<int>(t) : 256];  // NaN: not computed
            };
            if (onePointPerColumn) {
                for (int x = 0; x < PW; ++x)
                    line[x] = colourOf(row[k0[x]]);
            } else {
                for (int x = 0; x < PW; ++x) {
                    float v = row[k0[x]];
                    for (int k = k0[x] + 1; k <= k1[x]; ++k)
                        v = row[k] > v ? row[k] : v;
                    line[x] = colourOf(v);
                }
            }
        }
        if (target == &own) p.drawImage(area.topLeft(), own);
    }

    p.setPen(kAxis);
    p.drawRect(area.adjusted(-1, -1, 0, 0));  // outside the rows, so none is covered
    QFont font("Arial");
    font.setPixelSize(11);
    p.setFont(font);
    p.setPen(kText);
    // Frequency axis.
    if (span > 0) {
        const double step = NiceStep(span, std::max(2, area.width() / 90));
        for (double f = std::ceil(d.fStart / step) * step; f <= d.fEnd + step * 1e-9; f += step) {
            const int x = static_cast<int>(std::lround(SpectrogramXOfHz(f, W, d.fStart, d.fEnd)));
            p.drawLine(x, area.bottom(), x, area.bottom() + 4);
            const QString t =
                QString::fromStdString(FormatFrequencyTick(std::fabs(f) < step * 1e-6 ? 0 : f));
            p.drawText(QRect(x - 40, area.bottom() + 5, 80, 14), Qt::AlignHCenter, t);
        }
    }
    // Time axis (from the start of the file, down).
    if (s && s->rows > 0 && d.sampleRateHz > 0) {
        const double t0 = (s->firstSample + d.timeOffsetSamples) / d.sampleRateHz;
        const double dt = s->samplesPerPixel * s->rows / d.sampleRateHz;
        const double step = NiceStep(dt, std::max(2, area.height() / 60));
        for (double t = std::ceil(t0 / step) * step; t <= t0 + dt; t += step) {
            const int y = area.top() + static_cast<int>(std::lround((t - t0) / dt * area.height()));
            p.drawLine(area.left() - 4, y, area.left(), y);
            p.drawText(QRect(0, y - 7, area.left() - 6, 14), Qt::AlignRight | Qt::AlignVCenter,
                       QString::fromStdString(TimeTick(std::fabs(t) < step * 1e-6 ? 0 : t, step)));
        }
    }
    // Colour bar.
    // The unit above the bar, clear of the frequency axis's last number.
    const QRect bar(area.right() + 12, area.top() + 18, kBarWidth, area.height() - 18);
    const auto& table = Table(d.colours);
    for (int y = 0; y < bar.height(); ++y) {
        const int i = 255 - y * 255 / std::max(1, bar.height() - 1);
        p.setPen(QColor(table[static_cast<size_t>(i)]));
        p.drawLine(bar.left(), bar.top() + y, bar.right(), bar.top() + y);
    }
    p.setPen(kText);
    const double offset = d.dbm ? d.dbmOffsetDb : 0.0;
    const double lo = d.levelLo + offset, hi = d.levelHi + offset;
    const double step = NiceStep(hi - lo, std::max(2, bar.height() / 50));
    for (double v = std::ceil(lo / step) * step; v <= hi + 1e-9; v += step) {
        const int y =
            bar.bottom() - static_cast<int>(std::lround((v - lo) / (hi - lo) * (bar.height() - 1)));
        p.drawLine(bar.right() + 1, y, bar.right() + 4, y);
        p.drawText(QRect(bar.right() + 6, y - 7, 50, 14), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromStdString(FormatTrimmed(std::fabs(v) < step * 1e-6 ? 0 : v)));
    }
    p.drawText(QRect(bar.left() - 4, area.top() - 2, 70, 16), Qt::AlignLeft | Qt::AlignVCenter,
               d.dbm ? "dBm" : "dBFS");

    if (!d.box.isEmpty()) {
        p.setPen(QPen(Qt::white, 1, Qt::DashLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(d.box.normalized() & area);
    }
    if (!d.note.empty()) {
        const QString t = QString::fromStdString(d.note);
        const QRect r = p.fontMetrics().boundingRect(t).adjusted(-4, -2, 4, 2);
        const QRect at(area.left() + 6, area.top() + 6, r.width(), r.height());
        p.fillRect(at, kBackground);
        p.drawText(at, Qt::AlignCenter, t);
    }
}
