// Play-through and file monitoring on a worker thread, without a window, and a soak test against
// another process rewriting the monitored file. Run under ThreadSanitizer in CI.

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <complex>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>
#include <vector>

#include "test_signals.h"
#include "waveform/waveform.h"
#include "workers/file_monitor.h"
#include "workers/play_through.h"

namespace {

namespace fs = std::filesystem;

cWaveform Ramp(int n, float step = 1e-4f) {
    return SignalWave(n, 1'000'000,
                      [&](int k) { return std::complex<double>(k * step, -k * step); });
}

// A link whose calls are counted; guarded by the lock the worker holds around them.
struct Recorder {
    std::mutex lock;
    std::atomic<int> fftSize{8192};
    std::vector<int64_t> segments;
    std::atomic<int> recomputes{0}, reloads{0};
    std::vector<std::string> texts;
    WorkerLink Link() {
        WorkerLink link;
        link.waveLock = &lock;
        link.recompute = [this] { ++recomputes; };
        link.status = [this](const std::string& t) {
            std::lock_guard g(textLock);
            texts.push_back(t);
        };
        link.fftSize = [this] { return fftSize.load(); };
        link.onReload = [this](double) { ++reloads; };
        return link;
    }
    std::mutex textLock;
};

TEST(PlayThrough, SegmentsOverlapByHalfAndRestart) {
    EXPECT_FALSE(PlayThroughFits(16384, 20000));
    EXPECT_TRUE(PlayThroughFits(8192, 20000));
    cWaveform main = Ramp(20000);
    const FloatArray whole = main.I;
    Recorder r;
    std::atomic<bool> stop{false};
    WorkerLink link = r.Link();
    link.onSegment = [&](int64_t start) {
        r.segments.push_back(start);
        if (r.segments.size() == 5) r.fftSize = 4096;  // a new FFT size starts again at 0
        if (r.segments.size() == 8) stop = true;
    };
    std::thread worker([&] { RunPlayThrough(main, link, stop); });
    worker.join();
    EXPECT_EQ(r.segments, (std::vector<int64_t>{0, 4096, 8192, 0, 4096, 0, 2048, 4096}));
    // The whole waveform is back and recomputed.
    EXPECT_EQ(main.sampleCount, 20000);
    EXPECT_EQ(main.I, whole);
    EXPECT_EQ(r.recomputes, 9);
}

class Monitor : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::path(::testing::TempDir()) / ("monitor_" + std::to_string(::getpid()));
        fs::create_directories(dir_);
        path_ = (dir_ / "capture_1MSPS.bin").string();
    }
    void TearDown() override { fs::remove_all(dir_); }
    void Write(const cWaveform& w) {
        cWaveform copy(w);
        copy.fileType = kFileBin16BeTwos;
        ASSERT_EQ(copy.SaveFile(path_), 1);
    }
    fs::path dir_;
    std::string path_;
};

TEST_F(Monitor, ReloadModes) {
    cWaveform main = Ramp(100);
    main.fileType = kFileBin16BeTwos;
    Recorder r;
    const WorkerLink link = r.Link();
    Write(Ramp(40, 2e-4f));
    // Reload: the file's samples, in the time form only.
    main.EnsureSpectrum(false);
    ASSERT_EQ(ReloadExternalUpdate(main, path_, kMonitorReload, main.sampleRate, link), 0);
    EXPECT_EQ(main.sampleCount, 40);
    EXPECT_EQ(main.domainState, DomainState::TimeOnly);
    EXPECT_NEAR(main.I[39], 39 * 2e-4, 1e-4);
    // Append: the whole file again after what is there, until the limit.
    ASSERT_EQ(ReloadExternalUpdate(main, path_, kMonitorAppendMode, main.sampleRate, link), 0);
    EXPECT_EQ(main.sampleCount, 80);
    EXPECT_EQ(main.I[40], main.I[0]);
    ASSERT_EQ(ReloadExternalUpdate(main, path_, kMonitorAppendMode, main.sampleRate, link, 100), 0);
    EXPECT_EQ(main.sampleCount, 80);
    EXPECT_EQ(r.texts.back(), "Appending stopped: the waveform would pass 100 samples");
    // Average: the mean of old and new where the lengths agree, nothing otherwise.
    ASSERT_EQ(ReloadExternalUpdate(main, path_, kMonitorAverageMode, main.sampleRate, link), 0);
    EXPECT_EQ(main.sampleCount, 80);
    cWaveform same = Ramp(80, 1e-4f);
    Write(same);
    const float before = main.I[50];
    ASSERT_EQ(ReloadExternalUpdate(main, path_, kMonitorAverageMode, main.sampleRate, link), 0);
    EXPECT_NEAR(main.I[50], 0.5f * (before + 50 * 1e-4f), 1e-4);
    // A rewrite that grew past the read limit is taken in part, says so, and cannot be saved
    // over.
    WritePartlyReadText(path_);
    main.fileType = kFileAsciiInt16;
    ASSERT_EQ(ReloadExternalUpdate(main, path_, kMonitorReload, main.sampleRate, link), 0);
    EXPECT_TRUE(main.source.ReadInPart());
    EXPECT_EQ(r.texts.back().rfind("Read the first 500,000,000 of 600,000,000 bytes", 0), 0u);
    EXPECT_EQ(main.SaveFile(path_), 0);
    EXPECT_EQ(fs::file_size(path_), 600'000'000u);
    // A file that cannot be read leaves everything as it was.
    const int count = main.sampleCount;
    fs::remove(path_);
    EXPECT_EQ(ReloadExternalUpdate(main, path_, kMonitorReload, main.sampleRate, link),
              kErrReloadFailed);
    EXPECT_EQ(main.sampleCount, count);
}

// Another process rewrites the file 1,000 times with varying lengths, half of them in two
// steps with a pause between; the waveform ends as the last complete file.
TEST_F(Monitor, SoakAgainstAWriterProcess) {
    Write(Ramp(10));
    cWaveform main;
    main.fileType = kFileBin16BeTwos;
    ASSERT_EQ(main.LoadFile(path_, false), 0);
    int lastLength = 0;
    std::mt19937 lengths(11);
    std::vector<int> sizes(1000);
    for (int& s : sizes)
        s = 100 + static_cast<int>(lengths() % 5000);
    lastLength = sizes.back();
    const pid_t writer = fork();
    if (writer == 0) {
        std::mt19937 rng(5);
        for (int i = 0; i < 1000; ++i) {
            // Big-endian 16-bit I/Q: sample k of version i is (k + i, -k) mod 2^15.
            std::string bytes(static_cast<size_t>(sizes[i]) * 4, '\0');
            for (int k = 0; k < sizes[i]; ++k) {
                const int16_t a = static_cast<int16_t>((k + i) % 32767);
                const int16_t b = static_cast<int16_t>(-(k % 32767));
                bytes[4 * k] = static_cast<char>(a >> 8);
                bytes[4 * k + 1] = static_cast<char>(a & 0xff);
                bytes[4 * k + 2] = static_cast<char>(b >> 8);
                bytes[4 * k + 3] = static_cast<char>(b & 0xff);
            }
            std::ofstream f(path_, std::ios::binary | std::ios::trunc);
            if (i % 2 == 1) {
                const size_t half = bytes.size() / 2;
                f.write(bytes.data(), static_cast<std::streamsize>(half));
                f.flush();
                usleep(static_cast<useconds_t>(rng() % 25000));
                f.write(bytes.data() + half, static_cast<std::streamsize>(bytes.size() - half));
            } else {
                f.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            }
            f.close();
            usleep(static_cast<useconds_t>(rng() % 2000));
        }
        _exit(0);
    }
    Recorder r;
    const WorkerLink link = r.Link();
    std::atomic<bool> stop{false};
    std::atomic<int> mode{kMonitorReload};
    std::thread monitor([&] { RunFileMonitor(main, path_, mode, link, stop); });
    int status = 0;
    waitpid(writer, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    // Give the last rewrite time to settle and be read.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    auto lastTaken = [&] {
        std::lock_guard g(r.lock);
        return main.sampleCount == lastLength &&
               main.I[lastLength - 1] ==
                   static_cast<float>((lastLength - 1 + 999) % 32767 / 32767.0);
    };
    while (!lastTaken() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    stop = true;
    monitor.join();
    EXPECT_TRUE(lastTaken());
    EXPECT_GT(r.reloads, 10);
    for (int k = 0; k < main.sampleCount; k += 97)
        ASSERT_EQ(main.Q[k], static_cast<float>(-(k % 32767) / 32767.0)) << k;
}

}  // namespace
