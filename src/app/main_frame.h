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
    // Shows a warning message box (tests record the text instead).
    std::function<void(const std::string&)> showWarning;

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
    // The message box of a failed save: the writer's reason, or the creation failure's text.
    void WarnSaveFailed(SaveFailure why, const std::string& path);
    void AddRecentFile(const std::string& path);
    void RemoveRecentFile(const std::string& path);
    void RebuildRecentMenu();

    QSettings* store_;
    AppSettings settings_;
    std::map<int, QAction*> actions_;
    std::unique_ptr<IPrompter> ownPrompter_;
    std::vector<std::string> recentFiles_;  // newest first, at most 8
    QMenu* recentMenu_ = nullptr;
};
