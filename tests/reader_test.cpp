// Loading and decoding of every file type: scale, sign, byte order, counts, the ASCII corner
// cases, the rate in the name and the failure paths.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "test_signals.h"
#include "unprivileged.h"
#include "waveform/file_messages.h"
#include "waveform/partial_reads.h"
#include "waveform/waveform.h"

namespace {

class Reader : public FolderTest {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        std::ofstream(Path(name), std::ios::binary | std::ios::trunc)
            .write(bytes.data(), std::streamsize(bytes.size()));
        return Path(name);
    }
    std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }
    // Loads bytes as the given type; returns the load result.
    int Load(cWaveform& w, int type, const std::string& bytes,
             const std::string& name = "wave.bin") {
        w.fileType = type;
        return w.LoadFile(Write(name, bytes), false);
    }
};

float Expect16(int v) { return static_cast<float>(static_cast<double>(v) / 32767.0); }

std::string Words(const std::vector<uint16_t>& words, bool bigEndian) {
    std::string s;
    for (uint16_t w : words) {
        const char hi = static_cast<char>(w >> 8), lo = static_cast<char>(w & 0xFF);
        s += bigEndian ? std::string{hi, lo} : std::string{lo, hi};
    }
    return s;
}

// Shared-exponent words built from fields: 13-bit mantissas in bits 13..1, exponent bit 2 in
// bit 15 of I, bit 1 in bit 14 of Q, bit 0 in bit 14 of I.
std::string Cpri(int mI, int mQ, int e, bool junkBits = false) {
    const uint16_t wI =
        static_cast<uint16_t>(((e >> 2) & 1) << 15 | (e & 1) << 14 | (mI & 0x1FFF) << 1 | junkBits);
    const uint16_t wQ = static_cast<uint16_t>(junkBits << 15 | ((e >> 1) & 1) << 14 |
                                              (mQ & 0x1FFF) << 1 | junkBits);
    return Words({wI, wQ}, true);
}

TEST_F(Reader, CpriMantissaExponent) {
    cWaveform w;
    ASSERT_EQ(Load(w, 418, Words({0x7FFE, 0x0000}, true)), 0);
    EXPECT_EQ(w.I[0], -2.0f * std::ldexp(1.0f, -19));
    EXPECT_EQ(w.Q[0], 0.0f);

    std::string bytes;
    struct Field {
        int mI, mQ, e;
    };
    const std::vector<Field> fields = {
        {-4096, 4095, 7}, {1, -1, 0}, {100, -200, 3}, {-4096, 0, 0}, {2047, 5, 5}};
    for (const auto& f : fields)
        bytes += Cpri(f.mI, f.mQ, f.e, &f != &fields[0]);
    ASSERT_EQ(Load(w, 418, bytes), 0);
    ASSERT_EQ(w.sampleCount, 5);
    for (size_t k = 0; k < fields.size(); ++k) {
        EXPECT_EQ(w.I[k], std::ldexp(float(fields[k].mI), fields[k].e - 19)) << k;
        EXPECT_EQ(w.Q[k], std::ldexp(float(fields[k].mQ), fields[k].e - 19)) << k;
    }
    EXPECT_EQ(w.I[0], -1.0f);  // full scale
}

// Hand-made bytes and the samples they must give; they also pin down DecodeOne below.
struct CaptureCase {
    int type;
    std::vector<uint8_t> bytes;
    IqPairs samples;
    int64_t nonFinite = 0;
};

class CaptureTypes : public Reader, public ::testing::WithParamInterface<CaptureCase> {};

TEST_P(CaptureTypes, DecodeAsStoredOrAboutTheirCentre) {
    const CaptureCase& c = GetParam();
    cWaveform w;
    ASSERT_EQ(Load(w, c.type, std::string(c.bytes.begin(), c.bytes.end())), 0);
    EXPECT_EQ(SamplePairs(w), c.samples);
    EXPECT_EQ(w.nonFiniteValues, c.nonFinite);
}

const float kMin16 = float(-32768 / 32767.0), kMin32 = float(-131072.0 / 131071.0);
// clang-format off
INSTANTIATE_TEST_SUITE_P(Reader, CaptureTypes, ::testing::Values(
    // Two's complement over 32767, little- and big-endian; offset binary about 0x8000.
    CaptureCase{412, {0xff, 0x7f, 0x00, 0x80, 0x01, 0x00}, {{1.0f, 0.0f}, {kMin16, 0.0f}, {float(1 / 32767.0), 0.0f}}},
    CaptureCase{405, {0x7f, 0xff, 0xff, 0xff}, {{1.0f, float(-1 / 32767.0)}}},
    CaptureCase{404, {0xff, 0xff, 0x80, 0x00, 0x00, 0x00, 0x80, 0x01}, {{1.0f, 0.0f}, {kMin16, float(1 / 32767.0)}}},
    // 32-bit big-endian over 2^17 − 1; a partial sample is ignored.
    CaptureCase{408, {0, 1, 0xff, 0xff, 0xff, 0xfe, 0, 0, 0x7f, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 'x', 'y', 'z'},
                {{1.0f, kMin32}, {float(2147483647.0 / 131071.0), float(-1.0 / 131071.0)}}},
    // Marker bytes: bit 3 gives I, bit 2 gives Q, the other bits nothing.
    CaptureCase{419, {0x08, 0x04, 0x0C, 0x00, 0xF3}, {{1, 0}, {0, 1}, {1, 1}, {0, 0}, {0, 0}}},
    // 0.5, -2 (little-endian singles), then a last byte that is no whole sample.
    CaptureCase{420, {0, 0, 0, 0x3f, 0, 0, 0, 0xc0, 1}, {{0.5f, -2.0f}}},
    // NaN and -infinity become 0; the smallest subnormal is kept as it is.
    CaptureCase{420, {0, 0, 0xc0, 0x7f, 0, 0, 0x80, 0xff, 1, 0, 0, 0, 0, 0, 0x80, 0x3f}, {{0.0f, 0.0f}, {1.4e-45f, 1.0f}}, 2},
    CaptureCase{423, {0x3f, 0x80, 0, 0, 0x7f, 0x80, 0, 0}, {{1.0f, 0.0f}}, 1},
    CaptureCase{421, {0x7f, 0x81, 0x80, 0}, {{1.0f, -1.0f}, {float(-128 / 127.0), 0.0f}}},
    CaptureCase{422, {0xff, 0, 0x80, 0x7f}, {{1.0f, -1.0f}, {float(0.5 / 127.5), float(-0.5 / 127.5)}}},
    CaptureCase{426, {0x7f, 0xc1}, {{1.0f, 0.0f}, {float(-63 / 127.0), 0.0f}}},
    CaptureCase{427, {0, 0xff}, {{-1.0f, 0.0f}, {1.0f, 0.0f}}},
    // 1.0, -0.25 as little-endian doubles; NaN and 1e300 (no float) read 0 and are counted.
    CaptureCase{428, {0, 0, 0, 0, 0, 0, 0xf0, 0x3f, 0, 0, 0, 0, 0, 0, 0xd0, 0xbf,
                      0, 0, 0, 0, 0, 0, 0xf8, 0x7f, 0x9c, 0x75, 0x00, 0x88, 0x3c, 0xe4, 0x37, 0x7e, 7},
                {{1.0f, -0.25f}, {0.0f, 0.0f}}, 2},
    // Little-endian int32 over 2^31 - 1.
    CaptureCase{429, {0xff, 0xff, 0xff, 0x7f, 0, 0, 0, 0x80, 1, 0, 0, 0, 0xff, 0xff, 0xff, 0xff},
                {{1.0f, float(-2147483648.0 / 2147483647.0)}, {float(1 / 2147483647.0), float(-1 / 2147483647.0)}}}));
// clang-format on

TEST_F(Reader, NonFiniteFloatsAreNamedInTheLoadNotes) {
    cWaveform w;
    const std::string inf(std::string("\0\0\x80\x7f", 4));
    ASSERT_EQ(Load(w, 424, inf + inf + inf), 0);
    EXPECT_EQ(LoadNotes(w), "3 values were NaN or infinite and read as 0");
    ASSERT_EQ(Load(w, 424, inf + std::string(4, '\0')), 0);
    EXPECT_EQ(LoadNotes(w), "1 value was NaN or infinite and was read as 0");
    w.fileType = 420;  // a re-parse counts again
    ASSERT_EQ(w.ParseRaw(), 1);
    EXPECT_EQ(w.nonFiniteValues, 1);
}

// Trailing bytes of the binary types show in LargeFiles' odd lengths.
TEST_F(Reader, SampleCountsFromLines) {
    cWaveform w;
    ASSERT_EQ(Load(w, 400, "1\n2\n3\n4\n5\n"), 0);
    EXPECT_EQ(w.sampleCount, 2);  // five lines: two pairs
    ASSERT_EQ(Load(w, 401, "1,2\n3,4\n5,6"), 0);
    EXPECT_EQ(w.sampleCount, 2);  // the unterminated last line is not counted
    EXPECT_EQ(w.I[1], 3.0f);
}

TEST_F(Reader, AsciiPairNotations) {
    const char* lines[] = {"0.5,0.25\n",  "0.5, 0.25\n",  "0.5 0.25\n",      "0.5\t0.25\n",
                           "0.5+0.25i\n", "0.5,0.25\r\n", "+0.5\t+0.25i\r\n"};
    for (const char* line : lines) {
        cWaveform w;
        ASSERT_EQ(Load(w, 401, std::string(line) + line), 0) << line;
        EXPECT_EQ(SamplePairs(w), (IqPairs{{0.5f, 0.25f}, {0.5f, 0.25f}})) << line;
    }
    cWaveform w;
    ASSERT_EQ(Load(w, 401, "0.5-0.25i\n1e40,1\n"), 0);
    EXPECT_EQ(SamplePairs(w), (IqPairs{{0.5f, -0.25f}, {1e38f, 1.0f}}));
    ASSERT_EQ(Load(w, 400, "0.125\r\n-3\r\n"), 0);
    EXPECT_EQ(SamplePairs(w), (IqPairs{{0.125f, -3.0f}}));
}

TEST_F(Reader, AsciiIntegers) {
    cWaveform w;
    ASSERT_EQ(Load(w, 403, "0xffff,0x0001\n7fff 8000\n"), 0);
    EXPECT_EQ(SamplePairs(w), (IqPairs{{Expect16(-1), Expect16(1)}, {1.0f, Expect16(-32768)}}));
    ASSERT_EQ(Load(w, 402, "100\n-5,7\n40000\t1\n12+34i\r\n"), 0);
    EXPECT_EQ(SamplePairs(w), (IqPairs{{Expect16(100), 0.0f},
                                       {Expect16(-5), Expect16(7)},
                                       {Expect16(40000 - 65536), Expect16(1)},
                                       {Expect16(12), Expect16(34)}}));
}

TEST_F(Reader, TextThatIsNotANumberCostsOnlyItsOwnLine) {
    cWaveform w;
    // A header line gives one zero sample; the data after it decodes.
    ASSERT_EQ(Load(w, 401, "I,Q\n0.5,0.25\n-1,1\n"), 0);
    EXPECT_EQ(SamplePairs(w), (IqPairs{{0.0f, 0.0f}, {0.5f, 0.25f}, {-1.0f, 1.0f}}));
    EXPECT_EQ(w.unparsedLines, 1);
    EXPECT_EQ(LoadNotes(w), "1 line was not a number");
    // Trailing blanks and a second value that is text stay on their line.
    ASSERT_EQ(Load(w, 401, "0.5,0.25  \n1,abc\n2,3\n"), 0);
    EXPECT_EQ(w.unparsedLines, 0);  // a line that starts with a number is data
    EXPECT_EQ(SamplePairs(w), (IqPairs{{0.5f, 0.25f}, {1.0f, 0.0f}, {2.0f, 3.0f}}));
    // Integers: an empty line is a zero sample, it does not pull in the next line's number.
    ASSERT_EQ(Load(w, 402, "# hdr\n\n5 \n6,7\n"), 0);
    EXPECT_EQ(LoadNotes(w), "2 lines were not numbers");
    EXPECT_EQ(
        SamplePairs(w),
        (IqPairs{{0.0f, 0.0f}, {0.0f, 0.0f}, {Expect16(5), 0.0f}, {Expect16(6), Expect16(7)}}));
    // I line / Q line: a text line zeroes only the value it held.
    ASSERT_EQ(Load(w, 400, "hdr\n1\n2\n3\n"), 0);
    EXPECT_EQ(w.unparsedLines, 1);
    EXPECT_EQ(SamplePairs(w), (IqPairs{{0.0f, 1.0f}, {2.0f, 3.0f}}));
    // The count follows a re-parse of the same bytes; binary types have no lines.
    w.fileType = 403;
    ASSERT_EQ(w.ParseRaw(), 4);
    EXPECT_EQ(w.unparsedLines, 1);  // "hdr" is no hex number either; 1, 2 and 3 are
    w.fileType = 405;
    ASSERT_GT(w.ParseRaw(), 0);
    EXPECT_EQ(w.unparsedLines, 0);
}

TEST_F(Reader, NumbersTooLargeForAFloatAreCappedNotInfinite) {
    cWaveform w;
    const std::string digits39(39, '9');  // above the largest float
    ASSERT_EQ(Load(w, 401, digits39 + ",-" + digits39 + "5\n99e37,1e999\n" + digits39 + "e-5,1\n"),
              0);
    EXPECT_EQ(SamplePairs(w), (IqPairs{{1e38f, -1e38f}, {1e38f, 1e38f}, {1e38f, 1.0f}}));
}

TEST_F(Reader, RateFromNameAndFallback) {
    cWaveform w;
    w.sampleRate = 500;
    ASSERT_EQ(Load(w, 405, "\1\2\3\4", "x_61.44MSPS.dat"), 0);
    EXPECT_EQ(w.sampleRate, 61'440'000);
    ASSERT_EQ(Load(w, 405, "\1\2\3\4", "x_0MSPS.dat"), 0);
    EXPECT_EQ(w.sampleRate, 61'440'000);  // no rate in the name: kept
    w.sampleRate = 999;
    ASSERT_EQ(Load(w, 405, "\1\2\3\4", "plain.dat"), 0);
    EXPECT_EQ(w.sampleRate, 245'760'000);  // below 1 kHz: the fallback
    // A name with a centre and a rate gives both; the next file without them keeps no centre.
    ASSERT_EQ(Load(w, 422, "\1\2", "g001_433.92M_250k.cu8"), 0);
    EXPECT_EQ(w.sampleRate, 250'000);
    EXPECT_EQ(w.recording.centreFrequencyHz, 433.92e6);
    ASSERT_EQ(Load(w, 422, "\1\2", "plain.cu8"), 0);
    EXPECT_FALSE(w.recording.centreFrequencyHz);
}

TEST_F(Reader, SuccessfulLoadResetsStateAndMarkers) {
    cWaveform w;
    w.markers.assign(3, 1);
    w.markerCount = 3;
    w.saveTypeMode = 1;
    w.domainState = DomainState::SpectrumOnly;
    const std::string path = Write("m_1MSPS.bin", std::string(8, '\0'));
    ASSERT_EQ(w.LoadFile(path, false), 0);
    EXPECT_EQ(w.title, path);
    EXPECT_EQ(w.markerCount, 0);
    EXPECT_TRUE(w.markers.empty());
    EXPECT_EQ(w.saveTypeMode, 0);
    EXPECT_EQ(w.domainState, DomainState::TimeOnly);
    EXPECT_EQ(w.rawByteCount, 8);
}

TEST_F(Reader, FailuresGiveOneZeroSampleOrKeepTheSamples) {
    const std::string missing = Path("does_not_exist.bin");
    const std::string empty = Write("empty.bin", std::string());
    const std::string oneByte = Write("one.bin", std::string("\x7f"));
    // Nothing opens a FIFO for writing: a blocking open would wait for ever.
    const std::string fifo = Path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    const struct {
        std::string path;
        LoadFailure why;
        std::string text;
    } cases[] = {
        {missing, LoadFailure::CannotOpen, "No such file or directory"},
        {empty, LoadFailure::Empty, "empty file"},
        {oneByte, LoadFailure::NoSamples, "no samples as file type 405"},
        {dir_.string(), LoadFailure::NotRegularFile, "not a regular file"},
        {fifo, LoadFailure::NotRegularFile, "not a regular file"},
        {"/dev/zero", LoadFailure::NotRegularFile, "not a regular file"},
    };
    for (const auto& c : cases) {
        cWaveform w;
        ASSERT_EQ(Load(w, 405, std::string(40, '\x10')), 0);
        EXPECT_EQ(w.LoadFile(c.path, true), kErrLoadFailed) << c.path;
        EXPECT_EQ(w.sampleCount, 10);  // kept
        EXPECT_EQ(w.title, c.path);
        EXPECT_EQ(w.LoadFile(c.path, false), kErrLoadFailed) << c.path;
        EXPECT_EQ(w.loadFailure, c.why) << c.path;
        EXPECT_EQ(LoadFailureText(w), c.text);
        ASSERT_EQ(w.sampleCount, 1);
        EXPECT_EQ(w.I[0], 0.0f);
        EXPECT_EQ(w.Q[0], 0.0f);
        EXPECT_EQ(w.domainState, DomainState::TimeOnly);
    }
    // Text without a line feed decodes to nothing under an ASCII type.
    cWaveform w;
    EXPECT_EQ(Load(w, 401, "1,2"), kErrLoadFailed);
    EXPECT_EQ(Load(w, 999, "1,2\n"), kErrLoadFailed);  // unknown type
}

TEST_F(Reader, AFileTheUserMayNotReadGivesTheSystemsReason) {
    const std::string path = Write("secret.bin", std::string(16, '\x20'));
    ASSERT_EQ(chmod(path.c_str(), 0), 0);
    const int status = RunUnprivileged([&] {
        cWaveform w;
        return w.LoadFile(path, false) == kErrLoadFailed &&
                       w.loadFailure == LoadFailure::CannotOpen && w.LoadErrno() == EACCES &&
                       LoadFailureText(w) == "Permission denied"
                   ? 0
                   : 1;
    });
    EXPECT_EQ(status, 0);
}

TEST_F(Reader, ReadOnlyFilesLoad) {
    // A file nobody may write: the running test program (writing it fails even for root).
    cWaveform w;
    w.fileType = 405;
    EXPECT_EQ(w.LoadFile("/proc/self/exe", false), 0);
    EXPECT_GT(w.sampleCount, 1000);
}

TEST_F(Reader, ReparseDecodesTheKeptBytesAgain) {
    cWaveform w;
    ASSERT_EQ(Load(w, 405, Words({0x0001, 0x0002, 0x0003, 0x0004}, true)), 0);
    w.fileType = 407;  // little-endian reading of the same bytes
    EXPECT_EQ(w.ParseRaw(), 2);
    EXPECT_EQ(w.I[0], Expect16(0x0100));
    w.fileType = 412;
    EXPECT_EQ(w.ParseRaw(), 4);
    // A type that decodes nothing leaves the samples as they were.
    w.fileType = 401;
    EXPECT_EQ(w.ParseRaw(), 0);
    EXPECT_EQ(w.sampleCount, 4);
    EXPECT_EQ(w.I[0], Expect16(0x0100));
}

// The record of a file read in part names that file only: a file made later under a freed inode
// number (another creation time) may be saved over.
TEST_F(Reader, APartialReadRecordNamesOnlyTheFileItWasMadeFor) {
    for (const bool sameFile : {true, false}) {
        const std::string path = Write(sameFile ? "a.bin" : "b.bin", std::string(1000, 'x'));
        const int fd = ::open(path.c_str(), O_RDONLY);
        struct stat st {};
        ASSERT_EQ(::fstat(fd, &st), 0);
        SourceFile s;
        s.fileBytes = 1000;
        s.bytesRead = 100;
        s.device = static_cast<uint64_t>(st.st_dev);
        s.inode = static_cast<uint64_t>(st.st_ino);
        s.bornNs = FileBirthNs(fd);
        ::close(fd);
        if (s.bornNs == 0) GTEST_SKIP() << "this file system keeps no creation times";
        if (!sameFile) s.bornNs -= 1;  // a file deleted before this one took its number
        RememberPartialRead(s);
        EXPECT_EQ(PartialReadAt(path).has_value(), sameFile);
    }
}

TEST_F(Reader, OnlyTheFirst500MillionBytesAreReadAndTheFileIsNotSavedOver) {
    // A sparse 600,000,000-byte file: line feeds at the first byte, the last byte inside the
    // cap and the first byte past it. Type 402 counts the two inside.
    const std::string path = Path("big.txt"), link = Path("big.link");
    {
        std::ofstream f(path, std::ios::binary | std::ios::trunc);
        f.put('\n');
        f.seekp(kMaxFileBytes - 1);
        f.put('\n');
        f.put('\n');
        f.seekp(600'000'000 - 1);
        f.put('x');
    }
    cWaveform w;
    w.fileType = 402;
    ASSERT_EQ(w.LoadFile(path, false), 0);
    EXPECT_EQ(w.rawByteCount, kMaxFileBytes);
    EXPECT_EQ(w.sampleCount, 2);
    EXPECT_EQ(LoadNotes(w),
              "Read the first 500,000,000 of 600,000,000 bytes; 2 lines were not numbers");

    // Saving over it, under its own name or another that leads to it, would cut it.
    ASSERT_EQ(::link(path.c_str(), link.c_str()), 0);
    for (const std::string& target : {path, link}) {
        SaveFailure why = SaveFailure::None;
        EXPECT_EQ(w.SaveFile(target, &why), 0);
        EXPECT_EQ(why, SaveFailure::WouldCutSource);
    }
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 600'000'000);
    // Another file takes the part that was read.
    EXPECT_EQ(w.SaveFile(Path("big.part")), 1);
    // Nor may samples that came from elsewhere (a new waveform, the waveform a second file was
    // combined into) replace it: the read is remembered for the file, not the waveform.
    w.ResetToNew();
    cWaveform other = SignalWave(1, kDefaultSampleRateHz, [](int) { return 0.5; });
    for (cWaveform* saver : {&w, &other}) {
        SaveFailure why = SaveFailure::None;
        EXPECT_EQ(saver->SaveFile(path, &why), 0);
        EXPECT_EQ(why, SaveFailure::WouldCutSource);
        EXPECT_EQ(saver->SaveCutFile().bytesRead, kMaxFileBytes);
    }
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_size, 600'000'000);
}

// Independent per-sample decoding of the binary types, for comparison with the loader's
// vectorised and two-thread paths.
struct Decoded {
    float i, q;
};
Decoded DecodeOne(int type, const uint8_t* p) {
    auto be = [](const uint8_t* b) { return uint16_t(b[0] << 8 | b[1]); };
    auto le = [](const uint8_t* b) { return uint16_t(b[1] << 8 | b[0]); };
    auto twos = [](uint16_t w) { return float(double(int16_t(w)) / 32767.0); };
    auto ob = [](uint16_t w) { return float((double(w) - 32768.0) / 32767.0); };
    // IEEE singles from their bytes; what is not finite reads as 0.
    auto f32 = [](const uint8_t* b, bool bigEndian) {
        uint32_t u = 0;
        for (int i = 0; i < 4; ++i)
            u |= uint32_t(b[bigEndian ? 3 - i : i]) << (8 * i);
        float f;
        std::memcpy(&f, &u, 4);
        return std::isfinite(f) ? f : 0.0f;
    };
    auto s8 = [](uint8_t b) { return float(int8_t(b) / 127.0); };
    auto u8 = [](uint8_t b) { return float((b - 127.5) / 127.5); };
    switch (type) {
        case 404: return {ob(be(p)), ob(be(p + 2))};
        case 405: return {twos(be(p)), twos(be(p + 2))};
        case 406: return {ob(le(p)), ob(le(p + 2))};
        case 407: return {twos(le(p)), twos(le(p + 2))};
        case 409: return {ob(be(p)), 0.0f};
        case 410:
        case 413: return {twos(be(p)), 0.0f};
        case 411: return {ob(le(p)), 0.0f};
        case 412:
        case 414: return {twos(le(p)), 0.0f};
        case 420: return {f32(p, false), f32(p + 4, false)};
        case 421: return {s8(p[0]), s8(p[1])};
        case 422: return {u8(p[0]), u8(p[1])};
        case 423: return {f32(p, true), f32(p + 4, true)};
        case 424: return {f32(p, false), 0.0f};
        case 425: return {f32(p, true), 0.0f};
        case 426: return {s8(p[0]), 0.0f};
        case 427: return {u8(p[0]), 0.0f};
        default: return {0, 0};
    }
}

int BytesPerSample(int type) {
    switch (type) {
        case 420:
        case 423: return 8;
        case 424:
        case 425: return 4;
        case 426:
        case 427: return 1;
        default: return type >= 409 ? 2 : 4;
    }
}

class LargeFiles : public Reader, public ::testing::WithParamInterface<std::pair<int, int>> {};

TEST_P(LargeFiles, VectorisedAndSplitDecodingMatchesPerSampleDecoding) {
    const auto [type, bytes] = GetParam();
    std::string data(static_cast<size_t>(bytes), '\0');
    uint32_t x = 12345;
    for (auto& c : data) {
        x = x * 1664525u + 1013904223u;
        c = static_cast<char>(x >> 24);
    }
    // Every 16-bit word once, in either byte order, ahead of the random bytes.
    for (size_t k = 0; k < 65536; ++k) {
        data[2 * k] = static_cast<char>(k >> 8);
        data[2 * k + 1] = static_cast<char>(k);
    }
    cWaveform w;
    ASSERT_EQ(Load(w, type, data, "large.bin"), 0);
    const int per = BytesPerSample(type);
    ASSERT_EQ(w.sampleCount, bytes / per);
    int mismatches = 0;
    int64_t notFinite = 0;
    for (int k = 0; k < w.sampleCount; ++k) {
        const uint8_t* p = reinterpret_cast<const uint8_t*>(data.data()) + size_t(k) * per;
        const Decoded d = DecodeOne(type, p);
        mismatches += (w.I[k] != d.i) + (w.Q[k] != d.q);
        // Random words: about one float in 256 has every exponent bit set.
        const bool isFloat = type == 420 || type == 423 || type == 424 || type == 425;
        const bool bigEndian = type == 423 || type == 425;
        for (int v = 0; isFloat && v < per / 4; ++v) {
            const uint8_t high = p[4 * v + (bigEndian ? 0 : 3)],
                          next = p[4 * v + (bigEndian ? 1 : 2)];
            notFinite += (high & 0x7F) == 0x7F && (next & 0x80) != 0;
        }
    }
    EXPECT_EQ(mismatches, 0);
    EXPECT_EQ(w.nonFiniteValues, notFinite);
}

// Odd lengths leave tails for the scalar loop; 34 MB files take the two-thread path.
INSTANTIATE_TEST_SUITE_P(
    Types, LargeFiles,
    ::testing::Values(std::pair{404, 200003}, std::pair{405, 200003}, std::pair{406, 200003},
                      std::pair{407, 200003}, std::pair{409, 200003}, std::pair{410, 200003},
                      std::pair{411, 200003}, std::pair{412, 200003}, std::pair{413, 200003},
                      std::pair{414, 200003}, std::pair{420, 200003}, std::pair{421, 200003},
                      std::pair{422, 200003}, std::pair{423, 200003}, std::pair{424, 200003},
                      std::pair{425, 200003}, std::pair{426, 200003}, std::pair{427, 200003},
                      std::pair{405, 34'000'002}, std::pair{411, 34'000'001},
                      std::pair{420, 34'000'007}));

}  // namespace
