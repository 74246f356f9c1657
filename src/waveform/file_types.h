#pragma once
// Waveform file formats. Files carry no header: the chosen type decides how the bytes are
// decoded and how the waveform is written back. Each value is its File Type menu command id.

#include <cstdint>
#include <string>

// Waveform file formats (File Type menu); the same value selects the reader and the writer.
enum WaveformFileType : int {
    kFileAsciiIQLines = 400,     // "ASCII floating point (I line Q line)"
    kFileAsciiIQPair = 401,      // "ASCII floating point (IQ pair per line)"
    kFileAsciiInt16 = 402,       // "ASCII Integer (16b)"
    kFileAsciiHex16 = 403,       // "ASCII HEX (16b)"
    kFileBin16BeOffset = 404,    // "Binary 16b BE OB - IQ Interleave"
    kFileBin16BeTwos = 405,      // "Binary 16b BE 2s - IQ Interleave"
    kFileBin16LeOffset = 406,    // "Binary 16b LE OB - IQ Interleave"
    kFileBin16LeTwos = 407,      // "Binary 16b LE 2s - IQ Interleave"
    kFileBin32BeTwos = 408,      // "Binary 32b BE 2s - IQ Interleave"
    kFileReal16BeOffset = 409,   // "Binary 16b BE OB - real"
    kFileReal16BeTwos = 410,     // "Binary 16b BE 2s - real"
    kFileReal16LeOffset = 411,   // "Binary 16b LE OB - real"
    kFileReal16LeTwos = 412,     // "Binary 16b LE 2s - real"
    kFileReal16BeTwosAlt = 413,  // no menu entry: read as 410
    kFileReal16LeTwosAlt = 414,  // no menu entry: read as 412
    kFileWavU8 = 415,            // no menu entry: 8-bit WAV, unsigned about 128, full scale 127
    kFileInt24Le = 416,          // no menu entry: 24-bit WAV, full scale 2^23 - 1
    kFileCpriMantExp = 418,      // "Binary 16b CPRI Mantissa Exponent"
    kFileMarker = 419,           // marker file, one byte per sample (no menu entry)
    // Raw captures of receivers and generators, and the sample formats of SigMF recordings.
    // They follow the last specified type in the unused 420-429 block, so every file type
    // stays a 4xx number below the behaviour commands 430/431.
    kFileCf32Le = 420,  // "Binary 32b float LE - IQ Interleave (.cf32)", as stored, no scaling
    kFileCs8 = 421,     // "Binary 8b 2s - IQ Interleave (.cs8)", full scale 127
    kFileCu8 = 422,     // "Binary 8b unsigned - IQ Interleave (.cu8)", centre and scale 127.5
    kFileCf32Be = 423,  // no menu entry: SigMF cf32_be
    kFileRf32Le = 424,  // no menu entry: SigMF rf32_le (Q = 0)
    kFileRf32Be = 425,  // no menu entry: SigMF rf32_be
    kFileRi8 = 426,     // no menu entry: SigMF ri8, as 421
    kFileRu8 = 427,     // no menu entry: SigMF ru8, as 422
    kFileCf64Le = 428,  // "Binary 64b float LE - IQ Interleave (.cf64)", rounded to float
    kFileCi32Le = 429,  // "Binary 32b LE 2s - IQ Interleave (.ci32)", full scale 2^31 - 1
};

// Formats that are only written, chosen through the stored file type setting.
constexpr int kFileInstrumentCsv = 399;    // header, then the lines of 401
constexpr int kFileTableMhzQ3 = 40111;     // "%.3f,%.2f\n": I * 1e-6, Q
constexpr int kFileTableMhzQSpec = 40112;  // "%.3f,%.2f,%.2f\n": I * 1e-6, Q, spectrum float
constexpr int kFileTableMilli = 40113;     // "%d,%d\n": R(I * 1000), R(Q * 1000) where I != 0
constexpr int kFileTableMhzQ4 = 40114;     // "%.4f,%.2f\n": I * 1e-6, Q

constexpr int kDefaultFileType = kFileBin16BeTwos;

// Files longer than this are read up to this length only.
constexpr int64_t kMaxFileBytes = 500'000'000;

// Full-scale divisors of the integer formats.
constexpr double kScale16 = 32767.0;
constexpr double kScale32 = 131071.0;
constexpr double kScaleInt32 = 2147483647.0;  // the .ci32 captures, which use the whole word

// True for the types the reader decodes.
bool IsReadableFileType(int type);

// Menu text of a file type, or nullptr for the types without a menu entry.
const char* FileTypeMenuText(int type);

// A few words for a file type ("16-bit BE", "cf32"), or "" for an unknown value.
const char* FileTypeShortName(int type);

// The number and the short name ("405 16-bit BE"), as the status bar names a type read.
std::string FileTypeLabel(int type);
