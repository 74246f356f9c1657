#pragma once
// A regular file opened to read without blocking (a FIFO or a device is refused, never waited
// on), closed with the object: what the readers of digests and archives share.

#include <cstdint>
#include <string>

class cReadOnlyFile {
public:
    explicit cReadOnlyFile(const std::string& path);
    ~cReadOnlyFile();
    cReadOnlyFile(const cReadOnlyFile&) = delete;
    cReadOnlyFile& operator=(const cReadOnlyFile&) = delete;

    // "" when the file is open, else why not: the system's reason, or "not a regular file".
    const std::string& Error() const { return error_; }
    int Fd() const { return fd_; }
    int64_t Size() const { return size_; }
    // Reads up to n bytes from offset into out: the count read (fewer at the end of the file),
    // or -1 with errno set when a read fails.
    int64_t ReadAt(int64_t offset, void* out, int64_t n) const;

private:
    int fd_ = -1;
    int64_t size_ = 0;
    std::string error_;
};
