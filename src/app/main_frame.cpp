#include "app/main_frame.h"

#include <unistd.h>

#include <QAction>
#include <QCloseEvent>
#include <QFileDialog>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMimeData>
#include <QStringList>
#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>

#include "app/command_line.h"
#include "app/menu_layout.h"
#include "app/view.h"
#include "display/value_format.h"
#include "measure/measurements.h"
#include "ui/dialog_prompter.h"
#include "ui/status_bar.h"
#include "waveform/file_messages.h"
#include "waveform/message_pump.h"
#include "waveform/sample_rate_name.h"
#include "waveform/trace_export.h"
#include "waveform/waveform_writer.h"

namespace {
const std::vector<int> kFileTypeIds = {400, 401, 402, 403, 404, 405, 406,
                                       407, 408, 409, 410, 411, 412, 418};
const std::vector<int> kViewIds = {300, 301, 302, 303, 304, 305, 306, 307,
                                   308, 309, 310, 311, 312, 313, 314};
const std::vector<int> kWindowIds = {221, 222, 223, 224};
const std::vector<int> kFilterShapeIds = {415, 416, 417};
const std::vector<int> kMaskTypeIds = {705, 706, 707, 1016, 40128};
const std::vector<int> kMeasureIds = {599, 600, 32880, 616, 40117, 801, 802,  803,
                                      804, 806, 708,   709, 710,   805, 40118};
// The Y-axis record a view kind scales, or -1.
int AxisRecordFor(int viewType) {
    if (viewType >= 301 && viewType <= 306) return 1;
    if (viewType >= 307 && viewType <= 309) return 2;
    if (viewType == 310) return 0;
    if (viewType == 311) return 3;
    if (viewType == 315 || viewType == 316) return 4;
    return -1;
}

struct AxisHints {
    const char *reference, *scale, *divisions;
};
AxisHints HintsFor(int record) {
    switch (record) {
        case 2:
            return {"Y Axis Center. Enter Reference Level in the Range -1 to +1",
                    "Normalised linear units / div", "Y Axis Graticule"};
        case 3:
            return {"Y Axis Centre Phase degrees (-180 to +180)", "Y Axis Scale Phase Degrees/Div",
                    ""};
        default:
            return {"Y Axis Top Level dB", "Y Axis Scale dB/Div (0.1 - 20)",
                    "Y Axis Graticule (2-20)"};
    }
}

int QueryValue(double v) { return static_cast<int>(v < 0 ? v - 0.5 : v + 0.5); }

bool IsToolCommand(int id) {
    return (id >= 502 && id <= 721 && id != 599 && id != 600 && id != 601 && id != 616) ||
           id == 32845 || id == 39506 || (id >= 40001 && id <= 40091);
}
}  // namespace

CMainFrame::CMainFrame(QSettings* store) : store_(store ? store : &ProgramSettings()) {
    char cwd[4096];
    startDirectory = getcwd(cwd, sizeof cwd) ? cwd : ".";
    settings_ = ReadAppSettings(*store_);
    mainWave.fileType = settings_.fileType;
    mainWave.sampleRate = settings_.sampleRateHz;
    lteDuplex = settings_.lteDuplex;

    view = new CView(&mainWave, &stopRequest, this);
    view->settings.fftSize = settings_.fftSize;
    view->onViewTypeChanged = [this](int type) { CheckOnly(kViewIds, type); };
    view->onSelectViewType = [this](int kind) { SelectViewType(kind); };
    view->onFileDropped = [this](const QString& path) {
        if (path.isEmpty()) {
            SetStatusText("Dropping multiple files is not supported.");
            return;
        }
        OpenWaveformFile(path.toStdString(), true);
        RecomputeNow();
    };
    setCentralWidget(view);
    statusBar = new cQRVNStatusBar(stopRequest, this);
    setStatusBar(statusBar);
    BuildMenus(
        menuBar(), MainMenuLayout(), [this](int id) { OnCommand(id); }, actions_);
    recentMenu_ = menuBar()->findChild<QMenu*>("Recent Files");
    AddWindowShortcut(105, QKeySequence(Qt::CTRL | Qt::Key_P));
    // Ctrl+Z answers even while the menu entry is greyed, so an empty undo says so.
    AddWindowShortcut(40002, QKeySequence(Qt::CTRL | Qt::Key_Z));
    view->onBeforeSampleEdit = [this] { BeforeKeyEdit(); };
    for (const QString& p : store_->value("RecentFiles").toStringList())
        if (recentFiles_.size() < 8 && !p.isEmpty()) recentFiles_.push_back(p.toStdString());
    RebuildRecentMenu();
    ownPrompter_ = std::make_unique<cDialogPrompter>(this);
    prompter = ownPrompter_.get();
    chooseOpenFile = [this] {
        const QString folder =
            QString::fromStdString(settings_.waveformFolder.value_or(startDirectory));
        return QFileDialog::getOpenFileName(this, "Open Waveform", folder, "Waveform Files (*)")
            .toStdString();
    };
    chooseSaveFile = [this] {
        return QFileDialog::getSaveFileName(this, "Save Waveform as",
                                            QString::fromStdString(currentFileName),
                                            "Waveform Files (*)")
            .toStdString();
    };
    chooseExportFile = [this] {
        return QFileDialog::getSaveFileName(this, "Export FFT Data", QString(),
                                            "text files (*.csv)")
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
    setAcceptDrops(true);
    setWindowTitle("Quorvalen[*]");
    UpdateUndoAction();
    ShowDecodeSettings();
    resize(1200, 800);
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

namespace {
// What ties samples to the file they came from: its bytes (for a re-parse) and where it lies
// and how much of it was read (so a save never cuts it). It moves with the samples' identity.
void SwapFileOrigin(cWaveform& a, cWaveform& b) {
    a.rawFile.swap(b.rawFile);
    std::swap(a.rawByteCount, b.rawByteCount);
    std::swap(a.source, b.source);
    std::swap(a.unparsedLines, b.unparsedLines);
}
}  // namespace

CMainFrame::Identity CMainFrame::CurrentIdentity() const {
    return {currentFileName, readFileType_, modified_, mainWave.saveTypeMode, rateSource_};
}

void CMainFrame::RestoreIdentity(const Identity& id) {
    currentFileName = id.fileName;
    readFileType_ = id.readFileType;
    mainWave.saveTypeMode = id.saveTypeMode;
    mainWave.title = id.fileName;
    rateSource_ = id.rateSource;
    CheckOnly({430, 431}, id.saveTypeMode == 0 ? 430 : 431);
    SetTitleFromPath(id.fileName);
}

void CMainFrame::SetModified(bool modified) {
    modified_ = modified;
    setWindowModified(modified);
}

void CMainFrame::UpdateUndoAction() {
    if (QAction* a = ActionFor(40002)) a->setEnabled(undoAvailable_);
}

void CMainFrame::TakeUndoCopy() {
    if (!undoEnabled) return;
    undoWave.CopyFrom(mainWave);
    undoIdentity_ = CurrentIdentity();
    undoAvailable_ = true;
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
    // The raw bytes stay with the file they came from: after an undo across New or a tool
    // they may not be these samples' any more, so a re-parse must not decode them.
    if (restored.fileName != undoIdentity_.fileName) {
        SwapFileOrigin(mainWave, undoWave);
    }
    CheckOnly(kFileTypeIds, mainWave.fileType);
    SetModified(true);
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
        std::to_string(mainWave.fileType) + " \u00b7 " + FormatSampleRate(mainWave.sampleRate);
    if (!rateSource_.empty()) text += " (" + rateSource_ + ")";
    statusBar->SetDecodeText(text);
}

CMainFrame::~CMainFrame() {
    stopRequest = true;
    QStringList recent;
    for (const std::string& p : recentFiles_)
        recent << QString::fromStdString(p);
    store_->setValue("RecentFiles", recent);
    settings_.fileType = mainWave.fileType;
    settings_.sampleRateHz = mainWave.sampleRate;
    settings_.fftSize = view->settings.fftSize;
    settings_.lteDuplex = lteDuplex;
    WriteAppSettings(*store_, settings_);
}

void CMainFrame::SetStatusText(const std::string& text) {
    lastStatus = text;
    if (statusBar) statusBar->PostStatusMessage(text);
}

bool CMainFrame::IsChecked(int id) const {
    auto it = actions_.find(id);
    return it != actions_.end() && it->second->isChecked();
}

void CMainFrame::CheckMenuItem(int id, bool checked) {
    if (auto it = actions_.find(id); it != actions_.end()) it->second->setChecked(checked);
}

void CMainFrame::CheckOnly(const std::vector<int>& group, int id) {
    for (int g : group)
        CheckMenuItem(g, g == id);
}

void CMainFrame::SyncMeasureChecks() {
    for (int id : kMeasureIds)
        CheckMenuItem(id, view->engine.measurements.IsChecked(id));
    for (int id : kMaskTypeIds)
        CheckMenuItem(id, view->engine.measurements.IsChecked(id));
}

void CMainFrame::RecomputeNow() {
    view->recompute.recomputeNeeded = true;
    view->Recompute(0);
    view->update();
    AfterRecompute();
}

void CMainFrame::AfterRecompute() {
    // The work a stop request was for has ended: later recomputes must run again.
    stopRequest = false;
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
                case CommandLineAction::SetFileType: mainWave.fileType = a.value; break;
                case CommandLineAction::OpenFile:
                    if (OpenWaveformFile(a.path, true) != 0) openFailed = true;
                    break;
                case CommandLineAction::SetLteBandwidth: lteBandwidthMHz = a.value; break;
                case CommandLineAction::SetLteTestModel: lteTestModel = a.value; break;
                case CommandLineAction::SetLteDuplex: lteDuplex = a.value; break;
            }
        }
    }
    CheckOnly(kFileTypeIds, mainWave.fileType);
    const int sizeCommand =
        204 + static_cast<int>(std::log(view->settings.fftSize) / std::log(2) - 7);
    for (int id = 204; id <= 216; ++id)
        CheckMenuItem(id, id == sizeCommand);
    // A file that did not open keeps its failure on screen.
    if (!openFailed) SetStatusText("Ready");
    ShowDecodeSettings();
    RecomputeNow();
}

int CMainFrame::NewWaveform() {
    SetStatusText("Creating new waveform...");
    TakeUndoCopy();
    // The file's bytes go with its samples into the undo slot, so an undo can re-parse them.
    SwapFileOrigin(mainWave, undoWave);
    if (mainWave.ResetToNew() != 0) {
        SetStatusText("ERR: New File creation failed");
        return 1;
    }
    currentFileName = "New Waveform";
    readFileType_ = 0;
    SetModified(false);
    SetTitleFromPath(currentFileName);
    CheckMenuItem(431, true);
    CheckMenuItem(430, false);
    SelectViewType(kViewMulti);
    view->recompute.recomputeNeeded = true;
    SetStatusText("New File created");
    return 0;
}

int CMainFrame::OpenWaveformFile(const std::string& requested, bool addToRecent) {
    std::string path = requested;
    if (path.size() < 4) {
        PumpMessagesFor(50);
        path = chooseOpenFile ? chooseOpenFile() : std::string();
        if (path.empty() || path.back() == '*') {
            SetStatusText("Open File cancelled");
            return 0;
        }
        const size_t slash = path.rfind('/');
        if (slash != std::string::npos) {
            settings_.waveformFolder = path.substr(0, slash + 1);
            WriteWaveformFolder(*store_, *settings_.waveformFolder);
        }
        if (path.size() < 4) {
            SetStatusText("ERR: Invalid File name to open");
            return 0x10000016;
        }
    }
    path = ResolveOpenPath(path, settings_.installPath.value_or(""), startDirectory);
    SetStatusText("Opening File...");
    // A failed open must not destroy the waveform on screen: load aside, take over on success.
    cWaveform loaded;
    loaded.fileType = mainWave.fileType;
    loaded.sampleRate = mainWave.sampleRate;
    const int result = loaded.LoadFile(path, false);
    if (result != 0) {
        SetStatusText("ERR: File Open Failed: " + LoadFailureText(loaded));
        return result;
    }
    mainWave.Clear();
    mainWave.I.swap(loaded.I);
    mainWave.Q.swap(loaded.Q);
    mainWave.rawFile.swap(loaded.rawFile);
    mainWave.sampleCount = loaded.sampleCount;
    mainWave.rawByteCount = loaded.rawByteCount;
    mainWave.sampleRate = loaded.sampleRate;
    mainWave.title = loaded.title;
    mainWave.source = loaded.source;
    mainWave.unparsedLines = loaded.unparsedLines;
    mainWave.loadFailure = LoadFailure::None;
    mainWave.saveTypeMode = 0;
    mainWave.domainState = DomainState::TimeOnly;
    currentFileName = path;
    // Another capture is on screen now: the undo copy of the previous one is dropped, so an
    // undo can never put its samples under this file's name (and its memory is free).
    undoWave.Clear();
    undoAvailable_ = false;
    UpdateUndoAction();
    keyEditRun_ = false;
    readFileType_ = mainWave.fileType;
    const int64_t named = SampleRateFromName(path);
    rateSource_ = named >= 1000                                               ? "from name"
                  : mainWave.sampleRate == kFallbackSampleRateHz && named > 0 ? "fallback"
                                                                              : "kept from before";
    SetModified(false);
    if (addToRecent) AddRecentFile(path);
    SetTitleFromPath(path);
    ShowDecodeSettings();
    CheckMenuItem(430, true);
    CheckMenuItem(431, false);
    SelectViewType(kViewMulti);
    view->recompute.recomputeNeeded = true;
    // What the file held besides samples (or beyond the bytes read) says more than "Opened".
    const std::string notes = LoadNotes(mainWave);
    SetStatusText(notes.empty() ? "File Opened" : notes);
    return 0;
}

void CMainFrame::AddRecentFile(const std::string& path) {
    RemoveRecentFile(path);
    recentFiles_.insert(recentFiles_.begin(), path);
    if (recentFiles_.size() > 8) recentFiles_.resize(8);
    RebuildRecentMenu();
}

void CMainFrame::RemoveRecentFile(const std::string& path) {
    recentFiles_.erase(std::remove(recentFiles_.begin(), recentFiles_.end(), path),
                       recentFiles_.end());
    RebuildRecentMenu();
}

void CMainFrame::RebuildRecentMenu() {
    if (!recentMenu_) return;
    recentMenu_->clear();
    for (size_t i = 0; i < recentFiles_.size(); ++i) {
        const int id = 66 + static_cast<int>(i);
        QAction* a = recentMenu_->addAction(
            QString("&%1 %2").arg(i + 1).arg(QString::fromStdString(recentFiles_[i])));
        QObject::connect(a, &QAction::triggered, this, [this, id] { OnCommand(id); });
    }
    recentMenu_->setEnabled(!recentFiles_.empty());
}

namespace {
std::string TypeName(int type) {
    const char* text = FileTypeMenuText(type);
    return text ? std::string(text) + " (" + std::to_string(type) + ")" : std::to_string(type);
}
std::string BaseName(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}
}  // namespace

void CMainFrame::SaveWaveform() {
    if (currentFileName.empty() || currentFileName == "New Waveform") {
        SaveWaveformAs("", true, true);
        return;
    }
    // Saving over the file in another encoding than it was read in is the user's choice,
    // never a side effect of the save-type setting.
    if (readFileType_ != 0 && readFileType_ != mainWave.fileType &&
        !(confirm && confirm("Save", "Save " + BaseName(currentFileName) + " as " +
                                         TypeName(mainWave.fileType) + "? It was read as " +
                                         TypeName(readFileType_) + "."))) {
        SetStatusText("Save File Cancelled");
        return;
    }
    SetStatusText("Saving File...");
    SaveFailure why = SaveFailure::None;
    if (mainWave.SaveFile(currentFileName, &why) == 1) {
        readFileType_ = mainWave.fileType;
        SetModified(false);
        SetTitleFromPath(currentFileName);
        SetStatusText("File Saved");
    } else {
        ReportSaveFailure(currentFileName, static_cast<int>(why));
        SetStatusText("ERR: File Save Failed");
    }
}

void CMainFrame::ReportSaveFailure(const std::string& path, int why) {
    if (!showNotice) return;
    const SaveFailure failure = static_cast<SaveFailure>(why);
    if (failure == SaveFailure::CannotCreate) {
        showNotice("Error", "Failed to open file for writing\r\n" + path);
        return;
    }
    std::string text = SaveFailureText(failure, mainWave.saveErrno, path, mainWave.source);
    if (!text.empty())
        text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    showNotice("Error", text);
}

void CMainFrame::SaveWaveformAs(const std::string& requested, bool addToRecent, bool setTitle) {
    SetStatusText("Saving File...");
    std::string path = requested;
    if (path.size() < 4) {
        path = chooseSaveFile ? chooseSaveFile() : std::string();
        if (path.size() < 4) {
            SetStatusText("Save File Cancelled");
            return;
        }
    }
    SaveFailure why = SaveFailure::None;
    if (mainWave.SaveFile(path, &why) == 1) {
        currentFileName = path;
        readFileType_ = mainWave.fileType;
        SetModified(false);
        if (addToRecent) AddRecentFile(path);
        if (setTitle) SetTitleFromPath(path);
        SetStatusText("File Saved");
        return;
    }
    ReportSaveFailure(path, static_cast<int>(why));
    SetStatusText("ERR: Save File operation failed");
}

void CMainFrame::SelectFileType(int type) {
    const int previous = mainWave.fileType;
    if (mainWave.saveTypeMode == 0) {
        mainWave.fileType = type;
        if (mainWave.ParseRaw() < 1) {
            SetStatusText("ERR: No valid samples identified for Requested File type");
            mainWave.fileType = previous;
            return;
        }
        readFileType_ = type;
        SetModified(true);
        view->recompute.recomputeNeeded = true;
        RecomputeNow();
        ShowDecodeSettings();
        SetStatusText("Waveform reloaded as New File type selected");
    } else {
        SetStatusText("New File type selected for use when Saving");
        mainWave.fileType = type;
        ShowDecodeSettings();
    }
    CheckMenuItem(previous, false);
    CheckMenuItem(type, true);
}

void CMainFrame::ToolDispatch(int id) {
    // The common steps around a tool; the tools themselves come later.
    statusBar->StartTiming();
    const int previousMode = statusBar->Mode();
    statusBar->SetMode(kModeCalculating);
    SetStatusText("Tool " + std::to_string(id) + " is not available yet");
    mainWave.EnsureTimeDomain(true);
    RecomputeNow();
    statusBar->StopTiming();
    statusBar->SetMode(previousMode == kModeCalculating ? kModeIdle : kModeIdle);
    view->setFocus();
}

void CMainFrame::ExportFft() {
    if (!view->engine.trace.traceValid) return;
    if (view->ViewType() > kViewQIDcFs) {
        SelectViewType(view->recompute.lastWasReal ? kViewI : kViewIQ);
        view->settings.phaseWanted = true;
        RecomputeNow();
        view->settings.phaseWanted = false;
    }
    const std::string path = chooseExportFile ? chooseExportFile() : std::string();
    if (path.empty()) {
        SetStatusText("FFT Export Cancelled");
        return;
    }
    mainWave.exportFileName = path;
    switch (ExportSpectrum(view->engine.trace, view->ViewType(), path)) {
        case ExportResult::Exported: SetStatusText("FFT Exported"); break;
        case ExportResult::CannotCreate:
            QMessageBox::warning(this, "Error", "Failed to open file for writing");
            SetStatusText("FFT Export Failed");
            break;
        default: SetStatusText("FFT Export Failed"); break;
    }
}

int CMainFrame::OnCommand(int id) {
    cMeasurements& m = view->engine.measurements;
    SpectrumSettings& s = view->settings;
    keyEditRun_ = false;  // any command ends a run of key edits
    switch (id) {
        case 101:
            if (NewWaveform() == 0) RecomputeNow();
            return 1;
        case 102:
            if (OpenWaveformFile("", true) == 0) RecomputeNow();
            return 1;
        case 103: SaveWaveform(); return 1;
        case 104: SaveWaveformAs("", true, true); return 1;
        case 107: close(); return 1;
        case 430:
            mainWave.saveTypeMode = 0;
            CheckOnly({430, 431}, 430);
            SetStatusText("File type change will cause a reload to the type selected");
            return 1;
        case 431:
            mainWave.saveTypeMode = 1;
            CheckOnly({430, 431}, 431);
            SetStatusText("File type change will set the format in which to save");
            return 1;
        case 44:
            statusBar->setVisible(!statusBar->isVisible());
            CheckMenuItem(44, statusBar->isVisible());
            return 1;
        case 32798:
        case 32797:
            s.averaging = id == 32798;
            CheckOnly({32798, 32797}, id);
            CheckMenuItem(201, false);
            SetStatusText(s.averaging ? "Averaged Trace selected" : "Clear/Write Trace selected");
            RecomputeNow();
            return 1;
        case 32801:
        case 32800:
            s.acCoupling = id == 32800;
            CheckOnly({32801, 32800}, id);
            SetStatusText(s.acCoupling ? "AC Coupling selected" : "DC Coupling selected");
            RecomputeNow();
            return 1;
        case 221:
        case 222:
        case 223:
        case 224:
            CheckOnly(kWindowIds, id);
            s.window = static_cast<WindowType>(id);
            RecomputeNow();
            return 1;
        case 229: {
            const double x = static_cast<float>(prompter->PromptDouble(
                "Enter the offset for dBFS-to-dBm",
                "This de-normalising scaler is used for power related measurements", 50.0,
                "dBFS2dBm"));
            if (x > -150 && x < 150) view->engine.dbmOffsetDb = x;
            RecomputeNow();
            return 1;
        }
        case 525: {
            const int v = prompter->PromptInt("Enter the sample rate of the waveform", "",
                                              61'440'000, "UpdateFS");
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
        }
        case 415:
        case 416:
        case 417:
            mainWave.filterShape = id - 414;
            CheckOnly(kFilterShapeIds, id);
            SetStatusText(id == 415   ? "Gaussian Filter Shape Selected"
                          : id == 416 ? "Raised Cosine Filter Shape Selected"
                                      : "Root Raised Cosine Filter Shape Selected");
            return 1;
        case 601: {
            const float v = prompter->PromptFloat(
                "Enter SNR Measurement Bandwidth Hz", "Default SNR bandwidth is current Zoom View",
                static_cast<float>(m.settings.snrBandwidthHz), "");
            const std::string text = m.SetSnrBandwidth(v, static_cast<double>(mainWave.sampleRate));
            if (!text.empty()) SetStatusText(text);
            RecomputeNow();
            return 1;
        }
        case 40110: {
            const double v = prompter->PromptDouble("Please enter the RMS power of the carrier",
                                                    "Spectral Emission Mask Configuration",
                                                    m.settings.carrierPowerDbm, "");
            const std::string text = m.SetCarrierPower(v);
            RecomputeNow();  // the verdict shown must be for the power just entered
            SetStatusText(text);
            return 1;
        }
        case 133:
            QMessageBox::information(this, "Basic Help",
                                     "Middle mouse button returns to the 4-up multi "
                                     "view\r\n\r\nLeft click on multi view "
                                     "panes to focus single view\r\n\r\nLeft mouse button hold and "
                                     "pan for zoom features\r\n\r\n"
                                     "Mouse wheel to zoom in and out\r\n\r\nRight mouse button to "
                                     "zoom out to maximum X Span");
            return 1;
        case 120:
            QMessageBox::about(this, "About Quorvalen", "Quorvalen 0.1\nIQ waveform workbench");
            return 1;
        case 40002:
            UndoLastAction();
            RecomputeNow();
            return 1;
        case 105: return 1;
        case 225:
        case 226:
        case 227: {
            const int record = AxisRecordFor(view->ViewType());
            if (record < 0 || record == 4) {
                SetStatusText("Cannot scale in multi-view mode");
                return 1;
            }
            AxisScale& axis = view->engine.axes[static_cast<size_t>(record)];
            const AxisHints hints = HintsFor(record);
            const double offset = view->engine.dbmOffsetDb;
            if (id == 225) {
                const double v =
                    prompter->PromptDouble("Please enter the desired Reference Level",
                                           hints.reference, axis.reference + offset, "");
                if (v == IPrompter::kCancelDouble) return 1;
                axis.reference = v - offset;
            } else if (id == 226) {
                const double v = prompter->PromptDouble("Please enter the number of divisions",
                                                        hints.divisions, axis.divisions, "");
                if (!(v >= 2 && v <= 100)) return 1;
                axis.divisions = v;
            } else {
                const double v = prompter->PromptDouble("Please enter the scale per division",
                                                        hints.scale, axis.scale, "");
                if (!(v >= 0 && v <= 100)) return 1;
                axis.scale = v;
            }
            view->RequestRedraw();
            return 1;
        }
        case 40040:
        case 40041:
            loopedRetrieval = id == 40041;
            CheckOnly({40040, 40041}, id);
            return 1;
        case 40042:
        case 40043:
            appendDownload = id == 40043;
            CheckOnly({40042, 40043}, id);
            return 1;
        case 40103:
            if (downloadToFile) {
                downloadToFile = false;
                downloadFileName.clear();
            } else {
                const std::string name = chooseSaveFile ? chooseSaveFile() : std::string();
                if (name.size() > 3) {
                    downloadFileName = name;
                    downloadToFile = true;
                }
            }
            CheckMenuItem(40103, downloadToFile);
            return 1;
        case 201:
        case 40007:
        case 40090:
        case 40089:
            // Play-through and file monitoring run on worker threads that come with their own
            // work; until then the command leaves its entry unchecked.
            CheckMenuItem(id, false);
            SetStatusText("Play-through and file monitoring are not available yet");
            return 1;
        case 228:
            SetAllDefaults(view->engine.axes);
            view->RequestRedraw();
            return 1;
        case 41008:
        case 41009:
        case 41010: {
            const int record = AxisRecordFor(view->ViewType());
            if (record < 0) return 0;
            const AxisScale& axis = view->engine.axes[static_cast<size_t>(record)];
            if (id == 41008) return QueryValue(100 * (axis.reference + view->engine.dbmOffsetDb));
            if (id == 41009) return QueryValue(axis.divisions);
            return QueryValue(100 * axis.scale);
        }
        case 66:
        case 67:
        case 68:
        case 69:
        case 70:
        case 71:
        case 72:
        case 73: {
            const size_t index = static_cast<size_t>(id - 66);
            if (index >= recentFiles_.size()) return 1;
            const std::string path = recentFiles_[index];
            if (OpenWaveformFile(path, true) != 0) {
                RemoveRecentFile(path);
                return 1;
            }
            RecomputeNow();
            return 1;
        }
        case 32827: ExportFft(); return 1;
        default: break;
    }
    if ((id >= 400 && id <= 412) || id == 418 || id == 419) {
        SelectFileType(id);
        return 1;
    }
    if ((id >= 300 && id <= 314) || id == kCmdPhaseDisplay) {
        SelectViewType(id);
        RecomputeNow();
        return 1;
    }
    if (id >= 204 && id <= 216) {
        s.fftSize = FftSizeForCommand(id);
        for (int k = 204; k <= 216; ++k)
            CheckMenuItem(k, k == id);
        SetStatusText("New FFT size selected");
        RecomputeNow();
        return 1;
    }
    if (id == 599 || id == 600 || id == 32880 || id == 616) {
        if (id == 32880 && !m.settings.imdOn && view->ViewType() >= 309)
            SelectViewType(view->recompute.lastWasReal ? kViewI : kViewIQ);
        m.ToggleSwitch(id);
        RecomputeNow();
        return 1;
    }
    if (AclrBandwidthForCommand(id) || id == kCmdLteAutoBw) {
        id == kCmdLteAutoBw ? m.ToggleLteAutoBandwidth() : m.SelectAclrBandwidth(id);
        RecomputeNow();
        return 1;
    }
    if (MaskBandwidthForCommand(id) || id == kCmdMaskAutoBw) {
        id == kCmdMaskAutoBw ? m.ToggleMaskAutoBandwidth() : m.SelectMaskBandwidth(id);
        m.RebuildMask(view->engine.trace.totalPowerDb);
        RecomputeNow();
        return 1;
    }
    if (MaskNumberForType(id)) {
        m.SelectMaskType(id);
        RecomputeNow();
        return 1;
    }
    if (IsToolCommand(id) || id == 32845) {
        ToolDispatch(id);
        return 1;
    }
    return 1;
}

void CMainFrame::SelectViewType(int kind) {
    CView& v = *view;
    if (kind >= 300 && kind <= 314) CheckMenuItem(v.ViewType(), false);
    if (kind == kViewMulti) {
        v.SetViewType(kind, true);
        CheckOnly(kViewIds, v.ViewType());
        SetStatusText("Multi view type selected");
        v.settings.fftPosition = 0;
    } else if (kind >= kViewI && kind <= kViewQIDcFs) {
        v.SetViewType(kind, true);
        CheckOnly(kViewIds, v.ViewType());
        SetStatusText("Frequency domain view type selected");
        v.settings.fftPosition = 0;
        v.recompute.recomputeNeeded = true;
    } else if ((kind >= kViewTimeI && kind <= kViewPhase) || kind == kViewCcdf) {
        CheckOnly(kViewIds, kind);
        v.phaseDisplay = false;
        const bool keepZoom = v.ViewType() >= kViewTimeI && v.ViewType() <= kViewPhase;
        v.SetViewType(kind, !keepZoom);
        SetStatusText(kind == kViewCcdf ? "CCDF view type selected"
                                        : "Time domain view type selected");
    } else if (kind == kViewVector) {
        SetStatusText("Vector view type selected");
        CheckOnly(kViewIds, kind);
        v.phaseDisplay = false;
        v.SetViewType(kind, true);
        const int stops = v.animationStops;
        v.RequestRedraw();
        PumpMessagesFor(1);
        // The trail travels through the waveform until it ends, or a right click, a new
        // waveform, another view or closing the window stops it.
        const int n = mainWave.sampleCount;
        for (int i = 0; i + 10 < n; ++i) {
            if (v.animationStops != stops || stopRequest || v.ViewType() != kViewVector) break;
            v.xStart = i;
            v.xEnd = i + 10;
            v.animationState = 2;
            v.RequestRedraw();
            PumpMessagesFor(1);
        }
        v.animationState = 0;
        stopRequest = false;  // the trail it stopped has ended
        v.update();
        PumpMessagesFor(1);
    } else if (kind == kViewConstellation) {
        SetStatusText("Constellation view type selected");
        CheckOnly(kViewIds, kind);
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

void CMainFrame::closeEvent(QCloseEvent* event) {
    stopRequest = true;
    event->accept();
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
