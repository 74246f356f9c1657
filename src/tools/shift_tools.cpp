// The rotation tools (phase, frequency, quarter rate, time) and the DC tools: their prompts,
// checks and texts around the operations of shift_ops.h and modifier_ops.h.

#include <cmath>
#include <cstdlib>

#include "tools/modifier_ops.h"
#include "tools/shift_ops.h"
#include "tools/tool_checks.h"
#include "tools/tool_groups.h"
#include "waveform/waveform.h"

namespace {

using P = PromptType;

// ---- Phase shift (521 both, 40048 I only, 40049 Q only)

const PromptSpec kPhase{.name = "PhaseShift",
                        .type = P::Float,
                        .prompt = "Enter Phase shift in Degrees",
                        .note = "Complex phase shift +/- 180 Degrees",
                        .key = "PhaseShift",
                        .unit = "degrees",
                        .min = -720,
                        .max = 720,
                        .defaultValue = 180};

constexpr const char* kPhaseText[] = {"Phase shifting...", "Phase shift applied",
                                      "ERR: Phase shift failed"};

template <PhaseShiftChannels Channels>
class PhaseShiftTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        degrees_ = ctx.input->Float(kPhase, 180.0f);
        if (!InRange(degrees_, -720, 720))
            return Refuse(ctx, "ERR: Invalid Phase shift required", kErrPhase);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return RotatePhase(w, degrees_, Channels, ctx) ? kToolOk : kErrStopped;
    }

private:
    float degrees_ = 0;
};

const ToolRow kPhaseShiftRow{
    .id = kToolPhaseShift,
    .name = "phase-shift",
    .summary = "rotate every sample by an angle",
    .progressText = kPhaseText[0],
    .successText = kPhaseText[1],
    .failureText = kPhaseText[2],
    .prompts = {kPhase},
    .menu = {.popup = "Shift", .label = "&Phase Shift", .rank = 30},
    .make = Make<PhaseShiftTool<PhaseShiftChannels::Both>>(),
};

const ToolRow kPhaseShiftIRow{
    .id = kToolPhaseShiftI,
    .name = "phase-shift-i",
    .summary = "replace I by the I of every sample rotated by an angle",
    .progressText = kPhaseText[0],
    .successText = kPhaseText[1],
    .failureText = kPhaseText[2],
    .prompts = {kPhase},
    .menu = {.popup = "Shift", .label = "Phase Shift &I only", .rank = 10},
    .make = Make<PhaseShiftTool<PhaseShiftChannels::IOnly>>(),
};

const ToolRow kPhaseShiftQRow{
    .id = kToolPhaseShiftQ,
    .name = "phase-shift-q",
    .summary = "replace Q by the Q of every sample rotated by an angle",
    .progressText = kPhaseText[0],
    .successText = kPhaseText[1],
    .failureText = kPhaseText[2],
    .prompts = {kPhase},
    .menu = {.popup = "Shift", .label = "Phase Shift &Q only", .rank = 20},
    .make = Make<PhaseShiftTool<PhaseShiftChannels::QOnly>>(),
};

// ---- Frequency shift (509)

const PromptSpec kFreqShift{.name = "Freq_Shift",
                            .type = P::Double,
                            .prompt = "Enter Frequency shift in MHz",
                            .note = "Complex frequency shift +/-",
                            .key = "Freq_Shift",
                            .unit = "MHz",
                            .min = -2e10,
                            .max = 2e10,
                            .defaultText = "a quarter of the sample rate"};

class FreqShift : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        mhz_ = ctx.input->Double(kFreqShift, static_cast<double>(w.sampleRate) / 4e6);
        if (!InRange(mhz_, -2e10, 2e10))
            return Refuse(ctx, "ERR: Invalid Frequency shift requested", kErrShift);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        w.EnsureTimeDomain(true);
        if (w.sampleCount < 1) return kErrEmpty;
        if (std::fabs(mhz_) < 1e-30) return kToolOk;
        if (w.sampleRate <= 0) return kErrFrequency;
        return FrequencyShift(w, mhz_ * 1e6 / static_cast<double>(w.sampleRate), ctx) ? kToolOk
                                                                                      : kErrStopped;
    }

private:
    double mhz_ = 0;
};

const ToolRow kFreqShiftRow{
    .id = kToolFreqShift,
    .name = "freq-shift",
    .summary = "shift the waveform in frequency",
    .progressText = "Frequency shifting...",
    .successText = "Frequency shift applied",
    .failureText = "ERR: Frequency shift failed",
    .prompts = {kFreqShift},
    .menu = {.popup = "Shift", .label = "&Freq Shift", .rank = 40},
    .make = Make<FreqShift>(),
};

// ---- Shift +Fs/4 (510) or -Fs/4 (537) to DC

template <bool PlusQuarter>
class QuarterShift : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return ShiftQuarterRate(w, PlusQuarter, ctx) ? kToolOk : kErrStopped;
    }
};

const ToolRow kShiftPlusFs4Row{
    .id = kToolShiftPlusQuarter,
    .name = "shift-plus-fs4",
    .summary = "move +Fs/4 to DC (exact quarter-rate mix)",
    .progressText = "shifting Fs/4 to DC...",
    .successText = "Complex Mix -Fs/4",
    .failureText = "ERR: Complex Mix -Fs/4 failed",
    .menu = {.popup = "Shift", .label = "Shift &+FS/4 to DC", .rank = 50},
    .make = Make<QuarterShift<true>>(),
};

const ToolRow kShiftMinusFs4Row{
    .id = kToolShiftMinusQuarter,
    .name = "shift-minus-fs4",
    .summary = "move -Fs/4 to DC (exact quarter-rate mix)",
    .progressText = "shifting -Fs/4 to DC...",
    .successText = "Complex Mix -Fs/4 to DC",
    .failureText = "ERR: Complex Mix -Fs/4 failed",
    .menu = {.popup = "Shift", .label = "Shift &-FS/4 to DC", .rank = 60},
    .make = Make<QuarterShift<false>>(),
};

// ---- Remove DC (531)

class RemoveDcTool : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        w.EnsureTimeDomain(true);
        if (w.sampleCount < 1) return kErrEmpty;
        return RemoveDc(w, ctx) ? kToolOk : kErrStopped;
    }
};

const ToolRow kRemoveDcRow{
    .id = kToolRemoveDc,
    .name = "remove-dc",
    .summary = "subtract the mean of I and of Q",
    .progressText = "Removing DC Offset...",
    .successText = "DC offset removed",
    .failureText = "ERR: DC offset removal Failed",
    .menu = {.popup = "DC", .label = "&Remove DC", .rank = 40},
    .make = Make<RemoveDcTool>(),
};

// ---- View DC trend (530)

const PromptSpec kTrendLength{.name = "DCTrendSamples",
                              .type = P::Int,
                              .prompt = "Enter DC Calulation time",
                              .note = "No. samples in which to calc DC average",
                              .key = "DCTrendSamples",
                              .unit = "samples",
                              .min = 1,
                              .max = 2147483646,
                              .defaultValue = 200};

class DcTrendTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        length_ = ctx.input->Int(kTrendLength, 200);
        if (!(length_ >= 1 && length_ <= int64_t{w.sampleCount} - 1)) return kErrLengthOrCount;
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return DcTrend(w, length_, ctx) ? kToolOk : kErrStopped;
    }

private:
    int64_t length_ = 1;
};

const ToolRow kDcTrendRow{
    .id = kToolDcTrend,
    .name = "dc-trend",
    .summary = "replace the waveform by the means of blocks of samples",
    .successText = "DC Trend extracted",
    .prompts = {kTrendLength},
    .menu = {.popup = "DC", .label = "&View DC Trend", .rank = 50},
    .make = Make<DcTrendTool>(),
};

// ---- Time shift, integer (40011) and fractional (40077)

constexpr const char* kBadShift = "ERR: Time Shift failed, invalid shift requested";

const PromptSpec kShiftInt{.name = "timeShiftInt",
                           .type = P::Int,
                           .prompt = "Enter number of samples to Shift",
                           .note = "Negative shifts are allowed",
                           .key = "timeShiftInt",
                           .unit = "samples",
                           .min = -2147483646,
                           .max = 2147483646};
const PromptSpec kShiftFrac{.name = "timeShiftFrac",
                            .type = P::Double,
                            .prompt = "Enter fractional Shift",
                            .note = "Negative shifts are allowed",
                            .key = "timeShiftFrac",
                            .unit = "samples",
                            .min = -2147483646,
                            .max = 2147483646};

class TimeShiftInt : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        shift_ = ctx.input->Int(kShiftInt, 0);
        if (!(std::llabs(shift_) <= int64_t{w.sampleCount} - 1))
            return Refuse(ctx, kBadShift, kErrTimeShift);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        if (shift_ == 0) return kToolOk;
        return RotateSamples(w, shift_, ctx) ? kToolOk : kErrStopped;
    }

private:
    int64_t shift_ = 0;
};

const ToolRow kTimeShiftRow{
    .id = kToolTimeShift,
    .name = "time-shift",
    .summary = "rotate the samples circularly: sample k moves to the front",
    .progressText = "Time Shifting...",
    .successText = "Time Shift applied",
    .prompts = {kShiftInt},
    .menu = {.popup = "Shift", .label = "&Time Shift (Integer)", .rank = 70},
    .make = Make<TimeShiftInt>(),
};

class TimeShiftFrac : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        shift_ = ctx.input->Double(kShiftFrac, 0.0);
        if (!(std::fabs(shift_) <= static_cast<double>(w.sampleCount) - 1))
            return Refuse(ctx, kBadShift, kErrTimeShift);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        if (std::fabs(shift_) < 0.001) return kToolOk;
        if (w.sampleCount < 2) return kErrTooShort;
        return FractionalTimeShift(w, shift_, ctx) ? kToolOk : kErrStopped;
    }

private:
    double shift_ = 0;
};

const ToolRow kTimeShiftFracRow{
    .id = kToolTimeShiftFrac,
    .name = "time-shift-frac",
    .summary = "rotate the samples circularly by a fractional number of samples",
    .progressText = "Time Shifting...",
    .successText = "Time Shift applied",
    .failureText = "ERR: Time Shift failed",
    .prompts = {kShiftFrac},
    .menu = {.popup = "Shift", .label = "Time Shift (Fr&actional)", .rank = 80},
    .make = Make<TimeShiftFrac>(),
};

}  // namespace

void RegisterShiftTools(std::vector<ToolRow>& tools) {
    tools.insert(tools.end(),
                 {kPhaseShiftRow, kPhaseShiftIRow, kPhaseShiftQRow, kFreqShiftRow, kShiftPlusFs4Row,
                  kShiftMinusFs4Row, kRemoveDcRow, kDcTrendRow, kTimeShiftRow, kTimeShiftFracRow});
}
