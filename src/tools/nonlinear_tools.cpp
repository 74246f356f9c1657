// Crest factor reduction (iterative and by peak windowing), the PA compression model and the
// non-linear expansion: their prompts, checks and texts around the operations of
// nonlinear_ops.h.

#include <cmath>
#include <cstdio>
#include <string>

#include "tools/nonlinear_ops.h"
#include "tools/tool_checks.h"
#include "tools/tool_groups.h"
#include "waveform/waveform.h"

namespace {

using P = PromptType;
// What a cancelled number prompt gives (1e36) and anything as large: no target at all.
constexpr double kCancelled = 1e30;

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

// ---- Crest factor reduction (538)

constexpr int kCfrPasses = 20;
const PromptSpec kCfrPar{.name = "CFRPAR",
                         .type = P::Float,
                         .prompt = "Enter desired PAR (Peak to Average Ratio)",
                         .note = "The CFR'd waveform will not exceed this PAR",
                         .key = "CFRPAR",
                         .unit = "dB",
                         .min = 0.1,
                         .max = 20,
                         .defaultValue = 8.5};

// Passes until the PAR is within 0.1 dB of the target, at most 20; from the second pass on the
// clip level creeps down while the PAR is more than 1 dB off. Passes already done stay done when
// a stop or a failed pass ends the run (the undo copy holds the waveform from before).
class Cfr : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        ctx.Status("Crest Factor Reducing...");
        target_ = ctx.input->Float(kCfrPar, 8.5f);
        if (target_ >= kCancelled) return Refuse(ctx, "CFR Cancelled", kErrCfr);
        if (!InRange(target_, 0.1, 20)) return Refuse(ctx, "ERR: Invalid PAR selected", kErrCfr);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        w.EnsureTimeDomain(true);
        // Progress counts passes; a pass's own sweeps would restart the bar each time.
        ToolContext quiet;
        quiet.stop = ctx.stop;
        double offset = target_;
        for (int pass = 0; pass < kCfrPasses; ++pass) {
            ctx.keptPartial = pass > 0;
            if (ctx.StopRequested()) return kErrStopped;
            const double par = PowerStats(w).ParDb();
            if (pass > 0 && par - target_ > 1) offset *= 0.985;
            if (par <= target_ + 0.1) return Finish(ctx, par, pass);
            if (const int code = CfrPass(w, offset, quiet); code != kToolOk) return code;
            ctx.Progress(100 * (pass + 1) / kCfrPasses);
            ctx.Status("Crest Factor Reducing... Pass " + std::to_string(pass + 1) + ", PAR " +
                       Format("%.2f", par));
            ctx.results.emplace_back("par_pass_" + std::to_string(pass + 1) + "_db", par);
        }
        const double par = PowerStats(w).ParDb();
        // Said so when the passes ran out short of the target.
        if (!(par <= target_ + 0.1))
            ctx.resultText = "CFR Complete, PAR " + Format("%.2f", par) + " dB";
        return Finish(ctx, par, kCfrPasses);
    }

private:
    static int Finish(ToolContext& ctx, double par, int passes) {
        ctx.keptPartial = false;
        ctx.results.emplace_back("passes", passes);
        ctx.results.emplace_back("par_db", par);
        return kToolOk;
    }
    float target_ = 8.5f;
};

const ToolRow kCfrRow{
    .id = kToolCfr,
    .name = "cfr",
    .summary =
        "iterative crest factor reduction to a PAR: in-band clipping noise removed "
        "pass by pass (results: the PAR going into each pass, passes, final PAR)",
    .successText = "CFR Complete",
    .failureText = "ERR: CFR failed",
    .prompts = {kCfrPar},
    .menu = {.popup = "Crest Factor Reduction", .label = "&Iterative CFR", .rank = 10},
    .make = Make<Cfr>(),
};

// ---- Peak-windowing CFR (519)

// The target has no range of its own: any number short of a cancelled prompt (and of its
// negative, which would clip everything).
const PromptSpec kWindowPar{.name = "par",
                            .type = P::Float,
                            .prompt = "Enter desired PAR (Peak to Average Ratio)",
                            .note = "The CFR'd waveform will not exceed this PAR",
                            .unit = "dB",
                            .max = kCancelled,
                            .defaultValue = 8.5};
const PromptSpec kWindowLength{.name = "CFRWindowLen",
                               .type = P::Int,
                               .prompt = "Enter Window Length",
                               .note = "(10-100) LOW=better EVM, HIGH=Better ACLR",
                               .key = "CFRWindowLen",
                               .unit = "samples",
                               .min = 10,
                               .max = 300,
                               .defaultValue = 75};

class PeakWindowing : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        // Silence has no mean to set a threshold from (and no EVM to report).
        if (!(PowerStats(w).meanDb > -1e300))
            return Refuse(ctx, "ERR: Waveform is silent, no peaks to reduce", kErrLevel);
        target_ = ctx.input->Float(kWindowPar, 8.5f);
        if (target_ >= kCancelled) return Refuse(ctx, "CFR Cancelled", kErrCfr);
        // No peak can lie below the mean: a negative ratio asks for the impossible.
        if (!(target_ >= 0)) return Refuse(ctx, "ERR: Invalid PAR selected", kErrCfr);
        length_ = ctx.input->Int(kWindowLength, 75);
        if (!(length_ >= 10 && length_ <= 300)) return kErrLengthOrCount;
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        double evm = 0;
        const int code = PeakWindowCfr(w, target_, length_, evm, ctx);
        if (code != kToolOk) return code;
        ctx.PostNotice("Error", Format("EVM degraded by %.2f%%", evm));
        ctx.results.emplace_back("evm_percent", evm);
        return kToolOk;
    }

private:
    float target_ = 8.5f;
    int length_ = 75;
};

const ToolRow kPeakWindowCfrRow{
    .id = kToolPeakWindowCfr,
    .name = "peak-window-cfr",
    .summary = "crest factor reduction by Hann-windowed peak scaling (result: EVM)",
    .successText = "Peak Windowing CFR applied",
    .failureText = "ERR: Peak Windowing CFR failed",
    .prompts = {kWindowPar, kWindowLength},
    .menu = {.popup = "Crest Factor Reduction", .label = "&Peak Windowing CFR", .rank = 20},
    .make = Make<PeakWindowing>(),
};

// ---- PA compression (524)

const PromptSpec kBackOff{.name = "PAsimBackOffdB",
                          .type = P::Float,
                          .prompt = "Enter Backoff from (P-SAT = 0dBFS) in dB",
                          .note = "Non-linear gain compression using a typical compression curve",
                          .key = "PAsimBackOffdB",
                          .unit = "dB",
                          .min = -300,
                          .max = 300,
                          .defaultValue = -1};

class PaModel : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        ctx.Status("Simulating PA compression...");
        backOff_ = ctx.input->Float(kBackOff, -1.0f);
        if (!InRange(backOff_, -300, 300))
            return Refuse(ctx, "ERR: Invalid Back off requested", kErrScale);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return PaCompression(w, backOff_, ctx) ? kToolOk : kErrStopped;
    }

private:
    float backOff_ = -1;
};

const ToolRow kPaCompressionRow{
    .id = kToolPaModel,
    .name = "pa-compression",
    .summary = "PA AM/AM compression at a back-off from saturation",
    .successText = "Simulated PA compression applied",
    .prompts = {kBackOff},
    .menu = {.popup = "PA Simulation", .label = "&PA Compression", .rank = 10},
    .make = Make<PaModel>(),
};

// ---- Non-linear expansion (40061)

class Expansion : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return NonLinearExpansion(w, ctx) ? kToolOk : kErrStopped;
    }
};

const ToolRow kExpansionRow{
    .id = kToolExpansion,
    .name = "expansion",
    .summary = "square I and Q, keeping their signs",
    .successText = "Expansion complete",
    .menu = {.popup = "Amplitude", .label = "Non-linear &expansion", .rank = 100},
    .make = Make<Expansion>(),
};

}  // namespace

void RegisterNonLinearTools(std::vector<ToolRow>& tools) {
    tools.insert(tools.end(), {kCfrRow, kPeakWindowCfrRow, kPaCompressionRow, kExpansionRow});
}
