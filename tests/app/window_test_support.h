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
        return numbers.count(p) ? static_cast<float>(numbers[p]) : kCancelFloat;
    }
    double PromptDouble(const std::string& p, const std::string&, double,
                        const std::string&) override {
        return numbers.count(p) ? numbers[p] : kCancelDouble;
    }
    int PromptInt(const std::string& p, const std::string&, int, const std::string&) override {
        return numbers.count(p) ? static_cast<int>(numbers[p]) : kCancelInt;
    }
    std::string PromptString(const std::string& p, const std::string&, const std::string&,
                             const std::string&) override {
        return texts.count(p) ? texts[p] : "";
    }
};

class WindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("window_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        store_ = std::make_unique<QSettings>(
            QString::fromStdString((dir_ / "settings.conf").string()), QSettings::IniFormat);
    }
    void TearDown() override {
        store_.reset();
        fs::remove_all(dir_);
    }
    // A window started with ARGS; its message boxes go to warnings_, its prompts to prompter_.
    std::unique_ptr<CMainFrame> Start(const std::vector<std::string>& args) {
        auto f = std::make_unique<CMainFrame>(store_.get());
        f->prompter = &prompter_;
        f->showNotice = [this](const std::string&, const std::string& text) {
            warnings_.push_back(text);
        };
        f->OnInitialUpdate(args);
        return f;
    }
    // A tone of n samples written as NAME in the folder (real when `complex` is off).
    std::string Tone(const std::string& name, int n, int type = 405, bool complex = true) {
        cWaveform w;
        w.AllocateScratch(n);
        for (int k = 0; k < n; ++k) {
            const auto x = std::polar(0.5, 0.37 * k);
            w.scratchI[k] = static_cast<float>(x.real());
            w.scratchQ[k] = complex ? static_cast<float>(x.imag()) : 0.0f;
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
