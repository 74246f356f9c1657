// The command channel driven from another program: qrvn remote runs as a child process
// against the window's D-Bus service while the window's event loop turns. Runs under
// dbus-run-session; the no-bus case runs with the session bus address pointing nowhere.

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QImage>
#include <QJsonDocument>
#include <QJsonObject>

#include "../cli/qrvn_runner.h"
#include "app/command_channel.h"
#include "app/view.h"
#include "window_test_support.h"

namespace {

// Collects the channel's StatusText signal as another program would receive it.
class StatusListener : public QObject {
    Q_OBJECT
public:
    std::vector<std::string> texts;
public slots:
    void OnStatus(const QString& text) { texts.push_back(text.toStdString()); }
};

class Channel : public WindowTest {
protected:
    // Runs qrvn remote ARGS while this process's event loop answers it.
    Result Remote(std::vector<std::string> args) {
        args.insert(args.begin(), "remote");
        ::Start start;  // the fixture has a Start of its own
        start.whileWaiting = [] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            usleep(2000);
        };
        const Result r = RunQrvn(args, dir_, start);
        QCoreApplication::processEvents();
        return r;
    }
};

TEST_F(Channel, EveryMethodFromAnotherProgram) {
    CMainFrame frame(store_.get());
    frame.OnInitialUpdate({"-f", Tone("a_30.72MSPS.bin", 8192)});
    ASSERT_TRUE(cCommandChannel::Start(&frame));
    StatusListener listener;
    ASSERT_TRUE(QDBusConnection::sessionBus().connect(kChannelService, kChannelPath,
                                                      kChannelInterface, "StatusText", &listener,
                                                      SLOT(OnStatus(QString))));

    // The same command table as the menus: a view, the Y-axis queries and a setter.
    EXPECT_EQ(Remote({"command", std::to_string(kViewIQ)}).out, "1\n");
    EXPECT_EQ(frame.view->ViewType(), kViewIQ);
    EXPECT_EQ(Remote({"command", std::to_string(kCmdQueryDivisions)}).out, "13\n");
    EXPECT_EQ(Remote({"command", std::to_string(kCmdSetDivisionsValue), "10"}).out, "1\n");
    EXPECT_EQ(Remote({"command", std::to_string(kCmdQueryDivisions)}).out, "10\n");
    EXPECT_EQ(Remote({"command", std::to_string(kCmdSetScaleValue), "250"}).status, 0);
    EXPECT_EQ(Remote({"command", std::to_string(kCmdQueryScale)}).out, "250\n");

    // A tool step without dialogs, and a bad one with its reason.
    const float before = frame.mainWave.I[3];
    const Result tone = Remote({"tool", "tone:AddToneMHz=0,AddTonedBFS=-6,AddTonePhase=0"});
    EXPECT_EQ(tone.status, 0);
    EXPECT_EQ(tone.out, "0\n");
    EXPECT_FLOAT_EQ(frame.mainWave.I[3], before + std::pow(10.0f, -0.3f));
    const Result bad = Remote({"tool", "no-such-tool"});
    EXPECT_EQ(bad.status, 4);
    EXPECT_NE(bad.out, "0\n");
    EXPECT_EQ(frame.lastStatus.rfind("ERR: unknown tool \"no-such-tool\"", 0), 0u)
        << frame.lastStatus;
    QCoreApplication::processEvents();
    ASSERT_FALSE(listener.texts.empty());
    EXPECT_EQ(listener.texts.back(), frame.lastStatus);

    // Measurements as qrvn measure --json prints them; a picture; open; save.
    const Result measure = Remote({"measure"});
    ASSERT_EQ(measure.status, 0);
    const QJsonObject m = QJsonDocument::fromJson(QByteArray::fromStdString(measure.out)).object();
    EXPECT_EQ(m["view"].toInt(), kViewIQ);
    EXPECT_EQ(m["sample_rate_hz"].toDouble(), 30.72e6);
    EXPECT_TRUE(m.contains("total_power_db"));
    const std::string png = (dir_ / "w.png").string();
    EXPECT_EQ(Remote({"render", png, "800x500"}).status, 0);
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(800, 500));
    EXPECT_EQ(Remote({"open", Tone("b_1MSPS.bin", 300)}).status, 0);
    EXPECT_EQ(frame.mainWave.sampleCount, 300);
    const std::string saved = (dir_ / "c_1MSPS.bin").string();
    EXPECT_EQ(Remote({"save", saved, std::to_string(kFileBin16LeTwos)}).status, 0);
    EXPECT_EQ(fs::file_size(saved), 1200u);
    EXPECT_EQ(Remote({"open", (dir_ / "missing.bin").string()}).status, 2);
}

// Without a session bus the window starts as always, only without the channel.
TEST_F(Channel, NoBusNoChannel) {
    if (QDBusConnection::sessionBus().isConnected()) GTEST_SKIP() << "a session bus is there";
    CMainFrame frame(store_.get());
    frame.OnInitialUpdate({"-f", Tone("a_1MSPS.bin", 100)});
    EXPECT_FALSE(cCommandChannel::Start(&frame));
    EXPECT_EQ(frame.mainWave.sampleCount, 100);
    EXPECT_EQ(frame.OnCommand(kViewIQ), 1);
}

}  // namespace

#include "channel_test.moc"
