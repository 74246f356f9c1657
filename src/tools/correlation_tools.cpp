// The correlation tools: autocorrelation, cross-correlation with a reference file (linear and
// circular), and the frequency offset against a reference, which the waveform then loses.

#include <cstdio>
#include <string>

#include "tools/correlation_ops.h"
#include "tools/second_file.h"
#include "tools/tool_groups.h"
#include "waveform/file_messages.h"
#include "waveform/waveform.h"

namespace {

using P = PromptType;

constexpr PromptSpec ReferenceSpec(const char* title) {
    return {.name = "file", .type = P::File, .prompt = title, .unit = "path"};
}
const PromptSpec kReference = ReferenceSpec("Open Waveform");
const PromptSpec kOffsetReference = ReferenceSpec("Open waveform");

std::string Formatted(const char* format, double value) {
    char text[160];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

class Autocorrelation : public cTool {
public:
    int Ask(ToolContext&, const cWaveform& w) override {
        return SpectrumLength(w.sampleCount) <= kMaxToolSamples ? kToolOk : kErrTooLong;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return Autocorrelate(w, ctx) ? kToolOk : kErrStopped;
    }
};

const ToolRow kAutocorrelationRow{
    .id = kToolAutocorrelation,
    .name = "autocorrelation",
    .summary = "replace by the circular autocorrelation (lag 0 first)",
    .successText = "Autocorrelation performed",
    .menu = {.popup = "Correlation", .label = "&Autocorrelation", .rank = 10},
    .make = Make<Autocorrelation>(),
};

// The reference is read and checked before anything is taken or changed.
class WithReference : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        const int code =
            LoadSecondWaveform(ctx, ReferencePrompt(), ctx.fileType, w.sampleRate, reference_);
        if (code == kErrCancelled) return code;
        if (code != kToolOk) {
            ctx.Status("ERR: CrossCorrelation failed, the reference could not be read: " +
                       LoadFailureText(reference_));
            return kErrLoadFailed;
        }
        if (reference_.sampleCount < w.sampleCount) {
            ctx.Status("CrossCorrelation failed due to reference waveform too short");
            return kErrReferenceShort;
        }
        return kToolOk;
    }

protected:
    virtual const PromptSpec& ReferencePrompt() const { return kReference; }
    cWaveform reference_;
};

// The linear (608) or circular (617) cross-correlation: the lag of the strongest peak.
template <bool Circular>
class LagCorrelation : public WithReference {
public:
    int Apply(ToolContext& ctx, cWaveform& w) override {
        double lag = 0.0;
        const int code = Circular ? CircularCrossCorrelate(w, reference_, &lag, ctx)
                                  : CrossCorrelate(w, reference_, &lag, ctx);
        if (code != kToolOk) return code;
        ctx.resultText = Formatted(Circular ? "CircularCrossCorrelation performed. Peak "
                                              "Correlation at Fractional sample=%.2f"
                                            : "CrossCorrelation performed. Peak Correlation at "
                                              "Fractional sample=%.2f",
                                   lag);
        ctx.results.emplace_back("lag_samples", lag);
        return kToolOk;
    }
};

const ToolRow kCrossCorrelationRow{
    .id = kToolCrossCorrelation,
    .name = "cross-correlation",
    .summary = "replace by the cross-correlation with a reference file; its peak's lag",
    .prompts = {kReference},
    .menu = {.popup = "Correlation", .label = "&CrossCorrelation", .rank = 20},
    .make = Make<LagCorrelation<false>>(),
};

const ToolRow kCircularCorrelationRow{
    .id = kToolCircularCorrelation,
    .name = "circular-correlation",
    .summary = "replace by the circular cross-correlation with a reference; its lag",
    .prompts = {kReference},
    .menu = {.popup = "Correlation", .label = "C&ircular CrossCorrelation", .rank = 30},
    .make = Make<LagCorrelation<true>>(),
};

class FrequencyOffset : public WithReference {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        if (w.sampleCount < 2) {
            ctx.Status("ERR: Freq Domain Cross Correlation needs two or more samples");
            return kErrTooShort;
        }
        return WithReference::Ask(ctx, w);
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        double offset = 0.0;
        const int code = AlignFrequency(w, reference_, &offset, ctx);
        if (code == kErrLevel) {
            ctx.Status(
                "ERR: Freq Domain Cross Correlation failed: the waveform and the "
                "reference have nothing in common");
            return code;
        }
        if (code != kToolOk) return code;
        ctx.resultText = Formatted(
            "Freq Domain Cross Correlation performed. Peak Correlation at delta Freq %.3f", offset);
        ctx.results.emplace_back("frequency_offset_hz", offset);
        return kToolOk;
    }

protected:
    const PromptSpec& ReferencePrompt() const override { return kOffsetReference; }
};

const ToolRow kFrequencyOffsetRow{
    .id = kToolFrequencyOffset,
    .name = "frequency-offset",
    .summary = "measure the frequency offset to a reference file and remove it",
    .prompts = {kOffsetReference},
    .menu = {.popup = "Correlation",
             .label = "&Frequency Offset (Freq Domain CrossCorrelation)",
             .rank = 40},
    .make = Make<FrequencyOffset>(),
};

}  // namespace

void RegisterCorrelationTools(std::vector<ToolRow>& tools) {
    tools.insert(tools.end(), {kAutocorrelationRow, kCrossCorrelationRow, kCircularCorrelationRow,
                               kFrequencyOffsetRow});
}
