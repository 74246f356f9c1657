#include "waveform/waveform.h"

#include <algorithm>
#include <cstring>

#include "dsp/fft.h"

cWaveform::cWaveform(const cWaveform& src, int start, int count) {
    sampleRate = src.sampleRate;
    fileType = src.fileType;
    if (start < 0 || start >= src.sampleCount || count < 1) return;
    if (static_cast<int64_t>(start) + count > src.sampleCount) count = src.sampleCount - start;
    if (count < 1 || static_cast<int>(src.I.size()) < start + count ||
        static_cast<int>(src.Q.size()) < start + count)
        return;
    I.assign(src.I.begin() + start, src.I.begin() + start + count);
    Q.assign(src.Q.begin() + start, src.Q.begin() + start + count);
    sampleCount = count;
}

void cWaveform::Clear() {
    ReleaseArray(scratchI);
    ReleaseArray(scratchQ);
    ReleaseArray(I);
    ReleaseArray(Q);
    ReleaseArray(spectrum);
    ReleaseArray(markers);
    ReleaseArray(rawFile);
    sampleCount = 0;
    spectrumFloatCount = 0;
    markerCount = 0;
    scratchCount = 0;
    centreFrequencyKHz = 0.0;
    inputRange = 1.0;
}

void cWaveform::CopyFrom(const cWaveform& src) {
    if (&src == this) return;
    Clear();
    sampleCount = src.sampleCount;
    spectrumFloatCount = src.spectrumFloatCount;
    markerCount = src.markerCount;
    spectrumSize = src.spectrumSize;
    domainState = src.domainState;
    fileType = src.fileType;
    sampleRate = src.sampleRate;
    if (sampleCount >= 1 && domainState != DomainState::SpectrumOnly) {
        I = src.I;
        Q = src.Q;
    }
    if (spectrumFloatCount >= 1 && domainState != DomainState::TimeOnly) spectrum = src.spectrum;
    if (markerCount >= 1) markers = src.markers;
}

void cWaveform::AllocateScratch(int n) {
    ReleaseArray(scratchI);
    ReleaseArray(scratchQ);
    const size_t size = n > 0 ? static_cast<size_t>(n) : 0;
    scratchI.resize(size);
    scratchQ.resize(size);
    scratchCount = n > 0 ? n : 0;
}

void cWaveform::SwapScratch() {
    I.swap(scratchI);
    Q.swap(scratchQ);
    std::swap(sampleCount, scratchCount);
}

void cWaveform::EnsureSpectrum(bool willModify) {
    if (domainState != DomainState::TimeOnly) {
        if (willModify) domainState = DomainState::SpectrumOnly;
        return;
    }
    int64_t n = 8;
    while (n < sampleCount)
        n *= 2;
    spectrumSize = static_cast<int>(n);
    spectrumFloatCount = static_cast<int>(2 * n);
    ReleaseArray(spectrum);
    spectrum.resize(static_cast<size_t>(2 * n));
    float* s = spectrum.data();
    for (int k = 0; k < sampleCount; ++k) {
        s[2 * k] = I[k];
        s[2 * k + 1] = Q[k];
    }
    std::fill(s + 2 * static_cast<int64_t>(sampleCount), s + 2 * n, 0.0f);
    ComplexFFT(s, n, -1);
    const float scale = 1.0f / static_cast<float>(n);
    for (int64_t k = 0; k < 2 * n; ++k)
        s[k] *= scale;
    domainState = willModify ? DomainState::SpectrumOnly : DomainState::Both;
}

void cWaveform::EnsureTimeDomain(bool willModify) {
    if (domainState != DomainState::SpectrumOnly) {
        if (willModify) domainState = DomainState::TimeOnly;
        return;
    }
    FloatArray temp(spectrum.begin(), spectrum.begin() + spectrumFloatCount);
    ComplexFFT(temp.data(), spectrumSize, +1);
    const int n = sampleCount;
    AllocateScratch(n);
    for (int k = 0; k < n; ++k) {
        scratchI[k] = temp[2 * k];
        scratchQ[k] = temp[2 * k + 1];
    }
    SwapScratch();
    domainState = willModify ? DomainState::TimeOnly : DomainState::Both;
}

int cWaveform::ResetToNew() {
    domainState = DomainState::TimeOnly;
    if (sampleCount != kNewWaveformLength) {
        AllocateScratch(kNewWaveformLength);
        std::fill(scratchI.begin(), scratchI.end(), 0.0f);
        std::fill(scratchQ.begin(), scratchQ.end(), 0.0f);
        SwapScratch();
    } else {
        std::fill(I.begin(), I.end(), 0.0f);
        std::fill(Q.begin(), Q.end(), 0.0f);
    }
    rawByteCount = 0;
    ReleaseArray(rawFile);  // nothing can re-parse it any more
    source = SourceFile{};
    unparsedLines = 0;
    nonFiniteValues = 0;
    recording = RecordingInfo{};
    saveTypeMode = 1;
    title = "New Waveform";
    return 0;
}

void UndoExchange(cWaveform& main, cWaveform& undo) {
    const cWaveform temporary(main);
    main.CopyFrom(undo);
    undo.CopyFrom(temporary);
}

void SwapFileOrigin(cWaveform& a, cWaveform& b) {
    a.rawFile.swap(b.rawFile);
    std::swap(a.rawByteCount, b.rawByteCount);
    std::swap(a.source, b.source);
    std::swap(a.unparsedLines, b.unparsedLines);
    std::swap(a.nonFiniteValues, b.nonFiniteValues);
    std::swap(a.recording, b.recording);
}

void SwapSamples(cWaveform& a, cWaveform& b) {
    std::swap(a.sampleCount, b.sampleCount);
    std::swap(a.sampleRate, b.sampleRate);
    a.I.swap(b.I);
    a.Q.swap(b.Q);
    a.spectrum.swap(b.spectrum);
    std::swap(a.spectrumFloatCount, b.spectrumFloatCount);
    std::swap(a.spectrumSize, b.spectrumSize);
    a.markers.swap(b.markers);
    std::swap(a.markerCount, b.markerCount);
    std::swap(a.domainState, b.domainState);
    std::swap(a.fileType, b.fileType);
}

const SigmfSegment* RecordingInfo::SegmentAt(int64_t s) const {
    if (segments.empty()) return nullptr;
    const SigmfSegment* found = &segments.front();
    for (const SigmfSegment& segment : segments)
        if (segment.firstSample <= s && segment.firstSample >= found->firstSample) found = &segment;
    return found;
}
