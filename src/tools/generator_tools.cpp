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

const PromptSpec kToneFrequency{"AddToneMHz",
                                P::Float,
                                "Enter Frequency of tone in MHz",
                                "Complex tone +/- frequency",
                                "AddToneMHz",
                                "MHz",
                                -kAny,
                                kAny,
                                1.0,
                                ""};
const PromptSpec kToneLevel{
    "AddTonedBFS", P::Float, "Enter Amplitude of tone in dBFS", "", "AddTonedBFS", "dBFS", -300, 0,
    -12,           ""};
const PromptSpec kTonePhase{"AddTonePhase",
                            P::Float,
                            "Enter Phase of tone in Degrees",
                            "",
                            "AddTonePhase",
                            "degrees",
                            -360,
                            360,
                            0,
                            ""};

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

// ---- Multi-tone (40047)

constexpr int kMaxTones = 10000;
const PromptSpec kMultiStart{"AddMultiToneStart",
                             P::Float,
                             "Enter Frequency of Starting tone in MHz",
                             "Complex tone +/- frequency",
                             "AddMultiToneStart",
                             "MHz",
                             -kAny,
                             kAny,
                             -1,
                             ""};
const PromptSpec kMultiStep{"AddMultiToneStop",
                            P::Float,
                            "Enter Tone Frequency step in MHz",
                            "Complex tone +/- frequency",
                            "AddMultiToneStop",
                            "MHz",
                            -kAny,
                            kAny,
                            0.1,
                            ""};
const PromptSpec kMultiCount{"AddMultiToneNum",
                             P::Int,
                             "Enter Number of tones",
                             "",
                             "AddMultiToneNum",
                             "tones",
                             0,
                             kMaxTones,
                             10,
                             ""};
const PromptSpec kMultiLevel{"AddMultiToneLevel",
                             P::Float,
                             "Enter Amplitude of tones in dBFS",
                             "The level of each individual tone",
                             "AddMultiToneLevel",
                             "dBFS",
                             -kAny,
                             kAny,
                             -30,
                             ""};
const PromptSpec kMultiPhase{"phase",
                             P::Text,
                             "Enter Phase of tones in Degrees",
                             "Type RND to randomise the phase of each tone",
                             "",
                             "degrees or RND",
                             -kAny,
                             kAny,
                             0,
                             "RND"};

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

// ---- Swept tone (534)

const PromptSpec kSweepStart{"AddSweptToneMHz1",
                             P::Float,
                             "Enter Starting Frequency in MHz",
                             "Complex tone +/- frequency",
                             "AddSweptToneMHz1",
                             "MHz",
                             -kAny,
                             kAny,
                             1,
                             ""};
const PromptSpec kSweepEnd{"AddSweptToneMHz2",
                           P::Float,
                           "Enter End Frequency in MHz",
                           "",
                           "AddSweptToneMHz2",
                           "MHz",
                           -kAny,
                           kAny,
                           1,
                           ""};
const PromptSpec kSweepLevel{"AddSweptTonedBFS",
                             P::Float,
                             "Enter Amplitude of tone in dBFS",
                             "",
                             "AddSweptTonedBFS",
                             "dBFS",
                             -300,
                             0,
                             -12,
                             ""};

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

// ---- Gaussian noise (503)

const PromptSpec kNoiseLevel{"AddNoise",
                             P::Float,
                             "Enter total noise power in dBFs",
                             "Random Gaussian noise added to each sample",
                             "AddNoise",
                             "dBFS",
                             -300,
                             0,
                             -100,
                             ""};

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

// ---- DC (520 both, 543 I, 544 Q)

constexpr PromptSpec DcSpec(const char* note) {
    return {"AddDC", P::Float, "Enter DC Level in dBFS", note, "AddDC", "dBFS", -300, 0, -40, ""};
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

// ---- Pulse (506)

const PromptSpec kPulse{"AddPulse",
                        P::Float,
                        "Enter Duration of Pulse",
                        "Enter time in seconds",
                        "AddPulse",
                        "s",
                        0,
                        10,
                        0.0001,
                        ""};

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

const PromptSpec kSymbolRate{"ModulationSampleRate",
                             P::Float,
                             "Enter The sample rate",
                             "must be << Fs",
                             "ModulationSampleRate",
                             "Hz",
                             0,
                             kAny,
                             1228800,
                             ""};

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

}  // namespace

void RegisterGeneratorTools(std::vector<ToolInfo>& tools) {
    tools.push_back({kToolAddTone,
                     "tone",
                     "add a complex tone",
                     "Adding CW tone...",
                     "CW Tone Added",
                     "ERR: CW Tone addition failed",
                     {kToneFrequency, kToneLevel, kTonePhase},
                     Make<SingleTone>()});
    tools.push_back({kToolMultiTone,
                     "multi-tone",
                     "add tones at a fixed frequency step",
                     "",
                     "Multi Tones Added.",
                     "",
                     {kMultiStart, kMultiStep, kMultiCount, kMultiLevel, kMultiPhase},
                     Make<MultiTone>()});
    tools.push_back({kToolSweptTone,
                     "swept-tone",
                     "add a linear chirp",
                     "Adding swept tone...",
                     "Swept Tone Added",
                     "ERR: Tone addition failed",
                     {kSweepStart, kSweepEnd, kSweepLevel},
                     Make<SweptTone>()});
    tools.push_back({kToolAddNoise,
                     "noise",
                     "add complex Gaussian noise of a total power",
                     "Adding Gaussian Noise...",
                     "Gaussian noise added",
                     "ERR: Gaussian noise addition failed",
                     {kNoiseLevel},
                     Make<Noise>()});
    tools.push_back({kToolAddPulse,
                     "pulse",
                     "overwrite the start with a pulse of 0.2 + 0.2j",
                     "",
                     "Pulse added",
                     "",
                     {kPulse},
                     Make<Pulse>()});
    tools.push_back({kToolQpsk,
                     "qpsk",
                     "replace by random QPSK symbols, one a sample",
                     "",
                     "QPSK added",
                     "",
                     {},
                     Make<Symbols<4>>()});
    tools.push_back({kToolQam16,
                     "qam16",
                     "replace by random 16QAM symbols, one a sample",
                     "",
                     "16QAM added",
                     "",
                     {},
                     Make<Symbols<16>>()});
    tools.push_back({kToolQam64,
                     "qam64",
                     "replace by shaped 64QAM at a symbol rate",
                     "",
                     "64QAM added",
                     "",
                     {kSymbolRate},
                     Make<Qam64>()});
    tools.push_back({kToolAddDc,
                     "dc",
                     "add DC, positive on I and negative on Q",
                     "Adding DC",
                     "DC Added",
                     "Error: Add DC failed",
                     {kDcBoth},
                     Make<AddDcTool<kToolAddDc>>()});
    tools.push_back({kToolAddDcI,
                     "dc-i",
                     "add DC on I",
                     "Adding DC",
                     "DC Added",
                     "Error: Add DC failed",
                     {kDcI},
                     Make<AddDcTool<kToolAddDcI>>()});
    tools.push_back({kToolAddDcQ,
                     "dc-q",
                     "add DC on Q",
                     "Adding DC",
                     "DC Added",
                     "Error: Add DC failed",
                     {kDcQ},
                     Make<AddDcTool<kToolAddDcQ>>()});
}
