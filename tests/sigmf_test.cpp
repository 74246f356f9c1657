// SigMF recordings written by hand: samples, rate, centre frequency and texts of each datatype;
// errors for recordings that cannot be read; short and missing data; saves read back.

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "test_signals.h"
#include "waveform/capture_source.h"
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
        Unreadable{"two_channels", Meta("ci16_le", R"(, "core:num_channels": 2)"),
                   "rec.sigmf-meta: recordings of 2 channels are not supported "
                   "(core:num_channels)"},
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
