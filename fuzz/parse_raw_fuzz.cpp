// Arbitrary bytes decoded under every file type (and a few that are not types). The raw buffer
// is exactly as long as the input, so the sanitizers see any read past it; every sample must
// come out finite.

#include <cmath>
#include <cstdint>
#include <cstdlib>

#include "waveform/waveform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int kTypes[] = {400, 401, 402, 403, 404, 405, 406, 407, 408, 409,
                                 410, 411, 412, 413, 414, 418, 419, 0,   415, -1};
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
    return 0;
}
