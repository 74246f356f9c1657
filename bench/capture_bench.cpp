// Captures of any size against only reading their bytes (read() into one buffer, as cat does),
// with the page cache warm and cold: the whole-file overview and the whole-file measurement; a
// 100 MB range from the end; and opening a 20 GiB file, which answers from its size.
// The capture is a generated cf32 file of QRVN_BENCH_CAPTURE_GB gibibytes (default 4), kept.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "generated_capture.h"
#include "measure/whole_capture.h"
#include "waveform/capture_source.h"
#include "waveform/waveform.h"

namespace {

int64_t CaptureBytes() {
    const char* gb = std::getenv("QRVN_BENCH_CAPTURE_GB");
    return (gb ? std::atoll(gb) : 4) << 30;
}

// Noise in [-0.5, 0.5), made once.
const std::string& Capture() {
    static const std::string path =
        GeneratedCapture("qrvn_bench_capture_10MSPS.cf32", CaptureBytes(), [](auto& block) {
            std::mt19937 rng(1);
            for (float& v : block)
                v = static_cast<float>(rng() % 65536) / 65536.0f - 0.5f;
        });
    return path;
}

// Drops the file's pages from the page cache (cold) or reads it through (warm).
void Prepare(const std::string& path, bool cold) {
    const int fd = ::open(path.c_str(), O_RDONLY);
    if (cold) {
        ::fdatasync(fd);
        ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
    } else {
        std::vector<char> buf(1 << 20);
        while (::read(fd, buf.data(), buf.size()) > 0) {
        }
    }
    ::close(fd);
}

// Times pass over the whole capture once per iteration, its pages made cold (argument 1) or
// warm (0) before each, and counts the capture's bytes as processed.
template <class Pass>
void OverTheCapture(benchmark::State& state, Pass pass) {
    const std::string& path = Capture();
    cCaptureSource capture;
    capture.Open(path, kFileCf32Le);
    for (auto _ : state) {
        state.PauseTiming();
        Prepare(path, state.range(0) == 1);
        state.ResumeTiming();
        pass(path, capture);
    }
    state.SetBytesProcessed(state.iterations() * CaptureBytes());
}

void BM_ReadBytes(benchmark::State& state) {
    std::vector<char> buf(128 << 10);
    OverTheCapture(state, [&](const std::string& path, const cCaptureSource&) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        while (::read(fd, buf.data(), buf.size()) > 0) {
        }
        ::close(fd);
    });
}
BENCHMARK(BM_ReadBytes)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_Overview(benchmark::State& state) {
    OverTheCapture(state, [](const std::string&, const cCaptureSource& capture) {
        CaptureOverview o;
        ComputeCaptureOverview(capture, 0, capture.SampleCount(), 1500, o, {});
        benchmark::DoNotOptimize(o.peakDb.data());
    });
}
BENCHMARK(BM_Overview)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_MeasureWhole(benchmark::State& state) {
    OverTheCapture(state, [](const std::string&, const cCaptureSource& capture) {
        cSpectrumTrace trace;
        WholeCaptureFigures f;
        MeasureWholeCapture(capture, 10'000'000, SpectrumSettings{}, kSpectrumIQ, false, trace, f,
                            {});
        benchmark::DoNotOptimize(f.frames);
    });
}
BENCHMARK(BM_MeasureWhole)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->Iterations(1);

// 100,000,000 bytes from the end of the capture, cold, as the working waveform.
void BM_LoadRangeAtTheEnd(benchmark::State& state) {
    const std::string& path = Capture();
    cCaptureSource capture;
    capture.Open(path, kFileCf32Le);
    const int64_t count = 100'000'000 / 8;
    for (auto _ : state) {
        state.PauseTiming();
        Prepare(path, true);
        cWaveform w;
        state.ResumeTiming();
        w.LoadRange(capture, capture.SampleCount() - count, count, nullptr);
        benchmark::DoNotOptimize(w.sampleCount);
    }
}
BENCHMARK(BM_LoadRangeAtTheEnd)->Unit(benchmark::kMillisecond)->Iterations(3);

// Opening a sparse 20 GiB file and counting its samples: what qrvn info does for it.
void BM_OpenTwentyGigabytes(benchmark::State& state) {
    const std::string p =
        (std::filesystem::temp_directory_path() / "qrvn_bench_sparse_2.4MSPS.cf32").string();
    { std::ofstream create(p, std::ios::binary); }
    std::filesystem::resize_file(p, uintmax_t{20} << 30);
    for (auto _ : state) {
        cCaptureSource capture;
        capture.Open(p, kFileCf32Le);
        benchmark::DoNotOptimize(capture.SampleCount());
    }
    std::filesystem::remove(p);
}
BENCHMARK(BM_OpenTwentyGigabytes)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
