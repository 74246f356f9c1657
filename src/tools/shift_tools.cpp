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

const PromptSpec kPhase{"PhaseShift",
                        P::Float,
                        "Enter Phase shift in Degrees",
                        "Complex phase shift +/- 180 Degrees",
                        "PhaseShift",
                        "degrees",
                        -720,
                        720,
                        180,
                        ""};

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

// ---- Frequency shift (509)

const PromptSpec kFreqShift{"Freq_Shift",
                            P::Double,
                            "Enter Frequency shift in MHz",
                            "Complex frequency shift +/-",
                            "Freq_Shift",
                            "MHz",
                            -2e10,
                            2e10,
                            0,
                            "a quarter of the sample rate"};

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

// ---- Shift +Fs/4 (510) or -Fs/4 (537) to DC

template <bool PlusQuarter>
class QuarterShift : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return ShiftQuarterRate(w, PlusQuarter, ctx) ? kToolOk : kErrStopped;
    }
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

// ---- View DC trend (530)

const PromptSpec kTrendLength{"DCTrendSamples",
                              P::Int,
                              "Enter DC Calulation time",
                              "No. samples in which to calc DC average",
                              "DCTrendSamples",
                              "samples",
                              1,
                              2147483646,
                              200,
                              ""};

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

// ---- Time shift, integer (40011) and fractional (40077)

constexpr const char* kBadShift = "ERR: Time Shift failed, invalid shift requested";

const PromptSpec kShiftInt{"timeShiftInt",
                           P::Int,
                           "Enter number of samples to Shift",
                           "Negative shifts are allowed",
                           "timeShiftInt",
                           "samples",
                           -2147483646,
                           2147483646,
                           0,
                           ""};
const PromptSpec kShiftFrac{"timeShiftFrac",
                            P::Double,
                            "Enter fractional Shift",
                            "Negative shifts are allowed",
                            "timeShiftFrac",
                            "samples",
                            -2147483646,
                            2147483646,
                            0,
                            ""};

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

}  // namespace

void RegisterShiftTools(std::vector<ToolInfo>& tools) {
    constexpr const char* kPhaseText[] = {"Phase shifting...", "Phase shift applied",
                                          "ERR: Phase shift failed"};
    tools.push_back({kToolPhaseShift,
                     "phase-shift",
                     "rotate every sample by an angle",
                     kPhaseText[0],
                     kPhaseText[1],
                     kPhaseText[2],
                     {kPhase},
                     Make<PhaseShiftTool<PhaseShiftChannels::Both>>()});
    tools.push_back({kToolPhaseShiftI,
                     "phase-shift-i",
                     "replace I by the I of every sample rotated by an angle",
                     kPhaseText[0],
                     kPhaseText[1],
                     kPhaseText[2],
                     {kPhase},
                     Make<PhaseShiftTool<PhaseShiftChannels::IOnly>>()});
    tools.push_back({kToolPhaseShiftQ,
                     "phase-shift-q",
                     "replace Q by the Q of every sample rotated by an angle",
                     kPhaseText[0],
                     kPhaseText[1],
                     kPhaseText[2],
                     {kPhase},
                     Make<PhaseShiftTool<PhaseShiftChannels::QOnly>>()});
    tools.push_back({kToolFreqShift,
                     "freq-shift",
                     "shift the waveform in frequency",
                     "Frequency shifting...",
                     "Frequency shift applied",
                     "ERR: Frequency shift failed",
                     {kFreqShift},
                     Make<FreqShift>()});
    tools.push_back({kToolShiftPlusQuarter,
                     "shift-plus-fs4",
                     "move +Fs/4 to DC (exact quarter-rate mix)",
                     "shifting Fs/4 to DC...",
                     "Complex Mix -Fs/4",
                     "ERR: Complex Mix -Fs/4 failed",
                     {},
                     Make<QuarterShift<true>>()});
    tools.push_back({kToolShiftMinusQuarter,
                     "shift-minus-fs4",
                     "move -Fs/4 to DC (exact quarter-rate mix)",
                     "shifting -Fs/4 to DC...",
                     "Complex Mix -Fs/4 to DC",
                     "ERR: Complex Mix -Fs/4 failed",
                     {},
                     Make<QuarterShift<false>>()});
    tools.push_back({kToolRemoveDc,
                     "remove-dc",
                     "subtract the mean of I and of Q",
                     "Removing DC Offset...",
                     "DC offset removed",
                     "ERR: DC offset removal Failed",
                     {},
                     Make<RemoveDcTool>()});
    tools.push_back({kToolDcTrend,
                     "dc-trend",
                     "replace the waveform by the means of blocks of samples",
                     "",
                     "DC Trend extracted",
                     "",
                     {kTrendLength},
                     Make<DcTrendTool>()});
    tools.push_back({kToolTimeShift,
                     "time-shift",
                     "rotate the samples circularly: sample k moves to the front",
                     "Time Shifting...",
                     "Time Shift applied",
                     "",
                     {kShiftInt},
                     Make<TimeShiftInt>()});
    tools.push_back({kToolTimeShiftFrac,
                     "time-shift-frac",
                     "rotate the samples circularly by a fractional number of samples",
                     "Time Shifting...",
                     "Time Shift applied",
                     "ERR: Time Shift failed",
                     {kShiftFrac},
                     Make<TimeShiftFrac>()});
}
