// The resampling tools: zero stuffing, FFT interpolation, decimation and FFT
// down-sampling, with their prompts, checks and texts around the operations of resample_ops.h.
// Each changes the sample rate with the sample count; the window follows the new rate.

#include <cstdint>

#include "tools/resample_ops.h"
#include "tools/tool_checks.h"
#include "tools/tool_groups.h"
#include "waveform/waveform.h"

namespace {

using P = PromptType;
// The factors the spectrum tools' prompts accept; the operations take up to 256, so 512 passes
// the prompt and then fails. Steps are offered what the operations take.
constexpr int64_t kMaxPromptFactor = 512, kMaxFactor = 256;

// ---- Up-sample by zero stuffing (526)

const PromptSpec kZeroStuffFactor{
    .name = "Upsample",
    .type = P::Int,
    .prompt = "Enter Up-Sampling multiplier",
    .note = "Integer for zero-stuffing upsample. Requires post filtering",
    .key = "Upsample",
    .unit = "factor",
    .min = 2,  // 1 passes the prompt; the operation refuses it
    .max = 100,
    .defaultValue = 2,
    .defaultText = ""};

class ZeroStuffTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        k_ = ctx.input->Int(kZeroStuffFactor, 2);
        if (!(k_ >= 1 && k_ <= 100))
            return Refuse(ctx, "ERR: Invalid upsampling integer requested", kErrResampleFactor);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return ZeroStuff(w, k_, ctx); }

private:
    int64_t k_ = 1;
};

const ToolRow kUpsampleZeroRow{
    .id = kToolUpsampleZero,
    .name = "upsample-zero",
    .summary = "up-sample by Upsample: each sample followed by Upsample - 1 zeros",
    .progressText = "Upsampling...",
    .successText = "Waveform Upsampled",
    .failureText = "ERR: Waveform Upsample failed",
    .prompts = {kZeroStuffFactor},
    .menu = {.popup = "Re-Sample", .label = "&Up-Sample (Zero Stuff)", .rank = 10},
    .make = Make<ZeroStuffTool>(),
};

// ---- Up-sample by FFT interpolation (532)

const PromptSpec kFftUpFactor{.name = "Upsample",
                              .type = P::Int,
                              .prompt = "Enter Up-Sampling multiplier",
                              .note = "Upsampled by Integer in Frequency domain for interpolation",
                              .key = "Upsample",
                              .unit = "power of two",
                              .min = 2,
                              .max = kMaxFactor,
                              .defaultValue = 2};

class FftUpsampleTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        k_ = ctx.input->Int(kFftUpFactor, 2);
        if (!IsPowerOfTwoFactor(k_, kMaxPromptFactor))
            return Refuse(ctx, "ERR: Invalid Upsampling ratio for FFT Processing",
                          kErrResampleFactor);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return FftUpsample(w, k_, ctx); }

private:
    int64_t k_ = 2;
};

const ToolRow kUpsampleFftRow{
    .id = kToolUpsampleFft,
    .name = "upsample-fft",
    .summary = "up-sample by Upsample (2 to 256) through the spectrum, tones kept",
    .progressText = "Upsampling...",
    .successText = "Waveform Upsampled",
    .failureText = "ERR: Waveform FFTUpsample failed",
    .prompts = {kFftUpFactor},
    .menu = {.popup = "Re-Sample", .label = "Up-Sample (FFT &Interpolate)", .rank = 20},
    .make = Make<FftUpsampleTool>(),
};

// ---- Down-sample by decimation (527)

const PromptSpec kDecimateFactor{.name = "Downsample",
                                 .type = P::Int,
                                 .prompt = "Enter Down-Sampling Divider",
                                 .note = "Leave every other X sample.",
                                 .key = "Downsample",
                                 .unit = "factor",
                                 .min = 2,  // 1 passes the prompt; the operation refuses it
                                 .max = 2147483646,
                                 .defaultValue = 2};

class DecimateTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        k_ = ctx.input->Int(kDecimateFactor, 2);
        if (!(k_ >= 1 && k_ < w.sampleCount))
            return Refuse(ctx, "ERR: Invalid Downsampling ratio requested", kErrResampleFactor);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return Decimate(w, k_, ctx); }

private:
    int64_t k_ = 1;
};

const ToolRow kDecimateRow{
    .id = kToolDecimate,
    .name = "decimate",
    .summary = "keep every Downsample-th sample, without anti-alias filtering",
    .progressText = "Downsampling...",
    .successText = "Waveform Downsampled",
    .failureText = "ERR: Waveform Downsample failed",
    .prompts = {kDecimateFactor},
    .menu = {.popup = "Re-Sample", .label = "&Down-Sample (Decimate)", .rank = 30},
    .make = Make<DecimateTool>(),
};

// ---- Down-sample through the spectrum (535)

const PromptSpec kFftDownFactor{.name = "DownsampleFFT",
                                .type = P::Int,
                                .prompt = "Enter FFT Down-Sampling Ratio",
                                .note = "Must Be power of 2",
                                .key = "DownsampleFFT",
                                .unit = "power of two",
                                .min = 2,
                                .max = kMaxFactor,
                                .defaultValue = 2};

class FftDownsampleTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        k_ = ctx.input->Int(kFftDownFactor, 2);
        if (!IsPowerOfTwoFactor(k_, kMaxPromptFactor))
            return Refuse(ctx, "Invalid Downsampling ratio for FFT Processing", kErrResampleFactor);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return FftDownsample(w, k_, ctx); }

private:
    int64_t k_ = 2;
};

const ToolRow kDownsampleFftRow{
    .id = kToolDownsampleFft,
    .name = "downsample-fft",
    .summary = "down-sample by DownsampleFFT (2 to 256) keeping the bins nearest 0 Hz",
    .progressText = "Downsampling...",
    .successText = "Waveform Downsampled",
    .failureText = "ERR: Waveform FFTDownsample failed",
    .prompts = {kFftDownFactor},
    .menu = {.popup = "Re-Sample", .label = "Down-Sample (FFT &Resample)", .rank = 40},
    .make = Make<FftDownsampleTool>(),
};

}  // namespace

void RegisterResampleTools(std::vector<ToolRow>& tools) {
    tools.insert(tools.end(), {kUpsampleZeroRow, kUpsampleFftRow, kDecimateRow, kDownsampleFftRow});
}
