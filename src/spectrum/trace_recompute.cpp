#include "spectrum/trace_recompute.h"

#include <algorithm>
#include <chrono>

#include "waveform/waveform.h"

bool IsRealWaveform(const cWaveform& wave) {
    const int n = std::min<int>(wave.sampleCount, static_cast<int>(wave.Q.size()));
    return std::all_of(wave.Q.begin(), wave.Q.begin() + n, [](float q) { return q == 0.0f; });
}

void cSpectrumRecompute::Recompute(cSpectrumTrace& trace, const cWaveform& wave,
                                   const SpectrumSettings& settings,
                                   const std::atomic<bool>& stopRequest,
                                   const RecomputeHooks& hooks, int start) {
    // Claimed first and atomically: a recompute from another thread, or from inside a
    // callback, returns at once instead of consuming the recompute-needed flag.
    if (busy.exchange(true)) return;
    auto finish = [&] {
        busy = false;
        if (hooks.measure) hooks.measure();
        if (hooks.redraw) hooks.redraw();
    };
    auto shownKind = [&] { return hooks.spectrumKind ? hooks.spectrumKind() : kSpectrumIQ; };
    SpectrumKind kind = shownKind();
    if (kind == kSpectrumNone) {
        busy = false;
        if (hooks.redraw) hooks.redraw();
        return;
    }
    if (hooks.maskMeasurementActive && hooks.maskMeasurementActive()) recomputeNeeded = true;
    if (!recomputeNeeded.exchange(false)) {
        finish();
        return;
    }
    if (wave.sampleCount < 8) {
        // Too short for a frame: no trace, so no panel shows values of an earlier waveform.
        trace.traceValid = false;
        framesLastRecompute = 0;
        finish();
        return;
    }
    const auto t0 = std::chrono::steady_clock::now();

    const bool real = IsRealWaveform(wave);
    const bool overview = hooks.overview && hooks.overview();
    if (real && !lastWasReal && !overview && kind != kSpectrumI && kind != kSpectrumQ) {
        if (hooks.selectKind) hooks.selectKind(kSpectrumI);
    } else if (!real && lastWasReal && !overview && (kind == kSpectrumI || kind == kSpectrumQ)) {
        if (hooks.selectKind) hooks.selectKind(kSpectrumIQ);
    }
    lastWasReal = real;
    kind = shownKind();

    const int N = settings.fftSize;
    const int L = std::min(N, wave.sampleCount);
    trace.phaseWanted = settings.phaseWanted;
    // "I" and "Q" are the real transform of one channel, 0 .. fs/2, whatever the waveform.
    const bool realFrame = real || kind == kSpectrumI || kind == kSpectrumQ;
    trace.Setup(settings.acCoupling, L, N, settings.window, wave.sampleRate, !realFrame);
    trace.firstSampleInFile = wave.source.firstSample;

    const int step = std::max(1, N / std::max(1, settings.frameStepDivisor));
    framesLastRecompute = 0;
    bool first = true;
    for (int64_t s = start; s >= 0 && s + L <= wave.sampleCount && !stopRequest.load(); s += step) {
        if (!settings.averaging || first) {
            trace.resetRequest = true;
            first = false;
        }
        if (trace.RunFrame(kind, wave, static_cast<int>(s)) == 0) ++framesLastRecompute;
        if (!settings.averaging) break;
    }

    lastDurationSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    finish();
}
