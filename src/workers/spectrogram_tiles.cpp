#include "workers/spectrogram_tiles.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <set>

cSpectrogramTiles::cSpectrogramTiles(int threads, size_t budgetBytes) : budget_(budgetBytes) {
    for (int t = 0; t < std::max(1, threads); ++t)
        threads_.emplace_back([this] { WorkerLoop(); });
}

cSpectrogramTiles::~cSpectrogramTiles() {
    {
        std::unique_lock lock(mutex_);
        quit_ = true;
        queue_.clear();
        for (auto& [key, cancel] : running_)
            *cancel = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_)
        t.join();
}

namespace {
// The largest power of two not above x, at least 1.
int64_t PowerOfTwoBelow(double x) {
    int64_t p = 1;
    while (p <= (int64_t{1} << 40) && static_cast<double>(p * 2) <= x)
        p *= 2;
    return p;
}
}  // namespace

int64_t cSpectrogramTiles::LevelFor(double samplesPerPixel, int64_t hop) {
    if (samplesPerPixel <= static_cast<double>(hop)) return PowerOfTwoBelow(samplesPerPixel);
    int64_t atLeastHop = 1;
    while (atLeastHop < hop)
        atLeastHop *= 2;
    const int64_t S = std::max(atLeastHop, PowerOfTwoBelow(samplesPerPixel / 4));
    return static_cast<double>(S) <= samplesPerPixel ? S : PowerOfTwoBelow(samplesPerPixel);
}

int cSpectrogramTiles::RowsPerTile() const {
    return std::clamp((1 << 16) / std::max(1, settings_.fftSize), 4, 64);
}

size_t cSpectrogramTiles::HeldBytes() const {
    std::lock_guard lock(mutex_);
    return held_;
}

int cSpectrogramTiles::TilesComputed() const {
    std::lock_guard lock(mutex_);
    return computed_;
}

void cSpectrogramTiles::StopJobsAndWait(std::unique_lock<std::mutex>& lock) {
    queue_.clear();
    for (auto& [key, cancel] : running_)
        *cancel = true;
    idle_.wait(lock, [this] { return running_.empty(); });
}

void cSpectrogramTiles::SetSource(SampleReader read, int64_t totalSamples,
                                  const SpectrogramSettings& settings) {
    std::unique_lock lock(mutex_);
    ++generation_;
    StopJobsAndWait(lock);
    tiles_.clear();
    lru_.clear();
    held_ = 0;
    error_.clear();
    read_ = std::move(read);
    total_ = std::max<int64_t>(0, totalSamples);
    settings_ = settings;
}

std::shared_ptr<const SpectrogramTile> cSpectrogramTiles::FindLocked(const Key& key) {
    auto it = tiles_.find(key);
    if (it == tiles_.end()) return nullptr;
    lru_.splice(lru_.begin(), lru_, it->second.second);
    return it->second.first;
}

void cSpectrogramTiles::Assemble(double firstSample, double samplesPerPixel, int pixelRows,
                                 SpectrogramScreen& out) {
    std::unique_lock lock(mutex_);
    const int N = settings_.fftSize;
    const int R = RowsPerTile();
    const int64_t hop = settings_.Hop();
    const int64_t S = LevelFor(samplesPerPixel, hop);
    const bool zoomedIn = samplesPerPixel <= static_cast<double>(hop);
    const bool peak = settings_.hold == SpectrogramHold::kPeak;
    out.firstSample = firstSample;
    out.samplesPerPixel = samplesPerPixel;
    out.rows = std::max(0, pixelRows);
    out.points = N;
    out.db.assign(static_cast<size_t>(out.rows) * N, std::numeric_limits<float>::quiet_NaN());
    out.missingRows = 0;
    out.error = error_;
    if (!read_) return;

    std::vector<Key> wanted;
    std::set<Key> wantedSet;
    std::map<int64_t, std::shared_ptr<const SpectrogramTile>> found;  // this screen's tiles
    auto tileOf = [&](int64_t t) -> const SpectrogramTile* {
        auto f = found.find(t);
        if (f != found.end()) return f->second.get();
        auto tile = FindLocked({S, t});
        found[t] = tile;
        return tile.get();
    };
    std::vector<double> mean(static_cast<size_t>(N));
    for (int y = 0; y < out.rows; ++y) {
        const double a = firstSample + y * samplesPerPixel;
        const double b = a + samplesPerPixel;
        if (b <= 0 || a >= static_cast<double>(total_)) continue;
        const int64_t r0 = std::max<int64_t>(0, static_cast<int64_t>(std::floor(a / S)));
        // Zoomed in, rows as close as the hop or closer: the one at the pixel row's start.
        const int64_t r1 = zoomedIn ? r0 : std::max(r0, static_cast<int64_t>(std::ceil(b / S)) - 1);
        bool missing = false;
        for (int64_t r = r0; r <= r1; ++r) {
            if (r * S >= total_) break;
            if (!tileOf(r / R)) {
                missing = true;
                const Key key{S, r / R};
                if (wantedSet.insert(key).second) wanted.push_back(key);
            }
        }
        if (missing) {
            ++out.missingRows;
            continue;
        }
        float* dst = out.db.data() + static_cast<size_t>(y) * N;
        int merged = 0;
        std::fill(mean.begin(), mean.end(), 0.0);
        for (int64_t r = r0; r <= r1 && r * S < total_; ++r, ++merged) {
            const SpectrogramTile* tile = tileOf(r / R);
            const float* src = tile->db.data() + static_cast<size_t>(r - tile->firstRow) * N;
            if (peak) {
                for (int k = 0; k < N; ++k)
                    dst[k] = merged == 0 ? src[k] : std::max(dst[k], src[k]);
            } else {
                for (int k = 0; k < N; ++k)
                    mean[static_cast<size_t>(k)] += std::pow(10.0, src[k] / 10.0);
            }
        }
        if (!peak && merged > 0)
            for (int k = 0; k < N; ++k)
                dst[k] =
                    static_cast<float>(10.0 * std::log10(mean[static_cast<size_t>(k)] / merged));
    }

    // The queue becomes this screen's missing tiles; tiles being computed for another screen
    // stop.
    queue_.clear();
    for (const Key& key : wanted)
        if (!running_.count(key)) queue_.push_back(key);
    for (auto& [key, cancel] : running_)
        if (!wantedSet.count(key)) *cancel = true;
    const bool work = !queue_.empty();
    lock.unlock();
    if (work) wake_.notify_all();
}

void cSpectrogramTiles::WorkerLoop() {
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
        if (quit_) return;
        const Key key = queue_.front();
        queue_.erase(queue_.begin());
        if (tiles_.count(key) || running_.count(key)) continue;
        auto cancel = std::make_shared<std::atomic<bool>>(false);
        running_[key] = cancel;
        const uint64_t generation = generation_;
        const SampleReader read = read_;
        const int64_t total = total_;
        const SpectrogramSettings settings = settings_;
        const int R = RowsPerTile();
        lock.unlock();

        auto tile = std::make_shared<SpectrogramTile>();
        tile->samplesPerRow = key.first;
        tile->firstRow = key.second * R;
        tile->rows = R;
        tile->points = settings.fftSize;
        tile->db.resize(static_cast<size_t>(R) * settings.fftSize);
        cSpectrogramRows rows(settings);
        WorkControl control;
        control.stop = cancel.get();
        const std::string why =
            rows.Compute(read, total, key.first, tile->firstRow, R, tile->db.data(), &control);

        lock.lock();
        running_.erase(key);
        const bool keep = generation == generation_ && !*cancel;
        if (keep) {
            if (!why.empty()) {
                // Kept as an empty tile, so the screen does not ask for it again and again.
                error_ = why;
                std::fill(tile->db.begin(), tile->db.end(),
                          std::numeric_limits<float>::quiet_NaN());
            }
            lru_.push_front(key);
            tiles_[key] = {tile, lru_.begin()};
            held_ += tile->db.size() * sizeof(float);
            ++computed_;
            while (held_ > budget_ && lru_.size() > 1) {
                const Key old = lru_.back();
                lru_.pop_back();
                held_ -= tiles_[old].first->db.size() * sizeof(float);
                tiles_.erase(old);
            }
        }
        idle_.notify_all();
        if (keep && onTileReady) {
            lock.unlock();
            onTileReady();
            lock.lock();
        }
    }
}
