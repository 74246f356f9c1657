#include "waveform/partial_reads.h"

#include <sys/stat.h>

#include <mutex>
#include <vector>

namespace {
std::mutex& Lock() {
    static std::mutex lock;
    return lock;
}
// Few entries in any run: a list searched in full is enough.
std::vector<SourceFile>& Reads() {
    static std::vector<SourceFile> reads;
    return reads;
}
}  // namespace

void RememberPartialRead(const SourceFile& source) {
    if (!source.ReadInPart()) return;
    std::lock_guard guard(Lock());
    for (SourceFile& s : Reads())
        if (s.device == source.device && s.inode == source.inode) {
            // The smallest part read is the one a save must not cut to.
            if (source.bytesRead < s.bytesRead || source.fileBytes > s.fileBytes) s = source;
            return;
        }
    Reads().push_back(source);
}

std::optional<SourceFile> PartialReadAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    std::lock_guard guard(Lock());
    // A file no longer than the part read has nothing a save could cut (and an inode number
    // may have been given to a new file since).
    for (const SourceFile& s : Reads())
        if (s.device == static_cast<uint64_t>(st.st_dev) &&
            s.inode == static_cast<uint64_t>(st.st_ino) && st.st_size > s.bytesRead)
            return s;
    return std::nullopt;
}
