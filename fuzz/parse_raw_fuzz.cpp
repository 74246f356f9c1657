// Arbitrary bytes decoded under every file type (and a few that are not types), and read as
// SigMF metadata. The raw buffer is exactly as long as the input, so the sanitizers see any
// read past it; every sample must come out finite, and metadata that parses must map to a type
// the reader decodes and survive being written and read again.

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "waveform/sigmf.h"
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
    SigmfMeta again;
    if (!ParseSigmfMeta(BuildSigmfMeta("cf32_le", fields), again).empty()) std::abort();
    if (again.description != meta.description || again.author != meta.author ||
        again.frequencyHz != meta.frequencyHz)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int kTypes[] = {400, 401, 402, 403, 404, 405, 406, 407, 408, 409,
                                 410, 411, 412, 413, 414, 418, 419, 420, 421, 422,
                                 423, 424, 425, 426, 427, 0,   415, -1};
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
    }
    CheckMetadata(data, size);
    return 0;
}
