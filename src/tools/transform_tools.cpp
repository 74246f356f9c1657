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

class InverseFft : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override { return ReplaceByInverseTransform(w, ctx); }
};

}  // namespace

void RegisterTransformTools(std::vector<ToolInfo>& tools) {
    // Their failure text covers the one way they fail: a transform too long for the result.
    tools.push_back({kToolForwardFft,
                     "fft",
                     "replace the samples by their spectrum: the FFT / Nf, zero padded to a power "
                     "of two (at least 8)",
                     "",
                     "FFT performed",
                     "ERR: FFT failed: the result would exceed 100000000 samples",
                     {},
                     Make<ForwardFft>()});
    tools.push_back({kToolInverseFft,
                     "ifft",
                     "replace the samples by their unscaled inverse FFT, zero padded to a power "
                     "of two (at least 8)",
                     "",
                     "iFFT performed",
                     "ERR: iFFT failed: the result would exceed 100000000 samples",
                     {},
                     Make<InverseFft>()});
}
