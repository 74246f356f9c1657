#pragma once
// SigMF archives: one file NAME.sigmf, a plain tar holding NAME/NAME.sigmf-meta and
// NAME/NAME.sigmf-data. libarchive reads and writes the tar; the data entry's bytes lie
// uncompressed in the archive, so a recording of any size is mapped and read by range where it
// lies, as a data file is.

#include <cstdint>
#include <functional>
#include <string>

// What an archive holds of its first recording.
struct SigmfArchiveLayout {
    std::string metaText;         // the metadata entry's text
    std::string metaEntry;        // its name in the archive ("rec/rec.sigmf-meta")
    std::string dataEntry;        // the data entry's name
    int64_t dataOffset = 0;       // where the data entry's bytes begin in the archive file
    int64_t dataBytes = 0;        // their count
    int recordingsInArchive = 0;  // metadata entries found (the first is read)
};

// Reads the archive at path: the first metadata entry, and the data entry of the same name
// with .sigmf-data. "" or why it is not an archive this program reads (not a tar, compressed,
// no metadata entry, no data entry for it, metadata over kMaxSigmfMetaBytes).
std::string ReadSigmfArchive(const std::string& path, SigmfArchiveLayout& out);

// Writes an archive of the recording named name (a file name without folder or suffix): a
// folder entry name/, then name/name.sigmf-meta holding metaText, then name/name.sigmf-data of
// dataBytes bytes that writeData produces by calling the function it is given. The archive's
// bytes go to sink in order. "" or why not (writeData gave another count of bytes).
std::string WriteSigmfArchive(
    const std::string& name, const std::string& metaText, int64_t dataBytes,
    const std::function<void(const std::function<void(const void*, size_t)>&)>& writeData,
    const std::function<bool(const void*, size_t)>& sink);
