#pragma once
// File monitoring: the file last opened is watched for rewrites by another program (an
// instrument, a script) and reloaded into the main waveform, or appended to it, or averaged
// with it, each time it settles after a change.

#include <atomic>
#include <cstdint>
#include <string>

#include "workers/worker_link.h"

class cWaveform;

// What a reload does with the new capture.
enum MonitorMode : int { kMonitorReload = 0, kMonitorAppendMode = 1, kMonitorAverageMode = 2 };
// ReloadExternalUpdate's result when the file cannot be read or decodes to nothing.
constexpr int kErrReloadFailed = 70;
// Appending stops at this length (a status text says so); monitoring goes on.
constexpr int64_t kMaxMonitorSamples = 100'000'000;

// Reads path in the main waveform's file type (the rate from the name, else rateHz) and
// takes it in by mode: reload replaces the samples, append adds them after the samples there,
// average replaces each sample by the mean of old and new when both have the same length
// (otherwise nothing changes). The main waveform's arrays change under link.waveLock and the
// view is recomputed there; its file type, title and raw bytes stay. Appending stops (with a
// status text, the waveform unchanged) where it would pass maxSamples. Returns 0, or
// kErrReloadFailed (the waveform unchanged).
int ReloadExternalUpdate(cWaveform& main, const std::string& path, int mode, int64_t rateHz,
                         const WorkerLink& link, int64_t maxSamples = kMaxMonitorSamples);

// Watches path until stop is set. A change is a new write time, size or file; the reload
// waits until the file has not been written for 20 ms, so a rewrite in several steps is taken
// whole and the last rewrite is never missed. The first pass takes the file as loaded unless
// the waveform is empty. mode may change while it runs.
void RunFileMonitor(cWaveform& main, const std::string& path, const std::atomic<int>& mode,
                    const WorkerLink& link, const std::atomic<bool>& stop);
