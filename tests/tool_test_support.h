#pragma once
// Running tools in tests: scripted answers by prompt name, a context that records every
// status text, and the dispatcher with an undo slot, all without a window.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <complex>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "test_signals.h"
#include "tools/tool.h"
#include "tools/tool_dispatch.h"
#include "waveform/waveform.h"

using Answers = std::map<std::string, std::string>;

// What a tool says when one of its questions was cancelled.
inline const std::string kCancelledText = "Cancelled";
using Strings = std::vector<std::string>;

// Answers prompts by name; "cancel" answers as a cancelled dialog; absent names take the
// default. Records the names in the order asked.
class ScriptedInput : public IToolInput {
public:
    std::map<std::string, std::string> answers;
    std::vector<std::string> asked;

    float Float(const PromptSpec& s, float def) override {
        return static_cast<float>(Number(s, def, 1e36));
    }
    double Double(const PromptSpec& s, double def) override { return Number(s, def, 1e36); }
    int Int(const PromptSpec& s, int def) override {
        const double v = Number(s, def, 2147483647.0);
        return static_cast<int>(v > 0 ? v + 0.5 : v - 0.5);
    }
    std::string Text(const PromptSpec& s, const std::string& def) override {
        asked.push_back(s.name);
        const auto it = answers.find(s.name);
        if (it == answers.end()) return def;
        cancelled = cancelled || it->second == "cancel";
        return it->second == "cancel" ? std::string() : it->second;
    }
    std::string FileName(const PromptSpec& s, const std::string&) override { return Text(s, ""); }

private:
    double Number(const PromptSpec& s, double def, double cancel) {
        asked.push_back(s.name);
        const auto it = answers.find(s.name);
        if (it == answers.end()) return def;
        cancelled = cancelled || it->second == "cancel";
        return it->second == "cancel" ? cancel : std::stod(it->second);
    }
};

// One tool run: the context, its texts, and an undo slot kept by the dispatcher.
struct ToolRunner {
    ScriptedInput input;
    std::vector<std::string> texts;
    std::atomic<bool> stop{false};
    ToolContext ctx;
    cWaveform undo;
    bool undoTaken = false;
    int32_t seed = -12345;

    ToolRunner() {
        ctx.input = &input;
        ctx.status = [this](const std::string& t) { texts.push_back(t); };
        ctx.stop = &stop;
        ctx.seed = [this] { return seed; };
    }
    // Runs tool `id` on wave with the given answers; returns the tool's code.
    int Run(int id, cWaveform& wave, std::map<std::string, std::string> answers = {}) {
        input.answers = std::move(answers);
        input.asked.clear();
        texts.clear();
        const ToolRow* info = FindTool(id);
        if (!info) return kErrUnknownTool;
        cWaveform pending;
        ToolHost host;
        host.prepareUndo = [&](const cWaveform& before) { pending.CopyFrom(before); };
        host.finishUndo = [&](bool keep) {
            if (keep) {
                undo.CopyFrom(pending);
                undoTaken = true;
            }
        };
        return RunTool(*info, ctx, wave, host);
    }
    std::string LastText() const { return texts.empty() ? "" : texts.back(); }
};

// Reproducible samples with I and Q in [-1, 1), from a linear congruential generator.
inline std::vector<std::complex<double>> UniformNoise(int n, uint32_t seed = 99) {
    std::vector<std::complex<double>> x(static_cast<size_t>(n));
    auto next = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 8388608.0 - 1.0;
    };
    for (auto& v : x) {
        const double i = next();
        v = {i, next()};
    }
    return x;
}

// A waveform of n samples from a function of the index.
template <class F>
cWaveform MakeWaveform(int n, int64_t rateHz, F&& sample) {
    return SignalWave(n, rateHz, [&](int k) { return std::complex<double>(sample(k)); });
}

// What the waveform holds, as complex doubles, and a waveform from them.
inline std::vector<std::complex<double>> Samples(const cWaveform& w) {
    std::vector<std::complex<double>> x(static_cast<size_t>(w.sampleCount));
    for (int k = 0; k < w.sampleCount; ++k)
        x[static_cast<size_t>(k)] = {w.I[k], w.Q[k]};
    return x;
}
inline cWaveform FromSamples(const std::vector<std::complex<double>>& x,
                             int64_t rateHz = 30'720'000) {
    return MakeWaveform(static_cast<int>(x.size()), rateHz,
                        [&](int k) { return x[static_cast<size_t>(k)]; });
}

inline double MeanPower(const std::vector<std::complex<double>>& x) {
    double sum = 0;
    for (const auto& v : x)
        sum += std::norm(v);
    return x.empty() ? 0 : sum / static_cast<double>(x.size());
}

// Per process: CTest runs the tests of one program in parallel processes.
inline std::string TempPath(const std::string& name) {
    return ::testing::TempDir() + std::to_string(::getpid()) + "_" + name;
}

// What a tool's closing text adds after reading the second file at path as `label`.
inline std::string ReadAsNote(const std::string& path, const std::string& label) {
    return " (" + path.substr(path.rfind('/') + 1) + " read as " + label + ")";
}

// n samples allocated but never written, so counts past 32 bits cost no memory.
inline cWaveform Untouched(int64_t n, int64_t rateHz = 1'000'000) {
    cWaveform w;
    w.AllocateScratch(static_cast<int>(n));
    w.SwapScratch();
    w.sampleRate = rateHz;
    return w;
}

// A tool run that must be refused: its code (0: any failure), the prompts it asks and the texts
// it shows, on `samples` samples (-1: 1000; all zero when silent). Answers "@name" name a file
// ToolRefusals writes, or none ("@missing.bin"). The test itself is in modifier_test.cpp.
struct ToolRefusal {
    const char* label;
    int id;
    Answers answers;
    Strings asked, texts;
    int code = 0;
    ToolViewState view = {};
    int samples = -1;
    bool silent = false;
    int64_t rateHz = 1'000'000;
};
inline void PrintTo(const ToolRefusal& r, std::ostream* os) { *os << r.label; }
inline std::string RefusalName(const testing::TestParamInfo<ToolRefusal>& info) {
    return info.param.label;
}

// The cases on n samples where they do not say.
inline std::vector<ToolRefusal> OnSamples(int n, std::vector<ToolRefusal> cases) {
    for (ToolRefusal& c : cases)
        c.samples = c.samples < 0 ? n : c.samples;
    return cases;
}

// Refused runs leave samples, rate, filter shape and undo slot as they were.
class ToolRefusals : public testing::TestWithParam<ToolRefusal> {
protected:
    // 1000 samples of signal, an empty file, marker files marking nothing, everything or one
    // sample short, and tap files of one, two, 500 and 501 taps and of 31 zero taps.
    static std::map<std::string, std::string> Files() {
        return {{"second.bin", std::string(4000, '\x10')},
                {"empty.bin", ""},
                {"nomarks.bin", std::string(1000, '\x08')},
                {"marks.bin", std::string(1000, '\x04')},
                {"short_marks.bin", std::string(999, '\x04')},
                {"taps1.bin", std::string(4, '\x10')},
                {"taps2.bin", std::string(8, '\x10')},
                {"taps500.bin", std::string(2000, '\x10')},
                {"taps501.bin", std::string(2004, '\x10')},
                {"zero_taps.bin", std::string(124, '\0')}};
    }
    static void SetUpTestSuite() {
        for (const auto& [name, bytes] : Files())
            std::ofstream(TempPath(name), std::ios::binary)
                .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    }
    static void TearDownTestSuite() {
        for (const auto& [name, bytes] : Files())
            std::remove(TempPath(name).c_str());
    }
};
