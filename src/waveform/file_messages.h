#pragma once
// The texts the window and qrvn show about loads and saves: why one failed, and what a load
// left out. Shared so both say the same thing.

#include <cstdint>
#include <string>

#include "waveform/waveform.h"

// The file name of a path: what follows its last slash.
std::string BaseName(const std::string& path);

// 600000000 as "600,000,000".
std::string GroupThousands(int64_t n);

// Why the last LoadFile of w failed ("Permission denied", "not a regular file", "empty file",
// "no samples as file type 405"), or "" after a success.
std::string LoadFailureText(const cWaveform& w);

// What the last successful load of w did not take as data, or took other than it was: "Read
// samples 1,000 to 1,999 of 10,000" for a range of a capture, "Read the first 500,000,000 of
// 600,000,000 bytes" (or, for a recording, "The data file holds 1,000 of the 2,000 samples the
// metadata describes"), "3 lines were not numbers" ("1 line was not a number") and "2 values were
// NaN or infinite and read as 0", joined by "; ", or "" when the whole file was samples.
std::string LoadNotes(const cWaveform& w);

// When the samples of the last load look decoded in the wrong file type (values that were not
// finite, samples more than 80 dB above full scale, more lines without a number than samples):
// "The file may not be of type T (why)"; "" otherwise.
std::string DecodeDoubt(const cWaveform& w);

// A centre frequency in Hz with ten significant digits and a unit from Hz to GHz
// ("2.4 GHz", "100.1 MHz").
std::string CentreFrequencyText(double hz);

// Why a save to path failed, as one sentence without a final stop. error is the system's
// reason (errno, 0 for none); source is the file read in part (cWaveform::saveCutFile, for
// WouldCutSource). "" for SaveFailure::None.
std::string SaveFailureText(SaveFailure why, int error, const std::string& path,
                            const SourceFile& source = {});
