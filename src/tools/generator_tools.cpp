// The generator tools: their prompts, checks and texts around the operations of
// generator_ops.h.

#include <cmath>
#include <numbers>
#include <string>

#include "dsp/random.h"
#include "tools/generator_ops.h"
#include "tools/length_ops.h"
#include "tools/tool_groups.h"
#include "waveform/waveform.h"

namespace {

using P = PromptType;
constexpr double kAny = 1e20;  // the widest frequency and level the tools accept

// A level in dBFS as the amplitude it stands for, in single precision (not finite above about
// +770 dBFS, which the tools refuse).
float Amplitude(float levelDb) { return std::pow(10.0f, levelDb / 20.0f); }
// Degrees to radians in single precision.
float Radians(float degrees) {
    return degrees * static_cast<float>(2.0 * std::numbers::pi) / 360.0f;
}
double CyclesPerSample(double mhz, const cWaveform& w) {
    return mhz * 1e6 / static_cast<double>(w.sampleRate);
}
int Refuse(const ToolContext& ctx, const char* text, int code) {
    if (*text) ctx.Status(text);
    return code;
}

// ---- Single tone (504)

const PromptSpec kToneFrequency{.name = "AddToneMHz",
                                .type = P::Float,
                                .prompt = "Enter Frequency of tone in MHz",
                                .note = "Complex tone +/- frequency",
                                .key = "AddToneMHz",
                                .unit = "MHz",
                                .min = -kAny,
                                .max = kAny,
                                .defaultValue = 1.0};
const PromptSpec kToneLevel{.name = "AddTonedBFS",
                            .type = P::Float,
                            .prompt = "Enter Amplitude of tone in dBFS",
                            .key = "AddTonedBFS",
                            .unit = "dBFS",
                            .min = -300,
                            .defaultValue = -12};
const PromptSpec kTonePhase{.name = "AddTonePhase",
                            .type = P::Float,
                            .prompt = "Enter Phase of tone in Degrees",
                            .key = "AddTonePhase",
                            .unit = "degrees",
                            .min = -360,
                            .max = 360};

class SingleTone : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        mhz_ = ctx.input->Float(kToneFrequency, 1.0f);
        if (!InRange(mhz_, -kAny, kAny))
            return Refuse(ctx, "ERR: Invalid Frequency Requested", kErrFrequency);
        const float level = ctx.input->Float(kToneLevel, -12.0f);
        if (!InRange(level, -300, 0))
            return Refuse(ctx, "ERR: Invalid Amplitude Requested", kErrLevel);
        amplitude_ = Amplitude(level);
        const float phase = ctx.input->Float(kTonePhase, 0.0f);
        if (!InRange(phase, -360, 360))
            return Refuse(ctx, "ERR: Invalid Phase Requested", kErrPhase);
        phase_ = Radians(phase);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return AddTone(w, CyclesPerSample(mhz_, w), phase_, amplitude_, ctx) ? kToolOk
                                                                             : kErrStopped;
    }

private:
    float mhz_ = 0, amplitude_ = 0, phase_ = 0;
};

const ToolRow kToneRow{
    .id = kToolAddTone,
    .name = "tone",
    .summary = "add a complex tone",
    .progressText = "Adding CW tone...",
    .successText = "CW Tone Added",
    .failureText = "ERR: CW Tone addition failed",
    .prompts = {kToneFrequency, kToneLevel, kTonePhase},
    .menu = {.popup = "Add Tone", .label = "&Single Tone", .rank = 10},
    .make = Make<SingleTone>(),
};

// ---- Multi-tone (40047)

constexpr int kMaxTones = 10000;
const PromptSpec kMultiStart{.name = "AddMultiToneStart",
                             .type = P::Float,
                             .prompt = "Enter Frequency of Starting tone in MHz",
                             .note = "Complex tone +/- frequency",
                             .key = "AddMultiToneStart",
                             .unit = "MHz",
                             .min = -kAny,
                             .max = kAny,
                             .defaultValue = -1};
const PromptSpec kMultiStep{.name = "AddMultiToneStop",
                            .type = P::Float,
                            .prompt = "Enter Tone Frequency step in MHz",
                            .note = "Complex tone +/- frequency",
                            .key = "AddMultiToneStop",
                            .unit = "MHz",
                            .min = -kAny,
                            .max = kAny,
                            .defaultValue = 0.1};
const PromptSpec kMultiCount{.name = "AddMultiToneNum",
                             .type = P::Int,
                             .prompt = "Enter Number of tones",
                             .key = "AddMultiToneNum",
                             .unit = "tones",
                             .max = kMaxTones,
                             .defaultValue = 10};
const PromptSpec kMultiLevel{.name = "AddMultiToneLevel",
                             .type = P::Float,
                             .prompt = "Enter Amplitude of tones in dBFS",
                             .note = "The level of each individual tone",
                             .key = "AddMultiToneLevel",
                             .unit = "dBFS",
                             .min = -kAny,
                             .max = kAny,
                             .defaultValue = -30};
const PromptSpec kMultiPhase{.name = "phase",
                             .type = P::Text,
                             .prompt = "Enter Phase of tones in Degrees",
                             .note = "Type RND to randomise the phase of each tone",
                             .unit = "degrees or RND",
                             .min = -kAny,
                             .max = kAny,
                             .defaultText = "RND"};

class MultiTone : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        // Failed checks end the tool without a text, as the tool always did; the two limits
        // added here (the count, a level beyond a float) say what went wrong.
        start_ = ctx.input->Float(kMultiStart, -1.0f);
        if (!InRange(start_, -kAny, kAny)) return kErrFrequency;
        step_ = ctx.input->Float(kMultiStep, 0.1f);
        if (!InRange(step_, -kAny, kAny)) return kErrFrequency;
        count_ = ctx.input->Int(kMultiCount, 10);
        if (count_ > kMaxTones)
            return Refuse(ctx, "ERR: Too many tones requested (at most 10000)", kErrLengthOrCount);
        const float level = ctx.input->Float(kMultiLevel, -30.0f);
        if (!InRange(level, -kAny, kAny)) return kErrLevel;
        amplitude_ = Amplitude(level);
        if (!std::isfinite(amplitude_))
            return Refuse(ctx, "ERR: Invalid Amplitude Requested", kErrLevel);
        const std::string phase = ctx.input->Text(kMultiPhase, "RND");
        random_ = phase == "RND";
        if (!random_) {
            const double degrees = std::atof(phase.c_str());
            if (!InRange(degrees, -kAny, kAny)) return kErrPhase;
            phase_ = Radians(static_cast<float>(degrees));
        }
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        w.EnsureTimeDomain(true);
        const int64_t n = w.sampleCount;
        if (count_ <= 0) return kToolOk;
        cRandom rng;
        if (random_) rng.Seed(ctx.seed ? ctx.seed() : -1);
        w.AllocateScratch(static_cast<int>(n));
        // The first tone reads the samples, the others add to the result so far; it replaces
        // the samples only when every tone is in.
        for (int i = 0; i < count_; ++i) {
            ctx.Status("Adding Tone " + std::to_string(i) + " of " + std::to_string(count_) +
                       "...");
            const float phase = random_ ? Radians(360.0f * rng.Uniform() - 180.0f) : phase_;
            const bool first = i == 0;
            const double mhz = static_cast<double>(start_) + i * static_cast<double>(step_);
            if (!AddToneInto(first ? w.I.data() : w.scratchI.data(),
                             first ? w.Q.data() : w.scratchQ.data(), w.scratchI.data(),
                             w.scratchQ.data(), n, CyclesPerSample(mhz, w), phase, amplitude_, ctx))
                return kErrStopped;
        }
        w.SwapScratch();
        return kToolOk;
    }

private:
    float start_ = 0, step_ = 0, amplitude_ = 0, phase_ = 0;
    int count_ = 0;
    bool random_ = true;
};

const ToolRow kMultiToneRow{
    .id = kToolMultiTone,
    .name = "multi-tone",
    .summary = "add tones at a fixed frequency step",
    .successText = "Multi Tones Added.",
    .prompts = {kMultiStart, kMultiStep, kMultiCount, kMultiLevel, kMultiPhase},
    .menu = {.popup = "Add Tone", .label = "&Multi-Tone", .rank = 20},
    .make = Make<MultiTone>(),
};

// ---- Swept tone (534)

const PromptSpec kSweepStart{.name = "AddSweptToneMHz1",
                             .type = P::Float,
                             .prompt = "Enter Starting Frequency in MHz",
                             .note = "Complex tone +/- frequency",
                             .key = "AddSweptToneMHz1",
                             .unit = "MHz",
                             .min = -kAny,
                             .max = kAny,
                             .defaultValue = 1};
const PromptSpec kSweepEnd{.name = "AddSweptToneMHz2",
                           .type = P::Float,
                           .prompt = "Enter End Frequency in MHz",
                           .key = "AddSweptToneMHz2",
                           .unit = "MHz",
                           .min = -kAny,
                           .max = kAny,
                           .defaultValue = 1};
const PromptSpec kSweepLevel{.name = "AddSweptTonedBFS",
                             .type = P::Float,
                             .prompt = "Enter Amplitude of tone in dBFS",
                             .key = "AddSweptTonedBFS",
                             .unit = "dBFS",
                             .min = -300,
                             .defaultValue = -12};

class SweptTone : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        f1_ = ctx.input->Float(kSweepStart, 1.0f);
        if (!InRange(f1_, -kAny, kAny))
            return Refuse(ctx, "ERR: Invalid Frequency Requested", kErrFrequency);
        f2_ = ctx.input->Float(kSweepEnd, 1.0f);
        if (!InRange(f2_, -kAny, kAny))
            return Refuse(ctx, "ERR: Invalid Frequency Requested", kErrFrequency);
        const float level = ctx.input->Float(kSweepLevel, -12.0f);
        if (!InRange(level, -300, 0))
            return Refuse(ctx, "ERR: Invalid Amplitude Requested", kErrLevel);
        amplitude_ = Amplitude(level);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return AddChirp(w, CyclesPerSample(f1_, w), CyclesPerSample(f2_, w), amplitude_, ctx)
                   ? kToolOk
                   : kErrStopped;
    }

private:
    float f1_ = 0, f2_ = 0, amplitude_ = 0;
};

const ToolRow kSweptToneRow{
    .id = kToolSweptTone,
    .name = "swept-tone",
    .summary = "add a linear chirp",
    .progressText = "Adding swept tone...",
    .successText = "Swept Tone Added",
    .failureText = "ERR: Tone addition failed",
    .prompts = {kSweepStart, kSweepEnd, kSweepLevel},
    .menu = {.popup = "Add Tone", .label = "S&wept-Tone", .rank = 30},
    .make = Make<SweptTone>(),
};

// ---- Gaussian noise (503)

const PromptSpec kNoiseLevel{.name = "AddNoise",
                             .type = P::Float,
                             .prompt = "Enter total noise power in dBFs",
                             .note = "Random Gaussian noise added to each sample",
                             .key = "AddNoise",
                             .unit = "dBFS",
                             .min = -300,
                             .defaultValue = -100};

class Noise : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        const float level = ctx.input->Float(kNoiseLevel, -100.0f);
        if (!InRange(level, -300, 0))
            return Refuse(ctx, "ERR: Invalid noise level requested", kErrNoiseLevel);
        amplitude_ = Amplitude(level);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        cRandom rng;
        rng.Seed(ctx.seed ? ctx.seed() : -1);
        return AddGaussianNoise(w, amplitude_, rng, ctx) ? kToolOk : kErrStopped;
    }

private:
    float amplitude_ = 0;
};

const ToolRow kNoiseRow{
    .id = kToolAddNoise,
    .name = "noise",
    .summary = "add complex Gaussian noise of a total power",
    .progressText = "Adding Gaussian Noise...",
    .successText = "Gaussian noise added",
    .failureText = "ERR: Gaussian noise addition failed",
    .prompts = {kNoiseLevel},
    .menu = {.popup = "", .label = "Add &Noise", .rank = 60},
    .make = Make<Noise>(),
};

// ---- DC (520 both, 543 I, 544 Q)

constexpr PromptSpec DcSpec(const char* note) {
    return {.name = "AddDC",
            .type = P::Float,
            .prompt = "Enter DC Level in dBFS",
            .note = note,
            .key = "AddDC",
            .unit = "dBFS",
            .min = -300,
            .defaultValue = -40};
}
const PromptSpec kDcBoth = DcSpec("Equal Positive I and Negative Q DC shift");
const PromptSpec kDcI = DcSpec("I DC shift");
const PromptSpec kDcQ = DcSpec("Q DC shift");

template <int Mode>
class AddDcTool : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform&) override {
        const PromptSpec& question = Mode == kToolAddDc    ? kDcBoth
                                     : Mode == kToolAddDcI ? kDcI
                                                           : kDcQ;
        const float level = ctx.input->Float(question, -40.0f);
        if (!InRange(level, -300, 0))
            return Refuse(ctx, "Error: Add DC failed due to invalid requested level", kErrDcLevel);
        amplitude_ = Amplitude(level);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        float i = 0, q = 0;
        if (Mode == kToolAddDc) {
            i = amplitude_ * 0.70710677f;
            q = -i;
        } else if (Mode == kToolAddDcI) {
            i = amplitude_;
        } else {
            q = amplitude_;
        }
        return AddDc(w, i, q, ctx) ? kToolOk : kErrStopped;
    }

private:
    float amplitude_ = 0;
};

const ToolRow kDcRow{
    .id = kToolAddDc,
    .name = "dc",
    .summary = "add DC, positive on I and negative on Q",
    .progressText = "Adding DC",
    .successText = "DC Added",
    .failureText = "Error: Add DC failed",
    .prompts = {kDcBoth},
    .menu = {.popup = "DC", .label = "&Add DC", .rank = 10},
    .make = Make<AddDcTool<kToolAddDc>>(),
};

const ToolRow kDcIRow{
    .id = kToolAddDcI,
    .name = "dc-i",
    .summary = "add DC on I",
    .progressText = "Adding DC",
    .successText = "DC Added",
    .failureText = "Error: Add DC failed",
    .prompts = {kDcI},
    .menu = {.popup = "DC", .label = "Add DC on &I", .rank = 20},
    .make = Make<AddDcTool<kToolAddDcI>>(),
};

const ToolRow kDcQRow{
    .id = kToolAddDcQ,
    .name = "dc-q",
    .summary = "add DC on Q",
    .progressText = "Adding DC",
    .successText = "DC Added",
    .failureText = "Error: Add DC failed",
    .prompts = {kDcQ},
    .menu = {.popup = "DC", .label = "Add DC on &Q", .rank = 30},
    .make = Make<AddDcTool<kToolAddDcQ>>(),
};

// ---- Pulse (506)

const PromptSpec kPulse{.name = "AddPulse",
                        .type = P::Float,
                        .prompt = "Enter Duration of Pulse",
                        .note = "Enter time in seconds",
                        .key = "AddPulse",
                        .unit = "s",
                        .max = 10,
                        .defaultValue = 0.0001};

class Pulse : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        const float seconds = ctx.input->Float(kPulse, 0.0001f);
        if (!InRange(seconds, 0, 10)) return kErrLengthOrCount;
        // Checked before anything is taken or changed: a pulse longer than the waveform is
        // refused with the waveform and the undo copy as they were.
        // Counted as Set Length counts seconds: the duration typed, not its float's product.
        length_ = static_cast<int64_t>(SamplesInSeconds(seconds, w.sampleRate));
        if (length_ > w.sampleCount)
            return Refuse(ctx, "Invalid Pulse Duration", kErrLengthOrCount);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        return OverwritePulse(w, length_, ctx) ? kToolOk : kErrStopped;
    }

private:
    int64_t length_ = 0;
};

const ToolRow kPulseRow{
    .id = kToolAddPulse,
    .name = "pulse",
    .summary = "overwrite the start with a pulse of 0.2 + 0.2j",
    .successText = "Pulse added",
    .prompts = {kPulse},
    .menu = {.popup = "", .label = "Add &Pulse", .rank = 80},
    .make = Make<Pulse>(),
};

// ---- QPSK (721), 16QAM (40091), 64QAM (40039)

template <int Points>
class Symbols : public cTool {
public:
    int Ask(ToolContext&, const cWaveform&) override { return kToolOk; }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        cRandom rng;
        rng.Seed(ctx.seed ? ctx.seed() : -1);
        return ReplaceBySymbols(w, Points, rng, ctx) ? kToolOk : kErrStopped;
    }
};

const ToolRow kQpskRow{
    .id = kToolQpsk,
    .name = "qpsk",
    .summary = "replace by random QPSK symbols, one a sample",
    .successText = "QPSK added",
    .menu = {.popup = "", .label = "Replace by &QPSK", .rank = 90},
    .make = Make<Symbols<4>>(),
};

const ToolRow kQam16Row{
    .id = kToolQam16,
    .name = "qam16",
    .summary = "replace by random 16QAM symbols, one a sample",
    .successText = "16QAM added",
    .menu = {.popup = "", .label = "Replace by 1&6QAM", .rank = 100},
    .make = Make<Symbols<16>>(),
};

const PromptSpec kSymbolRate{.name = "ModulationSampleRate",
                             .type = P::Float,
                             .prompt = "Enter The sample rate",
                             .note = "must be << Fs",
                             .key = "ModulationSampleRate",
                             .unit = "Hz",
                             .max = kAny,
                             .defaultValue = 1228800};

class Qam64 : public cTool {
public:
    int Ask(ToolContext& ctx, const cWaveform& w) override {
        const float rate = ctx.input->Float(kSymbolRate, 1228800.0f);
        const double fs = static_cast<double>(w.sampleRate);
        if (!(rate >= 0 && rate <= fs))
            return Refuse(ctx, "ERR: Invalid symbol rate requested", kErrFrequency);
        // A rate of 0 has no samples-per-symbol value; a symbol longer than the waveform
        // would wrap its pulse onto itself many times over, far past full scale.
        const double perSymbol = fs / rate;
        if (!(perSymbol <= 1e9))
            return Refuse(ctx, "ERR: Invalid symbol rate requested", kErrFrequency);
        if (perSymbol > static_cast<double>(w.sampleCount))
            return Refuse(ctx,
                          "ERR: Invalid symbol rate requested: a symbol would last longer than "
                          "the waveform",
                          kErrFrequency);
        samplesPerSymbol_ = static_cast<int64_t>(perSymbol + 0.5);
        return kToolOk;
    }
    int Apply(ToolContext& ctx, cWaveform& w) override {
        cRandom rng;
        rng.Seed(ctx.seed ? ctx.seed() : -1);
        return ReplaceByShapedQam64(w, samplesPerSymbol_, rng, ctx) ? kToolOk : kErrStopped;
    }

private:
    int64_t samplesPerSymbol_ = 1;
};

const ToolRow kQam64Row{
    .id = kToolQam64,
    .name = "qam64",
    .summary = "replace by shaped 64QAM at a symbol rate",
    .successText = "64QAM added",
    .prompts = {kSymbolRate},
    .menu = {.popup = "", .label = "Replace by 6&4QAM", .rank = 110},
    .make = Make<Qam64>(),
};

}  // namespace

void RegisterGeneratorTools(std::vector<ToolRow>& tools) {
    tools.insert(tools.end(), {kToneRow, kMultiToneRow, kSweptToneRow, kNoiseRow, kPulseRow,
                               kQpskRow, kQam16Row, kQam64Row, kDcRow, kDcIRow, kDcQRow});
}
