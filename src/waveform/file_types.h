#pragma once
// Waveform file formats. Files carry no header: the chosen type decides how the bytes are
// decoded and how the waveform is written back. Each value is its File Type menu command id.

#include <cstdint>

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
    kFileCpriMantExp = 418,      // "Binary 16b CPRI Mantissa Exponent"
    kFileMarker = 419,           // marker file, one byte per sample
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

// True for the types the reader decodes.
bool IsReadableFileType(int type);

// Menu text of a file type, or nullptr for the types without a menu entry.
const char* FileTypeMenuText(int type);
