// The view's markers: where they are on each plot, how the mouse, keys and marker commands move
// them, and what they read.

#include <algorithm>
#include <cmath>
#include <sstream>

#include "app/spectrogram_view.h"
#include "app/view.h"
#include "display/json_writer.h"
#include "display/modulation_text.h"
#include "measure/shown_spectrum.h"
#include "waveform/waveform.h"

namespace {

constexpr int kMarkerGrabPixels = 6;

bool IsDcToFsKind(int kind) { return kind == kViewIQDcFs || kind == kViewQIDcFs; }

}  // namespace

MarkerPositions* CView::ShownMarkers() {
    if (phaseDisplay) return nullptr;
    switch (MarkerPlotOf(viewType_)) {
        case MarkerPlot::Spectrum: return &markers.frequencyHz;
        case MarkerPlot::Time: return &timeMarkers;
        case MarkerPlot::Ccdf: return &ccdfMarkers;
        case MarkerPlot::None: break;
    }
    return nullptr;
}

void CView::ShownXRange(double& x0, double& x1) const {
    x0 = xStart;
    x1 = xEnd;
    // Before the first drawing of a kind its range is not set yet: it is the full one.
    if (!(x1 > x0)) FullViewRange(viewType_, wave_->sampleRate, wave_->sampleCount, x0, x1);
}

MarkerAxis CView::ShownMarkerAxis() const {
    double x0, x1;
    ShownXRange(x0, x1);
    return MarkerAxisFor(engine.style.margins, width(), viewType_, x0, x1, wave_->sampleCount);
}

void CView::ClearMarkers() {
    markers.frequencyHz = {};
    timeMarkers = {};
    ccdfMarkers = {};
    selectedMarker = 0;
    draggedMarker_ = 0;
    spectrogram->ClearMarkers();
    MarkersChanged();
}

// The table follows on the next paint, which reads the samples under the lock.
void CView::MarkersChanged() { update(); }

int CView::MarkerNear(int x) {
    const MarkerPositions* at = ShownMarkers();
    if (!at) return 0;
    const MarkerAxis axis = ShownMarkerAxis();
    int best = 0;
    double bestDistance = kMarkerGrabPixels + 0.5;
    for (int m = 0; m < kMaxMarkers; ++m) {
        const auto& v = (*at)[static_cast<size_t>(m)];
        if (!v) continue;
        const double d = std::fabs(axis.X(*v) - x);
        if (d < bestDistance) bestDistance = d, best = m + 1;
    }
    return best;
}

std::unique_lock<std::mutex> CView::TraceLock() const {
    // A worker recomputing the trace holds the samples' lock; until it lets go, what the trace
    // says is left alone.
    if (!waveLock) return {};
    return std::unique_lock<std::mutex>(*waveLock, std::try_to_lock);
}

void CView::MoveMarkerTo(int number, double x) {
    MarkerPositions* at = ShownMarkers();
    if (!at || number < 1 || number > kMaxMarkers) return;
    const auto held = TraceLock();
    const bool traceReadable = !waveLock || held.owns_lock();
    const MarkerAxis axis = ShownMarkerAxis();
    double v = axis.ValueAt(x);
    switch (MarkerPlotOf(viewType_)) {
        case MarkerPlot::Time:
            v = std::clamp(std::round(v), 0.0, std::max(0.0, wave_->sampleCount - 1.0));
            break;
        case MarkerPlot::Spectrum:
            // On the point the trace shows there, so the readout is the point under the flag.
            if (traceReadable && engine.trace.traceValid && engine.trace.pointCount > 0) {
                const double f = engine.trace.PointFrequency(ShownPoint(engine.trace, v));
                const double fs = static_cast<double>(engine.trace.sampleRate);
                v = IsDcToFsKind(viewType_) && f < 0 ? f + fs : f;
            }
            break;
        case MarkerPlot::Ccdf: v = std::clamp(v, axis.a, axis.b); break;
        case MarkerPlot::None: break;
    }
    (*at)[static_cast<size_t>(number - 1)] = v;
}

void CView::StepMarker(int direction) {
    MarkerPositions* at = ShownMarkers();
    if (!at || selectedMarker < 1) return;
    std::optional<double>& v = (*at)[static_cast<size_t>(selectedMarker - 1)];
    const auto held = TraceLock();
    if (!v || (waveLock && !held.owns_lock())) return;
    switch (MarkerPlotOf(viewType_)) {
        case MarkerPlot::Spectrum:
            if (engine.trace.N > 0)
                *v += direction * static_cast<double>(engine.trace.sampleRate) / engine.trace.N;
            break;
        case MarkerPlot::Time:
            *v = std::clamp(std::round(*v) + direction, 0.0,
                            std::max(0.0, wave_->sampleCount - 1.0));
            break;
        case MarkerPlot::Ccdf: *v += direction * ShownMarkerAxis().PerPixel(); break;
        case MarkerPlot::None: break;
    }
    MarkersChanged();
}

std::string CView::PeakCommand(MarkerAction action) {
    MarkerPositions& at = *ShownMarkers();
    const int number = selectedMarker > 0 ? selectedMarker : 1;
    std::optional<double>& position = at[static_cast<size_t>(number - 1)];
    // Without the marker on the plot, every search starts as Peak.
    if (!position) action = MarkerAction::Peak;
    int64_t found = -1;
    const char* what = action == MarkerAction::Peak        ? "peak"
                       : action == MarkerAction::NextLeft  ? "peak to the left"
                       : action == MarkerAction::NextRight ? "peak to the right"
                                                           : "lower peak";
    if (MarkerPlotOf(viewType_) == MarkerPlot::Spectrum) {
        const cSpectrumTrace& t = engine.trace;
        if (!t.traceValid || t.pointCount <= 0) return "No spectrum to search";
        double x0, x1;
        ShownXRange(x0, x1);
        int first = ShownPoint(t, x0), last = ShownPoint(t, x1);
        if (IsDcToFsKind(viewType_) || last < first) first = 0, last = t.pointCount - 1;
        const int from = position ? ShownPoint(t, *position) : 0;
        switch (action) {
            case MarkerAction::Peak: found = HighestPeak(t, first, last); break;
            case MarkerAction::NextLeft:
            case MarkerAction::NextRight:
                found = NextPeak(t, from, action == MarkerAction::NextLeft ? -1 : 1, first, last);
                break;
            default: found = NextLowerPeak(t, from, first, last); break;
        }
        if (found >= 0) {
            double f = t.PointFrequency(found);
            if (IsDcToFsKind(viewType_) && f < 0) f += static_cast<double>(t.sampleRate);
            position = f;
        }
    } else {
        const int64_t n = wave_->sampleCount;
        if (n <= 0) return "No samples to search";
        double x0, x1;
        ShownXRange(x0, x1);
        const int64_t first = std::clamp<int64_t>(std::llround(x0), 0, n - 1);
        const int64_t last = std::clamp<int64_t>(std::llround(x1), 0, n - 1);
        const float* I = wave_->I.data();
        const float* Q = wave_->Q.data();
        const int64_t from = position ? std::llround(*position) : 0;
        switch (action) {
            case MarkerAction::Peak: found = HighestSample(I, Q, n, first, last); break;
            case MarkerAction::NextLeft:
            case MarkerAction::NextRight:
                found = NextSamplePeak(I, Q, n, from, action == MarkerAction::NextLeft ? -1 : 1,
                                       first, last);
                break;
            default: found = NextLowerSamplePeak(I, Q, n, from, first, last); break;
        }
        if (found >= 0) position = static_cast<double>(found);
    }
    if (found < 0) return std::string("No ") + what + " stands out within the shown span";
    selectedMarker = number;
    MarkersChanged();
    return "";
}

std::string CView::MarkerCommand(MarkerAction action) {
    if (viewType_ == kViewSpectrogram) return spectrogram->MarkerCommand(action);
    MarkerPositions* at = ShownMarkers();
    if (!at) return "Markers go on the spectrum, time, CCDF and spectrogram views";
    if (!HasSamples()) return "No waveform to mark";
    switch (action) {
        case MarkerAction::Place: {
            const int number = MarkerToPlace(*at, selectedMarker);
            const PlotMargins& mg = engine.style.margins;
            const bool overPlot =
                hoverValid_ && hoverX_ >= mg.left && hoverX_ <= width() - mg.right;
            MoveMarkerTo(number, overPlot ? hoverX_ : mg.left + mg.PlotWidth(width()) / 2.0);
            selectedMarker = number;
            MarkersChanged();
            return "";
        }
        case MarkerAction::Delete:
            if (selectedMarker < 1 || !(*at)[static_cast<size_t>(selectedMarker - 1)])
                return "Select a marker first (click its flag)";
            (*at)[static_cast<size_t>(selectedMarker - 1)].reset();
            selectedMarker = 0;
            MarkersChanged();
            return "";
        case MarkerAction::DeleteAll:
            *at = {};
            selectedMarker = 0;
            MarkersChanged();
            return "";
        default:
            if (MarkerPlotOf(viewType_) == MarkerPlot::Ccdf)
                return "The CCDF has no peaks: move its markers with the mouse or the arrows";
            return PeakCommand(action);
    }
}

bool CView::SetMarker(int number, std::optional<double> position, std::string& why) {
    if (number < 1 || number > kMaxMarkers) {
        why = "markers are numbered 1 to 4";
        return false;
    }
    if (position && !std::isfinite(*position)) {
        why = "a marker's position must be a finite number";
        return false;
    }
    if (viewType_ == kViewSpectrogram) return spectrogram->SetMarker(number, position, why);
    MarkerPositions* at = ShownMarkers();
    if (!at) {
        why = "the view shown has no markers (spectrum, time, CCDF and spectrogram views do)";
        return false;
    }
    // Time markers are given as the table numbers samples: from the start of the file.
    if (position && MarkerPlotOf(viewType_) == MarkerPlot::Time)
        position =
            std::clamp(std::round(*position - static_cast<double>(wave_->source.firstSample)), 0.0,
                       std::max(0.0, wave_->sampleCount - 1.0));
    (*at)[static_cast<size_t>(number - 1)] = position;
    selectedMarker = position ? number : 0;
    MarkersChanged();
    return true;
}

namespace {

// The modulation results as the table's rows ("EVM", "1.00 % rms (-40.00 dB)") and as JSON.
MarkerTable ModulationTable(const cPlotEngine::ModulationAnalysis& a) {
    MarkerTable table;
    table.plot = "modulation";
    table.columns = {"Result", "Value"};
    std::vector<std::string> lines;
    if (a.blind) lines = ModulationLines(a.settings, *a.blind);
    if (a.reference) {
        lines.push_back("Reference: " + a.referenceName);
        for (const std::string& line : ReferenceEvmLines(*a.reference, a.sampleRate))
            lines.push_back(line);
    }
    for (const std::string& line : lines) {
        const size_t colon = line.find(": ");
        table.rows.push_back(
            {line.substr(0, colon), colon == std::string::npos ? "" : line.substr(colon + 2)});
    }
    std::ostringstream json;
    JsonWriter j(json);
    j.Begin();
    j.Field("plot", "modulation");
    if (a.blind) WriteModulationJson(a.settings, *a.blind, j);
    if (a.reference) WriteReferenceEvmJson(*a.reference, a.sampleRate, j);
    j.End();
    table.json = json.str();
    return table;
}

}  // namespace

MarkerTable CView::MarkerTableNow() {
    if (viewType_ == kViewSpectrogram) return spectrogram->MarkerTableNow();
    // The constellation and EVM views of an analysis list its results.
    if (const auto* m = engine.ModulationOf(*wave_);
        m && (viewType_ == kViewAnalysisEvm || (viewType_ == kViewConstellation && m->blind)))
        return ModulationTable(*m);
    MarkerTable table;
    std::ostringstream json;
    JsonWriter j(json);
    j.Begin();
    const MarkerPositions* at = ShownMarkers();
    const double offset = engine.dbmOffsetDb;
    const cWaveform& w = *wave_;
    const double rate = static_cast<double>(w.sampleRate);
    static const char* const kPlotNames[] = {"none", "spectrum", "time", "ccdf"};
    j.Field("plot", at ? kPlotNames[static_cast<int>(MarkerPlotOf(viewType_))] : "none");
    if (at && w.sampleCount > 0) {
        switch (MarkerPlotOf(viewType_)) {
            case MarkerPlot::Spectrum: {
                // A DC-to-fs view shows the negative half of a complex trace above fs/2.
                MarkerSettings s = markers;
                for (auto& f : s.frequencyHz)
                    if (f && engine.trace.complex && *f > rate / 2) *f -= rate;
                const auto r = MeasureSpectrumMarkers(engine.trace, s);
                table = SpectrumMarkerTable(r, offset);
                j.BeginArray("markers");
                for (const auto& m : r)
                    WriteMarkerJson(j, m, offset);
                j.EndArray();
                break;
            }
            case MarkerPlot::Time: {
                const auto r = MeasureTimeMarkers(w.I.data(), w.Q.data(), w.sampleCount, rate,
                                                  timeMarkers, markers.delta);
                table = TimeMarkerTable(r, w.source.firstSample, rate, offset);
                j.BeginArray("markers");
                for (const auto& m : r)
                    WriteMarkerJson(j, m, w.source.firstSample, rate, offset);
                j.EndArray();
                break;
            }
            case MarkerPlot::Ccdf: {
                const auto r = MeasureCcdfMarkers(engine.CcdfFor(w), ccdfMarkers, markers.delta);
                table = CcdfMarkerTable(r);
                j.BeginArray("markers");
                for (const auto& m : r)
                    WriteMarkerJson(j, m);
                j.EndArray();
                break;
            }
            case MarkerPlot::None: break;
        }
    }
    j.Field("delta", markers.delta);
    j.End();
    table.json = json.str();
    return table;
}
