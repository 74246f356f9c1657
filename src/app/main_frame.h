#pragma once
// The main window: owns the three waveforms, the view and the status bar, reads and writes the
// stored settings, handles the command line and dropped files, and routes every command
// through one id -> handler table. The handlers live by concern in frame_*_commands.cpp.

#include <QMainWindow>
#include <QPointer>
#include <QSettings>
#include <atomic>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "app/app_settings.h"
#include "app/command_ids.h"
#include "app/frame_services.h"
#include "app/spectrogram_view.h"
#include "display/view_kinds.h"
#include "measure/measure_ids.h"
#include "tools/prompter.h"
#include "tools/tool.h"
#include "tools/tool_ids.h"
#include "waveform/waveform.h"
#include "workers/worker_link.h"

class CAnnotationDock;
class CCaptureStrip;
class CMarkerDock;
class CDlgFIRdesign;
class QDockWidget;
class cCaptureSource;
class CView;
class cQRVNStatusBar;
class QAction;
class QKeySequence;

// The name of the FIR designer's taps: an untitled waveform, so Save asks for a name.
inline constexpr char kFirTapsName[] = "FIR taps";

class CMainFrame : public QMainWindow, public IFrameServices {
public:
    // store: where settings live (the program's own store unless a test gives another).
    explicit CMainFrame(QSettings* store = nullptr);
    ~CMainFrame() override;

    // Command line (arguments after the program name), check marks from the settings, "Ready",
    // first recompute.
    void OnInitialUpdate(const std::vector<std::string>& args);
    // Runs one command through the table (ids without a handler go to the tool dispatch).
    // Returns 1 when handled, a query's value, or 0 when the command was refused.
    int OnCommand(int id, int64_t value = 0);

    // interactive: a name shorter than 4 characters opens the file dialog (as the menus do);
    // otherwise every name is a path.
    int OpenWaveformFile(const std::string& path, bool addToRecent, bool interactive = true);
    void SaveWaveform();
    // interactive: a short name opens the save dialog and a SigMF recording's description and
    // author are asked for; otherwise the name is the path and the texts are as they stand.
    void SaveWaveformAs(const std::string& path, bool addToRecent, bool setTitle,
                        bool interactive = true);
    int NewWaveform();
    // Copies the main waveform, with its file identity, into the undo slot (when undo is on).
    void TakeUndoCopy();
    // Exchanges the main and undo waveforms with their file identities; says so when the undo
    // slot is empty and changes nothing.
    void UndoLastAction();
    bool UndoAvailable() const { return undoAvailable_; }
    // True while the samples differ from the file they were read from or saved to.
    bool Modified() const { return modified_; }
    void SetModified(bool modified);
    // Switches the view kind (menu commands 300-314, 40014, and clicks in the view).
    void SelectViewType(int kind) override;
    // Shows text in the status bar; from any thread (other threads' texts arrive in order).
    void SetStatusText(const std::string& text) override;
    // True while a tool or a long load runs on a worker thread.
    bool Busy() const override { return busy_; }
    std::atomic<bool>& StopRequest() override { return stopRequest; }
    void FftSizeChanged(int size) override { workerFftSize_ = size; }
    // True while play-through or file monitoring runs.
    bool WorkerRunning() const;

    bool IsChecked(int id) const;
    void CheckMenuItem(int id, bool checked) override;

    // The services the command groups see.
    cWaveform& MainWaveform() override { return mainWave; }
    CView& View() override { return *view; }
    IPrompter& Prompter() override { return *prompter; }
    void AddCommand(std::initializer_list<int> ids, const CommandHandler& handler,
                    CommandTraits traits = {}) override;

    cWaveform mainWave;
    cWaveform undoWave;
    cWaveform monitorWave;
    std::atomic<bool> stopRequest{false};
    CView* view = nullptr;
    cQRVNStatusBar* statusBar = nullptr;
    std::string currentFileName;
    std::string startDirectory;
    std::string lastStatus;  // the last text given to the status bar
    int lteDuplex = kLteTdd38, lteBandwidthMHz = 10, lteTestModel = 0x31;
    bool undoEnabled = true;
    bool loopedRetrieval = true, appendDownload = false,
         downloadToFile = false;  // instrument download settings
    std::string downloadFileName;

    // Answers prompts (the dialogs, or scripted answers in tests).
    IPrompter* prompter = nullptr;
    // Ask for a file name to open or save (dialogs unless a test replaces them).
    std::function<std::string()> chooseOpenFile, chooseSaveFile, chooseExportFile;
    // A tool's second file, under the dialog title the tool gives.
    std::function<std::string(const std::string& title)> chooseToolFile;
    // A yes/no question, No by default (a message box unless a test replaces it).
    std::function<bool(const std::string& title, const std::string& text)> confirm;
    // A message box with a title and text (replaced by tests).
    std::function<void(const std::string& title, const std::string& text)> showNotice;
    // An information box (help, about), replaced by tests and by the command channel.
    std::function<void(const std::string& title, const std::string& text)> inform;
    // What to do with unsaved edits before they would be replaced: "Save changes to NAME?"
    // with Save, Discard and Cancel (a message box unless a test replaces it).
    enum class SaveChoice { Save, Discard, Cancel };
    std::function<SaveChoice(const std::string& name)> askSaveChanges;
    // True when nothing unsaved would be lost: no edits, or the user saved them or chose to
    // discard them. False (status "Cancelled") when the user kept them.
    bool MayDiscardEdits();
    // The seed of the random generator for the next tool (the millisecond clock, negated).
    std::function<int32_t()> toolSeed;
    // The action of a command id (menu entries and window shortcuts), or nullptr.
    QAction* ActionFor(int id) const;
    // Every status text as it is shown (the command channel passes them on).
    std::function<void(const std::string&)> onStatusText;

    // What other programs ask through the command channel. None of these shows a dialog or
    // waits on one: each refuses (error says why, and the result is 0 / false / "") while a
    // tool, a load or a stop runs, while a window dialog is open (unless it only reads), and
    // when it would need an answer, a file name, or to discard unsaved edits without
    // `discard`. A running worker is stopped first, as for a menu command.
    struct ChannelCall {
        bool discard = false;  // unsaved edits may be lost
        std::string error;     // why the call was refused or failed; "" when it was carried out
    };
    // A command by id, as the menus run it; returns its result (a query's value).
    int64_t ChannelCommand(int id, int64_t value, ChannelCall& call);
    // Opens path and shows it.
    bool ChannelOpen(const std::string& path, ChannelCall& call);
    // Saves under path in file type `type`; a SigMF recording takes description and author.
    bool ChannelSave(const std::string& path, int type, const std::string& description,
                     const std::string& author, ChannelCall& call);
    // Runs a tool step ("NAME:KEY=VALUE,..."); returns the tool's code. A step that does not
    // parse is refused.
    int ChannelRunTool(const std::string& step, ChannelCall& call);
    // The measurements of what the window shows, as qrvn measure --json prints them.
    std::string ChannelMeasurements(ChannelCall& call);
    // The window's picture at W x H (64 ... 10000) into a PNG file.
    bool ChannelRender(const std::string& path, int W, int H, ChannelCall& call);
    // The measurements as the channel gives them, without its checks.
    std::string MeasurementsJson();
    // Loads samples [first, first + count) of the open capture as the working waveform (after
    // asking about unsaved edits); says why not and keeps the waveform when it cannot.
    // Returns 0 or an error code.
    int LoadCaptureRange(int64_t first, int64_t count);
    // The markers of the plot shown, as JSON; SetMarker puts marker n (1 … 4) at position in
    // the plot's unit (Hz, sample number, dB; NaN takes it off).
    std::string ChannelMarkers(ChannelCall& call);
    bool ChannelSetMarker(int number, double position, ChannelCall& call);
    CMarkerDock* MarkerDock() const { return markerDock_; }
    CAnnotationDock* AnnotationDock() const { return annotationDock_; }
    // What the check of the open recording's core:sha512 found: "matches", "differs",
    // "checking", "not checked: WHY", or "" when the samples came with no digest.
    std::string DigestCheck() const;
    // The annotation chosen (in the list, or by next and previous), or -1.
    int CurrentAnnotation() const { return currentAnnotation_; }
    // The strip that shows a capture larger than a waveform holds (hidden otherwise).
    CCaptureStrip* CaptureStrip() const { return captureStrip_; }
    QDockWidget* CaptureDock() const { return captureDock_; }
    // True while the overview of the capture is being computed.
    bool OverviewRunning() const { return !overviewIdle_; }

    // Waveforms of at least this many samples load and recompute on a worker thread.
    int64_t busyThresholdSamples = 4'000'000;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void RegisterFileCommands();
    void RegisterToolCommands();
    void RegisterWorkerCommands();
    void RegisterCaptureCommands();
    void RegisterSpectrogramCommands();
    void RegisterMarkerCommands();
    void RegisterModulationCommands();
    void RegisterAnnotationCommands();
    // The list and the plots after the annotations changed or other samples came.
    void RefreshAnnotations();
    // Chooses annotation k and shows it (the list's row, the view's span, the status text).
    void GoToAnnotation(int k);
    // The next (+1) or previous (-1) annotation: from the chosen one, else from the view.
    int StepAnnotation(int direction);
    std::string AnnotationText(int k) const;
    // What the view has selected as an annotation's samples and band; false with why when
    // nothing is.
    bool SelectionForAnnotation(SigmfAnnotation& a, std::string& why);
    // A spectrogram box's band (Hz about the centre) and source samples [t0, t1) as an
    // annotation of the data file's samples and absolute frequencies.
    SigmfAnnotation AnnotationOfBox(double f0, double f1, int64_t t0, int64_t t1) const;
    bool AskAnnotationTexts(SigmfAnnotation& a);
    // Asks for a's texts and adds it to the recording's annotations.
    void AddAnnotation(SigmfAnnotation a);
    // The centre frequency of the segment a sample of the data file lies in.
    std::optional<double> CentreAt(int64_t fileSample) const;
    CAnnotationDock* annotationDock_ = nullptr;
    int currentAnnotation_ = -1;
    bool annotationListOffered_ = false;
    int64_t nextOpenChannel_ = 0;  // the channel the next open reads of a multi-channel recording
    // The check of a recording's core:sha512 runs on a thread of its own after an open, its
    // result for the open it was started for (digestGeneration_) only.
    void StartDigestCheck();
    void StopDigestCheck();
    std::thread digestThread_;
    std::atomic<bool> digestStop_{false};
    uint64_t digestGeneration_ = 0;
    std::string digestCheck_;
    void ShowModulationTable();  // the marker table, listing the results
    // A measurement on a worker with progress and the stop button; its reason, "" when done.
    std::string MeasureBusy(const std::function<std::string(const WorkControl&)>& work,
                            const std::string& what);
    // The table's rows from the plot shown (when the table is visible); lockHeld: the caller
    // holds the samples' lock (the view's paint).
    void RefreshMarkerTable(bool lockHeld);
    CMarkerDock* markerDock_ = nullptr;
    bool markerTableOffered_ = false;  // the table appeared with the first marker, or was asked for
    // What the spectrogram shows: the whole capture behind an unedited range of it, else a
    // copy of the working waveform (taken again when the samples change). While a worker
    // holds the samples, the last source stands.
    SpectrogramSource SpectrogramSourceNow();
    // A box's time in the working waveform's samples; false (with a status text) when it
    // lies outside it.
    bool BoxInWorkingWaveform(int64_t& t0, int64_t& t1);
    SpectrogramSource spectrogramSource_;
    // The file mapped as a capture, or nullptr for a text file or one that cannot be mapped.
    static std::shared_ptr<cCaptureSource> MapCapture(const std::string& path, int fileType,
                                                      int64_t channel = 0);
    // Makes capture the one behind the working waveform; when it holds more than a waveform
    // takes, shows the strip and starts its overview.
    void UseCapture(std::shared_ptr<cCaptureSource> capture);
    void CloseCapture();
    void StartOverview();
    void StopOverview();
    // Makes a waveform loaded aside the main one, with its name, type, rate and where the
    // rate came from; the undo copy of the previous file is dropped.
    void AdoptLoadedWaveform(cWaveform& loaded, const std::string& path);
    // Commands that only change what is shown: they run at once while a worker runs.
    bool IsDisplayCommand(int id) const;
    // The common start of a command from any source: refused (with a status text) while work
    // runs; a running worker stopped first unless the command only changes what is shown.
    // False when the command must not run.
    bool MayRunCommand(int id);
    // Runs a tool step from another program (after MayRunCommand).
    int RunToolStep(const std::string& step, std::string& error);
    // Why a channel call may not run now, or "".
    std::string ChannelRefusal(bool changes) const;
    // Runs body as a channel call: refusals first, then with every dialog replaced by a
    // refusal recorded in call.error.
    template <class Body>
    auto RunForChannel(bool changes, ChannelCall& call, Body body) -> decltype(body());
    // Asks the running worker to stop and waits up to 5 s, keeping the window alive; false
    // when it did not stop in time.
    bool StopWorker();
    // The FIR designer: opened (or raised) by its command; each slider move redesigns and puts
    // the taps in the waveform; closing it leaves the final design there.
    void OpenDesigner();
    void Redesign(bool closing);
    // The designer's window closed: the final design stays, the user's window returns.
    void DesignerClosed();
    // The designer's "Filter capture": the capture it was opened on, filtered with the taps.
    void FilterCapture();
    void StartPlayThrough();
    WorkerLink LinkForWorker();
    void StartMonitoring();
    // The end of a worker, on the GUI thread: marks, texts and the status bar put back.
    void WorkerEnded(int kind, int previousMode);
    bool AllowedWhileBusy(int id) const;

    void SelectFileType(int type);
    void ToolDispatch(int id);
    int RunToolWith(const ToolRow& info, IToolInput& input);
    // The spectrum recompute and what follows it; on a worker thread for long waveforms.
    void RecomputeNow() override;
    void SetTitleFromPath(const std::string& path);
    void CheckOnly(const int* first, const int* last, int id);
    void CheckOnly(std::initializer_list<int> group, int id) {
        CheckOnly(group.begin(), group.end(), id);
    }
    template <size_t N>
    void CheckOnly(const int (&group)[N], int id) {
        CheckOnly(group, group + N, id);
    }
    void SyncMeasureChecks();
    void ExportFft();
    void AddRecentFile(const std::string& path);
    void RemoveRecentFile(const std::string& path);
    void RebuildRecentMenu();
    // The message box of a failed save: the writer's reason, or the creation failure's text.
    void ReportSaveFailure(const std::string& path, int why);
    // Before a save to path: asks for the recording's description and author when path names
    // a SigMF recording (and ask is set); takes the type its extension names when it has one.
    void PrepareSaveAs(const std::string& path, bool ask);
    // Makes type the main waveform's file type (the bytes are not decoded again), with its
    // check mark and the decode settings.
    void ShowFileType(int type);
    // File type, sample rate and where the rate came from, in the status bar.
    void ShowDecodeSettings();
    // A capture beyond full scale is shown whole (the time, I/Q and spectrum axes scaled to its
    // largest value, the decode pane saying by how much); the next one within full scale puts
    // those axes back.
    void ScaleViewsToTheData();
    void AfterRecompute();
    void UpdateUndoAction();
    void AddWindowShortcut(int id, const QKeySequence& key);
    void BeforeKeyEdit();
    // Runs work on a worker thread while the event loop turns: the view shows its last
    // picture, the status bar the progress and the stop button, and commands that would touch
    // the waveform are refused until it ends. Returns work's result.
    // what: a few words for what runs ("the tool tone", "opening x.bin"), which the command
    // channel gives when it refuses a call meanwhile.
    int RunBusy(const std::function<int()>& work, const std::string& what);

    QSettings* store_;
    AppSettings settings_;
    std::map<int, QAction*> actions_;
    struct CommandRow {
        CommandHandler handler;
        CommandTraits traits;
    };
    std::map<int, CommandRow> commands_;
    std::unique_ptr<IPrompter> ownPrompter_;
    std::vector<std::string> recentFiles_;  // newest first, at most kRecentFileCount
    QMenu* recentMenu_ = nullptr;
    bool busy_ = false;
    std::string busyWhat_;         // what runs while busy_
    bool stoppingWorker_ = false;  // StopWorker waits for the worker, with the window live
    QPointer<CDlgFIRdesign> designer_;
    WindowType windowBeforeDesigner_ = kWindowBlackmanHarris;
    bool designerDetached_ = false;  // the designer closes without writing its taps
    // Play-through or monitoring: one worker at a time, joined before the frame goes.
    std::thread workerThread_;
    std::atomic<bool> workerIdle_{true};
    std::atomic<int> monitorMode_{0};
    std::atomic<int> workerFftSize_{16384};  // the FFT size setting, as the worker reads it
    std::mutex waveLock_;                    // see WorkerLink::waveLock
    int reloadCount_ = 0;
    cWaveform pendingUndo_;  // the state before a running tool, until it ends
    // The capture behind the working waveform, when it is a binary file: shared with the
    // overview worker, which is stopped and joined before it is replaced.
    std::shared_ptr<cCaptureSource> capture_;
    QDockWidget* captureDock_ = nullptr;
    CCaptureStrip* captureStrip_ = nullptr;
    std::thread overviewThread_;
    std::atomic<bool> overviewStop_{false};
    std::atomic<bool> overviewIdle_{true};

    // What belongs to the samples shown besides the samples: the file they came from, the
    // type they were read as, whether they were edited since. The undo slot keeps its own.
    struct Identity {
        std::string fileName;
        int readFileType = 0;  // 0: not read from a file
        bool modified = false;
        int saveTypeMode = 1;
        std::string rateSource;
        int chosenFileType = kDefaultFileType;
    };
    Identity CurrentIdentity() const;
    void RestoreIdentity(const Identity& id);
    Identity undoIdentity_;
    bool undoAvailable_ = false;
    bool undoRedoes_ = false;  // the undo slot holds what the last undo took away
    int readFileType_ = 0;
    // The file type the user chose (stored setting, -t, File Type menu): headerless files open
    // in it and it is what is stored. A file whose extension or metadata names its type opens
    // in that type and leaves this choice alone.
    int chosenFileType_ = kDefaultFileType;
    bool modified_ = false;
    bool keyEditRun_ = false;  // a run of key edits shares one undo copy
    std::string rateSource_ = "stored setting";
    double overFullScaleDb_ = 0.0;   // how far the open capture's largest value exceeds 1
    bool axesScaledToData_ = false;  // ScaleViewsToTheData changed the axes
};
