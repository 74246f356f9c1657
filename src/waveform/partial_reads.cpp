#include "waveform/partial_reads.h"

#include <fcntl.h>
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

// The creation time of path (relative to dirfd), 0 where the file system keeps none.
int64_t BirthNs(int dirfd, const char* path, int flags) {
    struct statx sx {};
    if (::statx(dirfd, path, flags, STATX_BTIME, &sx) != 0 || !(sx.stx_mask & STATX_BTIME))
        return 0;
    return static_cast<int64_t>(sx.stx_btime.tv_sec) * 1'000'000'000 + sx.stx_btime.tv_nsec;
}

// A record and the file now at its device and inode are one file: the same creation time, or
// a file system that keeps none.
bool SameBirth(int64_t recorded, int64_t now) {
    return recorded == 0 || now == 0 || recorded == now;
}

}  // namespace

int64_t FileBirthNs(int fd) { return BirthNs(fd, "", AT_EMPTY_PATH); }

void RememberPartialRead(const SourceFile& source) {
    if (!source.ReadInPart()) return;
    std::lock_guard guard(Lock());
    for (SourceFile& s : Reads())
        if (s.device == source.device && s.inode == source.inode &&
            SameBirth(s.bornNs, source.bornNs)) {
            // The smallest part read is the one a save must not cut to.
            if (source.bytesRead < s.bytesRead || source.fileBytes > s.fileBytes) s = source;
            return;
        }
    Reads().push_back(source);
}

std::optional<SourceFile> PartialReadAt(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    const int64_t born = BirthNs(AT_FDCWD, path.c_str(), 0);
    std::lock_guard guard(Lock());
    // A file no longer than the part read has nothing a save could cut (and an inode number
    // may have been given to a new file since).
    for (const SourceFile& s : Reads())
        if (s.device == static_cast<uint64_t>(st.st_dev) &&
            s.inode == static_cast<uint64_t>(st.st_ino) && SameBirth(s.bornNs, born) &&
            st.st_size > s.bytesRead)
            return s;
    return std::nullopt;
}
