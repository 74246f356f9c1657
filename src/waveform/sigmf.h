#pragma once
// SigMF recordings: a JSON metadata file NAME.sigmf-meta beside the samples in NAME.sigmf-data.
// This file holds what is needed without touching a disk: the names of the two files, the
// metadata reader, the mapping of datatypes onto file types, and the metadata a save writes.
// The load and save of whole recordings are cWaveform::LoadFile and cWaveform::SaveFile.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Metadata files larger than this are refused rather than parsed (a recording's metadata is
// kilobytes; a parsed JSON document takes several times its text in memory).
constexpr int64_t kMaxSigmfMetaBytes = 16 << 20;
// Channels a recording may interleave (core:num_channels); more is taken for a damaged file.
constexpr int64_t kMaxSigmfChannels = 4096;

// A capture segment: where it starts (counted from the data file's first sample) and the
// centre frequency and start time the metadata gives it.
struct SigmfSegment {
    int64_t firstSample = 0;
    std::optional<double> frequencyHz;  // core:frequency
    std::string datetime;               // core:datetime, as written ("2024-05-01T12:00:00Z")
    std::string otherKeys;  // the capture's other keys as a JSON object, kept for a save
};

// An annotation: a span of samples (counted as segments are) and what it says.
struct SigmfAnnotation {
    int64_t firstSample = 0, sampleCount = 0;  // core:sample_start, core:sample_count
    std::optional<double> lowerHz, upperHz;    // core:freq_lower_edge, core:freq_upper_edge
    std::string label, comment;                // core:label, core:comment
    std::string otherKeys;  // the annotation's other keys as a JSON object, kept for a save
};

// What the metadata says about the samples, in the fields this program uses.
struct SigmfMeta {
    std::string datatype;                      // core:datatype, "cf32_le"
    std::optional<double> sampleRateHz;        // core:sample_rate
    std::optional<double> frequencyHz;         // core:frequency of the first capture
    std::string version, description, author;  // core:version, core:description, core:author
    int64_t headerBytes = 0;                   // core:header_bytes of the first capture
    int64_t offset = 0;         // core:offset: the index of the first sample (indices are absolute)
    int64_t trailingBytes = 0;  // core:trailing_bytes
    // Samples the data file must hold for every capture and annotation to lie within it.
    int64_t describedSamples = 0;
    int64_t captureCount = 0, annotationCount = 0;
    int64_t channelCount = 1;                  // core:num_channels: samples of channels interleave
    std::string sha512;                        // core:sha512 of the data file, lower-case hex
    std::vector<SigmfSegment> segments;        // every capture, in the order given
    std::vector<SigmfAnnotation> annotations;  // those with a sample_start this program reads
    // Keys this program does not use (extensions, other namespaces, keys of later versions), as
    // JSON objects: those of "global", and the document's besides global, captures and
    // annotations. A save writes them back.
    std::string otherGlobalKeys, otherTopKeys;
};

// Reads the text of a metadata file (at most kMaxSigmfMetaBytes). Returns "" with meta filled,
// or why the text does not describe a recording this program can read, as a clause such as
// "not valid JSON (syntax error at byte 12)", "core:datatype is missing" or "datatype ci32_le
// is not supported". Unknown fields are ignored; a field this program uses must have its type.
std::string ParseSigmfMeta(std::string_view text, SigmfMeta& meta);

// The file type that decodes a datatype's bytes (ci16_le as 407, cf32_le as 420, ...), or 0
// when no file type does.
int FileTypeForSigmfDatatype(std::string_view datatype);

// What a save writes for a waveform of a file type: cf32_le (the samples as they are) for the
// float types, ci16_le otherwise; and the file type of those bytes (420 or 407).
const char* SigmfSaveDatatype(int fileType);
int SigmfSaveFileType(int fileType);

// What a save writes into the metadata besides the datatype.
struct SigmfSaveFields {
    int64_t sampleRateHz = 0;
    std::optional<double> frequencyHz;  // the capture's, when there are no segments and known
    std::string description, author;    // written only when not empty
    // Where the samples begin in the capture they were cut from (a range): written as
    // core:offset and as the first capture's core:sample_start when above 0. Segments and
    // annotations count in the same samples (those of the file they were read from).
    int64_t firstSample = 0;
    // Samples written; 0 keeps every segment and annotation. Otherwise only those that reach
    // into [firstSample, firstSample + sampleCount) are written, cut to it.
    int64_t sampleCount = 0;
    std::vector<SigmfSegment> segments;
    std::vector<SigmfAnnotation> annotations;
    std::string otherGlobalKeys, otherTopKeys;  // as SigmfMeta holds them
    std::string sha512;                         // written as core:sha512 when not empty
};

// The metadata text of a recording of datatype (core:version 1.0.0, its segments or one
// capture from sample 0 or, for a range, from its core:offset, and its annotations), ending in
// a line feed. Keys kept from a read come back where they were, except those that no longer
// hold for the samples written (a header, trailing bytes, channels, a checksum). Text that is
// not UTF-8 is written with U+FFFD for the bytes that are not.
std::string BuildSigmfMeta(std::string_view datatype, const SigmfSaveFields& fields);

// Indices of the annotations that reach into samples [first, end) (one of no length: whose
// sample lies there), in their order, at most limit of them; a paint draws only these.
std::vector<size_t> AnnotationsWithin(const std::vector<SigmfAnnotation>& annotations,
                                      int64_t first, int64_t end, size_t limit);

// Seconds since 1970-01-01T00:00:00Z of a core:datetime ("2024-05-01T12:00:00.25Z", UTC as
// SigMF writes it; a numeric offset such as +02:00 is taken off), or nullopt for text that is
// not such a time.
std::optional<double> DatetimeSeconds(std::string_view datetime);

// True when path names either file of a recording (ends in ".sigmf-meta" or ".sigmf-data").
bool IsSigmfPath(std::string_view path);
// True when path names a recording's archive (ends in ".sigmf": a tar of both files).
bool IsSigmfArchivePath(std::string_view path);
// True when path names a recording in either form: one of its two files, or its archive.
inline bool IsSigmfRecordingPath(std::string_view path) {
    return IsSigmfPath(path) || IsSigmfArchivePath(path);
}
// The metadata and data file of the recording a path names (the path with the other suffix).
std::string SigmfMetaPath(std::string_view path);
std::string SigmfDataPath(std::string_view path);

// The file type a raw capture's extension names, in any letter case: ".cf32", ".fc32" and
// ".cfile" 420, ".cs8" 421, ".cu8" 422, ".cs16" and ".sc16" 407 (little-endian int16), ".cf64"
// and ".fc64" 428, ".ci32" and ".cs32" 429; a gqrx recording (gqrx_DATE_TIME_FREQ_RATE_fc.raw)
// 420; 0 for any other name.
int FileTypeForExtension(std::string_view path);
