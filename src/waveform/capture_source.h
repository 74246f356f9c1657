#pragma once
// A capture of any size, open for reading any range of its samples: the file is mapped
// read-only and a range is decoded on demand by the decoders of a whole load, so its samples
// are bit for bit those the same bytes give when read whole. For the fixed-width binary types
// and SigMF recordings; the text types have no sample at a fixed offset and are read whole.
//
// Reads are safe from any thread. A file cut shorter while it is mapped gives an error naming
// its new length, never a crash: each access to the mapping runs under a guard that turns the
// bus error of a page beyond the new end into that error.

#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "waveform/waveform.h"

class cCaptureSource {
public:
    cCaptureSource() = default;
    ~cCaptureSource();
    cCaptureSource(const cCaptureSource&) = delete;
    cCaptureSource& operator=(const cCaptureSource&) = delete;

    // Opens path in fileType (a SigMF recording, either file or its archive, in the type its
    // metadata names, and of a multi-channel recording the channel given, counted from 0).
    // Returns "" or why it cannot be read as a capture, in words that name the file.
    std::string Open(const std::string& path, int fileType, int64_t channel = 0);
    void Close();
    bool IsOpen() const { return data_ != nullptr; }

    const std::string& Path() const { return path_; }          // as given to Open
    const std::string& DataPath() const { return dataPath_; }  // the file mapped
    int FileType() const { return fileType_; }
    int64_t BytesPerSample() const { return stride_; }
    // Whole samples between the header and the trailing bytes when the file was opened.
    int64_t SampleCount() const { return sampleCount_; }
    int64_t FileBytes() const { return fileBytes_; }
    int64_t DataOffset() const { return dataOffset_; }  // bytes before sample 0
    const RecordingInfo& Recording() const { return recording_; }
    // The rate the metadata gives, else the name's, else 0.
    int64_t NamedSampleRate() const { return namedRate_; }
    // What a reader should know besides the samples ("the metadata describes 1000 samples;
    // x.sigmf-data holds 600"), or "".
    std::string Notes() const;
    // The file's identity and length, as a load records them.
    SourceFile Source() const;

    // Why samples [start, start + count) cannot be read from this capture, or "" when they
    // can: a negative start or count, or a range past the last whole sample.
    std::string CheckRange(int64_t start, int64_t count) const;

    // Decodes samples [start, start + count) into I and Q (count at most 2^31 - 1). Returns ""
    // (with the NaN or infinite values read as 0 added to *nonFinite), or why not; the file
    // having been cut shorter since it was opened is one such reason.
    std::string Read(int64_t start, int64_t count, float* I, float* Q,
                     int64_t* nonFinite = nullptr) const;
    // The same as Read for passes over a whole file that decode much per byte: the mapped pages
    // it touched are let go of afterwards (the page cache keeps them), so the program's memory
    // does not grow with the file, and no copy of the bytes is made. A range not wholly in the
    // page cache is read as ReadThrough reads it, through buffer.
    std::string ReadOnce(int64_t start, int64_t count, float* I, float* Q,
                         std::vector<uint8_t>& buffer) const;
    // True when every byte of samples [start, start + count) is in the page cache.
    bool InPageCache(int64_t start, int64_t count) const;
    // Lets go of the mapped pages of samples [start, start + count) (the page cache keeps
    // them), so a pass through the mapping does not leave the program's memory grown.
    void ReleaseMapped(int64_t start, int64_t count) const;
    // The same as Read for passes over a whole file: the bytes come through pread in pieces of
    // buffer's size (at least one sample), so no page of the file is mapped into the program
    // and its memory stays that of the buffer, whatever the file's size.
    std::string ReadThrough(int64_t start, int64_t count, float* I, float* Q,
                            std::vector<uint8_t>& buffer, int64_t* nonFinite = nullptr) const;
    // Copies the bytes of samples [start, start + count) into out; "" or why not.
    std::string ReadBytes(int64_t start, int64_t count, uint8_t* out) const;

private:
    // Checks the range and that the file still holds it; "" or why not.
    std::string Reachable(int64_t start, int64_t count) const;
    // The page-aligned bytes [first, end) of the mapping that samples [start, start + count) lie
    // in.
    std::pair<int64_t, int64_t> MappedPages(int64_t start, int64_t count) const;
    // Where sample s's bytes begin in the file, and where those of [start, start + count) end.
    int64_t ByteAt(int64_t s) const { return dataOffset_ + s * frame_; }
    int64_t EndByte(int64_t start, int64_t count) const {
        return ByteAt(start + count - 1) + stride_;
    }

    std::string path_, dataPath_;
    int fd_ = -1;
    const uint8_t* data_ = nullptr;
    int64_t mappedBytes_ = 0;
    int fileType_ = 0;
    int64_t stride_ = 0;
    int64_t frame_ = 0;  // bytes from one sample to the next: stride_ times the channels
    int64_t sampleCount_ = 0;
    int64_t fileBytes_ = 0;
    int64_t dataOffset_ = 0;
    uint64_t device_ = 0, inode_ = 0;
    int64_t bornNs_ = 0;
    int64_t namedRate_ = 0;
    RecordingInfo recording_;
};

// A place or length in a capture as typed: a count of samples ("1200000"), or seconds with an
// s suffix ("12.5s") at rateHz, rounded to the nearest sample; nullopt when it is neither.
std::optional<int64_t> SamplesFromText(const std::string& text, double rateHz);

// The title of a range: "rec.cf32 [12.500 s + 0.250 s]" (a name and times to the millisecond
// from the start of the file).
std::string RangeTitle(const std::string& name, int64_t first, int64_t count, int64_t rateHz);

// Copies n bytes from a mapping: false, with out partly written, when a page of it is gone
// (its file was cut shorter), where a plain copy would end the program with SIGBUS.
bool CopyFromMapping(uint8_t* out, const uint8_t* mapped, size_t n);
