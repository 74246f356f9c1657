// Tools commands: the sampling frequency, the filter shape, and the dispatch of every editing
// tool with its timing, mode indicator, worker thread, undo copy and recompute.

#include "app/main_frame.h"
#include "app/view.h"
#include "dsp/remez.h"
#include "tools/fir_ops.h"
#include "tools/tool.h"
#include "tools/tool_dispatch.h"
#include "tools/tool_step.h"
#include "ui/dlg_fir_design.h"
#include "ui/status_bar.h"

namespace {

// The time trace a view kind shows, as the tools know it.
ToolViewState::Trace ToolTraceOf(int kind) {
    using Trace = ToolViewState::Trace;
    return kind == kViewTimeI    ? Trace::I
           : kind == kViewTimeQ  ? Trace::Q
           : kind == kViewTimeIQ ? Trace::IQ
           : IsTimeKind(kind)    ? Trace::Other
                                 : Trace::None;
}

// A tool's prompts through the window's prompter (dialogs with remembered answers) and its
// second file through the frame's file chooser.
class FrameToolInput : public IToolInput {
public:
    FrameToolInput(IPrompter& prompter, std::function<std::string(const std::string&)> chooseFile)
        : prompter_(prompter), chooseFile_(std::move(chooseFile)) {}
    float Float(const PromptSpec& s, float def) override {
        return Noted(prompter_.PromptFloat(s.prompt, s.note, def, s.key));
    }
    double Double(const PromptSpec& s, double def) override {
        return Noted(prompter_.PromptDouble(s.prompt, s.note, def, s.key));
    }
    int Int(const PromptSpec& s, int def) override {
        return Noted(prompter_.PromptInt(s.prompt, s.note, def, s.key));
    }
    std::string Text(const PromptSpec& s, const std::string& def) override {
        return Noted(prompter_.PromptString(s.prompt, s.note, def, s.key));
    }
    std::string FileName(const PromptSpec&, const std::string& title) override {
        std::string path = chooseFile_ ? chooseFile_(title) : std::string();
        cancelled = cancelled || path.empty();
        return path;
    }

private:
    template <class T>
    T Noted(T answer) {
        cancelled = cancelled || prompter_.lastCancelled;
        return answer;
    }
    IPrompter& prompter_;
    std::function<std::string(const std::string&)> chooseFile_;
};

}  // namespace

void CMainFrame::RegisterToolCommands() {
    AddCommand({kCmdFirDesigner}, [this](int, int64_t) {
        OpenDesigner();
        return 1;
    });
    AddCommand({kCmdSampleRate}, [this](int, int64_t) {
        const int v = prompter->PromptInt("Enter the sample rate of the waveform", "", 61'440'000,
                                          "UpdateFS");
        if (v > 0 && v < 2'000'000'000) {
            mainWave.sampleRate = v;
            rateSource_ = "entered";
            // The old frequency span means nothing at the new rate.
            view->ResetZoom();
            view->zoomPending = true;
            ShowDecodeSettings();
            SetStatusText("Sampling frequency changed");
        }
        RecomputeNow();
        return 1;
    });
    AddCommand({kCmdShapeGaussian, kCmdShapeRaisedCosine, kCmdShapeRootRaisedCosine},
               [this](int id, int64_t) {
                   mainWave.filterShape = id - kCmdShapeGaussian + 1;
                   CheckOnly(kShapeCommands, id);
                   SetStatusText(id == kCmdShapeGaussian ? "Gaussian Filter Shape Selected"
                                 : id == kCmdShapeRaisedCosine
                                     ? "Raised Cosine Filter Shape Selected"
                                     : "Root Raised Cosine Filter Shape Selected");
                   return 1;
               });
}

void CMainFrame::OpenDesigner() {
    if (designer_) {  // one designer at a time: a second command brings it forward
        designer_->show();
        designer_->raise();
        designer_->activateWindow();
        return;
    }
    // The taps are a waveform of their own, untitled, so no save can put them under the
    // capture's name; the capture waits in the undo slot with its name.
    TakeUndoCopy();
    SwapFileOrigin(mainWave, undoWave);
    currentFileName = kFirTapsName;
    mainWave.title = kFirTapsName;
    readFileType_ = 0;
    rateSource_ = "kept from before";
    mainWave.recording = RecordingInfo{};
    SetTitleFromPath(kFirTapsName);
    designer_ = new CDlgFIRdesign(this);
    designer_->setAttribute(Qt::WA_DeleteOnClose);
    connect(designer_, &CDlgFIRdesign::DesignChanged, this, [this] { Redesign(false); });
    connect(designer_, &CDlgFIRdesign::FilterCaptureRequested, this, [this] { FilterCapture(); });
    // Closed is done: the dialog deletes itself later, and a command before then starts anew.
    connect(designer_, &QDialog::finished, this, [this] { DesignerClosed(); });
    designer_->PlaceBeside(frameGeometry());
    designer_->show();
    SelectViewType(kViewIQ);
    // The taps are the whole signal: any other window would show their product with the
    // window (a wider transition, no stop-band ripple) instead of the filter's response. The
    // user's window comes back when the designer closes.
    windowBeforeDesigner_ = view->settings.window;
    CheckOnly(kWindowCommands, kWindowRect);
    view->settings.window = static_cast<WindowType>(kWindowRect);
    Redesign(false);
}

void CMainFrame::DesignerClosed() {
    Redesign(true);
    designer_ = nullptr;
    view->engine.filterDesign.reset();
    // The user's own window, unless they chose another meanwhile.
    if (view->settings.window == kWindowRect && windowBeforeDesigner_ != kWindowRect) {
        view->settings.window = windowBeforeDesigner_;
        CheckOnly(kWindowCommands, windowBeforeDesigner_);
        RecomputeNow();
    }
}

void CMainFrame::Redesign(bool closing) {
    if (!designer_ || designerDetached_) return;
    if (busy_) {
        SetStatusText("Wait for the running work to end, or press Stop");
        return;
    }
    if (WorkerRunning() && !StopWorker()) return;
    const CDlgFIRdesign& d = *designer_;
    const int w = d.Weighting();
    const RemezResult r =
        RemezDesign(d.Taps(), {{0.0, d.PassbandEdge(), 1.0, static_cast<double>(w)},
                               {d.StopbandEdge(), 0.5, 0.0, static_cast<double>(11 - w)}});
    // A design that did not settle is far from equiripple: the last one that did stays.
    if (r.taps.empty() || !r.converged) {
        SetStatusText(closing ? "FIR Filter created from the last design that settled. Taps "
                                "appear as samples"
                              : "ERR: The design does not settle for these edges and taps; the "
                                "taps shown are the last design that did");
        return;
    }
    // The taps become the samples, in I and Q alike, so the spectrum view shows the response.
    const int n = static_cast<int>(r.taps.size());
    mainWave.EnsureTimeDomain(true);
    mainWave.AllocateScratch(n);
    for (int i = 0; i < n; ++i)
        mainWave.scratchI[i] = mainWave.scratchQ[i] = static_cast<float>(r.taps[i]);
    mainWave.SwapScratch();
    SetModified(true);
    if (closing) {
        view->engine.filterDesign.reset();
    } else {
        const LowPassFigures figures = MeasureLowPass(r.taps, d.PassbandEdge(), d.StopbandEdge());
        view->engine.filterDesign = cPlotEngine::FilterDesignReadout{figures.passbandRippleDb,
                                                                     figures.stopbandAttenuationDb};
    }
    RecomputeNow();
    SetStatusText(closing ? "FIR Filter created. Taps appear as samples"
                          : "FIR design: " + std::to_string(n) + " taps");
}

void CMainFrame::FilterCapture() {
    if (!designer_ || busy_) return;
    // The capture is in the undo slot since the designer opened (commands that could have
    // changed that close the designer first): it comes back with its name, then the taps of
    // the design filter it as Tools > Filter > FIR does, with the capture as the undo copy.
    std::vector<float> taps(static_cast<size_t>(mainWave.sampleCount));
    for (int i = 0; i < mainWave.sampleCount; ++i)
        taps[static_cast<size_t>(i)] = mainWave.I[i];
    cWaveform tapWave;
    tapWave.AllocateScratch(static_cast<int>(taps.size()));
    std::copy(taps.begin(), taps.end(), tapWave.scratchI.begin());
    std::copy(taps.begin(), taps.end(), tapWave.scratchQ.begin());
    tapWave.SwapScratch();
    designerDetached_ = true;
    designer_->close();
    UndoLastAction();
    const std::vector<float> normalised = NormalisedTaps(tapWave);
    TakeUndoCopy();
    ToolContext ctx;
    ctx.stop = &stopRequest;
    ctx.progress = [this](int percent) { statusBar->SetProgress(percent); };
    SetStatusText("Filtering the capture with the designed taps...");
    const bool done = RunBusy([&] { return CircularFir(mainWave, normalised, ctx) ? 1 : 0; },
                              "filtering with the designed taps") == 1;
    designerDetached_ = false;
    if (!done) UndoLastAction();  // stopped: the capture as it was, the undo slot as before
    SetModified(true);
    RecomputeNow();
    SetStatusText(done ? "Waveform filtered with the designed taps (" +
                             std::to_string(taps.size()) + " taps)"
                       : "Stopped: the capture is as it was");
}

void CMainFrame::ToolDispatch(int id) {
    const ToolRow* info = FindTool(id);
    if (!info) {
        SetStatusText("Command " + std::to_string(id) + " is not available");
        return;
    }
    FrameToolInput input(*prompter, chooseToolFile);
    RunToolWith(*info, input);
}

int CMainFrame::RunToolStep(const std::string& text, std::string& error) {
    ToolStep step;
    error = ParseToolStep(text, step);
    if (!error.empty()) {
        SetStatusText("ERR: " + error);
        return kErrUnknownTool;
    }
    // As a tool from the menu: refused while work runs, play-through or monitoring stopped.
    if (!MayRunCommand(step.tool->id)) {
        error = "the window is busy";
        return kErrStopped;
    }
    cStepInput input(step);
    return RunToolWith(*step.tool, input);
}

int CMainFrame::RunToolWith(const ToolRow& info, IToolInput& input) {
    ToolContext ctx;
    ctx.input = &input;
    ctx.status = [this](const std::string& text) { SetStatusText(text); };
    ctx.notice = showNotice;
    ctx.view.timeTrace = ToolTraceOf(view->ViewType());
    ctx.view.zoomFirst = static_cast<int64_t>(view->xStart + 0.5);
    ctx.view.zoomLast = static_cast<int64_t>(view->xEnd + 0.5);
    ctx.stop = &stopRequest;
    ctx.progress = [this](int percent) { statusBar->SetProgress(percent); };
    ctx.seed = toolSeed;
    ctx.fileType = mainWave.fileType;
    // A large second file is read with the window live, as a large Open is.
    ctx.readAside = [this](int64_t bytes, const std::function<int()>& work) {
        return bytes >= 4 * busyThresholdSamples && !busy_ ? RunBusy(work, "reading a file")
                                                           : work();
    };

    // The state before the tool is kept aside while it runs; it becomes the undo copy only
    // when the tool changed the waveform, so a refused or stopped tool keeps the old one.
    const Identity before = CurrentIdentity();
    ToolHost host;
    bool worked = false;
    host.run = [this, &info, &worked](const std::function<int()>& work) {
        // The work is timed and shown as "CALC" from here: not the time the questions took.
        worked = true;
        statusBar->StartTiming();
        if (statusBar->isVisible()) statusBar->SetMode(kModeCalculating);
        return RunBusy(work, std::string("the tool ") + info.name);
    };
    host.prepareUndo = [this](const cWaveform& wave) {
        if (undoEnabled) pendingUndo_.CopyFrom(wave);
    };
    host.finishUndo = [this, &before](bool keep) {
        if (keep && undoEnabled) {
            SwapSamples(undoWave, pendingUndo_);
            undoIdentity_ = before;
            undoAvailable_ = true;
            undoRedoes_ = false;
            UpdateUndoAction();
        }
        pendingUndo_.Clear();
    };
    const int64_t rateBefore = mainWave.sampleRate;
    const int code = RunTool(info, ctx, mainWave, host);
    if (code == kToolOk || ctx.keptPartial) SetModified(true);
    if (mainWave.sampleRate != rateBefore) {
        // A resampling tool: the axes, panels and decode settings follow the new rate.
        rateSource_ = std::string("after ") + info.name;
        view->ResetZoom();
        view->zoomPending = true;
        ShowDecodeSettings();
    }

    RecomputeNow();
    if (worked) statusBar->StopTiming();
    if (statusBar->isVisible()) statusBar->SetMode(kModeIdle);
    return code;
}
