#pragma once
// Waveforms for tests, sample by sample from a function, their samples as (I, Q) pairs, and
// their averaged spectrum trace; a folder of files for each test, and a file's bytes.

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <complex>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "spectrum/trace_recompute.h"
#include "waveform/waveform.h"

inline cWaveform SignalWave(int n, int64_t rateHz,
                            const std::function<std::complex<double>(int)>& sample) {
    cWaveform w;
    w.AllocateScratch(n);
    for (int k = 0; k < n; ++k) {
        const std::complex<double> v = sample(k);
        w.scratchI[k] = static_cast<float>(v.real());
        w.scratchQ[k] = static_cast<float>(v.imag());
    }
    w.SwapScratch();
    w.sampleRate = rateHz;
    return w;
}

using IqPairs = std::vector<std::pair<float, float>>;

inline IqPairs SamplePairs(const cWaveform& w) {
    IqPairs x(static_cast<size_t>(w.sampleCount));
    for (int k = 0; k < w.sampleCount; ++k)
        x[static_cast<size_t>(k)] = {w.I[k], w.Q[k]};
    return x;
}

// The averaged trace of w at N points, as the view computes it.
inline cSpectrumTrace AveragedTrace(const cWaveform& w, int N,
                                    WindowType window = kWindowBlackmanHarris) {
    cSpectrumTrace t;
    SpectrumSettings s;
    s.fftSize = N;
    s.window = window;
    std::atomic<bool> stop{false};
    cSpectrumRecompute().Recompute(t, w, s, stop, {}, 0);
    return t;
}

// The whole file as bytes ("" when it cannot be read).
inline std::string Slurp(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

// A sparse 600,000,000-byte text file: a number and a line of zero bytes inside the
// 500,000,000 bytes read, another number past them.
inline void WritePartlyReadText(const std::string& path) {
    std::ofstream f(path, std::ios::binary);
    f << "1\n";
    f.seekp(kMaxFileBytes - 1);
    f << "\n";
    f.seekp(600'000'000 - 2);
    f << "2\n";
}

// A folder of its own for each test, removed after it; per process, as CTest runs the tests of
// one program in parallel processes.
class FolderTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::path(::testing::TempDir()) / ("test_" + std::to_string(::getpid()));
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string Path(const std::string& name) const { return (dir_ / name).string(); }
    // Writes bytes as the file name in the folder; its path.
    std::string Write(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary)
            .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        return Path(name);
    }
    std::filesystem::path dir_;
};
