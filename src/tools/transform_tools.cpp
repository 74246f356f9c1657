// The tools that replace the samples by a transform: the forward FFT (533), whose
// result is the spectrum form's bins, and the unscaled inverse FFT (539).

#include "tools/tool_groups.h"
#include "tools/transform_ops.h"
#include "waveform/waveform.h"

namespace {

class ForwardFft : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override { return ReplaceBySpectrum(w, ctx); }
};

const ToolRow kFftRow{
    .id = kToolForwardFft,
    .name = "fft",
    .summary =
        "replace the samples by their spectrum: the FFT / Nf, zero padded to a power "
        "of two (at least 8)",
    .successText = "FFT performed",
    .failureText = "ERR: FFT failed: the result would exceed 100000000 samples",
    .menu = {.popup = "FFT", .label = "&Forward FFT time to frequency samples", .rank = 10},
    .make = Make<ForwardFft>(),
};

class InverseFft : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override { return ReplaceByInverseTransform(w, ctx); }
};

const ToolRow kIfftRow{
    .id = kToolInverseFft,
    .name = "ifft",
    .summary =
        "replace the samples by their unscaled inverse FFT, zero padded to a power "
        "of two (at least 8)",
    .successText = "iFFT performed",
    .failureText = "ERR: iFFT failed: the result would exceed 100000000 samples",
    .menu = {.popup = "FFT", .label = "&Inverse FFT frequency to time samples", .rank = 20},
    .make = Make<InverseFft>(),
};

}  // namespace

void RegisterTransformTools(std::vector<ToolRow>& tools) {
    // Their failure text covers the one way they fail: a transform too long for the result.
    tools.insert(tools.end(), {kFftRow, kIfftRow});
}
