// The spectrum CSV export: point layout, frequency axis and level texts.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

#include "spectrum/power_trace.h"
#include "spectrum/trace_export.h"
#include "test_signals.h"
#include "waveform/waveform.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::vector<std::string> lines;
    std::string line;
    while (std::getline(f, line)) {
        EXPECT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\r');
        line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

cSpectrumTrace TraceOf(int n, int N, int64_t fs, double cyclesPerSample, bool complex) {
    const cWaveform w = SignalWave(n, fs, [&](int k) {
        const double a = 2 * std::numbers::pi * cyclesPerSample * k;
        return std::complex<double>(std::cos(a), complex ? std::sin(a) : 0.0);
    });
    cSpectrumTrace t;
    t.Setup(false, n, N, kWindowRect, fs, complex);
    t.resetRequest = true;
    EXPECT_EQ(t.RunFrame(kSpectrumIQ, w, 0), 0);
    return t;
}

class Export : public ::testing::Test {
protected:
    std::string path_ = ::testing::TempDir() + "export_" + std::to_string(::getpid()) + ".csv";
    void TearDown() override { std::filesystem::remove(path_); }
};

TEST_F(Export, RealTraceRunsFromDcToHalfTheRate) {
    const cSpectrumTrace t = TraceOf(1024, 1024, 1'000'000, 0.0, false);
    ASSERT_EQ(ExportSpectrum(t, kSpectrumI, path_), ExportResult::Exported);
    const auto lines = Lines(path_);
    ASSERT_EQ(lines.size(), 512u);
    // A constant 1.0: all power at DC. The real trace is twice the one-sided power spectrum
    // at every point, DC included: +3.01 dB.
    EXPECT_EQ(lines[0], "0.0,3.01");
    EXPECT_EQ(lines[1].substr(0, 6), "978.5,");  // 500000 / 511
    EXPECT_EQ(lines[511].substr(0, 9), "500000.0,");
}

TEST_F(Export, ComplexTraceFromMinusHalfRateOrFromDc) {
    const int N = 1024;
    const int64_t fs = 1'024'000;
    const cSpectrumTrace t = TraceOf(N, N, fs, -0.25, true);  // a tone at -fs/4
    ASSERT_EQ(ExportSpectrum(t, kSpectrumIQ, path_), ExportResult::Exported);
    auto lines = Lines(path_);
    ASSERT_EQ(lines.size(), size_t(N));
    EXPECT_EQ(lines[0].substr(0, 10), "-512000.0,");
    EXPECT_EQ(lines[256], "-256000.0,0.00");  // the tone, at 0 dBFS
    // DC-FS kinds start at DC and show the negative half above fs/2: the tone at 3 fs/4.
    for (int view : {kSpectrumIQDcFs, kSpectrumQIDcFs}) {
        ASSERT_EQ(ExportSpectrum(t, view, path_), ExportResult::Exported);
        lines = Lines(path_);
        ASSERT_EQ(lines.size(), size_t(N));
        EXPECT_EQ(lines[0].substr(0, 4), "0.0,");
        EXPECT_EQ(lines[768], "768000.0,0.00") << view;
    }
}

TEST_F(Export, RefusesWithoutATraceOrAFolder) {
    cSpectrumTrace empty;
    EXPECT_EQ(ExportSpectrum(empty, kSpectrumIQ, path_), ExportResult::NoTrace);
    EXPECT_FALSE(std::filesystem::exists(path_));
    const cSpectrumTrace t = TraceOf(64, 64, 64, 0.0, true);
    EXPECT_EQ(ExportSpectrum(t, kSpectrumIQ, ::testing::TempDir() + "no/such/dir/x.csv"),
              ExportResult::CannotCreate);
    ASSERT_EQ(mkfifo(path_.c_str(), 0644), 0);  // left as it is, never written into
    EXPECT_EQ(ExportSpectrum(t, kSpectrumIQ, path_), ExportResult::CannotCreate);
    EXPECT_TRUE(std::filesystem::is_fifo(path_));
    std::filesystem::remove(path_);
}

}  // namespace
