// The tools that combine the waveform with a second one read from a file (add, subtract, mix,
// replace Q) and the levelling of the areas a marker file marks.

#include <cmath>
#include <string>

#include "tools/modifier_ops.h"
#include "tools/second_file.h"
#include "tools/shift_ops.h"
#include "tools/tool_checks.h"
#include "tools/tool_groups.h"
#include "waveform/file_messages.h"
#include "waveform/waveform.h"

namespace {

using P = PromptType;

constexpr PromptSpec FileSpec(const char* title) {
    return {.name = "file", .type = P::File, .prompt = title, .unit = "path"};
}
const PromptSpec kCombineFile = FileSpec("Open waveform to combine");
const PromptSpec kReplaceQFile = FileSpec("Open Waveform to add");
const PromptSpec kMarkerFile = FileSpec("Open waveform Marker File");

constexpr const char* kCombineCancelled = "ERR: Waveform Combining cancelled";
constexpr const char* kInvalidSecond = "ERR: Waveform Combining fail invalid waveform to combine";

// ---- Add (528) and subtract (529)

const PromptSpec kCombineScale{.name = "scale",
                               .type = P::Float,
                               .prompt = "Scale the waveform to be merged? Enter dB",
                               .note = "Option to scale the waveform being combined",
                               .unit = "dB",
                               .min = -300,
                               .max = 300};
const PromptSpec kCombineShift{.name = "shift",
                               .type = P::Float,
                               .prompt = "Frequency shift the waveform to be merged? Enter MHz",
                               .note = "Option to Frequency shift the waveform being combined",
                               .unit = "MHz",
                               .min = -5e9,
                               .max = 5e9};

template <CombineMode Mode>
class AddOrSubtract : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        ctx.Status("Combining waveform with another...");
        const int code = LoadSecondWaveform(ctx, kCombineFile, ctx.fileType, w.sampleRate, other_);
        if (code == kErrCancelled) return Refuse(ctx, kCombineCancelled, kErrCancelled);
        if (code != kToolOk) return Refuse(ctx, kInvalidSecond, kErrCombineEmpty);
        const float db = ctx.input->Float(kCombineScale, 0.0f);
        if (!InRange(db, -300, 300)) return Refuse(ctx, kCombineCancelled, kErrScale);
        gain_ = GainFactor(db);
        mhz_ = ctx.input->Float(kCombineShift, 0.0f);
        if (!InRange(mhz_, -5e9, 5e9)) return Refuse(ctx, kCombineCancelled, kErrShift);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        if (std::fabs(gain_ - 1.0f) > 1e-9f && !ScaleSamples(other_, gain_, ctx))
            return kErrStopped;
        // The shift is a frequency at the main waveform's rate, whose samples the second file's
        // join one for one (a rate in the second file's name describes only that file).
        if (std::fabs(mhz_) > 1e-9f &&
            !FrequencyShift(other_, mhz_ * 1e6 / static_cast<double>(w.sampleRate), ctx))
            return kErrStopped;
        return CombineWith(w, other_, Mode, ctx) ? kToolOk : kErrStopped;
    }

private:
    cWaveform other_;
    float gain_ = 1, mhz_ = 0;
};

const ToolRow kAddFileRow{
    .id = kToolAddFile,
    .name = "add-file",
    .summary = "add a waveform read from a file, optionally scaled and shifted",
    .successText = "External waveform combined",
    .failureText = "ERR: External waveform combine failes",
    .prompts = {kCombineFile, kCombineScale, kCombineShift},
    .menu = {.popup = "Combine", .label = "&Add Waveform", .rank = 10},
    .make = Make<AddOrSubtract<CombineMode::Add>>(),
};

const ToolRow kSubtractFileRow{
    .id = kToolSubtractFile,
    .name = "subtract-file",
    .summary = "subtract a waveform read from a file, optionally scaled and shifted",
    .successText = "External waveform combined",
    .failureText = "ERR: External waveform combine failes",
    .prompts = {kCombineFile, kCombineScale, kCombineShift},
    .menu = {.popup = "Combine", .label = "&Subtract Waveform", .rank = 20},
    .make = Make<AddOrSubtract<CombineMode::Subtract>>(),
};

// ---- Mix (536) and replace Q (40010)

template <CombineMode Mode>
class CombineTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        const PromptSpec& file = Mode == CombineMode::ReplaceQ ? kReplaceQFile : kCombineFile;
        const int code = LoadSecondWaveform(ctx, file, ctx.fileType, w.sampleRate, other_);
        if (code == kErrCancelled) return code;
        if (code != kToolOk) return Refuse(ctx, kInvalidSecond, kErrCombineEmpty);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return CombineWith(w, other_, Mode, ctx) ? kToolOk : kErrStopped;
    }

private:
    cWaveform other_;
};

const ToolRow kMixFileRow{
    .id = kToolMixFile,
    .name = "mix-file",
    .summary = "multiply by a waveform read from a file, sample by sample",
    .successText = "External waveform mixed",
    .prompts = {kCombineFile},
    .menu = {.popup = "Combine", .label = "&Mix Waveform", .rank = 30},
    .make = Make<CombineTool<CombineMode::Multiply>>(),
};

const ToolRow kReplaceQRow{
    .id = kToolReplaceQ,
    .name = "replace-q",
    .summary = "replace Q by the I samples of a file",
    .successText = "Q Samples overwritten from external file",
    .prompts = {kReplaceQFile},
    .menu = {.popup = "Combine", .label = "Add/&Replace Q from new file", .rank = 40},
    .make = Make<CombineTool<CombineMode::ReplaceQ>>(),
};

// ---- Level by marker file (39506)

const PromptSpec kMarkerLevel{
    .name = "SSMARKER_LEVEL",
    .type = P::Float,
    .prompt = "Enter desired Target RMS level",
    .note = "The Signal areas covered by the marker file will be leveled to this",
    .key = "SSMARKER_LEVEL",
    .unit = "dBFS",
    .min = -300,
    .max = -1e-5,
    .defaultValue = -18,
    .defaultText = ""};

class MarkerLevel : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        const int code = LoadSecondWaveform(ctx, kMarkerFile, kFileMarker, w.sampleRate, marker_);
        if (code == kErrCancelled) return code;
        if (code != kToolOk) {
            const std::string text =
                "ERR: Marker file could not be read: " + LoadFailureText(marker_);
            ctx.Status(text);
            return kErrLoadFailed;
        }
        if (marker_.sampleCount != w.sampleCount)
            return Refuse(ctx, "ERR: Marker samples length does not match", kErrMarkerLength);
        target_ = ctx.input->Float(kMarkerLevel, -18.0f);
        // A cancelled float prompt answers 1e36, far above any level.
        if (target_ > 1e30f) return Refuse(ctx, "Operation Cancelled", kErrCancelled);
        if (!InRange(target_, -300, -1e-5))
            return Refuse(ctx, "ERR: Invalid Level selected", kErrLevel);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        w.EnsureTimeDomain(true);
        int64_t count = 0;
        const double power = MarkedMeanPower(w, marker_, count);
        if (count == 0) return Refuse(ctx, "ERR: Marker file marks no sample", kErrMarkerEmpty);
        // A silent area has no level to raise: as Set RMS, refuse rather than divide by zero.
        const double levelDb = 10.0 * std::log10(power);
        const auto factor = static_cast<float>(std::pow(10.0, (target_ - levelDb) / 20.0));
        if (!(levelDb >= -1000) || !std::isfinite(factor) || factor <= 0)
            return Refuse(ctx, "ERR: Marked signal area is silent", kErrLevel);
        if (w.sampleCount < 2) return Refuse(ctx, "ERR: Waveform too short to level", kErrTooShort);
        return ScaleSamples(w, factor, ctx) ? kToolOk : kErrStopped;
    }

private:
    cWaveform marker_;
    float target_ = 0;
};

const ToolRow kLevelByMarkerRow{
    .id = kToolMarkerLevel,
    .name = "level-by-marker",
    .summary = "scale the waveform so the areas a marker file marks have a mean power",
    .prompts = {kMarkerFile, kMarkerLevel},
    .menu = {.popup = "Amplitude", .label = "Level by &Marker File", .rank = 90},
    .make = Make<MarkerLevel>(),
};

}  // namespace

void RegisterCombineTools(std::vector<ToolRow>& tools) {
    tools.insert(tools.end(),
                 {kAddFileRow, kSubtractFileRow, kMixFileRow, kReplaceQRow, kLevelByMarkerRow});
}
