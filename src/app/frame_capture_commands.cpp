// Captures larger than a waveform holds: the strip with the whole file's overview, computed
// on a worker thread, and the ranges loaded from it (dragged on the strip or typed under
// Capture > Load Range…).

#include <QDockWidget>
#include <chrono>

#include "app/capture_strip.h"
#include "app/main_frame.h"
#include "app/view.h"
#include "display/value_format.h"
#include "ui/status_bar.h"
#include "waveform/capture_source.h"
#include "waveform/file_messages.h"
#include "waveform/sigmf.h"

void CMainFrame::RegisterCaptureCommands() {
    captureStrip_ = new CCaptureStrip;
    captureStrip_->setObjectName("captureStrip");
    captureStrip_->onRangeChosen = [this](int64_t first, int64_t count) {
        if (MayRunCommand(kCmdLoadRange)) LoadCaptureRange(first, count);
    };
    captureDock_ = new QDockWidget("Whole capture", this);
    captureDock_->setObjectName("captureDock");
    captureDock_->setFeatures(QDockWidget::NoDockWidgetFeatures);
    captureDock_->setWidget(captureStrip_);
    addDockWidget(Qt::TopDockWidgetArea, captureDock_);
    captureDock_->hide();

    AddCommand({kCmdLoadRange}, [this](int, int64_t) {
        if (!capture_) {
            SetStatusText(
                "ERR: Load Range reads a binary capture: open one first (text files are read "
                "whole)");
            return 1;
        }
        const double rate = static_cast<double>(mainWave.sampleRate);
        const std::string note = BaseName(capture_->Path()) + " holds " +
                                 GroupThousands(capture_->SampleCount()) + " samples (" +
                                 FormatDuration(capture_->SampleCount(), mainWave.sampleRate) + ")";
        const std::string startText = prompter->PromptString(
            "Range start: samples, or seconds with s (12.5s)", note, "0s", "CaptureRangeStart");
        if (prompter->lastCancelled) {
            SetStatusText("Cancelled");
            return 1;
        }
        const std::string lengthText = prompter->PromptString(
            "Range length: samples, or seconds with s (0.25s)", note, "1s", "CaptureRangeLength");
        if (prompter->lastCancelled) {
            SetStatusText("Cancelled");
            return 1;
        }
        const auto first = SamplesFromText(startText, rate);
        const auto count = SamplesFromText(lengthText, rate);
        if (!first || !count) {
            SetStatusText("ERR: Load Range takes samples, or seconds with s: '" +
                          (!first ? startText : lengthText) + "' is neither");
            return 1;
        }
        LoadCaptureRange(*first, *count);
        return 1;
    });
}

std::shared_ptr<cCaptureSource> CMainFrame::MapCapture(const std::string& path, int fileType,
                                                       int64_t channel) {
    auto capture = std::make_shared<cCaptureSource>();
    // Text files and files that cannot be mapped have no capture: they are read whole.
    if (!capture->Open(path, fileType, channel).empty()) return nullptr;
    return capture;
}

void CMainFrame::UseCapture(std::shared_ptr<cCaptureSource> capture) {
    CloseCapture();
    capture_ = std::move(capture);
    if (!capture_ || capture_->SampleCount() * capture_->BytesPerSample() <= kMaxFileBytes) return;
    const int64_t rate =
        capture_->NamedSampleRate() > 0 ? capture_->NamedSampleRate() : mainWave.sampleRate;
    captureStrip_->Reset(capture_->SampleCount(), rate);
    captureDock_->show();
    StartOverview();
}

void CMainFrame::CloseCapture() {
    StopOverview();
    capture_.reset();
    if (captureStrip_) captureStrip_->Reset(0, 1);
    if (captureDock_) captureDock_->hide();
}

void CMainFrame::StopOverview() {
    overviewStop_ = true;
    if (overviewThread_.joinable()) overviewThread_.join();
    overviewStop_ = false;
}

void CMainFrame::StartOverview() {
    StopOverview();
    const std::shared_ptr<cCaptureSource> capture = capture_;
    const int columns = std::max(64, captureStrip_->ColumnsWanted());
    overviewIdle_ = false;
    captureStrip_->SetNote("Overview: 0 %");
    overviewThread_ = std::thread([this, capture, columns] {
        // What the strip shows arrives by queued calls, at most every 50 ms, in order.
        const auto post = [this](const CaptureOverview& o, const std::string& note) {
            QMetaObject::invokeMethod(
                this,
                [this, o, note] {
                    captureStrip_->SetOverview(o);
                    captureStrip_->SetNote(note);
                },
                Qt::QueuedConnection);
        };
        auto last = std::chrono::steady_clock::now() - std::chrono::seconds(1);
        int percent = 0;
        WorkControl control;
        control.stop = &overviewStop_;
        control.progress = [&percent](int p) { percent = p; };
        CaptureOverview overview;
        const std::string why =
            ComputeCaptureOverview(*capture, 0, capture->SampleCount(), columns, overview, control,
                                   [&](const CaptureOverview& partial) {
                                       const auto now = std::chrono::steady_clock::now();
                                       if (now - last < std::chrono::milliseconds(50)) return;
                                       last = now;
                                       post(partial, "Overview: " + std::to_string(percent) + " %");
                                   });
        const std::string note = why.empty()        ? ""
                                 : why == "stopped" ? "Overview stopped"
                                                    : "Overview ended: " + why;
        post(overview, note);
        if (!why.empty() && why != "stopped") SetStatusText("ERR: " + why);
        overviewIdle_ = true;
    });
}

int CMainFrame::LoadCaptureRange(int64_t first, int64_t count) {
    if (!capture_) return kErrLoadFailed;
    if (!MayDiscardEdits()) return 0;
    const std::string path = capture_->Path();
    cWaveform loaded;
    loaded.sampleRate = mainWave.sampleRate;
    std::string why;
    const bool large = count * capture_->BytesPerSample() >= 4 * busyThresholdSamples;
    const auto load = [&] { return loaded.LoadRange(*capture_, first, count, &why); };
    const int result =
        large && !busy_ ? RunBusy(load, "loading a range of " + BaseName(path)) : load();
    if (result != 0) {
        SetStatusText("ERR: Load Range failed: " + why);
        return result;
    }
    AdoptLoadedWaveform(loaded, path);
    // Time markers count the samples of the range they were placed on.
    view->timeMarkers = {};
    SetModified(false);
    SetTitleFromPath(RangeTitle(path, first, count, mainWave.sampleRate));
    ShowDecodeSettings();
    CheckMenuItem(kCmdReparseMode, true);
    CheckMenuItem(kCmdSaveTypeMode, false);
    view->recompute.recomputeNeeded = true;
    captureStrip_->SetRange(first, count);
    SetStatusText(LoadNotes(mainWave));
    RecomputeNow();
    return 0;
}
