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

const PromptSpec kScale{"Scale",
                        P::Float,
                        "Enter Scaling Factor in dB",
                        "Scale the power of the entire waveform",
                        "Scale",
                        "dB",
                        -10000,
                        kMaxFiniteGainDb,
                        -6,
                        ""};

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

// ---- Scale the zoomed span (40017)

const PromptSpec kScaleZoom{"Scale2",
                            P::Float,
                            "Enter Scaling Factor in dB",
                            "Scale the power of the waveform in current view zoom",
                            "Scale2",
                            "dB",
                            -5000,
                            kMaxFiniteGainDb,
                            -6,
                            ""};

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

// ---- Set RMS (40088)

const PromptSpec kSetRms{"SetRMS",
                         P::Float,
                         "Enter Desired target RMS",
                         "Adjust the wavefom to an RMS of dBFS specified",
                         "SetRMS",
                         "dBFS",
                         -10000,
                         0,
                         -13,
                         ""};

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

// ---- Complex power clip (508)

const PromptSpec kClipLevel{"level",
                            P::Float,
                            "Enter Clipping Level in dBFS",
                            "Hard Clipping of the waveform",
                            "",
                            "dBFS",
                            -300,
                            3,
                            0,
                            "the waveform's peak level"};

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

// ---- Complex power threshold scale (40057)

const PromptSpec kThreshold{"threshold",
                            P::Text,
                            "Enter Threshold Level in dBFS",
                            "Compex power level to be altered",
                            "",
                            "dBFS",
                            -1e300,
                            1e300,
                            -1,
                            "-1.00"};
const PromptSpec kThresholdGain{"gain",
                                P::Text,
                                "Enter Scaling amount in dB",
                                "Scaling for Samples exceeding threshold",
                                "",
                                "dB",
                                -1e300,
                                kMaxFiniteGainDb,
                                1,
                                "1.00"};

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

// ---- Remove Q (40008)

class RemoveQ : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return ZeroQ(w, ctx) ? kToolOk : kErrStopped;
    }
};

// ---- Quantise (40056)

const PromptSpec kBits{"quantiseBITS",
                       P::Float,
                       "Enter required bits of effective precision",
                       "Full ADC range will be quantised to this many steps",
                       "quantiseBITS",
                       "bits",
                       2,
                       64,
                       14,
                       ""};

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

// ---- Swap IQ (505), complex conjugate (540), reverse in time (40034)

class Swap : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext&, cWaveform& w) override { return SwapIQ(w); }
};

class Conj : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return Conjugate(w, ctx) ? kToolOk : kErrStopped;
    }
};

class Reversal : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return Reverse(w, ctx) ? kToolOk : kErrStopped;
    }
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

}  // namespace

void RegisterModifierTools(std::vector<ToolInfo>& tools) {
    tools.push_back({kToolScale,
                     "scale",
                     "multiply every sample by a gain in dB",
                     "Scaling Waveform...",
                     "Waveform Amplitude scaled",
                     "ERR: Waveform scaling failed",
                     {kScale},
                     Make<Scale>()});
    tools.push_back({kToolScaleZoom,
                     "scale-zoom",
                     "multiply the zoomed span of the I, Q or IQ time view by a gain in dB",
                     "",
                     "Waveform Amplitude scaled",
                     "",
                     {kScaleZoom},
                     Make<ScaleZoom>()});
    tools.push_back({kToolSetRms,
                     "set-rms",
                     "scale the waveform to a mean power in dBFS",
                     "Scaling waveform to desired RMS level...",
                     "Waveform Amplitude Set",
                     "ERR: Waveform Amplitude Setting failed",
                     {kSetRms},
                     Make<SetRms>()});
    tools.push_back({kToolPowerClip,
                     "clip",
                     "limit the magnitude of every sample, keeping its phase",
                     "Clipping Waveform...",
                     "Waveform hard-clipped",
                     "ERR: Hard-clip failed",
                     {kClipLevel},
                     Make<PowerClip>()});
    tools.push_back({kToolVoltageClip,
                     "clip-iq",
                     "limit I and Q each to +/-1",
                     "Clipping IQ to +/-1...",
                     "Clipping to Full-scale applied",
                     "ERR: Full-scale clipping failed",
                     {},
                     Make<VoltageClip>()});
    tools.push_back({kToolThresholdScale,
                     "threshold-scale",
                     "multiply the samples whose power exceeds a threshold by a gain in dB",
                     "",
                     "Waveform Threshold Scale Complete",
                     "",
                     {kThreshold, kThresholdGain},
                     Make<ThresholdScale>()});
    tools.push_back({kToolRemoveQ,
                     "remove-q",
                     "set every Q sample to zero",
                     "",
                     "Q Zeroed",
                     "",
                     {},
                     Make<RemoveQ>()});
    tools.push_back({kToolQuantise,
                     "quantise",
                     "round I and Q to 2^(bits-1) steps per unit, halves away from zero",
                     "",
                     "Waveform Quantised",
                     "",
                     {kBits},
                     Make<QuantiseTool>()});
    tools.push_back({kToolSwapIq,
                     "swap-iq",
                     "exchange I and Q",
                     "Swapping IQ...",
                     "IQ swapped",
                     "Error: Swap IQ failed",
                     {},
                     Make<Swap>()});
    tools.push_back({kToolConjugate, "conjugate", "negate Q", "", "", "", {}, Make<Conj>()});
    tools.push_back({kToolReverse,
                     "reverse",
                     "reverse the order of the samples",
                     "",
                     "",
                     "",
                     {},
                     Make<Reversal>()});
    tools.push_back({kToolFadeIn,
                     "fade-in",
                     "ramp the zoomed span of a time view (else everything) up from zero",
                     "",
                     "Waveform amplitude faded within current view",
                     "",
                     {},
                     Make<FadeTool<true>>()});
    tools.push_back({kToolFadeOut,
                     "fade-out",
                     "ramp the zoomed span of a time view (else everything) down to zero",
                     "",
                     "Waveform amplitude faded within current view",
                     "",
                     {},
                     Make<FadeTool<false>>()});
    RegisterShiftTools(tools);
    RegisterCombineTools(tools);
}
