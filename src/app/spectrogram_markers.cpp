// The spectrogram's markers: a time and a frequency each, read from one frame of the source.

#include <QPainter>
#include <algorithm>
#include <cmath>
#include <sstream>

#include "app/spectrogram_view.h"
#include "display/json_writer.h"
#include "spectrum/power_trace.h"

namespace {
constexpr int kMarkerGrabPixels = 6;
}

void CSpectrogramView::ClearMarkers() {
    markerSample = {};
    markerHz = {};
    selectedMarker = 0;
    draggedMarker_ = 0;
    update();
}

const std::vector<float>& CSpectrogramView::FrameAt(double sample) {
    static const std::vector<float> kNone;
    if (framesSource_ != source_.identity || framesGeneration_ != source_.generation ||
        !(framesSettings_ == settings_)) {
        frames_.clear();
        framesSource_ = source_.identity;
        framesGeneration_ = source_.generation;
        framesSettings_ = settings_;
    }
    if (!source_.read || source_.total <= 0) return kNone;
    const int64_t hop = settings_.Hop();
    const int64_t row =
        std::clamp<int64_t>(static_cast<int64_t>(std::floor(sample / static_cast<double>(hop))), 0,
                            (source_.total - 1) / hop);
    auto it = frames_.find(row);
    if (it != frames_.end()) return it->second;
    if (frames_.size() >= 16) frames_.clear();  // a few markers' worth
    cSpectrogramRows rows(settings_);
    std::vector<float> db(static_cast<size_t>(rows.Points()));
    if (!rows.Compute(source_.read, source_.total, hop, row, 1, db.data()).empty()) return kNone;
    for (float& v : db)
        v = static_cast<float>(std::pow(10.0, v / 10.0));
    return frames_[row] = std::move(db);
}

int CSpectrogramView::MarkerNear(QPoint p) const {
    const QRect area = SpectrogramPlotArea(width(), height());
    int best = 0;
    double bestDistance = kMarkerGrabPixels + 0.5;
    for (int m = 0; m < kMaxMarkers; ++m) {
        const auto &t = markerSample[static_cast<size_t>(m)], &f = markerHz[static_cast<size_t>(m)];
        if (!t || !f) continue;
        const double x = SpectrogramXOfHz(*f, width(), f0_, f1_);
        const double y = area.top() + (*t - t0_) / tCount_ * area.height();
        const double d = std::max(std::fabs(x - p.x()), std::fabs(y - p.y()));
        if (d < bestDistance) bestDistance = d, best = m + 1;
    }
    return best;
}

void CSpectrogramView::MoveMarkerTo(int number, QPoint p) {
    const QRect area = SpectrogramPlotArea(width(), height());
    const QPoint q(std::clamp(p.x(), area.left(), area.right()),
                   std::clamp(p.y(), area.top(), area.bottom()));
    const size_t m = static_cast<size_t>(number - 1);
    markerSample[m] = std::clamp(std::floor(SampleAt(q.y())), 0.0,
                                 std::max(0.0, static_cast<double>(source_.total - 1)));
    markerHz[m] = HzAt(q.x());
    update();
}

void CSpectrogramView::DrawMarkerFlags(QPainter& p, int W, int H) const {
    const QRect area = SpectrogramPlotArea(W, H);
    p.save();
    p.setRenderHint(QPainter::Antialiasing, true);
    for (int m = 0; m < kMaxMarkers; ++m) {
        const auto &t = markerSample[static_cast<size_t>(m)], &f = markerHz[static_cast<size_t>(m)];
        if (!t || !f || tCount_ <= 0) continue;
        const double x = SpectrogramXOfHz(*f, W, f0_, f1_);
        const double y = area.top() + (*t - t0_) / tCount_ * area.height();
        if (x < area.left() || x > area.right() + 1 || y < area.top() || y > area.bottom() + 1)
            continue;
        const int xi = static_cast<int>(std::lround(x)), yi = static_cast<int>(std::lround(y));
        p.setPen(QPen(Qt::white, 1));
        p.drawLine(xi - 3, yi, xi + 3, yi);
        p.drawLine(xi, yi - 3, xi, yi + 3);
        DrawMarkerFlag(p, xi, yi - 4, m + 1, m + 1 == selectedMarker);
    }
    p.restore();
}

std::string CSpectrogramView::MarkerCommand(MarkerAction action) {
    if (source_.total <= 0) return "No waveform to mark";
    if (action == MarkerAction::Place) {
        const QRect area = SpectrogramPlotArea(width(), height());
        const int number = MarkerToPlace(markerHz, selectedMarker);
        MoveMarkerTo(number, hoverValid_ && area.contains(mouseAt_) ? mouseAt_ : area.center());
        selectedMarker = number;
        return "";
    }
    if (action == MarkerAction::DeleteAll) {
        ClearMarkers();
        return "";
    }
    const int number = selectedMarker > 0 ? selectedMarker : 1;
    const size_t m = static_cast<size_t>(number - 1);
    if (action == MarkerAction::Delete) {
        if (selectedMarker < 1 || !markerHz[m]) return "Select a marker first (click its flag)";
        markerHz[m].reset();
        markerSample[m].reset();
        selectedMarker = 0;
        update();
        return "";
    }
    // The peaks of the marker's frame (the middle of the time shown without one), within the
    // band shown.
    const double sample = markerSample[m] ? *markerSample[m] : std::floor(t0_ + tCount_ / 2);
    const std::vector<float>& power = FrameAt(sample);
    if (power.empty()) return "The frame at the marker cannot be read";
    const int N = static_cast<int>(power.size());
    const double fs = source_.sampleRateHz;
    auto point = [&](double hz) {
        return std::clamp(static_cast<int>(std::lround(hz / (fs / N))) + N / 2, 0, N - 1);
    };
    const int first = point(f0_), last = point(f1_);
    const int from = markerHz[m] ? point(*markerHz[m]) : 0;
    if (!markerHz[m]) action = MarkerAction::Peak;
    const int lobe = 2 * DcHalfWidthBase(settings_.window);
    int64_t found = -1;
    switch (action) {
        case MarkerAction::Peak:
            found = HighestPowerPeak(power.data(), N, first, last, lobe);
            break;
        case MarkerAction::NextLeft:
        case MarkerAction::NextRight:
            found = NextPowerPeak(power.data(), N, from, action == MarkerAction::NextLeft ? -1 : 1,
                                  first, last, lobe);
            break;
        default: found = NextLowerPowerPeak(power.data(), N, from, first, last, lobe); break;
    }
    if (found < 0) return "No peak stands out in the marker's frame within the shown band";
    markerSample[m] = sample;
    markerHz[m] = SpectrogramPointHz(static_cast<int>(found), N, fs);
    selectedMarker = number;
    update();
    return "";
}

bool CSpectrogramView::SetMarker(int number, std::optional<double> hz, std::string& why) {
    if (source_.total <= 0) {
        why = "no waveform to mark";
        return false;
    }
    const size_t m = static_cast<size_t>(number - 1);
    if (!hz) {
        markerHz[m].reset();
        markerSample[m].reset();
    } else {
        if (!markerSample[m]) markerSample[m] = std::floor(t0_ + tCount_ / 2);
        markerHz[m] = *hz;
    }
    selectedMarker = hz ? number : 0;
    update();
    return true;
}

MarkerTable CSpectrogramView::MarkerTableNow() {
    std::vector<SpectrogramMarkerReading> readings;
    const double fs = source_.sampleRateHz;
    for (int m = 0; m < kMaxMarkers; ++m) {
        const auto &t = markerSample[static_cast<size_t>(m)], &f = markerHz[static_cast<size_t>(m)];
        if (!t || !f) continue;
        SpectrogramMarkerReading r;
        r.number = m + 1;
        r.sample = *t + static_cast<double>(source_.timeOffset);
        r.timeS = r.sample / fs;
        r.frequencyHz = *f;
        const std::vector<float>& power = FrameAt(*t);
        if (!power.empty()) {
            const int N = static_cast<int>(power.size());
            const int k =
                std::clamp(static_cast<int>(std::lround(*f / (fs / N))) + N / 2, 0, N - 1);
            r.frequencyHz = SpectrogramPointHz(k, N, fs);
            r.levelDb = PowerDb(power[static_cast<size_t>(k)]);
        }
        if (markerDelta && !readings.empty() && readings.front().number == 1) {
            const SpectrogramMarkerReading& m1 = readings.front();
            r.deltaS = r.timeS - m1.timeS;
            r.deltaHz = r.frequencyHz - m1.frequencyHz;
            if (r.levelDb && m1.levelDb) r.deltaDb = *r.levelDb - *m1.levelDb;
        }
        readings.push_back(r);
    }
    const double offset = dbm ? dbmOffsetDb : 0.0;
    MarkerTable table = SpectrogramMarkerTable(readings, offset);
    std::ostringstream json;
    JsonWriter j(json);
    j.Begin();
    j.Field("plot", "spectrogram");
    j.BeginArray("markers");
    for (const auto& r : readings)
        WriteMarkerJson(j, r, offset);
    j.EndArray();
    j.Field("delta", markerDelta);
    j.End();
    table.json = json.str();
    return table;
}
