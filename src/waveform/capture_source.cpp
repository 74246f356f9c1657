#include "waveform/capture_source.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <csetjmp>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <mutex>

#include "waveform/file_messages.h"
#include "waveform/partial_reads.h"
#include "waveform/reader_parts.h"
#include "waveform/sample_rate_name.h"
#include "waveform/sigmf.h"
#include "waveform/sigmf_archive.h"
#include "waveform/wav_file.h"

namespace {

// A page of a mapped file past its end (the file was cut while mapped) raises SIGBUS on the
// access. A read sets its thread's jump target before touching the mapping; the handler jumps
// back to it, and hands any other bus error to what handled it before.
// volatile: the stores around an inlined access would otherwise be merged away, as nothing in
// the access reads them.
thread_local sigjmp_buf* volatile tBusGuard = nullptr;
struct sigaction gPreviousBus {};

extern "C" void OnBusError(int sig, siginfo_t* info, void* context) {
    if (sigjmp_buf* guard = tBusGuard) {
        tBusGuard = nullptr;
        siglongjmp(*guard, 1);
    }
    if (gPreviousBus.sa_flags & SA_SIGINFO) {
        if (gPreviousBus.sa_sigaction) gPreviousBus.sa_sigaction(sig, info, context);
        return;
    }
    if (gPreviousBus.sa_handler != SIG_DFL && gPreviousBus.sa_handler != SIG_IGN) {
        gPreviousBus.sa_handler(sig);
        return;
    }
    // The faulting access runs again on return and ends the program as it always would.
    std::signal(SIGBUS, SIG_DFL);
}

void InstallBusGuard() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa {};
        sa.sa_sigaction = OnBusError;
        sa.sa_flags = SA_SIGINFO | SA_ONSTACK;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGBUS, &sa, &gPreviousBus);
    });
}

// Runs access, which touches the mapping; false when a page of it was gone. access must hold
// nothing that needs destroying: a bus error leaves it by a jump.
template <class Access>
bool Guarded(const Access& access) {
    InstallBusGuard();
    sigjmp_buf jump;
    if (sigsetjmp(jump, 1) != 0) return false;
    tBusGuard = &jump;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    access();
    std::atomic_signal_fence(std::memory_order_seq_cst);
    tBusGuard = nullptr;
    return true;
}

constexpr int64_t kDecodeChunk = 1 << 20;  // samples per guarded decode

// MADV_POPULATE_READ (Linux 5.14); older kernels refuse it and the pages fault in one by one.
#ifdef MADV_POPULATE_READ
constexpr int kPopulateRead = MADV_POPULATE_READ;
#else
constexpr int kPopulateRead = 22;
#endif

}  // namespace

std::optional<int64_t> SamplesFromText(const std::string& text, double rateHz) {
    std::string t = text;
    while (!t.empty() && t.back() == ' ')
        t.pop_back();
    while (!t.empty() && t.front() == ' ')
        t.erase(t.begin());
    const bool seconds = !t.empty() && t.back() == 's';
    if (seconds) t.pop_back();
    if (t.empty()) return std::nullopt;
    // from_chars: the C locale's point whatever the user's locale.
    const char* first = t.data() + (t[0] == '+' ? 1 : 0);
    const char* end = t.data() + t.size();
    if (seconds) {
        double v = 0;
        const auto [stop, error] = std::from_chars(first, end, v);
        if (error != std::errc() || stop != end || !std::isfinite(v) ||
            std::fabs(v * rateHz) > 9e18)
            return std::nullopt;
        return std::llround(v * rateHz);
    }
    int64_t v = 0;
    const auto [stop, error] = std::from_chars(first, end, v);
    if (error != std::errc() || stop != end) return std::nullopt;
    return v;
}

std::string RangeTitle(const std::string& name, int64_t first, int64_t count, int64_t rateHz) {
    const auto seconds = [rateHz](int64_t n) {
        char text[64];
        std::snprintf(text, sizeof text, "%.3f s",
                      static_cast<double>(n) / static_cast<double>(std::max<int64_t>(1, rateHz)));
        return std::string(text);
    };
    return name + " [" + seconds(first) + " + " + seconds(count) + "]";
}

bool CopyFromMapping(uint8_t* out, const uint8_t* mapped, size_t n) {
    return Guarded([&] { std::memcpy(out, mapped, n); });
}

cCaptureSource::~cCaptureSource() { Close(); }

void cCaptureSource::Close() {
    if (data_) ::munmap(const_cast<uint8_t*>(data_), static_cast<size_t>(mappedBytes_));
    if (fd_ >= 0) ::close(fd_);
    data_ = nullptr;
    fd_ = -1;
    mappedBytes_ = sampleCount_ = fileBytes_ = dataOffset_ = stride_ = frame_ = namedRate_ = 0;
    fileType_ = 0;
    device_ = inode_ = 0;
    bornNs_ = 0;
    recording_ = RecordingInfo{};
    path_.clear();
    dataPath_.clear();
}

std::string cCaptureSource::Open(const std::string& path, int fileType, int64_t channel) {
    Close();
    const std::string name = BaseName(path);
    int64_t trailing = 0;
    int64_t channels = 1;
    // Where a WAV file's samples or an archive's data entry end: what follows is no sample.
    std::optional<int64_t> dataEnd;
    if (IsSigmfRecordingPath(path)) {
        SigmfMeta meta;
        int64_t dataStart = 0, dataBytes = -1;
        if (std::string why = ReadRecordingMeta(path, meta, dataPath_, dataStart, dataBytes);
            !why.empty())
            return why;
        if (std::string why = CheckChannel(meta, channel); !why.empty()) return name + ": " + why;
        fileType_ = FileTypeForSigmfDatatype(meta.datatype);
        dataOffset_ = dataStart + meta.headerBytes;
        if (dataBytes >= 0) dataEnd = dataStart + dataBytes;
        trailing = meta.trailingBytes;
        channels = meta.channelCount;
        recording_ = RecordingInfoFrom(meta, channel);
        recording_.dataPath = dataPath_;
        recording_.dataOffset = dataStart;
        recording_.dataBytes = dataBytes;
        if (meta.sampleRateHz) namedRate_ = LoadedSampleRateHz(*meta.sampleRateHz);
    } else if (IsWavPath(path)) {
        WavLayout layout;
        if (std::string why = ReadWavLayout(path, layout); !why.empty()) return why;
        fileType_ = layout.fileType;
        dataPath_ = path;
        dataOffset_ = layout.dataOffset;
        dataEnd = layout.dataOffset + layout.dataBytes;
        recording_.sampleRateHz = static_cast<double>(layout.sampleRateHz);
        recording_.centreFrequencyHz = layout.centreHz;
        namedRate_ = LoadedSampleRateHz(static_cast<double>(layout.sampleRateHz));
    } else {
        fileType_ = fileType;
        dataPath_ = path;
        const NamedCapture named = CaptureFromName(path);
        namedRate_ = named.rateHz >= 1000 ? named.rateHz : 0;
        recording_.centreFrequencyHz = named.centreHz;
    }
    stride_ = ::BytesPerSample(fileType_);
    if (stride_ == 0)
        return name + " is a text type (" + std::to_string(fileType_) +
               "): text files have no sample at a fixed place and are read whole";
    if (stride_ < 0)
        return "file type " + std::to_string(fileType_) + " is not one this program reads";

    const std::string dataName = BaseName(dataPath_);
    const int fd = ::open(dataPath_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) return dataName + ": " + std::strerror(errno);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size <= 0) {
        const int error = errno;
        ::close(fd);
        if (!S_ISREG(st.st_mode)) return dataName + " is not a regular file";
        return st.st_size <= 0 ? dataName + " is empty" : dataName + ": " + std::strerror(error);
    }
    void* map = ::mmap(nullptr, static_cast<size_t>(st.st_size), PROT_READ, MAP_SHARED, fd, 0);
    if (map == MAP_FAILED) {
        const int error = errno;
        ::close(fd);
        return dataName + " cannot be mapped: " + std::strerror(error);
    }
    fd_ = fd;
    data_ = static_cast<const uint8_t*>(map);
    mappedBytes_ = fileBytes_ = st.st_size;
    device_ = static_cast<uint64_t>(st.st_dev);
    inode_ = static_cast<uint64_t>(st.st_ino);
    bornNs_ = FileBirthNs(fd);
    path_ = path;
    // The trailing bytes a recording names lie at the end of its data, inside an archive too.
    const int64_t end = dataEnd ? std::min(fileBytes_, *dataEnd) : fileBytes_;
    const int64_t bytes = std::max<int64_t>(0, end - dataOffset_ - trailing);
    // Samples of the channels interleave, a frame of one sample each; a channel's samples lie
    // a frame apart from its place in the first frame.
    frame_ = stride_ * channels;
    sampleCount_ = bytes / frame_;
    dataOffset_ += channel * stride_;
    if (sampleCount_ < 1) {
        const std::string why = dataName + " holds no whole sample of file type " +
                                std::to_string(fileType_) + " (" + std::to_string(stride_) +
                                " bytes each)";
        Close();
        return why;
    }
    return "";
}

std::string cCaptureSource::Notes() const {
    if (recording_.describedSamples <= sampleCount_) return "";
    return "the metadata describes " + std::to_string(recording_.describedSamples) + " samples; " +
           BaseName(dataPath_) + " holds " + std::to_string(sampleCount_);
}

SourceFile cCaptureSource::Source() const {
    SourceFile s;
    s.fileBytes = s.bytesRead = fileBytes_;
    s.device = device_;
    s.inode = inode_;
    s.bornNs = bornNs_;
    return s;
}

std::string cCaptureSource::CheckRange(int64_t start, int64_t count) const {
    if (!IsOpen()) return "no capture is open";
    if (start < 0) return "a range cannot start before sample 0";
    if (count < 1) return "a range needs at least one sample";
    if (start >= sampleCount_ || count > sampleCount_ - start)
        return "samples " + std::to_string(start) + " to " +
               std::to_string(start + std::min(count, INT64_MAX - start) - 1) +
               " lie past the end of " + BaseName(dataPath_) + ", which holds " +
               std::to_string(sampleCount_) + " whole samples";
    return "";
}

std::string cCaptureSource::Reachable(int64_t start, int64_t count) const {
    if (std::string why = CheckRange(start, count); !why.empty()) return why;
    struct stat st {};
    const int64_t end = EndByte(start, count);
    if (::fstat(fd_, &st) == 0 && st.st_size < end)
        return BaseName(dataPath_) + " is now " + std::to_string(st.st_size) +
               " bytes, shorter than the " + std::to_string(fileBytes_) +
               " it held when opened: the samples asked for are gone";
    // A long range is mapped in with one call rather than a page fault per few pages (a
    // failure, such as a page past a new end, is met again by the guarded read).
    if (count * frame_ >= (int64_t{1} << 20)) {
        const int64_t begin = ByteAt(start) & ~int64_t{4095};
        ::madvise(const_cast<uint8_t*>(data_) + begin,
                  static_cast<size_t>(std::min(end, mappedBytes_) - begin), kPopulateRead);
    }
    return "";
}

std::string cCaptureSource::Read(int64_t start, int64_t count, float* I, float* Q,
                                 int64_t* nonFinite) const {
    if (count > INT_MAX) return "a range read at once holds at most 2147483647 samples";
    if (std::string why = Reachable(start, count); !why.empty()) return why;
    int64_t bad = 0;
    std::vector<uint8_t> gathered;  // one channel's samples of a chunk, packed
    for (int64_t done = 0; done < count; done += kDecodeChunk) {
        const int n = static_cast<int>(std::min(kDecodeChunk, count - done));
        const uint8_t* raw = data_ + ByteAt(start + done);
        int64_t chunkBad = 0;
        if (!Guarded([&] {
                if (frame_ != stride_) {
                    gathered.resize(static_cast<size_t>(n * stride_));
                    for (int64_t k = 0; k < n; ++k)
                        std::memcpy(gathered.data() + k * stride_, raw + k * frame_,
                                    static_cast<size_t>(stride_));
                    raw = gathered.data();
                }
                chunkBad = DecodeBinary(fileType_, raw, n, I + done, Q + done);
            }))
            return BaseName(dataPath_) + " was cut shorter while it was read: sample " +
                   std::to_string(start + done) + " onwards is gone";
        bad += chunkBad;
    }
    if (nonFinite) *nonFinite += bad;
    return "";
}

// The mapped pages of samples [start, start + count): [begin, end) of the mapping.
std::pair<int64_t, int64_t> cCaptureSource::MappedPages(int64_t start, int64_t count) const {
    const int64_t page = ::sysconf(_SC_PAGESIZE);
    const int64_t begin = ByteAt(start) / page * page;
    const int64_t end = std::min(mappedBytes_, (EndByte(start, count) + page - 1) / page * page);
    return {begin, std::max(begin, end)};
}

bool cCaptureSource::InPageCache(int64_t start, int64_t count) const {
    const auto [begin, end] = MappedPages(start, count);
    if (!data_ || end <= begin) return false;
    const int64_t page = ::sysconf(_SC_PAGESIZE);
    std::vector<unsigned char> resident(static_cast<size_t>((end - begin + page - 1) / page));
    return ::mincore(const_cast<uint8_t*>(data_) + begin, static_cast<size_t>(end - begin),
                     resident.data()) == 0 &&
           std::all_of(resident.begin(), resident.end(), [](unsigned char r) { return r & 1; });
}

void cCaptureSource::ReleaseMapped(int64_t start, int64_t count) const {
    const auto [begin, end] = MappedPages(start, count);
    if (data_ && end > begin)
        ::madvise(const_cast<uint8_t*>(data_) + begin, static_cast<size_t>(end - begin),
                  MADV_DONTNEED);
}

std::string cCaptureSource::ReadOnce(int64_t start, int64_t count, float* I, float* Q,
                                     std::vector<uint8_t>& buffer) const {
    // Bytes not in the page cache come through pread in large pieces, which the kernel's
    // sequential readahead keeps ahead of: faults on the mapping fetch a cold file in small
    // steps, a third as fast (measured on a 2 GiB capture).
    if (!InPageCache(start, count)) {
        // Asked for whole, so the disk is not left to the readahead's guess of the pattern.
        const auto [begin, end] = MappedPages(start, count);
        ::posix_fadvise(fd_, begin, end - begin, POSIX_FADV_WILLNEED);
        return ReadThrough(start, count, I, Q, buffer);
    }
    std::string why = Read(start, count, I, Q);
    ReleaseMapped(start, count);
    return why;
}

std::string cCaptureSource::ReadThrough(int64_t start, int64_t count, float* I, float* Q,
                                        std::vector<uint8_t>& buffer, int64_t* nonFinite) const {
    if (std::string why = CheckRange(start, count); !why.empty()) return why;
    const int64_t piece = std::max<int64_t>(1, static_cast<int64_t>(buffer.size()) / frame_);
    if (buffer.size() < static_cast<size_t>(frame_)) buffer.resize(static_cast<size_t>(frame_));
    int64_t bad = 0;
    for (int64_t done = 0; done < count;) {
        const int64_t n = std::min(piece, count - done);
        const int64_t at = ByteAt(start + done);
        const int64_t bytes = EndByte(start + done, n) - at;
        int64_t got = 0;
        while (got < bytes) {
            const ssize_t r = ::pread(fd_, buffer.data() + got, static_cast<size_t>(bytes - got),
                                      static_cast<off_t>(at + got));
            if (r < 0 && errno == EINTR) continue;
            if (r < 0) return BaseName(dataPath_) + ": " + std::strerror(errno);
            if (r == 0)
                return BaseName(dataPath_) + " was cut shorter while it was read: byte " +
                       std::to_string(at + got) + " onwards is gone";
            got += r;
        }
        KeepChannel(buffer.data(), n, stride_, frame_ / stride_, 0);
        bad += DecodeBinary(fileType_, buffer.data(), static_cast<int>(n), I + done, Q + done);
        done += n;
    }
    if (nonFinite) *nonFinite += bad;
    return "";
}

std::string cCaptureSource::ReadBytes(int64_t start, int64_t count, uint8_t* out) const {
    if (std::string why = Reachable(start, count); !why.empty()) return why;
    const uint8_t* raw = data_ + ByteAt(start);
    const auto gone = [&](int64_t byte) {
        return BaseName(dataPath_) + " was cut shorter while it was read: byte " +
               std::to_string(byte) + " onwards is gone";
    };
    if (frame_ != stride_) {
        // One channel's samples, gathered a chunk under each guard.
        for (int64_t done = 0; done < count; done += kDecodeChunk) {
            const int64_t n = std::min(kDecodeChunk, count - done);
            if (!Guarded([&] {
                    for (int64_t k = done; k < done + n; ++k)
                        std::memcpy(out + k * stride_, raw + k * frame_,
                                    static_cast<size_t>(stride_));
                }))
                return gone(ByteAt(start + done));
        }
        return "";
    }
    const int64_t bytes = count * stride_;
    constexpr int64_t kChunk = int64_t{16} << 20;
    for (int64_t done = 0; done < bytes; done += kChunk) {
        const size_t n = static_cast<size_t>(std::min(kChunk, bytes - done));
        if (!CopyFromMapping(out + done, raw + done, n)) return gone(ByteAt(start) + done);
    }
    return "";
}

int cWaveform::LoadRange(const cCaptureSource& capture, int64_t start, int64_t count,
                         std::string* why) {
    std::string problem = capture.CheckRange(start, count);
    const int64_t stride = capture.BytesPerSample();
    if (problem.empty() && count * stride > kMaxFileBytes)
        problem = "a range of " + std::to_string(count) + " samples is " +
                  std::to_string(count * stride) + " bytes, more than the " +
                  std::to_string(kMaxFileBytes) + " a waveform holds";
    if (problem.empty() && count * stride < 2)
        problem = "one sample of a one-byte type is too short to load";
    ByteArray bytes;
    if (problem.empty()) {
        bytes.resize(static_cast<size_t>(count * stride));
        problem = capture.ReadBytes(start, count, bytes.data());
    }
    if (!problem.empty()) {
        if (why) *why = problem;
        return kErrLoadFailed;
    }
    rawFile.swap(bytes);
    rawByteCount = static_cast<int>(rawFile.size());
    fileType = capture.FileType();
    ParseRaw();
    title = capture.Path();
    source = capture.Source();
    source.bytesRead = count == capture.SampleCount() ? source.fileBytes : count * stride;
    source.firstSample = start;
    source.fileSamples = capture.SampleCount();
    RememberPartialRead(source);
    recording = capture.Recording();
    // The centre frequency is that of the capture segment the range starts in.
    if (const SigmfSegment* segment = recording.SegmentAt(start))
        recording.centreFrequencyHz = segment->frequencyHz;
    ReleaseArray(markers);
    markerCount = 0;
    if (capture.NamedSampleRate() > 0) sampleRate = capture.NamedSampleRate();
    saveTypeMode = 0;
    loadFailure = LoadFailure::None;
    return 0;
}
