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
    if (fd_ < 0) Fail(EBADF);
}

std::unique_ptr<CFastFile> CFastFile::Counter() {
    std::unique_ptr<CFastFile> counter(new CFastFile());
    counter->countOnly_ = true;
    return counter;
}

std::unique_ptr<CFastFile> CFastFile::Sink(std::function<void(const void*, size_t)> to) {
    std::unique_ptr<CFastFile> sink(new CFastFile());
    sink->sink_ = std::move(to);
    sink->buffer_.reset(new char[kBufferBytes]);
    return sink;
}

CFastFile::~CFastFile() {
    if (fd_ >= 0) {
        Flush();
        ::close(fd_);
    }
}

void CFastFile::Drain() { Flush(); }

void CFastFile::Fail(int error) {
    if (!failed_) error_ = error;
    failed_ = true;
}

void CFastFile::WriteAll(const char* data, size_t n) {
    if (sink_) {
        sink_(data, n);
        written_ += static_cast<int64_t>(n);
        return;
    }
    while (n > 0 && !failed_) {
        const ssize_t w = ::write(fd_, data, n);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) {
            Fail(w < 0 ? errno : ENOSPC);
            return;
        }
        data += w;
        n -= static_cast<size_t>(w);
        written_ += w;
    }
}

void CFastFile::Flush() {
    if (fill_ > 0) WriteAll(buffer_.get(), fill_);
    fill_ = 0;
}

void CFastFile::Write(const void* data, size_t n) {
    if (countOnly_) {
        written_ += static_cast<int64_t>(n);
        return;
    }
    if ((fd_ < 0 && !sink_) || n == 0) return;
    if (n >= kFlushThreshold) {
        Flush();
        WriteAll(static_cast<const char*>(data), n);
        return;
    }
    std::memcpy(buffer_.get() + fill_, data, n);
    fill_ += n;
    if (fill_ >= kFlushThreshold) Flush();
}

bool CFastFile::Reserve(int64_t bytes) {
    if (countOnly_ || bytes <= 0) return true;
    if (fd_ < 0 || failed_) return false;
    struct stat st {};
    if (::fstat(fd_, &st) != 0) {
        Fail(errno);
        return false;
    }
    const int error = ::posix_fallocate(fd_, 0, static_cast<off_t>(bytes));
    if (error == 0) return true;
    // Whatever the attempt added past the old end goes again; the old bytes were never touched.
    [[maybe_unused]] const int ignored = ::ftruncate(fd_, st.st_size);
    Fail(error);
    return false;
}

bool CFastFile::Close(bool truncate) {
    if (fd_ < 0) return false;
    Flush();
    if (truncate && !failed_ && ::ftruncate(fd_, static_cast<off_t>(written_)) != 0) Fail(errno);
    if (::fsync(fd_) != 0 && errno != EINVAL && errno != EROFS) Fail(errno);
    if (::close(fd_) != 0) Fail(errno);
    fd_ = -1;
    return !failed_;
}

namespace {
// The file a path names, following symbolic links, so a link is kept and its target replaced;
// "" for a link that leads nowhere (replacing it by a file would lose the link).
std::string ResolveTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        char resolved[PATH_MAX];
        return ::realpath(path.c_str(), resolved) ? std::string(resolved) : std::string();
    }
    return path;
}

bool IsDanglingLink(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && ::stat(path.c_str(), &st) != 0;
}

// Opens an existing regular file for writing without ever blocking (a FIFO put in its place
// since it was checked must not hang the save); -1 otherwise.
int OpenRegularForWriting(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return -1;
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}
}  // namespace

SaveFailure CheckSaveTarget(const std::string& path, int* error) {
    if (error) *error = 0;
    struct stat st {};
    if (IsDanglingLink(path)) return SaveFailure::DanglingLink;
    // Missing (or unreachable): creating the file will tell.
    if (::stat(path.c_str(), &st) != 0) return SaveFailure::None;
    if (!S_ISREG(st.st_mode)) return SaveFailure::NotRegularFile;
    // With the effective ids, as the write would be made: a rename in a writable folder would
    // otherwise replace a file that `cp` refuses to overwrite.
    if (::faccessat(AT_FDCWD, path.c_str(), W_OK, AT_EACCESS) != 0) {
        if (error) *error = errno;
        return SaveFailure::NotWritable;
    }
    return SaveFailure::None;
}

SaveFailure WriteWholeFile(const std::string& path, const void* data, size_t n, int* error) {
    const SaveFailure check = CheckSaveTarget(path, error);
    if (check != SaveFailure::None) return check;
    AtomicFileReplace out(path);
    if (!out.Opened()) {
        if (error) *error = out.Error();
        return SaveFailure::CannotCreate;
    }
    const bool reserved = out.Reserve(static_cast<int64_t>(n));
    if (reserved) {
        out.File().Write(data, n);
        if (out.Commit()) return SaveFailure::None;
    }
    if (error) *error = out.Error();
    // A refused reservation touched nothing, in place or not.
    return out.InPlace() && reserved ? SaveFailure::WriteFailedInPlace : SaveFailure::WriteFailed;
}

AtomicFileReplace::AtomicFileReplace(const std::string& target) : target_(ResolveTarget(target)) {
    if (target_.empty()) {
        error_ = ENOENT;
        return;
    }
    const size_t slash = target_.rfind('/');
    const std::string dir =
        slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
    const std::string base = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = dir + "." + base + ".saving-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    struct stat st {};
    const bool exists = ::stat(target_.c_str(), &st) == 0 && S_ISREG(st.st_mode);
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        error_ = errno;
        // A folder that takes no new file, holding a file the user may write: rewrite it.
        if (exists && (error_ == EACCES || error_ == EPERM)) {
            const int inPlace = OpenRegularForWriting(target_);
            if (inPlace >= 0) {
                error_ = 0;
                inPlace_ = true;
                file_ = std::make_unique<CFastFile>(inPlace);
            }
        }
        return;
    }
    temp_ = name.data();
    // An existing file keeps its owner and group (root saving another user's file) and its
    // permissions; a new one gets the usual 0666 less the umask. The owner goes first: a
    // change of owner clears the set-id bits.
    mode_t mode;
    if (exists) {
        if ((st.st_uid != ::geteuid() || st.st_gid != ::getegid()) &&
            ::fchown(fd, st.st_uid, st.st_gid) != 0) {
            [[maybe_unused]] const int ignored = ::fchown(fd, static_cast<uid_t>(-1), st.st_gid);
        }
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

bool AtomicFileReplace::Reserve(int64_t bytes) {
    if (!file_) return false;
    if (file_->Reserve(bytes)) return true;
    error_ = file_->Error();
    return false;
}

bool AtomicFileReplace::Finish() {
    if (finished_) return true;
    if (!file_) return false;
    const bool written = file_->Close(inPlace_);
    if (!written) error_ = file_->Error();
    file_.reset();
    finished_ = written;
    return written;
}

bool AtomicFileReplace::Commit() {
    if (committed_) return true;
    if (!Finish()) return false;
    if (!inPlace_ && ::rename(temp_.c_str(), target_.c_str()) != 0) {
        error_ = errno;
        return false;
    }
    committed_ = true;
    return true;
}
