// The waveform store: representation changes, copies, scratch exchange, reset and undo.

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <numbers>

#include "test_signals.h"
#include "waveform/waveform.h"

namespace {

constexpr double kPi = std::numbers::pi;

void Fill(cWaveform& w, int n, float scale = 1.0f) {
    w.AllocateScratch(n);
    for (int k = 0; k < n; ++k) {
        w.scratchI[k] = scale * std::sin(0.3f * k + 0.1f);
        w.scratchQ[k] = scale * std::cos(0.7f * k);
    }
    w.SwapScratch();
    w.domainState = DomainState::TimeOnly;
}

TEST(WaveformSpectrum, SizeIsNextPowerOfTwoFromEight) {
    for (auto [n, N] : {std::pair{0, 8}, {5, 8}, {8, 8}, {9, 16}, {1000, 1024}, {65536, 65536}}) {
        cWaveform w;
        Fill(w, n);
        w.EnsureSpectrum(false);
        EXPECT_EQ(w.SpectrumSize(), N) << n;
        EXPECT_EQ(w.SpectrumFloatCount(), 2 * N);
        EXPECT_EQ(w.spectrum.size(), size_t(2 * N));
        EXPECT_EQ(w.sampleCount, n);
    }
}

TEST(WaveformSpectrum, ToneLandsInItsBinScaledByOneOverN) {
    const int N = 64;
    cWaveform w = SignalWave(N, kDefaultSampleRateHz,
                             [](int k) { return std::polar(0.5, 2 * kPi * 3 * k / N); });
    w.EnsureSpectrum(false);
    for (int b = 0; b < N; ++b) {
        EXPECT_NEAR(w.spectrum[2 * b], b == 3 ? 0.5 : 0.0, 1e-6) << b;
        EXPECT_NEAR(w.spectrum[2 * b + 1], 0.0, 1e-6) << b;
    }
}

TEST(WaveformSpectrum, StateTransitionsAndRoundTrip) {
    cWaveform w;
    Fill(w, 1000);
    const FloatArray i0 = w.I, q0 = w.Q;
    const float* iData = w.I.data();

    w.EnsureSpectrum(false);
    EXPECT_EQ(w.domainState, DomainState::Both);
    w.EnsureTimeDomain(false);  // nothing to do from Both
    EXPECT_EQ(w.domainState, DomainState::Both);
    EXPECT_EQ(w.I.data(), iData);

    w.EnsureSpectrum(true);
    EXPECT_EQ(w.domainState, DomainState::SpectrumOnly);
    w.EnsureTimeDomain(false);
    EXPECT_EQ(w.domainState, DomainState::Both);
    ASSERT_EQ(w.sampleCount, 1000);
    for (int k = 0; k < 1000; ++k) {
        EXPECT_NEAR(w.I[k], i0[k], 2e-6);
        EXPECT_NEAR(w.Q[k], q0[k], 2e-6);
    }
    w.EnsureTimeDomain(true);
    EXPECT_EQ(w.domainState, DomainState::TimeOnly);
    w.EnsureSpectrum(true);  // from TimeOnly: transform and mark the samples stale
    EXPECT_EQ(w.domainState, DomainState::SpectrumOnly);
    w.EnsureSpectrum(false);  // already current
    EXPECT_EQ(w.domainState, DomainState::SpectrumOnly);
}

TEST(WaveformSpectrum, EditedSpectrumComesBackAsSamplesOfTheSameCount) {
    // Five samples pad to N = 8. Keep only bin 1 (value 1 after the 1/N scaling): the inverse
    // gives e^{2 pi i k/8} for k = 0..4 and drops the padded tail.
    cWaveform w;
    Fill(w, 5);
    w.EnsureSpectrum(true);
    std::fill(w.spectrum.begin(), w.spectrum.end(), 0.0f);
    w.spectrum[2] = 1.0f;
    w.EnsureTimeDomain(true);
    EXPECT_EQ(w.domainState, DomainState::TimeOnly);
    ASSERT_EQ(w.sampleCount, 5);
    ASSERT_EQ(w.I.size(), 5u);
    for (int k = 0; k < 5; ++k) {
        EXPECT_NEAR(w.I[k], std::cos(2 * kPi * k / 8), 1e-6);
        EXPECT_NEAR(w.Q[k], std::sin(2 * kPi * k / 8), 1e-6);
    }
}

TEST(WaveformCopy, CopiesCurrentFormsAndResetsInstrumentFields) {
    cWaveform src;
    Fill(src, 100);
    src.sampleRate = 30'720'000;
    src.fileType = kFileAsciiIQPair;
    src.title = "a.bin";
    src.centreFrequencyKHz = 1800000.0;
    src.inputRange = 0.5;
    src.saveTypeMode = 1;
    src.filterShape = 3;
    src.rawFile.assign(16, 7);
    src.rawByteCount = 16;
    src.markers.assign(100, 3);
    src.markerCount = 100;

    cWaveform copy(src);
    EXPECT_EQ(copy.sampleCount, 100);
    EXPECT_EQ(copy.I, src.I);
    EXPECT_EQ(copy.Q, src.Q);
    EXPECT_EQ(copy.markers, src.markers);
    EXPECT_EQ(copy.sampleRate, 30'720'000);
    EXPECT_EQ(copy.fileType, kFileAsciiIQPair);
    EXPECT_EQ(copy.centreFrequencyKHz, 0.0);
    EXPECT_EQ(copy.inputRange, 1.0);
    EXPECT_EQ(copy.title, "");
    EXPECT_EQ(copy.saveTypeMode, 0);
    EXPECT_EQ(copy.filterShape, 1);
    EXPECT_TRUE(copy.rawFile.empty());
    EXPECT_EQ(copy.ParseRaw(), 0);  // nothing to re-parse

    // A copy taken while only the spectrum is current has no samples until it is brought back.
    src.EnsureSpectrum(true);
    cWaveform fromSpectrum;
    fromSpectrum.title = "kept";
    fromSpectrum.centreFrequencyKHz = 5.0;
    fromSpectrum.CopyFrom(src);
    EXPECT_EQ(fromSpectrum.title, "kept");
    EXPECT_EQ(fromSpectrum.centreFrequencyKHz, 0.0);
    EXPECT_EQ(fromSpectrum.domainState, DomainState::SpectrumOnly);
    EXPECT_TRUE(fromSpectrum.I.empty());
    fromSpectrum.EnsureTimeDomain(false);
    ASSERT_EQ(fromSpectrum.I.size(), 100u);
    for (int k = 0; k < 100; ++k)
        EXPECT_NEAR(fromSpectrum.I[k], copy.I[k], 2e-6);
}

TEST(WaveformCopy, CopyRangeClipsAtTheEnd) {
    cWaveform src;
    Fill(src, 10);
    src.sampleRate = 1'000'000;
    src.fileType = kFileBin16LeTwos;
    const cWaveform mid = cWaveform::CopyRange(src, 2, 3);
    ASSERT_EQ(mid.sampleCount, 3);
    EXPECT_EQ(mid.I[0], src.I[2]);
    EXPECT_EQ(mid.Q[2], src.Q[4]);
    EXPECT_EQ(mid.sampleRate, 1'000'000);
    EXPECT_EQ(mid.fileType, kFileBin16LeTwos);
    const cWaveform tail = cWaveform::CopyRange(src, 7, 100);
    ASSERT_EQ(tail.sampleCount, 3);
    EXPECT_EQ(tail.I[2], src.I[9]);
    EXPECT_EQ(cWaveform::CopyRange(src, 10, 1).sampleCount, 0);
    EXPECT_EQ(cWaveform::CopyRange(src, 3, 0).sampleCount, 0);
    EXPECT_EQ(cWaveform::CopyRange(src, -1, 4).sampleCount, 0);
}

TEST(WaveformScratch, SwapExchangesArraysWithoutCopying) {
    cWaveform w;
    Fill(w, 4);
    const float* oldI = w.I.data();
    w.AllocateScratch(6);
    const float* newI = w.scratchI.data();
    w.SwapScratch();
    EXPECT_EQ(w.I.data(), newI);
    EXPECT_EQ(w.scratchI.data(), oldI);  // the old samples wait in the scratch slot
    EXPECT_EQ(w.sampleCount, 6);
    EXPECT_EQ(w.scratchCount, 4);
}

TEST(WaveformReset, NewWaveformKeepsRateAndType) {
    cWaveform w;
    Fill(w, 65536);
    w.sampleRate = 7'680'000;
    w.fileType = kFileAsciiHex16;
    w.rawFile.assign(8, 1);
    w.rawByteCount = 8;
    const float* data = w.I.data();
    EXPECT_EQ(w.ResetToNew(), 0);
    EXPECT_EQ(w.I.data(), data);  // zeroed in place
    EXPECT_EQ(w.sampleCount, 65536);
    for (int k = 0; k < 65536; k += 4099)
        EXPECT_EQ(w.I[k], 0.0f);
    EXPECT_EQ(w.title, "New Waveform");
    EXPECT_EQ(w.saveTypeMode, 1);
    EXPECT_EQ(w.rawByteCount, 0);
    EXPECT_EQ(w.ParseRaw(), 0);
    EXPECT_EQ(w.sampleRate, 7'680'000);
    EXPECT_EQ(w.fileType, kFileAsciiHex16);

    cWaveform small;
    Fill(small, 10);
    small.EnsureSpectrum(true);
    small.ResetToNew();
    EXPECT_EQ(small.domainState, DomainState::TimeOnly);
    ASSERT_EQ(small.sampleCount, 65536);
    EXPECT_EQ(small.scratchCount, 10);
    EXPECT_EQ(std::count(small.Q.begin(), small.Q.end(), 0.0f), 65536);
}

TEST(WaveformUndo, TwoUndosRestoreTheEdit) {
    cWaveform main, undo;
    Fill(main, 50);
    const FloatArray before = main.I;
    undo.CopyFrom(main);   // taken before the edit
    Fill(main, 80, 2.0f);  // the edit
    const FloatArray edited = main.I;

    UndoExchange(main, undo);
    EXPECT_EQ(main.sampleCount, 50);
    EXPECT_EQ(main.I, before);
    EXPECT_EQ(undo.I, edited);
    UndoExchange(main, undo);
    EXPECT_EQ(main.sampleCount, 80);
    EXPECT_EQ(main.I, edited);
}

}  // namespace
