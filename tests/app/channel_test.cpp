// The command channel driven from another program: qrvn remote runs as a child process
// against the window's D-Bus service while the window's event loop turns. Runs under
// dbus-run-session; the no-bus case runs with the session bus address pointing nowhere.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCoreApplication>
#include <QDBusConnection>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMessageBox>
#include <QTableWidget>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <random>
#include <thread>

#include "../cli/qrvn_runner.h"
#include "app/command_channel.h"
#include "app/marker_dock.h"
#include "app/view.h"
#include "waveform/message_pump.h"
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
    // How qrvn remote is waited for: this process's event loop answers it meanwhile.
    static ::Start Answering(const std::string& tag = "") {
        ::Start start;  // the fixture has a Start of its own
        start.tag = tag;
        start.whileWaiting = [] {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            usleep(2000);
        };
        return start;
    }
    // Runs qrvn remote ARGS while this process's event loop answers it.
    Result Remote(std::vector<std::string> args, const std::string& tag = "") {
        args.insert(args.begin(), "remote");
        const Result r = RunQrvn(args, dir_, Answering(tag));
        QCoreApplication::processEvents();
        return r;
    }
    // A window on the bus with an 8192-sample tone (the frame as the program makes it: its
    // message boxes go nowhere here, and any dialog that opened would fail the test).
    std::unique_ptr<CMainFrame> OnTheBus() {
        auto f = std::make_unique<CMainFrame>(store_.get());
        f->OnInitialUpdate({"-f", Tone("a_30.72MSPS.bin", 8192)});
        EXPECT_TRUE(cCommandChannel::Start(f.get()));
        return f;
    }
};

TEST_F(Channel, EveryMethodFromAnotherProgram) {
    const auto owned = OnTheBus();
    CMainFrame& frame = *owned;
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

    // A tool step without dialogs; a step that does not parse is refused with its reason.
    const float before = frame.mainWave.I[3];
    const Result tone = Remote({"tool", "tone:AddToneMHz=0,AddTonedBFS=-6,AddTonePhase=0"});
    EXPECT_EQ(tone.status, 0);
    EXPECT_EQ(tone.out, "0\n");
    EXPECT_FLOAT_EQ(frame.mainWave.I[3], before + std::pow(10.0f, -0.3f));
    const Result bad = Remote({"tool", "no-such-tool"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_PRED2(Contains, bad.err, "unknown tool \"no-such-tool\"");
    EXPECT_EQ(frame.lastStatus.rfind("ERR: unknown tool \"no-such-tool\"", 0), 0u)
        << frame.lastStatus;
    QCoreApplication::processEvents();
    ASSERT_FALSE(listener.texts.empty());
    EXPECT_EQ(listener.texts.back(), frame.lastStatus);

    // Measurements as qrvn measure --json prints them; a picture.
    const Result measure = Remote({"measure"});
    ASSERT_EQ(measure.status, 0);
    const QJsonObject m = QJsonDocument::fromJson(QByteArray::fromStdString(measure.out)).object();
    EXPECT_EQ(m["view"].toInt(), kViewIQ);
    EXPECT_EQ(m["sample_rate_hz"].toDouble(), 30.72e6);
    EXPECT_TRUE(m.contains("total_power_db"));
    const std::string png = (dir_ / "w.png").string();
    EXPECT_EQ(Remote({"render", png, "800x500"}).status, 0);
    EXPECT_EQ(QImage(QString::fromStdString(png)).size(), QSize(800, 500));

    // The tone is an unsaved edit: opening another file would lose it, unless asked to.
    const std::string other = Tone("b_1MSPS.bin", 300);
    const Result kept = Remote({"open", other});
    EXPECT_EQ(kept.status, 2);
    EXPECT_PRED2(Contains, kept.err, "unsaved edits of a_30.72MSPS.bin would be lost");
    EXPECT_EQ(frame.mainWave.sampleCount, 8192);
    EXPECT_EQ(Remote({"command", std::to_string(kCmdNew)}).status, 2);
    EXPECT_EQ(frame.mainWave.sampleCount, 8192);
    EXPECT_EQ(Remote({"open", "--discard", other}).status, 0);
    EXPECT_EQ(frame.mainWave.sampleCount, 300);
    const std::string saved = (dir_ / "c_1MSPS.bin").string();
    EXPECT_EQ(Remote({"save", saved, std::to_string(kFileBin16LeTwos)}).status, 0);
    EXPECT_EQ(fs::file_size(saved), 1200u);
    EXPECT_EQ(Remote({"open", (dir_ / "missing.bin").string()}).status, 2);
    // A recording takes its texts from the call.
    const std::string meta = (dir_ / "r.sigmf-meta").string();
    EXPECT_EQ(Remote({"save", meta, "405", "bench capture", "lab"}).status, 0);
    EXPECT_PRED2(Contains, Slurp(meta), "\"core:description\": \"bench capture\"");
}

// Markers from another program: set and read over the channel, they read what qrvn measure
// --marker reads from the same file at the same settings.
TEST_F(Channel, MarkersReadAsQrvnMeasureReadsThem) {
    const auto owned = OnTheBus();
    CMainFrame& frame = *owned;
    const std::string file = Tone("t_30.72MSPS.bin", 65536);
    ASSERT_EQ(Remote({"open", file}).status, 0);
    ASSERT_EQ(Remote({"command", std::to_string(kViewIQ)}).status, 0);
    const std::string f = "1790000";  // the tone (0.37 rad a sample) is at 1.809 MHz
    ASSERT_EQ(Remote({"marker", "1", f}).status, 0);
    ASSERT_EQ(Remote({"marker", "2", "-5e6"}).status, 0);
    const Result window = Remote({"markers"});
    ASSERT_EQ(window.status, 0);
    const Result cli =
        RunQrvn({"measure", file, "--marker", f, "--marker", "-5e6", "--json"}, dir_);
    ASSERT_EQ(cli.status, 0) << cli.err;
    const QJsonObject w = QJsonDocument::fromJson(QByteArray::fromStdString(window.out)).object();
    const QJsonObject c = QJsonDocument::fromJson(QByteArray::fromStdString(cli.out)).object();
    EXPECT_EQ(w["plot"].toString(), "spectrum");
    ASSERT_EQ(w["markers"].toArray().size(), 2);
    for (int m = 0; m < 2; ++m)
        for (const char* key :
             {"number", "frequency_hz", "level_dbfs", "marker_power_db", "centroid_frequency_hz"})
            EXPECT_EQ(w["markers"][m][key].toDouble(), c["markers"][m][key].toDouble()) << key;

    // Off again; bad numbers and plots without markers are refused with the reason.
    EXPECT_EQ(Remote({"marker", "2", "off"}).status, 0);
    EXPECT_FALSE(frame.view->markers.frequencyHz[1]);
    EXPECT_EQ(Remote({"marker", "5", "1"}).status, 2);
    EXPECT_EQ(Remote({"marker", "1", "nan"}).status, 2);
    ASSERT_EQ(Remote({"command", std::to_string(kViewConstellation)}).status, 0);
    const Result refused = Remote({"marker", "1", "0"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_PRED2(Contains, refused.err, "has no markers");
    // On a time view a marker is a sample number.
    ASSERT_EQ(Remote({"command", std::to_string(kViewLogMag)}).status, 0);
    ASSERT_EQ(Remote({"marker", "1", "100"}).status, 0);
    const QJsonObject t =
        QJsonDocument::fromJson(QByteArray::fromStdString(Remote({"markers"}).out)).object();
    EXPECT_EQ(t["plot"].toString(), "time");
    EXPECT_EQ(t["markers"][0]["sample"].toDouble(), 100);
    EXPECT_FLOAT_EQ(t["markers"][0]["i"].toDouble(), frame.mainWave.I[100]);
}

// What would open a dialog in the window is refused with its reason; nothing waits on a
// dialog, and no dialog opens (one would fail the call as it would block this process).
TEST_F(Channel, NothingEverOpensADialog) {
    const auto owned = OnTheBus();
    CMainFrame& frame = *owned;
    bool dialogSeen = false;
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (QWidget* w = QApplication::activeModalWidget()) {
            dialogSeen = true;
            w->close();
        }
    });
    watch.start(5);
    ASSERT_EQ(Remote({"command", std::to_string(kViewIQ)}).status, 0);  // a view with a Y axis
    struct Refused {
        std::vector<std::string> args;
        const char* reason;
    };
    for (const Refused& r : std::vector<Refused>{
             {{"open", ""}, "a path is needed"},
             {{"open", "abc"}, "No such file"},
             {{"save", "", "405"}, "a path is needed"},
             {{"command", std::to_string(kCmdSampleRate)}, "needs input"},
             {{"command", std::to_string(kCmdSetReference)}, "needs input"},
             {{"command", std::to_string(kCmdExportFft)}, "needs a file name"},
             {{"command", std::to_string(kCmdSetReferenceValue), "9223372036854775807"},
              "reference level"},
             {{"command", std::to_string(kCmdFirDesigner)}, "qrvn fir-design"},
             {{"render", "x.png", "100x100junk"}, "the size is WxH"},
         }) {
        const Result out = Remote(r.args);
        EXPECT_EQ(out.status, 2) << r.args[0] << " " << r.args[1];
        EXPECT_PRED2(Contains, out.err, r.reason);
    }
    // A short name is a name: written where it says, no dialog asked for it.
    const fs::path here = fs::current_path();
    fs::current_path(dir_);
    EXPECT_EQ(Remote({"save", "a.b", "405"}).status, 0);
    fs::current_path(here);
    EXPECT_EQ(fs::file_size(dir_ / "a.b"), 8192u * 4);
    // The vector trail runs on after the call has returned.
    EXPECT_EQ(Remote({"command", std::to_string(kViewVector)}).status, 0);
    EXPECT_EQ(frame.view->ViewType(), kViewVector);
    EXPECT_FALSE(dialogSeen);
    EXPECT_EQ(Remote({"command", std::to_string(kCmdHelp)}).status, 0);
    EXPECT_FALSE(dialogSeen);
    // While a dialog of the window waits for its user, a change is refused; a reading is not.
    watch.stop();
    QMessageBox box(&frame);
    box.setWindowModality(Qt::ApplicationModal);
    box.show();
    const Result held = Remote({"tool", "conjugate"});
    EXPECT_EQ(held.status, 2);
    EXPECT_PRED2(Contains, held.err, "a dialog is open in the window");
    EXPECT_EQ(Remote({"measure"}).status, 0);
}

// Calls that arrive while a tool runs (the window's event loop turns meanwhile) are refused
// with what runs; the tool itself runs to its end untouched.
TEST_F(Channel, CallsDuringAToolAreRefused) {
    const auto owned = OnTheBus();
    CMainFrame& frame = *owned;
    ASSERT_EQ(Remote({"tool", "set-length:SetLength=20000000"}).status, 0);
    std::vector<Result> during;
    QTimer probe;
    QObject::connect(&probe, &QTimer::timeout, [&] {
        if (!frame.Busy() || !during.empty()) return;
        probe.stop();
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"tool", "set-length:SetLength=10"},
              {"render", (dir_ / "busy.png").string(), "200x200"},
              {"measure"},
              {"open", "--discard", Tone("c_1MSPS.bin", 100)},
              {"command", std::to_string(kViewIQ)},
              {"markers"},
              {"marker", "1", "1000"}})
            during.push_back(Remote(args, "during"));
    });
    probe.start(1);
    const Result noise =
        FinishQrvn(StartQrvn({"remote", "tool", "noise:AddNoise=-30"}, dir_, Answering("long")),
                   Answering("long"));
    EXPECT_EQ(noise.status, 0) << noise.err;
    ASSERT_EQ(during.size(), 7u);
    for (const Result& r : during) {
        EXPECT_EQ(r.status, 2);
        EXPECT_PRED2(Contains, r.err, "the window is busy with the tool noise");
    }
    EXPECT_EQ(frame.mainWave.sampleCount, 20'000'000);
    EXPECT_FALSE(fs::exists(dir_ / "busy.png"));
}

// A tool from another program stops monitoring as a menu tool does: the rewrites that follow
// cannot take its result away, and the window says monitoring has ended.
TEST_F(Channel, AToolStopsMonitoringFirst) {
    const auto owned = OnTheBus();
    CMainFrame& frame = *owned;
    const std::string file = Tone("mon_1MSPS.bin", 4000);
    ASSERT_EQ(Remote({"open", "--discard", file}).status, 0);
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; writing; ++i) {
            Tone("mon_1MSPS.bin", 3000 + i % 7 * 100);
            usleep(3000);
        }
    });
    for (int round = 0; round < 12; ++round) {
        ASSERT_EQ(Remote({"command", std::to_string(kCmdMonitorReload)}).status, 0);
        ASSERT_TRUE(frame.WorkerRunning());
        PumpMessagesFor(40);  // a few reloads
        const Result r = Remote({"tool", "upsample-zero:Upsample=2"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_FALSE(frame.WorkerRunning());
        const int length = frame.mainWave.sampleCount;
        PumpMessagesFor(60);  // rewrites go on; nothing reloads them now
        EXPECT_EQ(frame.mainWave.sampleCount, length) << round;
        EXPECT_EQ(length % 2, 0);
        EXPECT_FALSE(frame.IsChecked(kCmdMonitorReload));
    }
    writing = false;
    writer.join();
}

// Markers are set and read, and their table kept, while monitoring reloads a rewritten file
// on its worker; the reloads keep them.
TEST_F(Channel, MarkersFollowAMonitoredFile) {
    const auto owned = OnTheBus();
    CMainFrame& frame = *owned;
    frame.show();
    const std::string file = Tone("mark_1MSPS.bin", 4000);
    ASSERT_EQ(Remote({"open", "--discard", file}).status, 0);
    ASSERT_EQ(Remote({"command", std::to_string(kViewIQ)}).status, 0);
    ASSERT_EQ(Remote({"command", std::to_string(kCmdMarkerTable)}).status, 0);
    ASSERT_EQ(Remote({"marker", "1", "58887"}).status, 0);  // the tone: 0.37 rad a sample
    std::atomic<bool> writing{true};
    std::thread writer([&] {
        for (int i = 0; writing; ++i) {
            Tone("mark_1MSPS.bin", 3000 + i % 7 * 100);
            usleep(3000);
        }
    });
    ASSERT_EQ(Remote({"command", std::to_string(kCmdMonitorReload)}).status, 0);
    for (int round = 0; round < 8; ++round) {
        ASSERT_EQ(Remote({"marker", "2", std::to_string(100000 + round)}).status, 0);
        const QJsonObject m =
            QJsonDocument::fromJson(QByteArray::fromStdString(Remote({"markers"}).out)).object();
        ASSERT_EQ(m["markers"].toArray().size(), 2) << round;
        EXPECT_NEAR(m["markers"][0]["marker_power_db"].toDouble(), -6.02, 0.05);
        frame.OnCommand(kCmdMarkerPeak);  // M2, the selected one, onto the tone
        PumpMessagesFor(30);
    }
    writing = false;
    writer.join();
    EXPECT_TRUE(frame.WorkerRunning());
    EXPECT_EQ(frame.MarkerDock()->Table()->rowCount(), 2);
    EXPECT_TRUE(frame.view->markers.frequencyHz[0]);
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

namespace {

// The window's modulation analysis reaches another program through Measurements() with the
// values qrvn measure --modulation reads from the same file.
TEST_F(Channel, ModulationResultsReadAsQrvnMeasureReadsThem) {
    const auto owned = OnTheBus();
    CMainFrame& frame = *owned;
    frame.prompter = &prompter_;
    std::mt19937 g(4);
    std::normal_distribution<double> noise(0.0, 0.01);
    cWaveform qpsk = SignalWave(16384, 4'000'000, [&](int) {
        return std::complex<double>(g() % 2 ? 0.5 : -0.5, g() % 2 ? 0.5 : -0.5) +
               std::complex<double>(noise(g), noise(g));
    });
    qpsk.fileType = kFileCf32Le;
    const std::string file = Path("q_4MSPS.cf32");
    ASSERT_EQ(qpsk.SaveFile(file), 1);
    ASSERT_EQ(Remote({"open", file}).status, 0);
    prompter_.texts["Modulation: bpsk, qpsk, 8psk, qam16, qam64 or qam256"] = "qpsk";
    prompter_.numbers["Symbol rate (Hz)"] = 4e6;
    prompter_.texts["Pulse shape: rrc ROLLOFF, rc ROLLOFF or none"] = "none";
    prompter_.texts["Equaliser (nine taps, trained on the decisions): on or off"] = "off";
    // Over the channel a command that asks questions is refused; from the menu it asks them.
    const Result asked = Remote({"command", std::to_string(kCmdModulationAnalysis)});
    EXPECT_EQ(asked.status, 2);
    EXPECT_PRED2(Contains, asked.err, "needs input");
    frame.ActionFor(kCmdModulationAnalysis)->trigger();
    ASSERT_EQ(frame.view->ViewType(), kViewConstellation) << frame.lastStatus;
    const Result window = Remote({"measure"});
    const Result cli =
        RunQrvn({"measure", file, "--modulation", "qpsk", "--symbol-rate", "4e6", "--json"}, dir_);
    ASSERT_EQ(cli.status, 0) << cli.err;
    const QJsonObject w = QJsonDocument::fromJson(QByteArray::fromStdString(window.out))
                              .object()["modulation"]
                              .toObject();
    const QJsonObject c = QJsonDocument::fromJson(QByteArray::fromStdString(cli.out))
                              .object()["modulation"]
                              .toObject();
    ASSERT_FALSE(w.isEmpty()) << window.out;
    for (const char* key : {"symbols", "evm_rms_db", "evm_peak_symbol", "mer_db",
                            "frequency_error_hz", "gain_imbalance_db", "timing_offset_symbols"})
        EXPECT_EQ(w[key].toDouble(), c[key].toDouble()) << key;
    EXPECT_NEAR(w["evm_rms_db"].toDouble(), -10 * std::log10(0.5 / 2e-4), 0.2);
}

}  // namespace

#include "channel_test.moc"
