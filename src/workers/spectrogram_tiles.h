#pragma once
// Spectrogram rows computed in tiles on worker threads and kept within a memory budget (the
// least recently used tile goes first), and the screen assembled from them: each pixel row
// merges the rows it covers by the hold of the settings (LevelFor), so no frame is skipped at
// any zoom. Nothing here waits for a
// tile: what is not computed yet is NaN and is requested, the visible tiles first.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "spectrum/spectrogram.h"

struct SpectrogramTile {
    int64_t samplesPerRow = 0, firstRow = 0;
    int rows = 0, points = 0;
    std::vector<float> db;  // rows × points
};

// A screen's worth of merged rows: pixel row y covers samples [first + y·step, first + (y+1)·step).
struct SpectrogramScreen {
    double firstSample = 0, samplesPerPixel = 1;
    int rows = 0, points = 0;
    std::vector<float> db;  // rows × points; NaN where a tile is still missing
    int missingRows = 0;
    std::string error;  // why a tile could not be computed (the reader's reason), or ""
};

class cSpectrogramTiles {
public:
    explicit cSpectrogramTiles(int threads = 2, size_t budgetBytes = size_t{512} << 20);
    ~cSpectrogramTiles();
    cSpectrogramTiles(const cSpectrogramTiles&) = delete;
    cSpectrogramTiles& operator=(const cSpectrogramTiles&) = delete;

    // A new source or new settings: drops every tile and request, stops the tiles being
    // computed and waits for them, so the old reader is no longer called once this returns.
    void SetSource(SampleReader read, int64_t totalSamples, const SpectrogramSettings& settings);
    const SpectrogramSettings& Settings() const { return settings_; }
    int64_t TotalSamples() const { return total_; }
    // Rows per tile at the settings' FFT size (about 256 KB of rows, at least 4).
    int RowsPerTile() const;

    // Merges the rows of the screen from the tiles held, and asks the workers for the missing
    // ones (the queue is replaced by them: a screen scrolled past is not computed).
    void Assemble(double firstSample, double samplesPerPixel, int pixelRows,
                  SpectrogramScreen& out);

    // Called from a worker thread when a tile is ready.
    std::function<void()> onTileReady;

    size_t HeldBytes() const;
    int TilesComputed() const;

    // The rows a screen step is made of (samples per row, a power of two). Zoomed in (a step
    // of at most the hop), each pixel row shows the one row at its start, no coarser than the
    // step. Zoomed out, each merges every row it overlaps; rows of a quarter of the step (but
    // at least the hop) make the count per pixel row nearly even, so noise shows no bands.
    static int64_t LevelFor(double samplesPerPixel, int64_t hop);

private:
    using Key = std::pair<int64_t, int64_t>;  // samplesPerRow, tile index
    struct Job {
        Key key;
        uint64_t generation = 0;
    };
    void WorkerLoop();
    void StopJobsAndWait(std::unique_lock<std::mutex>& lock);
    std::shared_ptr<const SpectrogramTile> FindLocked(const Key& key);

    mutable std::mutex mutex_;
    std::condition_variable wake_, idle_;
    std::vector<std::thread> threads_;
    bool quit_ = false;
    uint64_t generation_ = 1;
    SampleReader read_;
    int64_t total_ = 0;
    SpectrogramSettings settings_;
    size_t budget_;
    size_t held_ = 0;
    int computed_ = 0;
    std::string error_;
    std::list<Key> lru_;  // most recent first
    std::map<Key, std::pair<std::shared_ptr<const SpectrogramTile>, std::list<Key>::iterator>>
        tiles_;
    std::vector<Key> queue_;                                     // next first
    std::map<Key, std::shared_ptr<std::atomic<bool>>> running_;  // value: its cancel flag
};
