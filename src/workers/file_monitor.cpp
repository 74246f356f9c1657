#include "workers/file_monitor.h"

#include <sys/stat.h>

#include <chrono>
#include <utility>

#include "waveform/file_messages.h"
#include "waveform/sample_edits.h"
#include "waveform/waveform.h"

namespace {

// What identifies one version of a file.
struct Stamp {
    int64_t modifiedNs = 0;
    int64_t size = -1;
    uint64_t inode = 0;
    bool operator==(const Stamp&) const = default;
};

bool ReadStamp(const std::string& path, Stamp& stamp) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    stamp.modifiedNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
    stamp.size = st.st_size;
    stamp.inode = st.st_ino;
    return true;
}

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

constexpr int64_t kSettleNs = 20'000'000;  // unwritten this long: the writer is done

}  // namespace

int ReloadExternalUpdate(cWaveform& main, const std::string& path, int mode, int64_t rateHz,
                         const WorkerLink& link, int64_t maxSamples) {
    cWaveform temp;
    temp.sampleRate = rateHz;
    temp.fileType = main.fileType;
    if (temp.LoadFile(path, true) != 0) return kErrReloadFailed;
    const std::string notes = LoadNotes(temp);  // what this read left out
    if (mode == kMonitorAppendMode) {
        if (static_cast<int64_t>(main.sampleCount) + temp.sampleCount > maxSamples) {
            link.Status("Appending stopped: the waveform would pass " + std::to_string(maxSamples) +
                        " samples");
            return 0;
        }
        cWaveform joined(main);
        joined.EnsureTimeDomain(true);
        AppendSamples(joined, temp);
        joined.sampleRate = main.sampleRate;
        SwapSamples(temp, joined);
    } else if (mode == kMonitorAverageMode) {
        if (temp.sampleCount != main.sampleCount) return 0;
        // The mean of the old and the new capture, sample by sample.
        for (int k = 0; k < temp.sampleCount; ++k) {
            temp.I[k] = 0.5f * (temp.I[k] + main.I[k]);
            temp.Q[k] = 0.5f * (temp.Q[k] + main.Q[k]);
        }
    }
    temp.EnsureTimeDomain(false);
    std::lock_guard lock(*link.waveLock);
    main.I.swap(temp.I);
    main.Q.swap(temp.Q);
    main.sampleCount = temp.sampleCount;
    if (temp.markerCount >= 1) {
        main.markers.swap(temp.markers);
        main.markerCount = temp.markerCount;
    }
    main.sampleRate = temp.sampleRate;
    // The samples now come from this version of the file: how much of it was read goes with
    // them (a save over a file read in part is refused by the reader's record either way).
    if (mode == kMonitorReload) std::swap(main.source, temp.source);
    // The new samples are the only current form: a spectrum of the old ones must not stand.
    main.domainState = DomainState::TimeOnly;
    link.recompute();
    if (!notes.empty()) link.Status(notes);
    return 0;
}

void RunFileMonitor(cWaveform& main, const std::string& path, const std::atomic<int>& mode,
                    const WorkerLink& link, const std::atomic<bool>& stop) {
    Stamp loaded;
    bool haveLoaded = false;
    auto previousReload = std::chrono::steady_clock::now();
    if (main.sampleCount > 0 && ReadStamp(path, loaded)) haveLoaded = true;  // as opened
    while (!stop.load()) {
        Stamp now;
        if (!ReadStamp(path, now) || (haveLoaded && now == loaded) ||
            NowNs() - now.modifiedNs < kSettleNs) {
            WorkerLink::Pause(10);
            continue;
        }
        const int m = mode.load();
        const int64_t rate = main.sampleRate;
        if (ReloadExternalUpdate(main, path, m, rate, link) == 0) {
            const auto t = std::chrono::steady_clock::now();
            if (link.onReload)
                link.onReload(std::chrono::duration<double>(t - previousReload).count());
            previousReload = t;
        }
        // A file that cannot be read counts as seen too: the next change is tried afresh.
        loaded = now;
        haveLoaded = true;
        WorkerLink::Pause(10);
    }
}
