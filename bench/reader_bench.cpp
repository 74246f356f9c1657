// File loading against only reading the bytes (a 500 MB type-405 capture and a 400 MB cf32
// one), peak memory of a 500 MB load, and the ASCII decoder's throughput.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "waveform/waveform.h"

namespace {

constexpr int64_t kCaptureBytes = 500'000'000;

std::string CapturePath() {
    return (std::filesystem::temp_directory_path() / "qrvn_bench_capture_30.72MSPS.bin").string();
}

// A 500,000,000-byte type-405 capture (pseudo-random words), made once and kept warm in the
// page cache by reading it through before timing.
const std::string& Capture() {
    static const std::string path = [] {
        const std::string p = CapturePath();
        std::error_code ec;
        if (std::filesystem::file_size(p, ec) != static_cast<uintmax_t>(kCaptureBytes)) {
            std::vector<char> block(1 << 20);
            std::mt19937 rng(1);
            for (auto& b : block)
                b = static_cast<char>(rng());
            std::ofstream f(p, std::ios::binary | std::ios::trunc);
            for (int64_t left = kCaptureBytes; left > 0;) {
                const auto n =
                    static_cast<std::streamsize>(std::min<int64_t>(left, int64_t(block.size())));
                f.write(block.data(), n);
                left -= n;
            }
        }
        std::ifstream warm(p, std::ios::binary);
        std::vector<char> buf(1 << 24);
        while (warm.read(buf.data(), std::streamsize(buf.size()))) {
        }
        return p;
    }();
    return path;
}

constexpr int64_t kCf32Bytes = 400'000'000;

// A 400,000,000-byte cf32 capture of finite samples in [-1, 1), made once and kept warm.
const std::string& Cf32Capture() {
    static const std::string path = [] {
        const std::string p =
            (std::filesystem::temp_directory_path() / "qrvn_bench_capture.cf32").string();
        std::error_code ec;
        if (std::filesystem::file_size(p, ec) != static_cast<uintmax_t>(kCf32Bytes)) {
            std::vector<float> block(1 << 18);
            std::mt19937 rng(3);
            std::uniform_real_distribution<float> u(-1.0f, 1.0f);
            for (auto& v : block)
                v = u(rng);
            std::ofstream f(p, std::ios::binary | std::ios::trunc);
            const int64_t blockBytes = static_cast<int64_t>(block.size() * sizeof(float));
            for (int64_t left = kCf32Bytes; left > 0;) {
                const auto n = static_cast<std::streamsize>(std::min(left, blockBytes));
                f.write(reinterpret_cast<const char*>(block.data()), n);
                left -= n;
            }
        }
        std::ifstream warm(p, std::ios::binary);
        std::vector<char> buf(1 << 24);
        while (warm.read(buf.data(), std::streamsize(buf.size()))) {
        }
        return p;
    }();
    return path;
}

// The yardstick: open, allocate, one read of the whole file, free.
void ReadBytesOnly(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    struct stat st {};
    ::fstat(fd, &st);
    std::unique_ptr<char[]> buf(new char[static_cast<size_t>(st.st_size)]);
    int64_t got = 0;
    while (got < st.st_size) {
        const ssize_t r = ::read(fd, buf.get() + got, static_cast<size_t>(st.st_size - got));
        if (r <= 0) break;
        got += r;
    }
    ::close(fd);
    benchmark::DoNotOptimize(buf.get());
}

void LoadCapture(const std::string& path) {
    cWaveform w;
    w.fileType = kFileBin16BeTwos;
    if (w.LoadFile(path, false) != 0) std::abort();
    benchmark::DoNotOptimize(w.I.data());
}

void BM_ReadBytesOnly(benchmark::State& state) {
    const std::string& path = Capture();
    for (auto _ : state)
        ReadBytesOnly(path);
    state.SetBytesProcessed(state.iterations() * kCaptureBytes);
}

void BM_ReadBytesOnlyCf32(benchmark::State& state) {
    const std::string& path = Cf32Capture();
    for (auto _ : state)
        ReadBytesOnly(path);
    state.SetBytesProcessed(state.iterations() * kCf32Bytes);
}

// The type comes from the extension, as the window and qrvn pick it.
void BM_LoadFileCf32(benchmark::State& state) {
    const std::string& path = Cf32Capture();
    for (auto _ : state) {
        cWaveform w;
        w.fileType = kFileCf32Le;
        if (w.LoadFile(path, false) != 0 || w.nonFiniteValues != 0) std::abort();
        benchmark::DoNotOptimize(w.I.data());
    }
    state.SetBytesProcessed(state.iterations() * kCf32Bytes);
}

void BM_LoadFile405(benchmark::State& state) {
    const std::string& path = Capture();
    for (auto _ : state)
        LoadCapture(path);
    state.SetBytesProcessed(state.iterations() * kCaptureBytes);
}

// Peak resident memory of a fresh process doing one load (fork, then the child's rusage).
template <void (*Work)(const std::string&)>
void BM_PeakRss(benchmark::State& state) {
    const std::string& path = Capture();
    long peakKb = 0;
    for (auto _ : state) {
        const pid_t pid = fork();
        if (pid == 0) {
            Work(path);
            _exit(0);
        }
        int status = 0;
        struct rusage ru {};
        wait4(pid, &status, 0, &ru);
        peakKb = ru.ru_maxrss;
    }
    state.counters["peak_rss_MB"] = static_cast<double>(peakKb) / 1024.0;
}

// 10 million "I,Q" lines of six-decimal values.
const std::string& AsciiLines() {
    static const std::string text = [] {
        std::string s;
        s.reserve(10'000'000 * 22);
        std::mt19937 rng(2);
        std::uniform_real_distribution<double> u(-1.0, 1.0);
        char line[64];
        for (int k = 0; k < 10'000'000; ++k) {
            const int n = std::snprintf(line, sizeof line, "%.6f,%.6f\n", u(rng), u(rng));
            s.append(line, static_cast<size_t>(n));
        }
        return s;
    }();
    return text;
}

void BM_DecodeAscii401(benchmark::State& state) {
    const std::string& text = AsciiLines();
    cWaveform w;
    w.fileType = kFileAsciiIQPair;
    w.rawFile.assign(text.begin(), text.end());
    w.rawByteCount = static_cast<int>(text.size());
    for (auto _ : state) {
        if (w.ParseRaw() != 10'000'000) std::abort();
        benchmark::DoNotOptimize(w.I.data());
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(text.size()));
}

BENCHMARK(BM_ReadBytesOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadFile405)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_ReadBytesOnlyCf32)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LoadFileCf32)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_PeakRss<ReadBytesOnly>)
    ->Name("BM_PeakRss/ReadBytesOnly")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakRss<LoadCapture>)
    ->Name("BM_PeakRss/LoadFile405")
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecodeAscii401)->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

BENCHMARK_MAIN();
