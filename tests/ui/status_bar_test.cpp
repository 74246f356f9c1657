// The status bar's panes as the user sees them once the 20 ms timer has copied the posted
// values, also when a worker thread posts.

#include <gtest/gtest.h>

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <atomic>
#include <thread>

#include "ui/status_bar.h"
#include "ui_test_support.h"

namespace {

class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override { bar_.show(); }
    QString Pane(const char* name) const { return bar_.findChild<QLabel*>(name)->text(); }
    int Progress() const { return bar_.findChild<QProgressBar*>("progress")->value(); }
    // Within five ticks.
    bool Shows(const char* pane, const QString& text) {
        return WaitUntil([&] { return Pane(pane) == text; }, 100);
    }

    std::atomic<bool> stop_{false};
    cQRVNStatusBar bar_{stop_};
};

TEST_F(StatusBarTest, TimerShowsTheLastPostedTextAndCount) {
    for (int i = 0; i < 10; ++i)
        bar_.PostStatusMessage("Adding CW tone " + std::to_string(i));
    bar_.SetCount(12);
    EXPECT_EQ(Pane("message"), "");  // nothing until the timer runs
    EXPECT_TRUE(Shows("message", "Adding CW tone 9"));
    EXPECT_TRUE(Shows("count", "12"));
    bar_.SetCount(0);
    EXPECT_TRUE(Shows("count", ""));
}

TEST_F(StatusBarTest, WorkerThreadPostsReachThePanes) {
    std::thread worker([this] {
        for (int i = 1; i <= 200; ++i) {
            bar_.PostStatusMessage("File Monitoring " + std::to_string(i));
            bar_.SetCount(i);
        }
        bar_.SetMode(kModeAcquiring);
        bar_.StartTiming();
        bar_.StopTiming();
    });
    WaitUntil([] { return false; }, 30);  // the GUI thread ticks meanwhile
    worker.join();
    EXPECT_TRUE(Shows("message", "File Monitoring 200"));
    EXPECT_TRUE(Shows("count", "200"));
    EXPECT_TRUE(Shows("mode", "ACQ"));
    EXPECT_TRUE(WaitUntil([&] { return Pane("duration").endsWith("ms"); }, 100));
}

TEST_F(StatusBarTest, DurationIsMillisecondsBelowOneSecondElseSeconds) {
    const std::pair<double, const char*> cases[] = {
        {0.25, "250ms"}, {3.456, "3.46s"}, {1.0, "1.00s"}, {0.0004, "0ms"}, {0.9994, "999ms"}};
    for (const auto& [seconds, text] : cases) {
        bar_.PostElapsed(seconds);
        EXPECT_TRUE(Shows("duration", text))
            << seconds << " s shown as " << Pane("duration").toStdString();
    }
}

TEST_F(StatusBarTest, ModeIndicatorFollowsTheRequestedStates) {
    EXPECT_EQ(Pane("mode"), "OK");
    struct Step {
        int request;
        const char* shown;
        int mode;
    };
    const Step steps[] = {
        {kModeMacro, "MAC", kModeMacro},
        {kModeAcquiring, "M-ACQ", kModeMacroAcquire},  // acquisition during an automated run
        {kModeIdle, "OK", kModeIdle},
        {kModeAcquiring, "ACQ", kModeAcquiring},
        {kModeCalculating, "CALC", kModeCalculating},
        {kModeMacroAcquire, "CALC", kModeMacroAcquire},  // state only, text kept
    };
    int before = kModeIdle;
    for (const Step& step : steps) {
        bar_.SetMode(step.request);
        // On the GUI thread the indicator changes at once, not on the next tick.
        EXPECT_EQ(Pane("mode"), step.shown) << "request " << step.request;
        EXPECT_EQ(bar_.Mode(), step.mode);
        EXPECT_EQ(bar_.PreviousMode(), before);
        before = step.mode;
    }
}

TEST_F(StatusBarTest, StopButtonSetsTheStopRequestOnlyOnce) {
    auto* stop = bar_.findChild<QPushButton*>("stop");
    EXPECT_TRUE(stop->isHidden());
    bar_.SetStopButtonVisible(true);
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_TRUE(stop_.exchange(false));
    QTest::mouseClick(stop, Qt::LeftButton);  // disabled now
    EXPECT_FALSE(stop_.load());
    // The loop ends on its worker thread: the button goes away, ready for the next loop.
    std::thread([this] { bar_.SetStopButtonVisible(false); }).join();
    EXPECT_TRUE(WaitUntil([&] { return stop->isHidden(); }));
    EXPECT_TRUE(stop->isEnabled());
}

TEST_F(StatusBarTest, ProgressFreezesDuringAutomatedAcquisition) {
    bar_.SetProgress(30);
    EXPECT_TRUE(WaitUntil([&] { return Progress() == 30; }));
    bar_.SetMode(kModeMacro);
    bar_.SetMode(kModeAcquiring);
    bar_.SetProgress(80);
    WaitUntil([] { return false; }, 60);
    EXPECT_EQ(Progress(), 30);
    bar_.SetMode(kModeIdle);
    bar_.SetProgress(-1);  // restart: empty, then full
    EXPECT_TRUE(WaitUntil([&] { return Progress() == 100; }));
}

}  // namespace
