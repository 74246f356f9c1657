#pragma once
// What the whole-file reader and the capture source share, so a range read from a mapped
// capture decodes bit for bit as the same bytes read whole.

#include <cstdint>
#include <string>

#include "waveform/allocator.h"
#include "waveform/waveform.h"

// Bytes per sample of a binary type, 0 for the text types, -1 for a type the reader does not
// know.
int64_t BytesPerSample(int type);

// Decodes n samples of a binary type from raw into i and q; returns the count of float values
// that were NaN or infinite (decoded as 0).
int64_t DecodeBinary(int type, const uint8_t* raw, int n, float* i, float* q);

// Reads up to maxBytes of the regular file at path into buf (anything else is refused without
// blocking). Returns None or the reason, with errno in *error when the system gave one; source
// receives the file's length and identity and the length read without error.
LoadFailure ReadWholeFile(const std::string& path, ByteArray& buf, SourceFile& source, int* error,
                          int64_t maxBytes = kMaxFileBytes);

// Why a file of a recording could not be read, naming it as what.
std::string ReadFailureText(LoadFailure why, int error, const std::string& what);

struct SigmfMeta;
// Reads and parses the metadata file of the recording path names; "" or why it cannot be
// used, naming the file.
std::string ReadSigmfMetaFile(const std::string& path, SigmfMeta& meta);
// Reads the metadata of the recording path names (either file of a pair, or an archive) into
// meta, and where its data file's bytes lie into dataPath, dataOffset and dataBytes (< 0: to
// the end of the file); "" or why it cannot be used, naming the file.
std::string ReadRecordingMeta(const std::string& path, SigmfMeta& meta, std::string& dataPath,
                              int64_t& dataOffset, int64_t& dataBytes);
// What a waveform keeps of a recording's metadata, reading channel of it.
RecordingInfo RecordingInfoFrom(const SigmfMeta& meta, int64_t channel = 0);
// Why channel is not one of a recording's, or "".
std::string CheckChannel(const SigmfMeta& meta, int64_t channel);
// Keeps, of the n frames of `channels` samples of `stride` bytes each in bytes, the samples of
// channel, packed at the start; returns their byte count.
int64_t KeepChannel(uint8_t* bytes, int64_t n, int64_t stride, int64_t channels, int64_t channel);
