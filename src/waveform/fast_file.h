#pragma once
// Buffered writing to a file descriptor, and replacing a file only once its new contents are
// complete on disk.

#include <cstddef>
#include <memory>
#include <string>

// Collects small writes into an 8192-byte buffer and hands the file writes of at least 4096
// bytes. Any failed write is remembered: Close() reports it, so a full disk cannot pass for a
// successful save.
class CFastFile {
public:
    static constexpr size_t kBufferBytes = 8192;
    static constexpr size_t kFlushThreshold = 4096;

    explicit CFastFile(int fd);  // takes ownership of fd
    ~CFastFile();                // writes what is pending and closes (errors then go unreported)
    CFastFile(const CFastFile&) = delete;
    CFastFile& operator=(const CFastFile&) = delete;

    // Writes n bytes: n >= 4096 goes straight to the file after what is pending; smaller
    // writes are buffered and the buffer is written out once it holds 4096 bytes or more.
    void Write(const void* data, size_t n);
    // Writes out what is pending, forces it to the disk and closes. False when any write,
    // the sync or the close failed.
    bool Close();
    bool Failed() const { return failed_; }

private:
    void Flush();
    void WriteAll(const char* data, size_t n);

    int fd_;
    std::unique_ptr<char[]> buffer_;
    size_t fill_ = 0;
    bool failed_ = false;
};

// A new file written beside the target and renamed over it on Commit(), so the target is
// either the old file or the whole new one. Destruction without Commit() removes the new file.
class AtomicFileReplace {
public:
    explicit AtomicFileReplace(const std::string& target);
    ~AtomicFileReplace();
    AtomicFileReplace(const AtomicFileReplace&) = delete;
    AtomicFileReplace& operator=(const AtomicFileReplace&) = delete;

    // False when the temporary file could not be created (no folder, no permission).
    bool Opened() const { return file_ != nullptr; }
    CFastFile& File() { return *file_; }
    // Closes the new file and renames it over the target (keeping an existing target's
    // permissions). False, with the target untouched, when anything failed.
    bool Commit();

private:
    std::string target_;
    std::string temp_;
    std::unique_ptr<CFastFile> file_;
    bool committed_ = false;
};
