#include "waveform/fast_file.h"

#include <fcntl.h>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

CFastFile::CFastFile(int fd) : fd_(fd), buffer_(new char[kBufferBytes]) {
    if (fd_ < 0) failed_ = true;
}

CFastFile::~CFastFile() {
    if (fd_ >= 0) {
        Flush();
        ::close(fd_);
    }
}

void CFastFile::WriteAll(const char* data, size_t n) {
    while (n > 0 && !failed_) {
        const ssize_t w = ::write(fd_, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            failed_ = true;
            return;
        }
        data += w;
        n -= static_cast<size_t>(w);
    }
}

void CFastFile::Flush() {
    if (fill_ > 0) WriteAll(buffer_.get(), fill_);
    fill_ = 0;
}

void CFastFile::Write(const void* data, size_t n) {
    if (fd_ < 0 || n == 0) return;
    if (n >= kFlushThreshold) {
        Flush();
        WriteAll(static_cast<const char*>(data), n);
        return;
    }
    std::memcpy(buffer_.get() + fill_, data, n);
    fill_ += n;
    if (fill_ >= kFlushThreshold) Flush();
}

bool CFastFile::Close() {
    if (fd_ < 0) return false;
    Flush();
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) failed_ = true;
    if (::close(fd_) != 0) failed_ = true;
    fd_ = -1;
    return !failed_;
}

namespace {
// The file a path names, following symbolic links, so a link is kept and its target replaced.
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        if (::realpath(path.c_str(), resolved)) return resolved;
    }
    return path;
}
}  // namespace

AtomicFileReplace::AtomicFileReplace(const std::string& target) : target_(ResolveTarget(target)) {
    const size_t slash = target_.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = dir + "." + base + ".saving-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) return;
    temp_ = name.data();
    // An existing file keeps its permissions; a new one gets the usual 0666 less the umask.
    struct stat st {};
    mode_t mode;
    if (::stat(target_.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);
    file_ = std::make_unique<CFastFile>(fd);
}

AtomicFileReplace::~AtomicFileReplace() {
    file_.reset();
    if (!committed_ && !temp_.empty()) ::unlink(temp_.c_str());
}

bool AtomicFileReplace::Commit() {
    if (!file_ || committed_) return committed_;
    const bool written = file_->Close();
    file_.reset();
    if (!written || ::rename(temp_.c_str(), target_.c_str()) != 0) return false;
    committed_ = true;
    return true;
}
