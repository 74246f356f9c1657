#include "ui/status_bar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QThread>
#include <QTimer>

#include "waveform/message_pump.h"
#include "waveform/number_format.h"

namespace {

QLabel* MakePane(const char* name, int width, QWidget* parent) {
    auto* pane = new QLabel(parent);
    pane->setObjectName(QString::fromLatin1(name));
    pane->setFixedWidth(width);
    return pane;
}

QString ModeText(int mode) {
    switch (mode) {
        case kModeIdle: return QStringLiteral("OK");
        case kModeAcquiring: return QStringLiteral("ACQ");
        case kModeMacro: return QStringLiteral("MAC");
        case kModeMacroAcquire: return QStringLiteral("M-ACQ");
        case kModeCalculating: return QStringLiteral("CALC");
        default: return {};
    }
}

}  // namespace

cQRVNStatusBar::cQRVNStatusBar(std::atomic<bool>& stopRequest, QWidget* parent)
    : QStatusBar(parent),
      stopRequest_(stopRequest),
      timer_(new QTimer(this)),
      messagePane_(new QLabel(this)),
      decodePane_(new QLabel(this)),
      durationPane_(MakePane("duration", kDurationWidth, this)),
      modePane_(MakePane("mode", kModeWidth, this)),
      stopButton_(new QPushButton(this)),
      progressBar_(new QProgressBar(this)),
      countPane_(MakePane("count", kCountWidth, this)),
      startTime_(std::chrono::steady_clock::now()) {
    messagePane_->setObjectName(QStringLiteral("message"));
    // A long message must not widen the window; it is cut at the pane's edge instead.
    messagePane_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);

    // The button sits in a holder of fixed width so the panes to its right do not move when
    // it is hidden.
    auto* stopHolder = new QWidget(this);
    stopHolder->setFixedWidth(kStopWidth);
    auto* holderLayout = new QHBoxLayout(stopHolder);
    holderLayout->setContentsMargins(0, 0, 0, 0);
    holderLayout->addWidget(stopButton_);
    stopButton_->setObjectName(QStringLiteral("stop"));
    stopButton_->setToolTip(QStringLiteral("Stop"));
    stopButton_->setFocusPolicy(Qt::NoFocus);
    const QIcon stopIcon = style()->standardIcon(QStyle::SP_BrowserStop, nullptr, this);
    if (stopIcon.isNull()) {
        stopButton_->setText(QStringLiteral("Stop"));
    } else {
        stopButton_->setIcon(stopIcon);
    }
    stopButton_->hide();
    connect(stopButton_, &QPushButton::clicked, this, &cQRVNStatusBar::OnStopClicked);

    progressBar_->setObjectName(QStringLiteral("progress"));
    progressBar_->setFixedWidth(kProgressWidth);
    progressBar_->setRange(0, 100);
    progressBar_->setValue(0);
    progressBar_->setTextVisible(false);

    decodePane_->setObjectName(QStringLiteral("decode"));
    addWidget(messagePane_, 1);
    addPermanentWidget(decodePane_);
    addPermanentWidget(durationPane_);
    addPermanentWidget(modePane_);
    addPermanentWidget(stopHolder);
    addPermanentWidget(progressBar_);
    addPermanentWidget(countPane_);

    modePane_->setText(modeText_);

    connect(timer_, &QTimer::timeout, this, &cQRVNStatusBar::OnTimer);
    timer_->start(kTimerPeriodMs);
}

cQRVNStatusBar::~cQRVNStatusBar() = default;

bool cQRVNStatusBar::PostStatusMessage(const std::string& text) {
    std::lock_guard lock(mutex_);
    messageText_ = text;
    messagePending_ = true;
    return true;
}

void cQRVNStatusBar::StartTiming() {
    std::lock_guard lock(mutex_);
    startTime_ = std::chrono::steady_clock::now();
}

void cQRVNStatusBar::StopTiming() {
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard lock(mutex_);
    elapsedSeconds_ = std::chrono::duration<double>(now - startTime_).count();
    startTime_ = now;
    timingPending_ = true;
}

void cQRVNStatusBar::PostElapsed(double seconds) {
    std::lock_guard lock(mutex_);
    elapsedSeconds_ = seconds;
    timingPending_ = true;
}

double cQRVNStatusBar::Elapsed() const {
    std::lock_guard lock(mutex_);
    return elapsedSeconds_;
}

void cQRVNStatusBar::SetDecodeText(const std::string& text) {
    std::lock_guard lock(mutex_);
    decodeText_ = text;
    decodePending_ = true;
}

void cQRVNStatusBar::SetCount(int count) {
    std::lock_guard lock(mutex_);
    count_ = count;
    countPending_ = true;
}

void cQRVNStatusBar::SetProgress(int percent) { progressPercent_.store(percent); }

void cQRVNStatusBar::SetMode(int state) {
    {
        std::lock_guard lock(mutex_);
        if (state < kModeIdle || state > kModeCalculating) return;
        previousMode_ = mode_;
        if (state == kModeAcquiring && mode_ == kModeMacro) {
            mode_ = kModeMacroAcquire;
        } else {
            mode_ = state;
            // A direct request for M-ACQ changes the state but keeps the text shown.
            if (state == kModeMacroAcquire) return;
        }
        modeText_ = ModeText(mode_);
    }
    // The pane always shows the latest text, whichever thread asked last.
    if (QThread::currentThread() == thread()) {
        ShowModeText();
    } else {
        QMetaObject::invokeMethod(this, &cQRVNStatusBar::ShowModeText, Qt::QueuedConnection);
    }
}

int cQRVNStatusBar::Mode() const {
    std::lock_guard lock(mutex_);
    return mode_;
}

int cQRVNStatusBar::PreviousMode() const {
    std::lock_guard lock(mutex_);
    return previousMode_;
}

void cQRVNStatusBar::ShowModeText() {
    QString text;
    {
        std::lock_guard lock(mutex_);
        text = modeText_;
    }
    modePane_->setText(text);
}

void cQRVNStatusBar::SetStopButtonVisible(bool visible) {
    auto apply = [this, visible] {
        stopButton_->setEnabled(true);
        stopButton_->setVisible(visible);
    };
    if (QThread::currentThread() == thread()) {
        apply();
    } else {
        QMetaObject::invokeMethod(this, apply, Qt::QueuedConnection);
    }
}

std::string cQRVNStatusBar::DurationText(double seconds) {
    if (seconds < 1.0) return Fixed(seconds * 1000.0, 0) + "ms";
    return Fixed(seconds, 2) + "s";
}

void cQRVNStatusBar::OnTimer() {
    std::string message, duration, count, decode;
    bool showMessage = false, showDuration = false, showCount = false, showDecode = false;
    int mode;
    {
        std::lock_guard lock(mutex_);
        std::swap(showMessage, messagePending_);
        if (showMessage) message.swap(messageText_);
        std::swap(showDecode, decodePending_);
        if (showDecode) decode = decodeText_;
        std::swap(showDuration, timingPending_);
        if (showDuration) duration = DurationText(elapsedSeconds_);
        std::swap(showCount, countPending_);
        if (showCount && count_ > 0) count = std::to_string(count_);
        mode = mode_;
    }
    if (showMessage) messagePane_->setText(QString::fromStdString(message));
    if (showDecode) decodePane_->setText(QString::fromStdString(decode));
    if (showDuration) durationPane_->setText(QString::fromStdString(duration));
    if (showCount) countPane_->setText(QString::fromStdString(count));

    int progress = progressPercent_.load();
    if (progress == lastProgress_ || !isVisible()) return;
    if (progress == -1) {
        // Restart: drop to empty, then show full on the next tick unless a new value came.
        progressBar_->setValue(0);
        lastProgress_ = 0;
        progressPercent_.compare_exchange_strong(progress, 100);
    } else if (mode == kModeMacroAcquire) {
        // Frozen during an automated acquisition.
        progressPercent_.compare_exchange_strong(progress, lastProgress_);
    } else if (progress >= 0 && progress <= 100) {
        progressBar_->setValue(progress);
        lastProgress_ = progress;
    }
}

void cQRVNStatusBar::OnStopClicked() {
    stopRequest_.store(true);
    // One press is enough; the loop's end re-enables the button.
    stopButton_->setEnabled(false);
    stopButton_->update();
    PumpMessagesFor(10);
}
