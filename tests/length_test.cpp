// The length tools: every output sample a named input sample or zero; texts, refusals, counts
// that would wrap 32 bits, and a stop request from the progress callback.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <cstdio>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "tool_test_support.h"
#include "tools/length_ops.h"

namespace {

// Sample k is (k, −k − 1)/32768: exact in float and in the 16-bit files, and it names k.
cWaveform Indexed(int n, int64_t rate = 1'000'000) {
    return MakeWaveform(
        n, rate, [](int k) { return std::complex<double>(k / 32768.0, (-k - 1) / 32768.0); });
}

// A 16-bit file (type 405) of n indexed samples starting at `from`.
std::string WriteIndexed(const std::string& name, int n, int from) {
    cWaveform w = MakeWaveform(n, 1'000'000, [from](int k) {
        return std::complex<double>((k + from) / 32768.0, (-(k + from) - 1) / 32768.0);
    });
    w.fileType = kFileBin16BeTwos;
    const std::string path = TempPath(name);
    EXPECT_EQ(w.SaveFile(path), 1);
    return path;
}

// ---- Every output sample by index arithmetic

struct Case {
    const char* label;
    int id;
    Answers answers;
    int n;           // input samples
    int64_t rate;    // Hz
    int64_t length;  // expected output samples
    // The input index output j comes from (>= n: the appended file's sample source − n), or
    // −1 for a zero.
    std::function<int64_t(int64_t j)> source;
    Strings texts;
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.label; }

class LengthIndices : public testing::TestWithParam<Case> {};

TEST_P(LengthIndices, EveryOutputIsTheNamedInput) {
    const Case& c = GetParam();
    const std::string second = WriteIndexed("second.bin", 37, 5000);
    // The file's samples as the reader gives them (the 16-bit scale is the reader's business).
    cWaveform file;
    file.fileType = kFileBin16BeTwos;
    ASSERT_EQ(file.LoadFile(second, false), 0);
    cWaveform w = Indexed(c.n, c.rate);
    ToolRunner run;
    Answers answers = c.answers;
    Strings texts = c.texts;
    if (answers.count("file")) {
        answers["file"] = second;
        texts.back() += ReadAsNote(second, "405 16-bit BE");
    }
    ASSERT_EQ(run.Run(c.id, w, answers), 0) << run.LastText();
    EXPECT_EQ(run.texts, texts);
    ASSERT_EQ(w.sampleCount, c.length);
    ASSERT_EQ(static_cast<int64_t>(w.I.size()), c.length);
    EXPECT_EQ(w.sampleRate, c.rate);
    for (int64_t j = 0; j < c.length; ++j) {
        const int64_t s = c.source(j);
        // Inputs past n are the file's.
        float i = 0, q = 0;
        if (s >= c.n) {
            i = file.I[s - c.n];
            q = file.Q[s - c.n];
        } else if (s >= 0) {
            i = static_cast<float>(s / 32768.0);
            q = static_cast<float>((-s - 1) / 32768.0);
        }
        ASSERT_EQ(w.I[j], i) << "output " << j;
        ASSERT_EQ(w.Q[j], q) << "output " << j;
    }
    EXPECT_TRUE(run.undoTaken);
    EXPECT_EQ(run.undo.sampleCount, c.n);
    std::remove(second.c_str());
}

auto From(int64_t first) {
    return [first](int64_t j) { return first + j; };
}
auto PaddedTo(int64_t n) {
    return [n](int64_t j) { return j < n ? j : -1; };
}
const Strings kSetTexts = {"Setting Waveform Length...", "Waveform length changed"};
const Strings kCropTexts = {"Cropping Waveform...", "Waveform cropped"};
const Strings kMiddleTexts = {"Cropping Middle Portion",
                              "Samples Extraced from the center of the waveform",
                              "Samples Extraced from the middle of the waveform"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(Length, LengthIndices, testing::Values(
    Case{"SetLengthShorter", kToolSetLength, {{"SetLength", "2048"}}, 3000, 1'000'000, 2048, From(0), kSetTexts},
    Case{"SetLengthLonger", kToolSetLength, {{"SetLength", "5000"}}, 3000, 1'000'000, 5000, PaddedTo(3000), kSetTexts},
    Case{"SetLengthSame", kToolSetLength, {{"SetLength", "3000"}}, 3000, 1'000'000, 3000, From(0), kSetTexts},
    Case{"SetLengthElevenIsSamples", kToolSetLength, {{"SetLength", "11"}}, 30, 1'000'000, 11, From(0), kSetTexts},
    Case{"SetLengthTenIsSeconds", kToolSetLength, {{"SetLength", "10"}}, 30, 1000, 10000, PaddedTo(30), kSetTexts},
    Case{"SetLength1p5SecondsAt1MHz", kToolSetLength, {{"SetLength", "1.5"}}, 1000, 1'000'000, 1'500'000, PaddedTo(1000), kSetTexts},
    // 0.7f is 0.69999998...: the typed 0.7 s, not one sample less.
    Case{"SetLength0p7SecondsAt1MHz", kToolSetLength, {{"SetLength", "0.7"}}, 1000, 1'000'000, 700'000, PaddedTo(1000), kSetTexts},
    // 0.29 · 100 is 28.999999999999996 in double.
    Case{"SetLength0p29SecondsAt100Hz", kToolSetLength, {{"SetLength", "0.29"}}, 10, 100, 29, PaddedTo(10), kSetTexts},
    Case{"SetLengthFractionOfASample", kToolSetLength, {{"SetLength", "0.0000015"}}, 10, 1'000'000, 1, From(0), kSetTexts},
    Case{"CropBothEndsKept", kToolCrop, {{"StartCrop", "5"}, {"StopCrop", "20"}}, 100, 1'000'000, 16, From(4), kCropTexts},
    Case{"CropWholeIsUnchanged", kToolCrop, {}, 100, 1'000'000, 100, From(0), kCropTexts},
    Case{"CropLastTwo", kToolCrop, {{"StartCrop", "99"}, {"StopCrop", "100"}}, 100, 1'000'000, 2, From(98), kCropTexts},
    Case{"TrimLeft", kToolTrimLeft, {{"TrimLeft", "32"}}, 100, 1'000'000, 68, From(32), {"Samples trimmed from the left"}},
    Case{"TrimAllButTwo", kToolTrimLeft, {{"TrimLeft", "98"}}, 100, 1'000'000, 2, From(98), {"Samples trimmed from the left"}},
    Case{"MiddleOf10Keeps3To6", kToolCropMiddle, {{"Crop_Middle", "4"}}, 10, 1'000'000, 4, From(3), kMiddleTexts},
    // N − k = 7 is odd: trunc(7/2 + 0.5) = 4 with a real division (3 with an integer one).
    Case{"MiddleOddRemainderExtraOnTheLeft", kToolCropMiddle, {{"Crop_Middle", "4"}}, 11, 1'000'000, 4, From(4), kMiddleTexts},
    Case{"MiddleEvenRemainder", kToolCropMiddle, {{"Crop_Middle", "5"}}, 11, 1'000'000, 5, From(3), kMiddleTexts},
    Case{"MiddleAllButOne", kToolCropMiddle, {{"Crop_Middle", "9"}}, 10, 1'000'000, 9, From(1), kMiddleTexts},
    Case{"AppendTwoCopiesOf100", kToolAppendSelf, {}, 100, 1'000'000, 300, [](int64_t j) { return j % 100; },
         {"Appending copies of self...", "Waveform Appended"}},
    Case{"AppendOneCopy", kToolAppendSelf, {{"Append_Self_Count", "1"}}, 7, 1'000'000, 14, [](int64_t j) { return j % 7; },
         {"Appending copies of self...", "Waveform Appended"}},
    Case{"AppendFile", kToolAppendFile, {{"file", "@"}}, 100, 1'000'000, 137, From(0),
         {"Appending File...", "Waveform Appended"}}),
    [](const testing::TestParamInfo<Case>& info) { return info.param.label; });
// clang-format on

TEST(Length, MiddleCropStartIsARealDivisionRoundedUp) {
    for (int64_t n = 2; n < 60; ++n)
        for (int64_t k = 1; k < n; ++k)
            EXPECT_EQ(MiddleCropStart(n, k), (n - k + 1) / 2) << n << " " << k;
}

TEST(Length, LongResultsCrossChunksOnBothCores) {
    // 2.5 million samples: the copies straddle the chunks of both helper threads.
    cWaveform w = Indexed(1'000'003);
    ToolContext ctx;
    ASSERT_EQ(AppendCopies(w, 2, ctx), kToolOk);
    ASSERT_EQ(w.sampleCount, 3'000'009);
    for (int64_t j : {int64_t{0}, int64_t{1'000'002}, int64_t{1'000'003}, int64_t{1'048'576},
                      int64_t{2'097'151}, int64_t{2'999'999}, int64_t{3'000'008}})
        EXPECT_EQ(w.I[j], static_cast<float>((j % 1'000'003) / 32768.0)) << j;
    ASSERT_EQ(CropSamples(w, 1'500'000, 2'600'000, ctx), kToolOk);
    EXPECT_EQ(w.sampleCount, 1'100'001);
    EXPECT_EQ(w.I[0], static_cast<float>(499'997 / 32768.0));
    EXPECT_EQ(w.Q[1'100'000], static_cast<float>((-599'994 - 1) / 32768.0));
    ASSERT_EQ(SetLength(w, 2'222'222, ctx), kToolOk);
    EXPECT_EQ(w.I[1'100'000], static_cast<float>(599'994 / 32768.0));
    EXPECT_EQ(w.I[1'100'001], 0.0f);
    EXPECT_EQ(w.Q[2'222'221], 0.0f);
}

// ---- Refusals: the waveform and the undo copy stay

const std::string kBadLength = "ERR: Invalid length request";
const std::string kTooLong = kBadLength + ": the result would exceed 100000000 samples";
const std::string kBadStart = "ERR: Invalid Start Sample requested";
const std::string kBadStop = "ERR: Invalid Stop Sample requested";
const std::string kBadMiddle = "ERR: Invalid length requested";
const std::string kBadCopies = "ERR: Invalid number of copies to append";

// clang-format off
INSTANTIATE_TEST_SUITE_P(Length, ToolRefusals, testing::ValuesIn(OnSamples(100, {
    ToolRefusal{"SetLengthCancelled", kToolSetLength, {{"SetLength", "cancel"}}, {"SetLength"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"SetLengthNegativeSeconds", kToolSetLength, {{"SetLength", "-1"}}, {"SetLength"}, {kBadLength}},
    // The prompt is a float: 100000001 reads as 100000000, the next float up is 100000008.
    ToolRefusal{"SetLengthAboveLimit", kToolSetLength, {{"SetLength", "100000008"}}, {"SetLength"}, {kTooLong}, kErrTooLong},
    ToolRefusal{"SetLengthSecondsAboveLimit", kToolSetLength, {{"SetLength", "3.3"}}, {"SetLength"}, {kTooLong}, kErrTooLong, {}, -1,
                false, 30'720'000},
    // 4.3 s at 1 GHz: 4,300,000,000 samples, 5,032,704 once wrapped to 32 bits.
    ToolRefusal{"SetLengthSecondsWrapping32Bits", kToolSetLength, {{"SetLength", "4.3"}}, {"SetLength"}, {kTooLong}, kErrTooLong, {},
                -1, false, 1'000'000'000},
    ToolRefusal{"CropStartZero", kToolCrop, {{"StartCrop", "0"}}, {"StartCrop"}, {"Cropping Waveform...", kBadStart}},
    ToolRefusal{"CropStartAtN", kToolCrop, {{"StartCrop", "100"}}, {"StartCrop"}, {"Cropping Waveform...", kBadStart}},
    ToolRefusal{"CropStartCancelled", kToolCrop, {{"StartCrop", "cancel"}}, {"StartCrop"}, {"Cropping Waveform...", kCancelledText}, kErrCancelled},
    ToolRefusal{"CropStopAtStart", kToolCrop, {{"StartCrop", "50"}, {"StopCrop", "50"}}, {"StartCrop", "StopCrop"},
                {"Cropping Waveform...", kBadStop}},
    ToolRefusal{"CropStopPastN", kToolCrop, {{"StopCrop", "101"}}, {"StartCrop", "StopCrop"}, {"Cropping Waveform...", kBadStop}},
    ToolRefusal{"CropOneSample", kToolCrop, {}, {"StartCrop"}, {"Cropping Waveform...", kBadStart}, 0, {}, 1},
    ToolRefusal{"TrimNothing", kToolTrimLeft, {{"TrimLeft", "0"}}, {"TrimLeft"}, {}},
    ToolRefusal{"TrimEverything", kToolTrimLeft, {{"TrimLeft", "100"}}, {"TrimLeft"}, {}},
    // N − 1 passes the prompt; the crop needs first < last, so one sample cannot remain.
    ToolRefusal{"TrimAllButOneFailsInTheCrop", kToolTrimLeft, {{"TrimLeft", "99"}}, {"TrimLeft"},
                {"ERR: Trimming from the left must leave two samples or more"}},
    ToolRefusal{"MiddleZero", kToolCropMiddle, {{"Crop_Middle", "0"}}, {"Crop_Middle"}, {kBadMiddle}},
    ToolRefusal{"MiddleWhole", kToolCropMiddle, {{"Crop_Middle", "100"}}, {"Crop_Middle"}, {kBadMiddle}},
    ToolRefusal{"MiddleCancelled", kToolCropMiddle, {{"Crop_Middle", "cancel"}}, {"Crop_Middle"}, {kCancelledText}, kErrCancelled},
    // One sample passes the prompt; the crop needs first < last.
    ToolRefusal{"MiddleOneSampleFailsInTheCrop", kToolCropMiddle, {{"Crop_Middle", "1"}}, {"Crop_Middle"},
                {"Cropping Middle Portion", "Samples Extraced from the center of the waveform",
                 "ERR: Waveform middle portion crop failed"}},
    ToolRefusal{"CopiesZero", kToolAppendSelf, {{"Append_Self_Count", "0"}}, {"Append_Self_Count"}, {kBadCopies}},
    ToolRefusal{"Copies1001", kToolAppendSelf, {{"Append_Self_Count", "1001"}}, {"Append_Self_Count"}, {kBadCopies}},
    ToolRefusal{"CopiesCancelled", kToolAppendSelf, {{"Append_Self_Count", "cancel"}}, {"Append_Self_Count"}, {kCancelledText}, kErrCancelled},
    // (1000 + 1)·200,000 = 200,200,000 samples: refused by the operation.
    ToolRefusal{"CopiesPastTheLimit", kToolAppendSelf, {{"Append_Self_Count", "1000"}}, {"Append_Self_Count"},
                {"Appending copies of self...", "ERR: Appending copies of self failed"}, 0, {}, 200'000},
    ToolRefusal{"AppendCancelled", kToolAppendFile, {{"file", "cancel"}}, {"file"}, {kCancelledText}, kErrCancelled},
    ToolRefusal{"AppendMissingFile", kToolAppendFile, {{"file", "@missing.bin"}}, {"file"},
                {"ERR: Waveform Append failed: No such file or directory"}},
    ToolRefusal{"AppendEmptyFile", kToolAppendFile, {{"file", "@empty.bin"}}, {"file"},
                {"ERR: Waveform Append failed: empty file"}}})),
    RefusalName);
// clang-format on

// ---- Counts past 32 bits, on waveforms whose samples are never touched

TEST(Length, CountsThatWouldWrap32BitsAreRefusedBeforeAllocating) {
    ToolContext ctx;
    // (1000 + 1)·4,294,967 = 4,299,262,967: 4,295,671 once wrapped.
    cWaveform w = Untouched(4'294'967);
    EXPECT_EQ(AppendCopies(w, 1000, ctx), kErrTooLong);
    EXPECT_EQ(AppendCopies(w, std::numeric_limits<int64_t>::max(), ctx), kErrTooLong);
    EXPECT_EQ(w.sampleCount, 4'294'967);
    // Through the tool, as the window runs it (no undo copy to make).
    ToolRunner run;
    run.input.answers = {{"Append_Self_Count", "1000"}};
    EXPECT_EQ(RunTool(*FindTool(kToolAppendSelf), run.ctx, w, {}), kErrTooLong);
    EXPECT_EQ(run.texts.back(), "ERR: Appending copies of self failed");
    EXPECT_EQ(w.sampleCount, 4'294'967);

    // N + N2 past 2^31: a count-only second waveform is never read.
    cWaveform small = Indexed(1000);
    cWaveform huge;
    huge.sampleCount = std::numeric_limits<int>::max();
    EXPECT_EQ(AppendWaveform(small, huge, ctx), kErrTooLong);
    huge.sampleCount = 100'000'000 - 999;
    EXPECT_EQ(AppendWaveform(small, huge, ctx), kErrTooLong);
    EXPECT_EQ(small.sampleCount, 1000);

    EXPECT_EQ(SetLength(small, (int64_t{1} << 32) + 5, ctx), kErrTooLong);
    EXPECT_EQ(SetLength(small, 100'000'001, ctx), kErrTooLong);
    EXPECT_EQ(SetLength(small, -1, ctx), kErrTooShort);
    EXPECT_EQ(small.sampleCount, 1000);
    EXPECT_EQ(CropSamples(small, 5, 5, ctx), kErrCrop);
    EXPECT_EQ(CropSamples(small, -1, 5, ctx), kErrCrop);
    EXPECT_EQ(CropSamples(small, 0, 1000, ctx), kErrCrop);
}

TEST(Length, SetLengthAcceptsTheLimitItself) {
    // 100,000,000 samples passes the check (only the check runs here).
    cWaveform w = Indexed(10);
    for (const auto& [answer, rate] :
         {std::pair{"100000000", int64_t{1'000'000}}, std::pair{"1", int64_t{100'000'000}}}) {
        ScriptedInput input;
        input.answers = {{"SetLength", answer}};
        ToolContext ctx;
        ctx.input = &input;
        w.sampleRate = rate;
        EXPECT_EQ(FindTool(kToolSetLength)->make()->Ask(ctx, w), kToolOk) << answer;
    }
    EXPECT_EQ(RequestedLength(10.0f, 1'000'000'000), 1e10);
    EXPECT_EQ(RequestedLength(10.5f, 1'000'000'000), 10.0);
    EXPECT_TRUE(std::isnan(RequestedLength(std::nanf(""), 1)));
}

TEST(Length, AStopRequestFromTheProgressLeavesTheWaveformAsItWas) {
    cWaveform w = Indexed(2'000'000);
    ToolRunner run;
    std::vector<int> seen;
    run.ctx.progress = [&](int percent) {
        seen.push_back(percent);
        run.stop = true;
    };
    EXPECT_EQ(run.Run(kToolAppendSelf, w, {{"Append_Self_Count", "3"}}), kErrStopped);
    EXPECT_FALSE(seen.empty());
    EXPECT_EQ(run.LastText(), "Stopped: the waveform is as it was");
    EXPECT_EQ(w.sampleCount, 2'000'000);
    EXPECT_EQ(w.I[1'999'999], static_cast<float>(1'999'999 / 32768.0));
    EXPECT_FALSE(run.undoTaken);
}

}  // namespace
