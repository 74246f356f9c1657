#pragma once
// The main window: owns the three waveforms, the view and the status bar, reads and writes the
// stored settings, handles the command line and dropped files, and routes every command.

#include <QMainWindow>
#include <QSettings>
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/app_settings.h"
#include "tools/prompter.h"
#include "waveform/waveform.h"

class CView;
class cQRVNStatusBar;
class QAction;
class QKeySequence;

class CMainFrame : public QMainWindow {
public:
    // store: where settings live (the program's own store unless a test gives another).
    explicit CMainFrame(QSettings* store = nullptr);
    ~CMainFrame() override;

    // Command line (arguments after the program name), check marks from the settings, "Ready",
    // first recompute.
    void OnInitialUpdate(const std::vector<std::string>& args);
    // Runs one command; returns 1 when handled.
    int OnCommand(int id);

    int OpenWaveformFile(const std::string& path, bool addToRecent);
    void SaveWaveform();
    void SaveWaveformAs(const std::string& path, bool addToRecent, bool setTitle);
    int NewWaveform();
    // Copies the main waveform, with its file identity, into the undo slot (when undo is on).
    // Every edit calls it once its checks have passed, before it changes the samples.
    void TakeUndoCopy();
    // Exchanges the main and undo waveforms with their file identities; says so when the undo
    // slot is empty and changes nothing.
    void UndoLastAction();
    bool UndoAvailable() const { return undoAvailable_; }
    // True while the samples differ from the file they were read from or saved to.
    bool Modified() const { return modified_; }
    void SetModified(bool modified);
    // Switches the view kind (menu commands 300-314, 40014, and clicks in the view).
    void SelectViewType(int kind);
    void SetStatusText(const std::string& text);

    bool IsChecked(int id) const;
    void CheckMenuItem(int id, bool checked);

    cWaveform mainWave;
    cWaveform undoWave;
    cWaveform monitorWave;
    std::atomic<bool> stopRequest{false};
    CView* view = nullptr;
    cQRVNStatusBar* statusBar = nullptr;
    std::string currentFileName;
    std::string startDirectory;
    std::string lastStatus;  // the last text given to the status bar
    int lteDuplex = 40106, lteBandwidthMHz = 10, lteTestModel = 0x31;
    bool undoEnabled = true;
    bool loopedRetrieval = true, appendDownload = false,
         downloadToFile = false;  // instrument download settings
    std::string downloadFileName;

    // Answers prompts (the dialogs, or scripted answers in tests).
    IPrompter* prompter = nullptr;
    // Ask for a file name to open or save (dialogs unless a test replaces them).
    std::function<std::string()> chooseOpenFile, chooseSaveFile, chooseExportFile;
    // A yes/no question, No by default (a message box unless a test replaces it).
    std::function<bool(const std::string& title, const std::string& text)> confirm;
    // A message box with a title and text (replaced by tests).
    std::function<void(const std::string& title, const std::string& text)> showNotice;
    // The action of a command id (menu entries and window shortcuts), or nullptr.
    QAction* ActionFor(int id) const;

protected:
    void closeEvent(QCloseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    void SelectFileType(int type);
    void ToolDispatch(int id);
    void RecomputeNow();
    void SetTitleFromPath(const std::string& path);
    void CheckOnly(const std::vector<int>& group, int id);
    void SyncMeasureChecks();
    void ExportFft();
    void AddRecentFile(const std::string& path);
    void RemoveRecentFile(const std::string& path);
    void RebuildRecentMenu();
    // The message box of a failed save: the writer's reason, or the creation failure's text.
    void ReportSaveFailure(const std::string& path, int why);
    // File type, sample rate and where the rate came from, in the status bar.
    void ShowDecodeSettings();
    void AfterRecompute();
    void UpdateUndoAction();
    void AddWindowShortcut(int id, const QKeySequence& key);
    void BeforeKeyEdit();

    QSettings* store_;
    AppSettings settings_;
    std::map<int, QAction*> actions_;
    std::unique_ptr<IPrompter> ownPrompter_;
    std::vector<std::string> recentFiles_;  // newest first, at most 8
    QMenu* recentMenu_ = nullptr;

    // What belongs to the samples shown besides the samples: the file they came from, the
    // type they were read as, whether they were edited since. The undo slot keeps its own.
    struct Identity {
        std::string fileName;
        int readFileType = 0;  // 0: not read from a file
        bool modified = false;
        int saveTypeMode = 1;
        std::string rateSource;
    };
    Identity CurrentIdentity() const;
    void RestoreIdentity(const Identity& id);
    Identity undoIdentity_;
    bool undoAvailable_ = false;
    int readFileType_ = 0;
    bool modified_ = false;
    bool keyEditRun_ = false;  // a run of key edits shares one undo copy
    std::string rateSource_ = "stored setting";
};
