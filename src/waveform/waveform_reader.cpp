// Loading and decoding of the headerless waveform formats.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstring>

#include "waveform/decode_kernels.h"
#include "waveform/file_messages.h"
#include "waveform/message_pump.h"
#include "waveform/parse_decimal.h"
#include "waveform/partial_reads.h"
#include "waveform/reader_parts.h"
#include "waveform/sample_rate_name.h"
#include "waveform/sigmf.h"
#include "waveform/sigmf_archive.h"
#include "waveform/split_work.h"
#include "waveform/wav_file.h"
#include "waveform/waveform.h"

const char* FileTypeMenuText(int type) {
    switch (type) {
        case kFileAsciiIQLines: return "ASCII floating point (I line Q line)";
        case kFileAsciiIQPair: return "ASCII floating point (IQ pair per line)";
        case kFileAsciiInt16: return "ASCII Integer (16b)";
        case kFileAsciiHex16: return "ASCII HEX (16b)";
        case kFileBin16BeOffset: return "Binary 16b BE OB - IQ Interleave";
        case kFileBin16BeTwos: return "Binary 16b BE 2s - IQ Interleave";
        case kFileBin16LeOffset: return "Binary 16b LE OB - IQ Interleave";
        case kFileBin16LeTwos: return "Binary 16b LE 2s - IQ Interleave";
        case kFileBin32BeTwos: return "Binary 32b BE 2s - IQ Interleave";
        case kFileCpriMantExp: return "Binary 16b CPRI Mantissa Exponent";
        case kFileReal16BeOffset: return "Binary 16b BE OB - real";
        case kFileReal16BeTwos: return "Binary 16b BE 2s - real";
        case kFileReal16LeOffset: return "Binary 16b LE OB - real";
        case kFileReal16LeTwos: return "Binary 16b LE 2s - real";
        case kFileCf32Le: return "Binary 32b float LE - IQ Interleave (.cf32)";
        case kFileCs8: return "Binary 8b 2s - IQ Interleave (.cs8)";
        case kFileCu8: return "Binary 8b unsigned - IQ Interleave (.cu8)";
        case kFileCf64Le: return "Binary 64b float LE - IQ Interleave (.cf64)";
        case kFileCi32Le: return "Binary 32b LE 2s - IQ Interleave (.ci32)";
        default: return nullptr;
    }
}

const char* FileTypeShortName(int type) {
    switch (type) {
        case kFileInstrumentCsv: return "instrument CSV";
        case kFileAsciiIQLines: return "ASCII I/Q lines";
        case kFileAsciiIQPair: return "ASCII IQ pairs";
        case kFileAsciiInt16: return "ASCII int16";
        case kFileAsciiHex16: return "ASCII hex16";
        case kFileBin16BeOffset: return "16-bit BE offset";
        case kFileBin16BeTwos: return "16-bit BE";
        case kFileBin16LeOffset: return "16-bit LE offset";
        case kFileBin16LeTwos: return "16-bit LE";
        case kFileBin32BeTwos: return "32-bit BE";
        case kFileReal16BeOffset: return "real 16-bit BE offset";
        case kFileReal16BeTwos:
        case kFileReal16BeTwosAlt: return "real 16-bit BE";
        case kFileReal16LeOffset: return "real 16-bit LE offset";
        case kFileReal16LeTwos:
        case kFileReal16LeTwosAlt: return "real 16-bit LE";
        case kFileCpriMantExp: return "CPRI";
        case kFileMarker: return "marker";
        case kFileCf32Le: return "cf32";
        case kFileCs8: return "cs8";
        case kFileCu8: return "cu8";
        case kFileCf32Be: return "cf32 BE";
        case kFileRf32Le: return "rf32";
        case kFileRf32Be: return "rf32 BE";
        case kFileRi8: return "ri8";
        case kFileRu8: return "ru8";
        case kFileCf64Le: return "cf64";
        case kFileCi32Le: return "ci32";
        case kFileWavU8: return "WAV 8-bit";
        case kFileInt24Le: return "WAV 24-bit";
        case kFileTableMhzQ3:
        case kFileTableMhzQSpec:
        case kFileTableMilli:
        case kFileTableMhzQ4: return "table";
        default: return "";
    }
}

std::string FileTypeLabel(int type) {
    const std::string name = FileTypeShortName(type);
    return std::to_string(type) + (name.empty() ? "" : " " + name);
}

int64_t LoadedSampleRateHz(double hz) {
    if (!(hz >= 999.5)) return kFallbackSampleRateHz;
    return static_cast<int64_t>(std::llround(std::min(hz, 9e18)));
}

namespace {

// value / 32767 rounded to float. Multiplying by the double reciprocal gives the same float
// as the division for every 16-bit value (checked exhaustively by the tests), and vectorises.
constexpr double kRecip16 = 1.0 / kScale16;
inline float Scale16(int v) { return static_cast<float>(v * kRecip16); }

inline uint16_t WordBE(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
inline uint16_t WordLE(const uint8_t* p) { return static_cast<uint16_t>((p[1] << 8) | p[0]); }

template <bool BigEndian, bool Offset>
inline float Decode16(const uint8_t* p) {
    uint16_t w = BigEndian ? WordBE(p) : WordLE(p);
    if (Offset) w = static_cast<uint16_t>(w ^ 0x8000u);
    return Scale16(static_cast<int16_t>(w));
}

template <bool BigEndian, bool Offset>
void DecodeInterleaved16(const uint8_t* raw, int count, float* I, float* Q) {
    int k = 0;
    if (decode_detail::HaveAvx512Bw())
        k = decode_detail::DecodeInterleaved16Avx512(raw, count, I, Q, BigEndian, Offset);
    for (; k < count; ++k) {
        I[k] = Decode16<BigEndian, Offset>(raw + 4 * static_cast<size_t>(k));
        Q[k] = Decode16<BigEndian, Offset>(raw + 4 * static_cast<size_t>(k) + 2);
    }
}

template <bool BigEndian, bool Offset>
void DecodeReal16(const uint8_t* raw, int count, float* I, float* Q) {
    int k = 0;
    if (decode_detail::HaveAvx512Bw())
        k = decode_detail::DecodeReal16Avx512(raw, count, I, BigEndian, Offset);
    for (; k < count; ++k)
        I[k] = Decode16<BigEndian, Offset>(raw + 2 * static_cast<size_t>(k));
    std::fill(Q, Q + count, 0.0f);
}

void DecodeBin32(const uint8_t* raw, int count, float* I, float* Q) {
    auto word = [](const uint8_t* p) {
        const uint32_t u =
            (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
        return static_cast<int32_t>(u);
    };
    for (int k = 0; k < count; ++k) {
        const uint8_t* p = raw + 8 * static_cast<size_t>(k);
        I[k] = static_cast<float>(word(p) / kScale32);
        Q[k] = static_cast<float>(word(p + 4) / kScale32);
    }
}

// Shared-exponent format: two big-endian words, 13-bit mantissas in bits 13..1 of each word
// and a 3-bit exponent from bit 15 of I (bit 2), bit 14 of Q (bit 1) and bit 14 of I (bit 0).
void DecodeCpri(const uint8_t* raw, int count, float* I, float* Q) {
    auto mantissa = [](unsigned v) {
        const int m = static_cast<int>(v & 0x1FFFu);
        return (m & 0x1000) ? m - 0x2000 : m;
    };
    for (int k = 0; k < count; ++k) {
        const uint8_t* p = raw + 4 * static_cast<size_t>(k);
        const unsigned a = WordBE(p) >> 1;
        const unsigned b = WordBE(p + 2) >> 1;
        const int e =
            static_cast<int>((((a >> 1) & 0x1000u) | (a & 0x4000u) | (b & 0x2000u)) >> 12);
        const double scale = static_cast<double>(1 << e) * 1.9073486328125e-06;  // 2^e * 2^-19
        I[k] = static_cast<float>(mantissa(a) * scale);
        Q[k] = static_cast<float>(mantissa(b) * scale);
    }
}

void DecodeMarker(const uint8_t* raw, int count, float* I, float* Q) {
    for (int k = 0; k < count; ++k) {
        I[k] = (raw[k] & 0x08) ? 1.0f : 0.0f;
        Q[k] = (raw[k] & 0x04) ? 1.0f : 0.0f;
    }
}

// IEEE single words as stored. A NaN or an infinity (all exponent bits set) would poison every
// sum, spectrum and plot after it, so it becomes 0 and is counted for the load notes.
// Returns that count; kept in a local, so the loop vectorises.
template <bool BigEndian, bool Complex>
int64_t DecodeFloat32(const uint8_t* raw, int count, float* __restrict I, float* __restrict Q) {
    constexpr size_t stride = Complex ? 8 : 4;
    const auto value = [](const uint8_t* p, int64_t& bad) {
        uint32_t u;
        std::memcpy(&u, p, 4);
        if constexpr (BigEndian != (std::endian::native == std::endian::big))
            u = __builtin_bswap32(u);
        const bool nonFinite = (u & 0x7F800000u) == 0x7F800000u;
        bad += nonFinite;
        return std::bit_cast<float>(nonFinite ? 0u : u);
    };
    int64_t bad = 0;
#pragma GCC ivdep
    for (int k = 0; k < count; ++k) {
        const uint8_t* p = raw + stride * static_cast<size_t>(k);
        I[k] = value(p, bad);
        Q[k] = Complex ? value(p + 4, bad) : 0.0f;
    }
    return bad;
}

// Complex float64, little-endian, rounded to float. A value that is no finite float (NaN, an
// infinity, or beyond float's range) reads as 0 and is counted, as in the float32 types.
int64_t DecodeFloat64Le(const uint8_t* raw, int count, float* __restrict I, float* __restrict Q) {
    const auto value = [](const uint8_t* p, int64_t& bad) {
        uint64_t u;
        std::memcpy(&u, p, 8);
        if constexpr (std::endian::native == std::endian::big) u = __builtin_bswap64(u);
        const float f = static_cast<float>(std::bit_cast<double>(u));
        const bool nonFinite = !std::isfinite(f);
        bad += nonFinite;
        return nonFinite ? 0.0f : f;
    };
    int64_t bad = 0;
    for (int k = 0; k < count; ++k) {
        I[k] = value(raw + 16 * static_cast<size_t>(k), bad);
        Q[k] = value(raw + 16 * static_cast<size_t>(k) + 8, bad);
    }
    return bad;
}

// Complex int32, little-endian, over 2^31 - 1.
void DecodeInt32Le(const uint8_t* raw, int count, float* __restrict I, float* __restrict Q) {
    const auto word = [](const uint8_t* p) {
        const uint32_t u =
            (uint32_t{p[3]} << 24) | (uint32_t{p[2]} << 16) | (uint32_t{p[1]} << 8) | p[0];
        return static_cast<float>(static_cast<int32_t>(u) / kScaleInt32);
    };
    for (int k = 0; k < count; ++k) {
        I[k] = word(raw + 8 * static_cast<size_t>(k));
        Q[k] = word(raw + 8 * static_cast<size_t>(k) + 4);
    }
}

// 8-bit WAV samples: unsigned about 128, over 127 as the int8 type (0 reads slightly beyond -1).
void DecodeWavU8(const uint8_t* raw, int count, float* __restrict I, float* __restrict Q) {
    for (int k = 0; k < count; ++k) {
        I[k] = static_cast<float>((raw[2 * static_cast<size_t>(k)] - 128) / 127.0);
        Q[k] = static_cast<float>((raw[2 * static_cast<size_t>(k) + 1] - 128) / 127.0);
    }
}

// 24-bit WAV samples: little-endian two's complement over 2^23 - 1.
void DecodeInt24Le(const uint8_t* raw, int count, float* __restrict I, float* __restrict Q) {
    const auto word = [](const uint8_t* p) {
        int32_t v = p[0] | p[1] << 8 | p[2] << 16;
        if (v & 0x800000) v -= 0x1000000;
        return static_cast<float>(v / 8388607.0);
    };
    for (int k = 0; k < count; ++k) {
        I[k] = word(raw + 6 * static_cast<size_t>(k));
        Q[k] = word(raw + 6 * static_cast<size_t>(k) + 3);
    }
}

// The value of every byte: int8 over 127 (so -128 reads slightly beyond full scale), or uint8
// about the centre 127.5 over 127.5 (0 and 255 are -1 and +1, and no byte reads as 0).
using ByteTable = std::array<float, 256>;
const ByteTable& Int8Values() {
    static const ByteTable table = [] {
        ByteTable t{};
        for (int b = 0; b < 256; ++b)
            t[static_cast<size_t>(b)] = static_cast<float>(static_cast<int8_t>(b) / 127.0);
        return t;
    }();
    return table;
}
const ByteTable& Uint8Values() {
    static const ByteTable table = [] {
        ByteTable t{};
        for (int b = 0; b < 256; ++b)
            t[static_cast<size_t>(b)] = static_cast<float>((b - 127.5) / 127.5);
        return t;
    }();
    return table;
}

template <bool Complex>
void DecodeBytes(const ByteTable& value, const uint8_t* raw, int count, float* I, float* Q) {
    if (Complex) {
        for (int k = 0; k < count; ++k) {
            I[k] = value[raw[2 * static_cast<size_t>(k)]];
            Q[k] = value[raw[2 * static_cast<size_t>(k) + 1]];
        }
    } else {
        for (int k = 0; k < count; ++k)
            I[k] = value[raw[k]];
        std::fill(Q, Q + count, 0.0f);
    }
}

// Cursor over the text of an ASCII file. Every sample owns one line (two for type 400): when a
// sample's parse does not end by consuming a line feed, the cursor moves past the next one, so
// text that is not a number costs the samples of its own line only.
struct TextCursor {
    const char* p;
    const char* end;

    bool Skip(char c) {
        if (p < end && *p == c) {
            ++p;
            return true;
        }
        return false;
    }
    void EndLine(bool lineFeedSkipped) {
        if (lineFeedSkipped) return;
        const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p));
        p = lf ? static_cast<const char*>(lf) + 1 : end;
    }
    float Decimal(bool* isNumber = nullptr) { return ParseDecimal(p, end, &p, isNumber); }
    // strtol at the cursor, but its white-space skip stops at the end of the line.
    int64_t Integer(int base, bool* isNumber = nullptr) {
        while (p < end && *p != '\n' && (*p == ' ' || (*p >= '\t' && *p <= '\r')))
            ++p;
        const char* start = p;
        const int64_t v = (p >= end || *p == '\n') ? 0 : ParseInteger(p, end, base, &p);
        if (isNumber) *isNumber = p != start;
        return v;
    }
};

float Scale16Text(int64_t v) {
    if (v > 32767) v -= 65536;
    return static_cast<float>(static_cast<double>(v) / kScale16);
}

// Decodes count samples; returns the lines that began without a number (each still gave its
// value 0.0), so a header or comment that cost a sample can be reported.
int64_t DecodeAscii(int type, const char* text, size_t bytes, int count, float* I, float* Q) {
    TextCursor c{text, text + bytes};
    int64_t unparsed = 0;
    bool number = true;
    for (int k = 0; k < count; ++k) {
        switch (type) {
            case kFileAsciiIQLines:
                I[k] = c.Decimal(&number);
                unparsed += !number;
                c.Skip('\r');
                c.EndLine(c.Skip('\n'));
                Q[k] = c.Decimal(&number);
                unparsed += !number;
                c.Skip('\r');
                c.EndLine(c.Skip('\n'));
                break;
            case kFileAsciiIQPair:
                I[k] = c.Decimal(&number);
                unparsed += !number;
                c.Skip(',');
                c.Skip('\t');
                c.Skip('+');
                Q[k] = c.Decimal();
                c.Skip('i');
                c.Skip('\t');
                c.Skip('\r');
                c.EndLine(c.Skip('\n'));
                break;
            default: {  // 402 and 403
                const int base = type == kFileAsciiHex16 ? 16 : 10;
                const int64_t i = c.Integer(base, &number);
                unparsed += !number;
                c.Skip(',');
                c.Skip('\t');
                c.Skip('+');
                c.Skip('\r');
                const int64_t q = (c.p < c.end && *c.p != '\n') ? c.Integer(base) : 0;
                c.Skip('i');
                c.Skip('\r');
                c.EndLine(c.Skip('\n'));
                I[k] = Scale16Text(i);
                Q[k] = Scale16Text(q);
                break;
            }
        }
    }
    return unparsed;
}

int64_t CountLineFeeds(const uint8_t* data, size_t bytes) {
    int64_t n = 0;
    const uint8_t* p = data;
    const uint8_t* end = data + bytes;
    while (p < end) {
        const void* lf = std::memchr(p, '\n', static_cast<size_t>(end - p));
        if (!lf) break;
        ++n;
        p = static_cast<const uint8_t*>(lf) + 1;
    }
    return n;
}

// Reads bytes [begin, end) of the file at offset begin into buf; returns the bytes read before
// an error or the end of the file.
int64_t ReadRange(int fd, uint8_t* buf, int64_t begin, int64_t end) {
    int64_t at = begin;
    while (at < end) {
        const ssize_t r =
            ::pread(fd, buf + at, static_cast<size_t>(end - at), static_cast<off_t>(at));
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        at += r;
    }
    return at - begin;
}

// Files from this size on are read and decoded by two threads.
constexpr int64_t kParallelBytes = int64_t{32} << 20;

}  // namespace

// A non-blocking open, so a FIFO or a device cannot hang the program; bytesRead is 0 when the
// read failed at once.
LoadFailure ReadWholeFile(const std::string& path, ByteArray& buf, SourceFile& source, int* error,
                          int64_t maxBytes) {
    source = SourceFile{};
    *error = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        *error = errno;
        return LoadFailure::CannotOpen;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        *error = errno;
        ::close(fd);
        return LoadFailure::ReadFailed;
    }
    if (!S_ISREG(st.st_mode) || st.st_size <= 0) {
        ::close(fd);
        return S_ISREG(st.st_mode) ? LoadFailure::Empty : LoadFailure::NotRegularFile;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    source.fileBytes = st.st_size;
    source.device = static_cast<uint64_t>(st.st_dev);
    source.inode = static_cast<uint64_t>(st.st_ino);
    source.bornNs = FileBirthNs(fd);
    const int64_t length = std::min<int64_t>(st.st_size, maxBytes);
    ByteArray().swap(buf);
    buf.resize(static_cast<size_t>(length));
    int64_t got[2] = {0, 0};
    int64_t firstEnd = length;
    errno = 0;
    SplitInTwo(length, kParallelBytes, 4096, [&](int64_t begin, int64_t end) {
        if (begin == 0) firstEnd = end;
        got[begin == 0 ? 0 : 1] = ReadRange(fd, buf.data(), begin, end);
    });
    const int readError = errno;
    ::close(fd);
    // A file cut short while we read it keeps the part that arrived in one piece.
    source.bytesRead = got[0] < firstEnd ? got[0] : firstEnd + got[1];
    RememberPartialRead(source);
    buf.resize(static_cast<size_t>(source.bytesRead));
    if (source.bytesRead == 0) {
        *error = readError;
        return LoadFailure::ReadFailed;
    }
    return LoadFailure::None;
}

// 413 and 414 have no menu entry and read like 410 and 412.
int64_t BytesPerSample(int type) {
    switch (type) {
        case kFileAsciiIQLines:
        case kFileAsciiIQPair:
        case kFileAsciiInt16:
        case kFileAsciiHex16: return 0;
        case kFileBin16BeOffset:
        case kFileBin16BeTwos:
        case kFileBin16LeOffset:
        case kFileBin16LeTwos:
        case kFileCpriMantExp: return 4;
        case kFileBin32BeTwos: return 8;
        case kFileReal16BeOffset:
        case kFileReal16BeTwos:
        case kFileReal16LeOffset:
        case kFileReal16LeTwos:
        case kFileReal16BeTwosAlt:
        case kFileReal16LeTwosAlt: return 2;
        case kFileMarker: return 1;
        case kFileCf32Le:
        case kFileCf32Be: return 8;
        case kFileRf32Le:
        case kFileRf32Be: return 4;
        case kFileCs8:
        case kFileCu8: return 2;
        case kFileRi8:
        case kFileRu8: return 1;
        case kFileCf64Le: return 16;
        case kFileCi32Le: return 8;
        case kFileWavU8: return 2;
        case kFileInt24Le: return 6;
        default: return -1;
    }
}

namespace {

// Samples the raw bytes hold for a file type (binary: whole samples; text: line feeds, two per
// sample for 400), or -1 for an unknown type.
int64_t SampleCountFor(int type, const uint8_t* raw, size_t bytes) {
    const int64_t stride = BytesPerSample(type);
    if (stride < 0) return -1;
    if (stride > 0) return static_cast<int64_t>(bytes) / stride;
    const int64_t lines = CountLineFeeds(raw, bytes);
    return type == kFileAsciiIQLines ? lines / 2 : lines;
}

}  // namespace

int64_t DecodeBinary(int type, const uint8_t* raw, int n, float* i, float* q) {
    switch (type) {
        case kFileCf32Le: return DecodeFloat32<false, true>(raw, n, i, q);
        case kFileCf32Be: return DecodeFloat32<true, true>(raw, n, i, q);
        case kFileRf32Le: return DecodeFloat32<false, false>(raw, n, i, q);
        case kFileRf32Be: return DecodeFloat32<true, false>(raw, n, i, q);
        case kFileCf64Le: return DecodeFloat64Le(raw, n, i, q);
        case kFileCi32Le: DecodeInt32Le(raw, n, i, q); break;
        case kFileWavU8: DecodeWavU8(raw, n, i, q); break;
        case kFileInt24Le: DecodeInt24Le(raw, n, i, q); break;
        case kFileCs8: DecodeBytes<true>(Int8Values(), raw, n, i, q); break;
        case kFileCu8: DecodeBytes<true>(Uint8Values(), raw, n, i, q); break;
        case kFileRi8: DecodeBytes<false>(Int8Values(), raw, n, i, q); break;
        case kFileRu8: DecodeBytes<false>(Uint8Values(), raw, n, i, q); break;
        case kFileBin16BeOffset: DecodeInterleaved16<true, true>(raw, n, i, q); break;
        case kFileBin16BeTwos: DecodeInterleaved16<true, false>(raw, n, i, q); break;
        case kFileBin16LeOffset: DecodeInterleaved16<false, true>(raw, n, i, q); break;
        case kFileBin16LeTwos: DecodeInterleaved16<false, false>(raw, n, i, q); break;
        case kFileBin32BeTwos: DecodeBin32(raw, n, i, q); break;
        case kFileCpriMantExp: DecodeCpri(raw, n, i, q); break;
        case kFileReal16BeOffset: DecodeReal16<true, true>(raw, n, i, q); break;
        case kFileReal16BeTwos:
        case kFileReal16BeTwosAlt: DecodeReal16<true, false>(raw, n, i, q); break;
        case kFileReal16LeOffset: DecodeReal16<false, true>(raw, n, i, q); break;
        case kFileReal16LeTwos:
        case kFileReal16LeTwosAlt: DecodeReal16<false, false>(raw, n, i, q); break;
        case kFileMarker: DecodeMarker(raw, n, i, q); break;
        default: break;
    }
    return 0;
}

std::string ReadFailureText(LoadFailure why, int error, const std::string& what) {
    switch (why) {
        case LoadFailure::NotRegularFile: return what + " is not a regular file";
        case LoadFailure::Empty: return what + " is empty";
        default: return what + ": " + (error != 0 ? std::strerror(error) : "cannot be read");
    }
}

std::string ReadSigmfMetaFile(const std::string& path, SigmfMeta& meta) {
    const std::string metaPath = SigmfMetaPath(path);
    const std::string metaName = BaseName(metaPath);
    ByteArray text;
    SourceFile metaSource;
    int error = 0;
    const LoadFailure why =
        ReadWholeFile(metaPath, text, metaSource, &error, kMaxSigmfMetaBytes + 1);
    if (why != LoadFailure::None) return ReadFailureText(why, error, "metadata file " + metaName);
    const std::string problem =
        metaSource.fileBytes > kMaxSigmfMetaBytes
            ? "it is larger than " + std::to_string(kMaxSigmfMetaBytes >> 20) + " MB"
            : ParseSigmfMeta(
                  std::string_view(reinterpret_cast<const char*>(text.data()), text.size()), meta);
    return problem.empty() ? problem : metaName + ": " + problem;
}

std::string ReadRecordingMeta(const std::string& path, SigmfMeta& meta, std::string& dataPath,
                              int64_t& dataOffset, int64_t& dataBytes) {
    if (!IsSigmfArchivePath(path)) {
        dataPath = SigmfDataPath(path);
        dataOffset = 0;
        dataBytes = -1;
        return ReadSigmfMetaFile(path, meta);
    }
    SigmfArchiveLayout layout;
    if (std::string why = ReadSigmfArchive(path, layout); !why.empty())
        return BaseName(path) + ": " + why;
    dataPath = path;
    dataOffset = layout.dataOffset;
    dataBytes = layout.dataBytes;
    const std::string problem = ParseSigmfMeta(layout.metaText, meta);
    return problem.empty() ? problem : BaseName(path) + ": " + layout.metaEntry + ": " + problem;
}

std::string CheckChannel(const SigmfMeta& meta, int64_t channel) {
    if (channel >= 0 && channel < meta.channelCount) return "";
    return "the recording holds " + std::to_string(meta.channelCount) +
           (meta.channelCount == 1
                ? " channel (0)"
                : " channels (0 to " + std::to_string(meta.channelCount - 1) + ")") +
           "; there is no channel " + std::to_string(channel);
}

int64_t KeepChannel(uint8_t* bytes, int64_t n, int64_t stride, int64_t channels, int64_t channel) {
    if (channels <= 1) return n * stride;
    // Each sample moves to an earlier place (or stays), so one pass forward is safe.
    for (int64_t i = 0; i < n; ++i)
        std::memmove(bytes + i * stride, bytes + (i * channels + channel) * stride,
                     static_cast<size_t>(stride));
    return n * stride;
}

RecordingInfo RecordingInfoFrom(const SigmfMeta& meta, int64_t channel) {
    RecordingInfo info;
    info.channelCount = meta.channelCount;
    info.channel = channel;
    info.sha512 = meta.sha512;
    info.otherGlobalKeys = meta.otherGlobalKeys;
    info.otherTopKeys = meta.otherTopKeys;
    info.datatype = meta.datatype;
    info.sampleRateHz = meta.sampleRateHz;
    info.centreFrequencyHz = meta.frequencyHz;
    info.description = meta.description;
    info.author = meta.author;
    info.describedSamples = meta.describedSamples;
    info.annotationCount = meta.annotationCount;
    info.segments = meta.segments;
    info.annotations = meta.annotations;
    return info;
}

namespace {

// Reads the recording path names: its metadata into info and *type (the file type of its
// datatype), then up to kMaxFileBytes of its data file into buf, without the header and
// trailing bytes the metadata names. Returns None, or BadRecording with the reason in detail.
LoadFailure ReadRecording(const std::string& path, int64_t channel, ByteArray& buf,
                          SourceFile& source, int* error, RecordingInfo& info, int* type,
                          std::string& detail) {
    SigmfMeta meta;
    std::string dataPath;
    int64_t dataOffset = 0, dataBytes = -1;
    *error = 0;
    detail = ReadRecordingMeta(path, meta, dataPath, dataOffset, dataBytes);
    if (detail.empty()) detail = CheckChannel(meta, channel);
    if (!detail.empty()) return LoadFailure::BadRecording;
    const std::string dataName = IsSigmfArchivePath(path) ? "the data of " + BaseName(path)
                                                          : "data file " + BaseName(dataPath);
    *type = FileTypeForSigmfDatatype(meta.datatype);
    info = RecordingInfoFrom(meta, channel);
    info.dataPath = dataPath;
    info.dataOffset = dataOffset;
    info.dataBytes = dataBytes;

    const LoadFailure why = ReadWholeFile(dataPath, buf, source, error);
    if (why != LoadFailure::None) {
        detail = ReadFailureText(why, *error, dataName);
        if (why == LoadFailure::Empty && meta.describedSamples > 0)
            detail +=
                "; the metadata describes " + std::to_string(meta.describedSamples) + " samples";
        return LoadFailure::BadRecording;
    }
    // The trailing bytes are known only when the data was read to its end.
    const int64_t dataEnd = dataBytes < 0 ? source.fileBytes : dataOffset + dataBytes;
    int64_t end = std::min(source.bytesRead, dataEnd);
    if (source.bytesRead >= dataEnd) end -= std::min(end - dataOffset, meta.trailingBytes);
    const int64_t begin = std::min(dataOffset + meta.headerBytes, end);
    if (begin > 0) std::memmove(buf.data(), buf.data() + begin, static_cast<size_t>(end - begin));
    int64_t kept = end - begin;
    const int64_t stride = BytesPerSample(*type);
    if (meta.channelCount > 1 && stride > 0) {
        const int64_t frames = kept / (stride * meta.channelCount);
        kept = KeepChannel(buf.data(), frames, stride, meta.channelCount, channel);
    }
    buf.resize(static_cast<size_t>(kept));
    if (static_cast<int64_t>(buf.size()) < std::max<int64_t>(2, stride)) {
        detail = dataName + " holds no whole " + meta.datatype + " sample";
        return LoadFailure::BadRecording;
    }
    return LoadFailure::None;
}

// Reads the WAV file at path as ReadRecording reads a recording: its header into info and
// *type, up to kMaxFileBytes of it into buf, only the samples kept.
LoadFailure ReadWav(const std::string& path, ByteArray& buf, SourceFile& source, int* error,
                    RecordingInfo& info, int* type, std::string& detail) {
    WavLayout layout;
    *error = 0;
    detail = ReadWavLayout(path, layout);
    if (!detail.empty()) return LoadFailure::BadRecording;
    *type = layout.fileType;
    info = RecordingInfo{};
    info.sampleRateHz = static_cast<double>(layout.sampleRateHz);
    info.centreFrequencyHz = layout.centreHz;
    const LoadFailure why = ReadWholeFile(path, buf, source, error);
    if (why != LoadFailure::None) {
        detail = ReadFailureText(why, *error, BaseName(path));
        return LoadFailure::BadRecording;
    }
    const int64_t end = std::min(source.bytesRead, layout.dataOffset + layout.dataBytes);
    const int64_t begin = std::min(layout.dataOffset, end);
    if (begin > 0) std::memmove(buf.data(), buf.data() + begin, static_cast<size_t>(end - begin));
    buf.resize(static_cast<size_t>(end - begin));
    if (static_cast<int64_t>(buf.size()) < BytesPerSample(*type)) {
        detail = BaseName(path) + " holds no whole sample (" + layout.format + ")";
        return LoadFailure::BadRecording;
    }
    return LoadFailure::None;
}

}  // namespace

bool IsReadableFileType(int type) { return BytesPerSample(type) >= 0; }

int cWaveform::ParseRaw() {
    if (rawByteCount < 2 || rawFile.empty()) return 0;
    const size_t bytes = std::min(static_cast<size_t>(rawByteCount), rawFile.size());
    const uint8_t* raw = rawFile.data();
    const int64_t count = SampleCountFor(fileType, raw, bytes);
    if (count < 1) return 0;
    const int n = static_cast<int>(count);
    AllocateScratch(n);
    SwapScratch();
    const int type = fileType;
    const int64_t stride = BytesPerSample(type);
    unparsedLines = 0;
    nonFiniteValues = 0;
    if (stride == 0) {
        unparsedLines =
            DecodeAscii(type, reinterpret_cast<const char*>(raw), bytes, n, I.data(), Q.data());
    } else {
        int64_t bad[2] = {0, 0};
        SplitInTwo(n, kParallelBytes / stride, 64, [&](int64_t begin, int64_t end) {
            bad[begin == 0 ? 0 : 1] =
                DecodeBinary(type, raw + begin * stride, static_cast<int>(end - begin),
                             I.data() + begin, Q.data() + begin);
        });
        nonFiniteValues = bad[0] + bad[1];
    }
    domainState = DomainState::TimeOnly;
    return n;
}

int cWaveform::LoadFile(const std::string& path, bool keepOnFailure) {
    title = path;
    PumpMessagesFor(1);
    // Read-only: a capture on a read-only disk or without write permission must load.
    SourceFile read;
    RecordingInfo info;
    const bool recordingFile = IsSigmfRecordingPath(path);
    int type = fileType;
    loadDetail.clear();
    const bool wavFile = IsWavPath(path);
    loadFailure = recordingFile ? ReadRecording(path, recordingChannel, rawFile, read, &loadErrno,
                                                info, &type, loadDetail)
                  : wavFile     ? ReadWav(path, rawFile, read, &loadErrno, info, &type, loadDetail)
                                : ReadWholeFile(path, rawFile, read, &loadErrno);
    if (loadFailure == LoadFailure::None) {
        rawByteCount = static_cast<int>(rawFile.size());
        const int previousType = fileType;
        fileType = type;
        const int count = ParseRaw();
        if (count >= 1) {
            source = read;
            recording = info;
            ReleaseArray(markers);
            markerCount = 0;
            const NamedCapture named = CaptureFromName(title);
            if (info.sampleRateHz)
                sampleRate = LoadedSampleRateHz(*info.sampleRateHz);
            else if (named.rateHz > 0)
                sampleRate = named.rateHz;
            if (!recordingFile && !wavFile) recording.centreFrequencyHz = named.centreHz;
            if (sampleRate < 1000) sampleRate = kFallbackSampleRateHz;
            saveTypeMode = 0;
            domainState = DomainState::TimeOnly;
            return 0;
        }
        fileType = previousType;
        loadFailure = LoadFailure::NoSamples;
    } else if (loadFailure == LoadFailure::ReadFailed || recordingFile || wavFile) {
        rawByteCount = static_cast<int>(rawFile.size());  // the buffer was emptied or replaced
    }
    if (!keepOnFailure) {
        AllocateScratch(1);
        scratchI[0] = 0.0f;
        scratchQ[0] = 0.0f;
        SwapScratch();
        ReleaseArray(scratchI);
        ReleaseArray(scratchQ);
        scratchCount = 0;
        saveTypeMode = 0;
        domainState = DomainState::TimeOnly;
        source = SourceFile{};
        unparsedLines = 0;
        nonFiniteValues = 0;
        recording = RecordingInfo{};
    }
    return kErrLoadFailed;
}
