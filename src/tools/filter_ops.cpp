#include "tools/filter_ops.h"

#include <cmath>
#include <numbers>

#include "dsp/fft.h"
#include "tools/failure_codes.h"
#include "tools/progress_phase.h"
#include "tools/resized_result.h"
#include "waveform/waveform.h"

namespace {

// Positions beyond this are outside any spectrum; refusing them first keeps the conversions
// to integers defined.
constexpr double kFarPosition = 4e18;

int64_t EvenDown(int64_t k) { return k % 2 != 0 ? k - 1 : k; }
int64_t OddUp(int64_t k) { return k % 2 == 0 ? k + 1 : k; }
double EvenDown(double k) { return std::fmod(k, 2.0) != 0 ? k - 1 : k; }

// trunc(x) as a position, or -1 (outside every spectrum) when x is not a usable number.
int64_t TruncPosition(double x) {
    return std::fabs(x) < kFarPosition ? static_cast<int64_t>(x) : -1;
}
int64_t RoundPosition(double x) {
    return std::fabs(x) < kFarPosition ? static_cast<int64_t>(std::round(x)) : -1;
}

// A transition of no width on a pass edge would divide 0 by 0; it stands for one bin.
double Width(double w) { return w == 0 ? 2.0 : w; }

void Multiply(float* s, int64_t at, float g) {
    s[at] *= g;
    s[at + 1] *= g;
}

struct Walk {
    int64_t k1;
    double w, k2;
};

// Positions of a pass edge walked upwards (low-pass, band-pass above the band).
Walk Upwards(int64_t k1, double stopPosition) {
    const double w = Width(stopPosition - static_cast<double>(k1));
    return {k1, w, EvenDown(std::round(static_cast<double>(k1) + w))};
}
// Positions of a pass edge walked downwards (high-pass, band-pass below the band).
Walk Downwards(int64_t k1, double stopPosition) {
    const double w = Width(static_cast<double>(k1) - stopPosition);
    return {k1, w, EvenDown(std::round(static_cast<double>(k1) - w))};
}

int LowPass(float* s, int64_t nf, const FftFilterPlan& f) {
    const int64_t L = 2 * nf;
    const int64_t k1 = EvenDown(RoundPosition(f.edge1 * static_cast<double>(L)));
    if (k1 < 0 || k1 >= L) return kErrFilterEdge;
    if (!s) return kToolOk;
    const Walk w = Upwards(k1, f.edge2 * static_cast<double>(L));
    for (int64_t i = k1; i < nf; i += 2) {
        const double g =
            static_cast<double>(i) < w.k2 ? RollOffGain(f.shape, double(i - k1) / w.w) : 0.0;
        Multiply(s, i, static_cast<float>(g));
        Multiply(s, L - i - 2, static_cast<float>(g));
    }
    return kToolOk;
}

int HighPass(float* s, int64_t nf, const FftFilterPlan& f) {
    const int64_t L = 2 * nf;
    const int64_t k1 = OddUp(TruncPosition(f.edge2 * static_cast<double>(L)));
    if (k1 < 0 || k1 >= L) return kErrFilterEdge;
    if (!s) return kToolOk;
    const Walk w = Downwards(k1, f.edge1 * static_cast<double>(L));
    for (int64_t i = k1; i > 0; i -= 2) {
        const double g =
            static_cast<double>(i) < w.k2 ? 0.0 : RollOffGain(f.shape, double(k1 - i) / w.w);
        Multiply(s, i - 1, static_cast<float>(g));
        Multiply(s, L - i - 1, static_cast<float>(g));
    }
    return kToolOk;
}

// Band filters address a frequency axis from −Fs/2 (position 0) to just under +Fs/2 (L).
double Position(double u, int64_t L) { return (u + 0.5) * static_cast<double>(L); }
int64_t Wrap(int64_t i, int64_t nf) { return i + nf >= 2 * nf ? i - nf : i + nf; }

int BandPass(float* s, int64_t nf, const FftFilterPlan& f) {
    const int64_t L = 2 * nf;
    const double span = std::fabs(f.span);
    const int64_t upper = EvenDown(TruncPosition(Position(f.edge2, L)));
    const int64_t lower = OddUp(TruncPosition(Position(f.edge1, L)));
    if (upper < 0 || upper >= L || lower < 0 || lower >= L) return kErrFilterEdge;
    if (!s) return kToolOk;
    const Walk up = Upwards(upper, Position(f.edge2 + span, L));
    for (int64_t i = upper; i < L; i += 2) {
        const double g =
            static_cast<double>(i) < up.k2 ? RollOffGain(f.shape, double(i - upper) / up.w) : 0.0;
        Multiply(s, Wrap(i, nf), static_cast<float>(g));
    }
    const Walk down = Downwards(lower, Position(f.edge1 - span, L));
    for (int64_t i = lower; i >= 1; i -= 2) {
        const double g = static_cast<double>(i) < down.k2
                             ? 0.0
                             : RollOffGain(f.shape, double(lower - i) / down.w);
        Multiply(s, Wrap(i, nf) - 1, static_cast<float>(g));
    }
    return kToolOk;
}

int BandStop(float* s, int64_t nf, const FftFilterPlan& f) {
    const int64_t L = 2 * nf;
    const double span = std::fabs(f.span);
    const double w = span * static_cast<double>(L);
    const int64_t lower = EvenDown(TruncPosition(Position(f.edge1 - span, L)));
    const int64_t upper = OddUp(TruncPosition(Position(f.edge2 + span, L)));
    if (lower < 0 || lower >= L || upper < 0 || upper >= L) return kErrFilterEdge;
    if (!s) return kToolOk;
    // Each transition walks from its outer edge to the middle of the band and stops there.
    const int64_t middle = TruncPosition(Position((f.edge1 + f.edge2) / 2, L));
    const double length = std::trunc(w + 0.5);
    for (int64_t i = lower; i < L; i += 2) {
        const double g =
            double(i - lower) < length ? RollOffGain(f.shape, double(i - lower) / w) : 0.0;
        Multiply(s, Wrap(i, nf), static_cast<float>(g));
        if (i >= middle) break;
    }
    for (int64_t i = upper; i >= 1; i -= 2) {
        const double g =
            double(upper - i) < length ? RollOffGain(f.shape, double(upper - i) / w) : 0.0;
        Multiply(s, Wrap(i, nf) - 1, static_cast<float>(g));
        if (i <= middle) break;
    }
    return kToolOk;
}

}  // namespace

FilterShape ShapeOf(int filterShape) {
    return filterShape == 2   ? FilterShape::RaisedCosine
           : filterShape == 3 ? FilterShape::RootRaisedCosine
                              : FilterShape::Gaussian;
}

double RollOffGain(FilterShape shape, double t) {
    if (!(t < 1.0)) return 0.0;
    switch (shape) {
        case FilterShape::RaisedCosine: return (std::cos(std::numbers::pi * t) + 1.0) * 0.5;
        case FilterShape::RootRaisedCosine:
            return std::sqrt((std::cos(std::numbers::pi * t) + 1.0) * 0.5);
        case FilterShape::Gaussian: break;
    }
    return std::exp(t * t / -0.07957747154594767);  // exp(−4π·t²)
}

int ApplyFftFilterMask(float* spectrum, int64_t nf, const FftFilterPlan& plan) {
    switch (plan.kind) {
        case FftFilterKind::LowPass: return LowPass(spectrum, nf, plan);
        case FftFilterKind::HighPass: return HighPass(spectrum, nf, plan);
        case FftFilterKind::BandPass: return BandPass(spectrum, nf, plan);
        case FftFilterKind::BandStop: return BandStop(spectrum, nf, plan);
    }
    return kErrFilterEdge;
}

int FftFilter(cWaveform& wave, const FftFilterPlan& plan, const WorkControl& ctx) {
    const int64_t n = wave.sampleCount;
    if (!HasSpectrumForm(n)) return kErrTooLong;
    if (wave.domainState != DomainState::TimeOnly) {
        if (const int code = ApplyFftFilterMask(nullptr, wave.SpectrumSize(), plan);
            code != kToolOk)
            return code;
        wave.EnsureSpectrum(true);
        return ApplyFftFilterMask(wave.spectrum.data(), wave.SpectrumSize(), plan);
    }
    const int64_t nf = SpectrumSizeFor(n);
    if (const int code = ApplyFftFilterMask(nullptr, nf, plan); code != kToolOk) return code;
    // Both transforms here rather than the inverse left for later: a long one then shows
    // progress and a stop leaves the samples as they were.
    FloatArray points(static_cast<size_t>(2 * nf));
    if (const int code = ForwardSpectrum(wave.I.data(), wave.Q.data(), n, points.data(), nf,
                                         ProgressPhase(ctx, 0, 45));
        code != kToolOk)
        return code;
    ApplyFftFilterMask(points.data(), nf, plan);
    if (ctx.StopRequested()) return kErrStopped;
    if (const int code = WatchedTransform(points.data(), nf, +1, ProgressPhase(ctx, 50, 95));
        code != kToolOk)
        return code;
    PrepareResizedResult(wave, n);
    if (!Deinterleave(points.data(), n, wave.scratchI.data(), wave.scratchQ.data(),
                      ProgressPhase(ctx, 95, 100))) {
        DropResizedResult(wave);
        return kErrStopped;
    }
    TakeResizedResult(wave);
    return kToolOk;
}

bool ChannelFilterPlan(int lteBandwidthMHz, double centreHz, int64_t rateHz, FftFilterPlan& plan) {
    struct Channel {
        int bandwidthMHz;
        double passHz, stopHz;  // half-widths
    };
    static constexpr Channel kChannels[] = {{1, 550000, 700000},    {3, 1360000, 1500000},
                                            {5, 2270000, 2500000},  {10, 4540000, 5000000},
                                            {15, 6810000, 7500000}, {20, 9080000, 10000000},
                                            {0, 1497600, 2342400}};
    const Channel* ch = nullptr;
    for (const Channel& c : kChannels)
        if (c.bandwidthMHz == lteBandwidthMHz) ch = &c;
    if (!ch) return false;
    const bool umts = lteBandwidthMHz == 0;
    const double fs = static_cast<double>(rateHz);
    plan.shape = umts ? FilterShape::RootRaisedCosine : FilterShape::RaisedCosine;
    const bool atZero = umts ? std::fabs(centreHz) < 1e-8 : std::fabs(centreHz) <= 1e-8;
    if (atZero) {
        plan.kind = FftFilterKind::LowPass;
        plan.edge1 = ch->passHz / fs;
        plan.edge2 = ch->stopHz / fs;
        plan.span = 0;
    } else {
        plan.kind = FftFilterKind::BandPass;
        plan.edge1 = (centreHz - ch->passHz) / fs;
        plan.edge2 = (centreHz + ch->passHz) / fs;
        plan.span = (ch->stopHz - ch->passHz) / fs;
    }
    return true;
}
