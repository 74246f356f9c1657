// The view driven by real Qt mouse, wheel and key events in the shown main window (offscreen):
// drag zoom both ways and its band, right-click reset, the wheel's axis steps, arrows at the
// ends, Clear/Write frame stepping, quadrant clicks, the 2-D zoom, the edit keys, and the
// vector animation that a right click stops.

#include <gtest/gtest.h>

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <QWheelEvent>
#include <cmath>
#include <mutex>

#include "app/view.h"
#include "waveform/message_pump.h"
#include "window_test_support.h"

namespace {

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held) {
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
void Press(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
    Send(w, QEvent::MouseButtonPress, at, b, b);
}
void Move(QWidget* w, QPoint at) { Send(w, QEvent::MouseMove, at, Qt::NoButton, Qt::LeftButton); }
void Release(QWidget* w, QPoint at, Qt::MouseButton b = Qt::LeftButton) {
    Send(w, QEvent::MouseButtonRelease, at, b, Qt::NoButton);
}
void Drag(QWidget* w, QPoint from, QPoint to) {
    Press(w, from);
    Move(w, (from + to) / 2);
    Move(w, to);
    Release(w, to);
}
void Wheel(QWidget* w, int delta) {
    const QPoint at(100, 100);
    QWheelEvent e(QPointF(at), QPointF(w->mapToGlobal(at)), QPoint(), QPoint(0, delta),
                  Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w, &e);
}
void Key(QWidget* w, int key) {
    QKeyEvent e(QEvent::KeyPress, key, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

class ViewEvents : public WindowTest {
protected:
    void TearDown() override {
        frame_.reset();
        WindowTest::TearDown();
    }
    // A shown main window holding a tone of n samples (real when `complex` is off).
    CView& Open(int n, bool complex = true, const std::string& name = "v_30.72MSPS.bin") {
        const std::string path = Tone(name, n, 405, complex);
        if (!frame_) {
            frame_ = Start({"-f", path});
            frame_->resize(1000, 700);
            frame_->show();
        } else {
            EXPECT_EQ(frame_->OpenWaveformFile(path, false), 0);
            frame_->OnCommand(300);
        }
        Paint();
        return *frame_->view;
    }
    // Delivers what is pending (the window's first expose among it), then paints now.
    void Paint() {
        for (int k = 0; k < 3; ++k)
            QApplication::processEvents();
        frame_->view->repaint();
    }
    CView& V() { return *frame_->view; }
    int Pw() { return V().width() - 56; }
    // Window x of a fraction of the plot width.
    int X(double fraction) { return 44 + static_cast<int>(fraction * Pw()); }

    std::unique_ptr<CMainFrame> frame_;
};

TEST_F(ViewEvents, DraggingZoomsTheSampleRangeInEitherDirection) {
    const int n = 100'001;
    CView& v = Open(n);
    frame_->OnCommand(309);
    Paint();
    ASSERT_EQ(v.xStart, 0.0);
    ASSERT_EQ(v.xEnd, n - 1.0);
    const int a = X(0.25), b = X(0.5);
    Drag(&v, QPoint(a, 100), QPoint(b, 120));
    Paint();
    const double wantStart = (a - 44.0) / Pw() * (n - 1), wantEnd = (b - 44.0) / Pw() * (n - 1);
    EXPECT_DOUBLE_EQ(v.xStart, wantStart);
    EXPECT_DOUBLE_EQ(v.xEnd, wantEnd);

    Press(&v, QPoint(300, 100), Qt::RightButton);  // back to the whole waveform
    Paint();
    EXPECT_EQ(v.xStart, 0.0);
    EXPECT_EQ(v.xEnd, n - 1.0);

    Drag(&v, QPoint(b, 100), QPoint(a, 90));  // right to left: the same range
    Paint();
    EXPECT_DOUBLE_EQ(v.xStart, wantStart);
    EXPECT_DOUBLE_EQ(v.xEnd, wantEnd);

    // A press in the bottom 30 pixels (the X-axis strip) never starts a drag.
    Press(&v, QPoint(300, 100), Qt::RightButton);
    Paint();
    Drag(&v, QPoint(a, v.height() - 20), QPoint(b, v.height() - 20));
    Paint();
    EXPECT_EQ(v.xEnd, n - 1.0);
}

TEST_F(ViewEvents, TheDragBandLightensTheSavedPictureWithoutReplotting) {
    CView& v = Open(20'000);
    frame_->OnCommand(310);
    Paint();
    const QImage before = v.grab().toImage();
    const int a = X(0.2), b = X(0.4);
    Press(&v, QPoint(a, 100));
    Move(&v, QPoint(b, 100));
    // A change that a re-plot would show: the band must still sit on the old picture.
    v.engine.axes[kLogMagAxis].reference = -40;
    const QImage during = v.grab().toImage();
    for (QPoint p : {QPoint((a + b) / 2, 200), QPoint(a + 3, 40), QPoint(b - 1, v.height() - 31)}) {
        const QColor c(before.pixel(p)), d(during.pixel(p));
        EXPECT_EQ(d.red(), c.red() * 186 / 256 + 70) << p.x() << "," << p.y();
        EXPECT_EQ(d.green(), c.green() * 186 / 256 + 70);
    }
    EXPECT_EQ(QColor(during.pixel(b + 20, 200)), QColor(before.pixel(b + 20, 200)));
    Release(&v, QPoint(b, 100));
}

TEST_F(ViewEvents, WheelStepsTheDbAxisThroughDivisionsThenScales) {
    CView& v = Open(8192);
    frame_->OnCommand(303);
    const AxisScale& axis = v.engine.axes[kSpectrumAxis];
    ASSERT_EQ(axis.divisions, 13);
    ASSERT_EQ(axis.scale, 10);
    for (double want : {12, 11, 10, 9, 8}) {
        Wheel(&v, -120);
        EXPECT_EQ(axis.divisions, want);
        EXPECT_EQ(axis.scale, 10);
    }
    Wheel(&v, -120);
    EXPECT_EQ(axis.scale, 5);
    EXPECT_EQ(axis.divisions, 15);
    Wheel(&v, 120);
    EXPECT_EQ(axis.divisions, 16);
    Wheel(&v, 120);
    EXPECT_EQ(axis.scale, 10);
    EXPECT_EQ(axis.divisions, 9);
    // The I/Q view steps its scale table; the zoom factor doubles per notch back.
    frame_->OnCommand(309);
    const int z = v.Zoom();
    Wheel(&v, -120);
    EXPECT_EQ(v.engine.axes[kLinearAxis].scale, 0.05);
    EXPECT_EQ(v.Zoom(), 2 * z);
    Wheel(&v, 0);  // a sideways scroll: no notch
    EXPECT_EQ(v.engine.axes[kLinearAxis].scale, 0.05);
}

TEST_F(ViewEvents, ArrowsPageThroughTheWaveformAndStopAtItsEnds) {
    const int n = 1000;
    CView& v = Open(n);
    frame_->OnCommand(309);
    Paint();
    v.xStart = 2;
    v.xEnd = 101;
    Key(&v, Qt::Key_Left);  // starts at sample 2: nothing to the left
    EXPECT_EQ(v.xStart, 2);
    v.xStart = 500;
    v.xEnd = 599;
    Key(&v, Qt::Key_Left);
    EXPECT_EQ(v.xStart, 400);
    EXPECT_EQ(v.xEnd, 499);
    for (int k = 0; k < 4; ++k)
        Key(&v, Qt::Key_Left);
    EXPECT_EQ(v.xStart, 0);  // the last step is cut at sample 0
    EXPECT_EQ(v.xEnd, 99);
    for (int k = 0; k < 12; ++k)
        Key(&v, Qt::Key_Right);
    EXPECT_EQ(v.xEnd, n - 1);
    EXPECT_EQ(v.xStart, 900);
    const double end = v.xEnd;
    Key(&v, Qt::Key_Right);
    EXPECT_EQ(v.xEnd, end);
    // Ignored while play-through runs.
    v.playThroughState = 1;
    Key(&v, Qt::Key_Left);
    EXPECT_EQ(v.xStart, 900);
}

TEST_F(ViewEvents, ClearWriteArrowsStepWholeFramesOnly) {
    CView& v = Open(4 * 1024 + 500);
    frame_->OnCommand(303);
    frame_->OnCommand(207);  // N = 1024
    ASSERT_EQ(v.settings.fftSize, 1024);
    Key(&v, Qt::Key_Right);  // averaging on: the frame does not move
    EXPECT_EQ(v.settings.fftPosition, 0);
    v.settings.averaging = false;
    for (int k = 0; k < 5; ++k)
        Key(&v, Qt::Key_Right);
    EXPECT_EQ(v.settings.fftPosition, 3 * 1024);  // 4096 + 1024 would pass the end
    EXPECT_EQ(v.engine.trace.frameStart, 3 * 1024);
    Key(&v, Qt::Key_Left);
    EXPECT_EQ(v.settings.fftPosition, 2 * 1024);
    EXPECT_EQ(v.engine.trace.frameStart, 2 * 1024);
}

TEST_F(ViewEvents, QuadrantClicksSelectPanesAndTheCentreSelectsNothing) {
    CView& v = Open(4096);
    const int W = v.width(), H = v.height();
    struct Click {
        QPoint at;
        int kind;
    };
    for (const Click c : {Click{{10, 10}, 309}, Click{{W - 10, 10}, 303}, Click{{10, H - 10}, 310},
                          Click{{W - 10, H - 10}, 313}}) {
        Press(&v, c.at);
        Release(&v, c.at);
        EXPECT_EQ(v.ViewType(), c.kind);
        EXPECT_TRUE(frame_->IsChecked(c.kind));
        Press(&v, QPoint(200, 200), Qt::MiddleButton);  // home to the 4-up view
        EXPECT_EQ(v.ViewType(), 300);
        EXPECT_TRUE(frame_->IsChecked(300));
    }
    for (QPoint centre : {QPoint(W / 2, H / 2), QPoint(W / 2, 10), QPoint(10, H / 2)}) {
        Press(&v, centre);
        Release(&v, centre);
        EXPECT_EQ(v.ViewType(), 300);
    }
}

TEST_F(ViewEvents, TheConstellationZoomsIntoTheDraggedBox) {
    CView& v = Open(4096);
    frame_->OnCommand(314);
    Paint();
    ASSERT_EQ(v.Zoom(), 1);
    const int W = v.width(), H = v.height();
    // A box 1/5 of the width and 1/3 of the height: ratio 3, zoom step 2.
    const QPoint from(300, 150), to(300 + W / 5, 150 + H / 3);
    Drag(&v, from, to);
    EXPECT_EQ(v.Zoom(), 2);
    EXPECT_EQ(v.ConstellationCentre().x(), from.x() + (to.x() - from.x()) / 2);
    EXPECT_EQ(v.ConstellationCentre().y(), from.y() + (to.y() - from.y()) / 2);
    Paint();
    EXPECT_EQ(v.ConstellationCentre().x(),
              from.x() + (to.x() - from.x()) / 2);  // the draw keeps the centre
    const int cx = v.ConstellationCentre().x();
    // A second, smaller box multiplies the zoom and moves the centre by its offset / Z.
    const QPoint c2(W / 2 + 40, H / 2), half(W / 40, H / 40);
    Drag(&v, c2 - half, c2 + half);
    EXPECT_EQ(v.Zoom(), 2 * 16);
    EXPECT_EQ(v.ConstellationCentre().x(), (c2.x() - W / 2) / 2 + cx);
    Press(&v, QPoint(200, 200), Qt::RightButton);
    EXPECT_EQ(v.Zoom(), 1);
}

TEST_F(ViewEvents, BracketAndLetterKeysEditTheWaveform) {
    CView& v = Open(64);
    frame_->OnCommand(309);
    const float first = frame_->mainWave.I[0], last = frame_->mainWave.I[63];
    Key(&v, Qt::Key_BracketLeft);
    EXPECT_EQ(frame_->mainWave.I[63], first);
    Key(&v, Qt::Key_BracketRight);
    Key(&v, Qt::Key_BracketRight);
    EXPECT_EQ(frame_->mainWave.I[0], last);
    const double before = std::atan2(frame_->mainWave.Q[5], frame_->mainWave.I[5]);
    Key(&v, Qt::Key_Q);
    const double after = std::atan2(frame_->mainWave.Q[5], frame_->mainWave.I[5]);
    EXPECT_NEAR(std::remainder(after - before, 2 * M_PI), M_PI / 180, 1e-5);
    Key(&v, Qt::Key_W);
    Key(&v, Qt::Key_W);
    EXPECT_NEAR(
        std::remainder(std::atan2(frame_->mainWave.Q[5], frame_->mainWave.I[5]) - before, 2 * M_PI),
        -M_PI / 180, 1e-5);
}

TEST_F(ViewEvents, TheVectorTrailRunsThroughAndARightClickStopsIt) {
    CView& v = Open(60);
    frame_->OnCommand(312);  // runs to the end: the last window is 49 … 59
    EXPECT_EQ(v.xStart, 49);
    EXPECT_EQ(v.animationState, 0);
    EXPECT_EQ(frame_->lastStatus, "Vector view type selected");

    Open(200'000);
    // Right-click once the trail has travelled 300 samples; a loop that went on would end
    // with the window at the last samples.
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &v, [&v, &poll] {
        if (v.animationState == 2 && v.xStart >= 300) {
            Press(&v, QPoint(300, 200), Qt::RightButton);
            poll.stop();
        }
    });
    poll.start(1);
    frame_->OnCommand(312);
    EXPECT_EQ(v.animationState, 0);
    EXPECT_EQ(v.xStart, 0);  // the click went back to the full range
    EXPECT_FALSE(poll.isActive());
}

TEST_F(ViewEvents, TimeKindsReturnToTheFullRangeForANewLength) {
    CView& v = Open(5000);
    frame_->OnCommand(310);
    Paint();
    v.xStart = 100;
    v.xEnd = 200;
    Paint();
    EXPECT_EQ(v.xEnd, 200);
    Open(3000, true, "w2_30.72MSPS.bin");
    frame_->OnCommand(310);
    v.xStart = 100;
    v.xEnd = 200;
    frame_->mainWave.sampleCount = 2999;  // as a tool that shortens it would
    Paint();
    EXPECT_EQ(v.xStart, 0);
    EXPECT_EQ(v.xEnd, 2998);
    // A CCDF drag from a quarter to a half of the plot zooms 3.75 … 7.5 dB.
    frame_->OnCommand(313);
    Paint();
    Drag(&v, QPoint(X(0.25), 100), QPoint(X(0.5), 100));
    Paint();
    const double n1 = frame_->mainWave.sampleCount - 1;
    EXPECT_NEAR(15 * v.xStart / n1, 3.75, 15.0 / Pw());
    EXPECT_NEAR(15 * v.xEnd / n1, 7.5, 15.0 / Pw());
}

TEST_F(ViewEvents, ARealWaveformShowsIForIqAndScalingIsRefusedInTheIqPlaneViews) {
    CView& v = Open(4096, false);
    frame_->OnCommand(303);
    EXPECT_EQ(v.ViewType(), 301);
    EXPECT_TRUE(frame_->IsChecked(301));
    EXPECT_FALSE(frame_->IsChecked(303));
    prompter_.numbers["Please enter the number of divisions"] = 7.5;
    frame_->OnCommand(310);
    frame_->OnCommand(226);
    EXPECT_EQ(v.engine.axes[kLogMagAxis].divisions, 7.5);
    prompter_.numbers["Please enter the number of divisions"] = 101;
    frame_->OnCommand(226);
    EXPECT_EQ(v.engine.axes[kLogMagAxis].divisions, 7.5);
    for (int kind : {313, 314}) {
        frame_->OnCommand(kind);
        frame_->lastStatus.clear();
        frame_->OnCommand(227);
        EXPECT_EQ(frame_->lastStatus, "Cannot scale in multi-view mode") << kind;
    }
    frame_->OnCommand(40014);
    EXPECT_TRUE(v.phaseDisplay);
    EXPECT_EQ(frame_->lastStatus, "Frequency domain view of phase");
    frame_->OnCommand(300);  // the phase plot replaces the 4-up view too
    const QImage phase = v.Render(800, 500);
    EXPECT_EQ(v.engine.leftPanel.at(0).text.rfind("Sample Rate: ", 0), 0u);
    EXPECT_EQ(v.engine.leftPanel.size(), 4u);
    EXPECT_EQ(QColor(phase.pixel(400, 250)).blue(), 0);
    frame_->OnCommand(309);  // time kinds switch the phase display off
    EXPECT_FALSE(v.phaseDisplay);
}

// A paint that finds a worker holding the samples shows the last picture, and paints the new
// samples once the worker has let go: the last reload of a burst always reaches the window.
TEST_F(ViewEvents, APaintThatFindsTheSamplesHeldComesBackForThem) {
    CView& v = Open(4096);
    int paints = 0;
    struct Counter : QObject {
        int* count;
        bool eventFilter(QObject*, QEvent* e) override {
            if (e->type() == QEvent::Paint) ++*count;
            return false;
        }
    } counter;
    counter.count = &paints;
    v.installEventFilter(&counter);
    {
        std::lock_guard held(*v.waveLock);  // a worker exchanging the samples
        v.repaint();
    }
    const int whileHeld = paints;
    EXPECT_EQ(whileHeld, 1);
    PumpMessagesFor(60);
    EXPECT_GT(paints, whileHeld);
    v.removeEventFilter(&counter);
}

}  // namespace
