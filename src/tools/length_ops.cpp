#include "tools/length_ops.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>

#include "tools/resized_result.h"
#include "tools/sample_loop.h"
#include "waveform/waveform.h"

namespace {

void CopyRange(const float* from, float* to, int64_t count) {
    if (count > 0) std::memcpy(to, from, sizeof(float) * static_cast<size_t>(count));
}

// Writes outputs [b, e) of the samples of `a` (na of them) followed by those of `b2` (nb),
// repeated: output j is the sample j mod (na + nb) of that concatenation. Copies whole runs.
void ConcatenatedRange(const float* a, int64_t na, const float* b2, int64_t nb, float* out,
                       int64_t b, int64_t e) {
    const int64_t period = na + nb;
    for (int64_t j = b; j < e;) {
        const int64_t at = j % period;
        const int64_t run = std::min(e - j, at < na ? na - at : period - at);
        CopyRange(at < na ? a + at : b2 + (at - na), out + j, run);
        j += run;
    }
}

}  // namespace

int CropSamples(cWaveform& wave, int64_t first, int64_t last, const WorkControl& ctx) {
    const int64_t n = wave.sampleCount;
    if (!(first >= 0 && first < n && first < last && last < n)) return kErrCrop;
    wave.EnsureTimeDomain(true);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    const bool done =
        BuildResized(wave, last - first + 1, ctx, [&](float* oI, float* oQ, int64_t b, int64_t e) {
            CopyRange(I + first + b, oI + b, e - b);
            CopyRange(Q + first + b, oQ + b, e - b);
        });
    return done ? kToolOk : kErrStopped;
}

int64_t MiddleCropStart(int64_t n, int64_t k) {
    return static_cast<int64_t>(static_cast<double>(n - k) / 2.0 + 0.5);
}

double RequestedLength(float v, int64_t sampleRateHz) {
    if (!std::isfinite(v)) return std::nan("");
    if (v > 10.0f) return std::trunc(static_cast<double>(v));
    return SamplesInSeconds(v, sampleRateHz);
}

double SamplesInSeconds(float v, int64_t sampleRateHz) {
    if (!std::isfinite(v)) return std::nan("");
    // The float as the shortest decimal that reads back as it: the number typed.
    char text[64];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, v);
    double seconds = v;
    if (ec == std::errc()) std::from_chars(text, end, seconds);
    const double x = seconds * static_cast<double>(sampleRateHz);
    const double whole = std::round(x);
    if (std::fabs(x - whole) <= 1e-9 * std::max(1.0, std::fabs(x))) return whole;
    return std::trunc(x);
}

int SetLength(cWaveform& wave, int64_t length, const WorkControl& ctx) {
    if (length < 0) return kErrTooShort;
    if (length > kMaxToolSamples) return kErrTooLong;
    wave.EnsureTimeDomain(true);
    const int64_t n = wave.sampleCount;
    if (length == n) return kToolOk;
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    const bool done =
        BuildResized(wave, length, ctx, [&](float* oI, float* oQ, int64_t b, int64_t e) {
            const int64_t kept = std::clamp(n, b, e);
            CopyRange(I + b, oI + b, kept - b);
            CopyRange(Q + b, oQ + b, kept - b);
            std::fill(oI + kept, oI + e, 0.0f);
            std::fill(oQ + kept, oQ + e, 0.0f);
        });
    return done ? kToolOk : kErrStopped;
}

int AppendWaveform(cWaveform& wave, const cWaveform& other, const WorkControl& ctx) {
    const int64_t n = wave.sampleCount, n2 = other.sampleCount;
    if (n2 < 1) return kErrEmpty;
    if (n + n2 > kMaxToolSamples) return kErrTooLong;
    wave.EnsureTimeDomain(true);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    const float* I2 = other.I.data();
    const float* Q2 = other.Q.data();
    const bool done =
        BuildResized(wave, n + n2, ctx, [&](float* oI, float* oQ, int64_t b, int64_t e) {
            ConcatenatedRange(I, n, I2, n2, oI, b, e);
            ConcatenatedRange(Q, n, Q2, n2, oQ, b, e);
        });
    return done ? kToolOk : kErrStopped;
}

int AppendCopies(cWaveform& wave, int64_t copies, const WorkControl& ctx) {
    const int64_t n = wave.sampleCount;
    if (copies < 1) return kErrLengthOrCount;
    if (n < 1) return kErrEmpty;
    // (copies + 1)·N without overflow: copies is at most a few thousand from the prompt, but
    // the operation takes any count.
    if (copies >= kMaxToolSamples || (copies + 1) > kMaxToolSamples / n) return kErrTooLong;
    const int64_t length = (copies + 1) * n;
    wave.EnsureTimeDomain(true);
    const float* I = wave.I.data();
    const float* Q = wave.Q.data();
    const bool done =
        BuildResized(wave, length, ctx, [&](float* oI, float* oQ, int64_t b, int64_t e) {
            ConcatenatedRange(I, n, nullptr, 0, oI, b, e);
            ConcatenatedRange(Q, n, nullptr, 0, oQ, b, e);
        });
    return done ? kToolOk : kErrStopped;
}
