// View, Processed Views and FFT commands: the view kinds and the phase display, averaging and
// coupling, the FFT size and window, and the status bar.

#include "app/main_frame.h"
#include "app/view.h"
#include "spectrum/spectrum_settings.h"
#include "ui/status_bar.h"
#include "waveform/message_pump.h"

void CMainFrame::RegisterViewCommands() {
    AddCommand(
        {kCmdStatusBar},
        [this](int, int64_t) {
            statusBar->setVisible(!statusBar->isVisible());
            CheckMenuItem(kCmdStatusBar, statusBar->isVisible());
            return 1;
        },
        kAnyTimeCommand);
    // The view kinds up to the CCDF change only what is shown; the constellation was not
    // counted among them and stops a worker as an edit would.
    for (int kind : kViewKindCommands)
        AddCommand(
            {kind},
            [this](int id, int64_t) {
                SelectViewType(id);
                RecomputeNow();
                return 1;
            },
            kind == kViewConstellation ? CommandTraits{} : kDisplayCommand);
    AddCommand({kCmdPhaseDisplay}, [this](int id, int64_t) {
        SelectViewType(id);
        RecomputeNow();
        return 1;
    });
    AddCommand({kCmdAverage, kCmdClearWrite}, [this](int id, int64_t) {
        view->settings.averaging = id == kCmdAverage;
        CheckOnly({kCmdAverage, kCmdClearWrite}, id);
        CheckMenuItem(kCmdPlayThrough, false);
        SetStatusText(view->settings.averaging ? "Averaged Trace selected"
                                               : "Clear/Write Trace selected");
        RecomputeNow();
        return 1;
    });
    AddCommand(
        {kCmdDcCoupling, kCmdAcCoupling},
        [this](int id, int64_t) {
            view->settings.acCoupling = id == kCmdAcCoupling;
            CheckOnly({kCmdDcCoupling, kCmdAcCoupling}, id);
            SetStatusText(view->settings.acCoupling ? "AC Coupling selected"
                                                    : "DC Coupling selected");
            RecomputeNow();
            return 1;
        },
        kDisplayCommand);
    for (int window : kWindowCommands)
        AddCommand(
            {window},
            [this](int id, int64_t) {
                CheckOnly(kWindowCommands, id);
                view->settings.window = static_cast<WindowType>(id);
                RecomputeNow();
                return 1;
            },
            kDisplayCommand);
    for (int id = kCmdFftSizeFirst; id <= kCmdFftSizeLast; ++id)
        AddCommand(
            {id},
            [this](int command, int64_t) {
                view->settings.fftSize = FftSizeForCommand(command);
                workerFftSize_ = view->settings.fftSize;
                for (int k = kCmdFftSizeFirst; k <= kCmdFftSizeLast; ++k)
                    CheckMenuItem(k, k == command);
                SetStatusText("New FFT size selected");
                RecomputeNow();
                return 1;
            },
            kDisplayCommand);
    // The settings of the external symbol analysis and its view kinds: this program has no
    // analysis, but other programs send them, and they only ever changed what was shown.
    const auto unavailable = [this](int id, int64_t) {
        SetStatusText("Command " + std::to_string(id) + " is not available");
        return 1;
    };
    for (int id = kViewAnalysisMulti; id <= kViewAnalysisMulti + 4; ++id)
        AddCommand({id}, unavailable, kDisplayCommand);
    AddCommand({kViewAnalysisSpectrum, kCmdAnalysisFirst, kCmdAnalysisOption}, unavailable,
               kDisplayCommand);
    for (int id = kCmdAnalysisSetting; id <= kCmdAnalysisLast; ++id)
        if (!commands_.count(id)) AddCommand({id}, unavailable, kDisplayCommand);
}

void CMainFrame::SelectViewType(int kind) {
    CView& v = *view;
    if (IsViewKindCommand(kind)) CheckMenuItem(v.ViewType(), false);
    if (kind == kViewMulti) {
        v.SetViewType(kind, true);
        CheckOnly(kViewKindCommands, v.ViewType());
        SetStatusText("Multi view type selected");
        v.settings.fftPosition = 0;
    } else if (IsSpectrumKind(kind)) {
        v.SetViewType(kind, true);
        CheckOnly(kViewKindCommands, v.ViewType());
        SetStatusText("Frequency domain view type selected");
        v.settings.fftPosition = 0;
        v.recompute.recomputeNeeded = true;
    } else if (IsTimeKind(kind) || kind == kViewCcdf) {
        CheckOnly(kViewKindCommands, kind);
        v.phaseDisplay = false;
        const bool keepZoom = IsTimeKind(v.ViewType());
        v.SetViewType(kind, !keepZoom);
        SetStatusText(kind == kViewCcdf ? "CCDF view type selected"
                                        : "Time domain view type selected");
    } else if (kind == kViewVector) {
        SetStatusText("Vector view type selected");
        CheckOnly(kViewKindCommands, kind);
        v.phaseDisplay = false;
        v.SetViewType(kind, true);
        const int stops = v.AnimationStops();
        v.RequestRedraw();
        PumpMessagesFor(1);
        // The trail travels through the waveform until it ends, or a right click, a new
        // waveform, another view, a tool or closing the window stops it.
        const int n = mainWave.sampleCount;
        for (int i = 0; i + 10 < n; ++i) {
            if (v.AnimationStops() != stops || stopRequest || busy_ || v.ViewType() != kViewVector)
                break;
            v.xStart = i;
            v.xEnd = i + 10;
            v.animationState = 2;
            v.RequestRedraw();
            PumpMessagesFor(1);
        }
        v.animationState = 0;
        if (!busy_) stopRequest = false;  // the trail it stopped has ended
        v.update();
        PumpMessagesFor(1);
    } else if (kind == kViewConstellation) {
        SetStatusText("Constellation view type selected");
        CheckOnly(kViewKindCommands, kind);
        v.SetViewType(kind, true);
    } else if (kind == kCmdPhaseDisplay) {
        v.phaseDisplay = !v.phaseDisplay;
        CheckMenuItem(kCmdPhaseDisplay, v.phaseDisplay);
        SetStatusText(v.phaseDisplay ? "Frequency domain view of phase"
                                     : "Frequency domain view of Magnitude");
        v.settings.phaseWanted = v.phaseDisplay;
        v.engine.trace.phaseWanted = v.phaseDisplay;
    }
}
