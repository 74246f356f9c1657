#pragma once
// Shared by the tests that drive the real main window headless: a temporary folder with its own
// settings file, scripted prompt answers, and tone files written with the project's writer.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QSettings>
#include <complex>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "../test_signals.h"
#include "app/main_frame.h"
#include "waveform/waveform.h"

namespace fs = std::filesystem;

// Answers prompts from a script instead of dialogs; a prompt not in the script is cancelled.
class ScriptedPrompter : public IPrompter {
public:
    std::map<std::string, double> numbers;  // by prompt text
    std::map<std::string, std::string> texts;
    float PromptFloat(const std::string& p, const std::string&, float,
                      const std::string&) override {
        lastCancelled = !numbers.count(p);
        return lastCancelled ? kCancelFloat : static_cast<float>(numbers[p]);
    }
    double PromptDouble(const std::string& p, const std::string&, double,
                        const std::string&) override {
        lastCancelled = !numbers.count(p);
        return lastCancelled ? kCancelDouble : numbers[p];
    }
    int PromptInt(const std::string& p, const std::string&, int, const std::string&) override {
        lastCancelled = !numbers.count(p);
        return lastCancelled ? kCancelInt : static_cast<int>(numbers[p]);
    }
    std::string PromptString(const std::string& p, const std::string&, const std::string&,
                             const std::string&) override {
        lastCancelled = !texts.count(p);
        return lastCancelled ? "" : texts[p];
    }
};

class WindowTest : public FolderTest {
protected:
    void SetUp() override {
        FolderTest::SetUp();
        store_ = std::make_unique<QSettings>(
            QString::fromStdString((dir_ / "settings.conf").string()), QSettings::IniFormat);
    }
    void TearDown() override {
        store_.reset();
        FolderTest::TearDown();
    }
    // A window started with ARGS; its message boxes go to warnings_, its prompts to prompter_.
    std::unique_ptr<CMainFrame> Start(const std::vector<std::string>& args) {
        auto f = std::make_unique<CMainFrame>(store_.get());
        f->prompter = &prompter_;
        f->showNotice = [this](const std::string&, const std::string& text) {
            warnings_.push_back(text);
        };
        f->inform = [](const std::string&, const std::string&) {};
        f->askSaveChanges = [this](const std::string& name) {
            savesAsked_.push_back(name);
            return saveChoice_;
        };
        f->OnInitialUpdate(args);
        return f;
    }
    // A tone of n samples written as NAME in the folder (real when `complex` is off).
    std::string Tone(const std::string& name, int n, int type = 405, bool complex = true) {
        cWaveform w = SignalWave(n, kDefaultSampleRateHz, [&](int k) {
            const auto x = std::polar(0.5, 0.37 * k);
            return complex ? x : std::complex<double>(x.real(), 0);
        });
        w.fileType = type;
        EXPECT_EQ(w.SaveFile(Path(name)), 1);
        return Path(name);
    }
    std::unique_ptr<QSettings> store_;
    ScriptedPrompter prompter_;
    std::vector<std::string> warnings_;  // message boxes shown
    // "Save changes to NAME?": the names asked about, and the answer given.
    std::vector<std::string> savesAsked_;
    CMainFrame::SaveChoice saveChoice_ = CMainFrame::SaveChoice::Discard;
};
