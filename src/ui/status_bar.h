#pragma once
// The main window's status bar: message, duration of the last timed operation, mode
// indicator, stop button, progress bar and count. Other code never writes the panes: it posts
// texts and values here (from any thread), and a 20 ms timer on the GUI thread copies whatever
// changed into the panes, so a burst of posts costs at most one repaint per pane per tick.

#include <QStatusBar>
#include <QString>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QTimer;

// Mode indicator states (pane 2).
enum StatusMode : int {
    kModeIdle = 0,          // "OK"
    kModeAcquiring = 1,     // "ACQ": an external acquisition is being monitored
    kModeMacro = 2,         // "MAC": an automated run driven from outside is active
    kModeMacroAcquire = 3,  // "M-ACQ": acquisition requested during an automated run
    kModeCalculating = 4,   // "CALC": a tool is computing
};

class cQRVNStatusBar : public QStatusBar {
    Q_OBJECT
public:
    static constexpr int kTimerPeriodMs = 20;
    // Fixed pane widths in pixels; the message pane takes the rest.
    static constexpr int kDurationWidth = 50;
    static constexpr int kModeWidth = 50;
    static constexpr int kStopWidth = 54;
    static constexpr int kProgressWidth = 100;
    static constexpr int kCountWidth = 70;

    // stopRequest: the owner's flag that asks a long-running loop to stop; the stop button
    // sets it. It must outlive the status bar.
    explicit cQRVNStatusBar(std::atomic<bool>& stopRequest, QWidget* parent = nullptr);
    ~cQRVNStatusBar() override;

    // Thread-safe. Queues text (UTF-8) for the message pane; a later post before the next
    // tick replaces it. Always accepted (returns true), also while the bar is hidden, so the
    // bar shows the latest text when it is shown again.
    bool PostStatusMessage(const std::string& text);

    // Thread-safe. Timing of the last operation for the duration pane: StartTiming takes the
    // start time; StopTiming measures from it, restarts it and queues the duration text.
    void StartTiming();
    void StopTiming();
    // Queues a measured duration directly (seconds >= 0).
    void PostElapsed(double seconds);
    // Seconds measured by the last StopTiming (or given to PostElapsed).
    double Elapsed() const;

    // Thread-safe. Queues the decode pane: how the shown samples were decoded (file type,
    // sample rate and where the rate came from).
    void SetDecodeText(const std::string& text);

    // Thread-safe. Queues the count pane: positive counts are shown, others clear the pane.
    void SetCount(int count);

    // Thread-safe. Progress in percent 0 .. 100; -1 restarts the bar (it drops to 0 and is
    // then shown full). Values above 100 are ignored. Frozen while the mode is M-ACQ.
    void SetProgress(int percent);

    // Thread-safe. Changes the mode indicator (a StatusMode). The previous mode is kept so a
    // loop can restore it when it ends. Requesting kModeAcquiring during kModeMacro gives
    // kModeMacroAcquire ("M-ACQ"); kModeMacroAcquire itself changes the state but leaves the
    // text. Unknown states are ignored. The text changes at once on the GUI thread and with
    // the next event loop pass from other threads.
    void SetMode(int state);
    int Mode() const;
    int PreviousMode() const;

    // Thread-safe. Shows the stop button enabled (a long loop starts) or hides it and
    // re-enables it (the loop ended). Clearing the stop request is the owner's business.
    void SetStopButtonVisible(bool visible);

    // Milliseconds below one second, else seconds with two decimals: "250ms", "3.46s".
    static std::string DurationText(double seconds);

private:
    void OnTimer();
    void OnStopClicked();
    void ShowModeText();

    std::atomic<bool>& stopRequest_;
    QTimer* timer_;
    QLabel* messagePane_;
    QLabel* decodePane_;
    QLabel* durationPane_;
    QLabel* modePane_;
    QPushButton* stopButton_;
    QProgressBar* progressBar_;
    QLabel* countPane_;

    // Everything posted from other threads; widgets are only touched in OnTimer.
    mutable std::mutex mutex_;
    std::string messageText_;
    std::string decodeText_;
    bool decodePending_ = false;
    double elapsedSeconds_ = 0.0;
    int count_ = 0;
    bool messagePending_ = false;
    bool timingPending_ = false;
    bool countPending_ = false;
    std::chrono::steady_clock::time_point startTime_;
    int mode_ = kModeIdle;
    int previousMode_ = kModeIdle;
    QString modeText_ = QStringLiteral("OK");

    std::atomic<int> progressPercent_{0};
    int lastProgress_ = 0;  // GUI thread only
};
