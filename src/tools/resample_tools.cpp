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

const PromptSpec kZeroStuffFactor{"Upsample",
                                  P::Int,
                                  "Enter Up-Sampling multiplier",
                                  "Integer for zero-stuffing upsample. Requires post filtering",
                                  "Upsample",
                                  "factor",
                                  2,  // 1 passes the prompt; the operation refuses it
                                  100,
                                  2,
                                  ""};

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

// ---- Up-sample by FFT interpolation (532)

const PromptSpec kFftUpFactor{"Upsample",
                              P::Int,
                              "Enter Up-Sampling multiplier",
                              "Upsampled by Integer in Frequency domain for interpolation",
                              "Upsample",
                              "power of two",
                              2,
                              kMaxFactor,
                              2,
                              ""};

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

// ---- Down-sample by decimation (527)

const PromptSpec kDecimateFactor{"Downsample",
                                 P::Int,
                                 "Enter Down-Sampling Divider",
                                 "Leave every other X sample.",
                                 "Downsample",
                                 "factor",
                                 2,  // 1 passes the prompt; the operation refuses it
                                 2147483646,
                                 2,
                                 ""};

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

// ---- Down-sample through the spectrum (535)

const PromptSpec kFftDownFactor{"DownsampleFFT",
                                P::Int,
                                "Enter FFT Down-Sampling Ratio",
                                "Must Be power of 2",
                                "DownsampleFFT",
                                "power of two",
                                2,
                                kMaxFactor,
                                2,
                                ""};

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

}  // namespace

void RegisterResampleTools(std::vector<ToolInfo>& tools) {
    tools.push_back({kToolUpsampleZero,
                     "upsample-zero",
                     "up-sample by Upsample: each sample followed by Upsample - 1 zeros",
                     "Upsampling...",
                     "Waveform Upsampled",
                     "ERR: Waveform Upsample failed",
                     {kZeroStuffFactor},
                     Make<ZeroStuffTool>()});
    tools.push_back({kToolUpsampleFft,
                     "upsample-fft",
                     "up-sample by Upsample (2 to 256) through the spectrum, tones kept",
                     "Upsampling...",
                     "Waveform Upsampled",
                     "ERR: Waveform FFTUpsample failed",
                     {kFftUpFactor},
                     Make<FftUpsampleTool>()});
    tools.push_back({kToolDecimate,
                     "decimate",
                     "keep every Downsample-th sample, without anti-alias filtering",
                     "Downsampling...",
                     "Waveform Downsampled",
                     "ERR: Waveform Downsample failed",
                     {kDecimateFactor},
                     Make<DecimateTool>()});
    tools.push_back({kToolDownsampleFft,
                     "downsample-fft",
                     "down-sample by DownsampleFFT (2 to 256) keeping the bins nearest 0 Hz",
                     "Downsampling...",
                     "Waveform Downsampled",
                     "ERR: Waveform FFTDownsample failed",
                     {kFftDownFactor},
                     Make<FftDownsampleTool>()});
}
