#pragma once
// Waveform file formats. Files carry no header: the chosen type decides how the bytes are
// decoded and how the waveform is written back. Each value is its File Type menu command id.

#include <cstdint>
#include <string>

#include "tools/command_ids.h"

// WaveformFileType and the write-only table formats are named in tools/command_ids.h: each
// value is its File Type menu command id.

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

// A few words for a file type ("16-bit BE", "cf32"), or "" for an unknown value.
const char* FileTypeShortName(int type);

// The number and the short name ("405 16-bit BE"), as the status bar names a type read.
std::string FileTypeLabel(int type);
