// View, Processed Views and FFT commands: the view kinds and the phase display, averaging and
// coupling, the FFT size and window; and the selection of a view kind they share with clicks
// in the view.

#include "app/command_ids.h"
#include "app/frame_services.h"
#include "app/spectrogram_view.h"
#include "app/view.h"
#include "spectrum/spectrum_settings.h"
#include "waveform/message_pump.h"
#include "waveform/waveform.h"

namespace {
// One check mark among the ids of a group: on id, off the others.
template <class Group>
void CheckOnly(IFrameServices& frame, const Group& group, int id) {
    for (int g : group)
        frame.CheckMenuItem(g, g == id);
}
void CheckOnly(IFrameServices& frame, std::initializer_list<int> group, int id) {
    for (int g : group)
        frame.CheckMenuItem(g, g == id);
}
}  // namespace

void RegisterViewCommands(IFrameServices& frame) {
    CView& view = frame.View();
    // The view kinds up to the CCDF change only what is shown; the constellation was not
    // counted among them and stops a worker as an edit would.
    for (int kind : kViewKindCommands)
        frame.AddCommand(
            {kind},
            [&frame, &view](int id, int64_t) {
                frame.SelectViewType(id);
                frame.RecomputeNow();
                return 1;
            },
            kind == kViewConstellation ? CommandTraits{} : kDisplayCommand);
    frame.AddCommand({kCmdPhaseDisplay}, [&frame, &view](int id, int64_t) {
        frame.SelectViewType(id);
        frame.RecomputeNow();
        return 1;
    });
    frame.AddCommand({kCmdAverage, kCmdClearWrite}, [&frame, &view](int id, int64_t) {
        view.settings.averaging = id == kCmdAverage;
        CheckOnly(frame, {kCmdAverage, kCmdClearWrite}, id);
        frame.CheckMenuItem(kCmdPlayThrough, false);
        frame.SetStatusText(view.settings.averaging ? "Averaged Trace selected"
                                                    : "Clear/Write Trace selected");
        frame.RecomputeNow();
        return 1;
    });
    frame.AddCommand(
        {kCmdDcCoupling, kCmdAcCoupling},
        [&frame, &view](int id, int64_t) {
            view.settings.acCoupling = id == kCmdAcCoupling;
            CheckOnly(frame, {kCmdDcCoupling, kCmdAcCoupling}, id);
            frame.SetStatusText(view.settings.acCoupling ? "AC Coupling selected"
                                                         : "DC Coupling selected");
            frame.RecomputeNow();
            return 1;
        },
        kDisplayCommand);
    for (int window : kWindowCommands)
        frame.AddCommand(
            {window},
            [&frame, &view](int id, int64_t) {
                CheckOnly(frame, kWindowCommands, id);
                view.settings.window = static_cast<WindowType>(id);
                frame.RecomputeNow();
                return 1;
            },
            kDisplayCommand);
    for (int id = kCmdFftSizeFirst; id <= kCmdFftSizeLast; ++id)
        frame.AddCommand(
            {id},
            [&frame, &view](int command, int64_t) {
                view.settings.fftSize = FftSizeForCommand(command);
                frame.FftSizeChanged(view.settings.fftSize);
                for (int k = kCmdFftSizeFirst; k <= kCmdFftSizeLast; ++k)
                    frame.CheckMenuItem(k, k == command);
                frame.SetStatusText("New FFT size selected");
                frame.RecomputeNow();
                return 1;
            },
            kDisplayCommand);
    // The settings of the external symbol analysis and its view kinds: this program has no
    // analysis, but other programs send them, and they only ever changed what was shown.
    const auto unavailable = [&frame, &view](int id, int64_t) {
        frame.SetStatusText("Command " + std::to_string(id) + " is not available");
        return 1;
    };
    for (int id = kViewAnalysisMulti; id <= kViewAnalysisMulti + 4; ++id)
        frame.AddCommand({id}, unavailable, kDisplayCommand);
    frame.AddCommand({kViewAnalysisSpectrum, kCmdAnalysisFirst, kCmdAnalysisOption}, unavailable,
                     kDisplayCommand);
    // (The Y-axis queries and setters among these ids are registered after, in their place.)
    for (int id = kCmdAnalysisSetting; id <= kCmdAnalysisLast; ++id)
        frame.AddCommand({id}, unavailable, kDisplayCommand);
}

void SelectView(IFrameServices& frame, int kind) {
    CView& v = frame.View();
    // The spectrogram and the complex spectrum kinds share one frequency span.
    const int previous = v.ViewType();
    auto sharesSpan = [](int k) { return k == kViewIQ || k == kViewQI; };
    const bool spanFromSpectrum = sharesSpan(previous) && v.xEnd > v.xStart;
    const double spectrumF0 = v.xStart, spectrumF1 = v.xEnd;

    if (IsViewKindCommand(kind) || kind == kViewSpectrogram || kind == kViewAnalysisEvm)
        frame.CheckMenuItem(v.ViewType(), false);
    if (kind == kViewAnalysisEvm) {
        if (!v.engine.ModulationOf(frame.MainWaveform())) {
            CheckOnly(frame, kViewKindCommands, previous);
            frame.SetStatusText(
                "No modulation results for these samples: Measure > Modulation Analysis\u2026 "
                "or EVM against Reference File\u2026 first");
            return;
        }
        CheckOnly(frame, kViewKindCommands, kind);
        v.phaseDisplay = false;
        v.SetViewType(kind, true);
        frame.SetStatusText("EVM view type selected");
        return;
    }
    if (kind == kViewSpectrogram) {
        CheckOnly(frame, kViewKindCommands, kind);
        v.phaseDisplay = false;
        v.SetViewType(kind, false);
        if (spanFromSpectrum) v.spectrogram->SetFrequencySpan(spectrumF0, spectrumF1);
        frame.SetStatusText("Spectrogram view type selected");
        return;
    }
    if (kind == kViewMulti) {
        v.SetViewType(kind, true);
        CheckOnly(frame, kViewKindCommands, v.ViewType());
        frame.SetStatusText("Multi view type selected");
        v.settings.fftPosition = 0;
    } else if (IsSpectrumKind(kind)) {
        v.SetViewType(kind, true);
        CheckOnly(frame, kViewKindCommands, v.ViewType());
        frame.SetStatusText("Frequency domain view type selected");
        v.settings.fftPosition = 0;
        v.recompute.recomputeNeeded = true;
        if (previous == kViewSpectrogram && sharesSpan(v.ViewType()))
            v.ShowXRange(v.spectrogram->FrequencyStart(), v.spectrogram->FrequencyEnd());
    } else if (IsTimeKind(kind) || kind == kViewCcdf) {
        CheckOnly(frame, kViewKindCommands, kind);
        v.phaseDisplay = false;
        const bool keepZoom = IsTimeKind(v.ViewType());
        v.SetViewType(kind, !keepZoom);
        frame.SetStatusText(kind == kViewCcdf ? "CCDF view type selected"
                                              : "Time domain view type selected");
    } else if (kind == kViewVector) {
        frame.SetStatusText("Vector view type selected");
        CheckOnly(frame, kViewKindCommands, kind);
        v.phaseDisplay = false;
        v.SetViewType(kind, true);
        const int stops = v.AnimationStops();
        v.RequestRedraw();
        PumpMessagesFor(1);
        // The trail travels through the waveform until it ends, or a right click, a new
        // waveform, another view, a tool or closing the window stops it.
        const int n = frame.MainWaveform().sampleCount;
        for (int i = 0; i + 10 < n; ++i) {
            if (v.AnimationStops() != stops || frame.StopRequest() || frame.Busy() ||
                v.ViewType() != kViewVector)
                break;
            v.xStart = i;
            v.xEnd = i + 10;
            v.animationState = 2;
            v.RequestRedraw();
            PumpMessagesFor(1);
        }
        v.animationState = 0;
        if (!frame.Busy()) frame.StopRequest() = false;  // the trail it stopped has ended
        v.update();
        PumpMessagesFor(1);
    } else if (kind == kViewConstellation) {
        frame.SetStatusText("Constellation view type selected");
        CheckOnly(frame, kViewKindCommands, kind);
        v.SetViewType(kind, true);
    } else if (kind == kCmdPhaseDisplay) {
        v.phaseDisplay = !v.phaseDisplay;
        frame.CheckMenuItem(kCmdPhaseDisplay, v.phaseDisplay);
        frame.SetStatusText(v.phaseDisplay ? "Frequency domain view of phase"
                                           : "Frequency domain view of Magnitude");
        v.settings.phaseWanted = v.phaseDisplay;
        v.engine.trace.phaseWanted = v.phaseDisplay;
    }
}
