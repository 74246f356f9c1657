// The length tools: set length, crop, trim from the left, crop to the middle, append
// another waveform and append copies of self, with their prompts, checks and texts around the
// operations of length_ops.h.

#include <cstdint>
#include <cstdio>
#include <string>

#include "tools/length_ops.h"
#include "tools/prompter.h"
#include "tools/second_file.h"
#include "tools/tool_checks.h"
#include "tools/tool_groups.h"
#include "waveform/file_messages.h"
#include "waveform/waveform.h"

namespace {

using P = PromptType;
// The largest whole number a prompt can hold below the cancel answer (2147483647).
constexpr double kMaxIntAnswer = 2147483646;

// A prompt whose note carries numbers: the question stays a constant, the filled copy lives as long
// as the text it points to.
struct FilledPrompt {
    PromptSpec question;
    std::string note;
    FilledPrompt(const PromptSpec& base, std::string text) : question(base), note(std::move(text)) {
        question.note = note.c_str();
    }
    FilledPrompt(const FilledPrompt&) = delete;
};

std::string Format(const char* pattern, int64_t a, int64_t b = 0) {
    char text[96];
    std::snprintf(text, sizeof text, pattern, static_cast<long long>(a), static_cast<long long>(b));
    return text;
}

// ---- Set length (507)

const PromptSpec kSetLength{.name = "SetLength",
                            .type = P::Float,
                            .prompt = "Enter Length in Seconds/Samples",
                            .note = "If entered number is > 10, then considered as samples",
                            .key = "SetLength",
                            .unit = "s or samples",
                            .max = 1e8,
                            .defaultValue = 2048};

class SetLengthTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        const float typed = ctx.input->Float(kSetLength, 2048.0f);
        const double length = RequestedLength(typed, w.sampleRate);
        if (length > static_cast<double>(kMaxToolSamples) && typed < IPrompter::kCancelFloat)
            return Refuse(ctx,
                          "ERR: Invalid length request: the result would exceed 100000000 samples",
                          kErrTooLong);
        if (!InRange(length, 0, static_cast<double>(kMaxToolSamples)))
            return Refuse(ctx, "ERR: Invalid length request", kErrLengthOrCount);
        length_ = static_cast<int64_t>(length);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return SetLength(w, length_, ctx); }

private:
    int64_t length_ = 0;
};

const ToolRow kSetLengthRow{
    .id = kToolSetLength,
    .name = "set-length",
    .summary =
        "cut the waveform or pad it with zeros: a value above 10 is samples, else "
        "seconds",
    .progressText = "Setting Waveform Length...",
    .successText = "Waveform length changed",
    .prompts = {kSetLength},
    .menu = {.popup = "Length", .label = "Set &Length", .rank = 10},
    .make = Make<SetLengthTool>(),
};

// ---- Crop (523)

const PromptSpec kCropStart{.name = "StartCrop",
                            .type = P::Int,
                            .prompt = "Enter Crop Start Sample number",
                            .note = "1 <= Start < %d",
                            .key = "StartCrop",
                            .unit = "sample number",
                            .min = 1,
                            .max = kMaxIntAnswer,
                            .defaultValue = 1};
const PromptSpec kCropStop{.name = "StopCrop",
                           .type = P::Int,
                           .prompt = "Enter Crop Stop Sample number",
                           .note = "%d <= Stop <= %d",
                           .key = "StopCrop",
                           .unit = "sample number",
                           .min = 2,
                           .max = kMaxIntAnswer,
                           .defaultText = "the last sample number (N)"};

class Crop : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        ctx.Status("Cropping Waveform...");
        const int64_t n = w.sampleCount;
        const FilledPrompt start(kCropStart, Format("1 <= Start < %lld", n));
        const int64_t s = ctx.input->Int(start.question, 1);
        if (!(s >= 1 && s < n)) return Refuse(ctx, "ERR: Invalid Start Sample requested", kErrCrop);
        const FilledPrompt stop(kCropStop, Format("%lld <= Stop <= %lld", s + 1, n));
        const int64_t e = ctx.input->Int(stop.question, static_cast<int>(n));
        if (!(e > s && e <= n)) return Refuse(ctx, "ERR: Invalid Stop Sample requested", kErrCrop);
        first_ = s - 1;
        last_ = e - 1;
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return CropSamples(w, first_, last_, ctx);
    }

private:
    int64_t first_ = 0, last_ = 0;
};

const ToolRow kCropRow{
    .id = kToolCrop,
    .name = "crop",
    .summary = "keep sample numbers StartCrop .. StopCrop (counted from 1, both kept)",
    .successText = "Waveform cropped",
    .failureText = "ERR: Waveform crop failed",
    .prompts = {kCropStart, kCropStop},
    .menu = {.popup = "Length", .label = "&Crop", .rank = 20},
    .make = Make<Crop>(),
};

// ---- Trim from the left (512)

const PromptSpec kTrimLeft{.name = "TrimLeft",
                           .type = P::Int,
                           .prompt = "Number of samples to trim from the left edge",
                           .key = "TrimLeft",
                           .unit = "samples",
                           .min = 1,
                           .max = kMaxIntAnswer,
                           .defaultValue = 32};

class TrimLeft : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        k_ = ctx.input->Int(kTrimLeft, 32);
        if (!(k_ >= 1 && k_ <= int64_t{w.sampleCount} - 1)) return kErrCrop;
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return CropSamples(w, k_, int64_t{w.sampleCount} - 1, ctx);
    }

private:
    int64_t k_ = 0;
};

const ToolRow kTrimLeftRow{
    .id = kToolTrimLeft,
    .name = "trim-left",
    .summary = "remove the first TrimLeft samples",
    .successText = "Samples trimmed from the left",
    // Trimming N − 1 passes the prompt and the crop then refuses to keep a single sample.
    .failureText = "ERR: Trimming from the left must leave two samples or more",
    .prompts = {kTrimLeft},
    .menu = {.popup = "Length", .label = "&Trim X samples from the Left", .rank = 30},
    .make = Make<TrimLeft>(),
};

// ---- Crop to the middle (40001)

const PromptSpec kCropMiddle{.name = "Crop_Middle",
                             .type = P::Int,
                             .prompt = "Number of samples to extract",
                             .note = "Crop X samples about the center of the waveform file",
                             .key = "Crop_Middle",
                             .unit = "samples",
                             .min = 2,  // 1 passes the prompt; the crop needs two samples
                             .max = kMaxIntAnswer,
                             .defaultValue = 8192};

class CropMiddle : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        k_ = ctx.input->Int(kCropMiddle, 8192);
        if (!(k_ >= 1 && k_ <= int64_t{w.sampleCount} - 1))
            return Refuse(ctx, "ERR: Invalid length requested", kErrLengthOrCount);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        const int64_t first = MiddleCropStart(w.sampleCount, k_);
        // k = 1 keeps a single sample, which the crop refuses (first = last), so it fails there.
        const int code = CropSamples(w, first, first + k_ - 1, ctx);
        if (code != kErrStopped) ctx.Status("Samples Extraced from the center of the waveform");
        return code;
    }

private:
    int64_t k_ = 0;
};

const ToolRow kCropMiddleRow{
    .id = kToolCropMiddle,
    .name = "crop-middle",
    .summary = "keep Crop_Middle samples about the centre of the waveform",
    .progressText = "Cropping Middle Portion",
    .successText = "Samples Extraced from the middle of the waveform",
    .failureText = "ERR: Waveform middle portion crop failed",
    .prompts = {kCropMiddle},
    .menu = {.popup = "Length", .label = "Crop to &Middle X samples", .rank = 40},
    .make = Make<CropMiddle>(),
};

// ---- Append another waveform (511)

const PromptSpec kAppendFile{
    .name = "file", .type = P::File, .prompt = "Open waveform file to append", .unit = "path"};

class AppendFile : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        const int code = LoadSecondWaveform(ctx, kAppendFile, ctx.fileType, w.sampleRate, other_);
        if (code == kErrCancelled)
            return Refuse(ctx, "ERR: Invalid Filename for appending", kErrCancelled);
        if (code != kToolOk) {
            const std::string text = "ERR: Waveform Append failed: " + LoadFailureText(other_);
            ctx.Status(text);
            return kErrEmpty;
        }
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return AppendWaveform(w, other_, ctx); }

private:
    cWaveform other_;
};

const ToolRow kAppendFileRow{
    .id = kToolAppendFile,
    .name = "append-file",
    .summary = "append the samples of a waveform read from a file",
    .progressText = "Appending File...",
    .successText = "Waveform Appended",
    .failureText = "ERR: Waveform Append failed",
    .prompts = {kAppendFile},
    .menu = {.popup = "Append", .label = "Append &another waveform", .rank = 20},
    .make = Make<AppendFile>(),
};

// ---- Append copies of self (40020)

const PromptSpec kAppendCopies{.name = "Append_Self_Count",
                               .type = P::Int,
                               .prompt = "How many copies to append?",
                               .key = "Append_Self_Count",
                               .unit = "copies",
                               .min = 1,
                               .max = 1000,
                               .defaultValue = 2};

class AppendSelf : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        copies_ = ctx.input->Int(kAppendCopies, 2);
        if (!(copies_ >= 1 && copies_ <= 1000))
            return Refuse(ctx, "ERR: Invalid number of copies to append", kErrLengthOrCount);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return AppendCopies(w, copies_, ctx); }

private:
    int64_t copies_ = 0;
};

const ToolRow kAppendSelfRow{
    .id = kToolAppendSelf,
    .name = "append-self",
    .summary = "append Append_Self_Count copies of the waveform to itself",
    .progressText = "Appending copies of self...",
    .successText = "Waveform Appended",
    .failureText = "ERR: Appending copies of self failed",
    .prompts = {kAppendCopies},
    .menu = {.popup = "Append", .label = "Append &copies of self", .rank = 10},
    .make = Make<AppendSelf>(),
};

}  // namespace

void RegisterLengthTools(std::vector<ToolRow>& tools) {
    tools.insert(tools.end(), {kSetLengthRow, kCropRow, kTrimLeftRow, kCropMiddleRow,
                               kAppendFileRow, kAppendSelfRow});
}
