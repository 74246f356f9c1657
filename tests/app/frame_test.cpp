// The real main window, driven headless: start-up and restart, the command line, menus and
// Recent Files, open/save/undo, file-type re-parse, tools, workers and the FIR designer.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <QActionGroup>
#include <QApplication>
#include <QDockWidget>
#include <QFileDialog>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <fstream>
#include <set>

#include "app/capture_strip.h"
#include "app/marker_dock.h"
#include "app/spectrogram_view.h"
#include "app/view.h"
#include "display/axis_scale.h"
#include "display/value_format.h"
#include "dsp/random.h"
#include "ui/dlg_fir_design.h"
#include "ui/status_bar.h"
#include "waveform/capture_source.h"
#include "waveform/message_pump.h"
#include "waveform/number_format.h"
#include "window_test_support.h"

namespace {

// The title as the window shows it: "[*]" becomes "*" while the samples are modified.
std::string Title(const CMainFrame& f) {
    QString t = f.windowTitle();
    return t.replace("[*]", f.isWindowModified() ? "*" : "").toStdString();
}

bool PanelHas(const std::vector<PanelLine>& lines, const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const PanelLine& l) { return l.text == text; });
}

// Shows the window, makes it active and presses a key combination on the view, so the
// shortcut goes through Qt's own shortcut map.
void PressKeys(CMainFrame& f, int key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (!f.isVisible()) {
        f.show();
        QApplication::setActiveWindow(&f);
        EXPECT_TRUE(QTest::qWaitForWindowActive(&f));
    }
    QTest::keyClick(f.view, static_cast<Qt::Key>(key), modifiers);
}

// The status bar's decode pane once its timer has copied the posted text.
std::string Decode(const CMainFrame& f) {
    QTest::qWait(3 * cQRVNStatusBar::kTimerPeriodMs);
    return f.statusBar->findChild<QLabel*>("decode")->text().toStdString();
}

using Frame = WindowTest;

TEST_F(Frame, StartsNewAndSettingsAndPromptsSurviveARestart) {
    {
        auto f = Start({});
        EXPECT_EQ(f->mainWave.sampleCount, 65536);
        EXPECT_EQ(f->currentFileName, "New Waveform");
        for (int id : {431, 405, 211, 300})  // 211: FFT size 16384
            EXPECT_TRUE(f->IsChecked(id)) << id;
        EXPECT_FALSE(f->IsChecked(430));
        EXPECT_EQ(f->lastStatus, "Ready");
        EXPECT_EQ(Title(*f), "Quorvalen - New Waveform");
        f->OnCommand(213);  // 64k
        f->OnCommand(410);  // a New waveform is in save-type mode: only the save format changes
        EXPECT_EQ(f->lastStatus, "New File type selected for use when Saving");
        prompter_.numbers["Enter the sample rate of the waveform"] = 15'360'000;
        f->OnCommand(525);
        EXPECT_EQ(f->lastStatus, "Sampling frequency changed");
        prompter_.numbers["Enter the offset for dBFS-to-dBm"] = 30;
        f->OnCommand(229);
        EXPECT_EQ(f->view->engine.dbmOffsetDb, 30.0);
        f->OnCommand(40110);  // cancelled: the refusal text
        EXPECT_EQ(f->lastStatus, "ERR: Invalid Carrier Power entered!");
    }
    auto g = Start({});
    EXPECT_EQ(g->view->settings.fftSize, 65536);
    EXPECT_TRUE(g->IsChecked(213));
    EXPECT_EQ(g->mainWave.fileType, 410);
    EXPECT_EQ(g->mainWave.sampleRate, 15'360'000);
}

TEST_F(Frame, CommandLineOptionsApplyInOrderAndPathsFollowTheInstallPath) {
    const std::string file = Tone("x_30.72MSPS.bin", 4096, 418);
    auto f = Start({"-t", "CPRI_ManExp", "-f", file});
    EXPECT_EQ(f->mainWave.fileType, 418);
    EXPECT_EQ(f->mainWave.sampleCount, 4096);
    EXPECT_EQ(f->mainWave.sampleRate, 30'720'000);
    EXPECT_EQ(f->lastStatus, "Ready");
    auto g = Start({"-f", file, "-t", "CPRI_ManExp"});  // loaded as the stored type 405 first
    EXPECT_EQ(g->mainWave.fileType, 418);
    EXPECT_EQ(g->mainWave.sampleCount, 4096);  // 405 and 418 both take 4 bytes a sample
    auto h = Start({"-d", "TDD14"});           // an argument that opens nothing
    EXPECT_EQ(h->mainWave.sampleCount, 0);
    EXPECT_EQ(h->lteDuplex, 40144);

    fs::create_directories(dir_ / "data");
    Tone("data/a_1MSPS.bin", 100);
    store_->setValue("InstallPath", QString::fromStdString(dir_.string()));
    store_->sync();
    auto r = Start({"-f", "data/a_1MSPS.bin"});
    EXPECT_EQ(r->mainWave.sampleCount, 100);
    EXPECT_EQ(r->currentFileName, (dir_ / "data/a_1MSPS.bin").string());
}

TEST_F(Frame, FailedOpenKeepsTheWaveformOnScreenAndSaysWhy) {
    auto f = Start({"-f", Tone("keep_1MSPS.bin", 300)});
    const float first = f->mainWave.I[7];
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const std::pair<std::string, std::string> cases[] = {
        {(dir_ / "missing.bin").string(), "ERR: File Open Failed: No such file or directory"},
        {fifo, "ERR: File Open Failed: not a regular file"},  // without blocking
        {dir_.string(), "ERR: File Open Failed: not a regular file"},
    };
    for (const auto& [path, status] : cases) {
        EXPECT_NE(f->OpenWaveformFile(path, true), 0);
        EXPECT_EQ(f->lastStatus, status);
        EXPECT_EQ(f->mainWave.sampleCount, 300);
        EXPECT_EQ(f->mainWave.I[7], first);
    }
    EXPECT_EQ(Title(*f), "Quorvalen - " + (dir_ / "keep_1MSPS.bin").string());

    // Lines that are not numbers are counted where "File Opened" would stand.
    std::ofstream(dir_ / "h.txt") << "I,Q\n# two\n0.5,0.25\n-1,1\n";
    f->OnCommand(401);
    EXPECT_EQ(f->OpenWaveformFile((dir_ / "h.txt").string(), true), 0);
    EXPECT_EQ(f->lastStatus, "2 lines were not numbers");
}

TEST_F(Frame, StartUpFailureStaysAndDecodeSettingsShow) {
    auto f = Start({"-f", (dir_ / "missing_30.72MSPS.bin").string()});
    EXPECT_EQ(f->lastStatus, "ERR: File Open Failed: No such file or directory");
    f->OpenWaveformFile(Tone("d_61.44MSPS.bin", 100), true);
    EXPECT_EQ(Decode(*f), "405 16-bit BE \u00b7 61.44 Msps (from name: N MSPS)");
    prompter_.numbers["Enter the sample rate of the waveform"] = 1'000'000;
    f->OnCommand(525);
    EXPECT_EQ(Decode(*f), "405 16-bit BE \u00b7 1 Msps (entered)");
    f->OpenWaveformFile(Tone("plain.bin", 100), true);
    EXPECT_EQ(Decode(*f), "405 16-bit BE \u00b7 1 Msps (kept from before)");
    // A name with a centre and a rate (as rtl_433 writes them) and a type in its extension.
    f->OpenWaveformFile(Tone("g001_433.92M_250k.ci32", 100, kFileCi32Le), true);
    EXPECT_EQ(Decode(*f),
              "429 ci32 \u00b7 250 ksps (from name: centre and rate tokens) \u00b7 "
              "centre 433.92 MHz");
    // A WAV file opens as its header says, whatever the File Type.
    cWaveform wav = SignalWave(100, 1'920'000, [](int k) { return std::polar(0.5, 0.1 * k); });
    wav.fileType = kFileBin16LeTwos;
    ASSERT_EQ(wav.SaveFile(Path("iq.wav")), 1);
    f->OpenWaveformFile(Path("iq.wav"), true);
    EXPECT_EQ(Decode(*f), "407 16-bit LE \u00b7 1.92 Msps (from metadata)");
    // A recording's decode settings name the centre and start time of its first segment.
    std::ofstream(Path("s.sigmf-meta")) << R"({"global": {"core:datatype": "ci8",
        "core:sample_rate": 1e6, "core:version": "1.0.0"}, "captures": [{"core:sample_start": 0,
        "core:frequency": 1e8, "core:datetime": "2024-05-01T12:00:00Z"}]})";
    std::ofstream(Path("s.sigmf-data")) << std::string(200, '\x21');
    f->OpenWaveformFile(Path("s.sigmf-meta"), true);
    EXPECT_EQ(Decode(*f),
              "421 cs8 \u00b7 1 Msps (from metadata) \u00b7 centre 100 MHz \u00b7 "
              "recorded 2024-05-01T12:00:00Z");
    // The new types are in the File Type menu: chosen there, a headerless file is read in them.
    f->ActionFor(kFileCf64Le)->trigger();
    EXPECT_TRUE(f->ActionFor(kFileCf64Le)->isChecked());
    f->OpenWaveformFile(Tone("take_s2.4e6.bin", 100, kFileCf64Le), true);
    EXPECT_EQ(f->mainWave.sampleCount, 100);
    EXPECT_EQ(Decode(*f), "428 cf64 \u00b7 2.4 Msps (from name: rate token)");
    f->OnCommand(kCmdNew);
    EXPECT_EQ(Decode(*f), "428 cf64 \u00b7 2.4 Msps (new)");
}

TEST_F(Frame, SavesThatWouldLoseDataAreRefusedWithTheReason) {
    const std::string big = Path("big.txt");
    WritePartlyReadText(big);
    store_->setValue("Filetype", 402);
    auto f = Start({"-f", big});
    ASSERT_EQ(f->mainWave.sampleCount, 2);
    ASSERT_EQ(f->OpenWaveformFile(big, true), 0);
    EXPECT_EQ(f->lastStatus,
              "Read the first 500,000,000 of 600,000,000 bytes; 1 line was not a number");
    f->SaveWaveform();
    EXPECT_EQ(f->lastStatus, "ERR: File Save Failed");
    ASSERT_EQ(warnings_.size(), 1u);
    EXPECT_EQ(
        warnings_[0].rfind("Only the first 500,000,000 of the 600,000,000 bytes of " + big, 0), 0u)
        << warnings_[0];
    EXPECT_NE(warnings_[0].find("save under another name"), std::string::npos);
    EXPECT_EQ(fs::file_size(big), 600'000'000u);
    // New and an undo bring the part back under the file's name: still refused.
    f->OnCommand(101);
    f->OnCommand(40002);
    ASSERT_EQ(f->currentFileName, big);
    f->SaveWaveform();
    EXPECT_EQ(f->lastStatus, "ERR: File Save Failed");
    EXPECT_EQ(fs::file_size(big), 600'000'000u);
    warnings_.resize(1);

    // Special files are left alone; another name takes the part that was read.
    const std::string fifo = (dir_ / "fifo").string();
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    f->SaveWaveformAs(fifo, true, true);
    EXPECT_EQ(f->lastStatus, "ERR: Save File operation failed");
    EXPECT_EQ(warnings_.back(), fifo + " is not a regular file; it was left as it is");
    f->SaveWaveformAs((dir_ / "part.txt").string(), true, true);
    EXPECT_EQ(f->lastStatus, "File Saved");
    EXPECT_EQ(warnings_.size(), 2u);
}

TEST_F(Frame, ReparsesTheFileBytesAndSavesWhatItShows) {
    auto f = Start({"-f", Tone("r_1MSPS.bin", 1000)});
    f->OnCommand(407);  // the same bytes read little-endian
    EXPECT_EQ(f->lastStatus, "Waveform reloaded as New File type selected");
    EXPECT_TRUE(f->IsChecked(407));
    EXPECT_FALSE(f->IsChecked(405));
    f->OnCommand(405);
    const std::string saved = (dir_ / "s_1MSPS.bin").string();
    f->SaveWaveformAs(saved, true, true);
    EXPECT_EQ(f->lastStatus, "File Saved");
    auto g = Start({"-f", saved});
    EXPECT_EQ(g->mainWave.I, f->mainWave.I);

    // A new waveform has no file bytes to decode again.
    f->OnCommand(101);
    f->OnCommand(430);
    f->OnCommand(401);
    EXPECT_EQ(f->lastStatus, "ERR: No valid samples identified for Requested File type");
    EXPECT_EQ(f->mainWave.fileType, 405);
    EXPECT_TRUE(f->IsChecked(405));
}

// The real Recent Files menu survives a restart newest first, Save As adds to it, and a file
// that has gone is dropped from it. Every top menu has a mnemonic; actions carry their ids and
// keys; plain commands carry no check mark, choices do.
TEST_F(Frame, MenusRecentFilesShortcutsAndCheckMarks) {
    const std::string a = Tone("ra_1MSPS.bin", 10), b = Tone("rb_1MSPS.bin", 20),
                      c = Tone("rc_1MSPS.bin", 30);
    {
        auto f = Start({"-f", a});
        f->OpenWaveformFile(b, true);
        f->OpenWaveformFile(c, true);
    }
    auto g = Start({"-d", "FDD"});
    QMenu* recent = nullptr;
    for (QMenu* m : g->menuBar()->findChildren<QMenu*>())
        if (m->title() == "Recent Files") recent = m;
    ASSERT_NE(recent, nullptr);
    auto entries = [&] {
        QStringList texts;
        for (QAction* e : recent->actions())
            texts << e->text();
        return texts;
    };
    const auto q = [](const std::string& s) { return QString::fromStdString(s); };
    EXPECT_EQ(entries(), (QStringList{"&1 " + q(c), "&2 " + q(b), "&3 " + q(a)}));
    recent->actions()[2]->trigger();  // a
    EXPECT_EQ(g->mainWave.sampleCount, 10);
    EXPECT_EQ(g->currentFileName, a);
    const std::string saved = (dir_ / "saved_1MSPS.bin").string();
    g->SaveWaveformAs(saved, true, true);
    EXPECT_EQ(entries(), (QStringList{"&1 " + q(saved), "&2 " + q(a), "&3 " + q(c), "&4 " + q(b)}));
    recent->actions()[3]->trigger();  // b
    EXPECT_EQ(g->mainWave.sampleCount, 20);
    fs::remove(c);
    recent->actions()[3]->trigger();  // c, which is gone: removed from the list
    EXPECT_EQ(g->lastStatus, "ERR: File Open Failed: No such file or directory");
    EXPECT_EQ(entries(), (QStringList{"&1 " + q(b), "&2 " + q(saved), "&3 " + q(a)}));
    g->OnCommand(kCmdRecentFirst + 3);  // nothing left at that place
    EXPECT_EQ(g->mainWave.sampleCount, 20);
    for (QAction* top : g->menuBar()->actions())
        EXPECT_TRUE(top->text().contains('&')) << top->text().toStdString();
    std::map<int, QAction*> byId;
    std::map<QKeySequence, int> keyIds;
    for (QAction* action : g->findChildren<QAction*>()) {
        if (!action->data().isValid()) continue;
        const int id = action->data().toInt();
        if (!byId.count(id) || action->parent() != g.get()) byId[id] = action;  // menu entry first
        if (!action->shortcut().isEmpty()) keyIds[action->shortcut()] = id;
    }
    const std::map<QKeySequence, int> keys = {{QKeySequence("Ctrl+N"), 101},
                                              {QKeySequence("Ctrl+O"), 102},
                                              {QKeySequence("Ctrl+S"), 103},
                                              {QKeySequence("Ctrl+P"), 105},
                                              {QKeySequence("Ctrl+Z"), 40002},
                                              {QKeySequence("M"), kCmdMarkerPlace},
                                              {QKeySequence("P"), kCmdMarkerPeak},
                                              {QKeySequence("Ctrl+Left"), kCmdMarkerNextLeft},
                                              {QKeySequence("Ctrl+Right"), kCmdMarkerNextRight},
                                              {QKeySequence("L"), kCmdMarkerNextLower},
                                              {QKeySequence("Del"), kCmdMarkerDelete},
                                              {QKeySequence("N"), kCmdAnnotationNext},
                                              {QKeySequence("Shift+N"), kCmdAnnotationPrevious},
                                              {QKeySequence("Ctrl+Shift+A"), kCmdAnnotationAdd}};
    EXPECT_EQ(keyIds, keys);
    for (int id : {101, 102, 104, 107, 525, 502, 601, 133, 40002})
        EXPECT_FALSE(byId.at(id)->isCheckable()) << id;
    for (int id : {405, 303, 211, 223, 599, 40014, 415})
        EXPECT_TRUE(byId.at(id)->isCheckable()) << id;
    // The phase display has its View entry, and its mark follows it.
    EXPECT_EQ(byId.at(40014)->text(), "Phase (frequency domain)");
    byId.at(40014)->trigger();
    EXPECT_TRUE(g->view->phaseDisplay);
    EXPECT_TRUE(byId.at(40014)->isChecked());
    byId.at(40014)->trigger();
    EXPECT_FALSE(byId.at(40014)->isChecked());
}

TEST_F(Frame, MeasurementAndViewCommandsMoveTheirChecks) {
    auto f = Start({"-f", Tone("m_30.72MSPS.bin", 1 << 15)});
    f->OnCommand(804);
    EXPECT_TRUE(f->IsChecked(804));
    f->OnCommand(806);
    EXPECT_FALSE(f->IsChecked(804));
    EXPECT_TRUE(f->IsChecked(806));
    f->OnCommand(600);
    EXPECT_TRUE(f->IsChecked(600));
    f->OnCommand(222);
    EXPECT_TRUE(f->IsChecked(222));
    EXPECT_FALSE(f->IsChecked(223));
    f->OnCommand(303);
    EXPECT_TRUE(f->IsChecked(303));
    EXPECT_FALSE(f->IsChecked(300));
    EXPECT_TRUE(f->view->engine.trace.traceValid);
    EXPECT_FALSE(f->view->engine.rightPanel.empty() && f->view->Render(800, 500).isNull());
    // Three samples after it: no frame, so no panel shows the previous capture's numbers.
    f->OpenWaveformFile(Tone("three_30.72MSPS.bin", 3), true);
    f->OnCommand(303);
    f->view->Render(800, 500);
    EXPECT_FALSE(f->view->engine.trace.traceValid);
    EXPECT_EQ(f->lastStatus, "Too few samples for a spectrum: 3 (8 needed)");
    EXPECT_TRUE(f->view->engine.rightPanel.empty());
    EXPECT_TRUE(f->view->engine.leftPanel.empty());
}

TEST_F(Frame, YAxisCommandsAndQueries) {
    auto f = Start({"-f", Tone("y_30.72MSPS.bin", 4096)});
    prompter_.numbers["Please enter the desired Reference Level"] = -20;
    f->OnCommand(225);  // the multi-overview cannot be scaled
    EXPECT_EQ(f->lastStatus, "Cannot scale in multi-view mode");
    EXPECT_EQ(f->OnCommand(41008), 0);
    f->OnCommand(303);
    f->view->engine.dbmOffsetDb = 30;
    f->OnCommand(225);
    EXPECT_EQ(f->view->engine.axes[1].reference, -50.0);  // entered in dBm, kept in dBFS
    EXPECT_EQ(f->OnCommand(41008), -2000);
    prompter_.numbers["Please enter the number of divisions"] = 1;  // below 2: refused
    f->OnCommand(226);
    EXPECT_EQ(f->OnCommand(41009), 13);
    prompter_.numbers["Please enter the scale per division"] = 2.5;
    f->OnCommand(227);
    EXPECT_EQ(f->OnCommand(41010), 250);
    f->OnCommand(228);
    EXPECT_EQ(f->OnCommand(41010), 1000);
    EXPECT_EQ(f->OnCommand(41008), 3000);  // reference 0 dBFS shown with the offset
}

TEST_F(Frame, UndoNeverEmptiesOrMislabelsACapture) {
    const std::string a = Tone("a_1MSPS.bin", 1000), b = Tone("b_2MSPS.bin", 500, 407);
    const std::string aBytes = Slurp(a), bBytes = Slurp(b);
    auto f = Start({"-f", a});
    QAction* undo = f->ActionFor(40002);
    ASSERT_NE(undo, nullptr);
    EXPECT_FALSE(undo->isEnabled());
    // Ctrl+Z with nothing to undo changes nothing, and Ctrl+S writes the capture unchanged.
    PressKeys(*f, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f->lastStatus, "Nothing to undo");
    EXPECT_EQ(f->mainWave.sampleCount, 1000);
    PressKeys(*f, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(f->lastStatus, "File Saved");
    EXPECT_EQ(Slurp(a), aBytes);

    // New, then undo: A's samples come back with A's name and rate; again: the new waveform.
    const FloatArray loaded = f->mainWave.I;
    PressKeys(*f, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(f->mainWave.sampleCount, 65536);
    EXPECT_TRUE(undo->isEnabled());
    PressKeys(*f, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(f->mainWave.I, loaded);
    EXPECT_EQ(f->currentFileName, a);
    EXPECT_EQ(Title(*f), "Quorvalen - " + a + "*");
    EXPECT_TRUE(f->IsChecked(430));
    f->OnCommand(40002);
    EXPECT_EQ(f->mainWave.sampleCount, 65536);
    EXPECT_EQ(f->currentFileName, "New Waveform");

    // Open A, New, open B, undo: B's samples stay under B's name; Save writes B unchanged.
    f->OpenWaveformFile(a, true);
    f->OnCommand(101);
    f->OnCommand(430);
    f->OnCommand(407);
    f->OpenWaveformFile(b, true);
    EXPECT_FALSE(undo->isEnabled());
    f->OnCommand(40002);
    EXPECT_EQ(f->lastStatus, "Nothing to undo");
    EXPECT_EQ(f->mainWave.sampleCount, 500);
    EXPECT_EQ(f->mainWave.sampleRate, 2'000'000);
    f->OnCommand(103);
    EXPECT_EQ(Slurp(b), bBytes);
    EXPECT_EQ(Title(*f), "Quorvalen - " + b);
}

TEST_F(Frame, KeyEditsShareOneUndoCopyAndMarkTheTitle) {
    auto f = Start({"-f", Tone("k_1MSPS.bin", 64)});
    const FloatArray before = f->mainWave.I;
    for (int i = 0; i < 3; ++i)
        PressKeys(*f, Qt::Key_Q);
    const FloatArray turned = f->mainWave.I;
    EXPECT_NE(turned, before);
    EXPECT_EQ(Title(*f).back(), '*');
    f->OnCommand(40002);  // the whole run at once
    EXPECT_EQ(f->mainWave.I, before);
    f->OnCommand(40002);
    EXPECT_EQ(f->mainWave.I, turned);
    f->OnCommand(103);  // a successful save clears the mark
    EXPECT_EQ(Title(*f).back(), 'n');
}

TEST_F(Frame, SaveAsksBeforeChangingTheEncodingAndReportsFailure) {
    const std::string file = Tone("e_1MSPS.bin", 100);
    const std::string original = Slurp(file);
    auto f = Start({"-f", file});
    std::vector<std::string> asked;
    bool answer = false;
    f->confirm = [&](const std::string&, const std::string& text) {
        asked.push_back(text);
        return answer;
    };
    f->OnCommand(431);
    f->OnCommand(401);
    PressKeys(*f, Qt::Key_S, Qt::ControlModifier);  // No (the default): nothing written
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "Save e_1MSPS.bin as ASCII floating point (IQ pair per line) (401)? It was read as "
              "Binary 16b BE 2s - IQ Interleave (405).");
    EXPECT_EQ(Slurp(file), original);
    answer = true;
    f->OnCommand(103);
    EXPECT_EQ(f->lastStatus, "File Saved");
    EXPECT_NE(Slurp(file).find(','), std::string::npos);  // now text
    f->OnCommand(103);                                    // read as 401 now: no question
    EXPECT_EQ(asked.size(), 2u);
    // A save that cannot create its file says so in a message box, as Save As does.
    f->OnCommand(405);
    fs::remove_all(dir_ / "gone");
    f->SaveWaveformAs((dir_ / "gone/x.bin").string(), true, true);
    ASSERT_EQ(warnings_.size(), 1u);
    f->currentFileName = (dir_ / "gone/x.bin").string();
    f->OnCommand(103);
    EXPECT_EQ(f->lastStatus, "ERR: File Save Failed");
    ASSERT_EQ(warnings_.size(), 2u);
    EXPECT_EQ(warnings_[1], warnings_[0]);
    EXPECT_EQ(warnings_[0].rfind("Failed to open file for writing\r\n", 0), 0u);
}

TEST_F(Frame, SettingsRecomputeAndExplainThemselves) {
    auto f = Start({"-f", Tone("s_30.72MSPS.bin", 1 << 16)});
    cMeasurements& m = f->view->engine.measurements;
    f->OnCommand(303);
    f->OnCommand(709);  // a 10 MHz mask at the default 16k FFT: 1.875 kHz resolution
    ASSERT_TRUE(m.settings.MaskOn());
    prompter_.numbers["Please enter the RMS power of the carrier"] = 20;
    f->OnCommand(40110);
    EXPECT_EQ(f->lastStatus, "Carrier Power for SEM measurement updated");
    // The verdict on screen is for the power just entered.
    f->view->Render(800, 500);
    EXPECT_TRUE(PanelHas(f->view->engine.rightPanel, "Carrier Power: 20.00 dBm"));
    // At 128 points (240 kHz) the mask switches itself off: marks follow, and it says why.
    f->OnCommand(204);
    EXPECT_FALSE(m.settings.MaskOn());
    EXPECT_FALSE(f->IsChecked(709));
    EXPECT_EQ(f->lastStatus, "Emission mask needs a resolution of 30 kHz or finer");
    // The recompute's duration reaches the duration pane.
    EXPECT_EQ(f->statusBar->Elapsed(), f->view->recompute.lastDurationSeconds);
    // A new sample rate shows the whole new span, not the old zoom.
    f->view->xStart = 1e6;
    f->view->xEnd = 2e6;
    prompter_.numbers["Enter the sample rate of the waveform"] = 10'000'000;
    f->OnCommand(525);
    EXPECT_EQ(f->view->xStart, 0.0);
    EXPECT_EQ(f->view->xEnd, 0.0);
    // A pressed stop button stops one recompute, not every later one.
    f->stopRequest = true;
    f->OnCommand(222);
    f->OnCommand(223);
    EXPECT_GT(f->view->recompute.framesLastRecompute, 0);
    EXPECT_FALSE(f->stopRequest);
    f->OnCommand(416);
    EXPECT_EQ(f->lastStatus, "Raised Cosine Filter Shape Selected");
    EXPECT_EQ(f->mainWave.filterShape, 2);
}

TEST_F(Frame, CapturesAndRecordingsOpenInTheTypeTheirNamesSay) {
    auto f = Start({});
    // An int8 capture opens as such, and the next headerless file in the chosen type again.
    ASSERT_EQ(f->OpenWaveformFile(Tone("c_2MSPS.cs8", 300, 421), true), 0);
    EXPECT_EQ(f->mainWave.fileType, 421);
    EXPECT_EQ(f->mainWave.sampleCount, 300);
    EXPECT_TRUE(f->IsChecked(421));
    EXPECT_FALSE(f->IsChecked(405));
    ASSERT_EQ(f->OpenWaveformFile(Tone("p_2MSPS.bin", 300), true), 0);
    EXPECT_EQ(f->mainWave.fileType, 405);
    EXPECT_EQ(f->mainWave.sampleCount, 300);
    ASSERT_EQ(f->OpenWaveformFile(Tone("c_2MSPS.cf32", 300, 420), true), 0);

    // A recording: type, rate and centre from its metadata, on the status bar.
    cWaveform r;
    r.AllocateScratch(400);
    r.SwapScratch();
    std::fill(r.I.begin(), r.I.end(), 0.25f);
    r.sampleRate = 2'000'000;
    r.fileType = 421;  // written as ci16_le
    r.recording.centreFrequencyHz = 915e6;
    const std::string rec = (dir_ / "rec.sigmf-meta").string();
    ASSERT_EQ(r.SaveFile(rec), 1);
    ASSERT_EQ(f->OpenWaveformFile((dir_ / "rec.sigmf-data").string(), true), 0);
    EXPECT_EQ(f->mainWave.fileType, 407);
    EXPECT_EQ(f->mainWave.sampleCount, 400);
    EXPECT_EQ(Decode(*f), "407 16-bit LE \u00b7 2 Msps (from metadata) \u00b7 centre 915 MHz");
    // The digest the save wrote is checked after the open.
    EXPECT_TRUE(QTest::qWaitFor([&] { return f->DigestCheck() != "checking"; }, 10000));
    EXPECT_EQ(f->lastStatus, "rec.sigmf-data matches its core:sha512");
    // The measurements other programs read carry the centre frequency.
    EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(f->MeasurementsJson()))
                  .object()["centre_frequency_hz"]
                  .toDouble(),
              915e6);

    // Saved as a recording with a description; the author is left empty.
    prompter_.texts["Description of the recording"] = "Pier 3, \"north\"";
    f->SaveWaveformAs((dir_ / "out.sigmf-meta").string(), true, true);
    EXPECT_EQ(f->lastStatus, "File Saved");
    cWaveform back;
    ASSERT_EQ(back.LoadFile((dir_ / "out.sigmf-meta").string(), false), 0);
    EXPECT_EQ(back.recording.description, "Pier 3, \"north\"");
    EXPECT_EQ(back.recording.author, "");
    EXPECT_EQ(back.recording.centreFrequencyHz, 915e6);
    EXPECT_EQ(back.I, f->mainWave.I);

    // Saving over a recording in another datatype, or without its annotations, is asked.
    std::vector<std::string> asked;
    f->confirm = [&](const std::string&, const std::string& text) {
        asked.push_back(text);
        return false;
    };
    std::ofstream(dir_ / "ann.sigmf-meta")
        << R"({"global": {"core:datatype": "ci8", "core:sample_rate": 1e6},
               "annotations": [{"core:sample_start": 0, "core:sample_count": 600},
                               {"core:sample_start": 300}]})";
    std::ofstream(dir_ / "ann.sigmf-data") << std::string(200, '\x10');
    ASSERT_EQ(f->OpenWaveformFile((dir_ / "ann.sigmf-meta").string(), true), 0);
    EXPECT_EQ(f->lastStatus, "The data file holds 100 of the 600 samples the metadata describes");
    const std::string before = Slurp((dir_ / "ann.sigmf-meta").string());
    f->SaveWaveform();
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "Save ann.sigmf-meta as ci16_le? It was read as ci8. Its 1 annotation outside the "
              "samples (or naming none) is not kept.");
    EXPECT_EQ(f->lastStatus, "Save File Cancelled");
    EXPECT_EQ(Slurp((dir_ / "ann.sigmf-meta").string()), before);

    // A recording that cannot be read says why and leaves the one on screen.
    std::ofstream(dir_ / "bad.sigmf-meta") << R"({"global": {"core:datatype": "ci16_le",)";
    std::ofstream(dir_ / "bad.sigmf-data") << "abcd";
    EXPECT_NE(f->OpenWaveformFile((dir_ / "bad.sigmf-meta").string(), true), 0);
    EXPECT_EQ(f->lastStatus,
              "ERR: File Open Failed: bad.sigmf-meta: not valid JSON (syntax error at byte 40)");
    EXPECT_EQ(f->mainWave.sampleCount, 100);

    // A name that says cu8 is written as cu8; the type chosen for headerless files stays.
    f->SaveWaveformAs((dir_ / "x.cu8").string(), true, true);
    EXPECT_EQ(f->mainWave.fileType, 422);
    EXPECT_EQ(fs::file_size(dir_ / "x.cu8"), 200u);
    f->SaveWaveformAs((dir_ / "gone/y.cs8").string(), true, true);  // fails: the type stays
    EXPECT_EQ(f->lastStatus, "ERR: Save File operation failed");
    EXPECT_EQ(f->mainWave.fileType, 422);
    f->OnCommand(101);  // New: back to the chosen type
    EXPECT_EQ(f->mainWave.fileType, 405);
    EXPECT_TRUE(f->IsChecked(405));
    f->OnCommand(40002);  // undo brings the cu8 samples and their type back
    EXPECT_EQ(f->mainWave.fileType, 422);
    f.reset();
    EXPECT_EQ(store_->value("Filetype").toInt(), 405);
}

// Through the real menu entries; an undo copy only for a tool that changed the samples.
// A float recording at +58 dBFS is drawn whole, not as a line clipped at full scale; the next
// capture within full scale gets the default axes back.
TEST_F(Frame, ACaptureBeyondFullScaleIsScaledToItsData) {
    auto f = Start({});
    const std::string loud = Path("loud_1MSPS.cf32");
    cWaveform w = SignalWave(4000, 1'000'000, [](int k) { return std::polar(800.0, 0.01 * k); });
    w.fileType = kFileCf32Le;
    ASSERT_EQ(w.SaveFile(loud), 1);
    // The share of the I view's trace columns that keep off its highest and lowest rows: a trace
    // clipped at full scale sits on one or the other in almost every column, a sine drawn whole
    // in about 60 % of them between 10 % and 90 % of its height.
    const auto columnsInside = [&] {
        f->ActionFor(kViewTimeI)->trigger();
        const QImage image = f->view->Render(800, 500);
        const QRgb trace = f->view->engine.style.tracePen.color().rgb();
        std::vector<std::pair<int, int>> spans;  // each trace column's top and bottom rows
        for (int x = 0; x < image.width(); ++x) {
            int top = -1, bottom = -1;
            for (int y = 0; y < image.height(); ++y)
                if (image.pixel(x, y) == trace) {
                    if (top < 0) top = y;
                    bottom = y;
                }
            if (top >= 0) spans.emplace_back(top, bottom);
        }
        int lo = INT_MAX, hi = 0, inside = 0;
        for (auto [t, b] : spans) {
            lo = std::min(lo, t);
            hi = std::max(hi, b);
        }
        for (auto [t, b] : spans)
            inside += t > lo + (hi - lo) / 10 && b < hi - (hi - lo) / 10;
        return spans.empty() ? 0.0 : double(inside) / double(spans.size());
    };
    ASSERT_EQ(f->OpenWaveformFile(loud, true), 0);
    EXPECT_NE(Decode(*f).find("\u00b7 58.1 dB over full scale"), std::string::npos) << Decode(*f);
    const AxisScaleSet& axes = f->view->engine.axes;
    EXPECT_EQ(axes[kLinearAxis].scale * axes[kLinearAxis].divisions / 2, 1000.0);
    EXPECT_EQ(axes[kSpectrumAxis].reference, 60.0);
    EXPECT_EQ(f->view->engine.iqPlaneFullScale, 1000.0);
    EXPECT_GT(columnsInside(), 0.4);

    ASSERT_EQ(f->OpenWaveformFile(Tone("quiet.bin", 4000), true), 0);
    EXPECT_EQ(Decode(*f).find("full scale"), std::string::npos);
    AxisScaleSet defaults;
    SetAllDefaults(defaults);
    EXPECT_EQ(axes[kLinearAxis].scale, defaults[kLinearAxis].scale);
    EXPECT_EQ(axes[kSpectrumAxis].reference, defaults[kSpectrumAxis].reference);
    EXPECT_EQ(f->view->engine.iqPlaneFullScale, 1.0);
}

TEST_F(Frame, ToolsRunFromTheMenuWithUndo) {
    auto f = Start({"-f", Tone("t_30.72MSPS.bin", 4096)});
    const FloatArray before = f->mainWave.I;
    prompter_.numbers["Enter Frequency of tone in MHz"] = 0;
    prompter_.numbers["Enter Amplitude of tone in dBFS"] = -6;
    prompter_.numbers["Enter Phase of tone in Degrees"] = 0;
    QAction* tone = f->ActionFor(kToolAddTone);
    ASSERT_NE(tone, nullptr);
    EXPECT_EQ(tone->text(), "&Single Tone\u2026");
    tone->trigger();
    EXPECT_EQ(f->lastStatus, "CW Tone Added");
    EXPECT_FLOAT_EQ(f->mainWave.I[10], before[10] + std::pow(10.0f, -0.3f));
    EXPECT_EQ(Title(*f).back(), '*');
    EXPECT_TRUE(f->ActionFor(kCmdUndo)->isEnabled());
    // A refused value changes nothing and keeps that undo copy.
    prompter_.numbers["Enter Amplitude of tone in dBFS"] = 3;
    tone->trigger();
    EXPECT_EQ(f->lastStatus, "ERR: Invalid Amplitude Requested");
    f->OnCommand(kCmdUndo);
    EXPECT_EQ(f->mainWave.I, before);
    // The new entries for the symbol generators replace the samples.
    for (int id : {kToolQpsk, kToolQam16}) {
        ASSERT_NE(f->ActionFor(id), nullptr) << id;
        f->ActionFor(id)->trigger();
    }
    EXPECT_EQ(f->lastStatus, "16QAM added");
    EXPECT_EQ(f->ActionFor(kToolQam64)->text(), "Replace by 6&4QAM\u2026");
    EXPECT_EQ(f->ActionFor(kToolCfr)->text(), "&Iterative CFR\u2026");
    EXPECT_EQ(f->ActionFor(kToolPeakWindowCfr)->text(), "&Peak Windowing CFR\u2026");
    EXPECT_EQ(f->ActionFor(kToolPaModel)->text(), "&PA Compression\u2026");
}

// Save As offers the name with the rate the samples have now, its type list at the type that
// will be written; a raw capture type under a headerless name asks to take the File Type; a
// decode that looks wrong says so.
TEST_F(Frame, SaveAsOffersWhatWillBeWrittenAndOpenDoubtsAWrongType) {
    auto f = Start({"-f", Tone("x_30.72MSPS.bin", 1000)});
    prompter_.numbers["Enter Up-Sampling multiplier"] = 4;
    f->OnCommand(kToolUpsampleFft);
    ASSERT_EQ(f->mainWave.sampleRate, 122'880'000);
    QString offered, filter;
    QTimer::singleShot(0, [&] {
        QTest::qWait(100);
        if (auto* d = qobject_cast<QFileDialog*>(QApplication::activeModalWidget())) {
            offered = d->selectedFiles().value(0);
            filter = d->selectedNameFilter();
            d->reject();
        }
    });
    f->ActionFor(kCmdSaveAs)->trigger();
    EXPECT_EQ(offered.toStdString(), Path("x_122.88MSPS.bin"));
    EXPECT_EQ(filter, "File type 405 16-bit BE (*)");

    // A cf32 waveform saved as y.bin: asked, and written as the File Type's 405.
    ASSERT_EQ(f->OpenWaveformFile(Tone("z.cf32", 100, kFileCf32Le), true), 0);
    std::vector<std::string> asked;
    f->confirm = [&](const std::string&, const std::string& text) {
        asked.push_back(text);
        return true;
    };
    f->SaveWaveformAs(Path("y.bin"), false, true);
    ASSERT_EQ(asked.size(), 1u);
    EXPECT_EQ(asked[0],
              "y.bin does not name the type 420 cf32, so it would be read as 405 16-bit BE when "
              "opened. Save it as 405 16-bit BE?");
    EXPECT_EQ(fs::file_size(Path("y.bin")), 400u);

    // Bytes that are no cf32 capture: far above full scale, and said to be.
    std::ofstream(Path("odd.cf32"), std::ios::binary) << std::string(64, '\x7f');
    ASSERT_EQ(f->OpenWaveformFile(Path("odd.cf32"), true), 0);
    EXPECT_EQ(f->lastStatus,
              "The file may not be of type 420 (samples far above full scale): choose its type "
              "under File Type");
}

// Every entry of the Tools menu has a mnemonic of its own in its menu; those whose tool asks
// for values or a file end in "…", the others do not; File Type is one radio choice; the undo
// entry says what pressing it again does.
TEST_F(Frame, MenusSayWhatTheirEntriesDo) {
    auto f = Start({"-f", Tone("m_1MSPS.bin", 1000)});
    QMenu* tools = f->menuBar()->findChild<QMenu*>("Tools");
    ASSERT_NE(tools, nullptr);
    std::vector<QMenu*> menus{tools};
    for (QMenu* sub : tools->findChildren<QMenu*>())
        menus.push_back(sub);
    for (QMenu* menu : menus) {
        std::set<QChar> keys;
        for (QAction* a : menu->actions()) {
            if (a->isSeparator() || !a->isEnabled()) continue;  // headings
            const QString text = a->text();
            const int amp = text.indexOf('&');
            ASSERT_GE(amp, 0) << text.toStdString();
            EXPECT_TRUE(keys.insert(text.at(amp + 1).toLower()).second) << text.toStdString();
            if (const ToolRow* tool = FindTool(a->data().toInt()); tool && !a->menu()) {
                EXPECT_EQ(text.endsWith(QChar(0x2026)), !tool->prompts.empty())
                    << text.toStdString();
            }
        }
    }
    // Each tool row has one entry, in the submenu its row names.
    for (const ToolRow& row : AllTools()) {
        const QString popup = QString::fromUtf8(row.menu.popup);
        QMenu* home = popup.isEmpty() ? tools : tools->findChild<QMenu*>(popup);
        ASSERT_NE(home, nullptr) << row.name;
        int found = 0;
        for (QMenu* menu : menus)
            for (QAction* a : menu->actions())
                found += a->data().toInt() == row.id && !a->menu();
        EXPECT_EQ(found, 1) << row.name;
        const QList<QAction*> entries = home->actions();
        EXPECT_TRUE(std::any_of(entries.begin(), entries.end(), [&](QAction* a) {
            return a->data().toInt() == row.id;
        })) << row.name;
    }
    QAction* bin405 = f->ActionFor(kFileBin16BeTwos);
    ASSERT_NE(bin405->actionGroup(), nullptr);
    EXPECT_TRUE(bin405->actionGroup()->isExclusive());
    EXPECT_EQ(bin405->actionGroup(), f->ActionFor(kFileCf32Le)->actionGroup());
    f->OnCommand(kToolConjugate);
    QAction* undo = f->ActionFor(kCmdUndo);
    EXPECT_EQ(undo->text(), "&Undo\tCtrl+Z");
    undo->trigger();
    EXPECT_EQ(undo->text(), "&Redo\tCtrl+Z");
    undo->trigger();
    EXPECT_EQ(undo->text(), "&Undo\tCtrl+Z");
}

// A tool is timed and shown as "CALC" while it works, not while its questions wait for the
// user.
TEST_F(Frame, ToolTimingCountsTheWorkNotTheQuestions) {
    auto f = Start({"-f", Tone("q_30.72MSPS.bin", 4096)});
    struct SlowUser : ScriptedPrompter {
        CMainFrame* frame = nullptr;
        std::vector<int> modes;
        double PromptDouble(const std::string& p, const std::string& n, double d,
                            const std::string& k) override {
            modes.push_back(frame->statusBar->Mode());
            QTest::qWait(300);  // reading the question
            return ScriptedPrompter::PromptDouble(p, n, d, k);
        }
    } user;
    user.frame = f.get();
    user.numbers["Enter Frequency shift in MHz"] = 1;
    f->prompter = &user;
    f->ActionFor(kToolFreqShift)->trigger();
    EXPECT_EQ(user.modes, std::vector<int>{kModeIdle});
    EXPECT_LT(f->statusBar->Elapsed(), 0.25);
    EXPECT_EQ(f->statusBar->Mode(), kModeIdle);
}

// The view shows the whole new span, panels and decode pane the new rate; undo brings both back.
TEST_F(Frame, ResamplingToolsMoveTheWindowToTheNewRate) {
    auto f = Start({"-f", Tone("r_30.72MSPS.bin", 4096)});
    auto panelSays = [&](const std::string& text) {
        f->view->Render(800, 500);
        return PanelHas(f->view->engine.leftPanel, text);
    };
    f->OnCommand(303);
    EXPECT_TRUE(panelSays("Sample Rate: 30.72 Msps"));
    f->view->xStart = 1e6;
    f->view->xEnd = 2e6;
    prompter_.numbers["Enter Up-Sampling multiplier"] = 4;
    f->OnCommand(kToolUpsampleFft);
    EXPECT_EQ(f->lastStatus, "Waveform Upsampled");
    EXPECT_EQ(f->mainWave.sampleCount, 16384);
    EXPECT_EQ(f->mainWave.sampleRate, 122'880'000);
    EXPECT_EQ(Decode(*f), "405 16-bit BE \u00b7 122.88 Msps (after upsample-fft)");
    EXPECT_TRUE(panelSays("Sample Rate: 122.88 Msps"));
    EXPECT_EQ(f->view->xStart, -61.44e6);
    EXPECT_EQ(f->view->xEnd, 61.44e6);
    prompter_.numbers["Enter Down-Sampling Divider"] = 3;
    f->OnCommand(kToolDecimate);
    EXPECT_EQ(f->lastStatus, "Waveform Downsampled");
    EXPECT_EQ(f->mainWave.sampleCount, 5461);
    EXPECT_EQ(f->mainWave.sampleRate, 40'960'000);
    EXPECT_EQ(Decode(*f), "405 16-bit BE \u00b7 40.96 Msps (after decimate)");
    f->OnCommand(kCmdUndo);
    EXPECT_EQ(f->mainWave.sampleRate, 122'880'000);
    EXPECT_EQ(Decode(*f), "405 16-bit BE \u00b7 122.88 Msps (after upsample-fft)");
}

// Off the GUI thread: timers fire, the progress bar moves, other commands are refused.
TEST_F(Frame, ALongToolKeepsTheWindowAliveAndStops) {
    auto f = Start({});
    cWaveform& w = f->mainWave;
    w.AllocateScratch(50'000'000);
    std::fill(w.scratchI.begin(), w.scratchI.end(), 0.25f);
    std::fill(w.scratchQ.begin(), w.scratchQ.end(), 0.0f);
    w.SwapScratch();
    w.scratchI = FloatArray();
    w.scratchQ = FloatArray();
    f->show();
    prompter_.numbers["Enter total noise power in dBFs"] = -30;
    int ticks = 0, progress = 0;
    bool refused = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        progress = std::max(progress, f->statusBar->findChild<QProgressBar*>("progress")->value());
        if (ticks == 3) refused = f->OnCommand(kToolAddDc) == 0;
        auto* stop = f->statusBar->findChild<QPushButton*>("stop");
        if (progress > 0 && stop->isVisible()) QTest::mouseClick(stop, Qt::LeftButton);
    });
    ticker.start(20);
    f->OnCommand(kToolAddNoise);
    ticker.stop();
    EXPECT_GT(ticks, 2);
    EXPECT_GT(progress, 0);
    EXPECT_TRUE(refused);
    EXPECT_EQ(f->lastStatus, "Stopped: the waveform is as it was");
    EXPECT_EQ(w.I[0], 0.25f);
    EXPECT_EQ(w.I[49'999'999], 0.25f);
    EXPECT_FALSE(f->Busy());
    EXPECT_FALSE(f->stopRequest);
}

// A tool's second file read in its questions: a large one is read with the window live (the
// tap file is refused before any operation runs, so the busy state seen is the read's).
TEST_F(Frame, ALargeSecondFileIsReadWithTheWindowLive) {
    auto f = Start({"-f", Tone("base_1MSPS.bin", 1000)});
    const std::string big = Tone("big_1MSPS.bin", 5'000'000);  // 20 MB: a large read
    f->chooseToolFile = [&](const std::string&) { return big; };
    f->show();
    bool busySeen = false;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] { busySeen = busySeen || f->Busy(); });
    ticker.start(0);
    f->OnCommand(kToolFirFile);
    ticker.stop();
    EXPECT_TRUE(busySeen);
    EXPECT_EQ(f->lastStatus, "Too many taps to filter with");
    EXPECT_EQ(f->mainWave.sampleCount, 1000);
}

// One segment at a time while display settings apply; the entry again or an edit stops it.
TEST_F(Frame, PlayThroughStepsAndRestores) {
    auto f = Start({"-f", Tone("p_1MSPS.bin", 20000)});
    QAction* play = f->ActionFor(kCmdPlayThrough);
    f->OnCommand(kCmdFftSizeFirst + 7);  // 16384: more than half the waveform
    play->trigger();
    EXPECT_EQ(f->lastStatus, "FFT Size to large engage playback. Reduce FFT Size");
    EXPECT_FALSE(f->WorkerRunning());
    f->OnCommand(kCmdFftSizeFirst + 6);  // 8192
    play->trigger();
    ASSERT_TRUE(f->WorkerRunning());
    EXPECT_TRUE(play->isChecked());
    PumpMessagesFor(60);
    f->OnCommand(kViewIQ);  // a display setting runs without stopping it
    EXPECT_TRUE(f->WorkerRunning());
    EXPECT_EQ(f->view->ViewType(), kViewIQ);
    play->trigger();  // again: stop
    EXPECT_FALSE(f->WorkerRunning());
    EXPECT_FALSE(play->isChecked());
    EXPECT_EQ(f->lastStatus, "Stopped Play thorugh file");
    EXPECT_EQ(f->mainWave.sampleCount, 20000);
    // An editing command stops it first, then runs.
    play->trigger();
    ASSERT_TRUE(f->WorkerRunning());
    f->OnCommand(kCmdNew);
    EXPECT_FALSE(f->WorkerRunning());
    EXPECT_EQ(f->mainWave.sampleCount, 65536);
    EXPECT_EQ(f->currentFileName, "New Waveform");
    // Stopped with the red button: the stop was for play-through, and the next tool runs.
    f->show();
    play->trigger();
    ASSERT_TRUE(f->WorkerRunning());
    PumpMessagesFor(30);
    QTest::mouseClick(f->statusBar->findChild<QPushButton*>("stop"), Qt::LeftButton);
    while (f->WorkerRunning())
        PumpMessagesFor(5);
    PumpMessagesFor(20);
    f->mainWave.Q[7] = 0.5f;
    f->ActionFor(kToolConjugate)->trigger();
    EXPECT_EQ(f->mainWave.Q[7], -0.5f) << f->lastStatus;
}

// Whatever would replace unsaved edits asks first: Save writes them, Discard drops them,
// Cancel keeps everything as it was. Through the menus, the keys, Recent Files, a drop and
// closing the window.
TEST_F(Frame, UnsavedEditsAreNeverLostWithoutAsking) {
    const std::string file = Tone("edits_1MSPS.bin", 1000), other = Tone("other_1MSPS.bin", 300);
    auto f = Start({"-f", file});
    f->show();
    std::vector<std::string> dialogs;
    f->chooseOpenFile = [&] {
        dialogs.push_back("open");
        return other;
    };
    // Nothing edited: nothing asked.
    f->OnCommand(kCmdNew);
    EXPECT_TRUE(savesAsked_.empty());
    f->OpenWaveformFile(file, true);
    prompter_.numbers["Enter Scaling Factor in dB"] = 6;
    f->ActionFor(kToolScale)->trigger();
    ASSERT_TRUE(f->Modified());
    const FloatArray edited = f->mainWave.I;

    saveChoice_ = CMainFrame::SaveChoice::Cancel;
    f->ActionFor(kCmdNew)->trigger();
    PressKeys(*f, Qt::Key_O, Qt::ControlModifier);
    f->menuBar()->findChild<QMenu*>("Recent Files")->actions().at(0)->trigger();
    f->view->onFileDropped(QString::fromStdString(other));
    f->OnCommand(kFileBin16LeTwos);  // a re-parse in the new type
    f->ActionFor(kCmdExit)->trigger();
    f->close();
    EXPECT_EQ(savesAsked_, std::vector<std::string>(7, "edits_1MSPS.bin"));
    EXPECT_TRUE(dialogs.empty());  // no file was asked for before the edits were settled
    EXPECT_TRUE(f->isVisible());
    EXPECT_EQ(f->mainWave.I, edited);
    EXPECT_EQ(f->mainWave.fileType, kFileBin16BeTwos);
    EXPECT_TRUE(f->Modified());
    EXPECT_EQ(f->lastStatus, "Cancelled");

    // Save: the edits go to the file, then Ctrl+O opens the other one.
    saveChoice_ = CMainFrame::SaveChoice::Save;
    PressKeys(*f, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(f->currentFileName, other);
    cWaveform back;
    back.fileType = kFileBin16BeTwos;
    ASSERT_EQ(back.LoadFile(file, false), 0);
    EXPECT_NEAR(back.I[5], edited[5], 1e-4);
    // Discard: the edits go, and so does the window.
    f->ActionFor(kToolScale)->trigger();
    saveChoice_ = CMainFrame::SaveChoice::Discard;
    f->close();
    EXPECT_FALSE(f->isVisible());
}

// A rewritten file is reloaded under the acquisition display; the first close only stops it.
TEST_F(Frame, MonitoringReloadsRewritesAndStops) {
    const std::string file = Tone("mon_1MSPS.bin", 1000);
    auto f = Start({"-f", file});
    f->show();
    QAction* reload = f->ActionFor(kCmdMonitorReload);
    reload->trigger();
    ASSERT_TRUE(f->WorkerRunning());
    EXPECT_TRUE(reload->isChecked());
    EXPECT_EQ(f->statusBar->Mode(), kModeAcquiring);
    PumpMessagesFor(60);
    EXPECT_EQ(f->mainWave.sampleCount, 1000);  // as opened: not reloaded
    Tone("mon_1MSPS.bin", 3000);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (f->mainWave.sampleCount != 3000 && std::chrono::steady_clock::now() < deadline)
        PumpMessagesFor(10);
    EXPECT_EQ(f->mainWave.sampleCount, 3000);
    PumpMessagesFor(50);
    EXPECT_EQ(f->statusBar->findChild<QLabel*>("count")->text(), "1");

    // Another process rewrites it 200 times, every other time in two writes with a pause,
    // while the window repaints: it ends holding the last complete file.
    const int versions = 200, lastLength = 100 + 199 * 37 % 4000;
    const pid_t writer = fork();
    if (writer == 0) {
        for (int i = 0; i < versions; ++i) {
            const int n = 100 + i * 37 % 4000;
            std::string bytes(static_cast<size_t>(n) * 4, '\0');
            for (int k = 0; k < n; ++k) {  // big-endian I = k + i, Q = -k
                const int a = (k + i) % 32767, b = -k;
                bytes[4 * k] = static_cast<char>(a >> 8);
                bytes[4 * k + 1] = static_cast<char>(a & 0xff);
                bytes[4 * k + 2] = static_cast<char>((b >> 8) & 0xff);
                bytes[4 * k + 3] = static_cast<char>(b & 0xff);
            }
            const int fd = ::open(file.c_str(), O_WRONLY | O_TRUNC);
            const size_t half = i % 2 ? bytes.size() / 2 : bytes.size();
            bool ok = ::write(fd, bytes.data(), half) == static_cast<ssize_t>(half);
            if (half < bytes.size()) {
                usleep(static_cast<useconds_t>(i * 7919 % 25000));
                ok = ok && ::write(fd, bytes.data() + half, bytes.size() - half) ==
                               static_cast<ssize_t>(bytes.size() - half);
            }
            ::close(fd);
            if (!ok) _exit(1);
            usleep(static_cast<useconds_t>(i * 104729 % 2000));
        }
        _exit(0);
    }
    int status = 0;
    while (waitpid(writer, &status, WNOHANG) == 0)
        PumpMessagesFor(5);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    PumpMessagesFor(1000);  // the last rewrite settles and is read (checked once stopped)
    // Closing while it runs: the first close stops it and the window stays.
    f->close();
    EXPECT_TRUE(f->isVisible());
    const auto stopped = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (f->WorkerRunning() && std::chrono::steady_clock::now() < stopped)
        PumpMessagesFor(10);
    PumpMessagesFor(30);
    EXPECT_FALSE(reload->isChecked());
    EXPECT_EQ(f->lastStatus, "Stopped Monitoring");
    EXPECT_EQ(f->statusBar->Mode(), kModeIdle);
    EXPECT_EQ(f->statusBar->findChild<QLabel*>("count")->text(), "");  // the reloads went with it
    ASSERT_EQ(f->mainWave.sampleCount, lastLength);
    for (int k = 0; k < lastLength; k += 61) {
        ASSERT_EQ(f->mainWave.I[k], static_cast<float>((k + versions - 1) % 32767 / 32767.0)) << k;
        ASSERT_EQ(f->mainWave.Q[k], static_cast<float>(-k / 32767.0)) << k;
    }
    f->close();
    EXPECT_FALSE(f->isVisible());
}

// Real key presses on its sliders: the passband stays below the stopband and off the ends.
TEST_F(Frame, FirDesignerSlidersRedesignLive) {
    auto f = Start({"-f", Tone("fir_1MSPS.bin", 5000)});
    f->show();
    f->OnCommand(kCmdFirDesigner);
    auto* d = f->findChild<CDlgFIRdesign*>();
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->windowTitle(), "FIR Filter Designer");
    EXPECT_EQ(f->view->ViewType(), kViewIQ);
    auto taps = [&] { return f->mainWave.sampleCount; };
    EXPECT_EQ(taps(), 127);
    EXPECT_EQ(f->mainWave.I, f->mainWave.Q);
    // The view shows the taps' own response: from the stopband edge on, the equiripple level
    // (48.1 dB down for the default design), not a window's smoothed transition.
    EXPECT_TRUE(f->ActionFor(kWindowRect)->isChecked());
    const cSpectrumTrace& trace = f->view->engine.trace;
    ASSERT_TRUE(trace.traceValid);
    float pass = 0, stop = 0;
    for (int k = 0; k < trace.pointCount; ++k) {
        const double fn = std::abs(trace.PointFrequency(k)) / 1e6;
        if (fn < 0.09) pass = std::max(pass, trace.power[k]);
        if (fn > 0.126 && fn <= 0.5) stop = std::max(stop, trace.power[k]);
    }
    EXPECT_NEAR(10 * std::log10(stop / pass), -48.1, 0.5);
    auto text = [&](const char* group) {
        return d->findChild<QSlider*>(group)->parentWidget()->findChild<QLineEdit*>()->text();
    };

    // Passband to its end: 0.478, the stopband pushed to 0.478 / 0.992 = 0.4819, whose slider
    // (481) then pulls the passband back to 0.481 / 1.009.
    QTest::keyClick(d->PassbandSlider(), Qt::Key_End);
    EXPECT_EQ(d->StopbandSlider()->value(), 481);
    EXPECT_NEAR(d->PassbandEdge(), 0.481 / 1.009, 1e-12);
    EXPECT_EQ(d->PassbandSlider()->value(), 476);
    EXPECT_EQ(text("PassBand"), "0.477");
    // Passband to 0: 0.011.
    QTest::keyClick(d->PassbandSlider(), Qt::Key_Home);
    EXPECT_EQ(d->PassbandSlider()->value(), 11);
    EXPECT_DOUBLE_EQ(d->PassbandEdge(), 0.011);
    // Stopband to 0: 0.012, still above the passband.
    QTest::keyClick(d->StopbandSlider(), Qt::Key_Home);
    EXPECT_EQ(d->StopbandSlider()->value(), 12);
    EXPECT_DOUBLE_EQ(d->PassbandEdge(), 0.011);
    // A stopband moved below the passband pulls it along: passband up to 0.4767 (as above),
    // then the stopband a page down to 0.471 takes the passband to 0.471 / 1.009.
    QTest::keyClick(d->PassbandSlider(), Qt::Key_End);
    QTest::keyClick(d->StopbandSlider(), Qt::Key_PageDown);
    EXPECT_EQ(d->StopbandSlider()->value(), 471);
    EXPECT_NEAR(d->PassbandEdge(), 0.471 / 1.009, 1e-12);
    EXPECT_EQ(d->PassbandSlider()->value(), 466);
    // Taps follow their slider; each design is in I and Q.
    QTest::keyClick(d->TapsSlider(), Qt::Key_End);
    EXPECT_EQ(taps(), 255);
    QTest::keyClick(d->TapsSlider(), Qt::Key_Home);
    EXPECT_EQ(taps(), 21);
    EXPECT_EQ(f->mainWave.I, f->mainWave.Q);
    // 255 taps at 0.2 to 0.3 ask for a ripple far below what doubles resolve: the exchange
    // does not settle, and the last design that did stays, saying so.
    QTest::keyClick(d->TapsSlider(), Qt::Key_End);
    d->PassbandSlider()->setValue(200);
    const FloatArray settled = f->mainWave.I;
    d->StopbandSlider()->setValue(300);
    EXPECT_EQ(f->lastStatus,
              "ERR: The design does not settle for these edges and taps; the taps shown are the "
              "last design that did");
    EXPECT_EQ(f->mainWave.I, settled);
    // A second command brings the same designer forward.
    f->OnCommand(kCmdFirDesigner);
    EXPECT_EQ(f->findChildren<CDlgFIRdesign*>().size(), 1);
    // Closing it leaves the last design, and an undo brings the capture back.
    d->close();
    EXPECT_EQ(f->lastStatus,
              "FIR Filter created from the last design that settled. Taps appear as samples");
    EXPECT_EQ(f->mainWave.I, settled);
    f->OnCommand(kCmdUndo);
    EXPECT_EQ(taps(), 5000);
    EXPECT_EQ(Title(*f), "Quorvalen - " + Path("fir_1MSPS.bin") + "*");
    // The window's close ends an open designer first.
    f->OnCommand(kCmdFirDesigner);
    f->close();
    QCoreApplication::processEvents();
    EXPECT_TRUE(f->findChildren<CDlgFIRdesign*>().empty() ||
                !f->findChild<CDlgFIRdesign*>()->isVisible());
    EXPECT_EQ(f->lastStatus, "FIR Filter created. Taps appear as samples");
}

// The taps are a waveform of their own ("FIR taps", no file), shown as a response relative to
// the passband with what the design achieves; the user's window comes back; values may be
// typed; the dialog stands beside the window; "Filter capture" filters the capture.
TEST_F(Frame, FirDesignerKeepsTheCaptureApartAndFiltersIt) {
    const std::string capture = Tone("cap_1MSPS.bin", 5000);
    auto f = Start({"-f", capture});
    f->resize(300, 300);
    f->move(0, 0);
    f->show();
    const FloatArray original = f->mainWave.I;
    std::vector<std::string> asked;
    f->chooseSaveFile = [&] {
        asked.push_back("save");
        return std::string();
    };
    f->ActionFor(kCmdFirDesigner)->trigger();
    auto* d = f->findChild<CDlgFIRdesign*>();
    ASSERT_NE(d, nullptr);
    EXPECT_FALSE(d->frameGeometry().intersects(f->frameGeometry()));
    EXPECT_EQ(f->currentFileName, kFirTapsName);
    EXPECT_TRUE(f->ActionFor(kWindowRect)->isChecked());
    f->view->Render(800, 500);
    // What the default design achieves, in place of the tone readouts.
    const std::vector<PanelLine>& panel = f->view->engine.rightPanel;
    ASSERT_EQ(panel.size(), 3u);  // after the FFT time
    EXPECT_EQ(panel[1].text, "Passband Ripple: 0.01 dB");
    EXPECT_EQ(panel[2].text.rfind("Stopband Attenuation: 48.1", 0), 0u) << panel[2].text;
    // The weighting's end labels stand apart.
    const QList<QLabel*> ends = d->WeightingSlider()->parentWidget()->findChildren<QLabel*>();
    ASSERT_EQ(ends.size(), 2);
    EXPECT_FALSE(ends[0]->geometry().intersects(ends[1]->geometry()));
    // A typed passband edge and tap count: the sliders follow, and the design with them.
    QLineEdit* passBox = d->ValueBox(d->PassbandSlider());
    passBox->selectAll();
    QTest::keyClicks(passBox, "0.05");
    QTest::keyClick(passBox, Qt::Key_Return);
    EXPECT_DOUBLE_EQ(d->PassbandEdge(), 0.05);
    EXPECT_EQ(d->PassbandSlider()->value(), 50);
    QLineEdit* tapsBox = d->ValueBox(d->TapsSlider());
    tapsBox->selectAll();
    QTest::keyClicks(tapsBox, "63");
    QTest::keyClick(tapsBox, Qt::Key_Return);
    EXPECT_EQ(f->mainWave.sampleCount, 63);
    tapsBox->selectAll();
    QTest::keyClicks(tapsBox, "many");  // not a number: the value that stands is shown again
    QTest::keyClick(tapsBox, Qt::Key_Return);
    EXPECT_EQ(tapsBox->text(), "63");
    // Ctrl+S asks for a name: the taps never go under the capture's.
    f->ActionFor(kCmdSave)->trigger();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(f->mainWave.sampleCount, 0 + 63);
    // Filter capture: the capture comes back with its name, filtered by these 63 taps; undo
    // gives it as it was. The user's window is back.
    const FloatArray tapsNow = f->mainWave.I;
    QTest::mouseClick(d->findChild<QPushButton*>("FilterCapture"), Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(f->currentFileName, capture);
    ASSERT_EQ(f->mainWave.sampleCount, 5000);
    EXPECT_EQ(f->lastStatus, "Waveform filtered with the designed taps (63 taps)");
    EXPECT_TRUE(f->ActionFor(kWindowBlackmanHarris)->isChecked());
    EXPECT_EQ(f->view->settings.window, kWindowBlackmanHarris);
    EXPECT_FALSE(f->view->engine.filterDesign.has_value());
    // The same as Tools > Filter > FIR with these taps: a tap file of them filters the capture
    // alike.
    cWaveform tapFile;
    tapFile.AllocateScratch(63);
    std::copy(tapsNow.begin(), tapsNow.begin() + 63, tapFile.scratchI.begin());
    std::copy(tapsNow.begin(), tapsNow.begin() + 63, tapFile.scratchQ.begin());
    tapFile.SwapScratch();
    tapFile.fileType = kFileCf32Le;
    ASSERT_EQ(tapFile.SaveFile(Path("taps.cf32")), 1);
    const FloatArray filtered = f->mainWave.I;
    f->OnCommand(kCmdUndo);
    EXPECT_EQ(f->mainWave.I, original);
    f->chooseToolFile = [&](const std::string&) { return Path("taps.cf32"); };
    f->OnCommand(kToolFirFile);
    EXPECT_EQ(f->mainWave.I, filtered);
}

}  // namespace

namespace {

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A sparse file of bytes whose last bytes are tail: a large capture that costs no disk.
void WriteSparseCapture(const std::string& path, int64_t bytes, const std::string& tail) {
    std::ofstream f(path, std::ios::binary);
    f.seekp(bytes - int64_t(tail.size()));
    f.write(tail.data(), std::streamsize(tail.size()));
}

// A sparse capture of 75,000,000 cf32 samples (beyond the working limit) with a tone in its
// last 65,536: the strip fills with its overview on a worker while the window stays live; a
// range dragged on the strip or typed under Capture > Load Range… becomes the working
// waveform, named by its times and numbered from the start of the file; a range past the end
// changes nothing, and the file is never saved over.
TEST_F(Frame, ACaptureBeyondTheLimitShowsItsOverviewAndLoadsRanges) {
    const std::string tail = Slurp(Tone("tail_1MSPS.cf32", 65536, kFileCf32Le));
    const std::string path = Path("rec_1MSPS.cf32");
    constexpr int64_t kSamples = 75'000'000;
    WriteSparseCapture(path, kSamples * 8, tail);
    auto f = Start({path});
    CCaptureStrip* strip = f->CaptureStrip();
    ASSERT_FALSE(f->CaptureDock()->isHidden());
    strip->resize(1000, 90);
    for (int i = 0; i < 6000 && f->OverviewRunning(); ++i)
        QTest::qWait(5);  // the event loop turns while the pass runs
    QTest::qWait(20);
    const CaptureOverview& o = strip->Overview();
    ASSERT_GT(o.peakDb.size(), 0u);
    EXPECT_EQ(o.columnsDone, int(o.peakDb.size()));
    EXPECT_NEAR(o.peakDb.back(), -6.02, 0.01);
    EXPECT_LT(o.peakDb.front(), -290);
    EXPECT_EQ(f->MainWaveform().sampleCount, kMaxFileBytes / 8);  // the first part, as before

    // Drag over the last tenth of the strip: that stretch is the working waveform.
    const int y = strip->height() / 2, right = strip->width() - kOverviewRight;
    const int left = right - (right - kOverviewLeft) / 10;
    QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(left, y));
    QTest::mouseMove(strip, QPoint(right, y));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(right, y));
    const int64_t first = OverviewSampleAt(left, strip->width(), kSamples);
    const cWaveform& w = f->MainWaveform();
    EXPECT_EQ(w.source.firstSample, first);
    EXPECT_EQ(w.sampleCount, kSamples - first);
    EXPECT_EQ(w.I[w.sampleCount - 1], float(0.5 * std::cos(0.37 * 65535)));
    EXPECT_PRED2(Contains, f->windowTitle().toStdString(),
                 RangeTitle(path, first, kSamples - first, 1'000'000));

    // Capture > Load Range… in seconds, then one past the end.
    prompter_.texts = {{"Range start: samples, or seconds with s (12.5s)", "74.9s"},
                       {"Range length: samples, or seconds with s (0.25s)", "0.05s"}};
    f->ActionFor(kCmdLoadRange)->trigger();
    EXPECT_EQ(w.source.firstSample, 74'900'000);
    EXPECT_EQ(w.sampleCount, 50'000);
    EXPECT_PRED2(Contains, f->windowTitle().toStdString(), "[74.900 s + 0.050 s]");
    prompter_.texts["Range length: samples, or seconds with s (0.25s)"] = "100001";
    f->ActionFor(kCmdLoadRange)->trigger();
    EXPECT_PRED2(Contains, f->lastStatus, "ERR: Load Range failed: samples 74900000 to 75000000");
    EXPECT_EQ(w.sampleCount, 50'000);

    f->OnCommand(kCmdSave);
    EXPECT_EQ(fs::file_size(path), uint64_t(kSamples * 8));
}

}  // namespace

namespace {

// Renders the spectrogram until every row of its screen has arrived from the workers.
void SettleSpectrogram(CSpectrogramView& s) {
    for (int i = 0; i < 4000; ++i) {
        s.Render(s.width(), s.height());
        if (s.Screen().rows > 0 && s.Screen().missingRows == 0) return;
        QTest::qWait(2);
    }
    FAIL() << "the spectrogram's tiles never arrived";
}

// The point of a row with the highest level.
int PeakPoint(const SpectrogramScreen& s, int row) {
    const float* r = s.db.data() + size_t(row) * s.points;
    return int(std::max_element(r, r + s.points) - r);
}

// A tone that hops from +100 kHz to -200 kHz half way, at 1 Msps, driven through the View
// menu, the mouse, the keys and the box menu.
TEST_F(Frame, TheSpectrogramIsDrivenThroughItsMenuMouseAndKeys) {
    constexpr int n = 262144;
    cWaveform hop = SignalWave(n, 1'000'000, [](int k) {
        return std::polar(0.5, 2 * M_PI * (k < n / 2 ? 0.1 : -0.2) * k);
    });
    hop.fileType = kFileCf32Le;
    ASSERT_EQ(hop.SaveFile(Path("hop_1MSPS.cf32")), 1);
    auto f = Start({Path("hop_1MSPS.cf32")});
    f->resize(1000, 700);
    f->show();
    CSpectrogramView& s = *f->view->spectrogram;
    f->ActionFor(kViewSpectrogram)->trigger();
    EXPECT_EQ(f->lastStatus, "Spectrogram view type selected");
    EXPECT_TRUE(f->ActionFor(kViewSpectrogram)->isChecked());
    ASSERT_TRUE(s.isVisible());
    EXPECT_EQ(s.geometry(), f->view->rect());
    SettleSpectrogram(s);
    const SpectrogramScreen& screen = s.Screen();
    EXPECT_EQ(PeakPoint(screen, 2), 512 + 102);
    EXPECT_EQ(PeakPoint(screen, screen.rows - 3), 512 - 205);

    const QRect area = SpectrogramPlotArea(s.width(), s.height());
    auto xOf = [&](double hz) { return int(SpectrogramXOfHz(hz, s.width(), -5e5, 5e5)); };
    QTest::mouseMove(&s, QPoint(xOf(1e5), area.top() + 10));
    EXPECT_PRED2(Contains, f->lastStatus, " s (sample ");
    EXPECT_PRED2(Contains, f->lastStatus, "dBFS");

    // A drag zooms to its band and time; + and - halve and double the time; a right click
    // shows everything again; the wheel and Shift+Up move the levels, A makes them automatic.
    const int mid = area.top() + area.height() / 2;
    QTest::mousePress(&s, Qt::LeftButton, {}, QPoint(xOf(0), area.top()));
    QTest::mouseMove(&s, QPoint(xOf(2.5e5), mid));
    QTest::mouseRelease(&s, Qt::LeftButton, {}, QPoint(xOf(2.5e5), mid));
    EXPECT_NEAR(s.FrequencyStart(), 0, 2e3);
    EXPECT_NEAR(s.FrequencyEnd(), 2.5e5, 2e3);
    EXPECT_NEAR(s.TimeCount(), n / 2, n / 100);
    QTest::keyClick(&s, Qt::Key_Plus);
    EXPECT_NEAR(s.TimeCount(), n / 4, n / 100);
    QTest::keyClick(&s, Qt::Key_Minus);
    EXPECT_NEAR(s.TimeCount(), n / 2, n / 100);
    // The spectrum takes the spectrogram's band, and gives its own back.
    f->ActionFor(kViewIQ)->trigger();
    f->view->Render(f->view->width(), f->view->height());
    EXPECT_NEAR(f->view->xStart, s.FrequencyStart(), 1);
    EXPECT_FALSE(s.isVisible());
    f->ActionFor(kViewSpectrogram)->trigger();
    QTest::mouseClick(&s, Qt::RightButton);
    EXPECT_EQ(s.TimeCount(), n);
    EXPECT_EQ(s.FrequencyStart(), -5e5);
    SettleSpectrogram(s);
    const double hi = s.LevelHi();
    QWheelEvent wheel(QPointF(100, 100), s.mapToGlobal(QPointF(100, 100)), {}, {0, 120},
                      Qt::NoButton, {}, Qt::NoScrollPhase, false);
    QApplication::sendEvent(&s, &wheel);
    EXPECT_DOUBLE_EQ(s.LevelHi(), hi + 3);
    QTest::keyClick(&s, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_DOUBLE_EQ(s.LevelHi(), hi + 6);
    QTest::keyClick(&s, Qt::Key_A);
    s.Render(s.width(), s.height());
    EXPECT_DOUBLE_EQ(s.LevelHi(), hi);

    // Shift+drag chooses a box around the first tone; its menu measures the band's power.
    QTest::mousePress(&s, Qt::LeftButton, Qt::ShiftModifier, QPoint(xOf(5e4), area.top() + 5));
    QTest::mouseMove(&s, QPoint(xOf(1.5e5), mid - 20));
    QTest::mouseRelease(&s, Qt::LeftButton, Qt::ShiftModifier, QPoint(xOf(1.5e5), mid - 20));
    ASSERT_TRUE(s.BoxMenu()->isVisible());
    EXPECT_FALSE(s.BoxMenu()->findChild<QAction*>("loadBoxRange")->isEnabled());
    for (QAction* a : s.BoxMenu()->actions())
        if (a->text() == "Measure Band Power in Box") a->trigger();
    s.BoxMenu()->hide();
    EXPECT_PRED2(Contains, f->lastStatus, "Band power");
    const size_t at = f->lastStatus.find(": ");
    ASSERT_NE(at, std::string::npos);
    EXPECT_NEAR(std::stod(f->lastStatus.substr(at + 2)), -6.02, 0.1) << f->lastStatus;

    // Settings through the menu, refused when wrong; grey colours; the 4-up pane, which a
    // click opens.
    prompter_.numbers = {{"Spectrogram FFT size (64 to 65536)", 256},
                         {"Spectrogram overlap (0 to 95 %)", 75}};
    prompter_.texts = {{"Spectrogram window: rect, hann, blackman-harris or bartlett", "rect"},
                       {"Rows that cover several frames keep their: peak or mean", "mean"}};
    f->ActionFor(kCmdSpectrogramSettings)->trigger();
    EXPECT_EQ(s.Settings(), (SpectrogramSettings{256, kWindowRect, 75, SpectrogramHold::kMean}));
    prompter_.numbers["Spectrogram FFT size (64 to 65536)"] = 100;
    f->ActionFor(kCmdSpectrogramSettings)->trigger();
    EXPECT_PRED2(Contains, f->lastStatus, "ERR: spectrogram settings kept: FFT size");
    EXPECT_EQ(s.Settings().fftSize, 256);
    SettleSpectrogram(s);
    EXPECT_EQ(PeakPoint(s.Screen(), 2), 128 + 26);
    f->ActionFor(kCmdSpectrogramGrey)->trigger();
    EXPECT_EQ(s.Colours(), SpectrogramColours::kGrey);
    f->ActionFor(kViewMulti)->trigger();
    EXPECT_FALSE(s.isVisible());
    f->ActionFor(kCmdSpectrogramInMulti)->trigger();
    EXPECT_TRUE(s.isVisible());
    EXPECT_EQ(s.geometry().bottomRight(), f->view->rect().bottomRight());
    EXPECT_NEAR(s.width(), f->view->width() / 2, 2);
    QTest::mouseClick(&s, Qt::LeftButton, {}, QPoint(s.width() / 2, s.height() / 2));
    EXPECT_EQ(f->view->ViewType(), kViewSpectrogram);  // a click on the pane opens the view
    EXPECT_EQ(s.geometry(), f->view->rect());
}

}  // namespace

namespace {

// A capture beyond the limit: the spectrogram opens on the working range, a right click shows
// the whole file, and a box at its end loads that stretch as the working waveform.
TEST_F(Frame, TheSpectrogramOfALargeCaptureCoversTheFileAndLoadsABox) {
    const std::string tail = Slurp(Tone("tail_1MSPS.cf32", 65536, kFileCf32Le));
    const std::string path = Path("rec_1MSPS.cf32");
    constexpr int64_t kSamples = 65'000'000;
    WriteSparseCapture(path, kSamples * 8, tail);
    auto f = Start({path});
    f->resize(900, 600);
    f->show();
    // Frames of 4096 without overlap: few transforms for 65 million samples.
    prompter_.numbers = {{"Spectrogram FFT size (64 to 65536)", 4096},
                         {"Spectrogram overlap (0 to 95 %)", 0}};
    prompter_.texts = {{"Spectrogram window: rect, hann, blackman-harris or bartlett", "hann"},
                       {"Rows that cover several frames keep their: peak or mean", "peak"}};
    f->ActionFor(kCmdSpectrogramSettings)->trigger();
    f->ActionFor(kViewSpectrogram)->trigger();
    CSpectrogramView& s = *f->view->spectrogram;
    SettleSpectrogram(s);
    EXPECT_EQ(s.TimeFirst(), 0);
    EXPECT_EQ(s.TimeCount(), f->MainWaveform().sampleCount);
    QTest::mouseClick(&s, Qt::RightButton);
    EXPECT_EQ(s.TimeCount(), kSamples);
    SettleSpectrogram(s);
    const SpectrogramScreen& screen = s.Screen();
    EXPECT_LT(*std::max_element(screen.db.begin(), screen.db.begin() + screen.points), -250);
    const float* last = screen.db.data() + size_t(screen.rows - 1) * screen.points;
    EXPECT_GT(*std::max_element(last, last + screen.points), -10);

    const QRect area = SpectrogramPlotArea(s.width(), s.height());
    const int y0 = area.bottom() - 4, y1 = area.bottom();
    QTest::mousePress(&s, Qt::LeftButton, Qt::ShiftModifier, QPoint(area.left() + 10, y0));
    QTest::mouseMove(&s, QPoint(area.right() - 10, y1));
    QTest::mouseRelease(&s, Qt::LeftButton, Qt::ShiftModifier, QPoint(area.right() - 10, y1));
    QAction* load = s.BoxMenu()->findChild<QAction*>("loadBoxRange");
    ASSERT_TRUE(load->isEnabled());
    load->trigger();
    s.BoxMenu()->hide();
    const cWaveform& w = f->MainWaveform();
    const double perRow = double(kSamples) / area.height();
    EXPECT_NEAR(double(w.source.firstSample), (y0 - area.top()) * perRow, 1.0);
    EXPECT_NEAR(double(w.source.firstSample + w.sampleCount), (y1 + 1 - area.top()) * perRow, 1.0);
    EXPECT_EQ(w.I[w.sampleCount - 1], float(0.5 * std::cos(0.37 * 65535)));
}

}  // namespace

// The text of the marker table's cell in row r under the column titled title.
std::string MarkerCell(CMainFrame& f, int r, const std::string& title) {
    f.view->repaint();
    const QTableWidget* t = f.MarkerDock()->Table();
    for (int c = 0; c < t->columnCount(); ++c)
        if (t->horizontalHeaderItem(c)->text().toStdString() == title && r < t->rowCount())
            return t->item(r, c)->text().toStdString();
    return "(no " + title + " in row " + std::to_string(r) + ")";
}

TEST_F(Frame, SpectrumMarkersThroughTheMouseKeysAndMenus) {
    constexpr int n = 65536;
    cWaveform two = SignalWave(n, 1'000'000, [](int k) {
        return std::polar(0.5, 2 * M_PI * 0.125 * k) + std::polar(0.05, 2 * M_PI * 0.25 * k);
    });
    two.fileType = kFileCf32Le;
    ASSERT_EQ(two.SaveFile(Path("two_1MSPS.cf32")), 1);
    auto f = Start({Path("two_1MSPS.cf32")});
    f->resize(1000, 700);
    PressKeys(*f, Qt::Key_Escape);  // shown and active
    f->ActionFor(kViewIQ)->trigger();
    CView& v = *f->view;
    v.repaint();
    const auto x = [&](double hz) {
        return int(std::lround(
            MarkerAxisFor(v.engine.style.margins, v.width(), kViewIQ, v.xStart, v.xEnd, n).X(hz)));
    };
    const double df = 1e6 / v.settings.fftSize;

    // M places M1 under the mouse (the table appears with it); P puts it on the highest peak,
    // where it reads what the tone measurement reads; Ctrl+Right and Ctrl+Left go from tone
    // to tone, L to the highest peak below the marker's.
    QTest::mouseMove(&v, QPoint(x(-2e5), 300));
    PressKeys(*f, Qt::Key_M);
    ASSERT_TRUE(v.markers.frequencyHz[0]);
    EXPECT_NEAR(*v.markers.frequencyHz[0], -2e5, 2e3);
    EXPECT_TRUE(f->MarkerDock()->isVisible());
    EXPECT_TRUE(f->ActionFor(kCmdMarkerTable)->isChecked());
    PressKeys(*f, Qt::Key_P);
    EXPECT_NEAR(*v.markers.frequencyHz[0], 1.25e5, df);
    EXPECT_EQ(MarkerCell(*f, 0, "Marker power"),
              Fixed(v.engine.shown.toneMarkerPowerDb, 2) + " dB");
    EXPECT_NEAR(v.engine.shown.toneMarkerPowerDb, -6.02, 0.01);
    PressKeys(*f, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_NEAR(*v.markers.frequencyHz[0], 2.5e5, df);
    PressKeys(*f, Qt::Key_Left, Qt::ControlModifier);  // over the first tone's sidelobes
    EXPECT_NEAR(*v.markers.frequencyHz[0], 1.25e5, df);
    PressKeys(*f, Qt::Key_L);
    EXPECT_NEAR(*v.markers.frequencyHz[0], 2.5e5, df);
    PressKeys(*f, Qt::Key_P);

    // Ctrl+click places M2; a drag moves it; the arrows step it by one point; delta mode
    // reads it against M1; Del removes it.
    QTest::mouseClick(&v, Qt::LeftButton, Qt::ControlModifier, QPoint(x(-3e5), 300));
    ASSERT_TRUE(v.markers.frequencyHz[1]);
    EXPECT_EQ(v.selectedMarker, 2);
    QTest::mousePress(&v, Qt::LeftButton, {}, QPoint(x(-3e5), 300));
    QTest::mouseMove(&v, QPoint(x(2.5e5), 300));
    QTest::mouseRelease(&v, Qt::LeftButton, {}, QPoint(x(2.5e5), 300));
    EXPECT_NEAR(*v.markers.frequencyHz[1], 2.5e5, 2e3);
    const double dragged = *v.markers.frequencyHz[1];
    PressKeys(*f, Qt::Key_Right);
    EXPECT_DOUBLE_EQ(*v.markers.frequencyHz[1], dragged + df);
    f->ActionFor(kCmdMarkerDelta)->trigger();
    PressKeys(*f, Qt::Key_P);  // the selected marker: M2 on the first tone's peak
    EXPECT_EQ(MarkerCell(*f, 1, "\u0394f"), "0 Hz");
    f->ActionFor(kCmdMarkerNextRight)->trigger();
    EXPECT_EQ(MarkerCell(*f, 1, "\u0394f"),
              FormatFrequency(*v.markers.frequencyHz[1] - *v.markers.frequencyHz[0]));
    EXPECT_NEAR(std::stod(MarkerCell(*f, 1, "\u0394dB")), -20, 0.01);

    // Band power and noise density around the markers; an FFT size change keeps the markers
    // where they are and their levels follow the new trace.
    prompter_.numbers = {{"Band power around each marker over (Hz, 0 for none)", 20e3},
                         {"Noise density around each marker over (Hz, 0 for none)", 0}};
    f->ActionFor(kCmdMarkerWidths)->trigger();
    EXPECT_NEAR(std::stod(MarkerCell(*f, 0, "Band power")), -6.02, 0.01);
    f->OnCommand(kCmdFftSizeFirst + 6);  // 8192
    v.repaint();
    EXPECT_NEAR(*v.markers.frequencyHz[0], 1.25e5, df);
    EXPECT_NEAR(std::stod(MarkerCell(*f, 0, "Marker power")), -6.02, 0.01);
    PressKeys(*f, Qt::Key_Delete);
    EXPECT_FALSE(v.markers.frequencyHz[1]);
    EXPECT_EQ(MarkerCell(*f, 1, "Marker"), "(no Marker in row 1)");

    // The table can be hidden and brought back; markers go with the file they marked.
    f->ActionFor(kCmdMarkerTable)->trigger();
    EXPECT_FALSE(f->MarkerDock()->isVisible());
    f->ActionFor(kCmdMarkerTable)->trigger();
    EXPECT_TRUE(f->MarkerDock()->isVisible());
    ASSERT_EQ(f->OpenWaveformFile(Path("two_1MSPS.cf32"), false, false), 0);
    EXPECT_FALSE(v.markers.frequencyHz[0]);
}

TEST_F(Frame, TimeCcdfAndSpectrogramMarkersReadClosedForms) {
    // Pulses 1000 samples apart at 1 MSPS, the third the strongest: Peak, then the next peak
    // right, read a period of 1 ms, a rate of 1 kHz.
    constexpr int n = 8000;
    cWaveform pulses = SignalWave(n, 1'000'000, [](int k) {
        const int c = k / 1000 * 1000 + 500;
        return std::complex<double>(
            (k / 1000 == 2 ? 0.8 : 0.4) * std::exp(-std::pow((k - c) / 40.0, 2)), 0);
    });
    pulses.fileType = kFileCf32Le;
    ASSERT_EQ(pulses.SaveFile(Path("pulses_1MSPS.cf32")), 1);
    auto f = Start({Path("pulses_1MSPS.cf32")});
    f->resize(1000, 700);
    PressKeys(*f, Qt::Key_Escape);
    f->ActionFor(kViewLogMag)->trigger();
    CView& v = *f->view;
    PressKeys(*f, Qt::Key_P);
    EXPECT_EQ(MarkerCell(*f, 0, "Sample"), "2500");
    EXPECT_EQ(MarkerCell(*f, 0, "I"), "0.8");
    f->ActionFor(kCmdMarkerDelta)->trigger();
    f->ActionFor(kCmdMarkerPlace)->trigger();  // M2, then on to the next pulse to the right
    ASSERT_EQ(v.selectedMarker, 2);
    std::string why;
    ASSERT_TRUE(v.SetMarker(2, 2500, why)) << why;
    PressKeys(*f, Qt::Key_Right, Qt::ControlModifier);
    EXPECT_EQ(MarkerCell(*f, 1, "Sample"), "3500");
    EXPECT_EQ(MarkerCell(*f, 1, "\u0394t"), "1 ms (1000 samples)");
    EXPECT_EQ(MarkerCell(*f, 1, "1/\u0394t"), "1 kHz");
    EXPECT_NEAR(std::stod(MarkerCell(*f, 1, "\u0394dB")), -6.02, 0.01);
    PressKeys(*f, Qt::Key_Left);  // one sample
    EXPECT_EQ(MarkerCell(*f, 1, "Sample"), "3499");
    // The same markers on the I view read the I value.
    f->ActionFor(kViewTimeI)->trigger();
    EXPECT_EQ(MarkerCell(*f, 0, "I"), "0.8");

    // On complex Gaussian noise, e^-1 of the samples lie above the mean power.
    cRandom r;
    r.Seed(-7);
    cWaveform noise = SignalWave(
        200000, 1'000'000, [&](int) { return std::complex<double>(r.Gaussian(), r.Gaussian()); });
    noise.fileType = kFileCf32Le;
    ASSERT_EQ(noise.SaveFile(Path("noise_1MSPS.cf32")), 1);
    ASSERT_EQ(f->OpenWaveformFile(Path("noise_1MSPS.cf32"), false, false), 0);
    f->ActionFor(kViewCcdf)->trigger();
    ASSERT_TRUE(v.SetMarker(1, 0.0, why)) << why;
    EXPECT_NEAR(std::stod(MarkerCell(*f, 0, "Probability")), 100 * std::exp(-1), 0.3);
    PressKeys(*f, Qt::Key_P);
    EXPECT_EQ(f->lastStatus,
              "The CCDF has no peaks: move its markers with the mouse or the arrows");

    // On the spectrogram, Ctrl+click places a marker at a time and frequency; P puts it on the
    // tone of its frame, a bin-centred tone at its level under the Hann window (coherent gain
    // 0.5 over an RMS of sqrt(3/8)).
    cWaveform tone =
        SignalWave(65536, 1'000'000, [](int k) { return std::polar(0.5, 2 * M_PI * 0.125 * k); });
    tone.fileType = kFileCf32Le;
    ASSERT_EQ(tone.SaveFile(Path("tone_1MSPS.cf32")), 1);
    ASSERT_EQ(f->OpenWaveformFile(Path("tone_1MSPS.cf32"), false, false), 0);
    f->ActionFor(kViewSpectrogram)->trigger();
    CSpectrogramView& s = *v.spectrogram;
    SettleSpectrogram(s);
    const QRect area = SpectrogramPlotArea(s.width(), s.height());
    QTest::mouseClick(&s, Qt::LeftButton, Qt::ControlModifier, area.center());
    ASSERT_TRUE(s.markerHz[0]);
    PressKeys(*f, Qt::Key_P);
    EXPECT_EQ(*s.markerHz[0], 125000);
    EXPECT_EQ(MarkerCell(*f, 0, "Frequency"), "125 kHz");
    EXPECT_NEAR(std::stod(MarkerCell(*f, 0, "Level")),
                20 * std::log10(0.5 * 0.5 / std::sqrt(3.0 / 8)), 0.01);
    QTest::keyClick(&s, Qt::Key_Right);
    EXPECT_EQ(*s.markerHz[0], 125000 + 1e6 / s.Settings().fftSize);
}

namespace {

// Unshaped QPSK a symbol a sample in noise 30 dB down, analysed through the Measure menu: the
// constellation then shows the symbols, the EVM view and the marker table the results, and
// Measurements() carries them; against the clean symbols as a reference file the EVM reads the
// noise too. Results of other samples are never shown.
TEST_F(Frame, ModulationAnalysisThroughTheMenus) {
    cRandom r;
    r.Seed(-3);
    std::vector<std::complex<double>> symbols(20000);
    for (auto& s : symbols)
        s = {r.Uniform() < 0.5 ? -0.5 : 0.5, r.Uniform() < 0.5 ? -0.5 : 0.5};
    const double sigma = std::sqrt(0.25 * std::pow(10.0, -3.0));
    cWaveform noisy = SignalWave(20000, 1'000'000, [&](int k) {
        return symbols[static_cast<size_t>(k)] +
               sigma * std::complex<double>(r.Gaussian(), r.Gaussian());
    });
    cWaveform clean =
        SignalWave(20000, 1'000'000, [&](int k) { return symbols[static_cast<size_t>(k)]; });
    noisy.fileType = clean.fileType = kFileCf32Le;
    ASSERT_EQ(noisy.SaveFile(Path("qpsk_1MSPS.cf32")), 1);
    ASSERT_EQ(clean.SaveFile(Path("clean_1MSPS.cf32")), 1);
    auto f = Start({Path("qpsk_1MSPS.cf32")});
    f->resize(1000, 700);
    PressKeys(*f, Qt::Key_Escape);  // shown and active
    CView& v = *f->view;
    prompter_.texts["Modulation: bpsk, qpsk, 8psk, qam16, qam64 or qam256"] = "qpsk";
    prompter_.numbers["Symbol rate (Hz)"] = 5e6;
    prompter_.texts["Pulse shape: rrc ROLLOFF, rc ROLLOFF or none"] = "none";
    prompter_.texts["Equaliser (nine taps, trained on the decisions): on or off"] = "off";
    f->ActionFor(kCmdModulationAnalysis)->trigger();
    EXPECT_EQ(f->lastStatus,
              "ERR: modulation not analysed: the symbol rate must be above 0 and "
              "at most the sample rate");
    f->ActionFor(kViewAnalysisEvm)->trigger();  // nothing to show yet
    EXPECT_NE(v.ViewType(), kViewAnalysisEvm);

    prompter_.numbers["Symbol rate (Hz)"] = 1e6;
    f->ActionFor(kCmdModulationAnalysis)->trigger();
    ASSERT_EQ(v.ViewType(), kViewConstellation) << f->lastStatus;
    const auto* m = v.engine.ModulationOf(f->mainWave);
    ASSERT_TRUE(m && m->blind);
    EXPECT_NEAR(m->blind->evmRmsDb, -30, 0.2);
    EXPECT_TRUE(f->MarkerDock()->isVisible());
    EXPECT_EQ(MarkerCell(*f, 2, "Result"), "EVM");
    EXPECT_EQ(MarkerCell(*f, 2, "Value"), Fixed(m->blind->evmRmsPercent, 2) + " % rms (" +
                                              Fixed(m->blind->evmRmsDb, 2) + " dB)");
    const QJsonObject json =
        QJsonDocument::fromJson(QByteArray::fromStdString(f->MeasurementsJson())).object();
    EXPECT_DOUBLE_EQ(json["modulation"].toObject()["evm_rms_db"].toDouble(), m->blind->evmRmsDb);
    v.Render(1000, 700);
    EXPECT_EQ(v.engine.rightPanel.at(2).text, "EVM: " + MarkerCell(*f, 2, "Value"));

    f->chooseToolFile = [&](const std::string&) { return Path("clean_1MSPS.cf32"); };
    f->ActionFor(kCmdEvmReference)->trigger();
    ASSERT_EQ(v.ViewType(), kViewAnalysisEvm) << f->lastStatus;
    m = v.engine.ModulationOf(f->mainWave);
    ASSERT_TRUE(m && m->blind && m->reference);  // both, of the same samples
    EXPECT_NEAR(m->reference->evmRmsDb, -30, 0.2);
    EXPECT_NEAR(m->reference->delaySamples, 0, 1e-3);
    v.Render(1000, 700);
    EXPECT_EQ(v.engine.rightPanel.back().text.rfind("Samples Compared: ", 0), 0u);

    // Another file: the results are not its own.
    ASSERT_EQ(f->OpenWaveformFile(Path("clean_1MSPS.cf32"), false, false), 0);
    EXPECT_EQ(v.engine.ModulationOf(f->mainWave), nullptr);
    f->ActionFor(kViewAnalysisEvm)->trigger();
    EXPECT_NE(v.ViewType(), kViewAnalysisEvm);
    EXPECT_EQ(f->lastStatus.rfind("No modulation results for these samples", 0), 0u);
}

}  // namespace
