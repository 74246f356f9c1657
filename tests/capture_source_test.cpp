// Captures of any size: ranges decode as the whole file does, sparse files far beyond the
// working limit, files cut while mapped, and the ranges that are refused.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "test_signals.h"
#include "waveform/capture_source.h"
#include "waveform/file_messages.h"
#include "waveform/sigmf.h"
#include "waveform/waveform.h"

namespace {

using Capture = FolderTest;

std::string RandomBytes(size_t n, unsigned seed) {
    std::mt19937 g(seed);
    std::string s(n, '\0');
    for (char& c : s)
        c = static_cast<char>(g());
    return s;
}

// Every fixed-width binary type: ranges at the start, inside and at the end give the same
// bits as the whole file loaded at once (odd trailing bytes, which hold no whole sample, are
// outside every range).
TEST_F(Capture, RangesDecodeAsTheWholeFileDoes) {
    for (int type : {404, 405, 406, 407, 408, 409, 410, 411, 412, 413, 414, 418,
                     419, 420, 421, 422, 423, 424, 425, 426, 427, 428, 429}) {
        SCOPED_TRACE(type);
        const std::string path = Write("c.bin", RandomBytes(8 * 3001 + 3, unsigned(type)));
        cWaveform whole;
        whole.fileType = type;
        ASSERT_EQ(whole.LoadFile(path, false), 0);
        cCaptureSource capture;
        ASSERT_EQ(capture.Open(path, type), "");
        ASSERT_EQ(capture.SampleCount(), whole.sampleCount);
        const int n = whole.sampleCount;
        for (auto [start, count] : {std::pair{0, n}, {1, 17}, {n / 3, n / 2}, {n - 5, 5}}) {
            std::vector<float> i(static_cast<size_t>(count)), q(static_cast<size_t>(count));
            int64_t bad = 0;
            ASSERT_EQ(capture.Read(start, count, i.data(), q.data(), &bad), "");
            for (int k = 0; k < count; ++k) {
                ASSERT_EQ(std::memcmp(&i[size_t(k)], &whole.I[start + k], 4), 0) << start + k;
                ASSERT_EQ(std::memcmp(&q[size_t(k)], &whole.Q[start + k], 4), 0) << start + k;
            }
            if (count == n) {
                EXPECT_EQ(bad, whole.nonFiniteValues);
            }
            // Read through a buffer of a few samples at a time: the same bits.
            std::vector<uint8_t> buffer(20);
            std::vector<float> i2(i.size()), q2(q.size());
            ASSERT_EQ(capture.ReadThrough(start, count, i2.data(), q2.data(), buffer), "");
            ASSERT_EQ(std::memcmp(i2.data(), i.data(), i.size() * 4), 0);
            ASSERT_EQ(std::memcmp(q2.data(), q.data(), q.size() * 4), 0);
            // ReadOnce: through the mapping while the file is in the page cache, through pread
            // once it has been dropped from it.
            for (const bool dropped : {false, true}) {
                if (dropped) {
                    const int fd = ::open(path.c_str(), O_RDONLY);
                    ::fdatasync(fd);
                    ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
                    ::close(fd);
                }
                std::fill(i2.begin(), i2.end(), 7.0f);
                ASSERT_EQ(capture.ReadOnce(start, count, i2.data(), q2.data(), buffer), "");
                ASSERT_EQ(std::memcmp(i2.data(), i.data(), i.size() * 4), 0) << dropped;
                ASSERT_EQ(std::memcmp(q2.data(), q.data(), q.size() * 4), 0) << dropped;
            }
            cWaveform part;
            ASSERT_EQ(part.LoadRange(capture, start, count, nullptr), 0);
            EXPECT_EQ(SamplePairs(part), SamplePairs(cWaveform(whole, start, count)));
        }
    }
}

// A sparse file of 20 GiB: counted from its size at once, a range at its far end read alone,
// and the range remembered, so nothing is saved over the file it came from.
TEST_F(Capture, ASparseCaptureFarBeyondTheWorkingLimit) {
    const std::string path = Path("rec_2.4MSPS.cf32");
    constexpr int64_t kBytes = int64_t{20} << 30;
    {
        std::ofstream f(path, std::ios::binary);
        f.seekp(kBytes - 8);
        const float tail[2] = {0.5f, -0.25f};
        f.write(reinterpret_cast<const char*>(tail), 8);
    }
    cCaptureSource capture;
    ASSERT_EQ(capture.Open(path, kFileCf32Le), "");
    EXPECT_EQ(capture.SampleCount(), kBytes / 8);
    EXPECT_EQ(capture.NamedSampleRate(), 2'400'000);

    cWaveform w;
    ASSERT_EQ(w.LoadRange(capture, kBytes / 8 - 4, 4, nullptr), 0);
    EXPECT_EQ(SamplePairs(w), (IqPairs{{0, 0}, {0, 0}, {0, 0}, {0.5f, -0.25f}}));
    EXPECT_EQ(w.sampleRate, 2'400'000);
    EXPECT_EQ(w.source.firstSample, kBytes / 8 - 4);
    EXPECT_EQ(LoadNotes(w), "Read samples 2,684,354,556 to 2,684,354,559 of 2,684,354,560");
    SaveFailure why = SaveFailure::None;
    EXPECT_EQ(w.SaveFile(path, &why), 0);
    EXPECT_EQ(why, SaveFailure::WouldCutSource);
    EXPECT_NE(SaveFailureText(why, 0, path, w.SaveCutFile()).find("only a range"),
              std::string::npos);
    EXPECT_EQ(std::filesystem::file_size(path), uint64_t(kBytes));
}

// Refused ranges and files leave the working waveform as it was and say why.
TEST_F(Capture, RefusedRangesSayWhyAndChangeNothing) {
    const std::string path = Write("c.bin", RandomBytes(4 * 100, 1));
    cCaptureSource capture;
    ASSERT_EQ(capture.Open(path, 405), "");
    cWaveform w = SignalWave(10, 1000, [](int k) { return std::complex<double>(k, 0); });
    const IqPairs before = SamplePairs(w);
    const std::pair<int64_t, int64_t> ranges[] = {{-1, 10}, {0, 0},   {0, -5},
                                                  {95, 6},  {100, 1}, {INT64_MAX - 1, 10}};
    for (auto [start, count] : ranges) {
        std::string why;
        EXPECT_EQ(w.LoadRange(capture, start, count, &why), kErrLoadFailed) << start;
        EXPECT_FALSE(why.empty());
    }
    std::string why;
    w.LoadRange(capture, 95, 6, &why);
    EXPECT_EQ(why, "samples 95 to 100 lie past the end of c.bin, which holds 100 whole samples");
    EXPECT_EQ(SamplePairs(w), before);
    EXPECT_EQ(w.sampleRate, 1000);

    EXPECT_NE(capture.Open(Write("t.txt", "1\n2\n"), 400).find("text type"), std::string::npos);
    EXPECT_NE(capture.Open(Write("e.bin", ""), 405).find("empty"), std::string::npos);
    EXPECT_NE(capture.Open(Write("one.bin", "abc"), 405).find("no whole sample"),
              std::string::npos);
    EXPECT_NE(capture.Open(dir_.string(), 405).find("not a regular file"), std::string::npos);
}

// A file cut shorter while mapped: a range beyond the new end is refused before it is touched,
// and a page that vanishes under a read turns into a failed copy instead of SIGBUS.
TEST_F(Capture, AFileCutWhileMappedIsAnErrorNotACrash) {
    const long page = ::sysconf(_SC_PAGESIZE);
    const std::string path = Write("cut.bin", RandomBytes(size_t(4 * page), 2));
    cCaptureSource capture;
    ASSERT_EQ(capture.Open(path, 405), "");
    std::filesystem::resize_file(path, size_t(page));
    std::vector<float> i(100), q(100);
    const std::string why = capture.Read(page / 4 + 10, 100, i.data(), q.data());
    EXPECT_NE(why.find("shorter"), std::string::npos) << why;
    EXPECT_EQ(capture.Read(0, 100, i.data(), q.data()), "");
    std::vector<uint8_t> buffer(4096);
    EXPECT_NE(capture.ReadThrough(page / 4 + 10, 100, i.data(), q.data(), buffer).find("cut"),
              std::string::npos);

    // The bare mapping, without the length check, meets the missing page itself.
    std::filesystem::resize_file(path, size_t(4 * page));
    FILE* f = std::fopen(path.c_str(), "rb");
    ASSERT_TRUE(f);
    void* map = ::mmap(nullptr, size_t(4 * page), PROT_READ, MAP_SHARED, fileno(f), 0);
    ASSERT_NE(map, MAP_FAILED);
    std::filesystem::resize_file(path, size_t(page));
    std::vector<uint8_t> out(static_cast<size_t>(page));
    const auto* bytes = static_cast<const uint8_t*>(map);
    EXPECT_TRUE(CopyFromMapping(out.data(), bytes, size_t(page)));
    EXPECT_FALSE(CopyFromMapping(out.data(), bytes + 2 * page, size_t(page)));
    EXPECT_TRUE(CopyFromMapping(out.data(), bytes, 16));  // the guard is ready again
    ::munmap(map, size_t(4 * page));
    std::fclose(f);
}

// A recording's range starts after its header, takes its rate and metadata, and says when the
// metadata describes more samples than the data file holds.
TEST_F(Capture, RecordingRangesStartAfterTheHeader) {
    const std::string data = "HDR!" + RandomBytes(4 * 50, 3);
    Write("r.sigmf-data", data);
    Write("r.sigmf-meta",
          R"({"global":{"core:datatype":"ci16_le","core:sample_rate":1e6,"core:version":"1.0.0"},)"
          R"("captures":[{"core:sample_start":0,"core:header_bytes":4,"core:frequency":2.4e9}],)"
          R"("annotations":[{"core:sample_start":0,"core:sample_count":80}]})");
    cCaptureSource capture;
    ASSERT_EQ(capture.Open(Path("r.sigmf-meta"), 405), "");
    EXPECT_EQ(capture.SampleCount(), 50);
    EXPECT_EQ(capture.FileType(), kFileBin16LeTwos);
    EXPECT_EQ(capture.Notes(), "the metadata describes 80 samples; r.sigmf-data holds 50");
    cWaveform whole, part;
    ASSERT_EQ(whole.LoadFile(Path("r.sigmf-data"), false), 0);
    ASSERT_EQ(part.LoadRange(capture, 10, 20, nullptr), 0);
    EXPECT_EQ(SamplePairs(part), SamplePairs(cWaveform(whole, 10, 20)));
    EXPECT_EQ(part.sampleRate, 1'000'000);
    EXPECT_EQ(part.recording.centreFrequencyHz, 2.4e9);
}

}  // namespace
