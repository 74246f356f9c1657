// WAV files as IQ captures. The files are put together here byte by byte (not by the library
// the program reads them with), and the samples are checked against a decode of their bytes
// written here.

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <random>
#include <string>

#include "test_signals.h"
#include "waveform/capture_source.h"
#include "waveform/fast_file.h"
#include "waveform/wav_file.h"
#include "waveform/waveform.h"

namespace {

std::string Le(uint64_t v, int bytes, bool bigEndian = false) {
    std::string s;
    for (int k = 0; k < bytes; ++k)
        s += static_cast<char>(v >> (8 * (bigEndian ? bytes - 1 - k : k)));
    return s;
}

// A RIFF WAVE file (RIFX: every number big-endian): fmt (tag, channels, 250 kHz, bits), an
// auxi chunk whose centre frequency is 433.92 MHz, the data, and a LIST chunk after it.
std::string WavBytes(int tag, int bits, int channels, const std::string& data, bool rifx = false) {
    const auto n = [rifx](uint64_t v, int bytes) { return Le(v, bytes, rifx); };
    const auto chunk = [&](const std::string& id, std::string d) {
        if (d.size() % 2) d += '\0';
        return id + n(d.size(), 4) + d;
    };
    const int align = channels * bits / 8;
    const std::string fmt =
        n(tag, 2) + n(channels, 2) + n(250000, 4) + n(250000 * align, 4) + n(align, 2) + n(bits, 2);
    const std::string auxi = std::string(32, '\0') + Le(433'920'000, 4) + std::string(20, '\0');
    const std::string body = "WAVE" + chunk("fmt ", fmt) + chunk("auxi", auxi) +
                             chunk("data", data) + chunk("LIST", "INFOISFT");
    return (rifx ? "RIFX" : "RIFF") + n(body.size(), 4) + body;
}

// One value of the data as the test reads it: unsigned bytes about 128 and integers over their
// largest positive value; floats as stored, 0 when they are no finite float.
float Expected(const std::string& d, size_t at, int tag, int bits) {
    const auto* p = reinterpret_cast<const unsigned char*>(d.data()) + at;
    uint64_t u = 0;
    for (int k = bits / 8 - 1; k >= 0; --k)
        u = u << 8 | p[k];
    if (tag == 3) {
        const float f = bits == 32 ? std::bit_cast<float>(static_cast<uint32_t>(u))
                                   : static_cast<float>(std::bit_cast<double>(u));
        return std::isfinite(f) ? f : 0.0f;
    }
    if (bits == 8) return static_cast<float>((static_cast<int>(u) - 128) / 127.0);
    const int64_t top = int64_t{1} << (bits - 1);
    const int64_t v = static_cast<int64_t>(u) >= top ? static_cast<int64_t>(u) - 2 * top
                                                     : static_cast<int64_t>(u);
    return static_cast<float>(static_cast<double>(v) / static_cast<double>(top - 1));
}

struct WavCase {
    const char* name;
    int tag, bits, channels, type;
};

using Wav = FolderTest;

class WavFormats : public Wav, public ::testing::WithParamInterface<WavCase> {};

TEST_P(WavFormats, SamplesDecodeWhereTheHeaderPutsThem) {
    const WavCase c = GetParam();
    const int n = 1001, width = c.bits / 8;
    std::mt19937 g(static_cast<unsigned>(c.type));
    std::string data(static_cast<size_t>(n * c.channels * width), '\0');
    for (char& b : data)
        b = static_cast<char>(g());
    const std::string path = Write("rec.wav", WavBytes(c.tag, c.bits, c.channels, data));
    cWaveform w;
    w.fileType = 405;  // the chosen type must not matter
    ASSERT_EQ(w.LoadFile(path, false), 0) << w.LoadDetail();
    EXPECT_EQ(w.fileType, c.type);
    EXPECT_EQ(w.sampleRate, 250'000);
    EXPECT_EQ(w.recording.centreFrequencyHz, 433.92e6);
    ASSERT_EQ(w.sampleCount, n);
    for (int k = 0; k < n; ++k) {
        const size_t at = static_cast<size_t>(k * c.channels * width);
        ASSERT_EQ(w.I[k], Expected(data, at, c.tag, c.bits)) << k;
        ASSERT_EQ(w.Q[k], c.channels == 2 ? Expected(data, at + width, c.tag, c.bits) : 0.0f) << k;
    }
    // Mapped as a capture: the same count (the LIST chunk after the samples is none of them)
    // and the same bits for a range.
    cCaptureSource capture;
    ASSERT_EQ(capture.Open(path, 405), "");
    EXPECT_EQ(capture.SampleCount(), n);
    EXPECT_EQ(capture.Recording().centreFrequencyHz, 433.92e6);
    std::vector<float> i(500), q(500);
    ASSERT_EQ(capture.Read(300, 500, i.data(), q.data()), "");
    EXPECT_EQ(std::memcmp(i.data(), w.I.data() + 300, 2000), 0);
    EXPECT_EQ(std::memcmp(q.data(), w.Q.data() + 300, 2000), 0);
}

// clang-format off
INSTANTIATE_TEST_SUITE_P(Formats, WavFormats, ::testing::Values(
    WavCase{"pcm8", 1, 8, 2, kFileWavU8}, WavCase{"pcm16", 1, 16, 2, kFileBin16LeTwos},
    WavCase{"pcm24", 1, 24, 2, kFileInt24Le}, WavCase{"pcm32", 1, 32, 2, kFileCi32Le},
    WavCase{"float", 3, 32, 2, kFileCf32Le}, WavCase{"double", 3, 64, 2, kFileCf64Le},
    WavCase{"mono16", 1, 16, 1, kFileReal16LeTwos}, WavCase{"mono_float", 3, 32, 1, kFileRf32Le}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

TEST_F(Wav, WhatIsNoIqCaptureIsRefusedWithTheReasonAndTheSamplesKept) {
    const std::string data(600, '\x11');
    const std::pair<std::string, std::string> cases[] = {
        {WavBytes(1, 16, 3, data), "has 3 channels; I and Q are read from two"},
        {WavBytes(3, 64, 1, data), "holds 64-bit float samples in 1 channel"},
        {WavBytes(1, 16, 2, data, true), "big-endian (RIFX)"},
        {"not a wave file at all", "is not a WAV file this program reads"}};
    for (const auto& [bytes, reason] : cases) {
        const std::string path = Write("bad.wav", bytes);
        WavLayout layout;
        EXPECT_NE(ReadWavLayout(path, layout).find(reason), std::string::npos) << reason;
        cWaveform w = SignalWave(5, 1000, [](int) { return std::complex<double>(0.5, 0.25); });
        EXPECT_NE(w.LoadFile(path, true), 0);
        EXPECT_NE(w.LoadDetail().find(reason), std::string::npos) << w.LoadDetail();
        EXPECT_EQ(w.sampleCount, 5);
        cCaptureSource capture;
        EXPECT_NE(capture.Open(path, 405).find(reason), std::string::npos);
    }
}

// A writer that never finished leaves the data length at 0xFFFFFFFF: the samples to the end
// of the file are read.
TEST_F(Wav, AnUnfinishedLengthReadsToTheEndOfTheFile) {
    std::string bytes = WavBytes(1, 16, 2, std::string(4000, '\x01'));
    const size_t data = bytes.find("data");
    bytes.replace(data + 4, 4, Le(0xFFFFFFFFu, 4));
    bytes.resize(data + 8 + 4000);  // nothing after the samples
    cWaveform w;
    ASSERT_EQ(w.LoadFile(Write("open.wav", bytes), false), 0) << w.LoadDetail();
    EXPECT_EQ(w.sampleCount, 1000);
    cCaptureSource capture;
    ASSERT_EQ(capture.Open(Path("open.wav"), 405), "");
    EXPECT_EQ(capture.SampleCount(), 1000);
}

// Saved as 16-bit PCM (format tag 1) or float (tag 3) in a plain RIFF header, the data the
// bytes the raw .cs16 and .cf32 encodings give; read back, the same samples.
TEST_F(Wav, SavedAsSixteenBitOrFloatAndReadBack) {
    cWaveform w = SignalWave(777, 1'920'000,
                             [](int k) { return std::polar(0.7, 0.3 * k) + 0.001 * (k % 7); });
    for (const int type : {kFileBin16LeTwos, kFileCf32Le, kFileCs8}) {
        SCOPED_TRACE(type);
        w.fileType = type;
        ASSERT_EQ(w.SaveFile(Path("x.wav")), 1);
        const int written = type == kFileCf32Le ? kFileCf32Le : kFileBin16LeTwos;
        w.fileType = written;
        ASSERT_EQ(w.SaveFile(Path(written == kFileCf32Le ? "x.cf32" : "x.cs16")), 1);
        std::ifstream in(Path("x.wav"), std::ios::binary);
        const std::string f((std::istreambuf_iterator<char>(in)), {});
        std::ifstream raw(Path(written == kFileCf32Le ? "x.cf32" : "x.cs16"), std::ios::binary);
        const std::string samples((std::istreambuf_iterator<char>(raw)), {});
        ASSERT_GE(f.size(), 44u);
        EXPECT_EQ(f.substr(0, 4), "RIFF");
        EXPECT_EQ(f.substr(8, 8), "WAVEfmt ");
        EXPECT_EQ(f.substr(20, 14), Le(written == kFileCf32Le ? 3 : 1, 2) + Le(2, 2) +
                                        Le(1'920'000, 4) +
                                        Le(1'920'000 * (written == kFileCf32Le ? 8 : 4), 4) +
                                        Le(written == kFileCf32Le ? 8 : 4, 2));
        const size_t data = f.find("data");
        ASSERT_NE(data, std::string::npos);
        EXPECT_EQ(f.substr(data + 4, 4), Le(samples.size(), 4));
        EXPECT_EQ(f.substr(data + 8), samples);
        cWaveform back;
        ASSERT_EQ(back.LoadFile(Path("x.wav"), false), 0);
        EXPECT_EQ(back.fileType, written);
        EXPECT_EQ(back.sampleRate, 1'920'000);
        cWaveform raws;
        raws.fileType = written;
        ASSERT_EQ(raws.LoadFile(Path(written == kFileCf32Le ? "x.cf32" : "x.cs16"), false), 0);
        EXPECT_EQ(SamplePairs(back), SamplePairs(raws));
    }
    // A WAV header holds rates up to 2^31 - 1 Hz: beyond, nothing is written.
    w.sampleRate = 3'000'000'000;
    SaveFailure why = SaveFailure::None;
    EXPECT_EQ(w.SaveFile(Path("fast.wav"), &why), 0);
    EXPECT_EQ(why, SaveFailure::RateBeyondWav);
    EXPECT_FALSE(std::filesystem::exists(Path("fast.wav")));
}

}  // namespace
