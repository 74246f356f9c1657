#pragma once
// WAV and RF64 files as IQ captures, as receiver programs save them: I in the left channel, Q in
// the right (one channel: real samples). libsndfile reads the header; the samples are then
// decoded where they lie in the file by the fixed-width decoders, so a WAV file of any size is
// read by range like a raw capture, and its samples decode as the raw types do.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Where the samples of a WAV file lie and how they decode.
struct WavLayout {
    int fileType = 0;        // the decoder of its samples
    int64_t dataOffset = 0;  // bytes before the first sample
    int64_t dataBytes = 0;   // bytes of the data chunk's whole samples
    int64_t sampleRateHz = 0;
    std::optional<double> centreHz;  // the centre frequency of an auxi chunk
    std::string format;              // "16-bit PCM, 2 channels", for messages
};

// True when path ends in ".wav" or ".rf64", in any letter case.
bool IsWavPath(std::string_view path);

// Reads the header of the WAV file at path into out. "" or why it cannot be read as IQ
// samples (not a WAV file, compressed samples, more than two channels, big-endian RIFX).
std::string ReadWavLayout(const std::string& path, WavLayout& out);

// The file type a waveform of fileType is saved in as WAV: float for the float types, else
// 16-bit PCM (407, little-endian two's complement).
int WavSaveFileType(int fileType);

// The bytes libsndfile writes before sampleCount stereo samples of saveType (a WavSaveFileType)
// at sampleRateHz: a WAV header, an RF64 one when the data passes 4 GB. "" or why not (a rate a
// WAV header cannot hold).
std::string WavHeaderFor(int saveType, int64_t sampleCount, int64_t sampleRateHz,
                         std::string& header);
