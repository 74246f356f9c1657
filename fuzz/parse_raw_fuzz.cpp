// Arbitrary bytes decoded under every file type (and a few that are not types), and read as
// SigMF metadata, a WAV header and a SigMF archive. The raw buffer is exactly as long as the input,
// so the sanitizers see any read past it; every sample must come out finite, and metadata that
// parses must map to a type the reader decodes and survive being written and read again. The same
// bytes mapped as a capture give, for a range the input chooses, the very bits of the whole decode.

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "waveform/capture_source.h"
#include "waveform/reader_parts.h"
#include "waveform/sigmf.h"
#include "waveform/sigmf_archive.h"
#include "waveform/wav_file.h"
#include "waveform/waveform.h"

namespace {

void CheckMetadata(const uint8_t* data, size_t size) {
    SigmfMeta meta;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    if (!ParseSigmfMeta(text, meta).empty()) return;
    if (!IsReadableFileType(FileTypeForSigmfDatatype(meta.datatype))) std::abort();
    if (meta.headerBytes < 0 || meta.trailingBytes < 0 || meta.describedSamples < 0) std::abort();
    if (meta.sampleRateHz && !(*meta.sampleRateHz > 0)) std::abort();
    SigmfSaveFields fields;
    // The rate as a load gives it to the waveform, which is what a save writes back.
    fields.sampleRateHz = meta.sampleRateHz ? LoadedSampleRateHz(*meta.sampleRateHz) : 1;
    fields.frequencyHz = meta.frequencyHz;
    fields.description = meta.description;
    fields.author = meta.author;
    fields.segments = meta.segments;
    fields.annotations = meta.annotations;
    fields.otherGlobalKeys = meta.otherGlobalKeys;
    fields.otherTopKeys = meta.otherTopKeys;
    fields.sha512 = meta.sha512;
    SigmfMeta again;
    if (!ParseSigmfMeta(BuildSigmfMeta("cf32_le", fields), again).empty()) std::abort();
    // What was read comes back: texts, segments, annotations, and the keys not used.
    if (again.description != meta.description || again.author != meta.author ||
        again.frequencyHz != meta.frequencyHz || again.sha512 != meta.sha512 ||
        again.otherGlobalKeys != meta.otherGlobalKeys || again.otherTopKeys != meta.otherTopKeys ||
        again.annotations.size() != meta.annotations.size() ||
        again.segments.size() != std::max<size_t>(1, meta.segments.size()))
        std::abort();
}

// The bytes as a SigMF archive: an entry found must lie whole within the file, holding the
// bytes libarchive gave for it.
void CheckArchive(const std::string& file, size_t size) {
    SigmfArchiveLayout layout;
    if (!ReadSigmfArchive(file, layout).empty()) return;
    if (layout.dataOffset < 0 || layout.dataBytes < 0 ||
        static_cast<uint64_t>(layout.dataOffset + layout.dataBytes) > size ||
        layout.metaText.size() > static_cast<size_t>(kMaxSigmfMetaBytes) ||
        layout.recordingsInArchive < 1)
        std::abort();
}

// The bytes as a WAV file: a header libsndfile reads must name a decoder and samples that lie
// whole after it.
void CheckWav(const std::string& file) {
    WavLayout layout;
    if (!ReadWavLayout(file, layout).empty()) return;
    const int64_t stride = BytesPerSample(layout.fileType);
    if (!IsReadableFileType(layout.fileType) || stride <= 0 || layout.dataOffset <= 0 ||
        layout.dataBytes < 0 || layout.dataBytes % stride != 0 || layout.sampleRateHz <= 0)
        std::abort();
}

// A file in memory holding the input, named through /proc so the capture maps it.
std::string MemoryFile(const uint8_t* data, size_t size) {
    static const int fd = ::memfd_create("fuzz-capture", MFD_CLOEXEC);
    if (fd < 0 || ::ftruncate(fd, 0) != 0) std::abort();
    if (size > 0 && ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size)) std::abort();
    return "/proc/self/fd/" + std::to_string(fd);
}

void CheckRange(const cWaveform& whole, const std::string& path, int type, const uint8_t* data,
                size_t size) {
    cCaptureSource capture;
    const std::string why = capture.Open(path, type);
    if (!why.empty()) {
        // Only a text type, an unknown one or bytes short of one sample are refused.
        if (whole.sampleCount > 0 && type >= 404 && IsReadableFileType(type) && size >= 2)
            std::abort();
        return;
    }
    const int64_t n = capture.SampleCount();
    if (n != whole.sampleCount) std::abort();
    const int64_t start = size > 0 ? data[0] % n : 0;
    const int64_t count = 1 + (size > 1 ? data[1] : 0) % (n - start);
    std::vector<float> i(static_cast<size_t>(count)), q(static_cast<size_t>(count));
    if (!capture.Read(start, count, i.data(), q.data()).empty()) std::abort();
    if (std::memcmp(i.data(), whole.I.data() + start, i.size() * 4) != 0 ||
        std::memcmp(q.data(), whole.Q.data() + start, q.size() * 4) != 0)
        std::abort();
    if (capture.CheckRange(start, n - start + 1).empty()) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int kTypes[] = {400, 401, 402, 403, 404, 405, 406, 407, 408, 409, 410,
                                 411, 412, 413, 414, 418, 419, 420, 421, 422, 423, 424,
                                 425, 426, 427, 428, 429, 415, 416, 0,   417, -1};
    const std::string file = MemoryFile(data, size);
    for (int type : kTypes) {
        cWaveform w;
        w.fileType = type;
        w.rawFile.assign(data, data + size);
        w.rawByteCount = static_cast<int>(size);
        const int n = w.ParseRaw();
        if (n < 0) std::abort();
        if (n > 0 && (w.sampleCount != n || w.I.size() != size_t(n) || w.Q.size() != size_t(n)))
            std::abort();
        // Every sample has been written, and no reader lets an infinity or NaN in (a number
        // too long for a float is capped like one with too large an exponent).
        for (int k = 0; k < n; ++k)
            if (!std::isfinite(w.I[k]) || !std::isfinite(w.Q[k])) std::abort();
        if (n > 0 && type >= 404) CheckRange(w, file, type, data, size);
    }
    CheckMetadata(data, size);
    CheckWav(file);
    CheckArchive(file, size);
    return 0;
}
