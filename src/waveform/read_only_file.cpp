#include "waveform/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

cReadOnlyFile::cReadOnlyFile(const std::string& path) {
    fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd_ < 0) {
        error_ = std::strerror(errno);
        return;
    }
    struct stat st {};
    if (::fstat(fd_, &st) != 0)
        error_ = std::strerror(errno);
    else if (!S_ISREG(st.st_mode))
        error_ = "not a regular file";
    size_ = st.st_size;
}

cReadOnlyFile::~cReadOnlyFile() {
    if (fd_ >= 0) ::close(fd_);
}

int64_t cReadOnlyFile::ReadAt(int64_t offset, void* out, int64_t n) const {
    auto* bytes = static_cast<uint8_t*>(out);
    int64_t got = 0;
    while (got < n) {
        const ssize_t r = ::pread(fd_, bytes + got, static_cast<size_t>(n - got), offset + got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += r;
    }
    return got;
}
