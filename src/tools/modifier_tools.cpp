// The level tools (gains, clipping, quantising), the reordering tools and the fades: their
// prompts, checks and texts around the operations of modifier_ops.h.

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "tools/modifier_ops.h"
#include "tools/tool_checks.h"
#include "tools/tool_groups.h"
#include "waveform/waveform.h"

namespace {

using P = PromptType;
// The largest gain whose factor 10^(G/20) is a finite float.
constexpr double kMaxFiniteGainDb = 770.6;

// ---- Scale entire waveform (502)

const PromptSpec kScale{.name = "Scale",
                        .type = P::Float,
                        .prompt = "Enter Scaling Factor in dB",
                        .note = "Scale the power of the entire waveform",
                        .key = "Scale",
                        .unit = "dB",
                        .min = -10000,
                        .max = kMaxFiniteGainDb,
                        .defaultValue = -6};

class Scale : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        const float db = ctx.input->Float(kScale, -6.0f);
        factor_ = GainFactor(db);
        // Gains above about 770 dB pass the range but overflow the factor.
        if (!InRange(db, -10000, 5000) || !std::isfinite(factor_))
            return Refuse(ctx, "Invalid scaling factor", kErrScale);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        if (w.sampleCount < 2) return kErrTooShort;
        return ScaleSamples(w, factor_, ctx) ? kToolOk : kErrStopped;
    }

private:
    float factor_ = 1;
};

const ToolRow kScaleRow{
    .id = kToolScale,
    .name = "scale",
    .summary = "multiply every sample by a gain in dB",
    .progressText = "Scaling Waveform...",
    .successText = "Waveform Amplitude scaled",
    .failureText = "ERR: Waveform scaling failed",
    .prompts = {kScale},
    .menu = {.popup = "Amplitude", .label = "Amplitude &Scale Entire Waveform", .rank = 10},
    .make = Make<Scale>(),
};

// ---- Scale the zoomed span (40017)

const PromptSpec kScaleZoom{.name = "Scale2",
                            .type = P::Float,
                            .prompt = "Enter Scaling Factor in dB",
                            .note = "Scale the power of the waveform in current view zoom",
                            .key = "Scale2",
                            .unit = "dB",
                            .min = -5000,
                            .max = kMaxFiniteGainDb,
                            .defaultValue = -6};

class ScaleZoom : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        // Only the I, Q and IQ time views have a span of samples to scale; elsewhere nothing
        // would change, so the tool says so instead of asking.
        using Trace = ToolViewState::Trace;
        const Trace trace = ctx.view.timeTrace;
        if (trace != Trace::I && trace != Trace::Q && trace != Trace::IQ)
            return Refuse(ctx, "Select a time view to scale the zoomed span", kErrScale);
        first_ = ctx.view.zoomFirst;
        last_ = ctx.view.zoomLast;
        const int64_t n = w.sampleCount;
        if (first_ == 0 && last_ == 0) last_ = n - 1;
        if (!(first_ >= 0 && first_ <= last_ && last_ < n))
            return Refuse(ctx, "ERR: The zoomed span lies outside the waveform", kErrScale);
        scaleI_ = trace != Trace::Q;
        scaleQ_ = trace != Trace::I;
        const float db = ctx.input->Float(kScaleZoom, -6.0f);
        if (!InRange(db, -5000, 5000)) return kErrScale;
        factor_ = GainFactor(db);
        if (!std::isfinite(factor_)) return Refuse(ctx, "Invalid scaling factor", kErrScale);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return ScaleSpan(w, first_, last_, factor_, scaleI_, scaleQ_, ctx) ? kToolOk : kErrStopped;
    }

private:
    int64_t first_ = 0, last_ = 0;
    bool scaleI_ = true, scaleQ_ = true;
    float factor_ = 1;
};

const ToolRow kScaleZoomRow{
    .id = kToolScaleZoom,
    .name = "scale-zoom",
    .summary = "multiply the zoomed span of the I, Q or IQ time view by a gain in dB",
    .successText = "Waveform Amplitude scaled",
    .prompts = {kScaleZoom},
    .menu = {.popup = "Amplitude", .label = "Amplitude Scale (&Current Zoom only)", .rank = 20},
    .make = Make<ScaleZoom>(),
};

// ---- Set RMS (40088)

const PromptSpec kSetRms{.name = "SetRMS",
                         .type = P::Float,
                         .prompt = "Enter Desired target RMS",
                         .note = "Adjust the wavefom to an RMS of dBFS specified",
                         .key = "SetRMS",
                         .unit = "dBFS",
                         .min = -10000,
                         .defaultValue = -13};

// The factor that takes a level of fromDb to toDb, or 0 when there is none (a silent or
// non-finite level, or a factor beyond a float).
float LevelFactor(double fromDb, double toDb) {
    if (!(fromDb >= -1000 && fromDb < 1e29)) return 0.0f;
    const auto f = static_cast<float>(std::pow(10.0, (toDb - fromDb) / 20.0));
    return std::isfinite(f) && f > 0 ? f : 0.0f;
}

class SetRms : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        target_ = ctx.input->Float(kSetRms, -13.0f);
        if (!InRange(target_, -10000, 0))
            return Refuse(ctx, "ERR: Invalid Scaling level requested", kErrLevel);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        w.EnsureTimeDomain(true);
        if (w.sampleCount < 2) return kErrTooShort;
        const float factor = LevelFactor(MeanPowerdB(w, 0.0), target_);
        if (factor == 0.0f) return kErrLevel;
        return ScaleSamples(w, factor, ctx) ? kToolOk : kErrStopped;
    }

private:
    float target_ = 0;
};

const ToolRow kSetRmsRow{
    .id = kToolSetRms,
    .name = "set-rms",
    .summary = "scale the waveform to a mean power in dBFS",
    .progressText = "Scaling waveform to desired RMS level...",
    .successText = "Waveform Amplitude Set",
    .failureText = "ERR: Waveform Amplitude Setting failed",
    .prompts = {kSetRms},
    .menu = {.popup = "Amplitude", .label = "Amplitude Set &RMS", .rank = 30},
    .make = Make<SetRms>(),
};

// ---- Complex power clip (508)

const PromptSpec kClipLevel{.name = "level",
                            .type = P::Float,
                            .prompt = "Enter Clipping Level in dBFS",
                            .note = "Hard Clipping of the waveform",
                            .unit = "dBFS",
                            .min = -300,
                            .max = 3,
                            .defaultText = "the waveform's peak level"};

class PowerClip : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        // The peak level, kept within what the check accepts (a silent waveform has none).
        const double peakDb = 20.0 * std::log10(static_cast<double>(PeakMagnitude(w)));
        const float def = static_cast<float>(std::fmin(std::fmax(peakDb, -300.0), 3.0));
        const float db = ctx.input->Float(kClipLevel, def);
        if (!InRange(db, -300, 3))
            return Refuse(ctx, "ERR: Invalid clipping level requested", kErrLevel);
        level_ = GainFactor(db);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return ComplexClip(w, level_, ctx) ? kToolOk : kErrStopped;
    }

private:
    float level_ = 1;
};

const ToolRow kClipRow{
    .id = kToolPowerClip,
    .name = "clip",
    .summary = "limit the magnitude of every sample, keeping its phase",
    .progressText = "Clipping Waveform...",
    .successText = "Waveform hard-clipped",
    .failureText = "ERR: Hard-clip failed",
    .prompts = {kClipLevel},
    .menu = {.popup = "Amplitude", .label = "Complex &Power Clip", .rank = 40},
    .make = Make<PowerClip>(),
};

// ---- Voltage clip to 0 dB (40009)

class VoltageClip : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        int64_t clipped = 0;
        if (!ClipToFullScale(w, clipped, ctx)) return kErrStopped;
        if (clipped == 0) ctx.resultText = "Waveform does not exceed full scale.";
        return kToolOk;
    }
};

const ToolRow kClipIqRow{
    .id = kToolVoltageClip,
    .name = "clip-iq",
    .summary = "limit I and Q each to +/-1",
    .progressText = "Clipping IQ to +/-1...",
    .successText = "Clipping to Full-scale applied",
    .failureText = "ERR: Full-scale clipping failed",
    .menu = {.popup = "Amplitude", .label = "&Voltage Clip to 0dB", .rank = 50},
    .make = Make<VoltageClip>(),
};

// ---- Complex power threshold scale (40057)

const PromptSpec kThreshold{.name = "threshold",
                            .type = P::Text,
                            .prompt = "Enter Threshold Level in dBFS",
                            .note = "Compex power level to be altered",
                            .unit = "dBFS",
                            .min = -1e300,
                            .max = 1e300,
                            .defaultValue = -1,
                            .defaultText = "-1.00"};
const PromptSpec kThresholdGain{.name = "gain",
                                .type = P::Text,
                                .prompt = "Enter Scaling amount in dB",
                                .note = "Scaling for Samples exceeding threshold",
                                .unit = "dB",
                                .min = -1e300,
                                .max = kMaxFiniteGainDb,
                                .defaultValue = 1,
                                .defaultText = "1.00"};

class ThresholdScale : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        const std::string t = ctx.input->Text(kThreshold, "-1.00");
        if (t.empty()) return kErrCancelled;
        const std::string s = ctx.input->Text(kThresholdGain, "1.00");
        if (s.empty()) return kErrCancelled;
        const float a = GainFactor(static_cast<float>(LeadingNumber(t)));
        threshold_ = a * a;
        gain_ = GainFactor(static_cast<float>(LeadingNumber(s)));
        // Any threshold is harmless; a gain beyond a float would turn samples infinite.
        if (!std::isfinite(gain_)) return Refuse(ctx, "Invalid scaling factor", kErrScale);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return ScaleAboveThreshold(w, threshold_, gain_, ctx) ? kToolOk : kErrStopped;
    }

private:
    float threshold_ = 0, gain_ = 1;
};

const ToolRow kThresholdScaleRow{
    .id = kToolThresholdScale,
    .name = "threshold-scale",
    .summary = "multiply the samples whose power exceeds a threshold by a gain in dB",
    .successText = "Waveform Threshold Scale Complete",
    .prompts = {kThreshold, kThresholdGain},
    .menu = {.popup = "Amplitude", .label = "Complex Power &Threshold Scale", .rank = 60},
    .make = Make<ThresholdScale>(),
};

// ---- Remove Q (40008)

class RemoveQ : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return ZeroQ(w, ctx) ? kToolOk : kErrStopped;
    }
};

const ToolRow kRemoveQRow{
    .id = kToolRemoveQ,
    .name = "remove-q",
    .summary = "set every Q sample to zero",
    .successText = "Q Zeroed",
    .menu = {.popup = "Amplitude", .label = "Remove &Q", .rank = 70},
    .make = Make<RemoveQ>(),
};

// ---- Quantise (40056)

const PromptSpec kBits{.name = "quantiseBITS",
                       .type = P::Float,
                       .prompt = "Enter required bits of effective precision",
                       .note = "Full ADC range will be quantised to this many steps",
                       .key = "quantiseBITS",
                       .unit = "bits",
                       .min = 2,
                       .max = 64,
                       .defaultValue = 14};

class QuantiseTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        const float bits = ctx.input->Float(kBits, 14.0f);
        if (!InRange(bits, 2, 64)) return kErrLevel;
        steps_ = std::round(std::pow(2.0f, bits) / 2.0f);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return Quantise(w, steps_, ctx) ? kToolOk : kErrStopped;
    }

private:
    float steps_ = 1;
};

const ToolRow kQuantiseRow{
    .id = kToolQuantise,
    .name = "quantise",
    .summary = "round I and Q to 2^(bits-1) steps per unit, halves away from zero",
    .successText = "Waveform Quantised",
    .prompts = {kBits},
    .menu = {.popup = "Amplitude", .label = "Q&uantise to lower precision", .rank = 80},
    .make = Make<QuantiseTool>(),
};

// ---- Swap IQ (505), complex conjugate (540), reverse in time (40034)

class Swap : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext&, cWaveform& w) override { return SwapIQ(w); }
};

const ToolRow kSwapIqRow{
    .id = kToolSwapIq,
    .name = "swap-iq",
    .summary = "exchange I and Q",
    .progressText = "Swapping IQ...",
    .successText = "IQ swapped",
    .failureText = "Error: Swap IQ failed",
    .menu = {.popup = "", .label = "S&wap IQ", .rank = 260},
    .make = Make<Swap>(),
};

class Conj : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return Conjugate(w, ctx) ? kToolOk : kErrStopped;
    }
};

const ToolRow kConjugateRow{
    .id = kToolConjugate,
    .name = "conjugate",
    .summary = "negate Q",
    .menu = {.popup = "", .label = "Complex Con&jugate", .rank = 170},
    .make = Make<Conj>(),
};

class Reversal : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return Reverse(w, ctx) ? kToolOk : kErrStopped;
    }
};

const ToolRow kReverseRow{
    .id = kToolReverse,
    .name = "reverse",
    .summary = "reverse the order of the samples",
    .menu = {.popup = "", .label = "Re&verse in time", .rank = 240},
    .make = Make<Reversal>(),
};

// ---- Fades (513 in, 514 out)

template <bool FadeIn>
class FadeTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        // The zoom span of a time view can be stale (a crop or an undo since it was drawn):
        // it is kept within the waveform, and 0 .. 0 stands for all of it.
        const int64_t last = w.sampleCount - 1;
        start_ = 0;
        end_ = last;
        if (ctx.view.timeTrace != ToolViewState::Trace::None) {
            start_ = std::min(std::max<int64_t>(ctx.view.zoomFirst, 0), last);
            end_ = std::min(std::max<int64_t>(ctx.view.zoomLast, 0), last);
            if (start_ == 0 && end_ == 0) end_ = last;
        }
        if (!(start_ >= 0 && start_ < end_))
            return Refuse(ctx, "ERR: Fade needs a span of two or more samples", kErrScale);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return Fade(w, start_, end_, FadeIn, ctx) ? kToolOk : kErrStopped;
    }

private:
    int64_t start_ = 0, end_ = 0;
};

const ToolRow kFadeInRow{
    .id = kToolFadeIn,
    .name = "fade-in",
    .summary = "ramp the zoomed span of a time view (else everything) up from zero",
    .successText = "Waveform amplitude faded within current view",
    .menu = {.popup = "Fade", .label = "Fade &In Linear", .rank = 10},
    .make = Make<FadeTool<true>>(),
};

const ToolRow kFadeOutRow{
    .id = kToolFadeOut,
    .name = "fade-out",
    .summary = "ramp the zoomed span of a time view (else everything) down to zero",
    .successText = "Waveform amplitude faded within current view",
    .menu = {.popup = "Fade", .label = "Fade &Out Linear", .rank = 20},
    .make = Make<FadeTool<false>>(),
};

}  // namespace

void RegisterModifierTools(std::vector<ToolRow>& tools) {
    tools.insert(tools.end(), {kScaleRow, kScaleZoomRow, kSetRmsRow, kClipRow, kClipIqRow,
                               kThresholdScaleRow, kRemoveQRow, kQuantiseRow, kSwapIqRow,
                               kConjugateRow, kReverseRow, kFadeInRow, kFadeOutRow});
    RegisterShiftTools(tools);
    RegisterCombineTools(tools);
}
