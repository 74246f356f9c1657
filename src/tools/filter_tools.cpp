// The FFT filters and the channel filters: their prompts, checks and texts around the masks of
// filter_ops.h. The transition shape is the waveform's (the Filter Shape commands set it); the
// channel filters use their own and leave the waveform's alone.

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/filter_ops.h"
#include "tools/prompter.h"
#include "tools/tool_checks.h"
#include "tools/tool_groups.h"
#include "waveform/waveform.h"

namespace {

using P = PromptType;
// Wider than the span of any sample rate the waveform can hold (an int64 in Hz): the tools'
// own checks against the rate decide.
constexpr double kAnyMHz = 2e13;

double QuarterRateMHz(const cWaveform& w) { return static_cast<double>(w.sampleRate) / 4e6; }

// Ends a filter whose typed edge or span lies beyond limitHz: quietly when the prompt was
// cancelled, otherwise saying what the edges may be.
int RefuseEdge(const ToolContext& ctx, double typed, double limitHz) {
    if (typed >= IPrompter::kCancelFloat) return kErrFilterEdge;
    char text[96];
    std::snprintf(text, sizeof text, "ERR: Filter edges must lie within +/-%.6g MHz",
                  limitHz / 1e6);
    return Refuse(ctx, text, kErrFilterEdge);
}

constexpr PromptSpec Edge(const char* key, const char* prompt, const char* note,
                          const char* defaultText) {
    return {.name = key,
            .type = P::Float,
            .prompt = prompt,
            .note = note,
            .key = key,
            .unit = "MHz",
            .min = -kAnyMHz,
            .max = kAnyMHz,
            .defaultText = defaultText};
}
constexpr PromptSpec Span(const char* key, const char* note, double def, const char* defaultText) {
    return {.name = key,
            .type = P::Float,
            .prompt = "Enter slope BandWidth in MHz",
            .note = note,
            .key = key,
            .unit = "MHz",
            .min = -kAnyMHz,
            .max = kAnyMHz,
            .defaultValue = def,
            .defaultText = defaultText};
}

constexpr const char* kQuarter = "a quarter of the sample rate";
constexpr PromptSpec kLowPassEdge =
    Edge("FFT_LPF1", "Enter End of Passband in MHz", "Start of filtering profile", kQuarter);
constexpr PromptSpec kLowPassSpan = Span("FFT_LPF2", "Roll off Span", 1, "");
constexpr PromptSpec kHighPassEdge =
    Edge("FFT_HPF1", "Enter Start of PassBand in MHz", "Start of filtering profile", kQuarter);
constexpr PromptSpec kHighPassSpan = Span("FFT_HPF2", "Roll off Span", 1, "");

// ---- Low-pass (515) and high-pass (516)

// The pass edge p and the roll-off span s, both in MHz. Low-pass: p and p + s within ±Fs/2;
// high-pass: p and p − s.
template <bool High>
class EdgeFilter : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        const double fs = static_cast<double>(w.sampleRate);
        if (fs <= 0) return kErrFilterEdge;
        const PromptSpec& edgeQuestion = High ? kHighPassEdge : kLowPassEdge;
        const double p = ctx.input->Float(edgeQuestion, static_cast<float>(QuarterRateMHz(w)));
        if (!InRange(p * 1e6, -fs / 2, fs / 2)) return RefuseEdge(ctx, p, fs / 2);
        const double s = ctx.input->Float(High ? kHighPassSpan : kLowPassSpan, 1.0f);
        const double other = High ? p - s : p + s;
        if (!InRange(other * 1e6, -fs / 2, fs / 2)) return RefuseEdge(ctx, s, fs / 2);
        plan_.kind = High ? FftFilterKind::HighPass : FftFilterKind::LowPass;
        // Low-pass: pass edge, then stop edge; high-pass: stop edge, then pass edge.
        plan_.edge1 = (High ? other : p) * 1e6 / fs;
        plan_.edge2 = (High ? p : other) * 1e6 / fs;
        plan_.shape = ShapeOf(w.filterShape);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return FftFilter(w, plan_, ctx); }

private:
    FftFilterPlan plan_;
};

const ToolRow kLowPassRow{
    .id = kToolLowPass,
    .name = "low-pass",
    .summary = "FFT low-pass: gain 1 up to the pass edge, the filter shape over the span",
    .progressText = "FFT Low Pass Filtering...",
    .successText = "FFT Low Pass Filter applied",
    .failureText = "ERR: FFT Low Pass Filtering failed",
    .prompts = {kLowPassEdge, kLowPassSpan},
    .menu = {.popup = "Filter", .label = "FFT &Low Pass Filter", .rank = 20},
    .make = Make<EdgeFilter<false>>(),
};

const ToolRow kHighPassRow{
    .id = kToolHighPass,
    .name = "high-pass",
    .summary = "FFT high-pass: gain 1 from the pass edge up, the filter shape below it",
    .progressText = "FFT High Pass Filtering...",
    .successText = "FFT High Pass Filter applied",
    .failureText = "ERR: FFT High Pass Filtering failed",
    .prompts = {kHighPassEdge, kHighPassSpan},
    .menu = {.popup = "Filter", .label = "FFT &High Pass Filter", .rank = 30},
    .make = Make<EdgeFilter<true>>(),
};

// ---- Band-pass (517) and band-stop (518)

constexpr PromptSpec kBandPass[] = {
    Edge("FFTBP1", "Enter Start of PassBand in MHz", "Start of Low-pass section filtering profile",
         kQuarter),
    Edge("FFTBP2", "Enter End of PassBand in MHz", "End of High-Pass section filtering profile",
         "1.2 times the first edge"),
    Span("FFTBP3", "Roll off Span for each section", 0, "0.1 times the first edge")};
constexpr PromptSpec kBandStop[] = {
    Edge("FFTBS1", "Enter Start of StopBand in MHz", "End of Low-pass section filtering profile",
         kQuarter),
    Edge("FFTBS2", "Enter End of StopBand in MHz", "Start of High-Pass section filtering profile",
         "1.2 times the first edge"),
    Span("FFTBS3", "Roll off Span for each section", 0, "0.1 times the first edge")};

// Two edges in either order and a span, each within ±Fs (MHz).
template <bool Stop>
class BandFilter : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        const double fs = static_cast<double>(w.sampleRate);
        if (fs <= 0) return kErrFilterEdge;
        const PromptSpec* prompts = Stop ? kBandStop : kBandPass;
        const float first = ctx.input->Float(prompts[0], static_cast<float>(QuarterRateMHz(w)));
        if (!(std::fabs(first * 1e6) <= fs)) return RefuseEdge(ctx, first, fs);
        const float second = ctx.input->Float(prompts[1], 1.2f * first);
        if (!(std::fabs(second * 1e6) <= fs)) return RefuseEdge(ctx, second, fs);
        const float span = ctx.input->Float(prompts[2], 0.1f * first);
        if (!(std::fabs(span * 1e6) <= fs)) return RefuseEdge(ctx, span, fs);
        plan_.kind = Stop ? FftFilterKind::BandStop : FftFilterKind::BandPass;
        plan_.edge1 = std::min(first, second) * 1e6 / fs;
        plan_.edge2 = std::max(first, second) * 1e6 / fs;
        plan_.span = std::fabs(span * 1e6) / fs;
        plan_.shape = ShapeOf(w.filterShape);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return FftFilter(w, plan_, ctx); }

private:
    FftFilterPlan plan_;
};

const ToolRow kBandPassRow{
    .id = kToolBandPass,
    .name = "band-pass",
    .summary = "FFT band-pass between two edges, the filter shape over the span outside",
    .progressText = "FFT Band Pass Filtering...",
    .successText = "FFT Band Pass Filter applied",
    .failureText = "ERR: FFT Band Pass Filtering failed",
    .prompts = {kBandPass[0], kBandPass[1], kBandPass[2]},
    .menu = {.popup = "Filter", .label = "FFT &Band Pass Filter", .rank = 40},
    .make = Make<BandFilter<false>>(),
};

const ToolRow kBandStopRow{
    .id = kToolBandStop,
    .name = "band-stop",
    .summary = "FFT band-stop between two edges, the filter shape over the span outside",
    .progressText = "FFT Band Stop Filtering...",
    .successText = "FFT Band Stop Filter applied",
    .failureText = "ERR: FFT Band Stop Filtering failed",
    .prompts = {kBandStop[0], kBandStop[1], kBandStop[2]},
    .menu = {.popup = "Filter", .label = "FFT Band S&top Filter", .rank = 50},
    .make = Make<BandFilter<true>>(),
};

// ---- LTE (541) and UMTS (542) channel filters

constexpr const char* kBadPosition = "ERR: Invalid Filter position specified";
const PromptSpec kLteBandwidth{.name = "LTE_FILTER_BW",
                               .type = P::Int,
                               .prompt = "Please enter the LTE Channel Bandwidth",
                               .note = "1, 3, 5, 10, 15 or 20",
                               .key = "LTE_FILTER_BW",
                               .unit = "MHz",
                               .min = 1,
                               .max = 20,
                               .defaultValue = 5};
const PromptSpec kChannelCentre{.name = "LTE_FILTER_CENTER",
                                .type = P::Double,
                                .prompt = "Please enter channel centre position",
                                .note = "Carrier position in MHz",
                                .key = "LTE_FILTER_CENTER",
                                .unit = "MHz",
                                .min = -kAnyMHz,
                                .max = kAnyMHz};

// The channel must lie within the spectrum as a whole: a carrier whose band reaches past
// ±Fs/2 is refused before anything changes, like a centre beyond it.
template <bool Umts>
class ChannelFilter : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        if (!HasSpectrumForm(w.sampleCount))
            return Refuse(ctx, "ERR: Waveform too long for the FFT filters", kErrTooLong);
        int bandwidth = 0;
        if (!Umts) {
            bandwidth = ctx.input->Int(kLteBandwidth, 5);
            // 0 would name the UMTS carrier.
            if (bandwidth == 0 || !ChannelFilterPlan(bandwidth, 0, 1, plan_))
                return Refuse(ctx, "ERR: Invalid LTE Bandwidth specified", kErrLteBandwidth);
        }
        const double centreHz = ctx.input->Double(kChannelCentre, 0.0) * 1e6;
        const double fs = static_cast<double>(w.sampleRate);
        if (!(fs > 0 && std::fabs(centreHz) <= fs / 2))
            return Refuse(ctx, kBadPosition, kErrFilterEdge);
        ChannelFilterPlan(bandwidth, centreHz, w.sampleRate, plan_);
        if (ApplyFftFilterMask(nullptr, SpectrumSizeFor(w.sampleCount), plan_) != kToolOk)
            return Refuse(ctx, kBadPosition, kErrFilterEdge);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override { return FftFilter(w, plan_, ctx); }

private:
    FftFilterPlan plan_;
};

const ToolRow kLteFilterRow{
    .id = kToolLteFilter,
    .name = "lte-filter",
    .summary = "LTE channel filter (raised cosine) of a bandwidth at a centre",
    .successText = "LTE Channel Filter complete",
    .failureText = kBadPosition,
    .prompts = {kLteBandwidth, kChannelCentre},
    .menu = {.popup = "Filter", .label = "LT&E Channel Filter", .rank = 70},
    .make = Make<ChannelFilter<false>>(),
};

const ToolRow kUmtsFilterRow{
    .id = kToolUmtsFilter,
    .name = "umts-filter",
    .summary = "UMTS channel filter (root raised cosine) at a centre",
    .successText = "UMTS Channel Filter complete",
    .failureText = kBadPosition,
    .prompts = {kChannelCentre},
    .menu = {.popup = "Filter", .label = "&UMTS Channel Filter", .rank = 80},
    .make = Make<ChannelFilter<true>>(),
};

}  // namespace

void RegisterFilterTools(std::vector<ToolRow>& tools) {
    tools.insert(tools.end(), {kLowPassRow, kHighPassRow, kBandPassRow, kBandStopRow, kLteFilterRow,
                               kUmtsFilterRow});
    RegisterNonLinearTools(tools);
}
