#pragma once
// Buffered writing to a file descriptor, and replacing a file only once its new contents are
// complete on disk.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// Why a save failed.
enum class SaveFailure {
    None,
    CannotCreate,        // the file (or its temporary sibling) could not be created
    WriteFailed,         // a write, the sync or the rename failed: the old file is untouched
    WriteFailedInPlace,  // a write failed while rewriting the file in place: it is incomplete
    NoEncoder,           // the file type has no writer (419, unknown values)
    NoSpectrumBuffer,    // type 40112 needs the spectrum buffer
    NotRegularFile,      // the target is a folder, FIFO, socket or device: left alone
    NotWritable,         // the target exists and the user may not write it
    WouldCutSource,      // the target is a file that was read only in part
    DanglingLink,        // the target is a symbolic link to nothing: left as it is
    RateBeyondWav        // a WAV header cannot hold the sample rate (above 2^31 - 1 Hz)
};

// Checks a path about to be written: None when it does not exist or is a regular file the
// user may write (a symbolic link counts as its target), NotRegularFile, NotWritable (with
// the system's reason in *error) or DanglingLink (a link whose target does not exist, which a
// save would otherwise replace by a file) otherwise. Nothing is created.
SaveFailure CheckSaveTarget(const std::string& path, int* error = nullptr);

// Writes n bytes to path after CheckSaveTarget, through AtomicFileReplace. Returns None or
// the reason, with the system's reason in *error when it gave one.
SaveFailure WriteWholeFile(const std::string& path, const void* data, size_t n,
                           int* error = nullptr);

// Collects small writes into an 8192-byte buffer and hands the file writes of at least 4096
// bytes. Any failed write is remembered: Close() reports it, so a full disk cannot pass for a
// successful save.
class CFastFile {
public:
    static constexpr size_t kBufferBytes = 8192;
    static constexpr size_t kFlushThreshold = 4096;

    explicit CFastFile(int fd);  // takes ownership of fd
    // A file that writes nothing and only counts the bytes it is given (Written()).
    static std::unique_ptr<CFastFile> Counter();
    // A file that hands every byte it is given to `to`, in order, in pieces of up to a few
    // kilobytes (small writes are gathered); Drain hands over what is pending.
    static std::unique_ptr<CFastFile> Sink(std::function<void(const void*, size_t)> to);
    void Drain();
    ~CFastFile();  // writes what is pending and closes (errors then go unreported)
    CFastFile(const CFastFile&) = delete;
    CFastFile& operator=(const CFastFile&) = delete;

    // Writes n bytes: n >= 4096 goes straight to the file after what is pending; smaller
    // writes are buffered and the buffer is written out once it holds 4096 bytes or more.
    void Write(const void* data, size_t n);
    // Writes out what is pending, cuts the file after the bytes written when truncate is
    // set, forces it to the disk and closes. False when any of these failed.
    bool Close(bool truncate = false);
    // Makes sure the first `bytes` bytes of the file have space on the disk, without changing
    // what it holds. False (errno in Error(), the file's length as it was) when the disk
    // cannot give them.
    bool Reserve(int64_t bytes);
    int64_t Written() const { return written_ + static_cast<int64_t>(fill_); }
    bool Failed() const { return failed_; }
    int Error() const { return error_; }  // errno of the first failure, 0 when none

private:
    void Flush();
    void WriteAll(const char* data, size_t n);
    void Fail(int error);

    CFastFile() = default;  // the counter
    int fd_ = -1;
    bool countOnly_ = false;
    std::function<void(const void*, size_t)> sink_;
    std::unique_ptr<char[]> buffer_;
    size_t fill_ = 0;
    int64_t written_ = 0;
    bool failed_ = false;
    int error_ = 0;
};

// A new file written beside the target and renamed over it on Commit(), so the target is
// either the old file or the whole new one. Destruction without Commit() removes the new file.
// When the folder allows no new file but the target exists and may be written, the target is
// rewritten in place instead (InPlace()): the writer then reserves the new length first
// (Reserve), so a full disk refuses the save before a byte of the old file is overwritten; a
// write that still fails leaves it incomplete.
class AtomicFileReplace {
public:
    explicit AtomicFileReplace(const std::string& target);
    ~AtomicFileReplace();
    AtomicFileReplace(const AtomicFileReplace&) = delete;
    AtomicFileReplace& operator=(const AtomicFileReplace&) = delete;

    // False when no file could be opened for writing (no folder, no permission).
    bool Opened() const { return file_ != nullptr; }
    bool InPlace() const { return inPlace_; }
    CFastFile& File() { return *file_; }
    // Reserves disk space for a new file of `bytes` bytes (see CFastFile::Reserve). False, with
    // the target untouched and the reason in Error(), when the disk has no room.
    bool Reserve(int64_t bytes);
    // Writes out and closes the new file, forcing it to the disk, without renaming it yet (so
    // a second file can be completed before either replaces its target). False when any of
    // this failed.
    bool Finish();
    // Finishes the new file when that was not done, and renames it over the target (keeping
    // an existing target's permissions, owner and group). False, with the target untouched
    // unless InPlace(), when anything failed.
    bool Commit();
    // errno of the failure to open or commit, 0 when none.
    int Error() const { return error_; }

private:
    std::string target_;
    std::string temp_;
    std::unique_ptr<CFastFile> file_;
    bool finished_ = false;
    bool committed_ = false;
    bool inPlace_ = false;
    int error_ = 0;
};
