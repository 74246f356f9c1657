// The real main window, driven headless: start-up, command line, open/save/undo, file type
// re-parse, prompts with remembered answers, and a failed open that must not lose the waveform.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QApplication>
#include <QSettings>
#include <cmath>
#include <complex>
#include <filesystem>
#include <fstream>
#include <map>

#include "app/main_frame.h"
#include "app/view.h"
#include "waveform/waveform.h"

namespace {

namespace fs = std::filesystem;

// Answers prompts from a script instead of dialogs.
class ScriptedPrompter : public IPrompter {
public:
    std::map<std::string, double> numbers;  // by prompt text; missing: Cancel
    float PromptFloat(const std::string& p, const std::string&, float,
                      const std::string&) override {
        return numbers.count(p) ? static_cast<float>(numbers[p]) : kCancelFloat;
    }
    double PromptDouble(const std::string& p, const std::string&, double,
                        const std::string&) override {
        return numbers.count(p) ? numbers[p] : kCancelDouble;
    }
    int PromptInt(const std::string& p, const std::string&, int, const std::string&) override {
        return numbers.count(p) ? static_cast<int>(numbers[p]) : kCancelInt;
    }
    std::string PromptString(const std::string&, const std::string&, const std::string&,
                             const std::string&) override {
        return "";
    }
};

class Frame : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("frame_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        store_ = std::make_unique<QSettings>(
            QString::fromStdString((dir_ / "settings.conf").string()), QSettings::IniFormat);
    }
    void TearDown() override {
        store_.reset();
        fs::remove_all(dir_);
    }
    std::unique_ptr<CMainFrame> Start(const std::vector<std::string>& args) {
        auto f = std::make_unique<CMainFrame>(store_.get());
        f->prompter = &prompter_;
        f->showWarning = [this](const std::string& text) { warnings_.push_back(text); };
        f->OnInitialUpdate(args);
        return f;
    }
    std::string Tone(const std::string& name, int n, int type = 405) {
        cWaveform w;
        w.AllocateScratch(n);
        for (int k = 0; k < n; ++k) {
            const auto x = std::polar(0.5, 0.37 * k);
            w.scratchI[k] = static_cast<float>(x.real());
            w.scratchQ[k] = static_cast<float>(x.imag());
        }
        w.SwapScratch();
        w.fileType = type;
        const std::string path = (dir_ / name).string();
        EXPECT_EQ(w.SaveFile(path), 1);
        return path;
    }
    fs::path dir_;
    std::unique_ptr<QSettings> store_;
    ScriptedPrompter prompter_;
    std::vector<std::string> warnings_;  // message boxes shown
};

TEST_F(Frame, StartsWithANewWaveform) {
    auto f = Start({});
    EXPECT_EQ(f->mainWave.sampleCount, 65536);
    EXPECT_EQ(f->currentFileName, "New Waveform");
    EXPECT_TRUE(f->IsChecked(431));
    EXPECT_FALSE(f->IsChecked(430));
    EXPECT_TRUE(f->IsChecked(405));
    EXPECT_TRUE(f->IsChecked(211));  // FFT size 16384
    EXPECT_TRUE(f->IsChecked(300));
    EXPECT_EQ(f->lastStatus, "Ready");
    EXPECT_EQ(f->windowTitle(), "Quorvalen - New Waveform");
}

TEST_F(Frame, CommandLineOptionsApplyInOrder) {
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
}

TEST_F(Frame, RelativePathsFollowTheInstallPath) {
    fs::create_directories(dir_ / "data");
    Tone("data/a_1MSPS.bin", 100);
    store_->setValue("InstallPath", QString::fromStdString(dir_.string()));
    store_->sync();
    auto f = Start({"-f", "data/a_1MSPS.bin"});
    EXPECT_EQ(f->mainWave.sampleCount, 100);
    EXPECT_EQ(f->currentFileName, (dir_ / "data/a_1MSPS.bin").string());
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
    EXPECT_EQ(f->windowTitle().toStdString(), "Quorvalen - " + (dir_ / "keep_1MSPS.bin").string());

    // Lines that are not numbers are counted where "File Opened" would stand.
    std::ofstream(dir_ / "h.txt") << "I,Q\n# two\n0.5,0.25\n-1,1\n";
    f->OnCommand(401);
    EXPECT_EQ(f->OpenWaveformFile((dir_ / "h.txt").string(), true), 0);
    EXPECT_EQ(f->lastStatus, "2 lines were not numbers");
}

TEST_F(Frame, SavesThatWouldLoseDataAreRefusedWithTheReason) {
    // A sparse 600,000,000-byte text file: a number and a line of zero bytes inside the
    // 500,000,000 bytes read, another number past them.
    const std::string big = (dir_ / "big.txt").string();
    {
        std::ofstream f(big, std::ios::binary);
        f << "1\n";
        f.seekp(kMaxFileBytes - 1);
        f << "\n";
        f.seekp(600'000'000 - 2);
        f << "2\n";
    }
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

TEST_F(Frame, ReparseSaveOpenAndUndo) {
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

    // New takes an undo copy; undo twice goes back to the new waveform.
    const FloatArray loaded = f->mainWave.I;
    f->OnCommand(101);
    EXPECT_EQ(f->mainWave.sampleCount, 65536);
    f->OnCommand(40002);
    EXPECT_EQ(f->mainWave.I, loaded);
    f->OnCommand(40002);
    EXPECT_EQ(f->mainWave.sampleCount, 65536);

    // A new waveform has no file bytes to decode again.
    f->OnCommand(430);
    f->OnCommand(401);
    EXPECT_EQ(f->lastStatus, "ERR: No valid samples identified for Requested File type");
    EXPECT_EQ(f->mainWave.fileType, 405);
    EXPECT_TRUE(f->IsChecked(405));
}

TEST_F(Frame, RecentFilesOpenAndForgetMissingOnes) {
    const std::string a = Tone("a_1MSPS.bin", 10), b = Tone("b_1MSPS.bin", 20);
    {
        auto f = Start({"-f", a});
        f->OpenWaveformFile(b, true);
    }
    auto g = Start({"-d", "FDD"});  // the list survives a restart, newest first
    g->OnCommand(67);
    EXPECT_EQ(g->mainWave.sampleCount, 10);
    EXPECT_EQ(g->currentFileName, a);
    fs::remove(b);
    g->OnCommand(67);  // now b, which is gone: removed from the list
    EXPECT_EQ(g->lastStatus, "ERR: File Open Failed: No such file or directory");
    g->OnCommand(67);  // nothing left at that place
    EXPECT_EQ(g->mainWave.sampleCount, 10);
}

TEST_F(Frame, SettingsAndPromptsSurviveARestart) {
    {
        auto f = Start({});
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

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
