#include "app/main_frame.h"

#include "app/annotation_dock.h"
#include "app/marker_dock.h"

#include <unistd.h>

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QRegularExpression>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <chrono>
#include <cmath>
#include <thread>

#include "app/command_line.h"
#include "app/menu_layout.h"
#include "app/view.h"
#include "display/value_format.h"
#include "measure/measurements.h"
#include "ui/dialog_prompter.h"
#include "ui/dlg_fir_design.h"
#include "ui/status_bar.h"
#include "waveform/capture_source.h"
#include "waveform/file_messages.h"
#include "waveform/message_pump.h"
#include "waveform/number_format.h"
#include "waveform/sample_rate_name.h"

CMainFrame::CMainFrame(QSettings* store) : store_(store ? store : &ProgramSettings()) {
    char cwd[4096];
    startDirectory = getcwd(cwd, sizeof cwd) ? cwd : ".";
    settings_ = ReadAppSettings(*store_);
    mainWave.fileType = settings_.fileType;
    chosenFileType_ = settings_.fileType;
    mainWave.sampleRate = settings_.sampleRateHz;
    lteDuplex = settings_.lteDuplex;

    view = new CView(&mainWave, &stopRequest, this);
    view->settings.fftSize = settings_.fftSize;
    view->onViewTypeChanged = [this](int type) { CheckOnly(kViewKindCommands, type); };
    view->onSelectViewType = [this](int kind) { SelectViewType(kind); };
    view->onFileDropped = [this](const QString& path) {
        if (busy_) {
            SetStatusText("Wait for the running work to end, or press Stop");
            return;
        }
        if (path.isEmpty()) {
            SetStatusText("Dropping multiple files is not supported.");
            return;
        }
        if (!MayRunCommand(kCmdOpen) || !MayDiscardEdits()) return;
        if (OpenWaveformFile(path.toStdString(), true) == 0) RecomputeNow();
    };
    view->onBeforeSampleEdit = [this] { BeforeKeyEdit(); };
    view->waveLock = &waveLock_;
    setCentralWidget(view);
    statusBar = new cQRVNStatusBar(stopRequest, this);
    setStatusBar(statusBar);

    RegisterFileCommands();
    RegisterViewCommands(*this);
    AddCommand(
        {kCmdStatusBar},
        [this](int, int64_t) {
            statusBar->setVisible(!statusBar->isVisible());
            CheckMenuItem(kCmdStatusBar, statusBar->isVisible());
            return 1;
        },
        kAnyTimeCommand);

    RegisterAxisCommands(*this);
    RegisterMeasureCommands(*this);
    RegisterToolCommands();
    RegisterWorkerCommands();
    RegisterCaptureCommands();
    RegisterSpectrogramCommands();
    RegisterMarkerCommands();
    RegisterModulationCommands();
    RegisterAnnotationCommands();
    BuildMenus(
        menuBar(), MainMenuLayout(), [this](int id) { OnCommand(id); }, actions_);
    recentMenu_ = menuBar()->findChild<QMenu*>("Recent Files");
    AddWindowShortcut(kCmdPrint, QKeySequence(Qt::CTRL | Qt::Key_P));
    // Ctrl+Z answers even while the menu entry is greyed, so an empty undo says so.
    AddWindowShortcut(kCmdUndo, QKeySequence(Qt::CTRL | Qt::Key_Z));
    for (const QString& p : store_->value("RecentFiles").toStringList())
        if (recentFiles_.size() < kRecentFileCount && !p.isEmpty())
            recentFiles_.push_back(p.toStdString());
    RebuildRecentMenu();

    ownPrompter_ = std::make_unique<cDialogPrompter>(this);
    prompter = ownPrompter_.get();
    // Headerless files are read in the chosen file type; the others by their name.
    static const QString kWaveformFilters =
        "Waveform Files (*);;All files (*);;SigMF recordings (*.sigmf-meta *.sigmf);;"
        "Complex float32 (*.cf32 *.fc32 *.cfile);;Complex int16 (*.cs16 *.sc16);;"
        "Complex int8 (*.cs8);;Complex uint8 (*.cu8);;Complex float64 (*.cf64 *.fc64);;"
        "Complex int32 (*.ci32 *.cs32);;WAV I/Q (*.wav *.rf64)";
    chooseOpenFile = [this] {
        const QString folder =
            QString::fromStdString(settings_.waveformFolder.value_or(startDirectory));
        return QFileDialog::getOpenFileName(this, "Open Waveform", folder, kWaveformFilters)
            .toStdString();
    };
    chooseSaveFile = [this] {
        // The name offered says the rate the samples have now; the type list starts at the
        // type that will be written.
        const QString offered =
            QString::fromStdString(NameWithSampleRate(currentFileName, mainWave.sampleRate));
        const QString headerless =
            QString::fromStdString("File type " + FileTypeLabel(chosenFileType_) + " (*)");
        const QString cf32 = "Complex float32 (*.cf32 *.cfile)", cs8 = "Complex int8 (*.cs8)",
                      cu8 = "Complex uint8 (*.cu8)", cf64 = "Complex float64 (*.cf64)",
                      ci32 = "Complex int32 (*.ci32)";
        QString filter = mainWave.fileType == kFileCf32Le   ? cf32
                         : mainWave.fileType == kFileCs8    ? cs8
                         : mainWave.fileType == kFileCu8    ? cu8
                         : mainWave.fileType == kFileCf64Le ? cf64
                         : mainWave.fileType == kFileCi32Le ? ci32
                                                            : headerless;
        const QString filters = headerless + ";;" + cf32 + ";;" + cs8 + ";;" + cu8 + ";;" + cf64 +
                                ";;" + ci32 +
                                ";;SigMF recordings (*.sigmf-meta);;SigMF archive (*.sigmf);;"
                                "WAV I/Q (*.wav);;All files (*)";
        QString name =
            QFileDialog::getSaveFileName(this, "Save Waveform as", offered, filters, &filter);
        // A name without an extension takes the one of the format chosen in the dialog.
        const int star = filter.indexOf("*.");
        if (!name.isEmpty() && star >= 0 && !QFileInfo(name).fileName().contains('.'))
            name += filter.mid(star + 1).section(QRegularExpression("[ )]"), 0, 0);
        return name.toStdString();
    };
    chooseExportFile = [this] {
        return QFileDialog::getSaveFileName(this, "Export FFT Data", QString(),
                                            "text files (*.csv)")
            .toStdString();
    };
    chooseToolFile = [this](const std::string& title) {
        const QString folder =
            QString::fromStdString(settings_.waveformFolder.value_or(startDirectory));
        return QFileDialog::getOpenFileName(this, QString::fromStdString(title), folder,
                                            "Waveform Files (*)")
            .toStdString();
    };
    confirm = [this](const std::string& title, const std::string& text) {
        return QMessageBox::question(
                   this, QString::fromStdString(title), QString::fromStdString(text),
                   QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    };
    showNotice = [this](const std::string& title, const std::string& text) {
        QMessageBox::warning(this, QString::fromStdString(title), QString::fromStdString(text));
    };
    inform = [this](const std::string& title, const std::string& text) {
        QMessageBox::information(this, QString::fromStdString(title), QString::fromStdString(text));
    };
    askSaveChanges = [this](const std::string& name) {
        const auto answer = QMessageBox::question(
            this, "Quorvalen", QString::fromStdString("Save changes to " + name + "?"),
            QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, QMessageBox::Save);
        return answer == QMessageBox::Save      ? SaveChoice::Save
               : answer == QMessageBox::Discard ? SaveChoice::Discard
                                                : SaveChoice::Cancel;
    };
    toolSeed = [] {
        const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::steady_clock::now().time_since_epoch())
                            .count();
        return static_cast<int32_t>(-(1 + ms % 2147483646));
    };
    setAcceptDrops(true);
    setWindowTitle("Quorvalen[*]");
    UpdateUndoAction();
    ShowDecodeSettings();
    resize(1200, 800);
}

CMainFrame::~CMainFrame() {
    // The docks hide as the window goes; nothing of the frame may answer them by then.
    disconnect(markerDock_, nullptr, this, nullptr);
    disconnect(annotationDock_, nullptr, this, nullptr);
    view->spectrogram->drawAnnotations = nullptr;
    view->onMarkersChanged = nullptr;
    view->spectrogram->onPainted = nullptr;
    StopOverview();
    StopDigestCheck();
    stopRequest = true;
    if (workerThread_.joinable()) workerThread_.join();
    QStringList recent;
    for (const std::string& p : recentFiles_)
        recent << QString::fromStdString(p);
    store_->setValue("RecentFiles", recent);
    settings_.fileType = chosenFileType_;
    settings_.sampleRateHz = mainWave.sampleRate;
    settings_.fftSize = view->settings.fftSize;
    settings_.lteDuplex = lteDuplex;
    WriteAppSettings(*store_, settings_);
}

void CMainFrame::AddCommand(std::initializer_list<int> ids, const CommandHandler& handler,
                            CommandTraits traits) {
    for (int id : ids)
        commands_[id] = {handler, traits};
}

bool CMainFrame::AllowedWhileBusy(int id) const {
    // Nothing that reads or changes the samples while a worker holds them.
    const auto it = commands_.find(id);
    return it != commands_.end() && it->second.traits.whileBusy;
}

bool CMainFrame::IsDisplayCommand(int id) const {
    const auto it = commands_.find(id);
    return it != commands_.end() && it->second.traits.display;
}

bool CMainFrame::MayRunCommand(int id) {
    if ((busy_ || stoppingWorker_) && !AllowedWhileBusy(id)) {
        SetStatusText("Wait for the running work to end, or press Stop");
        return false;
    }
    // A running worker owns the samples: anything but a display setting stops it first.
    if (WorkerRunning() && !IsDisplayCommand(id) && !StopWorker()) return false;
    // So does the FIR designer, which would write its next taps over what the command leaves;
    // its last design stays.
    const bool keepsSamples = id == kCmdFirDesigner || id == kCmdSave || id == kCmdSaveAs ||
                              id == kCmdExportFft || id == kCmdPrint;
    if (designer_ && !IsDisplayCommand(id) && !keepsSamples) designer_->close();
    keyEditRun_ = false;  // any command ends a run of key edits
    return true;
}

int CMainFrame::OnCommand(int id, int64_t value) {
    const bool workerWasRunning = WorkerRunning();
    if (!MayRunCommand(id)) return 0;
    // The worker commands only stop a running worker (or, 40007, stop it and start afresh).
    if (workerWasRunning &&
        (id == kCmdPlayThrough || id == kCmdMonitorAppend || id == kCmdMonitorAverage)) {
        CheckMenuItem(id, false);
        return 1;
    }
    const auto it = commands_.find(id);
    if (it != commands_.end()) return it->second.handler(id, value);
    ToolDispatch(id);
    view->setFocus();
    return 1;
}

QAction* CMainFrame::ActionFor(int id) const {
    auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

void CMainFrame::AddWindowShortcut(int id, const QKeySequence& key) {
    // Commands without a menu entry still answer their keys.
    auto* a = new QAction(this);
    a->setShortcut(key);
    a->setData(id);
    addAction(a);
    connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    actions_.emplace(id, a);  // a menu entry of the same id stays the one to check and grey
}

CMainFrame::Identity CMainFrame::CurrentIdentity() const {
    return {currentFileName,       readFileType_, modified_,
            mainWave.saveTypeMode, rateSource_,   chosenFileType_};
}

void CMainFrame::RestoreIdentity(const Identity& id) {
    currentFileName = id.fileName;
    readFileType_ = id.readFileType;
    mainWave.saveTypeMode = id.saveTypeMode;
    mainWave.title = id.fileName;
    rateSource_ = id.rateSource;
    chosenFileType_ = id.chosenFileType;
    CheckOnly({kCmdReparseMode, kCmdSaveTypeMode},
              id.saveTypeMode == 0 ? kCmdReparseMode : kCmdSaveTypeMode);
    SetTitleFromPath(id.fileName);
}

void CMainFrame::SelectViewType(int kind) { SelectView(*this, kind); }

void CMainFrame::SetModified(bool modified) {
    modified_ = modified;
    setWindowModified(modified);
}

void CMainFrame::UpdateUndoAction() {
    if (QAction* a = ActionFor(kCmdUndo)) {
        a->setEnabled(undoAvailable_);
        // One level that swaps: right after an undo, the same key brings the change back.
        a->setText(undoRedoes_ ? "&Redo\tCtrl+Z" : "&Undo\tCtrl+Z");
    }
}

void CMainFrame::TakeUndoCopy() {
    if (!undoEnabled) return;
    undoWave.CopyFrom(mainWave);
    undoIdentity_ = CurrentIdentity();
    undoAvailable_ = true;
    undoRedoes_ = false;
    UpdateUndoAction();
}

void CMainFrame::UndoLastAction() {
    if (!undoAvailable_) {
        SetStatusText("Nothing to undo");
        return;
    }
    UndoExchange(mainWave, undoWave);
    const Identity restored = undoIdentity_;
    undoIdentity_ = CurrentIdentity();
    RestoreIdentity(restored);
    // The raw bytes stay with the file they came from: after an undo across New they may not
    // be these samples' any more, so a re-parse must not decode them.
    if (restored.fileName != undoIdentity_.fileName) SwapFileOrigin(mainWave, undoWave);
    CheckOnly(kFileTypeCommands, mainWave.fileType);
    SetModified(true);
    undoRedoes_ = !undoRedoes_;
    UpdateUndoAction();
    view->recompute.recomputeNeeded = true;
    ShowDecodeSettings();
    SetStatusText("Undo complete");
}

void CMainFrame::BeforeKeyEdit() {
    // One undo copy for a run of key edits: copying a large capture on every key press would
    // make holding "Q" crawl.
    if (!keyEditRun_) TakeUndoCopy();
    keyEditRun_ = true;
    SetModified(true);
}

void CMainFrame::ShowDecodeSettings() {
    if (!statusBar) return;
    std::string text =
        FileTypeLabel(mainWave.fileType) + " \u00b7 " + FormatSampleRate(mainWave.sampleRate);
    if (!rateSource_.empty()) text += " (" + rateSource_ + ")";
    if (const auto& centre = mainWave.recording.centreFrequencyHz)
        text += " \u00b7 centre " + CentreFrequencyText(*centre);
    if (mainWave.recording.channelCount > 1)
        text += " \u00b7 channel " + std::to_string(mainWave.recording.channel) + " of " +
                std::to_string(mainWave.recording.channelCount);
    // The start time of the capture segment the samples begin in.
    if (const SigmfSegment* segment = mainWave.recording.SegmentAt(mainWave.source.firstSample);
        segment && !segment->datetime.empty())
        text += " \u00b7 recorded " + segment->datetime;
    if (overFullScaleDb_ > 0.0)
        text += " \u00b7 " + Fixed(overFullScaleDb_, 1) + " dB over full scale";
    const SourceFile& s = mainWave.source;
    if (s.IsRange() && s.ReadInPart())
        text += " \u00b7 " +
                RangeTitle("range", s.firstSample, mainWave.sampleCount, mainWave.sampleRate);
    statusBar->SetDecodeText(text);
    // The annotations belong to the samples the pane describes.
    if (annotationDock_) RefreshAnnotations();
}

void CMainFrame::SetStatusText(const std::string& text) {
    if (QThread::currentThread() != thread()) {
        // Queued calls keep their order; RunBusy delivers them before it returns.
        QMetaObject::invokeMethod(
            this, [this, text] { SetStatusText(text); }, Qt::QueuedConnection);
        return;
    }
    lastStatus = text;
    if (statusBar) statusBar->PostStatusMessage(text);
    if (onStatusText) onStatusText(text);
}

bool CMainFrame::IsChecked(int id) const {
    auto it = actions_.find(id);
    return it != actions_.end() && it->second->isChecked();
}

void CMainFrame::CheckMenuItem(int id, bool checked) {
    if (auto it = actions_.find(id); it != actions_.end()) it->second->setChecked(checked);
}

void CMainFrame::CheckOnly(const int* first, const int* last, int id) {
    for (const int* g = first; g != last; ++g)
        CheckMenuItem(*g, *g == id);
}

void CMainFrame::SyncMeasureChecks() {
    for (int id : kMeasureCommands)
        CheckMenuItem(id, view->engine.measurements.IsChecked(id));
    for (int id : kMaskTypeCommands)
        CheckMenuItem(id, view->engine.measurements.IsChecked(id));
}

void CMainFrame::RecomputeNow() {
    view->recompute.recomputeNeeded = true;
    if (WorkerRunning()) {
        // A display setting while a worker runs: the worker's lock keeps the two apart.
        std::lock_guard lock(waveLock_);
        view->Recompute(0);
    } else if (mainWave.sampleCount >= busyThresholdSamples && !busy_) {
        // A long capture: spectrum, and the CCDF sort a 4-up or CCDF view will need, off the
        // GUI thread. The view shows its last picture meanwhile.
        const int kind = view->ViewType();
        RunBusy(
            [this, kind] {
                view->Recompute(0);
                if (kind == kViewMulti || kind == kViewCcdf) view->engine.CcdfFor(mainWave);
                return 0;
            },
            "a spectrum recompute");
    } else {
        view->Recompute(0);
    }
    view->update();
    AfterRecompute();
}

void CMainFrame::AfterRecompute() {
    // The work a stop request was for has ended: later recomputes must run again. (A running
    // worker has yet to see its stop.)
    if (!WorkerRunning()) stopRequest = false;
    statusBar->PostElapsed(view->recompute.lastDurationSeconds);
    // A measurement may have switched itself off: the marks follow, and the status bar says
    // why.
    SyncMeasureChecks();
    const std::string& notice = view->engine.measurements.results.notice;
    if (!notice.empty()) SetStatusText(notice);
    const int n = mainWave.sampleCount;
    if (n > 0 && n < 8 && !view->engine.trace.traceValid && ComputesSpectrum(view->ViewType()))
        SetStatusText("Too few samples for a spectrum: " + std::to_string(n) + " (8 needed)");
}

int CMainFrame::RunBusy(const std::function<int()>& work, const std::string& what) {
    busy_ = true;
    busyWhat_ = what;
    view->SetFrozen(true);
    statusBar->SetProgress(0);
    statusBar->SetStopButtonVisible(true);
    std::atomic<bool> done{false};
    int result = 0;
    std::thread worker([&] {
        result = work();
        done = true;
    });
    // The event loop turns (repaints, timers, the stop button) until the work is done.
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done) loop.quit();
    });
    poll.start(5);
    if (!done) loop.exec();
    worker.join();
    // Texts the worker posted come before whatever the caller says next.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
    statusBar->SetStopButtonVisible(false);
    statusBar->SetProgress(100);
    view->SetFrozen(false);
    busy_ = false;
    busyWhat_.clear();
    // The work a stop was pressed for has ended; the next one must not take it as its own.
    stopRequest = false;
    return result;
}

void CMainFrame::SetTitleFromPath(const std::string& path) {
    setWindowTitle(QString::fromStdString("Quorvalen - " + path + "[*]"));
    setWindowModified(modified_);
}

void CMainFrame::OnInitialUpdate(const std::vector<std::string>& args) {
    const CommandLine cl = ParseCommandLine(args);
    bool openFailed = false;
    if (cl.newWaveform) {
        NewWaveform();
    } else {
        for (const CommandLineAction& a : cl.actions) {
            switch (a.kind) {
                case CommandLineAction::SetFileType:
                    mainWave.fileType = a.value;
                    chosenFileType_ = a.value;
                    break;
                case CommandLineAction::OpenFile:
                    if (OpenWaveformFile(a.path, true) != 0) openFailed = true;
                    break;
                case CommandLineAction::SetLteBandwidth: lteBandwidthMHz = a.value; break;
                case CommandLineAction::SetLteTestModel: lteTestModel = a.value; break;
                case CommandLineAction::SetLteDuplex: lteDuplex = a.value; break;
            }
        }
    }
    CheckOnly(kFileTypeCommands, mainWave.fileType);
    const int sizeCommand =
        kCmdFftSizeFirst + static_cast<int>(std::log(view->settings.fftSize) / std::log(2) - 7);
    for (int id = kCmdFftSizeFirst; id <= kCmdFftSizeLast; ++id)
        CheckMenuItem(id, id == sizeCommand);
    // A file that did not open keeps its failure on screen.
    if (!openFailed) SetStatusText("Ready");
    ShowDecodeSettings();
    RecomputeNow();
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    view->animationState = 0;
    // Work on a worker thread holds the samples: the first close stops it, a later one closes.
    if (busy_ || WorkerRunning() || stoppingWorker_) {
        stopRequest = true;
        event->ignore();
        return;
    }
    // The designer ends first, leaving its taps, while the window is still whole.
    if (designer_) designer_->close();
    if (!MayDiscardEdits()) {
        event->ignore();
        return;
    }
    stopRequest = true;
    event->accept();
}

bool CMainFrame::MayDiscardEdits() {
    if (!modified_) return true;
    const size_t slash = currentFileName.rfind('/');
    const std::string name =
        slash == std::string::npos ? currentFileName : currentFileName.substr(slash + 1);
    switch (askSaveChanges ? askSaveChanges(name) : SaveChoice::Cancel) {
        case SaveChoice::Discard: return true;
        case SaveChoice::Save:
            SaveWaveform();
            // A save that failed or was cancelled keeps the edits, and what was asked waits.
            return !modified_;
        case SaveChoice::Cancel: break;
    }
    SetStatusText("Cancelled");
    return false;
}

void CMainFrame::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void CMainFrame::dropEvent(QDropEvent* event) {
    const QList<QUrl> urls = event->mimeData()->urls();
    if (view->onFileDropped)
        view->onFileDropped(urls.size() == 1 && urls[0].isLocalFile() ? urls[0].toLocalFile()
                                                                      : QString());
}
