// SigMF recordings written by hand: samples, rate, centre frequency and texts of each datatype;
// errors for recordings that cannot be read; short and missing data; saves read back.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "test_signals.h"
#include "waveform/capture_source.h"
#include "waveform/data_digest.h"
#include "waveform/file_messages.h"
#include "waveform/sigmf.h"
#include "waveform/waveform.h"

namespace {

namespace fs = std::filesystem;

std::string LeFloats(std::initializer_list<float> values) {
    std::string s;
    for (float v : values) {
        uint32_t u;
        std::memcpy(&u, &v, 4);
        for (int i = 0; i < 4; ++i)
            s += static_cast<char>(u >> (8 * i));
    }
    return s;
}

std::string Meta(const std::string& datatype, const std::string& extraGlobal = "",
                 const std::string& rest = R"("captures": [{"core:sample_start": 0}])") {
    return R"({"global": {"core:datatype": ")" + datatype + R"(", "core:version": "1.0.0")" +
           extraGlobal + "}, " + rest + "}";
}

class Sigmf : public FolderTest {
protected:
    void Put(const std::string& name, const std::string& bytes) const {
        std::ofstream(Path(name), std::ios::binary | std::ios::trunc)
            .write(bytes.data(), std::streamsize(bytes.size()));
    }
    // Writes rec.sigmf-meta and rec.sigmf-data and loads the recording through `open`.
    int LoadRecording(cWaveform& w, const std::string& meta, const std::string& data,
                      const std::string& open = "rec.sigmf-meta") {
        Put("rec.sigmf-meta", meta);
        Put("rec.sigmf-data", data);
        return w.LoadFile(Path(open), false);
    }
};

struct Readable {
    const char* name;
    std::string meta, data;
    int type;
    IqPairs samples;
};

class SigmfDatatypes : public Sigmf, public ::testing::WithParamInterface<Readable> {};

TEST_P(SigmfDatatypes, DecodeInTheTypeTheMetadataNames) {
    const Readable& c = GetParam();
    cWaveform w;
    w.fileType = 401;  // the chosen type must not matter
    ASSERT_EQ(LoadRecording(w, c.meta, c.data), 0) << LoadFailureText(w);
    EXPECT_EQ(w.fileType, c.type);
    EXPECT_EQ(SamplePairs(w), c.samples);
}

const float kS16 = float(16384 / 32767.0);
// clang-format off
INSTANTIATE_TEST_SUITE_P(HandWritten, SigmfDatatypes, ::testing::Values(
    Readable{"cf32_le", Meta("cf32_le"), LeFloats({0.25f, -3.0f}), 420, {{0.25f, -3.0f}}},
    Readable{"cf32_be", Meta("cf32_be"), std::string("\x3e\x80\0\0\xc0\x40\0\0", 8), 423, {{0.25f, -3.0f}}},
    Readable{"rf32_le", Meta("rf32_le"), LeFloats({0.25f, -3.0f}), 424, {{0.25f, 0.0f}, {-3.0f, 0.0f}}},
    // ci16 are the bytes of the 16-bit two's complement types.
    Readable{"ci16_le", Meta("ci16_le"), std::string("\0\x40\0\xc0", 4), 407, {{kS16, -kS16}}},
    Readable{"ci16_be", Meta("ci16_be"), std::string("\x40\0\xc0\0", 4), 405, {{kS16, -kS16}}},
    Readable{"ri16_le", Meta("ri16_le"), std::string("\0\x40\0\xc0", 4), 412, {{kS16, 0.0f}, {-kS16, 0.0f}}},
    Readable{"cu16_le", Meta("cu16_le"), std::string("\0\xc0\0\x40", 4), 406, {{kS16, -kS16}}},
    Readable{"ci8", Meta("ci8"), std::string("\x7f\x81", 2), 421, {{1.0f, -1.0f}}},
    Readable{"cu8", Meta("cu8"), std::string("\xff\0", 2), 422, {{1.0f, -1.0f}}},
    Readable{"ru8", Meta("ru8"), std::string("\xff\0", 2), 427, {{1.0f, 0.0f}, {-1.0f, 0.0f}}},
    Readable{"cf64_le", Meta("cf64_le"), std::string("\0\0\0\0\0\0\xd0\x3f\0\0\0\0\0\0\x08\xc0", 16), 428, {{0.25f, -3.0f}}},
    Readable{"ci32_le", Meta("ci32_le"), std::string("\xff\xff\xff\x7f\x01\0\0\x80", 8), 429, {{1.0f, -1.0f}}},
    // Fields and objects this program does not know are ignored, annotations included.
    Readable{"extras",
             Meta("ci8", R"(, "my:gain": {"stages": [1, 2, {"x": null}]}, "core:hw": "box")",
                  R"("captures": [{"core:sample_start": 0, "my:note": "a"}],
                     "annotations": [{"core:sample_start": 0, "core:sample_count": 1,
                                      "core:label": "burst \u00e9"}, "odd"],
                     "my:top": [true, false])"),
             std::string("\x7f\x81", 2), 421, {{1.0f, -1.0f}}},
    // Header and trailing bytes of a data file are not samples.
    Readable{"header_and_trailer",
             Meta("ci8", R"(, "core:trailing_bytes": 3)", R"("captures": [{"core:sample_start": 0, "core:header_bytes": 2}])"),
             std::string("HH\x7f\x81TTT", 7), 421, {{1.0f, -1.0f}}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

// Every capture segment with its frequency and start time, and every annotation, counted from
// the data file's first sample (core:offset taken off); a range takes the centre frequency of
// the segment it starts in.
TEST_F(Sigmf, SegmentsAndAnnotationsAreReadAndARangeFollowsItsSegment) {
    const std::string meta = Meta("ci8", R"(, "core:offset": 100)",
                                  R"("captures": [{"core:sample_start": 100, "core:frequency": 1e8,
                         "core:datetime": "2024-05-01T12:00:00Z"},
                        {"core:sample_start": 140, "core:frequency": 2e8},
                        {"core:sample_start": 180, "core:frequency": 3e8}],
           "annotations": [{"core:sample_start": 110, "core:sample_count": 5, "core:label": "a",
                            "core:comment": "c", "core:freq_lower_edge": 99.9e6,
                            "core:freq_upper_edge": 100.1e6},
                           {"core:sample_start": 150}, {"core:label": "no start"}])");
    cWaveform w;
    ASSERT_EQ(LoadRecording(w, meta, std::string(400, '\x10')), 0);
    const RecordingInfo& r = w.recording;
    ASSERT_EQ(r.segments.size(), 3u);
    EXPECT_EQ(r.segments[1].firstSample, 40);
    EXPECT_EQ(r.segments[2].frequencyHz, 3e8);
    EXPECT_EQ(r.segments[0].datetime, "2024-05-01T12:00:00Z");
    EXPECT_EQ(r.annotationCount, 3);
    ASSERT_EQ(r.annotations.size(), 2u);
    EXPECT_EQ(r.annotations[0].firstSample, 10);
    EXPECT_EQ(r.annotations[0].sampleCount, 5);
    EXPECT_EQ(r.annotations[0].label, "a");
    EXPECT_EQ(r.annotations[0].comment, "c");
    EXPECT_EQ(r.annotations[0].upperHz, 100.1e6);
    EXPECT_FALSE(r.annotations[1].lowerHz.has_value());
    EXPECT_EQ(r.centreFrequencyHz, 1e8);
    for (auto [start, centre] : {std::pair{0, 1e8}, {39, 1e8}, {40, 2e8}, {120, 3e8}}) {
        cCaptureSource capture;
        ASSERT_EQ(capture.Open(Path("rec.sigmf-meta"), 0), "");
        cWaveform range;
        ASSERT_EQ(range.LoadRange(capture, start, 10, nullptr), 0);
        EXPECT_EQ(range.recording.centreFrequencyHz, centre) << start;
    }
}

TEST_F(Sigmf, RateCentreFrequencyAndTextsComeFromTheMetadata) {
    const std::string meta = Meta("ci8",
                                  R"(, "core:sample_rate": 2.5e6, "core:description": "FM band",
                                     "core:author": "Ann <a@b.c>")",
                                  R"("captures": [{"core:sample_start": 0,
                                                   "core:frequency": 98.5e6},
                                                  {"core:sample_start": 1,
                                                   "core:frequency": 1e9}])");
    // The name's rate yields to the metadata's; either file opens the recording.
    for (const char* open : {"rec.sigmf-meta", "rec.sigmf-data"}) {
        cWaveform w;
        ASSERT_EQ(LoadRecording(w, meta, std::string("\x7f\x81\0\0", 4), open), 0) << open;
        EXPECT_EQ(w.sampleRate, 2'500'000);
        ASSERT_TRUE(w.recording.centreFrequencyHz.has_value());
        EXPECT_EQ(*w.recording.centreFrequencyHz, 98.5e6);
        EXPECT_EQ(w.recording.description, "FM band");
        EXPECT_EQ(w.recording.author, "Ann <a@b.c>");
        EXPECT_EQ(w.recording.datatype, "ci8");
        EXPECT_EQ(LoadNotes(w), "");
    }
    // Without a rate in the metadata the name gives it; without a capture there is no centre.
    cWaveform w;
    Put("x_1.5MSPS.sigmf-meta", Meta("ci8", "", R"("captures": [])"));
    Put("x_1.5MSPS.sigmf-data", std::string("\x7f\x81", 2));
    ASSERT_EQ(w.LoadFile(Path("x_1.5MSPS.sigmf-data"), false), 0);
    EXPECT_EQ(w.sampleRate, 1'500'000);
    EXPECT_FALSE(w.recording.centreFrequencyHz.has_value());
    EXPECT_FALSE(w.recording.sampleRateHz.has_value());
    // A rate far below 1 Hz takes the fallback rate, which a save writes and a read takes back.
    cWaveform tiny;
    ASSERT_EQ(LoadRecording(tiny, Meta("ci8", R"(, "core:sample_rate": 2.4e-6)"),
                            std::string("\x7f\x81", 2)),
              0);
    EXPECT_EQ(tiny.sampleRate, kFallbackSampleRateHz);
    ASSERT_EQ(tiny.SaveFile(Path("again.sigmf-meta")), 1);
    cWaveform again;
    ASSERT_EQ(again.LoadFile(Path("again.sigmf-meta"), false), 0);
    EXPECT_EQ(again.sampleRate, kFallbackSampleRateHz);
}

struct Unreadable {
    const char* name;
    std::string meta;
    std::string error;  // the reason LoadFailureText gives
};

class BadRecordings : public Sigmf, public ::testing::WithParamInterface<Unreadable> {};

TEST_P(BadRecordings, AreRefusedWithTheReasonAndKeepTheSamplesWhenAsked) {
    const Unreadable& c = GetParam();
    cWaveform w;
    w.fileType = 405;
    w.AllocateScratch(3);
    w.SwapScratch();
    Put("rec.sigmf-meta", c.meta);
    Put("rec.sigmf-data", std::string(16, '\x11'));
    EXPECT_EQ(w.LoadFile(Path("rec.sigmf-meta"), true), kErrLoadFailed);
    EXPECT_EQ(w.loadFailure, LoadFailure::BadRecording);
    EXPECT_EQ(LoadFailureText(w), c.error);
    EXPECT_EQ(w.sampleCount, 3);
    EXPECT_EQ(w.fileType, 405);
}

INSTANTIATE_TEST_SUITE_P(
    HandWritten, BadRecordings,
    ::testing::Values(
        Unreadable{"truncated_json", R"({"global": {"core:datatype": "ci8")",
                   "rec.sigmf-meta: not valid JSON (syntax error at byte 35)"},
        Unreadable{"trailing_comma", R"({"global": {"core:datatype": "ci8",}})",
                   "rec.sigmf-meta: not valid JSON (syntax error at byte 36)"},
        Unreadable{"not_utf8",
                   "{\"global\": {\"core:datatype\": \"ci8\", \"core:author\": \"\xff\"}}",
                   "rec.sigmf-meta: not valid JSON (syntax error at byte 53)"},
        Unreadable{"array", "[1, 2]", "rec.sigmf-meta: the metadata is not a JSON object"},
        Unreadable{"no_global", R"({"captures": []})",
                   "rec.sigmf-meta: the metadata has no \"global\" object"},
        Unreadable{"no_datatype", R"({"global": {"core:sample_rate": 1e6}})",
                   "rec.sigmf-meta: core:datatype is missing"},
        Unreadable{"not_a_datatype", Meta("cf16_le"),
                   "rec.sigmf-meta: core:datatype \"cf16_le\" is not a SigMF datatype"},
        Unreadable{"uint32", Meta("cu32_le"),
                   "rec.sigmf-meta: datatype cu32_le is not supported (this program reads cf32, "
                   "ci16, cu16, ci8 and cu8 and their real forms, cf64_le and ci32_le)"},
        Unreadable{"float64", Meta("rf64_be"),
                   "rec.sigmf-meta: datatype rf64_be is not supported (this program reads cf32, "
                   "ci16, cu16, ci8 and cu8 and their real forms, cf64_le and ci32_le)"},
        Unreadable{"no_channels", Meta("ci16_le", R"(, "core:num_channels": 0)"),
                   "rec.sigmf-meta: core:num_channels is not a count of channels (1 to 4096)"},
        Unreadable{"sha_number", Meta("ci8", R"(, "core:sha512": 7)"),
                   "rec.sigmf-meta: core:sha512 is not text"},
        Unreadable{"rate_text", Meta("ci8", R"(, "core:sample_rate": "1e6")"),
                   "rec.sigmf-meta: core:sample_rate is not a positive number"},
        Unreadable{"rate_zero", Meta("ci8", R"(, "core:sample_rate": 0)"),
                   "rec.sigmf-meta: core:sample_rate is not a positive number"},
        Unreadable{"captures_object", Meta("ci8", "", R"("captures": {})"),
                   "rec.sigmf-meta: \"captures\" is not an array"},
        Unreadable{"negative_start", Meta("ci8", "", R"("captures": [{"core:sample_start": -1}])"),
                   "rec.sigmf-meta: core:sample_start of capture 1 is not a sample index"},
        Unreadable{"frequency_text",
                   Meta("ci8", "", R"("captures": [{"core:frequency": "98.5 MHz"}])"),
                   "rec.sigmf-meta: core:frequency of capture 1 is not a number"},
        Unreadable{"second_header",
                   Meta("ci8", "",
                        R"("captures": [{"core:sample_start": 0},
                                        {"core:sample_start": 4, "core:header_bytes": 8}])"),
                   "rec.sigmf-meta: capture 2 has a header inside the data file "
                   "(core:header_bytes), which is not supported"},
        Unreadable{"other_dataset", Meta("ci8", R"(, "core:dataset": "x.bin")"),
                   "rec.sigmf-meta: samples in another file (core:dataset) are not supported"},
        Unreadable{"header_only", Meta("ci8", "", R"("captures": [{"core:header_bytes": 15}])"),
                   "data file rec.sigmf-data holds no whole ci8 sample"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Sigmf, AShortDataFileShowsWhatItHoldsAndSaysSo) {
    cWaveform w;
    const std::string meta = Meta("cf32_le", "",
                                  R"("captures": [{"core:sample_start": 0}],
                "annotations": [{"core:sample_start": 2, "core:sample_count": 2998}])");
    // Cut inside the third sample.
    ASSERT_EQ(LoadRecording(w, meta, LeFloats({1, 2, 3, 4, 5})), 0);
    EXPECT_EQ(w.sampleCount, 2);
    EXPECT_EQ(w.Q[1], 4.0f);
    EXPECT_EQ(LoadNotes(w), "The data file holds 2 of the 3,000 samples the metadata describes");
    // A capture that starts beyond the data says the same.
    ASSERT_EQ(LoadRecording(w, Meta("ci8", "", R"("captures": [{"core:sample_start": 9}])"),
                            std::string(4, '\0')),
              0);
    EXPECT_EQ(LoadNotes(w), "The data file holds 2 of the 9 samples the metadata describes");
}

TEST_F(Sigmf, MissingFilesAreNamed) {
    cWaveform w;
    Put("rec.sigmf-meta", Meta("ci8"));
    EXPECT_EQ(w.LoadFile(Path("rec.sigmf-meta"), false), kErrLoadFailed);
    EXPECT_EQ(LoadFailureText(w), "data file rec.sigmf-data: No such file or directory");
    EXPECT_EQ(w.sampleCount, 1);  // one zero sample, as any failed load
    EXPECT_FALSE(w.recording.centreFrequencyHz.has_value());
    Put("rec.sigmf-data", "");
    EXPECT_EQ(w.LoadFile(Path("rec.sigmf-meta"), false), kErrLoadFailed);
    EXPECT_EQ(LoadFailureText(w), "data file rec.sigmf-data is empty");
    Put("only.sigmf-data", std::string(8, '\0'));
    EXPECT_EQ(w.LoadFile(Path("only.sigmf-data"), false), kErrLoadFailed);
    EXPECT_EQ(LoadFailureText(w), "metadata file only.sigmf-meta: No such file or directory");
}

cWaveform Tone(int n) {
    return SignalWave(n, 30'720'000, [](int k) { return std::polar(0.7, 0.3 * k); });
}

TEST_F(Sigmf, SavesWriteTheDataThenTheMetadataAndReadBack) {
    for (const int type : {405, 420}) {
        cWaveform w = Tone(1000);
        w.fileType = type;
        w.recording.centreFrequencyHz = 2.412e9;
        w.recording.description = "line 1\n\"quoted\"";
        ASSERT_EQ(w.SaveFile(Path("out.sigmf-meta")), 1);
        SigmfMeta meta;
        ASSERT_EQ(ParseSigmfMeta(Slurp(Path("out.sigmf-meta")), meta), "");
        const bool f32 = type == 420;
        EXPECT_EQ(meta.datatype, f32 ? "cf32_le" : "ci16_le");
        EXPECT_EQ(meta.sampleRateHz, 30.72e6);
        EXPECT_EQ(meta.frequencyHz, 2.412e9);
        EXPECT_EQ(meta.description, "line 1\n\"quoted\"");
        EXPECT_EQ(meta.author, "");
        EXPECT_FALSE(meta.version.empty());
        // The data file holds exactly what a raw save of 407 (or 420) holds.
        cWaveform raw = Tone(1000);
        raw.fileType = f32 ? 420 : 407;
        ASSERT_EQ(raw.SaveFile(Path("raw.bin")), 1);
        EXPECT_EQ(Slurp(Path("out.sigmf-data")), Slurp(Path("raw.bin")));

        cWaveform r;
        ASSERT_EQ(r.LoadFile(Path("out.sigmf-data"), false), 0);
        EXPECT_EQ(r.sampleCount, 1000);
        EXPECT_EQ(r.sampleRate, 30'720'000);
        EXPECT_EQ(r.recording.centreFrequencyHz, 2.412e9);
        EXPECT_EQ(r.fileType, f32 ? 420 : 407);
        if (f32) {
            EXPECT_EQ(r.I[999], w.I[999]);
        }
    }
    // No stray temporary files.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 3);
}

TEST_F(Sigmf, ARefusedSaveLeavesBothFilesAlone) {
    Put("rec.sigmf-data", "old data");
    fs::create_directory(Path("rec.sigmf-meta"));  // cannot be replaced
    cWaveform w = Tone(10);
    SaveFailure why = SaveFailure::None;
    EXPECT_EQ(w.SaveFile(Path("rec.sigmf-data"), &why), 0);
    EXPECT_EQ(why, SaveFailure::NotRegularFile);
    EXPECT_EQ(Slurp(Path("rec.sigmf-data")), "old data");
}

TEST(SigmfNames, ExtensionsAndCompanionFiles) {
    EXPECT_EQ(SigmfMetaPath("/a/b.c.sigmf-data"), "/a/b.c.sigmf-meta");
    EXPECT_EQ(SigmfDataPath("b.sigmf-meta"), "b.sigmf-data");
    EXPECT_FALSE(IsSigmfPath("b.sigmf-meta.bak"));
    EXPECT_EQ(FileTypeForExtension("/x/cap.CF32"), 420);
    EXPECT_EQ(FileTypeForExtension("cap.cfile"), 420);
    EXPECT_EQ(FileTypeForExtension("cap.cs8"), 421);
    EXPECT_EQ(FileTypeForExtension("cap.cu8"), 422);
    for (const char* name : {"a.cs16", "a.SC16"})
        EXPECT_EQ(FileTypeForExtension(name), 407) << name;
    EXPECT_EQ(FileTypeForExtension("a.fc32"), 420);
    for (const char* name : {"a.cf64", "a.fc64"})
        EXPECT_EQ(FileTypeForExtension(name), 428) << name;
    for (const char* name : {"a.ci32", "a.cs32"})
        EXPECT_EQ(FileTypeForExtension(name), 429) << name;
    EXPECT_EQ(FileTypeForExtension("/r/gqrx_20240131_235959_433920000_2400000_fc.raw"), 420);
    EXPECT_EQ(FileTypeForExtension("gqrx_notes.raw"), 0);
    EXPECT_EQ(FileTypeForExtension("/x.cu8/cap"), 0);
    EXPECT_EQ(FileTypeForExtension("cap.bin"), 0);
}

}  // namespace

// A ci8 recording of three channels, frames written one after another: channel c of sample k is
// (10c + k, -k). Each channel reads alone, whole, by range and through pread.
TEST_F(Sigmf, OneChannelOfAnInterleavedRecordingIsRead) {
    std::string data;
    for (int k = 0; k < 50; ++k)
        for (int c = 0; c < 3; ++c)
            data += {static_cast<char>(10 * c + k), static_cast<char>(-k)};
    const std::string meta = Meta("ci8", R"(, "core:num_channels": 3)");
    for (int c = 0; c < 3; ++c) {
        IqPairs want;
        for (int k = 0; k < 50; ++k)
            want.push_back({(10 * c + k) / 127.0f, -k / 127.0f});
        cWaveform w;
        w.recordingChannel = c;
        ASSERT_EQ(LoadRecording(w, meta, data), 0) << LoadFailureText(w);
        EXPECT_EQ(SamplePairs(w), want);
        EXPECT_EQ(w.recording.channelCount, 3);
        cCaptureSource capture;
        ASSERT_EQ(capture.Open(Path("rec.sigmf-meta"), 0, c), "");
        EXPECT_EQ(capture.SampleCount(), 50);
        std::vector<float> i(7), q(7), i2(7), q2(7);
        std::vector<uint8_t> buffer(20);  // a few frames per pread
        ASSERT_EQ(capture.Read(43, 7, i.data(), q.data()), "");
        ASSERT_EQ(capture.ReadThrough(43, 7, i2.data(), q2.data(), buffer), "");
        for (int k = 0; k < 7; ++k) {
            EXPECT_EQ(i[k], want[43 + k].first);
            EXPECT_EQ(i2[k], i[k]);
            EXPECT_EQ(q2[k], q[k]);
        }
        cWaveform range;
        ASSERT_EQ(range.LoadRange(capture, 48, 2, nullptr), 0);
        EXPECT_EQ(SamplePairs(range), IqPairs(want.begin() + 48, want.end()));
    }
    cWaveform w;
    w.recordingChannel = 3;
    EXPECT_NE(LoadRecording(w, meta, data), 0);
    EXPECT_EQ(w.LoadDetail(), "the recording holds 3 channels (0 to 2); there is no channel 3");
}

// The digest is SHA-512 (the FIPS 180-2 value of "abc"), of the bytes asked for; a save writes
// that of the data it wrote.
TEST_F(Sigmf, TheDigestIsSha512AndASaveWritesThatOfItsData) {
    const std::string abc =
        "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a"
        "2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f";
    cSha512 digest;
    digest.Add("ab", 2);
    digest.Add("c", 1);
    EXPECT_EQ(digest.Hex(), abc);
    std::string hex;
    ASSERT_EQ(Sha512OfFile(Write("x", "--abc--"), 2, 3, hex), "");
    EXPECT_EQ(hex, abc);
    EXPECT_EQ(Sha512OfFile(Path("x"), 2, 30, hex), "the file ends 25 bytes early");

    cWaveform w = SignalWave(300, 1'000'000, [](int k) { return std::polar(0.5, 0.1 * k); });
    w.fileType = 407;
    ASSERT_EQ(w.SaveFile(Path("out.sigmf-meta")), 1);
    SigmfMeta meta;
    ASSERT_EQ(ParseSigmfMeta(Slurp(Path("out.sigmf-meta")), meta), "");
    ASSERT_EQ(Sha512OfFile(Path("out.sigmf-data"), 0, -1, hex), "");
    EXPECT_EQ(meta.sha512, hex);
}

// What this program does not use comes back on a save: extension keys of the global object, of
// captures and annotations, and of the document. Annotations are written, those of a range cut
// to it, in the order of their first sample.
TEST_F(Sigmf, ASaveKeepsWhatItDoesNotUseAndWritesTheAnnotations) {
    const std::string meta =
        Meta("ci8", R"(, "core:extensions": [{"name": "ext", "version": "1.0.0", "optional": true}],
                   "ext:gain": 12.5, "core:sha512": "00")",
             R"("captures": [{"core:sample_start": 0, "core:frequency": 1e8, "ext:antenna": "A"},
                        {"core:sample_start": 60, "core:frequency": 2e8,
                         "core:datetime": "2024-05-01T12:00:00Z"}],
           "annotations": [{"core:sample_start": 70, "core:sample_count": 20, "core:label": "b",
                            "ext:score": [1, 2]},
                           {"core:sample_start": 10, "core:sample_count": 45, "core:label": "a"}],
           "ext:top": {"k": null})");
    cWaveform w;
    ASSERT_EQ(LoadRecording(w, meta, std::string(400, 5)), 0);
    w.recording.annotations.push_back({150, 5, 1e6, 2e6, "new", "made here", ""});
    ASSERT_EQ(w.SaveFile(Path("out.sigmf")), 1);
    ASSERT_EQ(w.SaveFile(Path("out.sigmf-meta")), 1);
    for (const char* saved : {"out.sigmf", "out.sigmf-meta"}) {
        cWaveform r;
        ASSERT_EQ(r.LoadFile(Path(saved), false), 0) << saved << ": " << LoadFailureText(r);
        const RecordingInfo& k = r.recording;
        EXPECT_EQ(k.otherGlobalKeys,
                  R"({"core:extensions":[{"name":"ext","optional":true,"version":"1.0.0"}],)"
                  R"("ext:gain":12.5})");
        EXPECT_EQ(k.otherTopKeys, R"({"ext:top":{"k":null}})");
        ASSERT_EQ(k.segments.size(), 2u);
        EXPECT_EQ(k.segments[0].otherKeys, R"({"ext:antenna":"A"})");
        EXPECT_EQ(k.segments[1].datetime, "2024-05-01T12:00:00Z");
        ASSERT_EQ(k.annotations.size(), 3u);
        EXPECT_EQ(k.annotations[0].label, "a");
        EXPECT_EQ(k.annotations[1].otherKeys, R"({"ext:score":[1,2]})");
        EXPECT_EQ(k.annotations[2].comment, "made here");
        EXPECT_EQ(k.annotations[2].upperHz, 2e6);
        EXPECT_EQ(k.sha512.size(), 128u);
        EXPECT_EQ(r.sampleCount, 200);
    }

    // Samples 50 to 79: the first segment's start and the annotations are cut to them.
    cCaptureSource capture;
    ASSERT_EQ(capture.Open(Path("rec.sigmf-meta"), 0), "");
    cWaveform range;
    ASSERT_EQ(range.LoadRange(capture, 50, 30, nullptr), 0);
    ASSERT_EQ(range.SaveFile(Path("cut.sigmf-meta")), 1);
    SigmfMeta cut;
    ASSERT_EQ(ParseSigmfMeta(Slurp(Path("cut.sigmf-meta")), cut), "");
    ASSERT_EQ(cut.segments.size(), 2u);
    EXPECT_EQ(cut.segments[1].firstSample, 10);  // sample 60 of the original
    ASSERT_EQ(cut.annotations.size(), 2u);
    EXPECT_EQ(cut.annotations[0].firstSample, 0);  // 10 to 54, cut to 50 to 54
    EXPECT_EQ(cut.annotations[0].sampleCount, 5);
    EXPECT_EQ(cut.annotations[1].firstSample, 20);
    EXPECT_EQ(cut.annotations[1].sampleCount, 10);
}

// A ustar header block as the format describes it, the body padded to whole blocks.
std::string TarEntry(const std::string& name, const std::string& body, char type = '0') {
    std::string h(512, '\0');
    h.replace(0, name.size(), name);
    std::snprintf(&h[100], 8, "%07o", type == '5' ? 0755 : 0644);
    std::snprintf(&h[108], 8, "%07o", 0);
    std::snprintf(&h[116], 8, "%07o", 0);
    std::snprintf(&h[124], 12, "%011o", static_cast<unsigned>(body.size()));
    std::snprintf(&h[136], 12, "%011o", 0);
    h.replace(148, 8, 8, ' ');
    h[156] = type;
    h.replace(257, 8,
              std::string("ustar\0"
                          "00",
                          8));
    unsigned sum = 0;
    for (unsigned char c : h)
        sum += c;
    std::snprintf(&h[148], 8, "%06o", sum);
    h[155] = ' ';
    return h + body + std::string((512 - body.size() % 512) % 512, '\0');
}

// An archive made in the test reads as its two files do, whole and by range where its data
// lies; a saved archive is a tar of the metadata and the very bytes of a data file's save.
TEST_F(Sigmf, ArchivesReadAsTheirFilesAndSaveAsATar) {
    const std::string meta =
        Meta("cf32_le", R"(, "core:sample_rate": 48000, "core:trailing_bytes": 8)",
             R"("captures": [{"core:sample_start": 0, "core:frequency": 433.92e6}])");
    std::string data;
    for (int k = 0; k < 300; ++k)
        data += LeFloats({k / 300.0f, -k / 600.0f});
    data += "trailing";
    Write("rec.sigmf", TarEntry("rec/", "", '5') + TarEntry("rec/rec.sigmf-meta", meta) +
                           TarEntry("rec/rec.sigmf-data", data) + std::string(1024, '\0'));
    cWaveform a, pair;
    ASSERT_EQ(a.LoadFile(Path("rec.sigmf"), false), 0) << LoadFailureText(a);
    ASSERT_EQ(LoadRecording(pair, meta, data), 0);
    EXPECT_EQ(pair.sampleCount, 300);
    EXPECT_EQ(SamplePairs(a), SamplePairs(pair));
    EXPECT_EQ(a.sampleRate, 48000);
    EXPECT_EQ(a.recording.centreFrequencyHz, 433.92e6);
    cCaptureSource capture;
    ASSERT_EQ(capture.Open(Path("rec.sigmf"), 0), "");
    EXPECT_EQ(capture.SampleCount(), 300);
    cWaveform range;
    ASSERT_EQ(range.LoadRange(capture, 290, 10, nullptr), 0);
    const IqPairs all = SamplePairs(pair);
    EXPECT_EQ(SamplePairs(range), IqPairs(all.end() - 10, all.end()));

    ASSERT_EQ(pair.SaveFile(Path("out.sigmf")), 1);
    ASSERT_EQ(pair.SaveFile(Path("out.sigmf-meta")), 1);
    const std::string tar = Slurp(Path("out.sigmf"));
    const std::string written = Slurp(Path("out.sigmf-meta")),
                      samples = Slurp(Path("out.sigmf-data"));
    // Entries in order, each a header naming it and its length, then its bytes.
    size_t at = 0;
    for (const auto& [name, body] : {std::pair<std::string, std::string>{"out/", ""},
                                     {"out/out.sigmf-meta", written},
                                     {"out/out.sigmf-data", samples}}) {
        ASSERT_LT(at + 512, tar.size());
        EXPECT_EQ(tar.substr(at, name.size() + 1), name + '\0');
        EXPECT_EQ(std::stoul(tar.substr(at + 124, 11), nullptr, 8), body.size()) << name;
        EXPECT_EQ(tar.substr(at + 512, body.size()), body) << name;
        at += 512 + (body.size() + 511) / 512 * 512;
    }

    for (const auto& [bytes, why] :
         {std::pair<std::string, std::string>{"plain text, not a tar",
                                              "rec.sigmf: it is not a tar archive"},
          {TarEntry("rec/rec.sigmf-meta", meta) + std::string(1024, '\0'),
           "rec.sigmf: the archive holds no rec/rec.sigmf-data for rec/rec.sigmf-meta"},
          {TarEntry("rec/rec.sigmf-data", data) + std::string(1024, '\0'),
           "rec.sigmf: the archive holds no .sigmf-meta file"}}) {
        Write("rec.sigmf", bytes);
        cWaveform bad;
        EXPECT_NE(bad.LoadFile(Path("rec.sigmf"), false), 0);
        EXPECT_EQ(bad.LoadDetail().substr(0, why.size()), why);
        EXPECT_EQ(capture.Open(Path("rec.sigmf"), 0).substr(0, why.size()), why);
    }
}

// Times against the C library's timegm; annotations of any length within a span.
TEST(SigmfTimes, DatetimesAreSecondsSinceTheEpochAndSpansFindTheirAnnotations) {
    for (const auto& [text, y, mo, d, h, mi, sec, frac] :
         {std::tuple{"1970-01-01T00:00:00Z", 1970, 1, 1, 0, 0, 0, 0.0},
          {"2000-02-29T23:59:59.5Z", 2000, 2, 29, 23, 59, 59, 0.5},
          {"2024-05-01T12:00:00.000001Z", 2024, 5, 1, 12, 0, 0, 1e-6},
          {"1969-12-31T23:59:00Z", 1969, 12, 31, 23, 59, 0, 0.0},
          {"2100-03-01T00:00:00Z", 2100, 3, 1, 0, 0, 0, 0.0}}) {
        std::tm tm{};
        tm.tm_year = y - 1900;
        tm.tm_mon = mo - 1;
        tm.tm_mday = d;
        tm.tm_hour = h;
        tm.tm_min = mi;
        tm.tm_sec = sec;
        const auto got = DatetimeSeconds(text);
        ASSERT_TRUE(got) << text;
        EXPECT_NEAR(*got, static_cast<double>(timegm(&tm)) + frac, 1e-7) << text;
    }
    EXPECT_EQ(DatetimeSeconds("2024-05-01T14:00:00+02:00"),
              DatetimeSeconds("2024-05-01T12:00:00Z"));
    for (const char* bad : {"", "2024-05-01", "2024-13-01T00:00:00Z", "2024-05-01T12:00:00Zx",
                            "2024-05-01T12:00:00.Z", "yesterday"})
        EXPECT_FALSE(DatetimeSeconds(bad)) << bad;

    const std::vector<SigmfAnnotation> notes = {{0, 1000, {}, {}, "long", "", ""},
                                                {10, 0, {}, {}, "point", "", ""},
                                                {500, 5, {}, {}, "later", "", ""},
                                                {2000, 5, {}, {}, "after", "", ""}};
    EXPECT_EQ(AnnotationsWithin(notes, 400, 600, 10), (std::vector<size_t>{0, 2}));
    EXPECT_EQ(AnnotationsWithin(notes, 10, 11, 10), (std::vector<size_t>{0, 1}));
    EXPECT_EQ(AnnotationsWithin(notes, 1000, 2000, 10), (std::vector<size_t>{}));
    EXPECT_EQ(AnnotationsWithin(notes, 0, 3000, 2), (std::vector<size_t>{0, 1}));
}
