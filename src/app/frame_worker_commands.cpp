// Processed Views commands that start workers: play-through and file monitoring, and the
// frame's rules while one runs (commands that are not pure display settings stop it first).

#include <QCoreApplication>

#include "app/main_frame.h"
#include "app/view.h"
#include "ui/status_bar.h"
#include "waveform/message_pump.h"
#include "workers/file_monitor.h"
#include "workers/play_through.h"

namespace {
constexpr int kStopWaitMs = 5000;
}  // namespace

bool CMainFrame::WorkerRunning() const { return view->playThroughState.load() > 0; }

bool CMainFrame::StopWorker() {
    if (!WorkerRunning()) {
        if (workerThread_.joinable()) workerThread_.join();
        return true;
    }
    stopRequest = true;
    // The window stays live while it waits; what arrives meanwhile is refused as busy work.
    stoppingWorker_ = true;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopWaitMs);
    while (view->playThroughState.load() > 0 && std::chrono::steady_clock::now() < deadline)
        PumpMessagesFor(10);
    stoppingWorker_ = false;
    const bool stopped = view->playThroughState.load() <= 0;
    if (stopped) {
        workerThread_.join();
        // The worker's last words (marks, texts) arrive before what the command says.
        QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    }
    stopRequest = false;
    return stopped;
}

void CMainFrame::RegisterWorkerCommands() {
    AddCommand({kCmdPlayThrough}, [this](int, int64_t) {
        StartPlayThrough();
        return 1;
    });
    AddCommand({kCmdMonitorReload, kCmdMonitorAppend, kCmdMonitorAverage}, [this](int id, int64_t) {
        monitorMode_ = id == kCmdMonitorAppend    ? kMonitorAppendMode
                       : id == kCmdMonitorAverage ? kMonitorAverageMode
                                                  : kMonitorReload;
        CheckMenuItem(id, true);
        StartMonitoring();
        return 1;
    });
}

WorkerLink CMainFrame::LinkForWorker() {
    WorkerLink link;
    link.waveLock = &waveLock_;
    // On the worker thread, under the lock: the view's recompute reaches its widgets through
    // queued calls.
    link.recompute = [this] {
        view->recompute.recomputeNeeded = true;
        view->Recompute(0);
    };
    link.status = [this](const std::string& text) { SetStatusText(text); };
    link.fftSize = [this] { return workerFftSize_.load(); };
    return link;
}

void CMainFrame::StartPlayThrough() {
    // Segments of the last recompute's transform length must fit twice.
    if (!PlayThroughFits(view->engine.trace.N, mainWave.sampleCount)) {
        SetStatusText("FFT Size to large engage playback. Reduce FFT Size");
        return;
    }
    if (workerThread_.joinable()) workerThread_.join();  // one that ended by itself
    CheckMenuItem(kCmdPlayThrough, true);
    const int previousMode = statusBar->Mode();
    if (statusBar->isVisible()) statusBar->SetMode(kModeIdle);
    statusBar->SetStopButtonVisible(true);
    workerIdle_ = false;
    stopRequest = false;
    view->playThroughState = kPlayStatePlaying;
    workerFftSize_ = view->settings.fftSize;
    const WorkerLink link = LinkForWorker();
    workerThread_ = std::thread([this, link, previousMode] {
        RunPlayThrough(mainWave, link, stopRequest);
        QMetaObject::invokeMethod(
            this, [this, previousMode] { WorkerEnded(kCmdPlayThrough, previousMode); },
            Qt::QueuedConnection);
        view->playThroughState = kPlayStateIdle;
    });
}

void CMainFrame::StartMonitoring() {
    if (currentFileName.empty() || currentFileName == "New Waveform" ||
        currentFileName == kFirTapsName) {
        CheckOnly({kCmdMonitorReload, kCmdMonitorAppend, kCmdMonitorAverage}, 0);
        SetStatusText("Open a file to monitor first");
        return;
    }
    if (workerThread_.joinable()) workerThread_.join();  // one that ended by itself
    workerIdle_ = false;
    stopRequest = false;
    view->playThroughState = kPlayStateMonitoring;
    const int previousMode = statusBar->Mode();
    if (statusBar->isVisible()) statusBar->SetMode(kModeAcquiring);
    reloadCount_ = 0;
    statusBar->SetCount(0);
    statusBar->StartTiming();
    SetStatusText("File Monitoring...");
    statusBar->SetStopButtonVisible(true);
    WorkerLink link = LinkForWorker();
    link.onReload = [this](double seconds) {
        QMetaObject::invokeMethod(
            this,
            [this, seconds] {
                statusBar->SetCount(++reloadCount_);
                statusBar->PostElapsed(seconds);
                statusBar->SetProgress(-1);
            },
            Qt::QueuedConnection);
    };
    const std::string path = currentFileName;
    workerThread_ = std::thread([this, link, path, previousMode] {
        RunFileMonitor(mainWave, path, monitorMode_, link, stopRequest);
        QMetaObject::invokeMethod(
            this, [this, previousMode] { WorkerEnded(kCmdMonitorReload, previousMode); },
            Qt::QueuedConnection);
        view->playThroughState = kPlayStateIdle;
    });
}

void CMainFrame::WorkerEnded(int kind, int previousMode) {
    if (kind == kCmdPlayThrough) {
        CheckMenuItem(kCmdPlayThrough, false);
        SetStatusText("Stopped Play thorugh file");
        if (statusBar->isVisible()) statusBar->SetMode(previousMode);
    } else {
        CheckOnly({kCmdMonitorReload, kCmdMonitorAppend, kCmdMonitorAverage}, 0);
        SetStatusText("Stopped Monitoring");
        if (statusBar->isVisible()) statusBar->SetMode(kModeIdle);
    }
    statusBar->SetStopButtonVisible(false);
    // The count of reloads belongs to the monitoring that ended.
    statusBar->SetCount(0);
    workerIdle_ = true;
    // The stop button's request was for this worker; the next command must not see it.
    stopRequest = false;
}
