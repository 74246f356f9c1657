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

const PromptSpec kSetLength{"SetLength",
                            P::Float,
                            "Enter Length in Seconds/Samples",
                            "If entered number is > 10, then considered as samples",
                            "SetLength",
                            "s or samples",
                            0,
                            1e8,
                            2048,
                            ""};

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

// ---- Crop (523)

const PromptSpec kCropStart{"StartCrop",
                            P::Int,
                            "Enter Crop Start Sample number",
                            "1 <= Start < %d",
                            "StartCrop",
                            "sample number",
                            1,
                            kMaxIntAnswer,
                            1,
                            ""};
const PromptSpec kCropStop{"StopCrop",
                           P::Int,
                           "Enter Crop Stop Sample number",
                           "%d <= Stop <= %d",
                           "StopCrop",
                           "sample number",
                           2,
                           kMaxIntAnswer,
                           0,
                           "the last sample number (N)"};

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

// ---- Trim from the left (512)

const PromptSpec kTrimLeft{
    "TrimLeft", P::Int,        "Number of samples to trim from the left edge",
    "",         "TrimLeft",    "samples",
    1,          kMaxIntAnswer, 32,
    ""};

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

// ---- Crop to the middle (40001)

const PromptSpec kCropMiddle{"Crop_Middle",
                             P::Int,
                             "Number of samples to extract",
                             "Crop X samples about the center of the waveform file",
                             "Crop_Middle",
                             "samples",
                             2,  // 1 passes the prompt; the crop needs two samples
                             kMaxIntAnswer,
                             8192,
                             ""};

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

// ---- Append another waveform (511)

const PromptSpec kAppendFile{"file", P::File, "Open waveform file to append", "", "", "path", 0, 0,
                             0,      ""};

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

// ---- Append copies of self (40020)

const PromptSpec kAppendCopies{"Append_Self_Count",
                               P::Int,
                               "How many copies to append?",
                               "",
                               "Append_Self_Count",
                               "copies",
                               1,
                               1000,
                               2,
                               ""};

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

}  // namespace

void RegisterLengthTools(std::vector<ToolInfo>& tools) {
    tools.push_back({kToolSetLength,
                     "set-length",
                     "cut the waveform or pad it with zeros: a value above 10 is samples, else "
                     "seconds",
                     "Setting Waveform Length...",
                     "Waveform length changed",
                     "",
                     {kSetLength},
                     Make<SetLengthTool>()});
    tools.push_back({kToolCrop,
                     "crop",
                     "keep sample numbers StartCrop .. StopCrop (counted from 1, both kept)",
                     "",
                     "Waveform cropped",
                     "ERR: Waveform crop failed",
                     {kCropStart, kCropStop},
                     Make<Crop>()});
    tools.push_back({kToolTrimLeft,
                     "trim-left",
                     "remove the first TrimLeft samples",
                     "",
                     "Samples trimmed from the left",
                     // Trimming N − 1 passes the prompt and the crop then
                     // refuses to keep a single sample.
                     "ERR: Trimming from the left must leave two samples or more",
                     {kTrimLeft},
                     Make<TrimLeft>()});
    tools.push_back({kToolCropMiddle,
                     "crop-middle",
                     "keep Crop_Middle samples about the centre of the waveform",
                     "Cropping Middle Portion",
                     "Samples Extraced from the middle of the waveform",
                     "ERR: Waveform middle portion crop failed",
                     {kCropMiddle},
                     Make<CropMiddle>()});
    tools.push_back({kToolAppendFile,
                     "append-file",
                     "append the samples of a waveform read from a file",
                     "Appending File...",
                     "Waveform Appended",
                     "ERR: Waveform Append failed",
                     {kAppendFile},
                     Make<AppendFile>()});
    tools.push_back({kToolAppendSelf,
                     "append-self",
                     "append Append_Self_Count copies of the waveform to itself",
                     "Appending copies of self...",
                     "Waveform Appended",
                     "ERR: Appending copies of self failed",
                     {kAppendCopies},
                     Make<AppendSelf>()});
}
