#include "workers/play_through.h"

#include <utility>

#include "waveform/waveform.h"

namespace {
// Exchanges what makes the samples shown: both arrays, the count and the markers.
void ExchangeSamples(cWaveform& a, cWaveform& b) {
    a.I.swap(b.I);
    a.Q.swap(b.Q);
    std::swap(a.sampleCount, b.sampleCount);
    a.markers.swap(b.markers);
    std::swap(a.markerCount, b.markerCount);
}
}  // namespace

bool PlayThroughFits(int fftSize, int sampleCount) { return fftSize <= sampleCount / 2; }

void RunPlayThrough(cWaveform& main, const WorkerLink& link, const std::atomic<bool>& stop) {
    cWaveform source;
    {
        std::lock_guard lock(*link.waveLock);
        main.EnsureTimeDomain(false);
        source.CopyFrom(main);
    }
    int64_t position = 0;
    int lastN = link.fftSize();
    while (!stop.load()) {
        const int N = link.fftSize();
        if (N != lastN) {
            position = 0;
            lastN = N;
        }
        if (position + N > source.sampleCount) position = 0;
        cWaveform segment(source, static_cast<int>(position), N);
        {
            std::lock_guard lock(*link.waveLock);
            ExchangeSamples(main, segment);
            main.domainState = DomainState::TimeOnly;
            link.recompute();
        }
        if (link.onSegment) link.onSegment(position);
        position += N / 2;
        WorkerLink::Pause(10);
        // The segment now holds the previous arrays; they go here, outside the lock, as no one
        // but this thread can reach them.
    }
    std::lock_guard lock(*link.waveLock);
    ExchangeSamples(main, source);
    main.domainState = DomainState::TimeOnly;
    link.recompute();
}
