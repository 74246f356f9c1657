#pragma once
// Play-through: the spectrum stepped through the waveform one FFT-sized segment at a time
// with 50 % overlap, the main waveform holding just the segment shown, until a stop request;
// then the whole waveform is put back.

#include <atomic>

#include "workers/worker_link.h"

class cWaveform;

// True when segments of fftSize fit the waveform at least twice (play-through refuses more:
// "FFT Size to large engage playback. Reduce FFT Size").
bool PlayThroughFits(int fftSize, int sampleCount);

// Runs on the worker thread until stop is set. An FFT size change restarts at sample 0; a
// segment that would pass the end restarts at 0. On return the main waveform holds all its
// samples again and has been recomputed.
void RunPlayThrough(cWaveform& main, const WorkerLink& link, const std::atomic<bool>& stop);
