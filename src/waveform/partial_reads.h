#pragma once
// The files this run has read only in part (longer than the read limit, or cut while they were
// read). Every read goes through one reader that records them here, and every save asks here
// first, so no load path (open, reload, append, re-parse, a tool's second file, a recording)
// can lead to a save that cuts a file to the part that was read.

#include <optional>
#include <string>

#include "waveform/waveform.h"

// When the open file fd was created, in ns since the epoch; 0 where the file system does not
// say.
int64_t FileBirthNs(int fd);

// Records a read that took only part of its file (source.ReadInPart()). Safe from any thread.
void RememberPartialRead(const SourceFile& source);

// The partial read of the file path names now (a link counts as its target), if this run made
// one and the file still holds more than that part; nullopt otherwise, or when the file cannot
// be looked at.
std::optional<SourceFile> PartialReadAt(const std::string& path);
